#include "multi_threading/imp/MutexPthread.h"

#include <cerrno>

#include "multi_threading/imp/Deadline.h"
#include "multi_threading/imp/PosixError.h"
#include "multi_threading/imp/TsanAnnotations.h"

namespace zu {
namespace multi_threading {
namespace imp {

SharedPtr<MutexPthread> MutexPthread::Create() {
  pthread_mutexattr_t attributes;
  int error = ::pthread_mutexattr_init(&attributes);
  if (error != 0) {
    PrintError("::pthread_mutexattr_init failed", error);
    return SharedPtr<MutexPthread>();
  }
  error = ::pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  if (error != 0) {
    PrintError("::pthread_mutexattr_settype failed", error);
    ::pthread_mutexattr_destroy(&attributes);
    return SharedPtr<MutexPthread>();
  }
  SharedPtr<MutexPthread> mutex(new MutexPthread());
  error = ::pthread_mutex_init(&mutex->mutex_, &attributes);
  ::pthread_mutexattr_destroy(&attributes);
  if (error != 0) {
    PrintError("::pthread_mutex_init failed", error);
    return SharedPtr<MutexPthread>();
  }
  mutex->initialised_ = true;
  return mutex;
}

MutexPthread::~MutexPthread() {
  if (initialised_)
    ::pthread_mutex_destroy(&mutex_);
}

bool MutexPthread::Lock() {
  int error = ::pthread_mutex_lock(&mutex_);
  if (error != 0) {
    PrintError("::pthread_mutex_lock failed", error);
    return false;
  }
  return true;
}

bool MutexPthread::TryLock() {
  int error = ::pthread_mutex_trylock(&mutex_);
  if (error == 0)
    return true;
  if (error != EBUSY)
    PrintError("::pthread_mutex_trylock failed", error);
  return false;
}

bool MutexPthread::TryLock(const Time& timeout) {
  timespec deadline = MonotonicDeadline(timeout);
  tsan::BeforeTimedLock(&mutex_);
  int error = ::pthread_mutex_clocklock(&mutex_, CLOCK_MONOTONIC, &deadline);
  tsan::AfterTimedLock(&mutex_, error == 0);
  if (error == 0)
    return true;
  if (error != ETIMEDOUT)
    PrintError("::pthread_mutex_timedlock failed", error);
  return false;
}

bool MutexPthread::Unlock() {
  int error = ::pthread_mutex_unlock(&mutex_);
  if (error != 0) {
    PrintError("::pthread_mutex_unlock failed", error);
    return false;
  }
  return true;
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
