#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "provider/Catalogue.h"
#include "provider/CivilTime.h"

namespace zu {
namespace provider {

struct Programme;

// One entry of a station's schedule. Everything about it follows from (station, day, index),
// so the same request always produces the same show with the same id.
struct Show {
  std::uint32_t id = 0;
  CivilSeconds start = 0;
  CivilSeconds end = 0;
  std::string title;     // as delivered: may hold "&amp;", "&#39;", "&#8217;"
  std::string subTitle;  // empty when the programme has none
  std::string type;      // "Spielfilm", "Serie", "Nachrichten", ... ("Type" of the details)
  std::string genre;     // "Krimi", "Natur", ... ("Genre" of the details)
  std::string country;   // empty when not given
  unsigned year = 0;     // 0 when not given
  std::uint64_t seed = 0;
  const Programme* programme = nullptr;
};

struct ShowDetails {
  std::string description;
  // Each entry: the role, then one or more names (["Actor", "A", "B"]).
  std::vector<std::vector<std::string>> persons;
};

// The programme guide of a catalogue, computed on demand and never stored. A broadcast day
// runs from 05:00 to 05:00 of the next day and is filled without gaps by shows of 5 minutes
// to 3 hours. Show ids encode the station's ordinal (11 bits), the broadcast day counted
// from 2015-01-01 (13 bits, up to mid 2037) and the show's index in that day (8 bits); days
// outside that range have no shows.
class Guide {
 public:
  static constexpr CivilSeconds kDayStartOffset = 5 * 3600;

  // With movedShows, one show of every day ends ten minutes later and its successor starts
  // that much later, both keeping their ids: the same guide as a later fetch would find it.
  explicit Guide(const Catalogue& catalogue, bool movedShows = false)
      : catalogue_(catalogue), movedShows_(movedShows) {}

  // The shows of the broadcast day that starts at 05:00 of `day` (days since 1970-01-01).
  std::vector<Show> Day(const Station& station, std::int64_t day) const;
  // Every show that shares time with the period, in time order.
  std::vector<Show> Overlapping(const Station& station, const Period& period) const;
  // The show with this id; false (and nothing set) when no show has it.
  bool Find(std::uint32_t id, Show& show, const Station*& station) const;
  // Description and persons of a show.
  ShowDetails Details(const Station& station, const Show& show) const;

  static std::int64_t FirstDay();  // 2015-01-01
  static std::int64_t LastDay();

 private:
  const Catalogue& catalogue_;
  bool movedShows_;
};

}  // namespace provider
}  // namespace zu
