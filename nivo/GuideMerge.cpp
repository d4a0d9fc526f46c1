#include "nivo/GuideMerge.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <unordered_map>
#include <utility>

namespace zu {
namespace nivo {

namespace {

// Positions of shows by their key: the id, or the start for shows of id 0.
class ShowKeys {
 public:
  // The position stored for the show's key, storing position when there is none yet; second
  // is true when it was stored now.
  std::pair<std::size_t, bool> Insert(const TVShow& show, std::size_t position) {
    if (show.id != 0) {
      const auto inserted = byId_.emplace(show.id, position);
      return {inserted.first->second, inserted.second};
    }
    const auto inserted = byStart_.emplace(show.start, position);
    return {inserted.first->second, inserted.second};
  }

 private:
  std::unordered_map<unsigned int, std::size_t> byId_;
  std::map<boost::posix_time::ptime, std::size_t> byStart_;
};

bool HasPlainTimes(const TVShow& show) {
  return !show.start.is_special() && !show.end.is_special();
}

}  // namespace

std::vector<TVShow*> MergeShows(TVShows& stored, const boost::posix_time::ptime& windowStart,
                                TVShows& fetched) {
  std::vector<TVShow*> merged;
  merged.reserve(stored.size() + fetched.size());
  ShowKeys keys;
  for (TVShow& show : stored) {
    if (HasPlainTimes(show) && !(show.end < windowStart) && keys.Insert(show, merged.size()).second)
      merged.push_back(&show);
  }

  // A show that runs across two pieces of the fetch comes with both; the later one counts.
  std::vector<TVShow*> latest;
  latest.reserve(fetched.size());
  ShowKeys fetchedKeys;
  for (TVShow& show : fetched) {
    if (!HasPlainTimes(show))
      continue;
    const std::pair<std::size_t, bool> found = fetchedKeys.Insert(show, latest.size());
    if (found.second)
      latest.push_back(&show);
    else
      latest[found.first] = &show;
  }

  for (TVShow* show : latest) {
    const std::pair<std::size_t, bool> found = keys.Insert(*show, merged.size());
    if (found.second) {
      merged.push_back(show);
      continue;
    }
    TVShow*& place = merged[found.first];
    const bool sameTimes = place->start == show->start && place->end == show->end;
    if (!(place->detailsRead && sameTimes))
      place = show;
  }

  std::stable_sort(merged.begin(), merged.end(),
                   [](const TVShow* a, const TVShow* b) { return a->start < b->start; });
  return merged;
}

}  // namespace nivo
}  // namespace zu
