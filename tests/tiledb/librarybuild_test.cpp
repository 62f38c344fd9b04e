#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TestTables.h"
#include "tiledb/NewLibraryParameters.h"
#include "platform/Bmp.h"
#include "platform/Hooks.h"
#include "platform/Picture.h"
#include "tiledb/LibraryBuildTile.h"
#include "tiledb/VTData.h"

using vttest::Bytes;
using vttest::TempDir;

namespace {

Bitmap24 Solid(int w, int h, TColor c) {
  Bitmap24 b(w, h);
  b.Fill(c);
  return b;
}

void WriteJpeg(const std::string& file, const Bitmap24& bmp) {
  JpegEncodeFile(bmp, 95, file);
}

void WriteGarbage(const std::string& file, size_t bytes) {
  std::ofstream f(file, std::ios::binary);
  for (size_t i = 0; i < bytes; ++i) f.put(char(i * 7));
}

// The new-library dialog's parameters, with fast JPEG reading as it sets it.
void SetDialogParameters(TVTData& t, const std::string& root) {
  SetNewLibraryParameters(t, root);
  t.FFastJpeg = true;
}

class LibraryBuildTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearHeadlessMessages(); }
  void TearDown() override { SetPumpHook(nullptr); }

  std::string Pics(const std::string& name) const { return FDir / ("pics/" + name); }
  void Folder(const std::string& rel) const { std::filesystem::create_directories(FDir / ("pics/" + rel)); }

  TempDir FDir;
};

TEST_F(LibraryBuildTest, WritesRecordsHeaderAndThumbnails) {
  Folder("sub");
  WriteJpeg(Pics("a.jpg"), Solid(160, 120, RGB(200, 40, 10)));  // same aspect as the tile
  WriteJpeg(Pics("b.jpg"), Solid(90, 120, RGB(10, 100, 220)));  // portrait: cut in the middle
  WriteJpeg(Pics("sub/c.JPG"), Solid(64, 48, RGB(0, 0, 0)));
  TVTData t;
  SetDialogParameters(t, FDir / "pics");
  const std::string lib = FDir / "new.vt2";
  t.CreateBase(lib);
  EXPECT_EQ(t.FBuildCount, 3);
  EXPECT_EQ(t.FProgress, 3);
  EXPECT_FALSE(t.TableIsOpen());  // the caller opens the new file

  const std::vector<uint8_t> f = Bytes(lib);
  ASSERT_GT(f.size(), size_t(LibraryHeaderSize));
  const TLibraryHeader h = DecodeLibraryHeader(f.data());
  EXPECT_TRUE(HasLibraryMagic(f.data(), f.size()));
  EXPECT_EQ(h.RecordCount, 3);
  EXPECT_EQ(h.OriginalCount, 3);
  EXPECT_EQ(h.SampleDepth, 3);
  EXPECT_EQ(h.ColorSystem, csRGB);
  EXPECT_EQ(h.ResampleFilter, 6);
  EXPECT_EQ(h.XScale, 4);
  EXPECT_EQ(h.YScale, 3);
  EXPECT_EQ(h.SampleSize, 108);
  EXPECT_EQ(h.InfoOffset, 79);
  EXPECT_EQ(h.ThumbOffset - h.DataOffset, 4 + 3 * 113);

  ASSERT_TRUE(t.OpenFile(lib, okLibrary));
  const struct {
    std::string Path;
    std::array<uint16_t, 6> Geometry;
    TColor Colour;
  } expected[] = {
      {Pics("a.jpg"), {160, 120, 0, 0, 160, 120}, RGB(200, 40, 10)},
      // ch = round(90 / 4 * 3) = 68 (67.5 to even); top = (120 - 68) div 2 = 26.
      {Pics("b.jpg"), {90, 120, 0, 26, 90, 94}, RGB(10, 100, 220)},
      {Pics("sub/c.JPG"), {64, 48, 0, 0, 64, 48}, RGB(0, 0, 0)},
  };
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const uint8_t* data = t.DataRecord(i + 1);
    EXPECT_EQ(data - t.DataSection.Memory(), 4 + i * 113);
    EXPECT_EQ(data[drFlag], 0);
    const TTileInfoRecord r = t.RecordInfo(i + 1);
    EXPECT_EQ(r.Path, expected[i].Path);
    EXPECT_EQ(r.Geometry, expected[i].Geometry);
    EXPECT_EQ(r.SamplesOffset, 4 + i * 113 + 5);
    EXPECT_EQ(r.Link, 0);
    // Uniform pictures give uniform samples of their colour (JPEG may move a
    // channel by a step or two).
    for (int k = 0; k < 36; ++k) {
      EXPECT_NEAR(data[drSamples + 3 * k + 0], GetBValue(expected[i].Colour), 3);
      EXPECT_NEAR(data[drSamples + 3 * k + 1], GetGValue(expected[i].Colour), 3);
      EXPECT_NEAR(data[drSamples + 3 * k + 2], GetRValue(expected[i].Colour), 3);
    }
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(t.ReadThumbBlob(r.ThumbBlobOffset, jpeg));
    Bitmap24 thumb;
    JpegDecode(jpeg.data(), jpeg.size(), 0, thumb);
    EXPECT_EQ(thumb.Width(), 42);
    EXPECT_EQ(thumb.Height(), 32);  // round(42 / 4 * 3) = round(31.5) = 32
  }
}

