// Memory: the peak resident size (VmHWM) of the nivotv-host process running a session against
// the sample provider with 1,000 TV and 100 radio stations: every channel loaded, then 7 days
// of guide for 100 TV channels. For comparison, the same process with the add-on loaded and
// asked only for its status.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchProvider.h"
#include "bench/BenchSupport.h"

namespace {

const size_t kStations = 1000;
const size_t kRadio = 100;
const char kGuideChannels[] = "100";
const char kDays[] = "7";
// Monday 2024-03-04 06:00 UTC, as in the guide benchmark.
const char kFrom[] = "1709532000";
const double kLimitMiB = 64;

// VmHWM of a running process in KiB; 0 when it cannot be read.
long ReadHighWaterMark(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmHWM:") == 0)
      return std::stol(line.substr(6));
  }
  return 0;
}

// Runs nivotv-host with arguments, its output into files below work; the peak resident size
// in MiB (the larger of the VmHWM last read while it ran and the maximum resident size the
// kernel reports at its end), or -1 when it did not run to a successful end.
double PeakResidentMiB(const std::vector<std::string>& arguments, const std::string& work,
                       const std::string& name) {
  std::vector<std::string> words = {ZU_NIVOTV_HOST};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const std::string out = work + "/" + name + ".out";
  const std::string err = work + "/" + name + ".err";

  const pid_t child = fork();
  if (child < 0)
    return -1;
  if (child == 0) {
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (outFd >= 0)
      dup2(outFd, 1);
    if (errFd >= 0)
      dup2(errFd, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  long highWater = 0;
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(child, &status, WNOHANG, &usage);
    if (done == child)
      break;
    if (done < 0)
      return -1;
    const long now = ReadHighWaterMark(child);
    if (now > highWater)
      highWater = now;
    usleep(20000);
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    fprintf(stderr, "nivotv-host %s failed (status %d); see %s\n", name.c_str(), status,
            err.c_str());
    return -1;
  }
  const long peak = usage.ru_maxrss > highWater ? usage.ru_maxrss : highWater;
  return static_cast<double>(peak) / 1024;
}

void PeakMemory(benchmark::State& state) {
  zu_bench::TempDir dir;
  const std::string work = dir.Path();
  const std::string package = dir / "pvr.nivotv";
  std::string error;
  const auto provider = zu_bench::StartProvider(kStations, kRadio, error);
  if (!provider || !zu_bench::LayPackage(package, *provider, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  double session = -1;
  double idle = -1;
  for (auto _ : state) {
    idle = PeakResidentMiB({"status", "--addon", package, "--user", work + "/idle-user"}, work,
                           "status");
    session = PeakResidentMiB(
        {"session", "--addon", package, "--user", work + "/session-user", "--days", kDays, "--from",
         kFrom, "--duration", "0", "--guide-channels", kGuideChannels},
        work, "session");
  }
  if (session < 0 || idle < 0) {
    state.SkipWithError("nivotv-host did not run to its end");
    return;
  }
  char note[96];
  snprintf(note, sizeof(note), "add-on loaded, idle: %.1f MiB", idle);
  zu_bench::Row row;
  row.benchmark = "Memory, nivotv-host peak RSS: 1,100 channels + 7 days of guide for 100";
  row.unit = "MiB";
  row.ours = session;
  row.floorNote = note;
  row.limit = kLimitMiB;
  zu_bench::Report(state, row);
}

}  // namespace

int main(int argc, char** argv) {
  return zu_bench::Main(argc, argv, []() {
    benchmark::RegisterBenchmark("Memory/nivotv_host_session", PeakMemory)
        ->Iterations(1)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  });
}
