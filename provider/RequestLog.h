#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "provider/Faults.h"

namespace zu {
namespace provider {

// One request as it reached the provider (control requests are not recorded).
struct RequestRecord {
  std::string method;
  std::string target;  // path and query exactly as sent, e.g. "/a/service.m3u"
  std::vector<std::pair<std::string, std::string>> headers;

  // The value of the first header of that name (case-insensitive); empty when absent.
  std::string Header(const std::string& name) const;
};

// The requests the provider received, kept up to a limit, and a count per endpoint of the
// requests whose fault has been decided. Every member may be called from any thread.
class RequestLog {
 public:
  // log receives the one line that says the log is full.
  RequestLog(std::size_t maxRecords, std::function<void(const std::string&)> log)
      : maxRecords_(maxRecords), log_(std::move(log)) {}

  // Keeps the record unless maxRecords are kept already.
  void Add(RequestRecord record);
  // Counts a request routed to the endpoint, once its fault has been decided.
  void CountRouted(Endpoint endpoint);

  std::vector<RequestRecord> Records() const;
  // Kept requests whose target starts with the prefix ("" counts all).
  std::size_t Count(const std::string& targetPrefix) const;
  // Requests routed to the endpoint; never capped.
  std::size_t Count(Endpoint endpoint) const;
  void Clear();
  // Wait until the count reaches `count` or the timeout passes; true on success.
  bool WaitFor(const std::string& targetPrefix, std::size_t count,
               std::chrono::milliseconds timeout) const;
  bool WaitFor(Endpoint endpoint, std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  std::size_t CountLocked(const std::string& targetPrefix) const;

  const std::size_t maxRecords_;
  const std::function<void(const std::string&)> log_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<RequestRecord> records_;
  bool fullLogged_ = false;
  std::size_t routed_[kEndpointCount] = {};
};

}  // namespace provider
}  // namespace zu
