#pragma once

// boost's own text archives of the cache layout: the reference the add-on's cache writer and
// reader are held to (the golden files, the randomized comparisons, the cache benchmarks'
// floors and the cache fuzz targets' comparison). The add-on itself does not use them.

// The layout keeps class version 0 for boost's time_duration; boost 1.74 writes 1 by default.
#ifndef BOOST_DATE_TIME_POSIX_TIME_DURATION_VERSION
#define BOOST_DATE_TIME_POSIX_TIME_DURATION_VERSION 0
#endif

#include <locale>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include <boost/archive/text_iarchive.hpp>
#include <boost/archive/text_oarchive.hpp>
#include <boost/date_time/posix_time/time_serialize.hpp>
// set.hpp of boost 1.74 uses library_version_type without including it.
#include <boost/serialization/library_version_type.hpp>
#include <boost/serialization/map.hpp>
#include <boost/serialization/set.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/utility.hpp>
#include <boost/serialization/vector.hpp>
#include <boost/serialization/version.hpp>

#include "nivo/Channel.h"
#include "nivo/TVShow.h"

static_assert(boost::serialization::version<boost::posix_time::time_duration>::value == 0,
              "include BoostCacheArchive.h before anything that includes time_serialize.hpp");

namespace boost {
namespace serialization {

// Every member in declaration order; the radio flag from class version 1 on. A version newer
// than this knows is refused rather than misread.
template <class Archive>
void serialize(Archive& archive, zu::nivo::Channel& channel, const unsigned int version) {
  if (version > 1) {
    throw std::runtime_error("unsupported class version " + std::to_string(version) +
                             " of a channel");
  }
  archive& channel.name;
  archive& channel.uid;
  archive& channel.number;
  archive& channel.logoUri;
  archive& channel.streamUrl;
  archive& channel.groups;
  if (version >= 1)
    archive& channel.isRadio;
}

// Every member in declaration order; class version 0, a newer one is refused.
template <class Archive>
void serialize(Archive& archive, zu::nivo::TVShow& show, const unsigned int version) {
  if (version > 0) {
    throw std::runtime_error("unsupported class version " + std::to_string(version) + " of a show");
  }
  archive& show.id;
  archive& show.title;
  archive& show.subTitle;
  archive& show.reserved1;
  archive& show.genres;
  archive& show.genreText;
  archive& show.country;
  archive& show.year;
  archive& show.description;
  archive& show.reserved2;
  archive& show.duration;
  archive& show.image;
  archive& show.persons;
  archive& show.start;
  archive& show.end;
  archive& show.detailsRead;
}

}  // namespace serialization
}  // namespace boost

BOOST_CLASS_VERSION(zu::nivo::Channel, 1)

namespace zu {
namespace testing {

// A channel as builds before the radio flag stored it (class version 0).
struct ChannelWithoutRadioFlag {
  nivo::Channel channel;

  template <class Archive>
  void serialize(Archive& archive, const unsigned int /*version*/) {
    boost::serialization::serialize(archive, channel, 0);
  }
};

// What boost's text archive writes for root under the header of archive version 13, taken
// before the archive's destructor appends a line end: the form of the add-on's cache files.
template <class Root>
std::string BoostText(const Root& root) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  boost::archive::text_oarchive archive(out, boost::archive::no_header);
  const std::string signature("serialization::archive");
  archive << signature;
  const boost::archive::library_version_type version(13);
  archive << version;
  archive << root;
  return out.str();
}

// The table as a build before the radio flag stored it: every radio flag is lost.
inline std::string BoostTextWithoutRadioFlag(const nivo::Channels& channels) {
  std::map<unsigned int, ChannelWithoutRadioFlag> old;
  for (const auto& entry : channels)
    old[entry.first].channel = entry.second;
  return BoostText(old);
}

// What boost's text archive reads from text, its header included; throws what boost throws.
template <class Root>
Root BoostRead(const std::string& text) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  boost::archive::text_iarchive archive(in);
  Root root;
  archive >> root;
  return root;
}

}  // namespace testing
}  // namespace zu
