#pragma once

#include <vector>

#include <boost/date_time/posix_time/ptime.hpp>

#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

// The guide of a channel after a guide request: the stored shows that have not ended before
// windowStart, merged with the shows fetched for the request, each show once, in start order
// (shows that start together keep their order: kept ones first, then fetched ones as they
// first came).
//
// A show is known by its id; shows of id 0 (the provider gave none usable) are known by their
// start instead. Of stored shows of one key the first is kept; of fetched shows of one key the
// last, the provider's latest word. A fetched show takes the place of the kept show of its key,
// unless the kept one has its details and the same start and end: then the kept one stays, so
// its details are not read again. Shows whose start or end is not a plain time are left out;
// no provider show has one.
//
// Returns pointers into stored and fetched, which stay unchanged.
std::vector<TVShow*> MergeShows(TVShows& stored, const boost::posix_time::ptime& windowStart,
                                TVShows& fetched);

}  // namespace nivo
}  // namespace zu
