#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "addon/HostApi.h"

namespace zu {
namespace host {

// Plain copies of the records the add-on hands to the host (and the host to the add-on).
// Text fields hold what the host reads from the fixed-size record fields: the text up to the
// terminating zero, or the whole field when the add-on left it unterminated.

struct Channel {
  unsigned int uid = 0;
  bool isRadio = false;
  unsigned int number = 0;
  unsigned int subNumber = 0;
  std::string name;
  std::string inputFormat;
  std::string streamUrl;
  unsigned int encryptionSystem = 0;
  std::string iconPath;
  bool isHidden = false;
};

struct ChannelGroup {
  std::string name;
  bool isRadio = false;
  unsigned int position = 0;
};

struct GroupMember {
  std::string groupName;
  unsigned int channelUid = 0;
  unsigned int channelNumber = 0;
};

struct Timer {
  unsigned int clientIndex = 0;
  unsigned int parentClientIndex = 0;
  int clientChannelUid = 0;
  time_t startTime = 0;
  time_t endTime = 0;
  bool startAnyTime = false;
  bool endAnyTime = false;
  PVR_TIMER_STATE state = PVR_TIMER_STATE_NEW;
  unsigned int timerType = 0;
  std::string title;
  std::string epgSearchString;
  bool fullTextEpgSearch = false;
  std::string directory;
  std::string summary;
  int priority = 0;
  int lifetime = 0;
  int maxRecordings = 0;
  unsigned int recordingGroup = 0;
  time_t firstDay = 0;
  unsigned int weekdays = 0;
  unsigned int preventDuplicateEpisodes = 0;
  unsigned int epgUid = 0;
  unsigned int marginStart = 0;
  unsigned int marginEnd = 0;
  int genreType = 0;
  int genreSubType = 0;
};

// A guide entry. A text the add-on left null arrives as an empty string.
struct EpgEntry {
  unsigned int broadcastId = 0;
  std::string title;
  unsigned int channelNumber = 0;
  time_t startTime = 0;
  time_t endTime = 0;
  std::string plotOutline;
  std::string plot;
  std::string originalTitle;
  std::string cast;
  std::string director;
  std::string writer;
  int year = 0;
  std::string imdbNumber;
  std::string iconPath;
  int genreType = 0;
  int genreSubType = 0;
  std::string genreDescription;
  time_t firstAired = 0;
  int parentalRating = 0;
  int starRating = 0;
  bool notify = false;
  int seriesNumber = 0;
  int episodeNumber = 0;
  int episodePartNumber = 0;
  std::string episodeName;
  unsigned int flags = 0;
};

struct SignalStatus {
  std::string adapterName;
  std::string adapterStatus;
  std::string serviceName;
  std::string providerName;
  std::string muxName;
  int snr = 0;
  int signal = 0;
  long ber = 0;
  long unc = 0;
  double videoBitrate = 0;
  double audioBitrate = 0;
  double dolbyBitrate = 0;
};

// The constant texts of the function table (slots 0-3, 6-8 and 68).
struct BackendInfo {
  std::string pvrApiVersion;
  std::string minimumPvrApiVersion;
  std::string guiApiVersion;
  std::string minimumGuiApiVersion;
  std::string backendName;
  std::string backendVersion;
  std::string connectionString;
  std::string backendHostname;
};

// One line of the host log. Lines the host writes about the add-on's conduct (a call after
// unregistering, an unterminated text field, ...) have fromHost set.
struct LogLine {
  int level = ADDON_LOG_DEBUG;  // an addon_log_t value as the add-on passed it
  std::string text;
  bool fromHost = false;
};

struct Notification {
  int kind = QUEUE_INFO;  // a queue_msg_t value as the add-on passed it
  std::string text;
};

enum class TriggerKind {
  TimerUpdate,
  RecordingUpdate,
  ChannelUpdate,
  ChannelGroupsUpdate,
  EpgUpdate
};

// An update request of the add-on; channelUid is set for EpgUpdate only.
struct Trigger {
  TriggerKind kind = TriggerKind::EpgUpdate;
  unsigned int channelUid = 0;
};

// "DEBUG", "INFO", "NOTICE", "ERROR"; "LEVEL<n>" for a value outside the host's levels.
std::string LogLevelName(int level);
// "info", "warning", "error"; "kind<n>" for other values.
std::string NotificationKindName(int kind);
// "timer", "recording", "channel", "channel groups", "epg".
std::string TriggerKindName(TriggerKind kind);
// The host's name of a PVR_ERROR value, e.g. "not implemented"; "error <n>" for unknown ones.
std::string PvrErrorName(int error);
// The host's name of an ADDON_STATUS value, e.g. "permanent failure"; "status <n>" otherwise.
std::string AddonStatusName(int status);
// The host's name of a timer state, e.g. "scheduled"; "state <n>" otherwise.
std::string TimerStateName(int state);

// Record conversions. Texts longer than a field are cut to size - 1 characters, so the host
// never hands the add-on an unterminated field.
PVR_CHANNEL ToPvrChannel(const Channel& channel);
PVR_CHANNEL_GROUP ToPvrChannelGroup(const ChannelGroup& group);
PVR_TIMER ToPvrTimer(const Timer& timer);

}  // namespace host
}  // namespace zu
