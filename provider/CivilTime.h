#pragma once

#include <cstdint>
#include <string>

namespace zu {
namespace provider {

// The provider's wall-clock time as whole seconds since 1970-01-01T00:00:00, without a time
// zone: the guide documents carry no zone, so all arithmetic happens on the civil calendar
// (every day has 86400 seconds, there is no daylight-saving jump).
using CivilSeconds = std::int64_t;

constexpr CivilSeconds kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date; month 1..12, day 1..31.
std::int64_t DaysFromCivil(int year, unsigned month, unsigned day);
void CivilFromDays(std::int64_t days, int& year, unsigned& month, unsigned& day);
CivilSeconds MakeCivil(int year, unsigned month, unsigned day, unsigned hour = 0,
                       unsigned minute = 0, unsigned second = 0);

// "YYYY-MM-DDTHH:MM:SS", the form of the show times.
std::string FormatExtended(CivilSeconds time);
// "YYYYMMDDTHHMMSS", the form of a guide request's period start.
std::string FormatBasic(CivilSeconds time);

// The current local wall-clock time of this machine.
CivilSeconds NowLocal();

// A guide request's period, "YYYYMMDDTHHMMSS[.ffffff]/NH": a start and a length in whole hours.
struct Period {
  CivilSeconds start = 0;
  bool startHasFraction = false;  // the start lies strictly inside the second `start`
  unsigned hours = 0;

  CivilSeconds End() const { return start + static_cast<CivilSeconds>(hours) * 3600; }
  // True when [from, to) shares time with [start, start + hours), fractions included.
  bool Overlaps(CivilSeconds from, CivilSeconds to) const;
};

// Parses the period text; hours must lie in 1..maxHours. On failure returns false and
// describes the problem in error.
bool ParsePeriod(const std::string& text, unsigned maxHours, Period& period, std::string& error);

}  // namespace provider
}  // namespace zu
