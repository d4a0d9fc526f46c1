#include "host/imp/Recorder.h"

#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace zu {
namespace host {
namespace imp {
namespace {

const char* LibraryName(int library) {
  return library == kAddonLibrary ? "libXBMC_addon" : "libXBMC_pvr";
}

// Whole field when the add-on left it unterminated (the complaint goes to problems), the text
// up to the terminator otherwise.
template <size_t N>
std::string FieldText(const char (&field)[N], const std::string& record, const char* name,
                      std::vector<std::string>& problems) {
  size_t length = strnlen(field, N);
  if (length == N)
    problems.push_back(record + ": " + name + " is not terminated within its " + std::to_string(N) +
                       " bytes");
  return std::string(field, length);
}

std::string PointerText(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

Channel FromRecord(const PVR_CHANNEL& record, std::vector<std::string>& problems) {
  Channel channel;
  channel.uid = record.iUniqueId;
  std::string what = "channel " + std::to_string(channel.uid);
  channel.isRadio = record.bIsRadio;
  channel.number = record.iChannelNumber;
  channel.subNumber = record.iSubChannelNumber;
  channel.name = FieldText(record.strChannelName, what, "strChannelName", problems);
  channel.inputFormat = FieldText(record.strInputFormat, what, "strInputFormat", problems);
  channel.streamUrl = FieldText(record.strStreamURL, what, "strStreamURL", problems);
  channel.encryptionSystem = record.iEncryptionSystem;
  channel.iconPath = FieldText(record.strIconPath, what, "strIconPath", problems);
  channel.isHidden = record.bIsHidden;
  return channel;
}

ChannelGroup FromRecord(const PVR_CHANNEL_GROUP& record, std::vector<std::string>& problems) {
  ChannelGroup group;
  group.name = FieldText(record.strGroupName, "channel group", "strGroupName", problems);
  group.isRadio = record.bIsRadio;
  group.position = record.iPosition;
  return group;
}

GroupMember FromRecord(const PVR_CHANNEL_GROUP_MEMBER& record, std::vector<std::string>& problems) {
  GroupMember member;
  member.channelUid = record.iChannelUniqueId;
  member.channelNumber = record.iChannelNumber;
  member.groupName =
      FieldText(record.strGroupName, "group member " + std::to_string(member.channelUid),
                "strGroupName", problems);
  return member;
}

Timer FromRecord(const PVR_TIMER& record, std::vector<std::string>& problems) {
  Timer timer;
  timer.clientIndex = record.iClientIndex;
  std::string what = "timer " + std::to_string(timer.clientIndex);
  timer.parentClientIndex = record.iParentClientIndex;
  timer.clientChannelUid = record.iClientChannelUid;
  timer.startTime = record.startTime;
  timer.endTime = record.endTime;
  timer.startAnyTime = record.bStartAnyTime;
  timer.endAnyTime = record.bEndAnyTime;
  timer.state = record.state;
  timer.timerType = record.iTimerType;
  timer.title = FieldText(record.strTitle, what, "strTitle", problems);
  timer.epgSearchString =
      FieldText(record.strEpgSearchString, what, "strEpgSearchString", problems);
  timer.fullTextEpgSearch = record.bFullTextEpgSearch;
  timer.directory = FieldText(record.strDirectory, what, "strDirectory", problems);
  timer.summary = FieldText(record.strSummary, what, "strSummary", problems);
  timer.priority = record.iPriority;
  timer.lifetime = record.iLifetime;
  timer.maxRecordings = record.iMaxRecordings;
  timer.recordingGroup = record.iRecordingGroup;
  timer.firstDay = record.firstDay;
  timer.weekdays = record.iWeekdays;
  timer.preventDuplicateEpisodes = record.iPreventDuplicateEpisodes;
  timer.epgUid = record.iEpgUid;
  timer.marginStart = record.iMarginStart;
  timer.marginEnd = record.iMarginEnd;
  timer.genreType = record.iGenreType;
  timer.genreSubType = record.iGenreSubType;
  return timer;
}

EpgEntry FromRecord(const EPG_TAG& record, std::vector<std::string>& problems) {
  EpgEntry entry;
  entry.broadcastId = record.iUniqueBroadcastId;
  entry.title = PointerText(record.strTitle);
  if (record.strTitle == nullptr)
    problems.push_back("guide entry " + std::to_string(entry.broadcastId) + " has no title");
  entry.channelNumber = record.iChannelNumber;
  entry.startTime = record.startTime;
  entry.endTime = record.endTime;
  entry.plotOutline = PointerText(record.strPlotOutline);
  entry.plot = PointerText(record.strPlot);
  entry.originalTitle = PointerText(record.strOriginalTitle);
  entry.cast = PointerText(record.strCast);
  entry.director = PointerText(record.strDirector);
  entry.writer = PointerText(record.strWriter);
  entry.year = record.iYear;
  entry.imdbNumber = PointerText(record.strIMDBNumber);
  entry.iconPath = PointerText(record.strIconPath);
  entry.genreType = record.iGenreType;
  entry.genreSubType = record.iGenreSubType;
  entry.genreDescription = PointerText(record.strGenreDescription);
  entry.firstAired = record.firstAired;
  entry.parentalRating = record.iParentalRating;
  entry.starRating = record.iStarRating;
  entry.notify = record.bNotify;
  entry.seriesNumber = record.iSeriesNumber;
  entry.episodeNumber = record.iEpisodeNumber;
  entry.episodePartNumber = record.iEpisodePartNumber;
  entry.episodeName = PointerText(record.strEpisodeName);
  entry.flags = record.iFlags;
  return entry;
}

const char* KindName(RecordKind kind) {
  switch (kind) {
    case RecordKind::Channel:
      return "a channel";
    case RecordKind::Group:
      return "a channel group";
    case RecordKind::Member:
      return "a group member";
    case RecordKind::Timer:
      return "a timer";
    case RecordKind::Epg:
      return "a guide entry";
    case RecordKind::Recording:
      return "a recording";
  }
  return "a record";
}

void Append(Recorder::Collection& collection, Channel&& record) {
  collection.channels.push_back(std::move(record));
}
void Append(Recorder::Collection& collection, ChannelGroup&& record) {
  collection.groups.push_back(std::move(record));
}
void Append(Recorder::Collection& collection, GroupMember&& record) {
  collection.members.push_back(std::move(record));
}
void Append(Recorder::Collection& collection, Timer&& record) {
  collection.timers.push_back(std::move(record));
}
void Append(Recorder::Collection& collection, EpgEntry&& record) {
  collection.epg.push_back(std::move(record));
}
void Append(Recorder::Collection& collection, bool&&) {
  ++collection.recordings;
}

std::string TimeStamp() {
  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm local;
  localtime_r(&now.tv_sec, &local);
  char text[64];
  size_t length = strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &local);
  snprintf(text + length, sizeof(text) - length, ".%03ld", static_cast<long>(now.tv_usec / 1000));
  return text;
}

}  // namespace

Recorder::Request::Request(Recorder& recorder, RecordKind expected, const char* call)
    : recorder_(recorder), expected_(expected), call_(call) {
  handle_.callerAddress = &recorder;
  handle_.dataAddress = this;
  handle_.dataIdentifier = 0;
  std::lock_guard<std::mutex> lock(recorder_.mutex_);
  recorder_.requests_[&handle_] = this;
}

Recorder::Request::~Request() {
  std::lock_guard<std::mutex> lock(recorder_.mutex_);
  recorder_.requests_.erase(&handle_);
}

Recorder::Recorder(const std::string& logPath, bool echo) : logPath_(logPath), echo_(echo) {
  logFile_ = fopen(logPath.c_str(), "ae");
  if (logFile_ == nullptr)
    openError_ = errno;
}

Recorder::~Recorder() {
  if (logFile_ != nullptr)
    fclose(logFile_);
}

bool Recorder::Open(std::string& error) const {
  if (logFile_ != nullptr)
    return true;
  error = "cannot write the host log " + logPath_ + ": " + strerror(openError_);
  return false;
}

const HostBridge* Recorder::Bridge() {
  static const HostBridge bridge = {&Recorder::RegisterMe,
                                    &Recorder::UnregisterMe,
                                    &Recorder::Log,
                                    &Recorder::Notify,
                                    &Recorder::TransferChannel,
                                    &Recorder::TransferGroup,
                                    &Recorder::TransferMember,
                                    &Recorder::TransferTimer,
                                    &Recorder::TransferEpg,
                                    &Recorder::TransferRecording,
                                    &Recorder::TriggerUpdate,
                                    &Recorder::Note};
  return &bridge;
}

void Recorder::WriteLine(int level, const std::string& text, bool fromHost) {
  if (logFile_ != nullptr) {
    fprintf(logFile_, "%s T:%ld %7s: %s%s\n", TimeStamp().c_str(),
            static_cast<long>(syscall(SYS_gettid)), LogLevelName(level).c_str(),
            fromHost ? "[host] " : "", text.c_str());
    fflush(logFile_);
  }
  if (level == ADDON_LOG_ERROR && echo_)
    fprintf(stderr, "ERROR: %s%s\n", fromHost ? "[host] " : "", text.c_str());
}

void Recorder::HostLogLocked(int level, const std::string& text) {
  if (level == ADDON_LOG_ERROR)
    ++hostErrors_;
  lines_.push_back(LogLine{level, text, true});
  WriteLine(level, text, true);
  changed_.notify_all();
}

void Recorder::HostLog(int level, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  HostLogLocked(level, text);
}

bool Recorder::CheckCallback(void* cb, int library, const char* function,
                             const std::string& carried) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = registrations_.find(cb);
  std::string problem;
  if (found == registrations_.end())
    problem = "an unknown callback handle";
  else if (found->second->library != library)
    problem = std::string("a callback handle of ") + LibraryName(found->second->library);
  else if (!found->second->active)
    problem = "a callback handle whose registration has ended";
  else
    return true;
  HostLogLocked(ADDON_LOG_ERROR,
                std::string(function) + " called with " + problem + "; dropped" + carried);
  return false;
}

void* Recorder::RegisterMe(void* context, int library) {
  Recorder* self = static_cast<Recorder*>(context);
  std::lock_guard<std::mutex> lock(self->mutex_);
  std::unique_ptr<Registration> registration(new Registration{library, true});
  void* cb = registration.get();
  self->registrations_[cb] = std::move(registration);
  self->HostLogLocked(ADDON_LOG_DEBUG, std::string("registered with ") + LibraryName(library));
  return cb;
}

void Recorder::UnregisterMe(void* context, int library, void* cb) {
  Recorder* self = static_cast<Recorder*>(context);
  std::lock_guard<std::mutex> lock(self->mutex_);
  auto found = self->registrations_.find(cb);
  if (found == self->registrations_.end() || found->second->library != library) {
    self->HostLogLocked(ADDON_LOG_ERROR, std::string("unregistering from ") + LibraryName(library) +
                                             " with an unknown callback handle");
  } else if (!found->second->active) {
    self->HostLogLocked(ADDON_LOG_ERROR, std::string("unregistering from ") + LibraryName(library) +
                                             " a second time");
  } else {
    found->second->active = false;
    self->HostLogLocked(ADDON_LOG_DEBUG, std::string("unregistered from ") + LibraryName(library));
  }
}

void Recorder::Log(void* context, void* cb, int level, const char* text) {
  Recorder* self = static_cast<Recorder*>(context);
  std::string line = PointerText(text);
  if (!self->CheckCallback(cb, kAddonLibrary, "XBMC_log", ": \"" + line + "\""))
    return;
  std::lock_guard<std::mutex> lock(self->mutex_);
  if (text == nullptr)
    self->HostLogLocked(ADDON_LOG_ERROR, "XBMC_log called without a text");
  if (level < ADDON_LOG_DEBUG || level > ADDON_LOG_ERROR)
    self->HostLogLocked(ADDON_LOG_ERROR,
                        "XBMC_log called with the unknown level " + std::to_string(level));
  self->lines_.push_back(LogLine{level, line, false});
  self->WriteLine(level, line, false);
  self->changed_.notify_all();
}

void Recorder::Notify(void* context, void* cb, int kind, const char* text) {
  Recorder* self = static_cast<Recorder*>(context);
  std::string message = PointerText(text);
  if (!self->CheckCallback(cb, kAddonLibrary, "XBMC_queue_notification", ": \"" + message + "\""))
    return;
  std::lock_guard<std::mutex> lock(self->mutex_);
  if (text == nullptr)
    self->HostLogLocked(ADDON_LOG_ERROR, "XBMC_queue_notification called without a text");
  if (kind < QUEUE_INFO || kind > QUEUE_ERROR)
    self->HostLogLocked(ADDON_LOG_ERROR, "XBMC_queue_notification called with the unknown kind " +
                                             std::to_string(kind));
  self->notifications_.push_back(Notification{kind, message});
  // Shown the way a headless host can: on standard error, and in the log.
  if (self->echo_)
    fprintf(stderr, "notification (%s): %s\n", NotificationKindName(kind).c_str(), message.c_str());
  self->WriteLine(ADDON_LOG_NOTICE, "notification (" + NotificationKindName(kind) + "): " + message,
                  true);
  self->changed_.notify_all();
}

template <class T>
void Recorder::Store(ADDON_HANDLE request, RecordKind kind, const char* function, T&& record,
                     const std::vector<std::string>& problems) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const std::string& problem : problems)
    HostLogLocked(ADDON_LOG_ERROR, std::string(function) + ": " + problem);
  auto found = requests_.find(request);
  if (found == requests_.end()) {
    HostLogLocked(ADDON_LOG_ERROR, std::string(function) + " with a request handle that belongs " +
                                       "to no running request; " + KindName(kind) + " dropped");
    return;
  }
  Request* running = found->second;
  if (request->dataAddress != running) {
    HostLogLocked(ADDON_LOG_ERROR, std::string(function) + ": the add-on changed the request " +
                                       "handle of " + running->call_ + "; " + KindName(kind) +
                                       " dropped");
    return;
  }
  if (running->expected_ != kind) {
    HostLogLocked(ADDON_LOG_ERROR, std::string(function) + ": " + KindName(kind) +
                                       " transferred during " + running->call_ + "; dropped");
    return;
  }
  Append(running->collection_, std::forward<T>(record));
}

