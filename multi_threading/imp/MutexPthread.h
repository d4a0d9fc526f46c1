#pragma once

#include <pthread.h>

#include "multi_threading/Mutex.h"

namespace zu {
namespace multi_threading {
namespace imp {

// A recursive POSIX mutex private to the process.
class MutexPthread : public Mutex {
 public:
  // An unlocked mutex, or empty when a step of the initialisation failed (printed).
  static SharedPtr<MutexPthread> Create();
  ~MutexPthread() override;

  bool Lock() override;
  bool TryLock() override;
  bool TryLock(const Time& timeout) override;
  bool Unlock() override;

  // For condition variables bound to this mutex.
  pthread_mutex_t* GetNative() { return &mutex_; }

  MutexPthread(const MutexPthread&) = delete;
  MutexPthread& operator=(const MutexPthread&) = delete;

 private:
  MutexPthread() = default;

  pthread_mutex_t mutex_;
  bool initialised_ = false;
};

typedef SharedPtr<MutexPthread> MutexPthreadPtr;

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
