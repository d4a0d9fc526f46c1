#include "multi_threading/imp/ConditionPthread.h"

#include <cerrno>

#include "multi_threading/imp/Deadline.h"
#include "multi_threading/imp/PosixError.h"

namespace zu {
namespace multi_threading {
namespace imp {

SharedPtr<ConditionPthread> ConditionPthread::Create(MutexPthreadPtr mutex) {
  if (!mutex)
    return SharedPtr<ConditionPthread>();
  pthread_condattr_t attributes;
  int error = ::pthread_condattr_init(&attributes);
  if (error != 0) {
    PrintError("::pthread_condattr_init failed", error);
    return SharedPtr<ConditionPthread>();
  }
  error = ::pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  if (error != 0) {
    PrintError("::pthread_condattr_setclock failed", error);
    ::pthread_condattr_destroy(&attributes);
    return SharedPtr<ConditionPthread>();
  }
  SharedPtr<ConditionPthread> condition(new ConditionPthread(std::move(mutex)));
  error = ::pthread_cond_init(&condition->condition_, &attributes);
  ::pthread_condattr_destroy(&attributes);
  if (error != 0) {
    PrintError("::pthread_cond_init failed", error);
    return SharedPtr<ConditionPthread>();
  }
  condition->initialised_ = true;
  return condition;
}

ConditionPthread::~ConditionPthread() {
  if (initialised_)
    ::pthread_cond_destroy(&condition_);
}

MutexPtr ConditionPthread::GetMutex() {
  return mutex_;
}

bool ConditionPthread::Wait() {
  int error = ::pthread_cond_wait(&condition_, mutex_->GetNative());
  if (error != 0) {
    PrintError("::pthread_cond_wait failed", error);
    return false;
  }
  return true;
}

bool ConditionPthread::TryWait(const Time& timeout) {
  return WaitUntil(MonotonicDeadline(timeout)) == 0;
}

int ConditionPthread::WaitUntil(const timespec& deadline) {
  int error =
      ::pthread_cond_clockwait(&condition_, mutex_->GetNative(), CLOCK_MONOTONIC, &deadline);
  if (error != 0 && error != ETIMEDOUT)
    PrintError("::pthread_cond_timedwait failed", error);
  return error;
}

bool ConditionPthread::Signal() {
  int error = ::pthread_cond_signal(&condition_);
  if (error != 0) {
    PrintError("::pthread_cond_signal failed", error);
    return false;
  }
  return true;
}

bool ConditionPthread::Broadcast() {
  int error = ::pthread_cond_broadcast(&condition_);
  if (error != 0) {
    PrintError("::pthread_cond_broadcast failed", error);
    return false;
  }
  return true;
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
