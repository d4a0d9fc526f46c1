#include "base/FileName.h"

#include "base/String.h"

namespace zu {
namespace file_name {

std::string GetPathSeparator() {
  return "/";
}

std::string Simplify(const std::string& path) {
  if (path.empty())
    return path;
  std::string slashed = path;
  for (char& c : slashed) {
    if (c == '\\')
      c = '/';
  }
  const bool absolute = slashed[0] == '/';
  const bool trailing = slashed.size() > 1 && slashed.back() == '/';
  std::vector<std::string> pieces;
  zu::string::Split(slashed, "/", pieces);
  std::vector<std::string> kept;
  for (const std::string& piece : pieces) {
    if (piece == ".")
      continue;
    if (piece == "..") {
      if (!kept.empty() && kept.back() != "..") {
        kept.pop_back();
      } else if (!absolute) {
        kept.push_back(piece);
      }
      continue;
    }
    kept.push_back(piece);
  }
  std::string result = absolute ? "/" : "";
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i > 0)
      result += '/';
    result += kept[i];
  }
  if (trailing && !kept.empty())
    result += '/';
  return result;
}

std::string AddPaths(const std::string& dir, const std::string& sub) {
  std::string d = Simplify(dir);
  std::string s = Simplify(sub);
  if (d.empty())
    return s;
  if (s.empty())
    return d;
  if (d.back() == '/') {
    if (s[0] == '/')
      s.erase(0, 1);
    return d + s;
  }
  if (s[0] == '/')
    return d + s;
  return d + "/" + s;
}

std::string AddFileNameAndPath(const std::string& dir, const std::string& name) {
  return AddPaths(dir, name);
}

std::string AddFileNameAndExtension(const std::string& name, const std::string& ext) {
  if (ext.empty())
    return name;
  if (!name.empty() && name.back() == '.')
    return name + ext;
  return name + "." + ext;
}

std::string GetFileName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string GetExtension(const std::string& path) {
  std::string last = GetFileName(path);
  size_t dot = last.find_last_of('.');
  return dot == std::string::npos ? std::string() : last.substr(dot + 1);
}

void GetDirectoriesOfPath(const std::string& path, std::vector<std::string>& out) {
  std::vector<std::string> pieces;
  zu::string::Split(Simplify(path), "/", pieces);
  out.insert(out.end(), pieces.begin(), pieces.end());
}

}  // namespace file_name
}  // namespace zu
