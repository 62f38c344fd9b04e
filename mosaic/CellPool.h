// Worker threads for the cells of one output run. Items are numbered in the
// order the run visits its cells; the caller makes them available as it has
// prepared them and awaits them strictly in that order, so whatever it does
// per finished cell (progress, stop, writing) happens as in a one-thread run.
// Each item must be a function of its own inputs, so the bytes it makes do
// not depend on the thread that made them or on the thread count. With one
// thread no worker is started: an item is done on the caller when awaited.
// Items are handed out and reported done through atomic counters and flags,
// so that short cells on many threads do not queue on one lock.
#pragma once
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class TCellPool {
 public:
  // threads 0: one per processor. work(i) does item i. spare, when given,
  // is work a worker takes up when no item is free, such as reading ahead
  // what later items will ask for; it returns false when it found none, and
  // must not change what any item makes.
  TCellPool(size_t count, int threads, std::function<void(size_t)> work, std::function<bool()> spare = {});
  // Cancels what has not started and waits for what has.
  ~TCellPool();
  TCellPool(const TCellPool&) = delete;
  TCellPool& operator=(const TCellPool&) = delete;

  int Threads() const { return FThreads; }
  // Items [0, count) may be taken up now; count never shrinks.
  void Release(size_t count);
  // Waits until item i is done and raises what its work raised. Items are to
  // be awaited in order.
  void Wait(size_t i);
  // Hands out no further item and waits for those under way.
  void Cancel();
  // Lets idle workers look for spare work again.
  void Wake();

 private:
  void Run();

  const size_t FCount;
  std::function<void(size_t)> FWork;
  std::function<bool()> FSpare;
  int FThreads = 1;
  std::vector<std::thread> FWorkers;
  std::unique_ptr<std::atomic<int>[]> FDone;
  std::vector<std::exception_ptr> FErrors;
  std::atomic<size_t> FReleased{0}, FNextClaim{0};
  std::atomic<int> FBusy{0};
  std::atomic<unsigned> FSignal{0};  // changes on every release and on cancel
  std::atomic<bool> FCancelled{false};
};
