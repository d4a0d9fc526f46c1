#pragma once

#include "multi_threading/ThreadObject.h"

namespace zu {
namespace multi_threading {

// Executes every CommandMessage its thread receives, in arrival order. Run returns on a quit
// message or a failed wait; a stop request makes it return and leaves the request for the
// thread loop, so Stop() ends the thread.
class CommandExecutionThreadObject : public ThreadObject {
 public:
  bool Run() override;
};

}  // namespace multi_threading
}  // namespace zu