void Recorder::TransferChannel(void* context, void* cb, ADDON_HANDLE request,
                               const PVR_CHANNEL* record) {
  Recorder* self = static_cast<Recorder*>(context);
  const char* function = "PVR_transfer_channel_entry";
  if (!self->CheckCallback(cb, kPvrLibrary, function, ""))
    return;
  if (record == nullptr)
    return self->HostLog(ADDON_LOG_ERROR, std::string(function) + " called without a record");
  std::vector<std::string> problems;
  self->Store(request, RecordKind::Channel, function, FromRecord(*record, problems), problems);
}

void Recorder::TransferGroup(void* context, void* cb, ADDON_HANDLE request,
                             const PVR_CHANNEL_GROUP* record) {
  Recorder* self = static_cast<Recorder*>(context);
  const char* function = "PVR_transfer_channel_group";
  if (!self->CheckCallback(cb, kPvrLibrary, function, ""))
    return;
  if (record == nullptr)
    return self->HostLog(ADDON_LOG_ERROR, std::string(function) + " called without a record");
  std::vector<std::string> problems;
  self->Store(request, RecordKind::Group, function, FromRecord(*record, problems), problems);
}

void Recorder::TransferMember(void* context, void* cb, ADDON_HANDLE request,
                              const PVR_CHANNEL_GROUP_MEMBER* record) {
  Recorder* self = static_cast<Recorder*>(context);
  const char* function = "PVR_transfer_channel_group_member";
  if (!self->CheckCallback(cb, kPvrLibrary, function, ""))
    return;
  if (record == nullptr)
    return self->HostLog(ADDON_LOG_ERROR, std::string(function) + " called without a record");
  std::vector<std::string> problems;
  self->Store(request, RecordKind::Member, function, FromRecord(*record, problems), problems);
}

