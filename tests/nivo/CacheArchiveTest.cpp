#include "BoostCacheArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "CacheGolden.h"
#include "nivo/CacheArchive.h"

namespace {

using boost::posix_time::ptime;
using boost::posix_time::time_from_string;
using zu::nivo::CacheArchiveError;
using zu::nivo::Channel;
using zu::nivo::Channels;
using zu::nivo::ReadChannelsArchive;
using zu::nivo::ReadShowsArchive;
using zu::nivo::TVShow;
using zu::nivo::TVShows;
using zu::nivo::WriteChannelsArchive;
using zu::nivo::WriteShowsArchive;
using zu::testing::BoostRead;
using zu::testing::BoostText;
using zu::testing::LateClassHeaders;
using zu::testing::News;
using zu::testing::RadioOne;
using zu::testing::SomeChannels;
using zu::testing::ThreeShows;

// A string token as the archive writes it: length, one space, the bytes.
std::string S(const std::string& text) {
  return std::to_string(text.size()) + " " + text;
}

std::string Join(std::initializer_list<std::string> tokens) {
  std::string text;
  for (const std::string& token : tokens) {
    if (!text.empty())
      text += ' ';
    text += token;
  }
  return text;
}

TEST(ChannelArchive, OneRadioChannelTokenForToken) {
  Channels channels;
  channels[10000] = RadioOne();
  const std::string text = WriteChannelsArchive(channels);
  EXPECT_EQ(Join({"22 serialization::archive 13", "0 0", "1 0", "0 0", "10000", "0 1", S("Radio 1"),
                  "10000 10000", S(""), S("http://r1/a"), "0 0", "1 0", S("Radio"), "1"}),
            text);
  EXPECT_EQ(channels, ReadChannelsArchive(text));
}

TEST(ChannelArchive, ReadThenWriteReproducesTheText) {
  const std::string text = WriteChannelsArchive(SomeChannels());
  const Channels read = ReadChannelsArchive(text);
  EXPECT_EQ(SomeChannels(), read);
  EXPECT_EQ(text, WriteChannelsArchive(read));
  EXPECT_EQ("22 serialization::archive 13 0 0 0 0", WriteChannelsArchive(Channels()));
  EXPECT_TRUE(ReadChannelsArchive("22 serialization::archive 13 0 0 0 0").empty());
}

TEST(ChannelArchive, ClassVersionZeroHasNoRadioFlag) {
  // Two channels stored by a build whose Channel had no radio flag yet.
  const std::string text = Join({"22 serialization::archive 13",
                                 "0 0",
                                 "2 0",
                                 "0 0",
                                 "5",
                                 "0 0",
                                 S("ARD"),
                                 "5 1",
                                 S(""),
                                 S("u"),
                                 "0 0",
                                 "1 0",
                                 S("TV"),
                                 "10000",
                                 S("R"),
                                 "10000 10000",
                                 S(""),
                                 S("v"),
                                 "1 0",
                                 S("Radio")});
  const Channels channels = ReadChannelsArchive(text);
  ASSERT_EQ(2u, channels.size());
  EXPECT_FALSE(channels.at(5).isRadio);
  EXPECT_FALSE(channels.at(10000).isRadio);
  EXPECT_EQ("R", channels.at(10000).name);
  EXPECT_EQ(std::set<std::string>{"Radio"}, channels.at(10000).groups);
  // Written back in the current layout, with the flag.
  EXPECT_EQ(channels, ReadChannelsArchive(WriteChannelsArchive(channels)));
}

TEST(ShowArchive, OneShowTokenForToken) {
  const std::string text = WriteShowsArchive(TVShows{News()});
  EXPECT_EQ(Join({"22 serialization::archive 13",
                  "0 0",
                  "1 0",
                  "0 0",
                  "4711",
                  S("News"),
                  S(""),
                  S(""),
                  "0 0",
                  "1 0",
                  S("Info"),
                  S("Info"),
                  S(""),
                  "0",
                  S(""),
                  S(""),
                  "0",
                  S(""),
                  "0 0",
                  "0 0",
                  "0 0",
                  "0 0",
                  S("20160131"),
                  "0 0",
                  "0 20 15 0 0",
                  S("20160131"),
                  "0 20 30 0 0",
                  "0"}),
            text);
  EXPECT_EQ(TVShows{News()}, ReadShowsArchive(text));
}

TEST(ShowArchive, ClassHeadersOnlyBeforeTheFirstObjectOfEachType) {
  const std::string text = WriteShowsArchive(ThreeShows());
  const std::string nadt = S("not-a-date-time");
  EXPECT_EQ(
      Join({"22 serialization::archive 13", "0 0", "3 0",
            // first show: every class header, no pair yet, both times not-a-date-time
            "0 0", "1", S("A"), S(""), S(""), "0 0", "0 0", S(""), S(""), "0", S(""), S(""), "0",
            S(""), "0 0", "0 0", "0 0", "0 0", nadt, nadt, "0",
            // second show: the pair and time_duration headers appear here
            "2", S("B"), S(""), S(""), "0 0", S(""), S(""), "0", S(""), S(""), "0", S(""), "1 0",
            "0 0", S("Director"), S("X"), S("20160131"), "0 0", "0 6 0 0 0", S("20160131"),
            "0 7 30 15 0", "0",
            // third show: no headers at all
            "3", S(""), S(""), S(""), "0 0", S(""), S(""), "0", S(""), S(""), "0", S(""), "2 0",
            S("Actor"), S("Y"), S("Actor"), S("Z"), nadt, S("20160201"), "0 0 0 0 0", "1"}),
      text);
  const TVShows read = ReadShowsArchive(text);
  EXPECT_EQ(ThreeShows(), read);
  EXPECT_TRUE(read[0].start.is_not_a_date_time());
  EXPECT_EQ(text, WriteShowsArchive(read));
}

TEST(ShowArchive, EmptyListAndSpecialTimes) {
  EXPECT_EQ("22 serialization::archive 13 0 0 0 0", WriteShowsArchive(TVShows()));
  EXPECT_TRUE(ReadShowsArchive("22 serialization::archive 13 0 0 0 0").empty());

  const TVShows shows{zu::testing::SpecialShow()};
  EXPECT_EQ(shows, ReadShowsArchive(WriteShowsArchive(shows)));
}

TEST(ShowArchive, FractionalSecondsSurvive) {
  const TVShow show = zu::testing::FractionalSecondsShow();
  const std::string text = WriteShowsArchive({show});
  EXPECT_NE(std::string::npos, text.find("0 20 15 0 250000"));
  EXPECT_EQ(show.start, ReadShowsArchive(text).at(0).start);
}

TEST(ShowArchive, ToleratesTrailingLineEndOfOtherWriters) {
  const std::string text = WriteShowsArchive({News()}) + "\n";
  EXPECT_EQ(TVShows{News()}, ReadShowsArchive(text));
}

class RandomRecords {
 public:
  explicit RandomRecords(unsigned int seed) : random_(seed) {}

