#pragma once

#include <pthread.h>

#include <atomic>
#include <string>

#include "multi_threading/imp/ThreadBase.h"

namespace zu {
namespace multi_threading {
namespace imp {

// A toolkit thread on a POSIX thread, or a foreign POSIX thread adopted by GetCurrentThread.
class ThreadPthread : public ThreadBase {
 public:
  // A new registered thread idle in its message loop, or empty (logged as name + " failed.").
  static ThreadPtr Create(const std::string& name, unsigned int stackSize, Priority priority);
  // The calling thread's object; adopts the caller when it is not registered yet.
  static ThreadPtr GetCurrentThread();
  // A thread the toolkit created and nobody joined is detached, so its resources go when it
  // ends; the system thread itself is neither stopped nor joined.
  ~ThreadPthread() override;

  bool IsCallingThread() const override;

 protected:
  bool CreateOSThread(InitStruct* init) override;
  bool JoinOSThread() override;
  bool SetPriorityOS(Priority priority) override;

 private:
  ThreadPthread(const std::string& name, unsigned int stackSize, Priority priority, bool adopted,
                pthread_t handle);

  static void* Entry(void* argument);

  // 0 until the system thread exists. Stored by the new thread itself before it signals its
  // start, and by the creator when pthread_create returns (the same value).
  std::atomic<pthread_t> handle_;
  MutexPtr joinMutex_;
  bool joined_ = false;  // guarded by joinMutex_
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
