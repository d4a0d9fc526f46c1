#include "host/imp/StandInHostImp.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <system_error>

namespace zu {
namespace host {

StandInHostPtr StandInHost::Load(const HostOptions& options, LoadFailure& failure) {
  failure = LoadFailure();
  auto host = std::make_shared<imp::StandInHostImp>();
  if (!host->Open(options, failure))
    return StandInHostPtr();
  return host;
}

namespace imp {
namespace {

const char* const kSlotNames[PVR_FUNCTION_TABLE_SLOTS] = {
    "GetPVRAPIVersion",
    "GetMininumPVRAPIVersion",
    "GetGUIAPIVersion",
    "GetMininumGUIAPIVersion",
    "GetAddonCapabilities",
    "GetStreamProperties",
    "GetBackendName",
    "GetBackendVersion",
    "GetConnectionString",
    "GetDriveSpace",
    "MenuHook",
    "GetEpg",
    "GetChannelGroupsAmount",
    "GetChannelGroups",
    "GetChannelGroupMembers",
    "OpenDialogChannelScan",
    "GetChannelsAmount",
    "GetChannels",
    "DeleteChannel",
    "RenameChannel",
    "MoveChannel",
    "OpenDialogChannelSettings",
    "OpenDialogChannelAdd",
    "GetRecordingsAmount",
    "GetRecordings",
    "DeleteRecording",
    "UndeleteRecording",
    "DeleteAllRecordingsFromTrash",
    "RenameRecording",
    "SetRecordingPlayCount",
    "SetRecordingLastPlayedPosition",
    "GetRecordingLastPlayedPosition",
    "GetRecordingEdl",
    "GetTimerTypes",
    "GetTimersAmount",
    "GetTimers",
    "AddTimer",
    "DeleteTimer",
    "UpdateTimer",
    "OpenLiveStream",
    "CloseLiveStream",
    "ReadLiveStream",
    "SeekLiveStream",
    "PositionLiveStream",
    "LengthLiveStream",
    "GetCurrentClientChannel",
    "SwitchChannel",
    "SignalStatus",
    "GetLiveStreamURL",
    "OpenRecordedStream",
    "CloseRecordedStream",
    "ReadRecordedStream",
    "SeekRecordedStream",
    "PositionRecordedStream",
    "LengthRecordedStream",
    "DemuxReset",
    "DemuxAbort",
    "DemuxFlush",
    "DemuxRead",
    "GetChannelSwitchDelay",
    "CanPauseStream",
    "PauseStream",
    "CanSeekStream",
    "SeekTime",
    "SetSpeed",
    "GetPlayingTime",
    "GetBufferTimeStart",
    "GetBufferTimeEnd",
    "GetBackendHostname",
    "IsTimeshifting",
};

// An absolute, normalised path without a trailing "/" (apart from the root itself).
std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error)
    absolute = path;
  std::string text = absolute.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/')
    text.pop_back();
  return text;
}

std::string FieldText(const char* field, size_t size) {
  return std::string(field, strnlen(field, size));
}

}  // namespace

StandInHostImp::~StandInHostImp() {
  Unload();
}

bool StandInHostImp::Open(const HostOptions& options, LoadFailure& failure) {
  std::string error;
  clientPath_ = AbsolutePath(options.addonFolder);
  if (options.addonFolder.empty()) {
    failure.message = "no add-on folder given";
    return false;
  }
  if (options.hostBase.empty()) {
    failure.message = "no host base directory given";
    return false;
  }
  if (!ReadAddonManifest(clientPath_, manifest_, error)) {
    failure.message = error;
    return false;
  }

  if (options.userPath.empty()) {
    const char* temporary = getenv("TMPDIR");
    std::string pattern =
        std::string(temporary != nullptr && *temporary != '\0' ? temporary : "/tmp") +
        "/nivotv-host-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
      failure.message =
          "cannot create a user data directory from " + pattern + ": " + strerror(errno);
      return false;
    }
    userPath_ = pattern;
  } else {
    userPath_ = AbsolutePath(options.userPath);
    std::error_code created;
    std::filesystem::create_directories(userPath_, created);
    if (created || !std::filesystem::is_directory(userPath_)) {
      failure.message = "cannot create the user data directory " + userPath_ +
                        (created ? ": " + created.message() : "");
      return false;
    }
  }
  hostBase_ = AbsolutePath(options.hostBase);
  logPath_ = options.logPath.empty() ? userPath_ + "/host.log" : AbsolutePath(options.logPath);

