#pragma once

#include <ctime>
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

kodi::addon::PVRChannel MakeChannel(const nivo::Channel& channel, const std::string& iconPath);
kodi::addon::PVRChannelGroup MakeChannelGroup(const std::string& name, bool isRadio);
kodi::addon::PVRChannelGroupMember MakeChannelGroupMember(const std::string& group,
                                                          unsigned int uid, unsigned int number);
// The guide entry of a show of the channel channelUid: title, times, sub-title as the plot
// outline, description as the plot, year, image, and the genres as text.
kodi::addon::PVREPGTag MakeEpgTag(const nivo::TVShow& show, unsigned int channelUid);

}  // namespace kodi20
}  // namespace zu
