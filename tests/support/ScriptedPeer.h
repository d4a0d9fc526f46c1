#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <linux/sockios.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "nivo/HttpUrl.h"

namespace zu_test {

// How long any wait of the tests may last before it counts as a failure.
const std::chrono::seconds kBound(20);

// A flag one thread sets and another waits for, with a bound.
class Latch {
 public:
  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    changed_.notify_all();
  }
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kBound, [this]() { return set_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// A chunked body: one chunk per piece, then the last chunk.
inline std::string Chunked(const std::vector<std::string>& pieces) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (const std::string& piece : pieces) {
    std::string size;
    for (size_t n = piece.size(); n > 0; n /= 16)
      size.insert(size.begin(), digits[n % 16]);
    out += size + "\r\n" + piece + "\r\n";
  }
  return out + "0\r\n\r\n";
}

// A request head as a peer received it.
struct PeerRequest {
  std::string target;                          // as sent, e.g. "/a/service.m3u"
  std::map<std::string, std::string> headers;  // names as sent

  // The request in head (the bytes up to its empty line); an empty target when head holds no
  // request line.
  static PeerRequest Parse(const std::string& head) {
    PeerRequest request;
    const size_t lineEnd = std::min(head.find("\r\n"), head.size());
    const size_t firstSpace = head.find(' ');
    const size_t lastSpace = head.rfind(' ', lineEnd);
    if (firstSpace < lastSpace && lastSpace < lineEnd)
      request.target = head.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    for (size_t start = lineEnd + 2; start < head.size();) {
      const size_t end = std::min(head.find("\r\n", start), head.size());
      if (end == start)
        break;
      const std::string line = head.substr(start, end - start);
      const size_t colon = line.find(':');
      if (colon != std::string::npos) {
        const size_t value = line.find_first_not_of(' ', colon + 1);
        request.headers[line.substr(0, colon)] =
            value == std::string::npos ? std::string() : line.substr(value);
      }
      start = end + 2;
    }
    return request;
  }
};

// A response as a peer sends it: the status line, the header lines, what frames the body,
// "Connection: close", the framed body.
struct PeerResponse {
  enum class Framing {
    kLength,   // Content-Length
    kChunked,  // Transfer-Encoding: chunked, in chunks of 8 KiB
    kClose,    // neither: the body ends with the connection
  };

  PeerResponse(int status = 200, std::string body = std::string())
      : status(status), body(std::move(body)) {}

  int status;
  std::string body;
  std::string headers;  // more header lines, each ending in "\r\n"
  Framing framing = Framing::kLength;

  // The bytes on the wire.
  std::string Wire() const {
    std::string head = "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Failed") +
                       "\r\n" + headers;
    switch (framing) {
      case Framing::kLength:
        return head + "Content-Length: " + std::to_string(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
      case Framing::kChunked: {
        std::vector<std::string> pieces;
        for (size_t at = 0; at < body.size(); at += kChunkBytes)
          pieces.push_back(body.substr(at, kChunkBytes));
        return head + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n" + Chunked(pieces);
      }
      case Framing::kClose:
        break;
    }
    return head + "Connection: close\r\n\r\n" + body;
  }

  static constexpr size_t kChunkBytes = 8 * 1024;
};

// The server end of one accepted connection, driven by a test script.
class PeerConnection {
 public:
  explicit PeerConnection(int descriptor) : descriptor_(descriptor) {}
  ~PeerConnection() { Close(); }
  PeerConnection(const PeerConnection&) = delete;
  PeerConnection& operator=(const PeerConnection&) = delete;

  // Reads up to the end of the request header (or the end of the stream); the bytes read.
  std::string ReadRequest() {
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
      if (!WaitReadable())
        break;
      char bytes[4096];
      const ssize_t count = ::recv(descriptor_, bytes, sizeof(bytes), 0);
      if (count <= 0)
        break;
      request.append(bytes, static_cast<size_t>(count));
    }
    return request;
  }

  // Sends all of data; false when the client has gone.
  bool Send(const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
      const ssize_t count =
          ::send(descriptor_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (count <= 0)
        return false;
      sent += static_cast<size_t>(count);
    }
    return true;
  }

