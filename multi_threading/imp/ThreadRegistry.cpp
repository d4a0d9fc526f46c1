#include "multi_threading/imp/ThreadRegistry.h"

#include <vector>

#include "multi_threading/Factory.h"
#include "multi_threading/ScopedLock.h"
#include "multi_threading/imp/ThreadBase.h"

namespace zu {
namespace multi_threading {
namespace imp {

namespace {

struct Registry {
  MutexPtr mutex = factory::CreateMutex(false);
  std::vector<SharedPtr<ThreadBase>> threads;
};

Registry& Instance() {
  // Never destroyed: a thread may end or be adopted after static destruction has begun.
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace

MutexPtr ThreadRegistry::GetMutex() {
  return Instance().mutex;
}

void ThreadRegistry::Add(SharedPtr<ThreadBase> thread) {
  Registry& registry = Instance();
  ScopedLock lock(registry.mutex);
  registry.threads.push_back(std::move(thread));
}

SharedPtr<ThreadBase> ThreadRegistry::Remove(const ThreadBase* thread) {
  SharedPtr<ThreadBase> removed;
  Registry& registry = Instance();
  ScopedLock lock(registry.mutex);
  for (auto it = registry.threads.begin(); it != registry.threads.end(); ++it) {
    if (it->get() == thread) {
      removed = std::move(*it);
      registry.threads.erase(it);
      break;
    }
  }
  return removed;
}

ThreadPtr ThreadRegistry::FindCallingThread() {
  Registry& registry = Instance();
  ScopedLock lock(registry.mutex);
  for (const SharedPtr<ThreadBase>& thread : registry.threads) {
    if (thread->IsCallingThread())
      return thread;
  }
  return ThreadPtr();
}

size_t ThreadRegistry::Count() {
  Registry& registry = Instance();
  ScopedLock lock(registry.mutex);
  return registry.threads.size();
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
