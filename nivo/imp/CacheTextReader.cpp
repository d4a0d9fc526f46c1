#include "nivo/imp/CacheTextReader.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>

#include <boost/date_time/gregorian/gregorian_types.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/serialization/version.hpp>

namespace zu {
namespace nivo {
namespace imp {

namespace {

const char kHeader[] = "22 serialization::archive 13";

// A walk over one text; every step false at the first byte it does not expect.
class Parser {
 public:
  explicit Parser(const std::string& text) : next_(text.data()), end_(text.data() + text.size()) {}

  bool Header() {
    const std::size_t length = sizeof(kHeader) - 1;
    if (static_cast<std::size_t>(end_ - next_) < length || std::memcmp(next_, kHeader, length) != 0)
      return false;
    next_ += length;
    return true;
  }

  // A decimal number of at most max, without sign or leading zeros, after one space.
  bool Number(std::uint64_t& value, std::uint64_t max) {
    if (next_ == end_ || *next_ != ' ')
      return false;
    ++next_;
    const char* start = next_;
    std::uint64_t result = 0;
    while (next_ != end_ && *next_ >= '0' && *next_ <= '9') {
      const unsigned int digit = static_cast<unsigned int>(*next_ - '0');
      if (result > max / 10 || (result == max / 10 && digit > max % 10))
        return false;
      result = result * 10 + digit;
      ++next_;
    }
    const std::size_t digits = static_cast<std::size_t>(next_ - start);
    if (digits == 0 || (digits > 1 && *start == '0'))
      return false;
    value = result;
    return true;
  }
  bool Unsigned(unsigned int& value) {
    std::uint64_t read = 0;
    if (!Number(read, std::numeric_limits<unsigned int>::max()))
      return false;
    value = static_cast<unsigned int>(read);
    return true;
  }
  bool Flag(bool& value) {
    std::uint64_t read = 0;
    if (!Number(read, 1))
      return false;
    value = read == 1;
    return true;
  }
  // A number that must be exactly expected.
  bool Exactly(std::uint64_t expected) {
    std::uint64_t read = 0;
    return Number(read, expected) && read == expected;
  }
  // Length, one space, that many bytes.
  bool Text(std::string& text) {
    std::uint64_t length = 0;
    if (!Number(length, std::numeric_limits<std::size_t>::max()) || next_ == end_ || *next_ != ' ')
      return false;
    ++next_;
    if (length > static_cast<std::uint64_t>(end_ - next_))
      return false;
    text.assign(next_, static_cast<std::size_t>(length));
    next_ += length;
    return true;
  }
  // Tracking level 0 and a version before the first object of a class type; versions up to
  // maxVersion are taken.
  bool ClassInfo(bool& read, unsigned int& version, unsigned int maxVersion) {
    if (read)
      return true;
    read = true;
    std::uint64_t value = 0;
    if (!Exactly(0) || !Number(value, maxVersion))
      return false;
    version = static_cast<unsigned int>(value);
    return true;
  }
  bool ClassInfo(bool& read) {
    unsigned int version = 0;
    return ClassInfo(read, version, 0);
  }
  // Count and item version of a collection; a count the rest of the text cannot hold at two
  // bytes per element is not taken.
  bool Collection(bool& classRead, std::size_t& count) {
    std::uint64_t value = 0;
    if (!ClassInfo(classRead) || !Number(value, std::numeric_limits<std::size_t>::max()) ||
        value > static_cast<std::uint64_t>(end_ - next_) / 2 || !Exactly(0))
      return false;
    count = static_cast<std::size_t>(value);
    return true;
  }
  bool Strings(std::set<std::string>& strings) {
    std::size_t count = 0;
    if (!Collection(stringSetRead_, count))
      return false;
    strings.clear();
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
      if (!Text(text))
        return false;
      strings.emplace_hint(strings.end(), std::move(text));
    }
    return true;
  }
  bool Date(boost::gregorian::date& date) {
    std::string text;
    if (!Text(text))
      return false;
    if (text == "not-a-date-time") {
      date = boost::gregorian::date(boost::gregorian::not_a_date_time);
    } else if (text == "+infinity") {
      date = boost::gregorian::date(boost::gregorian::pos_infin);
    } else if (text == "-infinity") {
      date = boost::gregorian::date(boost::gregorian::neg_infin);
    } else {
      if (text.size() != 8)
        return false;
      unsigned int parts[3] = {0, 0, 0};
      const std::size_t widths[3] = {4, 2, 2};
      std::size_t at = 0;
      for (int part = 0; part < 3; ++part) {
        for (std::size_t i = 0; i < widths[part]; ++i, ++at) {
          if (text[at] < '0' || text[at] > '9')
            return false;
          parts[part] = parts[part] * 10 + static_cast<unsigned int>(text[at] - '0');
        }
      }
      // Throws for a date that does not exist; the caller gives up on the text.
      date = boost::gregorian::date(static_cast<unsigned short>(parts[0]),
                                    static_cast<unsigned short>(parts[1]),
                                    static_cast<unsigned short>(parts[2]));
    }
    return true;
  }
  bool Time(boost::posix_time::ptime& time) {
    boost::gregorian::date date(boost::gregorian::not_a_date_time);
    if (!ClassInfo(timeRead_) || !ClassInfo(dateRead_) || !Date(date))
      return false;
    if (date.is_special()) {
      time = boost::posix_time::ptime(date.as_special());
      return true;
    }
    unsigned int version = 0;
    bool special = true;
    std::uint64_t hours = 0;
    std::uint64_t minutes = 0;
    std::uint64_t seconds = 0;
    std::uint64_t fraction = 0;
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(boost::posix_time::time_duration::ticks_per_second());
    if (!ClassInfo(timeOfDayRead_, version, 0) || !Flag(special) || special || !Number(hours, 23) ||
        !Number(minutes, 59) || !Number(seconds, 59) || !Number(fraction, ticks - 1))
      return false;
    time = boost::posix_time::ptime(
        date,
        boost::posix_time::time_duration(
            static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(seconds),
            static_cast<boost::posix_time::time_duration::fractional_seconds_type>(fraction)));
    return true;
  }

