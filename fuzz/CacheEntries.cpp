// The readers of the channel cache and the guide cache: either the whole table comes back or
// CacheArchiveError says why not; nothing else may leave them.

#include "tests/nivo/BoostCacheArchive.h"

#include <exception>
#include <string>

#include "fuzz/FuzzEntries.h"
#include "fuzz/FuzzSupport.h"
#include "nivo/CacheArchive.h"

namespace zu {
namespace fuzz {

namespace {

// boost's archive, which wrote the caches of earlier builds, reads every text ours takes to
// the same table.
template <class Root>
bool BoostReadsTheSame(const std::string& text, const Root& root) {
  try {
    return testing::BoostRead<Root>(text) == root;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

void FuzzChannelCache(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "channel_cache";
  QuietOutput();
  const std::string text(reinterpret_cast<const char*>(data), size);
  nivo::Channels channels;
  try {
    channels = nivo::ReadChannelsArchive(text);
  } catch (const nivo::CacheArchiveError&) {
    return;
  }
  Check(BoostReadsTheSame(text, channels), kTarget,
        "a channel table read from the cache reads otherwise through boost's archive");
  // A table that was read is written again as the client does after a load, and must read
  // back the same, or the next start would lose it.
  Check(nivo::ReadChannelsArchive(nivo::WriteChannelsArchive(channels)) == channels, kTarget,
        "a channel table read from the cache does not survive being written again");
}

void FuzzGuideCache(const std::uint8_t* data, std::size_t size) {
  static const char kTarget[] = "guide_cache";
  QuietOutput();
  const std::string text(reinterpret_cast<const char*>(data), size);
  nivo::TVShows shows;
  try {
    shows = nivo::ReadShowsArchive(text);
  } catch (const nivo::CacheArchiveError&) {
    return;
  }
  Check(BoostReadsTheSame(text, shows), kTarget,
        "a guide read from the cache reads otherwise through boost's archive");
  Check(nivo::ReadShowsArchive(nivo::WriteShowsArchive(shows)) == shows, kTarget,
        "a guide read from the cache does not survive being written again");
}

}  // namespace fuzz
}  // namespace zu
