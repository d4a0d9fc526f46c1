#include "nivo/imp/CacheTextReader.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>

#include <boost/date_time/gregorian/gregorian_types.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "nivo/CacheArchive.h"
#include "nivo/imp/CacheLayout.h"

namespace zu {
namespace nivo {
namespace imp {

namespace {

const std::uint64_t kAny = std::numeric_limits<std::uint64_t>::max();

// The least text a show and a person take: their tokens and separators.
const std::size_t kLeastShowText = 32;
const std::size_t kLeastPersonText = 6;

// A walk over one text; every step throws CacheArchiveError at the first byte it does not
// expect. Names of what is read go into the messages only.
class Parser {
 public:
  explicit Parser(const std::string& text)
      : begin_(text.data()), next_(begin_), end_(begin_ + text.size()) {}

  // The signature as a string token, then the archive version.
  void Header() {
    if (next_ == end_)
      throw CacheArchiveError("cache archive: empty text");
    const std::size_t signatureLength = sizeof(kArchiveSignature) - 1;
    const std::string length = std::to_string(signatureLength);
    if (static_cast<std::size_t>(end_ - next_) < length.size() + 1 + signatureLength ||
        std::memcmp(next_, length.data(), length.size()) != 0 || next_[length.size()] != ' ' ||
        std::memcmp(next_ + length.size() + 1, kArchiveSignature, signatureLength) != 0) {
      throw CacheArchiveError("cache archive: wrong signature");
    }
    next_ += length.size() + 1 + signatureLength;
    const std::uint64_t version = Number("archive version", nullptr, kAny);
    if (version != kArchiveVersion)
      Fail("unsupported archive version " + std::to_string(version));
  }

  // A decimal number of at most max after one space, as the writer writes it: no sign, no
  // leading zero. what (of the owner, if given) names it in messages.
  std::uint64_t Number(const char* what, const char* owner, std::uint64_t max) {
    if (next_ == end_ || *next_ != ' ')
      Expected(what, owner);
    ++next_;
    const char* start = next_;
    std::uint64_t value = 0;
    while (next_ != end_ && *next_ >= '0' && *next_ <= '9') {
      const unsigned int digit = static_cast<unsigned int>(*next_ - '0');
      if (digit > max || value > (max - digit) / 10)
        Fail(Name(what, owner) + " out of range");
      value = value * 10 + digit;
      ++next_;
    }
    if (next_ == start)
      Expected(what, owner);
    if (*start == '0' && next_ - start > 1)
      Fail(Name(what, owner) + " with a leading zero");
    return value;
  }
  unsigned int Unsigned(const char* what) {
    return static_cast<unsigned int>(
        Number(what, nullptr, std::numeric_limits<unsigned int>::max()));
  }
  bool Flag(const char* what) { return Number(what, nullptr, 1) == 1; }

  // Length, one space, that many bytes.
  void Text(std::string& text, const char* what) {
    const std::uint64_t length = Number("length", what, kAny);
    if (next_ == end_ || *next_ != ' ')
      Expected(what, nullptr);
    ++next_;
    if (length > static_cast<std::uint64_t>(end_ - next_)) {
      Fail("length " + std::to_string(length) + " of the " + what + " exceeds the remaining input");
    }
    text.assign(next_, static_cast<std::size_t>(length));
    next_ += length;
  }

  // Tracking level 0 and the class version before the first object of a class type; versions
  // up to maxVersion are taken.
  void ClassInfo(bool& read, const char* type, unsigned int& version, unsigned int maxVersion) {
    if (read)
      return;
    read = true;
    const std::uint64_t tracking = Number("tracking level", type, kAny);
    if (tracking != 0)
      Fail("unsupported tracking level " + std::to_string(tracking) + " of the " + type);
    const std::uint64_t stored = Number("class version", type, kAny);
    if (stored > maxVersion)
      Fail("unsupported class version " + std::to_string(stored) + " of the " + type);
    version = static_cast<unsigned int>(stored);
  }
  void ClassInfo(bool& read, const char* type) {
    unsigned int version = 0;
    ClassInfo(read, type, version, kClassVersion);
  }

  // Class info, element count and item version of a collection. A count the rest of the text
  // cannot hold at two bytes per element is not taken.
  std::size_t Collection(bool& classRead, const char* type) {
    ClassInfo(classRead, type);
    const std::uint64_t count = Number("element count", type, kAny);
    if (count > static_cast<std::uint64_t>(end_ - next_) / 2) {
      Fail("element count " + std::to_string(count) + " of the " + type +
           " exceeds the remaining input");
    }
    const std::uint64_t itemVersion = Number("item version", type, kAny);
    if (itemVersion != kClassVersion)
      Fail("unsupported item version " + std::to_string(itemVersion) + " of the " + type);
    return static_cast<std::size_t>(count);
  }

  void Strings(std::set<std::string>& strings, const char* type, const char* element) {
    const std::size_t count = Collection(stringSetRead_, type);
    strings.clear();
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
      Text(text, element);
      // As boost inserts set elements: after the previous one, the first of a text wins.
      strings.emplace_hint(strings.end(), std::move(text));
    }
  }

