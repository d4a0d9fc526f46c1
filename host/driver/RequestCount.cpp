#include "host/driver/RequestCount.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "host/driver/DriverOptions.h"

namespace zu {
namespace host {
namespace {

// The largest listing read: a provider keeps at most 100,000 requests of about 100 bytes.
const size_t kMaxListing = 64u << 20;

struct Kind {
  const char* prefix;
  const char* name;
};

const Kind kKinds[] = {{"/pelta_bapi/", "availability"},
                       {"/a/api.mobile.station.get", "stations"},
                       {"/a/service.", "playlists"},
                       {"/a/api.mobile.event.hour", "show lists"},
                       {"/a/api.mobile.event.get", "details"},
                       {"/logo/", "logos"},
                       {"/station/", "logos"}};

// A socket closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0)
      close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

const std::vector<std::string>& RequestCount::Kinds() {
  static const std::vector<std::string> kinds = {"availability", "stations", "playlists", "logos",
                                                 "show lists",   "details",  "other"};
  return kinds;
}

std::string RequestCount::KindOf(const std::string& target) {
  for (const Kind& kind : kKinds) {
    if (StartsWith(target, kind.prefix))
      return kind.name;
  }
  return "other";
}

bool RequestCount::FetchProviderTargets(const std::string& address,
                                        std::vector<std::string>& targets, std::string& error) {
  std::string host;
  unsigned short port = 0;
  if (!SplitProviderAddress(address, host, port)) {
    error = "\"" + address + "\" is not a loopback address and port";
    return false;
  }
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  if (inet_pton(AF_INET, host == "localhost" ? "127.0.0.1" : host.c_str(), &peer.sin_addr) != 1) {
    error = "\"" + host + "\" is not an IPv4 address";
    return false;
  }
  Descriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (socket.Get() < 0) {
    error = std::string("no socket: ") + strerror(errno);
    return false;
  }
  // Loopback answers at once; the bound only keeps a stuck provider from stopping the driver.
  timeval bound{5, 0};
  setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof(bound));
  setsockopt(socket.Get(), SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof(bound));
  if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&peer), sizeof(peer)) != 0) {
    error = "cannot connect to " + address + ": " + strerror(errno);
    return false;
  }
  const std::string request =
      "GET /_control/requests HTTP/1.0\r\nHost: " + address + "\r\nConnection: close\r\n\r\n";
  for (size_t sent = 0; sent < request.size();) {
    ssize_t written =
        send(socket.Get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (written <= 0) {
      error = "cannot send to " + address + ": " + strerror(errno);
      return false;
    }
    sent += static_cast<size_t>(written);
  }
  std::string response;
  char buffer[16384];
  for (;;) {
    ssize_t got = recv(socket.Get(), buffer, sizeof(buffer), 0);
    if (got == 0)
      break;
    if (got < 0) {
      error = "no answer from " + address + ": " + strerror(errno);
      return false;
    }
    response.append(buffer, static_cast<size_t>(got));
    if (response.size() > kMaxListing) {
      error = "the request listing of " + address + " is too long";
      return false;
    }
  }
  size_t bodyStart = response.find("\r\n\r\n");
  if (!StartsWith(response, "HTTP/1.") || response.size() < 12 ||
      response.compare(9, 3, "200") != 0 || bodyStart == std::string::npos) {
    error = address + " did not answer with a request listing";
    return false;
  }
  targets.clear();
  // One "METHOD TARGET" line per request.
  size_t start = bodyStart + 4;
  while (start < response.size()) {
    size_t end = response.find('\n', start);
    if (end == std::string::npos)
      end = response.size();
    std::string line = response.substr(start, end - start);
    size_t space = line.find(' ');
    if (space != std::string::npos)
      targets.push_back(line.substr(space + 1));
    start = end + 1;
  }
  return true;
}

RequestCount RequestCount::FromProvider(const std::vector<std::string>& earlier,
                                        const std::vector<std::string>& later) {
  RequestCount count;
  count.byProvider_ = true;
  for (size_t i = std::min(earlier.size(), later.size()); i < later.size(); ++i)
    ++count.counts_[KindOf(later[i])];
  return count;
}

RequestCount RequestCount::FromLog(const std::vector<LogLine>& lines) {
  RequestCount count;
  for (const LogLine& line : lines) {
    if (line.fromHost)
      continue;
    const std::string& text = line.text;
    if (text.find("Reading show details of '") != std::string::npos)
      ++count.counts_["details"];
    else if (text.find(" TV shows of ") != std::string::npos &&
             text.find("Reading ") != std::string::npos)
      ++count.counts_["show lists"];
    else if (text.find("failed connecting ") != std::string::npos ||
             text.find("failed sending command ") != std::string::npos ||
             text.find("failed reading data of ") != std::string::npos)
      ++count.failed_;
  }
  return count;
}

size_t RequestCount::Total() const {
  size_t total = 0;
  for (const auto& entry : counts_)
    total += entry.second;
  return total;
}

size_t RequestCount::Of(const std::string& kind) const {
  auto found = counts_.find(kind);
  return found == counts_.end() ? 0 : found->second;
}

std::string RequestCount::Describe() const {
  std::string parts;
  for (const std::string& kind : Kinds()) {
    size_t n = Of(kind);
    if (n == 0 && (byProvider_ || (kind != "show lists" && kind != "details")))
      continue;
    parts += (parts.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
  }
  if (byProvider_)
    return std::to_string(Total()) + (parts.empty() ? "" : " (" + parts + ")");
  return parts + " read, " + std::to_string(failed_) + (failed_ == 1 ? " request" : " requests") +
         " failed";
}

}  // namespace host
}  // namespace zu
