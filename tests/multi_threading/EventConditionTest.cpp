#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "multi_threading/Factory.h"
#include "multi_threading/ScopedLock.h"

namespace {

using namespace zu::multi_threading;
using zu::Time;
using zu_test::WaitFor;

struct Waiters {
  explicit Waiters(EventPtr event, int count, bool timed = false) {
    for (int i = 0; i < count; ++i) {
      threads.emplace_back([this, event, timed] {
        ++started;
        if (timed ? event->TryWait(Time::FromSeconds(60)) : event->Wait())
          ++released;
      });
    }
  }
  ~Waiters() {
    for (std::thread& thread : threads)
      thread.join();
  }
  std::atomic<int> started{0};
  std::atomic<int> released{0};
  std::vector<std::thread> threads;
};

class AutoResetEvent : public testing::TestWithParam<bool> {};

TEST_P(AutoResetEvent, EachSetReleasesOneWaiter) {
  EventPtr event = factory::CreateEvent(false, false);
  ASSERT_TRUE(event);
  Waiters waiters(event, 3, GetParam());
  ASSERT_TRUE(WaitFor([&] { return waiters.started == 3; }));
  for (int round = 1; round <= 3; ++round) {
    EXPECT_TRUE(event->Set());
    ASSERT_TRUE(WaitFor([&] { return waiters.released == round; }));
    zu_test::Settle();
    EXPECT_EQ(round, waiters.released.load());
  }
  EXPECT_FALSE(event->TryWait());  // every signal was consumed
}

INSTANTIATE_TEST_SUITE_P(UntimedAndTimed, AutoResetEvent, testing::Bool());

TEST(Event, ManualResetReleasesEveryWaiterAndStaysSet) {
  EventPtr event = factory::CreateEvent(true, false);
  {
    Waiters waiters(event, 3);
    Waiters timed(event, 2, true);
    ASSERT_TRUE(WaitFor([&] { return waiters.started == 3 && timed.started == 2; }));
    EXPECT_TRUE(event->Set());
    ASSERT_TRUE(WaitFor([&] { return waiters.released == 3 && timed.released == 2; }));
  }
  EXPECT_TRUE(event->TryWait());
  EXPECT_TRUE(event->TryWait());
  EXPECT_TRUE(event->TryWait(Time::FromMilliSeconds(1)));
  EXPECT_TRUE(event->Reset());
  EXPECT_FALSE(event->TryWait());
}

TEST(Event, InitiallySetAndZeroAndInfiniteTimeouts) {
  EventPtr set = factory::CreateEvent(false, true);
  EXPECT_TRUE(set->TryWait(Time::Zero()));
  EXPECT_FALSE(set->TryWait(Time::Zero()));

  EventPtr event = factory::CreateEvent(false, false);
  std::thread setter([&] {
    zu_test::Settle();
    event->Set();
  });
  EXPECT_TRUE(event->TryWait(Time::Infinite()));
  setter.join();
  std::thread setter2([&] {
    zu_test::Settle();
    event->Set();
  });
  // Not Infinite(), but far too large for the clock: must still wait for the signal.
  EXPECT_TRUE(event->TryWait(Time(Time::Infinite().GetSeconds() - 1, 5)));
  setter2.join();
}

TEST(Event, TimedWaitIsNotCutShortBySignalsTakenByOthers) {
  EventPtr event = factory::CreateEvent(false, false);
  const Time timeout = Time::FromMilliSeconds(200);
  std::atomic<bool> started{false};
  bool result = true;
  Time elapsed;
  std::thread waiter([&] {
    started = true;
    Time start = Time::NowMonotonic();
    result = event->TryWait(timeout);
    elapsed = zu_test::Elapsed(start);
  });
  ASSERT_TRUE(WaitFor([&] { return started.load(); }));
  for (int i = 0; i < 20; ++i) {
    // The waiter is woken, but the signal is gone when it looks.
    event->Set();
    event->Reset();
  }
  waiter.join();
  if (!result) {
    EXPECT_FALSE(elapsed < timeout);
  }
}

TEST(Condition, WaitsForPredicateAndTimesOut) {
  ConditionPtr condition = factory::CreateCondition();
  ASSERT_TRUE(condition);
  MutexPtr mutex = condition->GetMutex();
  ASSERT_TRUE(mutex);
  int value = 0;
  std::thread producer([&] {
    for (int i = 1; i <= 3; ++i) {
      ScopedLock lock(mutex);
      value = i;
      condition->Broadcast();
    }
  });
  {
    ScopedLock lock(mutex);
    while (value != 3)
      ASSERT_TRUE(condition->TryWait(Time::FromSeconds(30)) || value == 3);
  }
  producer.join();

  ScopedLock lock(mutex);
  Time start = Time::NowMonotonic();
  EXPECT_FALSE(condition->TryWait(Time::FromMilliSeconds(20)));
  EXPECT_FALSE(zu_test::Elapsed(start) < Time::FromMilliSeconds(20));
}

TEST(Condition, SharesTheGivenMutexAndSignalsOne) {
  MutexPtr mutex = factory::CreateMutex(false);
  ConditionPtr condition = factory::CreateCondition(mutex);
  ASSERT_TRUE(condition);
  EXPECT_EQ(mutex, condition->GetMutex());

  bool ready = false;
  std::thread waiter([&] {
    ScopedLock lock(mutex);
    while (!ready)
      condition->Wait();
  });
  {
    ScopedLock lock(mutex);
    ready = true;
    EXPECT_TRUE(condition->Signal());
  }
  waiter.join();
}

}  // namespace
