// The parts of the channel catalogue on their own: the logo store's downloads, the catalogue's
// radio load and channel cache, and the channel load over a host whose file reads come up
// short.

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
#include "nivo/CacheArchive.h"
#include "nivo/ChannelCatalogue.h"
#include "nivo/HostFiles.h"
#include "nivo/HostLogBridge.h"
#include "nivo/HttpPageReader.h"
#include "nivo/LogoStore.h"
#include "tests/support/ScriptedPeer.h"

namespace {

using zu::nivo::Channel;
using zu::nivo::Channels;
using zu::nivo::Host;
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
    std::filesystem::create_directories(LogoDirectory());
    logBridge.Install(host);
  }
  void TearDown() override {
    logBridge.Remove();
    reader->StopServer();
  }
  // A catalogue over the host's files (the provider serves no station list).
  zu::nivo::ChannelCatalogue Catalogue() {
    return zu::nivo::ChannelCatalogue(files, reader, dir / "user", dir / "install", nullptr);
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
  zu::nivo::HostLogBridge logBridge;
  zu::nivo::HostFiles files{host};
  zu::SharedPtr<zu::nivo::HttpPageReader> reader = zu::nivo::HttpPageReader::Create();
  zu::nivo::LogoStore logos{files, reader, dir / "user"};
};

TEST_F(ChannelCoreTest, ALogoIsSavedUnderTheIconPathInsideTheLogoDirectory) {
  server.SetPage("/station/128x64/evil.png", "evil image");
  server.SetPage("/station/128x64/plain", "plain image");
  const Channel evil = MakeChannel(1, "../../evil", LogoUrl("/station/128x64/evil.png"));
  const Channel plain = MakeChannel(2, "Plain", LogoUrl("/station/128x64/plain"));
  logos.UpdateChannelLogo(evil);
  logos.UpdateChannelLogo(plain);

  EXPECT_EQ(LogoDirectory() + "/.._.._evil.png", logos.GetChannelLogoPath(evil));
  EXPECT_EQ("evil image", host.File(logos.GetChannelLogoPath(evil)));
  // A URL whose last segment has no extension gives a file named like the channel.
  EXPECT_EQ(LogoDirectory() + "/Plain", logos.GetChannelLogoPath(plain));
  EXPECT_EQ("plain image", host.File(logos.GetChannelLogoPath(plain)));
  EXPECT_EQ(2u, server.Requests().size());
}

TEST_F(ChannelCoreTest, NoRequestForRadioChannelsMissingUrlsOrExistingFiles) {
  server.SetPage("/logo.png", "image");
  logos.UpdateChannelLogo(MakeChannel(10000, "Radio", LogoUrl("/logo.png"), true));
  logos.UpdateChannelLogo(MakeChannel(3, "No Logo", ""));
  const Channel present = MakeChannel(4, "Present", LogoUrl("/logo.png"));
  std::ofstream(logos.GetChannelLogoPath(present)) << "old";
  logos.UpdateChannelLogo(present);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ("", host.File(logos.GetChannelLogoPath(present)));
}

TEST_F(ChannelCoreTest, AFailedDownloadLeavesNoFileAndIsTriedAgain) {
  const Channel channel = MakeChannel(5, "Later", LogoUrl("/later.png"));
  logos.UpdateChannelLogo(channel);
  // The request's failure starts the run of logo failures; the reader's line is part of it.
  EXPECT_EQ(1u, LinesWith(Host::LogError, "/later.png"));
  EXPECT_EQ(1u, host.CountLines(Host::LogNotice, "failed reading TV station image of 'Later'"));
  EXPECT_EQ("", host.File(logos.GetChannelLogoPath(channel)));
  server.SetPage("/later.png", "image");
  logos.UpdateChannelLogo(channel);
  EXPECT_EQ("image", host.File(logos.GetChannelLogoPath(channel)));
  EXPECT_EQ(2u, server.Requests().size());
}

