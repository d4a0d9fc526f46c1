#include "addon/NivoTVClient.h"

#include <algorithm>
#include <atomic>

#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

// The last client index given to a timer. It lives as long as the library, so a timer
// added after a restart of the client never reuses the index of an earlier one.
std::atomic<int> lastTimerIndex{0};

}  // namespace

NivoTVClient::NivoTVClient() = default;

NivoTVClient::~NivoTVClient() {
  DeInit();
}

int NivoTVClient::Init(void* addonHandle, void* properties) {
  const PVR_PROPERTIES* paths = static_cast<const PVR_PROPERTIES*>(properties);
  if (paths == nullptr || paths->strUserPath == nullptr || paths->strClientPath == nullptr) {
    // Without a user path the caches would land in whatever the working directory is.
    ZU_ERROR("NivoTV", "The host gave no user data path or no installation path");
    return ClientCore::StatusPermanentFailure;
  }
  if (!host_.Bind(addonHandle))
    return ClientCore::StatusPermanentFailure;
  return core_.Init(host_, paths->strUserPath, paths->strClientPath);
}

void NivoTVClient::DeInit() {
  core_.DeInit();
  host_.Release();
}

int NivoTVClient::GetTimersAmount() {
  core_.EnsureChannelsLoaded();
  std::lock_guard<std::mutex> lock(timersMutex_);
  return static_cast<int>(timers_.size());
}

PVR_ERROR NivoTVClient::GetTimers(ADDON_HANDLE handle) {
  core_.EnsureChannelsLoaded();
  // Handed over from a copy: the host may call back while it takes them.
  std::vector<PVR_TIMER> timers;
  {
    std::lock_guard<std::mutex> lock(timersMutex_);
    timers = timers_;
  }
  for (const PVR_TIMER& timer : timers)
    host_.TransferTimer(handle, timer);
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR NivoTVClient::AddTimer(const PVR_TIMER& timer) {
  core_.EnsureChannelsLoaded();
  {
    std::lock_guard<std::mutex> lock(timersMutex_);
    PVR_TIMER stored = timer;
    stored.iClientIndex = static_cast<unsigned int>(++lastTimerIndex);
    timers_.push_back(stored);
  }
  host_.TriggerTimerUpdate();
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR NivoTVClient::DeleteTimer(const PVR_TIMER& timer) {
  core_.EnsureChannelsLoaded();
  std::lock_guard<std::mutex> lock(timersMutex_);
  const unsigned int index = timer.iClientIndex;
  std::vector<PVR_TIMER>::iterator found =
      std::find_if(timers_.begin(), timers_.end(),
                   [index](const PVR_TIMER& t) { return t.iClientIndex == index; });
  if (found == timers_.end())
    return PVR_ERROR_NOT_IMPLEMENTED;
  timers_.erase(found);
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR NivoTVClient::UpdateTimer(const PVR_TIMER& timer) {
  core_.EnsureChannelsLoaded();
  std::lock_guard<std::mutex> lock(timersMutex_);
  const unsigned int index = timer.iClientIndex;
  std::vector<PVR_TIMER>::iterator found =
      std::find_if(timers_.begin(), timers_.end(),
                   [index](const PVR_TIMER& t) { return t.iClientIndex == index; });
  if (found == timers_.end())
    return PVR_ERROR_NOT_IMPLEMENTED;
  *found = timer;
  return PVR_ERROR_NO_ERROR;
}

}  // namespace nivo
}  // namespace zu
