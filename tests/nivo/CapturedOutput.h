#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "output/Output.h"

namespace zu {
namespace testing {

// Collects every warning and error line while it lives, then returns output to the defaults.
class CapturedOutput {
 public:
  CapturedOutput() : target_(std::make_shared<Target>()) {
    zu::output::SetWarningTarget(target_);
    zu::output::SetErrorTarget(target_);
  }
  ~CapturedOutput() {
    zu::output::SetWarningTarget(nullptr);
    zu::output::SetErrorTarget(nullptr);
  }
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(target_->mutex);
    return target_->lines;
  }
  // Number of lines that contain part.
  std::size_t Count(const std::string& part) const {
    std::size_t count = 0;
    for (const std::string& line : Lines())
      count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
  }

 private:
  struct Target : zu::output::PrintTarget {
    void Print(const char* text) override {
      std::lock_guard<std::mutex> lock(mutex);
      lines.push_back(text);
    }
    mutable std::mutex mutex;
    std::vector<std::string> lines;
  };
  std::shared_ptr<Target> target_;
};

}  // namespace testing
}  // namespace zu
