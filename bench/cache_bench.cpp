// The guide cache archive: writing and reading 10,000 shows through the add-on's cache code
// against plain boost text archives of the same show list.

#include "tests/nivo/BoostCacheArchive.h"

#include <boost/date_time/posix_time/posix_time.hpp>

#include <locale>
#include <sstream>
#include <string>

#include "bench/BenchSupport.h"
#include "nivo/CacheArchive.h"
#include "nivo/TVShow.h"

namespace {

using zu::nivo::TVShow;
using zu::nivo::TVShows;

const size_t kShows = 10000;

// Shows like a week of guide: every one with title, times and genres, some with details.
TVShows MakeShows() {
  TVShows shows;
  const boost::posix_time::ptime first(boost::gregorian::date(2024, 3, 4),
                                       boost::posix_time::hours(5));
  static const char* const genres[] = {"Krimi", "Natur",     "Nachrichten", "Sport",
                                       "Serie", "Spielfilm", "Doku",        "Kinder"};
  for (size_t i = 0; i < kShows; ++i) {
    TVShow show;
    show.id = static_cast<unsigned int>(4000000 + i);
    show.title = "Show number " + std::to_string(i) + " &amp; friends";
    if (i % 3 != 0)
      show.subTitle = "Episode " + std::to_string(i % 40) + ": a subtitle of some length";
    show.AddGenre(genres[i % 8]);
    if (i % 4 == 0)
      show.AddGenre(genres[(i / 4) % 8]);
    if (i % 5 == 0) {
      show.country = "D";
      show.year = static_cast<unsigned int>(1980 + i % 40);
    }
    if (i % 6 == 0) {
      show.description = std::string(300, 'd') + " end of the description " + std::to_string(i);
      show.duration = 45;
      show.image = "http://127.0.0.1:8080/image/" + std::to_string(show.id) + ".png";
      show.persons = {{"Actor", "Anna Beispiel"}, {"Actor", "Bert Muster"}, {"Director", "Carla"}};
      show.detailsRead = true;
    }
    show.start = first + boost::posix_time::minutes(static_cast<long>(i * 40));
    show.end = show.start + boost::posix_time::minutes(40);
    shows.push_back(show);
  }
  return shows;
}

std::string FloorWrite(const TVShows& shows) {
  std::ostringstream out;
  {
    boost::archive::text_oarchive archive(out);
    archive << shows;
  }
  return out.str();
}

TVShows FloorRead(const std::string& text) {
  std::istringstream in(text);
  boost::archive::text_iarchive archive(in);
  TVShows shows;
  archive >> shows;
  return shows;
}

const TVShows& Shows() {
  static const TVShows shows = MakeShows();
  return shows;
}

void CacheWrite(benchmark::State& state) {
  const TVShows& shows = Shows();
  zu_bench::Pairs pairs;
  size_t bytes = 0;
  for (auto _ : state) {
    pairs.Run(
        zu_bench::Count(30, 3),
        [&]() {
          bytes = zu::nivo::WriteShowsArchive(shows).size();
          return bytes > 0;
        },
        [&]() { return !FloorWrite(shows).empty(); });
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  zu_bench::Row row;
  row.benchmark = "Guide cache, write 10,000 shows";
  row.unit = "ms";
  row.ours = zu_bench::Median(pairs.Ours()) / 1000;
  row.floor = zu_bench::Median(pairs.Floor()) / 1000;
  row.limit = 1.1;
  zu_bench::Report(state, row);
}

void CacheRead(benchmark::State& state) {
  const TVShows& shows = Shows();
  const std::string ours = zu::nivo::WriteShowsArchive(shows);
  const std::string floor = FloorWrite(shows);
  if (zu::nivo::ReadShowsArchive(ours) != shows || FloorRead(floor) != shows) {
    state.SkipWithError("an archive did not read back");
    return;
  }
  zu_bench::Pairs pairs;
  for (auto _ : state) {
    pairs.Run(
        zu_bench::Count(30, 3), [&]() { return zu::nivo::ReadShowsArchive(ours).size() == kShows; },
        [&]() { return FloorRead(floor).size() == kShows; });
  }
  zu_bench::Row row;
  row.benchmark = "Guide cache, read 10,000 shows";
  row.unit = "ms";
  row.ours = zu_bench::Median(pairs.Ours()) / 1000;
  row.floor = zu_bench::Median(pairs.Floor()) / 1000;
  row.limit = 1.1;
  zu_bench::Report(state, row);
}

}  // namespace

int main(int argc, char** argv) {
  return zu_bench::Main(argc, argv, []() {
    benchmark::RegisterBenchmark("CacheArchive/write_10000_shows", CacheWrite)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("CacheArchive/read_10000_shows", CacheRead)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  });
}
