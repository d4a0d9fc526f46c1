#pragma once

#include <map>
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
// or the host is waited for. One Update per channel at a time: its caller makes sure of that.
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

  // Starts a change of the channel's guide for a window that starts at windowStart. The
  // channel's shows leave the store until the update ends.
  Update BeginUpdate(const Channel& channel, const boost::posix_time::ptime& windowStart);

 private:
  // The name of a channel's guide cache file in the directory "epg".
  static std::string EPGCacheFileName(unsigned int uid);
  // The names of the entries of the directory "epg"; false when it cannot be listed.
  bool ListEPGCacheFiles(std::set<std::string>& names) const;

  HostFiles& files_;
  const std::string directory_;

  // Guards epg_.
  std::mutex mutex_;
  // Channel uid -> the channel's shows.
  std::map<unsigned int, TVShows> epg_;
};

// One change of a channel's guide: the shows it keeps, the fetched ones merged in, the new
// guide stored. Without Commit the channel's shows go back to the store as they were, but
// for details read into them.
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
  // into them) until Commit or the end of the update.
  const std::vector<TVShow*>& Merge(TVShows fetched);

  // Makes the merged guide the channel's guide and writes it to the channel's cache file; a
  // file that cannot be written is logged and the guide is changed all the same.
  void Commit();

 private:
  friend class GuideStore;
  Update(GuideStore& store, const Channel& channel, const boost::posix_time::ptime& windowStart);

  GuideStore& store_;
  const unsigned int uid_;
  const std::string cacheFile_;
  const boost::posix_time::ptime windowStart_;
  boost::posix_time::ptime fetchStart_;
  // The channel's shows as the store held them, and the fetched ones: what merged_ points to.
  TVShows kept_;
  TVShows fetched_;
  std::vector<TVShow*> merged_;
  bool committed_ = false;
};

}  // namespace nivo
}  // namespace zu
