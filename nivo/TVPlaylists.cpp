#include "nivo/TVPlaylists.h"

#include <unordered_map>

namespace zu {
namespace nivo {

const std::vector<TVPlaylist>& GetTVPlaylists() {
  static const std::vector<TVPlaylist> playlists = {
      {"Nivo TV", "a/service.fta.m3u"},
      {"Nivo TV Plus", "a/service.plus.m3u"},
      {"All", "a/service.m3u"},
  };
  return playlists;
}

std::vector<M3UEntry> ReadM3UText(const std::string& text) {
  return ReadM3U(text);
}

void ApplyTVPlaylist(Channels& channels, const std::vector<M3UEntry>& entries,
                     const std::string& group) {
  // Several channels may carry the same name; each of them takes the entry (in any order:
  // they all take the same URL and group).
  std::unordered_multimap<std::string, Channel*> byName;
  byName.reserve(channels.size());
  for (auto& entry : channels)
    byName.emplace(entry.second.name, &entry.second);
  for (const M3UEntry& entry : entries) {
    const auto matches = byName.equal_range(entry.name);
    for (auto match = matches.first; match != matches.second; ++match) {
      match->second->streamUrl = entry.url;
      match->second->groups.insert(group);
    }
  }
}

}  // namespace nivo
}  // namespace zu
