#include <gtest/gtest.h>

#include <filesystem>

#include "TestTables.h"
#include "common/SaveTraps.h"
#include "tiledb/ProjectFile.h"
#include "tiledb/VTData.h"

using namespace vttest;

namespace {

// A source whose cells (on a grid of cols x rows cells of w x h pixels) each
// hold one colour: cell (c, r) is RGB(10 + 20c, 30 + 10r, 200).
Bitmap24 CellSource(int cols, int rows, int w, int h) {
  Bitmap24 b(cols * w, rows * h);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c)
      b.FillRect(TRect(c * w, r * h, (c + 1) * w, (r + 1) * h),
                 RGB(uint8_t(10 + 20 * c), uint8_t(30 + 10 * r), 200));
  return b;
}

struct Fixture {
  TempDir Dir;
  TVTData Lib;
  std::string LibName;
  explicit Fixture(LibraryRecipe recipe = {}) {
    LibName = Dir / "lib.vt2";
    MakeLibrary(LibName, recipe);
    EXPECT_TRUE(Lib.OpenFile(LibName, okLibrary));
  }
};

TEST(ProjectFile, TwoByOneProjectLayout) {
  Fixture f({.Count = 3, .ColorSystem = csYCC, .Filter = 0});
  f.Lib.FFilter = 9;  // the plan header's filter byte comes from here
  const TSourceInfo src{"/src/p.jpg", TRect(1, 2, 13, 8)};
  const std::string name = f.Dir / "x.vtp";
  f.Lib.CreatePlan(name, CellSource(2, 1, 6, 6), src, 1, 2);
  const auto b = Bytes(name);
  const size_t l1 = f.LibName.size(), l2 = src.SourcePath.size();
  ASSERT_EQ(b.size(), 40 + l1 + l2 + 2 * (4 + 397));
  EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 8),
            (std::vector<uint8_t>{0x00, 0xFF, 0x20, 'V', 'T', 'P', '2', '1'}));
  EXPECT_EQ(U16(b, 8), 2);
  EXPECT_EQ(U16(b, 10), 1);
  const size_t planAt = size_t(I32(b, 12));
  EXPECT_EQ(planAt, 40 + l1 + l2);
  EXPECT_EQ(size_t(I32(b, 16)), planAt + 4 + 397);
  EXPECT_EQ(U16(b, 20), l1);
  EXPECT_EQ(std::string(b.begin() + 22, b.begin() + 22 + std::ptrdiff_t(l1)), f.LibName);
  EXPECT_EQ(U16(b, 22 + l1), l2);
  EXPECT_EQ(I32(b, 24 + l1 + l2), 1);
  EXPECT_EQ(I32(b, 36 + l1 + l2), 8);
  EXPECT_EQ(I32(b, planAt), 397);
  const std::vector<uint8_t> plan(b.begin() + std::ptrdiff_t(planAt + 4),
                                  b.begin() + std::ptrdiff_t(planAt + 401));
  const std::vector<uint8_t> mosaic(b.begin() + std::ptrdiff_t(planAt + 405), b.end());
  EXPECT_EQ(plan, mosaic);
  EXPECT_EQ(I32(plan, 8), 2);   // RecordCount
  EXPECT_EQ(plan[12], 3);       // SampleDepth of the library
  EXPECT_EQ(plan[13], csRGB);   // plans are RGB whatever the library
  EXPECT_EQ(plan[14], 6);       // FFilter 9 mapped
  EXPECT_EQ(I32(plan, 15), 2);  // OriginalCount
  EXPECT_EQ(I32(plan, 67), 79);
  EXPECT_EQ(I32(plan, 71), 79 + 84);
  EXPECT_EQ(I32(plan, 75), 79 + 84 + 230);

  TVTData p, m;
  ASSERT_TRUE(p.OpenProject(name, m));
  EXPECT_EQ(p.Columns, 2);
  EXPECT_EQ(p.Rows, 1);
  EXPECT_EQ(p.LibraryPath, f.LibName);
  EXPECT_EQ(p.SourcePath, "/src/p.jpg");
  EXPECT_EQ(p.SourceRect, TRect(1, 2, 13, 8));
  EXPECT_EQ(p.Extra1, 0);
  EXPECT_EQ(p.Extra2, 0);
  EXPECT_EQ(p.ColorSystem, csRGB);
  EXPECT_EQ(m.RecordCount, 2);
  // Uniform cells: the box filter at 1:1 keeps them; detail 0; path two blanks.
  for (int r = 1; r <= 2; ++r) {
    p.MoveTo(r);
    EXPECT_EQ(p.CurPath, "  ");
    EXPECT_EQ(p.CurLink, 0);
    for (int i = 0; i < 36; ++i) {
      EXPECT_EQ(p.CurSamples[size_t(3 * i)], 200);
      EXPECT_EQ(p.CurSamples[size_t(3 * i + 1)], 30);
      EXPECT_EQ(p.CurSamples[size_t(3 * i + 2)], 10 + 20 * (r - 1));
    }
    EXPECT_EQ(p.RecordInfo(r).Detail, 0.0);
    EXPECT_EQ(p.RecordInfo(r).ThumbBlobOffset, 0);
  }
  // The library table keeps its records; its build parameters follow it.
  EXPECT_EQ(f.Lib.RecordCount, 3);
  EXPECT_EQ(f.Lib.FColorSystem, csRGB);
  EXPECT_EQ(f.Lib.FXRes, 6);
}

