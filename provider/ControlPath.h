#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace httplib {
class Server;
}

namespace zu {
namespace provider {

class FaultSwitches;
class RequestLog;

// The requests under /_control/ that switch faults, transfer forms, quirks and the offline
// state of a running provider and read its request log. They are neither recorded nor
// subject to faults. An answer is 200 with a line of text, or 400 naming what was wrong.
class ControlPath {
 public:
  using LogFunction = std::function<void(const std::string&)>;
  // offlineFor goes offline now and online again after the duration (zero: stays offline);
  // it must return at once, since the switch waits for the requests in flight.
  ControlPath(FaultSwitches& switches, RequestLog& requests, LogFunction log,
              std::function<void(std::chrono::milliseconds)> offlineFor)
      : switches_(switches),
        requests_(requests),
        log_(std::move(log)),
        offlineFor_(std::move(offlineFor)) {}

  void AddTo(httplib::Server& server) const;

 private:
  FaultSwitches& switches_;
  RequestLog& requests_;
  const LogFunction log_;
  const std::function<void(std::chrono::milliseconds)> offlineFor_;
};

}  // namespace provider
}  // namespace zu
