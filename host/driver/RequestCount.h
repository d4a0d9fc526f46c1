#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "host/HostRecords.h"

namespace zu {
namespace host {

// Requests the add-on made, by kind. Counted either by the sample provider, which lists every
// request it received (GET /_control/requests), or, without a reachable provider, from what
// the add-on wrote to the host log.
class RequestCount {
 public:
  // The kinds in the order they are reported.
  static const std::vector<std::string>& Kinds();
  // The kind of a request target: "availability", "stations", "playlists", "show lists",
  // "details", "logos" or "other".
  static std::string KindOf(const std::string& target);

  // Asks the provider at host:port (a loopback address) for the targets of every request it
  // received so far, waiting at most a few seconds. False, with the reason in error, when it
  // cannot be reached or answers anything but a listing.
  static bool FetchProviderTargets(const std::string& address, std::vector<std::string>& targets,
                                   std::string& error);

  // The requests between two listings of the same provider (later minus earlier; the provider
  // only appends).
  static RequestCount FromProvider(const std::vector<std::string>& earlier,
                                   const std::vector<std::string>& later);
  // What the add-on's log lines tell: the show lists and details it read, and the requests
  // that failed (connection refused, no answer). Logos and playlists that arrived are not
  // logged, so this is a lower bound.
  static RequestCount FromLog(const std::vector<LogLine>& lines);

  size_t Total() const;
  size_t Of(const std::string& kind) const;
  size_t Failed() const { return failed_; }
  // true: counted by the provider; false: from the log.
  bool ByProvider() const { return byProvider_; }
  // By the provider: "412 (1 availability, 1 stations, 3 playlists, 42 logos, 168 show lists,
  // 52 details)"; from the log: "0 show lists, 0 details read, 1 request failed".
  std::string Describe() const;

 private:
  std::map<std::string, size_t> counts_;
  size_t failed_ = 0;
  bool byProvider_ = false;
};

}  // namespace host
}  // namespace zu
