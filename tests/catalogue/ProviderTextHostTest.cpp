// Provider texts as real services send them, through the built add-on: a station list and
// playlists in Latin-1 whose names hold raw control characters, and what the host receives of
// them.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "HostFixture.h"
#include "nivo/TextEncoding.h"
#include "provider/SampleProvider.h"

namespace {

using catalogue_test::HostFixture;
using zu::nivo::IsValidUtf8;
using zu::provider::Endpoint;

// The first station's name comes with a raw TAB (the provider's control-characters quirk).
const char kCatalogue[] = R"({"stations": [
  {"uid": 302, "number": 302, "name": "Tab TV", "channel": "Plain", "flags": [], "products": [],
   "logo": "tab.png", "colour": "#102030", "profile": "general", "playlists": ["fta"]},
  {"uid": 301, "number": 301, "name": "Schön TV", "channel": "Regional – Süd", "flags": [],
   "products": [], "logo": "schoen.png", "colour": "#102030", "profile": "general",
   "playlists": ["fta"]},
  {"uid": 303, "number": 303, "name": "Café", "channel": "Plain", "flags": [], "products": [],
   "logo": "cafe.png", "colour": "#102030", "profile": "general", "playlists": ["fta"]}]})";

class ProviderTextHostTest : public HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    StartProvider(kCatalogue);
    provider->SetQuirk(zu::provider::Quirk::kControlCharacters, true);
    // The station list and the playlists in Windows-1252.
    for (Endpoint endpoint : {Endpoint::kStationList, Endpoint::kPlaylistFta,
                              Endpoint::kPlaylistPlus, Endpoint::kPlaylistAll}) {
      zu::provider::Transfer transfer = provider->GetTransfer(endpoint);
      transfer.latin1 = true;
      provider->SetTransfer(endpoint, transfer);
    }
  }
};

TEST_F(ProviderTextHostTest, Latin1AndControlCharactersReachTheHostAsUtf8WithTheirStreams) {
  Ship("radio.m3u",
       "#EXTM3U\n## Kl\xE4nge\n#EXTINF:-1,R\xE4"
       "dio Eins\nhttp://127.0.0.1/r1\n");
  ASSERT_TRUE(Load());

  const std::vector<zu::host::Channel> tv = Channels(false);
  ASSERT_EQ(3u, tv.size());
  // The full playlist, read last, gives every station its stream.
  const std::string stream = BaseUrl() + "/stream/";
  const std::map<std::string, std::string> expected = {{"Sch\xC3\xB6n TV", stream + "301.ts"},
                                                       {"Tab\tTV", stream + "302.ts"},
                                                       {"Caf\xC3\xA9", stream + "303.ts"}};
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
  EXPECT_EQ((std::vector<std::string>{"All", "Nivo TV", "Plain",
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
