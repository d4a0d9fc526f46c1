#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/HostRecords.h"
#include "host/imp/HostBridge.h"

namespace zu {
namespace host {
namespace imp {

enum class RecordKind { Channel, Group, Member, Timer, Epg, Recording };

// The host side of the helper libraries: keeps what the add-on hands over and writes the host
// log. One recorder serves one loaded add-on; its address is the context of the bridge
// functions, so it must outlive the add-on library.
class Recorder {
 public:
  // Records of one running list request.
  struct Collection {
    std::vector<Channel> channels;
    std::vector<ChannelGroup> groups;
    std::vector<GroupMember> members;
    std::vector<Timer> timers;
    std::vector<EpgEntry> epg;
    size_t recordings = 0;
  };

  // A list request: while the object lives, its handle is the only request handle whose
  // transfers are accepted, and they land in its collection; only records of the expected
  // kind are kept. Read the collection after the add-on's call has returned.
  class Request {
   public:
    Request(Recorder& recorder, RecordKind expected, const char* call);
    ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    ADDON_HANDLE Handle() { return &handle_; }
    const Collection& Result() const { return collection_; }

   private:
    friend class Recorder;
    Recorder& recorder_;
    ADDON_HANDLE_STRUCT handle_;
    RecordKind expected_;
    std::string call_;
    Collection collection_;
  };

  // Appends to the log file at logPath; Open() tells whether it could be opened. echo: errors
  // and notifications are also written to standard error.
  Recorder(const std::string& logPath, bool echo);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // False when the log file could not be opened (the reason is in error).
  bool Open(std::string& error) const;

  // The functions the helper libraries call; the recorder is their context.
  static const HostBridge* Bridge();

  // A line of the host's own (about loading, or the add-on's conduct). Errors count as host
  // errors and are mirrored to standard error.
  void HostLog(int level, const std::string& text);

  std::vector<LogLine> LogLines() const;
  std::vector<Notification> Notifications() const;
  std::vector<Trigger> Triggers() const;
  std::optional<Trigger> TakeTrigger(TriggerKind kind, std::chrono::milliseconds bound);
  bool WaitForLogLine(const std::string& text, std::chrono::milliseconds bound);
  // Names of the helper libraries with registrations not yet ended, one entry each.
  std::vector<std::string> OpenRegistrations() const;
  size_t HostErrors() const;

 private:
  struct Registration {
    int library;
    bool active;
  };

  static void* RegisterMe(void* context, int library);
  static void UnregisterMe(void* context, int library, void* cb);
  static void Log(void* context, void* cb, int level, const char* text);
  static void Notify(void* context, void* cb, int kind, const char* text);
  static void TransferChannel(void* context, void* cb, ADDON_HANDLE request,
                              const PVR_CHANNEL* record);
  static void TransferGroup(void* context, void* cb, ADDON_HANDLE request,
                            const PVR_CHANNEL_GROUP* record);
  static void TransferMember(void* context, void* cb, ADDON_HANDLE request,
                             const PVR_CHANNEL_GROUP_MEMBER* record);
  static void TransferTimer(void* context, void* cb, ADDON_HANDLE request, const PVR_TIMER* record);
  static void TransferEpg(void* context, void* cb, ADDON_HANDLE request, const EPG_TAG* record);
  static void TransferRecording(void* context, void* cb, ADDON_HANDLE request, const void* record);
  static void TriggerUpdate(void* context, void* cb, int trigger, unsigned int channelUid);
  static void Note(void* context, void* cb, const char* function, const char* detail);

  // True when cb is an active registration with the library; otherwise a host error naming
  // the function and what the dropped call carried.
  bool CheckCallback(void* cb, int library, const char* function, const std::string& carried);
  // Stores a converted record into the running request of the handle. problems are the
  // conversion's complaints, logged as host errors.
  template <class T>
  void Store(ADDON_HANDLE request, RecordKind kind, const char* function, T&& record,
             const std::vector<std::string>& problems);
  // Writes one line to the file (and standard error for errors); mutex_ held.
  void WriteLine(int level, const std::string& text, bool fromHost);
  void HostLogLocked(int level, const std::string& text);

  std::string logPath_;
  FILE* logFile_ = nullptr;
  int openError_ = 0;
  bool echo_ = true;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<LogLine> lines_;
  std::vector<Notification> notifications_;
  std::vector<Trigger> triggers_;
  std::vector<bool> taken_;
  // Ended registrations stay here, so that a stale callback handle is recognised as such
  // and its address is never handed out again.
  std::map<const void*, std::unique_ptr<Registration>> registrations_;
  std::map<ADDON_HANDLE, Request*> requests_;
  size_t hostErrors_ = 0;
};

}  // namespace imp
}  // namespace host
}  // namespace zu
