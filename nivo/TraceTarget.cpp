#include "nivo/TraceTarget.h"

#include <mutex>
#include <string>

#include "nivo/Host.h"

namespace zu {
namespace nivo {

TraceTarget::TraceTarget(Host* host, int hostLogLevel) : host_(host), hostLogLevel_(hostLogLevel) {}

TraceTarget::~TraceTarget() = default;

void TraceTarget::Print(const char* text) {
  std::shared_lock<std::shared_mutex> lock(mutex_);
  if (host_ == nullptr || text == nullptr)
    return;
  const std::string line(text);
  host_->Log(hostLogLevel_, line);
  if (hostLogLevel_ == Host::LogError)
    host_->Notify(Host::NotifyError, line);
}

void TraceTarget::Detach() {
  std::unique_lock<std::shared_mutex> lock(mutex_);
  host_ = nullptr;
}

}  // namespace nivo
}  // namespace zu
