#include "mosaic/CellPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

TEST(CellPool, IdleWorkersTakeSpareWorkWhoseFailuresReachNoItem) {
  std::vector<int> made(200, -1);
  std::atomic<int> spare{0};
  TCellPool pool(
      made.size(), 4, [&](size_t i) { made[i] = int(i) * 3; },
      [&] {
        const int n = ++spare;
        if (n == 3) throw std::runtime_error("unreadable picture");
        return n < 40;
      });
  // Nothing is released yet: the workers take spare work until it runs out.
  while (spare.load() < 40) std::this_thread::yield();
  pool.Release(made.size());
  for (size_t i = 0; i < made.size(); ++i) EXPECT_NO_THROW(pool.Wait(i));
  for (size_t i = 0; i < made.size(); ++i) EXPECT_EQ(made[i], int(i) * 3);
}

}  // namespace
