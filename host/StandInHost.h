#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "addon/HostApi.h"
#include "base/SharedPtr.h"
#include "host/AddonManifest.h"
#include "host/HostRecords.h"

namespace zu {
namespace host {

// Where the add-on is and what the host tells it.
struct HostOptions {
  // The add-on folder: addon.xml and the library it names.
  std::string addonFolder;
  // The user data path given to the add-on; created when missing.
  std::string userPath;
  // The base directory of the helper libraries, passed to the add-on as an absolute path. It
  // is not checked: an add-on that cannot bind its helper libraries fails its own start.
  std::string hostBase;
  // The host log file (appended to); empty means "host.log" in the user path.
  std::string logPath;
  // Errors and notifications also go to standard error, as a headless host shows them. A
  // caller that shows them itself turns this off; the log file and the records keep them.
  bool echoToStandardError = true;
};

// Why a load failed.
struct LoadFailure {
  std::string message;                               // readable, for the user
  bool createCalled = false;                         // ADDON_Create ran and refused
  ADDON_STATUS createStatus = ADDON_STATUS_UNKNOWN;  // its answer when createCalled
};

class StandInHost;
using StandInHostPtr = SharedPtr<StandInHost>;

// Loads an add-on folder as the media-centre host does and serves it: reads addon.xml, opens
// the library (RTLD_NOW | RTLD_LOCAL), calls ADDON_Create with the host's add-on handle and
// properties, then get_addon for the function table. The host records what the add-on hands
// over through the helper libraries: log lines (also written to the host log file, errors
// mirrored to standard error), notifications, and update triggers. Records transferred during
// a call arrive as the call's result.
//
// Dropping the last pointer unloads the add-on: Destroy() unless it ran, then closing the
// library. Any thread
// may use the object; the calls into the add-on are not serialised by the host (as in the
// real host), so the add-on must cope with concurrent calls.
class StandInHost {
 public:
  // Loads the add-on; an empty pointer and the reason in failure when the folder holds no
  // loadable add-on or ADDON_Create does not answer ADDON_STATUS_OK. A library whose create
  // failed is closed again.
  static StandInHostPtr Load(const HostOptions& options, LoadFailure& failure);

  virtual ~StandInHost() = default;

  // The manifest the library was found through.
  virtual const AddonManifest& Manifest() const = 0;
  // The paths given to the add-on (absolute) and the host log file.
  virtual std::string UserPath() const = 0;
  virtual std::string ClientPath() const = 0;
  virtual std::string HostBase() const = 0;
  virtual std::string LogPath() const = 0;

  // Exported add-on functions.
  virtual ADDON_STATUS GetStatus() = 0;
  virtual void ReadSettings() = 0;
  virtual bool HasSettings() = 0;
  // Passes the value as a C string, as the host does for text settings.
  virtual ADDON_STATUS SetSetting(const std::string& name, const std::string& value) = 0;
  virtual void Stop() = 0;
  // ADDON_Destroy now, then a check that the add-on ended its helper library registrations
  // (each one left open is a host error); unloading then skips both. The library stays open,
  // so the add-on can still be asked what it answers without a client.
  virtual void Destroy() = 0;

  // The function table as get_addon filled it (slots the add-on left empty are null; the
  // calls below answer PVR_ERROR_NOT_IMPLEMENTED, or an empty result, for them and log why).
  virtual const PVRClient& Table() const = 0;

  // Slots 0-3, 6-8 and 68; a null text arrives as "" and is logged.
  virtual BackendInfo GetBackendInfo() = 0;
  // Slot 4, with a zeroed record passed in.
  virtual PVR_ERROR GetCapabilities(PVR_ADDON_CAPABILITIES& capabilities) = 0;
  // Slot 9.
  virtual PVR_ERROR GetDriveSpace(long long& total, long long& used) = 0;

  // Slots 16, 12 and 34; -1 for an empty slot.
  virtual int GetChannelsAmount() = 0;
  virtual int GetChannelGroupsAmount() = 0;
  virtual int GetTimersAmount() = 0;

  // The list calls: entries receives exactly the records of the requested kind that the
  // add-on transferred during the call, in order (records of another kind are logged and
  // dropped). The add-on's answer is returned.
  virtual PVR_ERROR GetChannels(bool radio, std::vector<Channel>& entries) = 0;
  virtual PVR_ERROR GetChannelGroups(bool radio, std::vector<ChannelGroup>& entries) = 0;
  virtual PVR_ERROR GetChannelGroupMembers(const ChannelGroup& group,
                                           std::vector<GroupMember>& entries) = 0;
  virtual PVR_ERROR GetEpg(const Channel& channel, time_t start, time_t end,
                           std::vector<EpgEntry>& entries) = 0;
  virtual PVR_ERROR GetTimers(std::vector<Timer>& entries) = 0;

  // Slots 36-38.
  virtual PVR_ERROR AddTimer(const Timer& timer) = 0;
  virtual PVR_ERROR DeleteTimer(const Timer& timer, bool force) = 0;
  virtual PVR_ERROR UpdateTimer(const Timer& timer) = 0;

  // Slot 47, with a zeroed record passed in.
  virtual PVR_ERROR GetSignalStatus(SignalStatus& status) = 0;
  // Slot 48; a null text arrives as "".
  virtual std::string GetLiveStreamUrl(const Channel& channel) = 0;

  // What the add-on handed over so far, in arrival order.
  virtual std::vector<LogLine> LogLines() const = 0;
  virtual std::vector<Notification> Notifications() const = 0;
  virtual std::vector<Trigger> Triggers() const = 0;
  // Waits up to bound for a trigger of the kind that no earlier TakeTrigger returned, and
  // returns the oldest such trigger; nothing when none arrived in time. Triggers may come from
  // any thread of the add-on.
  virtual std::optional<Trigger> TakeTrigger(TriggerKind kind, std::chrono::milliseconds bound) = 0;
  // Waits up to bound until a log line containing the text has arrived.
  virtual bool WaitForLogLine(const std::string& text, std::chrono::milliseconds bound) = 0;
  // The helper library registrations the add-on has not ended yet.
  virtual size_t OpenRegistrations() const = 0;
  // The host's own error lines about the add-on's conduct so far (calls with unknown handles,
  // unterminated text fields, empty slots, ...).
  virtual size_t HostErrors() const = 0;
};

}  // namespace host
}  // namespace zu
