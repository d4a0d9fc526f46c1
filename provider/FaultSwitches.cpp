#include "provider/FaultSwitches.h"

namespace zu {
namespace provider {

FaultSwitches::FaultSwitches() {
  for (std::size_t i = 0; i < kEndpointCount; ++i) {
    transfers_[i] = DefaultTransfer(static_cast<Endpoint>(i));
  }
}

void FaultSwitches::SetFault(Endpoint endpoint, const FaultRule& rule) {
  std::size_t index = static_cast<std::size_t>(endpoint);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_[index] = rule;
    seen_[index] = 0;
    ++versions_[index];
  }
  changed_.notify_all();
}

void FaultSwitches::SetTransfer(Endpoint endpoint, const Transfer& transfer) {
  std::lock_guard<std::mutex> lock(mutex_);
  transfers_[static_cast<std::size_t>(endpoint)] = transfer;
}

Transfer FaultSwitches::GetTransfer(Endpoint endpoint) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return transfers_[static_cast<std::size_t>(endpoint)];
}

void FaultSwitches::SetQuirk(Quirk quirk, bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  quirks_.set(static_cast<std::size_t>(quirk), on);
}

FaultSwitches::Decision FaultSwitches::Take(Endpoint endpoint) {
  std::size_t index = static_cast<std::size_t>(endpoint);
  std::lock_guard<std::mutex> lock(mutex_);
  const FaultRule& current = faults_[index];
  unsigned seen = seen_[index]++;
  bool applies = current.fault != Fault::kNone && seen >= current.skip &&
                 (current.times == 0 || seen - current.skip < current.times);
  Decision decision;
  decision.rule = applies ? current : FaultRule();
  decision.transfer = transfers_[index];
  decision.quirks = quirks_;
  decision.faultVersion = versions_[index];
  decision.generation = generation_;
  return decision;
}

void FaultSwitches::ReleaseResponses() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
  }
  changed_.notify_all();
}

void FaultSwitches::ReleaseForGood() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
}

bool FaultSwitches::Released(std::uint64_t generation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ReleasedLocked(generation);
}

bool FaultSwitches::WaitReleased(std::uint64_t generation,
                                 std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return ReleasedLocked(generation); });
}

bool FaultSwitches::WaitFaultChanged(Endpoint endpoint, const Decision& decision,
                                     std::chrono::milliseconds timeout) const {
  std::size_t index = static_cast<std::size_t>(endpoint);
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return ReleasedLocked(decision.generation) || versions_[index] != decision.faultVersion;
  });
}

}  // namespace provider
}  // namespace zu
