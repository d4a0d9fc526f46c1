#include "kodi20/Kodi20Records.h"

#include <boost/date_time/posix_time/conversion.hpp>

#include "nivo/TextEncoding.h"

namespace zu {
namespace kodi20 {

namespace {

// The time as if it were UTC.
time_t AsUtc(const boost::posix_time::ptime& time) {
  static const boost::posix_time::ptime epoch(boost::gregorian::date(1970, 1, 1));
  return static_cast<time_t>((time - epoch).total_seconds());
}

}  // namespace

time_t ToKodiTime(const boost::posix_time::ptime& time) {
  if (time.is_special())
    return 0;
  struct tm broken = boost::posix_time::to_tm(time);
  broken.tm_isdst = -1;
  return mktime(&broken);
}

time_t KodiTimes::Convert(const boost::posix_time::ptime& time) {
  if (time.is_special())
    return 0;
  const boost::gregorian::date date = time.date();
  const long number = static_cast<long>(date.day_number());
  auto day = days_.find(number);
  if (day == days_.end()) {
    const boost::posix_time::ptime midnight(date);
    const boost::posix_time::ptime next = midnight + boost::gregorian::days(1);
    const time_t offset = ToKodiTime(midnight) - AsUtc(midnight);
    day = days_.emplace(number, Day{ToKodiTime(next) - AsUtc(next) == offset, offset}).first;
  }
  return day->second.fixed ? AsUtc(time) + day->second.offset : ToKodiTime(time);
}

kodi::addon::PVRChannel MakeChannel(const nivo::Channel& channel, const std::string& iconPath) {
  kodi::addon::PVRChannel record;
  record.SetUniqueId(channel.uid);
  record.SetIsRadio(channel.isRadio);
  record.SetChannelNumber(channel.number);
  record.SetChannelName(nivo::ToUtf8(channel.name));
  record.SetIconPath(nivo::ToUtf8(iconPath));
  return record;
}

kodi::addon::PVRChannelGroup MakeChannelGroup(const std::string& name, bool isRadio) {
  kodi::addon::PVRChannelGroup record;
  record.SetGroupName(nivo::ToUtf8(name));
  record.SetIsRadio(isRadio);
  record.SetPosition(0);
  return record;
}

kodi::addon::PVRChannelGroupMember MakeChannelGroupMember(const std::string& group,
                                                          unsigned int uid, unsigned int number) {
  kodi::addon::PVRChannelGroupMember record;
  record.SetGroupName(nivo::ToUtf8(group));
  record.SetChannelUniqueId(uid);
  record.SetChannelNumber(number);
  return record;
}

kodi::addon::PVREPGTag MakeEpgTag(const nivo::TVShow& show, unsigned int channelUid,
                                  KodiTimes& times) {
  kodi::addon::PVREPGTag tag;
  tag.SetUniqueBroadcastId(show.id);
  tag.SetUniqueChannelId(channelUid);
  tag.SetTitle(nivo::ToUtf8(show.title));
  tag.SetStartTime(times.Convert(show.start));
  tag.SetEndTime(times.Convert(show.end));
  tag.SetPlotOutline(nivo::ToUtf8(show.subTitle));
  tag.SetPlot(nivo::ToUtf8(show.description));
  tag.SetYear(static_cast<int>(show.year));
  tag.SetIconPath(nivo::ToUtf8(show.image));
  tag.SetGenreType(EPG_GENRE_USE_STRING);
  tag.SetGenreSubType(0);
  tag.SetGenreDescription(nivo::ToUtf8(show.genreText));
  return tag;
}

}  // namespace kodi20
}  // namespace zu
