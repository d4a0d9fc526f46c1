#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "base/Interlocked.h"

namespace {

// Every value put in with Exchange comes out exactly once, however the threads interleave:
// an exchange that was not atomic would lose or duplicate tokens.
TEST(Interlocked, ExchangeHandsEveryTokenOnExactlyOnce) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 20000;
  long slot = -1;
  std::vector<std::vector<int>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &slot, &seen] {
      for (int i = 0; i < kPerThread; ++i)
        seen[t].push_back(zu::interlocked::Exchange(slot, t * kPerThread + i));
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  std::vector<int> all;
  for (const std::vector<int>& part : seen)
    all.insert(all.end(), part.begin(), part.end());
  all.push_back(zu::interlocked::Exchange(slot, 0));
  std::sort(all.begin(), all.end());
  ASSERT_EQ(static_cast<size_t>(kThreads * kPerThread + 1), all.size());
  EXPECT_EQ(-1, all[0]);
  for (int i = 0; i < kThreads * kPerThread; ++i)
    ASSERT_EQ(i, all[static_cast<size_t>(i) + 1]);
}

TEST(Interlocked, AddReturnsThePreviousValueAndIncrementTheNewOne) {
  long value = 5;
  EXPECT_EQ(5, zu::interlocked::Add(value, 10));
  EXPECT_EQ(16, zu::interlocked::Increment(value));
  EXPECT_EQ(15, zu::interlocked::Decrement(value));
  EXPECT_EQ(15, zu::interlocked::Exchange(value, -3));
  EXPECT_EQ(-3, value);
}

}  // namespace
