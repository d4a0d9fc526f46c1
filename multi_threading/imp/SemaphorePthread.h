#pragma once

#include <semaphore.h>

#include <string>

#include "multi_threading/Factory.h"
#include "multi_threading/Semaphore.h"

namespace zu {
namespace multi_threading {
namespace imp {

// A POSIX semaphore: unnamed (sem_init, private to the process) or named (sem_open).
class SemaphorePthread : public Semaphore {
 public:
  // An unnamed semaphore, or empty when sem_init failed (printed).
  static SharedPtr<SemaphorePthread> Create(unsigned int initialCount);
  // A named semaphore opened as mode says, with permissions 0700; empty (not printed) when
  // the open failed. OpenExisting never creates one.
  static SharedPtr<SemaphorePthread> Create(const std::string& name, unsigned int initialCount,
                                            factory::CreationMode mode);
  // Unnamed: destroyed. Named: closed, and the name unlinked when this object's open created
  // it.
  ~SemaphorePthread() override;

  bool Wait() override;
  bool TryWait() override;
  bool TryWait(const Time& timeout) override;
  bool Post() override;

  // True when this object's open created the named semaphore (or it is unnamed).
  bool WasCreated() const { return created_; }

  SemaphorePthread(const SemaphorePthread&) = delete;
  SemaphorePthread& operator=(const SemaphorePthread&) = delete;

 private:
  SemaphorePthread() = default;

  sem_t unnamed_;
  sem_t* semaphore_ = nullptr;  // &unnamed_ or the result of sem_open
  std::string name_;            // kept only where the destructor unlinks it
  bool named_ = false;
  bool created_ = false;
};

typedef SharedPtr<SemaphorePthread> SemaphorePthreadPtr;

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
