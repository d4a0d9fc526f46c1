#include "nivo/imp/CacheTextWriter.h"

#include <charconv>
#include <cstdint>

namespace zu {
namespace nivo {
namespace imp {

namespace {

// A guess of the text per record, so that the text rarely grows while it is written.
const std::size_t kBytesPerShow = 160;
const std::size_t kBytesPerChannel = 120;

}  // namespace

CacheTextWriter::CacheTextWriter(std::string& out) : out_(out) {}

std::string CacheTextWriter::Write(const Channels& channels) {
  std::string text;
  text.reserve(64 + channels.size() * kBytesPerChannel);
  CacheTextWriter writer(text);
  writer.Header();
  writer.Collection(writer.rootWritten_, channels.size());
  for (const auto& entry : channels)
    writer.ChannelEntry(entry.first, entry.second);
  return text;
}

std::string CacheTextWriter::Write(const TVShows& shows) {
  std::string text;
  text.reserve(64 + shows.size() * kBytesPerShow);
  CacheTextWriter writer(text);
  writer.Header();
  writer.Collection(writer.rootWritten_, shows.size());
  for (const TVShow& show : shows)
    writer.Show(show);
  return text;
}

void CacheTextWriter::Header() {
  Text(kArchiveSignature);
  Number(kArchiveVersion);
}

void CacheTextWriter::Number(unsigned long long value) {
  if (!first_)
    out_ += ' ';
  first_ = false;
  char digits[24];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof(digits), value);
  out_.append(digits, end.ptr);
}

void CacheTextWriter::SignedNumber(long long value) {
  if (!first_)
    out_ += ' ';
  first_ = false;
  char digits[24];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof(digits), value);
  out_.append(digits, end.ptr);
}

void CacheTextWriter::Text(const std::string& text) {
  Number(text.size());
  out_ += ' ';
  out_ += text;
}

void CacheTextWriter::ClassInfo(bool& written, unsigned int version) {
  if (written)
    return;
  written = true;
  // Tracking level 0: these records are never stored through pointers.
  Number(0);
  Number(version);
}

void CacheTextWriter::Collection(bool& classWritten, std::size_t count) {
  ClassInfo(classWritten, kClassVersion);
  Number(count);
  Number(kClassVersion);
}

void CacheTextWriter::Strings(const std::set<std::string>& strings) {
  Collection(stringSetWritten_, strings.size());
  for (const std::string& text : strings)
    Text(text);
}

void CacheTextWriter::Time(const boost::posix_time::ptime& time) {
  ClassInfo(timeWritten_, kClassVersion);
  ClassInfo(dateWritten_, kClassVersion);
  const boost::gregorian::date date = time.date();
  if (date.is_special()) {
    Text(date.is_not_a_date()     ? "not-a-date-time"
         : date.is_neg_infinity() ? "-infinity"
                                  : "+infinity");
  } else {
    const boost::gregorian::date::ymd_type ymd = date.year_month_day();
    const unsigned int year = ymd.year;
    const unsigned int month = ymd.month;
    const unsigned int day = ymd.day;
    // Dates run from 1400 to 9999: always four digits of year.
    char iso[8] = {
        static_cast<char>('0' + year / 1000),    static_cast<char>('0' + year / 100 % 10),
        static_cast<char>('0' + year / 10 % 10), static_cast<char>('0' + year % 10),
        static_cast<char>('0' + month / 10),     static_cast<char>('0' + month % 10),
        static_cast<char>('0' + day / 10),       static_cast<char>('0' + day % 10)};
    Number(sizeof(iso));
    out_ += ' ';
    out_.append(iso, sizeof(iso));
  }
  if (time.is_special())
    return;
  const boost::posix_time::time_duration timeOfDay = time.time_of_day();
  ClassInfo(timeOfDayWritten_, kClassVersion);
  Flag(false);  // not special: a time of day never is
  SignedNumber(timeOfDay.hours());
  SignedNumber(timeOfDay.minutes());
  SignedNumber(timeOfDay.seconds());
  SignedNumber(timeOfDay.fractional_seconds());
}

void CacheTextWriter::Show(const TVShow& show) {
  ClassInfo(elementWritten_, kClassVersion);
  Number(show.id);
  Text(show.title);
  Text(show.subTitle);
  Text(show.reserved1);
  Strings(show.genres);
  Text(show.genreText);
  Text(show.country);
  Number(show.year);
  Text(show.description);
  Text(show.reserved2);
  Number(show.duration);
  Text(show.image);
  Collection(personsWritten_, show.persons.size());
  for (const auto& person : show.persons) {
    ClassInfo(personWritten_, kClassVersion);
    Text(person.first);
    Text(person.second);
  }
  Time(show.start);
  Time(show.end);
  Flag(show.detailsRead);
}

void CacheTextWriter::ChannelEntry(unsigned int key, const Channel& channel) {
  ClassInfo(elementWritten_, kClassVersion);
  Number(key);
  ClassInfo(channelWritten_, kChannelVersion);
  Text(channel.name);
  Number(channel.uid);
  Number(channel.number);
  Text(channel.logoUri);
  Text(channel.streamUrl);
  Strings(channel.groups);
  Flag(channel.isRadio);
}

}  // namespace imp
}  // namespace nivo
}  // namespace zu
