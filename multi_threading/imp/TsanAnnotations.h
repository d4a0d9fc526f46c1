#pragma once

// ThreadSanitizer knows the POSIX synchronisation calls only through its interceptors, and
// it has none for pthread_mutex_clocklock and sem_clockwait. These hooks tell it what those
// calls did; in other builds they compile to nothing.

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define ZU_TSAN_ENABLED 1
#endif

namespace zu {
namespace multi_threading {
namespace imp {
namespace tsan {

// Around a timed lock of a mutex the sanitizer tracks (made by pthread_mutex_init).
inline void BeforeTimedLock(void* mutex) {
#ifdef ZU_TSAN_ENABLED
  __tsan_mutex_pre_lock(mutex, __tsan_mutex_try_lock);
#else
  (void)mutex;
#endif
}
inline void AfterTimedLock(void* mutex, bool locked) {
#ifdef ZU_TSAN_ENABLED
  __tsan_mutex_post_lock(
      mutex, locked ? __tsan_mutex_try_lock : __tsan_mutex_try_lock | __tsan_mutex_try_lock_failed,
      0);
#else
  (void)mutex;
  (void)locked;
#endif
}
// After a successful timed semaphore wait: pairs with the release sem_post reports.
inline void AfterSemaphoreTaken(void* semaphore) {
#ifdef ZU_TSAN_ENABLED
  __tsan_acquire(semaphore);
#else
  (void)semaphore;
#endif
}

}  // namespace tsan
}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
