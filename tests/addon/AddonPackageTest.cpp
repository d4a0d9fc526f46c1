// The built add-on package loaded the way the host loads it: start-up and shut-down, the
// function table, timers, the log bridge into the host, and the failures of start-up.

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "CapturedFd.h"
#include "ClosedProvider.h"
#include "base/TempDir.h"
#include "host/StandInHost.h"

namespace {

using zu::host::BackendInfo;
using zu::host::HostOptions;
using zu::host::LoadFailure;
using zu::host::LogLine;
using zu::host::StandInHost;
using zu::host::StandInHostPtr;
using zu::host::Timer;
using zu_test::CapturedFd;
using zu_test::TempDir;

const std::string kPackage = ZU_ADDON_PACKAGE_DIR;
const std::string kLibrary = kPackage + "/libZUNivoTVKodiPlugin.so";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The lines the add-on wrote (not the host's own), in order.
std::vector<LogLine> AddonLines(const StandInHostPtr& host) {
  std::vector<LogLine> lines;
  for (const LogLine& line : host->LogLines()) {
    if (!line.fromHost)
      lines.push_back(line);
  }
  return lines;
}

size_t CountAddonLines(const StandInHostPtr& host, int level, const std::string& text) {
  size_t count = 0;
  for (const LogLine& line : AddonLines(host))
    count += line.level == level && line.text == text ? 1 : 0;
  return count;
}

class AddonPackageTest : public ::testing::Test {
 protected:
  AddonPackageTest() { zu_test::PointProviderAtClosedPort(); }
  HostOptions Options(const std::string& hostBase = ZU_HOST_BASE_DIR) {
    HostOptions options;
    options.addonFolder = kPackage;
    options.userPath = dir / "user";
    options.hostBase = hostBase;
    options.logPath = dir / "host.log";
    return options;
  }
  StandInHostPtr Load() {
    LoadFailure failure;
    StandInHostPtr host = StandInHost::Load(Options(), failure);
    EXPECT_TRUE(host) << failure.message;
    return host;
  }
  // Loads with a host base that makes ADDON_Create fail; returns what went to standard error.
  std::string FailingCreate(const std::string& hostBase) {
    CapturedFd standardError(2);
    LoadFailure failure;
    StandInHostPtr host = StandInHost::Load(Options(hostBase), failure);
    standardError.Restore();
    EXPECT_FALSE(host);
    EXPECT_TRUE(failure.createCalled);
    EXPECT_EQ(ADDON_STATUS_PERMANENT_FAILURE, failure.createStatus);
    return standardError.Text();
  }

  TempDir dir;
};

TEST_F(AddonPackageTest, ThePackageIsLaidOutAsTheHostInstallsIt) {
  EXPECT_TRUE(std::filesystem::is_regular_file(kLibrary));
  EXPECT_TRUE(std::filesystem::is_regular_file(kPackage + "/icon.png"));
  EXPECT_EQ(ReadFile(ZU_SOURCE_DIR "/data/radio.m3u"), ReadFile(kPackage + "/radio.m3u"));
  const std::string manifest = ReadFile(kPackage + "/addon.xml");
  EXPECT_NE(std::string::npos, manifest.find("id=\"pvr.nivotv\""));
  EXPECT_NE(std::string::npos, manifest.find("version=\"4.0.2\""));
  EXPECT_NE(std::string::npos, manifest.find("library_linux=\"libZUNivoTVKodiPlugin.so\""));
  EXPECT_NE(std::string::npos, manifest.find("addon=\"xbmc.pvr\" version=\"4.1.0\""));
  EXPECT_NE(std::string::npos, manifest.find("addon=\"xbmc.gui\" version=\"5.10.0\""));
}

TEST_F(AddonPackageTest, TheLibraryExportsOnlyTheEntryPoints) {
  FILE* pipe = popen((std::string(ZU_NM) + " -D --defined-only " + kLibrary).c_str(), "r");
  ASSERT_NE(nullptr, pipe);
  std::set<std::string> names;
  char line[4096];
  while (fgets(line, sizeof(line), pipe) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name)
      names.insert(name);
  }
  ASSERT_EQ(0, pclose(pipe));
  const std::set<std::string> expected = {
      "ADDON_Announce",    "ADDON_Create",    "ADDON_Destroy",     "ADDON_FreeSettings",
      "ADDON_GetSettings", "ADDON_GetStatus", "ADDON_HasSettings", "ADDON_ReadSettings",
      "ADDON_SetSetting",  "ADDON_Stop",      "get_addon"};
  EXPECT_EQ(expected, names);
}

TEST_F(AddonPackageTest, CreateBindsTheHostCreatesTheCacheDirectoriesAndRequestsNothing) {
  // Any provider request would go to this socket, and would have been made by the time
  // the load returns.
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(0, bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
  ASSERT_EQ(0, listen(listener, 8));
  socklen_t length = sizeof(address);
  ASSERT_EQ(0, getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length));
  const std::string endpoint = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
  setenv("NIVOTV_SERVICE_HOST", endpoint.c_str(), 1);
  setenv("NIVOTV_GUIDE_HOST", endpoint.c_str(), 1);

  StandInHostPtr host = Load();
  ASSERT_TRUE(host);
  EXPECT_EQ(ADDON_STATUS_OK, host->GetStatus());
  pollfd pending = {listener, POLLIN, 0};
  EXPECT_EQ(0, poll(&pending, 1, 0)) << "start-up connected to the provider";
  close(listener);

  for (const char* name : {"channel_logos", "show_logos", "epg"})
    EXPECT_TRUE(std::filesystem::is_directory(dir / ("user/" + std::string(name)))) << name;
  // Nothing written before the bridge was installed reaches the host log.
  std::vector<LogLine> lines = AddonLines(host);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(ADDON_LOG_INFO, lines[0].level);
  EXPECT_EQ("Creating the Nivo-TV plugin", lines[0].text);
  EXPECT_TRUE(host->Notifications().empty());
  EXPECT_EQ(0u, host->HostErrors());
}

TEST_F(AddonPackageTest, ACacheDirectoryThatCannotBeCreatedIsReportedAndStartGoesOn) {
  std::filesystem::create_directories(dir / "user");
  std::ofstream(dir / "user/channel_logos") << "a file where a directory belongs";
  StandInHostPtr host = Load();
  ASSERT_TRUE(host);
  EXPECT_EQ(ADDON_STATUS_OK, host->GetStatus());
  EXPECT_EQ(1u, CountAddonLines(host, ADDON_LOG_ERROR, "Failed creating channel logo path"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "user/show_logos"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "user/epg"));
}

TEST_F(AddonPackageTest, EverySlotIsFilledAndTheConstantSlotsAnswerTheirValues) {
  StandInHostPtr host = Load();
  ASSERT_TRUE(host);
  const PVRClient& table = host->Table();
  void* const* slots = reinterpret_cast<void* const*>(&table);
  for (size_t slot = 0; slot < PVR_FUNCTION_TABLE_SLOTS; ++slot)
    EXPECT_NE(nullptr, slots[slot]) << "slot " << slot;

  BackendInfo info = host->GetBackendInfo();
  EXPECT_EQ("4.1.0", info.pvrApiVersion);
  EXPECT_EQ("4.1.0", info.minimumPvrApiVersion);
  EXPECT_EQ("5.10.0", info.guiApiVersion);
  EXPECT_EQ("5.10.0", info.minimumGuiApiVersion);
  EXPECT_EQ("ZUNivoTV", info.backendName);
  EXPECT_EQ("4.0.2", info.backendVersion);
  EXPECT_EQ("connected", info.connectionString);
  EXPECT_EQ("", info.backendHostname);
  long long total = 0, used = 1;
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetDriveSpace(total, used));
  EXPECT_EQ(9223372036854775807LL, total);
  EXPECT_EQ(0, used);

