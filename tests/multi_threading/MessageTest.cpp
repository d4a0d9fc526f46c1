#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "multi_threading/Factory.h"
#include "multi_threading/imp/MessageQueue.h"
#include "multi_threading/imp/MessageSequence.h"

namespace {

using namespace zu::multi_threading;
using zu::Time;

// An event whose waits fail at once. From its second failure on it also queues a quit
// message, so a wait that went on trying after a failure ends with Quit instead of Failed.
class FailingEvent : public Event {
 public:
  explicit FailingEvent(imp::MessageQueue& queue) : queue_(queue) {}
  bool Wait() override { return Fail(); }
  bool TryWait(const Time&) override { return Fail(); }
  bool TryWait() override { return false; }
  bool Set() override { return true; }
  bool Reset() override { return true; }
  int failures = 0;

 private:
  bool Fail() {
    if (failures++ > 0)
      queue_.Append(MessagePtr(new Message(Message::QuitId)));
    return false;
  }
  imp::MessageQueue& queue_;
};

TEST(MessageQueue, FailedEventWaitEndsTheWaitAsFailed) {
  for (const Time& timeout : {Time::FromSeconds(3600), Time::Infinite()}) {
    imp::MessageQueue queue;
    FailingEvent event(queue);
    MessagePtr message;
    EXPECT_EQ(Message::Failed, queue.Wait(message, event, timeout));
    EXPECT_EQ(1, event.failures);
    EXPECT_FALSE(message);
  }
}

TEST(MessageSequence, IncreasesByOneAndNamesTheSender) {
  MessagePtr first(new Message(10));
  MessagePtr second(new Message(11));
  EXPECT_EQ(first->sequence + 1, second->sequence);
  EXPECT_NE(0u, first->sequence);
  EXPECT_EQ(10u, first->id);
  EXPECT_EQ(factory::GetCurrentThread(), first->sender);

  ThreadPtr otherSender;
  std::thread other([&] { otherSender = MessagePtr(new Message(12))->sender; });
  other.join();
  EXPECT_TRUE(otherSender);
  EXPECT_NE(first->sender, otherSender);
}

TEST(MessageSequence, SkipsZeroWhenTheLowBitsWrap) {
  imp::SetMessageSequenceCounter(0xFFFFFFFDL);
  EXPECT_EQ(0xFFFFFFFEu, Message(1).sequence);
  EXPECT_EQ(0xFFFFFFFFu, Message(1).sequence);
  EXPECT_EQ(1u, Message(1).sequence);
  EXPECT_EQ(2u, Message(1).sequence);
}

TEST(MessageSequence, SkipsZeroWhenTheCounterWraps) {
  imp::SetMessageSequenceCounter(-3L);
  EXPECT_EQ(0xFFFFFFFEu, Message(1).sequence);
  EXPECT_EQ(0xFFFFFFFFu, Message(1).sequence);
  EXPECT_EQ(1u, Message(1).sequence);
}

TEST(MessageSequence, UniqueAcrossThreads) {
  const int kThreads = 4;
  const int kEach = 2000;
  std::vector<std::vector<uint32_t>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&seen, t] {
      for (int i = 0; i < kEach; ++i)
        seen[t].push_back(Message(5).sequence);
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  std::set<uint32_t> all;
  for (const std::vector<uint32_t>& numbers : seen)
    all.insert(numbers.begin(), numbers.end());
  EXPECT_EQ(static_cast<size_t>(kThreads * kEach), all.size());
  EXPECT_EQ(0u, all.count(0));
}

}  // namespace
