#include <gtest/gtest.h>

#include <algorithm>

#include "TestTables.h"
#include "tiledb/VTData.h"

using namespace vttest;

namespace {

// The physical record numbers in the visible order.
std::vector<int> VisibleOrder(TVTData& t) {
  std::vector<int> v;
  for (int i = 1; i <= t.VisibleCount; ++i) {
    t.MoveTo(i);
    v.push_back(t.CurRecNo);
  }
  return v;
}

TEST(SortOrders, ByNameIsOrdinalAndIgnoresFolders) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2",
              {.Count = 5, .Paths = {"/z/b.jpg", "/a/B.jpg", "/y/a.jpg", "C:\\pics\\A.jpg", "noslash.jpg"}});
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  t.SortByName();
  EXPECT_EQ(t.IndexKeySize, 120);
  EXPECT_EQ(t.VisibleCount, 5);
  EXPECT_EQ(t.CurIndexPos, 0);
  EXPECT_EQ(VisibleOrder(t), (std::vector<int>{4, 2, 3, 1, 5}));
  t.ClearIndex();
  EXPECT_EQ(t.IndexKeySize, 0);
  EXPECT_EQ(t.VisibleCount, 5);
  EXPECT_EQ(VisibleOrder(t), (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(SortOrders, NameKey) {
  EXPECT_EQ(TVTData::NameKey("/a/b/photo.jpg"), "photo.jpg" + std::string(111, ' '));
  EXPECT_EQ(TVTData::NameKey("D:\\x\\y.png").substr(0, 6), "y.png ");
  // The file name is taken first, then cut: a long folder does not crowd it out.
  const std::string longName(130, 'n');
  EXPECT_EQ(TVTData::NameKey("/" + std::string(200, 'f') + "/" + longName), std::string(120, 'n'));
  EXPECT_EQ(TVTData::NameKey("").size(), 120u);
}

TEST(SortOrders, ByDetailIsDescendingAndStable) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 6, .Details = {3, 9, 3, 0, 9, 3}});
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  t.SortByDetail();
  EXPECT_EQ(t.IndexKeySize, 8);
  EXPECT_EQ(VisibleOrder(t), (std::vector<int>{2, 5, 1, 3, 6, 4}));
}

TEST(SortOrders, RandomIsAPermutationReproducibleFromASeed) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 40, .Thumbs = false});
  TVTData a, b;
  ASSERT_TRUE(a.OpenFile(dir / "a.vt2", okLibrary));
  ASSERT_TRUE(b.OpenFile(dir / "a.vt2", okLibrary));
  a.SortRandom(1234);
  b.SortRandom(1234);
  const auto oa = VisibleOrder(a);
  EXPECT_EQ(oa, VisibleOrder(b));
  auto sorted = oa;
  std::sort(sorted.begin(), sorted.end());
  std::vector<int> all(40);
  for (int i = 0; i < 40; ++i) all[size_t(i)] = i + 1;
  EXPECT_EQ(sorted, all);
  EXPECT_NE(oa, all);
  // Keys are integers in 0 .. 10 * RecordCount - 1, descending.
  double prev = 1e300;
  for (int i = 0; i < 40; ++i) {
    const double k = GetF64(a.SortIndex.Memory() + i * 12 + 4);
    EXPECT_EQ(k, double(int64_t(k)));
    EXPECT_GE(k, 0);
    EXPECT_LT(k, 400);
    EXPECT_LE(k, prev);
    prev = k;
  }
  b.SortRandom(99);
  EXPECT_NE(oa, VisibleOrder(b));
}

TEST(SortOrders, BySamplesAndByBitmap) {
  TempDir dir;
  // Records 2 and 4 share their samples: the tie keeps physical order.
  MakeLibrary(dir / "a.vt2", {.Count = 4, .Seeds = {1, 7, 3, 7}});
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  std::vector<uint8_t> target;
  WriteBitmapPixels(Pattern(6, 6, 7), target, csRGB);
  t.SortBySamples(target);
  const auto order = VisibleOrder(t);
  EXPECT_EQ(order[0], 2);
  EXPECT_EQ(order[1], 4);
  EXPECT_EQ(GetF64(t.SortIndex.Memory() + 4), 0.0);
  // A picture of the grid's own size resampled 1:1 with the box filter (the
  // library's filter byte 1 is the triangle; at 1:1 both keep the pixels).
  t.SortByBitmap(Pattern(6, 6, 3));
  EXPECT_EQ(VisibleOrder(t)[0], 3);
}

