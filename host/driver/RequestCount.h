#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace zu {
namespace host {

// Requests the add-on made, by kind, as the sample provider saw them: it lists every request
// it received (GET /_control/requests).
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

  size_t Total() const;
  size_t Of(const std::string& kind) const;
  // "412 (1 availability, 1 stations, 3 playlists, 42 logos, 168 show lists, 52 details)".
  std::string Describe() const;

 private:
  std::map<std::string, size_t> counts_;
};

}  // namespace host
}  // namespace zu
