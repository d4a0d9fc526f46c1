#pragma once

#include <cstddef>

#include "multi_threading/Mutex.h"
#include "multi_threading/Thread.h"

namespace zu {
namespace multi_threading {
namespace imp {

class ThreadBase;

// The process-wide list of the threads the toolkit knows: every thread made by CreateThread
// until its message loop ends, and every adopted thread until it ends. It is created on
// first use and never destroyed, so threads that end, start or are adopted at any time
// (also while the process exits) always find it.
class ThreadRegistry {
 public:
  // The registry's recursive mutex; hold it to make a look-up and an insertion one step.
  static MutexPtr GetMutex();
  static void Add(SharedPtr<ThreadBase> thread);
  // Takes thread out of the registry and returns the registry's reference (empty when it
  // was not registered); the caller's release of it may destroy the thread object.
  static SharedPtr<ThreadBase> Remove(const ThreadBase* thread);
  // The registered thread whose system thread is the caller, or empty.
  static ThreadPtr FindCallingThread();
  // Number of registered threads.
  static size_t Count();
};

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
