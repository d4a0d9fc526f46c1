#include "nivo/UserAgent.h"

#include <cstdint>
#include <mutex>

#include "base/String.h"

namespace zu {
namespace nivo {

namespace {

// The minimal-standard linear congruential generator (multiplier 16807, modulus 2^31 - 1,
// first state 1); its outputs run over 1..2147483646.
class MinimalStandardGenerator {
 public:
  uint32_t Next() {
    state_ = static_cast<uint32_t>((static_cast<uint64_t>(state_) * 16807u) % 2147483647u);
    return state_;
  }

 private:
  uint32_t state_ = 1;
};

// A number from 0..999, uniform: outputs past the last whole multiple of the scaling are
// drawn again.
unsigned int DrawDeviceNumber() {
  static std::mutex mutex;
  static MinimalStandardGenerator generator;
  const uint32_t range = 1000;
  const uint32_t scaling = 2147483645u / range;
  const uint32_t limit = range * scaling;
  std::lock_guard<std::mutex> lock(mutex);
  uint32_t r = 0;
  do {
    r = generator.Next() - 1;
  } while (r >= limit);
  return r / scaling;
}

}  // namespace

std::string GetMobileUserAgent() {
  return zu::string::Print(
      "Mozilla/5.0 (Linux; U; Android 4.1.1; en-us; SGPT-%d Build/TJDSU0177) AppleWebKit/533.1 "
      "(KHTML, like Gecko) Version/4.0 Mobile Safari/533.1 NivoTV/3.2",
      static_cast<int>(DrawDeviceNumber()));
}

}  // namespace nivo
}  // namespace zu