  boost::gregorian::date Date() {
    std::string text;
    Text(text, "date");
    if (text == "not-a-date-time")
      return boost::gregorian::date(boost::gregorian::not_a_date_time);
    if (text == "+infinity")
      return boost::gregorian::date(boost::gregorian::pos_infin);
    if (text == "-infinity")
      return boost::gregorian::date(boost::gregorian::neg_infin);
    unsigned int parts[3] = {0, 0, 0};
    const std::size_t widths[3] = {4, 2, 2};
    std::size_t at = 0;
    bool digits = text.size() == 8;
    for (int part = 0; digits && part < 3; ++part) {
      for (std::size_t i = 0; digits && i < widths[part]; ++i, ++at) {
        digits = text[at] >= '0' && text[at] <= '9';
        parts[part] = parts[part] * 10 + static_cast<unsigned int>(text[at] - '0');
      }
    }
    if (digits) {
      try {
        return boost::gregorian::date(static_cast<unsigned short>(parts[0]),
                                      static_cast<unsigned short>(parts[1]),
                                      static_cast<unsigned short>(parts[2]));
      } catch (const std::exception&) {
        // A day that does not exist, or a year outside the calendar's range.
      }
    }
    Fail("invalid date");
  }

  // The date and, unless it is special, the time of day.
  void Time(boost::posix_time::ptime& time) {
    ClassInfo(timeRead_, "time");
    ClassInfo(dateRead_, "date");
    const boost::gregorian::date date = Date();
    if (date.is_special()) {
      time = boost::posix_time::ptime(date.as_special());
      return;
    }
    static const char kTimeOfDay[] = "time of day";
    const std::uint64_t ticks =
        static_cast<std::uint64_t>(boost::posix_time::time_duration::ticks_per_second());
    ClassInfo(timeOfDayRead_, kTimeOfDay);
    if (Number("special flag", kTimeOfDay, 1) != 0)
      Fail("special time of day");
    const std::uint64_t hours = Number("hours", kTimeOfDay, 23);
    const std::uint64_t minutes = Number("minutes", kTimeOfDay, 59);
    const std::uint64_t seconds = Number("seconds", kTimeOfDay, 59);
    const std::uint64_t fraction = Number("fractional seconds", kTimeOfDay, ticks - 1);
    time = boost::posix_time::ptime(
        date,
        boost::posix_time::time_duration(
            static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(seconds),
            static_cast<boost::posix_time::time_duration::fractional_seconds_type>(fraction)));
  }

  void Show(TVShow& show) {
    ClassInfo(elementRead_, "show");
    show.id = Unsigned("show id");
    Text(show.title, "title");
    Text(show.subTitle, "subtitle");
    Text(show.reserved1, "first reserved text");
    Strings(show.genres, "genres", "genre");
    Text(show.genreText, "genre text");
    Text(show.country, "country");
    show.year = Unsigned("year");
    Text(show.description, "description");
    Text(show.reserved2, "second reserved text");
    show.duration = Unsigned("duration");
    Text(show.image, "image");
    const std::size_t persons = Collection(personsRead_, "person list");
    show.persons.clear();
    show.persons.reserve(std::min(persons, Affordable(kLeastPersonText)));
    for (std::size_t i = 0; i < persons; ++i) {
      show.persons.emplace_back();
      ClassInfo(personRead_, "person");
      Text(show.persons.back().first, "role");
      Text(show.persons.back().second, "person's name");
    }
    Time(show.start);
    Time(show.end);
    show.detailsRead = Flag("details flag");
  }

  void ChannelEntry(unsigned int& key, Channel& channel) {
    ClassInfo(elementRead_, "table entry");
    key = Unsigned("channel key");
    ClassInfo(channelRead_, "channel", channelVersion_, kChannelVersion);
    Text(channel.name, "channel name");
    channel.uid = Unsigned("channel uid");
    channel.number = Unsigned("channel number");
    Text(channel.logoUri, "logo URL");
    Text(channel.streamUrl, "stream URL");
    Strings(channel.groups, "groups", "group");
    channel.isRadio = channelVersion_ >= kChannelVersionWithRadioFlag && Flag("radio flag");
  }

  std::size_t Root(const char* type) { return Collection(rootRead_, type); }

  // Nothing but white space may follow the root object.
  void End() {
    for (; next_ != end_; ++next_) {
      if (!std::isspace(static_cast<unsigned char>(*next_)))
        Fail("unexpected data after the archive");
    }
  }

  // At most this many elements could still follow, at the least text an element takes.
  std::size_t Affordable(std::size_t bytesPerElement) const {
    return static_cast<std::size_t>(end_ - next_) / bytesPerElement;
  }

 private:
  static std::string Name(const char* what, const char* owner) {
    return owner == nullptr ? std::string(what) : std::string(what) + " of the " + owner;
  }
  [[noreturn]] void Fail(const std::string& problem) const {
    throw CacheArchiveError("cache archive: " + problem + " at byte " +
                            std::to_string(next_ - begin_));
  }
  [[noreturn]] void Expected(const char* what, const char* owner) const {
    Fail((next_ == end_ ? "truncated text: " : "") + Name(what, owner) + " expected");
  }

  const char* begin_;
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

}  // namespace

Channels CacheTextReader::ReadChannels(const std::string& text) {
  Parser parser(text);
  parser.Header();
  const std::size_t count = parser.Root("channel table");
  Channels channels;
  Channels::iterator hint = channels.begin();
  for (std::size_t i = 0; i < count; ++i) {
    unsigned int key = 0;
    Channel channel;
    parser.ChannelEntry(key, channel);
    // As boost inserts map entries: after the previous one, the first of a key wins.
    hint = channels.emplace_hint(hint, key, std::move(channel));
    ++hint;
  }
  parser.End();
  return channels;
}

TVShows CacheTextReader::ReadShows(const std::string& text) {
  Parser parser(text);
  parser.Header();
  const std::size_t count = parser.Root("show list");
  TVShows shows;
  shows.reserve(std::min(count, parser.Affordable(kLeastShowText)));
  for (std::size_t i = 0; i < count; ++i) {
    shows.emplace_back();
    parser.Show(shows.back());
  }
  parser.End();
  return shows;
}

}  // namespace imp
}  // namespace nivo
}  // namespace zu
