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

Message::ReturnValue MessageQueue::Wait(MessagePtr& out, Event& event, const Time& timeout) {
  const Time start = Time::NowMonotonic();
  auto elapsed = [&start]() {
    const Time now = Time::NowMonotonic();
    return start < now ? now - start : Time::Zero();
  };
  for (;;) {
    Message::ReturnValue result = GetMessage(out, true);
    if (result != Message::Failed)
      return result;
    if (timeout == Time::Infinite()) {
      if (!event.Wait())
        return Message::Failed;
      continue;
    }
    const Time waited = elapsed();
    if (!(waited < timeout))
      return Message::Timeout;
    // The event's deadline lies at or after start + timeout, so a wait that gives up before
    // that has failed rather than timed out.
    if (!event.TryWait(timeout - waited) && elapsed() < timeout)
      return Message::Failed;
  }
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
      result = message->sequence == sequence && !message->failed_.load() ? Message::Received
                                                                         : Message::Failed;
    } else {
      continue;
    }
    messages_.erase(it);
    return true;
  }
  return false;
}

std::deque<MessagePtr> MessageQueue::TakeAll() {
  std::deque<MessagePtr> taken;
  ScopedLock lock(GetObjectMutex());
  taken.swap(messages_);
  return taken;
}

size_t MessageQueue::Size() {
  ScopedLock lock(GetObjectMutex());
  return messages_.size();
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
