// A small PVR add-on for the stand-in host's tests. It binds the helper libraries the way a
// real add-on does (dlopen below the handle's base path, dlsym, register), serves a few fixed
// channels, groups, guide entries and timers, and misbehaves on request (ADDON_SetSetting
// "mode") so that the host's defences can be tested. Every transfer reuses one record that is
// scribbled over afterwards: a host that keeps a pointer instead of a copy sees garbage.

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "addon/HostApi.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct FakeChannel {
  unsigned int uid;
  bool radio;
  unsigned int number;
  std::string name;
  std::string url;
  std::string icon;
  unsigned int encryption;
  bool hidden;
  std::set<std::string> groups;
};

const std::vector<FakeChannel>& Channels() {
  static const std::vector<FakeChannel> channels = {
      {101,
       false,
       1,
       "Das Erste",
       "http://127.0.0.1:1/tv/101.m3u8",
       "/logos/101.png",
       0x1234,
       false,
       {"News", "news"}},
      {102,
       false,
       2,
       "Sport Eins",
       "http://127.0.0.1:1/tv/102.m3u8",
       "/logos/102.png",
       0,
       true,
       {"Sports"}},
      {103,
       false,
       3,
       std::string(1023, 'L'),
       "http://127.0.0.1:1/" + std::string(1004, 'u'),
       "/" + std::string(1022, 'i'),
       0,
       false,
       {"News"}},
      {201, true, 1, "Radio Eins", "http://127.0.0.1:1/radio/201.mp3", "", 0, false, {"Music"}},
  };
  return channels;
}

struct FakeGroup {
  std::string name;
  bool radio;
};

const std::vector<FakeGroup>& Groups() {
  static const std::vector<FakeGroup> groups = {
      {"News", false}, {"Sports", false}, {"news", false}, {"Music", true}};
  return groups;
}

struct Host {
  void* addonLibrary = nullptr;
  void* pvrLibrary = nullptr;
  void* handle = nullptr;
  void* addonCb = nullptr;
  void* pvrCb = nullptr;
  XBMC_register_me_t registerAddon = nullptr;
  XBMC_unregister_me_t unregisterAddon = nullptr;
  XBMC_log_t log = nullptr;
  XBMC_queue_notification_t notify = nullptr;
  XBMC_open_file_t openFile = nullptr;
  XBMC_open_file_for_write_t openFileForWrite = nullptr;
  XBMC_read_file_t readFile = nullptr;
  XBMC_write_file_t writeFile = nullptr;
  XBMC_get_file_length_t fileLength = nullptr;
  XBMC_close_file_t closeFile = nullptr;
  PVR_register_me_t registerPvr = nullptr;
  PVR_unregister_me_t unregisterPvr = nullptr;
  PVR_transfer_channel_entry_t transferChannel = nullptr;
  PVR_transfer_channel_group_t transferGroup = nullptr;
  PVR_transfer_channel_group_member_t transferMember = nullptr;
  PVR_transfer_epg_entry_t transferEpg = nullptr;
  PVR_transfer_timer_entry_t transferTimer = nullptr;
  PVR_trigger_timer_update_t triggerTimers = nullptr;
  PVR_trigger_epg_update_t triggerEpg = nullptr;
};

std::mutex g_mutex;
bool g_created = false;
Host g_host;
std::string g_mode;
std::vector<PVR_TIMER> g_timers;
unsigned int g_lastTimerIndex = 0;
std::set<unsigned int> g_guideAsked;
std::thread g_triggerThread;
ADDON_HANDLE g_oldRequest = nullptr;

void Log(int level, const std::string& text) {
  if (g_host.log != nullptr)
    g_host.log(g_host.handle, g_host.addonCb, level, text.c_str());
}

template <class T>
bool Bind(void* library, const char* name, T& target) {
  target = reinterpret_cast<T>(dlsym(library, name));
  if (target == nullptr) {
    fprintf(stderr, "Unable to assign function %s\n", dlerror());
    return false;
  }
  return true;
}

