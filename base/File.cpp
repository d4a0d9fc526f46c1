#include "base/File.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <vector>

#include "base/FileName.h"

namespace zu {
namespace file {

bool Exists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateDir(const std::string& path) {
  return ::mkdir(path.c_str(), 0755) == 0;
}

bool CreateDirRecursive(const std::string& path) {
  if (path.empty())
    return false;
  std::vector<std::string> components;
  zu::file_name::GetDirectoriesOfPath(path, components);
  std::string current = (path[0] == '/' || path[0] == '\\') ? "/" : "";
  for (const std::string& component : components) {
    current = zu::file_name::AddPaths(current, component);
    if (IsDirectory(current))
      continue;
    if (Exists(current))
      return false;
    // Another process may create it between the test and the call; that counts as created.
    if (!CreateDir(current) && !(errno == EEXIST && IsDirectory(current)))
      return false;
  }
  return true;
}

}  // namespace file
}  // namespace zu
