#include "tiledb/VTData.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestTables.h"
#include "common/SaveTraps.h"
#include "tiledb/ProjectFile.h"

using namespace vttest;

namespace {

TEST(VTDataFormat, ThreePictureLibraryLayout) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 3, .ColorSystem = csYCC, .Filter = 5});
  const std::vector<uint8_t> f = Bytes(dir / "a.vt2");
  ASSERT_GE(f.size(), 79u);
  EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 8),
            (std::vector<uint8_t>{0x00, 0xFF, 0x20, 'V', 'T', 'B', '2', '1'}));
  EXPECT_EQ(I32(f, 8), 3);                                   // RecordCount
  EXPECT_EQ(f[12], 3);                                       // SampleDepth
  EXPECT_EQ(f[13], csYCC);                                   // ColorSystem
  EXPECT_EQ(f[14], 5);                                       // ResampleFilter
  EXPECT_EQ(I32(f, 15), 3);                                  // OriginalCount
  for (size_t i = 19; i < 55; ++i) EXPECT_EQ(f[i], 0) << i;  // FlipKinds, reserved
  EXPECT_EQ(U16(f, 55), 4);
  EXPECT_EQ(U16(f, 57), 3);
  EXPECT_EQ(U16(f, 59), 6);
  EXPECT_EQ(U16(f, 61), 6);
  EXPECT_EQ(I32(f, 63), 108);
  const int32_t info = I32(f, 67), data = I32(f, 71), thumbs = I32(f, 75);
  EXPECT_EQ(info, 79);
  EXPECT_EQ(std::string(f.begin() + info, f.begin() + info + 4), ".txt");
  EXPECT_EQ(std::string(f.begin() + data, f.begin() + data + 4), ".dat");
  EXPECT_EQ(std::string(f.begin() + thumbs, f.begin() + thumbs + 4), ".tmb");
  EXPECT_EQ(thumbs - data, 343);
  // Info records follow one another: 38 + 14 bytes each ("/pics/picN.jpg").
  const int32_t infoAt[3] = {4, 56, 108};
  EXPECT_EQ(data - info, 160);
  for (int i = 0; i < 3; ++i) {
    const size_t rec = size_t(data) + 4 + size_t(i) * 113;
    EXPECT_EQ(f[rec], 0);
    EXPECT_EQ(I32(f, rec + 1), infoAt[i]);
    const size_t ir = size_t(info) + size_t(infoAt[i]);
    EXPECT_EQ(U16(f, ir), 14);
    EXPECT_EQ(I32(f, ir + 2), 4 + i * 113 + 5);  // SamplesOffset: data record + 5
    EXPECT_EQ(U16(f, ir + 26), 400);
    EXPECT_EQ(U16(f, ir + 28), 300 + i);
  }
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_EQ(t.ColorSystemName, "YCC");
  EXPECT_EQ(t.SampleSize, 108);
  EXPECT_EQ(t.DataRecordSize(), 113);
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(t.DataRecord(r) - t.DataSection.Memory(), 4 + (r - 1) * 113);
}

TEST(VTDataFormat, WriteOpenWriteIsByteIdentical) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 5});
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  ASSERT_TRUE(t.WriteTableFile(dir / "b.vt2"));
  EXPECT_EQ(Bytes(dir / "a.vt2"), Bytes(dir / "b.vt2"));
  TVTData u;
  ASSERT_TRUE(u.OpenFile(dir / "b.vt2", okLibrary));
  EXPECT_EQ(u.InfoSection.Bytes(), t.InfoSection.Bytes());
  EXPECT_EQ(u.DataSection.Bytes(), t.DataSection.Bytes());
  EXPECT_EQ(u.ThumbSection.ReadAll(), t.ThumbSection.ReadAll());
  EXPECT_FALSE(std::filesystem::exists(dir / "b.vt2.tmp"));
}

