#pragma once

#include "base/SharedPtr.h"
#include "multi_threading/Time.h"

namespace zu {
namespace multi_threading {

// A signalled/clear flag that threads wait for. An auto-reset event returns to clear when a
// wait consumes the signal, so one Set releases one waiter; a manual-reset event stays
// signalled, releasing every waiter, until Reset. Any thread may call every operation.
class Event {
 public:
  // Blocks until the event is signalled (consuming it when auto-reset); true.
  virtual bool Wait() = 0;
  // Waits at most timeout (monotonic clock). Zero() is TryWait(), Infinite() is Wait().
  // False when the time ran out or the wait failed.
  virtual bool TryWait(const Time& timeout) = 0;
  // Returns at once whether the event was signalled (consuming it when auto-reset).
  virtual bool TryWait() = 0;
  // Signals the event and wakes one waiter (auto-reset) or all (manual-reset).
  virtual bool Set() = 0;
  // Clears the event.
  virtual bool Reset() = 0;
  virtual ~Event() = default;
};

typedef SharedPtr<Event> EventPtr;

}  // namespace multi_threading
}  // namespace zu
