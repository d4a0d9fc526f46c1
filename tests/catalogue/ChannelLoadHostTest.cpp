// The channel load of the built add-on, through the stand-in host, against the sample
// provider: what the first channel request fetches, what the host receives, the channel cache
// and the shipped table, and how the load survives a missing provider and broken files.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "HostFixture.h"
#include "nivo/CacheArchive.h"
#include "nivo/Channel.h"

namespace {

using catalogue_test::HostFixture;
using catalogue_test::ReadFile;
using catalogue_test::WriteFile;
using zu::provider::Endpoint;
using zu::provider::Fault;
using zu::provider::FaultRule;

const char kHeaderInfo[] = "/pelta_bapi/Android/index/headerinfo";
const char kStationList[] = "/a/api.mobile.station.get?type=JSON.1";
const char kFtaPlaylist[] = "/a/service.fta.m3u";
const char kPlusPlaylist[] = "/a/service.plus.m3u";
const char kAllPlaylist[] = "/a/service.m3u";

// One station of a catalogue.json text.
nlohmann::json Station(unsigned int uid, const std::string& name, const std::string& channel,
                       std::vector<std::string> flags, std::vector<std::string> playlists) {
  return {{"uid", uid},
          {"number", uid % 100},
          {"name", name},
          {"channel", channel},
          {"flags", flags},
          {"products", {"Basis"}},
          {"logo", "logo-" + std::to_string(uid) + ".png"},
          {"colour", "#123456"},
          {"profile", "general"},
          {"playlists", playlists}};
}

std::string CatalogueText(const std::vector<nlohmann::json>& stations) {
  return nlohmann::json{{"stations", stations}}.dump();
}

zu::nivo::Channel MakeChannel(unsigned int uid, const std::string& name, const std::string& url,
                              std::set<std::string> groups, bool radio = false) {
  zu::nivo::Channel channel;
  channel.uid = uid;
  channel.number = uid;
  channel.name = name;
  channel.streamUrl = url;
  channel.groups = std::move(groups);
  channel.isRadio = radio;
  return channel;
}

class ChannelLoadHostTest : public HostFixture {
 protected:
  // The groups the host lists, each with its kind.
  zu::nivo::ChannelGroups Groups() {
    zu::nivo::ChannelGroups groups;
    for (bool radio : {false, true}) {
      std::vector<zu::host::ChannelGroup> entries;
      EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetChannelGroups(radio, entries));
      for (const zu::host::ChannelGroup& group : entries) {
        EXPECT_EQ(radio, group.isRadio);
        EXPECT_EQ(0u, group.position);
        EXPECT_TRUE(groups.emplace(group.name, radio).second) << "listed twice: " << group.name;
      }
    }
    return groups;
  }
  std::vector<unsigned int> Members(const std::string& group, bool radio = false) {
    zu::host::ChannelGroup request;
    request.name = group;
    request.isRadio = radio;
    std::vector<zu::host::GroupMember> members;
    EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetChannelGroupMembers(request, members));
    std::vector<unsigned int> uids;
    for (const zu::host::GroupMember& member : members) {
      EXPECT_EQ(group, member.groupName);
      uids.push_back(member.channelUid);
    }
    return uids;
  }
  const zu::provider::Station& CatalogueStation(unsigned int uid) {
    const zu::provider::Station* station = provider->GetCatalogue().FindByUid(uid);
    EXPECT_NE(nullptr, station) << uid;
    return *station;
  }
};