TEST(VTDataFormat, FilterByteAndFlipKindsThroughSaveAndRebuild) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 2, .Filter = 9});
  // A rebuilt library stores an out-of-range filter as 6.
  EXPECT_EQ(Bytes(dir / "a.vt2")[14], 6);
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  t.ResampleFilter = 9;
  t.FlipKinds = {0, 1, 3, 0};
  t.Modified = 1;
  t.Save();
  EXPECT_EQ(t.Modified, 0);
  const auto f = Bytes(dir / "a.vt2");
  EXPECT_EQ(f[14], 9);
  EXPECT_EQ(f[20], 1);
  EXPECT_EQ(f[21], 3);
  TVTData u;
  ASSERT_TRUE(u.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_EQ(u.ResampleFilter, 9);
  EXPECT_EQ(u.FlipKinds, (std::array<uint8_t, 4>{0, 1, 3, 0}));
}

TEST(VTDataFormat, FailedWriteKeepsOldFileAndModified) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2");
  const auto before = Bytes(dir / "a.vt2");
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  // The disk under the side file is full.
  {
    savetraps::HooksReset reset;
    SetFileWriteHooks({savetraps::NoRoomForSaves, nullptr});
    t.Modified = 1;
    EXPECT_NO_THROW(t.Save());
    EXPECT_EQ(t.Modified, 1);
    EXPECT_EQ(t.LastWriteFailure, "No space left on device");
    EXPECT_EQ(Bytes(dir / "a.vt2"), before);
    EXPECT_TRUE(savetraps::Leftovers(dir.Path()).empty());
  }
  EXPECT_FALSE(t.WriteTableFile(dir / "nofolder/x.vt2"));
  // A closed table has nothing to save and writes nowhere.
  t.CloseTable();
  EXPECT_NO_THROW(t.Save());
  EXPECT_FALSE(t.WriteTableFile(""));
  EXPECT_FALSE(FileExists(".tmp"));
}

TEST(VTDataFormat, WorkFilesStartWithTagsAndGoAfterWriting) {
  TempDir dir;
  TVTData t;
  t.FXRes = t.FYRes = 2;
  ASSERT_TRUE(t.CreateWorkFiles());
  EXPECT_EQ(t.WorkInfo.ReadAll(), (std::vector<uint8_t>{'.', 't', 'x', 't'}));
  EXPECT_EQ(t.WorkData.ReadAll(), (std::vector<uint8_t>{'.', 'd', 'a', 't'}));
  EXPECT_EQ(t.WorkThumbs.ReadAll(), (std::vector<uint8_t>{'.', 't', 'm', 'b'}));
  const std::string names[3] = {t.WorkInfo.FileName(), t.WorkData.FileName(), t.WorkThumbs.FileName()};
  ASSERT_TRUE(t.WriteBaseFile(dir / "empty.vt2"));
  for (const auto& n : names) EXPECT_FALSE(FileExists(n));
  EXPECT_EQ(Bytes(dir / "empty.vt2").size(), 79u + 12u);
  // Without work files nothing is written.
  EXPECT_FALSE(t.WriteBaseFile(dir / "none.vt2"));
  EXPECT_FALSE(FileExists(dir / "none.vt2"));
}

TEST(VTDataOpen, MissingFileChangesNothing) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2");
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  t.MoveTo(2);
  EXPECT_FALSE(t.OpenFile(dir / "none.vt2", okLibrary));
  EXPECT_EQ(t.BaseName(), dir / "a.vt2");
  EXPECT_EQ(t.CurRecNo, 2);
}

