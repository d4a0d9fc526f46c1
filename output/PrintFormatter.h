#pragma once

#include <string>

#include "base/SharedPtr.h"

namespace zu {
namespace output {

// Turns the origin of an output line into the prefix written in front of its text.
// Format may be called from any thread.
class PrintFormatter {
 public:
  virtual std::string Format(const char* module, int traceLevel, const char* function,
                             unsigned int line) = 0;
  virtual ~PrintFormatter() = default;
};

using PrintFormatterPtr = SharedPtr<PrintFormatter>;

}  // namespace output
}  // namespace zu
