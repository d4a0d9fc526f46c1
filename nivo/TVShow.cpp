#include "nivo/TVShow.h"

#include <stdexcept>

namespace zu {
namespace nivo {

boost::posix_time::ptime LocalTime(time_t time) {
  struct tm broken = {};
  if (localtime_r(&time, &broken) != nullptr) {
    try {
      return boost::posix_time::ptime_from_tm(broken);
    } catch (const std::out_of_range&) {
    }
  }
  throw std::runtime_error("could not convert calendar time to local time");
}

void TVShow::AddGenre(const std::string& genre) {
  genres.insert(genre);
  std::string text;
  for (const std::string& name : genres) {
    if (&name != &*genres.begin())
      text += '/';
    text += name;
  }
  genreText.swap(text);
}

bool TVShow::operator==(const TVShow& other) const {
  return id == other.id && title == other.title && subTitle == other.subTitle &&
         reserved1 == other.reserved1 && genres == other.genres && genreText == other.genreText &&
         country == other.country && year == other.year && description == other.description &&
         reserved2 == other.reserved2 && duration == other.duration && image == other.image &&
         persons == other.persons && start == other.start && end == other.end &&
         detailsRead == other.detailsRead;
}

}  // namespace nivo
}  // namespace zu
