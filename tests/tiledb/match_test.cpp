// Tile choice on real tables: identities, blocks, Repeat, Distance, counts,
// the run-out error, candidate lists.
#include "tiledb/Match.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "MatchFixtures.h"
#include "TestTables.h"
#include "tiledb/MatchEngine.h"
#include "tiledb/VTData.h"

using vtmatch::Flat;
using vtmatch::SetCell;
using vtmatch::TTile;

namespace {

constexpr int kN = 12;  // 2 x 2 samples
constexpr uint32_t kAll = 0x01010101u, kOriginals = 0x00000001u, kHorizontal = 0x00000100u;

class MatchTable : public ::testing::Test {
 protected:
  // Opens a library of flat tiles with the given sample values.
  void Open(const std::vector<uint8_t>& values) {
    std::vector<TTile> tiles;
    for (uint8_t v : values) tiles.push_back({Flat(kN, v)});
    vtmatch::WriteLibrary(dir / "lib.vt2", 2, 2, csRGB, tiles);
    ASSERT_TRUE(lib.OpenFile(dir / "lib.vt2", okLibrary));
  }
  // Ten originals 0, 10, ..., 90 and their horizontal copies, records 11..20.
  void OpenWithHorizontalBlock() {
    std::vector<uint8_t> v;
    for (int k = 0; k < 2; ++k)
      for (int i = 0; i < 10; ++i) v.push_back(uint8_t(i * 10));
    Open(v);
    lib.OriginalCount = 10;
    lib.FlipKinds = {0, 1, 0, 0};
  }
  int32_t Pick(uint8_t value, uint32_t flips, int repeat, int d, int col, int row) {
    SetCell(plan, Flat(kN, value));
    lib.PickTileFlipped(plan, grid, flips, repeat, d, cols, rows, col, row);
    return lib.CurRecNo;
  }

