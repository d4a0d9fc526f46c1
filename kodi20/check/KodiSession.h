#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kodi20/check/ChildProcess.h"
#include "kodi20/check/JsonRpc.h"

namespace zu {
namespace kodi20 {
namespace check {

// Calls probe every step until it returns true or bound passes. probe describes what it is
// still waiting for in state; that text is what a failure reports. True when probe succeeded.
bool WaitFor(std::chrono::milliseconds bound, std::chrono::milliseconds step,
             const std::function<bool(std::string& state)>& probe, std::string& state);

// A free TCP port on 127.0.0.1 at the time of the call (bound to port 0 and released).
int FreeLoopbackPort();

// An X server without a screen (Xvfb, 1280x720, 24 bit) on a display number it picks itself
// among the free ones. Stopped by the destructor.
class VirtualDisplay {
 public:
  // Starts Xvfb and waits at most bound for it to name its display. False with error set
  // when it cannot start or names none in time (its output is in logPath).
  bool Start(const std::string& logPath, std::chrono::milliseconds bound, std::string& error);
  // ":N" once started.
  const std::string& Name() const { return name_; }
  void Stop();

 private:
  ChildProcess process_;
  std::string name_;
};

// One run of Kodi (kodi.bin --standalone on X11) with a prepared home directory: its start
// time, its peak resident memory, its JSON-RPC interface and its end.
class KodiSession {
 public:
  struct Options {
    std::string binary = "/usr/lib/x86_64-linux-gnu/kodi/kodi.bin";
    std::string home;     // HOME of the process (a prepared KodiHome directory)
    std::string display;  // ":N"
    int webServerPort = 0;
    std::string outputPath;  // Kodi's standard output and error
    // Environment entries for Kodi (TZ is UTC unless given here).
    std::vector<std::pair<std::string, std::string>> environment;
  };

  KodiSession() = default;
  // Ends Kodi if it still runs (killed, not quit).
  ~KodiSession();
  KodiSession(const KodiSession&) = delete;
  KodiSession& operator=(const KodiSession&) = delete;

  // Starts Kodi; the start time is taken just before. False with error set when it cannot.
  bool Start(const Options& options, std::string& error);
  // Waits at most bound until JSON-RPC answers; false with error set when Kodi ended or did
  // not answer in time.
  bool WaitReady(std::chrono::milliseconds bound, std::string& error);
  JsonRpc& Rpc() { return *rpc_; }
  // Seconds since the start.
  double Elapsed() const;
  // The highest resident memory seen (VmHWM), in KiB; 0 before the first reading.
  long PeakResidentKb() const { return peakKb_.load(); }
  bool Running() { return process_.Running(); }
  // Activates the window (a name such as "tvguide") and waits at most bound until Kodi reports
  // it as the current one.
  bool ShowWindow(const std::string& window, int windowId, std::chrono::milliseconds bound,
                  std::string& error);
  // Writes a PNG of the whole screen.
  bool Screenshot(const std::string& path, std::string& error);
  // Application.Quit, then waits at most bound for the exit. When Kodi does not end in time it
  // is killed and the result is false with error saying so; false also for an unclean exit.
  bool Quit(std::chrono::milliseconds bound, std::string& error);

 private:
  void StartMemoryWatch();
  void StopMemoryWatch();

  Options options_;
  ChildProcess process_;
  std::unique_ptr<JsonRpc> rpc_;
  std::chrono::steady_clock::time_point started_;
  std::atomic<long> peakKb_{0};
  std::atomic<bool> watching_{false};
  std::thread watcher_;
};

// VmHWM of /proc/<pid>/status in KiB; 0 when the process or the line is gone.
long ReadPeakResidentKb(int pid);

}  // namespace check
}  // namespace kodi20
}  // namespace zu
