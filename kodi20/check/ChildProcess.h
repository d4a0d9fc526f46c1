#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace zu {
namespace kodi20 {
namespace check {

// A program started by the driver, in a process group of its own, that never outlives the
// driver: it is ended by the destructor and, should the driver die, by the kernel (parent
// death signal). Only the thread that started it may use the object.
class ChildProcess {
 public:
  struct Options {
    std::vector<std::string> argv;  // argv[0] is the program, looked up in PATH
    // Environment entries set on top of the driver's own; an empty value removes the entry.
    std::vector<std::pair<std::string, std::string>> environment;
    std::string stdoutPath;  // empty: /dev/null
    std::string stderrPath;  // empty: /dev/null; may equal stdoutPath
    int passFd = -1;         // a descriptor the program inherits as descriptor 3
  };

  ChildProcess() = default;
  // Terminate with a short grace period.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the program. False, with error set, when the program cannot be started (an
  // exec failure is reported here, not as an exit status) or a process is running already.
  bool Start(const Options& options, std::string& error);
  // The process id; 0 when none was started or it has been reaped.
  pid_t Pid() const { return pid_; }
  // True while the process has not exited.
  bool Running();
  // Waits at most bound for the exit; true with the wait status when it exited.
  bool WaitExit(std::chrono::milliseconds bound, int& status);
  // Sends the signal to the process group.
  void Signal(int signal);
  // SIGTERM, then SIGKILL when it has not exited after grace; returns once it is reaped.
  // Returns the wait status (-1 when nothing was running).
  int Terminate(std::chrono::milliseconds grace);

  // Whether the last exit was a normal exit with status 0.
  static bool ExitedCleanly(int status);
  // "exit status N" or "killed by signal N".
  static std::string DescribeStatus(int status);

 private:
  bool Reap(bool block, int& status);

  pid_t pid_ = 0;
  int lastStatus_ = -1;
};

// Runs a program to its end with a bound; its output (standard output and error together)
// goes to output. False, with error set, when it cannot start, exceeds the bound (it is then
// killed) or does not exit with status 0.
bool RunProgram(const ChildProcess::Options& options, std::chrono::milliseconds bound,
                std::string& output, std::string& error);

}  // namespace check
}  // namespace kodi20
}  // namespace zu
