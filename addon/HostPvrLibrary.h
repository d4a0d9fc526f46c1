#pragma once

#include "addon/HostApi.h"

namespace zu {
namespace nivo {

// The add-on's binding to the host's PVR helper library (record transfers and update
// triggers), bound and released like HostAddonLibrary. The transfers hand one record to the
// host request identified by the request handle; the host copies it before returning. All
// functions do nothing on an unregistered binding.
class HostPvrLibrary {
 public:
  HostPvrLibrary();
  ~HostPvrLibrary();

  HostPvrLibrary(const HostPvrLibrary&) = delete;
  HostPvrLibrary& operator=(const HostPvrLibrary&) = delete;

  // As HostAddonLibrary::RegisterMe, for the PVR helper library.
  bool RegisterMe(void* addonHandle);
  void UnRegisterMe();
  bool IsRegistered() const { return callbacks_ != nullptr; }

  void TransferEpgEntry(ADDON_HANDLE handle, const EPG_TAG* entry);
  void TransferChannelEntry(ADDON_HANDLE handle, const PVR_CHANNEL* channel);
  void TransferTimerEntry(ADDON_HANDLE handle, const PVR_TIMER* timer);
  void TransferChannelGroup(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP* group);
  void TransferChannelGroupMember(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP_MEMBER* member);
  void TriggerTimerUpdate();
  void TriggerEpgUpdate(unsigned int channelUid);

 private:
  void Close();

  void* library_ = nullptr;
  void* handle_ = nullptr;
  void* callbacks_ = nullptr;

  // The helper library's functions, in the order they are resolved.
  struct Functions {
    PVR_register_me_t registerMe = nullptr;
    PVR_unregister_me_t unregisterMe = nullptr;
    PVR_transfer_epg_entry_t transferEpgEntry = nullptr;
    PVR_transfer_channel_entry_t transferChannelEntry = nullptr;
    PVR_transfer_timer_entry_t transferTimerEntry = nullptr;
    PVR_transfer_recording_entry_t transferRecordingEntry = nullptr;
    PVR_add_menu_hook_t addMenuHook = nullptr;
    PVR_recording_t recording = nullptr;
    PVR_trigger_timer_update_t triggerTimerUpdate = nullptr;
    PVR_trigger_recording_update_t triggerRecordingUpdate = nullptr;
    PVR_trigger_channel_update_t triggerChannelUpdate = nullptr;
    PVR_trigger_channel_groups_update_t triggerChannelGroupsUpdate = nullptr;
    PVR_trigger_epg_update_t triggerEpgUpdate = nullptr;
    PVR_transfer_channel_group_t transferChannelGroup = nullptr;
    PVR_transfer_channel_group_member_t transferChannelGroupMember = nullptr;
  };
  Functions fn_;
};

}  // namespace nivo
}  // namespace zu
