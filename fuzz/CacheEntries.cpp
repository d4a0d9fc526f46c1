// The readers of the channel cache and the guide cache: either the whole table comes back or
// CacheArchiveError says why not; nothing else may leave them.

#include <string>

#include "fuzz/FuzzEntries.h"
#include "fuzz/FuzzSupport.h"
#include "nivo/CacheArchive.h"

namespace zu {
namespace fuzz {

void FuzzChannelCache(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "channel_cache";
  QuietOutput();
  nivo::Channels channels;
  try {
    channels = nivo::ReadChannelsArchive(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const nivo::CacheArchiveError&) {
    return;
  }
  // A table that was read is written again as the client does after a load, and must read
  // back the same, or the next start would lose it.
  Check(nivo::ReadChannelsArchive(nivo::WriteChannelsArchive(channels)) == channels, kTarget,
        "a channel table read from the cache does not survive being written again");
}

void FuzzGuideCache(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "guide_cache";
  QuietOutput();
  nivo::TVShows shows;
  try {
    shows = nivo::ReadShowsArchive(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const nivo::CacheArchiveError&) {
    return;
  }
  Check(nivo::ReadShowsArchive(nivo::WriteShowsArchive(shows)) == shows, kTarget,
        "a guide read from the cache does not survive being written again");
}

}  // namespace fuzz
}  // namespace zu
