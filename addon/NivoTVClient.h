#pragma once

#include <memory>
#include <string>
#include <vector>

#include "addon/HostApi.h"
#include "nivo/ClientCore.h"
#include "nivo/Host.h"

namespace zu {
namespace nivo {

class HostAddonLibrary;
class HostPvrLibrary;

// The client inside a host of PVR API 4.1.0: the client core bound to the host through the
// two helper libraries, plus the timers, which only this host API knows. Created by
// ADDON_Create; one per process.
class NivoTVClient : public ClientCore, public Host {
 public:
  NivoTVClient();
  // DeInit, status StatusPermanentFailure, then the members in reverse order.
  ~NivoTVClient() override;

  // Binds the add-on helper library, then the PVR helper library, then starts the core with
  // the paths of properties (a PVR_PROPERTIES*). StatusPermanentFailure when a binding fails
  // (both are released) or a path is missing; StatusOk otherwise. Call with the client mutex
  // held; addonHandle is an AddonCB* and must stay valid until DeInit.
  int Init(void* addonHandle, void* properties);

  // The timers: kept in memory only, in the order they were added. AddTimer numbers them
  // 1, 2, ... over the life of the library and asks the host to read them again.
  int GetTimersAmount();
  PVR_ERROR GetTimers(ADDON_HANDLE handle);
  PVR_ERROR AddTimer(const PVR_TIMER& timer);
  // PVR_ERROR_NOT_IMPLEMENTED when no timer has the record's client index.
  PVR_ERROR DeleteTimer(const PVR_TIMER& timer);
  PVR_ERROR UpdateTimer(const PVR_TIMER& timer);

  // Host, over the helper libraries.
  void Log(int level, const std::string& text) override;
  void Notify(int kind, const std::string& text) override;
  bool ReadFile(const std::string& path, std::string& out) override;
  WriteResult WriteFile(const std::string& path, const std::string& data, size_t& written) override;
  void TransferChannel(void* handle, const Channel& channel, const std::string& iconPath) override;
  void TransferChannelGroup(void* handle, const std::string& name, bool isRadio) override;
  void TransferChannelGroupMember(void* handle, const std::string& group, unsigned int uid,
                                  unsigned int number) override;
  void TransferEpgEntry(void* handle, const TVShow& show, unsigned int channelNumber) override;
  void TriggerEpgUpdate(unsigned int uid) override;
  void TriggerTimerUpdate() override;

  // The timers handed in by the host, with the client indexes given by AddTimer.
  std::vector<PVR_TIMER> timers;

 protected:
  // Releases the PVR binding, then the add-on binding.
  void ReleaseHost() override;

 private:
  // Owned; null until Init binds them and after DeInit.
  std::unique_ptr<HostAddonLibrary> addonLibrary_;
  std::unique_ptr<HostPvrLibrary> pvrLibrary_;
};

}  // namespace nivo
}  // namespace zu
