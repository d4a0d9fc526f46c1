#pragma once

namespace zu {
namespace multi_threading {
namespace imp {

// Prints message + ": " + the description of error to standard error, as perror does, but
// for the error a POSIX call returned (pthread calls do not set errno).
void PrintError(const char* message, int error);

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
