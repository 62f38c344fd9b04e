// An action run when a scope ends, also when an error leaves it: the
// restoring half of a pair (a long-operation bracket, a switched flag).
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
