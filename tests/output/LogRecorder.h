#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "base/SharedPtr.h"
#include "output/Output.h"
#include "output/PrintTarget.h"

namespace zu_test {

// An output target that keeps every line it receives; safe to call from any thread.
class RecordingTarget : public zu::output::PrintTarget {
 public:
  void Print(const char* text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.emplace_back(text);
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  size_t Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_.size();
  }
  // Lines that contain the text.
  size_t CountContaining(const std::string& text) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const std::string& line : lines_) {
      if (line.find(text) != std::string::npos)
        ++count;
    }
    return count;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

// Routes all four output levels into a RecordingTarget for its lifetime, then back to the
// standard streams.
class LogRecorder {
 public:
  LogRecorder() : target_(std::make_shared<RecordingTarget>()) {
    zu::output::SetOuputTarget(target_);
  }
  ~LogRecorder() { zu::output::SetOuputTarget(nullptr); }
  LogRecorder(const LogRecorder&) = delete;
  LogRecorder& operator=(const LogRecorder&) = delete;

  std::vector<std::string> Lines() const { return target_->Lines(); }
  size_t Count() const { return target_->Count(); }
  size_t CountContaining(const std::string& text) const { return target_->CountContaining(text); }
  void Clear() { target_->Clear(); }

 private:
  zu::SharedPtr<RecordingTarget> target_;
};

}  // namespace zu_test
