#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

// set.hpp of boost 1.74 uses library_version_type without including it.
#include <boost/serialization/library_version_type.hpp>
#include <boost/serialization/set.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/version.hpp>

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
  // true for radio channels. Stored from class version 1 on.
  bool isRadio = false;

  bool operator==(const Channel& other) const {
    return name == other.name && uid == other.uid && number == other.number &&
           logoUri == other.logoUri && streamUrl == other.streamUrl && groups == other.groups &&
           isRadio == other.isRadio;
  }
  bool operator!=(const Channel& other) const { return !(*this == other); }

  // Archives of class version 0 have no radio flag; it stays false. A version newer than
  // this code knows is refused rather than misread.
  template <class Archive>
  void serialize(Archive& archive, const unsigned int version) {
    if (version > 1) {
      throw std::runtime_error("unsupported class version " + std::to_string(version) +
                               " of a channel");
    }
    archive& name;
    archive& uid;
    archive& number;
    archive& logoUri;
    archive& streamUrl;
    archive& groups;
    if (version >= 1)
      archive& isRadio;
  }
};

// The channel table: unique id -> channel, iterated in ascending id order.
using Channels = std::map<unsigned int, Channel>;

// The channel groups, each a (name, radio flag) pair: a group of TV channels or one of radio
// channels. A name that channels of both kinds carry is two groups, one of each kind. Ordered
// by name (byte-wise), then kind.
using ChannelGroups = std::set<std::pair<std::string, bool>>;

}  // namespace nivo
}  // namespace zu

BOOST_CLASS_VERSION(zu::nivo::Channel, 1)
