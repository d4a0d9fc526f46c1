#pragma once

#include <string>

#include "output/PrintFormatter.h"
#include "output/PrintTarget.h"

namespace zu {
namespace output {

// Levelled diagnostics output. Each call formats one line: the level's formatter turns
// module, function and source line into a prefix, the printf-style text follows. The line
// goes to the level's target, or without one to standard error (errors, warnings) or
// standard output (information, trace) followed by "\n". Messages are never cut.
// Any thread may write output at any time, also while the routing is being changed; a call
// keeps the formatter and target it started with alive until it is done.
void Error(const char* module, const char* function, unsigned int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void Warning(const char* module, const char* function, unsigned int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void Info(const char* module, const char* function, unsigned int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
// Written only when level is smaller than the trace level (default 10).
void Trace(const char* module, int level, const char* function, unsigned int line,
           const char* format, ...) __attribute__((format(printf, 5, 6)));

void SetTraceLevel(int level);
int GetTraceLevel();

// Installs one formatter for all four levels; an empty pointer returns every level to its
// default formatter (DefaultPrintFormatter with "%E", "%W", "%I", "%T").
void SetOuputFormatter(PrintFormatterPtr formatter);
// Install, or with an empty pointer remove, the target of one level.
void SetErrorTarget(PrintTargetPtr target);
void SetWarningTarget(PrintTargetPtr target);
void SetInfoTarget(PrintTargetPtr target);
void SetTraceTarget(PrintTargetPtr target);
// SetErrorTarget, SetWarningTarget, SetInfoTarget and SetTraceTarget with the same target.
void SetOuputTarget(PrintTargetPtr target);

}  // namespace output
}  // namespace zu

// The usual way to write a composed text: the emitting function's full signature as the
// compiler spells it, the source line, and the text through "%s".
#define ZU_ERROR(module, text) \
  ::zu::output::Error(module, __PRETTY_FUNCTION__, __LINE__, "%s", std::string(text).c_str())
#define ZU_WARNING(module, text) \
  ::zu::output::Warning(module, __PRETTY_FUNCTION__, __LINE__, "%s", std::string(text).c_str())
#define ZU_INFO(module, text) \
  ::zu::output::Info(module, __PRETTY_FUNCTION__, __LINE__, "%s", std::string(text).c_str())
