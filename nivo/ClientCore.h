#pragma once

#include <atomic>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/SharedPtr.h"
#include "multi_threading/Mutex.h"
#include "multi_threading/Thread.h"
#include "multi_threading/Time.h"
#include "nivo/ChannelCatalogue.h"
#include "nivo/EPGUpdateThread.h"
#include "nivo/FailureRun.h"
#include "nivo/HostLogBridge.h"
#include "net/SocketServer.h"
#include "nivo/HttpPageReader.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

class GuideFetcher;
class GuidePrefetch;
class GuideStore;
class Host;
class HostFiles;
class LogoStore;

// The client as the media-centre host sees it, without knowing which host that is: the one
// facade an adapter per host API holds and calls. It composes the parts that do the work (the
// channel catalogue, the guide store, the guide fetcher, the logo store, the host's files)
// and answers the host's requests with them: the channel, group and member walks, the guide
// requests, the lazy channel load, and the start-up and shut-down of everything but the
// host binding, the guide update thread included.
//
// Threads: the host calls the operations from its own threads; each one takes the client
// lock for its whole work, network waits included. The guide update thread and the guide
// prefetch never take it. DeInit may come from any thread and ends running walks, requests
// and the prefetch early.
class ClientCore final : private EPGUpdateThread::Client {
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

  struct Options {
    // How long the guide update thread waits after its start before it switches to detailed
    // mode, and between two refresh triggers.
    zu::Time epgUpdateWait = zu::Time::FromSeconds(30);
    // How long one guide request may spend reading show details: once a details request ends
    // after that much time, the remaining shows wait for the next guide request. At least one
    // show is read per request.
    zu::Time epgDetailsBudget = zu::Time::FromSeconds(30);
    // The bounds of the client's page readers, and whether they keep their connections.
    HttpPageReader::Options pageReader;
    // How many requests at a time the guide prefetch keeps in flight, each on a page reader of
    // its own: once the channel table is loaded, the guide of the host's window (see
    // epgPastDays) is fetched for every TV channel in the background, so that the host's
    // guide requests find it stored. 0: no prefetch; each guide request fetches what it needs.
    unsigned int prefetchReaders = 0;
    // Whether the prefetch lets every other thread go first until the host has its channels
    // (its first group members or guide request), so that it does not slow the host's start.
    bool prefetchInBackground = false;
    // The host's guide window: the days before and after now that its guide requests cover
    // (negative: as many as there are). The prefetch covers at most 14 days either way.
    int epgPastDays = 1;
    int epgFutureDays = 3;
    // Whether a guide request writes the channel's guide cache also when it changed nothing
    // (no show fetched, dropped or given details), as when the prefetch stored the window.
    bool rewriteUnchangedGuide = true;
  };

  // Creates the socket server (its thread starts here), the page readers and the client lock;
  // status StatusUnknown. Nothing is loaded and nothing is requested.
  ClientCore();
  explicit ClientCore(const Options& options);
  // DeInit, then the parts, the page readers' socket server last but one.
  ~ClientCore();

  ClientCore(const ClientCore&) = delete;
  ClientCore& operator=(const ClientCore&) = delete;

  // Routes all diagnostics output into the host log (errors also as notifications), makes the
  // parts with the paths, and creates "channel_logos", "show_logos" and "epg" below the user
  // path (a failure is logged and changes nothing). host is not owned and must stay usable
  // until DeInit. Returns status: StatusOk.
  int Init(Host& host, const std::string& userPath, const std::string& clientPath);
  // Sets stopping, which ends running walks and gives up a request under way; when Init ran:
  // stops the guide prefetch and the guide update thread, status StatusNeedRestart, returns
  // output to the standard streams and lets go of the host, which the caller may release once
  // this returns. Safe to call more than once and from any thread.
  void DeInit();

  // status: StatusUnknown after construction, StatusOk after Init, StatusNeedRestart after
  // DeInit.
  int GetStatus();

  // When the channel table is empty: loads it (see ChannelCatalogue), reads the guide cache and
  // starts the guide prefetch over the window as the host sees it now. A table that stays
  // empty is loaded again by the next call. Does nothing before Init and after DeInit.
  void EnsureChannelsLoaded();
  // The channel table after EnsureChannelsLoaded; never null, empty when nothing could be
  // loaded. It never changes: any thread may read it without a lock.
  ChannelTablePtr GetChannelTable();

  // The host's guide window changed: from now on its guide requests cover that many days
  // before (after) now. A prefetch that has started keeps its window. Any thread.
  void SetEPGMaxPastDays(int days) { pastDays_ = days; }
  void SetEPGMaxFutureDays(int days) { futureDays_ = days; }

