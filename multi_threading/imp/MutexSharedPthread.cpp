#include "multi_threading/imp/MutexSharedPthread.h"

namespace zu {
namespace multi_threading {
namespace imp {

MutexSharedPthread::MutexSharedPthread(SemaphorePtr semaphore, bool owned)
    : semaphore_(std::move(semaphore)) {
  if (owned)
    TakeOwnership();
}

bool MutexSharedPthread::IsOwnedByCaller() const {
  pthread_t owner = owner_.load();
  return owner != 0 && ::pthread_equal(owner, ::pthread_self());
}

void MutexSharedPthread::TakeOwnership() {
  count_ = 1;
  owner_.store(::pthread_self());
}

bool MutexSharedPthread::Lock() {
  if (IsOwnedByCaller()) {
    ++count_;
    return true;
  }
  if (!semaphore_->Wait())
    return false;
  TakeOwnership();
  return true;
}

bool MutexSharedPthread::TryLock() {
  if (IsOwnedByCaller()) {
    ++count_;
    return true;
  }
  if (!semaphore_->TryWait())
    return false;
  TakeOwnership();
  return true;
}

bool MutexSharedPthread::TryLock(const Time& timeout) {
  if (IsOwnedByCaller()) {
    ++count_;
    return true;
  }
  if (!semaphore_->TryWait(timeout))
    return false;
  TakeOwnership();
  return true;
}

bool MutexSharedPthread::Unlock() {
  if (!IsOwnedByCaller() || count_ == 0)
    return true;
  if (--count_ > 0)
    return true;
  owner_.store(0);
  return semaphore_->Post();
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