TEST_F(ChannelLoadHostTest, TheFirstChannelRequestLoadsOnceAndLaterRequestsUseTheTable) {
  ShipBuilt("radio.m3u");
  StartSampleProvider();
  ASSERT_TRUE(Load());
  EXPECT_EQ(0u, provider->RequestCount());

  EXPECT_EQ(42 + 12, host->GetChannelsAmount());
  EXPECT_EQ((std::vector<std::string>{kHeaderInfo, kStationList, kFtaPlaylist, kPlusPlaylist,
                                      kAllPlaylist}),
            provider->RequestTargets());

  // The JSON requests ask for JSON with a mobile user agent drawn for each request; the
  // playlists go with the reader's default headers.
  const std::vector<zu::provider::RequestRecord> requests = provider->Requests();
  ASSERT_EQ(5u, requests.size());
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ("application/json", requests[i].Header("Accept")) << requests[i].target;
    EXPECT_NE(std::string::npos, requests[i].Header("User-Agent").find("Android"));
  }
  EXPECT_NE(requests[0].Header("User-Agent"), requests[1].Header("User-Agent"));
  for (size_t i = 2; i < 5; ++i) {
    EXPECT_EQ("", requests[i].Header("Accept")) << requests[i].target;
    EXPECT_EQ(std::string::npos, requests[i].Header("User-Agent").find("Android"));
  }

  Channels(false);
  Channels(true);
  Groups();
  Members("All");
  EXPECT_EQ(42 + 12, host->GetChannelsAmount());
  EXPECT_GT(host->GetChannelGroupsAmount(), 0);
  EXPECT_EQ(5u, provider->RequestCount());

  EXPECT_EQ(1u, CountNotifications(QUEUE_INFO, "Reading TV Stations from NivoTV"));
  EXPECT_EQ(1u, CountNotifications(QUEUE_INFO, "Reading Radio Stations from NivoTV"));
  EXPECT_EQ(1u, CountLines(ADDON_LOG_INFO, "Found 42 TV Stations"));
  EXPECT_EQ(1u, CountLines(ADDON_LOG_INFO, "Loading TV Channels done."));
  EXPECT_EQ(1u, CountLines(ADDON_LOG_INFO, "Reading Radio Stations from NivoTV done."));
  EXPECT_EQ(0u, CountLinesWith(ADDON_LOG_ERROR, ""));
}

TEST_F(ChannelLoadHostTest, ChannelsReachTheHostInUidOrderWithUrlsAndIconPaths) {
  ShipBuilt("radio.m3u");
  StartSampleProvider();
  ASSERT_TRUE(Load());

  const std::vector<zu::host::Channel> tv = Channels(false);
  ASSERT_EQ(42u, tv.size());
  EXPECT_TRUE(std::is_sorted(tv.begin(), tv.end(),
                             [](const auto& a, const auto& b) { return a.uid < b.uid; }));
  for (const zu::host::Channel& channel : tv) {
    const zu::provider::Station& station = CatalogueStation(channel.uid);
    EXPECT_FALSE(channel.isRadio);
    EXPECT_EQ(station.name, channel.name);
    EXPECT_EQ(station.number, channel.number);
    // Every station is in the "All" playlist, which is applied last.
    EXPECT_EQ(BaseUrl() + "/stream/" + std::to_string(channel.uid) + ".ts", channel.streamUrl);
    // The icon path is handed over before the logo was ever downloaded.
    EXPECT_EQ(UserPath() + "/channel_logos/" + station.name + ".png", channel.iconPath);
    EXPECT_FALSE(std::filesystem::exists(channel.iconPath));
  }

  const std::vector<zu::host::Channel> radio = Channels(true);
  ASSERT_EQ(12u, radio.size());
  for (size_t i = 0; i < radio.size(); ++i) {
    EXPECT_EQ(10000u + i, radio[i].uid);
    EXPECT_EQ(radio[i].uid, radio[i].number);
    EXPECT_TRUE(radio[i].isRadio);
    EXPECT_EQ("", radio[i].iconPath);
  }
  EXPECT_EQ("Radio Eins Nord", radio[0].name);
  EXPECT_EQ("http://127.0.0.1/radio/eins-nord.mp3", radio[0].streamUrl);
}

TEST_F(ChannelLoadHostTest, GroupsAreRegisteredOncePerKindAndMembersMatchTheExactNameAndKind) {
  // "News" and "news" are different groups; "Regional" is named by TV channels and by a radio
  // section, so it is a TV group of the TV channels and a radio group of the radio channels.
  StartProvider(CatalogueText({
      Station(305, "Nord Aktuell", "News", {"HD", "Regional"}, {"fta"}),
      Station(303, "Sport Eins", "Sport", {"News", "Regional"}, {"fta", "plus"}),
      Station(307, "Late news", "news", {"SD"}, {"plus"}),
  }));
  Ship("radio.m3u",
       "#EXTM3U\n#EXTINF:-1,Before Any Section\nhttp://r/0\n"
       "## Regional\n#EXTINF:-1,Welle Nord\nhttp://r/1\n#EXTINF:-1,Welle Sued\nhttp://r/2\n"
       "##  Talk \n#EXTINF:-1,Talk Radio\nhttp://r/3\n");
  ASSERT_TRUE(Load());

  const zu::nivo::ChannelGroups groups = Groups();
  const zu::nivo::ChannelGroups expected = {
      {"All", false},      {"Basis", false},        {"HD", false}, {"News", false},
      {"Nivo TV", false},  {"Nivo TV Plus", false}, {"SD", false}, {"Sport", false},
      {"Regional", false}, {"news", false},         {"", true},    {"Regional", true},
      {"Talk", true}};
  EXPECT_EQ(expected, groups);
  EXPECT_EQ(static_cast<int>(expected.size()), host->GetChannelGroupsAmount());

  EXPECT_EQ((std::vector<unsigned int>{303, 305}), Members("News"));
  EXPECT_EQ((std::vector<unsigned int>{307}), Members("news"));
  EXPECT_EQ((std::vector<unsigned int>{303, 305}), Members("Regional"));
  EXPECT_EQ((std::vector<unsigned int>{10001, 10002}), Members("Regional", true));
  EXPECT_EQ((std::vector<unsigned int>{10000}), Members("", true));
  EXPECT_TRUE(Members("NEWS").empty());

  // A channel in several playlists has each playlist's group and the last playlist's URL.
  EXPECT_EQ((std::vector<unsigned int>{303, 305}), Members("Nivo TV"));
  EXPECT_EQ((std::vector<unsigned int>{303, 307}), Members("Nivo TV Plus"));
  EXPECT_EQ((std::vector<unsigned int>{303, 305, 307}), Members("All"));
  for (const zu::host::Channel& channel : Channels(false))
    EXPECT_EQ(BaseUrl() + "/stream/" + std::to_string(channel.uid) + ".ts", channel.streamUrl);
}

