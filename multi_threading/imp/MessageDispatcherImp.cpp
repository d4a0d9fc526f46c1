#include "multi_threading/imp/MessageDispatcherImp.h"

#include "multi_threading/Factory.h"
#include "multi_threading/ScopedLock.h"

namespace zu {
namespace multi_threading {
namespace imp {

MessageDispatcherImp::MessageDispatcherImp() : mutex_(factory::CreateMutex(false)) {}

void MessageDispatcherImp::RegisterHandler(unsigned int id, Handler handler) {
  ScopedLock lock(mutex_);
  if (handler)
    handlers_[id] = std::move(handler);
  else
    handlers_.erase(id);
}

bool MessageDispatcherImp::Dispatch(MessagePtr message) {
  if (!message)
    return false;
  Handler handler;
  {
    ScopedLock lock(mutex_);
    auto it = handlers_.find(message->id);
    if (it == handlers_.end())
      return false;
    handler = it->second;
  }
  // Called without the lock, so a handler may register handlers or dispatch again.
  return handler(std::move(message));
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
