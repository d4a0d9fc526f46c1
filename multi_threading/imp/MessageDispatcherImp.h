#pragma once

#include <map>

#include "multi_threading/MessageDispatcher.h"
#include "multi_threading/Mutex.h"

namespace zu {
namespace multi_threading {
namespace imp {

// The handlers by message id, guarded by a mutex of their own.
class MessageDispatcherImp : public MessageDispatcher {
 public:
  MessageDispatcherImp();

  void RegisterHandler(unsigned int id, Handler handler) override;
  bool Dispatch(MessagePtr message) override;

 private:
  MutexPtr mutex_;
  std::map<unsigned int, Handler> handlers_;
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
