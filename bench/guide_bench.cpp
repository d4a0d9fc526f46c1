// The guide: the client core's guide requests for 100 TV channels and a 7-day window, first
// from an empty guide cache (7 show-list requests of 24 hours per channel, 700 in all) against
// the floor of the same 700 requests with libcurl and their documents parsed with nlohmann,
// then the same window again from the cache (no request; every show handed to the host and
// the channel's cache rewritten), in milliseconds per channel.
//
// The client core runs here under a host of the benchmark's own that fills the host's guide
// records as the add-on's adapter does; the guide update thread waits an hour before it does
// anything, so it never adds detail requests to a measured pass.

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "addon/PvrRecords.h"
#include "bench/BenchProvider.h"
#include "bench/BenchSupport.h"
#include "nivo/ClientCore.h"
#include "nivo/Host.h"

namespace {

using zu::nivo::Channel;
using zu::nivo::ClientCore;
using zu::nivo::TVShow;

const size_t kChannels = 100;
const int kDays = 7;
// Monday 2024-03-04 06:00 UTC; the benchmark runs with TZ=UTC.
const time_t kWindowStart = 1709532000;

// Files straight from the file system; log lines and notifications dropped; guide entries
// filled into the host's record, then counted.
class BenchHost : public zu::nivo::Host {
 public:
  void Log(int, const std::string&) override {}
  void Notify(int, const std::string&) override {}
  bool ReadFile(const std::string& path, std::string& out) override {
    if (!std::filesystem::exists(path))
      return false;
    out = zu_bench::ReadWholeFile(path);
    return true;
  }
  WriteResult WriteFile(const std::string& path, const std::string& data,
                        size_t& written) override {
    bool done = false;
    writeMicros += zu_bench::TimeMicros([&]() { done = zu_bench::WriteWholeFile(path, data); });
    written = done ? data.size() : 0;
    return done ? WriteDone : WriteNotOpened;
  }
  void TransferChannel(void*, const Channel&, const std::string&) override {}
  void TransferChannelGroup(void*, const std::string&, bool) override {}
  void TransferChannelGroupMember(void*, const std::string&, unsigned int, unsigned int) override {}
  void TransferEpgEntry(void*, const TVShow& show, unsigned int channelNumber) override {
    EPG_TAG record;
    zu::nivo::EpgTagTexts texts;
    zu::nivo::FillEpgTag(record, show, channelNumber, texts);
    ++entries;
    checksum += static_cast<unsigned long>(record.startTime) + record.strTitle[0];
  }
  void TriggerEpgUpdate(unsigned int) override {}
  void TriggerTimerUpdate() override {}

  size_t entries = 0;
  unsigned long checksum = 0;
  // Time spent writing files, the host's part of a guide request.
  double writeMicros = 0;
};

struct FloorShow {
  unsigned long id = 0;
  int start[6] = {};
  int end[6] = {};
  std::string title;
  std::string subTitle;
  std::vector<std::string> genres;
  std::string country;
  unsigned long year = 0;
};

void ReadTime(const std::string& text, int (&fields)[6]) {
  sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &fields[0], &fields[1], &fields[2], &fields[3],
         &fields[4], &fields[5]);
}

// One show-list document: [ any, [ [ uid, name, [ show, ... ] ] ] ].
size_t FloorParse(const std::string& body, std::vector<FloorShow>& shows) {
  const nlohmann::json document = nlohmann::json::parse(body);
  const nlohmann::json& list = document.at(1).at(0).at(2);
  for (const nlohmann::json& element : list) {
    if (element.size() < 4)
      continue;
    FloorShow show;
    show.id = std::stoul(element.at(0).get_ref<const std::string&>());
    ReadTime(element.at(1).get_ref<const std::string&>(), show.start);
    ReadTime(element.at(2).get_ref<const std::string&>(), show.end);
    show.title = element.at(3).get<std::string>();
    if (element.size() > 4 && element.at(4).is_string())
      show.subTitle = element.at(4).get<std::string>();
    if (element.size() > 5 && element.at(5).is_array()) {
      for (const nlohmann::json& genre : element.at(5)) {
        if (genre.is_string())
          show.genres.push_back(genre.get<std::string>());
      }
    }
    if (element.size() > 6 && element.at(6).is_string())
      show.country = element.at(6).get<std::string>();
    if (element.size() > 7 && element.at(7).is_string())
      show.year = std::stoul(element.at(7).get_ref<const std::string&>());
    shows.push_back(std::move(show));
  }
  return list.size();
}

std::string PeriodText(time_t start) {
  struct tm broken = {};
  gmtime_r(&start, &broken);
  char text[32];
  strftime(text, sizeof(text), "%Y%m%dT%H%M%S", &broken);
  return text;
}

class GuideSetup {
 public:
  // The user path on a memory file system where there is one: the host's file writes on the
  // disk of a shared machine would measure the disk (see host_file_writes_ms_per_channel).
  GuideSetup() : work(std::getenv("ZU_BENCH_DISK") ? "" : "/dev/shm") {
    provider = zu_bench::StartProvider(kChannels, 0, error);
    if (!provider || !zu_bench::LayPackage(work / "pvr.nivotv", *provider, error))
      return;
    StartCore();
    for (const auto& entry : core->GetChannelTable()->channels) {
      if (!entry.second.isRadio)
        uids.push_back(entry.first);
    }
    if (uids.size() != kChannels) {
      error = "the channel load missed channels";
      return;
    }
    base = provider->BaseUrl() + "/";
    // The first pass downloads the channel logos, which no measured pass repeats.
    Pass();
    DropCache();
  }
  ~GuideSetup() {
    if (core)
      core->DeInit();
  }

