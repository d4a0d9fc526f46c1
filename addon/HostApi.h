#pragma once

// The media-centre host's binary interface for PVR client add-ons (PVR API 4.1.0, GUI API
// 5.10.0) on x86_64 Linux: the values, the records exchanged with the host, the PVR function
// table, the functions an add-on exports and the functions of the host's two helper
// libraries. The add-on and the project's stand-in host are both written against this one
// header, so a layout mistake shows up on both sides of the boundary at once; the
// static_asserts below pin every size and offset the host relies on.
//
// Records marked packed have no padding anywhere. Enumerations are 4-byte ints. Every
// function crossing the boundary has C linkage; references in the function table are passed
// as pointers at the binary level.

#include <sys/types.h>
#include <cstddef>
#include <cstdint>
#include <ctime>

#if !defined(__x86_64__) || !defined(__linux__)
#error "The host interface is declared for x86_64 Linux only"
#endif

// ---------------------------------------------------------------------------------------
// Values

typedef enum ADDON_STATUS {
  ADDON_STATUS_OK = 0,
  ADDON_STATUS_LOST_CONNECTION = 1,
  ADDON_STATUS_NEED_RESTART = 2,
  ADDON_STATUS_NEED_SETTINGS = 3,
  ADDON_STATUS_UNKNOWN = 4,
  ADDON_STATUS_NEED_SAVEDSETTINGS = 5,
  ADDON_STATUS_PERMANENT_FAILURE = 6
} ADDON_STATUS;

typedef enum PVR_ERROR {
  PVR_ERROR_NO_ERROR = 0,
  PVR_ERROR_UNKNOWN = -1,
  PVR_ERROR_NOT_IMPLEMENTED = -2,
  PVR_ERROR_SERVER_ERROR = -3,
  PVR_ERROR_SERVER_TIMEOUT = -4,
  PVR_ERROR_REJECTED = -5,
  PVR_ERROR_ALREADY_PRESENT = -6,
  PVR_ERROR_INVALID_PARAMETERS = -7,
  PVR_ERROR_RECORDING_RUNNING = -8,
  PVR_ERROR_FAILED = -9
} PVR_ERROR;

// Host log levels. The names carry an ADDON_ prefix because <syslog.h> defines LOG_DEBUG,
// LOG_INFO and LOG_NOTICE as macros.
typedef enum addon_log {
  ADDON_LOG_DEBUG = 0,
  ADDON_LOG_INFO = 1,
  ADDON_LOG_NOTICE = 2,
  ADDON_LOG_ERROR = 3
} addon_log_t;

// Kinds of the notifications the host shows to the user.
typedef enum queue_msg { QUEUE_INFO = 0, QUEUE_WARNING = 1, QUEUE_ERROR = 2 } queue_msg_t;

typedef enum PVR_TIMER_STATE {
  PVR_TIMER_STATE_NEW = 0,
  PVR_TIMER_STATE_SCHEDULED = 1,
  PVR_TIMER_STATE_RECORDING = 2,
  PVR_TIMER_STATE_COMPLETED = 3,
  PVR_TIMER_STATE_ABORTED = 4,
  PVR_TIMER_STATE_CANCELLED = 5,
  PVR_TIMER_STATE_CONFLICT_OK = 6,
  PVR_TIMER_STATE_CONFLICT_NOK = 7,
  PVR_TIMER_STATE_ERROR = 8
} PVR_TIMER_STATE;

// Genre type value telling the host to show strGenreDescription instead of a genre of its own.
const int EPG_GENRE_USE_STRING = 0x100;

// Sizes of the fixed text fields. The host reads every one as a terminated string, so at most
// size - 1 characters of text fit.
const size_t PVR_ADDON_NAME_STRING_LENGTH = 1024;
const size_t PVR_ADDON_URL_STRING_LENGTH = 1024;
const size_t PVR_ADDON_DESC_STRING_LENGTH = 1024;
const size_t PVR_ADDON_INPUT_FORMAT_STRING_LENGTH = 32;

// The number of function pointers in the PVR function table.
const size_t PVR_FUNCTION_TABLE_SLOTS = 70;

// ---------------------------------------------------------------------------------------
// Records passed at start-up

