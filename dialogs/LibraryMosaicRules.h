// The library inspector's rules that need no window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Types.h"

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

// "Create": the library's own mosaic, its tiles side by side.
enum TLibraryTileOrder { ltoAsIs, ltoPathName, ltoFileName, ltoColour };
// The original tiles not marked deleted, in the chosen order: as stored, by
// full path, by file name (both in byte order, ties as stored), or nearest
// first to a plain picture of colour sample. The sort index is dropped after.
std::vector<int32_t> LibraryTileOrder(TVTData& lib, TLibraryTileOrder order, TColor sample);
// A picture of cols x rows cells, row by row, each the stored thumbnail of the
// next record stretched to the first one's size; cells past the last tile
// stay black, tiles past the last cell are left out. The size is checked
// against fileName's format before anything is drawn.
void ComposeLibraryMosaic(TVTData& lib, const std::vector<int32_t>& records, int cols, int rows,
                          const std::string& fileName, Bitmap24& picture);
