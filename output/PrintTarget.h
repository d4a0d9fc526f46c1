#pragma once

#include "base/SharedPtr.h"

namespace zu {
namespace output {

// Receives finished output lines of one level. Print may be called from any thread.
class PrintTarget {
 public:
  virtual void Print(const char* text) = 0;
  virtual ~PrintTarget() = default;
};

using PrintTargetPtr = SharedPtr<PrintTarget>;

}  // namespace output
}  // namespace zu
