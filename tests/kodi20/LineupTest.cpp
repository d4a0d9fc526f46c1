#include <set>
#include <string>

#include <gtest/gtest.h>

#include "kodi20/check/Lineup.h"
#include "kodi20/check/ProviderSource.h"

namespace {

using namespace zu::kodi20::check;

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

TEST(LineupTest, FixtureCoversTheGuideWindowWithoutGaps) {
  const std::int64_t now = 1709287507;
  Lineup lineup = FixtureLineup(now);
  ASSERT_EQ(lineup.Channels(false).size(), 6u);
  ASSERT_EQ(lineup.Channels(true).size(), 2u);
  EXPECT_EQ(lineup.Groups(false), (std::vector<std::string>{"News & Info", "Film"}));
  EXPECT_EQ(lineup.Groups(true), (std::vector<std::string>{"Radio"}));
  std::set<unsigned> numbers;
  for (const LineupChannel& channel : lineup.channels) {
    EXPECT_TRUE(numbers.insert(channel.number).second) << channel.name;
    ASSERT_FALSE(channel.shows.empty());
    EXPECT_LE(channel.shows.front().start, now - 24 * 3600);
    EXPECT_GE(channel.shows.back().end, now + 3 * 24 * 3600);
    for (size_t i = 1; i < channel.shows.size(); ++i)
      EXPECT_EQ(channel.shows[i].start, channel.shows[i - 1].end) << channel.name << " " << i;
  }
  // Made again within the hour, the lineup is the same.
  EXPECT_EQ(FixtureLineup(now + 60).channels[3].shows[7].title, lineup.channels[3].shows[7].title);
}

TEST(LineupTest, PlaylistCarriesTheAttributesIptvClientsRead) {
  Lineup lineup = FixtureLineup(1709287507);
  lineup.channels[0].groups.push_back("Extra");
  std::string playlist = LineupPlaylist(lineup, "http://127.0.0.1:9");
  EXPECT_EQ(playlist.rfind("#EXTM3U\n", 0), 0u);
  EXPECT_EQ(Count(playlist, "#EXTINF:-1 "), 8u);
  EXPECT_NE(playlist.find("#EXTINF:-1 tvg-id=\"fixture.1\" tvg-name=\"Fixture One\" tvg-chno=\"1\" "
                          "group-title=\"News & Info;Extra\" "
                          "tvg-logo=\"http://127.0.0.1:9/logo/1.png\",Fixture One\n"
                          "http://127.0.0.1:9/stream/1.ts\n"),
            std::string::npos)
      << playlist;
  EXPECT_EQ(Count(playlist, " radio=\"true\","), 2u);
}

TEST(LineupTest, XmltvEscapesTextsAndWritesUtcTimes) {
  EXPECT_EQ(XmltvTime(0), "19700101000000 +0000");
  EXPECT_EQ(XmltvTime(1709287507), "20240301100507 +0000");
  Lineup lineup;
  LineupChannel channel;
  channel.id = "a&b";
  channel.name = "A & B";
  channel.shows = {{"Tom & \"Jerry\" <Live>", "", 0, 600}};
  lineup.channels = {channel};
  std::string xmltv = LineupXmltv(lineup);
  EXPECT_NE(xmltv.find("<channel id=\"a&amp;b\"><display-name>A &amp; B</display-name>"),
            std::string::npos)
      << xmltv;
  EXPECT_NE(xmltv.find("<programme start=\"19700101000000 +0000\" stop=\"19700101001000 +0000\" "
                       "channel=\"a&amp;b\"><title>Tom &amp; &quot;Jerry&quot; &lt;Live&gt;"
                       "</title></programme>"),
            std::string::npos)
      << xmltv;
}

TEST(RadioPlaylistTest, ReadsTheListAsTheAddonDoes) {
  std::vector<LineupChannel> channels = ReadRadioPlaylist(
      "#EXTM3U\r\n"
      "#EXTINF:-1,Before Any Group\r\n"
      "http://127.0.0.1/radio/a.mp3\r\n"
      "##  Pop & Rock  \n"
      "#EXTINF:-1 tvg-id=\"x\",Hit, Radio \n"
      "\n"
      "http://127.0.0.1:8080/radio/hit.mp3\n"
      "# a comment\n"
      "#EXTINF:-1,Last Without URL\n");
  ASSERT_EQ(channels.size(), 2u);
  EXPECT_EQ(channels[0].name, "Before Any Group");
  EXPECT_EQ(channels[0].groups, (std::vector<std::string>{""}));
  EXPECT_EQ(channels[0].number, 10000u);
  EXPECT_TRUE(channels[0].radio);
  EXPECT_EQ(channels[0].streamPath, "/radio/a.mp3");
  EXPECT_EQ(channels[1].name, "Hit, Radio ");
  EXPECT_EQ(channels[1].groups, (std::vector<std::string>{"Pop & Rock"}));
  EXPECT_EQ(channels[1].number, 10001u);
  EXPECT_EQ(channels[1].streamPath, "/radio/hit.mp3");
}

}  // namespace
