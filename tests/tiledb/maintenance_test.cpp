// Library maintenance: flipped blocks, truncation, compaction, resampling,
// use counts and the header probes.
#include <gtest/gtest.h>

#include <fstream>

#include "MatchFixtures.h"
#include "TestTables.h"
#include "imaging/Resample.h"
#include "platform/Hooks.h"
#include "tiledb/Match.h"
#include "tiledb/MatchEngine.h"
#include "tiledb/VTData.h"

using vtmatch::Flat;
using vtmatch::TTile;

namespace {

constexpr int kW = 3, kH = 2, kN = kW * kH * 3;

// Samples whose every byte tells pixel and channel apart.
std::vector<uint8_t> Ramp(int seed) {
  std::vector<uint8_t> v(kN);
  for (int i = 0; i < kN; ++i) v[size_t(i)] = uint8_t(seed * 50 + i);
  return v;
}

uint8_t Px(const std::vector<uint8_t>& v, int x, int y, int c) {
  return v[size_t((y * kW + x) * 3 + c)];
}
std::vector<uint8_t> SamplesOf(const TVTData& t, int rec) {
  return std::vector<uint8_t>(t.RecordSamples(rec), t.RecordSamples(rec) + kN);
}

class Maintenance : public ::testing::Test {
 protected:
  void SetUp() override { ClearHeadlessMessages(); }
  void OpenLibrary(int count, const std::vector<uint8_t>& flags = {}) {
    std::vector<TTile> tiles;
    for (int i = 0; i < count; ++i) {
      TTile t{Ramp(i)};
      t.Crop = TRect(10 + i, 20, 110, 95);
      if (i < int(flags.size())) t.Flag = flags[size_t(i)];
      tiles.push_back(t);
    }
    vtmatch::WriteLibrary(dir / "lib.vt2", kW, kH, csRGB, tiles);
    ASSERT_TRUE(lib.OpenFile(dir / "lib.vt2", okLibrary));
  }

  vttest::TempDir dir;
  TVTData lib;
};

TEST_F(Maintenance, FlippedBlocksInTheOrderAdded) {
  OpenLibrary(3);
  lib.AddFlipped(TVTData::fkHorizontal);
  lib.AddFlipped(TVTData::fkHorizontal);  // already there: nothing
  EXPECT_EQ(lib.RecordCount, 6);
  lib.AddFlipped(TVTData::fkVertical);
  lib.AddFlipped(TVTData::fkRotate180);
  EXPECT_EQ(lib.RecordCount, 12);
  EXPECT_EQ(lib.FlipKinds, (std::array<uint8_t, 4>{0, 1, 3, 2}));
  EXPECT_EQ(lib.VisibleCount, 12);
  EXPECT_EQ(lib.Modified, 1);
  EXPECT_TRUE(HeadlessMessages().empty());

  // Crop rectangles of original 1 (10, 20, 110, 95) in blocks 1, 2, 3.
  lib.MoveToPhysical(4);
  EXPECT_EQ(lib.CurCropRect, TRect(110, 20, 10, 95));
  lib.MoveToPhysical(7);
  EXPECT_EQ(lib.CurCropRect, TRect(10, 95, 110, 20));
  lib.MoveToPhysical(10);
  EXPECT_EQ(lib.CurCropRect, TRect(110, 95, 10, 20));
  EXPECT_EQ(lib.CurPath, "/pics/p0.jpg");
  EXPECT_EQ(lib.CurPicWidth, 400);

  // Samples: mirrored within rows, rows reversed, both.
  const std::vector<uint8_t> o = SamplesOf(lib, 2), h = SamplesOf(lib, 5), v = SamplesOf(lib, 8),
                             r = SamplesOf(lib, 11);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Px(h, x, y, c), Px(o, kW - 1 - x, y, c));
        EXPECT_EQ(Px(v, x, y, c), Px(o, x, kH - 1 - y, c));
        EXPECT_EQ(Px(r, x, y, c), Px(o, kW - 1 - x, kH - 1 - y, c));
      }
  // The bulk rewrite stores the data record's own offset.
  EXPECT_EQ(lib.RecordInfo(5).SamplesOffset, DataRecordOffset(5, kN));
  EXPECT_EQ(lib.RecordInfo(2).SamplesOffset, DataRecordOffset(2, kN) + 5);

  // The horizontal copy's thumbnail is mirrored: its light half is on the left.
  lib.ShowThumbs = true;
  lib.MoveToPhysical(4);
  const Bitmap24& th = lib.DisplayBitmap;
  ASSERT_EQ(th.Width(), 16);
  EXPECT_GT(GetRValue(th.Pixel(1, 5)), 150);
  EXPECT_LT(GetRValue(th.Pixel(14, 5)), 100);

  // A fourth kind has no slot left.
  lib.AddFlipped(5);
  EXPECT_EQ(lib.RecordCount, 12);
}