TEST(SortOrders, BestKeepsExactlyCountEntries) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 3});
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  t.SortIndex.Clear();
  const double keys[3] = {5.0, 1.0, 5.0};
  for (int r = 1; r <= 3; ++r) {
    t.SortIndex.Write<int32_t>(int32_t(DataRecordOffset(r, t.SampleSize)));
    t.SortIndex.Write<double>(keys[r - 1]);
  }
  t.IndexKeySize = 8;
  t.SortKeysBest(5);
  EXPECT_EQ(t.SortIndex.Size(), 5 * 12);
  t.VisibleCount = 5;
  EXPECT_EQ(VisibleOrder(t), (std::vector<int>{2, 1, 3, 0, 0}));
  t.MoveTo(5);
  EXPECT_EQ(t.CurPath, "");
  t.SortKeysBest(1);
  t.VisibleCount = 1;
  EXPECT_EQ(VisibleOrder(t), (std::vector<int>{2}));
}

TEST(SortOrders, EmptyTableGivesEmptyIndex) {
  TempDir dir;
  MakeLibrary(dir / "e.vt2", {.Count = 0});
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "e.vt2", okLibrary));
  t.SortByName();
  EXPECT_EQ(t.VisibleCount, 0);
  EXPECT_EQ(t.CurPath, "");
  t.SortRandom();
  EXPECT_EQ(t.VisibleCount, 0);
}

TEST(SortOrders, KeySortsOfManyEntriesAreStable) {
  TVTData t;
  t.SortIndex.Clear();
  for (int i = 0; i < 1000; ++i) {
    t.SortIndex.Write<int32_t>(i + 1);
    t.SortIndex.Write<double>(double(i % 7));
  }
  t.SortKeysDescending();
  const uint8_t* p = t.SortIndex.Memory();
  for (int i = 1; i < 1000; ++i) {
    const double a = GetF64(p + (i - 1) * 12 + 4), b = GetF64(p + i * 12 + 4);
    ASSERT_GE(a, b);
    if (a == b) {
      ASSERT_LT(GetI32(p + (i - 1) * 12), GetI32(p + i * 12));
    }
  }
}

// ---- Links ----------------------------------------------------------------------------

struct Mosaic4x4 {
  TempDir Dir;
  TVTData Lib, Plan, Mosaic;
  Mosaic4x4() {
    MakeLibrary(Dir / "lib.vt2", {.Count = 20});
    EXPECT_TRUE(Lib.OpenFile(Dir / "lib.vt2", okLibrary));
    Bitmap24 src = Pattern(24, 24, 5);
    Lib.CreatePlan(Dir / "x.vtp", src, {}, 4, 4);
    EXPECT_TRUE(Plan.OpenProject(Dir / "x.vtp", Mosaic));
  }
};