  // Sends data and returns once the client has taken all of it out of its socket, so that
  // the next Send arrives in a read of its own. False when that does not happen in time.
  bool SendAndAwaitRead(const std::string& data) {
    if (!Send(data))
      return false;
    const auto end = std::chrono::steady_clock::now() + kBound;
    while (std::chrono::steady_clock::now() < end) {
      int unacknowledged = 0;
      if (::ioctl(descriptor_, SIOCOUTQ, &unacknowledged) != 0)
        return false;
      if (unacknowledged == 0) {
        const int client = FindClientDescriptor();
        int pending = 0;
        // A client descriptor gone means the client closed it after reading.
        if (client < 0 || ::ioctl(client, FIONREAD, &pending) != 0 || pending == 0)
          return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  // Waits until the client closes its end (true) or the bound passes (false); what the
  // client sends meanwhile is dropped.
  bool WaitForClientClose() {
    for (;;) {
      if (!WaitReadable())
        return false;
      char bytes[4096];
      const ssize_t count = ::recv(descriptor_, bytes, sizeof(bytes), 0);
      if (count <= 0)
        return true;
    }
  }

  void Close() {
    if (descriptor_ >= 0)
      ::close(descriptor_);
    descriptor_ = -1;
  }

 private:
  bool WaitReadable() {
    pollfd entry{descriptor_, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(kBound.count() * 1000)) > 0;
  }

  // The client's descriptor in this process: the socket whose local end is this
  // connection's remote end.
  int FindClientDescriptor() {
    sockaddr_in remote{};
    socklen_t length = sizeof(remote);
    if (::getpeername(descriptor_, reinterpret_cast<sockaddr*>(&remote), &length) != 0)
      return -1;
    for (int fd = 3; fd < 4096; ++fd) {
      if (fd == descriptor_)
        continue;
      sockaddr_in local{};
      socklen_t localLength = sizeof(local);
      if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
          local.sin_family != AF_INET)
        continue;
      if (local.sin_port == remote.sin_port && local.sin_addr.s_addr == remote.sin_addr.s_addr) {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof(peer);
        // Only a connected socket whose peer is our end qualifies (not a listener).
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0)
          return fd;
      }
    }
    return -1;
  }

  int descriptor_;
};

// A loopback server on 127.0.0.1 (port chosen by the system) on a thread of its own. It
// accepts connections one after the other and either runs a test's script on each, for the
// bytes on the wire, or answers every request on its own: with the page set for its target,
// else with what the handler makes of the target (404 without a handler), and closes. Every
// answered request is recorded.
class ScriptedPeer {
 public:
  typedef std::function<void(PeerConnection&)> Script;
  using Request = PeerRequest;
  using Response = PeerResponse;
  using Handler = std::function<Response(const std::string& target)>;
  // A script's connection count: every connection until the peer is destroyed.
  static constexpr int kEvery = -1;

  // Runs script on each of the first `connections` connections; waits up to kBound for each.
  explicit ScriptedPeer(Script script, int connections = 1)
      : script_(std::move(script)), connections_(connections) {
    Listen();
  }
  // Answers every request until destroyed.
  explicit ScriptedPeer(Handler handler = Handler())
      : script_([this](PeerConnection& connection) { Answer(connection); }),
        connections_(kEvery),
        handler_(std::move(handler)) {
    Listen();
  }
  // Waits for the script to end on the connections it was given (see Join); a peer of every
  // connection stops accepting at once.
  ~ScriptedPeer() {
    if (connections_ == kEvery && wake_[1] >= 0)
      (void)!::write(wake_[1], "", 1);
    Join();
    for (int fd : {listener_, wake_[0], wake_[1]}) {
      if (fd >= 0)
        ::close(fd);
    }
  }
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  // 0 when the server could not be set up.
  unsigned short Port() const { return port_; }
  // "127.0.0.1:<port>", the form of the add-on's endpoint variables.
  std::string Endpoint() const { return "127.0.0.1:" + std::to_string(port_); }
  zu::nivo::HttpUrl Url(const std::string& path) const {
    return zu::nivo::HttpUrl("127.0.0.1", path, port_);
  }
  // Waits for the script to end.
  void Join() {
    if (thread_.joinable())
      thread_.join();
  }
  // How many connections were accepted (valid after Join).
  int Accepted() const { return accepted_; }

  // What answers the requests from now on.
  void SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
  }
  // Answers requests for target with body (200, Content-Length) from now on.
  void SetPage(const std::string& target, const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    pages_[target] = body;
  }
  // The requests answered so far, oldest first.
  std::vector<Request> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  // The targets of the recorded requests that start with prefix, in order.
  std::vector<std::string> Targets(const std::string& prefix = std::string()) const {
    std::vector<std::string> targets;
    for (const Request& request : Requests()) {
      if (request.target.compare(0, prefix.size(), prefix) == 0)
        targets.push_back(request.target);
    }
    return targets;
  }
  void ClearRequests() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
  }

 private:
  void Listen() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener_ < 0 || ::pipe2(wake_, O_CLOEXEC) != 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this]() { Serve(); });
  }

  void Serve() {
    const int wait = connections_ == kEvery ? -1 : static_cast<int>(kBound.count() * 1000);
    while (connections_ == kEvery || accepted_ < connections_) {
      pollfd entries[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(entries, 2, wait) <= 0 || (entries[1].revents & POLLIN) != 0)
        return;
      const int descriptor = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (descriptor < 0)
        return;
      ++accepted_;
      PeerConnection connection(descriptor);
      script_(connection);
    }
  }

  void Answer(PeerConnection& connection) {
    const std::string head = connection.ReadRequest();
    if (head.find("\r\n\r\n") == std::string::npos)
      return;
    const Request request = Request::Parse(head);
    Handler handler;
    Response response{404, ""};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
      const auto page = pages_.find(request.target);
      if (page != pages_.end())
        response = Response{200, page->second};
      else
        handler = handler_;
    }
    if (handler)
      response = handler(request.target);
    connection.Send(response.Wire());
  }

  const Script script_;
  const int connections_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  unsigned short port_ = 0;
  int accepted_ = 0;
  mutable std::mutex mutex_;
  Handler handler_;
  std::map<std::string, std::string> pages_;
  std::vector<Request> requests_;
  std::thread thread_;
};

// A port on 127.0.0.1 that nobody listens on (just released by the system).
inline unsigned short UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  unsigned short port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

}  // namespace zu_test
