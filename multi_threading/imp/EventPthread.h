#pragma once

#include "multi_threading/Event.h"
#include "multi_threading/imp/ConditionPthread.h"

namespace zu {
namespace multi_threading {
namespace imp {

// An event over a condition with its own mutex; every operation holds that mutex for its
// whole run.
class EventPthread : public Event {
 public:
  EventPthread(bool manualReset, bool initiallySet, ConditionPthreadPtr condition);

  bool Wait() override;
  bool TryWait(const Time& timeout) override;
  bool TryWait() override;
  bool Set() override;
  bool Reset() override;

  EventPthread(const EventPthread&) = delete;
  EventPthread& operator=(const EventPthread&) = delete;

 private:
  // With the mutex held: whether the event was signalled, consuming it when auto-reset.
  bool Consume();

  const bool manualReset_;
  bool signalled_;  // guarded by the condition's mutex
  ConditionPthreadPtr condition_;
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
