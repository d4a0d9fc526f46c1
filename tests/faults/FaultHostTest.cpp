// Faults of the provider and of the user path, injected while the built add-on runs in the
// stand-in host: the add-on answers every host call, says what went wrong in the log, and
// loses nothing that its caches held.

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "FaultFixture.h"

namespace faults_test {
namespace {

using zu::provider::Endpoint;
using zu::provider::Fault;
using zu::provider::FaultRule;

const char kShowListPath[] = "/a/api.mobile.event.hour?";

FaultRule Rule(Fault fault) {
  FaultRule rule;
  rule.fault = fault;
  rule.status = 503;
  return rule;
}

using FaultHostTest = FaultFixture;

struct ResponseFault {
  Endpoint endpoint;
  Fault fault;
  // A text the add-on's error lines must contain; empty when the add-on has nothing to say
  // (a document it reads past, such as an error page in place of a playlist).
  std::string error;
};

void PrintTo(const ResponseFault& value, std::ostream* out) {
  *out << zu::provider::EndpointName(value.endpoint) << "=" << zu::provider::FaultName(value.fault);
}

class ResponseFaultTest : public FaultFixture,
                          public ::testing::WithParamInterface<ResponseFault> {};

// Each response the add-on reads, broken in each way the provider can break it, after a
// session that filled the caches. The session with the fault serves the same channels and
// guide as the cache, and leaves the caches as they were.
TEST_P(ResponseFaultTest, IsReportedAndTheCachedChannelsAndGuideServe) {
  const ResponseFault& param = GetParam();
  StartSampleProvider();
  Warm();
  const bool logo = param.endpoint == Endpoint::kLogo;
  const bool guide = param.endpoint == Endpoint::kShowList;
  if (logo)
    std::filesystem::remove_all(LogoFolder());
  provider->SetFault(param.endpoint, Rule(param.fault));
  const size_t showListsBefore = provider->RequestCount(Endpoint::kShowList);

  ASSERT_TRUE(Load());
  const std::vector<ChannelView> channels = TvChannels();
  // A guide fault needs a window the cache does not cover; it serves what the cache holds.
  const std::vector<EntryView> entries =
      Guide(FirstUid(), windowStart, guide ? windowEnd + 6 * 3600 : windowEnd);
  if (guide) {
    ASSERT_EQ(showListsBefore + 1, provider->RequestCount(Endpoint::kShowList));
  }
  EXPECT_EQ(warmGuide, entries);
  const bool playlist = param.endpoint == Endpoint::kPlaylistPlus;
  if (playlist) {
    // The playlists read before the broken one give their URLs (the free-to-air one instead
    // of the one of "All", which comes last and wins when all are read); every channel keeps
    // a URL.
    ASSERT_EQ(warmChannels.size(), channels.size());
    for (size_t i = 0; i < channels.size(); ++i) {
      EXPECT_EQ(std::get<0>(warmChannels[i]), std::get<0>(channels[i]));
      EXPECT_EQ(std::get<2>(warmChannels[i]), std::get<2>(channels[i]));
      EXPECT_FALSE(std::get<3>(channels[i]).empty()) << std::get<2>(channels[i]);
    }
  } else {
    EXPECT_EQ(warmChannels, channels);
  }
  EXPECT_EQ(static_cast<int>(warmChannels.size()) + 12, host->GetChannelsAmount());
  if (!param.error.empty()) {
    // A guide request logs its failures as a run: an error first, then warnings.
    EXPECT_LE(1u, CountLinesWith(ADDON_LOG_ERROR, param.error) +
                      CountLinesWith(ADDON_LOG_NOTICE, param.error))
        << param.error;
  }
  EXPECT_EQ(0u, host->HostErrors());
  if (logo && param.fault != Fault::kMalformed && param.fault != Fault::kWrongTypes) {
    // A logo that did not arrive whole leaves no file, so the next request tries again.
    EXPECT_TRUE(!std::filesystem::exists(LogoFolder()) || std::filesystem::is_empty(LogoFolder()));
  }
  host.reset();

  if (playlist) {
    // The cache keeps every channel with a URL; the groups of the playlists that were not
    // read are left out until a load reads them again.
    ASSERT_EQ(warmCache.size(), CachedChannels().size());
    for (const auto& entry : CachedChannels())
      EXPECT_FALSE(entry.second.streamUrl.empty()) << entry.second.name;
    EXPECT_EQ(warmGuides, CachedGuides());
  } else {
    ExpectCachesKept();
  }
}

std::vector<ResponseFault> ResponseFaults() {
  const Endpoint endpoints[] = {Endpoint::kHeaderInfo, Endpoint::kStationList,
                                Endpoint::kPlaylistPlus, Endpoint::kShowList, Endpoint::kLogo};
  const Fault transport[] = {Fault::kHttpError,     Fault::kEmptyBody,   Fault::kResetMidBody,
                             Fault::kTruncatedGzip, Fault::kCorruptGzip, Fault::kHugeBody};
  std::vector<ResponseFault> faults;
  for (Endpoint endpoint : endpoints) {
    for (Fault fault : transport)
      faults.push_back({endpoint, fault, "failed reading data of http://127.0.0.1:"});
    // Documents that arrive whole but are not what they should be.
    std::string malformed;
    std::string wrongTypes;
    if (endpoint == Endpoint::kStationList) {
      malformed = "failed reading TV stations, received unknown exeption";
      wrongTypes = "failed reading TV stations, received exeption: ";
    } else if (endpoint == Endpoint::kShowList) {
      malformed = "Failed reading EPG of ";
    }
    faults.push_back({endpoint, Fault::kMalformed, malformed});
    faults.push_back({endpoint, Fault::kWrongTypes, wrongTypes});
  }
  return faults;
}

INSTANTIATE_TEST_SUITE_P(Faults, ResponseFaultTest, ::testing::ValuesIn(ResponseFaults()),
                         [](const ::testing::TestParamInfo<ResponseFault>& info) {
                           std::string name =
                               std::string(zu::provider::EndpointName(info.param.endpoint)) + "_" +
                               zu::provider::FaultName(info.param.fault);
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           }
                           return name;
                         });

TEST_F(FaultHostTest, WithTheProviderOfflineTheCachesServeChannelsAndGuide) {
  StartSampleProvider();
  Warm();
  ASSERT_TRUE(provider->SetOffline(true));
  ASSERT_TRUE(Load());
  EXPECT_EQ(warmChannels, TvChannels());
  EXPECT_EQ(warmGuide, Guide(FirstUid(), windowStart, windowEnd + 6 * 3600));
  EXPECT_LE(1u, CountLinesWith(ADDON_LOG_ERROR, "failed connecting http://127.0.0.1:"));
  host.reset();
  ExpectCachesKept();

  // The provider back: the next session reads it again.
  ASSERT_TRUE(provider->SetOffline(false));
  ASSERT_TRUE(Load());
  EXPECT_EQ(warmChannels, TvChannels());
  EXPECT_LT(warmGuide.size(), Guide(FirstUid(), windowStart, windowEnd + 6 * 3600).size());
}

// The provider away for a whole round of guide requests: the user hears once of each cause
// (show lists, logos), not once per request; the log has every failure. A success ends the
// run, and the next failure is an error again.
TEST_F(FaultHostTest, AProviderAwayForARoundOfGuideRequestsIsOneErrorPerCause) {
  StartSampleProvider();
  Warm();
  ASSERT_TRUE(provider->SetOffline(true));
  ASSERT_TRUE(Load());
  const std::vector<ChannelView> channels = TvChannels();
  ASSERT_EQ(warmChannels, channels);
  const size_t linesBefore = host->LogLines().size();
  const size_t notificationsBefore = host->Notifications().size();
  const auto errorsSince = [this](size_t first) {
    std::vector<std::string> errors;
    const std::vector<zu::host::LogLine> lines = host->LogLines();
    for (size_t i = first; i < lines.size(); ++i) {
      if (!lines[i].fromHost && lines[i].level == ADDON_LOG_ERROR)
        errors.push_back(lines[i].text);
    }
    return errors;
  };

  const time_t later = windowEnd + 24 * 3600;
  for (const ChannelView& channel : channels)
    EXPECT_EQ(std::get<0>(channel) == FirstUid(),
              !Guide(std::get<0>(channel), windowStart, later).empty());
  // The first show list failure and the first logo failure.
  std::vector<std::string> errors = errorsSince(linesBefore);
  ASSERT_EQ(2u, errors.size());
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, "failed connecting " + BaseUrl() + kShowListPath));
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, ".png"));
  EXPECT_EQ(channels.size(), CountLinesWith(ADDON_LOG_NOTICE, "failed reading shows of channel'"));
  EXPECT_EQ(notificationsBefore + 2, host->Notifications().size());

  // Back for one request, away again: the next failure starts a new run.
  ASSERT_TRUE(provider->SetOffline(false));
  EXPECT_LT(warmGuide.size(), Guide(FirstUid(), windowStart, later).size());
  ASSERT_TRUE(provider->SetOffline(true));
  const size_t linesAway = host->LogLines().size();
  const unsigned int other = std::get<0>(channels[std::get<0>(channels[0]) == FirstUid() ? 1 : 0]);
  Guide(other, windowStart, later);
  errors = errorsSince(linesAway);
  ASSERT_EQ(1u, errors.size());
  EXPECT_NE(std::string::npos, errors[0].find(kShowListPath));
}

