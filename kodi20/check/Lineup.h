#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zu {
namespace kodi20 {
namespace check {

// One entry of a channel's guide; times in seconds since 1970-01-01 UTC.
struct LineupShow {
  std::string title;
  // The title with the provider's character references resolved, when that differs: a
  // client may show either (the NivoTV add-on resolves them once it has read the details).
  std::string plainTitle;
  std::int64_t start = 0;
  std::int64_t end = 0;
};

// A channel as Kodi must show it.
struct LineupChannel {
  std::string id;  // the guide's channel id (tvg-id)
  unsigned number = 0;
  std::string name;
  bool radio = false;
  std::vector<std::string> groups;
  std::string streamPath;  // the path the player requests from the provider
  std::string logoPath;    // the path of the channel's logo at the provider
};

// What the provider offers, and so what Kodi must end up listing: the channels in number
// order with their groups and guides.
struct Lineup {
  std::vector<LineupChannel> channels;

  // The group names of TV or radio channels, in the order first seen. A name that TV and
  // radio channels share is a TV group and a radio group, each holding the channels of its
  // kind.
  std::vector<std::string> Groups(bool radio) const;
  // The channels of the kind in number order.
  std::vector<const LineupChannel*> Channels(bool radio) const;
};

}  // namespace check
}  // namespace kodi20
}  // namespace zu
