#pragma once

#include "base/SharedPtr.h"
#include "multi_threading/Message.h"
#include "multi_threading/ThreadObject.h"
#include "multi_threading/Time.h"

namespace zu {
namespace multi_threading {

// A named thread with its own message queue. A thread made by CreateThread is idle in its
// message loop until Start hands it a thread object; any other thread becomes a Thread the
// first time it calls GetCurrentThread (it has a queue but no loop). All operations may be
// called from any thread unless noted; failures are logged with the thread's name.
class Thread {
 public:
  enum Priority { Lowest = 0, Low = 1, Normal = 2, High = 3, Highest = 4 };

  virtual ~Thread() = default;
  // Posts a start message: the loop runs object->Run(). False when the post was refused.
  virtual bool Start(ThreadObjectPtr object) = 0;
  // Ends the message loop and joins the thread; a Run in progress must return first. False
  // when called by the thread on itself, for a thread the toolkit did not create, or when
  // the stop could not be posted or the join failed. True for a thread already stopped.
  virtual bool Stop() = 0;
  // Whether the message loop is running.
  virtual bool IsRunning() = 0;
  // Whether the message loop has ended; a stopped thread refuses messages.
  virtual bool IsStopped() = 0;
  // Applies a priority to the system thread; the stored priority changes only on success.
  virtual bool SetPriority(Priority priority) = 0;
  virtual Priority GetPriority() = 0;
  // Queues the message for this thread without blocking; false when the thread is stopped.
  virtual bool SendThreadMessage(MessagePtr message) = 0;
  // Posts the message, then waits on the sender's queue for its reply: Received for a reply
  // with the message's sequence number, Failed for a reply with another one (it is consumed)
  // or a failure, Quit when a quit message arrives first. A message that the thread drops
  // unhandled (its loop does not know it, or ends before reading it) comes back marked
  // failed, so the wait ends with Failed. Other messages stay queued. The sender's queue must
  // not be read by anyone else meanwhile.
  virtual Message::ReturnValue SendThreadMessageAndWait(MessagePtr message) = 0;
  // Hands a handled message back: call it on the message's sender.
  virtual bool ReplyThreadMessage(MessagePtr message) = 0;
  // Takes the next message of this thread's queue, waiting as long as it takes: Received,
  // Quit, or Failed when the wait failed. Called by the thread itself.
  virtual Message::ReturnValue WaitThreadMessage(MessagePtr& message) = 0;
  // As WaitThreadMessage, waiting at most timeout (monotonic clock): Timeout when it passed,
  // Failed (logged) as soon as the wait itself fails. With Zero() it only looks: Failed when
  // the queue is empty.
  virtual Message::ReturnValue TryWaitThreadMessage(MessagePtr& message, const Time& timeout) = 0;
};

}  // namespace multi_threading
}  // namespace zu