TEST(VTDataOpen, CursorClampsAndLoadsFields) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 4});
  TVTData t;
  t.SetBaseName(dir / "a.vt2");
  ASSERT_TRUE(t.TableIsOpen());
  EXPECT_EQ(t.VisibleCount, 4);
  t.MoveTo(0);
  EXPECT_EQ(t.CurRecNo, 1);
  t.MoveTo(4 + 5);
  EXPECT_EQ(t.CurRecNo, 4);
  EXPECT_EQ(t.CurPath, "/pics/pic3.jpg");
  EXPECT_EQ(t.CurPicWidth, 400);
  EXPECT_EQ(t.CurPicHeight, 303);
  EXPECT_EQ(t.CurCropRect, TRect(3, 6, 397, 294));
  EXPECT_EQ(t.CurLink, 0);
  EXPECT_EQ(t.CurFlag, 0);
  EXPECT_FALSE(t.PicDeleted());
  // Without thumbnails the display is the sample picture.
  EXPECT_EQ(t.DisplayBitmap, Pattern(6, 6, 4));
  EXPECT_EQ(t.SampleBitmap, Pattern(6, 6, 4));
  EXPECT_TRUE(t.CurThumbJpeg.empty());
  t.SetRecordFlag(4, 255);
  t.MoveToPhysical(4);
  EXPECT_TRUE(t.PicDeleted());
}

TEST(VTDataOpen, ThumbnailsAndBrokenThumbnails) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 3, .ThumbW = 8, .ThumbH = 6});
  TVTData t;
  t.ShowThumbs = true;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_EQ(t.DisplayBitmap.Width(), 8);
  EXPECT_EQ(t.DisplayBitmap.Height(), 6);
  EXPECT_FALSE(t.CurThumbJpeg.empty());
  // Spoil record 2's JPEG bytes: it shows its own samples, not record 1's thumbnail.
  const int32_t blob = t.RecordInfo(2).ThumbBlobOffset;
  const uint8_t junk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  t.ThumbSection.WriteAt(blob + 4, junk, sizeof junk);
  t.MoveTo(2);
  EXPECT_EQ(t.DisplayBitmap, Pattern(6, 6, 2));
  // A blob of length 0 does the same.
  const int32_t zero = 0;
  t.ThumbSection.WriteAt(t.RecordInfo(3).ThumbBlobOffset, &zero, 4);
  t.MoveTo(3);
  EXPECT_EQ(t.DisplayBitmap, Pattern(6, 6, 3));
  EXPECT_TRUE(t.CurThumbJpeg.empty());
}

TEST(VTDataOpen, ThumbsInMemoryKeepsTheThumbnailsOnDisk) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2");
  TVTData t;
  t.ThumbsInMemory = true;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  t.ThumbsInMemory = true;
  // Read in place from the library file until the table changes them, then
  // from a temporary file of the table's own.
  EXPECT_TRUE(t.ThumbSection.IsOpen());
  EXPECT_TRUE(t.ThumbSection.Shared());
  const std::vector<uint8_t> jpeg{0xFF, 0xD8, 0xFF, 0xD9};
  t.AppendThumbBlob(jpeg.data(), jpeg.size());
  EXPECT_FALSE(t.ThumbSection.Shared());
  const std::string name = t.ThumbSection.FileName();
  EXPECT_TRUE(FileExists(name));
  EXPECT_EQ(ExtractFileName(name).substr(0, 2), "vt");
}

TEST(FileStream, AppendedBytesAreReadBeforeAndAfterTheyReachTheFile) {
  TempDir dir;
  TFileStream f = TFileStream::Create(dir / "s");
  const std::vector<uint8_t> head{1, 2, 3}, more{4, 5};
  f.WriteAt(0, head.data(), head.size());
  EXPECT_EQ(f.Append(more.data(), more.size()), 3);
  EXPECT_EQ(f.Append(head.data(), 1), 5);
  EXPECT_EQ(f.Size(), 6);
  EXPECT_EQ(Bytes(dir / "s").size(), 3u);  // held back
  EXPECT_EQ(f.ReadAll(), (std::vector<uint8_t>{1, 2, 3, 4, 5, 1}));
  uint8_t b[3];
  EXPECT_THROW(f.ReadAt(4, b, 3), EFileError);
  // A write elsewhere lands after them; closing writes what is left.
  f.WriteAt(1, more.data(), 1);
  EXPECT_EQ(f.Append(more.data(), 2), 6);
  f.Close();
  EXPECT_EQ(Bytes(dir / "s"), (std::vector<uint8_t>{1, 4, 3, 4, 5, 1, 4, 5}));
}