TEST_F(ChannelLoadHostTest, AFailingSecondPlaylistKeepsTheUrlsOfTheFirst) {
  StartSampleProvider();
  FaultRule notFound;
  notFound.fault = Fault::kHttpError;
  notFound.status = 404;
  provider->SetFault(Endpoint::kPlaylistPlus, notFound);
  ASSERT_TRUE(Load());

  const std::vector<zu::host::Channel> tv = Channels(false);
  ASSERT_EQ(42u, tv.size());
  for (const zu::host::Channel& channel : tv) {
    const zu::provider::Station& station = CatalogueStation(channel.uid);
    const std::string fta = BaseUrl() + "/stream/fta/" + std::to_string(channel.uid) + ".ts";
    EXPECT_EQ(station.inFta ? fta : std::string(), channel.streamUrl) << channel.name;
  }
  EXPECT_EQ(0u, provider->RequestCount(Endpoint::kPlaylistAll));
  EXPECT_EQ(1u, CountLines(ADDON_LOG_ERROR, "failed reading channel urls "));
  EXPECT_EQ(0u, CountLinesWith(ADDON_LOG_ERROR, "Url for"));
  EXPECT_TRUE(Members("All").empty());
  EXPECT_FALSE(Members("Nivo TV").empty());
  EXPECT_TRUE(Members("Nivo TV Plus").empty());
}

TEST_F(ChannelLoadHostTest, TheCacheReadsBackEqualAndServesTheNextStartWithoutProvider) {
  ShipBuilt("radio.m3u");
  StartSampleProvider();
  ASSERT_TRUE(Load());
  const std::vector<zu::host::Channel> tv = Channels(false);
  const std::vector<zu::host::Channel> radio = Channels(true);

  const std::string written = ReadFile(CachePath());
  const zu::nivo::Channels table = zu::nivo::ReadChannelsArchive(written);
  EXPECT_EQ(written, zu::nivo::WriteChannelsArchive(table));
  ASSERT_EQ(tv.size() + radio.size(), table.size());
  for (const auto* list : {&tv, &radio}) {
    for (const zu::host::Channel& channel : *list) {
      const auto cached = table.find(channel.uid);
      ASSERT_NE(table.end(), cached);
      EXPECT_EQ(channel.name, cached->second.name);
      EXPECT_EQ(channel.number, cached->second.number);
      EXPECT_EQ(channel.streamUrl, cached->second.streamUrl);
      EXPECT_EQ(channel.isRadio, cached->second.isRadio);
    }
  }

  // The next start, with the provider gone, serves the cache and writes it back unchanged.
  host.reset();
  ASSERT_TRUE(provider->SetOffline(true));
  ASSERT_TRUE(Load());
  const std::vector<zu::host::Channel> again = Channels(false);
  ASSERT_EQ(tv.size(), again.size());
  for (size_t i = 0; i < tv.size(); ++i) {
    EXPECT_EQ(tv[i].uid, again[i].uid);
    EXPECT_EQ(tv[i].name, again[i].name);
    EXPECT_EQ(tv[i].streamUrl, again[i].streamUrl);
    EXPECT_EQ(tv[i].iconPath, again[i].iconPath);
  }
  EXPECT_EQ(1u, CountLines(ADDON_LOG_ERROR, "failed reading Nivo headerinfo"));
  EXPECT_EQ(written, ReadFile(CachePath()));
}

