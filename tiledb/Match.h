// Tile choice helpers that need no table: the distance of two sample vectors
// and the Distance-window test on a placement grid. The choices themselves
// (PickTile, PickTileFlipped, FindBestMatches) are operations of TVTData.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/Errors.h"

// Allowed flip kinds packed in four bytes: byte 0 the original tiles, byte k
// (1..3) the copies of TFlipKind k; non-zero means allowed.
using TFlipSet = uint32_t;

// The text of the error a build meets when no tile is allowed for a cell.
extern const char* const kRunOutOfTilesMessage;
class ERunOutOfTiles : public EVitrane {
  using EVitrane::EVitrane;
};

// Sum of (a[i] - b[i])^2 over n bytes, exact (an integer below 2^53 for any
// vector the program keeps), no weights and no colour transform.
double SampleDistance(const uint8_t* a, const uint8_t* b, int n);

// True when no placement-grid entry in the window of rows row-d..row+d and
// columns col-d..col+d (clipped to the grid) equals the identity. Entries past
// the end of the grid's storage are never read.
bool TileInWindow(int32_t identity, int row, int col, int d, int cols, int rows,
                  const std::vector<int32_t>& grid);
