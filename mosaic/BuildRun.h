// The cell loop of a build, without a window: every cell of the work area in
// the plan's visiting order gets the nearest allowed library tile, stored in
// the mosaic. The main window and the benchmarks run the same loop; what the
// window does between cells (redraws, progress, pumping, stop) is its
// observer's business.
#pragma once
#include <cstdint>
#include <vector>

#include "mosaic/BuildCore.h"
#include "tiledb/VTData.h"

// The settings of one run, read once at its start.
struct TBuildRunSettings {
  int32_t Distance = 0;
  int32_t Repeat = -1;  // the largest use count allowed; -1 no limit ("Auto")
  bool FixAuto = false, FixCustom = false;
  TVTData::TFlipSet Flips = 1;
};

class TBuildObserver {
 public:
  virtual ~TBuildObserver() = default;
  // A fixed cell of the work area was passed over (number cells visited).
  virtual void CellKept(int64_t number) { (void)number; }
  // A cell got its tile; changed when its mosaic record was rewritten.
  // Returns true to end the run after this cell.
  virtual bool CellPlaced(int col, int row, bool changed, int64_t number) {
    (void)col, (void)row, (void)changed, (void)number;
    return false;
  }
};

// Runs the loop over the plan's visiting order (its sort index, or record
// order). The placement grid holds one entry per cell as the tile choice
// wants it. The library's "run out of tiles" error passes on, the cells placed
// so far kept. The mosaic's cursor ends on the last cell visited, loaded as
// its ShowThumbs says.
void RunBuildCells(TVTData& lib, TVTData& plan, TVTData& mosaic, std::vector<int32_t>& grid,
                   const TBuildArea& area, const TBuildRunSettings& s, TBuildObserver& observer);
