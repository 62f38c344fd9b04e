#include "tiledb/Match.h"

#include <algorithm>

const char* const kRunOutOfTilesMessage =
    "Vitrane run out of tiles:\rThere is not enough tiles to complete the mosaic.\rPlease change Distance or "
    "Repeat values\ror add more tiles in the library";

double SampleDistance(const uint8_t* a, const uint8_t* b, int n) {
  uint64_t sum = 0;
  for (int i = 0; i < n; ++i) {
    const int d = int(a[i]) - int(b[i]);
    sum += uint64_t(d * d);
  }
  return double(sum);
}

bool TileInWindow(int32_t identity, int row, int col, int d, int cols, int rows,
                  const std::vector<int32_t>& grid) {
  const int64_t r0 = std::max<int64_t>(0, int64_t(row) - d),
                r1 = std::min<int64_t>(rows - 1, int64_t(row) + d);
  const int64_t c0 = std::max<int64_t>(0, int64_t(col) - d),
                c1 = std::min<int64_t>(cols - 1, int64_t(col) + d);
  for (int64_t r = r0; r <= r1; ++r)
    for (int64_t c = c0; c <= c1; ++c) {
      const int64_t idx = r * cols + c;
      if (idx >= 0 && uint64_t(idx) < grid.size() && grid[size_t(idx)] == identity) return false;
    }
  return true;
}