  // One guide request per channel; false when a request failed or gave no entries.
  bool Pass() {
    const size_t before = host.entries;
    for (unsigned int uid : uids) {
      if (!core->UpdateEPGForChannel(this, uid, kWindowStart, kWindowStart + kDays * 24 * 3600))
        return false;
    }
    lastEntries = host.entries - before;
    return lastEntries > 0;
  }
  // A core with its channels loaded, whose update thread waits an hour.
  void StartCore() {
    if (core)
      core->DeInit();
    ClientCore::Options options;
    options.epgUpdateWait = zu::Time::FromSeconds(3600);
    core.reset(new ClientCore(options));
    core->Init(host, work / "user", work / "pvr.nivotv");
    core->EnsureChannelsLoaded();
  }
  // The cache files gone and a new core without a guide: the next pass starts from an empty
  // cache.
  void DropCache() {
    std::error_code ignored;
    for (const auto& file : std::filesystem::directory_iterator(work / "user/epg", ignored))
      std::filesystem::remove(file.path(), ignored);
    StartCore();
  }
  // The same requests, fetched with libcurl and parsed.
  bool FloorPass() {
    size_t shows = 0;
    for (unsigned int uid : uids) {
      std::vector<FloorShow> parsed;
      for (int day = 0; day < kDays; ++day) {
        const std::string& body = curl.Get(
            base + "a/api.mobile.event.hour?period=" + PeriodText(kWindowStart + day * 24 * 3600) +
                "/24H&stationuid=" + std::to_string(uid),
            {"Accept: application/json", "Connection: close"});
        if (body.empty())
          return false;
        FloorParse(body, parsed);
      }
      shows += parsed.size();
    }
    return shows > 0;
  }

  zu_bench::TempDir work;
  std::unique_ptr<zu::provider::SampleProvider> provider;
  BenchHost host;
  std::unique_ptr<ClientCore> core;
  std::vector<unsigned int> uids;
  std::string base;
  zu_bench::CurlClient curl;
  size_t lastEntries = 0;
  std::string error;
};

GuideSetup& Setup() {
  static GuideSetup setup;
  return setup;
}

void GuideCold(benchmark::State& state) {
  GuideSetup& setup = Setup();
  if (!setup.error.empty()) {
    state.SkipWithError(setup.error.c_str());
    return;
  }
  std::vector<double> ours;
  std::vector<double> floor;
  const int count = zu_bench::Count(5, 1);
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) {
      bool ok = true;
      setup.DropCache();
      const auto runOurs = [&]() {
        ours.push_back(zu_bench::TimeMicros([&]() { ok = setup.Pass(); }));
      };
      const auto runFloor = [&]() {
        floor.push_back(zu_bench::TimeMicros([&]() { ok = setup.FloorPass() && ok; }));
      };
      if (i % 2 == 0) {
        runOurs();
        runFloor();
      } else {
        runFloor();
        runOurs();
      }
      if (!ok) {
        state.SkipWithError("a guide pass failed");
        return;
      }
    }
  }
  state.counters["shows_per_channel"] = static_cast<double>(setup.lastEntries) / kChannels;
  zu_bench::Row row;
  row.benchmark = "Guide, cold: 100 channels x 7 days (700 requests)";
  row.unit = "ms";
  row.ours = zu_bench::Median(ours) / 1000;
  row.floor = zu_bench::Median(floor) / 1000;
  row.limit = 1.5;
  zu_bench::Report(state, row);
}

void GuideWarm(benchmark::State& state) {
  GuideSetup& setup = Setup();
  if (!setup.error.empty()) {
    state.SkipWithError(setup.error.c_str());
    return;
  }
  // Whatever ran before, the cache holds the whole window.
  setup.Pass();
  const size_t requests = setup.provider->RequestCount(zu::provider::Endpoint::kShowList);
  std::vector<double> samples;
  std::vector<double> writes;
  const int count = zu_bench::Count(30, 3);
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) {
      bool ok = true;
      const double written = setup.host.writeMicros;
      samples.push_back(zu_bench::TimeMicros([&]() { ok = setup.Pass(); }));
      writes.push_back(setup.host.writeMicros - written);
      if (!ok) {
        state.SkipWithError("a guide pass failed");
        return;
      }
    }
  }
  if (setup.provider->RequestCount(zu::provider::Endpoint::kShowList) != requests) {
    state.SkipWithError("a warm pass sent requests");
    return;
  }
  const double showsPerChannel = static_cast<double>(setup.lastEntries) / kChannels;
  state.counters["shows_per_channel"] = showsPerChannel;
  state.counters["host_file_writes_ms_per_channel"] = zu_bench::Median(writes) / 1000 / kChannels;
  char title[128];
  snprintf(title, sizeof(title), "Guide, warm: same window from the cache (%.0f shows/channel)",
           showsPerChannel);
  zu_bench::Row row;
  row.benchmark = title;
  row.unit = "ms/channel";
  row.ours = zu_bench::Median(samples) / 1000 / kChannels;
  row.limit = 1.0;
  zu_bench::Report(state, row);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("TZ", "UTC", 1);
  tzset();
  return zu_bench::Main(argc, argv, []() {
    benchmark::RegisterBenchmark("Guide/cold_100ch_7d", GuideCold)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Guide/warm_100ch_7d", GuideWarm)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  });
}
