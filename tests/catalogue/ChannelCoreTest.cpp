// The catalogue steps of the client core on their own: the logo download, the radio load, and
// the channel load over a host whose file reads come up short.

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "addon/ClosedProvider.h"
#include "addon/FakeHost.h"
#include "addon/NivoTVClient.h"
#include "base/TempDir.h"
#include "multi_threading/ScopedLock.h"
#include "nivo/CacheArchive.h"
#include "nivo/ClientCore.h"
#include "tests/support/ScriptedPeer.h"

namespace {

using zu::nivo::Channel;
using zu::nivo::Channels;
using zu::nivo::ClientCore;
using zu::nivo::Host;
using zu_test::FakeClient;
using zu_test::FakeHost;
using zu_test::ScriptedPeer;
using zu_test::TempDir;

Channel MakeChannel(unsigned int uid, const std::string& name, const std::string& logoUri,
                    bool radio = false) {
  Channel channel;
  channel.uid = uid;
  channel.number = uid;
  channel.name = name;
  channel.logoUri = logoUri;
  channel.streamUrl = "http://s/" + std::to_string(uid);
  channel.isRadio = radio;
  return channel;
}

class ChannelCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(0, server.Port());
    setenv("NIVOTV_SERVICE_HOST", server.Endpoint().c_str(), 1);
    setenv("NIVOTV_GUIDE_HOST", server.Endpoint().c_str(), 1);
    ASSERT_EQ(ClientCore::StatusOk, client.Init(host, dir / "user", dir / "install"));
  }
  std::string LogoUrl(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(server.Port()) + path;
  }
  std::string LogoDirectory() const { return dir / "user/channel_logos"; }
  // Lines the client wrote to the host log at the level that contain part.
  size_t LinesWith(int level, const std::string& part) const {
    size_t count = 0;
    for (const FakeHost::Line& line : host.Lines())
      count += line.level == level && line.text.find(part) != std::string::npos ? 1 : 0;
    return count;
  }

  ScriptedPeer server;
  TempDir dir;
  FakeHost host;
  FakeClient client{host};
};

TEST_F(ChannelCoreTest, ALogoIsSavedUnderTheIconPathInsideTheLogoDirectory) {
  server.SetPage("/station/128x64/evil.png", "evil image");
  server.SetPage("/station/128x64/plain", "plain image");
  const Channel evil = MakeChannel(1, "../../evil", LogoUrl("/station/128x64/evil.png"));
  const Channel plain = MakeChannel(2, "Plain", LogoUrl("/station/128x64/plain"));
  client.UpdateChannelLogo(evil);
  client.UpdateChannelLogo(plain);

  EXPECT_EQ(LogoDirectory() + "/.._.._evil.png", client.GetChannelLogoPath(evil));
  EXPECT_EQ("evil image", host.File(client.GetChannelLogoPath(evil)));
  // A URL whose last segment has no extension gives a file named like the channel.
  EXPECT_EQ(LogoDirectory() + "/Plain", client.GetChannelLogoPath(plain));
  EXPECT_EQ("plain image", host.File(client.GetChannelLogoPath(plain)));
  EXPECT_EQ(2u, server.Requests().size());
}

TEST_F(ChannelCoreTest, NoRequestForRadioChannelsMissingUrlsOrExistingFiles) {
  server.SetPage("/logo.png", "image");
  client.UpdateChannelLogo(MakeChannel(10000, "Radio", LogoUrl("/logo.png"), true));
  client.UpdateChannelLogo(MakeChannel(3, "No Logo", ""));
  const Channel present = MakeChannel(4, "Present", LogoUrl("/logo.png"));
  std::ofstream(client.GetChannelLogoPath(present)) << "old";
  client.UpdateChannelLogo(present);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ("", host.File(client.GetChannelLogoPath(present)));
}

TEST_F(ChannelCoreTest, AFailedDownloadLeavesNoFileAndIsTriedAgain) {
  const Channel channel = MakeChannel(5, "Later", LogoUrl("/later.png"));
  client.UpdateChannelLogo(channel);
  // The request's failure starts the run of logo failures; the reader's line is part of it.
  EXPECT_EQ(1u, LinesWith(Host::LogError, "/later.png"));
  EXPECT_EQ(1u, host.CountLines(Host::LogNotice, "failed reading TV station image of 'Later'"));
  EXPECT_EQ("", host.File(client.GetChannelLogoPath(channel)));
  server.SetPage("/later.png", "image");
  client.UpdateChannelLogo(channel);
  EXPECT_EQ("image", host.File(client.GetChannelLogoPath(channel)));
  EXPECT_EQ(2u, server.Requests().size());
}

