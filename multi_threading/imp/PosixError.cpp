#include "multi_threading/imp/PosixError.h"

#include <cstdio>

#include "base/System.h"

namespace zu {
namespace multi_threading {
namespace imp {

void PrintError(const char* message, int error) {
  std::string line = std::string(message) + ": " + zu::system::GetErrorMessage(error) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