// A provider that accepts the request and then answers nothing, or one byte a second: the
// guide request is given up after the add-on's bound, with its error line, and the add-on
// serves the host as before. These cases take the 30 seconds of that bound.
struct SilentFault {
  Fault fault;
  const char* name;
};

void PrintTo(const SilentFault& value, std::ostream* out) {
  *out << value.name;
}

class SilentProviderTest : public FaultFixture,
                           public ::testing::WithParamInterface<SilentFault> {};

TEST_P(SilentProviderTest, IsGivenUpAfterTheBoundAndTheAddonGoesOn) {
  StartSampleProvider();
  Warm();
  FaultRule rule = Rule(GetParam().fault);
  rule.dripIntervalMs = 1000;
  provider->SetFault(Endpoint::kShowList, rule);
  ASSERT_TRUE(Load());
  EXPECT_EQ(warmChannels, TvChannels());

  std::future<std::vector<EntryView>> guide = std::async(
      std::launch::async, [this] { return Guide(FirstUid(), windowStart, windowEnd + 6 * 3600); });
  ASSERT_EQ(std::future_status::ready, guide.wait_for(kBound));
  EXPECT_EQ(warmGuide, guide.get());
  EXPECT_EQ(1u,
            CountLinesWith(ADDON_LOG_ERROR, "failed reading data of " + BaseUrl() + kShowListPath));

  // Served afterwards: the channels, the cached guide, and with the provider answering again
  // the rest of the window.
  EXPECT_EQ(warmChannels, TvChannels());
  EXPECT_EQ(warmGuide, Guide(FirstUid(), windowStart, windowEnd));
  provider->ClearFaults();
  EXPECT_LT(warmGuide.size(), Guide(FirstUid(), windowStart, windowEnd + 6 * 3600).size());
}