TEST(VTDataOpen, TemporaryFilesAreRemoved) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2");
  std::string thumbs;
  {
    TVTData t;
    ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
    ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
    thumbs = t.ThumbSection.FileName();
  }
  EXPECT_FALSE(FileExists(thumbs));
}

TEST(VTDataOpen, OriginalCountZeroReadsAsRecordCount) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 3});
  auto f = Bytes(dir / "a.vt2");
  PutI32(f.data() + 15, 0);
  WriteFileReplacing(dir / "a.vt2", f);
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  EXPECT_EQ(t.OriginalCount, 3);
}

TEST(VTDataCursor, EmptyTableAndClearedRecord) {
  TempDir dir;
  MakeLibrary(dir / "e.vt2", {.Count = 0});
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "e.vt2", okLibrary));
  EXPECT_EQ(t.RecordCount, 0);
  t.MoveTo(1);
  EXPECT_EQ(t.CurRecNo, 0);
  EXPECT_EQ(t.CurPath, "");
  EXPECT_EQ(t.CurPicWidth, 1);
  EXPECT_EQ(t.CurPicHeight, 1);
  EXPECT_EQ(t.CurCropRect, TRect(0, 0, 1, 1));
  for (int y = 0; y < t.DisplayBitmap.Height(); ++y)
    for (int x = 0; x < t.DisplayBitmap.Width(); ++x) EXPECT_EQ(t.DisplayBitmap.Pixel(x, y), clWhite);
}

TEST(VTDataCursor, SortIndexEntriesAndEmptySlots) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 3});
  TVTData t;
  t.ShowThumbs = true;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  // Entries: record 3, record 1, an empty slot.
  t.SortIndex.Clear();
  for (int32_t off : {4 + 2 * 113, 4, 0}) {
    t.SortIndex.Write<int32_t>(off);
    t.SortIndex.Write<double>(0.0);
  }
  t.IndexKeySize = 8;
  t.VisibleCount = 3;
  t.MoveTo(1);
  EXPECT_EQ(t.CurRecNo, 3);
  EXPECT_EQ(t.CurIndexPos, 0);
  t.MoveTo(2);
  EXPECT_EQ(t.CurRecNo, 1);
  EXPECT_FALSE(t.CurThumbJpeg.empty());
  t.MoveTo(3);
  EXPECT_EQ(t.CurIndexPos, 2);
  EXPECT_EQ(t.CurRecNo, 0);
  EXPECT_EQ(t.CurPath, "");
  EXPECT_TRUE(t.CurThumbJpeg.empty());
  // Physical moves ignore the index.
  t.MoveToPhysical(2);
  EXPECT_EQ(t.CurRecNo, 2);
}

TEST(VTDataCursor, CloseKeepsHeaderValuesAndCounts) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 3});
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "a.vt2", okLibrary));
  t.IndexKeySize = 8;
  t.Modified = 1;
  t.CloseTable();
  EXPECT_FALSE(t.TableIsOpen());
  EXPECT_EQ(t.BaseName(), "");
  EXPECT_EQ(t.Modified, 0);
  EXPECT_EQ(t.RecordCount, 3);
  EXPECT_EQ(t.VisibleCount, 3);
  EXPECT_EQ(t.IndexKeySize, 8);
  EXPECT_EQ(t.XRes, 6);
  EXPECT_EQ(t.DataSection.Size(), 0);
  EXPECT_EQ(t.SortIndex.Size(), 0);
  // Moving in a closed table is harmless and gives an empty record.
  t.IndexKeySize = 0;
  t.MoveTo(2);
  EXPECT_EQ(t.CurPath, "");
}

