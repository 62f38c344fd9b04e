#include "tiledb/LibraryBuildCrop.h"

#include <cstdint>

#include "platform/Rounding.h"

int ThumbHeightFor(int thumbW, int xScale, int yScale) {
  return int(RoundDiv(int64_t(thumbW) * yScale, xScale));
}

TRect TileCropRect(int width, int height, int xScale, int yScale, int anchor, int margin) {
  if (anchor < 0 || anchor > 9) anchor = 4;
  const int64_t w = width, h = height;
  TRect r(0, 0, width, height);
  int64_t m;
  if (int64_t(xScale) * h > w * yScale) {  // the tile is wider than the picture
    m = w;
    if (anchor != 9) {
      const int64_t ch = RoundDiv(w * yScale, xScale);
      const int row = anchor / 3;
      r.Top = int32_t(row == 0 ? 0 : (row == 1 ? (h - ch) / 2 : h - ch));
      r.Bottom = int32_t(r.Top + ch);
    }
  } else {
    m = h;
    if (anchor != 9) {
      const int64_t cw = RoundDiv(h * xScale, yScale);
      const int col = anchor % 3;
      r.Left = int32_t(col == 0 ? 0 : (col == 1 ? (w - cw) / 2 : w - cw));
      r.Right = int32_t(r.Left + cw);
    }
  }
  const int64_t t = RoundDiv(m * margin, 200);
  const int64_t s = RoundDiv(t * xScale, yScale);
  r.Left += int32_t(s);
  r.Right -= int32_t(s);
  r.Top += int32_t(t);
  r.Bottom -= int32_t(t);
  return r;
}
