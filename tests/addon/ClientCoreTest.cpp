// The host-neutral client core against a recording host: start-up and shut-down, the log
// bridge, the walks that hand the tables to the host, and the host's files.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "CapturedFd.h"
#include "ClosedProvider.h"
#include "FakeHost.h"
#include "base/File.h"
#include "base/TempDir.h"
#include "nivo/CacheArchive.h"
#include "nivo/ClientCore.h"
#include "nivo/HostFiles.h"
#include "output/Output.h"

namespace {

using zu::nivo::Channel;
using zu::nivo::ClientCore;
using zu::nivo::Host;
using zu_test::CapturedFd;
using zu_test::FakeHost;
using zu_test::TempDir;

Channel MakeChannel(unsigned int uid, const std::string& name, bool radio,
                    std::set<std::string> groups, const std::string& logoUri = "") {
  Channel channel;
  channel.uid = uid;
  channel.number = uid + 1000;
  channel.name = name;
  channel.isRadio = radio;
  channel.groups = std::move(groups);
  channel.logoUri = logoUri;
  channel.streamUrl = "http://127.0.0.1/" + name;
  return channel;
}

class ClientCoreTest : public ::testing::Test {
 protected:
  ClientCoreTest() { zu_test::PointProviderAtClosedPort(); }
  void Start() { ASSERT_EQ(ClientCore::StatusOk, client.Init(host, dir.Path(), dir / "install")); }
  // Ships the channel table the client loads (the provider cannot be reached): groups News
  // and news (TV) and Radio (radio).
  void AddChannels() {
    zu::nivo::Channels channels;
    channels[30] = MakeChannel(30, "Radio Eins", true, {"Radio"});
    channels[10] =
        MakeChannel(10, "Erste", false, {"News", "news"}, "http://127.0.0.1:9/l/erste.png");
    channels[20] = MakeChannel(20, "Zweite", false, {"News"});
    host.PutFile(dir / "install/tv.zug", zu::nivo::WriteChannelsArchive(channels));
  }