TEST(VTDataCursor, ConstructorDefaults) {
  TVTData t;
  EXPECT_EQ(t.FCropAnchor, 4);
  EXPECT_EQ(t.FThumbQ, 50);
  EXPECT_EQ(t.FThumbW, 0);
  EXPECT_EQ(t.FXRes, 0);
  EXPECT_FALSE(t.FStopBuild);
  EXPECT_FALSE(t.ShowThumbs);
  EXPECT_FALSE(t.TableIsOpen());
  EXPECT_TRUE(t.ThumbSection.IsOpen());
}

// ---- Projects -----------------------------------------------------------------------

// A project written by hand: header in the given form, then the plan and the
// mosaic images taken from two library files.
std::vector<uint8_t> HandProject(const std::string& plan, const std::string& mosaic, bool longForm,
                                 uint16_t cols, uint16_t rows) {
  const auto p = Bytes(plan), m = Bytes(mosaic);
  TProjectHeader h;
  h.Columns = cols;
  h.Rows = rows;
  h.LibraryPath = "/lib/tiles.vt2";
  h.SourcePath = "/src/photo.jpg";
  h.SourceRect = TRect(10, 20, 610, 420);
  h.Extra1 = 7;
  h.Extra2 = -9;
  h.PlanOffset = int32_t(ProjectHeaderSize(h.LibraryPath.size(), h.SourcePath.size(), longForm));
  h.MosaicOffset = h.PlanOffset + 4 + int32_t(p.size());
  std::vector<uint8_t> f = EncodeProjectHeader(h, longForm);
  EXPECT_EQ(f.size(), size_t(h.PlanOffset));
  for (const auto* img : {&p, &m}) {
    const size_t at = f.size();
    f.resize(at + 4);
    PutI32(f.data() + at, int32_t(img->size()));
    f.insert(f.end(), img->begin(), img->end());
  }
  return f;
}

TEST(VTDataProject, ShortAndLongFormsOpenAsPlanAndMosaic) {
  TempDir dir;
  MakeLibrary(dir / "p.vt2", {.Count = 6, .Thumbs = false});
  MakeLibrary(dir / "m.vt2", {.Count = 6, .ColorSystem = csRGB});
  for (bool longForm : {false, true}) {
    WriteFileReplacing(dir / "x.vtp", HandProject(dir / "p.vt2", dir / "m.vt2", longForm, 3, 2));
    TVTData plan, mosaic;
    ASSERT_TRUE(plan.OpenFile(dir / "x.vtp", okPlan));
    ASSERT_TRUE(mosaic.OpenFile(dir / "x.vtp", okMosaic));
    EXPECT_EQ(plan.BaseName(), dir / "x.vtp");
    EXPECT_EQ(mosaic.BaseName(), dir / "x.vtp");
    EXPECT_EQ(plan.Columns, 3);
    EXPECT_EQ(plan.Rows, 2);
    EXPECT_EQ(plan.LibraryPath, "/lib/tiles.vt2");
    EXPECT_EQ(plan.SourcePath, "/src/photo.jpg");
    EXPECT_EQ(plan.SourceRect, TRect(10, 20, 610, 420));
    EXPECT_EQ(plan.Extra1, longForm ? 7 : 0);
    EXPECT_EQ(plan.Extra2, longForm ? -9 : 0);
    EXPECT_EQ(plan.RecordCount, 6);
    EXPECT_EQ(mosaic.Columns, 3);
    EXPECT_EQ(mosaic.LibraryPath, "/lib/tiles.vt2");
    EXPECT_EQ(mosaic.SourcePath, "");  // the mosaic reads the header only up to the library path
    TVTData planLib, lib;
    ASSERT_TRUE(planLib.OpenFile(dir / "p.vt2", okLibrary));
    EXPECT_EQ(plan.DataSection.Bytes(), planLib.DataSection.Bytes());
    ASSERT_TRUE(lib.OpenFile(dir / "m.vt2", okLibrary));
    EXPECT_EQ(mosaic.DataSection.Bytes(), lib.DataSection.Bytes());
    EXPECT_EQ(mosaic.ThumbSection.ReadAll(), lib.ThumbSection.ReadAll());
    // Project tables are saved with their project, never as a library.
    EXPECT_THROW(plan.Save(), EFileError);
    EXPECT_THROW(mosaic.Save(), EFileError);
  }
}