  std::string Text() {
    static const char* const pieces[] = {"",    " ", "a",  "Tagesschau", "\xc3\xb6", "\n",
                                         "x y", "0", "22", "\r\n",       "-"};
    std::string text;
    const int count = static_cast<int>(random_() % 4);
    for (int i = 0; i < count; ++i)
      text += pieces[random_() % (sizeof(pieces) / sizeof(pieces[0]))];
    if (random_() % 8 == 0)
      text += std::string(1, '\0') + "tail";
    return text;
  }
  unsigned int Number() {
    switch (random_() % 4) {
      case 0:
        return 0;
      case 1:
        return UINT_MAX;
      default:
        return static_cast<unsigned int>(random_());
    }
  }
  ptime Time() {
    switch (random_() % 8) {
      case 0:
        return ptime(boost::posix_time::not_a_date_time);
      case 1:
        return ptime(boost::posix_time::pos_infin);
      case 2:
        return ptime(boost::posix_time::neg_infin);
      case 3:
        return ptime(boost::posix_time::min_date_time);
      case 4:
        return ptime(boost::posix_time::max_date_time);
      default: {
        const boost::gregorian::date day(static_cast<unsigned short>(1400 + random_() % 8600),
                                         static_cast<unsigned short>(1 + random_() % 12),
                                         static_cast<unsigned short>(1 + random_() % 28));
        return ptime(day, boost::posix_time::microseconds(
                              static_cast<long long>(random_() % 86400) * 1000000 +
                              (random_() % 2 ? static_cast<long long>(random_() % 1000000) : 0)));
      }
    }
  }
  TVShow Show() {
    TVShow show;
    show.id = Number();
    show.title = Text();
    show.subTitle = Text();
    show.reserved1 = random_() % 16 ? "" : Text();
    const int genres = static_cast<int>(random_() % 4);
    for (int i = 0; i < genres; ++i)
      show.AddGenre(Text());
    show.country = Text();
    show.year = Number();
    show.description = Text();
    show.reserved2 = random_() % 16 ? "" : Text();
    show.duration = Number();
    show.image = Text();
    const int persons = static_cast<int>(random_() % 4);
    for (int i = 0; i < persons; ++i)
      show.persons.emplace_back(Text(), Text());
    show.start = Time();
    show.end = Time();
    show.detailsRead = random_() % 2 == 0;
    return show;
  }
  Channel MakeChannel(unsigned int uid) {
    Channel channel;
    channel.name = Text();
    channel.uid = random_() % 8 ? uid : Number();
    channel.number = Number();
    channel.logoUri = Text();
    channel.streamUrl = Text();
    const int groups = static_cast<int>(random_() % 4);
    for (int i = 0; i < groups; ++i)
      channel.groups.insert(Text());
    channel.isRadio = random_() % 2 == 0;
    return channel;
  }
  unsigned int Below(unsigned int bound) { return static_cast<unsigned int>(random_() % bound); }

