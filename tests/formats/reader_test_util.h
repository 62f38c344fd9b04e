// Shared checks for the picture readers' tests: reading from memory, the
// message of a refused file, pixel access, and the truncation and corruption
// sweep every reader must survive.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Errors.h"

namespace readertest {

using Bytes = std::vector<uint8_t>;
using Reader = void (*)(const uint8_t* data, size_t size, Bitmap24& out);

inline Bitmap24 ReadWith(Reader reader, const Bytes& f) {
  Bitmap24 b;
  reader(f.data(), f.size(), b);
  return b;
}

// The message of the error the reader raises, or "no error".
inline std::string ErrorOf(Reader reader, const Bytes& f) {
  try {
    ReadWith(reader, f);
  } catch (const EVitrane& e) {
    return e.what();
  }
  return "no error";
}

// B, G, R of pixel (x, y).
inline Bytes Px(const Bitmap24& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

// Every cut of a good file and a few hundred single-byte corruptions: an
// error or a picture, never a read outside the data. Each cut is copied to a
// block of its exact size, so the sanitizer sees any over-read.
inline void SweepDamage(Reader reader, const Bytes& f, uint32_t seed) {
  ASSERT_EQ(ErrorOf(reader, f), "no error");
  for (size_t n = 0; n < f.size(); ++n) ErrorOf(reader, Bytes(f.begin(), f.begin() + n));
  std::mt19937 rng(seed);
  for (int i = 0; i < 300; ++i) {
    Bytes c = f;
    c[rng() % c.size()] = uint8_t(rng());
    ErrorOf(reader, c);
  }
}

}  // namespace readertest