TEST(ProjectFile, SaveGrowsToLongFormAndRoundTrips) {
  Fixture f;
  const std::string name = f.Dir / "x.vtp";
  f.Lib.CreatePlan(name, CellSource(2, 1, 6, 6), {"/src/p.jpg", TRect(0, 0, 12, 6)}, 1, 2);
  const auto created = Bytes(name);
  TVTData p, m;
  ASSERT_TRUE(p.OpenProject(name, m));
  p.Extra1 = 11;
  p.Extra2 = 22;
  p.SaveProject(name, m, f.Lib);
  const auto saved = Bytes(name);
  EXPECT_EQ(saved.size(), created.size() + 24);
  const size_t l = f.LibName.size() + 10;
  EXPECT_EQ(size_t(I32(saved, 12)), 64 + l);
  EXPECT_EQ(I32(saved, 40 + l), 0);
  EXPECT_EQ(I32(saved, 44 + l), 11);
  EXPECT_EQ(I32(saved, 48 + l), 22);
  // The images are unchanged by the move.
  EXPECT_EQ(std::vector<uint8_t>(saved.begin() + std::ptrdiff_t(64 + l), saved.end()),
            std::vector<uint8_t>(created.begin() + std::ptrdiff_t(40 + l), created.end()));
  TVTData p2, m2;
  ASSERT_TRUE(p2.OpenProject(name, m2));
  EXPECT_EQ(p2.Extra1, 11);
  EXPECT_EQ(p2.Extra2, 22);
  p2.SaveProject(f.Dir / "y.vtp", m2, f.Lib);
  EXPECT_EQ(Bytes(f.Dir / "y.vtp"), saved);
  EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
  // Without a library open the library path is empty.
  TVTData none;
  p2.SaveProject(f.Dir / "z.vtp", m2, none);
  EXPECT_EQ(U16(Bytes(f.Dir / "z.vtp"), 20), 0);
}

TEST(ProjectFile, CellsAreResampledWithTheLibrarysStoredFilter) {
  Fixture f({.Count = 2, .XRes = 3, .YRes = 3, .Filter = 0});
  f.Lib.FFilter = 5;
  Bitmap24 src = Pattern(17, 11, 4);
  f.Lib.CreatePlan(f.Dir / "x.vtp", src, {}, 2, 3);
  Bitmap24 box, lanczos;
  StretchBitmap(9, 6, rfBox, 0, src, box);
  StretchBitmap(9, 6, rfLanczos3, 0, src, lanczos);
  ASSERT_NE(box, lanczos);
  TVTData p, m;
  ASSERT_TRUE(p.OpenProject(f.Dir / "x.vtp", m));
  EXPECT_EQ(p.ResampleFilter, 5);
  // Cell (col 2, row 1) is record 6: the box-filtered picture's block.
  p.MoveTo(6);
  std::vector<uint8_t> want;
  for (int y = 3; y < 6; ++y) want.insert(want.end(), box.ScanLine(y) + 18, box.ScanLine(y) + 27);
  EXPECT_EQ(p.CurSamples, want);
  EXPECT_EQ(p.RecordInfo(6).Detail, TVTData::CellDetail(want.data(), 8));
}

