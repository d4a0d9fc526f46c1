#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace guide_test {

// A loopback HTTP server whose answers come from a test's function: one request per
// connection, answered with Content-Length and closed. Every request is recorded. Binds
// 127.0.0.1 on a port of the system's choice.
class ScriptedProvider {
 public:
  struct Request {
    std::string target;  // as sent, e.g. "/a/api.mobile.event.hour?period=..."
    std::map<std::string, std::string> headers;
  };
  struct Response {
    int status = 200;
    std::string body;
  };
  using Handler = std::function<Response(const std::string& target)>;

  explicit ScriptedProvider(Handler handler) : handler_(std::move(handler)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listener_ < 0 || ::pipe(wake_) != 0 ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener_, 16) != 0)
      return;
    socklen_t length = sizeof(address);
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this]() { Serve(); });
  }
  ~ScriptedProvider() {
    if (thread_.joinable()) {
      const char stop = 0;
      (void)!::write(wake_[1], &stop, 1);
      thread_.join();
    }
    for (int fd : {listener_, wake_[0], wake_[1]}) {
      if (fd >= 0)
        ::close(fd);
    }
  }
  ScriptedProvider(const ScriptedProvider&) = delete;
  ScriptedProvider& operator=(const ScriptedProvider&) = delete;

  // 0 when the server could not be set up.
  unsigned short Port() const { return port_; }
  // "127.0.0.1:<port>", the value of the endpoint variables.
  std::string Endpoint() const { return "127.0.0.1:" + std::to_string(port_); }

  void SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
  }
  std::vector<Request> Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  // The targets of the recorded requests that start with prefix, in order.
  std::vector<std::string> Targets(const std::string& prefix) const {
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
  void Serve() {
    for (;;) {
      pollfd entries[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(entries, 2, -1) < 0 || (entries[1].revents & POLLIN) != 0)
        return;
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection < 0)
        continue;
      Answer(connection);
      ::close(connection);
    }
  }

  void Answer(int connection) {
    std::string text;
    while (text.find("\r\n\r\n") == std::string::npos) {
      pollfd entry{connection, POLLIN, 0};
      if (::poll(&entry, 1, 20000) <= 0)
        return;
      char bytes[4096];
      const ssize_t count = ::recv(connection, bytes, sizeof(bytes), 0);
      if (count <= 0)
        return;
      text.append(bytes, static_cast<size_t>(count));
    }
    Request request;
    size_t lineEnd = text.find("\r\n");
    const std::string requestLine = text.substr(0, lineEnd);
    const size_t firstSpace = requestLine.find(' ');
    const size_t lastSpace = requestLine.rfind(' ');
    if (firstSpace != std::string::npos && lastSpace > firstSpace)
      request.target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    for (size_t start = lineEnd + 2; start < text.size();) {
      const size_t end = text.find("\r\n", start);
      if (end == std::string::npos || end == start)
        break;
      const std::string line = text.substr(start, end - start);
      const size_t colon = line.find(':');
      if (colon != std::string::npos) {
        const size_t value = line.find_first_not_of(' ', colon + 1);
        request.headers[line.substr(0, colon)] =
            value == std::string::npos ? std::string() : line.substr(value);
      }
      start = end + 2;
    }
    Handler handler;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
      handler = handler_;
    }
    const Response response = handler ? handler(request.target) : Response{404, ""};
    std::string answer = "HTTP/1.1 " + std::to_string(response.status) +
                         (response.status == 200 ? " OK" : " Failed") +
                         "\r\nContent-Type: application/json\r\nContent-Length: " +
                         std::to_string(response.body.size()) + "\r\nConnection: close\r\n\r\n" +
                         response.body;
    size_t sent = 0;
    while (sent < answer.size()) {
      const ssize_t count =
          ::send(connection, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
      if (count <= 0)
        return;
      sent += static_cast<size_t>(count);
    }
  }

  mutable std::mutex mutex_;
  Handler handler_;
  std::vector<Request> requests_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  unsigned short port_ = 0;
  std::thread thread_;
};

}  // namespace guide_test
