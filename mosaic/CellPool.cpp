#include "mosaic/CellPool.h"

#include <algorithm>

#include "imaging/Transfer.h"
#include "tiledb/LibraryBuildPool.h"

TCellPool::TCellPool(size_t count, int threads, std::function<void(size_t)> work, std::function<bool()> spare)
    : FCount(count),
      FWork(std::move(work)),
      FSpare(std::move(spare)),
      FDone(new std::atomic<int>[count]),
      FErrors(count) {
  for (size_t i = 0; i < count; ++i) FDone[i].store(0, std::memory_order_relaxed);
  FThreads = int(std::min<size_t>(size_t(ResolveThreadCount(threads)), std::max<size_t>(count, 1)));
  if (FThreads <= 1) return;
  for (int i = 0; i < FThreads; ++i) FWorkers.emplace_back([this] { Run(); });
}

TCellPool::~TCellPool() {
  FCancelled.store(true);
  FSignal.fetch_add(1);
  FSignal.notify_all();
  for (std::thread& t : FWorkers) t.join();
}

void TCellPool::Release(size_t count) {
  count = std::min(count, FCount);
  if (count <= FReleased.load()) return;
  FReleased.store(count);
  FSignal.fetch_add(1);
  FSignal.notify_all();
}

void TCellPool::Wake() {
  FSignal.fetch_add(1);
  FSignal.notify_all();
}

void TCellPool::Wait(size_t i) {
  if (FWorkers.empty()) {
    // One thread: the caller does each item when it gets to it.
    if (!FDone[i].load(std::memory_order_relaxed)) {
      FDone[i].store(1, std::memory_order_relaxed);
      FWork(i);
    }
    return;
  }
  while (!FDone[i].load(std::memory_order_acquire)) FDone[i].wait(0, std::memory_order_acquire);
  if (FErrors[i]) {
    std::exception_ptr e = std::move(FErrors[i]);
    FErrors[i] = nullptr;
    std::rethrow_exception(e);
  }
}

void TCellPool::Cancel() {
  FCancelled.store(true);
  FSignal.fetch_add(1);
  FSignal.notify_all();
  for (int busy; (busy = FBusy.load()) != 0;) FBusy.wait(busy);
}

void TCellPool::Run() {
  // The cells already keep every processor busy.
  TSerialStretchScope serial;
  for (;;) {
    const unsigned signal = FSignal.load();
    // Counted busy before claiming, so that Cancel waits for a claim under way.
    FBusy.fetch_add(1);
    size_t index = FNextClaim.load();
    bool claimed = false;
    while (!FCancelled.load() && index < FReleased.load())
      if (FNextClaim.compare_exchange_weak(index, index + 1)) {
        claimed = true;
        break;
      }
    bool spare = false;
    if (claimed) {
      try {
        FWork(index);
      } catch (...) {
        FErrors[index] = std::current_exception();
      }
      FDone[index].store(1, std::memory_order_release);
      FDone[index].notify_all();
    } else if (FSpare && !FCancelled.load()) {
      // What spare work raises shows again when the item that needs it runs.
      try {
        spare = FSpare();
      } catch (...) {
        spare = true;
      }
    }
    FBusy.fetch_sub(1);
    FBusy.notify_all();
    if (FCancelled.load()) return;
    if (!claimed && !spare) FSignal.wait(signal);
  }
}