void Recorder::TransferTimer(void* context, void* cb, ADDON_HANDLE request,
                             const PVR_TIMER* record) {
  Recorder* self = static_cast<Recorder*>(context);
  const char* function = "PVR_transfer_timer_entry";
  if (!self->CheckCallback(cb, kPvrLibrary, function, ""))
    return;
  if (record == nullptr)
    return self->HostLog(ADDON_LOG_ERROR, std::string(function) + " called without a record");
  std::vector<std::string> problems;
  self->Store(request, RecordKind::Timer, function, FromRecord(*record, problems), problems);
}

void Recorder::TransferEpg(void* context, void* cb, ADDON_HANDLE request, const EPG_TAG* record) {
  Recorder* self = static_cast<Recorder*>(context);
  const char* function = "PVR_transfer_epg_entry";
  if (!self->CheckCallback(cb, kPvrLibrary, function, ""))
    return;
  if (record == nullptr)
    return self->HostLog(ADDON_LOG_ERROR, std::string(function) + " called without a record");
  std::vector<std::string> problems;
  self->Store(request, RecordKind::Epg, function, FromRecord(*record, problems), problems);
}

// Recordings are opaque to the host: only their number is kept.
void Recorder::TransferRecording(void* context, void* cb, ADDON_HANDLE request,
                                 const void* record) {
  Recorder* self = static_cast<Recorder*>(context);
  const char* function = "PVR_transfer_recording_entry";
  if (!self->CheckCallback(cb, kPvrLibrary, function, ""))
    return;
  if (record == nullptr)
    return self->HostLog(ADDON_LOG_ERROR, std::string(function) + " called without a record");
  self->Store(request, RecordKind::Recording, function, true, {});
}

