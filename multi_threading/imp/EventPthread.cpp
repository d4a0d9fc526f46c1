#include "multi_threading/imp/EventPthread.h"

#include <cerrno>

#include "multi_threading/ScopedLock.h"
#include "multi_threading/imp/Deadline.h"
#include "output/Output.h"

namespace zu {
namespace multi_threading {
namespace imp {

EventPthread::EventPthread(bool manualReset, bool initiallySet, ConditionPthreadPtr condition)
    : manualReset_(manualReset), signalled_(initiallySet), condition_(std::move(condition)) {}

bool EventPthread::Consume() {
  if (!signalled_)
    return false;
  if (!manualReset_)
    signalled_ = false;
  return true;
}

bool EventPthread::Wait() {
  ScopedLock lock(condition_->GetMutex());
  while (!signalled_) {
    if (!condition_->Wait())
      return false;
  }
  return Consume();
}

bool EventPthread::TryWait(const Time& timeout) {
  if (timeout == Time::Zero())
    return TryWait();
  if (timeout == Time::Infinite())
    return Wait();

  // The deadline is fixed once: waking without the signal (spuriously, or because another
  // waiter consumed it first) waits on for the rest of the time, never longer.
  timespec deadline = MonotonicDeadline(timeout);
  ScopedLock lock(condition_->GetMutex());
  while (!signalled_) {
    int error = condition_->WaitUntil(deadline);
    if (error == ETIMEDOUT)
      return Consume();
    if (error != 0) {
      if (signalled_)
        break;
      ZU_ERROR("ZUMT", "not set.");
      return false;
    }
  }
  return Consume();
}

bool EventPthread::TryWait() {
  ScopedLock lock(condition_->GetMutex());
  return Consume();
}

bool EventPthread::Set() {
  ScopedLock lock(condition_->GetMutex());
  signalled_ = true;
  return manualReset_ ? condition_->Broadcast() : condition_->Signal();
}

bool EventPthread::Reset() {
  ScopedLock lock(condition_->GetMutex());
  signalled_ = false;
  return true;
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
