#include "base/String.h"
#include "multi_threading/ScopedLock.h"
#include "nivo/ClientCore.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

bool ClientCore::UpdateEPGForChannel(void* handle, unsigned int uid, time_t start, time_t end) {
  multi_threading::ScopedLock lock(mutex);
  if (channels.empty())
    EnsureChannelsLoaded();
  Channels::const_iterator found = channels.find(uid);
  if (found == channels.end()) {
    ZU_ERROR("NivoTV", "Channel with id " + string::ToString(uid) + " not found");
    return false;
  }
  // Fetching, caching and handing over the channel's shows comes here.
  (void)handle;
  (void)start;
  (void)end;
  return true;
}

}  // namespace nivo
}  // namespace zu
