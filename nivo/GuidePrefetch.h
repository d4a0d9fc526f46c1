#pragma once

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

#include <boost/date_time/posix_time/ptime.hpp>

#include "base/SharedPtr.h"
#include "multi_threading/Thread.h"
#include "nivo/Channel.h"

namespace zu {
namespace nivo {

class FailureRun;
class GuideStore;
class HttpPageReader;
class LogoStore;

// Fetches what the host's guide requests need ahead of them, in the background: the guide of
// one window and the logo of every TV channel. One fetcher per page reader (so as many
// requests in flight as there are readers) takes the channels in channel-number order and
// stores each channel's guide, cache file included, in the guide store, and its logo in the
// logo store, where the host's guide request for the window then finds them. A channel whose
// guide a guide request is updating is left to that request, and a channel whose guide
// already covers the window costs no guide request. The prefetch fetches no details.
//
// The first channel whose pages do not come (the provider cannot be reached, or answers with
// errors) ends the prefetch: the fetches under way finish, no other starts, and what the store
// holds is served. Failures are logged through the show-list run it is given, which the
// client's own guide requests share: one Error for the run, the rest Warnings.
//
// A prefetch made to run in the background starts with fetchers that let every other thread
// of the machine go first (the host is starting up and listing its channels meanwhile); once
// the host has its channels (Hurry), each hands its reader, after the channel it is fetching,
// to a fetcher that runs at the host's own priority.
//
// Threads: Start, Hurry and Stop from any thread but the fetchers'. The fetchers run on
// threads of their own ("EPG_Prefetch") and never take the client's lock, only the small locks
// of the stores and their readers.
class GuidePrefetch {
 public:
  // readers: one per fetcher, not used by anyone else. showLists and showDetails must outlive
  // the prefetch.
  GuidePrefetch(std::vector<SharedPtr<HttpPageReader>> readers, FailureRun& showLists,
                FailureRun& showDetails, bool background);
  // Stop.
  ~GuidePrefetch();

  GuidePrefetch(const GuidePrefetch&) = delete;
  GuidePrefetch& operator=(const GuidePrefetch&) = delete;

  // Starts fetching the window [start, end) (seconds since the epoch) and the logos of the TV
  // channels of channels into store and logos, which must outlive the prefetch's run (Stop
  // ends it). Once only: false when the prefetch ran or was stopped before, or when
  // no fetcher could start (logged by the thread factory).
  bool Start(GuideStore& store, LogoStore& logos, const Channels& channels, time_t start,
             time_t end);

  // In the background: from now on the fetchers run at the priority of the calling thread
  // (they are made by it). Does nothing otherwise, before Start, after Stop and when called
  // before.
  void Hurry();

  // Ends the prefetch at once: the readers' requests under way are given up, nothing more is
  // stored, and the fetchers' threads are joined. Later Starts do nothing. Any thread, more
  // than once.
  void Stop();

 private:
  class Fetcher;
  class Successor;

  // Where the fetcher of a reader stands.
  enum class Slot { Running, HandedOver, Ended };

  // The work of fetcher index: channels until none is left or the prefetch ends; in the
  // background, until the fetcher's successor waits for the reader.
  void Fetch(size_t index, bool background);
  // The successor's work: Fetch once the background fetcher index has handed over its
  // reader; nothing when that one ended instead.
  void TakeOver(size_t index);
  // Fetches and stores the guide and the logo of one channel with reader index; false when
  // the guide's pages did not come.
  bool FetchChannel(size_t index, const Channel& channel);
  bool FetchGuide(size_t index, const Channel& channel);

  const std::vector<SharedPtr<HttpPageReader>> readers_;
  FailureRun& showLists_;
  FailureRun& showDetails_;
  const bool background_;

  // Set by Stop.
  std::atomic<bool> stopping_{false};
  // Set when a channel's pages did not come: no fetcher takes another channel.
  std::atomic<bool> ended_{false};
  // The next channel to take.
  std::atomic<size_t> next_{0};
  // Set by Hurry.
  std::atomic<bool> hurried_{false};
  // Per reader: a successor is waiting for it (set by Hurry).
  std::unique_ptr<std::atomic<bool>[]> successorWaits_;

  // Set by Start, before the fetchers run; read by them without a lock.
  GuideStore* store_ = nullptr;
  LogoStore* logos_ = nullptr;
  std::vector<Channel> channels_;
  boost::posix_time::ptime windowStart_;
  boost::posix_time::ptime windowEnd_;

  // Guards the members below.
  std::mutex mutex_;
  // Signalled when a fetcher ends or hands its reader over.
  std::condition_variable fetcherEnded_;
  bool started_ = false;
  // Per reader; the last fetcher to end finds every slot Ended.
  std::vector<Slot> slots_;
  std::vector<multi_threading::ThreadPtr> threads_;
};

}  // namespace nivo
}  // namespace zu
