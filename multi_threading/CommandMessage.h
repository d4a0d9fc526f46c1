#pragma once

#include "multi_threading/Message.h"

namespace zu {
namespace multi_threading {

// A message that carries its own work: a command execution thread calls Execute on its
// thread for every command message it receives. A command that wants to answer its sender
// calls sender->ReplyThreadMessage(shared_from_this()) itself.
class CommandMessage : public Message {
 public:
  explicit CommandMessage(unsigned int id) : Message(id) {}
  ~CommandMessage() override = default;
  // Runs on the command execution thread.
  virtual void Execute() = 0;
};

typedef SharedPtr<CommandMessage> CommandMessagePtr;

}  // namespace multi_threading
}  // namespace zu