void Release() {
  if (g_host.pvrCb != nullptr && g_mode != "no-unregister")
    g_host.unregisterPvr(g_host.handle, g_host.pvrCb);
  if (g_host.addonCb != nullptr)
    g_host.unregisterAddon(g_host.handle, g_host.addonCb);
  if (g_host.pvrLibrary != nullptr)
    dlclose(g_host.pvrLibrary);
  if (g_host.addonLibrary != nullptr)
    dlclose(g_host.addonLibrary);
  g_host = Host();
}

bool BindHost(void* handle) {
  std::string base = static_cast<AddonCB*>(handle)->libBasePath;
  g_host.handle = handle;
  std::string addonPath = base + "/library.xbmc.addon/libXBMC_addon-x86_64-linux.so";
  g_host.addonLibrary = dlopen(addonPath.c_str(), RTLD_LAZY);
  if (g_host.addonLibrary == nullptr) {
    fprintf(stderr, "Unable to load %s\n", dlerror());
    return false;
  }
  void* a = g_host.addonLibrary;
  if (!Bind(a, "XBMC_register_me", g_host.registerAddon) ||
      !Bind(a, "XBMC_unregister_me", g_host.unregisterAddon) || !Bind(a, "XBMC_log", g_host.log) ||
      !Bind(a, "XBMC_queue_notification", g_host.notify) ||
      !Bind(a, "XBMC_open_file", g_host.openFile) ||
      !Bind(a, "XBMC_open_file_for_write", g_host.openFileForWrite) ||
      !Bind(a, "XBMC_read_file", g_host.readFile) ||
      !Bind(a, "XBMC_write_file", g_host.writeFile) ||
      !Bind(a, "XBMC_get_file_length", g_host.fileLength) ||
      !Bind(a, "XBMC_close_file", g_host.closeFile))
    return false;
  g_host.addonCb = g_host.registerAddon(handle);
  if (g_host.addonCb == nullptr)
    return false;

  std::string pvrPath = base + "/library.xbmc.pvr/libXBMC_pvr-x86_64-linux.so";
  g_host.pvrLibrary = dlopen(pvrPath.c_str(), RTLD_LAZY);
  if (g_host.pvrLibrary == nullptr) {
    fprintf(stderr, "Unable to load %s\n", dlerror());
    return false;
  }
  void* p = g_host.pvrLibrary;
  if (!Bind(p, "PVR_register_me", g_host.registerPvr) ||
      !Bind(p, "PVR_unregister_me", g_host.unregisterPvr) ||
      !Bind(p, "PVR_transfer_channel_entry", g_host.transferChannel) ||
      !Bind(p, "PVR_transfer_channel_group", g_host.transferGroup) ||
      !Bind(p, "PVR_transfer_channel_group_member", g_host.transferMember) ||
      !Bind(p, "PVR_transfer_epg_entry", g_host.transferEpg) ||
      !Bind(p, "PVR_transfer_timer_entry", g_host.transferTimer) ||
      !Bind(p, "PVR_trigger_timer_update", g_host.triggerTimers) ||
      !Bind(p, "PVR_trigger_epg_update", g_host.triggerEpg))
    return false;
  g_host.pvrCb = g_host.registerPvr(handle);
  return g_host.pvrCb != nullptr;
}

// Writes a small file through the host's file functions and reads it back.
bool FileRoundTrip(const std::string& userPath) {
  std::string path = userPath + "/fake-state.txt";
  const std::string text = "first line\nsecond line\n";
  void* file = g_host.openFileForWrite(g_host.handle, g_host.addonCb, path.c_str(), true);
  if (file == nullptr)
    return false;
  ssize_t written = g_host.writeFile(g_host.handle, g_host.addonCb, file, text.data(), text.size());
  g_host.closeFile(g_host.handle, g_host.addonCb, file);
  file = g_host.openFile(g_host.handle, g_host.addonCb, path.c_str(), 0);
  if (file == nullptr)
    return false;
  int64_t length = g_host.fileLength(g_host.handle, g_host.addonCb, file);
  std::string back(static_cast<size_t>(length > 0 ? length : 0), '\0');
  ssize_t read = g_host.readFile(g_host.handle, g_host.addonCb, file, &back[0], back.size());
  g_host.closeFile(g_host.handle, g_host.addonCb, file);
  return written == static_cast<ssize_t>(text.size()) && read == written && back == text;
}

