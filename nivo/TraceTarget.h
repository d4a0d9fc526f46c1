#pragma once

#include <shared_mutex>

#include "output/PrintTarget.h"

namespace zu {
namespace nivo {

class Host;

// Output target of one level that writes the finished lines to the host log at a fixed host
// log level. Lines at the host's error level are also shown to the user as one error
// notification each. The client installs one target per level while it is initialised.
//
// The output core may still be inside Print on another thread after the target was removed
// from the routing, so Detach is the point after which the host is never called again:
// it waits for running Prints to finish. Print and Detach may be called from any thread.
class TraceTarget : public output::PrintTarget {
 public:
  // host is not owned and must stay usable until Detach returns.
  TraceTarget(Host* host, int hostLogLevel);
  ~TraceTarget() override;

  void Print(const char* text) override;

  // Lets go of the host; later lines are dropped.
  void Detach();

  int HostLogLevel() const { return hostLogLevel_; }

 private:
  std::shared_mutex mutex_;
  Host* host_;
  const int hostLogLevel_;
};

}  // namespace nivo
}  // namespace zu
