#include "base/System.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace zu {
namespace system {

std::string GetDate() {
  char buffer[511];
  time_t now = ::time(nullptr);
  struct tm local {};
  if (::localtime_r(&now, &local) == nullptr)
    return std::string();
  size_t length = ::strftime(buffer, sizeof(buffer), "%d-%b-%Y %H:%M:%S", &local);
  return std::string(buffer, length);
}

int GetLastError() {
  return errno;
}

std::string GetLastErrorMessage() {
  return GetErrorMessage(errno);
}

std::string GetErrorMessage(int error) {
  char buffer[256];
  // GNU strerror_r returns a pointer that may or may not be the buffer.
  const char* text = ::strerror_r(error, buffer, sizeof(buffer));
  if (text == nullptr || *text == '\0')
    return "Unknown error " + std::to_string(error);
  return text;
}

void Sleep(uint64_t seconds, uint64_t nanoseconds) {
  timespec request{};
  request.tv_sec = static_cast<time_t>(seconds);
  request.tv_nsec = static_cast<long>(nanoseconds);
  timespec remaining{};
  while (::nanosleep(&request, &remaining) != 0 && errno == EINTR)
    request = remaining;
}

}  // namespace system
}  // namespace zu