TEST(CellLinks, AllAndRectangles) {
  Mosaic4x4 m;
  for (int r = 1; r <= 16; ++r) {
    m.Lib.MoveTo(r);
    ASSERT_TRUE(m.Mosaic.SetRecordFrom(r, m.Lib, false));
  }
  std::vector<int32_t> links;
  m.Mosaic.GetAllLinks(links, 0);
  ASSERT_EQ(links.size(), 16u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(links[size_t(i)], i + 1);
  m.Mosaic.GetAllLinks(links, -1);
  EXPECT_EQ(links, std::vector<int32_t>(16, -1));

  m.Mosaic.GetCellLinks(links, true, 2, 2, 3, 3, 4, 4);
  ASSERT_EQ(links.size(), 16u);
  EXPECT_EQ(std::count(links.begin(), links.end(), -1), 12);
  for (int rec : {6, 7, 10, 11}) EXPECT_EQ(links[size_t(rec - 1)], rec);
  m.Mosaic.GetCellLinks(links, false, 2, 2, 3, 3, 4, 4);
  EXPECT_EQ(std::count(links.begin(), links.end(), -1), 4);
  EXPECT_EQ(links[0], 1);
  EXPECT_EQ(links[5], -1);
  m.Mosaic.GetCellLinks(links, true, -1, 2, 3, 3, 4, 4);
  EXPECT_EQ(links, std::vector<int32_t>(16, -1));
}

// ---- Cell updates ---------------------------------------------------------------------

TEST(CellUpdates, SetRecordFromStoresTheOriginalsNumber) {
  Mosaic4x4 m;
  // Pretend records 11..20 are the flipped copies of 1..10.
  m.Lib.OriginalCount = 10;
  m.Mosaic.MoveTo(3);
  m.Lib.MoveTo(20);
  ASSERT_TRUE(m.Mosaic.SetRecordFrom(1, m.Lib, true));
  m.Lib.MoveTo(10);
  ASSERT_TRUE(m.Mosaic.SetRecordFrom(2, m.Lib, true));
  ASSERT_TRUE(m.Mosaic.SetRecordFrom(4, m.Lib, false));
  EXPECT_EQ(m.Mosaic.Modified, 1);
  // The cursor was left where it was.
  EXPECT_EQ(m.Mosaic.CurRecNo, 3);
  EXPECT_EQ(m.Mosaic.CurLink, 0);
  m.Mosaic.MoveTo(1);
  EXPECT_EQ(m.Mosaic.CurLink, 10);
  EXPECT_EQ(m.Mosaic.CurPath, "/pics/pic19.jpg");
  EXPECT_EQ(m.Mosaic.CurCropRect, TRect(19, 38, 381, 262));
  EXPECT_EQ(m.Mosaic.CurPicHeight, 319);
  m.Mosaic.MoveTo(2);
  EXPECT_EQ(m.Mosaic.CurLink, 10);
  m.Mosaic.MoveTo(4);
  EXPECT_EQ(m.Mosaic.CurLink, 10);
  // Same colour system: the samples are copied.
  m.Lib.MoveTo(10);
  EXPECT_EQ(m.Mosaic.CurSamples, m.Lib.CurSamples);
  // A loaded thumbnail travels as its JPEG bytes.
  m.Lib.ShowThumbs = true;
  m.Lib.MoveTo(10);
  ASSERT_FALSE(m.Lib.CurThumbJpeg.empty());
  ASSERT_TRUE(m.Mosaic.SetRecordFrom(8, m.Lib, true));
  m.Mosaic.ShowThumbs = true;
  m.Mosaic.MoveTo(8);
  EXPECT_EQ(m.Mosaic.CurThumbJpeg, m.Lib.CurThumbJpeg);
}

TEST(CellUpdates, YccLibraryIntoRgbMosaicResamplesTheDisplayedPicture) {
  Mosaic4x4 m;
  MakeLibrary(m.Dir / "ycc.vt2", {.Count = 2, .ColorSystem = csYCC});
  TVTData ycc;
  ycc.ShowThumbs = false;
  ASSERT_TRUE(ycc.OpenFile(m.Dir / "ycc.vt2", okLibrary));
  ycc.MoveTo(1);
  ASSERT_TRUE(m.Mosaic.SetRecordFrom(5, ycc, true));
  m.Mosaic.MoveTo(5);
  // DisplayBitmap is the YCC samples read back as a picture, 6 x 6: resampled
  // 1:1 and stored as RGB it gives the picture's own bytes.
  std::vector<uint8_t> want;
  Bitmap24 small;
  StretchBitmap(6, 6, rfMitchell, 0, ycc.DisplayBitmap, small);
  WriteBitmapPixels(small, want, csRGB);
  EXPECT_EQ(m.Mosaic.CurSamples, want);
  EXPECT_NE(m.Mosaic.CurSamples, ycc.CurSamples);
}

TEST(CellUpdates, RefusalsChangeNothing) {
  Mosaic4x4 m;
  const auto data = m.Mosaic.DataSection.Bytes();
  const auto info = m.Mosaic.InfoSection.Bytes();
  m.Lib.MoveTo(1);
  EXPECT_FALSE(m.Mosaic.SetRecordFrom(0, m.Lib, true));
  EXPECT_FALSE(m.Mosaic.SetRecordFrom(17, m.Lib, true));
  EXPECT_FALSE(m.Mosaic.CopyRecordFrom(17, m.Lib));
  // Another sample grid.
  MakeLibrary(m.Dir / "g.vt2", {.Count = 2, .XRes = 3, .YRes = 3});
  TVTData other;
  ASSERT_TRUE(other.OpenFile(m.Dir / "g.vt2", okLibrary));
  EXPECT_FALSE(m.Mosaic.SetRecordFrom(1, other, true));
  EXPECT_FALSE(m.Mosaic.CopyRecordFrom(1, other));
  // An empty current record.
  m.Lib.SortIndex.Clear();
  m.Lib.SortIndex.Write<int32_t>(0);
  m.Lib.SortIndex.Write<double>(0);
  m.Lib.IndexKeySize = 8;
  m.Lib.VisibleCount = 1;
  m.Lib.MoveTo(1);
  ASSERT_EQ(m.Lib.CurRecNo, 0);
  EXPECT_FALSE(m.Mosaic.SetRecordFrom(1, m.Lib, true));
  EXPECT_FALSE(m.Mosaic.SetRecordBitmap(1, Bitmap24(), 5, 1, 1, 0, 0, 1, 1, "x"));
  EXPECT_EQ(m.Mosaic.DataSection.Bytes(), data);
  EXPECT_EQ(m.Mosaic.InfoSection.Bytes(), info);
  EXPECT_EQ(m.Mosaic.Modified, 0);
}

TEST(CellUpdates, PhysicalNumbersEvenWithAnIndex) {
  Mosaic4x4 m;
  m.Mosaic.SortRandom(7);
  m.Lib.MoveTo(9);
  ASSERT_TRUE(m.Mosaic.SetRecordFrom(2, m.Lib, true));
  m.Mosaic.ClearIndex();
  m.Mosaic.MoveTo(2);
  EXPECT_EQ(m.Mosaic.CurLink, 9);
}

TEST(CellUpdates, BitmapAndResetFromPlan) {
  Mosaic4x4 m;
  Bitmap24 tile = Pattern(30, 20, 9);
  ASSERT_TRUE(m.Mosaic.SetRecordBitmap(7, tile, CustomTileLink, 300, 200, 1, 2, 3, 4, "/custom/t.png"));
  m.Mosaic.ShowThumbs = true;
  m.Mosaic.MoveTo(7);
  EXPECT_EQ(m.Mosaic.CurLink, CustomTileLink);
  EXPECT_EQ(m.Mosaic.CurPath, "/custom/t.png");
  EXPECT_EQ(m.Mosaic.CurPicWidth, 300);
  EXPECT_EQ(m.Mosaic.CurCropRect, TRect(1, 2, 3, 4));
  EXPECT_EQ(m.Mosaic.DisplayBitmap.Width(), 30);  // the whole bitmap is the thumbnail
  EXPECT_EQ(m.Mosaic.CurFlag, 0);
  std::vector<uint8_t> want;
  Bitmap24 small;
  StretchBitmap(6, 6, rfMitchell, 0, tile, small);
  WriteBitmapPixels(small, want, csRGB);
  EXPECT_EQ(m.Mosaic.CurSamples, want);

  // Resetting the cell copies the plan's record back with link 0.
  m.Plan.MoveTo(7);
  ASSERT_TRUE(m.Mosaic.CopyRecordFrom(7, m.Plan));
  m.Mosaic.MoveTo(7);
  EXPECT_EQ(m.Mosaic.CurLink, 0);
  EXPECT_EQ(m.Mosaic.CurSamples, m.Plan.CurSamples);
  EXPECT_EQ(m.Mosaic.CurPath, "  ");

  // Updates survive a save (after compaction is the caller's business).
  m.Plan.SaveProject(m.Dir / "x.vtp", m.Mosaic, m.Lib);
  TVTData p, mo;
  ASSERT_TRUE(p.OpenProject(m.Dir / "x.vtp", mo));
  mo.MoveTo(7);
  EXPECT_EQ(mo.CurSamples, m.Plan.CurSamples);
}

TEST(CellUpdates, DeletedSourceMarksTheCell) {
  Mosaic4x4 m;
  m.Lib.SetRecordFlag(4, FlagDeleted);
  m.Lib.MoveTo(4);
  ASSERT_TRUE(m.Lib.PicDeleted());
  ASSERT_TRUE(m.Mosaic.SetRecordFrom(1, m.Lib, true));
  EXPECT_EQ(m.Mosaic.RecordFlag(1), FlagDeleted);
}

}  // namespace

