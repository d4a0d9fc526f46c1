#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "multi_threading/Time.h"
#include "multi_threading/imp/Deadline.h"

namespace {

using zu::Time;

TEST(Time, ConstructionNormalisesNanoseconds) {
  EXPECT_EQ(Time(6, 500000000), Time(5, 1500000000));
  EXPECT_EQ(Time(3, 0), Time(0, 3000000000UL));
  EXPECT_EQ(Time(1, 500000000), Time::FromMilliSeconds(1500));
  EXPECT_EQ(Time(2, 3000), Time::FromMicroSeconds(2000003));
  EXPECT_EQ(Time(4, 999999999), Time::FromNanoSeconds(4999999999UL));
  EXPECT_EQ(Time(7, 0), Time::FromSeconds(7));
  EXPECT_EQ(0u, Time::Zero().GetSeconds());
  EXPECT_EQ(UINT64_MAX, Time::Infinite().GetSeconds());
  EXPECT_EQ(0u, Time::Infinite().GetNanoSeconds());
}

TEST(Time, AdditionCarriesAndWrapsWithoutSaturation) {
  Time a(1, 600000000);
  a += Time(2, 500000000);
  EXPECT_EQ(Time(4, 100000000), a);
  a += Time(0, 899999999);
  EXPECT_EQ(Time(4, 999999999), a);

  Time wrapped = Time::Infinite();
  wrapped += Time::FromSeconds(2);
  EXPECT_EQ(Time(1, 0), wrapped);
}

TEST(Time, SubtractionBorrowsAndThrowsBelowZero) {
  Time a(1, 0);
  a -= Time(0, 500000000);
  EXPECT_EQ(Time(0, 500000000), a);
  EXPECT_EQ(Time(2, 999999999), Time(5, 0) - Time(2, 1));
  EXPECT_EQ(Time::Zero(), Time(3, 3) - Time(3, 3));

  Time zero;
  EXPECT_THROW(zero -= Time(0, 1), zu::UnderflowError);
  EXPECT_EQ(Time::Zero(), zero);  // unchanged by the failed subtraction
  EXPECT_THROW(Time(1, 0) - Time(1, 1), zu::UnderflowError);
  EXPECT_THROW(Time(1, 5) - Time(2, 0), zu::UnderflowError);
  try {
    Time(0, 0) - Time(1, 0);
    FAIL();
  } catch (const zu::Exception& e) {
    EXPECT_STREQ("zu::Time::UnderflowError", e.what());
  }
}

TEST(Time, OrderComparesSecondsThenNanoseconds) {
  EXPECT_TRUE(Time(1, 999999999) < Time(2, 0));
  EXPECT_TRUE(Time(2, 1) < Time(2, 2));
  EXPECT_FALSE(Time(2, 2) < Time(2, 2));
  EXPECT_FALSE(Time::Infinite() < Time(5, 0));  // unsigned: the largest value stays largest
  EXPECT_NE(Time(2, 1), Time(2, 2));
}

TEST(Time, ClocksAdvance) {
  Time first = Time::NowMonotonic();
  Time second = Time::NowMonotonic();
  EXPECT_FALSE(second < first);
  EXPECT_LT(Time::Now().GetNanoSeconds(), 1000000000u);
  EXPECT_EQ(0u, Time::Now().GetNanoSeconds() % 1000);  // microsecond resolution
  EXPECT_GT(Time::Now().GetSeconds(), 1500000000u);    // seconds since 1970
}

TEST(Deadline, AddsWithCarry) {
  timespec start{};
  start.tv_sec = 100;
  start.tv_nsec = 900000000;
  timespec deadline = zu::multi_threading::imp::AddTimeout(start, Time(2, 200000000));
  EXPECT_EQ(103, deadline.tv_sec);
  EXPECT_EQ(100000000, deadline.tv_nsec);
}

TEST(Deadline, SaturatesInsteadOfWrappingIntoThePast) {
  timespec start{};
  start.tv_sec = 1000;
  start.tv_nsec = 500000000;
  const time_t latest = std::numeric_limits<time_t>::max();
  for (const Time& huge :
       {Time::Infinite(), Time(ULONG_MAX - 10, 0), Time(static_cast<unsigned long>(latest), 0),
        Time(static_cast<unsigned long>(latest) - 1000, 600000000)}) {
    timespec deadline = zu::multi_threading::imp::AddTimeout(start, huge);
    EXPECT_EQ(latest, deadline.tv_sec);
    EXPECT_EQ(999999999, deadline.tv_nsec);
  }
  // Just fits.
  timespec deadline = zu::multi_threading::imp::AddTimeout(
      start, Time(static_cast<unsigned long>(latest) - 1000, 400000000));
  EXPECT_EQ(latest, deadline.tv_sec);
  EXPECT_EQ(900000000, deadline.tv_nsec);
}

}  // namespace
