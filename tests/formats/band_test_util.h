// Shared by the band writer suites: a scratch folder, file reading, little-
// endian fields and the pattern pictures the writers are fed.
#pragma once
#include "common/ScratchDir.h"
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Files.h"

using TScratchDir = ScratchDir;

inline uint32_t Le16(const std::vector<uint8_t>& f, size_t at) {
  return f.at(at) | f.at(at + 1) << 8;
}
inline uint32_t Le32(const std::vector<uint8_t>& f, size_t at) {
  return Le16(f, at) | Le16(f, at + 2) << 16;
}

// A picture whose every pixel differs from its neighbours, so a misplaced
// or mirrored row or column shows.
inline Bitmap24 PatternBitmap(int w, int h, int seed = 0) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y) {
    uint8_t* p = b.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      p[3 * x] = uint8_t(x * 7 + y * 3 + seed);
      p[3 * x + 1] = uint8_t(x * 5 + y * 11 + 2 * seed + 1);
      p[3 * x + 2] = uint8_t(x * 13 + y * 17 + 3 * seed + 2);
    }
  }
  return b;
}

// The picture held by a 24-bit BMP or TIFF file as the writers lay it out.
inline Bitmap24 PictureOfBMP(const std::vector<uint8_t>& f) {
  const int w = int(Le32(f, 18)), h = int(Le32(f, 22));
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) b.ScanLine(y)[3 * x + c] = f.at(54 + (h - 1 - y) * stride + 3 * x + c);
  return b;
}

inline Bitmap24 PictureOfTIFF(const std::vector<uint8_t>& f, int w, int h) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) b.ScanLine(y)[3 * x + c] = f.at(32 + size_t(3 * w) * y + 3 * x + 2 - c);
  return b;
}
