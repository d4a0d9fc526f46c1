#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "host/StandInHost.h"
#include "tests/host/HostTestSupport.h"

namespace zu {
namespace host {
namespace {

using std::chrono::milliseconds;
using test::FakeAddonOptions;
using test::ReadWholeFile;
using test::TempDir;

const milliseconds kGenerous(10000);

bool HasLine(const StandInHost& host, const std::string& text, bool fromHost) {
  for (const LogLine& line : host.LogLines()) {
    if (line.fromHost == fromHost && line.text.find(text) != std::string::npos)
      return true;
  }
  return false;
}

StandInHostPtr LoadFake(const TempDir& dir) {
  LoadFailure failure;
  StandInHostPtr host = StandInHost::Load(FakeAddonOptions(dir), failure);
  EXPECT_TRUE(host) << failure.message;
  return host;
}

TEST(StandInHostLoad, CreateGetsAbsoluteBasePathAndBothPaths) {
  TempDir dir;
  HostOptions options = FakeAddonOptions(dir);
  // A relative base path reaches the add-on as an absolute one.
  options.hostBase = std::filesystem::relative(ZU_HOST_BASE_DIR).string();
  ASSERT_NE('/', options.hostBase[0]);
  LoadFailure failure;
  StandInHostPtr host = StandInHost::Load(options, failure);
  ASSERT_TRUE(host) << failure.message;

  std::string base = std::filesystem::canonical(ZU_HOST_BASE_DIR).string();
  std::string client = std::filesystem::canonical(FAKE_ADDON_FOLDER).string();
  EXPECT_TRUE(
      HasLine(*host, "fake: create base=" + base + " user=" + dir.Sub("user") + " client=" + client,
              false));
  EXPECT_TRUE(std::filesystem::is_directory(dir.Sub("user")));
  EXPECT_EQ("pvr.fake", host->Manifest().id);
  EXPECT_EQ("libFakeAddon.so", host->Manifest().libraryFile);
  EXPECT_EQ(ADDON_STATUS_OK, host->GetStatus());
  EXPECT_EQ(0u, host->HostErrors());
}

TEST(StandInHostLoad, MissingHelperLibrariesFailTheAddOnsCreateWithThatBasePath) {
  TempDir dir;
  HostOptions options = FakeAddonOptions(dir);
  options.hostBase = dir.Sub("no-such-base");
  LoadFailure failure;
  testing::internal::CaptureStderr();
  StandInHostPtr host = StandInHost::Load(options, failure);
  std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(host);
  EXPECT_TRUE(failure.createCalled);
  EXPECT_EQ(ADDON_STATUS_PERMANENT_FAILURE, failure.createStatus);
  EXPECT_NE(std::string::npos, failure.message.find("status 6")) << failure.message;
  // The add-on's own complaint names the library below the base path the host passed.
  EXPECT_NE(std::string::npos, errors.find("Unable to load " + dir.Sub("no-such-base") +
                                           "/library.xbmc.addon/libXBMC_addon-x86_64-linux.so"))
      << errors;
}

TEST(StandInHostLoad, FoldersWithoutALoadableAddOnAreRefusedWithTheReason) {
  TempDir dir;
  HostOptions options = FakeAddonOptions(dir);
  LoadFailure failure;

  options.addonFolder = dir.Sub("nothing-here");
  EXPECT_FALSE(StandInHost::Load(options, failure));
  EXPECT_NE(std::string::npos, failure.message.find("addon.xml")) << failure.message;
  EXPECT_FALSE(failure.createCalled);

  std::filesystem::create_directories(dir.Sub("pkg"));
  options.addonFolder = dir.Sub("pkg");
  test::WriteWholeFile(dir.Sub("pkg/addon.xml"),
                       "<addon id=\"pvr.x\" version=\"1\"><extension point=\"xbmc.pvrclient\" "
                       "library_linux=\"libMissing.so\"/></addon>");
  EXPECT_FALSE(StandInHost::Load(options, failure));
  EXPECT_NE(std::string::npos, failure.message.find("libMissing.so")) << failure.message;

  // A file that is not a shared library: the loader's reason is passed on.
  test::WriteWholeFile(dir.Sub("pkg/libMissing.so"), "not a library");
  EXPECT_FALSE(StandInHost::Load(options, failure));
  EXPECT_NE(std::string::npos, failure.message.find("cannot load")) << failure.message;

  // A library outside the add-on folder is never opened.
  test::WriteWholeFile(dir.Sub("pkg/addon.xml"),
                       "<addon id=\"pvr.x\" version=\"1\"><extension point=\"xbmc.pvrclient\" "
                       "library_linux=\"../../libFakeAddon.so\"/></addon>");
  EXPECT_FALSE(StandInHost::Load(options, failure));
  EXPECT_NE(std::string::npos, failure.message.find("outside")) << failure.message;
}

TEST(StandInHostLoad, LoadUnloadLoadInOneProcess) {
  for (int round = 0; round < 3; ++round) {
    TempDir dir;
    StandInHostPtr host = LoadFake(dir);
    ASSERT_TRUE(host);
    std::vector<Channel> channels;
    EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetChannels(false, channels));
    EXPECT_EQ(3u, channels.size()) << "round " << round;
    // Each load creates the add-on afresh (its library may stay resident in between: the
    // loader keeps libraries with GNU unique symbols, such as libstdc++'s, mapped).
    size_t creates = 0;
    for (const LogLine& line : host->LogLines())
      creates += line.text.find("fake: create base=") != std::string::npos ? 1 : 0;
    EXPECT_EQ(1u, creates) << "round " << round;
    Timer timer;
    timer.title = "round";
    EXPECT_EQ(PVR_ERROR_NO_ERROR, host->AddTimer(timer));
    std::vector<Timer> timers;
    host->GetTimers(timers);
    EXPECT_EQ(1u, timers.size()) << "round " << round;
    host->Destroy();
    EXPECT_EQ(0u, host->OpenRegistrations());
    EXPECT_EQ(0u, host->HostErrors());
  }
}

TEST(StandInHostRecords, ChannelsArriveWholeInThePackedLayout) {
  TempDir dir;
  StandInHostPtr host = LoadFake(dir);
  ASSERT_TRUE(host);
  std::vector<Channel> tv;
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetChannels(false, tv));
  ASSERT_EQ(3u, tv.size());
  EXPECT_EQ(101u, tv[0].uid);
  EXPECT_EQ("Das Erste", tv[0].name);
  EXPECT_EQ(101u, tv[0].subNumber);
  EXPECT_EQ("video/mp2t", tv[0].inputFormat);
  EXPECT_EQ("http://127.0.0.1:1/tv/101.m3u8", tv[0].streamUrl);
  EXPECT_EQ(0x1234u, tv[0].encryptionSystem);
  EXPECT_EQ("/logos/101.png", tv[0].iconPath);
  EXPECT_FALSE(tv[0].isHidden);
  EXPECT_TRUE(tv[1].isHidden);  // the record's last byte
  // Texts that fill their fields up to the terminator arrive whole, and nothing bleeds into
  // the following field.
  EXPECT_EQ(std::string(1023, 'L'), tv[2].name);
  EXPECT_EQ(1023u, tv[2].streamUrl.size());
  EXPECT_EQ("/" + std::string(1022, 'i'), tv[2].iconPath);
  EXPECT_EQ("video/mp2t", tv[2].inputFormat);

