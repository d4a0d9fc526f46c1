#pragma once

#include <cstdint>
#include <string>

namespace zu {
namespace system {

// The current local time as "%d-%b-%Y %H:%M:%S", for example 06-Dec-2026 17:32:11.
std::string GetDate();
// The calling thread's last C library error number (errno).
int GetLastError();
// The text of GetLastError().
std::string GetLastErrorMessage();
// The text of the given error number (strerror_r); never empty.
std::string GetErrorMessage(int error);
// Blocks the calling thread for seconds plus nanoseconds (below one second); a signal does not
// cut it short. multi_threading/Time.h adds the form that takes a zu::Time.
void Sleep(uint64_t seconds, uint64_t nanoseconds);

}  // namespace system
}  // namespace zu
