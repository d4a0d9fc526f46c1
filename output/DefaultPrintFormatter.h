#pragma once

#include <string>

#include "output/PrintFormatter.h"

namespace zu {
namespace output {

// The prefix used when no formatter is installed:
//   marker + "(date, module), function(line): "                 for trace level 0
//   marker + "(date, module[level]), function(line): "          otherwise
// with the module right-aligned in six columns and the level in four.
class DefaultPrintFormatter : public PrintFormatter {
 public:
  explicit DefaultPrintFormatter(std::string marker) : marker_(std::move(marker)) {}
  std::string Format(const char* module, int traceLevel, const char* function,
                     unsigned int line) override;

 private:
  std::string marker_;
};

}  // namespace output
}  // namespace zu