TEST_F(LibraryBuildTest, ReducedJpegStoresFullSizeGeometry) {
  Folder("");
  // Decoded reduced, stored at full size.
  WriteJpeg(Pics("wide.jpg"), vttest::Pattern(640, 480, 1));
  WriteJpeg(Pics("tall.jpg"), vttest::Pattern(480, 640, 2));
  TVTData t;
  SetDialogParameters(t, FDir / "pics");
  t.FMargin = 10;
  t.CreateBase(FDir / "r.vt2");
  ASSERT_TRUE(t.OpenFile(FDir / "r.vt2", okLibrary));
  ASSERT_EQ(t.RecordCount, 2);
  // tall: cw 480, ch 360, top 140, m = 480; t = 24, s = 32.
  EXPECT_EQ(t.RecordInfo(1).Geometry, (std::array<uint16_t, 6>{480, 640, 32, 164, 448, 476}));
  // wide: m = 480; t = 24, s = 32.
  EXPECT_EQ(t.RecordInfo(2).Geometry, (std::array<uint16_t, 6>{640, 480, 32, 24, 608, 456}));
  // The cut-out of the last picture as decoded (640 / 42 = 15: at 1/8), trimmed
  // by t = 3, s = 4: (80 - 8) x (60 - 6).
  EXPECT_EQ(t.LastCutOut.Width(), 72);
  EXPECT_EQ(t.LastCutOut.Height(), 54);

  // Without fast reading the picture is loaded whole: the same records, cut
  // from the full-size picture.
  t.FFastJpeg = false;
  t.CreateBase(FDir / "f.vt2");
  ASSERT_TRUE(t.OpenFile(FDir / "f.vt2", okLibrary));
  EXPECT_EQ(t.RecordInfo(2).Geometry, (std::array<uint16_t, 6>{640, 480, 32, 24, 608, 456}));
  EXPECT_EQ(t.LastCutOut.Width(), 576);
  EXPECT_EQ(t.LastCutOut.Height(), 432);
}

TEST_F(LibraryBuildTest, BadPicturesAreSkippedAndTheBuildGoesOn) {
  Folder("");
  WriteJpeg(Pics("1.jpg"), vttest::Pattern(64, 48, 1));
  WriteGarbage(Pics("2.jpg"), 500);
  {  // a JPEG cut short
    std::vector<uint8_t> j = JpegEncode(vttest::Pattern(64, 48, 3), 90);
    j.resize(j.size() / 2);
    std::ofstream(Pics("3.jpg"), std::ios::binary)
        .write(reinterpret_cast<const char*>(j.data()), long(j.size()));
  }
  WriteGarbage(Pics("4.jpg"), 0);
  WriteJpeg(Pics("5.jpg"), vttest::Pattern(64, 48, 5));
  TVTData t;
  SetDialogParameters(t, FDir / "pics");
  int pumps = 0, events = 0;
  SetPumpHook([&] { ++pumps; });
  t.OnCreateBaseProgress = [&](TVTData&) { ++events; };
  t.CreateBase(FDir / "s.vt2");
  EXPECT_EQ(pumps, 5);
  EXPECT_EQ(events, 5);
  ASSERT_TRUE(t.OpenFile(FDir / "s.vt2", okLibrary));
  ASSERT_EQ(t.RecordCount, 2);
  EXPECT_EQ(t.RecordInfo(1).Path, Pics("1.jpg"));
  EXPECT_EQ(t.RecordInfo(2).Path, Pics("5.jpg"));
  EXPECT_TRUE(HeadlessMessages().empty());
}

