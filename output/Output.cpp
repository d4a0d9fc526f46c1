#include "output/Output.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "base/String.h"
#include "output/DefaultPrintFormatter.h"

namespace zu {
namespace output {

namespace {

enum Level { kError = 0, kWarning, kInfo, kTrace, kLevels };

struct LevelInfo {
  const char* marker;
  FILE* (*stream)();
};

FILE* StdErr() {
  return stderr;
}
FILE* StdOut() {
  return stdout;
}

const LevelInfo kLevelInfo[kLevels] = {
    {"%E", &StdErr}, {"%W", &StdErr}, {"%I", &StdOut}, {"%T", &StdOut}};

// The routing is read by every output call on any thread and changed rarely, so it is kept
// in shared pointers accessed atomically.
PrintFormatterPtr formatters[kLevels];
PrintTargetPtr targets[kLevels];
std::atomic<int> traceLevel{10};

void Write(Level level, const char* module, int trace, const char* function, unsigned int line,
           const char* format, va_list arguments) {
  PrintFormatterPtr formatter = std::atomic_load(&formatters[level]);
  if (!formatter)
    formatter = std::make_shared<DefaultPrintFormatter>(kLevelInfo[level].marker);
  std::string text = formatter->Format(module, trace, function, line);
  text += zu::string::VPrint(format, arguments);

  PrintTargetPtr target = std::atomic_load(&targets[level]);
  if (target) {
    target->Print(text.c_str());
    return;
  }
  text += '\n';
  FILE* stream = kLevelInfo[level].stream();
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

void Error(const char* module, const char* function, unsigned int line, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Write(kError, module, 0, function, line, format, arguments);
  va_end(arguments);
}

void Warning(const char* module, const char* function, unsigned int line, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Write(kWarning, module, 0, function, line, format, arguments);
  va_end(arguments);
}

void Info(const char* module, const char* function, unsigned int line, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  Write(kInfo, module, 0, function, line, format, arguments);
  va_end(arguments);
}

void Trace(const char* module, int level, const char* function, unsigned int line,
           const char* format, ...) {
  if (level >= traceLevel.load())
    return;
  va_list arguments;
  va_start(arguments, format);
  Write(kTrace, module, level, function, line, format, arguments);
  va_end(arguments);
}

void SetTraceLevel(int level) {
  traceLevel.store(level);
}
int GetTraceLevel() {
  return traceLevel.load();
}

void SetOuputFormatter(PrintFormatterPtr formatter) {
  for (PrintFormatterPtr& slot : formatters)
    std::atomic_store(&slot, formatter);
}

void SetErrorTarget(PrintTargetPtr target) {
  std::atomic_store(&targets[kError], target);
}
void SetWarningTarget(PrintTargetPtr target) {
  std::atomic_store(&targets[kWarning], target);
}
void SetInfoTarget(PrintTargetPtr target) {
  std::atomic_store(&targets[kInfo], target);
}
void SetTraceTarget(PrintTargetPtr target) {
  std::atomic_store(&targets[kTrace], target);
}

void SetOuputTarget(PrintTargetPtr target) {
  SetErrorTarget(target);
  SetWarningTarget(target);
  SetInfoTarget(target);
  SetTraceTarget(target);
}

}  // namespace output
}  // namespace zu
