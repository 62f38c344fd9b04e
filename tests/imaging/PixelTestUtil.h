// Small helpers shared by the imaging tests: build a TBitmap32 from words and
// read its words back.
#pragma once
#include <vector>

#include "imaging/Bitmap32.h"

// Sizes b to w x h and fills it row by row from values.
inline void Fill(TBitmap32& b, int w, int h, const std::vector<TColor32>& values) {
  b.SetSize(w, h);
  for (int i = 0; i < w * h; ++i) b.Bits()[i] = values[size_t(i)];
}

inline std::vector<TColor32> Pixels(const TBitmap32& b) {
  if (b.Empty()) return {};
  return std::vector<TColor32>(b.Bits(), b.Bits() + size_t(b.Width()) * size_t(b.Height()));
}

inline std::vector<int> Reds(const TBitmap32& b, int y = 0) {
  std::vector<int> r;
  for (int x = 0; x < b.Width(); ++x) r.push_back(RedComponent(b.Pixel(x, y)));
  return r;
}
