#pragma once

#include <string>

namespace zu {

class Time;

namespace system {

// The current local time as "%d-%b-%Y %H:%M:%S", for example 06-Dec-2026 17:32:11.
std::string GetDate();
// The calling thread's last C library error number (errno).
int GetLastError();
// The text of GetLastError().
std::string GetLastErrorMessage();
// The text of the given error number (strerror_r); never empty.
std::string GetErrorMessage(int error);
// Blocks the calling thread for the given duration; a signal does not cut it short.
void Sleep(const Time& duration);

}  // namespace system
}  // namespace zu
