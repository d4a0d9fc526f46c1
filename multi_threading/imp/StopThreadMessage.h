#pragma once

#include "multi_threading/Message.h"

namespace zu {
namespace multi_threading {
namespace imp {

// Ends the receiving thread's message loop.
class StopThreadMessage : public Message {
 public:
  StopThreadMessage() : Message(StopThreadId) {}
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
