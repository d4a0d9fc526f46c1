#pragma once

// What every benchmark program shares: the quick mode, paired samples of our code and its
// floor, the results table, a libcurl client for the floors and temporary directories.
//
// Each comparison runs our code and the floor in turns within one benchmark (alternating
// which goes first), so both see the same load of a machine that other work shares. The
// figures are medians over the pairs; the ratio is ours / floor.

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zu_bench {

// True when the program was started with --quick (a smoke run of seconds).
bool Quick();
// full in a normal run, quick in a quick run.
inline int Count(int full, int quick) {
  return Quick() ? quick : full;
}

// Microseconds since an arbitrary point (monotonic clock).
double NowMicros();

// Runs work and returns how long it took in microseconds.
double TimeMicros(const std::function<void()>& work);

double Median(std::vector<double> samples);
double Max(const std::vector<double>& samples);

// One line of the results table. A ratio row compares ours with floor and meets its target
// when ours / floor <= limit; an absolute row (floor < 0: there is no floor) meets it when
// ours <= limit.
struct Row {
  std::string benchmark;
  std::string unit;  // of ours and floor, e.g. "us/request"
  double ours = 0;
  double floor = -1;      // < 0: no floor
  double limit = 0;       // the target: ratio bound, or bound of ours when there is no floor
  std::string floorNote;  // shown instead of a missing floor
};

// Adds the row to the table printed at the end of the program (and appended, tab-separated,
// to the file named by ZU_BENCH_TABLE when set). Also sets counters on state.
void Report(benchmark::State& state, const Row& row);
// The same without a benchmark state (programs that measure outside Google Benchmark).
void Report(const Row& row);

// Our samples and the floor's, taken in turns.
class Pairs {
 public:
  // Runs count pairs of ours() and floor(), the first of each pair alternating. A step that
  // returns false stops the run and marks it failed.
  bool Run(int count, const std::function<bool()>& ours, const std::function<bool()>& floor);
  const std::vector<double>& Ours() const { return ours_; }
  const std::vector<double>& Floor() const { return floor_; }

 private:
  std::vector<double> ours_;
  std::vector<double> floor_;
};

// A blocking HTTP client on libcurl that opens a fresh connection for every request, as the
// page reader does, and lets libcurl inflate gzip bodies.
class CurlClient {
 public:
  CurlClient();
  ~CurlClient();
  CurlClient(const CurlClient&) = delete;
  CurlClient& operator=(const CurlClient&) = delete;

  // The body of a GET of url (with headers "Name: value"); empty on any failure or a status
  // other than 200. Valid until the next call: the client keeps one receive buffer, so that
  // the floor pays for no allocation a caller could avoid.
  const std::string& Get(const std::string& url, const std::vector<std::string>& headers = {});

 private:
  void* handle_;
  std::string body_;
};

// A fresh directory, removed with its contents when the object goes: below base, or below
// the system's temporary directory when base is empty or not writable.
class TempDir {
 public:
  explicit TempDir(const std::string& base = std::string());
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& data);

// The program's main: strips --quick, lets register() add the benchmarks, runs them with
// Google Benchmark's own options and prints the results table.
int Main(int argc, char** argv, const std::function<void()>& registerBenchmarks);

}  // namespace zu_bench