TEST(VTDataProject, WrongMagicsAndCounts) {
  TempDir dir;
  MakeLibrary(dir / "p.vt2", {.Count = 6});
  TVTData t;
  // A library is no project, and a project is no library.
  try {
    t.OpenFile(dir / "p.vt2", okPlan);
    FAIL();
  } catch (const EWrongFormat& e) {
    EXPECT_STREQ(e.what(), "Wrong file format. Not vitrane VTP file");
  }
  WriteFileReplacing(dir / "x.vtp", HandProject(dir / "p.vt2", dir / "p.vt2", true, 3, 2));
  try {
    t.OpenFile(dir / "x.vtp", okLibrary);
    FAIL();
  } catch (const EWrongFormat& e) {
    EXPECT_STREQ(e.what(), "Wrong file format. Not vitrane base");
  }
  // Columns x Rows must match the images' record counts; zero sizes are refused.
  for (auto [c, r] : {std::pair{2, 2}, {0, 6}, {6, 0}}) {
    WriteFileReplacing(dir / "y.vtp",
                       HandProject(dir / "p.vt2", dir / "p.vt2", true, uint16_t(c), uint16_t(r)));
    EXPECT_THROW(t.OpenFile(dir / "y.vtp", okPlan), EWrongFormat);
    EXPECT_THROW(t.OpenFile(dir / "y.vtp", okMosaic), EWrongFormat);
  }
  EXPECT_FALSE(t.TableIsOpen());
}

// ---- Damaged files --------------------------------------------------------------------

// Opening must either succeed or raise the format error, and a failure must
// leave the previously open table whole.
void ExpectOpenOrFormatError(TVTData& t, const std::string& name, int kind, const std::string& keep) {
  try {
    if (t.OpenFile(name, kind)) {
      for (int r = 1; r <= t.RecordCount; ++r) t.MoveToPhysical(r);
      // Re-open the reference so the next case starts from it.
      ASSERT_TRUE(t.OpenFile(keep, okLibrary));
    }
  } catch (const EWrongFormat&) {
    EXPECT_EQ(t.BaseName(), keep);
    EXPECT_EQ(t.RecordCount, 2);
    t.MoveTo(2);
    EXPECT_EQ(t.CurPath, "/pics/pic1.jpg");
  }
}

TEST(VTDataDamage, TruncationSweepOfALibrary) {
  TempDir dir;
  MakeLibrary(dir / "keep.vt2", {.Count = 2, .XRes = 2, .YRes = 2, .ThumbW = 4, .ThumbH = 3});
  MakeLibrary(dir / "a.vt2", {.Count = 3, .XRes = 2, .YRes = 2, .ThumbW = 4, .ThumbH = 3});
  const auto full = Bytes(dir / "a.vt2");
  TVTData t;
  t.ShowThumbs = true;
  ASSERT_TRUE(t.OpenFile(dir / "keep.vt2", okLibrary));
  int opened = 0;
  for (size_t len = 0; len < full.size(); ++len) {
    WriteFileReplacing(dir / "cut.vt2",
                       std::vector<uint8_t>(full.begin(), full.begin() + std::ptrdiff_t(len)));
    try {
      t.OpenFile(dir / "cut.vt2", okLibrary);
      ++opened;
      ASSERT_TRUE(t.OpenFile(dir / "keep.vt2", okLibrary));
    } catch (const EWrongFormat&) {
      ASSERT_EQ(t.BaseName(), dir / "keep.vt2");
      ASSERT_EQ(t.RecordCount, 2);
    }
  }
  // Only cuts inside the last thumbnail could still open; the last blob's
  // length word then runs past the end, so none do.
  EXPECT_EQ(opened, 0);
}