  std::vector<Channel> radio;
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetChannels(true, radio));
  ASSERT_EQ(1u, radio.size());
  EXPECT_EQ(201u, radio[0].uid);
  EXPECT_TRUE(radio[0].isRadio);
  EXPECT_EQ("", radio[0].iconPath);
  EXPECT_EQ(0u, host->HostErrors());
}

TEST(StandInHostRecords, GroupsMembersGuideAndSignalArriveWhole) {
  TempDir dir;
  StandInHostPtr host = LoadFake(dir);
  ASSERT_TRUE(host);

  std::vector<ChannelGroup> groups;
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetChannelGroups(false, groups));
  ASSERT_EQ(3u, groups.size());
  EXPECT_EQ("News", groups[0].name);
  EXPECT_EQ("news", groups[2].name);
  EXPECT_FALSE(groups[0].isRadio);
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetChannelGroups(true, groups));
  ASSERT_EQ(1u, groups.size());
  EXPECT_TRUE(groups[0].isRadio);

  ChannelGroup news;
  news.name = "News";
  std::vector<GroupMember> members;
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetChannelGroupMembers(news, members));
  ASSERT_EQ(2u, members.size());
  EXPECT_EQ("News", members[0].groupName);
  EXPECT_EQ(101u, members[0].channelUid);
  EXPECT_EQ(103u, members[1].channelUid);
  EXPECT_EQ(3u, members[1].channelNumber);
  news.name = "news";  // the group name reaches the add-on exactly
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetChannelGroupMembers(news, members));
  ASSERT_EQ(1u, members.size());
  EXPECT_EQ(101u, members[0].channelUid);

  Channel channel;
  channel.uid = 102;
  channel.number = 2;
  std::vector<EpgEntry> guide;
  const time_t start = 1700000000 - 1700000000 % 3600;
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetEpg(channel, start, start + 3 * 3600, guide));
  ASSERT_EQ(3u, guide.size());
  EXPECT_EQ("Show 102-0", guide[0].title);
  EXPECT_EQ("Show 102-2", guide[2].title);
  EXPECT_EQ(std::string(3000, 'p'), guide[0].plot);
  EXPECT_EQ("Plot of Show 102-1", guide[1].plot);
  EXPECT_EQ(start + 3600, guide[1].startTime);
  EXPECT_EQ(start + 7200, guide[1].endTime);
  EXPECT_EQ(102001u, guide[1].broadcastId);
  EXPECT_EQ(2u, guide[1].channelNumber);
  EXPECT_EQ("", guide[1].cast);  // null in the record
  EXPECT_EQ(EPG_GENRE_USE_STRING, guide[1].genreType);
  EXPECT_EQ("Magazine", guide[1].genreDescription);
  EXPECT_EQ(2024, guide[1].year);
  EXPECT_EQ(2, guide[1].episodeNumber);
  EXPECT_EQ(0x5u, guide[1].flags);  // the record's last field

  SignalStatus signal;
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetSignalStatus(signal));
  EXPECT_EQ("Fake Adapter", signal.adapterName);
  EXPECT_EQ("OK", signal.adapterStatus);
  EXPECT_EQ(std::string(1023, 'm'), signal.muxName);
  EXPECT_EQ(50, signal.snr);
  EXPECT_EQ(1L << 40, signal.ber);
  EXPECT_DOUBLE_EQ(448.5, signal.dolbyBitrate);

  PVR_ADDON_CAPABILITIES capabilities;
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetCapabilities(capabilities));
  EXPECT_TRUE(capabilities.bSupportsEPG);
  EXPECT_FALSE(capabilities.bSupportsTimers);
  EXPECT_TRUE(capabilities.bSupportsRecordingEdl);
  BackendInfo backend = host->GetBackendInfo();
  EXPECT_EQ("4.1.0", backend.pvrApiVersion);
  EXPECT_EQ("5.10.0", backend.minimumGuiApiVersion);
  EXPECT_EQ("FakeBackend", backend.backendName);
  EXPECT_EQ(0u, host->HostErrors());
}