  bool Show(TVShow& show) {
    std::size_t persons = 0;
    if (!ClassInfo(elementRead_) || !Unsigned(show.id) || !Text(show.title) ||
        !Text(show.subTitle) || !Text(show.reserved1) || !Strings(show.genres) ||
        !Text(show.genreText) || !Text(show.country) || !Unsigned(show.year) ||
        !Text(show.description) || !Text(show.reserved2) || !Unsigned(show.duration) ||
        !Text(show.image) || !Collection(personsRead_, persons))
      return false;
    show.persons.clear();
    show.persons.reserve(persons);
    for (std::size_t i = 0; i < persons; ++i) {
      show.persons.emplace_back();
      if (!ClassInfo(personRead_) || !Text(show.persons.back().first) ||
          !Text(show.persons.back().second))
        return false;
    }
    return Time(show.start) && Time(show.end) && Flag(show.detailsRead);
  }

  bool ChannelEntry(unsigned int& key, Channel& channel) {
    if (!ClassInfo(elementRead_) || !Unsigned(key) ||
        !ClassInfo(channelRead_, channelVersion_, 1) || !Text(channel.name) ||
        !Unsigned(channel.uid) || !Unsigned(channel.number) || !Text(channel.logoUri) ||
        !Text(channel.streamUrl) || !Strings(channel.groups))
      return false;
    channel.isRadio = false;
    return channelVersion_ < 1 || Flag(channel.isRadio);
  }

  bool Root(std::size_t& count) { return Collection(rootRead_, count); }

  // Nothing but white space left.
  bool AtEnd() const {
    for (const char* at = next_; at != end_; ++at) {
      if (!std::isspace(static_cast<unsigned char>(*at)))
        return false;
    }
    return true;
  }

  // At most this many elements could still follow, at the least text an element takes.
  std::size_t Affordable(std::size_t bytesPerElement) const {
    return static_cast<std::size_t>(end_ - next_) / bytesPerElement;
  }

 private:
  const char* next_;
  const char* end_;
  bool rootRead_ = false;
  bool elementRead_ = false;
  bool channelRead_ = false;
  unsigned int channelVersion_ = 0;
  bool stringSetRead_ = false;
  bool personsRead_ = false;
  bool personRead_ = false;
  bool timeRead_ = false;
  bool dateRead_ = false;
  bool timeOfDayRead_ = false;
};

// The least text a show takes: sixteen tokens and their separators.
const std::size_t kLeastShowText = 32;

}  // namespace

bool CacheTextReader::Read(const std::string& text, Channels& channels) {
  static_assert(boost::serialization::version<Channel>::value == 1,
                "the reader knows channel versions 0 and 1");
  try {
    Parser parser(text);
    std::size_t count = 0;
    if (!parser.Header() || !parser.Root(count))
      return false;
    Channels read;
    Channels::iterator hint = read.begin();
    for (std::size_t i = 0; i < count; ++i) {
      unsigned int key = 0;
      Channel channel;
      if (!parser.ChannelEntry(key, channel))
        return false;
      // As boost inserts map entries: after the previous one, the first of a key wins.
      hint = read.emplace_hint(hint, key, std::move(channel));
      ++hint;
    }
    if (!parser.AtEnd())
      return false;
    channels.swap(read);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool CacheTextReader::Read(const std::string& text, TVShows& shows) {
  try {
    Parser parser(text);
    std::size_t count = 0;
    if (!parser.Header() || !parser.Root(count))
      return false;
    TVShows read;
    read.reserve(std::min(count, parser.Affordable(kLeastShowText)));
    for (std::size_t i = 0; i < count; ++i) {
      read.emplace_back();
      if (!parser.Show(read.back()))
        return false;
    }
    if (!parser.AtEnd())
      return false;
    shows.swap(read);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace imp
}  // namespace nivo
}  // namespace zu
