#pragma once

#include <deque>
#include <functional>

#include "multi_threading/Message.h"
#include "multi_threading/ObjectLevelLockable.h"

namespace zu {
namespace multi_threading {
namespace imp {

// The messages of one thread in arrival order, without a size limit. Every operation locks
// the queue's own mutex; callers may hold it around several operations (it is recursive).
class MessageQueue : public ObjectLevelLockable<MessageQueue> {
 public:
  // Failed when the queue is empty; otherwise copies the first message to out, removes it
  // when remove is set, and returns Quit for a quit message, else Received.
  Message::ReturnValue GetMessage(MessagePtr& out, bool remove);
  // Appends a message.
  void Append(MessagePtr message);
  // Takes out the first message that answers a message of the given id and sequence
  // number: a quit message (Quit), or one of the same id (any message for Message::AnyId),
  // which gives Received when its sequence number matches, else Failed. False when there is
  // none.
  bool TakeReply(unsigned int id, unsigned int sequence, Message::ReturnValue& result);
  size_t Size();
  // Removes every message; they are released after the queue's lock.
  void Clear();

  const MutexPtr& GetMutex() const { return GetObjectMutex(); }

 private:
  std::deque<MessagePtr> messages_;
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
