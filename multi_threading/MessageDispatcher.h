#pragma once

#include <functional>

#include "base/SharedPtr.h"
#include "multi_threading/Message.h"

namespace zu {
namespace multi_threading {

// Calls the handler registered for a message's id. Any thread may register and dispatch;
// a handler runs on the dispatching thread, without the dispatcher's lock held.
class MessageDispatcher {
 public:
  typedef std::function<bool(MessagePtr)> Handler;

  // Inserts, or replaces, the handler of the id; an empty handler removes it.
  virtual void RegisterHandler(unsigned int id, Handler handler) = 0;
  // The result of the handler of the message's id; false when there is none.
  virtual bool Dispatch(MessagePtr message) = 0;
  virtual ~MessageDispatcher() = default;
};

typedef SharedPtr<MessageDispatcher> MessageDispatcherPtr;

}  // namespace multi_threading
}  // namespace zu
