// The guide of the built add-on, loaded through the stand-in host against the sample provider:
// the requests a guide window costs, the guide cache across requests and loads, reader
// failures, time zones, and the shutdown of the guide update thread.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>

#include "base/TempDir.h"
#include "host/StandInHost.h"
#include "nivo/CacheArchive.h"
#include "nivo/HttpPageReader.h"
#include "nivo/Json.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"

namespace guide_test {
namespace {

using zu::host::EpgEntry;
using zu::provider::Endpoint;
using zu::provider::Fault;
using zu::provider::FaultRule;

const std::chrono::seconds kBound(20);
const char kShowList[] = "/a/api.mobile.event.hour?";
const char kDetails[] = "/a/api.mobile.event.get?";
const unsigned int kFirst = 81001;
const unsigned int kSecond = 81002;
const unsigned int kRadio = 10000;

const char kCatalogue[] = R"({"stations": [
  {"uid": 81001, "number": 1, "name": "Erstes", "channel": "Test", "flags": [], "products": [],
   "logo": "erstes.png", "colour": "#102030", "profile": "general", "playlists": ["fta"]},
  {"uid": 81002, "number": 2, "name": "Zweites", "channel": "Test", "flags": [], "products": [],
   "logo": "zweites.png", "colour": "#302010", "profile": "news", "playlists": ["fta"]}]})";

const char kRadioPlaylist[] =
    "#EXTM3U\n## Radio\n#EXTINF:-1,Radio Eins\nhttp://127.0.0.1/radio/1.mp3\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& data) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
}

time_t Utc(int year, int month, int day, int hour = 0) {
  struct tm broken = {};
  broken.tm_year = year - 1900;
  broken.tm_mon = month - 1;
  broken.tm_mday = day;
  broken.tm_hour = hour;
  return timegm(&broken);
}

// The local wall-clock time of a calendar time, as shows carry it.
boost::posix_time::ptime Local(time_t time) {
  struct tm broken = {};
  localtime_r(&time, &broken);
  return boost::posix_time::ptime_from_tm(broken);
}

std::vector<unsigned int> Ids(const std::vector<EpgEntry>& entries) {
  std::vector<unsigned int> ids;
  for (const EpgEntry& entry : entries)
    ids.push_back(entry.broadcastId);
  return ids;
}

std::vector<unsigned int> Ids(const zu::nivo::TVShows& shows) {
  std::vector<unsigned int> ids;
  for (const zu::nivo::TVShow& show : shows)
    ids.push_back(show.id);
  return ids;
}

