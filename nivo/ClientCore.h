#pragma once

#include <atomic>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/SharedPtr.h"
#include "multi_threading/Mutex.h"
#include "multi_threading/Thread.h"
#include "multi_threading/Time.h"
#include "nivo/Channel.h"
#include "nivo/FailureRun.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

class Host;
class HttpPageReader;
class TraceTarget;

// The client as the media-centre host sees it, without knowing which host that is: the
// channel and guide tables, their loading and caching, the walks that hand them to the host,
// and the start-up and shut-down of everything but the host binding. An adapter per host API
// derives from it, binds the host, and reaches the client through these operations.
//
// Threads: the host calls the operations from its own threads; each one that touches the
// tables holds the client mutex for its whole work. stopping ends running walks early.
class ClientCore {
 public:
  // Status values, as the host's add-on status.
  enum Status {
    StatusOk = 0,
    StatusNeedRestart = 2,
    StatusUnknown = 4,
    StatusPermanentFailure = 6
  };
  // Results of the host requests, as the host's PVR error values.
  enum Result { ResultNoError = 0, ResultUnknown = -1, ResultNotImplemented = -2 };

  // Creates the page reader (its socket server starts here) and the client mutex; status
  // StatusUnknown. Nothing is loaded and nothing is requested.
  ClientCore();
  // DeInit, then the members in reverse order, the page reader's socket server last but one.
  virtual ~ClientCore();

  ClientCore(const ClientCore&) = delete;
  ClientCore& operator=(const ClientCore&) = delete;

  // Routes all diagnostics output into the host log (errors also as notifications), takes
  // the paths, and creates "channel_logos", "show_logos" and "epg" below the user path (a
  // failure is logged and changes nothing). host is not owned and must stay usable until
  // DeInit. Returns status: StatusOk. Call with the client mutex held.
  int Init(Host& host, const std::string& userPath, const std::string& clientPath);
  // Sets stopping; when Init ran: stops the guide update thread, status StatusNeedRestart,
  // returns output to the standard streams and lets go of the host (ReleaseHost). Safe to
  // call more than once and from any thread.
  void DeInit();

  // status, read under the client mutex.
  int GetStatus();

  // When the channel table is empty: loads it from the stored tables, the provider's station
  // list and playlists and the shipped radio playlist, saves it to the channel cache, and
  // reads the guide cache. A table that stays empty is loaded again by the next call. Cache
  // files that cannot be read are logged and skipped. Takes the client mutex.
  void EnsureChannelsLoaded();

  // The host requests (after EnsureChannelsLoaded, under the client mutex). The walks hand
  // one record per entry to the host with handle, in ascending order, and end early when
  // stopping is set. GetChannels and GetChannelGroups give ResultNoError when channels is
  // non-empty afterwards, ResultNotImplemented otherwise; GetChannelGroupMembers always
  // ResultNoError.
  int GetChannels(void* handle, bool radio);
  int GetChannelGroups(void* handle, bool radio);
  // The members of the group of that name and kind: the channels of the kind that carry the
  // name.
  int GetChannelGroupMembers(void* handle, const std::string& groupName, bool radio);
  // Number of channels (TV and radio) and of groups.
  int GetChannelsAmount();
  int GetChannelGroupsAmount();

  // Reads the whole file through the host. False, with data unchanged, when it cannot be
  // read; logs a Warning "Unable to open file '<path>'".
  bool LoadData(const std::string& path, std::string& data);
  // Replaces the file through the host; false when it cannot be written, which is logged
  // naming the path: the first failure of the client's life as an Error, later ones as
  // Warnings. A file written in part is deleted by the host.
  bool SaveData(const std::string& path, const std::string& data);

  // The local logo file of a TV channel (it need not exist yet).
  std::string GetChannelLogoPath(const Channel& channel) const;

  // ---- Channel catalogue ----

  // Writes channels to "channels.zug" in the user path; an empty table is never written. A
  // write failure is silent. Takes the client mutex.
  void SaveChannels();
  // The stored channel table: the shipped "tv.zug" of the installation path, overlaid by the
  // channels of "channels.zug" in the user path that have a stream URL. A missing file adds
  // nothing (Warning); a file that is not a channel table adds nothing either (Error naming
  // the file). Never throws for bad files.
  Channels LoadCachedChannels();
  // When channels is empty: replaces it with the stored table merged with the provider's
  // station list and playlists, and registers the groups of the table. Takes the client mutex.
  void LoadTVChannels();
  // Adds the radio channels of the shipped "radio.m3u" (uids from 10000 in file order, each
  // replacing whatever was stored under its uid) and registers the groups of the table: those
  // of its TV channels as TV groups, those of its radio channels as radio groups. Takes the
  // client mutex.
  void LoadRadioChannels();
  // Writes data to the channel's logo file through the host (see SaveData). A logo that could
  // not be written is not downloaded again while the client lives.
  void SaveChannelLogo(const Channel& channel, const std::string& data);
  // Downloads the logo of a TV channel whose logo file does not exist yet and saves it; radio
  // channels, existing files and logos that could not be written are left alone. A failed
  // download leaves no file, so the next call tries again; while downloads keep failing only
  // the first failure is an Error, and an invalid logo URL is an Error once per channel. Takes
  // the client mutex; blocks for the download.
  void UpdateChannelLogo(const Channel& channel);

  // ---- Programme guide ----