// The add-on handle given to ADDON_Create. Only the first field is meant for the add-on: the
// base directory below which the helper libraries live. The host appends entries of its own
// after addonData, so the add-on passes the handle on by pointer and never copies it.
typedef struct AddonCB {
  const char* libBasePath;
  void* addonData;
} AddonCB;

// The properties record given to ADDON_Create.
typedef struct PVR_PROPERTIES {
  const char* strUserPath;    // where the add-on keeps its own data (caches)
  const char* strClientPath;  // the add-on's installation folder
} PVR_PROPERTIES;

// The request handle of the list calls. The add-on hands it back unchanged with every
// transfer; the host finds the collector of the running request through dataAddress.
typedef struct ADDON_HANDLE_STRUCT {
  void* callerAddress;
  void* dataAddress;
  int dataIdentifier;
} ADDON_HANDLE_STRUCT;
typedef ADDON_HANDLE_STRUCT* ADDON_HANDLE;

// ---------------------------------------------------------------------------------------
// PVR records (all packed)

typedef struct __attribute__((packed)) PVR_ADDON_CAPABILITIES {
  bool bSupportsEPG;
  bool bSupportsTV;
  bool bSupportsRadio;
  bool bSupportsRecordings;
  bool bSupportsRecordingsUndelete;
  bool bSupportsTimers;
  bool bSupportsChannelGroups;
  bool bSupportsChannelScan;
  bool bSupportsChannelSettings;
  bool bHandlesInputStream;
  bool bHandlesDemuxing;
  bool bSupportsRecordingPlayCount;
  bool bSupportsLastPlayedPosition;
  bool bSupportsRecordingEdl;
} PVR_ADDON_CAPABILITIES;

typedef struct __attribute__((packed)) PVR_CHANNEL {
  unsigned int iUniqueId;
  bool bIsRadio;
  unsigned int iChannelNumber;
  unsigned int iSubChannelNumber;
  char strChannelName[PVR_ADDON_NAME_STRING_LENGTH];
  char strInputFormat[PVR_ADDON_INPUT_FORMAT_STRING_LENGTH];
  char strStreamURL[PVR_ADDON_URL_STRING_LENGTH];
  unsigned int iEncryptionSystem;
  char strIconPath[PVR_ADDON_URL_STRING_LENGTH];
  bool bIsHidden;
} PVR_CHANNEL;

typedef struct __attribute__((packed)) PVR_CHANNEL_GROUP {
  char strGroupName[PVR_ADDON_NAME_STRING_LENGTH];
  bool bIsRadio;
  unsigned int iPosition;
} PVR_CHANNEL_GROUP;

typedef struct __attribute__((packed)) PVR_CHANNEL_GROUP_MEMBER {
  char strGroupName[PVR_ADDON_NAME_STRING_LENGTH];
  unsigned int iChannelUniqueId;
  unsigned int iChannelNumber;
} PVR_CHANNEL_GROUP_MEMBER;

typedef struct __attribute__((packed)) PVR_SIGNAL_STATUS {
  char strAdapterName[PVR_ADDON_NAME_STRING_LENGTH];
  char strAdapterStatus[PVR_ADDON_NAME_STRING_LENGTH];
  char strServiceName[PVR_ADDON_NAME_STRING_LENGTH];
  char strProviderName[PVR_ADDON_NAME_STRING_LENGTH];
  char strMuxName[PVR_ADDON_NAME_STRING_LENGTH];
  int iSNR;
  int iSignal;
  long iBER;
  long iUNC;
  double dVideoBitrate;
  double dAudioBitrate;
  double dDolbyBitrate;
} PVR_SIGNAL_STATUS;

