#pragma once

#include "base/SharedPtr.h"
#include "multi_threading/Time.h"

namespace zu {
namespace multi_threading {

// A counting semaphore, unnamed (private to the process) or named (shared between
// processes). Any thread may call every operation.
class Semaphore {
 public:
  // Blocks until the count could be decremented; a signal does not end the wait. False (and
  // printed) only on a failure of the system call.
  virtual bool Wait() = 0;
  // Decrements the count if it is above zero; false otherwise. Never prints.
  virtual bool TryWait() = 0;
  // Waits at most timeout (monotonic clock) to decrement the count; false when the time ran
  // out (not printed) or the wait failed (printed).
  virtual bool TryWait(const Time& timeout) = 0;
  // Increments the count, waking one waiter; false (and printed) on failure.
  virtual bool Post() = 0;
  virtual ~Semaphore() = default;
};

typedef SharedPtr<Semaphore> SemaphorePtr;

}  // namespace multi_threading
}  // namespace zu
