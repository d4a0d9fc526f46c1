#pragma once

#include "base/SharedPtr.h"

namespace zu {
namespace multi_threading {

// The work a thread runs: Start(object) makes the thread call Run, which owns the thread until
// it returns. A Run that should end on Stop() must read the thread's messages and return.
class ThreadObject {
 public:
  // Runs on the thread it was started on; the result is not used by the thread loop.
  virtual bool Run() = 0;
  virtual ~ThreadObject() = default;
};

typedef SharedPtr<ThreadObject> ThreadObjectPtr;

}  // namespace multi_threading
}  // namespace zu
