#include "nivo/imp/CacheIArchive.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include <boost/date_time/gregorian/parsers.hpp>
#include <boost/lexical_cast.hpp>

#include <boost/archive/impl/archive_serializer_map.ipp>
#include <boost/archive/impl/basic_text_iarchive.ipp>
#include <boost/archive/impl/text_iarchive_impl.ipp>

#include "nivo/CacheArchive.h"

namespace zu {
namespace nivo {
namespace imp {

CacheIArchive::CacheIArchive(std::istream& in)
    : boost::archive::text_iarchive_impl<CacheIArchive>(in, boost::archive::no_header) {}

CacheIArchive::~CacheIArchive() = default;

std::size_t CacheIArchive::Position() {
  // Asked of the buffer: the stream's tellg would refuse (and set failbit) after end of file.
  const std::streamoff position = is.rdbuf()->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
  return position < 0 ? 0 : static_cast<std::size_t>(position);
}

std::size_t CacheIArchive::Remaining() {
  const std::streamsize available = is.rdbuf()->in_avail();
  return available < 0 ? 0 : static_cast<std::size_t>(available);
}

bool CacheIArchive::OnlyWhiteSpaceLeft() {
  std::streambuf* buffer = is.rdbuf();
  for (int c = buffer->sgetc(); c != std::char_traits<char>::eof(); c = buffer->snextc()) {
    if (!std::isspace(c))
      return false;
  }
  return true;
}

void CacheIArchive::load(std::string& text) {
  std::size_t size = 0;
  load(size);
  // The single separator between the length and the bytes.
  if (is.get() == std::char_traits<char>::eof() || size > Remaining()) {
    throw CacheArchiveError("cache archive: string length " + std::to_string(size) +
                            " exceeds the remaining input at byte " + std::to_string(Position()));
  }
  std::string bytes(size, '\0');
  if (size > 0 && !is.read(&bytes[0], static_cast<std::streamsize>(size)))
    throw CacheArchiveError("cache archive: truncated string at byte " +
                            std::to_string(Position()));
  text.swap(bytes);
}

void CacheIArchive::load(boost::serialization::collection_size_type& count) {
  std::size_t value = 0;
  load(value);
  if (value > Remaining() / 2) {
    throw CacheArchiveError("cache archive: element count " + std::to_string(value) +
                            " exceeds the remaining input at byte " + std::to_string(Position()));
  }
  count = boost::serialization::collection_size_type(value);
}

}  // namespace imp
}  // namespace nivo
}  // namespace zu

namespace boost {
namespace serialization {

namespace {

template <class Field>
void LoadTimeOfDay(zu::nivo::imp::CacheIArchive& archive,
                   boost::posix_time::time_duration& timeOfDay) {
  Field hours = 0;
  Field minutes = 0;
  Field seconds = 0;
  boost::posix_time::time_duration::fractional_seconds_type fraction = 0;
  archive >> make_nvp("time_duration_hours", hours);
  archive >> make_nvp("time_duration_minutes", minutes);
  archive >> make_nvp("time_duration_seconds", seconds);
  archive >> make_nvp("time_duration_fractional_seconds", fraction);
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59 ||
      fraction < 0 || fraction >= boost::posix_time::time_duration::ticks_per_second()) {
    throw zu::nivo::CacheArchiveError("cache archive: invalid time of day at byte " +
                                      std::to_string(archive.Position()));
  }
  timeOfDay = boost::posix_time::time_duration(static_cast<int>(hours), static_cast<int>(minutes),
                                               static_cast<int>(seconds), fraction);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

void load(zu::nivo::imp::CacheIArchive& archive, boost::gregorian::date& date,
          const unsigned int /*version*/) {
  std::string text;
  archive >> make_nvp("date", text);
  if (text.size() == 8 && std::all_of(text.begin(), text.end(), IsDigit)) {
    const auto number = [&text](std::size_t from, std::size_t length) {
      unsigned int value = 0;
      for (std::size_t i = from; i < from + length; ++i)
        value = value * 10 + static_cast<unsigned int>(text[i] - '0');
      return static_cast<unsigned short>(value);
    };
    const unsigned short year = number(0, 4);
    const unsigned short month = number(4, 2);
    const unsigned short day = number(6, 2);
    // Built as boost's parser builds it: a value out of range throws the same exception.
    date = boost::gregorian::date(year, month, day);
    return;
  }
  try {
    date = boost::gregorian::from_undelimited_string(text);
  } catch (const boost::bad_lexical_cast&) {
    const boost::gregorian::special_values special =
        boost::gregorian::special_value_from_string(text);
    if (special == boost::gregorian::not_special)
      throw;
    date = boost::gregorian::date(special);
  }
}

void load(zu::nivo::imp::CacheIArchive& archive, boost::posix_time::time_duration& timeOfDay,
          const unsigned int version) {
  bool isSpecial = false;
  archive >> make_nvp("is_special", isSpecial);
  if (isSpecial) {
    throw zu::nivo::CacheArchiveError("cache archive: special time of day at byte " +
                                      std::to_string(archive.Position()));
  }
  // Version 0 stores the fields as 32-bit numbers, later versions as 64-bit ones; in text
  // both are decimal, only the range differs.
  if (version == 0)
    LoadTimeOfDay<std::int32_t>(archive, timeOfDay);
  else
    LoadTimeOfDay<std::int64_t>(archive, timeOfDay);
}

}  // namespace serialization

namespace archive {

template class detail::archive_serializer_map<zu::nivo::imp::CacheIArchive>;
template class basic_text_iarchive<zu::nivo::imp::CacheIArchive>;
template class text_iarchive_impl<zu::nivo::imp::CacheIArchive>;

}  // namespace archive
}  // namespace boost
