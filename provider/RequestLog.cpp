#include "provider/RequestLog.h"

#include <strings.h>

#include <algorithm>

namespace zu {
namespace provider {

std::string RequestRecord::Header(const std::string& name) const {
  for (const auto& header : headers) {
    if (strcasecmp(header.first.c_str(), name.c_str()) == 0) {
      return header.second;
    }
  }
  return std::string();
}

void RequestLog::Add(RequestRecord record) {
  bool full = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (records_.size() < maxRecords_) {
      records_.push_back(std::move(record));
    } else if (!fullLogged_) {
      fullLogged_ = full = true;
    }
  }
  changed_.notify_all();
  if (full) {
    log_("request log full (" + std::to_string(maxRecords_) +
         " entries); later requests are only counted per endpoint");
  }
}

void RequestLog::CountRouted(Endpoint endpoint) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++routed_[static_cast<std::size_t>(endpoint)];
  }
  changed_.notify_all();
}

std::vector<RequestRecord> RequestLog::Records() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return records_;
}

std::size_t RequestLog::CountLocked(const std::string& targetPrefix) const {
  return static_cast<std::size_t>(
      std::count_if(records_.begin(), records_.end(), [&](const RequestRecord& record) {
        return record.target.compare(0, targetPrefix.size(), targetPrefix) == 0;
      }));
}

std::size_t RequestLog::Count(const std::string& targetPrefix) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return CountLocked(targetPrefix);
}

std::size_t RequestLog::Count(Endpoint endpoint) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return routed_[static_cast<std::size_t>(endpoint)];
}

void RequestLog::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  records_.clear();
  std::fill(std::begin(routed_), std::end(routed_), 0);
}

bool RequestLog::WaitFor(const std::string& targetPrefix, std::size_t count,
                         std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return CountLocked(targetPrefix) >= count; });
}

bool RequestLog::WaitFor(Endpoint endpoint, std::size_t count,
                         std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout,
                           [&] { return routed_[static_cast<std::size_t>(endpoint)] >= count; });
}

}  // namespace provider
}  // namespace zu
