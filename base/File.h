#pragma once

#include <string>

namespace zu {
namespace file {

// True when the path names anything (a file, a directory, ...).
bool Exists(const std::string& path);
// True when the path names a directory.
bool IsDirectory(const std::string& path);
// True when exactly one directory was created (mode 0755 before the umask).
bool CreateDir(const std::string& path);
// Creates the directory and every missing parent. True when all components exist as
// directories afterwards; false for an empty path, for a component that exists but is not a
// directory (nothing is created below it), and when a creation fails.
bool CreateDirRecursive(const std::string& path);

}  // namespace file
}  // namespace zu
