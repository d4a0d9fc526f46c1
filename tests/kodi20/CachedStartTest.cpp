// The client core as a host sees it when it starts from its caches with the provider gone:
// what the Kodi 20 add-on's restart without a network relies on.

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "addon/FakeHost.h"
#include "base/TempDir.h"
#include "nivo/ClientCore.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"

namespace {

using zu::nivo::ClientCore;
using zu_test::FakeHost;

std::set<std::string> Members(FakeHost& host, ClientCore& client, const std::string& group,
                              bool radio) {
  int handle = 0;
  const size_t before = host.Transfers().size();
  client.GetChannelGroupMembers(&handle, group, radio);
  const std::vector<FakeHost::Transfer> transfers = host.Transfers();
  std::set<std::string> uids;
  for (size_t i = before; i < transfers.size(); ++i) {
    if (transfers[i].handle == &handle && transfers[i].kind == "member")
      uids.insert(std::to_string(transfers[i].uid));
  }
  return uids;
}

TEST(CachedStartTest, AGroupSharedByTvAndRadioIsATvAndARadioGroupAlsoFromTheCache) {
  zu::provider::Catalogue catalogue;
  std::string error;
  ASSERT_TRUE(zu::provider::Catalogue::Generate(3, 0, catalogue, error)) << error;
  const std::string shared = catalogue.Stations()[0].channelGroup;
  zu::provider::SampleProvider::Options options;
  options.log = [](const std::string&) {};
  zu::provider::SampleProvider provider(catalogue, options);
  ASSERT_TRUE(provider.Start());
  const std::string endpoint = "127.0.0.1:" + std::to_string(provider.Port());
  ::setenv("NIVOTV_SERVICE_HOST", endpoint.c_str(), 1);
  ::setenv("NIVOTV_GUIDE_HOST", endpoint.c_str(), 1);

  zu_test::TempDir dir;
  FakeHost host;
  // A radio section named like the first station's TV group.
  host.PutFile(dir / "install/radio.m3u",
               "#EXTM3U\n## " + shared + "\n#EXTINF:-1,Radio Shared\nhttp://r/1\n");
  std::set<std::string> online;
  std::set<std::string> onlineRadio;
  {
    ClientCore client;
    ASSERT_EQ(ClientCore::StatusOk, client.Init(host, dir / "user", dir / "install"));
    const zu::nivo::ChannelTablePtr table = client.GetChannelTable();
    ASSERT_EQ(4u, table->channels.size());
    EXPECT_EQ(1u, table->groups.count({shared, false}));
    EXPECT_EQ(1u, table->groups.count({shared, true}));
    online = Members(host, client, shared, false);
    onlineRadio = Members(host, client, shared, true);
    client.DeInit();
  }
  EXPECT_EQ(online.count(std::to_string(catalogue.Stations()[0].uid)), 1u);
  EXPECT_EQ(std::set<std::string>{"10000"}, onlineRadio);
  ASSERT_FALSE(host.File(dir / "user/channels.zug").empty());

  // The provider is gone: the same table comes from the cache, with the same group kinds.
  provider.Stop();
  FakeHost offlineHost;
  offlineHost.PutFile(dir / "install/radio.m3u", host.File(dir / "install/radio.m3u"));
  offlineHost.PutFile(dir / "user/channels.zug", host.File(dir / "user/channels.zug"));
  ClientCore client;
  ASSERT_EQ(ClientCore::StatusOk, client.Init(offlineHost, dir / "user", dir / "install"));
  const zu::nivo::ChannelTablePtr table = client.GetChannelTable();
  ASSERT_EQ(4u, table->channels.size());
  EXPECT_EQ(1u, table->groups.count({shared, false}));
  EXPECT_EQ(1u, table->groups.count({shared, true}));
  EXPECT_EQ(online, Members(offlineHost, client, shared, false));
  EXPECT_EQ(onlineRadio, Members(offlineHost, client, shared, true));
  client.DeInit();
}

}  // namespace