  alignas(8) char opaque[256] = {};
  const PVR_RECORDING& recording = *reinterpret_cast<const PVR_RECORDING*>(opaque);
  const PVR_CHANNEL channel = {};
  int size = 0;
  double pts = 0;
  unsigned char buffer[16];
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.GetStreamProperties(nullptr));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED,
            table.MenuHook(*reinterpret_cast<const PVR_MENUHOOK*>(opaque),
                           *reinterpret_cast<const PVR_MENUHOOK_DATA*>(opaque)));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.OpenDialogChannelScan());
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.DeleteChannel(channel));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.RenameChannel(channel));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.MoveChannel(channel));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.OpenDialogChannelSettings(channel));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.OpenDialogChannelAdd(channel));
  EXPECT_EQ(-1, table.GetRecordingsAmount(false));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.GetRecordings(nullptr, false));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.DeleteRecording(recording));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.UndeleteRecording(recording));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.DeleteAllRecordingsFromTrash());
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.RenameRecording(recording));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.SetRecordingPlayCount(recording, 1));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.SetRecordingLastPlayedPosition(recording, 1));
  EXPECT_EQ(-1, table.GetRecordingLastPlayedPosition(recording));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.GetRecordingEdl(recording, nullptr, &size));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, table.GetTimerTypes(nullptr, &size));
  EXPECT_FALSE(table.OpenLiveStream(channel));
  table.CloseLiveStream();
  EXPECT_EQ(0, table.ReadLiveStream(buffer, sizeof(buffer)));
  EXPECT_EQ(-1, table.SeekLiveStream(0, SEEK_SET));
  EXPECT_EQ(-1, table.PositionLiveStream());
  EXPECT_EQ(-1, table.LengthLiveStream());
  EXPECT_EQ(0, table.GetCurrentClientChannel());
  EXPECT_FALSE(table.SwitchChannel(channel));
  EXPECT_EQ("", host->GetLiveStreamUrl(zu::host::Channel()));
  EXPECT_FALSE(table.OpenRecordedStream(recording));
  table.CloseRecordedStream();
  EXPECT_EQ(0, table.ReadRecordedStream(buffer, sizeof(buffer)));
  EXPECT_EQ(0, table.SeekRecordedStream(0, SEEK_SET));
  EXPECT_EQ(-1, table.PositionRecordedStream());
  EXPECT_EQ(0, table.LengthRecordedStream());
  table.DemuxReset();
  table.DemuxAbort();
  table.DemuxFlush();
  EXPECT_EQ(nullptr, table.DemuxRead());
  EXPECT_EQ(0u, table.GetChannelSwitchDelay());
  EXPECT_FALSE(table.CanPauseStream());
  table.PauseStream(true);
  EXPECT_FALSE(table.CanSeekStream());
  EXPECT_FALSE(table.SeekTime(0, false, &pts));
  table.SetSpeed(1);
  EXPECT_EQ(0, table.GetPlayingTime());
  EXPECT_EQ(0, table.GetBufferTimeStart());
  EXPECT_EQ(0, table.GetBufferTimeEnd());
  EXPECT_FALSE(table.IsTimeshifting());
}

