#include "multi_threading/Message.h"

#include "base/Interlocked.h"
#include "multi_threading/Factory.h"
#include "multi_threading/imp/MessageSequence.h"

namespace zu {
namespace multi_threading {

namespace {

long sequenceCounter = 0;

uint32_t NextSequence() {
  // 0 never names a message: it is skipped, also when the counter wraps around.
  for (;;) {
    uint32_t sequence = static_cast<uint32_t>(zu::interlocked::Increment(sequenceCounter));
    if (sequence != 0)
      return sequence;
  }
}

}  // namespace

namespace imp {

void SetMessageSequenceCounter(long value) {
  __atomic_store_n(&sequenceCounter, value, __ATOMIC_SEQ_CST);
}

}  // namespace imp

Message::Message(unsigned int id)
    : id(id), sequence(NextSequence()), sender(factory::GetCurrentThread()) {}

Message::~Message() = default;

}  // namespace multi_threading
}  // namespace zu
