#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "host/StandInHost.h"
#include "host/imp/HostBridge.h"
#include "host/imp/Recorder.h"

namespace zu {
namespace host {
namespace imp {

// StandInHost over dlopen. Owns the add-on library, the add-on handle and properties record
// given to ADDON_Create (both must stay valid while the library is open) and the recorder
// behind the helper libraries.
class StandInHostImp : public StandInHost {
 public:
  StandInHostImp() = default;
  ~StandInHostImp() override;
  StandInHostImp(const StandInHostImp&) = delete;
  StandInHostImp& operator=(const StandInHostImp&) = delete;

  // The whole load; false with the reason in failure, the library closed again.
  bool Open(const HostOptions& options, LoadFailure& failure);

  const AddonManifest& Manifest() const override { return manifest_; }
  std::string UserPath() const override { return userPath_; }
  std::string ClientPath() const override { return clientPath_; }
  std::string HostBase() const override { return hostBase_; }
  std::string LogPath() const override { return logPath_; }

  ADDON_STATUS GetStatus() override;
  void ReadSettings() override;
  bool HasSettings() override;
  ADDON_STATUS SetSetting(const std::string& name, const std::string& value) override;
  void Stop() override;
  void Destroy() override;

  const PVRClient& Table() const override { return table_; }
  BackendInfo GetBackendInfo() override;
  PVR_ERROR GetCapabilities(PVR_ADDON_CAPABILITIES& capabilities) override;
  PVR_ERROR GetDriveSpace(long long& total, long long& used) override;
  int GetChannelsAmount() override;
  int GetChannelGroupsAmount() override;
  int GetTimersAmount() override;
  PVR_ERROR GetChannels(bool radio, std::vector<Channel>& entries) override;
  PVR_ERROR GetChannelGroups(bool radio, std::vector<ChannelGroup>& entries) override;
  PVR_ERROR GetChannelGroupMembers(const ChannelGroup& group,
                                   std::vector<GroupMember>& entries) override;
  PVR_ERROR GetEpg(const Channel& channel, time_t start, time_t end,
                   std::vector<EpgEntry>& entries) override;
  PVR_ERROR GetTimers(std::vector<Timer>& entries) override;
  PVR_ERROR AddTimer(const Timer& timer) override;
  PVR_ERROR DeleteTimer(const Timer& timer, bool force) override;
  PVR_ERROR UpdateTimer(const Timer& timer) override;
  PVR_ERROR GetSignalStatus(SignalStatus& status) override;
  std::string GetLiveStreamUrl(const Channel& channel) override;

  std::vector<LogLine> LogLines() const override;
  std::vector<Notification> Notifications() const override;
  std::vector<Trigger> Triggers() const override;
  std::optional<Trigger> TakeTrigger(TriggerKind kind, std::chrono::milliseconds bound) override;
  bool WaitForLogLine(const std::string& text, std::chrono::milliseconds bound) override;
  size_t OpenRegistrations() const override;
  size_t HostErrors() const override;

 private:
  struct Exports {
    ADDON_Create_t create = nullptr;
    ADDON_GetStatus_t getStatus = nullptr;
    ADDON_Stop_t stop = nullptr;
    ADDON_Destroy_t destroy = nullptr;
    ADDON_FreeSettings_t freeSettings = nullptr;
    ADDON_ReadSettings_t readSettings = nullptr;
    ADDON_HasSettings_t hasSettings = nullptr;
    ADDON_GetSettings_t getSettings = nullptr;
    ADDON_SetSetting_t setSetting = nullptr;
    ADDON_Announce_t announce = nullptr;
    get_addon_t getAddon = nullptr;
  };

  // Calls into the add-on; an exception escaping it is logged and gives fallback.
  template <class Result, class Call>
  Result Guarded(const char* name, Result fallback, Call call);
  // The slot's function, or null after logging that the add-on left it empty.
  template <class Slot>
  Slot Filled(Slot slot, const char* name);
  std::string SlotText(const char* (*slot)(), const char* name);
  bool ResolveExports(LoadFailure& failure);
  // Destroy() unless done, then closing the library.
  void Unload();

  AddonManifest manifest_;
  std::string userPath_;
  std::string clientPath_;
  std::string hostBase_;
  std::string logPath_;
  std::unique_ptr<Recorder> recorder_;
  StandInAddonCB handle_{};
  PVR_PROPERTIES properties_{};
  void* library_ = nullptr;
  Exports exports_;
  PVRClient table_{};
  std::atomic<bool> destroyed_{false};  // Destroy() ran
};

}  // namespace imp
}  // namespace host
}  // namespace zu
