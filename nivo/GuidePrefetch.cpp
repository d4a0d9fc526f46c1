#include "nivo/GuidePrefetch.h"

#include <algorithm>
#include <chrono>
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

// The thread object of one fetcher.
class GuidePrefetch::Fetcher : public multi_threading::ThreadObject {
 public:
  Fetcher(GuidePrefetch& prefetch, size_t index) : prefetch_(prefetch), index_(index) {}
  bool Run() override {
    prefetch_.Fetch(index_);
    return true;
  }

 private:
  GuidePrefetch& prefetch_;
  const size_t index_;
};

GuidePrefetch::GuidePrefetch(std::vector<SharedPtr<HttpPageReader>> readers,
                             FailureRun& showLists, FailureRun& showDetails)
    : readers_(std::move(readers)), showLists_(showLists), showDetails_(showDetails) {}

GuidePrefetch::~GuidePrefetch() {
  Stop();
}

bool GuidePrefetch::Start(GuideStore& store, LogoStore& logos, const Channels& channels,
                          time_t start, time_t end) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_ || stopped_ || readers_.empty())
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
    ++running_;
    if (!thread->Start(std::make_shared<Fetcher>(*this, index))) {
      --running_;
      thread->Stop();
      continue;
    }
    threads_.push_back(thread);
  }
  return !threads_.empty();
}

void GuidePrefetch::Stop() {
  stopping_ = true;
  std::vector<multi_threading::ThreadPtr> threads;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    threads.swap(threads_);
  }
  // A stopped reader gives up its request under way and fails every later one at once.
  for (const SharedPtr<HttpPageReader>& reader : readers_)
    reader->StopServer();
  for (const multi_threading::ThreadPtr& thread : threads)
    thread->Stop();
}

bool GuidePrefetch::Wait(const zu::Time& timeout) {
  // A year stands for any longer time, which the clock could not add to now.
  const std::chrono::nanoseconds bound =
      std::chrono::seconds(std::min<uint64_t>(timeout.GetSeconds(), 365ull * 24 * 3600)) +
      std::chrono::nanoseconds(timeout.GetNanoSeconds());
  std::unique_lock<std::mutex> lock(mutex_);
  return fetcherEnded_.wait_for(lock, bound, [this] { return running_ == 0; });
}

void GuidePrefetch::Fetch(size_t index) {
  while (!stopping_ && !ended_) {
    const size_t channel = next_++;
    if (channel >= channels_.size())
      break;
    if (!FetchChannel(index, channels_[channel]) && !stopping_ && !ended_.exchange(true))
      ZU_INFO("NivoTV", "Prefetching the EPG ends: the provider does not answer");
  }
  // Done with the provider: the kept connection goes now rather than after its idle bound.
  readers_[index]->StopServer();
  const bool last = [this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return --running_ == 0;
  }();
  if (last && !stopping_ && !ended_)
    ZU_INFO("NivoTV", "Prefetching the EPG done.");
  fetcherEnded_.notify_all();
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
