#pragma once

#include <cstddef>

#include "provider/Catalogue.h"

namespace zu {
namespace provider {

// A programme a station can schedule; a show is one broadcast of it.
struct Programme {
  char kind;  // pool letter, see the programme table
  const char* title;
  const char* type;
  const char* genre;
  unsigned minMinutes;  // multiples of 5, at least 5
  unsigned maxMinutes;  // at most 180
  const char* country;  // nullptr: none given
  unsigned year;        // 0: none given
  // Clock hours [fromHour, toHour) in which the programme may start; wraps past midnight
  // when fromHour > toHour. The default allows any time.
  unsigned fromHour = 0;
  unsigned toHour = 24;

  bool StartsAt(unsigned hour) const {
    return fromHour <= toHour ? hour >= fromHour && hour < toHour
                              : hour >= fromHour || hour < toHour;
  }
};

// A time range of a day and the pools its shows are drawn from; a letter repeated weighs more.
struct Daypart {
  unsigned clockMinute;  // start, minutes after midnight
  const char* pools;
};

// The dayparts of a station profile's broadcast day, from 05:00 to 05:00 of the next day.
struct ProfileSchedule {
  Profile profile;
  Daypart parts[12];  // ends with a null pools entry
};

// Every programme there is, for range-for.
struct ProgrammeList {
  const Programme* first;
  const Programme* last;
  const Programme* begin() const { return first; }
  const Programme* end() const { return last; }
};
ProgrammeList Programmes();

// The schedule of a profile (the general one for a profile without its own).
const ProfileSchedule& ScheduleOf(Profile profile);

}  // namespace provider
}  // namespace zu
