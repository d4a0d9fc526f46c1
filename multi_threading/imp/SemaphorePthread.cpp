#include "multi_threading/imp/SemaphorePthread.h"

#include <fcntl.h>

#include <cerrno>

#include "multi_threading/imp/Deadline.h"
#include "multi_threading/imp/PosixError.h"
#include "multi_threading/imp/TsanAnnotations.h"

namespace zu {
namespace multi_threading {
namespace imp {

namespace {

const mode_t kPermissions = 0700;

sem_t* OpenExclusive(const std::string& name, unsigned int initialCount) {
  return ::sem_open(name.c_str(), O_CREAT | O_EXCL, kPermissions, initialCount);
}

sem_t* OpenPresent(const std::string& name) {
  return ::sem_open(name.c_str(), 0);
}

}  // namespace

SharedPtr<SemaphorePthread> SemaphorePthread::Create(unsigned int initialCount) {
  SharedPtr<SemaphorePthread> semaphore(new SemaphorePthread());
  if (::sem_init(&semaphore->unnamed_, 0, initialCount) != 0) {
    PrintError("::sem_init failed", errno);
    return SharedPtr<SemaphorePthread>();
  }
  semaphore->semaphore_ = &semaphore->unnamed_;
  semaphore->created_ = true;
  return semaphore;
}

SharedPtr<SemaphorePthread> SemaphorePthread::Create(const std::string& name,
                                                     unsigned int initialCount,
                                                     factory::CreationMode mode) {
  sem_t* handle = SEM_FAILED;
  bool created = false;
  switch (mode) {
    case factory::CreateOrOpen:
      // Creating exclusively first tells whether this side made it. Another process may
      // create or unlink the name between the two opens, so try again a few times.
      for (int attempt = 0; attempt < 100 && handle == SEM_FAILED; ++attempt) {
        handle = OpenExclusive(name, initialCount);
        if (handle != SEM_FAILED) {
          created = true;
          break;
        }
        if (errno != EEXIST)
          break;
        handle = OpenPresent(name);
        if (handle == SEM_FAILED && errno != ENOENT)
          break;
      }
      break;
    case factory::CreateNew:
      handle = OpenExclusive(name, initialCount);
      created = handle != SEM_FAILED;
      break;
    case factory::OpenExisting:
      handle = OpenPresent(name);
      break;
  }
  if (handle == SEM_FAILED)
    return SharedPtr<SemaphorePthread>();

  SharedPtr<SemaphorePthread> semaphore(new SemaphorePthread());
  semaphore->semaphore_ = handle;
  semaphore->named_ = true;
  semaphore->created_ = created;
  // Only the side that created the name removes it; one that opened an existing semaphore
  // leaves it to the others still using it.
  if (created)
    semaphore->name_ = name;
  return semaphore;
}

SemaphorePthread::~SemaphorePthread() {
  if (semaphore_ == nullptr)
    return;
  if (!named_) {
    ::sem_destroy(semaphore_);
    return;
  }
  ::sem_close(semaphore_);
  if (!name_.empty())
    ::sem_unlink(name_.c_str());
}

bool SemaphorePthread::Wait() {
  while (::sem_wait(semaphore_) != 0) {
    int error = errno;
    if (error != EINTR) {
      PrintError("::sem_wait failed", error);
      return false;
    }
  }
  return true;
}

bool SemaphorePthread::TryWait() {
  return ::sem_trywait(semaphore_) == 0;
}

bool SemaphorePthread::TryWait(const Time& timeout) {
  // One deadline for all attempts: a signal neither restarts nor stretches the wait.
  timespec deadline = MonotonicDeadline(timeout);
  while (::sem_clockwait(semaphore_, CLOCK_MONOTONIC, &deadline) != 0) {
    int error = errno;
    if (error == EINTR)
      continue;
    if (error != ETIMEDOUT)
      PrintError("::sem_timedwait failed", error);
    return false;
  }
  tsan::AfterSemaphoreTaken(semaphore_);
  return true;
}

bool SemaphorePthread::Post() {
  if (::sem_post(semaphore_) != 0) {
    PrintError("::sem_post failed", errno);
    return false;
  }
  return true;
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
