#pragma once

#include <string>

#include "nivo/Channel.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {
namespace imp {

// Reads cache texts of exactly the form CacheTextWriter (and boost's text_oarchive) writes,
// without boost's stream and type registry machinery: at start-up the guide caches of every
// channel are read, hundreds of thousands of shows. It takes nothing on trust and gives up
// (false, out unchanged) at the first byte that is not of that form: a second separator, a
// leading zero, an unknown version, a date that is not one, a count larger than the rest of
// the text could hold, anything after the root object but white space. The caller then reads
// the text through the archive (ReadThroughArchive), which reads every form boost reads and
// reports what is wrong. For every text this reader accepts, both readings give the same
// records (the tests hold it to that).
class CacheTextReader {
 public:
  static bool Read(const std::string& text, Channels& channels);
  static bool Read(const std::string& text, TVShows& shows);
};

// The reading of a cache text through the boost-based archive: every form boost reads; throws
// CacheArchiveError for a text that is not a cache archive.
void ReadThroughArchive(const std::string& text, Channels& channels);
void ReadThroughArchive(const std::string& text, TVShows& shows);

}  // namespace imp
}  // namespace nivo
}  // namespace zu