 private:
  std::mt19937 random_;
};

std::string GoldenText(const std::string& file) {
  std::ifstream in(std::string(ZU_CACHE_GOLDEN_DIR) + "/" + file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(GoldenFiles, ReadAsTheirTablesAndWrittenAgainByteForByte) {
  // Files boost wrote. Tables of the older channel layout are only read: ours writes the
  // current one.
  for (const zu::testing::GoldenChannelTable& golden : zu::testing::GoldenChannelTables()) {
    const std::string text = GoldenText(golden.file);
    ASSERT_FALSE(text.empty()) << golden.file;
    EXPECT_EQ(golden.channels, ReadChannelsArchive(text)) << golden.file;
    if (!golden.withoutRadioFlag) {
      EXPECT_EQ(text, WriteChannelsArchive(golden.channels)) << golden.file;
    }
  }
  for (const zu::testing::GoldenShowList& golden : zu::testing::GoldenShowLists()) {
    const std::string text = GoldenText(golden.file);
    ASSERT_FALSE(text.empty()) << golden.file;
    EXPECT_EQ(golden.shows, ReadShowsArchive(text)) << golden.file;
    EXPECT_EQ(text, WriteShowsArchive(golden.shows)) << golden.file;
  }
}

TEST(ArchiveWriter, WritesWhatBoostsTextArchiveWrites) {
  RandomRecords random(4711);
  for (int round = 0; round < 300; ++round) {
    TVShows shows;
    const unsigned int count = random.Below(6);
    for (unsigned int i = 0; i < count; ++i)
      shows.push_back(random.Show());
    const std::string text = WriteShowsArchive(shows);
    ASSERT_EQ(BoostText(shows), text) << "round " << round;
    ASSERT_EQ(shows, ReadShowsArchive(text)) << "round " << round;

    Channels channels;
    const unsigned int channelCount = random.Below(5);
    for (unsigned int i = 0; i < channelCount; ++i) {
      const unsigned int uid = random.Below(3) == 0 ? random.Number() : random.Below(20000);
      channels[uid] = random.MakeChannel(uid);
    }
    const std::string channelText = WriteChannelsArchive(channels);
    ASSERT_EQ(BoostText(channels), channelText) << "round " << round;
    ASSERT_EQ(channels, ReadChannelsArchive(channelText)) << "round " << round;
  }
}

TEST(ArchiveWriter, ClassHeadersFollowTheFirstObjectOfEachTypeWhereverItComes) {
  const TVShows shows = LateClassHeaders();
  EXPECT_EQ(BoostText(shows), WriteShowsArchive(shows));
  EXPECT_EQ(BoostText(TVShows{}), WriteShowsArchive(TVShows{}));
  EXPECT_EQ(BoostText(Channels{}), WriteChannelsArchive(Channels{}));
  EXPECT_EQ(BoostText(SomeChannels()), WriteChannelsArchive(SomeChannels()));
}

// The message of the error thrown for text, or "" when it reads.
template <class Reader>
std::string ErrorOf(Reader reader, const std::string& text) {
  try {
    reader(text);
  } catch (const CacheArchiveError& e) {
    return e.what();
  }
  return "";
}

std::string ShowsError(const std::string& text) {
  return ErrorOf(ReadShowsArchive, text);
}

std::string ChannelsError(const std::string& text) {
  return ErrorOf(ReadChannelsArchive, text);
}

TEST(ArchiveRejects, WrongSignatureOrVersion) {
  EXPECT_NE("", ShowsError(""));
  EXPECT_NE(std::string::npos, ShowsError("hello").find("signature"));
  EXPECT_NE(std::string::npos,
            ShowsError("22 serialization::archivX 13 0 0 0 0").find("signature"));
  EXPECT_NE(std::string::npos,
            ShowsError("21 serialization::archive 13 0 0 0 0").find("signature"));
  EXPECT_NE(
      std::string::npos,
      ShowsError("22 serialization::archive 18 0 0 0 0").find("unsupported archive version 18"));
  EXPECT_NE(std::string::npos,
            ChannelsError("22 serialization::archive 12 0 0 0 0").find("version"));
  // A channel class version this code does not know.
  const std::string newer = Join({"22 serialization::archive 13", "0 0", "1 0", "0 0", "5", "0 2",
                                  S("ARD"), "5 1", S(""), S("u"), "0 0", "0 0", "1", "7"});
  EXPECT_NE(std::string::npos, ChannelsError(newer).find("class version 2"));
}

TEST(ArchiveRejects, EveryTruncation) {
  const std::string shows = WriteShowsArchive(ThreeShows());
  for (std::size_t length = 0; length < shows.size(); ++length)
    EXPECT_NE("", ShowsError(shows.substr(0, length))) << length;
  const std::string channels = WriteChannelsArchive(SomeChannels());
  for (std::size_t length = 0; length < channels.size(); ++length)
    EXPECT_NE("", ChannelsError(channels.substr(0, length))) << length;
}

TEST(ArchiveRejects, GarbageAndTrailingData) {
  const std::string valid = WriteShowsArchive({News()});
  EXPECT_NE(std::string::npos, ShowsError(valid + " 7").find("after the archive"));
  EXPECT_NE("", ShowsError("22 serialization::archive 13 0 0 1 0 0 0 x"));
  EXPECT_NE("", ShowsError("22 serialization::archive 13 0 0 1 0 0 0 4711 4 News 0  0  0 0 "
                           "1 0 4 Info 4 Info 0  0 0  0  0 0  0 0 0 0 0 0 0 0 8 2016X131"));
  // A month 13 and a time of day beyond midnight.
  std::string badDate = valid;
  badDate.replace(badDate.find("20160131"), 8, "20161331");
  EXPECT_NE("", ShowsError(badDate));
  std::string badTime = valid;
  badTime.replace(badTime.find("0 20 15 0 0"), 11, "0 99 15 0 0");
  EXPECT_NE(std::string::npos, ShowsError(badTime).find("time of day"));
  std::string badFraction = valid;
  badFraction.replace(badFraction.find("0 20 15 0 0"), 11, "0 20 15 0 -9223372036854775807");
  EXPECT_NE(std::string::npos, ShowsError(badFraction).find("time of day"));
  // A bool that is neither 0 nor 1.
  std::string badFlag = valid;
  badFlag.back() = '2';
  EXPECT_NE("", ShowsError(badFlag));
}

TEST(ArchiveRejects, HostileLengthsAndCounts) {
  // None of these may allocate what the text claims; each fails with a message saying why.
  EXPECT_NE(std::string::npos,
            ShowsError("22 serialization::archive 13 0 0 999999999999 0 0 0 1").find("count"));
  EXPECT_NE(std::string::npos, ShowsError("22 serialization::archive 13 0 0 -1 0").find("count"));
  EXPECT_NE(
      std::string::npos,
      ShowsError("22 serialization::archive 13 0 0 1 0 0 0 4711 999999999999 News").find("length"));
  EXPECT_NE(std::string::npos, ShowsError("999999999999 serialization::archive").find("signature"));
  EXPECT_NE(std::string::npos,
            ChannelsError("22 serialization::archive 13 0 0 1 0 0 0 5 0 1 3 ARD 5 1 0  0  0 0 "
                          "999999999999 0 2 TV 1")
                .find("count"));
  std::string persons = WriteShowsArchive({News()});
  persons.replace(persons.find("0 0 0 0 0 0 0 0 8"), 8, "0 0 99999999 0");
  EXPECT_NE(std::string::npos, ShowsError(persons).find("count"));
}

TEST(ArchiveRejects, RandomDamageNeverEscapesAsAnotherError) {
  // Damaged caches must be reported, never crash or throw anything but CacheArchiveError.
  const std::string shows = WriteShowsArchive(ThreeShows());
  const std::string channels = WriteChannelsArchive(SomeChannels());
  std::mt19937 random(20160131);
  const char replacements[] = "0123456789 -x\n";
  for (int round = 0; round < 3000; ++round) {
    std::string text = round % 2 ? shows : channels;
    const int damages = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < damages; ++i) {
      const std::size_t at = random() % text.size();
      text[at] = replacements[random() % (sizeof(replacements) - 1)];
    }
    try {
      if (round % 2)
        ReadShowsArchive(text);
      else
        ReadChannelsArchive(text);
    } catch (const CacheArchiveError&) {
    } catch (const std::exception& e) {
      ADD_FAILURE() << "unexpected " << e.what() << " for " << text;
    }
  }
}

// How boost's own text archive reads a date stored as text: the date, or nothing when it
// refuses the text.
std::optional<boost::gregorian::date> BoostReadsDate(const std::string& text) {
  std::istringstream in("0 0 " + S(text));
  boost::archive::text_iarchive archive(in, boost::archive::no_header);
  boost::gregorian::date date;
  try {
    archive >> date;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return date;
}

TEST(ArchiveReader, DatesOfTheWrittenFormsReadAsBoostReadsThemAndNoOthers) {
  // boost writes a date as eight digits or as the name of a special value. Other texts are
  // refused, also those boost would make a date of: no cache file holds them.
  const std::string valid = WriteShowsArchive({News()});
  const std::vector<std::string> written = {"20160131",  "14000101",  "99991231",       "20160229",
                                            "+infinity", "-infinity", "not-a-date-time"};
  for (const char* date :
       {"20160131", "14000101",        "99991231",  "20160229",  "20150229", "20161301", "20160100",
        "13991231", "00000000",        "2016013",   "201601319", "2016O131", "+2016013", "x",
        "",         "not-a-date-time", "+infinity", "-infinity", "infinity", "20160131 "}) {
    const bool isWritten = std::find(written.begin(), written.end(), date) != written.end();
    const std::optional<boost::gregorian::date> expected = BoostReadsDate(date);
    ASSERT_TRUE(expected || !isWritten) << date;
    // The start date of the show replaced; after a special date no time of day follows, and
    // the end time brings the time of day's class header instead.
    std::string text = valid;
    const std::string times = "8 20160131 0 0 0 20 15 0 0 8 20160131 0 20 30 0 0";
    const std::size_t at = text.find(times);
    ASSERT_NE(std::string::npos, at);
    const bool special = expected && expected->is_special();
    text.replace(at, times.size(),
                 S(date) + (special ? " 8 20160131 0 0 0 20 30 0 0"
                                    : " 0 0 0 20 15 0 0 8 20160131 0 20 30 0 0"));
    if (!isWritten) {
      EXPECT_NE(std::string::npos, ShowsError(text).find("invalid date")) << date;
      continue;
    }
    TVShows shows;
    ASSERT_NO_THROW(shows = ReadShowsArchive(text)) << date;
    EXPECT_EQ(*expected, shows.at(0).start.date()) << date;
  }
}

// Our reading against boost's: whatever text our reader takes, boost must read to the same
// records.
template <class Records>
void ExpectSameReading(const std::string& text, bool mustTake, const std::string& what) {
  Records ours;
  try {
    if constexpr (std::is_same_v<Records, Channels>)
      ours = ReadChannelsArchive(text);
    else
      ours = ReadShowsArchive(text);
  } catch (const CacheArchiveError& e) {
    EXPECT_FALSE(mustTake) << e.what() << ": " << what;
    return;
  }
  Records boosts;
  try {
    boosts = BoostRead<Records>(text);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "read by ours, refused by boost (" << e.what() << "): " << what;
    return;
  }
  EXPECT_TRUE(ours == boosts) << what;
}

TEST(ArchiveReader, TakesWhatTheWriterWritesAndReadsItAsBoostDoes) {
  RandomRecords random(20240304);
  for (int round = 0; round < 300; ++round) {
    TVShows shows;
    const unsigned int count = random.Below(6);
    for (unsigned int i = 0; i < count; ++i)
      shows.push_back(random.Show());
    ExpectSameReading<TVShows>(WriteShowsArchive(shows), true,
                               "shows, round " + std::to_string(round));
    EXPECT_EQ(shows, ReadShowsArchive(WriteShowsArchive(shows)));

    Channels channels;
    const unsigned int channelCount = random.Below(5);
    for (unsigned int i = 0; i < channelCount; ++i) {
      const unsigned int uid = random.Below(20000);
      channels[uid] = random.MakeChannel(uid);
    }
    ExpectSameReading<Channels>(WriteChannelsArchive(channels), true,
                                "channels, round " + std::to_string(round));
  }
}

TEST(ArchiveReader, DamagedTextsAreReadAsBoostReadsThemOrRefused) {
  const std::string shows = WriteShowsArchive(ThreeShows()) + " ";
  const std::string channels = WriteChannelsArchive(SomeChannels());
  std::mt19937 random(1);
  const char replacements[] = "0123456789 -x\n\t+";
  for (int round = 0; round < 20000; ++round) {
    std::string text = round % 2 ? shows : channels;
    const int damages = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < damages; ++i) {
      const std::size_t at = random() % text.size();
      switch (random() % 3) {
        case 0:
          text[at] = replacements[random() % (sizeof(replacements) - 1)];
          break;
        case 1:
          text.insert(at, 1, replacements[random() % (sizeof(replacements) - 1)]);
          break;
        default:
          text.erase(at, 1);
          break;
      }
    }
    if (round % 2)
      ExpectSameReading<TVShows>(text, false, text);
    else
      ExpectSameReading<Channels>(text, false, text);
  }
}

TEST(ArchiveReader, OnlyTheWrittenFormIsRead) {
  // Every cache file so far was written with single spaces and no leading zeros, ending with
  // the last token or, from boost's archive, a line end. Other spellings boost would read were
  // never written and are refused.
  const TVShows shows = ThreeShows();
  const std::string text = WriteShowsArchive(shows);
  EXPECT_EQ(shows, ReadShowsArchive(text + "\r\n"));
  std::string doubled;
  for (char c : text)
    doubled += c == ' ' ? std::string("  ") : std::string(1, c);
  std::string lines = text;
  lines.replace(lines.find(" 0 0 3 0"), 8, "\n0\n0\n3\n0");
  std::string zeros = text;
  zeros.replace(zeros.find(" 3 0 "), 5, " 003 0 ");
  EXPECT_NE(std::string::npos, ShowsError(zeros).find("leading zero"));
  EXPECT_NE(std::string::npos, ShowsError(lines).find("expected"));
  EXPECT_NE("", ShowsError(doubled));
  // A channel table of class version 0 (no radio flag) is read.
  const std::string oldTable = Join({"22 serialization::archive 13", "0 0", "1 0", "0 0", "5",
                                     "0 0", S("ARD"), "5 1", S(""), S("u"), "0 0", "1 0", S("TV")});
  ExpectSameReading<Channels>(oldTable, true, oldTable);
}

TEST(ArchiveReader, ARepeatedKeyOrGroupKeepsTheFirst) {
  // No writer repeats them, but a damaged cache may; ours keeps the first, as boost does.
  const std::string text = Join({"22 serialization::archive 13",
                                 "0 0",
                                 "2 0",
                                 "0 0",
                                 "5",
                                 "0 1",
                                 S("First"),
                                 "5 1",
                                 S(""),
                                 S("u"),
                                 "0 0",
                                 "2 0",
                                 S("TV"),
                                 S("TV"),
                                 "0",
                                 "5",
                                 S("Second"),
                                 "5 2",
                                 S(""),
                                 S("v"),
                                 "0 0",
                                 "1"});
  ExpectSameReading<Channels>(text, true, text);
  const Channels channels = ReadChannelsArchive(text);
  ASSERT_EQ(1u, channels.size());
  EXPECT_EQ("First", channels.at(5).name);
  EXPECT_EQ(std::set<std::string>{"TV"}, channels.at(5).groups);
}

}  // namespace
