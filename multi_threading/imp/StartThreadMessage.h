#pragma once

#include "multi_threading/Message.h"
#include "multi_threading/ThreadObject.h"

namespace zu {
namespace multi_threading {
namespace imp {

// Makes the receiving thread's loop run object->Run().
class StartThreadMessage : public Message {
 public:
  explicit StartThreadMessage(ThreadObjectPtr object)
      : Message(StartThreadId), object(std::move(object)) {}

  const ThreadObjectPtr object;
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
