#include "mosaic/CellPool.h"

#include <algorithm>

#include "imaging/Transfer.h"
#include "tiledb/LibraryBuildPool.h"

TCellPool::TCellPool(size_t count, int threads, std::function<void(size_t)> work)
    : FCount(count), FWork(std::move(work)), FDone(count, 0), FErrors(count) {
  FThreads = int(std::min<size_t>(size_t(ResolveThreadCount(threads)), std::max<size_t>(count, 1)));
  if (FThreads <= 1) return;
  for (int i = 0; i < FThreads; ++i) FWorkers.emplace_back([this] { Run(); });
}

TCellPool::~TCellPool() {
  {
    std::lock_guard lock(FMutex);
    FCancelled = true;
  }
  FWorkAvailable.notify_all();
  for (std::thread& t : FWorkers) t.join();
}

void TCellPool::Release(size_t count) {
  {
    std::lock_guard lock(FMutex);
    FReleased = std::max(FReleased, std::min(count, FCount));
  }
  FWorkAvailable.notify_all();
}

void TCellPool::Wait(size_t i) {
  if (FWorkers.empty()) {
    // One thread: the caller does each item when it gets to it.
    if (!FDone[i]) {
      FDone[i] = 1;
      FWork(i);
    }
    return;
  }
  std::unique_lock lock(FMutex);
  FItemDone.wait(lock, [&] { return FDone[i] != 0; });
  if (FErrors[i]) {
    std::exception_ptr e = std::move(FErrors[i]);
    FErrors[i] = nullptr;
    std::rethrow_exception(e);
  }
}

void TCellPool::Cancel() {
  std::unique_lock lock(FMutex);
  FCancelled = true;
  FWorkAvailable.notify_all();
  FItemDone.wait(lock, [&] { return FBusy == 0; });
}

void TCellPool::Run() {
  // The cells already keep every processor busy.
  TSerialStretchScope serial;
  for (;;) {
    size_t index;
    {
      std::unique_lock lock(FMutex);
      FWorkAvailable.wait(lock, [&] { return FCancelled || FNextClaim < FReleased; });
      if (FCancelled) return;
      index = FNextClaim++;
      ++FBusy;
    }
    std::exception_ptr error;
    try {
      FWork(index);
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard lock(FMutex);
      FErrors[index] = std::move(error);
      FDone[index] = 1;
      --FBusy;
    }
    FItemDone.notify_all();
  }
}
