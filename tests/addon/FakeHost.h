#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "nivo/Host.h"

namespace zu_test {

// A host that records everything the client hands it and serves files from memory. Any call
// after the client released it counts as a late call, which a correct client never makes.
class FakeHost : public zu::nivo::Host {
 public:
  struct Line {
    int level;
    std::string text;
  };
  struct Transfer {
    void* handle;
    std::string kind;  // "channel", "group", "member", "epg"
    std::string name;  // channel, group or show title
    unsigned int uid = 0;
    unsigned int number = 0;
    bool isRadio = false;
    std::string iconPath;
  };

  void Log(int level, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Check();
    lines_.push_back({level, text});
  }
  void Notify(int kind, const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Check();
    notifications_.push_back({kind, text});
  }
  bool ReadFile(const std::string& path, std::string& out) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Check();
    auto found = files_.find(path);
    if (found == files_.end())
      return false;
    out = found->second;
    return true;
  }
  WriteResult WriteFile(const std::string& path, const std::string& data,
                        size_t& written) override {
    std::lock_guard<std::mutex> lock(mutex_);
    Check();
    written = 0;
    if (path.find("unwritable") != std::string::npos)
      return WriteNotOpened;
    files_[path] = data;
    written = data.size();
    return WriteDone;
  }
  void TransferChannel(void* handle, const zu::nivo::Channel& channel,
                       const std::string& iconPath) override {
    Record(
        {handle, "channel", channel.name, channel.uid, channel.number, channel.isRadio, iconPath});
  }
  void TransferChannelGroup(void* handle, const std::string& name, bool isRadio) override {
    Record({handle, "group", name, 0, 0, isRadio, ""});
  }
  void TransferChannelGroupMember(void* handle, const std::string& group, unsigned int uid,
                                  unsigned int number) override {
    Record({handle, "member", group, uid, number, false, ""});
  }
  void TransferEpgEntry(void* handle, const zu::nivo::TVShow& show,
                        unsigned int channelNumber) override {
    Record({handle, "epg", show.title, show.id, channelNumber, false, ""});
  }
  void TriggerEpgUpdate(unsigned int) override {}
  void TriggerTimerUpdate() override {}

  // Called after every transfer, outside the host's lock.
  std::function<void(const Transfer&)> onTransfer;

  void Release() { released_ = true; }
  bool Released() const { return released_; }
  int LateCalls() const { return lateCalls_; }

  std::vector<Line> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  std::vector<Line> Notifications() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return notifications_;
  }
  std::vector<Transfer> Transfers() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return transfers_;
  }
  size_t CountLines(int level, const std::string& text) const {
    size_t count = 0;
    for (const Line& line : Lines())
      count += line.level == level && line.text == text ? 1 : 0;
    return count;
  }
  void PutFile(const std::string& path, const std::string& data) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_[path] = data;
  }
  std::string File(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = files_.find(path);
    return found != files_.end() ? found->second : std::string();
  }

 private:
  void Check() {
    if (released_)
      ++lateCalls_;
  }
  void Record(const Transfer& transfer) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Check();
      transfers_.push_back(transfer);
    }
    if (onTransfer)
      onTransfer(transfer);
  }

  mutable std::mutex mutex_;
  std::atomic<bool> released_{false};
  std::atomic<int> lateCalls_{0};
  std::vector<Line> lines_;
  std::vector<Line> notifications_;
  std::vector<Transfer> transfers_;
  std::map<std::string, std::string> files_;
};

}  // namespace zu_test
