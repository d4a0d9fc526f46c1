#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "multi_threading/Event.h"
#include "multi_threading/ObjectLevelLockable.h"
#include "multi_threading/Thread.h"
#include "multi_threading/imp/MessageQueue.h"

namespace zu {
namespace multi_threading {
namespace imp {

// The system-independent part of a toolkit thread: state, priority, message queue and the
// message loop (ThreadRunner). The system thread itself is made, joined and prioritised by
// the derived class.
class ThreadBase : public Thread,
                   public ObjectLevelLockable<ThreadBase>,
                   public SharedPtrFromThis<ThreadBase> {
 public:
  enum State { Created = 0, Running = 1, Stopped = 2 };

  // Handed to the new system thread, which takes ownership of it.
  struct InitStruct {
    ThreadBase* thread;
    EventPtr startup;  // set once the loop runs
    ThreadPtr self;    // keeps the thread object alive until the loop has ended
  };

  // Called on the posting thread after each message queued on this thread, with no lock
  // held. A Run that waits on something besides the queue (sockets, for example) installs
  // one to be woken for messages too.
  typedef std::function<void()> WakeUpHook;

  ~ThreadBase() override;

  bool Start(ThreadObjectPtr object) override;
  bool Stop() override;
  bool IsRunning() override;
  bool IsStopped() override;
  bool SetPriority(Priority priority) override;
  Priority GetPriority() override;
  bool SendThreadMessage(MessagePtr message) override;
  Message::ReturnValue SendThreadMessageAndWait(MessagePtr message) override;
  bool ReplyThreadMessage(MessagePtr message) override;
  Message::ReturnValue WaitThreadMessage(MessagePtr& message) override;
  Message::ReturnValue TryWaitThreadMessage(MessagePtr& message, const Time& timeout) override;

  // The name given at creation; for an adopted thread its numeric thread id.
  const std::string& GetName() const { return name_; }
  // Whether this is a thread the toolkit did not create (adopted by GetCurrentThread).
  bool IsAdopted() const { return adopted_; }
  // Installs the wake-up hook, or removes it with an empty one. A call of the previous hook
  // already under way may still finish after this returns, so a hook should own (by
  // SharedPtr) whatever it touches.
  void SetWakeUpHook(WakeUpHook hook);
  // Number of messages waiting in the queue.
  size_t GetQueueSize() { return queue_.Size(); }
  // Whether the calling system thread is this thread.
  virtual bool IsCallingThread() const = 0;
  // For a thread whose system thread has ended (its loop, or an adopted thread itself):
  // marks it stopped, so it refuses further messages, and drops the messages still queued
  // (which may hold references back to it), answering those that someone waits for.
  void Close();
  // For a message that is dropped without being handled: when a caller of
  // SendThreadMessageAndWait waits for it, hands it back to that caller marked failed, so the
  // wait ends with Failed. Does nothing for a message that was replied to or is not awaited.
  static void AnswerUnhandled(const MessagePtr& message);

 protected:
  ThreadBase(const std::string& name, unsigned int stackSize, Priority priority, bool adopted);

  // Whether construction made the object's mutexes and event.
  bool IsUsable() const;
  // Creates the system thread, waits until its loop runs and applies the priority; logs
  // each failing step.
  bool Init();
  // The message loop, run by every toolkit thread; owns init.
  static uint32_t ThreadRunner(InitStruct* init);

  // Starts a system thread running ThreadRunner(init); on success init belongs to it.
  virtual bool CreateOSThread(InitStruct* init) = 0;
  // Waits for the system thread to end; repeated calls after a join return true.
  virtual bool JoinOSThread() = 0;
  virtual bool SetPriorityOS(Priority priority) = 0;

  unsigned int GetStackSize() const { return stackSize_; }

 private:
  // The loop's work on one message.
  void Handle(const MessagePtr& message);
  void SetState(State state);

  const std::string name_;
  Priority priority_;  // guarded by the object mutex
  const unsigned int stackSize_;
  const bool adopted_;
  // Changed under the queue's mutex, so that no message is accepted after the loop ended.
  std::atomic<int> state_{Created};
  MessageQueue queue_;
  EventPtr event_;                          // set whenever a message is queued; auto-reset
  SharedPtr<const WakeUpHook> wakeUpHook_;  // accessed atomically
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
