// Work split into contiguous stretches over a few threads, for loops whose
// items are independent: the results are the same as on one thread.
#pragma once
#include <algorithm>
#include <cstdint>
#include <exception>
#include <thread>
#include <vector>

// Calls fn(first, last) for stretches covering [0, count) on up to threads
// threads (0: one per processor), no stretch shorter than minPerThread items
// unless it is the only one; a job of one stretch runs on the calling thread.
// The first exception of the stretches in order is raised after all end.
template <typename Fn>
void ParallelStretches(int64_t count, int threads, int64_t minPerThread, Fn&& fn) {
  if (count <= 0) return;
  if (threads <= 0) threads = int(std::max(1u, std::thread::hardware_concurrency()));
  const int64_t n = std::clamp<int64_t>(count / std::max<int64_t>(minPerThread, 1), 1, threads);
  if (n <= 1) {
    fn(int64_t(0), count);
    return;
  }
  std::vector<std::exception_ptr> errors(static_cast<size_t>(n));
  std::vector<std::thread> pool;
  pool.reserve(size_t(n - 1));
  auto run = [&](int64_t t) {
    try {
      fn(count * t / n, count * (t + 1) / n);
    } catch (...) {
      errors[size_t(t)] = std::current_exception();
    }
  };
  for (int64_t t = 1; t < n; ++t) pool.emplace_back(run, t);
  run(0);
  for (std::thread& th : pool) th.join();
  for (const std::exception_ptr& e : errors)
    if (e) std::rethrow_exception(e);
}