  vttest::TempDir dir;
  TVTData lib, plan;
  int cols = 3, rows = 3;
  std::vector<int32_t> grid = std::vector<int32_t>(9, -1);
};

TEST(MatchHelpers, SampleDistanceAndWindow) {
  const uint8_t a[4] = {0, 10, 255, 7}, b[4] = {3, 10, 0, 9};
  EXPECT_EQ(SampleDistance(a, b, 4), 9.0 + 0 + 65025.0 + 4.0);
  // 3 x 3 grid, identity 5 in the corner (2, 2).
  std::vector<int32_t> g = {-1, -1, -1, -1, -1, -1, -1, -1, 5};
  EXPECT_TRUE(TileInWindow(5, 0, 0, 1, 3, 3, g));
  EXPECT_FALSE(TileInWindow(5, 0, 0, 2, 3, 3, g));  // Distance 2 at (0, 0) covers the whole grid
  EXPECT_FALSE(TileInWindow(5, 2, 2, 0, 3, 3, g));  // Distance 0: the cell's own entry
  EXPECT_TRUE(TileInWindow(5, 1, 2, 0, 3, 3, g));
  EXPECT_FALSE(TileInWindow(5, 2, 2, 100, 3, 3, g));  // never beyond the last row or column
  // A grid shorter than cols x rows is not read past its end.
  EXPECT_TRUE(TileInWindow(5, 2, 2, 1, 3, 3, std::vector<int32_t>{-1, -1}));
}

TEST_F(MatchTable, TiesGoToTheEarlierRecord) {
  Open({50, 50, 50});
  EXPECT_EQ(Pick(50, kAll, -1, 0, 0, 0), 1);
  EXPECT_EQ(grid[0], 1);
  // With copies identical to their originals, originals come first.
  OpenWithHorizontalBlock();
  EXPECT_EQ(Pick(30, kAll, -1, 0, 1, 0), 4);
  EXPECT_EQ(grid[1], 4);
}

TEST_F(MatchTable, RecordThirteenHasIdentityThreeAndCountsFollowTheAllowedBlocks) {
  OpenWithHorizontalBlock();
  EXPECT_EQ(Pick(20, kHorizontal, 5, 0, 0, 0), 13);
  EXPECT_EQ(grid[0], 3);
  EXPECT_EQ(lib.RecordUseCount(13), 1u);
  EXPECT_EQ(lib.RecordUseCount(3), 0u);
  EXPECT_EQ(lib.CurFlag, 1);
  EXPECT_EQ(Pick(20, kOriginals | kHorizontal, 5, 0, 1, 0), 3);
  EXPECT_EQ(lib.RecordUseCount(3), 1u);
  EXPECT_EQ(lib.RecordUseCount(13), 2u);
  EXPECT_EQ(lib.RecordFlag(13), 2);
}

TEST_F(MatchTable, RepeatZeroUsesATileAndItsCopiesOnce) {
  OpenWithHorizontalBlock();
  cols = 9;
  rows = 1;
  EXPECT_EQ(Pick(20, kOriginals | kHorizontal, 0, 0, 0, 0), 3);
  // Its copy (record 13) is equally near but used up with it; 10 and 30 tie, 10 is earlier.
  EXPECT_EQ(Pick(20, kOriginals | kHorizontal, 0, 0, 1, 0), 2);
  EXPECT_EQ(Pick(20, kOriginals | kHorizontal, 0, 0, 2, 0), 4);
}

TEST_F(MatchTable, DistanceWindowRefusesNeighboursOnly) {
  Open({0, 100});
  grid = {1, -1, -1, -1, -1, -1, -1, -1, -1};
  EXPECT_EQ(Pick(0, kAll, -1, 1, 1, 1), 2);  // (0, 0) holds tile 1 and lies in the window
  EXPECT_EQ(Pick(0, kAll, -1, 1, 2, 2), 1);  // (0, 0) is two cells away
  EXPECT_EQ(Pick(0, kAll, -1, 0, 0, 0), 2);  // Distance 0: the cell's own entry is 1
}

TEST_F(MatchTable, RunningOutRaisesAndChangesNothing) {
  Open({0, 100});
  grid = {1, 2, -1, -1, -1, -1, -1, -1, -1};
  lib.MoveToPhysical(2);
  const std::vector<int32_t> before = grid;
  try {
    Pick(0, kAll, 3, 1, 0, 1);
    FAIL() << "no error";
  } catch (const ERunOutOfTiles& e) {
    EXPECT_STREQ(
        e.what(),
        "Vitrane run out of tiles:\rThere is not enough tiles to complete the mosaic.\rPlease change "
        "Distance or Repeat values\ror add more tiles in the library");
  }
  EXPECT_EQ(grid, before);
  EXPECT_EQ(lib.CurRecNo, 2);
  EXPECT_EQ(lib.RecordUseCount(1), 0u);
  EXPECT_EQ(lib.RecordUseCount(2), 0u);
}

TEST_F(MatchTable, DeletedRecordsAreNeverPlacedButAreListed) {
  std::vector<TTile> tiles = {{Flat(kN, 0)}, {Flat(kN, 5)}};
  tiles[0].Flag = 255;
  vtmatch::WriteLibrary(dir / "del.vt2", 2, 2, csRGB, tiles);
  ASSERT_TRUE(lib.OpenFile(dir / "del.vt2", okLibrary));
  EXPECT_EQ(Pick(0, kAll, -1, 0, 0, 0), 2);  // Repeat Auto too
  EXPECT_EQ(lib.RecordUseCount(1), kUseDeleted);
  lib.FindBestMatches(plan, grid, kAll, 0, 0, cols, rows, 1, 1);
  EXPECT_EQ(lib.VisibleCount, 2);
  EXPECT_EQ(lib.CurRecNo, 1);
  EXPECT_TRUE(lib.PicDeleted());
}

TEST_F(MatchTable, CountsPast250StayLiveAndTheFlagByteStopsAt250) {
  Open({0});
  cols = rows = 1;
  grid = {-1};
  for (int k = 0; k < 260; ++k) {
    grid[0] = -1;
    ASSERT_EQ(Pick(0, kAll, 300, 0, 0, 0), 1);
  }
  EXPECT_EQ(lib.RecordUseCount(1), 260u);
  EXPECT_EQ(lib.RecordFlag(1), 250);
  EXPECT_FALSE(lib.PicDeleted());
  grid[0] = -1;
  EXPECT_THROW(Pick(0, kAll, 259, 0, 0, 0), ERunOutOfTiles);
}

TEST_F(MatchTable, FindBestMatchesKeepsCountPositions) {
  Open({90, 10, 50});
  grid = {2, -1, -1, -1, -1, -1, -1, -1, -1};
  SetCell(plan, Flat(kN, 0));
  lib.FindBestMatches(plan, grid, kAll, 5, 0, cols, rows, 1, 1);
  EXPECT_EQ(lib.IndexKeySize, 8);
  EXPECT_EQ(lib.VisibleCount, 5);
  EXPECT_EQ(lib.CurRecNo, 2);
  const int32_t order[] = {2, 3, 1};
  for (int k = 1; k <= 3; ++k) {
    lib.MoveTo(k);
    EXPECT_EQ(lib.CurRecNo, order[k - 1]);
  }
  for (int k = 4; k <= 5; ++k) {
    lib.MoveTo(k);
    EXPECT_EQ(lib.CurRecNo, 0);
    EXPECT_TRUE(lib.CurPath.empty());
  }
  // The window holds identity 2 at (0, 0); from (1, 1) with Distance 1 it is left out.
  lib.FindBestMatches(plan, grid, kAll, 0, 1, cols, rows, 1, 1);
  EXPECT_EQ(lib.VisibleCount, 2);
  EXPECT_EQ(lib.CurRecNo, 3);
  EXPECT_EQ(lib.RecordUseCount(1), 0u);  // no counts raised by a candidate list
}

TEST_F(MatchTable, CellSamplesAreConvertedForAYccLibrary) {
  // Grey 128 stores in YCC as 194, 128, 128. Unconverted, the RGB cell would
  // land on the first tile (128, 128, 128).
  std::vector<uint8_t> plain(kN, 128), grey(kN, 128);
  for (int i = 0; i < kN; i += 3) grey[size_t(i)] = 194;
  vtmatch::WriteLibrary(dir / "ycc.vt2", 2, 2, csYCC, {{plain}, {grey}});
  ASSERT_TRUE(lib.OpenFile(dir / "ycc.vt2", okLibrary));
  SetCell(plan, Flat(kN, 128), csRGB);
  lib.PickTileFlipped(plan, grid, kAll, -1, 0, cols, rows, 0, 0);
  EXPECT_EQ(lib.CurRecNo, 2);
  // A cell table with another sample grid is refused, not read past its end.
  SetCell(plan, Flat(6, 255));
  EXPECT_THROW(lib.PickTileFlipped(plan, grid, kAll, -1, 0, cols, rows, 1, 0), EVitrane);
}

TEST_F(MatchTable, PlainPickUsesRecordNumbersAsIdentities) {
  OpenWithHorizontalBlock();
  cols = 2;
  rows = 1;
  grid = {-1, -1};
  SetCell(plan, Flat(kN, 20));
  lib.PickTile(plan, grid, 0, 0, cols, rows, 0, 0);
  EXPECT_EQ(lib.CurRecNo, 3);
  EXPECT_EQ(grid[0], 3);
  lib.PickTile(plan, grid, 0, 0, cols, rows, 1, 0);
  EXPECT_EQ(lib.CurRecNo, 13);  // its copy is a tile of its own here
  EXPECT_EQ(grid[1], 13);
  EXPECT_EQ(lib.RecordUseCount(3), 1u);
  EXPECT_EQ(lib.RecordUseCount(13), 1u);
}

TEST_F(MatchTable, AReopenedLibraryStartsFromItsFlagBytes) {
  Open({0, 1});
  cols = rows = 1;
  grid = {-1};
  Pick(0, kAll, 5, 0, 0, 0);
  EXPECT_EQ(lib.RecordUseCount(1), 1u);
  ASSERT_TRUE(lib.OpenFile(dir / "lib.vt2", okLibrary));
  EXPECT_EQ(lib.RecordUseCount(1), 0u);
  grid = {-1};
  EXPECT_EQ(Pick(0, kAll, 0, 0, 0, 0), 1);
  lib.CloseTable();
  EXPECT_THROW(Pick(0, kAll, -1, 0, 0, 0), ERunOutOfTiles);
}

}  // namespace