TEST(ProjectFile, CellNumbering) {
  Fixture f({.Count = 2, .XRes = 2, .YRes = 2, .Filter = 0});
  const std::string name = f.Dir / "x.vtp";
  f.Lib.CreatePlan(name, CellSource(30, 20, 2, 2), {"s", TRect()}, 20, 30);
  TVTData p, m;
  ASSERT_TRUE(p.OpenProject(name, m));
  EXPECT_EQ(p.RecordCount, 600);
  EXPECT_EQ(m.RecordCount, 600);
  // Cell (col 4, row 2) is record 65.
  p.MoveTo(65);
  EXPECT_EQ(p.RecordInfo(65).CellRow, 2);
  EXPECT_EQ(p.CurSamples, (std::vector<uint8_t>{200, 50, 90, 200, 50, 90, 200, 50, 90, 200, 50, 90}));
}

TEST(ProjectFile, YccLibraryMakesRgbPlan) {
  Fixture f({.Count = 2, .ColorSystem = csYCC});
  f.Lib.CreatePlan(f.Dir / "x.vtp", CellSource(1, 1, 6, 6), {"s", TRect()}, 1, 1);
  TVTData p, m;
  ASSERT_TRUE(p.OpenProject(f.Dir / "x.vtp", m));
  EXPECT_EQ(p.ColorSystem, csRGB);
  EXPECT_EQ(m.ColorSystem, csRGB);
}

TEST(ProjectFile, CellDetail) {
  std::vector<uint8_t> v(6 * 6 * 3, 77);
  EXPECT_EQ(TVTData::CellDetail(v.data(), 35), 0.0);
  // Alternating black and white in storage order, across row ends too.
  for (size_t i = 0; i < 36; ++i) std::fill_n(v.begin() + std::ptrdiff_t(3 * i), 3, i % 2 ? 255 : 0);
  EXPECT_EQ(TVTData::CellDetail(v.data(), 35), 3 * 255.0);
  // One channel only.
  for (size_t i = 0; i < 36; ++i) v[3 * i] = v[3 * i + 1] = 0;
  EXPECT_EQ(TVTData::CellDetail(v.data(), 35), 255.0);
  // Halves round to even: |0-5| over 2 pairs with 0 = 2.5 -> 2, 7 / 2 = 3.5 -> 4.
  const uint8_t w[9] = {0, 0, 0, 5, 7, 0, 5, 7, 0};
  EXPECT_EQ(TVTData::CellDetail(w, 2), 2.0 + 4.0);
  EXPECT_EQ(TVTData::CellDetail(w, 0), 0.0);
}

TEST(ProjectFile, SizesThatDoNotFitAreRefusedBeforeWriting) {
  Fixture f;
  const std::string name = f.Dir / "x.vtp";
  const Bitmap24 src = CellSource(1, 1, 6, 6);
  EXPECT_THROW(f.Lib.CreatePlan(name, src, {}, 1, 70000), EOutOfResources);
  EXPECT_THROW(f.Lib.CreatePlan(name, src, {}, 0, 3), EOutOfResources);
  EXPECT_THROW(f.Lib.CreatePlan(name, src, {}, 65535, 65535), EOutOfResources);
  EXPECT_FALSE(FileExists(name));
  EXPECT_THROW(f.Lib.CreatePlan(name, Bitmap24(), {}, 1, 1), EVitrane);
  TVTData closed;
  EXPECT_THROW(closed.CreatePlan(name, src, {}, 1, 1), EVitrane);
  EXPECT_FALSE(FileExists(name));
}

