// The PVR function table handed to the host by get_addon. The functions are thin: they find
// the client, forward to it and keep exceptions from reaching the host. Everything this
// live-TV source does not do (recordings, streams of its own, demultiplexing) answers "not
// implemented" or an empty result.

#include <cstring>
#include <string>

#include "addon/ClientInstance.h"
#include "addon/HostApi.h"
#include "addon/NivoTVClient.h"
#include "addon/PvrRecords.h"
#include "nivo/HostBoundary.h"

using zu::nivo::CallGuarded;
using zu::nivo::GetClientInstance;
using zu::nivo::NivoTVClient;

namespace {

const char* GetPVRAPIVersion() {
  return "4.1.0";
}
const char* GetMininumPVRAPIVersion() {
  return "4.1.0";
}
const char* GetGUIAPIVersion() {
  return "5.10.0";
}
const char* GetMininumGUIAPIVersion() {
  return "5.10.0";
}

// Flags 4 (recordings undelete) and 8 (channel settings) stay as the host passed them.
PVR_ERROR GetAddonCapabilities(PVR_ADDON_CAPABILITIES* capabilities) {
  if (capabilities == nullptr)
    return PVR_ERROR_INVALID_PARAMETERS;
  capabilities->bSupportsEPG = true;
  capabilities->bSupportsTV = true;
  capabilities->bSupportsRadio = true;
  capabilities->bSupportsRecordings = false;
  capabilities->bSupportsTimers = false;
  capabilities->bSupportsChannelGroups = true;
  capabilities->bSupportsChannelScan = false;
  capabilities->bHandlesInputStream = false;
  capabilities->bHandlesDemuxing = false;
  capabilities->bSupportsRecordingPlayCount = false;
  capabilities->bSupportsLastPlayedPosition = false;
  capabilities->bSupportsRecordingEdl = false;
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR GetStreamProperties(PVR_STREAM_PROPERTIES*) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}

const char* GetBackendName() {
  return "ZUNivoTV";
}
const char* GetBackendVersion() {
  return "4.0.2";
}
const char* GetConnectionString() {
  return "connected";
}

// Nothing is recorded, so the space is unlimited and unused.
PVR_ERROR GetDriveSpace(long long* total, long long* used) {
  if (total == nullptr || used == nullptr)
    return PVR_ERROR_INVALID_PARAMETERS;
  *total = 9223372036854775807LL;
  *used = 0;
  return PVR_ERROR_NO_ERROR;
}

PVR_ERROR MenuHook(const PVR_MENUHOOK&, const PVR_MENUHOOK_DATA&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}

PVR_ERROR GetEPGForChannel(ADDON_HANDLE handle, const PVR_CHANNEL& channel, time_t start,
                           time_t end) {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return CallGuarded("PVR_ERROR GetEPGForChannel(ADDON_HANDLE, const PVR_CHANNEL&, time_t, time_t)",
                     PVR_ERROR_NOT_IMPLEMENTED, [&] {
                       // An unknown channel is logged by the client; the host gets an empty guide.
                       client->Core().UpdateEPGForChannel(handle, channel.iUniqueId, start, end);
                       return PVR_ERROR_NO_ERROR;
                     });
}

int GetChannelGroupsAmount() {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return -1;
  return CallGuarded("int GetChannelGroupsAmount()", -1,
                     [client] { return client->Core().GetChannelGroupsAmount(); });
}

PVR_ERROR GetChannelGroups(ADDON_HANDLE handle, bool radio) {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return CallGuarded(
      "PVR_ERROR GetChannelGroups(ADDON_HANDLE, bool)", PVR_ERROR_NOT_IMPLEMENTED,
      [&] { return static_cast<PVR_ERROR>(client->Core().GetChannelGroups(handle, radio)); });
}

PVR_ERROR GetChannelGroupMembers(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP& group) {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return CallGuarded("PVR_ERROR GetChannelGroupMembers(ADDON_HANDLE, const PVR_CHANNEL_GROUP&)",
                     PVR_ERROR_NOT_IMPLEMENTED, [&] {
                       // The host's field need not be terminated: read no further than the field.
                       const std::string name(
                           group.strGroupName,
                           strnlen(group.strGroupName, sizeof(group.strGroupName)));
                       // A name can be a TV group and a radio group, each with its own members.
                       return static_cast<PVR_ERROR>(
                           client->Core().GetChannelGroupMembers(handle, name, group.bIsRadio));
                     });
}

PVR_ERROR OpenDialogChannelScan() {
  return PVR_ERROR_NOT_IMPLEMENTED;
}

int GetChannelsAmount() {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return -1;
  return CallGuarded("int GetChannelsAmount()", -1,
                     [client] { return client->Core().GetChannelsAmount(); });
}

PVR_ERROR GetChannels(ADDON_HANDLE handle, bool radio) {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return CallGuarded("PVR_ERROR GetChannels(ADDON_HANDLE, bool)", PVR_ERROR_NOT_IMPLEMENTED, [&] {
    return static_cast<PVR_ERROR>(client->Core().GetChannels(handle, radio));
  });
}

PVR_ERROR DeleteChannel(const PVR_CHANNEL&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR RenameChannel(const PVR_CHANNEL&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR MoveChannel(const PVR_CHANNEL&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR OpenDialogChannelSettings(const PVR_CHANNEL&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR OpenDialogChannelAdd(const PVR_CHANNEL&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}

int GetRecordingsAmount(bool) {
  return -1;
}
PVR_ERROR GetRecordings(ADDON_HANDLE, bool) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR DeleteRecording(const PVR_RECORDING&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR UndeleteRecording(const PVR_RECORDING&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR DeleteAllRecordingsFromTrash() {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR RenameRecording(const PVR_RECORDING&) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR SetRecordingPlayCount(const PVR_RECORDING&, int) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR SetRecordingLastPlayedPosition(const PVR_RECORDING&, int) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
int GetRecordingLastPlayedPosition(const PVR_RECORDING&) {
  return -1;
}
PVR_ERROR GetRecordingEdl(const PVR_RECORDING&, PVR_EDL_ENTRY*, int*) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}
PVR_ERROR GetTimerTypes(PVR_TIMER_TYPE*, int*) {
  return PVR_ERROR_NOT_IMPLEMENTED;
}

int GetTimersAmount() {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return 0;
  return CallGuarded("int GetTimersAmount()", 0, [client] { return client->GetTimersAmount(); });
}

PVR_ERROR GetTimers(ADDON_HANDLE handle) {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return CallGuarded("PVR_ERROR GetTimers(ADDON_HANDLE)", PVR_ERROR_NOT_IMPLEMENTED,
                     [&] { return client->GetTimers(handle); });
}

PVR_ERROR AddTimer(const PVR_TIMER& timer) {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return CallGuarded("PVR_ERROR AddTimer(const PVR_TIMER&)", PVR_ERROR_NOT_IMPLEMENTED,
                     [&] { return client->AddTimer(timer); });
}

PVR_ERROR DeleteTimer(const PVR_TIMER& timer, bool) {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return CallGuarded("PVR_ERROR DeleteTimer(const PVR_TIMER&, bool)", PVR_ERROR_NOT_IMPLEMENTED,
                     [&] { return client->DeleteTimer(timer); });
}

PVR_ERROR UpdateTimer(const PVR_TIMER& timer) {
  NivoTVClient* client = GetClientInstance();
  if (client == nullptr)
    return PVR_ERROR_NOT_IMPLEMENTED;
  return CallGuarded("PVR_ERROR UpdateTimer(const PVR_TIMER&)", PVR_ERROR_NOT_IMPLEMENTED,
                     [&] { return client->UpdateTimer(timer); });
}

// The host plays the stream URLs itself; the add-on handles no stream.
bool OpenLiveStream(const PVR_CHANNEL&) {
  return false;
}
void CloseLiveStream() {}
int ReadLiveStream(unsigned char*, unsigned int) {
  return 0;
}
long long SeekLiveStream(long long, int) {
  return -1;
}
long long PositionLiveStream() {
  return -1;
}
long long LengthLiveStream() {
  return -1;
}
int GetCurrentClientChannel() {
  return 0;
}
bool SwitchChannel(const PVR_CHANNEL&) {
  return false;
}

PVR_ERROR SignalStatus(PVR_SIGNAL_STATUS& status) {
  return CallGuarded("PVR_ERROR SignalStatus(PVR_SIGNAL_STATUS&)", PVR_ERROR_NO_ERROR, [&] {
    zu::nivo::CopyToField(status.strAdapterName, "ZUNivoTV ZUNivoTV Adapter");
    zu::nivo::CopyToField(status.strAdapterStatus,
                          GetClientInstance() != nullptr ? "OK" : "Off line");
    return PVR_ERROR_NO_ERROR;
  });
}

const char* GetLiveStreamURL(const PVR_CHANNEL&) {
  return "";
}

bool OpenRecordedStream(const PVR_RECORDING&) {
  return false;
}
void CloseRecordedStream() {}
int ReadRecordedStream(unsigned char*, unsigned int) {
  return 0;
}
long long SeekRecordedStream(long long, int) {
  return 0;
}
long long PositionRecordedStream() {
  return -1;
}
long long LengthRecordedStream() {
  return 0;
}

void DemuxReset() {}
void DemuxAbort() {}
void DemuxFlush() {}
DemuxPacket* DemuxRead() {
  return nullptr;
}

unsigned int GetChannelSwitchDelay() {
  return 0;
}
bool CanPauseStream() {
  return false;
}
void PauseStream(bool) {}
bool CanSeekStream() {
  return false;
}
bool SeekTime(int, bool, double*) {
  return false;
}
void SetSpeed(int) {}
time_t GetPlayingTime() {
  return 0;
}
time_t GetBufferTimeStart() {
  return 0;
}
time_t GetBufferTimeEnd() {
  return 0;
}
const char* GetBackendHostname() {
  return "";
}
bool IsTimeshifting() {
  return false;
}

}  // namespace

extern "C" void get_addon(void* pvrClientTable) {
  if (pvrClientTable == nullptr)
    return;
  PVRClient* table = static_cast<PVRClient*>(pvrClientTable);
  table->GetPVRAPIVersion = GetPVRAPIVersion;
  table->GetMininumPVRAPIVersion = GetMininumPVRAPIVersion;
  table->GetGUIAPIVersion = GetGUIAPIVersion;
  table->GetMininumGUIAPIVersion = GetMininumGUIAPIVersion;
  table->GetAddonCapabilities = GetAddonCapabilities;
  table->GetStreamProperties = GetStreamProperties;
  table->GetBackendName = GetBackendName;
  table->GetBackendVersion = GetBackendVersion;
  table->GetConnectionString = GetConnectionString;
  table->GetDriveSpace = GetDriveSpace;
  table->MenuHook = MenuHook;
  table->GetEpg = GetEPGForChannel;
  table->GetChannelGroupsAmount = GetChannelGroupsAmount;
  table->GetChannelGroups = GetChannelGroups;
  table->GetChannelGroupMembers = GetChannelGroupMembers;
  table->OpenDialogChannelScan = OpenDialogChannelScan;
  table->GetChannelsAmount = GetChannelsAmount;
  table->GetChannels = GetChannels;
  table->DeleteChannel = DeleteChannel;
  table->RenameChannel = RenameChannel;
  table->MoveChannel = MoveChannel;
  table->OpenDialogChannelSettings = OpenDialogChannelSettings;
  table->OpenDialogChannelAdd = OpenDialogChannelAdd;
  table->GetRecordingsAmount = GetRecordingsAmount;
  table->GetRecordings = GetRecordings;
  table->DeleteRecording = DeleteRecording;
  table->UndeleteRecording = UndeleteRecording;
  table->DeleteAllRecordingsFromTrash = DeleteAllRecordingsFromTrash;
  table->RenameRecording = RenameRecording;
  table->SetRecordingPlayCount = SetRecordingPlayCount;
  table->SetRecordingLastPlayedPosition = SetRecordingLastPlayedPosition;
  table->GetRecordingLastPlayedPosition = GetRecordingLastPlayedPosition;
  table->GetRecordingEdl = GetRecordingEdl;
  table->GetTimerTypes = GetTimerTypes;
  table->GetTimersAmount = GetTimersAmount;
  table->GetTimers = GetTimers;
  table->AddTimer = AddTimer;
  table->DeleteTimer = DeleteTimer;
  table->UpdateTimer = UpdateTimer;
  table->OpenLiveStream = OpenLiveStream;
  table->CloseLiveStream = CloseLiveStream;
  table->ReadLiveStream = ReadLiveStream;
  table->SeekLiveStream = SeekLiveStream;
  table->PositionLiveStream = PositionLiveStream;
  table->LengthLiveStream = LengthLiveStream;
  table->GetCurrentClientChannel = GetCurrentClientChannel;
  table->SwitchChannel = SwitchChannel;
  table->SignalStatus = SignalStatus;
  table->GetLiveStreamURL = GetLiveStreamURL;
  table->OpenRecordedStream = OpenRecordedStream;
  table->CloseRecordedStream = CloseRecordedStream;
  table->ReadRecordedStream = ReadRecordedStream;
  table->SeekRecordedStream = SeekRecordedStream;
  table->PositionRecordedStream = PositionRecordedStream;
  table->LengthRecordedStream = LengthRecordedStream;
  table->DemuxReset = DemuxReset;
  table->DemuxAbort = DemuxAbort;
  table->DemuxFlush = DemuxFlush;
  table->DemuxRead = DemuxRead;
  table->GetChannelSwitchDelay = GetChannelSwitchDelay;
  table->CanPauseStream = CanPauseStream;
  table->PauseStream = PauseStream;
  table->CanSeekStream = CanSeekStream;
  table->SeekTime = SeekTime;
  table->SetSpeed = SetSpeed;
  table->GetPlayingTime = GetPlayingTime;
  table->GetBufferTimeStart = GetBufferTimeStart;
  table->GetBufferTimeEnd = GetBufferTimeEnd;
  table->GetBackendHostname = GetBackendHostname;
  table->IsTimeshifting = IsTimeshifting;
}