TEST_F(Maintenance, CopiesTakeTheOriginalsFlagsAndCounts) {
  OpenLibrary(3, {0, 255, 7});
  lib.AddFlipped(TVTData::fkHorizontal);
  EXPECT_EQ(lib.RecordFlag(5), 255);
  EXPECT_EQ(lib.RecordFlag(6), 7);
  EXPECT_EQ(lib.RecordUseCount(6), 7u);
  EXPECT_EQ(lib.RecordUseCount(5), kUseDeleted);
  lib.ResetUsage();
  EXPECT_EQ(lib.RecordFlag(6), 0);
  EXPECT_EQ(lib.RecordFlag(3), 0);
  EXPECT_EQ(lib.RecordFlag(2), 255);
  EXPECT_EQ(lib.RecordFlag(5), 255);
}

TEST_F(Maintenance, ProgressEveryHundredRecords) {
  OpenLibrary(250);
  std::vector<int> seen;
  lib.OnProgress = [&](TVTData& t) { seen.push_back(t.FProgress); };
  lib.AddFlipped(TVTData::fkVertical);
  EXPECT_EQ(seen, (std::vector<int>{0, 40, 80}));
  EXPECT_EQ(lib.RecordCount, 500);
}

TEST_F(Maintenance, AStoppedAddLeavesTheSectionsByteIdentical) {
  OpenLibrary(150);
  lib.AddFlipped(TVTData::fkHorizontal);
  lib.Modified = 0;
  const std::vector<uint8_t> info = lib.InfoSection.Bytes(), data = lib.DataSection.Bytes(),
                             thumbs = lib.ThumbSection.ReadAll();
  int calls = 0;
  lib.OnProgress = [&](TVTData& t) {
    if (++calls == 2) t.FStopBuild = true;  // at record 100 of the new block
  };
  lib.AddFlipped(TVTData::fkRotate180);
  EXPECT_EQ(lib.InfoSection.Bytes(), info);
  EXPECT_EQ(lib.DataSection.Bytes(), data);
  EXPECT_EQ(lib.ThumbSection.ReadAll(), thumbs);
  EXPECT_EQ(lib.RecordCount, 300);
  EXPECT_EQ(lib.FlipKinds, (std::array<uint8_t, 4>{0, 1, 0, 0}));
  EXPECT_EQ(lib.Modified, 1);
  ASSERT_EQ(HeadlessMessages().size(), 1u);
  EXPECT_EQ(HeadlessMessages()[0].Text, "Flipped tiles was not added to the library.");
  EXPECT_EQ(HeadlessMessages()[0].Caption, "Procedure stopped");
  EXPECT_EQ(HeadlessMessages()[0].Flags, unsigned(MB_OK | MB_ICONWARNING));
  // The table still chooses among its records as before.
  TVTData plan;
  vtmatch::SetCell(plan, Ramp(1));
  std::vector<int32_t> grid(1, -1);
  lib.PickTileFlipped(plan, grid, 0x01010101u, -1, 0, 1, 1, 0, 0);
  EXPECT_EQ(lib.CurRecNo, 2);
}

