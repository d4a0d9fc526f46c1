#include "output/DefaultPrintFormatter.h"

#include "base/String.h"
#include "base/System.h"

namespace zu {
namespace output {

std::string DefaultPrintFormatter::Format(const char* module, int traceLevel, const char* function,
                                          unsigned int line) {
  const std::string date = zu::system::GetDate();
  if (traceLevel == 0) {
    return marker_ + zu::string::Print("(%s, %6s), %s(%u): ", date.c_str(), module, function, line);
  }
  return marker_ + zu::string::Print("(%s, %6s[% 4d]), %s(%u): ", date.c_str(), module, traceLevel,
                                     function, line);
}

}  // namespace output
}  // namespace zu
