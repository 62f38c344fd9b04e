// Rounding as the program does it: to the nearest integer, halves to even.
#pragma once
#include <cmath>
#include <cstdint>

// Round a double, halves to even (2.5 -> 2, 3.5 -> 4). Relies on the default
// floating-point rounding mode, which the program never changes.
inline int64_t RoundHalfEven(double v) {
  return static_cast<int64_t>(std::nearbyint(v));
}
inline int64_t RoundHalfEvenL(long double v) {
  return static_cast<int64_t>(std::nearbyintl(v));
}
inline int64_t RoundHalfEvenF(float v) {
  return static_cast<int64_t>(std::nearbyintf(v));
}

// Exact round-half-to-even of p / q for integers (q != 0), for integer
// geometry such as cell edges: W / cols * c computed through double rounds
// 14.5 the wrong way for W = 29, cols = 14, c = 7.
constexpr int64_t RoundDiv(int64_t p, int64_t q) {
  if (q < 0) {
    p = -p;
    q = -q;
  }
  int64_t d = p / q, r = p % q;  // truncated toward zero
  if (r < 0) {
    r += q;
    d -= 1;
  }  // now p = d*q + r with 0 <= r < q
  const int64_t twice = 2 * r;
  if (twice > q || (twice == q && (d & 1) != 0)) d += 1;
  return d;
}
