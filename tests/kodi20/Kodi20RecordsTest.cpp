#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

#include "kodi20/Kodi20Records.h"

namespace {

using namespace zu::kodi20;
using boost::posix_time::ptime;
using boost::posix_time::time_from_string;

TEST(Kodi20RecordsTest, ShowTimesAreTheMachinesLocalTime) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(ToKodiTime(time_from_string("2024-03-01 10:05:07")), 1709287507);
  EXPECT_EQ(ToKodiTime(ptime()), 0);
  ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  ::tzset();
  // Winter and summer time of the same wall-clock hour lie an hour apart in UTC.
  EXPECT_EQ(ToKodiTime(time_from_string("2024-01-15 20:15:00")), 1705346100);
  EXPECT_EQ(ToKodiTime(time_from_string("2024-07-15 20:15:00")), 1721067300);
}

// The offset looked up once per day must not carry over into the hours after a change of
// daylight saving, nor into the next day.
TEST(Kodi20RecordsTest, ShowTimesOfAGuideRequestAreConvertedAsOneByOneAlsoAcrossSummerTime) {
  ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  ::tzset();
  for (const char* first : {"2024-03-29 00:00:00", "2024-10-25 00:00:00"}) {
    KodiTimes times;
    const ptime start = time_from_string(first);
    for (int minutes = 0; minutes < 5 * 24 * 60; minutes += 10) {
      const ptime time = start + boost::posix_time::minutes(minutes);
      EXPECT_EQ(ToKodiTime(time), times.Convert(time)) << time;
    }
    EXPECT_EQ(0, times.Convert(ptime()));
  }
}

TEST(Kodi20RecordsTest, ChannelGroupAndMemberRecords) {
  zu::nivo::Channel channel;
  channel.uid = 71001;
  channel.number = 7;
  channel.name = "Erstes Programm";
  channel.isRadio = false;
  channel.streamUrl = "http://127.0.0.1/stream/71001.ts";
  kodi::addon::PVRChannel record = MakeChannel(channel, "/logos/Erstes Programm.png");
  EXPECT_EQ(record.GetUniqueId(), 71001u);
  EXPECT_EQ(record.GetChannelNumber(), 7u);
  EXPECT_EQ(record.GetChannelName(), "Erstes Programm");
  EXPECT_FALSE(record.GetIsRadio());
  EXPECT_EQ(record.GetIconPath(), "/logos/Erstes Programm.png");
  channel.isRadio = true;
  EXPECT_TRUE(MakeChannel(channel, "").GetIsRadio());

  kodi::addon::PVRChannelGroup group = MakeChannelGroup("Nivo TV Plus", true);
  EXPECT_EQ(group.GetGroupName(), "Nivo TV Plus");
  EXPECT_TRUE(group.GetIsRadio());
  kodi::addon::PVRChannelGroupMember member = MakeChannelGroupMember("HD", 71001, 7);
  EXPECT_EQ(member.GetGroupName(), "HD");
  EXPECT_EQ(member.GetChannelUniqueId(), 71001u);
  EXPECT_EQ(member.GetChannelNumber(), 7u);
}

TEST(Kodi20RecordsTest, GuideEntryCarriesTheShowUnderTheRequestedChannel) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  zu::nivo::TVShow show;
  show.id = 4711;
  show.title = "Tom & Tina";
  show.subTitle = "Folge 3";
  show.description = "Eine Geschichte.";
  show.year = 1999;
  show.image = "http://127.0.0.1/image/4711.png";
  show.AddGenre("Kinder");
  show.AddGenre("Zeichentrick");
  show.start = time_from_string("2024-03-01 10:00:00");
  show.end = time_from_string("2024-03-01 10:25:00");
  KodiTimes times;
  kodi::addon::PVREPGTag tag = MakeEpgTag(show, 71001, times);
  EXPECT_EQ(tag.GetUniqueBroadcastId(), 4711u);
  EXPECT_EQ(tag.GetUniqueChannelId(), 71001u);
  EXPECT_EQ(tag.GetTitle(), "Tom & Tina");
  EXPECT_EQ(tag.GetPlotOutline(), "Folge 3");
  EXPECT_EQ(tag.GetPlot(), "Eine Geschichte.");
  EXPECT_EQ(tag.GetYear(), 1999);
  EXPECT_EQ(tag.GetIconPath(), "http://127.0.0.1/image/4711.png");
  EXPECT_EQ(tag.GetStartTime(), 1709287200);
  EXPECT_EQ(tag.GetEndTime(), 1709288700);
  EXPECT_EQ(tag.GetGenreType(), EPG_GENRE_USE_STRING);
  EXPECT_EQ(tag.GetGenreDescription(), "Kinder/Zeichentrick");
}

}  // namespace
