#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zu {
namespace fuzz {

// Sends every level of the diagnostics output nowhere, once per process: readers log each
// problem they meet, and millions of inputs would otherwise spend their time writing lines.
void QuietOutput();

// Reports a broken promise of the reader under test, with the target's name, on standard
// error and aborts.
[[noreturn]] void Fail(const char* target, const std::string& what);

// Fail unless condition holds.
inline void Check(bool condition, const char* target, const std::string& what) {
  if (!condition)
    Fail(target, what);
}

// A small deterministic generator (xorshift) for choices derived from an input's bytes, so a
// given input always takes the same path.
class Choices {
 public:
  explicit Choices(std::uint32_t seed) : state_(seed * 2654435761u + 0x9e3779b9u) {
    if (state_ == 0)
      state_ = 1;
  }
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // A number in [1, bound] (bound at least 1).
  std::size_t Between1And(std::size_t bound) { return 1 + Next() % (bound == 0 ? 1 : bound); }

 private:
  std::uint32_t state_;
};

}  // namespace fuzz
}  // namespace zu
