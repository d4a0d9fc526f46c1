#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "TestSupport.h"
#include "multi_threading/CommandMessage.h"
#include "multi_threading/Factory.h"

namespace {

using namespace zu::multi_threading;
using zu::SharedPtr;

// Appends its number to a log owned by the test and answers its sender.
class Append : public CommandMessage {
 public:
  Append(std::vector<int>* log, int number) : CommandMessage(500), log_(log), number_(number) {}
  void Execute() override {
    log_->push_back(number_);
    executedOn = factory::GetCurrentThread();
    sender->ReplyThreadMessage(shared_from_this());
  }
  ThreadPtr executedOn;

 private:
  std::vector<int>* log_;
  int number_;
};

TEST(CommandExecutionThread, ExecutesCommandsInOrderAndStops) {
  ThreadPtr thread = factory::CreateCommandExecutionThread("mt-commands", 0, Thread::Normal);
  ASSERT_TRUE(thread);
  std::vector<int> log;  // touched only by the command thread until the replies are in
  for (int i = 1; i <= 3; ++i)
    ASSERT_TRUE(thread->SendThreadMessage(MessagePtr(new Append(&log, i))));
  SharedPtr<Append> last(new Append(&log, 4));
  ASSERT_EQ(Message::Failed, thread->SendThreadMessageAndWait(last));  // first reply is #1
  ThreadPtr self = factory::GetCurrentThread();
  for (int i = 2; i <= 4; ++i) {
    MessagePtr reply;
    ASSERT_EQ(Message::Received, self->WaitThreadMessage(reply));
    EXPECT_EQ(500u, reply->id);
  }

  testing::internal::CaptureStderr();
  thread->SendThreadMessage(MessagePtr(new Message(77)));  // not a command: logged, skipped
  ASSERT_EQ(Message::Received, thread->SendThreadMessageAndWait(MessagePtr(new Append(&log, 5))));
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, output.find("Received unknown message 77"));

  // The stop request reaches the loop although Run reads the queue.
  EXPECT_TRUE(thread->Stop());
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), log);
  EXPECT_EQ(thread, last->executedOn);
}

TEST(CommandExecutionThread, QuitEndsRunButNotTheThread) {
  ThreadPtr thread = factory::CreateCommandExecutionThread("mt-commands-quit", 0, Thread::Normal);
  ASSERT_TRUE(thread);
  ASSERT_TRUE(thread->SendThreadMessage(MessagePtr(new Message(Message::QuitId))));
  std::vector<int> log;
  // Run has returned: commands are no longer executed, the loop drops them.
  testing::internal::CaptureStderr();
  ASSERT_TRUE(thread->SendThreadMessage(MessagePtr(new Append(&log, 1))));
  EXPECT_TRUE(thread->Stop());
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, output.find("mt-commands-quit Received unknown message 500"));
  EXPECT_TRUE(log.empty());
}

TEST(MessageDispatcher, CallsTheHandlerOfTheId) {
  MessageDispatcherPtr dispatcher = factory::CreateMessageDispatcher();
  ASSERT_TRUE(dispatcher);
  std::vector<unsigned int> seen;
  dispatcher->RegisterHandler(1, [&](MessagePtr m) {
    seen.push_back(m->id);
    return true;
  });
  dispatcher->RegisterHandler(2, [](MessagePtr) { return false; });

  EXPECT_TRUE(dispatcher->Dispatch(MessagePtr(new Message(1))));
  EXPECT_FALSE(dispatcher->Dispatch(MessagePtr(new Message(2))));
  EXPECT_FALSE(dispatcher->Dispatch(MessagePtr(new Message(3))));  // no handler
  EXPECT_FALSE(dispatcher->Dispatch(MessagePtr()));

  dispatcher->RegisterHandler(2, [&](MessagePtr m) {
    seen.push_back(m->id * 10);
    return true;
  });
  EXPECT_TRUE(dispatcher->Dispatch(MessagePtr(new Message(2))));
  dispatcher->RegisterHandler(1, MessageDispatcher::Handler());
  EXPECT_FALSE(dispatcher->Dispatch(MessagePtr(new Message(1))));
  EXPECT_EQ((std::vector<unsigned int>{1, 20}), seen);
}

TEST(MessageDispatcher, HandlerMayRegisterAnother) {
  MessageDispatcherPtr dispatcher = factory::CreateMessageDispatcher();
  dispatcher->RegisterHandler(1, [&](MessagePtr) {
    dispatcher->RegisterHandler(2, [](MessagePtr) { return true; });
    return true;
  });
  EXPECT_TRUE(dispatcher->Dispatch(MessagePtr(new Message(1))));
  EXPECT_TRUE(dispatcher->Dispatch(MessagePtr(new Message(2))));
}

}  // namespace
