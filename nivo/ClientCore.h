#pragma once

#include <atomic>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "base/SharedPtr.h"
#include "multi_threading/Mutex.h"
#include "multi_threading/Thread.h"
#include "nivo/Channel.h"
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

  // Loads the channel table (and with it the guide cache) when it is empty. Call with the
  // client mutex held; exceptions of the cache readers leave it, the tables stay empty.
  void EnsureChannelsLoaded();

  // The host requests (after EnsureChannelsLoaded, under the client mutex). The walks hand
  // one record per entry to the host with handle, in ascending order, and end early when
  // stopping is set. GetChannels and GetChannelGroups give ResultNoError when channels is
  // non-empty afterwards, ResultNotImplemented otherwise; GetChannelGroupMembers always
  // ResultNoError.
  int GetChannels(void* handle, bool radio);
  int GetChannelGroups(void* handle, bool radio);
  int GetChannelGroupMembers(void* handle, const std::string& groupName);
  // Number of channels (TV and radio) and of groups.
  int GetChannelsAmount();
  int GetChannelGroupsAmount();

  // Hands the shows of channel uid for the window to the host request handle, fetching what
  // the guide cache lacks. False when the channel is unknown (logged).
  bool UpdateEPGForChannel(void* handle, unsigned int uid, time_t start, time_t end);

  // Reads the whole file through the host. False, with data unchanged, when it cannot be
  // read; logs a Warning "Unable to open file '<path>'".
  bool LoadData(const std::string& path, std::string& data);
  // Replaces the file through the host; false when it cannot be written.
  bool SaveData(const std::string& path, const std::string& data);

  // The local logo file of a TV channel (it need not exist yet).
  std::string GetChannelLogoPath(const Channel& channel) const;

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
  // The guide update thread; empty until every channel's guide was requested once.
  multi_threading::ThreadPtr epgUpdateThread;
  // Set once by the guide update thread: guide requests then also read show details.
  std::atomic<bool> detailedEpgTriggered{false};
  // Guide requests served so far.
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
  void InstallLogBridge(Host& host);
  void RemoveLogBridge();
  void CreateCacheDirectory(const std::string& name, const char* failure);

  // Set by Init, cleared by the DeInit that releases the host; read without the mutex.
  std::atomic<bool> initialised_{false};
  // The targets installed by InstallLogBridge, kept to detach them from the host.
  std::vector<SharedPtr<TraceTarget>> logTargets_;
};

}  // namespace nivo
}  // namespace zu
