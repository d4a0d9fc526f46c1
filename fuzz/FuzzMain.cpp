// libFuzzer's entry for one target; ZU_FUZZ_ENTRY names the target's entry function.

#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zu::fuzz::ZU_FUZZ_ENTRY(data, size);
  return 0;
}
