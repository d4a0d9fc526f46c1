#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "nivo/TVShow.h"

namespace zu {
namespace nivo {

// One show list request: the shows of a station from start for a number of whole hours.
struct ShowListRequest {
  boost::posix_time::ptime start;
  // 1 to 24.
  unsigned int hours = 0;
};

// The requests that cover [from, to): consecutive pieces of 24 hours, the last one shorter.
// Only whole hours are requested: a window shorter than one hour gives no request, and the
// part after the last whole hour is left out. Empty when from is not earlier than to or
// either time is not a plain date and time.
std::vector<ShowListRequest> SplitShowListWindow(const boost::posix_time::ptime& from,
                                                 const boost::posix_time::ptime& to);

// The request path on the guide gateway host, e.g.
// "a/api.mobile.event.hour?period=20160131T060000/24H&stationuid=4711".
std::string MakeShowListPath(unsigned int uid, const ShowListRequest& request);

// A show time of the provider, "2016-01-31T20:15:00" (wall-clock time, optional fraction of a
// second of up to nine digits). Throws std::runtime_error naming the text when it is not one.
boost::posix_time::ptime ParseShowTime(const std::string& text);

// What a show list response held.
struct ShowListPiece {
  enum Outcome {
    // The root array has fewer than 2 elements or its element 1 is empty: the station is
    // unknown to the provider, later pieces will not be different.
    NoStationInfo,
    // The station record is too short or of the wrong types: this piece holds nothing.
    WrongShape,
    // shows holds the shows read.
    Shows
  };
  Outcome outcome = WrongShape;
  // Number of show elements of the station record, also those skipped for being too short.
  std::size_t showCount = 0;
  TVShows shows;
};

// Reads one show list response: [ any, [ [ integer, string, [ show, ... ] ] ] ] where a show is
// [ id, start, end, title, subtitle?, [genre or null, ...]?, country?, year? ] (all texts). A
// show with fewer than 4 elements is skipped; missing or mistyped optional elements leave the
// defaults. Throws JsonSyntaxError for text that is not JSON, JsonError for a value of the
// wrong type where one is required, and std::runtime_error for a bad show time.
ShowListPiece ParseShowListPiece(const std::string& body);

}  // namespace nivo
}  // namespace zu
