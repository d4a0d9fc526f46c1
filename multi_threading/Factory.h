#pragma once

#include <string>

#include "multi_threading/Condition.h"
#include "multi_threading/Event.h"
#include "multi_threading/MessageDispatcher.h"
#include "multi_threading/Mutex.h"
#include "multi_threading/Semaphore.h"
#include "multi_threading/Thread.h"

namespace zu {
namespace multi_threading {
namespace factory {

// How a named object is reached.
enum CreationMode {
  CreateOrOpen = 0,  // open it, creating it if needed
  CreateNew = 1,     // create it; fail if it exists
  OpenExisting = 2   // open it; fail if it does not exist
};

// Every factory returns an empty pointer on failure.

// A recursive process-private mutex; with initiallyLocked the caller holds it once.
MutexPtr CreateMutex(bool initiallyLocked);
// A recursive mutex shared between processes under name (over a named semaphore). With
// initiallyLocked the caller owns it once: a mutex it created starts owned, an existing one
// is waited for. Ownership and recursion are per thread and per process.
MutexPtr CreateMutex(const std::string& name, bool initiallyLocked, CreationMode mode);
// A semaphore private to the process.
SemaphorePtr CreateSemaphore(unsigned int initialCount);
// A semaphore shared between processes; the name goes to the system unchanged (for example
// "/name"). The side whose open created it (CreateNew, or CreateOrOpen finding no such
// semaphore) removes the name when its object is destroyed. A failed open is not printed.
SemaphorePtr CreateSemaphore(const std::string& name, unsigned int initialCount, CreationMode mode);
EventPtr CreateEvent(bool manualReset, bool initiallySet);
// A condition with a new process-private mutex of its own.
ConditionPtr CreateCondition();
// A condition on the given mutex, which must come from CreateMutex(bool); otherwise an
// error is logged and the result is empty.
ConditionPtr CreateCondition(MutexPtr mutex);

// A new thread, idle in its message loop, or empty (logged as name + " failed.").
ThreadPtr CreateThread(const std::string& name, unsigned int stackSize, Thread::Priority priority);
// The calling thread. A thread the toolkit does not know yet is adopted under its numeric
// thread id as name; it keeps that object until it ends.
ThreadPtr GetCurrentThread();
// A new thread running a CommandExecutionThreadObject, or empty.
ThreadPtr CreateCommandExecutionThread(const std::string& name, unsigned int stackSize,
                                       Thread::Priority priority);
MessageDispatcherPtr CreateMessageDispatcher();

}  // namespace factory
}  // namespace multi_threading
}  // namespace zu
