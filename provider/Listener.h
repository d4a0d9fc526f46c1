#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace zu {
namespace provider {

// The provider's port and the HTTP server listening on it, which comes and goes as the
// provider goes offline and online again. A bound, never listening socket keeps the port
// between servers. After Start, one thread of its own (the supervisor) makes every switch, so
// that a switch asked for inside a request (the control path) never waits for itself.
class Listener {
 public:
  using LogFunction = std::function<void(const std::string&)>;
  using ServerFactory = std::function<std::unique_ptr<httplib::Server>()>;

  // release is called before a server stops, to end the responses that would otherwise keep
  // it waiting.
  Listener(ServerFactory makeServer, std::function<void()> release, LogFunction log)
      : makeServer_(std::move(makeServer)), release_(std::move(release)), log_(std::move(log)) {}
  ~Listener() { Stop(); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  // Binds host:port (host a dotted loopback address, port 0 for any free one) and listens.
  // False (logged) when the port cannot be bound or the listener was started before.
  bool Start(const std::string& host, std::uint16_t port);
  // Stops the server and the supervisor and gives up the port. Idempotent.
  void Stop();

  // Returns when the switch is made; false (logged) when the listener is not running or the
  // port could not be bound again. Must not be called from inside a request. Replaces any
  // timed switch.
  bool SetOffline(bool offline);
  // Goes offline now and online again after the duration (zero: stays offline); returns at
  // once, also inside a request.
  void SetOfflineFor(std::chrono::milliseconds duration);
  bool IsOffline() const { return offline_; }
  // The bound port; 0 before Start.
  std::uint16_t Port() const { return port_; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Order {
    std::uint64_t ticket;  // 0: a timed switch nobody waits for
    bool offline;
  };

  bool Listen();
  void Unlisten();
  void Supervise();

  const ServerFactory makeServer_;
  const std::function<void()> release_;
  const LogFunction log_;
  std::string host_;
  std::atomic<std::uint16_t> port_{0};
  std::atomic<bool> offline_{false};
  int reserveSocket_ = -1;

  // Touched by the thread that starts the listener, then only by the supervisor.
  std::unique_ptr<httplib::Server> server_;
  std::thread listenThread_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread supervisor_;
  bool started_ = false;
  bool quit_ = false;
  std::deque<Order> orders_;   // explicit switches, in order
  bool timedOffline_ = false;  // a timed switch to offline is due
  std::optional<Clock::time_point> onlineAt_;
  std::uint64_t tickets_ = 0;
  std::map<std::uint64_t, bool> results_;  // of explicit switches done, until taken
};

}  // namespace provider
}  // namespace zu