namespace {

TEST_F(MatchTable, ACellUpdateOnTheLibraryIsSeenByTheMatcher) {
  Open({0, 100, 200});
  cols = rows = 1;
  grid = {-1};
  EXPECT_EQ(Pick(195, kAll, -1, 0, 0, 0), 3);
  // Record 1 takes record 3's tile; its samples change in place.
  lib.MoveToPhysical(3);
  ASSERT_TRUE(lib.SetRecordFrom(1, lib, false));
  grid = {-1};
  EXPECT_EQ(Pick(195, kAll, -1, 0, 0, 0), 1);
}

}  // namespace

namespace {

TEST_F(MatchTable, SamplesChangedInPlaceAreNoticedThroughTheWinner) {
  Open({0, 100});
  cols = rows = 1;
  grid = {-1};
  EXPECT_EQ(Pick(0, kAll, -1, 0, 0, 0), 1);
  std::fill_n(lib.DataRecord(1) + drSamples, kN, uint8_t(200));
  grid = {-1};
  EXPECT_EQ(Pick(0, kAll, -1, 0, 0, 0), 2);
}

}  // namespace

namespace {

// The table's choice against a plain scan over its own records, with flipped
// blocks made by the table, deleted records and counts kept in step.
TEST_F(MatchTable, BuildsAgreeWithAPlainScanOverTheRecords) {
  std::mt19937 rng(5);
  std::vector<TTile> tiles;
  for (int i = 0; i < 60; ++i) {
    TTile t{std::vector<uint8_t>(kN)};
    for (auto& b : t.Samples) b = uint8_t((rng() % 3) * 100);
    t.Flag = rng() % 10 == 0 ? 255 : 0;
    t.Thumb = false;
    tiles.push_back(t);
  }
  vtmatch::WriteLibrary(dir / "rand.vt2", 2, 2, csRGB, tiles);
  for (int round = 0; round < 6; ++round) {
    ASSERT_TRUE(lib.OpenFile(dir / "rand.vt2", okLibrary));
    lib.AddFlipped(TVTData::fkVertical);
    if (round % 2) lib.AddFlipped(TVTData::fkHorizontal);
    const int m = lib.OriginalCount, count = lib.RecordCount;
    const uint32_t flips = round < 3 ? kAll : (round == 3 ? 0x01000001u : 0x00000100u);
    const int repeat = round % 3 == 0 ? -1 : int(rng() % 3);
    const int d = int(rng() % 3);
    cols = 12;
    rows = 10;
    grid.assign(size_t(cols * rows), -1);
    std::vector<int32_t> plainGrid = grid;
    std::vector<uint32_t> use(size_t(count), 0);
    lib.ResetUsage();
    auto allowed = [&](int i) {
      const int k = i / m;
      if (k == 0) return (flips & 0xFF) != 0;
      const int kind = lib.FlipKinds[size_t(k)];
      return ((flips >> (8 * kind)) & 0xFF) != 0;
    };
    for (int cell = 0; cell < cols * rows; ++cell) {
      std::vector<uint8_t> target(kN);
      for (auto& b : target) b = uint8_t((rng() % 4) * 70);
      double best = INFINITY;
      int win = -1;
      for (int i = 0; i < count; ++i) {
        if (!allowed(i) || lib.RecordFlag(i + 1) >= 251) continue;
        if (repeat >= 0 && use[size_t(i)] > uint32_t(repeat)) continue;
        const double dist = SampleDistance(lib.RecordSamples(i + 1), target.data(), kN);
        if (dist < best && TileInWindow(i % m + 1, cell / cols, cell % cols, d, cols, rows, plainGrid)) {
          best = dist;
          win = i;
        }
      }
      SetCell(plan, target);
      if (win < 0) {
        EXPECT_THROW(lib.PickTileFlipped(plan, grid, flips, repeat, d, cols, rows, cell % cols, cell / cols),
                     ERunOutOfTiles);
        continue;
      }
      plainGrid[size_t(cell)] = win % m + 1;
      if (repeat >= 0) {
        for (int k = 0; k * m < count; ++k)
          if (allowed(k * m + win % m)) ++use[size_t(k * m + win % m)];
      }
      lib.PickTileFlipped(plan, grid, flips, repeat, d, cols, rows, cell % cols, cell / cols);
      ASSERT_EQ(lib.CurRecNo, win + 1) << "round " << round << " cell " << cell;
      ASSERT_EQ(grid, plainGrid);
    }
    for (int i = 0; i < count; ++i) {
      if (lib.RecordFlag(i + 1) < 251) {
        EXPECT_EQ(lib.RecordUseCount(i + 1), use[size_t(i)]);
      }
    }
  }
}

}  // namespace