  // The host requests (after EnsureChannelsLoaded). The walks hand one record per entry to
  // the host with handle, in ascending order, and end early when stopping is set.
  // GetChannels and GetChannelGroups give ResultNoError when there are channels,
  // ResultNotImplemented otherwise; GetChannelGroupMembers always ResultNoError.
  int GetChannels(void* handle, bool radio);
  int GetChannelGroups(void* handle, bool radio);
  // The members of the group of that name and kind: the channels of the kind that carry the
  // name.
  int GetChannelGroupMembers(void* handle, const std::string& groupName, bool radio);
  // Number of channels (TV and radio) and of groups.
  int GetChannelsAmount();
  int GetChannelGroupsAmount();

  // Answers the host's guide request for channel uid and the window [start, end) (seconds
  // since the epoch): hands every show of the channel's guide to the host request handle, in
  // start order, after fetching the part of the window the guide cache lacks and, in detailed
  // mode, the details of coming shows; then rewrites the channel's guide cache. The request
  // that completes the first round over all channels starts the guide update thread. Reader
  // failures are logged and never leave it; while the show list (or details) requests keep
  // failing, only the first failure is logged as an Error, the rest as Warnings. False when
  // the channel is unknown (logged); true otherwise, radio channels included (they have no
  // guide).
  bool UpdateEPGForChannel(void* handle, unsigned int uid, time_t start, time_t end);

 private:
  // EPGUpdateThread::Client, on the update thread.
  void SwitchToDetailedMode() override;
  void Notify(const std::string& text) override;
  void TriggerRefresh(unsigned int uid) override;
  bool IsStopping() const override;

  // Whether the client is between Init and DeInit: the parts are there and the host is
  // bound. Client lock held.
  bool IsRunning() const { return host_ != nullptr; }
  // The channel uid of the table, or null (logged "Channel with id <uid> not found").
  static const Channel* FindChannel(const ChannelTable& table, unsigned int uid);
  // Counts a guide request of a known channel; the one that completes the first round over
  // the table's channels starts the guide update thread. Client lock held.
  void CountGuideRequest(const ChannelTable& table);
  // Creates and starts the guide update thread unless it exists or the client is stopping.
  // Client lock held.
  void StartEPGUpdateThread(const ChannelTable& table);
  // Starts the guide prefetch, if there is one, over the host's window from now on. Client
  // lock held.
  void StartPrefetch(const ChannelTable& table);
  // Hands the shows to the host request handle, as the host is to see them.
  void HandOver(void* handle, const std::vector<TVShow*>& shows, unsigned int channelNumber);
  // Gives up the page reader's request under way until the client lock is free, so that the
  // stop never waits for a provider that does not answer.
  void GiveUpRequestsUntilUnlocked();
  void CreateCacheDirectory(const std::string& userPath, const std::string& name,
                            const char* failure);

  const Options options_;
  // The client lock (recursive).
  multi_threading::MutexPtr mutex_;
  // Set first thing by DeInit; walks over channels and shows end when they see it.
  std::atomic<bool> stopping_{false};
  // Set by Init, cleared by the DeInit that lets go of the host; read without the lock.
  std::atomic<bool> initialised_{false};
  // Set once by the guide update thread: guide requests then also read show details.
  std::atomic<bool> detailedMode_{false};
  // The host's guide window, in days.
  std::atomic<int> pastDays_;
  std::atomic<int> futureDays_;

  // Everything below: client lock.
  int status_ = StatusUnknown;
  // Set by Init, cleared by DeInit; also read by the guide update thread, which runs only in
  // between.
  Host* host_ = nullptr;
  HostLogBridge logBridge_;
  // Receives every response of the client's page readers.
  net::SocketServerPtr server_;
  // Fetches the provider's pages for the parts.
  SharedPtr<HttpPageReader> pageReader_;
  // Runs of like failures of the guide requests (see FailureRun), shared by the fetchers and
  // the prefetch.
  FailureRun showListFailures_;
  FailureRun showDetailsFailures_;
  // Made with the client when it has prefetch readers; started by the channel load, stopped
  // (without the client lock) by DeInit.
  std::unique_ptr<GuidePrefetch> prefetch_;
  // The parts, made by Init.
  std::unique_ptr<HostFiles> files_;
  std::unique_ptr<ChannelCatalogue> catalogue_;
  std::unique_ptr<GuideStore> guide_;
  std::unique_ptr<LogoStore> logos_;
  std::unique_ptr<GuideFetcher> fetcher_;
  // The guide update thread; empty until every channel's guide was requested once.
  multi_threading::ThreadPtr epgUpdateThread_;
  // Guide requests for known channels served so far.
  unsigned int epgRequestCount_ = 0;
};

}  // namespace nivo
}  // namespace zu
