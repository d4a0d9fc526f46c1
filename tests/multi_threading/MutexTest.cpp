#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <thread>

#include "TestSupport.h"
#include "multi_threading/Factory.h"
#include "multi_threading/ScopedLock.h"

namespace {

using namespace zu::multi_threading;
using zu::Time;

// Runs f on a thread of its own and returns its result.
bool OnOtherThread(const std::function<bool()>& f) {
  bool result = false;
  std::thread thread([&] { result = f(); });
  thread.join();
  return result;
}

TEST(Mutex, RecursiveLockNeedsAsManyUnlocks) {
  MutexPtr mutex = factory::CreateMutex(false);
  ASSERT_TRUE(mutex);
  ASSERT_TRUE(mutex->Lock());
  ASSERT_TRUE(mutex->TryLock());
  EXPECT_FALSE(OnOtherThread([&] { return mutex->TryLock(); }));
  ASSERT_TRUE(mutex->Unlock());
  EXPECT_FALSE(OnOtherThread([&] { return mutex->TryLock(); }));
  ASSERT_TRUE(mutex->Unlock());
  EXPECT_TRUE(OnOtherThread([&] { return mutex->TryLock() && mutex->Unlock(); }));
}

TEST(Mutex, CreatedLockedIsHeldByCreator) {
  MutexPtr mutex = factory::CreateMutex(true);
  ASSERT_TRUE(mutex);
  EXPECT_FALSE(OnOtherThread([&] { return mutex->TryLock(); }));
  EXPECT_FALSE(OnOtherThread([&] { return mutex->TryLock(Time::FromMilliSeconds(10)); }));
  ASSERT_TRUE(mutex->Unlock());
  EXPECT_TRUE(
      OnOtherThread([&] { return mutex->TryLock(Time::FromSeconds(30)) && mutex->Unlock(); }));
}

TEST(Mutex, ScopedLockReleasesOnScopeExit) {
  MutexPtr mutex = factory::CreateMutex(false);
  {
    ScopedLock lock(mutex);
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_FALSE(OnOtherThread([&] { return mutex->TryLock(); }));
  }
  EXPECT_TRUE(OnOtherThread([&] { return mutex->TryLock() && mutex->Unlock(); }));
  ScopedLock empty((MutexPtr()));
  EXPECT_FALSE(empty.IsLocked());
}

TEST(Mutex, TimedLockWithHugeTimeoutWaitsForRelease) {
  MutexPtr mutex = factory::CreateMutex(false);
  EventPtr locked = factory::CreateEvent(true, false);
  EventPtr release = factory::CreateEvent(true, false);
  std::thread holder([&] {
    mutex->Lock();
    locked->Set();
    release->Wait();
    mutex->Unlock();
  });
  ASSERT_TRUE(locked->Wait());
  std::thread releaser([&] {
    zu_test::Settle();
    release->Set();
  });
  // A deadline that wrapped into the past would give up at once.
  EXPECT_TRUE(mutex->TryLock(Time::FromSeconds(ULONG_MAX - 1)));
  EXPECT_TRUE(mutex->Unlock());
  holder.join();
  releaser.join();
}

TEST(Mutex, TimedLockGivesUpAfterTimeout) {
  MutexPtr mutex = factory::CreateMutex(true);
  bool result = true;
  Time elapsed;
  std::thread other([&] {
    Time start = Time::NowMonotonic();
    result = mutex->TryLock(Time::FromMilliSeconds(30));
    elapsed = zu_test::Elapsed(start);
  });
  other.join();
  EXPECT_FALSE(result);
  EXPECT_FALSE(elapsed < Time::FromMilliSeconds(30));
  EXPECT_TRUE(mutex->Unlock());
}

TEST(Mutex, UnlockByNonOwnerIsReported) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizer reports the deliberate misuse itself";
#endif
  MutexPtr mutex = factory::CreateMutex(true);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(OnOtherThread([&] { return mutex->Unlock(); }));
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, output.find("::pthread_mutex_unlock failed: "));
  EXPECT_TRUE(mutex->Unlock());
}

TEST(Mutex, ExclusionHoldsUnderContention) {
  MutexPtr mutex = factory::CreateMutex(false);
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        ScopedLock outer(mutex);
        ScopedLock inner(mutex);
        ++counter;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(8000, counter);
}

TEST(NamedMutex, RecursionAndForeignUnlock) {
  const std::string name = zu_test::UniqueName("mutex_rec");
  MutexPtr mutex = factory::CreateMutex(name, false, factory::CreateNew);
  ASSERT_TRUE(mutex);
  ASSERT_TRUE(mutex->Lock());
  ASSERT_TRUE(mutex->Lock());
  // Another thread's unlock succeeds without effect.
  EXPECT_TRUE(OnOtherThread([&] { return mutex->Unlock(); }));
  EXPECT_FALSE(OnOtherThread([&] { return mutex->TryLock(); }));
  ASSERT_TRUE(mutex->Unlock());
  EXPECT_FALSE(OnOtherThread([&] { return mutex->TryLock(); }));
  ASSERT_TRUE(mutex->Unlock());
  // A further unlock by the former owner changes nothing either.
  EXPECT_TRUE(mutex->Unlock());
  EXPECT_TRUE(OnOtherThread([&] { return mutex->TryLock(Time::FromSeconds(30)); }));
  EXPECT_FALSE(mutex->TryLock());
}

TEST(NamedMutex, OpenersShareTheLockButNotTheRecursion) {
  const std::string name = zu_test::UniqueName("mutex_share");
  MutexPtr first = factory::CreateMutex(name, true, factory::CreateNew);
  ASSERT_TRUE(first);
  EXPECT_FALSE(factory::CreateMutex(name, false, factory::CreateNew));
  MutexPtr second = factory::CreateMutex(name, false, factory::OpenExisting);
  ASSERT_TRUE(second);
  // Same thread, but the other object (as another process would) must wait.
  EXPECT_FALSE(second->TryLock());
  ASSERT_TRUE(first->Unlock());
  EXPECT_TRUE(second->TryLock());
  EXPECT_FALSE(first->TryLock());
  EXPECT_TRUE(second->Unlock());
}

TEST(NamedMutex, OpeningInitiallyLockedWaitsForTheOwner) {
  const std::string name = zu_test::UniqueName("mutex_open_locked");
  MutexPtr first = factory::CreateMutex(name, true, factory::CreateNew);
  ASSERT_TRUE(first);
  std::atomic<bool> opened{false};
  MutexPtr second;
  std::thread opener([&] {
    second = factory::CreateMutex(name, true, factory::OpenExisting);
    opened = true;
  });
  zu_test::Settle();
  EXPECT_FALSE(opened.load());
  ASSERT_TRUE(first->Unlock());
  opener.join();
  ASSERT_TRUE(second);
  // The opener really holds it: the first object cannot take it.
  EXPECT_FALSE(first->TryLock());
}

TEST(NamedMutex, ConditionRefusesANamedMutex) {
  MutexPtr named =
      factory::CreateMutex(zu_test::UniqueName("mutex_cond"), false, factory::CreateOrOpen);
  ASSERT_TRUE(named);
  EXPECT_FALSE(factory::CreateCondition(named));
  EXPECT_FALSE(factory::CreateCondition(MutexPtr()));
}

}  // namespace