void Recorder::TriggerUpdate(void* context, void* cb, int trigger, unsigned int channelUid) {
  Recorder* self = static_cast<Recorder*>(context);
  static const TriggerKind kinds[] = {TriggerKind::TimerUpdate, TriggerKind::RecordingUpdate,
                                      TriggerKind::ChannelUpdate, TriggerKind::ChannelGroupsUpdate,
                                      TriggerKind::EpgUpdate};
  if (trigger < kTriggerTimer || trigger > kTriggerEpg)
    return self->HostLog(ADDON_LOG_ERROR, "an unknown update trigger " + std::to_string(trigger));
  TriggerKind kind = kinds[trigger];
  std::string what = TriggerKindName(kind) + " update";
  if (kind == TriggerKind::EpgUpdate)
    what += " of channel " + std::to_string(channelUid);
  if (!self->CheckCallback(cb, kPvrLibrary, "PVR_trigger_*", " (" + what + ")"))
    return;
  std::lock_guard<std::mutex> lock(self->mutex_);
  self->triggers_.push_back(Trigger{kind, kind == TriggerKind::EpgUpdate ? channelUid : 0});
  self->taken_.push_back(false);
  self->WriteLine(ADDON_LOG_DEBUG, "trigger: " + what, true);
  self->changed_.notify_all();
}

