// Runs cleanup code however the scope it guards is left.
#pragma once
#include <functional>
#include <utility>

class TFinally {
 public:
  explicit TFinally(std::function<void()> f) : F(std::move(f)) {}
  ~TFinally() { F(); }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;

 private:
  std::function<void()> F;
};