// A reader for a made-up extension, to reach the picture-format list and to
// deliver sizes no real test file should have.
void ReadHugePicture(const std::string&, Bitmap24& out) {
  out.SetSize(70000, 2);
}
void ReadSmallPicture(const std::string&, Bitmap24& out) {
  out = Solid(40, 30, RGB(1, 2, 3));
}

TEST_F(LibraryBuildTest, PictureListSidesBeyondTheRecordAndEmptyCutOuts) {
  RegisterFileFormat("vthuge", "Huge test pictures", "TVtHugeTest", &ReadHugePicture);
  RegisterFileFormat("vtsmall", "Small test pictures", "TVtSmallTest", &ReadSmallPicture);
  Folder("");
  WriteGarbage(Pics("a.vthuge"), 1);
  WriteGarbage(Pics("b.vtsmall"), 1);
  TVTData t;
  SetDialogParameters(t, FDir / "pics");
  t.FExtList = ".VTHUGE.VTSMALL";
  t.CreateBase(FDir / "l.vt2");
  ASSERT_TRUE(t.OpenFile(FDir / "l.vt2", okLibrary));
  ASSERT_EQ(t.RecordCount, 1);  // 70000 does not fit the 16-bit geometry
  EXPECT_EQ(t.RecordInfo(1).Geometry, (std::array<uint16_t, 6>{40, 30, 0, 0, 40, 30}));

  // A margin of 100 percent leaves nothing to cut: no record, no error.
  t.FMargin = 100;
  t.CreateBase(FDir / "m.vt2");
  ASSERT_TRUE(t.OpenFile(FDir / "m.vt2", okLibrary));
  EXPECT_EQ(t.RecordCount, 0);
  UnregisterGraphicClass("TVtHugeTest");
  UnregisterGraphicClass("TVtSmallTest");
}

TEST_F(LibraryBuildTest, StopDuringAProgressEventStillAddsThatPicture) {
  Folder("");
  for (int i = 0; i < 6; ++i) WriteJpeg(Pics("p" + std::to_string(i) + ".jpg"), vttest::Pattern(64, 48, i));
  for (int threads : {1, 4}) {
    SCOPED_TRACE(threads);
    TVTData t;
    SetDialogParameters(t, FDir / "pics");
    t.FThreads = threads;
    std::vector<int> seen;
    t.OnCreateBaseProgress = [&](TVTData& s) {
      seen.push_back(s.FProgress);
      if (seen.size() == 3) s.FStopBuild = true;
    };
    t.CreateBase(FDir / "stop.vt2");
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    ASSERT_TRUE(t.OpenFile(FDir / "stop.vt2", okLibrary));
    EXPECT_EQ(t.RecordCount, 3);
    EXPECT_EQ(t.RecordInfo(3).Path, Pics("p2.jpg"));
  }
}

TEST_F(LibraryBuildTest, OneThreadAndManyThreadsWriteTheSameBytes) {
  // Far more pictures than the workers run ahead, of very different sizes
  // (a large BMP takes many times as long as a small JPEG), in folders, with
  // damaged files among them.
  Folder("a");
  Folder("b/c");
  int good = 0;
  for (int i = 0; i < 160; ++i) {
    const std::string sub = i % 3 == 0 ? "" : (i % 3 == 1 ? "a/" : "b/c/");
    const std::string name = Pics(sub + "pic" + std::to_string(1000 + i));
    if (i % 37 == 3) {
      WriteGarbage(name + ".jpg", 100 + i);
    } else if (i % 23 == 5) {
      WriteBMPFile(vttest::Pattern(900 + i, 700 - i, i), name + ".bmp");
      ++good;
    } else {
      WriteJpeg(name + ".jpg", vttest::Pattern(24 + 13 * (i % 29), 20 + 9 * (i % 17), i));
      ++good;
    }
  }
  std::vector<std::vector<uint8_t>> files;
  for (int threads : {1, 3, 8}) {
    for (uint8_t colours : {csRGB, csYCC}) {
      TVTData t;
      SetDialogParameters(t, FDir / "pics");
      t.FExtList = ".JPG.BMP";
      t.FColorSystem = colours;
      t.FThreads = threads;
      const std::string lib = FDir / ("t" + std::to_string(threads) + "_" + std::to_string(colours) + ".vt2");
      t.CreateBase(lib);
      EXPECT_EQ(t.FBuildCount, good);
      files.push_back(Bytes(lib));
    }
  }
  EXPECT_EQ(files[0], files[2]);
  EXPECT_EQ(files[0], files[4]);
  EXPECT_EQ(files[1], files[3]);
  EXPECT_EQ(files[1], files[5]);
  EXPECT_NE(files[0], files[1]);
}

