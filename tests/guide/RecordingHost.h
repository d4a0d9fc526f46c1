#pragma once

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "nivo/Host.h"

namespace guide_test {

// How long any wait of the tests may last before it counts as a failure.
const std::chrono::seconds kBound(60);

// What the update thread shows the user when it switches to detailed mode.
const char kDetailedModeNote[] = "Triggering detailed EPG update";

// A host that keeps what the client hands it, serves the client's files from the real file
// system (the client tests their presence there), and lets a test wait for what arrives from
// other threads.
class RecordingHost : public zu::nivo::Host {
 public:
  struct Line {
    int level;
    std::string text;
  };
  struct Note {
    int kind;
    std::string text;
  };
  struct Entry {
    void* handle;
    zu::nivo::TVShow show;
    unsigned int channelNumber;
  };

  void Log(int level, const std::string& text) override {
    Add([&] { lines_.push_back({level, text}); });
  }
  void Notify(int kind, const std::string& text) override {
    Add([&] { notes_.push_back({kind, text}); });
  }
  bool ReadFile(const std::string& path, std::string& out) override {
    std::ifstream in(path, std::ios::binary);
    if (!in)
      return false;
    std::stringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
  }
  WriteResult WriteFile(const std::string& path, const std::string& data,
                        size_t& written) override {
    written = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
      return WriteNotOpened;
    out << data;
    if (!out)
      return WriteCutShort;
    written = data.size();
    return WriteDone;
  }
  void TransferChannel(void*, const zu::nivo::Channel&, const std::string&) override {}
  void TransferChannelGroup(void*, const std::string&, bool) override {}
  void TransferChannelGroupMember(void*, const std::string&, unsigned int, unsigned int) override {}
  void TransferEpgEntry(void* handle, const zu::nivo::TVShow& show,
                        unsigned int channelNumber) override {
    if (beforeEntry)
      beforeEntry();
    Add([&] { entries_.push_back({handle, show, channelNumber}); });
  }
  void TriggerEpgUpdate(unsigned int uid) override {
    Add([&] { triggers_.push_back(uid); });
  }
  void TriggerTimerUpdate() override {}

  // Called at the start of every guide entry transfer when set (it may throw).
  std::function<void()> beforeEntry;

  std::vector<Line> Lines() const { return Get(lines_); }
  std::vector<Note> Notes() const { return Get(notes_); }
  std::vector<unsigned int> Triggers() const { return Get(triggers_); }
  // Forgets the lines, notifications and entries received so far.
  void Forget() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
    notes_.clear();
    entries_.clear();
  }
  // The guide entries handed over since the last call.
  std::vector<Entry> TakeEntries() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Entry> taken;
    taken.swap(entries_);
    return taken;
  }

  // Log lines containing part, at the level (any level when level < 0).
  size_t CountLines(const std::string& part, int level = -1) const {
    size_t count = 0;
    for (const Line& line : Lines())
      count += line.text.find(part) != std::string::npos && (level < 0 || line.level == level);
    return count;
  }
  // Notifications of exactly this text.
  size_t CountNotes(const std::string& text) const {
    size_t count = 0;
    for (const Note& note : Notes())
      count += note.text == text;
    return count;
  }
  // The first log line containing part, or "".
  std::string FindLine(const std::string& part) const {
    for (const Line& line : Lines()) {
      if (line.text.find(part) != std::string::npos)
        return line.text;
    }
    return std::string();
  }
  // Waits until condition holds, at most kBound; the condition is checked whenever something
  // arrives and every few milliseconds.
  bool WaitFor(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + kBound;
    while (!condition()) {
      if (std::chrono::steady_clock::now() >= end)
        return false;
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait_for(lock, std::chrono::milliseconds(10));
    }
    return true;
  }

 private:
  template <class Change>
  void Add(const Change& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change();
    changed_.notify_all();
  }
  template <class T>
  std::vector<T> Get(const std::vector<T>& items) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items;
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Line> lines_;
  std::vector<Note> notes_;
  std::vector<Entry> entries_;
  std::vector<unsigned int> triggers_;
};

}  // namespace guide_test
