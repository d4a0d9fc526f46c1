#include <gtest/gtest.h>
#include <semaphore.h>

#include <atomic>
#include <climits>
#include <thread>

#include "TestSupport.h"
#include "multi_threading/Factory.h"

namespace {

using namespace zu::multi_threading;
using zu::Time;

TEST(Semaphore, CountsPostsAndWaits) {
  SemaphorePtr semaphore = factory::CreateSemaphore(2);
  ASSERT_TRUE(semaphore);
  EXPECT_TRUE(semaphore->TryWait());
  EXPECT_TRUE(semaphore->Wait());
  EXPECT_FALSE(semaphore->TryWait());
  EXPECT_FALSE(semaphore->TryWait(Time::FromMilliSeconds(10)));
  EXPECT_TRUE(semaphore->Post());
  EXPECT_TRUE(semaphore->TryWait(Time::FromMilliSeconds(10)));
}

TEST(Semaphore, WaiterIsReleasedByPostFromAnotherThread) {
  SemaphorePtr semaphore = factory::CreateSemaphore(0);
  std::atomic<int> taken{0};
  std::thread waiter([&] {
    if (semaphore->Wait())
      ++taken;
    if (semaphore->TryWait(Time::FromSeconds(30)))
      ++taken;
  });
  EXPECT_TRUE(semaphore->Post());
  EXPECT_TRUE(semaphore->Post());
  waiter.join();
  EXPECT_EQ(2, taken.load());
}

TEST(Semaphore, HugeTimeoutDoesNotReturnAtOnce) {
  SemaphorePtr semaphore = factory::CreateSemaphore(0);
  std::thread poster([&] {
    zu_test::Settle();
    semaphore->Post();
  });
  // A deadline that wrapped into the past would give up (or fail) at once.
  EXPECT_TRUE(semaphore->TryWait(Time::Infinite()));
  poster.join();
  std::thread poster2([&] {
    zu_test::Settle();
    semaphore->Post();
  });
  EXPECT_TRUE(semaphore->TryWait(Time(ULONG_MAX - 3, 999999999)));
  poster2.join();
}

TEST(Semaphore, TimedWaitLastsItsTimeout) {
  SemaphorePtr semaphore = factory::CreateSemaphore(0);
  Time start = Time::NowMonotonic();
  EXPECT_FALSE(semaphore->TryWait(Time::FromMilliSeconds(30)));
  EXPECT_FALSE(zu_test::Elapsed(start) < Time::FromMilliSeconds(30));
}

TEST(Semaphore, FailuresArePrinted) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(factory::CreateSemaphore(static_cast<unsigned int>(SEM_VALUE_MAX) + 1u));
  SemaphorePtr full = factory::CreateSemaphore(SEM_VALUE_MAX);
  ASSERT_TRUE(full);
  EXPECT_FALSE(full->Post());
  std::string output = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos, output.find("::sem_init failed: Invalid argument"));
  EXPECT_NE(std::string::npos, output.find("::sem_post failed: Value too large"));
  // Still usable.
  EXPECT_TRUE(full->TryWait());
  EXPECT_TRUE(full->Post());
}

TEST(NamedSemaphore, CreateNewFailsOnExistingAndCreatorUnlinks) {
  const std::string name = zu_test::UniqueName("sem_new");
  SemaphorePtr creator = factory::CreateSemaphore(name, 1, factory::CreateNew);
  ASSERT_TRUE(creator);
  EXPECT_FALSE(factory::CreateSemaphore(name, 1, factory::CreateNew));
  SemaphorePtr opener = factory::CreateSemaphore(name, 5, factory::OpenExisting);
  ASSERT_TRUE(opener);
  // One semaphore: the opener's count argument is ignored and the count is shared.
  EXPECT_TRUE(opener->TryWait());
  EXPECT_FALSE(creator->TryWait());
  EXPECT_TRUE(opener->Post());
  EXPECT_TRUE(creator->TryWait());

  creator.reset();
  EXPECT_FALSE(factory::CreateSemaphore(name, 0, factory::OpenExisting));
  EXPECT_TRUE(opener->Post());  // the opened object stays usable
  EXPECT_TRUE(opener->TryWait());
}

TEST(NamedSemaphore, OpenExistingNeverCreatesAndDoesNotUnlink) {
  const std::string name = zu_test::UniqueName("sem_open");
  EXPECT_FALSE(factory::CreateSemaphore(name, 1, factory::OpenExisting));
  // Nothing was left behind by the failed open.
  SemaphorePtr creator = factory::CreateSemaphore(name, 0, factory::CreateNew);
  ASSERT_TRUE(creator);
  factory::CreateSemaphore(name, 0, factory::OpenExisting).reset();
  SemaphorePtr again = factory::CreateSemaphore(name, 0, factory::OpenExisting);
  EXPECT_TRUE(again);
}

TEST(NamedSemaphore, CreateOrOpenCreatesOrShares) {
  const std::string name = zu_test::UniqueName("sem_either");
  SemaphorePtr first = factory::CreateSemaphore(name, 0, factory::CreateOrOpen);
  ASSERT_TRUE(first);
  SemaphorePtr second = factory::CreateSemaphore(name, 3, factory::CreateOrOpen);
  ASSERT_TRUE(second);
  EXPECT_FALSE(second->TryWait());  // the existing count (0) holds, not 3
  EXPECT_TRUE(first->Post());
  EXPECT_TRUE(second->TryWait(Time::FromSeconds(30)));
  // Only the creator removes the name: a side that merely opened it leaves it to others.
  second.reset();
  EXPECT_TRUE(factory::CreateSemaphore(name, 0, factory::OpenExisting));
  first.reset();
  EXPECT_FALSE(factory::CreateSemaphore(name, 0, factory::OpenExisting));
}

TEST(NamedSemaphore, BadNameGivesEmptyPointer) {
  EXPECT_FALSE(factory::CreateSemaphore("/bad/name", 0, factory::CreateOrOpen));
  EXPECT_FALSE(factory::CreateSemaphore("", 0, factory::CreateNew));
}

}  // namespace
