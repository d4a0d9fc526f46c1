// The station list and playlist reader against canned documents, the playlist merge on its
// own, and the logo URL split.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string>
#include <vector>

#include "LevelLog.h"
#include "nivo/HttpPageReader.h"
#include "nivo/JsonReader.h"
#include "nivo/LogoUrl.h"
#include "nivo/TVPlaylists.h"
#include "tests/support/ScriptedPeer.h"

namespace {

using catalogue_test::LevelLog;
using zu::nivo::Channel;
using zu::nivo::Channels;
using zu::nivo::HttpUrl;
using zu::nivo::JsonReader;
using zu_test::ScriptedPeer;

const char kHeaderInfo[] = "/pelta_bapi/Android/index/headerinfo";
const char kStationList[] = "/a/api.mobile.station.get?type=JSON.1";
const char kFta[] = "/a/service.fta.m3u";
const char kPlus[] = "/a/service.plus.m3u";
const char kAll[] = "/a/service.m3u";

nlohmann::json Station(long long uid, const std::string& name, nlohmann::json channel) {
  return {{"Station",
           {{"UID", uid},
            {"DisplayName", name},
            {"Channel", channel},
            {"Flags", {"HD"}},
            {"Products", {"Basis"}},
            {"Logo", {{"URI", "http://logos.example/logo/60x30/" + name + ".png"}}}}}};
}

std::string StationList(const std::vector<nlohmann::json>& stations) {
  return nlohmann::json{{"data", stations}}.dump();
}

Channel Named(unsigned int uid, const std::string& name) {
  Channel channel;
  channel.uid = uid;
  channel.name = name;
  return channel;
}

class JsonReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(0, server.Port());
    setenv("NIVOTV_SERVICE_HOST", server.Endpoint().c_str(), 1);
    setenv("NIVOTV_GUIDE_HOST", server.Endpoint().c_str(), 1);
    server.SetPage(kHeaderInfo, "{\"status\":\"OK\"}");
  }
  void TearDown() override { pageReader->StopServer(); }

  ScriptedPeer server;
  zu::SharedPtr<zu::nivo::HttpPageReader> pageReader = zu::nivo::HttpPageReader::Create();
  JsonReader reader{pageReader};
};

TEST_F(JsonReaderTest, AStationWithAShortChannelArrayIsSkippedAndTheRestLoads) {
  server.SetPage(kStationList,
                 StationList({Station(11, "Eins", {"Public", 1}), Station(12, "Zwei", {"Public"}),
                              Station(13, "Drei", nlohmann::json::array()),
                              Station(14, "Vier", {"Private", 4})}));
  server.SetPage(kFta, "#EXTM3U\n#EXTINF:-1,Eins\nhttp://s/1\n#EXTINF:-1,Vier\nhttp://s/4\n");
  server.SetPage(kPlus, "#EXTM3U\n");
  server.SetPage(kAll, "#EXTM3U\n");
  LevelLog log;
  const Channels channels = reader.ReadTVStations(Channels());
  ASSERT_EQ(2u, channels.size());
  EXPECT_EQ("Eins", channels.at(11).name);
  EXPECT_EQ(4u, channels.at(14).number);
  EXPECT_EQ("http://s/4", channels.at(14).streamUrl);
  EXPECT_EQ("http://logos.example/station/128x64/Vier.png", channels.at(14).logoUri);
  EXPECT_EQ(1u, log.WarningsWith("UID 12"));
  EXPECT_EQ(1u, log.WarningsWith("UID 13"));
  EXPECT_EQ(1u, log.Infos("Found 2 TV Stations"));
  EXPECT_EQ(0u, log.ErrorsWith(""));
}

