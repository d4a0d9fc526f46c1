// Faults that the stand-in host cannot reach quickly, injected below it: the details pass of
// the guide (it starts only after the guide update thread's quiet period) and the page
// reader's bound on a peer that trickles bytes, both against the sample provider with the
// page reader's bound shortened.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>

#include "base/TempDir.h"
#include "guide/RecordingHost.h"
#include "nivo/CacheArchive.h"
#include "nivo/ClientCore.h"
#include "nivo/HttpPageReader.h"
#include "provider/Catalogue.h"
#include "provider/SampleProvider.h"

namespace faults_test {
namespace {

using guide_test::RecordingHost;
using zu::provider::Endpoint;
using zu::provider::Fault;
using zu::provider::FaultRule;

zu::provider::Catalogue SampleCatalogue() {
  zu::provider::Catalogue catalogue;
  std::string error;
  EXPECT_TRUE(
      zu::provider::Catalogue::Load(zu::provider::Catalogue::SourceDirectory(), catalogue, error))
      << error;
  return catalogue;
}

class ProviderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    zu::provider::SampleProvider::Options options;
    options.log = [](const std::string&) {};
    provider.reset(new zu::provider::SampleProvider(SampleCatalogue(), options));
    ASSERT_TRUE(provider->Start());
    const std::string endpoint = "127.0.0.1:" + std::to_string(provider->Port());
    setenv("NIVOTV_SERVICE_HOST", endpoint.c_str(), 1);
    setenv("NIVOTV_GUIDE_HOST", endpoint.c_str(), 1);
  }
  void TearDown() override {
    if (provider)
      provider->Stop();
  }

  std::unique_ptr<zu::provider::SampleProvider> provider;
};

// The client core with its channels loaded from the provider, in detailed mode.
class DetailsFixture : public ProviderTest {
 protected:
  void TearDown() override {
    if (core)
      core->DeInit();
    core.reset();
    ProviderTest::TearDown();
  }
  // A new core (the caches of the one before stay) whose details passes may take budget.
  void StartCore(const zu::Time& budget) {
    if (core)
      core->DeInit();
    zu::nivo::ClientCore::Options options;
    options.epgDetailsBudget = budget;
    // A details request that is never answered is given up after two seconds here.
    options.pageReader.progressTimeout = zu::Time::FromSeconds(2);
    options.epgUpdateWait = zu::Time::Zero();
    core.reset(new zu::nivo::ClientCore(options));
    ASSERT_EQ(0, core->Init(host, dir / "user", dir / "client"));
    const zu::nivo::ChannelTablePtr table = core->GetChannelTable();
    ASSERT_FALSE(table->channels.empty());
    uid = table->channels.begin()->first;
    // The first round of guide requests, for no time and from the first channel on, starts
    // the update thread, which switches to detailed mode at once.
    const size_t shown = host.CountNotes(guide_test::kDetailedModeNote);
    for (const auto& entry : table->channels)
      EXPECT_TRUE(core->UpdateEPGForChannel(this, entry.first, 0, 0));
    ASSERT_TRUE(
        host.WaitFor([&] { return host.CountNotes(guide_test::kDetailedModeNote) > shown; }));
    host.TakeEntries();
  }

  std::vector<unsigned int> RequestGuide() {
    EXPECT_TRUE(core->UpdateEPGForChannel(this, uid, from, to));
    std::vector<unsigned int> ids;
    for (const RecordingHost::Entry& entry : host.TakeEntries())
      ids.push_back(entry.show.id);
    return ids;
  }
  // The shows of the guide cache that have not begun yet, and how many of them have details.
  size_t ComingShows(size_t* withDetails) const {
    std::string text;
    EXPECT_TRUE(
        RecordingHost().ReadFile(dir / ("user/epg/channel_" + std::to_string(uid) + ".zug"), text));
    const boost::posix_time::ptime now = boost::posix_time::second_clock::local_time();
    size_t coming = 0;
    *withDetails = 0;
    for (const zu::nivo::TVShow& show : zu::nivo::ReadShowsArchive(text)) {
      if (show.start > now) {
        ++coming;
        *withDetails += show.detailsRead ? 1 : 0;
      }
    }
    return coming;
  }

  RecordingHost host;
  zu_test::TempDir dir;
  std::unique_ptr<zu::nivo::ClientCore> core;
  unsigned int uid = 0;
  // A window of coming shows, far enough ahead that no show in it has begun.
  const time_t from = time(nullptr) + 24 * 3600;
  const time_t to = from + 6 * 3600;
};

struct DetailsFault {
  Fault fault;
  // Whether the fault ends the details pass: a document that is not JSON or not of the
  // expected shape does, and so does a request that runs into the page reader's bound once the
  // pass has used its time. A page that does not come only leaves its own show without
  // details.
  bool endsPass;
};

void PrintTo(const DetailsFault& value, std::ostream* out) {
  *out << zu::provider::FaultName(value.fault);
}

class DetailsFaultTest : public DetailsFixture,
                         public ::testing::WithParamInterface<DetailsFault> {};

