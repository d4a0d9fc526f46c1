#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <linux/sockios.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "nivo/HttpUrl.h"

namespace http_test {

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

// A loopback server on 127.0.0.1 (port chosen by the system) that accepts connections one
// after the other (one unless told otherwise) and runs script on each, on a thread of its
// own.
class ScriptedPeer {
 public:
  typedef std::function<void(PeerConnection&)> Script;

  explicit ScriptedPeer(Script script, int connections = 1)
      : script_(std::move(script)), connections_(connections) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (listener_ < 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, 4) != 0)
      return;
    socklen_t length = sizeof(address);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this]() { Serve(); });
  }
  ~ScriptedPeer() {
    Join();
    if (listener_ >= 0)
      ::close(listener_);
  }
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  unsigned short Port() const { return port_; }
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

 private:
  void Serve() {
    while (accepted_ < connections_) {
      pollfd entry{listener_, POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(kBound.count() * 1000)) <= 0)
        return;
      const int descriptor = ::accept(listener_, nullptr, nullptr);
      if (descriptor < 0)
        return;
      ++accepted_;
      PeerConnection connection(descriptor);
      script_(connection);
    }
  }

  Script script_;
  const int connections_;
  int listener_ = -1;
  unsigned short port_ = 0;
  int accepted_ = 0;
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

}  // namespace http_test
