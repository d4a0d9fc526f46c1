#include "nivo/HostLogBridge.h"

#include "nivo/Host.h"
#include "nivo/PrintFormatter.h"
#include "nivo/TraceTarget.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

void HostLogBridge::Install(Host& host) {
  Remove();
  output::SetOuputFormatter(std::make_shared<PrintFormatter>());
  const int levels[] = {Host::LogError, Host::LogNotice, Host::LogInfo, Host::LogDebug};
  for (int level : levels)
    targets_.push_back(std::make_shared<TraceTarget>(&host, level));
  output::SetErrorTarget(targets_[0]);
  output::SetWarningTarget(targets_[1]);
  output::SetInfoTarget(targets_[2]);
  output::SetTraceTarget(targets_[3]);
}

void HostLogBridge::Remove() {
  output::SetErrorTarget(output::PrintTargetPtr());
  output::SetWarningTarget(output::PrintTargetPtr());
  output::SetInfoTarget(output::PrintTargetPtr());
  output::SetTraceTarget(output::PrintTargetPtr());
  output::SetOuputFormatter(output::PrintFormatterPtr());
  // A line that took a target before the routing changed may still be on its way to the
  // host; Detach waits for it, so nothing reaches the host once it is released.
  for (const SharedPtr<TraceTarget>& target : targets_)
    target->Detach();
  targets_.clear();
}

}  // namespace nivo
}  // namespace zu
