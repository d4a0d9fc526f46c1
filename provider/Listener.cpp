#include "provider/Listener.h"

#include <unistd.h>

#include <httplib.h>

#include "provider/Connection.h"

namespace zu {
namespace provider {

bool Listener::Start(const std::string& host, std::uint16_t port) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (started_) {
    log_("the provider was started before");
    return false;
  }
  std::string error;
  std::uint16_t bound = 0;
  reserveSocket_ = ReservePort(host, port, bound, error);
  if (reserveSocket_ < 0) {
    log_(error);
    return false;
  }
  host_ = host;
  port_ = bound;
  if (!Listen()) {
    close(reserveSocket_);
    reserveSocket_ = -1;
    port_ = 0;
    return false;
  }
  started_ = true;
  supervisor_ = std::thread([this] { Supervise(); });
  return true;
}

void Listener::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  if (supervisor_.joinable()) {
    supervisor_.join();
  }
  if (reserveSocket_ >= 0) {
    close(reserveSocket_);
    reserveSocket_ = -1;
  }
}

bool Listener::SetOffline(bool offline) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!started_ || quit_) {
    lock.unlock();
    log_("the provider is not running");
    return false;
  }
  timedOffline_ = false;
  onlineAt_.reset();
  std::uint64_t ticket = ++tickets_;
  orders_.push_back(Order{ticket, offline});
  changed_.notify_all();
  changed_.wait(lock, [&] { return results_.count(ticket) != 0 || quit_; });
  auto result = results_.find(ticket);
  if (result == results_.end()) {
    return false;
  }
  bool ok = result->second;
  results_.erase(result);
  return ok;
}

void Listener::SetOfflineFor(std::chrono::milliseconds duration) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    timedOffline_ = true;
    if (duration.count() > 0) {
      onlineAt_ = Clock::now() + duration;
    } else {
      onlineAt_.reset();
    }
  }
  changed_.notify_all();
}

void Listener::Supervise() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!quit_) {
    std::optional<Order> order;
    if (!orders_.empty()) {
      order = orders_.front();
      orders_.pop_front();
    } else if (timedOffline_) {
      timedOffline_ = false;
      order = Order{0, true};
    } else if (onlineAt_ && Clock::now() >= *onlineAt_) {
      onlineAt_.reset();
      order = Order{0, false};
    }
    if (!order) {
      if (onlineAt_) {
        changed_.wait_until(lock, *onlineAt_);
      } else {
        changed_.wait(lock);
      }
      continue;
    }
    // Switching waits for the requests in flight, which may be asking for switches now.
    lock.unlock();
    bool ok = true;
    if (order->offline) {
      Unlisten();
    } else if (!server_) {
      ok = Listen();
    }
    lock.lock();
    if (order->ticket != 0) {
      results_[order->ticket] = ok;
      changed_.notify_all();
    }
  }
  lock.unlock();
  Unlisten();
}

bool Listener::Listen() {
  std::unique_ptr<httplib::Server> server = makeServer_();
  if (!server->bind_to_port(host_, port_.load())) {
    log_("cannot listen on " + host_ + ":" + std::to_string(port_.load()));
    return false;
  }
  httplib::Server* raw = server.get();
  listenThread_ = std::thread([raw] { raw->listen_after_bind(); });
  // stop() only takes effect once the accept loop runs, so wait for it.
  for (int i = 0; i < 10000 && !raw->is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (!raw->is_running()) {
    log_("the accept loop on " + host_ + ":" + std::to_string(port_.load()) + " did not start");
    raw->stop();
    listenThread_.join();
    return false;
  }
  server_ = std::move(server);
  offline_ = false;
  return true;
}

void Listener::Unlisten() {
  if (!server_) {
    return;
  }
  release_();
  server_->stop();
  listenThread_.join();  // also waits for the requests in flight
  server_.reset();
  offline_ = true;
}

}  // namespace provider
}  // namespace zu
