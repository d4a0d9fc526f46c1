#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace catalogue_test {

// A loopback HTTP server with canned pages, for documents the sample provider does not
// serve: every request target ("/a/service.m3u") answered with its page (200, Content-Length,
// then close), any other with 404. Records the request heads in arrival order.
class CannedServer {
 public:
  CannedServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this]() { Serve(); });
  }
  ~CannedServer() {
    stop_ = true;
    if (thread_.joinable())
      thread_.join();
    if (listener_ >= 0)
      ::close(listener_);
  }
  CannedServer(const CannedServer&) = delete;
  CannedServer& operator=(const CannedServer&) = delete;

  // 0 when the server could not be set up.
  uint16_t Port() const { return port_; }
  std::string Endpoint() const { return "127.0.0.1:" + std::to_string(port_); }

  void SetPage(const std::string& target, const std::string& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    pages_[target] = body;
  }
  // The request heads received so far (request line and header lines).
  std::vector<std::string> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  // The request targets received so far.
  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const std::string& request : Requests()) {
      const size_t start = request.find(' ') + 1;
      targets.push_back(request.substr(start, request.find(' ', start) - start));
    }
    return targets;
  }

 private:
  void Serve() {
    while (!stop_) {
      pollfd ready = {listener_, POLLIN, 0};
      if (::poll(&ready, 1, 50) <= 0)
        continue;
      const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0)
        continue;
      Answer(connection);
      ::close(connection);
    }
  }
  void Answer(int connection) {
    std::string head;
    char bytes[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      pollfd ready = {connection, POLLIN, 0};
      if (::poll(&ready, 1, 10000) <= 0)
        return;
      const ssize_t count = ::recv(connection, bytes, sizeof(bytes), 0);
      if (count <= 0)
        return;
      head.append(bytes, static_cast<size_t>(count));
    }
    head.resize(head.find("\r\n\r\n"));
    const size_t start = head.find(' ') + 1;
    const std::string target = head.substr(start, head.find(' ', start) - start);
    std::string response;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(head);
      const auto page = pages_.find(target);
      if (page == pages_.end()) {
        response = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      } else {
        response = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page->second.size()) +
                   "\r\nConnection: close\r\n\r\n" + page->second;
      }
    }
    size_t sent = 0;
    while (sent < response.size()) {
      const ssize_t count =
          ::send(connection, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
      if (count <= 0)
        return;
      sent += static_cast<size_t>(count);
    }
  }

  int listener_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<std::string, std::string> pages_;
  std::vector<std::string> requests_;
};

}  // namespace catalogue_test