template <size_t N>
void Put(char (&field)[N], const std::string& text) {
  size_t length = text.size() < N - 1 ? text.size() : N - 1;
  memcpy(field, text.data(), length);
  field[length] = '\0';
}

template <class T>
void Scribble(T& record) {
  memset(&record, 0xAA, sizeof(record));
}

void StopTriggerThread() {
  if (g_triggerThread.joinable())
    g_triggerThread.join();
}

// --- the PVR table ---

PVR_ERROR GetCapabilities(PVR_ADDON_CAPABILITIES* capabilities) {
  capabilities->bSupportsEPG = true;
  capabilities->bSupportsTV = true;
  capabilities->bSupportsRadio = true;
  capabilities->bSupportsChannelGroups = true;
  capabilities->bSupportsRecordingEdl = true;  // the last flag: shows that all 14 arrive
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR GetChannels(ADDON_HANDLE request, bool radio) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_created)
    return PVR_ERROR_NOT_IMPLEMENTED;
  static PVR_CHANNEL record;
  for (const FakeChannel& channel : Channels()) {
    if (channel.radio != radio)
      continue;
    memset(&record, 0, sizeof(record));
    record.iUniqueId = channel.uid;
    record.bIsRadio = channel.radio;
    record.iChannelNumber = channel.number;
    record.iSubChannelNumber = channel.number + 100;
    Put(record.strChannelName, channel.name);
    Put(record.strInputFormat, "video/mp2t");
    Put(record.strStreamURL, channel.url);
    record.iEncryptionSystem = channel.encryption;
    Put(record.strIconPath, channel.icon);
    record.bIsHidden = channel.hidden;
    g_host.transferChannel(g_host.handle, g_host.pvrCb, request, &record);
    Scribble(record);
  }
  if (radio && g_mode == "unterminated") {
    memset(&record, 0, sizeof(record));
    record.iUniqueId = 299;
    record.bIsRadio = true;
    Put(record.strChannelName, "Unterminated");
    memset(record.strInputFormat, 'x', sizeof(record.strInputFormat));
    g_host.transferChannel(g_host.handle, g_host.pvrCb, request, &record);
    Scribble(record);
  }
  g_oldRequest = request;
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR GetChannelGroups(ADDON_HANDLE request, bool radio) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_created)
    return PVR_ERROR_NOT_IMPLEMENTED;
  static PVR_CHANNEL_GROUP record;
  for (const FakeGroup& group : Groups()) {
    if (group.radio != radio)
      continue;
    memset(&record, 0, sizeof(record));
    Put(record.strGroupName, group.name);
    record.bIsRadio = group.radio;
    record.iPosition = 0;
    g_host.transferGroup(g_host.handle, g_host.pvrCb, request, &record);
    Scribble(record);
  }
  if (g_mode == "wrong-kind" || g_mode == "stale-handle") {
    PVR_CHANNEL channel;
    memset(&channel, 0, sizeof(channel));
    channel.iUniqueId = 777;
    Put(channel.strChannelName, "Misplaced");
    ADDON_HANDLE target = g_mode == "wrong-kind" ? request : g_oldRequest;
    g_host.transferChannel(g_host.handle, g_host.pvrCb, target, &channel);
    if (g_mode == "stale-handle") {
      // The members of another list, through the handle of a request that has ended.
      PVR_CHANNEL_GROUP_MEMBER member;
      memset(&member, 0, sizeof(member));
      g_host.transferMember(g_host.handle, g_host.pvrCb, g_oldRequest, &member);
    }
  }
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR GetChannelGroupMembers(ADDON_HANDLE request, const PVR_CHANNEL_GROUP& group) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_created)
    return PVR_ERROR_NOT_IMPLEMENTED;
  static PVR_CHANNEL_GROUP_MEMBER record;
  for (const FakeChannel& channel : Channels()) {
    if (channel.groups.count(group.strGroupName) == 0)
      continue;
    memset(&record, 0, sizeof(record));
    Put(record.strGroupName, group.strGroupName);
    record.iChannelUniqueId = channel.uid;
    record.iChannelNumber = channel.number;
    g_host.transferMember(g_host.handle, g_host.pvrCb, request, &record);
    Scribble(record);
  }
  return PVR_ERROR_NO_ERROR;
}

