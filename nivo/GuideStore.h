#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <boost/date_time/posix_time/ptime.hpp>

#include "nivo/Channel.h"
#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

class HostFiles;

// The guide of every channel, in memory and in the guide cache: one file per channel,
// "channel_<uid>.zug" in "epg" below the user path. A channel's guide changes only through an
// Update, which keeps the rules of a guide (see MergeShows): the shows that ended before the
// window go, a show is there once, delivered again it replaces the kept one (which keeps its
// details while start and end are the same), and the shows are in start order.
//
// Threads: any thread may call any member; the store's lock is never held while the network
// or the host is waited for. A channel has one Update at a time: a second one waits for the
// first to end, or is not made at all (TryBeginUpdate), so that two fetchers never fetch the
// same part of a channel's guide at once.
class GuideStore {
 public:
  class Update;

  // files must outlive the store.
  GuideStore(HostFiles& files, const std::string& userPath);

  GuideStore(const GuideStore&) = delete;
  GuideStore& operator=(const GuideStore&) = delete;

  // Reads the guide cache file of every channel of channels into the store, each replacing
  // the guide the store held for it; a channel without a file keeps what it had. A file that
  // cannot be read, or is not a guide, is logged and skipped.
  void LoadEPG(const Channels& channels);

  // The guide cache file of the channel: userPath/epg/channel_<uid>.zug.
  std::string GetEPGCacheFileName(const Channel& channel) const;

  // Starts a change of the channel's guide for a window that starts at windowStart, once an
  // update of the channel under way has ended (its caller's fetch bounds that wait). The
  // channel's shows leave the store until the update ends.
  Update BeginUpdate(const Channel& channel, const boost::posix_time::ptime& windowStart);
  // The same without waiting: null while another update of the channel is under way.
  std::unique_ptr<Update> TryBeginUpdate(const Channel& channel,
                                         const boost::posix_time::ptime& windowStart);

 private:
  // The name of a channel's guide cache file in the directory "epg".
  static std::string EPGCacheFileName(unsigned int uid);
  // The names of the entries of the directory "epg"; false when it cannot be listed.
  bool ListEPGCacheFiles(std::set<std::string>& names) const;

  HostFiles& files_;
  const std::string directory_;

  // Guards epg_ and updating_.
  std::mutex mutex_;
  // Signalled when an update ends.
  std::condition_variable updateEnded_;
  // Channel uid -> the channel's shows.
  std::map<unsigned int, TVShows> epg_;
  // The channels under an update.
  std::set<unsigned int> updating_;
};

// One change of a channel's guide: the shows it keeps, the fetched ones merged in, the new
// guide stored. Without Commit the channel's shows go back to the store as they were, but
// for details read into them. The channel's next update may begin once this one has ended
// (committed, with its cache file written, or destroyed).
class GuideStore::Update {
 public:
  Update(const Update&) = delete;
  Update& operator=(const Update&) = delete;
  ~Update();

  // Where a fetch for the window starts: the latest end of the channel's shows (also of those
  // that ended before the window), or the window start when that is later, so the part of the
  // window the store holds is not requested again.
  const boost::posix_time::ptime& FetchStart() const { return fetchStart_; }

  // The channel's new guide: its shows that have not ended before the window start merged
  // with fetched (see MergeShows), in start order. The shows may be changed (details read
  // into them) until Commit or the end of the update; the caller tells of such a change with
  // ShowsChanged.
  const std::vector<TVShow*>& Merge(TVShows fetched);
  void ShowsChanged() { changed_ = true; }

  // Makes the merged guide the channel's guide and writes it to the channel's cache file; a
  // file that cannot be written is logged and the guide is changed all the same. Without
  // writeUnchanged, a guide that is the stored one (no show fetched, dropped or changed) is
  // neither stored again nor written. Ends the update.
  void Commit(bool writeUnchanged = true);

 private:
  friend class GuideStore;
  // Claims the channel, waiting for an update under way when wait is set; without wait and
  // with an update under way the update holds nothing and is not claimed.
  Update(GuideStore& store, const Channel& channel, const boost::posix_time::ptime& windowStart,
         bool wait);
  // Gives the channel free for its next update; the kept shows go back unless committed.
  void End();

  GuideStore& store_;
  const unsigned int uid_;
  const std::string cacheFile_;
  const boost::posix_time::ptime windowStart_;
  boost::posix_time::ptime fetchStart_;
  // The channel's shows as the store held them, and the fetched ones: what merged_ points to.
  TVShows kept_;
  TVShows fetched_;
  std::vector<TVShow*> merged_;
  // The merged guide differs from the kept one.
  bool changed_ = false;
  bool claimed_ = false;
  bool committed_ = false;
};

}  // namespace nivo
}  // namespace zu
