#include "kodi20/check/KodiSession.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace zu {
namespace kodi20 {
namespace check {

bool WaitFor(std::chrono::milliseconds bound, std::chrono::milliseconds step,
             const std::function<bool(std::string& state)>& probe, std::string& state) {
  auto deadline = std::chrono::steady_clock::now() + bound;
  for (;;) {
    if (probe(state))
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(step);
  }
}

int FreeLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

bool VirtualDisplay::Start(const std::string& logPath, std::chrono::milliseconds bound,
                           std::string& error) {
  // Xvfb writes the display number it took to descriptor 3 (-displayfd) once it accepts
  // clients, which spares guessing a free number and racing other servers for it.
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
    error = std::string("pipe: ") + ::strerror(errno);
    return false;
  }
  ChildProcess::Options options;
  options.argv = {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x720x24", "-nolisten", "tcp"};
  options.stdoutPath = logPath;
  options.stderrPath = logPath;
  options.passFd = pipeFds[1];
  bool started = process_.Start(options, error);
  ::close(pipeFds[1]);
  if (!started) {
    ::close(pipeFds[0]);
    return false;
  }
  std::string number;
  auto deadline = std::chrono::steady_clock::now() + bound;
  while (number.empty() || number.back() != '\n') {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
      break;
    pollfd readable{pipeFds[0], POLLIN, 0};
    int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0)
      break;
    char buffer[16];
    ssize_t got = ::read(pipeFds[0], buffer, sizeof(buffer));
    if (got <= 0)
      break;
    number.append(buffer, static_cast<size_t>(got));
  }
  ::close(pipeFds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == '\r'))
    number.pop_back();
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    process_.Terminate(std::chrono::milliseconds(2000));
    error = "Xvfb did not name its display within " + std::to_string(bound.count() / 1000) +
            " s (see " + logPath + ")";
    return false;
  }
  name_ = ":" + number;
  return true;
}

void VirtualDisplay::Stop() {
  process_.Terminate(std::chrono::milliseconds(3000));
  name_.clear();
}

long ReadPeakResidentKb(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      std::istringstream fields(line.substr(6));
      long kb = 0;
      fields >> kb;
      return kb;
    }
  }
  return 0;
}

KodiSession::~KodiSession() {
  StopMemoryWatch();
  process_.Terminate(std::chrono::milliseconds(3000));
}

bool KodiSession::Start(const Options& options, std::string& error) {
  options_ = options;
  ChildProcess::Options child;
  child.argv = {options.binary, "--windowing=x11", "--standalone"};
  child.environment = {{"HOME", options.home}, {"DISPLAY", options.display}, {"TZ", "UTC"}};
  for (const auto& entry : options.environment)
    child.environment.push_back(entry);
  child.stdoutPath = options.outputPath;
  child.stderrPath = options.outputPath;
  rpc_.reset(new JsonRpc(options.webServerPort));
  peakKb_ = 0;
  started_ = std::chrono::steady_clock::now();
  if (!process_.Start(child, error))
    return false;
  StartMemoryWatch();
  return true;
}

double KodiSession::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void KodiSession::StartMemoryWatch() {
  StopMemoryWatch();
  watching_ = true;
  int pid = process_.Pid();
  watcher_ = std::thread([this, pid] {
    while (watching_) {
      long kb = ReadPeakResidentKb(pid);
      if (kb > peakKb_)
        peakKb_ = kb;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
}

void KodiSession::StopMemoryWatch() {
  watching_ = false;
  if (watcher_.joinable())
    watcher_.join();
}

bool KodiSession::WaitReady(std::chrono::milliseconds bound, std::string& error) {
  std::string state = "no answer yet";
  bool ready = WaitFor(
      bound, std::chrono::milliseconds(250),
      [this](std::string& now) {
        if (!process_.Running()) {
          now = "Kodi ended";
          return true;
        }
        nlohmann::json result;
        if (!rpc_->Call("JSONRPC.Ping", nullptr, result, now, std::chrono::seconds(5)))
          return false;
        now = result == "pong" ? "" : "unexpected answer " + result.dump();
        return now.empty();
      },
      state);
  if (!ready || !state.empty()) {
    error = "Kodi's JSON-RPC did not answer within " + std::to_string(bound.count() / 1000) +
            " s: " + state;
    return false;
  }
  return true;
}

bool KodiSession::ShowWindow(const std::string& window, int windowId,
                             std::chrono::milliseconds bound, std::string& error) {
  nlohmann::json result;
  if (!rpc_->Call("GUI.ActivateWindow", {{"window", window}}, result, error))
    return false;
  std::string state;
  if (!WaitFor(
          bound, std::chrono::milliseconds(200),
          [&](std::string& now) {
            nlohmann::json properties;
            if (!rpc_->Call("GUI.GetProperties", {{"properties", {"currentwindow"}}}, properties,
                            now))
              return false;
            now = "the current window is " + properties["currentwindow"].dump();
            return properties["currentwindow"].value("id", 0) == windowId;
          },
          state)) {
    error = "window " + window + " did not open: " + state;
    return false;
  }
  return true;
}

bool KodiSession::Screenshot(const std::string& path, std::string& error) {
  ChildProcess::Options import;
  import.argv = {"import", "-display", options_.display, "-window", "root", path};
  std::string output;
  if (!RunProgram(import, std::chrono::seconds(30), output, error)) {
    error = "screenshot failed: " + error + " " + output;
    return false;
  }
  return true;
}

bool KodiSession::Quit(std::chrono::milliseconds bound, std::string& error) {
  if (!process_.Running()) {
    StopMemoryWatch();
    error = "Kodi had ended before it was asked to quit";
    return false;
  }
  nlohmann::json result;
  std::string callError;
  // The answer may not come when Kodi closes its web server first; the exit is what counts.
  rpc_->Call("Application.Quit", nullptr, result, callError, std::chrono::seconds(10));
  int status = -1;
  bool ended = process_.WaitExit(bound, status);
  StopMemoryWatch();
  if (!ended) {
    process_.Terminate(std::chrono::milliseconds(5000));
    error =
        "Kodi did not quit within " + std::to_string(bound.count() / 1000) + " s and was killed";
    return false;
  }
  if (!ChildProcess::ExitedCleanly(status)) {
    error = "Kodi quit with " + ChildProcess::DescribeStatus(status);
    return false;
  }
  return true;
}

}  // namespace check
}  // namespace kodi20
}  // namespace zu