void Recorder::Note(void* context, void* cb, const char* function, const char* detail) {
  Recorder* self = static_cast<Recorder*>(context);
  std::string name = PointerText(function);
  std::string text = name + ": " + PointerText(detail);
  {
    std::lock_guard<std::mutex> lock(self->mutex_);
    auto found = self->registrations_.find(cb);
    if (found == self->registrations_.end() || !found->second->active) {
      self->HostLogLocked(ADDON_LOG_ERROR, name + " called with an unknown or ended callback " +
                                               "handle; dropped (" + text + ")");
      return;
    }
  }
  self->HostLog(ADDON_LOG_NOTICE, text);
}

std::vector<LogLine> Recorder::LogLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

std::vector<Notification> Recorder::Notifications() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notifications_;
}

std::vector<Trigger> Recorder::Triggers() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return triggers_;
}

std::optional<Trigger> Recorder::TakeTrigger(TriggerKind kind, std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::optional<Trigger> taken;
  changed_.wait_for(lock, bound, [&] {
    for (size_t i = 0; i < triggers_.size(); ++i) {
      if (!taken_[i] && triggers_[i].kind == kind) {
        taken_[i] = true;
        taken = triggers_[i];
        return true;
      }
    }
    return false;
  });
  return taken;
}

bool Recorder::WaitForLogLine(const std::string& text, std::chrono::milliseconds bound) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, bound, [&] {
    return std::any_of(lines_.begin(), lines_.end(), [&](const LogLine& line) {
      return line.text.find(text) != std::string::npos;
    });
  });
}

std::vector<std::string> Recorder::OpenRegistrations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> open;
  for (const auto& registration : registrations_) {
    if (registration.second->active)
      open.push_back(LibraryName(registration.second->library));
  }
  return open;
}

size_t Recorder::HostErrors() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hostErrors_;
}

}  // namespace imp
}  // namespace host
}  // namespace zu