// The add-on runs from a package folder of the test's own: the built library and manifest, a
// radio playlist of one station and no shipped channel table, so the table holds the
// provider's two TV stations and one radio station.
class GuideHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    ASSERT_FALSE(dir.Path().empty());
    std::filesystem::create_directories(Package());
    std::filesystem::copy_file(kBuiltPackage + "/addon.xml", Package() + "/addon.xml");
    std::filesystem::create_symlink(kBuiltPackage + "/libZUNivoTVKodiPlugin.so",
                                    Package() + "/libZUNivoTVKodiPlugin.so");
    WriteFile(Package() + "/radio.m3u", kRadioPlaylist);

    zu::provider::Catalogue catalogue;
    std::string error;
    ASSERT_TRUE(zu::provider::Catalogue::Parse(kCatalogue, catalogue, error)) << error;
    zu::provider::SampleProvider::Options options;
    options.log = [](const std::string&) {};
    provider.reset(new zu::provider::SampleProvider(std::move(catalogue), options));
    ASSERT_TRUE(provider->Start());
    const std::string endpoint = "127.0.0.1:" + std::to_string(provider->Port());
    setenv("NIVOTV_SERVICE_HOST", endpoint.c_str(), 1);
    setenv("NIVOTV_GUIDE_HOST", endpoint.c_str(), 1);
  }
  void TearDown() override {
    host.reset();
    if (provider)
      provider->Stop();
  }

  void Load() {
    zu::host::HostOptions options;
    options.addonFolder = Package();
    options.userPath = dir / "user";
    options.hostBase = ZU_HOST_BASE_DIR;
    options.logPath = dir / "host.log";
    zu::host::LoadFailure failure;
    host = zu::host::StandInHost::Load(options, failure);
    ASSERT_TRUE(host) << failure.message;
    ASSERT_EQ(3, host->GetChannelsAmount());
  }

  std::vector<EpgEntry> Guide(unsigned int uid, time_t start, time_t end) {
    zu::host::Channel channel;
    channel.uid = uid;
    std::vector<EpgEntry> entries;
    EXPECT_EQ(PVR_ERROR_NO_ERROR, host->GetEpg(channel, start, end, entries));
    return entries;
  }
  std::vector<std::string> Targets(const std::string& prefix) const {
    std::vector<std::string> targets;
    for (const std::string& target : provider->RequestTargets()) {
      if (target.rfind(prefix, 0) == 0)
        targets.push_back(target);
    }
    return targets;
  }
  // The "period" values of the show list requests so far.
  std::vector<std::string> Periods() const {
    std::vector<std::string> periods;
    for (const std::string& target : Targets(kShowList)) {
      const std::string::size_type from = target.find("period=") + 7;
      periods.push_back(target.substr(from, target.find('&') - from));
    }
    return periods;
  }
  std::string CacheFile(unsigned int uid) const {
    return dir / ("user/epg/channel_" + std::to_string(uid) + ".zug");
  }
  zu::nivo::TVShows Cached(unsigned int uid) const {
    return zu::nivo::ReadShowsArchive(ReadFile(CacheFile(uid)));
  }
  // The add-on's log lines at the level that contain part.
  size_t CountLines(int level, const std::string& part) const {
    size_t count = 0;
    for (const zu::host::LogLine& line : host->LogLines()) {
      count += !line.fromHost && line.level == level && line.text.find(part) != std::string::npos;
    }
    return count;
  }

  std::string Package() const { return dir / "pvr.nivotv"; }

  const std::string kBuiltPackage = ZU_ADDON_PACKAGE_DIR;
  const time_t start = Utc(2016, 1, 31, 6);
  zu_test::TempDir dir;
  std::unique_ptr<zu::provider::SampleProvider> provider;
  zu::host::StandInHostPtr host;
};

struct WindowCase {
  std::string name;
  long seconds;
  std::vector<std::string> periods;
};

void PrintTo(const WindowCase& window, std::ostream* out) {
  *out << window.name;
}