TEST_F(JsonReaderTest, AnEmptyStationListStillReadsThePlaylists) {
  server.SetPage(kStationList, StationList({}));
  server.SetPage(kFta, "#EXTM3U\n");
  server.SetPage(kPlus, "#EXTM3U\n");
  server.SetPage(kAll, "#EXTM3U\n");
  Channels previous;
  previous[3] = Named(3, "Old");
  LevelLog log;
  EXPECT_TRUE(reader.ReadTVStations(previous).empty());
  EXPECT_EQ(1u, log.Infos("Found 0 TV Stations"));
  EXPECT_EQ((std::vector<std::string>{kHeaderInfo, kStationList, kFta, kPlus, kAll}),
            server.Targets());
}

TEST_F(JsonReaderTest, APreviousChannelKeepsItsUrlAndRadioFlagButNotItsGroups) {
  server.SetPage(kStationList, StationList({Station(5, "New Name", {"Public", 9})}));
  Channels previous;
  previous[5] = Named(5, "Old Name");
  previous[5].streamUrl = "http://kept/5";
  previous[5].isRadio = true;
  previous[5].groups = {"Old Group"};
  previous[6] = Named(6, "Dropped");
  LevelLog log;
  // No playlist is served: the first one fails and the rest of the step is skipped.
  const Channels channels = reader.ReadTVStations(previous);
  ASSERT_EQ(1u, channels.size());
  const Channel& channel = channels.at(5);
  EXPECT_EQ("New Name", channel.name);
  EXPECT_EQ(9u, channel.number);
  EXPECT_EQ("http://kept/5", channel.streamUrl);
  EXPECT_TRUE(channel.isRadio);
  EXPECT_EQ((std::set<std::string>{"Basis", "HD", "Public"}), channel.groups);
  EXPECT_EQ(1u, log.Errors("failed reading channel urls "));
  EXPECT_EQ((std::vector<std::string>{kHeaderInfo, kStationList, kFta}), server.Targets());
}

TEST_F(JsonReaderTest, DocumentFailuresReturnThePreviousTable) {
  Channels previous;
  previous[7] = Named(7, "Previous");
  struct Case {
    const char* body;
    const char* error;
  };
  const Case cases[] = {
      {"{\"data\": [", "failed reading TV stations, received unknown exeption"},
      {"{\"data\": [{\"Station\": {\"UID\": \"7\"}}]}",
       "failed reading TV stations, received exeption: "},
      {"{\"items\": []}", "failed reading TV stations, received exeption: "},
  };
  for (const Case& failure : cases) {
    SCOPED_TRACE(failure.body);
    server.SetPage(kStationList, failure.body);
    LevelLog log;
    EXPECT_EQ(previous, reader.ReadTVStations(previous));
    EXPECT_EQ(1u, log.ErrorsWith(failure.error));
    EXPECT_EQ(1u, log.ErrorsWith("failed reading TV stations"));
  }
  // The exception's own text follows the message.
  server.SetPage(kStationList, "{\"items\": []}");
  LevelLog log;
  reader.ReadTVStations(previous);
  EXPECT_EQ(1u, log.ErrorsWith("received exeption: "));
  EXPECT_EQ(1u, log.ErrorsWith("'data'"));
}

TEST_F(JsonReaderTest, PlaylistsAttachUrlsInOrderAndReportChannelsWithoutOne) {
  Channels channels;
  channels[1] = Named(1, "Eins");
  channels[2] = Named(2, "Zwei");
  channels[3] = Named(3, "Zwei");  // the same name as 2: both take the entry
  channels[4] = Named(4, "Vier");
  server.SetPage(
      kFta, "#EXTM3U\n## FTA\n#EXTINF:-1,Eins\nhttp://fta/1\n#EXTINF:-1,Vier \nhttp://fta/4\n");
  server.SetPage(kPlus,
                 "#EXTM3U\r\n#EXTINF:-1,Zwei\r\nhttp://plus/2a\r\n#EXTINF:-1,Zwei\r\n"
                 "http://plus/2b\r\n");
  server.SetPage(kAll, "#EXTM3U\n#EXTINF:-1,Eins\nhttp://all/1\n#EXTINF:-1,Unknown\nhttp://x\n");
  LevelLog log;
  reader.UpdateTVStationsFromM3UFiles(channels);
  EXPECT_EQ("http://all/1", channels[1].streamUrl);
  EXPECT_EQ((std::set<std::string>{"All", "Nivo TV"}), channels[1].groups);
  EXPECT_EQ("http://plus/2b", channels[2].streamUrl);
  EXPECT_EQ("http://plus/2b", channels[3].streamUrl);
  EXPECT_EQ((std::set<std::string>{"Nivo TV Plus"}), channels[3].groups);
  // "Vier " with its trailing space names no channel.
  EXPECT_EQ("", channels[4].streamUrl);
  EXPECT_EQ(1u, log.Errors("Url for 'Vier' not found"));
  EXPECT_EQ(1u, log.ErrorsWith("Url for"));
  for (const ScriptedPeer::Request& request : server.Requests())
    EXPECT_EQ(0u, request.headers.count("Accept"));
}