  recorder_.reset(new Recorder(logPath_, options.echoToStandardError));
  if (!recorder_->Open(error)) {
    failure.message = error;
    return false;
  }

  std::string libraryPath = clientPath_ + "/" + manifest_.libraryFile;
  recorder_->HostLog(ADDON_LOG_INFO,
                     "loading " + manifest_.id + " " + manifest_.version + " from " + libraryPath);
  if (!std::filesystem::is_regular_file(libraryPath)) {
    failure.message = "the add-on library " + libraryPath + " named by addon.xml is missing";
    recorder_->HostLog(ADDON_LOG_ERROR, failure.message);
    return false;
  }
  dlerror();
  library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library_ == nullptr) {
    const char* reason = dlerror();
    failure.message = "cannot load " + libraryPath + ": " + (reason != nullptr ? reason : "");
    recorder_->HostLog(ADDON_LOG_ERROR, failure.message);
    return false;
  }
  if (!ResolveExports(failure)) {
    recorder_->HostLog(ADDON_LOG_ERROR, failure.message);
    dlclose(library_);
    library_ = nullptr;
    return false;
  }

  handle_.addon.libBasePath = hostBase_.c_str();
  handle_.addon.addonData = recorder_.get();
  handle_.marker = kStandInHandleMarker;
  handle_.bridge = Recorder::Bridge();
  properties_.strUserPath = userPath_.c_str();
  properties_.strClientPath = clientPath_.c_str();

  recorder_->HostLog(ADDON_LOG_INFO, "ADDON_Create with base path " + hostBase_ + ", user path " +
                                         userPath_ + ", client path " + clientPath_);
  ADDON_STATUS status = Guarded("ADDON_Create", ADDON_STATUS_PERMANENT_FAILURE,
                                [&] { return exports_.create(&handle_, &properties_); });
  if (status != ADDON_STATUS_OK) {
    failure.createCalled = true;
    failure.createStatus = status;
    failure.message = "ADDON_Create of " + manifest_.id + " failed with status " +
                      std::to_string(status) + " (" + AddonStatusName(status) + ")";
    recorder_->HostLog(ADDON_LOG_ERROR, failure.message);
    Unload();
    return false;
  }

  Guarded("get_addon", 0, [&] {
    exports_.getAddon(&table_);
    return 0;
  });
  void* const* slots = reinterpret_cast<void* const*>(&table_);
  for (size_t slot = 0; slot < PVR_FUNCTION_TABLE_SLOTS; ++slot) {
    if (slots[slot] == nullptr)
      recorder_->HostLog(ADDON_LOG_ERROR, "get_addon left slot " + std::to_string(slot) + " (" +
                                              kSlotNames[slot] + ") empty");
  }
  recorder_->HostLog(ADDON_LOG_INFO, manifest_.id + " loaded");
  return true;
}

bool StandInHostImp::ResolveExports(LoadFailure& failure) {
  struct Symbol {
    const char* name;
    void** target;
  };
  const Symbol symbols[] = {
      {"ADDON_Create", reinterpret_cast<void**>(&exports_.create)},
      {"ADDON_GetStatus", reinterpret_cast<void**>(&exports_.getStatus)},
      {"ADDON_Stop", reinterpret_cast<void**>(&exports_.stop)},
      {"ADDON_Destroy", reinterpret_cast<void**>(&exports_.destroy)},
      {"ADDON_FreeSettings", reinterpret_cast<void**>(&exports_.freeSettings)},
      {"ADDON_ReadSettings", reinterpret_cast<void**>(&exports_.readSettings)},
      {"ADDON_HasSettings", reinterpret_cast<void**>(&exports_.hasSettings)},
      {"ADDON_GetSettings", reinterpret_cast<void**>(&exports_.getSettings)},
      {"ADDON_SetSetting", reinterpret_cast<void**>(&exports_.setSetting)},
      {"ADDON_Announce", reinterpret_cast<void**>(&exports_.announce)},
      {"get_addon", reinterpret_cast<void**>(&exports_.getAddon)},
  };
  for (const Symbol& symbol : symbols) {
    *symbol.target = dlsym(library_, symbol.name);
    if (*symbol.target == nullptr) {
      failure.message = "the add-on library of " + manifest_.id + " does not export " + symbol.name;
      return false;
    }
  }
  return true;
}

