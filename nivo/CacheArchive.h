#pragma once

#include <stdexcept>
#include <string>

#include "nivo/Channel.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

// A cache text that is not a channel table or show list archive of the stored layout: wrong
// signature, unsupported archive or class version, truncated or garbled text, or a length or
// count larger than the text that holds it. what() says which.
class CacheArchiveError : public std::runtime_error {
 public:
  explicit CacheArchiveError(const std::string& message) : std::runtime_error(message) {}
};

// The cache texts have the layout of boost serialization text archives of archive version 13
// ("22 serialization::archive 13", then the root object), which every cache file written so
// far has. The text ends with the last token. Writing never fails. Reading takes the form
// written (and channel tables of the older layout without the radio flag) and either returns
// the whole root object or throws CacheArchiveError; it allocates no more than a small
// multiple of the text's size, whatever lengths and counts the text claims.

// The channel cache ("channels.zug", "tv.zug"): the whole table.
std::string WriteChannelsArchive(const Channels& channels);
Channels ReadChannelsArchive(const std::string& text);

// The guide cache of one channel ("epg/channel_<uid>.zug"): its whole show list.
std::string WriteShowsArchive(const TVShows& shows);
TVShows ReadShowsArchive(const std::string& text);

}  // namespace nivo
}  // namespace zu