// Every guide request of a channel without its logo file tries the logo again; a logo URL that
// is no URL is an error (a notification for the user) once per channel, then a warning.
TEST_F(ChannelCoreTest, AnInvalidLogoUrlIsAnErrorOncePerChannel) {
  const Channel first = MakeChannel(6, "First", "no url");
  const Channel second = MakeChannel(7, "Second", "http://:80/x.png");
  for (int request = 0; request < 3; ++request) {
    logos.UpdateChannelLogo(first);
    logos.UpdateChannelLogo(second);
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
  // The cached table holds a TV channel under a radio id, with "Music" as a TV group.
  Channels cached;
  cached[10001] = MakeChannel(10001, "Clashing TV", "http://l/x.png");
  cached[10001].groups = {"TV Group", "Music"};
  host.PutFile(dir / "user/channels.zug", zu::nivo::WriteChannelsArchive(cached));
  zu::nivo::ChannelCatalogue catalogue = Catalogue();
  EXPECT_TRUE(catalogue.EnsureLoaded());
  const zu::nivo::ChannelTablePtr table = catalogue.Table();

  ASSERT_EQ(2u, table->channels.size());
  const Channel& early = table->channels.at(10000);
  EXPECT_EQ("Early", early.name);
  EXPECT_EQ(10000u, early.number);
  EXPECT_EQ("http://r/0", early.streamUrl);
  EXPECT_EQ("", early.logoUri);
  EXPECT_EQ((std::set<std::string>{""}), early.groups);
  EXPECT_TRUE(early.isRadio);
  const Channel& pop = table->channels.at(10001);
  EXPECT_EQ("Pop", pop.name);
  EXPECT_EQ((std::set<std::string>{"Music"}), pop.groups);
  EXPECT_TRUE(pop.isRadio);
  // The TV channel that held the id is gone, and that is said.
  EXPECT_EQ(1u, LinesWith(Host::LogNotice, "'Clashing TV'"));
  // The groups are those of the table's channels, of their kind: the replaced TV channel's
  // group is gone, and "Music" is a radio group although it was named for TV before.
  EXPECT_EQ((zu::nivo::ChannelGroups{{"", true}, {"Music", true}}), table->groups);
  EXPECT_EQ(1u, host.CountLines(Host::LogInfo, "Reading Radio Stations from NivoTV done."));
}

TEST_F(ChannelCoreTest, AnEmptyTableNeverReplacesTheCache) {
  host.PutFile(dir / "user/channels.zug", "kept");
  zu::nivo::ChannelCatalogue catalogue = Catalogue();
  EXPECT_TRUE(catalogue.EnsureLoaded());
  EXPECT_TRUE(catalogue.Table()->channels.empty());
  EXPECT_EQ("kept", host.File(dir / "user/channels.zug"));
  // A table that stayed empty is loaded again, and one that holds channels is cached.
  Channels shipped;
  shipped[1] = MakeChannel(1, "One", "");
  host.PutFile(dir / "install/tv.zug", zu::nivo::WriteChannelsArchive(shipped));
  EXPECT_TRUE(catalogue.EnsureLoaded());
  EXPECT_EQ(shipped, catalogue.Table()->channels);
  EXPECT_EQ(catalogue.Table()->channels,
            zu::nivo::ReadChannelsArchive(host.File(dir / "user/channels.zug")));
  EXPECT_FALSE(catalogue.EnsureLoaded());
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
  ASSERT_EQ(ADDON_STATUS_OK, client.Init(&handle, &properties));
  EXPECT_EQ(1, client.Core().GetChannelsAmount());
  EXPECT_EQ("Shipped", client.Core().GetChannelTable()->channels.at(5).name);
  EXPECT_TRUE(FakeHelperLogged("Failed reading file '" + user + "/channels.zug'"));
  client.DeInit();
}

}  // namespace
