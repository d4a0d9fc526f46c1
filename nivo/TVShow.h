#pragma once

#include <ctime>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>

namespace zu {
namespace nivo {

// One show of a channel's guide. The member order is the order of the guide cache layout;
// do not reorder. Times are the provider's wall-clock time without a time zone.
class TVShow {
 public:
  // The provider's event id; the host's unique broadcast id.
  unsigned int id = 0;
  std::string title;
  // Given to the host as the plot outline.
  std::string subTitle;
  // Kept empty; stored for the cache layout.
  std::string reserved1;
  // Genre names in ascending byte order.
  std::set<std::string> genres;
  // genres joined by "/"; only AddGenre writes it.
  std::string genreText;
  std::string country;
  // Production year; 0 when unknown.
  unsigned int year = 0;
  // Given to the host as the plot.
  std::string description;
  // Kept empty; stored for the cache layout.
  std::string reserved2;
  // Whole minutes.
  unsigned int duration = 0;
  // Image URL as the provider delivers it.
  std::string image;
  // (role, name) pairs in document order.
  std::vector<std::pair<std::string, std::string>> persons;
  boost::posix_time::ptime start;
  boost::posix_time::ptime end;
  // true once the details have been read; they are never requested again.
  bool detailsRead = false;

  // Inserts the genre (the empty text too) and rebuilds genreText from the whole set, so an
  // empty genre shows as a leading "/".
  void AddGenre(const std::string& genre);

  bool operator==(const TVShow& other) const;
  bool operator!=(const TVShow& other) const { return !(*this == other); }
};

// A channel's shows in the order they were collected.
using TVShows = std::vector<TVShow>;

// The local wall-clock time of a calendar time. The provider's show times are local
// wall-clock times and go back to the host through mktime, so the host's times have to come
// in the same way for both to meet. Throws std::runtime_error "could not convert calendar
// time to local time" when the time has no local date (or one outside the years 1400 to 9999
// that a show time can hold).
boost::posix_time::ptime LocalTime(time_t time);

}  // namespace nivo
}  // namespace zu
