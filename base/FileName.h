#pragma once

#include <string>
#include <vector>

namespace zu {
namespace file_name {

// "/": the only separator path names use.
std::string GetPathSeparator();
// Normalised path: "\" becomes "/", runs of "/" collapse, "." components go, ".." removes
// itself and the component before it (a leading ".." that has nothing to remove stays), a
// leading "/" stays. An empty path, or one that reduces to nothing, gives "" ("/" when it
// was absolute).
std::string Simplify(const std::string& path);
// dir + "/" + sub after normalising both; no "/" added when dir already ends with one; sub
// alone when dir is empty.
std::string AddPaths(const std::string& dir, const std::string& sub);
// The same joining rule as AddPaths, for a file name in a directory.
std::string AddFileNameAndPath(const std::string& dir, const std::string& name);
// name + "." + ext; no "." added when name ends with one; name unchanged when ext is empty.
std::string AddFileNameAndExtension(const std::string& name, const std::string& ext);
// The text after the last "." of the last path component; empty when it has no ".".
std::string GetExtension(const std::string& path);
// The last path component (the text after the last "/").
std::string GetFileName(const std::string& path);
// Appends the non-empty components of Simplify(path) to out.
void GetDirectoriesOfPath(const std::string& path, std::vector<std::string>& out);

}  // namespace file_name
}  // namespace zu
