// Provider texts as real services send them, through the built add-on: a station list whose
// strings hold a Latin-1 byte and a raw TAB, playlists saved in Latin-1, and what the host
// receives of them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "CannedServer.h"
#include "HostFixture.h"
#include "nivo/TextEncoding.h"

namespace {

using catalogue_test::CannedServer;
using catalogue_test::HostFixture;
using zu::nivo::IsValidUtf8;

// One station of a station list document, written by hand: the name goes in as raw bytes.
std::string Station(unsigned int uid, const std::string& name, const std::string& group) {
  const std::string id = std::to_string(uid);
  return "{\"Station\": {\"UID\": " + id + ", \"DisplayName\": \"" + name + "\", \"Channel\": [\"" +
         group + "\", " + id +
         "], \"Flags\": [], \"Products\": [], \"Logo\": {\"URI\": "
         "\"http://127.0.0.1:9/logo/60x30/" +
         id + ".png\"}}}";
}

class ProviderTextHostTest : public HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    ASSERT_NE(0, server.Port());
    setenv("NIVOTV_SERVICE_HOST", server.Endpoint().c_str(), 1);
    setenv("NIVOTV_GUIDE_HOST", server.Endpoint().c_str(), 1);
    server.SetPage("/pelta_bapi/Android/index/headerinfo", "{}");
  }

  CannedServer server;
};

TEST_F(ProviderTextHostTest, Latin1AndControlCharactersReachTheHostAsUtf8WithTheirStreams) {
  server.SetPage("/a/api.mobile.station.get?type=JSON.1",
                 "{\"data\": [" +
                     Station(301, "Sch\xF6n TV",
                             "Regional \x96 S\xFC"
                             "d") +
                     ", " + Station(302, "Tab\tTV", "Plain") + ", " +
                     Station(303, "Caf\xC3\xA9", "Plain") + "]}");
  // The playlist is Latin-1 throughout, also for the station the list names in UTF-8.
  server.SetPage("/a/service.fta.m3u",
                 "#EXTM3U\n#EXTINF:-1,Sch\xF6n TV\nhttp://127.0.0.1/301\n"
                 "#EXTINF:-1,Tab\tTV\nhttp://127.0.0.1/302\n"
                 "#EXTINF:-1,Caf\xE9\nhttp://127.0.0.1/303\n");
  server.SetPage("/a/service.plus.m3u", "#EXTM3U\n");
  server.SetPage("/a/service.m3u", "#EXTM3U\n");
  Ship("radio.m3u",
       "#EXTM3U\n## Kl\xE4nge\n#EXTINF:-1,R\xE4"
       "dio Eins\nhttp://127.0.0.1/r1\n");
  ASSERT_TRUE(Load());

  const std::vector<zu::host::Channel> tv = Channels(false);
  ASSERT_EQ(3u, tv.size());
  const std::map<std::string, std::string> expected = {{"Sch\xC3\xB6n TV", "http://127.0.0.1/301"},
                                                       {"Tab\tTV", "http://127.0.0.1/302"},
                                                       {"Caf\xC3\xA9", "http://127.0.0.1/303"}};
  std::map<std::string, std::string> received;
  for (const zu::host::Channel& channel : tv) {
    received[channel.name] = channel.streamUrl;
    EXPECT_TRUE(IsValidUtf8(channel.iconPath)) << channel.iconPath;
  }
  EXPECT_EQ(expected, received);

  const std::vector<zu::host::Channel> radio = Channels(true);
  ASSERT_EQ(1u, radio.size());
  EXPECT_EQ(
      "R\xC3\xA4"
      "dio Eins",
      radio[0].name);
  std::vector<std::string> groups;
  for (bool isRadio : {false, true}) {
    std::vector<zu::host::ChannelGroup> entries;
    EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetChannelGroups(isRadio, entries));
    for (const zu::host::ChannelGroup& group : entries)
      groups.push_back(group.name);
  }
  EXPECT_EQ((std::vector<std::string>{"Nivo TV", "Plain",
                                      "Regional \xE2\x80\x93 S\xC3\xBC"
                                      "d",
                                      "Kl\xC3\xA4nge"}),
            groups);

  // The document and the playlists were read whole: no station is without its stream.
  EXPECT_EQ(1u, CountLines(ADDON_LOG_INFO, "Found 3 TV Stations"));
  EXPECT_EQ(0u, CountLinesWith(ADDON_LOG_ERROR, ""));
  for (const zu::host::LogLine& line : host->LogLines())
    EXPECT_TRUE(IsValidUtf8(line.text)) << line.text;
  for (const zu::host::Notification& notification : host->Notifications())
    EXPECT_TRUE(IsValidUtf8(notification.text)) << notification.text;
}

}  // namespace
