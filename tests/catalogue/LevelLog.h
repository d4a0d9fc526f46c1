#pragma once

#include <string>

#include "base/SharedPtr.h"
#include "output/LogRecorder.h"
#include "output/Output.h"

namespace catalogue_test {

// Keeps the error, warning and info lines apart while it lives, then returns output to the
// standard streams.
class LevelLog {
 public:
  LevelLog() {
    zu::output::SetErrorTarget(errors_);
    zu::output::SetWarningTarget(warnings_);
    zu::output::SetInfoTarget(infos_);
  }
  ~LevelLog() {
    zu::output::SetErrorTarget(nullptr);
    zu::output::SetWarningTarget(nullptr);
    zu::output::SetInfoTarget(nullptr);
  }
  LevelLog(const LevelLog&) = delete;
  LevelLog& operator=(const LevelLog&) = delete;

  // Lines of the level whose message is text (the formatter puts the origin and ": " first).
  size_t Errors(const std::string& text) const { return CountEnding(*errors_, text); }
  size_t Warnings(const std::string& text) const { return CountEnding(*warnings_, text); }
  size_t Infos(const std::string& text) const { return CountEnding(*infos_, text); }
  // Lines of the level that contain part.
  size_t ErrorsWith(const std::string& part) const { return errors_->CountContaining(part); }
  size_t WarningsWith(const std::string& part) const { return warnings_->CountContaining(part); }

 private:
  static size_t CountEnding(const zu_test::RecordingTarget& target, const std::string& text) {
    const std::string ending = ": " + text;
    size_t count = 0;
    for (std::string line : target.Lines()) {
      while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
      if (line.size() >= ending.size() &&
          line.compare(line.size() - ending.size(), ending.size(), ending) == 0) {
        ++count;
      }
    }
    return count;
  }

  zu::SharedPtr<zu_test::RecordingTarget> errors_ = std::make_shared<zu_test::RecordingTarget>();
  zu::SharedPtr<zu_test::RecordingTarget> warnings_ = std::make_shared<zu_test::RecordingTarget>();
  zu::SharedPtr<zu_test::RecordingTarget> infos_ = std::make_shared<zu_test::RecordingTarget>();
};

}  // namespace catalogue_test
