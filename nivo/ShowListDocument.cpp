#include "nivo/ShowListDocument.h"

#include <cstdint>
#include <stdexcept>

#include <boost/date_time/posix_time/posix_time.hpp>

#include "base/String.h"
#include "nivo/Json.h"

namespace zu {
namespace nivo {

namespace {

const std::int64_t kSecondsPerHour = 3600;
const unsigned int kMaxHoursPerRequest = 24;

TVShow ReadShow(const JsonValue& element) {
  TVShow show;
  show.id = zu::string::ToUint32(element[0].GetString());
  show.start = ParseShowTime(element[1].GetString());
  show.end = ParseShowTime(element[2].GetString());
  show.title = element[3].GetString();
  const std::size_t size = element.Size();
  if (size > 4 && element[4].IsString())
    show.subTitle = element[4].GetString();
  if (size > 5 && element[5].IsArray()) {
    const JsonValue genres = element[5];
    const std::size_t count = genres.Size();
    for (std::size_t i = 0; i < count; ++i) {
      const JsonValue genre = genres[i];
      if (!genre.IsNull())
        show.AddGenre(genre.GetString());
    }
  }
  if (size > 6 && element[6].IsString())
    show.country = element[6].GetString();
  if (size > 7 && element[7].IsString())
    show.year = zu::string::ToUint32(element[7].GetString());
  return show;
}

}  // namespace

std::vector<ShowListRequest> SplitShowListWindow(const boost::posix_time::ptime& from,
                                                 const boost::posix_time::ptime& to) {
  std::vector<ShowListRequest> requests;
  if (from.is_special() || to.is_special() || !(from < to))
    return requests;
  // Counted in 64 bits: a window of decades must not wrap into a negative hour count.
  std::int64_t hours = (to - from).total_seconds() / kSecondsPerHour;
  boost::posix_time::ptime start = from;
  while (hours > 0) {
    const unsigned int length =
        hours < kMaxHoursPerRequest ? static_cast<unsigned int>(hours) : kMaxHoursPerRequest;
    requests.push_back(ShowListRequest{start, length});
    start += boost::posix_time::hours(length);
    hours -= length;
  }
  return requests;
}

std::string MakeShowListPath(unsigned int uid, const ShowListRequest& request) {
  return "a/api.mobile.event.hour?period=" + boost::posix_time::to_iso_string(request.start) + "/" +
         zu::string::ToString(request.hours) + "H&stationuid=" + zu::string::ToString(uid);
}

boost::posix_time::ptime ParseShowTime(const std::string& text) {
  // Only the provider's form reaches boost's parser, which takes much more (and overflows on
  // fields of many digits): "YYYY-MM-DDTHH:MM:SS" with an optional fraction of up to nine
  // digits.
  static const char kShape[] = "dddd-dd-ddTdd:dd:dd";
  const size_t shapeLength = sizeof(kShape) - 1;
  bool wellFormed = text.size() >= shapeLength;
  for (size_t i = 0; wellFormed && i < shapeLength; ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    wellFormed = kShape[i] == 'd' ? digit : text[i] == kShape[i];
  }
  if (wellFormed && text.size() > shapeLength) {
    const size_t fraction = text.size() - shapeLength - 1;
    wellFormed = text[shapeLength] == '.' && fraction >= 1 && fraction <= 9 &&
                 text.find_first_not_of("0123456789", shapeLength + 1) == std::string::npos;
  }
  if (!wellFormed)
    throw std::runtime_error("invalid show time '" + text + "'");
  boost::posix_time::ptime time;
  try {
    time = boost::posix_time::from_iso_extended_string(text);
  } catch (const std::exception& e) {
    throw std::runtime_error("invalid show time '" + text + "' (" + e.what() + ")");
  }
  if (time.is_special())
    throw std::runtime_error("invalid show time '" + text + "'");
  return time;
}

ShowListPiece ParseShowListPiece(const std::string& body) {
  ShowListPiece piece;
  const JsonValue root = ParseJson(body);
  if (root.Size() < 2) {
    piece.outcome = ShowListPiece::NoStationInfo;
    return piece;
  }
  const JsonValue stations = root[1];
  if (stations.Size() == 0) {
    piece.outcome = ShowListPiece::NoStationInfo;
    return piece;
  }
  const JsonValue station = stations[0];
  if (station.Size() < 3 || !station[0].IsInteger() || !station[1].IsString() ||
      !station[2].IsArray()) {
    piece.outcome = ShowListPiece::WrongShape;
    return piece;
  }
  const JsonValue shows = station[2];
  piece.showCount = shows.Size();
  for (std::size_t i = 0; i < piece.showCount; ++i) {
    const JsonValue element = shows[i];
    if (element.Size() < 4)
      continue;
    piece.shows.push_back(ReadShow(element));
  }
  piece.outcome = ShowListPiece::Shows;
  return piece;
}

}  // namespace nivo
}  // namespace zu
