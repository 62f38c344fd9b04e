#include "tiledb/LibraryBuildPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <stdexcept>
#include <string>

namespace {

TEST(LibraryBuildPool, ResultsComeInOrderWhateverTheThreads) {
  for (int threads : {1, 2, 8}) {
    TOrderedPool<std::string> pool(200, threads, [](size_t i) {
      // Uneven work so that later items often finish first.
      volatile unsigned spin = 0;
      for (unsigned k = 0; k < (i % 7) * 20000; ++k) spin = spin + 1;
      return std::to_string(i);
    });
    for (size_t i = 0; i < 200; ++i) {
      ASSERT_FALSE(pool.AtEnd());
      EXPECT_EQ(pool.TakeNext(), std::to_string(i)) << threads << " threads";
    }
    EXPECT_TRUE(pool.AtEnd());
  }
}

TEST(LibraryBuildPool, ErrorsArriveWithTheirItem) {
  TOrderedPool<int> pool(5, 4, [](size_t i) -> int {
    if (i == 2) throw std::runtime_error("bad item");
    return int(i);
  });
  EXPECT_EQ(pool.TakeNext(), 0);
  EXPECT_EQ(pool.TakeNext(), 1);
  EXPECT_THROW(pool.TakeNext(), std::runtime_error);
  EXPECT_EQ(pool.TakeNext(), 3);
}

TEST(LibraryBuildPool, StoppingEarlyLeavesTheRestUndone) {
  std::atomic<int> done{0};
  {
    TOrderedPool<int> pool(10000, 4, [&](size_t i) {
      ++done;
      return int(i);
    });
    EXPECT_EQ(pool.TakeNext(), 0);
  }
  // The workers run at most a window ahead of the consumer.
  EXPECT_LE(size_t(done.load()), TOrderedPool<int>::kItemsPerWorker * 4 + 2 + 4);
}

TEST(LibraryBuildPool, FinishedResultsWaitingStayWithinTheByteBudget) {
  // Results of 10 bytes against a budget of 25: at most three wait (the
  // third started while two waited), however far the window would allow,
  // and a slow first item still lets the others through in order.
  std::atomic<int> made{0}, taken{0}, most{0};
  TOrderedPool<int> pool(
      300, 8,
      [&](size_t i) {
        if (i == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const int waiting = ++made - taken;
        for (int m = most; waiting > m && !most.compare_exchange_weak(m, waiting);) {
        }
        return int(i);
      },
      [](const int&) { return size_t(10); }, nullptr, 25);
  for (int i = 0; i < 300; ++i) {
    EXPECT_EQ(pool.TakeNext(), i);
    ++taken;
  }
  // Three waiting results, plus one item per other worker started before the
  // budget ran out.
  EXPECT_LE(most.load(), 3 + 8);
}

TEST(LibraryBuildPool, LargeItemsArePreparedOneAtATime) {
  // Every item is estimated at 60 bytes against a budget of 100: one item is
  // prepared at a time beyond the one the consumer waits for.
  std::atomic<int> preparing{0}, most{0};
  TOrderedPool<int> pool(
      40, 8,
      [&](size_t i) {
        const int now = ++preparing;
        for (int m = most; now > m && !most.compare_exchange_weak(m, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        --preparing;
        return int(i);
      },
      nullptr, [](size_t) { return size_t(60); }, 100);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(pool.TakeNext(), i);
  EXPECT_LE(most.load(), 2);
}

TEST(LibraryBuildPool, OneThreadPreparesOnTake) {
  int calls = 0;
  TOrderedPool<int> pool(3, 1, [&](size_t i) {
    ++calls;
    return int(i) * 10;
  });
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(pool.TakeNext(), 0);
  EXPECT_EQ(calls, 1);
}

}  // namespace
