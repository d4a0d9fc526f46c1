#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "kodi20/check/Lineup.h"

namespace zu {
namespace kodi20 {
namespace check {

// Whatever serves the lineup to the add-on under test on a loopback port: the built-in
// fixture server or the sample provider.
class LineupSource {
 public:
  virtual ~LineupSource() = default;

  // What Kodi must end up listing.
  virtual const Lineup& GetLineup() const = 0;
  // The guide of a channel of the lineup, from at least a day before now to three days after.
  virtual std::vector<LineupShow> ShowsOf(const LineupChannel& channel) const = 0;
  // "http://127.0.0.1:PORT".
  virtual std::string BaseUrl() const = 0;
  // The URLs of the M3U playlist and the XMLTV guide for an IPTV client.
  virtual std::string PlaylistUrl() const = 0;
  virtual std::string XmltvUrl() const = 0;
  // Waits at most bound until a request for the path has arrived; true when one has.
  virtual bool WaitForRequest(const std::string& path, std::chrono::milliseconds bound) = 0;
  // Stops serving: connections are refused from then on. Idempotent.
  virtual void Stop() = 0;
};

}  // namespace check
}  // namespace kodi20
}  // namespace zu
