#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "multi_threading/Factory.h"
#include "multi_threading/imp/ThreadBase.h"
#include "multi_threading/imp/ThreadRegistry.h"

namespace {

using namespace zu::multi_threading;
using zu::SharedPtr;
using zu::Time;
using zu_test::WaitFor;

const unsigned int kEcho = 100;        // answered with the same message
const unsigned int kWrongReply = 101;  // answered with a new message of the same id
const unsigned int kQuitFirst = 102;   // answered by a quit message, then the reply
const unsigned int kNoiseFirst = 103;  // answered by a kNoise message, then the reply
const unsigned int kNoise = 200;

// Serves the request messages above until it receives a quit message.
class Responder : public ThreadObject {
 public:
  bool Run() override {
    ThreadPtr self = factory::GetCurrentThread();
    for (;;) {
      MessagePtr message;
      Message::ReturnValue result = self->WaitThreadMessage(message);
      if (result != Message::Received)
        return true;
      ++handled;
      ThreadPtr sender = message->sender;
      switch (message->id) {
        case kWrongReply:
          sender->ReplyThreadMessage(MessagePtr(new Message(kWrongReply)));
          break;
        case kQuitFirst:
          sender->SendThreadMessage(MessagePtr(new Message(Message::QuitId)));
          sender->ReplyThreadMessage(message);
          break;
        case kNoiseFirst:
          sender->SendThreadMessage(MessagePtr(new Message(kNoise)));
          sender->ReplyThreadMessage(message);
          break;
        default:
          sender->ReplyThreadMessage(message);
      }
    }
  }
  std::atomic<int> handled{0};
};

// Records what a thread object sees of its own thread.
class SelfStopper : public ThreadObject {
 public:
  bool Run() override {
    ThreadPtr self = factory::GetCurrentThread();
    stopResult = self->Stop() ? 1 : 0;
    running = self->IsRunning();
    return true;
  }
  std::atomic<int> stopResult{-1};
  std::atomic<bool> running{false};
};

class Thrower : public ThreadObject {
 public:
  bool Run() override { throw std::runtime_error("run failed"); }
};

// Runs until released, without reading its queue.
class Blocker : public ThreadObject {
 public:
  bool Run() override {
    running = true;
    release->Wait();
    return true;
  }
  std::atomic<bool> running{false};
  EventPtr release = factory::CreateEvent(true, false);
};

SharedPtr<imp::ThreadBase> AsBase(const ThreadPtr& thread) {
  return std::dynamic_pointer_cast<imp::ThreadBase>(thread);
}

// SendThreadMessageAndWait of a new message of id to a thread, on a thread of its own.
class AwaitedSend {
 public:
  AwaitedSend(ThreadPtr to, unsigned int id) {
    auto promise = std::make_shared<std::promise<Message::ReturnValue>>();
    result_ = promise->get_future();
    thread_ = std::thread([to, id, promise] {
      promise->set_value(to->SendThreadMessageAndWait(MessagePtr(new Message(id))));
    });
  }
  ~AwaitedSend() {
    if (thread_.joinable())
      thread_.detach();  // still waiting: left behind rather than hang the test
  }
  // What the send returned, or Timeout (which it never returns) when it had not returned
  // within a generous bound.
  Message::ReturnValue Result() {
    if (result_.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
      return Message::Timeout;
    thread_.join();
    return result_.get();
  }

 private:
  std::future<Message::ReturnValue> result_;
  std::thread thread_;
};

TEST(Thread, RunsObjectAndStopsOnRequest) {
  factory::GetCurrentThread();  // this thread sends, so it is registered too
  ThreadPtr thread = factory::CreateThread("mt-worker", 0, Thread::Normal);
  ASSERT_TRUE(thread);
  EXPECT_TRUE(thread->IsRunning());
  EXPECT_FALSE(thread->IsStopped());
  const size_t registered = imp::ThreadRegistry::Count();

  SharedPtr<Responder> responder(new Responder);
  ASSERT_TRUE(thread->Start(responder));
  EXPECT_EQ(Message::Received, thread->SendThreadMessageAndWait(MessagePtr(new Message(kEcho))));
  // Run must end before the stop request is read.
  ASSERT_TRUE(thread->SendThreadMessage(MessagePtr(new Message(Message::QuitId))));
  EXPECT_TRUE(thread->Stop());
  EXPECT_TRUE(thread->IsStopped());
  EXPECT_FALSE(thread->IsRunning());
  EXPECT_EQ(registered - 1, imp::ThreadRegistry::Count());
  EXPECT_TRUE(thread->Stop());  // already stopped
  EXPECT_EQ(1, responder->handled.load());
}

TEST(Thread, StopOnItselfReturnsFalse) {
  ThreadPtr thread = factory::CreateThread("mt-self", 0, Thread::Normal);
  ASSERT_TRUE(thread);
  SharedPtr<SelfStopper> object(new SelfStopper);
  ASSERT_TRUE(thread->Start(object));
  ASSERT_TRUE(WaitFor([&] { return object->stopResult != -1; }));
  EXPECT_EQ(0, object->stopResult.load());
  EXPECT_TRUE(object->running.load());
  EXPECT_TRUE(thread->Stop());
}

TEST(Thread, PostingToStoppedThreadIsRefused) {
  ThreadPtr thread = factory::CreateThread("mt-stopped", 0, Thread::Normal);
  ASSERT_TRUE(thread);
  ASSERT_TRUE(thread->Stop());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(thread->SendThreadMessage(MessagePtr(new Message(kEcho))));
  EXPECT_FALSE(thread->Start(SharedPtr<Responder>(new Responder)));
  EXPECT_EQ(Message::Failed, thread->SendThreadMessageAndWait(MessagePtr(new Message(kEcho))));
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, output.find("ZUMT"));
  EXPECT_NE(std::string::npos, output.find("mt-stopped failed."));
}

TEST(Thread, UnknownMessageIsLoggedAndDropped) {
  ThreadPtr thread = factory::CreateThread("mt-loop", 0, Thread::Normal);
  ASSERT_TRUE(thread);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(thread->SendThreadMessage(MessagePtr(new Message(4242))));
  ASSERT_TRUE(thread->SendThreadMessage(MessagePtr(new Message(Message::QuitId))));  // ignored
  ASSERT_TRUE(thread->Stop());  // handled in order, so the unknown one is done
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, output.find("mt-loop Received unknown message 4242"));
  EXPECT_EQ(std::string::npos, output.find("Received unknown message 1"));
}

