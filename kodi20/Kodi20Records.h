#pragma once

#include <ctime>
#include <map>
#include <string>

#include <kodi/addon-instance/PVR.h>
#include <boost/date_time/posix_time/posix_time_types.hpp>

#include "nivo/Channel.h"
#include "nivo/TVShow.h"

namespace zu {
namespace kodi20 {

// Kodi 20's PVR records made from the client's model. Kodi copies each record when it is added
// to a result set, so nothing here needs to outlive the call. Every text goes to Kodi as UTF-8:
// a model text that is not (one read from a cache written elsewhere) is re-encoded (see
// ToUtf8).

// A show time (the provider's wall-clock time without a zone) as Kodi's time: read as local
// time of the machine, the C library deciding on daylight saving. 0 for a time not set.
time_t ToKodiTime(const boost::posix_time::ptime& time);

// ToKodiTime for the many show times of a guide request, which lie on a few days: the
// machine's offset from UTC is looked up once per day (the C library reads the zone's rules
// anew for every time it converts) and serves every time of a day on which it does not
// change; the times of a day on which it changes are converted one by one. Not for threads at
// once; made per request, so a change of the machine's zone is seen by the next one.
class KodiTimes {
 public:
  time_t Convert(const boost::posix_time::ptime& time);

 private:
  // Day number -> the offset that holds all day (mktime's result less the time read as UTC),
  // or none.
  struct Day {
    bool fixed;
    time_t offset;
  };
  std::map<long, Day> days_;
};

kodi::addon::PVRChannel MakeChannel(const nivo::Channel& channel, const std::string& iconPath);
kodi::addon::PVRChannelGroup MakeChannelGroup(const std::string& name, bool isRadio);
kodi::addon::PVRChannelGroupMember MakeChannelGroupMember(const std::string& group,
                                                          unsigned int uid, unsigned int number);
// The guide entry of a show of the channel channelUid: title, times (converted by times),
// sub-title as the plot outline, description as the plot, year, image, and the genres as text.
kodi::addon::PVREPGTag MakeEpgTag(const nivo::TVShow& show, unsigned int channelUid,
                                  KodiTimes& times);

}  // namespace kodi20
}  // namespace zu
