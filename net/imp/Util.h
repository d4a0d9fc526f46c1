#pragma once

namespace zu {
namespace net {
namespace imp {
namespace util {

// Logs text followed by "(" + the calling thread's errno + ", " + its text as an error of
// module "NET" when print is true; logs nothing otherwise. errno is left as it was.
void PrintSocketError(const char* text, bool print);

}  // namespace util
}  // namespace imp
}  // namespace net
}  // namespace zu