TEST(Thread, AwaitedMessageDroppedUnhandledIsAnsweredAsFailed) {
  testing::internal::CaptureStderr();
  // Read by a loop that does not know it.
  ThreadPtr idle = factory::CreateThread("mt-idle", 0, Thread::Normal);
  ASSERT_TRUE(idle);
  AwaitedSend unknown(idle, 4242);
  EXPECT_EQ(Message::Failed, unknown.Result());
  EXPECT_TRUE(idle->Stop());

  // Queued behind the stop request while a Run holds the loop: cleared when the loop ends.
  ThreadPtr busy = factory::CreateThread("mt-busy", 0, Thread::Normal);
  ASSERT_TRUE(busy);
  SharedPtr<Blocker> blocker(new Blocker);
  ASSERT_TRUE(busy->Start(blocker));
  ASSERT_TRUE(WaitFor([&] { return blocker->running.load(); }));
  std::thread stopper([busy] { busy->Stop(); });
  ASSERT_TRUE(WaitFor([&] { return AsBase(busy)->GetQueueSize() == 1; }));
  AwaitedSend late(busy, kEcho);
  ASSERT_TRUE(WaitFor([&] { return AsBase(busy)->GetQueueSize() == 2; }));
  blocker->release->Set();
  EXPECT_EQ(Message::Failed, late.Result());
  stopper.join();
  EXPECT_TRUE(busy->IsStopped());
  testing::internal::GetCapturedStderr();
}

TEST(Thread, ExceptionFromRunLeavesThreadUsable) {
  ThreadPtr thread = factory::CreateThread("mt-throw", 0, Thread::Normal);
  ASSERT_TRUE(thread);
  testing::internal::CaptureStderr();
  ASSERT_TRUE(thread->Start(ThreadObjectPtr(new Thrower)));
  SharedPtr<Responder> responder(new Responder);
  ASSERT_TRUE(thread->Start(responder));
  EXPECT_EQ(Message::Received, thread->SendThreadMessageAndWait(MessagePtr(new Message(kEcho))));
  thread->SendThreadMessage(MessagePtr(new Message(Message::QuitId)));
  EXPECT_TRUE(thread->Stop());
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, output.find("run failed"));
}

class Replies : public testing::Test {
 protected:
  void SetUp() override {
    thread = factory::CreateThread("mt-responder", 0, Thread::Normal);
    ASSERT_TRUE(thread);
    ASSERT_TRUE(thread->Start(ThreadObjectPtr(new Responder)));
    self = factory::GetCurrentThread();
  }
  void TearDown() override {
    thread->SendThreadMessage(MessagePtr(new Message(Message::QuitId)));
    EXPECT_TRUE(thread->Stop());
  }
  Message::ReturnValue Look(MessagePtr& message) {
    return self->TryWaitThreadMessage(message, Time::Zero());
  }
  ThreadPtr thread;
  ThreadPtr self;
};

