#include "multi_threading/imp/MessageQueue.h"

#include "multi_threading/ScopedLock.h"

namespace zu {
namespace multi_threading {
namespace imp {

Message::ReturnValue MessageQueue::GetMessage(MessagePtr& out, bool remove) {
  ScopedLock lock(GetObjectMutex());
  if (messages_.empty())
    return Message::Failed;
  out = messages_.front();
  if (remove)
    messages_.pop_front();
  return out->id == Message::QuitId ? Message::Quit : Message::Received;
}

void MessageQueue::Append(MessagePtr message) {
  ScopedLock lock(GetObjectMutex());
  messages_.push_back(std::move(message));
}

bool MessageQueue::TakeReply(unsigned int id, unsigned int sequence, Message::ReturnValue& result) {
  ScopedLock lock(GetObjectMutex());
  for (auto it = messages_.begin(); it != messages_.end(); ++it) {
    const MessagePtr& message = *it;
    if (message->id == Message::QuitId) {
      result = Message::Quit;
    } else if (id == Message::AnyId || message->id == id) {
      result = message->sequence == sequence ? Message::Received : Message::Failed;
    } else {
      continue;
    }
    messages_.erase(it);
    return true;
  }
  return false;
}

void MessageQueue::Clear() {
  std::deque<MessagePtr> dropped;
  {
    ScopedLock lock(GetObjectMutex());
    dropped.swap(messages_);
  }
}

size_t MessageQueue::Size() {
  ScopedLock lock(GetObjectMutex());
  return messages_.size();
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
