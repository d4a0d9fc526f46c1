#include "multi_threading/imp/ThreadPthread.h"

#include <sched.h>

#include "base/System.h"
#include "multi_threading/ScopedLock.h"
#include "multi_threading/imp/ThreadRegistry.h"
#include "output/Output.h"

namespace zu {
namespace multi_threading {
namespace imp {

namespace {

// Releases the registry's entry of an adopted thread when the thread ends, so that a later
// thread that gets the same pthread_t value is not mistaken for it (and does not inherit
// its queue).
struct AdoptedThreadRelease {
  const ThreadBase* thread = nullptr;
  ~AdoptedThreadRelease();
};

// Trivially destructible, so still readable while the thread's destructors run.
thread_local bool adoptionReleased = false;
thread_local AdoptedThreadRelease adoptedThread;

AdoptedThreadRelease::~AdoptedThreadRelease() {
  adoptionReleased = true;
  if (thread == nullptr)
    return;
  SharedPtr<ThreadBase> ended = ThreadRegistry::Remove(thread);
  if (ended)
    ended->Close();
}

struct PriorityRange {
  int min;
  int max;
  int normal;
};

PriorityRange ComputePriorityRange() {
  PriorityRange range{};
  range.min = ::sched_get_priority_min(SCHED_OTHER);
  range.max = ::sched_get_priority_max(SCHED_OTHER);
  range.normal = range.max - range.min < 2 ? range.min : (range.max + range.min) / 2;
  return range;
}

int MapPriority(Thread::Priority priority) {
  static const PriorityRange range = ComputePriorityRange();
  switch (priority) {
    case Thread::Lowest:
      return range.min;
    case Thread::Low:
      return (range.normal + range.min) / 2;
    case Thread::Normal:
      return range.normal;
    case Thread::High:
      return (range.normal + range.max) / 2;
    case Thread::Highest:
      return range.max;
  }
  return range.normal;
}

}  // namespace

ThreadPthread::ThreadPthread(const std::string& name, unsigned int stackSize, Priority priority,
                             bool adopted, pthread_t handle)
    : ThreadBase(name, stackSize, priority, adopted),
      handle_(handle),
      joinMutex_(factory::CreateMutex(false)) {}

ThreadPthread::~ThreadPthread() {
  pthread_t handle = handle_.load();
  if (!IsAdopted() && handle != 0 && !joined_)
    ::pthread_detach(handle);
}

ThreadPtr ThreadPthread::Create(const std::string& name, unsigned int stackSize,
                                Priority priority) {
  SharedPtr<ThreadPthread> thread(new ThreadPthread(name, stackSize, priority, false, 0));
  if (!thread->IsUsable() || !thread->joinMutex_) {
    ZU_ERROR("ZUMT", name + " failed.");
    return ThreadPtr();
  }
  ThreadRegistry::Add(thread);
  if (!thread->Init()) {
    ZU_ERROR("ZUMT", name + " failed.");
    if (thread->handle_.load() != 0)
      thread->Stop();  // its loop runs: end it rather than leave it unreachable
    else
      ThreadRegistry::Remove(thread.get()).reset();
    return ThreadPtr();
  }
  return thread;
}

ThreadPtr ThreadPthread::GetCurrentThread() {
  ScopedLock lock(ThreadRegistry::GetMutex());
  ThreadPtr found = ThreadRegistry::FindCallingThread();
  if (found)
    return found;

  const pthread_t self = ::pthread_self();
  const std::string name = std::to_string(static_cast<unsigned long>(self));
  SharedPtr<ThreadPthread> thread(new ThreadPthread(name, 0, Normal, true, self));
  if (!thread->IsUsable()) {
    ZU_ERROR("ZUMT", name + " failed.");
    return ThreadPtr();
  }
  ThreadRegistry::Add(thread);
  if (!adoptionReleased)
    adoptedThread.thread = thread.get();
  return thread;
}

bool ThreadPthread::IsCallingThread() const {
  pthread_t handle = handle_.load();
  return handle != 0 && ::pthread_equal(handle, ::pthread_self());
}

void* ThreadPthread::Entry(void* argument) {
  InitStruct* init = static_cast<InitStruct*>(argument);
  // Before anything can ask for the current thread on this thread.
  static_cast<ThreadPthread*>(init->thread)->handle_.store(::pthread_self());
  ThreadRunner(init);
  return nullptr;
}

bool ThreadPthread::CreateOSThread(InitStruct* init) {
  pthread_attr_t attributes;
  if (::pthread_attr_init(&attributes) != 0) {
    ZU_ERROR("ZUMT", GetName() + " failed.");
    return false;
  }
  if (GetStackSize() != 0 && ::pthread_attr_setstacksize(&attributes, GetStackSize()) != 0) {
    ZU_ERROR("ZUMT", GetName() + " failed.");
    ::pthread_attr_destroy(&attributes);
    return false;
  }
  pthread_t handle = 0;
  int error = ::pthread_create(&handle, &attributes, &ThreadPthread::Entry, init);
  ::pthread_attr_destroy(&attributes);
  if (error != 0) {
    ZU_ERROR("ZUMT", GetName() + " failed.");
    return false;
  }
  handle_.store(handle);
  return true;
}

bool ThreadPthread::JoinOSThread() {
  if (IsAdopted())
    return false;
  ScopedLock lock(joinMutex_);
  if (joined_)
    return true;
  pthread_t handle = handle_.load();
  if (handle == 0 || ::pthread_equal(handle, ::pthread_self())) {
    ZU_ERROR("ZUMT", GetName() + " failed.");
    return false;
  }
  int error = ::pthread_join(handle, nullptr);
  if (error != 0) {
    ZU_ERROR("ZUMT", GetName() + " failed.");
    return false;
  }
  joined_ = true;
  // The value may now be reused by another thread.
  handle_.store(0);
  return true;
}

bool ThreadPthread::SetPriorityOS(Priority priority) {
  pthread_t handle = handle_.load();
  if (handle == 0) {
    ZU_ERROR("ZUMT", GetName() + " failed.");
    return false;
  }
  int policy = 0;
  sched_param parameters{};
  int error = ::pthread_getschedparam(handle, &policy, &parameters);
  if (error != 0) {
    ZU_ERROR("ZUMT", GetName() + "(error=" + std::to_string(error) + " " +
                         zu::system::GetErrorMessage(error) + " failed.");
    return false;
  }
  parameters.sched_priority = MapPriority(priority);
  error = ::pthread_setschedparam(handle, policy, &parameters);
  if (error != 0) {
    ZU_ERROR("ZUMT", GetName() + "(error=" + std::to_string(error) + " " +
                         zu::system::GetErrorMessage(error) + " failed.");
    return false;
  }
  return true;
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
