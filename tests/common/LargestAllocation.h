// The largest single allocation since the last reset, for tests that show a
// reader allocates no more than a file's header accounts for. Every operator
// new of the test program comes through here (so malloc and free pair up,
// whatever GCC guesses from the names). It defines the program's allocation
// functions: include it in one source file of a test program only.
#pragma once
#include <atomic>
#include <cstdlib>
#include <new>

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace vttest {
inline std::atomic<size_t> gLargestAllocation{0};
inline void ResetLargestAllocation() {
  gLargestAllocation = 0;
}
inline size_t LargestAllocation() {
  return gLargestAllocation;
}
}  // namespace vttest

void* operator new(size_t n) {
  size_t seen = vttest::gLargestAllocation.load();
  while (n > seen && !vttest::gLargestAllocation.compare_exchange_weak(seen, n)) {
  }
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return operator new(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
