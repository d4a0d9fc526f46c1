#include "nivo/PrintFormatter.h"

#include "base/String.h"

namespace zu {
namespace nivo {

std::string PrintFormatter::Format(const char* module, int traceLevel, const char* function,
                                   unsigned int line) {
  if (traceLevel == 0)
    return std::string();
  return string::Print("%6s[% 4d], %s(%u), ", module != nullptr ? module : "", traceLevel,
                       function != nullptr ? function : "", line);
}

}  // namespace nivo
}  // namespace zu
