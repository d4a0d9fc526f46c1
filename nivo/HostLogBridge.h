#pragma once

#include <vector>

#include "base/SharedPtr.h"

namespace zu {
namespace nivo {

class Host;
class TraceTarget;

// Routes the process's diagnostics output into the host log while the client is initialised:
// errors, warnings, information and trace lines at the host's error, notice, info and debug
// levels, errors also as notifications (see TraceTarget), each line with its text only (see
// PrintFormatter). Install and Remove are called by one thread at a time.
class HostLogBridge {
 public:
  HostLogBridge() = default;
  HostLogBridge(const HostLogBridge&) = delete;
  HostLogBridge& operator=(const HostLogBridge&) = delete;

  // Routes all output to host, which must stay usable until Remove.
  void Install(Host& host);
  // Returns all output to the standard streams. Once it returns, no line reaches the host,
  // also none that another thread was writing meanwhile.
  void Remove();

 private:
  std::vector<SharedPtr<TraceTarget>> targets_;
};

}  // namespace nivo
}  // namespace zu
