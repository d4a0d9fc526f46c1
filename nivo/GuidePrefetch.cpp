#include "nivo/GuidePrefetch.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "base/String.h"
#include "multi_threading/Factory.h"
#include "nivo/GuideFetcher.h"
#include "nivo/GuideStore.h"
#include "nivo/HttpPageReader.h"
#include "nivo/LogoStore.h"
#include "nivo/ShowListDocument.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

namespace {

// Lets every other thread of the machine go first from now on. Linux gives a thread that
// asks the idle policy only what the others leave; where it refuses, the thread stays as it is.
void YieldToEveryOtherThread() {
  sched_param parameters{};
  (void)pthread_setschedparam(pthread_self(), SCHED_IDLE, &parameters);
}

}  // namespace

// The thread object of one fetcher.
class GuidePrefetch::Fetcher : public multi_threading::ThreadObject {
 public:
  Fetcher(GuidePrefetch& prefetch, size_t index, bool background)
      : prefetch_(prefetch), index_(index), background_(background) {}
  bool Run() override {
    if (background_)
      YieldToEveryOtherThread();
    prefetch_.Fetch(index_, background_);
    return true;
  }

 private:
  GuidePrefetch& prefetch_;
  const size_t index_;
  const bool background_;
};

// The thread object of a fetcher that takes a background fetcher's reader over.
class GuidePrefetch::Successor : public multi_threading::ThreadObject {
 public:
  Successor(GuidePrefetch& prefetch, size_t index) : prefetch_(prefetch), index_(index) {}
  bool Run() override {
    prefetch_.TakeOver(index_);
    return true;
  }

 private:
  GuidePrefetch& prefetch_;
  const size_t index_;
};

GuidePrefetch::GuidePrefetch(std::vector<SharedPtr<HttpPageReader>> readers,
                             FailureRun& showLists, FailureRun& showDetails, bool background)
    : readers_(std::move(readers)),
      showLists_(showLists),
      showDetails_(showDetails),
      background_(background),
      successorWaits_(new std::atomic<bool>[readers_.size()]),
      slots_(readers_.size(), Slot::Ended) {
  for (size_t index = 0; index < readers_.size(); ++index)
    successorWaits_[index] = false;
}

GuidePrefetch::~GuidePrefetch() {
  Stop();
}

bool GuidePrefetch::Start(GuideStore& store, LogoStore& logos, const Channels& channels,
                          time_t start, time_t end) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_ || stopping_ || readers_.empty())
    return false;
  started_ = true;
  store_ = &store;
  logos_ = &logos;
  windowStart_ = LocalTime(start);
  windowEnd_ = LocalTime(end);
  for (const auto& entry : channels) {
    if (!entry.second.isRadio)
      channels_.push_back(entry.second);
  }
  std::stable_sort(channels_.begin(), channels_.end(), [](const Channel& a, const Channel& b) {
    return a.number < b.number;
  });
  ZU_INFO("NivoTV", "Prefetching the EPG of " +
                        string::ToString(static_cast<unsigned long>(channels_.size())) +
                        " channels ...");
  for (size_t index = 0; index < readers_.size(); ++index) {
    multi_threading::ThreadPtr thread =
        multi_threading::factory::CreateThread("EPG_Prefetch", 0, multi_threading::Thread::Normal);
    if (!thread)
      continue;  // logged by the factory
    slots_[index] = Slot::Running;
    if (!thread->Start(std::make_shared<Fetcher>(*this, index, background_))) {
      slots_[index] = Slot::Ended;
      thread->Stop();
      continue;
    }
    threads_.push_back(thread);
  }
  return !threads_.empty();
}

void GuidePrefetch::Hurry() {
  if (!background_ || hurried_)
    return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!started_ || stopping_ || hurried_.exchange(true))
    return;
  for (size_t index = 0; index < readers_.size(); ++index) {
    if (slots_[index] != Slot::Running)
      continue;
    // Made here, the thread runs at this thread's priority.
    multi_threading::ThreadPtr thread =
        multi_threading::factory::CreateThread("EPG_Prefetch", 0, multi_threading::Thread::Normal);
    if (!thread)
      continue;  // logged by the factory; the background fetcher goes on
    if (!thread->Start(std::make_shared<Successor>(*this, index))) {
      thread->Stop();
      continue;
    }
    threads_.push_back(thread);
    successorWaits_[index] = true;
  }
}

void GuidePrefetch::Stop() {
  stopping_ = true;
  std::vector<multi_threading::ThreadPtr> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    threads.swap(threads_);
  }
  // A stopped reader gives up its request under way and fails every later one at once.
  for (const SharedPtr<HttpPageReader>& reader : readers_)
    reader->StopServer();
  for (const multi_threading::ThreadPtr& thread : threads)
    thread->Stop();
}

void GuidePrefetch::Fetch(size_t index, bool background) {
  while (!stopping_ && !ended_) {
    if (background && successorWaits_[index]) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[index] = Slot::HandedOver;
      }
      fetcherEnded_.notify_all();
      return;
    }
    const size_t channel = next_++;
    if (channel >= channels_.size())
      break;
    if (!FetchChannel(index, channels_[channel]) && !stopping_ && !ended_.exchange(true))
      ZU_INFO("NivoTV", "Prefetching the EPG ends: the provider does not answer");
  }
  // Done with the provider: the kept connection goes now rather than after its idle bound.
  readers_[index]->StopServer();
  const bool last = [this, index] {
    std::lock_guard<std::mutex> lock(mutex_);
    slots_[index] = Slot::Ended;
    return std::all_of(slots_.begin(), slots_.end(),
                       [](Slot slot) { return slot == Slot::Ended; });
  }();
  if (last && !stopping_ && !ended_)
    ZU_INFO("NivoTV", "Prefetching the EPG done.");
  fetcherEnded_.notify_all();
}

void GuidePrefetch::TakeOver(size_t index) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    fetcherEnded_.wait(lock, [this, index] { return slots_[index] != Slot::Running; });
    if (slots_[index] != Slot::HandedOver)
      return;
    slots_[index] = Slot::Running;
  }
  Fetch(index, false);
}

bool GuidePrefetch::FetchChannel(size_t index, const Channel& channel) {
  if (!FetchGuide(index, channel))
    return false;
  if (!stopping_)
    logos_->UpdateChannelLogo(channel, readers_[index]);
  return true;
}

bool GuidePrefetch::FetchGuide(size_t index, const Channel& channel) {
  std::unique_ptr<GuideStore::Update> update = store_->TryBeginUpdate(channel, windowStart_);
  // A guide request has the channel, or the store holds the window already.
  if (!update || SplitShowListWindow(update->FetchStart(), windowEnd_).empty())
    return true;
  GuideFetcher fetcher(readers_[index], showLists_, showDetails_, zu::Time::Zero());
  bool pageMissing = false;
  TVShows shows = fetcher.FetchShows(channel, update->FetchStart(), windowEnd_, &pageMissing);
  // Given up by the stop: nothing is stored any more.
  if (stopping_)
    return true;
  update->Merge(std::move(shows));
  update->Commit(false);
  return !pageMissing;
}

}  // namespace nivo
}  // namespace zu
