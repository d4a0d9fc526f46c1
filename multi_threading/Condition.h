#pragma once

#include "base/SharedPtr.h"
#include "multi_threading/Mutex.h"
#include "multi_threading/Time.h"

namespace zu {
namespace multi_threading {

// A condition variable bound to one process-private mutex. Wait and TryWait expect the
// caller to hold that mutex exactly once; they release it while waiting and hold it again
// on return. Waits may wake without a Signal, so callers re-test their predicate.
class Condition {
 public:
  // The mutex the condition is bound to; shared with whoever created the condition.
  virtual MutexPtr GetMutex() = 0;
  // Waits until woken; false on a failure of the system call.
  virtual bool Wait() = 0;
  // Waits at most timeout (monotonic clock); true when woken, false when the time ran out
  // or the wait failed.
  virtual bool TryWait(const Time& timeout) = 0;
  // Wakes one waiter.
  virtual bool Signal() = 0;
  // Wakes every waiter.
  virtual bool Broadcast() = 0;
  virtual ~Condition() = default;
};

typedef SharedPtr<Condition> ConditionPtr;

}  // namespace multi_threading
}  // namespace zu
