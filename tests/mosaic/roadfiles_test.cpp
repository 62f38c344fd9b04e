// The files of the whole road, byte for byte: a library indexed from fixed
// pictures (on one thread and on four), the project as it is created, saved
// with its cells copied from the plan, saved after a build, after a partial
// build and after cell edits, the library after flipped blocks are added and
// saved, and the mosaic written as a JPEG, a BMP and a TIFF (from the
// thumbnails and from the original pictures). The digests were taken from
// the files the program wrote before its tables learnt to share and defer
// their work; any change in a byte shows here.
//
// Paths are relative to the test's folder, so the files do not depend on
// where it lies.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "FixedBuild.h"
#include "mosaic/BuildRun.h"
#include "mosaic/OutputRender.h"
#include "platform/Files.h"

namespace {

uint64_t FileDigest(const std::string& fileName) {
  const std::vector<uint8_t> bytes = ReadWholeFile(fileName);
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

// The test works in its folder, with names relative to it.
class TInFolder {
 public:
  explicit TInFolder(const std::string& dir) : FOld(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~TInFolder() { std::filesystem::current_path(FOld); }

 private:
  std::filesystem::path FOld;
};

// The pictures of the library: patterned JPEG files of a few sizes and shapes.
void MakePictures() {
  std::filesystem::create_directories("pics/sub");
  for (int i = 0; i < 48; ++i) {
    const bool tall = i % 5 == 0;
    Bitmap24 b(tall ? 60 + i : 96 + 2 * i, tall ? 90 + i : 64 + i);
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x)
        b.SetPixel(
            x, y,
            RGB(uint8_t(i * 29 + x * (i % 4)), uint8_t(i * 61 + y * (i % 3)), uint8_t(i * 17 + x * y / 16)));
    JpegEncodeFile(b, 90, (i % 3 ? "pics/p" : "pics/sub/q") + std::to_string(100 + i) + ".jpg");
  }
}

void IndexLibrary(const std::string& file, int threads) {
  TVTData t;
  SetNewLibraryParameters(t, "pics", 6, 6, 42, csYCC);
  t.FFastJpeg = true;
  t.FThreads = threads;
  t.CreateBase(file);
}

Bitmap24 SourcePicture() {
  Bitmap24 source(16 * 20, 12 * 15);
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x)
      source.SetPixel(x, y, RGB(uint8_t(x), uint8_t(y * 2 + x / 9), uint8_t((x + y) / 2)));
  return source;
}

void SaveVTP(TVTData& lib, TVTData& plan, TVTData& mosaic) {
  mosaic.Compact();
  plan.SaveProject(plan.BaseName(), mosaic, lib);
  mosaic.Modified = 0;
  plan.Modified = 0;
}

void Build(TVTData& lib, TVTData& plan, TVTData& mosaic, const TBuildArea& area, uint32_t flips = 1,
           int32_t distance = 2) {
  TBuildObserver quiet;
  std::vector<int32_t> grid;
  if (area.WholeGrid)
    mosaic.GetAllLinks(grid, 1);
  else
    mosaic.GetCellLinks(grid, area.Inverted, area.Selection.Left + 1, area.Selection.Top + 1,
                        area.Selection.Right + 1, area.Selection.Bottom + 1, area.Cols, area.Rows);
  TBuildRunSettings s;
  s.Distance = distance;
  s.FixCustom = true;
  s.Flips = flips;
  lib.ResetUsage();
  plan.ClearIndex();
  RunBuildCells(lib, plan, mosaic, grid, area, s, quiet);
  lib.ResetUsage();
}

TOutputJob Job(TVTData& plan, TVTData& mosaic, bool originals) {
  TOutputJob job;
  job.Mosaic = &mosaic;
  job.Plan = &plan;
  job.GridColumns = 16;
  job.Area = {0, 0, 15, 11};
  job.Settings.Width = 640;
  job.Settings.Height = 360;
  job.UseOriginalFiles = originals;
  return job;
}

TEST(RoadFiles, EveryFileOfTheRoadKeepsItsBytes) {
  ScratchDir dir;
  TInFolder in(dir.Path());
  MakePictures();
  IndexLibrary("lib.vt2", 1);
  IndexLibrary("lib4.vt2", 4);
  EXPECT_EQ(FileDigest("lib.vt2"), 0x98d09f5623e105b0ull);
  EXPECT_EQ(FileDigest("lib4.vt2"), FileDigest("lib.vt2"));

  TVTData lib, plan, mosaic;
  lib.ShowThumbs = true;
  ASSERT_TRUE(lib.OpenFile("lib.vt2", okLibrary));
  const Bitmap24 source = SourcePicture();
  lib.CreatePlan("p.vtp", source, {"src.jpg", TRect(0, 0, source.Width(), source.Height())}, 12, 16);
  EXPECT_EQ(FileDigest("p.vtp"), 0xd2dd3341e124f300ull);

  // The source setup's "Apply": open, every cell from its plan cell, save.
  ASSERT_TRUE(plan.OpenProject("p.vtp", mosaic));
  lib.SetBaseName(plan.LibraryPath);
  mosaic.CopyAllRecordsFrom(plan);
  SaveVTP(lib, plan, mosaic);
  EXPECT_EQ(FileDigest("p.vtp"), 0xdb6cc9c5ac140a73ull);

  mosaic.ShowThumbs = true;
  Build(lib, plan, mosaic, TBuildArea({0, 0, 0, 0}, false, 16, 12));
  SaveVTP(lib, plan, mosaic);
  EXPECT_EQ(FileDigest("p.vtp"), 0xb650e71a9abadcdeull);

  // A second build over a selection with another Distance, cells erased and hand-placed, each
  // followed by a save: the sections then hold runs of live and dead bytes.
  Build(lib, plan, mosaic, TBuildArea({3, 2, 9, 6}, false, 16, 12), 1, 3);
  SaveVTP(lib, plan, mosaic);
  EXPECT_EQ(FileDigest("p.vtp"), 0x214efdb39014f4b3ull);
  for (int32_t n : {5, 40, 41, 42, 130}) {
    plan.MoveTo(n);
    mosaic.CopyRecordFrom(n, plan);
  }
  mosaic.SetRecordBitmap(77, SourcePicture(), CustomTileLink, 320, 180, 0, 0, 320, 180, "custom.jpg");
  lib.MoveTo(9);
  mosaic.SetRecordFrom(100, lib, true);
  SaveVTP(lib, plan, mosaic);
  EXPECT_EQ(FileDigest("p.vtp"), 0xf9d5571fd52e1e98ull);

  // Opened again, compacted straight from the file and saved under another
  // name, the project keeps every byte.
  {
    TVTData plan2, mosaic2;
    ASSERT_TRUE(plan2.OpenProject("p.vtp", mosaic2));
    mosaic2.Compact();
    plan2.SaveProject("q.vtp", mosaic2, lib);
    EXPECT_EQ(FileDigest("q.vtp"), FileDigest("p.vtp"));
  }

  {
    TOutputJob job = Job(plan, mosaic, false);
    Bitmap24 poster;
    ASSERT_TRUE(ComposePoster(job, poster));
    SavePosterFile("m.jpg", poster, job.Settings);
    EXPECT_EQ(FileDigest("m.jpg"), 0x3b751d3d9bc89bfcull);
    ASSERT_TRUE(WriteMosaicDirect(job, "m.bmp", 1));
    ASSERT_TRUE(WriteMosaicDirect(job, "m.tif", 2));
    EXPECT_EQ(FileDigest("m.bmp"), 0xd0feff179ad7b05dull);
    EXPECT_EQ(FileDigest("m.tif"), 0x1d02672c43ead104ull);
    TOutputJob originals = Job(plan, mosaic, true);
    ASSERT_TRUE(WriteMosaicDirect(originals, "o.bmp", 1));
    EXPECT_EQ(FileDigest("o.bmp"), 0xfb62ab26c3bb9d9aull);
  }

  // The library with its flipped blocks saved, built against with all four
  // orientations, and without its blocks again.
  for (int kind : {TVTData::fkHorizontal, TVTData::fkVertical, TVTData::fkRotate180}) lib.AddFlipped(kind);
  lib.Save();
  EXPECT_EQ(FileDigest("lib.vt2"), 0x47c8285bb1ea5429ull);
  Build(lib, plan, mosaic, TBuildArea({0, 0, 0, 0}, false, 16, 12), 0x01010101u);
  SaveVTP(lib, plan, mosaic);
  EXPECT_EQ(FileDigest("p.vtp"), 0x38896a91a0f24362ull);
  TVTData again;
  ASSERT_TRUE(again.OpenFile("lib.vt2", okLibrary));
  again.RemoveFlipped();
  ASSERT_TRUE(again.WriteTableFile("unflipped.vt2"));
  EXPECT_EQ(FileDigest("unflipped.vt2"), 0x33f28c484ea00f4eull);
}

}  // namespace