typedef struct __attribute__((packed)) PVR_TIMER {
  unsigned int iClientIndex;  // identifies the timer within the add-on
  unsigned int iParentClientIndex;
  int iClientChannelUid;
  time_t startTime;
  time_t endTime;
  bool bStartAnyTime;
  bool bEndAnyTime;
  PVR_TIMER_STATE state;
  unsigned int iTimerType;
  char strTitle[PVR_ADDON_NAME_STRING_LENGTH];
  char strEpgSearchString[PVR_ADDON_NAME_STRING_LENGTH];
  bool bFullTextEpgSearch;
  char strDirectory[PVR_ADDON_URL_STRING_LENGTH];
  char strSummary[PVR_ADDON_DESC_STRING_LENGTH];
  int iPriority;
  int iLifetime;
  int iMaxRecordings;
  unsigned int iRecordingGroup;
  time_t firstDay;
  unsigned int iWeekdays;
  unsigned int iPreventDuplicateEpisodes;
  unsigned int iEpgUid;
  unsigned int iMarginStart;
  unsigned int iMarginEnd;
  int iGenreType;
  int iGenreSubType;
} PVR_TIMER;

// A guide entry. The texts are owned by the add-on and need only live until the transfer
// call returns; any of them may be null.
typedef struct __attribute__((packed)) EPG_TAG {
  unsigned int iUniqueBroadcastId;
  const char* strTitle;
  unsigned int iChannelNumber;
  time_t startTime;
  time_t endTime;
  const char* strPlotOutline;
  const char* strPlot;
  const char* strOriginalTitle;
  const char* strCast;
  const char* strDirector;
  const char* strWriter;
  int iYear;
  const char* strIMDBNumber;
  const char* strIconPath;
  int iGenreType;
  int iGenreSubType;
  const char* strGenreDescription;
  time_t firstAired;
  int iParentalRating;
  int iStarRating;
  bool bNotify;
  int iSeriesNumber;
  int iEpisodeNumber;
  int iEpisodePartNumber;
  const char* strEpisodeName;
  unsigned int iFlags;
} EPG_TAG;

// Records only passed through; their layouts are never needed on either side.
struct PVR_RECORDING;
struct PVR_MENUHOOK;
struct PVR_MENUHOOK_DATA;
struct PVR_STREAM_PROPERTIES;
struct PVR_EDL_ENTRY;
struct PVR_TIMER_TYPE;
struct DemuxPacket;

// ---------------------------------------------------------------------------------------
// The PVR function table, filled by the add-on's get_addon; the slot number leads each entry.

