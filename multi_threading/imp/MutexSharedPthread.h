#pragma once

#include <pthread.h>

#include <atomic>

#include "multi_threading/Mutex.h"
#include "multi_threading/Semaphore.h"

namespace zu {
namespace multi_threading {
namespace imp {

// A recursive mutex shared between processes, over a named semaphore of count 1. The
// semaphore is taken once by the owning thread; its recursion count lives in this object,
// so each process that opens the name keeps its own owner and count.
class MutexSharedPthread : public Mutex {
 public:
  // Over semaphore; with owned the calling thread already holds it (once).
  MutexSharedPthread(SemaphorePtr semaphore, bool owned);

  bool Lock() override;
  bool TryLock() override;
  bool TryLock(const Time& timeout) override;
  // By a thread that is not the owner: true without effect.
  bool Unlock() override;

  MutexSharedPthread(const MutexSharedPthread&) = delete;
  MutexSharedPthread& operator=(const MutexSharedPthread&) = delete;

 private:
  bool IsOwnedByCaller() const;
  void TakeOwnership();

  // Written only by the thread that holds the semaphore; read by any thread to see whether
  // it is the owner.
  std::atomic<pthread_t> owner_{0};
  // Touched only by the owner.
  int count_ = 0;
  SemaphorePtr semaphore_;
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
