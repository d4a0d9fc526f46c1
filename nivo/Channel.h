#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>

namespace zu {
namespace nivo {

// One TV or radio channel as the client keeps it and as the channel cache stores it. The
// member order is the order of the cache layout; do not reorder.
class Channel {
 public:
  // Display name; also the key for playlist matching and the base name of the logo file.
  std::string name;
  // Unique channel id, equal to the channel's key in Channels.
  unsigned int uid = 0;
  // Channel number shown by the host.
  unsigned int number = 0;
  // Remote logo URL (TV only).
  std::string logoUri;
  // Stream URL handed to the host.
  std::string streamUrl;
  // Names of the groups the channel belongs to.
  std::set<std::string> groups;
  // true for radio channels. Stored from the channel's class version 1 on.
  bool isRadio = false;

  bool operator==(const Channel& other) const {
    return name == other.name && uid == other.uid && number == other.number &&
           logoUri == other.logoUri && streamUrl == other.streamUrl && groups == other.groups &&
           isRadio == other.isRadio;
  }
  bool operator!=(const Channel& other) const { return !(*this == other); }
};

// The channel table: unique id -> channel, iterated in ascending id order.
using Channels = std::map<unsigned int, Channel>;

// The channel groups, each a (name, radio flag) pair: a group of TV channels or one of radio
// channels. A name that channels of both kinds carry is two groups, one of each kind. Ordered
// by name (byte-wise), then kind.
using ChannelGroups = std::set<std::pair<std::string, bool>>;

}  // namespace nivo
}  // namespace zu