TEST_F(ChannelLoadHostTest, ACachedChannelReplacesTheShippedOneOnlyWhenItHasAUrl) {
  Ship("tv.zug", zu::nivo::WriteChannelsArchive(
                     {{5, MakeChannel(5, "Shipped Five", "http://s/5", {"Shipped"})},
                      {6, MakeChannel(6, "Shipped Six", "http://s/6", {"Shipped"})}}));
  WriteFile(CachePath(), zu::nivo::WriteChannelsArchive(
                             {{5, MakeChannel(5, "Cached Five", "", {"Cached"})},
                              {6, MakeChannel(6, "Cached Six", "http://c/6", {"Cached"}, true)},
                              {8, MakeChannel(8, "Cached Eight", "http://c/8", {"Cached"})}}));
  StartSampleProvider();
  ASSERT_TRUE(provider->SetOffline(true));
  ASSERT_TRUE(Load());

  const std::vector<zu::host::Channel> tv = Channels(false);
  ASSERT_EQ(2u, tv.size());
  EXPECT_EQ("Shipped Five", tv[0].name);
  EXPECT_EQ("http://s/5", tv[0].streamUrl);
  EXPECT_EQ("Cached Eight", tv[1].name);
  const std::vector<zu::host::Channel> radio = Channels(true);
  ASSERT_EQ(1u, radio.size());
  EXPECT_EQ("Cached Six", radio[0].name);
  // Without a radio playlist the radio channel kept from the cache keeps its group, a radio
  // group beside the TV group of the same name.
  EXPECT_EQ((zu::nivo::ChannelGroups{{"Cached", false}, {"Cached", true}, {"Shipped", false}}),
            Groups());
  EXPECT_EQ((std::vector<unsigned int>{8}), Members("Cached"));
  EXPECT_EQ((std::vector<unsigned int>{6}), Members("Cached", true));

  const zu::nivo::Channels saved = zu::nivo::ReadChannelsArchive(ReadFile(CachePath()));
  ASSERT_EQ(3u, saved.size());
  EXPECT_EQ("Shipped Five", saved.at(5).name);
}

TEST_F(ChannelLoadHostTest, WithoutAnySourceEveryRequestTriesAgain) {
  StartSampleProvider();
  ASSERT_TRUE(provider->SetOffline(true));
  ASSERT_TRUE(Load());

  EXPECT_TRUE(Channels(false, PVR_ERROR_NOT_IMPLEMENTED).empty());
  EXPECT_EQ(0, host->GetChannelsAmount());
  std::vector<zu::host::ChannelGroup> groups;
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->GetChannelGroups(false, groups));
  EXPECT_TRUE(groups.empty());
  EXPECT_EQ(3u, CountLines(ADDON_LOG_ERROR, "failed reading Nivo headerinfo"));
  EXPECT_EQ(3u, CountLines(ADDON_LOG_ERROR, "Failed Reading TV Stations from NivoTV"));
  EXPECT_FALSE(std::filesystem::exists(CachePath()));

  // Once the provider answers, the next request loads.
  ASSERT_TRUE(provider->SetOffline(false));
  EXPECT_EQ(42u, Channels(false).size());
  EXPECT_TRUE(std::filesystem::exists(CachePath()));
}

TEST_F(ChannelLoadHostTest, TheShippedTableServesAFirstStartWithoutProvider) {
  ShipBuilt("tv.zug");
  ShipBuilt("radio.m3u");
  StartSampleProvider();
  ASSERT_TRUE(provider->SetOffline(true));
  ASSERT_TRUE(Load());

  const std::vector<zu::host::Channel> tv = Channels(false);
  ASSERT_EQ(42u, tv.size());
  for (const zu::host::Channel& channel : tv) {
    EXPECT_EQ(CatalogueStation(channel.uid).name, channel.name);
    EXPECT_EQ("http://127.0.0.1/stream/" + std::to_string(channel.uid) + ".ts", channel.streamUrl);
  }
  EXPECT_EQ(12u, Channels(true).size());
  EXPECT_FALSE(Members("Nivo TV").empty());
  EXPECT_TRUE(std::filesystem::exists(CachePath()));
}

// A channel table cut short by a crash, or garbage, in either file.
class BrokenChannelTableTest : public ChannelLoadHostTest,
                               public ::testing::WithParamInterface<std::string> {
 protected:
  std::string Broken() {
    if (GetParam() == "garbage")
      return "this is not a channel table\n";
    const std::string whole = ReadFile(kBuiltPackage + "/tv.zug");
    return whole.substr(0, whole.size() / 2);
  }
};

