#include "nivo/GuideStore.h"

#include <exception>
#include <filesystem>
#include <utility>

#include "base/File.h"
#include "base/FileName.h"
#include "base/String.h"
#include "nivo/CacheArchive.h"
#include "nivo/GuideMerge.h"
#include "nivo/HostFiles.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

GuideStore::GuideStore(HostFiles& files, const std::string& userPath)
    : files_(files), directory_(file_name::AddPaths(userPath, "epg")) {}

std::string GuideStore::GetEPGCacheFileName(const Channel& channel) const {
  return file_name::AddFileNameAndPath(directory_, EPGCacheFileName(channel.uid));
}

std::string GuideStore::EPGCacheFileName(unsigned int uid) {
  return "channel_" + string::ToString(uid) + ".zug";
}

bool GuideStore::ListEPGCacheFiles(std::set<std::string>& names) const {
  std::error_code error;
  std::filesystem::directory_iterator entry(directory_, error);
  if (error)
    return false;
  for (; entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    if (error)
      return false;
    names.insert(entry->path().filename().string());
  }
  return !error;
}

void GuideStore::LoadEPG(const Channels& channels) {
  ZU_INFO("NivoTV", "Loading EPG from cache ...");
  // One look at the directory names the files there are, so the channels without one (every
  // channel at the first start, the radio channels always) cost no look of their own. When
  // the directory cannot be listed, every channel's file is looked for.
  std::set<std::string> present;
  const bool listed = ListEPGCacheFiles(present);
  for (const auto& entry : channels) {
    if (listed && present.count(EPGCacheFileName(entry.first)) == 0)
      continue;
    const std::string path = GetEPGCacheFileName(entry.second);
    if (!file::Exists(path))
      continue;
    std::string text;
    if (!files_.LoadData(path, text))
      continue;
    // A broken file (cut short by a crash, or garbage) must not keep the other channels'
    // guides unloaded; the channel's next guide request overwrites it.
    try {
      TVShows shows = ReadShowsArchive(text);
      std::lock_guard<std::mutex> lock(mutex_);
      epg_[entry.first] = std::move(shows);
    } catch (const std::exception& e) {
      ZU_ERROR("NivoTV", "Skipping unreadable EPG cache file '" + path + "' (" + e.what() + ")");
    }
  }
  ZU_INFO("NivoTV", "Loading EPG from cache done.");
}

GuideStore::Update GuideStore::BeginUpdate(const Channel& channel,
                                           const boost::posix_time::ptime& windowStart) {
  return Update(*this, channel, windowStart, true);
}

std::unique_ptr<GuideStore::Update> GuideStore::TryBeginUpdate(
    const Channel& channel, const boost::posix_time::ptime& windowStart) {
  std::unique_ptr<Update> update(new Update(*this, channel, windowStart, false));
  if (!update->claimed_)
    update.reset();
  return update;
}

GuideStore::Update::Update(GuideStore& store, const Channel& channel,
                           const boost::posix_time::ptime& windowStart, bool wait)
    : store_(store),
      uid_(channel.uid),
      cacheFile_(store.GetEPGCacheFileName(channel)),
      windowStart_(windowStart),
      fetchStart_(windowStart) {
  {
    std::unique_lock<std::mutex> lock(store_.mutex_);
    if (wait)
      store_.updateEnded_.wait(lock, [this] { return store_.updating_.count(uid_) == 0; });
    else if (store_.updating_.count(uid_) != 0)
      return;
    store_.updating_.insert(uid_);
    claimed_ = true;
    kept_.swap(store_.epg_[uid_]);
  }
  for (const TVShow& show : kept_) {
    if (!show.end.is_special() && show.end > fetchStart_)
      fetchStart_ = show.end;
  }
}

GuideStore::Update::~Update() {
  End();
}

void GuideStore::Update::End() {
  if (!claimed_)
    return;
  {
    std::lock_guard<std::mutex> lock(store_.mutex_);
    if (!committed_)
      store_.epg_[uid_].swap(kept_);
    store_.updating_.erase(uid_);
    claimed_ = false;
  }
  store_.updateEnded_.notify_all();
}

const std::vector<TVShow*>& GuideStore::Update::Merge(TVShows fetched) {
  fetched_ = std::move(fetched);
  merged_ = MergeShows(kept_, windowStart_, fetched_);
  // The merge keeps the order of the kept shows; the guide is the kept one when it is made of
  // all of them and nothing else.
  changed_ = merged_.size() != kept_.size();
  for (size_t i = 0; !changed_ && i < merged_.size(); ++i)
    changed_ = merged_[i] != &kept_[i];
  return merged_;
}

void GuideStore::Update::Commit(bool writeUnchanged) {
  if (!changed_ && !writeUnchanged) {
    End();
    return;
  }
  // The shows move, not copy, into the new guide; from the first move on the kept ones are no
  // guide to go back to, so the new one is stored whatever follows.
  TVShows guide;
  guide.reserve(merged_.size());
  for (TVShow* show : merged_)
    guide.push_back(std::move(*show));
  merged_.clear();
  const TVShows* stored = nullptr;
  {
    std::lock_guard<std::mutex> lock(store_.mutex_);
    stored = &(store_.epg_[uid_] = std::move(guide));
    committed_ = true;
  }
  // The channel's entry is this update's until it ends, so the archive is written outside the
  // store's lock, which updates of other channels take meanwhile; and the file of a later
  // update of the channel is not overtaken by this one.
  store_.files_.SaveData(cacheFile_, WriteShowsArchive(*stored));
  End();
}

}  // namespace nivo
}  // namespace zu
