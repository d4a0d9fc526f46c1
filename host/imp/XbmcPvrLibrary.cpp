// The stand-in host's PVR helper library (libXBMC_pvr). Every call is passed to the host
// through the add-on handle; the host copies the records before the call returns. Only the
// functions of the host interface are exported.

#include <cstdio>
#include <string>

#include "host/imp/HostBridge.h"

#define ZU_HOST_EXPORT extern "C" __attribute__((visibility("default")))

using zu::host::imp::kPvrLibrary;
using zu::host::imp::StandInAddonCB;
using zu::host::imp::ToStandInAddonCB;

namespace {

const StandInAddonCB* Host(void* handle, const char* function) {
  const StandInAddonCB* host = ToStandInAddonCB(handle);
  if (host == nullptr)
    fprintf(stderr, "libXBMC_pvr: %s called without a valid add-on handle\n", function);
  return host;
}

void Trigger(void* handle, void* cb, const char* function, int trigger, unsigned int uid) {
  if (const StandInAddonCB* host = Host(handle, function))
    host->bridge->trigger(host->addon.addonData, cb, trigger, uid);
}

}  // namespace

ZU_HOST_EXPORT void* PVR_register_me(void* handle) {
  const StandInAddonCB* host = Host(handle, "PVR_register_me");
  if (host == nullptr)
    return nullptr;
  return host->bridge->registerMe(host->addon.addonData, kPvrLibrary);
}

ZU_HOST_EXPORT void PVR_unregister_me(void* handle, void* cb) {
  if (const StandInAddonCB* host = Host(handle, "PVR_unregister_me"))
    host->bridge->unregisterMe(host->addon.addonData, kPvrLibrary, cb);
}

ZU_HOST_EXPORT void PVR_transfer_epg_entry(void* handle, void* cb, ADDON_HANDLE request,
                                           const EPG_TAG* entry) {
  if (const StandInAddonCB* host = Host(handle, "PVR_transfer_epg_entry"))
    host->bridge->transferEpg(host->addon.addonData, cb, request, entry);
}

ZU_HOST_EXPORT void PVR_transfer_channel_entry(void* handle, void* cb, ADDON_HANDLE request,
                                               const PVR_CHANNEL* channel) {
  if (const StandInAddonCB* host = Host(handle, "PVR_transfer_channel_entry"))
    host->bridge->transferChannel(host->addon.addonData, cb, request, channel);
}

ZU_HOST_EXPORT void PVR_transfer_timer_entry(void* handle, void* cb, ADDON_HANDLE request,
                                             const PVR_TIMER* timer) {
  if (const StandInAddonCB* host = Host(handle, "PVR_transfer_timer_entry"))
    host->bridge->transferTimer(host->addon.addonData, cb, request, timer);
}

ZU_HOST_EXPORT void PVR_transfer_recording_entry(void* handle, void* cb, ADDON_HANDLE request,
                                                 const void* recording) {
  if (const StandInAddonCB* host = Host(handle, "PVR_transfer_recording_entry"))
    host->bridge->transferRecording(host->addon.addonData, cb, request, recording);
}

ZU_HOST_EXPORT void PVR_transfer_channel_group(void* handle, void* cb, ADDON_HANDLE request,
                                               const PVR_CHANNEL_GROUP* group) {
  if (const StandInAddonCB* host = Host(handle, "PVR_transfer_channel_group"))
    host->bridge->transferGroup(host->addon.addonData, cb, request, group);
}

ZU_HOST_EXPORT void PVR_transfer_channel_group_member(void* handle, void* cb, ADDON_HANDLE request,
                                                      const PVR_CHANNEL_GROUP_MEMBER* member) {
  if (const StandInAddonCB* host = Host(handle, "PVR_transfer_channel_group_member"))
    host->bridge->transferMember(host->addon.addonData, cb, request, member);
}

// Menu hooks are only noted: the stand-in host has no menus.
ZU_HOST_EXPORT void PVR_add_menu_hook(void* handle, void* cb, void* menuHook) {
  if (const StandInAddonCB* host = Host(handle, "PVR_add_menu_hook"))
    host->bridge->note(host->addon.addonData, cb, "PVR_add_menu_hook",
                       menuHook != nullptr ? "a menu hook" : "no menu hook");
}

ZU_HOST_EXPORT void PVR_recording(void* handle, void* cb, const char* name, const char* fileName,
                                  bool on) {
  if (const StandInAddonCB* host = Host(handle, "PVR_recording")) {
    std::string detail = std::string("name \"") + (name != nullptr ? name : "") + "\", file \"" +
                         (fileName != nullptr ? fileName : "") + "\", " + (on ? "on" : "off");
    host->bridge->note(host->addon.addonData, cb, "PVR_recording", detail.c_str());
  }
}

ZU_HOST_EXPORT void PVR_trigger_timer_update(void* handle, void* cb) {
  Trigger(handle, cb, "PVR_trigger_timer_update", zu::host::imp::kTriggerTimer, 0);
}

ZU_HOST_EXPORT void PVR_trigger_recording_update(void* handle, void* cb) {
  Trigger(handle, cb, "PVR_trigger_recording_update", zu::host::imp::kTriggerRecording, 0);
}

ZU_HOST_EXPORT void PVR_trigger_channel_update(void* handle, void* cb) {
  Trigger(handle, cb, "PVR_trigger_channel_update", zu::host::imp::kTriggerChannel, 0);
}

ZU_HOST_EXPORT void PVR_trigger_channel_groups_update(void* handle, void* cb) {
  Trigger(handle, cb, "PVR_trigger_channel_groups_update", zu::host::imp::kTriggerChannelGroups, 0);
}

ZU_HOST_EXPORT void PVR_trigger_epg_update(void* handle, void* cb, unsigned int channelUid) {
  Trigger(handle, cb, "PVR_trigger_epg_update", zu::host::imp::kTriggerEpg, channelUid);
}
