#pragma once

#include <deque>
#include <functional>

#include "multi_threading/Event.h"
#include "multi_threading/Message.h"
#include "multi_threading/ObjectLevelLockable.h"
#include "multi_threading/Time.h"

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
  // Takes the first message, waiting on event (set by the poster after every append) at most
  // timeout on the monotonic clock; Infinite() waits as long as it takes. Received or Quit;
  // Timeout when the time passed; Failed as soon as an event wait fails (one that returns
  // false before the time has passed), instead of trying again until the deadline.
  Message::ReturnValue Wait(MessagePtr& out, Event& event, const Time& timeout);
  // Appends a message.
  void Append(MessagePtr message);
  // Takes out the first message that answers a message of the given id and sequence
  // number: a quit message (Quit), or one of the same id (any message for Message::AnyId),
  // which gives Received when its sequence number matches and it was handled, else Failed.
  // False when there is none.
  bool TakeReply(unsigned int id, unsigned int sequence, Message::ReturnValue& result);
  size_t Size();
  // Removes every message and hands them to the caller, who releases them outside the lock.
  std::deque<MessagePtr> TakeAll();

  const MutexPtr& GetMutex() const { return GetObjectMutex(); }

 private:
  std::deque<MessagePtr> messages_;
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
