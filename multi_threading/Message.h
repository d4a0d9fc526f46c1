#pragma once

#include <atomic>
#include <cstdint>

#include "base/SharedPtr.h"

namespace zu {
namespace multi_threading {

class Thread;
typedef SharedPtr<Thread> ThreadPtr;

namespace imp {
class MessageQueue;
class ThreadBase;
}  // namespace imp

// Base of every message passed between threads. Messages are created with new and handed
// around as MessagePtr; a message posted to a thread belongs to its queue until taken out.
class Message : public SharedPtrFromThis<Message> {
 public:
  // Result of the message waits.
  enum ReturnValue {
    Failed = 0,    // the wait failed, or a non-blocking look found no message
    Timeout = 1,   // the time-out passed without a message
    Received = 2,  // a message was taken
    Quit = 3       // a quit message (QuitId) was taken
  };

  // Identifiers used by the toolkit itself; 65536 and up belong to the socket server.
  static constexpr unsigned int QuitId = 1;
  static constexpr unsigned int StopThreadId = 2;
  static constexpr unsigned int StartThreadId = 3;
  // As the id of a message sent with SendThreadMessageAndWait: any message answers it.
  static constexpr unsigned int AnyId = 4294967295u;

  // Takes the next process-wide sequence number (never 0) and the calling thread as sender.
  explicit Message(unsigned int id);
  virtual ~Message();

  Message(const Message&) = delete;
  Message& operator=(const Message&) = delete;

  // What the message is.
  const uint32_t id;
  // Process-wide serial number; a reply carries the number of the message it answers.
  const uint32_t sequence;
  // The thread that created the message; replies go back to it.
  const ThreadPtr sender;

 private:
  friend class imp::MessageQueue;
  friend class imp::ThreadBase;

  // Set while a caller of SendThreadMessageAndWait waits for this message to come back.
  std::atomic<bool> awaited_{false};
  // Set on a message handed back to its waiter without having been handled.
  std::atomic<bool> failed_{false};
};

typedef SharedPtr<Message> MessagePtr;

}  // namespace multi_threading
}  // namespace zu