namespace {

// The table's sections as one file's bytes.
std::vector<uint8_t> TableBytes(TVTData& t, const std::string& name) {
  EXPECT_TRUE(t.WriteTableFile(name));
  return Bytes(name);
}

}  // namespace

// Copying every record at once writes what copying them one by one writes,
// whatever the source shows: thumbnails it holds, or pictures to encode.
TEST(CellUpdates, CopyingAllRecordsWritesWhatCopyingEachWrites) {
  TempDir dir;
  MakeLibrary(dir / "lib.vt2", {.Count = 300, .ColorSystem = csYCC, .ThumbW = 12, .ThumbH = 9});
  MakeLibrary(dir / "rgb.vt2", {.Count = 300, .Thumbs = false});
  MakeLibrary(dir / "grid.vt2", {.Count = 300, .XRes = 4, .YRes = 4});
  for (const char* source : {"lib.vt2", "rgb.vt2", "grid.vt2"})
    for (bool thumbs : {false, true}) {
      SCOPED_TRACE(std::string(source) + (thumbs ? " with thumbnails" : ""));
      TVTData src, one, all;
      src.ShowThumbs = thumbs;
      ASSERT_TRUE(src.OpenFile(dir / source, okLibrary));
      ASSERT_TRUE(one.OpenFile(dir / "rgb.vt2", okLibrary));
      ASSERT_TRUE(all.OpenFile(dir / "rgb.vt2", okLibrary));
      one.FThumbQ = all.FThumbQ = 60;
      for (int32_t n = 1; n <= one.RecordCount; ++n) {
        src.MoveTo(n);
        one.CopyRecordFrom(n, src);
      }
      const int32_t last = src.CurRecNo;
      src.MoveTo(1);
      all.CopyAllRecordsFrom(src);
      EXPECT_EQ(src.CurRecNo, last);
      EXPECT_EQ(all.Modified, one.Modified);
      EXPECT_EQ(TableBytes(all, dir / "all.vt2"), TableBytes(one, dir / "one.vt2"));
    }
}
