// The window-free build loop: what it stores on a fixed library and project
// (pinned digests, which the cell-by-cell loop of earlier versions gave as
// well), and how its observer sees, keeps and stops cells.
#include <gtest/gtest.h>

#include "FixedBuild.h"
#include "mosaic/BuildRun.h"

namespace {

struct TTables {
  ScratchDir Dir;
  TVTData Lib, Plan, Mosaic;
  explicit TTables(uint8_t colorSystem) {
    const std::string lib = fixedbuild::MakeLibrary(Dir, colorSystem);
    Lib.ShowThumbs = true;  // as the main window has it
    EXPECT_TRUE(Lib.OpenFile(lib, okLibrary));
    EXPECT_TRUE(Plan.OpenProject(fixedbuild::MakeProject(Dir, lib), Mosaic));
    Mosaic.ShowThumbs = true;
  }
};

struct TCounting : TBuildObserver {
  int Kept = 0, Placed = 0, StopAfter = -1;
  int64_t LastNumber = 0;
  void CellKept(int64_t number) override {
    ++Kept;
    LastNumber = number;
  }
  bool CellPlaced(int, int, bool, int64_t number) override {
    LastNumber = number;
    return ++Placed == StopAfter;
  }
};

TEST(BuildRun, StoresTheSameCellsAsTheCellByCellLoop) {
  struct Case {
    uint8_t ColorSystem;
    bool Flipped;
    uint64_t Digest;
  } cases[] = {{csYCC, false, 0x61cf330747aa283cull},
               {csYCC, true, 0x5b2eca0595334e3cull},
               {csRGB, false, 0x77cf9686d6864a80ull},
               {csRGB, true, 0x87e0d47596059800ull}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.ColorSystem) * 10 + c.Flipped);
    TTables t(c.ColorSystem);
    if (c.Flipped)
      for (int kind : {TVTData::fkHorizontal, TVTData::fkVertical, TVTData::fkRotate180}) t.Lib.AddFlipped(kind);
    std::vector<int32_t> grid;
    t.Mosaic.GetAllLinks(grid, 1);
    t.Lib.ResetUsage();
    t.Plan.SortRandom(7);
    TBuildRunSettings s;
    s.Distance = 2;
    s.Flips = c.Flipped ? 0x01010101u : 1u;
    TCounting seen;
    RunBuildCells(t.Lib, t.Plan, t.Mosaic, grid, TBuildArea({0, 0, 0, 0}, false, fixedbuild::kCols, fixedbuild::kRows),
                  s, seen);
    EXPECT_EQ(seen.Placed, fixedbuild::kCols * fixedbuild::kRows);
    EXPECT_EQ(fixedbuild::CellsDigest(t.Mosaic), c.Digest);
    // The cursor ends on the last cell visited, with its new thumbnail.
    t.Plan.GoToRecord(t.Plan.RecordCount);
    EXPECT_EQ(t.Mosaic.CurRecNo, t.Plan.CurRecNo);
    EXPECT_EQ(t.Mosaic.DisplayBitmap.Width(), 42);
  }
}

TEST(BuildRun, FixedCellsAreKeptAndTheObserverStopsTheRun) {
  TTables t(csRGB);
  std::vector<int32_t> grid;
  TBuildRunSettings s;
  s.FixAuto = true;
  const TBuildArea area({2, 1, 5, 3}, false, fixedbuild::kCols, fixedbuild::kRows);  // 4 x 3 cells
  TCounting first;
  first.StopAfter = 5;
  t.Mosaic.GetAllLinks(grid, 1);
  RunBuildCells(t.Lib, t.Plan, t.Mosaic, grid, area, s, first);
  EXPECT_EQ(first.Placed, 5);
  EXPECT_EQ(first.Kept, 0);
  // Run again over the same area: the five filled cells are kept, the
  // other seven placed, the count going on through both.
  TCounting second;
  t.Mosaic.GetAllLinks(grid, 1);
  RunBuildCells(t.Lib, t.Plan, t.Mosaic, grid, area, s, second);
  EXPECT_EQ(second.Kept, 5);
  EXPECT_EQ(second.Placed, 7);
  EXPECT_EQ(second.LastNumber, 12);
  for (int32_t n = 1; n <= t.Mosaic.RecordCount; ++n) {
    const int col = (n - 1) % fixedbuild::kCols, row = (n - 1) / fixedbuild::kCols;
    EXPECT_EQ(t.Mosaic.RecordInfo(n).Link > 0, area.Takes(col, row)) << n;
  }
}

}  // namespace