class GuideWindowTest : public GuideHostTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(GuideWindowTest, TheWindowCostsOneRequestPerDayOfWholeHours) {
  Load();
  const std::vector<EpgEntry> entries = Guide(kFirst, start, start + GetParam().seconds);
  EXPECT_EQ(GetParam().periods, Periods());
  for (const std::string& target : Targets(kShowList))
    EXPECT_NE(std::string::npos, target.find("&stationuid=81001"));
  EXPECT_EQ(GetParam().periods.empty(), entries.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Windows, GuideWindowTest,
    ::testing::Values(WindowCase{"FiftyNineMinutes", 59 * 60, {}},
                      WindowCase{"SixtyOneMinutes", 61 * 60, {"20160131T060000/1H"}},
                      WindowCase{
                          "ThreeDays",
                          72 * 3600,
                          {"20160131T060000/24H", "20160201T060000/24H", "20160202T060000/24H"}},
                      WindowCase{"TwentyFiveAndAHalfHours",
                                 25 * 3600 + 1800,
                                 {"20160131T060000/24H", "20160201T060000/1H"}}),
    [](const ::testing::TestParamInfo<WindowCase>& info) { return info.param.name; });

TEST_F(GuideHostTest, ASecondRequestForTheSameWindowIsServedFromTheCache) {
  Load();
  const std::vector<EpgEntry> first = Guide(kFirst, start, start + 3 * 3600);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(1u, Targets(kShowList).size());
  EXPECT_EQ(1u, Targets("/logo/").size() + Targets("/station/").size());

  const std::vector<EpgEntry> second = Guide(kFirst, start, start + 3 * 3600);
  EXPECT_EQ(1u, Targets(kShowList).size());
  EXPECT_EQ(1u, Targets("/logo/").size() + Targets("/station/").size());
  EXPECT_EQ(Ids(first), Ids(second));
  // The file holds exactly what was handed over.
  EXPECT_EQ(Ids(second), Ids(Cached(kFirst)));
  for (const EpgEntry& entry : second) {
    EXPECT_EQ(1u, entry.channelNumber);
    EXPECT_EQ(256, entry.genreType);
    EXPECT_LT(entry.startTime, entry.endTime);
  }
  EXPECT_LE(second.front().startTime, start);
  EXPECT_GT(second.front().endTime, start);
}

TEST_F(GuideHostTest, CachedShowsEndingBeforeTheWindowLeaveGuideAndFile) {
  zu::nivo::TVShows shows(3);
  const time_t ends[] = {start - 1, start, start + 7200};
  for (unsigned int i = 0; i < 3; ++i) {
    shows[i].id = 100 + i;
    shows[i].title = "Show " + std::to_string(i);
    shows[i].start = Local(start - 7200 + 3600 * i);
    shows[i].end = Local(ends[i]);
  }
  WriteFile(CacheFile(kFirst), zu::nivo::WriteShowsArchive(shows));
  Load();
  // The cache reaches past the window: nothing is fetched.
  EXPECT_EQ((std::vector<unsigned int>{101, 102}), Ids(Guide(kFirst, start, start + 3600)));
  EXPECT_TRUE(Targets(kShowList).empty());
  EXPECT_EQ((std::vector<unsigned int>{101, 102}), Ids(Cached(kFirst)));
}

TEST_F(GuideHostTest, ASecondPieceThatFailsKeepsTheFirstPiecesShows) {
  FaultRule rule;
  rule.fault = Fault::kHttpError;
  rule.skip = 1;
  rule.times = 1;
  provider->SetFault(Endpoint::kShowList, rule);
  Load();
  const std::vector<EpgEntry> entries = Guide(kFirst, start, start + 72 * 3600);
  EXPECT_EQ(2u, Targets(kShowList).size());
  ASSERT_FALSE(entries.empty());
  for (const EpgEntry& entry : entries)
    EXPECT_LT(entry.startTime, start + 24 * 3600);
  EXPECT_EQ(Ids(entries), Ids(Cached(kFirst)));
  // One error (the request's own), and the reader's line as a warning of the same run.
  EXPECT_EQ(1u, CountLines(ADDON_LOG_ERROR, "/a/api.mobile.event.hour?"));
  EXPECT_EQ(1u, CountLines(ADDON_LOG_NOTICE, "failed reading shows of channel'Erstes'"));

  // The next request goes on where the cache ends.
  Guide(kFirst, start, start + 72 * 3600);
  const std::vector<std::string> periods = Periods();
  ASSERT_EQ(4u, periods.size());
  EXPECT_GT(periods[2], "20160201T060000/");
}

TEST_F(GuideHostTest, AnUnknownChannelGetsAnEmptyGuide) {
  Load();
  EXPECT_TRUE(Guide(4242, start, start + 3600).empty());
  EXPECT_EQ(1u, CountLines(ADDON_LOG_ERROR, "Channel with id 4242 not found"));
  EXPECT_TRUE(Targets(kShowList).empty());
}

TEST_F(GuideHostTest, ShowsOverlappingTwoPiecesAreHandedOverOnce) {
  Load();
  std::vector<EpgEntry> entries = Guide(kFirst, start, start + 48 * 3600);
  ASSERT_EQ(2u, Targets(kShowList).size());
  // The provider lists a show that runs across the piece boundary in both pieces.
  bool across = false;
  for (const EpgEntry& entry : entries)
    across = across || (entry.startTime < start + 24 * 3600 && entry.endTime > start + 24 * 3600);
  ASSERT_TRUE(across);
  std::vector<unsigned int> ids = Ids(entries);
  EXPECT_EQ(ids.size(), std::set<unsigned int>(ids.begin(), ids.end()).size());

  entries = Guide(kFirst, start, start + 80 * 3600);
  ids = Ids(entries);
  EXPECT_EQ(ids.size(), std::set<unsigned int>(ids.begin(), ids.end()).size());
  EXPECT_EQ(ids, Ids(Cached(kFirst)));
}

TEST_F(GuideHostTest, TheWindowIsRequestedInLocalTimeAndComesBackInIt) {
  setenv("TZ", "America/New_York", 1);
  tzset();
  Load();
  // 11:00 UTC is 06:00 in New York (UTC-5 in winter).
  const time_t windowStart = Utc(2016, 1, 31, 11);
  const std::vector<EpgEntry> entries = Guide(kFirst, windowStart, windowStart + 3 * 3600);
  EXPECT_EQ((std::vector<std::string>{"20160131T060000/3H"}), Periods());
  ASSERT_FALSE(entries.empty());
  EXPECT_LE(entries.front().startTime, windowStart);
  EXPECT_GT(entries.front().endTime, windowStart);
  EXPECT_LT(entries.back().startTime, windowStart + 3 * 3600);

  // In summer New York is at UTC-4.
  const time_t summer = Utc(2016, 7, 1, 11);
  const std::vector<EpgEntry> summerEntries = Guide(kSecond, summer, summer + 3600);
  EXPECT_EQ("20160701T070000/1H", Periods().back());
  ASSERT_FALSE(summerEntries.empty());
  EXPECT_LE(summerEntries.front().startTime, summer);
  EXPECT_GT(summerEntries.front().endTime, summer);
}

TEST_F(GuideHostTest, AnUnreadableGuideCacheIsLoggedAndSkippedAndRewritten) {
  zu::nivo::TVShow show;
  show.id = 7;
  show.start = Local(start);
  show.end = Local(start + 7200);
  const std::string whole = zu::nivo::WriteShowsArchive({show});
  WriteFile(CacheFile(kFirst), whole.substr(0, whole.size() - 12));
  WriteFile(CacheFile(kSecond), whole);
  Load();
  EXPECT_EQ(1u, CountLines(ADDON_LOG_ERROR, CacheFile(kFirst)));

  EXPECT_EQ((std::vector<unsigned int>{7}), Ids(Guide(kSecond, start, start + 3600)));
  EXPECT_TRUE(Targets(kShowList).empty());

  const std::vector<EpgEntry> fresh = Guide(kFirst, start, start + 3600);
  EXPECT_EQ(1u, Targets(kShowList).size());
  ASSERT_FALSE(fresh.empty());
  EXPECT_EQ(Ids(fresh), Ids(Cached(kFirst)));
}

TEST_F(GuideHostTest, ASyntaxErrorIsReportedWithItsReason) {
  FaultRule rule;
  rule.fault = Fault::kMalformed;
  provider->SetFault(Endpoint::kShowList, rule);
  Load();
  EXPECT_TRUE(Guide(kFirst, start, start + 3600).empty());
  const std::vector<std::string> targets = Targets(kShowList);
  ASSERT_EQ(1u, targets.size());

  // The same broken document, fetched again, tells the reason the add-on must have given.
  zu::SharedPtr<zu::nivo::HttpPageReader> reader = zu::nivo::HttpPageReader::Create();
  const zu::nivo::HttpFrame frame = reader->GetHttpPage(
      zu::nivo::HttpUrl("127.0.0.1", targets[0].substr(1), provider->Port()), {});
  reader->StopServer();
  std::string reason;
  try {
    zu::nivo::ParseJson(frame.body);
  } catch (const zu::nivo::JsonSyntaxError& e) {
    reason = e.Reason();
  }
  ASSERT_FALSE(reason.empty());
  EXPECT_EQ(1u, CountLines(ADDON_LOG_ERROR, "Failed reading EPG of Erstes (" + reason + ")"));
  EXPECT_EQ(0u, CountLines(ADDON_LOG_ERROR, "Received exception"));
}

TEST_F(GuideHostTest, DetailsAreNotReadBeforeDetailedMode) {
  Load();
  const time_t now = time(nullptr);
  EXPECT_FALSE(Guide(kFirst, now, now + 4 * 3600).empty());
  EXPECT_TRUE(Targets(kDetails).empty());
}

TEST_F(GuideHostTest, StopDuringTheUpdateThreadsWaitEndsItAtOnce) {
  Load();
  Guide(kFirst, start, start);
  Guide(kSecond, start, start);
  Guide(kRadio, start, start);  // the third request starts the thread and its 30-second wait
  std::future<void> stopped = std::async(std::launch::async, [this] { host->Stop(); });
  ASSERT_EQ(std::future_status::ready, stopped.wait_for(kBound));
  EXPECT_EQ(1u, CountLines(ADDON_LOG_INFO, "Destroying done."));
  for (const zu::host::Notification& notification : host->Notifications())
    EXPECT_NE("Triggering detailed EPG update", notification.text);
  EXPECT_TRUE(host->Triggers().empty());
}

}  // namespace
}  // namespace guide_test
