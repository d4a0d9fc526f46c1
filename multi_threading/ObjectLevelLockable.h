#pragma once

#include "multi_threading/Factory.h"
#include "multi_threading/Mutex.h"

namespace zu {
namespace multi_threading {

// Gives every object of the deriving class T its own recursive mutex, created unlocked with
// the object, to guard the object's fields: ScopedLock lock(GetObjectMutex()).
template <class T>
class ObjectLevelLockable {
 protected:
  ObjectLevelLockable() : objectMutex_(factory::CreateMutex(false)) {}
  ~ObjectLevelLockable() = default;

  // Empty only when the mutex could not be created (printed at creation).
  const MutexPtr& GetObjectMutex() const { return objectMutex_; }

 private:
  MutexPtr objectMutex_;
};

}  // namespace multi_threading
}  // namespace zu
