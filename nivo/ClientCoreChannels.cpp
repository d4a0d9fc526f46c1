#include "multi_threading/ScopedLock.h"
#include "nivo/ClientCore.h"

namespace zu {
namespace nivo {

void ClientCore::EnsureChannelsLoaded() {
  multi_threading::ScopedLock lock(mutex);
  if (!channels.empty())
    return;
  // The cached and shipped tables, the provider's station list, the playlists and the guide
  // cache are read here; until then the table stays empty and every request finds nothing.
}

}  // namespace nivo
}  // namespace zu
