#pragma once

#include <climits>
#include <string>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>

#include "nivo/Channel.h"
#include "nivo/TVShow.h"

// The tables of the cache tests, and the golden cache files in golden/ that boost wrote for
// them (MakeCacheGolden.cpp).

namespace zu {
namespace testing {

inline nivo::Channel RadioOne() {
  nivo::Channel channel;
  channel.name = "Radio 1";
  channel.uid = 10000;
  channel.number = 10000;
  channel.streamUrl = "http://r1/a";
  channel.groups.insert("Radio");
  channel.isRadio = true;
  return channel;
}

inline nivo::Channels SomeChannels() {
  nivo::Channels channels;
  nivo::Channel ard;
  ard.name = "Das Erste";
  ard.uid = 5;
  ard.number = 1;
  ard.logoUri = "http://logos/station/128x64/ard.png";
  ard.streamUrl = "http://tv/5.ts";
  ard.groups = {"All", "Nivo TV",
                "\xc3\xb6"
                "ffentlich"};
  channels[5] = ard;
  channels[10000] = RadioOne();
  return channels;
}

// The table as a build before the radio flag reads it back.
inline nivo::Channels WithoutRadioFlags(nivo::Channels channels) {
  for (auto& entry : channels)
    entry.second.isRadio = false;
  return channels;
}

inline nivo::TVShow News() {
  nivo::TVShow show;
  show.id = 4711;
  show.title = "News";
  show.AddGenre("Info");
  show.start = boost::posix_time::time_from_string("2016-01-31 20:15:00");
  show.end = boost::posix_time::time_from_string("2016-01-31 20:30:00");
  return show;
}

inline nivo::TVShows ThreeShows() {
  nivo::TVShow first;
  first.id = 1;
  first.title = "A";
  nivo::TVShow second;
  second.id = 2;
  second.title = "B";
  second.persons = {{"Director", "X"}};
  second.start = boost::posix_time::time_from_string("2016-01-31 06:00:00");
  second.end = boost::posix_time::time_from_string("2016-01-31 07:30:15");
  nivo::TVShow third;
  third.id = 3;
  third.persons = {{"Actor", "Y"}, {"Actor", "Z"}};
  third.end = boost::posix_time::time_from_string("2016-02-01 00:00:00");
  third.detailsRead = true;
  return {first, second, third};
}

// Infinite times, an empty person, a title with a zero byte and a line end.
inline nivo::TVShow SpecialShow() {
  nivo::TVShow show = News();
  show.start = boost::posix_time::ptime(boost::posix_time::pos_infin);
  show.end = boost::posix_time::ptime(boost::posix_time::neg_infin);
  show.persons = {{"", ""}};
  show.title = std::string("a\0b\n c", 6);
  return show;
}

inline nivo::TVShow FractionalSecondsShow() {
  nivo::TVShow show = News();
  show.start = boost::posix_time::time_from_string("2016-01-31 20:15:00.250000");
  return show;
}

// The time of day's class header comes with the first time that is not special, the pair's
// with the first person, whichever show brings them.
inline nivo::TVShows LateClassHeaders() {
  nivo::TVShow special = News();
  special.start = boost::posix_time::ptime(boost::posix_time::not_a_date_time);
  special.end = boost::posix_time::ptime(boost::posix_time::pos_infin);
  nivo::TVShow person = News();
  person.persons = {{"Actor", "A"}};
  return {special, special, person, News()};
}

// The largest numbers and the calendar's first and last moments.
inline nivo::TVShow ExtremeShow() {
  nivo::TVShow show;
  show.id = UINT_MAX;
  show.year = UINT_MAX;
  show.duration = UINT_MAX;
  show.title = std::string(300, 't');
  show.AddGenre("");
  show.AddGenre("\xc3\x96kologie");
  show.start = boost::posix_time::ptime(boost::posix_time::min_date_time);
  show.end = boost::posix_time::ptime(boost::posix_time::max_date_time);
  show.detailsRead = true;
  return show;
}

struct GoldenChannelTable {
  std::string file;
  // The table the file reads as.
  nivo::Channels channels;
  // Stored with class version 0 by a build before the radio flag.
  bool withoutRadioFlag;
};

struct GoldenShowList {
  std::string file;
  nivo::TVShows shows;
};

inline std::vector<GoldenChannelTable> GoldenChannelTables() {
  return {
      {"channels-empty.zug", {}, false},
      {"channels-one-radio.zug", {{10000, RadioOne()}}, false},
      {"channels-tv-and-radio.zug", SomeChannels(), false},
      {"channels-v0-one-radio.zug", WithoutRadioFlags({{10000, RadioOne()}}), true},
      {"channels-v0-tv-and-radio.zug", WithoutRadioFlags(SomeChannels()), true},
  };
}

inline std::vector<GoldenShowList> GoldenShowLists() {
  return {
      {"shows-empty.zug", {}},
      {"shows-one.zug", {News()}},
      {"shows-three.zug", ThreeShows()},
      {"shows-special-times.zug", {SpecialShow()}},
      {"shows-fractional-seconds.zug", {FractionalSecondsShow()}},
      {"shows-late-class-headers.zug", LateClassHeaders()},
      {"shows-extremes.zug", {ExtremeShow(), News()}},
  };
}

}  // namespace testing
}  // namespace zu
