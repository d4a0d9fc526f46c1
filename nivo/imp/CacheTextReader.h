#pragma once

#include <string>

#include "nivo/Channel.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {
namespace imp {

// Reads the cache texts CacheTextWriter writes, and the channel tables of class version 0
// that builds before the radio flag wrote. Every cache file written so far is of that form:
// earlier builds wrote the same bytes through boost's text archive. Only white space may
// follow the root object (boost's archive ends with a line end when it is closed before the
// text is taken).
//
// It takes nothing on trust: at the first byte that is not of that form (a second separator,
// a sign or leading zero, an unknown version, a date that is not one, a count or length
// larger than the rest of the text could hold, anything but white space after the root
// object) it throws CacheArchiveError saying what it expected and at which byte. It allocates
// no more than a small multiple of the text's size, whatever the text claims.
class CacheTextReader {
 public:
  static Channels ReadChannels(const std::string& text);
  static TVShows ReadShows(const std::string& text);
};

}  // namespace imp
}  // namespace nivo
}  // namespace zu