// Whatever goes wrong with the details, the guide is handed over and cached, the shows keep
// what they had, and the next request reads the details that are missing.
TEST_P(DetailsFaultTest, LeavesTheShowsWithoutDetailsUntilTheNextRequest) {
  // A request that is never answered runs into the (shortened) bound of two seconds, longer
  // than the pass may take here; the other faults fail at once, whatever the pass may take.
  StartCore(GetParam().fault == Fault::kHang ? zu::Time::FromMilliSeconds(500)
                                             : zu::Time::FromSeconds(3600));
  FaultRule rule;
  rule.fault = GetParam().fault;
  rule.status = 500;
  provider->SetFault(Endpoint::kShowDetails, rule);

  const std::vector<unsigned int> first = RequestGuide();
  size_t withDetails = 0;
  const size_t coming = ComingShows(&withDetails);
  ASSERT_LE(2u, coming);
  EXPECT_EQ(0u, withDetails);
  const size_t requested = provider->RequestCount(Endpoint::kShowDetails);
  EXPECT_EQ(GetParam().endsPass ? 1u : coming, requested);
  EXPECT_LE(1u, host.CountLines("failed reading show details of '") +
                    host.CountLines("Failed reading detailed EPG of "));

  // The next session, with the time every details request needs, reads what is missing.
  provider->ClearFaults();
  StartCore(zu::Time::FromSeconds(3600));
  EXPECT_EQ(first, RequestGuide());
  EXPECT_EQ(requested + coming, provider->RequestCount(Endpoint::kShowDetails));
  EXPECT_EQ(coming, ComingShows(&withDetails));
  EXPECT_EQ(coming, withDetails);
}

INSTANTIATE_TEST_SUITE_P(Faults, DetailsFaultTest,
                         ::testing::Values(DetailsFault{Fault::kHttpError, false},
                                           DetailsFault{Fault::kEmptyBody, false},
                                           DetailsFault{Fault::kResetMidBody, false},
                                           DetailsFault{Fault::kTruncatedGzip, false},
                                           DetailsFault{Fault::kCorruptGzip, false},
                                           DetailsFault{Fault::kHugeBody, false},
                                           DetailsFault{Fault::kMalformed, true},
                                           DetailsFault{Fault::kWrongTypes, true},
                                           DetailsFault{Fault::kHang, true}),
                         [](const ::testing::TestParamInfo<DetailsFault>& info) {
                           std::string name = zu::provider::FaultName(info.param.fault);
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           }
                           return name;
                         });

// The page reader's bound counts progress, not single bytes: a peer that sends a byte every
// few milliseconds is given up like a silent one.
TEST_F(ProviderTest, APeerThatTricklesBytesIsGivenUp) {
  FaultRule rule;
  rule.fault = Fault::kDrip;
  rule.dripIntervalMs = 20;
  provider->SetFault(Endpoint::kStationList, rule);
  zu::nivo::HttpPageReader::Options options;
  options.progressTimeout = zu::Time::FromSeconds(1);
  zu::SharedPtr<zu::nivo::HttpPageReader> reader = zu::nivo::HttpPageReader::Create(options);
  const zu::nivo::HttpUrl url("127.0.0.1", "a/api.mobile.station.get?type=JSON.1",
                              provider->Port());
  EXPECT_TRUE(reader->GetHttpPage(url, zu::nivo::HeaderMap()).body.empty());

  // The same reader reads the document once it comes at a normal pace.
  provider->ClearFaults();
  EXPECT_FALSE(reader->GetHttpPage(url, zu::nivo::HeaderMap()).body.empty());
  reader->StopServer();
}

// The stop while a host thread waits inside a guide request on a provider that never answers.
// The page reader has no bound of its own here, so only the stop can end the request: the
// stop gives it up, the request returns, and the stop completes.
TEST_F(ProviderTest, StopGivesUpTheRequestItWaitsFor) {
  const std::chrono::seconds bound(120);
  RecordingHost host;
  zu_test::TempDir dir;
  zu::nivo::ClientCore::Options options;
  options.pageReader.progressTimeout = zu::Time::Infinite();
  zu::nivo::ClientCore core(options);
  ASSERT_EQ(0, core.Init(host, dir / "user", dir / "client"));
  const zu::nivo::ChannelTablePtr table = core.GetChannelTable();
  ASSERT_FALSE(table->channels.empty());
  const unsigned int uid = table->channels.begin()->first;
  FaultRule hang;
  hang.fault = Fault::kHang;
  provider->SetFault(Endpoint::kShowList, hang);
  const size_t before = provider->RequestCount(Endpoint::kShowList);
  const time_t from = time(nullptr) + 24 * 3600;

  std::future<bool> guide = std::async(std::launch::async, [&] {
    return core.UpdateEPGForChannel(&host, uid, from, from + 6 * 3600);
  });
  std::future<void> stopped;
  {
    // Should the stop not end the request, the provider lets it go before the futures wait
    // for their threads, so the test fails instead of hanging.
    struct Release {
      zu::provider::SampleProvider& provider;
      ~Release() { provider.ClearFaults(); }
    } release{*provider};
    ASSERT_TRUE(provider->WaitForRequests(Endpoint::kShowList, before + 1, bound));
    stopped = std::async(std::launch::async, [&] { core.DeInit(); });
    ASSERT_EQ(std::future_status::ready, stopped.wait_for(bound));
    ASSERT_EQ(std::future_status::ready, guide.wait_for(bound));
  }
  EXPECT_TRUE(guide.get());
  EXPECT_EQ(zu::nivo::ClientCore::StatusNeedRestart, core.GetStatus());
  // The request was given up: the show list of that piece never arrived.
  EXPECT_TRUE(host.TakeEntries().empty());
}

}  // namespace
}  // namespace faults_test