TEST_F(AddonPackageTest, CapabilitiesOfferGuideTvRadioAndGroupsAndKeepTheHostsUnusedFlags) {
  StandInHostPtr host = Load();
  ASSERT_TRUE(host);
  PVR_ADDON_CAPABILITIES capabilities;
  memset(&capabilities, 1, sizeof(capabilities));
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->Table().GetAddonCapabilities(&capabilities));
  EXPECT_TRUE(capabilities.bSupportsEPG);
  EXPECT_TRUE(capabilities.bSupportsTV);
  EXPECT_TRUE(capabilities.bSupportsRadio);
  EXPECT_FALSE(capabilities.bSupportsRecordings);
  EXPECT_TRUE(capabilities.bSupportsRecordingsUndelete);
  EXPECT_FALSE(capabilities.bSupportsTimers);
  EXPECT_TRUE(capabilities.bSupportsChannelGroups);
  EXPECT_FALSE(capabilities.bSupportsChannelScan);
  EXPECT_TRUE(capabilities.bSupportsChannelSettings);
  EXPECT_FALSE(capabilities.bHandlesInputStream);
  EXPECT_FALSE(capabilities.bHandlesDemuxing);
  EXPECT_FALSE(capabilities.bSupportsRecordingPlayCount);
  EXPECT_FALSE(capabilities.bSupportsLastPlayedPosition);
  EXPECT_FALSE(capabilities.bSupportsRecordingEdl);

  memset(&capabilities, 0, sizeof(capabilities));
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->Table().GetAddonCapabilities(&capabilities));
  EXPECT_FALSE(capabilities.bSupportsRecordingsUndelete);
  EXPECT_FALSE(capabilities.bSupportsChannelSettings);
}

