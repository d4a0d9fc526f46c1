#pragma once

// The private contract between the stand-in host and its two helper libraries. The host
// hands the add-on an add-on handle whose published part (AddonCB) is followed by a marker
// and a table of host functions; the helper libraries receive that handle with every call
// and reach the host through it. So the libraries keep no state of their own, any number of
// hosts may load add-ons one after another in one process, and nothing but this header is
// shared between the libraries and the host.

#include <cstdint>

#include "addon/HostApi.h"

namespace zu {
namespace host {
namespace imp {

enum HelperLibrary : int { kAddonLibrary = 0, kPvrLibrary = 1 };

enum BridgeTrigger : int {
  kTriggerTimer = 0,
  kTriggerRecording = 1,
  kTriggerChannel = 2,
  kTriggerChannelGroups = 3,
  kTriggerEpg = 4
};

// Host functions for the helper libraries. Every function gets the host context
// (AddonCB::addonData) first and the callback handle the add-on passed, which the host checks
// against its registrations. All may be called from any thread at any time while the host
// object lives, never throw, and keep no pointer to their arguments: records and texts are
// copied before they return.
struct HostBridge {
  // A new callback handle for the library (never null), or null when the host refuses.
  void* (*registerMe)(void* context, int library);
  // Ends a registration; an unknown or already ended handle is reported in the host log.
  void (*unregisterMe)(void* context, int library, void* cb);
  void (*log)(void* context, void* cb, int level, const char* text);
  void (*notify)(void* context, void* cb, int kind, const char* text);
  // Transfers land in the collector of the request that handed out the request handle; a
  // request handle that is not part of a running request is reported and the record dropped.
  void (*transferChannel)(void* context, void* cb, ADDON_HANDLE request, const PVR_CHANNEL* record);
  void (*transferGroup)(void* context, void* cb, ADDON_HANDLE request,
                        const PVR_CHANNEL_GROUP* record);
  void (*transferMember)(void* context, void* cb, ADDON_HANDLE request,
                         const PVR_CHANNEL_GROUP_MEMBER* record);
  void (*transferTimer)(void* context, void* cb, ADDON_HANDLE request, const PVR_TIMER* record);
  void (*transferEpg)(void* context, void* cb, ADDON_HANDLE request, const EPG_TAG* record);
  void (*transferRecording)(void* context, void* cb, ADDON_HANDLE request, const void* record);
  // An update request (a BridgeTrigger value); channelUid matters for kTriggerEpg only.
  void (*trigger)(void* context, void* cb, int trigger, unsigned int channelUid);
  // Calls the host only takes note of (menu hooks, recording notices): the function name and
  // a readable description of the arguments.
  void (*note)(void* context, void* cb, const char* function, const char* detail);
};

// Marks an add-on handle made by the stand-in host ("zuhost01").
const uint64_t kStandInHandleMarker = 0x7a75686f73743031ULL;

// The add-on handle given to ADDON_Create. It lives as long as the host object.
struct StandInAddonCB {
  AddonCB addon;  // libBasePath and the host context in addonData
  uint64_t marker;
  const HostBridge* bridge;
};

// The stand-in handle behind an add-on handle, or null when the handle is null or was not
// made by the stand-in host.
inline const StandInAddonCB* ToStandInAddonCB(const void* handle) {
  const StandInAddonCB* standIn = static_cast<const StandInAddonCB*>(handle);
  if (standIn == nullptr || standIn->marker != kStandInHandleMarker || standIn->bridge == nullptr)
    return nullptr;
  return standIn;
}

}  // namespace imp
}  // namespace host
}  // namespace zu
