// The guide prefetch of the Kodi 20 add-on's core: the host's window fetched ahead of its guide
// requests, one fetcher per channel at a time, ended at once by the stop and by a provider
// that cannot be reached.

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include <boost/date_time/posix_time/posix_time.hpp>

#include "GuideFixture.h"

namespace guide_test {
namespace {

using zu::nivo::Host;

const time_t kHour = 3600;
const time_t kDay = 24 * kHour;
const char kPrefetchDone[] = "Prefetching the EPG done.";
const char kPrefetchEnds[] = "Prefetching the EPG ends";

// A number of the target's query ("name=<digits>"), or 0.
unsigned int QueryNumber(const std::string& target, const std::string& name) {
  const std::string::size_type at = target.find(name + "=");
  return at == std::string::npos ? 0 : std::stoul(target.substr(at + name.size() + 1));
}

// A show list piece as the provider answers it: the station's hourly shows of the period.
ScriptedProvider::Response HourlyShows(const std::string& target) {
  const std::string::size_type at = target.find("period=");
  const boost::posix_time::ptime start =
      boost::posix_time::from_iso_string(target.substr(at + 7, 15));
  const time_t from = (start - boost::posix_time::ptime(boost::gregorian::date(1970, 1, 1)))
                          .total_seconds();
  const unsigned int uid = QueryNumber(target, "stationuid");
  const unsigned int length = std::stoul(target.substr(at + 7 + 16));
  std::vector<ShowSpec> shows;
  for (time_t hour = from; hour < from + static_cast<time_t>(length) * kHour; hour += kHour)
    shows.push_back({static_cast<unsigned int>(hour / kHour), hour, hour + kHour, "Show"});
  return ScriptedProvider::Response{200, ShowListBody(uid, shows)};
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The state of a thread of this process as the kernel shows it ('R', 'S', ...).
char ThreadState(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::string::size_type end = text.rfind(')');
  return end == std::string::npos || end + 2 >= text.size() ? '?' : text[end + 2];
}

// Holds the provider's answer to a request until the test releases it. Shared with the
// provider's handler, which may still run when a test has ended.
struct Gate {
  zu_test::Latch held;
  zu_test::Latch release;
  std::atomic<bool> first{true};
  std::atomic<bool> timedOut{false};
};

// The core of the Kodi 20 add-on: a prefetch of the host's window (a day back, three ahead)
// over two kept connections.
class PrefetchTest : public GuideCoreTest {
 protected:
  void SetUp() override {
    GuideCoreTest::SetUp();
    options.pageReader.keepAlive = true;
    options.prefetchReaders = 2;
    options.epgPastDays = 1;
    options.epgFutureDays = 3;
    options.rewriteUnchangedGuide = false;
    for (unsigned int uid = 1; uid <= 4; ++uid)
      AddChannel(uid, "Sender " + std::to_string(uid), 10 - uid);
    AddChannel(10000, "Radio", 20, true);
  }

  // The host's guide request for its whole window; the entries handed over.
  std::vector<RecordingHost::Entry> RequestWindow(unsigned int uid) {
    const time_t now = time(nullptr);
    return RequestGuide(uid, now - kDay, now + 3 * kDay);
  }
  // Every show list target asked for more than once.
  std::vector<std::string> Repeated() const {
    std::map<std::string, int> seen;
    std::vector<std::string> repeated;
    for (const std::string& target : provider.Targets(kShowListPrefix)) {
      if (++seen[target] == 2)
        repeated.push_back(target);
    }
    return repeated;
  }
  // Error lines of the guide's requests (those of the channel load against the closed service
  // host aside).
  size_t GuideErrors() const {
    return host.CountLines("api.mobile.event", Host::LogError) +
           host.CountLines("shows of channel", Host::LogError) +
           host.CountLines("EPG", Host::LogError);
  }
  bool WaitForLine(const char* text) {
    return host.WaitFor([this, text] { return host.CountLines(text) > 0; });
  }
};

TEST_F(PrefetchTest, TheWindowIsStoredAheadInChannelNumberOrderAndServedWithoutRequests) {
  options.prefetchReaders = 1;
  provider.SetHandler(HourlyShows);
  MakeCore();
  ASSERT_TRUE(WaitForLine(kPrefetchDone));

  // One reader: the channels come in channel-number order, each window once; no radio.
  std::vector<unsigned int> order;
  for (const std::string& target : provider.Targets(kShowListPrefix)) {
    const unsigned int uid = QueryNumber(target, "stationuid");
    if (order.empty() || order.back() != uid)
      order.push_back(uid);
  }
  EXPECT_EQ((std::vector<unsigned int>{4, 3, 2, 1}), order);
  EXPECT_TRUE(Repeated().empty());
  for (unsigned int uid = 1; uid <= 4; ++uid)
    EXPECT_TRUE(std::filesystem::exists(CacheFile(uid))) << uid;

  const size_t fetched = provider.Targets(kShowListPrefix).size();
  for (unsigned int uid = 1; uid <= 4; ++uid) {
    // Four days of hourly shows; the hour under way at each end may fall either side.
    const size_t entries = RequestWindow(uid).size();
    EXPECT_GE(entries, 4u * 24) << uid;
    EXPECT_LE(entries, 4u * 24 + 2) << uid;
  }
  EXPECT_EQ(fetched, provider.Targets(kShowListPrefix).size());
  EXPECT_EQ(0u, GuideErrors());
}

TEST_F(PrefetchTest, AGuideRequestRacingThePrefetchForItsChannelWaitsAndFetchesNothingTwice) {
  // The prefetch's first piece of channel 4 (number 6, the first) is held until the host's
  // request for that channel waits.
  const auto gate = std::make_shared<Gate>();
  provider.SetHandler([gate](const std::string& target) {
    if (QueryNumber(target, "stationuid") == 4 && gate->first.exchange(false)) {
      gate->held.Set();
      gate->release.Wait();
    }
    return HourlyShows(target);
  });
  Core();
  ASSERT_TRUE(gate->held.Wait());

  std::atomic<pid_t> tid{0};
  std::vector<RecordingHost::Entry> entries;
  std::thread request([&] {
    tid = static_cast<pid_t>(::syscall(SYS_gettid));
    entries = RequestWindow(4);
  });
  // Asleep on three looks in a row: waiting for the channel (or, were the channel not
  // claimed, for its own response behind the held one).
  int asleep = 0;
  EXPECT_TRUE(host.WaitFor([&] {
    asleep = tid != 0 && ThreadState(tid) == 'S' ? asleep + 1 : 0;
    return asleep >= 3;
  }));
  gate->release.Set();
  request.join();

  EXPECT_GE(entries.size(), 4u * 24);
  EXPECT_LE(entries.size(), 4u * 24 + 2);
  ASSERT_TRUE(WaitForLine(kPrefetchDone));
  EXPECT_TRUE(Repeated().empty());
  EXPECT_EQ(0u, GuideErrors());
}

TEST_F(PrefetchTest, ABackgroundPrefetchHurriedByTheHostHandsItsReadersOverAndMissesNothing) {
  options.prefetchInBackground = true;
  const auto gate = std::make_shared<Gate>();
  provider.SetHandler([gate](const std::string& target) {
    if (gate->first.exchange(false)) {
      gate->held.Set();
      gate->release.Wait();
    }
    return HourlyShows(target);
  });
  Core();
  ASSERT_TRUE(gate->held.Wait());
  // The host has its channels while a background fetcher waits for its page.
  EXPECT_EQ(0, core->GetChannelGroupMembers(this, "Gruppe", false));
  gate->release.Set();

  ASSERT_TRUE(WaitForLine(kPrefetchDone));
  for (unsigned int uid = 1; uid <= 4; ++uid)
    EXPECT_TRUE(std::filesystem::exists(CacheFile(uid))) << uid;
  EXPECT_TRUE(Repeated().empty());
  EXPECT_EQ(0u, GuideErrors());
}

TEST_F(PrefetchTest, TheStopEndsThePrefetchAndAWaitingRequestAtOnce) {
  // A request that made no progress would be given up only after an hour: the stop must not
  // wait for that.
  options.pageReader.progressTimeout = zu::Time::FromSeconds(3600);
  const auto gate = std::make_shared<Gate>();
  provider.SetHandler([gate](const std::string& target) {
    gate->held.Set();
    if (!gate->release.Wait())
      gate->timedOut = true;
    return HourlyShows(target);
  });
  Core();
  ASSERT_TRUE(gate->held.Wait());
  // The prefetch holds the first channel; the host asks for it too.
  std::thread request([&] { Update(4, time(nullptr), time(nullptr) + kDay); });

  core->DeInit();
  request.join();
  EXPECT_FALSE(gate->timedOut);
  gate->release.Set();
  // Nothing of the given-up fetches is stored.
  for (unsigned int uid = 1; uid <= 4; ++uid)
    EXPECT_FALSE(std::filesystem::exists(CacheFile(uid))) << uid;
  EXPECT_EQ(0u, host.CountLines(kPrefetchDone));
}

TEST_F(PrefetchTest, AnUnreachableProviderEndsThePrefetchWithOneErrorAndTheCachesServe) {
  const time_t now = time(nullptr);
  const time_t hour = now - now % kHour;
  zu::nivo::TVShow cached;
  cached.id = 77;
  cached.title = "Cached";
  cached.start = Local(hour);
  cached.end = Local(hour + 2 * kHour);
  for (unsigned int uid = 1; uid <= 4; ++uid)
    StoreGuide(uid, {cached});
  setenv("NIVOTV_GUIDE_HOST", ("127.0.0.1:" + std::to_string(zu_test::UnusedPort())).c_str(), 1);
  MakeCore();
  ASSERT_TRUE(WaitForLine(kPrefetchEnds));

  // Two readers: at most the two channels under way when the first failure came were tried.
  size_t attempts = 0;
  for (const RecordingHost::Line& line : host.Lines())
    attempts += line.text.find("failed connecting ") == 0 &&
                line.text.find("api.mobile.event") != std::string::npos;
  EXPECT_LE(attempts, 2u);
  for (unsigned int uid = 1; uid <= 4; ++uid)
    EXPECT_EQ((std::vector<unsigned int>{77}), Ids(RequestWindow(uid))) << uid;
  // One Error for the whole run of failures, the prefetch's and the requests' alike.
  EXPECT_EQ(1u, GuideErrors());
  for (unsigned int uid = 1; uid <= 4; ++uid)
    EXPECT_EQ((std::vector<unsigned int>{77}),
              Ids(zu::nivo::ReadShowsArchive(ReadText(CacheFile(uid)))))
        << uid;
}

}  // namespace
}  // namespace guide_test
