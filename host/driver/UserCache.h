#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include "nivo/TVShow.h"

namespace zu {
namespace host {

// Sizes of the add-on's caches on disk.
struct CacheSizes {
  uint64_t channels = 0;  // channels.zug
  size_t guideFiles = 0;  // epg/channel_<uid>.zug
  uint64_t guide = 0;
  size_t logoFiles = 0;  // channel_logos/
  uint64_t logos = 0;
  uint64_t Total() const { return channels + guide + logos; }
};

// A look into the caches the add-on keeps in its user data path, for reports: their sizes, and
// what a channel's guide cache holds beyond what the host is told (the persons of a show, and
// whether its details were read). Reads only; safe while the add-on is loaded, as long as no
// guide request of the same channel runs meanwhile.
class UserCache {
 public:
  explicit UserCache(std::string userPath);

  CacheSizes Measure() const;
  // The shows of the channel's guide cache. False, with the reason in error, when the file is
  // missing or is not a guide cache; shows is then empty.
  bool ReadShows(unsigned int uid, nivo::TVShows& shows, std::string& error) const;
  // The number of shows in the channel's guide cache whose details were read (0 when there is
  // no readable cache).
  size_t DetailedShows(unsigned int uid) const;

  // A show time (the provider's wall-clock time) as the add-on hands it to the host: read as
  // local time of this machine.
  static time_t ToTime(const boost::posix_time::ptime& when);

 private:
  std::string userPath_;
};

}  // namespace host
}  // namespace zu
