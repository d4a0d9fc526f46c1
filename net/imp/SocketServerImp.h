#pragma once

#include <atomic>
#include <vector>

#include "multi_threading/Message.h"
#include "multi_threading/Thread.h"
#include "multi_threading/Time.h"
#include "net/SocketServer.h"
#include "net/imp/WakeUpSignal.h"

namespace zu {
namespace multi_threading {
namespace imp {
class ThreadBase;
}
}  // namespace multi_threading

namespace net {
namespace imp {

// The socket server on a toolkit thread named "SocketServerImp". The thread waits in poll
// for its sockets and for a wake-up signal given whenever a message is queued for it, so a
// request is handled at once and a pass lasts at most 300 ms. poll, unlike select, serves
// descriptors of any number.
class SocketServerImp : public SocketServer {
 public:
  // A server whose thread runs Run and waits for the start message; empty on failure.
  static SharedPtr<SocketServerImp> Create();
  // Stop(true). Released on its own thread (by a receiver dropping the last reference), it
  // cannot join itself: the loop is then left at once and the thread ends on its own.
  ~SocketServerImp() override;

  bool Start(bool wait) override;
  void Stop(bool wait) override;
  bool AddSocket(ReadWriteSocketPtr socket, DataReceiverPtr receiver) override;
  bool RemoveSocket(ReadWriteSocketPtr socket) override;

  // The thread body: handles messages until the stop message, with a poll pass whenever the
  // queue is empty once started. Server thread only.
  virtual bool Run();
  // One poll pass of at most 300 ms, handing readable sockets to their receivers; false
  // when poll failed (logged as "Select error"). Server thread only.
  virtual bool Accept();
  // Acts on one of the server's messages; false for any other id. Server thread only.
  virtual bool HandleMessage(multi_threading::MessagePtr message);

  SocketServerImp(const SocketServerImp&) = delete;
  SocketServerImp& operator=(const SocketServerImp&) = delete;

 private:
  SocketServerImp() = default;
  bool Init();
  // Whether the caller is the server's own thread.
  bool OnServerThread() const;
  // Waits up to 300 ms for the wake-up signal only; used after a failed poll so that a
  // lasting failure does not spin.
  void WaitForWakeUp();

  // Touched only by the server thread.
  std::vector<ReadWriteSocketPtr> sockets;
  std::vector<DataReceiverPtr> receivers;
  zu::Time waitTime = zu::Time::Infinite();
  bool running = false;

  // Set once by Init, read-only afterwards.
  multi_threading::ThreadPtr thread;
  SharedPtr<multi_threading::imp::ThreadBase> threadBase_;
  WakeUpSignalPtr wakeUp_;
  // Cleared when the server is destroyed on its own thread; the loop holds its own
  // reference and leaves without touching the object once it is false.
  SharedPtr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
  // Set by the first Stop: later requests would reach a thread no longer running the loop.
  std::atomic<bool> stopRequested_{false};
};

}  // namespace imp
}  // namespace net
}  // namespace zu