TEST_F(JsonReaderTest, ALogoIsFetchedFromThePortOfItsUrl) {
  server.SetPage("/station/128x64/eins.png", "\x89PNG image bytes");
  Channel channel = Named(1, "Eins");
  channel.logoUri =
      "http://127.0.0.1:" + std::to_string(server.Port()) + "/station/128x64/eins.png";
  std::vector<std::string> received;
  auto keep = [&received](const Channel& owner, const std::string& image) {
    received.push_back(owner.name + ":" + image);
  };
  reader.ReadTVStationImage(channel, keep);
  EXPECT_EQ((std::vector<std::string>{"Eins:\x89PNG image bytes"}), received);
  ASSERT_EQ(1u, server.Requests().size());
  EXPECT_EQ(0u, server.Requests()[0].headers.at("User-Agent").find("Mozilla/5.0 (Linux"));

  LevelLog log;
  channel.logoUri = "http://127.0.0.1:" + std::to_string(server.Port()) + "/missing.png";
  reader.ReadTVStationImage(channel, keep);
  EXPECT_EQ(1u, received.size());
  EXPECT_EQ(1u, log.Errors("failed reading TV station image of 'Eins'"));

  // Without a URL nothing is requested; a URL without a host is refused before any request.
  const size_t requests = server.Requests().size();
  channel.logoUri.clear();
  reader.ReadTVStationImage(channel, keep);
  channel.logoUri = "logo.png";
  reader.ReadTVStationImage(channel, keep);
  EXPECT_EQ(requests, server.Requests().size());
  EXPECT_EQ(1u, received.size());
  EXPECT_EQ(1u, log.ErrorsWith("'logo.png'"));
}

TEST(LogoUrl, SplitsHostPortAndPath) {
  HttpUrl url;
  ASSERT_TRUE(zu::nivo::ParseLogoUrl("http://logos.example/station/128x64/a.png?v=2", url));
  EXPECT_EQ(HttpUrl("logos.example", "station/128x64/a.png?v=2", 80), url);
  ASSERT_TRUE(zu::nivo::ParseLogoUrl("http://127.0.0.1:8080/x.png", url));
  EXPECT_EQ(HttpUrl("127.0.0.1", "x.png", 8080), url);
  ASSERT_TRUE(zu::nivo::ParseLogoUrl("http://host.example", url));
  EXPECT_EQ(HttpUrl("host.example", "", 80), url);
  // The scheme is not looked at; only the first "://" splits.
  ASSERT_TRUE(zu::nivo::ParseLogoUrl("https://h/a://b", url));
  EXPECT_EQ(HttpUrl("h", "a://b", 80), url);

  const HttpUrl before = url;
  for (const char* bad : {"logo.png", "http:///x.png", "http://h:0/x", "http://h:70000/x",
                          "http://h:port/x", "http://:80/x"}) {
    EXPECT_FALSE(zu::nivo::ParseLogoUrl(bad, url)) << bad;
    EXPECT_EQ(before, url) << bad;
  }
}

}  // namespace
