#include "provider/CivilTime.h"

#include <time.h>

#include <cstdio>

namespace zu {
namespace provider {
namespace {

bool IsLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(int year, unsigned month) {
  static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Reads exactly `count` decimal digits at text[pos].
bool ReadDigits(const std::string& text, std::size_t pos, std::size_t count, unsigned& value) {
  if (pos + count > text.size()) {
    return false;
  }
  value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  }
  return true;
}

}  // namespace

// Howard Hinnant's days_from_civil / civil_from_days.
std::int64_t DaysFromCivil(int year, unsigned month, unsigned day) {
  std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t yoe = y - era * 400;
  std::int64_t mp = (static_cast<std::int64_t>(month) + 9) % 12;
  std::int64_t doy = (153 * mp + 2) / 5 + static_cast<std::int64_t>(day) - 1;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t days, int& year, unsigned& month, unsigned& day) {
  std::int64_t z = days + 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

CivilSeconds MakeCivil(int year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                       unsigned second) {
  return DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
}

namespace {

void Split(CivilSeconds time, int& year, unsigned& month, unsigned& day, unsigned& hour,
           unsigned& minute, unsigned& second) {
  std::int64_t days =
      time >= 0 ? time / kSecondsPerDay : (time - kSecondsPerDay + 1) / kSecondsPerDay;
  std::int64_t rest = time - days * kSecondsPerDay;
  CivilFromDays(days, year, month, day);
  hour = static_cast<unsigned>(rest / 3600);
  minute = static_cast<unsigned>(rest / 60 % 60);
  second = static_cast<unsigned>(rest % 60);
}

}  // namespace

std::string FormatExtended(CivilSeconds time) {
  int year;
  unsigned month, day, hour, minute, second;
  Split(time, year, month, day, hour, minute, second);
  char text[40];
  std::snprintf(text, sizeof(text), "%04d-%02u-%02uT%02u:%02u:%02u", year, month, day, hour, minute,
                second);
  return text;
}

std::string FormatBasic(CivilSeconds time) {
  int year;
  unsigned month, day, hour, minute, second;
  Split(time, year, month, day, hour, minute, second);
  char text[40];
  std::snprintf(text, sizeof(text), "%04d%02u%02uT%02u%02u%02u", year, month, day, hour, minute,
                second);
  return text;
}

CivilSeconds NowLocal() {
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  return MakeCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                   static_cast<unsigned>(local.tm_mday), static_cast<unsigned>(local.tm_hour),
                   static_cast<unsigned>(local.tm_min),
                   static_cast<unsigned>(local.tm_sec > 59 ? 59 : local.tm_sec));
}

bool Period::Overlaps(CivilSeconds from, CivilSeconds to) const {
  // With a fractional start s+f the period is (s+f, E+f): a show ending at s still misses it,
  // a show starting exactly at E is still inside.
  CivilSeconds end = End();
  bool beforeEnd = startHasFraction ? from <= end : from < end;
  return beforeEnd && to > start;
}

bool ParsePeriod(const std::string& text, unsigned maxHours, Period& period, std::string& error) {
  unsigned year, month, day, hour, minute, second;
  if (!ReadDigits(text, 0, 4, year) || !ReadDigits(text, 4, 2, month) ||
      !ReadDigits(text, 6, 2, day) || text.size() < 9 || text[8] != 'T' ||
      !ReadDigits(text, 9, 2, hour) || !ReadDigits(text, 11, 2, minute) ||
      !ReadDigits(text, 13, 2, second)) {
    error = "period '" + text + "' does not start with YYYYMMDDTHHMMSS";
    return false;
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(static_cast<int>(year), month) ||
      hour > 23 || minute > 59 || second > 59) {
    error = "period '" + text + "' names an invalid date or time";
    return false;
  }
  std::size_t pos = 15;
  bool fraction = false;
  if (pos < text.size() && text[pos] == '.') {
    std::size_t digits = 0;
    ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      fraction = fraction || text[pos] != '0';
      ++pos;
      ++digits;
    }
    if (digits == 0 || digits > 9) {
      error = "period '" + text + "' has a bad fraction of a second";
      return false;
    }
  }
  if (pos >= text.size() || text[pos] != '/') {
    error = "period '" + text + "' lacks '/' before its length";
    return false;
  }
  ++pos;
  std::size_t hoursEnd = text.size() - 1;
  if (text.size() < pos + 2 || text[hoursEnd] != 'H' || hoursEnd - pos > 4) {
    error = "period '" + text + "' does not end with a length in hours such as /24H";
    return false;
  }
  unsigned hours = 0;
  if (!ReadDigits(text, pos, hoursEnd - pos, hours) || hours < 1 || hours > maxHours) {
    error = "period '" + text + "' has a length outside 1.." + std::to_string(maxHours) + " hours";
    return false;
  }
  period.start = MakeCivil(static_cast<int>(year), month, day, hour, minute, second);
  period.startHasFraction = fraction;
  period.hours = hours;
  return true;
}

}  // namespace provider
}  // namespace zu
