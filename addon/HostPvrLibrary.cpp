#include "addon/HostPvrLibrary.h"

#include "addon/imp/HelperLibrary.h"

namespace zu {
namespace nivo {

HostPvrLibrary::HostPvrLibrary() = default;

HostPvrLibrary::~HostPvrLibrary() {
  UnRegisterMe();
}

bool HostPvrLibrary::RegisterMe(void* addonHandle) {
  UnRegisterMe();
  void* library =
      imp::OpenHelperLibrary(addonHandle, "/library.xbmc.pvr/libXBMC_pvr-x86_64-linux.so");
  if (library == nullptr)
    return false;
  using imp::ResolveHelperFunction;
  // Resolution stops at the first missing function, which is the one reported.
  const bool resolved =
      ResolveHelperFunction(library, "PVR_register_me", fn_.registerMe) &&
      ResolveHelperFunction(library, "PVR_unregister_me", fn_.unregisterMe) &&
      ResolveHelperFunction(library, "PVR_transfer_epg_entry", fn_.transferEpgEntry) &&
      ResolveHelperFunction(library, "PVR_transfer_channel_entry", fn_.transferChannelEntry) &&
      ResolveHelperFunction(library, "PVR_transfer_timer_entry", fn_.transferTimerEntry) &&
      ResolveHelperFunction(library, "PVR_transfer_recording_entry", fn_.transferRecordingEntry) &&
      ResolveHelperFunction(library, "PVR_add_menu_hook", fn_.addMenuHook) &&
      ResolveHelperFunction(library, "PVR_recording", fn_.recording) &&
      ResolveHelperFunction(library, "PVR_trigger_timer_update", fn_.triggerTimerUpdate) &&
      ResolveHelperFunction(library, "PVR_trigger_recording_update", fn_.triggerRecordingUpdate) &&
      ResolveHelperFunction(library, "PVR_trigger_channel_update", fn_.triggerChannelUpdate) &&
      ResolveHelperFunction(library, "PVR_trigger_channel_groups_update",
                            fn_.triggerChannelGroupsUpdate) &&
      ResolveHelperFunction(library, "PVR_trigger_epg_update", fn_.triggerEpgUpdate) &&
      ResolveHelperFunction(library, "PVR_transfer_channel_group", fn_.transferChannelGroup) &&
      ResolveHelperFunction(library, "PVR_transfer_channel_group_member",
                            fn_.transferChannelGroupMember);
  library_ = library;
  if (!resolved) {
    Close();
    return false;
  }
  handle_ = addonHandle;
  callbacks_ = fn_.registerMe(addonHandle);
  if (callbacks_ == nullptr) {
    Close();
    return false;
  }
  return true;
}

void HostPvrLibrary::UnRegisterMe() {
  if (callbacks_ != nullptr && fn_.unregisterMe != nullptr)
    fn_.unregisterMe(handle_, callbacks_);
  Close();
}

void HostPvrLibrary::Close() {
  imp::CloseHelperLibrary(library_);
  library_ = nullptr;
  handle_ = nullptr;
  callbacks_ = nullptr;
  fn_ = Functions();
}

void HostPvrLibrary::TransferEpgEntry(ADDON_HANDLE handle, const EPG_TAG* entry) {
  if (callbacks_ != nullptr)
    fn_.transferEpgEntry(handle_, callbacks_, handle, entry);
}

void HostPvrLibrary::TransferChannelEntry(ADDON_HANDLE handle, const PVR_CHANNEL* channel) {
  if (callbacks_ != nullptr)
    fn_.transferChannelEntry(handle_, callbacks_, handle, channel);
}

void HostPvrLibrary::TransferTimerEntry(ADDON_HANDLE handle, const PVR_TIMER* timer) {
  if (callbacks_ != nullptr)
    fn_.transferTimerEntry(handle_, callbacks_, handle, timer);
}

void HostPvrLibrary::TransferChannelGroup(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP* group) {
  if (callbacks_ != nullptr)
    fn_.transferChannelGroup(handle_, callbacks_, handle, group);
}

void HostPvrLibrary::TransferChannelGroupMember(ADDON_HANDLE handle,
                                                const PVR_CHANNEL_GROUP_MEMBER* member) {
  if (callbacks_ != nullptr)
    fn_.transferChannelGroupMember(handle_, callbacks_, handle, member);
}

void HostPvrLibrary::TriggerTimerUpdate() {
  if (callbacks_ != nullptr)
    fn_.triggerTimerUpdate(handle_, callbacks_);
}

void HostPvrLibrary::TriggerEpgUpdate(unsigned int channelUid) {
  if (callbacks_ != nullptr)
    fn_.triggerEpgUpdate(handle_, callbacks_, channelUid);
}

}  // namespace nivo
}  // namespace zu
