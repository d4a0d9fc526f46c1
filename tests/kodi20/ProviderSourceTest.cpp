#include <httplib.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "base/TempDir.h"
#include "kodi20/check/ProviderSource.h"

namespace {

using namespace zu::kodi20::check;

std::string Get(const std::string& baseUrl, const std::string& path, int& status) {
  httplib::Client client(baseUrl);
  client.set_connection_timeout(std::chrono::seconds(5));
  client.set_read_timeout(std::chrono::seconds(30));
  auto response = client.Get(path.c_str());
  status = response ? response->status : 0;
  return response ? response->body : std::string();
}

TEST(ProviderSourceTest, PresentsTheStationsAsTheAddonDoes) {
  // The provider's wall-clock times are then UTC times, as in the driver.
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  zu_test::TempDir temp;
  {
    std::ofstream radio(temp / "radio.m3u");
    radio << "#EXTM3U\n## Klassik\n#EXTINF:-1,Radio Klassik\nhttp://127.0.0.1/radio/k.mp3\n";
  }
  ProviderSource::Options options;
  options.stations = 4;
  options.radioPlaylist = temp / "radio.m3u";
  options.logPath = temp / "provider.log";
  ProviderSource source(options);
  std::string error;
  ASSERT_TRUE(source.Start(error)) << error;
  EXPECT_EQ("http://" + source.HostAndPort(), source.BaseUrl());

  const Lineup& lineup = source.GetLineup();
  ASSERT_EQ(lineup.Channels(false).size(), 4u);
  ASSERT_EQ(lineup.Channels(true).size(), 1u);
  EXPECT_EQ(lineup.Channels(true)[0]->name, "Radio Klassik");
  EXPECT_EQ(lineup.Channels(true)[0]->groups, (std::vector<std::string>{"Klassik"}));
  for (const LineupChannel* channel : lineup.Channels(false)) {
    EXPECT_NE(std::find(channel->groups.begin(), channel->groups.end(), "All"),
              channel->groups.end())
        << channel->name;
    std::vector<LineupShow> shows = source.ShowsOf(*channel);
    ASSERT_FALSE(shows.empty()) << channel->name;
    const std::int64_t now = std::time(nullptr);
    EXPECT_LE(shows.front().start, now - 24 * 3600);
    EXPECT_GE(shows.back().end, now + 3 * 24 * 3600);
    for (size_t i = 1; i < shows.size(); ++i)
      EXPECT_EQ(shows[i].start, shows[i - 1].end);
  }
  EXPECT_TRUE(source.ShowsOf(*lineup.Channels(true)[0]).empty());

  // What the add-on finds and what an IPTV client reads come from the same provider.
  const LineupChannel& first = *lineup.Channels(false)[0];
  int status = 0;
  std::string playlist = Get(source.BaseUrl(), "/export/playlist.m3u", status);
  EXPECT_EQ(status, 200);
  EXPECT_NE(playlist.find("tvg-chno=\"" + std::to_string(first.number) + "\""), std::string::npos);
  EXPECT_NE(playlist.find(source.BaseUrl() + first.streamPath), std::string::npos);
  EXPECT_EQ(source.XmltvUrl(), source.BaseUrl() + "/export/xmltv.xml?days=3&past=1");
  Get(source.BaseUrl(), first.streamPath, status);
  EXPECT_EQ(status, 200);
  EXPECT_TRUE(source.WaitForRequest(first.streamPath, std::chrono::seconds(5)));

  source.Stop();
  Get(source.BaseUrl(), "/export/playlist.m3u", status);
  EXPECT_EQ(status, 0);
  // The lineup and guide stay available for the checks of a restart without the provider.
  EXPECT_FALSE(source.ShowsOf(first).empty());
}

TEST(ProviderSourceTest, AMissingRadioListIsAnError) {
  ProviderSource::Options options;
  options.stations = 2;
  options.radioPlaylist = "/nonexistent/radio.m3u";
  options.logPath = "/dev/null";
  ProviderSource source(options);
  std::string error;
  EXPECT_FALSE(source.Start(error));
  EXPECT_NE(error.find("/nonexistent/radio.m3u"), std::string::npos) << error;
}

TEST(ProviderSourceTest, WithoutARadioListTheCataloguesRadioStationsCount) {
  ProviderSource::Options options;
  options.stations = 2;
  options.radio = 3;
  options.logPath = "/dev/null";
  ProviderSource source(options);
  std::string error;
  ASSERT_TRUE(source.Start(error)) << error;
  std::vector<const LineupChannel*> radio = source.GetLineup().Channels(true);
  ASSERT_EQ(radio.size(), 3u);
  EXPECT_EQ(radio[0]->number, 10000u);
  EXPECT_EQ(radio[2]->streamPath, "/radio/3.mp3");
  int status = 0;
  std::string playlist = Get(source.BaseUrl(), "/export/playlist.m3u", status);
  EXPECT_NE(playlist.find("tvg-chno=\"10002\""), std::string::npos) << playlist;
  EXPECT_NE(playlist.find(source.BaseUrl() + "/radio/3.mp3"), std::string::npos) << playlist;
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
