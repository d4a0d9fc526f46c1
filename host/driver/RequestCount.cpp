#include "host/driver/RequestCount.h"

#include <httplib.h>

#include <algorithm>
#include <cstring>

#include "host/driver/DriverOptions.h"

namespace zu {
namespace host {
namespace {

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

}  // namespace

const std::vector<std::string>& RequestCount::Kinds() {
  static const std::vector<std::string> kinds = {"availability", "stations", "playlists", "logos",
                                                 "show lists",   "details",  "other"};
  return kinds;
}

std::string RequestCount::KindOf(const std::string& target) {
  for (const Kind& kind : kKinds) {
    if (target.compare(0, strlen(kind.prefix), kind.prefix) == 0)
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
  httplib::Client client(host, port);
  // Loopback answers at once; the bounds only keep a stuck provider from stopping the driver.
  client.set_connection_timeout(std::chrono::seconds(5));
  client.set_read_timeout(std::chrono::seconds(5));
  httplib::Result response = client.Get("/_control/requests");
  if (!response) {
    error = response.error() == httplib::Error::Connection
                ? "cannot connect to " + address
                : "no answer from " + address + " (" + httplib::to_string(response.error()) + ")";
    return false;
  }
  if (response->status != 200) {
    error = address + " did not answer with a request listing";
    return false;
  }
  targets.clear();
  // One "METHOD TARGET" line per request.
  const std::string& body = response->body;
  for (size_t start = 0; start < body.size();) {
    size_t end = std::min(body.find('\n', start), body.size());
    size_t space = body.find(' ', start);
    if (space < end)
      targets.push_back(body.substr(space + 1, end - space - 1));
    start = end + 1;
  }
  return true;
}

RequestCount RequestCount::FromProvider(const std::vector<std::string>& earlier,
                                        const std::vector<std::string>& later) {
  RequestCount count;
  for (size_t i = std::min(earlier.size(), later.size()); i < later.size(); ++i)
    ++count.counts_[KindOf(later[i])];
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
    if (size_t n = Of(kind))
      parts += (parts.empty() ? "" : ", ") + std::to_string(n) + " " + kind;
  }
  return std::to_string(Total()) + (parts.empty() ? "" : " (" + parts + ")");
}

}  // namespace host
}  // namespace zu