  // Answers the host's guide request for channel uid and the window [start, end) (seconds
  // since the epoch): hands every show of the channel's guide to the host request handle, in
  // start order, after fetching the part of the window the guide cache lacks (merged into the
  // cached shows, see MergeShows) and, in detailed mode, the details of coming shows; then
  // rewrites the channel's guide cache. Exceptions of the show readers are logged here and
  // never leave it. While the show list (or details) requests of the guide requests keep
  // failing, only the first failure is logged as an Error, the rest as Warnings. Takes the
  // client mutex. False when the channel is unknown (logged); true otherwise, radio channels
  // included (they have no guide).
  bool UpdateEPGForChannel(void* handle, unsigned int uid, time_t start, time_t end);
  // Fills epg from the guide cache files of every channel; a file that cannot be read is
  // logged and skipped, and the channel keeps what epg held. Call with the client mutex held,
  // after the channel table was loaded.
  void LoadEPG();
  // userPath/epg/channel_<uid>.zug: the guide cache file of the channel.
  std::string GetEPGCacheFileName(const Channel& channel) const;

  // How long the guide update thread waits after its start before it switches to detailed
  // mode, and between two refresh triggers. Read when the thread is created.
  zu::Time epgUpdateWait = zu::Time::FromSeconds(30);
  // How long one guide request may spend reading show details: once a details request ends
  // after that much time, the remaining shows wait for the next guide request. At least one
  // show is read per request. Read by every guide request.
  zu::Time epgDetailsBudget = zu::Time::FromSeconds(30);

  // An add-on status value: StatusUnknown after construction, StatusOk after Init,
  // StatusNeedRestart after DeInit, StatusPermanentFailure during destruction.
  int status = StatusUnknown;
  // The host's user data path of the add-on: root of the caches and logos.
  std::string userPath;
  // The add-on's installation path: the files shipped with it.
  std::string clientPath;
  // Fetches the provider's pages; shared with the readers. Holds the HTTP socket server.
  SharedPtr<HttpPageReader> pageReader;
  // The channel table; empty means not loaded yet.
  Channels channels;
  ChannelGroups channelGroups;
  // The guide table: channel unique id -> the channel's shows.
  std::map<unsigned int, TVShows> epg;
  // The guide update thread; empty until every channel's guide was requested once. Written
  // under the client mutex.
  multi_threading::ThreadPtr epgUpdateThread;
  // Set once by the guide update thread: guide requests then also read show details.
  std::atomic<bool> detailedEpgTriggered{false};
  // Guide requests for known channels served so far (client mutex).
  unsigned int epgRequestCount = 0;
  // The client mutex (recursive).
  multi_threading::MutexPtr mutex;
  // Set first thing by DeInit; walks over channels and shows end when they see it.
  std::atomic<bool> stopping{false};

 protected:
  // Called by DeInit under the client mutex after the output routing was returned to the
  // standard streams: the adapter releases its host binding here.
  virtual void ReleaseHost() {}

  // The host, set by Init and cleared by DeInit; not owned.
  Host* host = nullptr;

 private:
  // The guide update thread calls the host and sets detailedEpgTriggered.
  friend class EPGUpdateThread;

  // ---- Channel catalogue ----
  // channelGroups = the groups the channels of the table carry, each with its channel's kind.
  void RegisterChannelGroups();
  // Reads the channel table archive at path into table. False, with table unchanged, when the
  // file cannot be read or is not a channel table (logged).
  bool ReadChannelTable(const std::string& path, Channels& table);
  // An informational notification to the host, when one is bound.
  void NotifyHost(const std::string& text);

  // ---- Programme guide ----
  // The name of a channel's guide cache file in the directory "epg".
  static std::string EPGCacheFileName(unsigned int uid);
  // The names of the entries of the directory "epg"; false when it cannot be listed.
  bool ListEPGCacheFiles(std::set<std::string>& names) const;
  // Creates and starts the guide update thread unless it exists or the client is shutting
  // down. Client mutex held.
  void StartEPGUpdateThread();
  // Reads the details of the coming shows of shows that lack them, in order, until one
  // fails with an exception (logged), the pass has taken epgDetailsBudget, or stopping is set;
  // the rest waits for the next request. A page that does not come is logged by the reader
  // and its show is tried again with the next request.
  // Shows of id 0 are skipped: the provider has no details for them.
  void ReadEPGDetails(const Channel& channel, const std::vector<TVShow*>& shows);

  void InstallLogBridge(Host& host);
  void RemoveLogBridge();
  void CreateCacheDirectory(const std::string& name, const char* failure);

  // Set by Init, cleared by the DeInit that releases the host; read without the mutex.
  std::atomic<bool> initialised_{false};
  // The targets installed by InstallLogBridge, kept to detach them from the host.
  std::vector<SharedPtr<TraceTarget>> logTargets_;

  // Runs of like failures (see FailureRun). Guide requests: show lists, show details and logo
  // downloads each end their run with a success. Files that cannot be written and invalid logo
  // URLs (per channel uid) are Errors once in the client's life.
  FailureRun showListFailures_;
  FailureRun showDetailsFailures_;
  FailureRun logoFailures_;
  FailureRun fileWriteFailures_;
  std::map<unsigned int, FailureRun> invalidLogoUrls_;
  // Logo files that could not be written (client mutex): not downloaded again.
  std::set<std::string> unwritableLogos_;
};

}  // namespace nivo
}  // namespace zu