TEST(StandInHostRecords, TimersAddListUpdateDelete) {
  TempDir dir;
  StandInHostPtr host = LoadFake(dir);
  ASSERT_TRUE(host);
  Timer timer;
  timer.title = std::string(1023, 'T');
  timer.summary = "summary";
  timer.clientChannelUid = 101;
  timer.startTime = 1700000000;
  timer.endTime = 1700003600;
  timer.state = PVR_TIMER_STATE_SCHEDULED;
  timer.genreSubType = -7;  // the record's last field
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->AddTimer(timer));
  timer.title = "second";
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->AddTimer(timer));
  EXPECT_EQ(2, host->GetTimersAmount());

  std::vector<Timer> timers;
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetTimers(timers));
  ASSERT_EQ(2u, timers.size());
  EXPECT_EQ(std::string(1023, 'T'), timers[0].title);
  EXPECT_EQ("summary", timers[0].summary);
  EXPECT_EQ(101, timers[0].clientChannelUid);
  EXPECT_EQ(1700003600, timers[0].endTime);
  EXPECT_EQ(PVR_TIMER_STATE_SCHEDULED, timers[0].state);
  EXPECT_EQ(-7, timers[0].genreSubType);
  EXPECT_EQ(timers[0].clientIndex + 1, timers[1].clientIndex);

  Timer renamed = timers[1];
  renamed.title = "renamed";
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->UpdateTimer(renamed));
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->DeleteTimer(timers[0], false));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->DeleteTimer(timers[0], false));
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetTimers(timers));
  ASSERT_EQ(1u, timers.size());
  EXPECT_EQ("renamed", timers[0].title);

  // Each add asked the host to refresh its timers.
  EXPECT_TRUE(host->TakeTrigger(TriggerKind::TimerUpdate, kGenerous));
  EXPECT_TRUE(host->TakeTrigger(TriggerKind::TimerUpdate, kGenerous));
}