void StandInHostImp::Unload() {
  if (library_ == nullptr)
    return;
  if (!destroyed_)
    Destroy();
  if (dlclose(library_) != 0) {
    const char* reason = dlerror();
    recorder_->HostLog(ADDON_LOG_ERROR,
                       std::string("closing the add-on library failed: ") + (reason ? reason : ""));
  }
  library_ = nullptr;
  recorder_->HostLog(ADDON_LOG_INFO, manifest_.id + " unloaded");
}

template <class Result, class Call>
Result StandInHostImp::Guarded(const char* name, Result fallback, Call call) {
  try {
    return call();
  } catch (const std::exception& exception) {
    recorder_->HostLog(ADDON_LOG_ERROR, std::string("an exception escaped the add-on's ") + name +
                                            ": " + exception.what());
  } catch (...) {
    recorder_->HostLog(ADDON_LOG_ERROR,
                       std::string("an unknown exception escaped the add-on's ") + name);
  }
  return fallback;
}

template <class Slot>
Slot StandInHostImp::Filled(Slot slot, const char* name) {
  if (slot == nullptr)
    recorder_->HostLog(ADDON_LOG_ERROR, std::string("the add-on's table has no ") + name);
  return slot;
}

std::string StandInHostImp::SlotText(const char* (*slot)(), const char* name) {
  if (Filled(slot, name) == nullptr)
    return std::string();
  const char* text = Guarded(name, static_cast<const char*>(nullptr), [&] { return slot(); });
  if (text == nullptr) {
    recorder_->HostLog(ADDON_LOG_ERROR, std::string(name) + " answered a null text");
    return std::string();
  }
  return text;
}

ADDON_STATUS StandInHostImp::GetStatus() {
  return Guarded("ADDON_GetStatus", ADDON_STATUS_UNKNOWN, [&] { return exports_.getStatus(); });
}

void StandInHostImp::ReadSettings() {
  Guarded("ADDON_ReadSettings", 0, [&] {
    exports_.readSettings();
    return 0;
  });
}

bool StandInHostImp::HasSettings() {
  return Guarded("ADDON_HasSettings", false, [&] { return exports_.hasSettings(); });
}

ADDON_STATUS StandInHostImp::SetSetting(const std::string& name, const std::string& value) {
  return Guarded("ADDON_SetSetting", ADDON_STATUS_UNKNOWN, [&] {
    return exports_.setSetting(name.c_str(), static_cast<const void*>(value.c_str()));
  });
}

void StandInHostImp::Stop() {
  Guarded("ADDON_Stop", 0, [&] {
    exports_.stop();
    return 0;
  });
}

void StandInHostImp::Destroy() {
  destroyed_ = true;
  Guarded("ADDON_Destroy", 0, [&] {
    exports_.destroy();
    return 0;
  });
  for (const std::string& library : recorder_->OpenRegistrations())
    recorder_->HostLog(ADDON_LOG_ERROR,
                       "the add-on did not unregister from " + library + " in ADDON_Destroy");
}

BackendInfo StandInHostImp::GetBackendInfo() {
  BackendInfo info;
  info.pvrApiVersion = SlotText(table_.GetPVRAPIVersion, "GetPVRAPIVersion");
  info.minimumPvrApiVersion = SlotText(table_.GetMininumPVRAPIVersion, "GetMininumPVRAPIVersion");
  info.guiApiVersion = SlotText(table_.GetGUIAPIVersion, "GetGUIAPIVersion");
  info.minimumGuiApiVersion = SlotText(table_.GetMininumGUIAPIVersion, "GetMininumGUIAPIVersion");
  info.backendName = SlotText(table_.GetBackendName, "GetBackendName");
  info.backendVersion = SlotText(table_.GetBackendVersion, "GetBackendVersion");
  info.connectionString = SlotText(table_.GetConnectionString, "GetConnectionString");
  info.backendHostname = SlotText(table_.GetBackendHostname, "GetBackendHostname");
  return info;
}