typedef struct PVRClient {
  /*  0 */ const char* (*GetPVRAPIVersion)();
  /*  1 */ const char* (*GetMininumPVRAPIVersion)();
  /*  2 */ const char* (*GetGUIAPIVersion)();
  /*  3 */ const char* (*GetMininumGUIAPIVersion)();
  /*  4 */ PVR_ERROR (*GetAddonCapabilities)(PVR_ADDON_CAPABILITIES* capabilities);
  /*  5 */ PVR_ERROR (*GetStreamProperties)(PVR_STREAM_PROPERTIES* properties);
  /*  6 */ const char* (*GetBackendName)();
  /*  7 */ const char* (*GetBackendVersion)();
  /*  8 */ const char* (*GetConnectionString)();
  /*  9 */ PVR_ERROR (*GetDriveSpace)(long long* total, long long* used);
  /* 10 */ PVR_ERROR (*MenuHook)(const PVR_MENUHOOK& hook, const PVR_MENUHOOK_DATA& data);
  /* 11 */ PVR_ERROR (*GetEpg)(ADDON_HANDLE handle, const PVR_CHANNEL& channel, time_t start,
                               time_t end);
  /* 12 */ int (*GetChannelGroupsAmount)();
  /* 13 */ PVR_ERROR (*GetChannelGroups)(ADDON_HANDLE handle, bool radio);
  /* 14 */ PVR_ERROR (*GetChannelGroupMembers)(ADDON_HANDLE handle, const PVR_CHANNEL_GROUP& group);
  /* 15 */ PVR_ERROR (*OpenDialogChannelScan)();
  /* 16 */ int (*GetChannelsAmount)();
  /* 17 */ PVR_ERROR (*GetChannels)(ADDON_HANDLE handle, bool radio);
  /* 18 */ PVR_ERROR (*DeleteChannel)(const PVR_CHANNEL& channel);
  /* 19 */ PVR_ERROR (*RenameChannel)(const PVR_CHANNEL& channel);
  /* 20 */ PVR_ERROR (*MoveChannel)(const PVR_CHANNEL& channel);
  /* 21 */ PVR_ERROR (*OpenDialogChannelSettings)(const PVR_CHANNEL& channel);
  /* 22 */ PVR_ERROR (*OpenDialogChannelAdd)(const PVR_CHANNEL& channel);
  /* 23 */ int (*GetRecordingsAmount)(bool deleted);
  /* 24 */ PVR_ERROR (*GetRecordings)(ADDON_HANDLE handle, bool deleted);
  /* 25 */ PVR_ERROR (*DeleteRecording)(const PVR_RECORDING& recording);
  /* 26 */ PVR_ERROR (*UndeleteRecording)(const PVR_RECORDING& recording);
  /* 27 */ PVR_ERROR (*DeleteAllRecordingsFromTrash)();
  /* 28 */ PVR_ERROR (*RenameRecording)(const PVR_RECORDING& recording);
  /* 29 */ PVR_ERROR (*SetRecordingPlayCount)(const PVR_RECORDING& recording, int count);
  /* 30 */ PVR_ERROR (*SetRecordingLastPlayedPosition)(const PVR_RECORDING& recording, int pos);
  /* 31 */ int (*GetRecordingLastPlayedPosition)(const PVR_RECORDING& recording);
  /* 32 */ PVR_ERROR (*GetRecordingEdl)(const PVR_RECORDING& recording, PVR_EDL_ENTRY* entries,
                                        int* size);
  /* 33 */ PVR_ERROR (*GetTimerTypes)(PVR_TIMER_TYPE* types, int* size);
  /* 34 */ int (*GetTimersAmount)();
  /* 35 */ PVR_ERROR (*GetTimers)(ADDON_HANDLE handle);
  /* 36 */ PVR_ERROR (*AddTimer)(const PVR_TIMER& timer);
  /* 37 */ PVR_ERROR (*DeleteTimer)(const PVR_TIMER& timer, bool force);
  /* 38 */ PVR_ERROR (*UpdateTimer)(const PVR_TIMER& timer);
  /* 39 */ bool (*OpenLiveStream)(const PVR_CHANNEL& channel);
  /* 40 */ void (*CloseLiveStream)();
  /* 41 */ int (*ReadLiveStream)(unsigned char* buffer, unsigned int size);
  /* 42 */ long long (*SeekLiveStream)(long long position, int whence);
  /* 43 */ long long (*PositionLiveStream)();
  /* 44 */ long long (*LengthLiveStream)();
  /* 45 */ int (*GetCurrentClientChannel)();
  /* 46 */ bool (*SwitchChannel)(const PVR_CHANNEL& channel);
  /* 47 */ PVR_ERROR (*SignalStatus)(PVR_SIGNAL_STATUS& status);
  /* 48 */ const char* (*GetLiveStreamURL)(const PVR_CHANNEL& channel);
  /* 49 */ bool (*OpenRecordedStream)(const PVR_RECORDING& recording);
  /* 50 */ void (*CloseRecordedStream)();
  /* 51 */ int (*ReadRecordedStream)(unsigned char* buffer, unsigned int size);
  /* 52 */ long long (*SeekRecordedStream)(long long position, int whence);
  /* 53 */ long long (*PositionRecordedStream)();
  /* 54 */ long long (*LengthRecordedStream)();
  /* 55 */ void (*DemuxReset)();
  /* 56 */ void (*DemuxAbort)();
  /* 57 */ void (*DemuxFlush)();
  /* 58 */ DemuxPacket* (*DemuxRead)();
  /* 59 */ unsigned int (*GetChannelSwitchDelay)();
  /* 60 */ bool (*CanPauseStream)();
  /* 61 */ void (*PauseStream)(bool paused);
  /* 62 */ bool (*CanSeekStream)();
  /* 63 */ bool (*SeekTime)(int time, bool backwards, double* startpts);
  /* 64 */ void (*SetSpeed)(int speed);
  /* 65 */ time_t (*GetPlayingTime)();
  /* 66 */ time_t (*GetBufferTimeStart)();
  /* 67 */ time_t (*GetBufferTimeEnd)();
  /* 68 */ const char* (*GetBackendHostname)();
  /* 69 */ bool (*IsTimeshifting)();
} PVRClient;