// One-hour shows from the hour at or before start until end, at most 48 of them. Once every
// channel's guide has been asked for, a second thread asks the host to refresh each of them.
PVR_ERROR GetEpg(ADDON_HANDLE request, const PVR_CHANNEL& channel, time_t start, time_t end) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_created)
    return PVR_ERROR_NOT_IMPLEMENTED;
  unsigned int uid = channel.iUniqueId;
  static EPG_TAG record;
  std::string title;
  std::string plot;
  std::string genre = "Magazine";
  int count = 0;
  for (time_t show = start - start % 3600; show < end && count < 48; show += 3600, ++count) {
    title = "Show " + std::to_string(uid) + "-" + std::to_string(count);
    plot = count == 0 ? std::string(3000, 'p') : "Plot of " + title;
    memset(&record, 0, sizeof(record));
    record.iUniqueBroadcastId = uid * 1000 + count;
    record.strTitle = title.c_str();
    record.iChannelNumber = channel.iChannelNumber;
    record.startTime = show;
    record.endTime = show + 3600;
    record.strPlot = plot.c_str();
    record.strCast = nullptr;
    record.iGenreType = EPG_GENRE_USE_STRING;
    record.strGenreDescription = genre.c_str();
    record.iYear = 2024;
    record.iEpisodeNumber = count + 1;
    record.iFlags = 0x5;
    g_host.transferEpg(g_host.handle, g_host.pvrCb, request, &record);
    Scribble(record);
    title.assign(title.size(), '#');  // the texts are reused as well
  }
  g_guideAsked.insert(uid);
  if (g_guideAsked.size() == Channels().size() && !g_triggerThread.joinable()) {
    Host host = g_host;
    g_triggerThread = std::thread([host] {
      for (const FakeChannel& fake : Channels())
        host.triggerEpg(host.handle, host.pvrCb, fake.uid);
      host.log(host.handle, host.addonCb, ADDON_LOG_DEBUG, "fake: triggers sent");
    });
  }
  return PVR_ERROR_NO_ERROR;
}

int GetTimersAmount() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return static_cast<int>(g_timers.size());
}

PVR_ERROR GetTimers(ADDON_HANDLE request) {
  std::lock_guard<std::mutex> lock(g_mutex);
  static PVR_TIMER record;
  for (const PVR_TIMER& timer : g_timers) {
    record = timer;
    g_host.transferTimer(g_host.handle, g_host.pvrCb, request, &record);
    Scribble(record);
  }
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR AddTimer(const PVR_TIMER& timer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_timers.push_back(timer);
  g_timers.back().iClientIndex = ++g_lastTimerIndex;
  g_host.triggerTimers(g_host.handle, g_host.pvrCb);
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR DeleteTimer(const PVR_TIMER& timer, bool) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (auto stored = g_timers.begin(); stored != g_timers.end(); ++stored) {
    if (stored->iClientIndex == timer.iClientIndex) {
      g_timers.erase(stored);
      return PVR_ERROR_NO_ERROR;
    }
  }
  return PVR_ERROR_NOT_IMPLEMENTED;
}

PVR_ERROR UpdateTimer(const PVR_TIMER& timer) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (PVR_TIMER& stored : g_timers) {
    if (stored.iClientIndex == timer.iClientIndex) {
      stored = timer;
      return PVR_ERROR_NO_ERROR;
    }
  }
  return PVR_ERROR_NOT_IMPLEMENTED;
}

PVR_ERROR SignalStatus(PVR_SIGNAL_STATUS& status) {
  Put(status.strAdapterName, "Fake Adapter");
  Put(status.strAdapterStatus, g_created ? "OK" : "Off line");
  Put(status.strMuxName, std::string(1023, 'm'));
  status.iSNR = 50;
  status.iSignal = 75;
  status.iBER = 1L << 40;
  status.dDolbyBitrate = 448.5;
  return PVR_ERROR_NO_ERROR;
}