  TempDir dir;
  FakeHost host;
  ClientCore client;
};

TEST_F(ClientCoreTest, StartCreatesTheCacheDirectoriesAndReportsToTheHostLog) {
  EXPECT_EQ(ClientCore::StatusUnknown, client.GetStatus());
  Start();
  EXPECT_EQ(ClientCore::StatusOk, client.GetStatus());
  EXPECT_TRUE(zu::file::IsDirectory(dir / "channel_logos"));
  EXPECT_TRUE(zu::file::IsDirectory(dir / "show_logos"));
  EXPECT_TRUE(zu::file::IsDirectory(dir / "epg"));
  ASSERT_FALSE(host.Lines().empty());
  EXPECT_EQ(Host::LogInfo, host.Lines()[0].level);
  EXPECT_EQ("Creating the Nivo-TV plugin", host.Lines()[0].text);
  EXPECT_TRUE(host.Notifications().empty());
}

TEST_F(ClientCoreTest, AUserPathBelowAPlainFileLogsEachDirectoryAndStillStarts) {
  { std::ofstream file(dir / "plain"); }
  ASSERT_EQ(ClientCore::StatusOk, client.Init(host, dir / "plain/user", dir.Path()));
  EXPECT_EQ(1u, host.CountLines(Host::LogError, "Failed creating channel logo path"));
  EXPECT_EQ(1u, host.CountLines(Host::LogError, "Failed creating show logo path"));
  EXPECT_EQ(1u, host.CountLines(Host::LogError, "Failed creating epg path"));
  EXPECT_EQ(3u, host.Notifications().size());
  EXPECT_EQ(ClientCore::StatusOk, client.GetStatus());
}

TEST_F(ClientCoreTest, TheBridgeMapsEachOutputLevelToItsHostLevel) {
  Start();
  const size_t before = host.Lines().size();
  zu::output::Error("NivoTV", "void f()", 1, "%s", "broken");
  zu::output::Warning("NivoTV", "void f()", 2, "%s", "odd");
  zu::output::Info("NivoTV", "void f()", 3, "%s", "fine");
  zu::output::Trace("NivoTV", 5, "void f()", 4, "%s", "detail");
  std::vector<FakeHost::Line> lines = host.Lines();
  ASSERT_EQ(before + 4, lines.size());
  EXPECT_EQ(Host::LogError, lines[before].level);
  EXPECT_EQ("broken", lines[before].text);
  EXPECT_EQ(Host::LogNotice, lines[before + 1].level);
  EXPECT_EQ("odd", lines[before + 1].text);
  EXPECT_EQ(Host::LogInfo, lines[before + 2].level);
  EXPECT_EQ("fine", lines[before + 2].text);
  EXPECT_EQ(Host::LogDebug, lines[before + 3].level);
  EXPECT_EQ("NivoTV[   5], void f()(4), detail", lines[before + 3].text);
  // Only the error is shown to the user, once, with the same text.
  ASSERT_EQ(1u, host.Notifications().size());
  EXPECT_EQ(Host::NotifyError, host.Notifications()[0].level);
  EXPECT_EQ("broken", host.Notifications()[0].text);
}

// The adapter releases its host once DeInit returns; the core never calls it after that.
TEST_F(ClientCoreTest, DeInitLetsGoOfTheHostAndReturnsOutputToTheStandardStreams) {
  Start();
  client.DeInit();
  host.Release();
  EXPECT_EQ(ClientCore::StatusNeedRestart, client.GetStatus());
  EXPECT_EQ(1u, host.CountLines(Host::LogInfo, "Destroying the Nivo-TV plugin ..."));
  EXPECT_EQ(1u, host.CountLines(Host::LogInfo, "Destroying done."));
  const size_t lines = host.Lines().size();

  CapturedFd standardError(2);
  zu::output::Error("NivoTV", "void f()", 7, "%s", "after the end");
  standardError.Restore();
  EXPECT_NE(std::string::npos, standardError.Text().find("%E("));
  EXPECT_NE(std::string::npos, standardError.Text().find("after the end\n"));
  EXPECT_EQ(lines, host.Lines().size());

  client.DeInit();
  EXPECT_EQ(0, client.GetChannelsAmount());
  EXPECT_EQ(0, host.LateCalls());
}

TEST_F(ClientCoreTest, DeInitWithoutInitTouchesNothing) {
  client.DeInit();
  EXPECT_EQ(ClientCore::StatusUnknown, client.GetStatus());
  EXPECT_TRUE(host.Lines().empty());
  EXPECT_EQ(0, host.LateCalls());
}

// Lines written on another thread while the client shuts down either reach the host before
// it is released or not at all.
TEST_F(ClientCoreTest, NoLineReachesTheHostAfterItWasReleased) {
  Start();
  std::atomic<bool> done{false};
  std::atomic<int> written{0};
  std::thread writer([&] {
    CapturedFd standardError(2);
    while (!done) {
      zu::output::Error("NivoTV", "void w()", 1, "%s", "from the writer");
      ++written;
    }
  });
  while (written < 50)
    std::this_thread::yield();
  client.DeInit();
  host.Release();
  const int afterRelease = written;
  while (written < afterRelease + 50)
    std::this_thread::yield();
  done = true;
  writer.join();
  EXPECT_TRUE(host.Released());
  EXPECT_EQ(0, host.LateCalls());
}

TEST_F(ClientCoreTest, GetChannelsHandsOverOneKindInAscendingIdOrder) {
  Start();
  AddChannels();
  int handle = 0;
  EXPECT_EQ(ClientCore::ResultNoError, client.GetChannels(&handle, false));
  std::vector<FakeHost::Transfer> sent = host.Transfers();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(10u, sent[0].uid);
  EXPECT_EQ(1010u, sent[0].number);
  EXPECT_EQ(&handle, sent[0].handle);
  // The logo path is handed over before the logo has been downloaded.
  EXPECT_EQ(dir / "channel_logos/Erste.png", sent[0].iconPath);
  EXPECT_EQ(20u, sent[1].uid);
  EXPECT_EQ(dir / "channel_logos/Zweite", sent[1].iconPath);

  EXPECT_EQ(ClientCore::ResultNoError, client.GetChannels(&handle, true));
  sent = host.Transfers();
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ(30u, sent[2].uid);
  EXPECT_TRUE(sent[2].isRadio);
  EXPECT_EQ("", sent[2].iconPath);
  EXPECT_EQ(3, client.GetChannelsAmount());
  EXPECT_EQ(3, client.GetChannelGroupsAmount());
}

TEST_F(ClientCoreTest, WithoutChannelsTheListsFailAndTheCountsAreZero) {
  Start();
  EXPECT_EQ(ClientCore::ResultNotImplemented, client.GetChannels(nullptr, false));
  // Groups follow the channel table: without channels the group list fails too.
  EXPECT_EQ(ClientCore::ResultNotImplemented, client.GetChannelGroups(nullptr, false));
  EXPECT_EQ(ClientCore::ResultNoError, client.GetChannelGroupMembers(nullptr, "Orphan", false));
  EXPECT_EQ(0, client.GetChannelsAmount());
  // The load that found nothing leaves no group without a channel.
  EXPECT_EQ(0, client.GetChannelGroupsAmount());
  EXPECT_TRUE(host.Transfers().empty());
}

TEST_F(ClientCoreTest, GroupsAndMembersMatchTheRadioFlagAndTheExactName) {
  Start();
  AddChannels();
  EXPECT_EQ(ClientCore::ResultNoError, client.GetChannelGroups(nullptr, false));
  std::vector<FakeHost::Transfer> sent = host.Transfers();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ("News", sent[0].name);
  EXPECT_EQ("news", sent[1].name);

  EXPECT_EQ(ClientCore::ResultNoError, client.GetChannelGroupMembers(nullptr, "news", false));
  sent = host.Transfers();
  ASSERT_EQ(3u, sent.size());
  EXPECT_EQ("member", sent[2].kind);
  EXPECT_EQ("news", sent[2].name);
  EXPECT_EQ(10u, sent[2].uid);
  EXPECT_EQ(1010u, sent[2].number);

  EXPECT_EQ(ClientCore::ResultNoError, client.GetChannelGroupMembers(nullptr, "News", false));
  EXPECT_EQ(5u, host.Transfers().size());
}

TEST_F(ClientCoreTest, AWalkEndsAtTheNextEntryOnceStoppingIsSet) {
  Start();
  AddChannels();
  // The stop sets stopping before anything else; here it comes from the host's thread itself.
  host.onTransfer = [this](const FakeHost::Transfer&) { client.DeInit(); };
  EXPECT_EQ(ClientCore::ResultNoError, client.GetChannels(nullptr, false));
  EXPECT_EQ(1u, host.Transfers().size());
  EXPECT_EQ(ClientCore::ResultNoError, client.GetChannelGroupMembers(nullptr, "News", false));
  EXPECT_EQ(1u, host.Transfers().size());
}

TEST_F(ClientCoreTest, AGuideRequestForAnUnknownChannelIsLoggedAndRefused) {
  Start();
  AddChannels();
  EXPECT_FALSE(client.UpdateEPGForChannel(nullptr, 4711, 0, 3600));
  EXPECT_EQ(1u, host.CountLines(Host::LogError, "Channel with id 4711 not found"));
  EXPECT_TRUE(client.UpdateEPGForChannel(nullptr, 10, 0, 3600));
}

TEST_F(ClientCoreTest, LoadDataLeavesTheTargetAloneWhenTheFileCannotBeRead) {
  Start();
  zu::nivo::HostFiles files(host);
  std::string data = "previous";
  EXPECT_FALSE(files.LoadData(dir / "missing.zug", data));
  EXPECT_EQ("previous", data);
  EXPECT_EQ(
      1u, host.CountLines(Host::LogNotice, "Unable to open file '" + (dir / "missing.zug") + "'"));
  EXPECT_TRUE(host.Notifications().empty());

  EXPECT_TRUE(files.SaveData(dir / "kept.zug", std::string("a\0b", 3)));
  EXPECT_TRUE(files.LoadData(dir / "kept.zug", data));
  EXPECT_EQ(std::string("a\0b", 3), data);
  EXPECT_FALSE(files.SaveData(dir / "unwritable.zug", "x"));

  // Released, the files no longer reach the host.
  files.Release();
  EXPECT_FALSE(files.LoadData(dir / "kept.zug", data));
  EXPECT_FALSE(files.SaveData(dir / "kept.zug", "y"));
  EXPECT_EQ(std::string("a\0b", 3), host.File(dir / "kept.zug"));
}

}  // namespace
