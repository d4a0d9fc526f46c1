#pragma once

#include <string>
#include <vector>

#include "nivo/Channel.h"
#include "nivo/M3U.h"

namespace zu {
namespace nivo {

// One of the provider's TV playlists: where the guide gateway serves it and the group its
// channels join.
struct TVPlaylist {
  const char* group;
  const char* path;
};

// The TV playlists in the order they are applied: "Nivo TV" (free to air), "Nivo TV Plus",
// "All". The order decides which stream URL a channel listed in several of them ends with.
const std::vector<TVPlaylist>& GetTVPlaylists();

// The entries of a playlist text, as ReadM3U reads them from a stream.
std::vector<M3UEntry> ReadM3UText(const std::string& text);

// Gives every channel whose name equals an entry's name, byte for byte, the entry's URL and
// adds group to its groups. Entries are applied in order, so a later entry of the same name
// wins; entries that name no channel, and the entries' own "##" groups, are ignored.
void ApplyTVPlaylist(Channels& channels, const std::vector<M3UEntry>& entries,
                     const std::string& group);

}  // namespace nivo
}  // namespace zu