void Shutdown(const char* how) {
  StopTriggerThread();
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_created)
    return;
  Log(ADDON_LOG_INFO, std::string("fake: ") + how);
  Release();
  g_created = false;
  g_timers.clear();
  g_guideAsked.clear();
  g_oldRequest = nullptr;
  g_mode.clear();
}

}  // namespace

FAKE_EXPORT ADDON_STATUS ADDON_Create(void* handle, void* properties) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (handle == nullptr || properties == nullptr)
    return ADDON_STATUS_UNKNOWN;
  if (!BindHost(handle)) {
    Release();
    return ADDON_STATUS_PERMANENT_FAILURE;
  }
  const PVR_PROPERTIES* props = static_cast<const PVR_PROPERTIES*>(properties);
  std::string user = props->strUserPath != nullptr ? props->strUserPath : "";
  std::string client = props->strClientPath != nullptr ? props->strClientPath : "";
  Log(ADDON_LOG_DEBUG, "fake: debug line");
  Log(ADDON_LOG_NOTICE, "fake: notice line");
  Log(ADDON_LOG_ERROR, "fake: error line");
  Log(ADDON_LOG_INFO, std::string("fake: create base=") +
                          static_cast<AddonCB*>(handle)->libBasePath + " user=" + user +
                          " client=" + client);
  if (FileRoundTrip(user))
    Log(ADDON_LOG_INFO, "fake: file round trip ok");
  else
    Log(ADDON_LOG_ERROR, "fake: file round trip failed");
  g_host.notify(g_host.handle, g_host.addonCb, QUEUE_INFO, "Fake add-on started");
  g_created = true;
  return ADDON_STATUS_OK;
}

FAKE_EXPORT ADDON_STATUS ADDON_GetStatus() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_created ? ADDON_STATUS_OK : ADDON_STATUS_UNKNOWN;
}

FAKE_EXPORT void ADDON_Stop() {
  Shutdown("stop");
}

FAKE_EXPORT void ADDON_Destroy() {
  Shutdown("destroy");
}

FAKE_EXPORT void ADDON_ReadSettings() {
  std::lock_guard<std::mutex> lock(g_mutex);
  Log(ADDON_LOG_INFO, "fake: read settings");
}

FAKE_EXPORT bool ADDON_HasSettings() {
  return true;
}

FAKE_EXPORT unsigned int ADDON_GetSettings(void***) {
  return 0;
}

FAKE_EXPORT void ADDON_FreeSettings() {}

// "mode" switches on a misbehaviour: "unterminated", "wrong-kind", "stale-handle",
// "no-unregister".
FAKE_EXPORT ADDON_STATUS ADDON_SetSetting(const char* name, const void* value) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (name == nullptr || value == nullptr || std::string(name) != "mode")
    return ADDON_STATUS_UNKNOWN;
  g_mode = static_cast<const char*>(value);
  return ADDON_STATUS_OK;
}

FAKE_EXPORT void ADDON_Announce(const char*, const char*, const char*, const void*) {}

