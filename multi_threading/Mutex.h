#pragma once

#include "base/SharedPtr.h"
#include "multi_threading/Time.h"

namespace zu {
namespace multi_threading {

// A recursive mutex: the thread that holds it may lock it again and must unlock it as often.
// Any thread may call every operation. Failures are printed to standard error and reported
// by false; the mutex stays usable.
class Mutex {
 public:
  // Blocks until the calling thread holds the mutex; false on a failure of the system call.
  virtual bool Lock() = 0;
  // Takes the mutex only if that is possible at once; false when another thread holds it.
  virtual bool TryLock() = 0;
  // Waits at most timeout (measured on the monotonic clock) for the mutex; false when the
  // time ran out or the wait failed.
  virtual bool TryLock(const Time& timeout) = 0;
  // Releases one level of the caller's hold.
  virtual bool Unlock() = 0;
  virtual ~Mutex() = default;
};

typedef SharedPtr<Mutex> MutexPtr;

}  // namespace multi_threading
}  // namespace zu
