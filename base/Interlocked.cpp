#include "base/Interlocked.h"

namespace zu {
namespace interlocked {

long Increment(long& value) {
  return __atomic_add_fetch(&value, 1L, __ATOMIC_SEQ_CST);
}

long Decrement(long& value) {
  return __atomic_sub_fetch(&value, 1L, __ATOMIC_SEQ_CST);
}

int Add(long& value, int amount) {
  return static_cast<int>(__atomic_fetch_add(&value, static_cast<long>(amount), __ATOMIC_SEQ_CST));
}

int Exchange(long& value, int newValue) {
  return static_cast<int>(
      __atomic_exchange_n(&value, static_cast<long>(newValue), __ATOMIC_SEQ_CST));
}

}  // namespace interlocked
}  // namespace zu