// ---------------------------------------------------------------------------------------
// Functions the add-on exports (looked up by these names with dlsym)

extern "C" {
typedef ADDON_STATUS (*ADDON_Create_t)(void* addonHandle, void* properties);
typedef ADDON_STATUS (*ADDON_GetStatus_t)();
typedef void (*ADDON_Stop_t)();
typedef void (*ADDON_Destroy_t)();
typedef void (*ADDON_FreeSettings_t)();
typedef void (*ADDON_ReadSettings_t)();
typedef bool (*ADDON_HasSettings_t)();
typedef unsigned int (*ADDON_GetSettings_t)(void*** settings);
typedef ADDON_STATUS (*ADDON_SetSetting_t)(const char* name, const void* value);
typedef void (*ADDON_Announce_t)(const char* flag, const char* sender, const char* message,
                                 const void* data);
typedef void (*get_addon_t)(void* pvrClientTable);

// ---------------------------------------------------------------------------------------
// The helper libraries, found below AddonCB::libBasePath. Apart from the register calls,
// every function takes the add-on handle and the callback handle that the register call
// returned as its first two arguments.

// "/library.xbmc.addon/libXBMC_addon-x86_64-linux.so"
typedef void* (*XBMC_register_me_t)(void* handle);  // the callback handle; null on failure
typedef void (*XBMC_unregister_me_t)(void* handle, void* cb);
typedef void (*XBMC_log_t)(void* handle, void* cb, int level, const char* text);
typedef bool (*XBMC_get_setting_t)(void* handle, void* cb, const char* name, void* value);
typedef void (*XBMC_queue_notification_t)(void* handle, void* cb, int kind, const char* text);
typedef bool (*XBMC_wake_on_lan_t)(void* handle, void* cb, const char* mac);
typedef char* (*XBMC_unknown_to_utf8_t)(void* handle, void* cb, const char* text);
typedef char* (*XBMC_get_localized_string_t)(void* handle, void* cb, int code);
typedef void (*XBMC_free_string_t)(void* handle, void* cb, char* text);
typedef char* (*XBMC_get_dvd_menu_language_t)(void* handle, void* cb);
typedef void* (*XBMC_open_file_t)(void* handle, void* cb, const char* path, unsigned int flags);
typedef void* (*XBMC_open_file_for_write_t)(void* handle, void* cb, const char* path,
                                            bool overwrite);
typedef ssize_t (*XBMC_read_file_t)(void* handle, void* cb, void* file, void* buffer, size_t size);
typedef bool (*XBMC_read_file_string_t)(void* handle, void* cb, void* file, char* line, int size);
typedef ssize_t (*XBMC_write_file_t)(void* handle, void* cb, void* file, const void* data,
                                     size_t size);
typedef void (*XBMC_flush_file_t)(void* handle, void* cb, void* file);
typedef int64_t (*XBMC_seek_file_t)(void* handle, void* cb, void* file, int64_t position,
                                    int whence);
typedef int (*XBMC_truncate_file_t)(void* handle, void* cb, void* file, int64_t size);
typedef int64_t (*XBMC_get_file_position_t)(void* handle, void* cb, void* file);
typedef int64_t (*XBMC_get_file_length_t)(void* handle, void* cb, void* file);
typedef void (*XBMC_close_file_t)(void* handle, void* cb, void* file);
typedef int (*XBMC_get_file_chunk_size_t)(void* handle, void* cb, void* file);
typedef bool (*XBMC_file_exists_t)(void* handle, void* cb, const char* path, bool useCache);
typedef int (*XBMC_stat_file_t)(void* handle, void* cb, const char* path, void* statBuffer);
typedef bool (*XBMC_delete_file_t)(void* handle, void* cb, const char* path);
typedef bool (*XBMC_can_open_directory_t)(void* handle, void* cb, const char* path);
typedef bool (*XBMC_create_directory_t)(void* handle, void* cb, const char* path);
typedef bool (*XBMC_directory_exists_t)(void* handle, void* cb, const char* path);
typedef bool (*XBMC_remove_directory_t)(void* handle, void* cb, const char* path);

// "/library.xbmc.pvr/libXBMC_pvr-x86_64-linux.so"
typedef void* (*PVR_register_me_t)(void* handle);  // the callback handle; null on failure
typedef void (*PVR_unregister_me_t)(void* handle, void* cb);
typedef void (*PVR_transfer_epg_entry_t)(void* handle, void* cb, ADDON_HANDLE request,
                                         const EPG_TAG* entry);
typedef void (*PVR_transfer_channel_entry_t)(void* handle, void* cb, ADDON_HANDLE request,
                                             const PVR_CHANNEL* channel);
typedef void (*PVR_transfer_timer_entry_t)(void* handle, void* cb, ADDON_HANDLE request,
                                           const PVR_TIMER* timer);
typedef void (*PVR_transfer_recording_entry_t)(void* handle, void* cb, ADDON_HANDLE request,
                                               const void* recording);
typedef void (*PVR_add_menu_hook_t)(void* handle, void* cb, void* menuHook);
typedef void (*PVR_recording_t)(void* handle, void* cb, const char* name, const char* fileName,
                                bool on);
typedef void (*PVR_trigger_timer_update_t)(void* handle, void* cb);
typedef void (*PVR_trigger_recording_update_t)(void* handle, void* cb);
typedef void (*PVR_trigger_channel_update_t)(void* handle, void* cb);
typedef void (*PVR_trigger_channel_groups_update_t)(void* handle, void* cb);
typedef void (*PVR_trigger_epg_update_t)(void* handle, void* cb, unsigned int channelUid);
typedef void (*PVR_transfer_channel_group_t)(void* handle, void* cb, ADDON_HANDLE request,
                                             const PVR_CHANNEL_GROUP* group);
typedef void (*PVR_transfer_channel_group_member_t)(void* handle, void* cb, ADDON_HANDLE request,
                                                    const PVR_CHANNEL_GROUP_MEMBER* member);
}  // extern "C"

