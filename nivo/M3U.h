#pragma once

#include <string>
#include <vector>

#include "stream/Stream.h"

namespace zu {
namespace nivo {

// One playlist entry.
struct M3UEntry {
  // The text after the first comma of the "#EXTINF:" line, untrimmed.
  std::string name;
  std::string url;
  // The group of the latest "##" line before the entry, trimmed; empty before the first one.
  std::string group;

  bool operator==(const M3UEntry& other) const {
    return name == other.name && url == other.url && group == other.group;
  }
};

// Reads an M3U playlist from a text stream (ASCII codec) until its end, entries in file order.
// A line holding "#EXTINF:" names an entry whose URL is the next non-empty line; an entry
// whose URL is missing at the end of the text, or whose next line is another "#" line, is
// dropped, and that "#" line is read in its own right. "##" lines set the group; every other
// line is ignored. CR LF and LF line ends read the same. Names, URLs and groups are UTF-8:
// playlists saved in a single-byte code page are re-encoded (see ToUtf8), so their names
// match the provider's station names.
std::vector<M3UEntry> ReadM3U(const StreamPtr& stream);
// The same entries from a whole text, as read from a string stream with the ASCII codec.
std::vector<M3UEntry> ReadM3U(const std::string& text);

}  // namespace nivo
}  // namespace zu