PVR_ERROR StandInHostImp::GetCapabilities(PVR_ADDON_CAPABILITIES& capabilities) {
  memset(&capabilities, 0, sizeof(capabilities));
  auto slot = Filled(table_.GetAddonCapabilities, "GetAddonCapabilities");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return Guarded("GetAddonCapabilities", PVR_ERROR_FAILED, [&] { return slot(&capabilities); });
}

PVR_ERROR StandInHostImp::GetDriveSpace(long long& total, long long& used) {
  total = 0;
  used = 0;
  auto slot = Filled(table_.GetDriveSpace, "GetDriveSpace");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return Guarded("GetDriveSpace", PVR_ERROR_FAILED, [&] { return slot(&total, &used); });
}

int StandInHostImp::GetChannelsAmount() {
  auto slot = Filled(table_.GetChannelsAmount, "GetChannelsAmount");
  return slot == nullptr ? -1 : Guarded("GetChannelsAmount", -1, [&] { return slot(); });
}

int StandInHostImp::GetChannelGroupsAmount() {
  auto slot = Filled(table_.GetChannelGroupsAmount, "GetChannelGroupsAmount");
  return slot == nullptr ? -1 : Guarded("GetChannelGroupsAmount", -1, [&] { return slot(); });
}

int StandInHostImp::GetTimersAmount() {
  auto slot = Filled(table_.GetTimersAmount, "GetTimersAmount");
  return slot == nullptr ? -1 : Guarded("GetTimersAmount", -1, [&] { return slot(); });
}

PVR_ERROR StandInHostImp::GetChannels(bool radio, std::vector<Channel>& entries) {
  entries.clear();
  auto slot = Filled(table_.GetChannels, "GetChannels");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  Recorder::Request request(*recorder_, RecordKind::Channel, "GetChannels");
  PVR_ERROR result =
      Guarded("GetChannels", PVR_ERROR_FAILED, [&] { return slot(request.Handle(), radio); });
  entries = request.Result().channels;
  return result;
}

PVR_ERROR StandInHostImp::GetChannelGroups(bool radio, std::vector<ChannelGroup>& entries) {
  entries.clear();
  auto slot = Filled(table_.GetChannelGroups, "GetChannelGroups");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  Recorder::Request request(*recorder_, RecordKind::Group, "GetChannelGroups");
  PVR_ERROR result =
      Guarded("GetChannelGroups", PVR_ERROR_FAILED, [&] { return slot(request.Handle(), radio); });
  entries = request.Result().groups;
  return result;
}

PVR_ERROR StandInHostImp::GetChannelGroupMembers(const ChannelGroup& group,
                                                 std::vector<GroupMember>& entries) {
  entries.clear();
  auto slot = Filled(table_.GetChannelGroupMembers, "GetChannelGroupMembers");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  PVR_CHANNEL_GROUP record = ToPvrChannelGroup(group);
  Recorder::Request request(*recorder_, RecordKind::Member, "GetChannelGroupMembers");
  PVR_ERROR result = Guarded("GetChannelGroupMembers", PVR_ERROR_FAILED,
                             [&] { return slot(request.Handle(), record); });
  entries = request.Result().members;
  return result;
}

PVR_ERROR StandInHostImp::GetEpg(const Channel& channel, time_t start, time_t end,
                                 std::vector<EpgEntry>& entries) {
  entries.clear();
  auto slot = Filled(table_.GetEpg, "GetEpg");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  PVR_CHANNEL record = ToPvrChannel(channel);
  Recorder::Request request(*recorder_, RecordKind::Epg, "GetEpg");
  PVR_ERROR result = Guarded("GetEpg", PVR_ERROR_FAILED,
                             [&] { return slot(request.Handle(), record, start, end); });
  entries = request.Result().epg;
  return result;
}

