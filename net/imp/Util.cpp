#include "net/imp/Util.h"

#include <cerrno>
#include <string>

#include "base/System.h"
#include "output/Output.h"

namespace zu {
namespace net {
namespace imp {
namespace util {

void PrintSocketError(const char* text, bool print) {
  const int error = errno;
  if (print) {
    ZU_ERROR("NET", std::string(text) + "(" + std::to_string(error) + ", " +
                        zu::system::GetErrorMessage(error));
  }
  errno = error;
}

}  // namespace util
}  // namespace imp
}  // namespace net
}  // namespace zu