TEST_F(Maintenance, RemoveFlippedKeepsTheOriginalsWhole) {
  OpenLibrary(4);
  lib.ShowThumbs = true;
  std::vector<std::vector<uint8_t>> before;
  for (int n = 1; n <= 4; ++n) {
    lib.MoveToPhysical(n);
    before.push_back(lib.CurThumbJpeg);
  }
  lib.AddFlipped(TVTData::fkHorizontal);
  lib.AddFlipped(TVTData::fkVertical);
  lib.RemoveFlipped();
  EXPECT_EQ(lib.RecordCount, 4);
  EXPECT_EQ(lib.FlipKinds, (std::array<uint8_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(lib.DataSection.Size(), DataRecordOffset(5, kN));
  for (int n = 1; n <= 4; ++n) {
    lib.MoveToPhysical(n);
    EXPECT_EQ(lib.CurThumbJpeg, before[size_t(n - 1)]);
    EXPECT_EQ(lib.CurCropRect, TRect(10 + n - 1, 20, 110, 95));
    EXPECT_EQ(lib.CurSamples, Ramp(n - 1));
  }
  // Without flipped blocks nothing changes but the kinds.
  const std::vector<uint8_t> data = lib.DataSection.Bytes();
  lib.FlipKinds = {0, 2, 0, 0};
  lib.RemoveFlipped();
  EXPECT_EQ(lib.DataSection.Bytes(), data);
  EXPECT_EQ(lib.FlipKinds, (std::array<uint8_t, 4>{0, 0, 0, 0}));
}

TEST_F(Maintenance, TruncatingKeepsAThumbnailSharedWithACopy) {
  // Record 1's thumbnail is not a JPEG, so its copy keeps pointing at it.
  std::vector<TTile> tiles = {{Ramp(0)}, {Ramp(1)}};
  vtmatch::WriteLibrary(dir / "bad.vt2", kW, kH, csRGB, tiles);
  ASSERT_TRUE(lib.OpenFile(dir / "bad.vt2", okLibrary));
  const int32_t blob = lib.RecordInfo(1).ThumbBlobOffset;
  std::vector<uint8_t> junk;
  lib.ReadThumbBlob(blob, junk);
  std::fill(junk.begin(), junk.end(), 0x55);
  lib.ThumbSection.WriteAt(blob + 4, junk.data(), junk.size());
  lib.AddFlipped(TVTData::fkHorizontal);
  EXPECT_EQ(lib.RecordInfo(3).ThumbBlobOffset, blob);
  EXPECT_NE(lib.RecordInfo(4).ThumbBlobOffset, lib.RecordInfo(2).ThumbBlobOffset);
  lib.SortIndex.Write<int32_t>(4);  // any index is dropped
  lib.IndexKeySize = 8;
  lib.TruncateRecords(3);
  EXPECT_EQ(lib.RecordCount, 2);
  EXPECT_EQ(lib.IndexKeySize, 0);
  EXPECT_EQ(lib.VisibleCount, 2);
  std::vector<uint8_t> after;
  ASSERT_TRUE(lib.ReadThumbBlob(lib.RecordInfo(1).ThumbBlobOffset, after));
  EXPECT_EQ(after, junk);
  // A count at or above RecordCount cuts nothing.
  lib.TruncateRecords(2);
  EXPECT_EQ(lib.RecordCount, 2);
}

TEST_F(Maintenance, CompactKeepsOnlyWhatRecordsUse) {
  std::vector<TTile> tiles = {{Ramp(0)}, {Ramp(1)}, {Ramp(2)}};
  tiles[1].Thumb = false;
  vtmatch::WriteLibrary(dir / "c.vt2", kW, kH, csRGB, tiles);
  ASSERT_TRUE(lib.OpenFile(dir / "c.vt2", okLibrary));
  std::vector<uint8_t> t0, t2;
  lib.ReadThumbBlob(lib.RecordInfo(1).ThumbBlobOffset, t0);
  lib.ReadThumbBlob(lib.RecordInfo(3).ThumbBlobOffset, t2);
  // Leave unreferenced bytes behind, as a replaced record does.
  TTileInfoRecord extra = lib.RecordInfo(1);
  extra.Path = "/old/left/behind.jpg";
  lib.AppendInfoRecord(extra);
  lib.AppendThumbBlob(t0.data(), t0.size());
  lib.Modified = 0;
  lib.Compact();
  EXPECT_EQ(lib.Modified, 0);
  int64_t at = 4;
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(lib.RecordInfoOffset(n), at);
    const TTileInfoRecord r = lib.RecordInfo(n);
    EXPECT_EQ(r.SamplesOffset, DataRecordOffset(n, kN));
    EXPECT_EQ(r.Path, "/pics/p" + std::to_string(n - 1) + ".jpg");
    at += 38 + int64_t(r.Path.size());
  }
  EXPECT_EQ(lib.InfoSection.Size(), at);
  std::vector<uint8_t> b;
  EXPECT_TRUE(lib.ReadThumbBlob(lib.RecordInfo(1).ThumbBlobOffset, b));
  EXPECT_EQ(b, t0);
  EXPECT_FALSE(lib.ReadThumbBlob(lib.RecordInfo(2).ThumbBlobOffset, b));  // a blob of length 0
  EXPECT_TRUE(lib.ReadThumbBlob(lib.RecordInfo(3).ThumbBlobOffset, b));
  EXPECT_EQ(b, t2);
  EXPECT_EQ(lib.ThumbSection.Size(), 4 + 3 * 4 + int64_t(t0.size() + t2.size()));
  const std::vector<uint8_t> tag = lib.ThumbSection.ReadAll();
  EXPECT_EQ(std::string(tag.begin(), tag.begin() + 4), ".tmb");
}

TEST_F(Maintenance, ResetUsageClearsCountsAndKeepsDeleteMarks) {
  OpenLibrary(3, {3, 255, 250});
  TVTData plan;
  vtmatch::SetCell(plan, Ramp(0));
  std::vector<int32_t> grid(1, -1);
  lib.PickTileFlipped(plan, grid, 1, 1000, 0, 1, 1, 0, 0);
  EXPECT_EQ(lib.RecordUseCount(1), 4u);
  lib.ResetUsage();
  EXPECT_EQ(lib.RecordFlag(1), 0);
  EXPECT_EQ(lib.RecordFlag(2), 255);
  EXPECT_EQ(lib.RecordFlag(3), 0);
  EXPECT_EQ(lib.RecordUseCount(1), 0u);
  EXPECT_EQ(lib.RecordUseCount(2), kUseDeleted);
}

TEST_F(Maintenance, HeaderProbes) {
  OpenLibrary(2);
  auto make = [&](const std::string& name, int xres, int yres, uint8_t cs, int xscale, int yscale) {
    std::vector<TTile> tiles = {{Flat(xres * yres * 3, 9)}};
    vtmatch::WriteLibrary(dir / name, xres, yres, cs, tiles, xscale, yscale);
    return dir / name;
  };
  EXPECT_EQ(lib.CheckBaseFile(make("same.vt2", kW, kH, csRGB, 4, 3)), TVTData::lcCompatible);
  EXPECT_EQ(lib.CheckBaseFile(make("ycc.vt2", kW, kH, csYCC, 4, 3)), TVTData::lcCompatible);
  EXPECT_EQ(lib.CheckBaseFile(make("aspect.vt2", kW, kH, csRGB, 4, 4)), TVTData::lcOtherAspect);
  EXPECT_EQ(lib.CheckBaseFile(make("both.vt2", 6, 6, csRGB, 4, 4)), TVTData::lcOtherSampling);
  EXPECT_EQ(lib.CheckBaseFile(dir / "missing.vt2"), TVTData::lcNotLibrary);
  {
    std::ofstream f(dir / "text.vt2");
    f << "This is only a text file, long enough to hold a header of seventy-nine bytes, but no magic.";
  }
  EXPECT_EQ(lib.CheckBaseFile(dir / "text.vt2"), TVTData::lcNotLibrary);
  {
    std::ofstream f(dir / "short.vt2", std::ios::binary);
    f.write("\x00\xFF\x20VTB21", 8);
  }
  EXPECT_EQ(lib.CheckBaseFile(dir / "short.vt2"), TVTData::lcNotLibrary);

  TVTData::TBaseInfo info;
  lib.ReadBaseInfo(dir / "both.vt2", info);
  EXPECT_EQ(info.Name, dir / "both.vt2");
  EXPECT_EQ(info.RecordCount, 1);
  EXPECT_EQ(info.XScale, 4);
  EXPECT_EQ(info.YScale, 4);
  EXPECT_EQ(info.XRes, 6);
  EXPECT_EQ(info.YRes, 6);
  lib.ReadBaseInfo(dir / "text.vt2", info);
  EXPECT_EQ(info.Name, "");
  EXPECT_EQ(info.XRes, 6);  // the other fields stay as they were
  lib.GetBaseInfo(info);
  EXPECT_EQ(info.Name, dir / "lib.vt2");
  EXPECT_EQ(info.RecordCount, 2);
  EXPECT_EQ(info.XRes, kW);
  lib.CloseTable();
  lib.GetBaseInfo(info);
  EXPECT_EQ(info.Name, "");
}

TEST_F(Maintenance, ResampleBaseWritesTheOriginalsOnANewGrid) {
  OpenLibrary(3, {0, 4, 255});
  lib.AddFlipped(TVTData::fkHorizontal);
  const std::string out = dir / "new.vt2";
  lib.ResampleBase(out, 2, 2, csYCC);
  EXPECT_EQ(lib.RecordCount, 6);  // the table in memory stays
  EXPECT_EQ(lib.XRes, kW);
  TVTData t;
  ASSERT_TRUE(t.OpenFile(out, okLibrary));
  EXPECT_EQ(t.RecordCount, 3);
  EXPECT_EQ(t.OriginalCount, 3);
  EXPECT_EQ(t.FlipKinds, (std::array<uint8_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(t.XRes, 2);
  EXPECT_EQ(t.YRes, 2);
  EXPECT_EQ(t.ColorSystem, csYCC);
  EXPECT_EQ(t.XScale, 4);
  EXPECT_EQ(t.YScale, 3);
  EXPECT_EQ(t.RecordFlag(2), 4);
  EXPECT_EQ(t.RecordFlag(3), 255);
  // Record 2's samples: its thumbnail resampled with the library's filter.
  Bitmap24 thumb = vtmatch::ThumbFor(1), expect;
  lib.ShowThumbs = true;
  lib.MoveToPhysical(2);
  Bitmap24 decoded = lib.DisplayBitmap;
  StretchBitmap(2, 2, FilterFromByte(lib.ResampleFilter), 0, decoded, expect);
  std::vector<uint8_t> want;
  WriteBitmapPixels(expect, want, csYCC);
  t.MoveToPhysical(2);
  EXPECT_EQ(t.CurSamples, want);
  EXPECT_EQ(t.CurPath, "/pics/p1.jpg");
  EXPECT_EQ(t.CurCropRect, TRect(11, 20, 110, 95));
  std::vector<uint8_t> a, b;
  ASSERT_TRUE(t.ReadThumbBlob(t.RecordInfo(2).ThumbBlobOffset, a));
  ASSERT_TRUE(lib.ReadThumbBlob(lib.RecordInfo(2).ThumbBlobOffset, b));
  EXPECT_EQ(a, b);
  EXPECT_TRUE(HeadlessMessages().empty());
}

TEST_F(Maintenance, ResampleNeverGivesARecordAnotherRecordsSamples) {
  std::vector<TTile> tiles = {{Ramp(0)}, {Ramp(1)}};
  tiles[1].Thumb = false;
  vtmatch::WriteLibrary(dir / "nothumb.vt2", kW, kH, csRGB, tiles);
  ASSERT_TRUE(lib.OpenFile(dir / "nothumb.vt2", okLibrary));
  lib.ResampleBase(dir / "same.vt2", kW, kH, csRGB);
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "same.vt2", okLibrary));
  EXPECT_EQ(SamplesOf(t, 2), Ramp(1));  // same grid and colours: kept
  EXPECT_EQ(t.RecordFlag(2), 0);
  EXPECT_EQ(t.RecordInfo(2).ThumbBlobOffset, 0);
  lib.ResampleBase(dir / "other.vt2", 2, 2, csRGB);
  ASSERT_TRUE(t.OpenFile(dir / "other.vt2", okLibrary));
  EXPECT_EQ(t.RecordFlag(2), 255);  // cannot be made: marked deleted
  EXPECT_EQ(t.RecordFlag(1), 0);
}

TEST_F(Maintenance, AStoppedResampleWritesWhatWasDone) {
  OpenLibrary(150);
  lib.OnProgress = [&](TVTData& t) { t.FStopBuild = true; };
  lib.ResampleBase(dir / "part.vt2", 2, 2, csRGB);
  ASSERT_EQ(HeadlessMessages().size(), 1u);
  EXPECT_EQ(HeadlessMessages()[0].Text, "Pack procedure was cancelled");
  EXPECT_EQ(HeadlessMessages()[0].Caption, "Stopped");
  EXPECT_EQ(HeadlessMessages()[0].Flags, unsigned(MB_OK | MB_ICONWARNING));
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "part.vt2", okLibrary));
  EXPECT_EQ(t.RecordCount, 1);
  EXPECT_THROW(lib.ResampleBase(dir / "bad.vt2", 0, 2, csRGB), EVitrane);
  EXPECT_THROW(lib.ResampleBase(dir / "bad.vt2", 2, 2, 4), EVitrane);
  EXPECT_FALSE(FileExists(dir / "bad.vt2"));
}

TEST_F(Maintenance, FlippedBlocksSurviveSavingAndServeABuild) {
  OpenLibrary(4);
  lib.AddFlipped(TVTData::fkRotate180);
  lib.Save();
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "lib.vt2", okLibrary));
  EXPECT_EQ(t.RecordCount, 8);
  EXPECT_EQ(t.OriginalCount, 4);
  EXPECT_EQ(t.FlipKinds, (std::array<uint8_t, 4>{0, 2, 0, 0}));
  // A cell equal to the rotated copy of original 3 finds record 7, identity 3.
  TVTData plan;
  vtmatch::SetCell(plan, SamplesOf(t, 7));
  std::vector<int32_t> grid(1, -1);
  t.PickTileFlipped(plan, grid, 0x00010000u, 0, 0, 1, 1, 0, 0);  // only the 180 degree copies
  EXPECT_EQ(t.CurRecNo, 7);
  EXPECT_EQ(grid[0], 3);
}

}  // namespace