TEST_P(BrokenChannelTableTest, ABrokenChannelCacheIsReportedAndReplaced) {
  WriteFile(CachePath(), Broken());
  StartSampleProvider();
  ASSERT_TRUE(Load());

  EXPECT_EQ(42, host->GetChannelsAmount());
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, "'" + CachePath() + "'"));
  const zu::nivo::Channels saved = zu::nivo::ReadChannelsArchive(ReadFile(CachePath()));
  EXPECT_EQ(42u, saved.size());
}

TEST_P(BrokenChannelTableTest, ABrokenShippedTableIsReportedAndTheCacheStillServes) {
  Ship("tv.zug", Broken());
  WriteFile(CachePath(), zu::nivo::WriteChannelsArchive(
                             {{8, MakeChannel(8, "Cached Eight", "http://c/8", {"Cached"})}}));
  StartSampleProvider();
  ASSERT_TRUE(provider->SetOffline(true));
  ASSERT_TRUE(Load());

  const std::vector<zu::host::Channel> tv = Channels(false);
  ASSERT_EQ(1u, tv.size());
  EXPECT_EQ("Cached Eight", tv[0].name);
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, "'" + PackagePath() + "/tv.zug'"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, BrokenChannelTableTest, ::testing::Values("garbage", "truncated"));

TEST_F(ChannelLoadHostTest, StationListFailuresKeepTheStoredTable) {
  struct Case {
    Endpoint endpoint;
    Fault fault;
    std::string error;
  };
  const std::vector<Case> cases = {
      {Endpoint::kHeaderInfo, Fault::kEmptyBody, "failed reading Nivo headerinfo"},
      {Endpoint::kStationList, Fault::kEmptyBody, "failed reading TV stations"},
      {Endpoint::kStationList, Fault::kMalformed,
       "failed reading TV stations, received unknown exeption"},
      {Endpoint::kStationList, Fault::kWrongTypes,
       "failed reading TV stations, received exeption: "},
  };
  ShipBuilt("tv.zug");
  StartSampleProvider();
  for (const Case& failure : cases) {
    SCOPED_TRACE(failure.error);
    std::filesystem::remove_all(UserPath());
    provider->ClearFaults();
    provider->ClearRequests();
    FaultRule rule;
    rule.fault = failure.fault;
    provider->SetFault(failure.endpoint, rule);
    ASSERT_TRUE(Load());

    const std::vector<zu::host::Channel> tv = Channels(false);
    ASSERT_EQ(42u, tv.size());
    // The shipped URLs, not the provider's: the playlists are not read after a failure.
    EXPECT_EQ("http://127.0.0.1/stream/" + std::to_string(tv[0].uid) + ".ts", tv[0].streamUrl);
    EXPECT_EQ(0u, provider->RequestCount(kFtaPlaylist));
    EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, failure.error));
    host.reset();
  }
}

TEST_F(ChannelLoadHostTest, ALogoIsFetchedFromItsPortAndStaysInsideTheLogoDirectory) {
  StartProvider(CatalogueText({Station(301, "../../evil", "Evil", {"HD"}, {"fta"}),
                               Station(302, "Good", "Good", {"HD"}, {"fta"})}));
  ASSERT_TRUE(Load());
  const std::vector<zu::host::Channel> tv = Channels(false);
  ASSERT_EQ(2u, tv.size());
  const zu::host::Channel& evil = tv[0];
  EXPECT_EQ(UserPath() + "/channel_logos/.._.._evil.png", evil.iconPath);

  const time_t now = std::time(nullptr);
  std::vector<zu::host::EpgEntry> shows;
  host->GetEpg(evil, now, now, shows);
  // The logo URL carries the provider's port; the request reached it.
  EXPECT_EQ(1u, provider->RequestCount("/station/128x64/logo-301.png"));
  const std::string logo = ReadFile(evil.iconPath);
  ASSERT_GE(logo.size(), 8u);
  EXPECT_EQ("\x89PNG", logo.substr(0, 4));
  EXPECT_FALSE(std::filesystem::exists(dir / "evil.png"));
  EXPECT_FALSE(std::filesystem::exists(UserPath() + "/evil.png"));

  // Downloaded once.
  host->GetEpg(evil, now, now, shows);
  EXPECT_EQ(1u, provider->RequestCount("/station/128x64/"));
}

}  // namespace
