#include "multi_threading/Factory.h"

#include "multi_threading/CommandExecutionThreadObject.h"
#include "multi_threading/imp/ConditionPthread.h"
#include "multi_threading/imp/EventPthread.h"
#include "multi_threading/imp/MessageDispatcherImp.h"
#include "multi_threading/imp/MutexPthread.h"
#include "multi_threading/imp/MutexSharedPthread.h"
#include "multi_threading/imp/SemaphorePthread.h"
#include "multi_threading/imp/ThreadPthread.h"
#include "output/Output.h"

namespace zu {
namespace multi_threading {
namespace factory {

MutexPtr CreateMutex(bool initiallyLocked) {
  imp::MutexPthreadPtr mutex = imp::MutexPthread::Create();
  if (mutex && initiallyLocked && !mutex->Lock())
    return MutexPtr();
  return mutex;
}

MutexPtr CreateMutex(const std::string& name, bool initiallyLocked, CreationMode mode) {
  imp::SemaphorePthreadPtr semaphore =
      imp::SemaphorePthread::Create(name, initiallyLocked ? 0 : 1, mode);
  if (!semaphore)
    return MutexPtr();
  // Only a semaphore this call created starts taken; an existing one must be waited for,
  // or two owners would hold the mutex at once.
  if (initiallyLocked && !semaphore->WasCreated() && !semaphore->Wait())
    return MutexPtr();
  return MutexPtr(new imp::MutexSharedPthread(semaphore, initiallyLocked));
}

SemaphorePtr CreateSemaphore(unsigned int initialCount) {
  return imp::SemaphorePthread::Create(initialCount);
}

SemaphorePtr CreateSemaphore(const std::string& name, unsigned int initialCount,
                             CreationMode mode) {
  return imp::SemaphorePthread::Create(name, initialCount, mode);
}

EventPtr CreateEvent(bool manualReset, bool initiallySet) {
  imp::ConditionPthreadPtr condition = imp::ConditionPthread::Create(imp::MutexPthread::Create());
  if (!condition)
    return EventPtr();
  return EventPtr(new imp::EventPthread(manualReset, initiallySet, condition));
}

ConditionPtr CreateCondition() {
  return imp::ConditionPthread::Create(imp::MutexPthread::Create());
}

ConditionPtr CreateCondition(MutexPtr mutex) {
  imp::MutexPthreadPtr own = std::dynamic_pointer_cast<imp::MutexPthread>(mutex);
  if (!own) {
    ZU_ERROR("ZUMT", "a condition needs a mutex made by CreateMutex(bool)");
    return ConditionPtr();
  }
  return imp::ConditionPthread::Create(own);
}

ThreadPtr CreateThread(const std::string& name, unsigned int stackSize, Thread::Priority priority) {
  return imp::ThreadPthread::Create(name, stackSize, priority);
}

ThreadPtr GetCurrentThread() {
  return imp::ThreadPthread::GetCurrentThread();
}

ThreadPtr CreateCommandExecutionThread(const std::string& name, unsigned int stackSize,
                                       Thread::Priority priority) {
  ThreadPtr thread = CreateThread(name, stackSize, priority);
  if (!thread)
    return ThreadPtr();
  if (!thread->Start(ThreadObjectPtr(new CommandExecutionThreadObject()))) {
    thread->Stop();
    return ThreadPtr();
  }
  return thread;
}

MessageDispatcherPtr CreateMessageDispatcher() {
  return MessageDispatcherPtr(new imp::MessageDispatcherImp());
}

}  // namespace factory
}  // namespace multi_threading
}  // namespace zu