// ---------------------------------------------------------------------------------------
// Layout checks: what the host reads at fixed offsets.

static_assert(sizeof(bool) == 1 && sizeof(time_t) == 8 && sizeof(long) == 8,
              "the host interface assumes the x86_64 Linux data model");
static_assert(sizeof(ADDON_STATUS) == 4 && sizeof(PVR_ERROR) == 4 && sizeof(addon_log_t) == 4 &&
                  sizeof(queue_msg_t) == 4 && sizeof(PVR_TIMER_STATE) == 4,
              "enumerations are 4-byte ints");

static_assert(offsetof(AddonCB, libBasePath) == 0, "the base path leads the add-on handle");
static_assert(sizeof(PVR_PROPERTIES) == 16 && offsetof(PVR_PROPERTIES, strClientPath) == 8,
              "PVR_PROPERTIES layout");
static_assert(sizeof(ADDON_HANDLE_STRUCT) == 24 &&
                  offsetof(ADDON_HANDLE_STRUCT, dataAddress) == 8 &&
                  offsetof(ADDON_HANDLE_STRUCT, dataIdentifier) == 16,
              "ADDON_HANDLE_STRUCT layout");

static_assert(sizeof(PVR_ADDON_CAPABILITIES) == 14, "PVR_ADDON_CAPABILITIES is 14 flags");

static_assert(offsetof(PVR_CHANNEL, bIsRadio) == 4, "PVR_CHANNEL is packed");
static_assert(offsetof(PVR_CHANNEL, iChannelNumber) == 5, "PVR_CHANNEL is packed");
static_assert(offsetof(PVR_CHANNEL, strChannelName) == 13, "PVR_CHANNEL is packed");
static_assert(offsetof(PVR_CHANNEL, strInputFormat) == 1037, "PVR_CHANNEL is packed");
static_assert(offsetof(PVR_CHANNEL, strStreamURL) == 1069, "PVR_CHANNEL is packed");
static_assert(offsetof(PVR_CHANNEL, iEncryptionSystem) == 2093, "PVR_CHANNEL is packed");
static_assert(offsetof(PVR_CHANNEL, strIconPath) == 2097, "PVR_CHANNEL is packed");
static_assert(offsetof(PVR_CHANNEL, bIsHidden) == 3121, "PVR_CHANNEL is packed");
static_assert(sizeof(PVR_CHANNEL) == 3122, "PVR_CHANNEL is packed");

