// The channel load: the first channel request of a freshly loaded add-on (EnsureChannelsLoaded
// through the stand-in host) against the sample provider with 1,000 generated TV stations over
// the three playlists and 100 radio stations, the channel cache of an earlier start in place.
// The floor fetches the same five documents with libcurl and parses them: the two JSON
// documents with nlohmann, the playlists line by line, matched to the stations by name.
//
// Then the same with a guide cache of 7 days (about 250 shows) for every TV channel, as after
// a week of use: the load also reads those thousand files, and the floor reads them with plain
// boost text archives.

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include <boost/date_time/posix_time/posix_time.hpp>

#include <filesystem>
#include <sstream>

#include "bench/BenchProvider.h"
#include "bench/BenchSupport.h"
#include "host/StandInHost.h"
#include "nivo/CacheArchive.h"
#include "nivo/TVShow.h"
#include "tests/nivo/BoostCacheArchive.h"

namespace {

const size_t kStations = 1000;
const size_t kRadio = 100;

struct FloorStation {
  unsigned int uid = 0;
  unsigned int number = 0;
  std::string name;
  std::string logo;
  std::vector<std::string> groups;
  std::string url;
};

// The playlist's (name, URL) pairs applied to the stations of that name.
void ApplyPlaylist(const std::string& text,
                   std::unordered_multimap<std::string, FloorStation*>& byName,
                   const std::string& group) {
  std::string name;
  bool haveName = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    size_t length = end - start;
    if (length > 0 && text[start + length - 1] == '\r')
      --length;
    const std::string line = text.substr(start, length);
    start = end + 1;
    if (line.compare(0, 8, "#EXTINF:") == 0) {
      const size_t comma = line.find(',');
      name = comma == std::string::npos ? std::string() : line.substr(comma + 1);
      haveName = true;
    } else if (haveName && !line.empty() && line[0] != '#') {
      const auto range = byName.equal_range(name);
      for (auto it = range.first; it != range.second; ++it) {
        it->second->url = line;
        it->second->groups.push_back(group);
      }
      haveName = false;
    }
  }
}

bool FloorLoad(zu_bench::CurlClient& curl, const std::string& base) {
  const std::vector<std::string> json = {"Accept: application/json", "Connection: close"};
  const std::string& headerInfo = curl.Get(base + "pelta_bapi/Android/index/headerinfo", json);
  if (headerInfo.empty() || nlohmann::json::parse(headerInfo).is_discarded())
    return false;
  const std::string& stationList = curl.Get(base + "a/api.mobile.station.get?type=JSON.1", json);
  if (stationList.empty())
    return false;
  std::map<unsigned int, FloorStation> stations;
  const nlohmann::json document = nlohmann::json::parse(stationList);
  for (const nlohmann::json& entry : document.at("data")) {
    const nlohmann::json& station = entry.at("Station");
    FloorStation& out = stations[station.at("UID").get<unsigned int>()];
    out.uid = station.at("UID").get<unsigned int>();
    out.name = station.at("DisplayName").get<std::string>();
    const nlohmann::json& channel = station.at("Channel");
    out.groups.push_back(channel.at(0).get<std::string>());
    out.number = channel.at(1).get<unsigned int>();
    for (const nlohmann::json& flag : station.at("Flags"))
      out.groups.push_back(flag.get<std::string>());
    for (const nlohmann::json& product : station.at("Products"))
      out.groups.push_back(product.get<std::string>());
    out.logo = station.at("Logo").at("URI").get<std::string>();
  }
  std::unordered_multimap<std::string, FloorStation*> byName;
  for (auto& entry : stations)
    byName.emplace(entry.second.name, &entry.second);
  const std::vector<std::pair<std::string, std::string>> playlists = {
      {"a/service.fta.m3u", "Nivo TV"},
      {"a/service.plus.m3u", "Nivo TV Plus"},
      {"a/service.m3u", "All"}};
  for (const auto& playlist : playlists) {
    const std::string& text = curl.Get(base + playlist.first, {"Connection: close"});
    if (text.empty())
      return false;
    ApplyPlaylist(text, byName, playlist.second);
  }
  return stations.size() == kStations;
}

// A week of guide for one channel: shows of 40 minutes from Monday 05:00, as the guide cache
// holds them after the guide requests of a week without details.
zu::nivo::TVShows WeekOfShows(unsigned int uid) {
  static const char* const genres[] = {"Krimi", "Natur", "Nachrichten", "Sport", "Serie"};
  const boost::posix_time::ptime first(boost::gregorian::date(2024, 3, 4),
                                       boost::posix_time::hours(5));
  zu::nivo::TVShows shows;
  for (unsigned int i = 0; i < 252; ++i) {
    zu::nivo::TVShow show;
    show.id = uid * 1000 + i;
    show.title = "Sendung " + std::to_string(i) + " auf Kanal " + std::to_string(uid);
    if (i % 3 != 0)
      show.subTitle = "Folge " + std::to_string(i % 40);
    show.AddGenre(genres[i % 5]);
    if (i % 4 == 0) {
      show.country = "D";
      show.year = 1990 + i % 30;
    }
    show.start = first + boost::posix_time::minutes(40 * static_cast<long>(i));
    show.end = show.start + boost::posix_time::minutes(40);
    shows.push_back(show);
  }
  return shows;
}

