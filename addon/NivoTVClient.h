#pragma once

#include <mutex>
#include <vector>

#include "addon/HelperLibraryHost.h"
#include "addon/HostApi.h"
#include "nivo/ClientCore.h"

namespace zu {
namespace nivo {

// The client inside a host of PVR API 4.1.0: the client core bound to the host through the
// two helper libraries, plus the timers, which only this host API knows. Created by
// ADDON_Create; one per process. The exported functions and the PVR function table reach the
// core through Core(); any thread may call any member but Init and DeInit, which the host
// keeps apart from every other call.
class NivoTVClient {
 public:
  NivoTVClient();
  // DeInit, then the core, then the host binding.
  ~NivoTVClient();

  NivoTVClient(const NivoTVClient&) = delete;
  NivoTVClient& operator=(const NivoTVClient&) = delete;

  // Binds the add-on helper library, then the PVR helper library, then starts the core with
  // the paths of properties (a PVR_PROPERTIES*). StatusPermanentFailure when a path is missing
  // (logged) or a binding fails (nothing stays bound); StatusOk otherwise. addonHandle is an
  // AddonCB* and must stay valid until DeInit.
  int Init(void* addonHandle, void* properties);
  // Stops the core (see ClientCore::DeInit), then releases the host binding. Safe to call
  // more than once.
  void DeInit();

  ClientCore& Core() { return core_; }

  // The timers: kept in memory only, in the order they were added. AddTimer numbers them
  // 1, 2, ... over the life of the library and asks the host to read them again. Each loads
  // the channels first, as every host request that reads client state does.
  int GetTimersAmount();
  PVR_ERROR GetTimers(ADDON_HANDLE handle);
  PVR_ERROR AddTimer(const PVR_TIMER& timer);
  // PVR_ERROR_NOT_IMPLEMENTED when no timer has the record's client index.
  PVR_ERROR DeleteTimer(const PVR_TIMER& timer);
  PVR_ERROR UpdateTimer(const PVR_TIMER& timer);

 private:
  // The core uses the host until its DeInit returns: the host goes last.
  HelperLibraryHost host_;
  ClientCore core_;
  // Guards timers_.
  std::mutex timersMutex_;
  // The timers handed in by the host, with the client indexes given by AddTimer.
  std::vector<PVR_TIMER> timers_;
};

}  // namespace nivo
}  // namespace zu
