#pragma once

#include "multi_threading/Mutex.h"

namespace zu {
namespace multi_threading {

// Holds a mutex for the lifetime of the object: locks it at construction, unlocks it at
// destruction. Keeps its own reference, so the mutex outlives the lock. An empty pointer, or
// a lock that failed, leaves nothing to unlock.
class ScopedLock {
 public:
  explicit ScopedLock(MutexPtr mutex) : mutex_(std::move(mutex)) {
    if (mutex_ && !mutex_->Lock())
      mutex_.reset();
  }
  ~ScopedLock() {
    if (mutex_)
      mutex_->Unlock();
  }
  // Whether the mutex is held by this lock.
  bool IsLocked() const { return static_cast<bool>(mutex_); }

  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  MutexPtr mutex_;
};

}  // namespace multi_threading
}  // namespace zu
