#pragma once

namespace zu {
namespace multi_threading {
namespace imp {

// Sets the process-wide counter from which messages take their sequence numbers (the next
// message gets value + 1, or the number after it when that is 0 as an unsigned 32-bit
// value). For tests of the wrap-around.
void SetMessageSequenceCounter(long value);

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
