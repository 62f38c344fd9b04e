// The library inspector's rules that need no window.
#pragma once
#include <cstdint>
#include <string>

class TVTData;

// "10 (H) rec. (YCC) 4/3 - 6/6": originals, the flipped blocks present (H, V,
// R for kinds 1, 3, 2), colour mode, tile aspect and sample grid.
std::string LibrarySummary(const TVTData& lib);
// The rows that hold count tiles in the given columns (0 columns: 0 rows).
int32_t RowsForColumns(int32_t count, int32_t columns);
// round(sqrt(count)), halves to even.
int32_t DefaultColumns(int32_t count);
// The first record from 1 whose path equals name exactly; 0 when none, or
// when stop() turns true first (stopped set then). The cursor ends on the
// last record read.
int32_t FindTileRecord(TVTData& lib, const std::string& name, bool (*stop)(void*), void* ctx, bool& stopped);