TEST(StandInHostEvents, GuideTriggersFromAnotherThreadAreWaitedOn) {
  TempDir dir;
  StandInHostPtr host = LoadFake(dir);
  ASSERT_TRUE(host);
  std::vector<Channel> all;
  std::vector<Channel> radio;
  host->GetChannels(false, all);
  host->GetChannels(true, radio);
  all.insert(all.end(), radio.begin(), radio.end());
  std::vector<EpgEntry> guide;
  for (const Channel& channel : all)
    host->GetEpg(channel, 1700000000, 1700003600, guide);

  // Asking for the last guide starts the fake's trigger thread.
  std::vector<unsigned int> uids;
  for (size_t i = 0; i < all.size(); ++i) {
    std::optional<Trigger> trigger = host->TakeTrigger(TriggerKind::EpgUpdate, kGenerous);
    ASSERT_TRUE(trigger) << "trigger " << i;
    uids.push_back(trigger->channelUid);
  }
  EXPECT_EQ((std::vector<unsigned int>{101, 102, 103, 201}), uids);
  ASSERT_TRUE(host->WaitForLogLine("fake: triggers sent", kGenerous));
  // Every trigger is taken once.
  EXPECT_FALSE(host->TakeTrigger(TriggerKind::EpgUpdate, milliseconds(0)));
  EXPECT_FALSE(host->TakeTrigger(TriggerKind::ChannelUpdate, milliseconds(0)));
  EXPECT_EQ(4u, host->Triggers().size());
}