TEST_F(Replies, MatchingReplyIsReceived) {
  MessagePtr request(new Message(kEcho));
  EXPECT_EQ(Message::Received, thread->SendThreadMessageAndWait(request));
  MessagePtr left;
  EXPECT_EQ(Message::Failed, Look(left));
}

TEST_F(Replies, ReplyWithOtherSequenceIsConsumedAsFailed) {
  EXPECT_EQ(Message::Failed,
            thread->SendThreadMessageAndWait(MessagePtr(new Message(kWrongReply))));
  MessagePtr left;
  EXPECT_EQ(Message::Failed, Look(left));
}

TEST_F(Replies, QuitArrivingFirstWins) {
  EXPECT_EQ(Message::Quit, thread->SendThreadMessageAndWait(MessagePtr(new Message(kQuitFirst))));
  // The late reply is still queued for whoever reads the queue.
  MessagePtr left;
  ASSERT_TRUE(WaitFor([&] { return Look(left) == Message::Received; }));
  EXPECT_EQ(kQuitFirst, left->id);
}

TEST_F(Replies, OtherMessagesStayQueuedInOrder) {
  MessagePtr early(new Message(kNoise + 1));
  ASSERT_TRUE(self->SendThreadMessage(early));
  EXPECT_EQ(Message::Received,
            thread->SendThreadMessageAndWait(MessagePtr(new Message(kNoiseFirst))));
  MessagePtr left;
  ASSERT_EQ(Message::Received, Look(left));
  EXPECT_EQ(early, left);
  ASSERT_EQ(Message::Received, Look(left));
  EXPECT_EQ(kNoise, left->id);
  EXPECT_EQ(Message::Failed, Look(left));
}

TEST_F(Replies, AnyIdTakesTheFirstMessage) {
  ASSERT_TRUE(self->SendThreadMessage(MessagePtr(new Message(kNoise))));
  EXPECT_EQ(Message::Failed,
            thread->SendThreadMessageAndWait(MessagePtr(new Message(Message::AnyId))));
  MessagePtr left;
  // The answer to AnyId, with the same sequence number, remains.
  ASSERT_TRUE(WaitFor([&] { return Look(left) == Message::Received; }));
  EXPECT_EQ(Message::AnyId, left->id);
}

TEST(ThreadMessages, TryWaitZeroOnEmptyQueueFailsAtOnce) {
  ThreadPtr self = factory::GetCurrentThread();
  MessagePtr message;
  EXPECT_EQ(Message::Failed, self->TryWaitThreadMessage(message, Time::Zero()));
  EXPECT_FALSE(message);
  Time start = Time::NowMonotonic();
  EXPECT_EQ(Message::Timeout, self->TryWaitThreadMessage(message, Time::FromMilliSeconds(30)));
  EXPECT_FALSE(zu_test::Elapsed(start) < Time::FromMilliSeconds(30));

  ASSERT_TRUE(self->SendThreadMessage(MessagePtr(new Message(Message::QuitId))));
  EXPECT_EQ(Message::Quit, self->TryWaitThreadMessage(message, Time::Zero()));
  ASSERT_TRUE(self->SendThreadMessage(MessagePtr(new Message(7))));
  EXPECT_EQ(Message::Received, self->WaitThreadMessage(message));
  EXPECT_EQ(7u, message->id);
}

TEST(ThreadMessages, TimedWaitWakesForMessagePostedLater) {
  ThreadPtr self = factory::GetCurrentThread();
  std::thread poster([self] {
    zu_test::Settle();
    self->SendThreadMessage(MessagePtr(new Message(9)));
  });
  MessagePtr message;
  EXPECT_EQ(Message::Received, self->TryWaitThreadMessage(message, Time::Infinite()));
  EXPECT_EQ(9u, message->id);
  poster.join();
}

TEST(ThreadMessages, WakeUpHookRunsAfterQueuing) {
  SharedPtr<imp::ThreadBase> self = AsBase(factory::GetCurrentThread());
  ASSERT_TRUE(self);
  std::atomic<int> calls{0};
  std::atomic<size_t> queuedAtCall{0};
  self->SetWakeUpHook([&] {
    queuedAtCall = self->GetQueueSize();
    ++calls;
  });
  std::thread poster([&] { self->SendThreadMessage(MessagePtr(new Message(11))); });
  poster.join();
  EXPECT_EQ(1, calls.load());
  EXPECT_EQ(1u, queuedAtCall.load());
  self->SetWakeUpHook(imp::ThreadBase::WakeUpHook());
  self->SendThreadMessage(MessagePtr(new Message(12)));
  EXPECT_EQ(1, calls.load());
  MessagePtr message;
  while (self->TryWaitThreadMessage(message, Time::Zero()) != Message::Failed) {
  }
}