INSTANTIATE_TEST_SUITE_P(Faults, SilentProviderTest,
                         ::testing::Values(SilentFault{Fault::kHang, "NeverAnswers"},
                                           SilentFault{Fault::kDrip, "DripsAByteASecond"}),
                         [](const ::testing::TestParamInfo<SilentFault>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(FaultHostTest, StopWhileAGuideRequestWaitsForTheProviderEndsBoth) {
  StartSampleProvider();
  Warm();
  provider->SetFault(Endpoint::kShowList, Rule(Fault::kHang));
  ASSERT_TRUE(Load());
  EXPECT_EQ(warmChannels, TvChannels());

  const size_t showListsBefore = provider->RequestCount(Endpoint::kShowList);
  std::future<std::vector<EntryView>> guide = std::async(
      std::launch::async, [this] { return Guide(FirstUid(), windowStart, windowEnd + 6 * 3600); });
  ASSERT_TRUE(provider->WaitForRequests(Endpoint::kShowList, showListsBefore + 1, kBound));
  std::future<void> stopped = std::async(std::launch::async, [this] { host->Stop(); });
  // The provider still holds the request: the stop gives it up rather than waiting for it.
  ASSERT_TRUE(host->WaitForLogLine("Destroying the Nivo-TV plugin", kBound));
  ASSERT_EQ(std::future_status::ready, guide.wait_for(kBound));
  ASSERT_EQ(std::future_status::ready, stopped.wait_for(kBound));
  EXPECT_EQ(warmGuide, guide.get());
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_INFO, "Destroying done."));
  EXPECT_EQ(0u, host->OpenRegistrations());
  host.reset();
  ExpectCachesKept();
}