TEST(StandInHostEvents, LogLinesNotificationsAndTheLogFile) {
  TempDir dir;
  StandInHostPtr host = LoadFake(dir);
  ASSERT_TRUE(host);
  std::vector<int> levels;
  for (const LogLine& line : host->LogLines()) {
    if (!line.fromHost && line.text.find(" line") != std::string::npos)
      levels.push_back(line.level);
  }
  EXPECT_EQ((std::vector<int>{ADDON_LOG_DEBUG, ADDON_LOG_NOTICE, ADDON_LOG_ERROR}), levels);
  // The add-on wrote and read back a file through the host's file functions.
  EXPECT_TRUE(HasLine(*host, "fake: file round trip ok", false));
  EXPECT_EQ("first line\nsecond line\n", ReadWholeFile(dir.Sub("user/fake-state.txt")));

  std::vector<Notification> notifications = host->Notifications();
  ASSERT_EQ(1u, notifications.size());
  EXPECT_EQ(QUEUE_INFO, notifications[0].kind);
  EXPECT_EQ("Fake add-on started", notifications[0].text);

  host->ReadSettings();
  EXPECT_TRUE(HasLine(*host, "fake: read settings", false));
  std::string logPath = host->LogPath();
  EXPECT_EQ(dir.Sub("user/host.log"), logPath);
  host.reset();

  std::string log = ReadWholeFile(logPath);
  EXPECT_NE(std::string::npos, log.find("  DEBUG: fake: debug line")) << log;
  EXPECT_NE(std::string::npos, log.find(" NOTICE: fake: notice line"));
  EXPECT_NE(std::string::npos, log.find("  ERROR: fake: error line"));
  EXPECT_NE(std::string::npos, log.find("   INFO: fake: destroy"));
  EXPECT_NE(std::string::npos, log.find("notification (info): Fake add-on started"));
  // Each line starts with a time stamp.
  EXPECT_TRUE(isdigit(static_cast<unsigned char>(log[0])) && log[4] == '-' && log[13] == ':')
      << log.substr(0, 40);
}

TEST(StandInHostDefences, UnterminatedFieldIsTakenWholeAndReported) {
  TempDir dir;
  StandInHostPtr host = LoadFake(dir);
  ASSERT_TRUE(host);
  EXPECT_EQ(ADDON_STATUS_OK, host->SetSetting("mode", "unterminated"));
  std::vector<Channel> radio;
  ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetChannels(true, radio));
  ASSERT_EQ(2u, radio.size());
  EXPECT_EQ(299u, radio[1].uid);
  EXPECT_EQ(std::string(32, 'x'), radio[1].inputFormat);
  EXPECT_EQ("", radio[1].streamUrl);  // the following field is still read on its own
  EXPECT_EQ(1u, host->HostErrors());
  EXPECT_TRUE(HasLine(*host, "channel 299: strInputFormat is not terminated", true));
}

TEST(StandInHostDefences, RecordsOfAnotherKindOrThroughAnEndedRequestAreDropped) {
  for (const char* mode : {"wrong-kind", "stale-handle"}) {
    TempDir dir;
    StandInHostPtr host = LoadFake(dir);
    ASSERT_TRUE(host);
    host->SetSetting("mode", mode);
    std::vector<Channel> channels;
    ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetChannels(false, channels));
    EXPECT_EQ(3u, channels.size());
    std::vector<ChannelGroup> groups;
    ASSERT_EQ(PVR_ERROR_NO_ERROR, host->GetChannelGroups(false, groups));
    EXPECT_EQ(3u, groups.size()) << mode;
    EXPECT_GE(host->HostErrors(), 1u) << mode;
    EXPECT_TRUE(HasLine(*host, "dropped", true)) << mode;
  }
}

TEST(StandInHostDefences, RegistrationLeftOpenAtDestroyIsReported) {
  TempDir dir;
  StandInHostPtr host = LoadFake(dir);
  ASSERT_TRUE(host);
  host->SetSetting("mode", "no-unregister");
  host->Destroy();
  EXPECT_EQ(1u, host->OpenRegistrations());
  EXPECT_EQ(1u, host->HostErrors());
  EXPECT_TRUE(HasLine(*host, "did not unregister from libXBMC_pvr", true));
  // Without a client the add-on still answers.
  EXPECT_EQ(ADDON_STATUS_UNKNOWN, host->GetStatus());
  std::vector<Channel> channels;
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->GetChannels(false, channels));
}

}  // namespace
}  // namespace host
}  // namespace zu
