#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "catalogue/HostFixture.h"
#include "nivo/CacheArchive.h"

namespace faults_test {

using catalogue_test::ReadFile;
using catalogue_test::WriteFile;

// Every wait of these tests ends after this at the latest; the add-on's own bound on a
// request that makes no progress is 30 seconds.
const std::chrono::seconds kBound(120);

// Seconds since the epoch of a UTC date and time.
inline time_t Utc(int year, int month, int day, int hour = 0) {
  struct tm broken = {};
  broken.tm_year = year - 1900;
  broken.tm_mon = month - 1;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  return timegm(&broken);
}

// What the host shows of a channel, comparable as a whole.
using ChannelView = std::tuple<unsigned int, unsigned int, std::string, std::string, bool>;
// What the host shows of a guide entry.
using EntryView = std::tuple<unsigned int, time_t, time_t, std::string>;

// The built add-on in the stand-in host against the sample provider (time zone UTC), with
// what the tests compare before and after a fault: the channels and guide the host receives
// and the cache files in the user path.
class FaultFixture : public catalogue_test::HostFixture {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    catalogue_test::HostFixture::SetUp();
    ShipBuilt("radio.m3u");
  }

  // The uid of the first TV station of the sample catalogue.
  unsigned int FirstUid() const { return provider->GetCatalogue().Stations().front().uid; }

  std::vector<ChannelView> TvChannels() {
    std::vector<ChannelView> views;
    for (const zu::host::Channel& channel : Channels(false))
      views.emplace_back(channel.uid, channel.number, channel.name, channel.streamUrl,
                         channel.isRadio);
    return views;
  }
  std::vector<EntryView> Guide(unsigned int uid, time_t from, time_t to) {
    zu::host::Channel channel;
    channel.uid = uid;
    std::vector<zu::host::EpgEntry> entries;
    EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetEpg(channel, from, to, entries));
    std::vector<EntryView> views;
    for (const zu::host::EpgEntry& entry : entries)
      views.emplace_back(entry.broadcastId, entry.startTime, entry.endTime, entry.title);
    return views;
  }

  std::string GuideCachePath(unsigned int uid) const {
    return UserPath() + "/epg/channel_" + std::to_string(uid) + ".zug";
  }
  std::string LogoFolder() const { return UserPath() + "/channel_logos"; }
  // The channel cache and the guide caches as the tables they hold; a file that cannot be
  // read shows as missing.
  zu::nivo::Channels CachedChannels() const {
    try {
      return zu::nivo::ReadChannelsArchive(ReadFile(CachePath()));
    } catch (const std::exception&) {
      return zu::nivo::Channels();
    }
  }
  std::map<std::string, zu::nivo::TVShows> CachedGuides() const {
    std::map<std::string, zu::nivo::TVShows> guides;
    const std::filesystem::path folder = UserPath() + "/epg";
    if (!std::filesystem::is_directory(folder))
      return guides;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      try {
        guides[entry.path().filename()] = zu::nivo::ReadShowsArchive(ReadFile(entry.path()));
      } catch (const std::exception&) {
      }
    }
    return guides;
  }

  // A first session with the provider answering: the channels are listed, the guide of the
  // first channel is requested for the window, and the session ends. Leaves the caches and
  // what the host received.
  void Warm() {
    ASSERT_TRUE(Load());
    warmChannels = TvChannels();
    ASSERT_FALSE(warmChannels.empty());
    warmGuide = Guide(FirstUid(), windowStart, windowEnd);
    ASSERT_FALSE(warmGuide.empty());
    host.reset();
    warmCache = CachedChannels();
    warmGuides = CachedGuides();
    ASSERT_FALSE(warmCache.empty());
    ASSERT_EQ(1u, warmGuides.size());
  }
  // After a session with a fault: nothing the warm session left is lost.
  void ExpectCachesKept() {
    EXPECT_EQ(warmCache, CachedChannels());
    EXPECT_EQ(warmGuides, CachedGuides());
  }

  const time_t windowStart = Utc(2016, 1, 31, 6);
  const time_t windowEnd = windowStart + 6 * 3600;
  std::vector<ChannelView> warmChannels;
  std::vector<EntryView> warmGuide;
  zu::nivo::Channels warmCache;
  std::map<std::string, zu::nivo::TVShows> warmGuides;
};

}  // namespace faults_test