TEST_F(LibraryBuildTest, EmptyExtensionListIsRefused) {
  Folder("");
  TVTData t;
  SetDialogParameters(t, FDir / "pics");
  t.FExtList = "";
  const std::string lib = FDir / "x.vt2";
  try {
    t.CreateBase(lib);
    FAIL() << "no error";
  } catch (const EVitrane& e) {
    EXPECT_EQ(std::string(e.what()),
              "Not ready to create " + lib + "\r\n Check some of picture file extantions");
  }
  EXPECT_FALSE(FileExists(lib));
  EXPECT_FALSE(t.WorkInfo.IsOpen());
}

TEST_F(LibraryBuildTest, UpdateBaseAppendsAfterTheOriginals) {
  Folder("more");
  WriteJpeg(Pics("more/new.jpg"), vttest::Pattern(64, 48, 9));
  const std::string lib = FDir / "lib.vt2";
  vttest::LibraryRecipe recipe;
  recipe.Count = 3;
  vttest::MakeLibrary(lib, recipe);
  TVTData t;
  ASSERT_TRUE(t.OpenFile(lib, okLibrary));
  // Pretend the third record is a flipped copy of the second.
  t.OriginalCount = 2;
  t.FlipKinds = {0, 1, 0, 0};
  const std::vector<uint8_t> before = Bytes(lib);
  SetDialogParameters(t, "");
  t.FFilter = 1;
  t.UpdateBase(FDir / "pics/more");
  EXPECT_EQ(t.RecordCount, 3);  // the table in memory is not reloaded

  TVTData u;
  ASSERT_TRUE(u.OpenFile(lib, okLibrary));
  ASSERT_EQ(u.RecordCount, 3);
  EXPECT_EQ(u.OriginalCount, 3);
  EXPECT_EQ(u.FlipKinds, (std::array<uint8_t, 4>{0, 0, 0, 0}));
  for (int i = 1; i <= 2; ++i) {
    EXPECT_EQ(u.RecordInfo(i).Path, t.RecordInfo(i).Path);
    EXPECT_EQ(std::vector<uint8_t>(u.RecordSamples(i), u.RecordSamples(i) + 108),
              std::vector<uint8_t>(t.RecordSamples(i), t.RecordSamples(i) + 108));
  }
  const TTileInfoRecord added = u.RecordInfo(3);
  EXPECT_EQ(added.Path, Pics("more/new.jpg"));
  // The dropped copy's info record and thumbnail are gone: the new ones
  // start where the second original's end.
  EXPECT_EQ(u.RecordInfoOffset(3), t.RecordInfoOffset(3));
  EXPECT_EQ(added.ThumbBlobOffset, t.RecordInfo(3).ThumbBlobOffset);
  EXPECT_NE(Bytes(lib), before);
}

TEST_F(LibraryBuildTest, UpdateBaseRefusesAnotherSampleLayout) {
  const std::string lib = FDir / "lib.vt2";
  vttest::MakeLibrary(lib);
  TVTData t;
  ASSERT_TRUE(t.OpenFile(lib, okLibrary));
  const std::vector<uint8_t> before = Bytes(lib);
  SetDialogParameters(t, "");
  t.FXRes = 8;
  EXPECT_THROW(t.UpdateBase(FDir.Path()), EVitrane);
  EXPECT_EQ(Bytes(lib), before);
}

TEST_F(LibraryBuildTest, RecordThatWouldPassTwoGigabytesIsRefusedWhole) {
  TVTData t;
  SetDialogParameters(t, "");
  ASSERT_TRUE(t.CreateWorkFiles());
  t.WorkThumbs.SetSize(int64_t(0x7FFFFFFF) - 100);  // sparse
  EXPECT_THROW(t.WriteTileRecord("/p/a.jpg", 4, 3, 0, 0, 4, 3), ELibraryFull);
  EXPECT_EQ(t.WorkData.Size(), 4);
  EXPECT_EQ(t.WorkInfo.Size(), 4);
  EXPECT_EQ(t.WorkThumbs.Size(), int64_t(0x7FFFFFFF) - 100);
  t.DeleteWorkFiles();
}

}  // namespace