TEST(VTDataDamage, SingleByteCorruptions) {
  TempDir dir;
  MakeLibrary(dir / "keep.vt2", {.Count = 2, .XRes = 2, .YRes = 2});
  MakeLibrary(dir / "a.vt2", {.Count = 3, .XRes = 2, .YRes = 2, .ThumbW = 4, .ThumbH = 3});
  const auto full = Bytes(dir / "a.vt2");
  TVTData t;
  t.ShowThumbs = true;
  ASSERT_TRUE(t.OpenFile(dir / "keep.vt2", okLibrary));
  const int32_t data = I32(full, 71);
  // Every header byte, and the info offsets and first bytes of the records.
  std::vector<size_t> where;
  for (size_t i = 0; i < 79; ++i) where.push_back(i);
  for (size_t i = size_t(data); i < size_t(data) + 4 + 3 * 17; ++i) where.push_back(i);
  for (size_t i = 79; i < 79 + 60; ++i) where.push_back(i);
  for (size_t at : where) {
    for (uint8_t v : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x7F), uint8_t(0x80), uint8_t(full[at] + 1)}) {
      auto f = full;
      f[at] = v;
      WriteFileReplacing(dir / "bad.vt2", f);
      ExpectOpenOrFormatError(t, dir / "bad.vt2", okLibrary, dir / "keep.vt2");
    }
  }
}

TEST(VTDataDamage, ImpossibleHeaderValues) {
  TempDir dir;
  MakeLibrary(dir / "a.vt2", {.Count = 3});
  const auto full = Bytes(dir / "a.vt2");
  auto expectBad = [&](size_t at, int32_t v) {
    auto f = full;
    PutI32(f.data() + at, v);
    WriteFileReplacing(dir / "bad.vt2", f);
    TVTData t;
    EXPECT_THROW(t.OpenFile(dir / "bad.vt2", okLibrary), EWrongFormat) << at << " " << v;
    EXPECT_FALSE(t.TableIsOpen());
  };
  expectBad(8, -1);                  // negative record count
  expectBad(8, 4);                   // more records than the data section holds
  expectBad(8, 0x7FFFFFFF);          // absurd record count
  expectBad(15, 5);                  // more originals than records
  expectBad(63, 107);                // sample size not XRes * YRes * 3
  expectBad(67, 78);                 // info section inside the header
  expectBad(71, I32(full, 75) + 1);  // sections out of order
  expectBad(75, 0x7FFFFFF0);         // thumbnails past the end
  auto f = full;
  PutU16(f.data() + 59, 0);  // XRes 0 with SampleSize 0
  PutI32(f.data() + 63, 0);
  WriteFileReplacing(dir / "bad.vt2", f);
  TVTData t;
  EXPECT_THROW(t.OpenFile(dir / "bad.vt2", okLibrary), EWrongFormat);
}

TEST(VTDataDamage, TruncationSweepOfAProject) {
  TempDir dir;
  MakeLibrary(dir / "keep.vt2", {.Count = 2, .XRes = 2, .YRes = 2});
  MakeLibrary(dir / "p.vt2", {.Count = 2, .XRes = 2, .YRes = 2, .Thumbs = false});
  MakeLibrary(dir / "m.vt2", {.Count = 2, .XRes = 2, .YRes = 2, .ThumbW = 4, .ThumbH = 3});
  const auto full = HandProject(dir / "p.vt2", dir / "m.vt2", true, 2, 1);
  TVTData t;
  t.ShowThumbs = true;
  ASSERT_TRUE(t.OpenFile(dir / "keep.vt2", okLibrary));
  for (size_t len = 0; len <= full.size(); ++len) {
    WriteFileReplacing(dir / "cut.vtp",
                       std::vector<uint8_t>(full.begin(), full.begin() + std::ptrdiff_t(len)));
    for (int kind : {okPlan, okMosaic}) ExpectOpenOrFormatError(t, dir / "cut.vtp", kind, dir / "keep.vt2");
  }
}

}  // namespace
