#pragma once

#include <atomic>
#include <string>

namespace zu {
namespace nivo {

// Keeps the user's attention for the first of a run of like failures: every Error line becomes
// a notification in the media centre, so while requests of one kind keep failing (the provider
// away, a folder that cannot be written) only the failure that starts the run is logged as an
// Error; the later ones are logged as Warnings with the same texts. Succeed ends the run: the
// next failure is an Error again. Any thread may call any member.
class FailureRun {
 public:
  // Logs text as an Error when it starts a run, as a Warning otherwise. function and line
  // locate the caller, as the output functions take them (see ZU_RUN_FAILURE).
  void Fail(const char* module, const char* function, unsigned int line, const std::string& text);
  // Ends the run, if one is going on.
  void Succeed() { failing_ = false; }
  // True while a run is going on: the last report was a failure.
  bool IsFailing() const { return failing_; }

 private:
  std::atomic<bool> failing_{false};
};

}  // namespace nivo
}  // namespace zu

// Logs text through the run when there is one (a FailureRun*), as an Error otherwise.
#define ZU_RUN_FAILURE(run, module, text)                                                          \
  do {                                                                                             \
    ::zu::nivo::FailureRun* zuRun_ = (run);                                                        \
    if (zuRun_ != nullptr)                                                                         \
      zuRun_->Fail(module, __PRETTY_FUNCTION__, __LINE__, std::string(text));                      \
    else                                                                                           \
      ::zu::output::Error(module, __PRETTY_FUNCTION__, __LINE__, "%s", std::string(text).c_str()); \
  } while (false)
