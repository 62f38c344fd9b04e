#include "mosaic/BuildRun.h"

void RunBuildCells(TVTData& lib, TVTData& plan, TVTData& mosaic, std::vector<int32_t>& grid,
                   const TBuildArea& area, const TBuildRunSettings& s, TBuildObserver& observer) {
  const int cols = area.Cols, rows = area.Rows;
  const bool thumbs = mosaic.ShowThumbs;
  int32_t last = 0;
  // The loop reads only a cell's link; decoding the thumbnail it holds would
  // be work for nothing. The cursor is loaded properly once at the end.
  struct TRestore {
    TVTData& Mosaic;
    bool Thumbs;
    int32_t& Last;
    ~TRestore() {
      Mosaic.ShowThumbs = Thumbs;
      if (Last > 0) Mosaic.MoveTo(Last);
    }
  } restore{mosaic, thumbs, last};
  int64_t number = 0;
  for (int32_t i = 1; i <= plan.RecordCount; ++i) {
    plan.GoToRecord(i);
    const int32_t n = plan.CurRecNo;
    const int col = cols > 0 ? (n - 1) % cols : 0, row = cols > 0 ? (n - 1) / cols : 0;
    if (!area.Takes(col, row)) continue;
    mosaic.ShowThumbs = false;
    mosaic.MoveTo(n);
    mosaic.ShowThumbs = thumbs;
    last = n;
    ++number;
    if ((s.FixCustom && mosaic.CurLink >= CustomTileLink) || (s.FixAuto && mosaic.CurLink > 0)) {
      observer.CellKept(number);
      continue;
    }
    lib.PickTileFlipped(plan, grid, s.Flips, s.Repeat, s.Distance, cols, rows, col, row);
    const bool changed = mosaic.SetRecordFrom(n, lib, true);
    if (observer.CellPlaced(col, row, changed, number)) break;
  }
}