// Root may write anywhere, so the test puts things of the wrong kind where the add-on writes:
// a folder in place of the channel cache, files in place of the cache folders.
TEST_F(FaultHostTest, AUserPathThatCannotBeWrittenLeavesChannelsAndGuideServed) {
  StartSampleProvider();
  std::filesystem::create_directories(CachePath());
  WriteFile(UserPath() + "/epg", "not a folder");
  WriteFile(LogoFolder(), "not a folder");
  ASSERT_TRUE(Load());
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, "Failed creating epg path"));
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, "Failed creating channel logo path"));

  const std::vector<ChannelView> channels = TvChannels();
  EXPECT_EQ(42u, channels.size());
  const std::vector<EntryView> entries = Guide(FirstUid(), windowStart, windowEnd);
  EXPECT_FALSE(entries.empty());
  // The guide stays in memory for the session.
  EXPECT_EQ(entries, Guide(FirstUid(), windowStart, windowEnd));
  EXPECT_EQ(entries, Guide(FirstUid(), windowStart, windowEnd));
  EXPECT_EQ(1u, provider->RequestCount(Endpoint::kShowList));
  // Each write that fails is logged with its file, but only the session's first is an error
  // (a notification for the user). The logo that could not be written is not fetched again.
  const std::string opening = "Failed opening file '";
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, opening));
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, opening + CachePath() + "' for writing"));
  EXPECT_EQ(
      3u, CountLinesWith(ADDON_LOG_NOTICE, opening + GuideCachePath(FirstUid()) + "' for writing"));
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_NOTICE, opening + LogoFolder() + "/"));
  EXPECT_EQ(1u, provider->RequestCount(Endpoint::kLogo));
  host.reset();
  EXPECT_TRUE(std::filesystem::is_directory(CachePath()));
  EXPECT_EQ("not a folder", ReadFile(UserPath() + "/epg"));

  // Nothing was cached, and the next session reads the provider again.
  ASSERT_TRUE(Load());
  EXPECT_EQ(channels, TvChannels());
  EXPECT_EQ(entries, Guide(FirstUid(), windowStart, windowEnd));
}

// Cache files broken in several ways, with the provider away: the add-on starts from what
// is left (here the shipped table), reports each broken file, and a session with the
// provider replaces them.
struct BrokenCache {
  std::string name;
  // The broken text, made from a good channel cache and a good guide cache.
  std::string (*make)(const std::string& good, const std::string& other);
};

void PrintTo(const BrokenCache& value, std::ostream* out) {
  *out << value.name;
}

class BrokenCacheTest : public FaultFixture, public ::testing::WithParamInterface<BrokenCache> {};

TEST_P(BrokenCacheTest, IsReportedAndReplacedAndTheRestServes) {
  StartSampleProvider();
  Warm();
  const std::string channelCache = ReadFile(CachePath());
  const std::string guideCache = ReadFile(GuideCachePath(FirstUid()));
  WriteFile(CachePath(), GetParam().make(channelCache, guideCache));
  WriteFile(GuideCachePath(FirstUid()), GetParam().make(guideCache, channelCache));
  ShipBuilt("tv.zug");
  ASSERT_TRUE(provider->SetOffline(true));

  ASSERT_TRUE(Load());
  const std::vector<ChannelView> shipped = TvChannels();
  EXPECT_EQ(warmChannels.size(), shipped.size());
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, "'" + CachePath() + "'"));
  EXPECT_EQ(1u, CountLinesWith(ADDON_LOG_ERROR, "'" + GuideCachePath(FirstUid()) + "'"));
  EXPECT_TRUE(Guide(FirstUid(), windowStart, windowEnd).empty());
  EXPECT_EQ(0u, host->HostErrors());
  host.reset();

  ASSERT_TRUE(provider->SetOffline(false));
  ASSERT_TRUE(Load());
  EXPECT_EQ(warmChannels, TvChannels());
  EXPECT_EQ(warmGuide, Guide(FirstUid(), windowStart, windowEnd));
  host.reset();
  ExpectCachesKept();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BrokenCacheTest,
    ::testing::Values(
        BrokenCache{"Empty", [](const std::string&, const std::string&) { return std::string(); }},
        BrokenCache{"Zeros", [](const std::string& good,
                                const std::string&) { return std::string(good.size(), '\0'); }},
        BrokenCache{"CutAfterAThird",
                    [](const std::string& good, const std::string&) {
                      return good.substr(0, good.size() / 3);
                    }},
        BrokenCache{"TheOtherCache",
                    [](const std::string&, const std::string& other) { return other; }},
        BrokenCache{"ACountBeyondTheText",
                    [](const std::string&, const std::string&) {
                      return std::string("22 serialization::archive 13 0 0 4000000000 0 0 1 ");
                    }},
        BrokenCache{"ANewerLayout",
                    [](const std::string& good, const std::string&) {
                      std::string text = good;
                      const size_t at = text.find("archive 13");
                      return at == std::string::npos ? text : text.replace(at, 10, "archive 99");
                    }}),
    [](const ::testing::TestParamInfo<BrokenCache>& info) { return info.param.name; });

}  // namespace
}  // namespace faults_test
