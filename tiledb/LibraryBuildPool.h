// An ordered worker pool: items 0..count-1 are prepared on worker threads,
// ahead of the consumer, and handed back strictly in index order, so whatever
// the consumer does with them happens in the same order and with the same
// results as a one-thread run. With one thread no worker is started and each
// item is prepared when it is taken.
//
// How far ahead the workers run is bounded twice: in items (a window wide
// enough that a slow item, a large picture, does not leave the other workers
// idle behind it) and in bytes: finished results waiting to be taken, as
// measured by the caller's size function, plus the caller's estimate of what
// each item being prepared holds, so a run of large pictures cannot fill
// memory. The item the consumer waits for may always be started.
#pragma once
#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Worker threads for a requested count: 0 means one per processor.
inline int ResolveThreadCount(int requested) {
  if (requested > 0) return requested;
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : int(n);
}

template <class R>
class TOrderedPool {
 public:
  using TWork = std::function<R(size_t)>;
  using TSizeOf = std::function<size_t(const R&)>;
  using TEstimate = std::function<size_t(size_t)>;

  // Items ahead of the consumer per worker, and the default byte budget of
  // finished results waiting to be taken.
  static constexpr size_t kItemsPerWorker = 64;
  static constexpr size_t kDefaultBudget = size_t(128) << 20;

  TOrderedPool(size_t count, int threads, TWork work, TSizeOf sizeOf = nullptr, TEstimate estimate = nullptr,
               size_t budget = kDefaultBudget)
      : FCount(count),
        FWork(std::move(work)),
        FSizeOf(std::move(sizeOf)),
        FEstimate(std::move(estimate)),
        FBudget(budget) {
    threads = ResolveThreadCount(threads);
    if (threads <= 1 || count <= 1) return;
    const size_t workers = std::min(size_t(threads), count);
    FWindow = kItemsPerWorker * workers + 2;
    FSlots.resize(FWindow);
    for (size_t i = 0; i < workers; ++i) FWorkers.emplace_back([this] { Run(); });
  }

  // Stops handing out new items; items being prepared are finished and dropped.
  ~TOrderedPool() {
    {
      std::lock_guard lock(FMutex);
      FCancelled = true;
    }
    FWorkAvailable.notify_all();
    for (std::thread& t : FWorkers) t.join();
  }

  TOrderedPool(const TOrderedPool&) = delete;
  TOrderedPool& operator=(const TOrderedPool&) = delete;

  // The result of the next item in order; an exception the work raised for
  // that item is raised here.
  R TakeNext() {
    const size_t index = FNextTake++;
    if (FWorkers.empty()) return FWork(index);
    TSlot& slot = FSlots[index % FWindow];
    std::unique_lock lock(FMutex);
    FResultReady.wait(lock, [&] { return slot.Done; });
    slot.Done = false;
    FPendingBytes -= slot.Bytes;
    slot.Bytes = 0;
    std::exception_ptr error = std::move(slot.Error);
    std::optional<R> result = std::move(slot.Result);
    slot.Error = nullptr;
    slot.Result.reset();
    FTaken = FNextTake;
    lock.unlock();
    FWorkAvailable.notify_all();
    if (error) std::rethrow_exception(error);
    return std::move(*result);
  }

  bool AtEnd() const { return FNextTake >= FCount; }

 private:
  struct TSlot {
    bool Done = false;
    size_t Bytes = 0;
    std::optional<R> Result;
    std::exception_ptr Error;
  };

  size_t EstimateOf(size_t index) const { return FEstimate ? FEstimate(index) : 0; }

  // Under the lock: whether a worker may start the next unclaimed item.
  bool MayClaim() const {
    if (FNextClaim >= FTaken + FWindow) return false;
    return FNextClaim == FTaken || FPendingBytes + FPreparingBytes + EstimateOf(FNextClaim) <= FBudget;
  }

  void Run() {
    for (;;) {
      size_t index;
      {
        std::unique_lock lock(FMutex);
        FWorkAvailable.wait(lock, [&] { return FCancelled || FNextClaim >= FCount || MayClaim(); });
        if (FCancelled || FNextClaim >= FCount) return;
        index = FNextClaim++;
        FPreparingBytes += EstimateOf(index);
      }
      std::optional<R> result;
      std::exception_ptr error;
      size_t bytes = 0;
      try {
        result.emplace(FWork(index));
        if (FSizeOf) bytes = FSizeOf(*result);
      } catch (...) {
        error = std::current_exception();
      }
      bool wanted;
      {
        std::lock_guard lock(FMutex);
        TSlot& slot = FSlots[index % FWindow];
        slot.Result = std::move(result);
        slot.Error = std::move(error);
        slot.Bytes = bytes;
        slot.Done = true;
        FPendingBytes += bytes;
        FPreparingBytes -= EstimateOf(index);
        wanted = index == FTaken;
      }
      // Only the consumer waits for results, and only for the next one.
      if (wanted) FResultReady.notify_one();
    }
  }

  const size_t FCount;
  TWork FWork;
  TSizeOf FSizeOf;
  TEstimate FEstimate;
  const size_t FBudget;
  size_t FPendingBytes = 0;    // finished results not yet taken
  size_t FPreparingBytes = 0;  // estimates of the items being prepared
  size_t FWindow = 0;
  std::vector<TSlot> FSlots;
  std::vector<std::thread> FWorkers;
  std::mutex FMutex;
  std::condition_variable FWorkAvailable, FResultReady;
  bool FCancelled = false;
  size_t FNextClaim = 0;  // next item a worker takes up
  size_t FTaken = 0;      // items handed to the consumer
  size_t FNextTake = 0;   // consumer side only
};
