#pragma once

#include "base/SharedPtr.h"

namespace zu {
namespace net {
namespace imp {

// A descriptor that becomes readable when signalled, so that a thread waiting in poll for
// its sockets is woken for other work too (an eventfd). Signal and Drain may be called from
// any thread; signals given before a Drain are consumed by it.
class WakeUpSignal {
 public:
  // A new signal, or empty when the system refused the descriptor (logged).
  static SharedPtr<WakeUpSignal> Create();
  ~WakeUpSignal();

  // The descriptor to watch for reading.
  int GetDescriptor() const { return descriptor_; }
  // Makes the descriptor readable; never blocks.
  void Signal();
  // Consumes every signal given so far; never blocks.
  void Drain();

  WakeUpSignal(const WakeUpSignal&) = delete;
  WakeUpSignal& operator=(const WakeUpSignal&) = delete;

 private:
  explicit WakeUpSignal(int descriptor) : descriptor_(descriptor) {}

  const int descriptor_;
};

typedef SharedPtr<WakeUpSignal> WakeUpSignalPtr;

}  // namespace imp
}  // namespace net
}  // namespace zu