TEST_F(AddonPackageTest, TimersAreNumberedInOrderAndFoundByTheirIndex) {
  StandInHostPtr host = Load();
  ASSERT_TRUE(host);
  Timer first;
  first.title = "first";
  first.clientIndex = 77;  // the add-on numbers timers itself
  Timer second;
  second.title = "second";
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->AddTimer(first));
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->AddTimer(second));
  EXPECT_TRUE(host->TakeTrigger(zu::host::TriggerKind::TimerUpdate, std::chrono::seconds(10)));
  EXPECT_TRUE(host->TakeTrigger(zu::host::TriggerKind::TimerUpdate, std::chrono::seconds(10)));
  EXPECT_EQ(2, host->GetTimersAmount());

  std::vector<Timer> timers;
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetTimers(timers));
  ASSERT_EQ(2u, timers.size());
  EXPECT_EQ(1u, timers[0].clientIndex);
  EXPECT_EQ("first", timers[0].title);
  EXPECT_EQ(2u, timers[1].clientIndex);
  EXPECT_EQ("second", timers[1].title);

  Timer unknown;
  unknown.clientIndex = 5;
  unknown.title = "unknown";
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->UpdateTimer(unknown));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->DeleteTimer(unknown, true));
  Timer renamed = timers[1];
  renamed.title = "renamed";
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->UpdateTimer(renamed));
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->DeleteTimer(timers[0], false));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->DeleteTimer(timers[0], false));

  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetTimers(timers));
  ASSERT_EQ(1u, timers.size());
  EXPECT_EQ(2u, timers[0].clientIndex);
  EXPECT_EQ("renamed", timers[0].title);
  EXPECT_EQ(0u, host->HostErrors());
}

TEST_F(AddonPackageTest, AnErrorReachesTheHostLogAndOneNotification) {
  StandInHostPtr host = Load();
  ASSERT_TRUE(host);
  zu::host::Channel channel;
  channel.uid = 4242;
  std::vector<zu::host::EpgEntry> entries;
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetEpg(channel, 0, 3600, entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(1u, CountAddonLines(host, ADDON_LOG_ERROR, "Channel with id 4242 not found"));
  // The request loaded the channels first, with notifications of its own.
  std::vector<zu::host::Notification> notifications;
  for (const zu::host::Notification& notification : host->Notifications()) {
    if (notification.text == "Channel with id 4242 not found")
      notifications.push_back(notification);
  }
  ASSERT_EQ(1u, notifications.size());
  EXPECT_EQ(QUEUE_ERROR, notifications[0].kind);
}

TEST_F(AddonPackageTest, WithoutAClientEveryFunctionGivesItsFixedAnswer) {
  StandInHostPtr host = Load();
  ASSERT_TRUE(host);
  zu::host::SignalStatus signal;
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetSignalStatus(signal));
  EXPECT_EQ("ZUNivoTV ZUNivoTV Adapter", signal.adapterName);
  EXPECT_EQ("OK", signal.adapterStatus);
  EXPECT_TRUE(host->HasSettings());
  EXPECT_EQ(ADDON_STATUS_OK, host->SetSetting("anything", "value"));

  host->Destroy();
  EXPECT_EQ(0u, host->OpenRegistrations());
  EXPECT_EQ(ADDON_STATUS_UNKNOWN, host->GetStatus());
  EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetSignalStatus(signal));
  EXPECT_EQ("ZUNivoTV ZUNivoTV Adapter", signal.adapterName);
  EXPECT_EQ("Off line", signal.adapterStatus);
  EXPECT_EQ(-1, host->GetChannelsAmount());
  EXPECT_EQ(-1, host->GetChannelGroupsAmount());
  EXPECT_EQ(0, host->GetTimersAmount());
  std::vector<zu::host::Channel> channels;
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->GetChannels(false, channels));
  std::vector<zu::host::ChannelGroup> groups;
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->GetChannelGroups(false, groups));
  std::vector<zu::host::GroupMember> members;
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->GetChannelGroupMembers({}, members));
  std::vector<zu::host::EpgEntry> entries;
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->GetEpg({}, 0, 1, entries));
  std::vector<Timer> timers;
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->GetTimers(timers));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->AddTimer(Timer()));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->DeleteTimer(Timer(), false));
  EXPECT_EQ(PVR_ERROR_NOT_IMPLEMENTED, host->UpdateTimer(Timer()));
  host->ReadSettings();
  EXPECT_EQ(0u, host->HostErrors());
}

