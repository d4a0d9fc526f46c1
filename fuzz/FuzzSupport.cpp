#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "output/Output.h"

namespace zu {
namespace fuzz {

namespace {

class NoTarget : public output::PrintTarget {
 public:
  void Print(const char*) override {}
};

}  // namespace

void QuietOutput() {
  static const bool quiet = [] {
    output::SetOuputTarget(std::make_shared<NoTarget>());
    return true;
  }();
  (void)quiet;
}

void Fail(const char* target, const std::string& what) {
  std::fprintf(stderr, "fuzz target %s: %s\n", target, what.c_str());
  std::fflush(stderr);
  std::abort();
}

bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (text.size() - i < length)
      return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80)
        return false;
      code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

}  // namespace fuzz
}  // namespace zu
