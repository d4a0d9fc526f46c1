#pragma once

#include <memory>
#include <string>

#include "addon/HostApi.h"
#include "nivo/Host.h"

namespace zu {
namespace nivo {

class HostAddonLibrary;
class HostPvrLibrary;

// The host of PVR API 4.1.0 as the client core sees it: the two helper libraries the host
// provides, bound by Bind and released by Release. Without a binding every call does nothing
// and fails; Log then writes to standard error. Calls may come from any thread while the
// binding stands; Bind and Release are the caller's to keep apart from them.
class HelperLibraryHost : public Host {
 public:
  HelperLibraryHost();
  ~HelperLibraryHost() override;

  HelperLibraryHost(const HelperLibraryHost&) = delete;
  HelperLibraryHost& operator=(const HelperLibraryHost&) = delete;

  // Binds the add-on helper library, then the PVR helper library, below the base path that
  // addonHandle (an AddonCB*, which must stay valid until Release) names. False when either
  // binding fails (see HostAddonLibrary::RegisterMe); nothing stays bound then.
  bool Bind(void* addonHandle);
  // Releases the PVR binding, then the add-on binding.
  void Release();

  // Hands one timer record to the host request identified by handle.
  void TransferTimer(ADDON_HANDLE handle, const PVR_TIMER& timer);

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

 private:
  // Null until Bind and after Release.
  std::unique_ptr<HostAddonLibrary> addonLibrary_;
  std::unique_ptr<HostPvrLibrary> pvrLibrary_;
};

}  // namespace nivo
}  // namespace zu