TEST(ProjectFile, FailedSaveLosesNothing) {
  Fixture f;
  const std::string name = f.Dir / "x.vtp";
  f.Lib.CreatePlan(name, CellSource(2, 1, 6, 6), {}, 1, 2);
  const auto before = Bytes(name);
  TVTData p, m;
  ASSERT_TRUE(p.OpenProject(name, m));
  {
    savetraps::HooksReset reset;
    SetFileWriteHooks({savetraps::NoRoomForSaves, nullptr});
    EXPECT_THROW(p.SaveProject(name, m, f.Lib), EFileError);
  }
  EXPECT_EQ(Bytes(name), before);
  EXPECT_THROW(p.SaveProject(f.Dir / "no/x.vtp", m, f.Lib), EFileError);
}

TEST(ProjectFile, MismatchedPlanAndMosaicOpenNeither) {
  Fixture f;
  MakeLibrary(f.Dir / "p.vt2", {.Count = 4, .XRes = 2, .YRes = 2, .Thumbs = false});
  MakeLibrary(f.Dir / "m.vt2", {.Count = 4, .XRes = 3, .YRes = 3});
  const auto p = Bytes(f.Dir / "p.vt2"), mo = Bytes(f.Dir / "m.vt2");
  TProjectHeader h;
  h.Columns = 2;
  h.Rows = 2;
  h.PlanOffset = int32_t(ProjectHeaderSize(0, 0, false));
  h.MosaicOffset = h.PlanOffset + 4 + int32_t(p.size());
  std::vector<uint8_t> file = EncodeProjectHeader(h, false);
  for (const auto* img : {&p, &mo}) {
    const size_t at = file.size();
    file.resize(at + 4);
    PutI32(file.data() + at, int32_t(img->size()));
    file.insert(file.end(), img->begin(), img->end());
  }
  WriteFileReplacing(f.Dir / "bad.vtp", file);
  // Each image alone is sound...
  TVTData a;
  EXPECT_TRUE(a.OpenFile(f.Dir / "bad.vtp", okPlan));
  // ...but as a pair they are refused, and both tables keep what they had.
  TVTData plan, mosaic;
  f.Lib.CreatePlan(f.Dir / "good.vtp", CellSource(2, 1, 6, 6), {}, 1, 2);
  ASSERT_TRUE(plan.OpenProject(f.Dir / "good.vtp", mosaic));
  EXPECT_THROW(plan.OpenProject(f.Dir / "bad.vtp", mosaic), EWrongFormat);
  EXPECT_EQ(plan.BaseName(), f.Dir / "good.vtp");
  EXPECT_EQ(mosaic.BaseName(), f.Dir / "good.vtp");
  EXPECT_EQ(plan.RecordCount, 2);
  EXPECT_EQ(mosaic.XRes, 6);
  EXPECT_FALSE(plan.OpenProject(f.Dir / "missing.vtp", mosaic));
}

TEST(ProjectFile, TruncationSweep) {
  Fixture f({.Count = 2, .XRes = 2, .YRes = 2});
  const std::string name = f.Dir / "x.vtp";
  f.Lib.CreatePlan(name, CellSource(2, 2, 2, 2), {"/s.jpg", TRect(0, 0, 4, 4)}, 2, 2);
  TVTData p, m;
  ASSERT_TRUE(p.OpenProject(name, m));
  ASSERT_TRUE(m.SetRecordFrom(2, f.Lib, true));
  p.SaveProject(name, m, f.Lib);
  const auto full = Bytes(name);
  int opened = 0;
  for (size_t len = 0; len <= full.size(); ++len) {
    WriteFileReplacing(f.Dir / "cut.vtp",
                       std::vector<uint8_t>(full.begin(), full.begin() + std::ptrdiff_t(len)));
    TVTData a, b;
    b.ShowThumbs = true;
    try {
      if (a.OpenProject(f.Dir / "cut.vtp", b)) {
        ++opened;
        for (int r = 1; r <= b.RecordCount; ++r) b.MoveTo(r);
      }
    } catch (const EWrongFormat&) {
      EXPECT_FALSE(a.TableIsOpen());
      EXPECT_FALSE(b.TableIsOpen());
    }
  }
  EXPECT_EQ(opened, 1);
}

}  // namespace
