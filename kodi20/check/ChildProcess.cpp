#include "kodi20/check/ChildProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace zu {
namespace kodi20 {
namespace check {

namespace {

// Writes the whole buffer; used in the child between fork and exec, so only async-signal-safe
// calls are made.
void WriteAll(int fd, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = ::write(fd, bytes, size);
    if (written <= 0) {
      if (written < 0 && errno == EINTR)
        continue;
      return;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
}

int OpenOutput(const std::string& path) {
  if (path.empty())
    return ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

}  // namespace

ChildProcess::~ChildProcess() {
  Terminate(std::chrono::milliseconds(3000));
}

bool ChildProcess::Start(const Options& options, std::string& error) {
  if (pid_ != 0 && Running()) {
    error = "a process is running already";
    return false;
  }
  if (options.argv.empty()) {
    error = "no program given";
    return false;
  }
  pid_ = 0;
  lastStatus_ = -1;

  // Everything the child needs is prepared before fork: after it only async-signal-safe
  // calls are allowed.
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string text(*entry);
    std::string name = text.substr(0, text.find('='));
    bool overridden = false;
    for (const auto& change : options.environment)
      overridden = overridden || change.first == name;
    if (!overridden)
      environment.push_back(text);
  }
  for (const auto& change : options.environment) {
    if (!change.second.empty())
      environment.push_back(change.first + "=" + change.second);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment)
    envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> arguments = options.argv;
  std::vector<char*> argv;
  for (std::string& argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  int out = OpenOutput(options.stdoutPath);
  int err = options.stderrPath == options.stdoutPath ? ::dup(out) : OpenOutput(options.stderrPath);
  if (out < 0 || err < 0) {
    error = "cannot open the output files of " + options.argv[0] + ": " + ::strerror(errno);
    if (out >= 0)
      ::close(out);
    if (err >= 0)
      ::close(err);
    return false;
  }
  // The child reports a failed exec through this pipe; a successful exec closes it.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + ::strerror(errno);
    ::close(out);
    ::close(err);
    return false;
  }
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    error = std::string("fork: ") + ::strerror(errno);
    ::close(out);
    ::close(err);
    ::close(report[0]);
    ::close(report[1]);
    return false;
  }
  if (pid == 0) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent)
      ::_exit(127);
    int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (options.passFd == 3)
      ::fcntl(3, F_SETFD, 0);
    else if (options.passFd >= 0)
      ::dup2(options.passFd, 3);
    // Nothing else of the driver's (listening sockets above all) leaks into the program; the
    // exec failure report stays open until the exec itself.
    ::close_range(options.passFd >= 0 ? 4 : 3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::signal(SIGPIPE, SIG_DFL);
    ::execvpe(argv[0], argv.data(), envp.data());
    int code = errno;
    WriteAll(report[1], &code, sizeof(code));
    ::_exit(127);
  }
  ::setpgid(pid, pid);
  ::close(out);
  ::close(err);
  ::close(report[1]);
  int code = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &code, sizeof(code));
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  pid_ = pid;
  if (got == static_cast<ssize_t>(sizeof(code))) {
    int status = 0;
    Reap(true, status);
    pid_ = 0;
    error = "cannot start " + options.argv[0] + ": " + ::strerror(code);
    return false;
  }
  return true;
}

bool ChildProcess::Reap(bool block, int& status) {
  if (pid_ == 0)
    return true;
  pid_t done;
  do {
    done = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == pid_ || (done < 0 && errno == ECHILD)) {
    lastStatus_ = done == pid_ ? status : -1;
    status = lastStatus_;
    pid_ = 0;
    return true;
  }
  return false;
}

bool ChildProcess::Running() {
  int status = 0;
  return !Reap(false, status);
}

bool ChildProcess::WaitExit(std::chrono::milliseconds bound, int& status) {
  auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    if (pid_ == 0) {
      status = lastStatus_;
      return true;
    }
    if (Reap(false, status))
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

void ChildProcess::Signal(int signal) {
  if (pid_ != 0)
    ::kill(-pid_, signal);
}

int ChildProcess::Terminate(std::chrono::milliseconds grace) {
  if (pid_ == 0)
    return lastStatus_;
  int status = -1;
  Signal(SIGTERM);
  if (!WaitExit(grace, status)) {
    Signal(SIGKILL);
    Reap(true, status);
  }
  return status;
}

bool ChildProcess::ExitedCleanly(int status) {
  return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ChildProcess::DescribeStatus(int status) {
  if (status < 0)
    return "unknown exit";
  if (WIFEXITED(status))
    return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status))
    return "killed by signal " + std::to_string(WTERMSIG(status));
  return "wait status " + std::to_string(status);
}

bool RunProgram(const ChildProcess::Options& options, std::chrono::milliseconds bound,
                std::string& output, std::string& error) {
  char pattern[] = "/tmp/kodi20-check-output-XXXXXX";
  int fd = ::mkstemp(pattern);
  if (fd < 0) {
    error = std::string("mkstemp: ") + ::strerror(errno);
    return false;
  }
  ::close(fd);
  ChildProcess::Options withOutput = options;
  withOutput.stdoutPath = pattern;
  withOutput.stderrPath = pattern;
  ChildProcess child;
  bool ok = child.Start(withOutput, error);
  int status = -1;
  if (ok && !child.WaitExit(bound, status)) {
    child.Terminate(std::chrono::milliseconds(1000));
    error = options.argv[0] + " did not finish within " +
            std::to_string(bound.count() / 1000.0).substr(0, 5) + " s";
    ok = false;
  }
  {
    std::ifstream in(pattern, std::ios::binary);
    output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  ::unlink(pattern);
  if (ok && !ChildProcess::ExitedCleanly(status)) {
    error = options.argv[0] + " failed (" + ChildProcess::DescribeStatus(status) + ")";
    ok = false;
  }
  return ok;
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu
