#pragma once

#include <string>

#include "output/PrintFormatter.h"

namespace zu {
namespace nivo {

// Output formatter for the host log: the host stamps its own time and origin on every line,
// so errors, warnings and information lines carry their text only. Trace lines keep the
// module, trace level, function and source line in front of the text.
class PrintFormatter : public output::PrintFormatter {
 public:
  // "" for traceLevel 0; otherwise "%6s[% 4d], %s(%u), " of module, level, function, line.
  std::string Format(const char* module, int traceLevel, const char* function,
                     unsigned int line) override;
};

}  // namespace nivo
}  // namespace zu
