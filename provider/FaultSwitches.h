#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "provider/Faults.h"

namespace zu {
namespace provider {

// What the provider is switched to at run time: a fault and a transfer form per endpoint, and
// the document quirks. Responses that last (hanging, dripping, huge, live streams) wait here
// and end when released: by a change of their endpoint's fault (hanging ones), by the listener
// going offline, or by Stop. Every member may be called from any thread.
class FaultSwitches {
 public:
  // What one request is served with, taken when it is routed.
  struct Decision {
    FaultRule rule;  // Fault::kNone when the endpoint's fault skips this request
    Transfer transfer;
    Quirks quirks;
    std::uint64_t faultVersion = 0;  // changes with every SetFault of the endpoint
    std::uint64_t generation = 0;    // changes when responses in flight are released
  };

  FaultSwitches();

  // A new rule restarts the endpoint's skip/times count and releases the requests that hang
  // on the endpoint.
  void SetFault(Endpoint endpoint, const FaultRule& rule);
  void SetTransfer(Endpoint endpoint, const Transfer& transfer);
  Transfer GetTransfer(Endpoint endpoint) const;
  void SetQuirk(Quirk quirk, bool on);

  // Counts the request against the endpoint's rule and says how to serve it.
  Decision Take(Endpoint endpoint);

  // Ends the lasting responses begun so far (the listener is going away).
  void ReleaseResponses();
  // Ends every lasting response, now and later (the provider stops).
  void ReleaseForGood();
  // True when responses of that generation are to end.
  bool Released(std::uint64_t generation) const;
  // Waits up to the timeout; true when responses of that generation are to end.
  bool WaitReleased(std::uint64_t generation, std::chrono::milliseconds timeout) const;
  // Waits up to the timeout; true when the request is released or the endpoint's fault has
  // changed since the decision.
  bool WaitFaultChanged(Endpoint endpoint, const Decision& decision,
                        std::chrono::milliseconds timeout) const;

 private:
  bool ReleasedLocked(std::uint64_t generation) const {
    return stopping_ || generation_ != generation;
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  FaultRule faults_[kEndpointCount];
  unsigned seen_[kEndpointCount] = {};
  std::uint64_t versions_[kEndpointCount] = {};
  Transfer transfers_[kEndpointCount];
  Quirks quirks_;
  std::uint64_t generation_ = 0;
  bool stopping_ = false;
};

}  // namespace provider
}  // namespace zu
