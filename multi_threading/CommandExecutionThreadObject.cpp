#include "multi_threading/CommandExecutionThreadObject.h"

#include <exception>

#include "multi_threading/CommandMessage.h"
#include "multi_threading/Factory.h"
#include "output/Output.h"

namespace zu {
namespace multi_threading {

bool CommandExecutionThreadObject::Run() {
  ThreadPtr thread = factory::GetCurrentThread();
  if (!thread)
    return false;
  for (;;) {
    MessagePtr message;
    if (thread->WaitThreadMessage(message) != Message::Received)
      return true;
    if (message->id == Message::StopThreadId) {
      // The stop request belongs to the thread loop: hand it back and let the loop read it.
      thread->SendThreadMessage(message);
      return true;
    }
    SharedPtr<CommandMessage> command = std::dynamic_pointer_cast<CommandMessage>(message);
    if (!command) {
      ZU_ERROR("ZUMT", "Received unknown message " + std::to_string(message->id));
      continue;
    }
    try {
      command->Execute();
    } catch (const std::exception& e) {
      ZU_ERROR("ZUMT", std::string("Received exception: ") + e.what());
    } catch (...) {
      ZU_ERROR("ZUMT", "Received unknown exception");
    }
  }
}

}  // namespace multi_threading
}  // namespace zu