// Every guide request of a channel without its logo file tries the logo again; a logo URL that
// is no URL is an error (a notification for the user) once per channel, then a warning.
TEST_F(ChannelCoreTest, AnInvalidLogoUrlIsAnErrorOncePerChannel) {
  const Channel first = MakeChannel(6, "First", "no url");
  const Channel second = MakeChannel(7, "Second", "http://:80/x.png");
  for (int request = 0; request < 3; ++request) {
    client.UpdateChannelLogo(first);
    client.UpdateChannelLogo(second);
  }
  EXPECT_EQ(1u, host.CountLines(Host::LogError, "Invalid logo URL 'no url' of 'First'"));
  EXPECT_EQ(2u, host.CountLines(Host::LogNotice, "Invalid logo URL 'no url' of 'First'"));
  EXPECT_EQ(1u, LinesWith(Host::LogError, "of 'Second'"));
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(ChannelCoreTest, RadioChannelsReplaceWhatTheirIdsHeldAndRegisterTheirGroups) {
  host.PutFile(dir / "install/radio.m3u",
               "#EXTM3U\n#EXTINF:-1,Early\nhttp://r/0\n## Music\n#EXTINF:-1,Pop\nhttp://r/1\n"
               "#EXTINF:-1,Dropped at the end\n");
  client.channels[10001] = MakeChannel(10001, "Clashing TV", "http://l/x.png");
  client.channels[10001].groups = {"TV Group"};
  client.channelGroups = {{"TV Group", false}, {"Music", false}};
  client.LoadRadioChannels();

  ASSERT_EQ(2u, client.channels.size());
  const Channel& early = client.channels.at(10000);
  EXPECT_EQ("Early", early.name);
  EXPECT_EQ(10000u, early.number);
  EXPECT_EQ("http://r/0", early.streamUrl);
  EXPECT_EQ("", early.logoUri);
  EXPECT_EQ((std::set<std::string>{""}), early.groups);
  EXPECT_TRUE(early.isRadio);
  const Channel& pop = client.channels.at(10001);
  EXPECT_EQ("Pop", pop.name);
  EXPECT_EQ((std::set<std::string>{"Music"}), pop.groups);
  EXPECT_TRUE(pop.isRadio);
  // The TV channel that held the id is gone, and that is said.
  EXPECT_EQ(1u, LinesWith(Host::LogNotice, "'Clashing TV'"));
  // The groups are those of the table's channels, of their kind: the replaced TV channel's
  // group is gone, and "Music" is a radio group although it was named for TV before.
  EXPECT_EQ((zu::nivo::ChannelGroups{{"", true}, {"Music", true}}), client.channelGroups);
  EXPECT_EQ(1u, host.CountLines(Host::LogInfo, "Reading Radio Stations from NivoTV done."));
}

TEST_F(ChannelCoreTest, AnEmptyTableNeverReplacesTheCache) {
  host.PutFile(dir / "user/channels.zug", "kept");
  client.SaveChannels();
  EXPECT_EQ("kept", host.File(dir / "user/channels.zug"));
  client.channels[1] = MakeChannel(1, "One", "");
  client.SaveChannels();
  EXPECT_EQ(client.channels, zu::nivo::ReadChannelsArchive(host.File(dir / "user/channels.zug")));
}

// The add-on's client over helper libraries whose reported file length can be made larger
// than the file ("short" in the path).
typedef bool (*FakeHelperEntry)(int kind, size_t index, int* level, std::string* text);

bool FakeHelperLogged(const std::string& part) {
  void* library = dlopen(ZU_FAKE_HOST_BASE "/library.xbmc.addon/libXBMC_addon-x86_64-linux.so",
                         RTLD_NOW | RTLD_NOLOAD);
  if (library == nullptr)
    return false;
  auto entry = reinterpret_cast<FakeHelperEntry>(dlsym(library, "fake_helper_entry"));
  bool found = false;
  int level = 0;
  std::string text;
  for (size_t index = 0; entry != nullptr && entry(0, index, &level, &text); ++index)
    found = found || text.find(part) != std::string::npos;
  dlclose(library);
  return found;
}

TEST(ShortRead, AChannelCacheReadShortIsNotUsed) {
  zu_test::PointProviderAtClosedPort();  // the provider's station list cannot be read
  TempDir dir;
  const std::string user = dir / "short-user";
  std::filesystem::create_directories(user);
  Channels shipped;
  shipped[5] = MakeChannel(5, "Shipped", "");
  Channels cached;
  cached[5] = MakeChannel(5, "Cached", "");
  std::ofstream(dir / "tv.zug", std::ios::binary) << zu::nivo::WriteChannelsArchive(shipped);
  std::ofstream(user + "/channels.zug", std::ios::binary) << zu::nivo::WriteChannelsArchive(cached);

  AddonCB handle = {ZU_FAKE_HOST_BASE, nullptr};
  PVR_PROPERTIES properties = {user.c_str(), dir.Path().c_str()};
  zu::nivo::NivoTVClient client;
  {
    zu::multi_threading::ScopedLock lock(client.mutex);
    ASSERT_EQ(ADDON_STATUS_OK, client.Init(&handle, &properties));
  }
  EXPECT_EQ(1, client.GetChannelsAmount());
  EXPECT_EQ("Shipped", client.channels.at(5).name);
  EXPECT_TRUE(FakeHelperLogged("Failed reading file '" + user + "/channels.zug'"));
  client.DeInit();
}

}  // namespace