PVR_ERROR StandInHostImp::GetTimers(std::vector<Timer>& entries) {
  entries.clear();
  auto slot = Filled(table_.GetTimers, "GetTimers");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  Recorder::Request request(*recorder_, RecordKind::Timer, "GetTimers");
  PVR_ERROR result = Guarded("GetTimers", PVR_ERROR_FAILED, [&] { return slot(request.Handle()); });
  entries = request.Result().timers;
  return result;
}

PVR_ERROR StandInHostImp::AddTimer(const Timer& timer) {
  auto slot = Filled(table_.AddTimer, "AddTimer");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  PVR_TIMER record = ToPvrTimer(timer);
  return Guarded("AddTimer", PVR_ERROR_FAILED, [&] { return slot(record); });
}

PVR_ERROR StandInHostImp::DeleteTimer(const Timer& timer, bool force) {
  auto slot = Filled(table_.DeleteTimer, "DeleteTimer");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  PVR_TIMER record = ToPvrTimer(timer);
  return Guarded("DeleteTimer", PVR_ERROR_FAILED, [&] { return slot(record, force); });
}

PVR_ERROR StandInHostImp::UpdateTimer(const Timer& timer) {
  auto slot = Filled(table_.UpdateTimer, "UpdateTimer");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  PVR_TIMER record = ToPvrTimer(timer);
  return Guarded("UpdateTimer", PVR_ERROR_FAILED, [&] { return slot(record); });
}

PVR_ERROR StandInHostImp::GetSignalStatus(SignalStatus& status) {
  status = SignalStatus();
  auto slot = Filled(table_.SignalStatus, "SignalStatus");
  if (slot == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  PVR_SIGNAL_STATUS record;
  memset(&record, 0, sizeof(record));
  PVR_ERROR result = Guarded("SignalStatus", PVR_ERROR_FAILED, [&] { return slot(record); });
  status.adapterName = FieldText(record.strAdapterName, sizeof(record.strAdapterName));
  status.adapterStatus = FieldText(record.strAdapterStatus, sizeof(record.strAdapterStatus));
  status.serviceName = FieldText(record.strServiceName, sizeof(record.strServiceName));
  status.providerName = FieldText(record.strProviderName, sizeof(record.strProviderName));
  status.muxName = FieldText(record.strMuxName, sizeof(record.strMuxName));
  status.snr = record.iSNR;
  status.signal = record.iSignal;
  status.ber = record.iBER;
  status.unc = record.iUNC;
  status.videoBitrate = record.dVideoBitrate;
  status.audioBitrate = record.dAudioBitrate;
  status.dolbyBitrate = record.dDolbyBitrate;
  return result;
}

std::string StandInHostImp::GetLiveStreamUrl(const Channel& channel) {
  auto slot = Filled(table_.GetLiveStreamURL, "GetLiveStreamURL");
  if (slot == nullptr)
    return std::string();
  PVR_CHANNEL record = ToPvrChannel(channel);
  const char* text =
      Guarded("GetLiveStreamURL", static_cast<const char*>(nullptr), [&] { return slot(record); });
  if (text == nullptr) {
    recorder_->HostLog(ADDON_LOG_ERROR, "GetLiveStreamURL answered a null text");
    return std::string();
  }
  return text;
}

std::vector<LogLine> StandInHostImp::LogLines() const {
  return recorder_->LogLines();
}

std::vector<Notification> StandInHostImp::Notifications() const {
  return recorder_->Notifications();
}

std::vector<Trigger> StandInHostImp::Triggers() const {
  return recorder_->Triggers();
}

std::optional<Trigger> StandInHostImp::TakeTrigger(TriggerKind kind,
                                                   std::chrono::milliseconds bound) {
  return recorder_->TakeTrigger(kind, bound);
}

bool StandInHostImp::WaitForLogLine(const std::string& text, std::chrono::milliseconds bound) {
  return recorder_->WaitForLogLine(text, bound);
}

size_t StandInHostImp::OpenRegistrations() const {
  return recorder_->OpenRegistrations().size();
}

size_t StandInHostImp::HostErrors() const {
  return recorder_->HostErrors();
}

}  // namespace imp
}  // namespace host
}  // namespace zu