FAKE_EXPORT void get_addon(void* table) {
  PVRClient* client = static_cast<PVRClient*>(table);
  client->GetPVRAPIVersion = [] { return "4.1.0"; };
  client->GetMininumPVRAPIVersion = [] { return "4.1.0"; };
  client->GetGUIAPIVersion = [] { return "5.10.0"; };
  client->GetMininumGUIAPIVersion = [] { return "5.10.0"; };
  client->GetAddonCapabilities = GetCapabilities;
  client->GetStreamProperties = [](PVR_STREAM_PROPERTIES*) { return PVR_ERROR_NOT_IMPLEMENTED; };
  client->GetBackendName = [] { return "FakeBackend"; };
  client->GetBackendVersion = [] { return "1.2.3"; };
  client->GetConnectionString = [] { return "connected"; };
  client->GetDriveSpace = [](long long* total, long long* used) {
    *total = 1000;
    *used = 10;
    return PVR_ERROR_NO_ERROR;
  };
  client->MenuHook = [](const PVR_MENUHOOK&, const PVR_MENUHOOK_DATA&) {
    return PVR_ERROR_NOT_IMPLEMENTED;
  };
  client->GetEpg = GetEpg;
  client->GetChannelGroupsAmount = [] { return static_cast<int>(Groups().size()); };
  client->GetChannelGroups = GetChannelGroups;
  client->GetChannelGroupMembers = GetChannelGroupMembers;
  client->OpenDialogChannelScan = [] { return PVR_ERROR_NOT_IMPLEMENTED; };
  client->GetChannelsAmount = [] { return static_cast<int>(Channels().size()); };
  client->GetChannels = GetChannels;
  auto channelCall = [](const PVR_CHANNEL&) { return PVR_ERROR_NOT_IMPLEMENTED; };
  client->DeleteChannel = channelCall;
  client->RenameChannel = channelCall;
  client->MoveChannel = channelCall;
  client->OpenDialogChannelSettings = channelCall;
  client->OpenDialogChannelAdd = channelCall;
  client->GetRecordingsAmount = [](bool) { return -1; };
  client->GetRecordings = [](ADDON_HANDLE, bool) { return PVR_ERROR_NOT_IMPLEMENTED; };
  auto recordingCall = [](const PVR_RECORDING&) { return PVR_ERROR_NOT_IMPLEMENTED; };
  client->DeleteRecording = recordingCall;
  client->UndeleteRecording = recordingCall;
  client->DeleteAllRecordingsFromTrash = [] { return PVR_ERROR_NOT_IMPLEMENTED; };
  client->RenameRecording = recordingCall;
  auto recordingIntCall = [](const PVR_RECORDING&, int) { return PVR_ERROR_NOT_IMPLEMENTED; };
  client->SetRecordingPlayCount = recordingIntCall;
  client->SetRecordingLastPlayedPosition = recordingIntCall;
  client->GetRecordingLastPlayedPosition = [](const PVR_RECORDING&) { return -1; };
  client->GetRecordingEdl = [](const PVR_RECORDING&, PVR_EDL_ENTRY*, int*) {
    return PVR_ERROR_NOT_IMPLEMENTED;
  };
  client->GetTimerTypes = [](PVR_TIMER_TYPE*, int*) { return PVR_ERROR_NOT_IMPLEMENTED; };
  client->GetTimersAmount = GetTimersAmount;
  client->GetTimers = GetTimers;
  client->AddTimer = AddTimer;
  client->DeleteTimer = DeleteTimer;
  client->UpdateTimer = UpdateTimer;
  client->OpenLiveStream = [](const PVR_CHANNEL&) { return false; };
  client->CloseLiveStream = [] {};
  client->ReadLiveStream = [](unsigned char*, unsigned int) { return 0; };
  client->SeekLiveStream = [](long long, int) { return -1LL; };
  client->PositionLiveStream = [] { return -1LL; };
  client->LengthLiveStream = [] { return -1LL; };
  client->GetCurrentClientChannel = [] { return 0; };
  client->SwitchChannel = [](const PVR_CHANNEL&) { return false; };
  client->SignalStatus = SignalStatus;
  client->GetLiveStreamURL = [](const PVR_CHANNEL&) { return ""; };
  client->OpenRecordedStream = [](const PVR_RECORDING&) { return false; };
  client->CloseRecordedStream = [] {};
  client->ReadRecordedStream = [](unsigned char*, unsigned int) { return 0; };
  client->SeekRecordedStream = [](long long, int) { return 0LL; };
  client->PositionRecordedStream = [] { return -1LL; };
  client->LengthRecordedStream = [] { return 0LL; };
  client->DemuxReset = [] {};
  client->DemuxAbort = [] {};
  client->DemuxFlush = [] {};
  client->DemuxRead = []() -> DemuxPacket* { return nullptr; };
  client->GetChannelSwitchDelay = [] { return 0U; };
  client->CanPauseStream = [] { return false; };
  client->PauseStream = [](bool) {};
  client->CanSeekStream = [] { return false; };
  client->SeekTime = [](int, bool, double*) { return false; };
  client->SetSpeed = [](int) {};
  client->GetPlayingTime = [] { return static_cast<time_t>(0); };
  client->GetBufferTimeStart = [] { return static_cast<time_t>(0); };
  client->GetBufferTimeEnd = [] { return static_cast<time_t>(0); };
  client->GetBackendHostname = [] { return ""; };
  client->IsTimeshifting = [] { return false; };
}
