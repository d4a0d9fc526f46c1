#include "host/HostRecords.h"

#include <cstring>

namespace zu {
namespace host {
namespace {

template <size_t N>
void CopyField(char (&field)[N], const std::string& text) {
  size_t length = text.size() < N - 1 ? text.size() : N - 1;
  memcpy(field, text.data(), length);
  field[length] = '\0';
}

}  // namespace

std::string LogLevelName(int level) {
  switch (level) {
    case ADDON_LOG_DEBUG:
      return "DEBUG";
    case ADDON_LOG_INFO:
      return "INFO";
    case ADDON_LOG_NOTICE:
      return "NOTICE";
    case ADDON_LOG_ERROR:
      return "ERROR";
  }
  return "LEVEL" + std::to_string(level);
}

std::string NotificationKindName(int kind) {
  switch (kind) {
    case QUEUE_INFO:
      return "info";
    case QUEUE_WARNING:
      return "warning";
    case QUEUE_ERROR:
      return "error";
  }
  return "kind" + std::to_string(kind);
}

std::string TriggerKindName(TriggerKind kind) {
  switch (kind) {
    case TriggerKind::TimerUpdate:
      return "timer";
    case TriggerKind::RecordingUpdate:
      return "recording";
    case TriggerKind::ChannelUpdate:
      return "channel";
    case TriggerKind::ChannelGroupsUpdate:
      return "channel groups";
    case TriggerKind::EpgUpdate:
      return "epg";
  }
  return "unknown";
}

std::string PvrErrorName(int error) {
  static const char* const names[] = {
      "no error", "unknown",         "not implemented",    "server error",      "server timeout",
      "rejected", "already present", "invalid parameters", "recording running", "failed"};
  if (error <= 0 && error >= -9)
    return names[-error];
  return "error " + std::to_string(error);
}

std::string AddonStatusName(int status) {
  static const char* const names[] = {
      "ok",      "lost connection",     "need restart",     "need settings",
      "unknown", "need saved settings", "permanent failure"};
  if (status >= 0 && status <= 6)
    return names[status];
  return "status " + std::to_string(status);
}

std::string TimerStateName(int state) {
  static const char* const names[] = {"new",         "scheduled",       "recording",
                                      "completed",   "aborted",         "cancelled",
                                      "conflict ok", "conflict not ok", "error"};
  if (state >= 0 && state <= 8)
    return names[state];
  return "state " + std::to_string(state);
}

PVR_CHANNEL ToPvrChannel(const Channel& channel) {
  PVR_CHANNEL record;
  memset(&record, 0, sizeof(record));
  record.iUniqueId = channel.uid;
  record.bIsRadio = channel.isRadio;
  record.iChannelNumber = channel.number;
  record.iSubChannelNumber = channel.subNumber;
  CopyField(record.strChannelName, channel.name);
  CopyField(record.strInputFormat, channel.inputFormat);
  CopyField(record.strStreamURL, channel.streamUrl);
  record.iEncryptionSystem = channel.encryptionSystem;
  CopyField(record.strIconPath, channel.iconPath);
  record.bIsHidden = channel.isHidden;
  return record;
}

PVR_CHANNEL_GROUP ToPvrChannelGroup(const ChannelGroup& group) {
  PVR_CHANNEL_GROUP record;
  memset(&record, 0, sizeof(record));
  CopyField(record.strGroupName, group.name);
  record.bIsRadio = group.isRadio;
  record.iPosition = group.position;
  return record;
}

PVR_TIMER ToPvrTimer(const Timer& timer) {
  PVR_TIMER record;
  memset(&record, 0, sizeof(record));
  record.iClientIndex = timer.clientIndex;
  record.iParentClientIndex = timer.parentClientIndex;
  record.iClientChannelUid = timer.clientChannelUid;
  record.startTime = timer.startTime;
  record.endTime = timer.endTime;
  record.bStartAnyTime = timer.startAnyTime;
  record.bEndAnyTime = timer.endAnyTime;
  record.state = timer.state;
  record.iTimerType = timer.timerType;
  CopyField(record.strTitle, timer.title);
  CopyField(record.strEpgSearchString, timer.epgSearchString);
  record.bFullTextEpgSearch = timer.fullTextEpgSearch;
  CopyField(record.strDirectory, timer.directory);
  CopyField(record.strSummary, timer.summary);
  record.iPriority = timer.priority;
  record.iLifetime = timer.lifetime;
  record.iMaxRecordings = timer.maxRecordings;
  record.iRecordingGroup = timer.recordingGroup;
  record.firstDay = timer.firstDay;
  record.iWeekdays = timer.weekdays;
  record.iPreventDuplicateEpisodes = timer.preventDuplicateEpisodes;
  record.iEpgUid = timer.epgUid;
  record.iMarginStart = timer.marginStart;
  record.iMarginEnd = timer.marginEnd;
  record.iGenreType = timer.genreType;
  record.iGenreSubType = timer.genreSubType;
  return record;
}

}  // namespace host
}  // namespace zu
