#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "base/Interlocked.h"
#include "base/SharedPtr.h"

namespace {

struct Counted : zu::SharedPtrFromThis<Counted> {
  explicit Counted(int* alive) : alive(alive) { ++*alive; }
  ~Counted() { --*alive; }
  int* alive;
};

TEST(SharedPtr, ObjectDiesWithLastOwnerWhileWeakReferencesRemain) {
  int alive = 0;
  zu::WeakPtr<Counted> weak;
  {
    zu::SharedPtr<Counted> a(new Counted(&alive));
    zu::SharedPtr<Counted> b = a->shared_from_this();
    weak = b;
    EXPECT_EQ(2, a.use_count());
    a.reset();
    EXPECT_EQ(1, alive);
    EXPECT_FALSE(weak.expired());
  }
  EXPECT_EQ(0, alive);
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(nullptr, weak.lock());
}

TEST(Interlocked, CountsStayExactUnderContention) {
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&counter] {
      for (int i = 0; i < 100000; ++i) {
        zu::interlocked::Increment(counter);
        zu::interlocked::Add(counter, 2);
        zu::interlocked::Decrement(counter);
      }
    });
  }
  for (std::thread& t : threads)
    t.join();
  EXPECT_EQ(4 * 100000 * 2, zu::interlocked::Exchange(counter, 7));
  EXPECT_EQ(7, counter);
  EXPECT_EQ(7, zu::interlocked::Add(counter, -8));
  EXPECT_EQ(-1, counter);
}

}  // namespace