TEST_F(AddonPackageTest, StopShutsDownAndALaterDestroyOnlyLogsItsName) {
  StandInHostPtr host = Load();
  ASSERT_TRUE(host);
  host->Stop();
  EXPECT_EQ(0u, host->OpenRegistrations());
  EXPECT_EQ(1u, CountAddonLines(host, ADDON_LOG_INFO, "Destroying the Nivo-TV plugin ..."));
  EXPECT_EQ(1u, CountAddonLines(host, ADDON_LOG_INFO, "Destroying done."));
  const size_t lines = host->LogLines().size();

  CapturedFd standardOutput(1);
  host->Destroy();
  standardOutput.Restore();
  EXPECT_NE(std::string::npos, standardOutput.Text().find("void ADDON_Destroy()\n"));
  EXPECT_EQ(lines, host->LogLines().size());
  EXPECT_EQ(0u, host->HostErrors());
}

TEST_F(AddonPackageTest, CreateWithoutHandleOrPropertiesKeepsNoClient) {
  void* library = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, library) << dlerror();
  auto create = reinterpret_cast<ADDON_Create_t>(dlsym(library, "ADDON_Create"));
  auto getStatus = reinterpret_cast<ADDON_GetStatus_t>(dlsym(library, "ADDON_GetStatus"));
  ASSERT_NE(nullptr, create);
  ASSERT_NE(nullptr, getStatus);
  const std::string user = dir / "user";
  PVR_PROPERTIES properties = {user.c_str(), kPackage.c_str()};
  AddonCB handle = {ZU_HOST_BASE_DIR, nullptr};
  {
    CapturedFd standardOutput(1);
    EXPECT_EQ(ADDON_STATUS_UNKNOWN, create(nullptr, &properties));
    EXPECT_EQ(ADDON_STATUS_UNKNOWN, getStatus());
    EXPECT_EQ(ADDON_STATUS_UNKNOWN, create(&handle, nullptr));
    EXPECT_EQ(ADDON_STATUS_UNKNOWN, getStatus());
  }
  EXPECT_FALSE(std::filesystem::exists(user));
  dlclose(library);
}

TEST_F(AddonPackageTest, AMissingHelperLibraryFailsCreationWithTheLoadersReason) {
  const std::string text = FailingCreate(dir / "empty-base");
  const size_t at = text.find("Unable to load ");
  ASSERT_NE(std::string::npos, at) << text;
  EXPECT_NE(std::string::npos, text.find("library.xbmc.addon/libXBMC_addon-x86_64-linux.so", at))
      << text;
}

TEST_F(AddonPackageTest, AMissingFunctionFailsCreationNamingIt) {
  const std::string text = FailingCreate(ZU_BROKEN_HOST_BASE);
  const size_t at = text.find("Unable to assign function ");
  ASSERT_NE(std::string::npos, at) << text;
  EXPECT_NE(std::string::npos, text.find("XBMC_log", at)) << text;
}

TEST_F(AddonPackageTest, AMissingPvrLibraryAlsoReleasesTheAddonLibrary) {
  const std::string base = dir / "half-base";
  std::filesystem::create_directories(base);
  std::filesystem::create_directory_symlink(ZU_HOST_BASE_DIR "/library.xbmc.addon",
                                            base + "/library.xbmc.addon");
  const std::string text = FailingCreate(base);
  EXPECT_NE(std::string::npos, text.find("Unable to load ")) << text;
  EXPECT_NE(std::string::npos, text.find("libXBMC_pvr-x86_64-linux.so")) << text;
  // The host reports registrations an add-on leaves behind in its log.
  EXPECT_NE(std::string::npos, ReadFile(dir / "host.log").find("registered with"));
  EXPECT_EQ(std::string::npos, ReadFile(dir / "host.log").find("did not unregister"));
}

}  // namespace
