#include "nivo/EPGUpdateThread.h"

#include <utility>

#include "multi_threading/Factory.h"
#include "multi_threading/Message.h"
#include "output/Output.h"

namespace zu {
namespace nivo {

using multi_threading::Message;
using multi_threading::MessagePtr;
using multi_threading::ThreadPtr;

namespace {

// Waits one quiet period on the thread's queue; true when the pass goes on. The quit message
// ends the pass; so does a failed wait, which would otherwise fire the remaining refreshes at
// once.
bool QuietPeriodPassed(const ThreadPtr& thread, const zu::Time& wait) {
  MessagePtr message;
  const Message::ReturnValue result = thread->TryWaitThreadMessage(message, wait);
  if (result == Message::Failed && !(wait == zu::Time::Zero())) {
    ZU_ERROR("NivoTV", "EPG update thread: waiting failed; the update pass ends");
    return false;
  }
  return result != Message::Quit;
}

}  // namespace

EPGUpdateThread::EPGUpdateThread(Client& client, std::vector<unsigned int> channelUids,
                                 const zu::Time& wait)
    : client_(client), channelUids_(std::move(channelUids)), wait_(wait) {}

bool EPGUpdateThread::Run() {
  ThreadPtr thread = multi_threading::factory::GetCurrentThread();
  if (!thread)
    return true;  // logged by the factory; without a queue the quit message could not end us
  if (!QuietPeriodPassed(thread, wait_) || client_.IsStopping())
    return true;
  client_.SwitchToDetailedMode();
  // Shown to the user directly, not through the diagnostics output (which would show it as an
  // error notification, or not at all).
  client_.Notify("Triggering detailed EPG update");
  for (unsigned int uid : channelUids_) {
    client_.TriggerRefresh(uid);
    if (!QuietPeriodPassed(thread, wait_) || client_.IsStopping())
      break;
  }
  return true;
}

}  // namespace nivo
}  // namespace zu
