#include "nivo/EPGUpdateThread.h"

#include <utility>

#include "multi_threading/Factory.h"
#include "multi_threading/Message.h"
#include "nivo/ClientCore.h"
#include "nivo/Host.h"

namespace zu {
namespace nivo {

using multi_threading::Message;
using multi_threading::MessagePtr;
using multi_threading::ThreadPtr;

EPGUpdateThread::EPGUpdateThread(ClientCore* client, std::vector<unsigned int> channelUids,
                                 const zu::Time& wait)
    : client_(client), channelUids_(std::move(channelUids)), wait_(wait) {}

bool EPGUpdateThread::Run() {
  ThreadPtr thread = multi_threading::factory::GetCurrentThread();
  if (!thread)
    return true;  // logged by the factory; without a queue the quit message could not end us
  // The quit message ends every wait; any other outcome (time-out, another message, a failed
  // wait) lets the pass go on.
  MessagePtr message;
  if (thread->TryWaitThreadMessage(message, wait_) == Message::Quit || client_->stopping)
    return true;
  client_->detailedEpgTriggered = true;
  // Shown to the user directly, not through the diagnostics output (which would show it as an
  // error notification, or not at all).
  if (client_->host != nullptr)
    client_->host->Notify(Host::NotifyInfo, "Triggering detailed EPG update");
  for (unsigned int uid : channelUids_) {
    if (client_->host != nullptr)
      client_->host->TriggerEpgUpdate(uid);
    message.reset();
    if (thread->TryWaitThreadMessage(message, wait_) == Message::Quit || client_->stopping)
      break;
  }
  return true;
}

}  // namespace nivo
}  // namespace zu
