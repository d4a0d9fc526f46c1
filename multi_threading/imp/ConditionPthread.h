#pragma once

#include <pthread.h>
#include <time.h>

#include "multi_threading/Condition.h"
#include "multi_threading/imp/MutexPthread.h"

namespace zu {
namespace multi_threading {
namespace imp {

// A POSIX condition variable that measures its timed waits on CLOCK_MONOTONIC, bound to a
// process-private MutexPthread it keeps alive.
class ConditionPthread : public Condition {
 public:
  // Empty when mutex is empty or a step of the initialisation failed (printed).
  static SharedPtr<ConditionPthread> Create(MutexPthreadPtr mutex);
  ~ConditionPthread() override;

  MutexPtr GetMutex() override;
  bool Wait() override;
  bool TryWait(const Time& timeout) override;
  bool Signal() override;
  bool Broadcast() override;

  // One wait until an absolute CLOCK_MONOTONIC deadline, caller holding the mutex: 0 when
  // woken, ETIMEDOUT when the deadline passed, another error (printed) on failure.
  int WaitUntil(const timespec& deadline);

  ConditionPthread(const ConditionPthread&) = delete;
  ConditionPthread& operator=(const ConditionPthread&) = delete;

 private:
  explicit ConditionPthread(MutexPthreadPtr mutex) : mutex_(std::move(mutex)) {}

  MutexPthreadPtr mutex_;
  pthread_cond_t condition_;
  bool initialised_ = false;
};

typedef SharedPtr<ConditionPthread> ConditionPthreadPtr;

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