TEST(AdoptedThread, RegisteredUnderNumericIdBeforeAnyCreateThread) {
  ThreadPtr first = factory::GetCurrentThread();
  ASSERT_TRUE(first);
  EXPECT_EQ(first, factory::GetCurrentThread());
  SharedPtr<imp::ThreadBase> base = AsBase(first);
  EXPECT_EQ(std::to_string(static_cast<unsigned long>(::pthread_self())), base->GetName());
  EXPECT_TRUE(base->IsAdopted());
  EXPECT_FALSE(first->IsRunning());
  EXPECT_FALSE(first->IsStopped());
  EXPECT_EQ(Thread::Normal, first->GetPriority());
  EXPECT_EQ(first, (MessagePtr(new Message(5)))->sender);

  // Another thread cannot stop (or join) a thread the toolkit did not create.
  testing::internal::CaptureStderr();
  bool stopped = true;
  std::thread other([&] { stopped = first->Stop(); });
  other.join();
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(stopped);
}

TEST(AdoptedThread, EndingThreadLeavesNothingForTheNext) {
  factory::GetCurrentThread();
  const size_t before = imp::ThreadRegistry::Count();
  ThreadPtr ended;
  std::thread first([&] {
    ended = factory::GetCurrentThread();
    ended->SendThreadMessage(MessagePtr(new Message(31)));  // left unread
  });
  first.join();
  EXPECT_EQ(before, imp::ThreadRegistry::Count());
  // Whoever still holds it learns that it is gone.
  EXPECT_TRUE(ended->IsStopped());
  EXPECT_EQ(0u, AsBase(ended)->GetQueueSize());
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ended->SendThreadMessage(MessagePtr(new Message(32))));
  testing::internal::GetCapturedStderr();
  // A thread that may well get the same pthread_t value starts with an empty queue.
  Message::ReturnValue result = Message::Received;
  std::thread second([&] {
    MessagePtr message;
    result = factory::GetCurrentThread()->TryWaitThreadMessage(message, Time::Zero());
  });
  second.join();
  EXPECT_EQ(Message::Failed, result);
}

TEST(ThreadPriority, SetAndGet) {
  ThreadPtr thread = factory::CreateThread("mt-priority", 64 * 1024, Thread::High);
  ASSERT_TRUE(thread);
  EXPECT_EQ(Thread::High, thread->GetPriority());
  for (Thread::Priority priority :
       {Thread::Lowest, Thread::Low, Thread::Normal, Thread::High, Thread::Highest}) {
    EXPECT_TRUE(thread->SetPriority(priority));
    EXPECT_EQ(priority, thread->GetPriority());
  }
  EXPECT_TRUE(factory::GetCurrentThread()->SetPriority(Thread::Low));
  EXPECT_TRUE(factory::GetCurrentThread()->SetPriority(Thread::Normal));
  EXPECT_TRUE(thread->Stop());
  // Gone: the priority cannot be applied and stays as it was.
  testing::internal::CaptureStderr();
  EXPECT_FALSE(thread->SetPriority(Thread::Lowest));
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, output.find("mt-priority failed."));
  EXPECT_EQ(Thread::Highest, thread->GetPriority());
}

TEST(ThreadCreation, BadStackSizeFailsCleanly) {
  const size_t before = imp::ThreadRegistry::Count();
  testing::internal::CaptureStderr();
  ThreadPtr thread = factory::CreateThread("mt-tiny-stack", 1, Thread::Normal);
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(thread);
  EXPECT_NE(std::string::npos, output.find("mt-tiny-stack, Error creating thread."));
  EXPECT_NE(std::string::npos, output.find("mt-tiny-stack failed."));
  EXPECT_EQ(before, imp::ThreadRegistry::Count());
}

TEST(ThreadCreation, ThreadsComeAndGoWhileOthersAreAdopted) {
  std::atomic<bool> done{false};
  std::vector<std::thread> adopters;
  for (int i = 0; i < 3; ++i) {
    adopters.emplace_back([&] {
      while (!done) {
        std::thread short_lived([] {
          ThreadPtr self = factory::GetCurrentThread();
          self->SendThreadMessage(MessagePtr(new Message(1000)));
        });
        short_lived.join();
      }
    });
  }
  for (int i = 0; i < 20; ++i) {
    ThreadPtr thread = factory::CreateThread("mt-churn", 0, Thread::Normal);
    ASSERT_TRUE(thread);
    SharedPtr<Responder> responder(new Responder);
    ASSERT_TRUE(thread->Start(responder));
    EXPECT_EQ(Message::Received, thread->SendThreadMessageAndWait(MessagePtr(new Message(kEcho))));
    thread->SendThreadMessage(MessagePtr(new Message(Message::QuitId)));
    EXPECT_TRUE(thread->Stop());
  }
  done = true;
  for (std::thread& adopter : adopters)
    adopter.join();
}

}  // namespace