static_assert(offsetof(PVR_CHANNEL_GROUP, bIsRadio) == 1024 &&
                  offsetof(PVR_CHANNEL_GROUP, iPosition) == 1025 &&
                  sizeof(PVR_CHANNEL_GROUP) == 1029,
              "PVR_CHANNEL_GROUP is packed");
static_assert(offsetof(PVR_CHANNEL_GROUP_MEMBER, iChannelUniqueId) == 1024 &&
                  offsetof(PVR_CHANNEL_GROUP_MEMBER, iChannelNumber) == 1028 &&
                  sizeof(PVR_CHANNEL_GROUP_MEMBER) == 1032,
              "PVR_CHANNEL_GROUP_MEMBER is packed");

static_assert(offsetof(PVR_SIGNAL_STATUS, strAdapterStatus) == 1024 &&
                  offsetof(PVR_SIGNAL_STATUS, iSNR) == 5120 &&
                  offsetof(PVR_SIGNAL_STATUS, iBER) == 5128 &&
                  offsetof(PVR_SIGNAL_STATUS, dVideoBitrate) == 5144 &&
                  sizeof(PVR_SIGNAL_STATUS) == 5168,
              "PVR_SIGNAL_STATUS is packed");

static_assert(offsetof(PVR_TIMER, iClientChannelUid) == 8, "PVR_TIMER is packed");
static_assert(offsetof(PVR_TIMER, startTime) == 12, "PVR_TIMER is packed");
static_assert(offsetof(PVR_TIMER, bStartAnyTime) == 28, "PVR_TIMER is packed");
static_assert(offsetof(PVR_TIMER, state) == 30, "PVR_TIMER is packed");
static_assert(offsetof(PVR_TIMER, strTitle) == 38, "PVR_TIMER is packed");
static_assert(offsetof(PVR_TIMER, bFullTextEpgSearch) == 2086, "PVR_TIMER is packed");
static_assert(offsetof(PVR_TIMER, strSummary) == 3111, "PVR_TIMER is packed");
static_assert(offsetof(PVR_TIMER, firstDay) == 4151, "PVR_TIMER is packed");
static_assert(offsetof(PVR_TIMER, iGenreSubType) == 4183, "PVR_TIMER is packed");
static_assert(sizeof(PVR_TIMER) == 4187, "PVR_TIMER is packed");

static_assert(offsetof(EPG_TAG, strTitle) == 4, "EPG_TAG is packed");
static_assert(offsetof(EPG_TAG, startTime) == 16, "EPG_TAG is packed");
static_assert(offsetof(EPG_TAG, strPlotOutline) == 32, "EPG_TAG is packed");
static_assert(offsetof(EPG_TAG, iYear) == 80, "EPG_TAG is packed");
static_assert(offsetof(EPG_TAG, iGenreType) == 100, "EPG_TAG is packed");
static_assert(offsetof(EPG_TAG, firstAired) == 116, "EPG_TAG is packed");
static_assert(offsetof(EPG_TAG, bNotify) == 132, "EPG_TAG is packed");
static_assert(offsetof(EPG_TAG, strEpisodeName) == 145, "EPG_TAG is packed");
static_assert(sizeof(EPG_TAG) == 157, "EPG_TAG is packed");

static_assert(sizeof(PVRClient) == PVR_FUNCTION_TABLE_SLOTS * sizeof(void*),
              "the PVR function table has 70 slots and nothing else");
static_assert(offsetof(PVRClient, GetEpg) == 11 * sizeof(void*), "slot 11 is the guide");
static_assert(offsetof(PVRClient, GetChannels) == 17 * sizeof(void*), "slot 17 is the channels");
static_assert(offsetof(PVRClient, GetTimers) == 35 * sizeof(void*), "slot 35 is the timers");
static_assert(offsetof(PVRClient, SignalStatus) == 47 * sizeof(void*), "slot 47 is the signal");
static_assert(offsetof(PVRClient, IsTimeshifting) == 69 * sizeof(void*), "slot 69 is the last");