// The guide cache files of the TV channels read with plain boost text archives.
bool FloorReadGuideCaches(const std::vector<std::string>& files) {
  size_t shows = 0;
  for (const std::string& file : files) {
    std::istringstream in(zu_bench::ReadWholeFile(file));
    boost::archive::text_iarchive archive(in, boost::archive::no_header);
    std::string signature;
    boost::archive::library_version_type version;
    archive >> signature >> version;
    zu::nivo::TVShows read;
    archive >> read;
    shows += read.size();
  }
  return shows > 0;
}

void ChannelLoad(benchmark::State& state, bool withGuideCache) {
  zu_bench::TempDir work;
  std::string error;
  const auto provider = zu_bench::StartProvider(kStations, kRadio, error);
  if (!provider || !zu_bench::LayPackage(work / "pvr.nivotv", *provider, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  zu::host::HostOptions options;
  options.addonFolder = work / "pvr.nivotv";
  options.userPath = work / "user";
  options.hostBase = ZU_HOST_BASE_DIR;
  options.logPath = work / "host.log";
  options.echoToStandardError = false;
  zu_bench::CurlClient curl;
  const std::string base = provider->BaseUrl() + "/";

  std::string failure;
  // A first start writes the channel cache that every measured start then reads, as every
  // start of the media centre after the first one does.
  zu::host::StandInHostPtr host;
  const auto load = [&]() {
    host.reset();
    zu::host::LoadFailure why;
    host = zu::host::StandInHost::Load(options, why);
    if (!host)
      failure = "the add-on did not load: " + why.message;
    return static_cast<bool>(host);
  };
  if (!load() || host->GetChannelsAmount() != static_cast<int>(kStations + kRadio)) {
    state.SkipWithError(failure.empty() ? "the first load missed channels" : failure.c_str());
    return;
  }
  std::vector<std::string> guideFiles;
  if (withGuideCache) {
    for (const zu::provider::Station& station : provider->GetCatalogue().Stations()) {
      guideFiles.push_back(options.userPath + "/epg/channel_" + std::to_string(station.uid) +
                           ".zug");
      if (!zu_bench::WriteWholeFile(guideFiles.back(),
                                    zu::nivo::WriteShowsArchive(WeekOfShows(station.uid)))) {
        state.SkipWithError("cannot write the guide cache");
        return;
      }
    }
  }

  zu_bench::Pairs pairs;
  const int count = withGuideCache ? zu_bench::Count(7, 1) : zu_bench::Count(15, 2);
  for (auto _ : state) {
    // Loading the add-on is the host's work; only the load of the channels is measured, so
    // each pair loads the add-on afresh before its turn.
    std::vector<double> ours;
    std::vector<double> floor;
    for (int i = 0; i < count; ++i) {
      if (!load())
        break;
      bool ok = true;
      const auto runOurs = [&]() {
        ours.push_back(zu_bench::TimeMicros(
            [&]() { ok = host->GetChannelsAmount() == static_cast<int>(kStations + kRadio); }));
      };
      const auto runFloor = [&]() {
        floor.push_back(zu_bench::TimeMicros([&]() {
          ok = FloorLoad(curl, base) && (!withGuideCache || FloorReadGuideCaches(guideFiles)) && ok;
        }));
      };
      if (i % 2 == 0) {
        runOurs();
        runFloor();
      } else {
        runFloor();
        runOurs();
      }
      if (!ok) {
        failure = "a channel load missed channels or documents";
        break;
      }
    }
    if (!failure.empty()) {
      state.SkipWithError(failure.c_str());
      return;
    }
    zu_bench::Row row;
    row.benchmark = withGuideCache
                        ? "Channel load, the same with 7 days of guide cached for every TV channel"
                        : "Channel load, 1,000 TV + 100 radio";
    row.unit = "ms";
    row.ours = zu_bench::Median(ours) / 1000;
    row.floor = zu_bench::Median(floor) / 1000;
    row.limit = 1.5;
    zu_bench::Report(state, row);
  }
  host.reset();
}

}  // namespace

int main(int argc, char** argv) {
  return zu_bench::Main(argc, argv, []() {
    benchmark::RegisterBenchmark("ChannelLoad/1000tv_100radio", ChannelLoad, false)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ChannelLoad/with_guide_cache", ChannelLoad, true)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  });
}
