#include "nivo/FailureRun.h"

#include "output/Output.h"

namespace zu {
namespace nivo {

void FailureRun::Fail(const char* module, const char* function, unsigned int line,
                      const std::string& text) {
  // Of failures reported at once from several threads, exactly one starts the run.
  if (!failing_.exchange(true))
    output::Error(module, function, line, "%s", text.c_str());
  else
    output::Warning(module, function, line, "%s", text.c_str());
}

}  // namespace nivo
}  // namespace zu
