// The window-free output loops over real tables: cell geometry, the poster
// in memory and the file written cell by cell to disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/ScratchDir.h"
#include "formats/BandWriter.h"
#include "mosaic/MosaicTables.h"
#include "mosaic/OutputRender.h"
#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "tiledb/VTData.h"

namespace {

using mwtest::MakeLibrary;
using mwtest::MakeProject;

TEST(OutputCellEdge, EdgesAreExactHalfEvenRatios) {
  EXPECT_EQ(OutputCellEdge(100, 3, 0), 0);
  EXPECT_EQ(OutputCellEdge(100, 3, 1), 33);
  EXPECT_EQ(OutputCellEdge(100, 3, 2), 67);
  EXPECT_EQ(OutputCellEdge(100, 3, 3), 100);
  // 29 / 14 * 7 is exactly 14.5: halves go to the even neighbour.
  EXPECT_EQ(OutputCellEdge(29, 14, 7), 14);
  EXPECT_EQ(OutputCellEdge(30, 4, 1), 8);  // 7.5 -> 8
}

// A library, a 4 x 3 project and its mosaic filled with tiles in turn.
class OutputRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string lib = MakeLibrary(Dir, "lib");
    ASSERT_TRUE(mwtest::FillMosaicJob(lib, MakeProject(Dir, lib, "p.vtp"), Library, Plan, Mosaic, Job, Stop));
    Job.Settings.Width = 101;
    Job.Settings.Height = 76;
    Job.Settings.Sharpen = false;
    Job.Settings.BorderColor = RGB(10, 200, 90);
  }

  ScratchDir Dir{"out"};
  TVTData Library, Plan, Mosaic;
  TOutputJob Job;
  bool Stop = false;
};

TEST_F(OutputRun, DirectFilesHoldTheSamePixelsAsThePoster) {
  Job.Settings.BorderLeft = 3;
  Job.Settings.BorderTop = 5;
  Job.Settings.BorderRight = 7;
  Job.Settings.BorderBottom = 2;
  Job.Settings.GridWidth = 0;
  Bitmap24 poster;
  ASSERT_TRUE(ComposePoster(Job, poster));
  ASSERT_EQ(poster.Width(), 111);
  ASSERT_EQ(poster.Height(), 83);
  EXPECT_EQ(poster.Pixel(0, 0), Job.Settings.BorderColor);
  EXPECT_EQ(poster.Pixel(110, 82), Job.Settings.BorderColor);
  EXPECT_NE(poster.Pixel(3, 5), Job.Settings.BorderColor);
  EXPECT_FALSE(Mosaic.ShowThumbs);  // restored after the run

  const std::string bmp = Dir / "d.bmp";
  ASSERT_TRUE(WriteMosaicDirect(Job, bmp, 1));
  Bitmap24 back;
  ReadBMPFile(bmp, back);
  EXPECT_TRUE(back == poster);
  EXPECT_FALSE(FileExists(bmp + ".part"));

  // The in-memory BMP is the same picture.
  SavePosterFile(Dir / "m.bmp", poster, Job.Settings);
  Bitmap24 mem;
  ReadBMPFile(Dir / "m.bmp", mem);
  EXPECT_TRUE(mem == poster);

  // TIFF: the pixel area follows the 32-byte head, rows top-down, R G B.
  const std::string tif = Dir / "d.tif";
  ASSERT_TRUE(WriteMosaicDirect(Job, tif, 2));
  const std::vector<uint8_t> bytes = ReadWholeFile(tif);
  ASSERT_GE(bytes.size(), size_t(32 + 3 * 111 * 83));
  int differ = 0;
  for (int y = 0; y < 83; ++y)
    for (int x = 0; x < 111; ++x) {
      const size_t at = 32 + size_t(y * 111 + x) * 3;
      differ += RGB(bytes[at], bytes[at + 1], bytes[at + 2]) != poster.Pixel(x, y);
    }
  EXPECT_EQ(differ, 0);
}

TEST_F(OutputRun, CellsTakeTheirTilesInTheirPlaces) {
  Bitmap24 poster;
  ASSERT_TRUE(ComposePoster(Job, poster));
  // Cells 1 and 2 hold tiles of different solid colours; look at their centres.
  TCellRenderer r(Job);
  const TRect a = r.CellRect(0, 0), b = r.CellRect(1, 0);
  EXPECT_EQ(a, TRect(0, 0, 25, 25));
  EXPECT_EQ(b, TRect(25, 0, 50, 25));
  Library.ShowThumbs = true;
  Library.MoveTo(1);
  const TColor first = Library.DisplayBitmap.Pixel(20, 15);
  const TColor got = poster.Pixel(12, 12);
  EXPECT_NEAR(int(GetRValue(got)), int(GetRValue(first)), 8);
  EXPECT_NEAR(int(GetGValue(got)), int(GetGValue(first)), 8);
  EXPECT_NEAR(int(GetBValue(got)), int(GetBValue(first)), 8);
  EXPECT_NE(poster.Pixel(12, 12), poster.Pixel(37, 12));
}

TEST_F(OutputRun, GridLinesLieWhereTheirRoundedPositionsSay) {
  Job.Settings.GridWidth = 1;
  Job.Settings.GridColor = RGB(255, 0, 255);
  Bitmap24 poster;
  ASSERT_TRUE(ComposePoster(Job, poster));
  // Rows: round(76 / 3 * u - 0.5) = 0, 25, 50 and 76 (75.5 to even), the
  // last outside the picture.
  for (int y : {0, 25, 50}) EXPECT_EQ(poster.Pixel(60, y), Job.Settings.GridColor) << y;
  for (int y : {12, 75}) EXPECT_NE(poster.Pixel(60, y), Job.Settings.GridColor) << y;

  // On disk the horizontal lines are the same rectangles.
  const std::string bmp = Dir / "g.bmp";
  ASSERT_TRUE(WriteMosaicDirect(Job, bmp, 1));
  Bitmap24 back;
  ReadBMPFile(bmp, back);
  for (int y : {0, 25, 50}) EXPECT_EQ(back.Pixel(60, y), Job.Settings.GridColor) << y;
}

TEST_F(OutputRun, StopAfterTheFirstCellCancelsTheFile) {
  Job.Progress = [this](int done, int) {
    if (done == 1) Stop = true;
  };
  Bitmap24 poster;
  EXPECT_FALSE(ComposePoster(Job, poster));

  // The user's earlier picture of that name stays byte for byte, in both
  // kinds, and nothing of the stopped file is left beside it.
  for (int kind : {1, 2}) {
    SCOPED_TRACE(kind);
    const std::string file = Dir / (kind == 1 ? "s.bmp" : "s.tif");
    const std::vector<uint8_t> old{'o', 'l', 'd', 0, 255};
    WriteFileReplacing(file, old);
    Stop = false;
    EXPECT_FALSE(WriteMosaicDirect(Job, file, kind));
    EXPECT_EQ(ReadWholeFile(file), old);
    // A stop before the first cell (a border) cancels it as well.
    Stop = true;
    EXPECT_FALSE(WriteMosaicDirect(Job, Dir / "none.bmp", kind));
    EXPECT_FALSE(FileExists(Dir / "none.bmp"));
  }
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(Dir.Path()))
    files += e.is_regular_file() && e.path().extension() != ".vt2" && e.path().extension() != ".vtp";
  EXPECT_EQ(files, 2u);  // s.bmp and s.tif
}

TEST_F(OutputRun, TooLargeADirectFileLeavesTheOldOneAlone) {
  const std::string bmp = Dir / "keep.bmp";
  WriteFileReplacing(bmp, {1, 2, 3});
  Job.Settings.Width = 40000;
  Job.Settings.Height = 40000;
  EXPECT_THROW(WriteMosaicDirect(Job, bmp, 1), EOutOfResources);
  EXPECT_EQ(ReadWholeFile(bmp), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(Mosaic.ShowThumbs);
}

TEST_F(OutputRun, PosterFileKindFollowsTheExtension) {
  Bitmap24 poster(30, 20);
  poster.Fill(RGB(100, 150, 200));
  Job.Settings.DPI = 300;
  Job.Settings.JpegQuality = 85;
  SavePosterFile(Dir / "a.JPG", poster, Job.Settings);
  const std::vector<uint8_t> jpg = ReadWholeFile(Dir / "a.JPG");
  ASSERT_GT(jpg.size(), 20u);
  EXPECT_EQ(jpg[13], 1);  // dots per inch
  EXPECT_EQ((jpg[14] << 8) | jpg[15], 300);
  EXPECT_EQ((jpg[16] << 8) | jpg[17], 300);
  SavePosterFile(Dir / "a.png", poster, Job.Settings);
  SavePosterFile(Dir / "a.jpeg", poster, Job.Settings);
  EXPECT_FALSE(FileExists(Dir / "a.png"));
  EXPECT_FALSE(FileExists(Dir / "a.jpeg"));
  SavePosterFile(Dir / "a.tif", poster, Job.Settings);
  EXPECT_EQ(FileSize(Dir / "a.tif"), TIFFFileSize(30, 20));
}

TEST_F(OutputRun, MissingTileFileAsksAndCancelEndsTheRun) {
  // Point the first cell's tile at a file that is gone.
  std::filesystem::remove(Dir / "lib_pics/p0.jpg");
  Job.UseOriginalFiles = true;
  int asked = 0;
  Job.AskTileNotFound = [&](const std::string& path) {
    ++asked;
    EXPECT_EQ(ExtractFileName(path), "p0.jpg");
    return int(tnfCancel);
  };
  Bitmap24 poster;
  EXPECT_FALSE(ComposePoster(Job, poster));
  EXPECT_EQ(asked, 1);

  // "Auto" is kept: asked once for every missing file of the run.
  Stop = false;
  asked = 0;
  Job.AskTileNotFound = [&](const std::string&) {
    ++asked;
    return int(tnfAuto);
  };
  EXPECT_TRUE(ComposePoster(Job, poster));
  EXPECT_EQ(asked, 1);
}

}  // namespace

namespace {

TEST_F(OutputRun, TextListHasOneLinePerCellOfTheArea) {
  Job.Area = {1, 0, 2, 1};  // columns 2..3, rows 1..2
  const std::string file = Dir / "list.txt";
  ASSERT_TRUE(WriteTextList(Job, file));
  const std::vector<uint8_t> bytes = ReadWholeFile(file);
  const std::string text(bytes.begin(), bytes.end());
  Mosaic.MoveTo(2);
  const std::string first = "   1,    2, " + Mosaic.CurPath + "\r\n";
  EXPECT_EQ(text.substr(0, first.size()), first);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
  Mosaic.MoveTo(7);
  EXPECT_NE(text.find("   2,    3, " + Mosaic.CurPath + "\r\n"), std::string::npos);
}

TEST_F(OutputRun, SequenceAndGalleryWriteAFilePerCell) {
  EXPECT_EQ(SequenceFileName("/out/seq.bmp", 2, 3, "/p/rose.jpg"), "/out/seq-002-003-rose.bmp");
  Job.Area = {0, 0, 1, 0};
  std::string last;
  ASSERT_TRUE(WriteSequence(Job, Dir / "seq.bmp", last));
  Mosaic.MoveTo(2);
  EXPECT_EQ(last, SequenceFileName(Dir / "seq.bmp", 1, 2, Mosaic.CurPath));
  Bitmap24 cell;
  ReadBMPFile(last, cell);
  EXPECT_EQ(cell.Width(), 51);  // 101 over 2 columns: 50 and 51
  EXPECT_EQ(cell.Height(), 76);

  // The gallery: the first cell's tile file is gone, so it has no copy.
  Mosaic.MoveTo(1);
  const std::string gone = Mosaic.CurPath;
  std::filesystem::remove(gone);
  Mosaic.MoveTo(2);
  const std::string kept = ExtractFileName(Mosaic.CurPath);
  ASSERT_TRUE(WriteHTMLGallery(Job, Dir / "g.html"));
  const std::vector<uint8_t> bytes = ReadWholeFile(Dir / "g.html");
  const std::string page(bytes.begin(), bytes.end());
  EXPECT_EQ(page.substr(0, 12), "<HTML><HEAD>");
  EXPECT_NE(page.find("<a href=\"big/" + kept + "\" target=\"_blank\"><img border=\"0\" src=\"tmb/001-002-" +
                      ChangeFileExt(kept, ".jpg") + "\"></a>"),
            std::string::npos);
  EXPECT_EQ(page.substr(page.size() - 35), "</tr>\r\n</table>\r\n</BODY>\r\n</HTML>\r\n");
  EXPECT_TRUE(FileExists(Dir / ("big/" + kept)));
  EXPECT_FALSE(FileExists(Dir / ("big/" + ExtractFileName(gone))));
  EXPECT_TRUE(FileExists(Dir / ("tmb/001-001-" + ChangeFileExt(ExtractFileName(gone), ".jpg"))));
}

}  // namespace

namespace {

TEST(UsageReport, PositionsCarryTheirFlipMarks) {
  EXPECT_EQ(UsagePosition(1, 1, TRect(0, 0, 10, 10)), " 1x1 ");
  EXPECT_EQ(UsagePosition(2, 1, TRect(10, 0, 0, 10)), " 2x1(H) ");
  EXPECT_EQ(UsagePosition(3, 4, TRect(0, 10, 10, 0)), " 3x4(V) ");
  EXPECT_EQ(UsagePosition(12, 7, TRect(10, 10, 0, 0)), " 12x7(R) ");
}

TEST_F(OutputRun, UsageReportGroupsTheCellsByTileFile) {
  const std::string file = Dir / "stat.txt";
  int calls = 0;
  const int unique = WriteUsageReport(Mosaic, Plan.Columns, file, [&](int, int) { ++calls; });
  EXPECT_EQ(unique, 6);  // 12 cells over 6 tiles in turn
  EXPECT_EQ(calls, 12);
  EXPECT_EQ(Mosaic.IndexKeySize, 0);
  const std::vector<uint8_t> bytes = ReadWholeFile(file);
  const std::string text(bytes.begin(), bytes.end());
  EXPECT_EQ(text.substr(0, 53), "6 unique pictures were used." + std::string(23, ' ') + "\r\n");
  Mosaic.MoveTo(1);
  // Cells 1 and 7 share the first tile: row 1 column 1, row 2 column 3.
  EXPECT_NE(text.find("   2, " + Mosaic.CurPath + " ,  1x1  3x2 \r\n"), std::string::npos);
}

}  // namespace

namespace {

TEST(PosterSize, RefusedBeforeRenderingWhenTheFormatCannotHoldIt) {
  TOutputSettings s;
  s.Width = 70000;
  s.Height = 100;
  EXPECT_THROW(CheckPosterSize("a.jpg", s), EOutOfResources);
  EXPECT_NO_THROW(CheckPosterSize("a.bmp", s));
  s.Width = 999999999;
  s.BorderLeft = 999999999;
  s.BorderRight = 999999999;
  EXPECT_THROW(CheckPosterSize("a.txt", s), EOutOfResources);
  s.BorderLeft = s.BorderRight = 0;
  s.Height = 999999999;
  EXPECT_THROW(CheckPosterSize("a.tif", s), EOutOfResources);
  s.Width = 0;
  EXPECT_THROW(CheckPosterSize("a.bmp", s), EOutOfResources);
}

}  // namespace

namespace {

TEST(OutputEmptyCells, AProjectWithoutTilesRendersItsSamples) {
  ScratchDir dir("oe");
  const std::string lib = MakeLibrary(dir, "lib");
  TVTData plan, mosaic;
  ASSERT_TRUE(plan.OpenProject(MakeProject(dir, lib, "p.vtp"), mosaic));
  bool stop = false;
  TOutputJob job;
  job.Mosaic = &mosaic;
  job.Plan = &plan;
  job.GridColumns = plan.Columns;
  job.Area = {0, 0, plan.Columns - 1, plan.Rows - 1};
  job.StopRequested = &stop;
  job.Settings.Width = 40;
  job.Settings.Height = 30;
  job.UseOriginalFiles = true;
  int asked = 0;
  job.AskTileNotFound = [&](const std::string&) { return ++asked, int(tnfAuto); };
  Bitmap24 poster;
  ASSERT_TRUE(ComposePoster(job, poster));
  EXPECT_EQ(asked, 0);  // a blank path is an empty cell, not a missing file
  EXPECT_EQ(poster.Width(), 40);
  // The wizard's runs ask about an empty cell as about a missing file.
  job.BlankIsMissing = true;
  ASSERT_TRUE(ComposePoster(job, poster));
  EXPECT_EQ(asked, 1);
  job.UseOriginalFiles = false;
  ASSERT_TRUE(ComposePoster(job, poster));
}

}  // namespace

namespace {

// A picture with detail in every direction, so that a wrong crop, flip or
// scale shows.
Bitmap24 Pattern(int w, int h) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(uint8_t(x * 255 / w), uint8_t(y * 255 / h), uint8_t(x * y)));
  return b;
}

// The poster's cell at rect.
Bitmap24 CellOf(const Bitmap24& poster, const TRect& rect) {
  Bitmap24 cell(rect.Right - rect.Left, rect.Bottom - rect.Top);
  DrawAt(cell, -rect.Left, -rect.Top, poster);
  return cell;
}

TEST_F(OutputRun, OriginalCellsAreTheirFilesCroppedFlippedAndScaled) {
  const std::string pic = Dir / "pattern.jpg";
  JpegEncodeFile(Pattern(400, 300), 92, pic);
  const Bitmap24 thumb = mwtest::Solid(42, 32, RGB(90, 90, 90));
  // Cell (0, 0) mirrored left to right, cell (1, 1) top to bottom.
  ASSERT_TRUE(Mosaic.SetRecordBitmap(1, thumb, 1, 400, 300, 380, 20, 60, 260, pic));
  ASSERT_TRUE(Mosaic.SetRecordBitmap(6, thumb, 1, 400, 300, 20, 280, 340, 40, pic));
  Job.Settings.Sharpen = true;
  Job.Settings.ColorCorrection = 40;
  Job.Settings.BlendAlpha = 100;
  Bitmap24 stored, originals;
  ASSERT_TRUE(ComposePoster(Job, stored));
  Job.UseOriginalFiles = true;
  ASSERT_TRUE(ComposePoster(Job, originals));
  EXPECT_FALSE(originals == stored);

  // 320 x 240 pixels into 25 x 25 and 25 x 26 cells: read at one eighth, the
  // corners divided with halves to even.
  Bitmap24 eighth;
  JpegDecodeFile(pic, 3, eighth);
  TBitmap32 source;
  source.Assign(eighth);
  auto byHand = [&](int record, int X1, int Y1, int X2, int Y2, int w, int h) {
    TBitmap32 region;
    CropTileRegion(source, X1, Y1, X2, Y2, w, h, region);
    Bitmap24 tile(w, h), cell;
    region.DrawToDC(tile, 0, 0);
    Plan.MoveTo(record);
    RenderCellImage(tile, w, h, true, 40, 100, Plan.DisplayBitmap, false, "", nullptr, 0, 0, 0, 0, cell);
    return cell;
  };
  EXPECT_TRUE(CellOf(originals, TRect(0, 0, 25, 25)) == byHand(1, 48, 2, 8, 32, 25, 25));
  EXPECT_TRUE(CellOf(originals, TRect(25, 25, 50, 51)) == byHand(6, 2, 35, 42, 5, 25, 26));

  // Written straight to disk, the same pixels.
  ASSERT_TRUE(WriteMosaicDirect(Job, Dir / "o.bmp", 1));
  Bitmap24 back;
  ReadBMPFile(Dir / "o.bmp", back);
  EXPECT_TRUE(back == originals);
}

// An 8 x 5 project over a source picture file, its mosaic partly drawn from
// patterned tile files (flipped) and one tile file missing.
class OutputThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string lib = MakeLibrary(Dir, "lib");
    Library.SetBaseName(lib);
    const std::string src = Dir / "source.bmp";
    const Bitmap24 source = Pattern(8 * 24, 5 * 18);
    WriteBMPFile(source, src);
    Library.CreatePlan(Dir / "p.vtp", source, {src, TRect(0, 0, source.Width(), source.Height())}, 5, 8);
    ASSERT_TRUE(Plan.OpenProject(Dir / "p.vtp", Mosaic));
    const std::string pic = Dir / "pattern.jpg";
    JpegEncodeFile(Pattern(400, 300), 90, pic);
    for (int n = 1; n <= Mosaic.RecordCount; ++n) {
      Library.MoveTo((n - 1) % Library.RecordCount + 1);
      ASSERT_TRUE(Mosaic.SetRecordFrom(n, Library, true));
      if (n % 3 == 0) {
        ASSERT_TRUE(Mosaic.SetRecordBitmap(n, Library.DisplayBitmap, 1, 400, 300, n % 2 ? 390 : 10, 10,
                                           n % 2 ? 10 : 390, 290, pic));
      }
    }
    Library.MoveTo(2);
    std::filesystem::remove(Library.CurPath);  // the tile of cells 1, 7, 13, ...
    Job.Mosaic = &Mosaic;
    Job.Plan = &Plan;
    Job.GridColumns = 8;
    Job.Area = {0, 0, 7, 4};
    Job.StopRequested = &Stop;
    Job.Settings.Width = 403;
    Job.Settings.Height = 227;
    Job.Settings.BorderLeft = 3;
    Job.Settings.BorderBottom = 4;
    Job.Settings.BorderColor = RGB(10, 200, 90);
    Job.Settings.BlendAlpha = 90;
    Job.Settings.DetailedBlend = true;
    Job.UseOriginalFiles = true;
    Job.AskTileNotFound = [this](const std::string&) { return ++Asked, int(tnfAuto); };
  }
  // The centre of cell n (0-based in cell order) in the full picture.
  TColor CentreOf(const Bitmap24& b, int n) const {
    TCellRenderer r(const_cast<TOutputJob&>(Job));
    const TRect c = r.CellRect(n % 8, n / 8);
    return b.Pixel(3 + (c.Left + c.Right) / 2, (c.Top + c.Bottom) / 2);
  }

  ScratchDir Dir{"outthreads"};
  TVTData Library, Plan, Mosaic;
  TOutputJob Job;
  bool Stop = false;
  int Asked = 0;
};

TEST_F(OutputThreads, AnyThreadCountWritesTheSameBytes) {
  // With a blend every cell is drawn anew; without, whole cells are kept.
  // With no band memory one band renders at a time and idle threads read
  // the cells of the bands after it ahead.
  for (int blend : {90, 0}) {
  Job.Settings.BlendAlpha = blend;
  std::vector<uint8_t> bmp1, tif1;
  Bitmap24 poster1;
  for (auto [threads, bandMemory] : {std::pair{1, 64 << 20}, {3, 64 << 20}, {8, 64 << 20}, {8, 0}, {3, 0}}) {
    SCOPED_TRACE(testing::Message() << threads << " threads, blend " << blend << ", band memory "
                                    << bandMemory);
    Job.Threads = threads;
    Job.BandMemory = bandMemory;
    Job.UseOriginalFiles = true;
    Asked = 0;
    Bitmap24 poster;
    ASSERT_TRUE(ComposePoster(Job, poster));
    ASSERT_TRUE(WriteMosaicDirect(Job, Dir / "t.bmp", 1));
    ASSERT_TRUE(WriteMosaicDirect(Job, Dir / "t.tif", 2));
    EXPECT_EQ(Asked, 3);  // once per run: "Auto" holds for the rest
    if (threads == 1) {
      poster1 = poster;
      bmp1 = ReadWholeFile(Dir / "t.bmp");
      tif1 = ReadWholeFile(Dir / "t.tif");
      Bitmap24 back;
      ReadBMPFile(Dir / "t.bmp", back);
      EXPECT_TRUE(back == poster);
      continue;
    }
    EXPECT_TRUE(poster == poster1);
    EXPECT_TRUE(ReadWholeFile(Dir / "t.bmp") == bmp1);
    EXPECT_TRUE(ReadWholeFile(Dir / "t.tif") == tif1);
  }
  }
}

TEST_F(OutputThreads, StopAndCancelEndTheFileAtTheirCellOnAnyThreadCount) {
  for (auto [threads, bandMemory] : {std::pair{1, 64 << 20}, {8, 64 << 20}, {8, 0}}) {
    SCOPED_TRACE(testing::Message() << threads << " threads, band memory " << bandMemory);
    Job.Threads = threads;
    Job.BandMemory = bandMemory;
    // Stop during the progress of cell 10, in the second band.
    Stop = false;
    Job.Progress = [this](int done, int) {
      if (done == 11) Stop = true;
    };
    // The stopped file is cancelled whatever was rendered ahead of the stop.
    EXPECT_FALSE(WriteMosaicDirect(Job, Dir / "s.bmp", 1));
    EXPECT_FALSE(FileExists(Dir / "s.bmp"));
    // The poster ends at the stop, though its cells are drawn ahead of it.
    Stop = false;
    Bitmap24 poster;
    EXPECT_FALSE(ComposePoster(Job, poster));
    for (int n = 0; n < 40; ++n) EXPECT_EQ(CentreOf(poster, n) == RGB(0, 0, 0), n > 10) << n;

    // "Cancel" at the first missing tile (cell 1): it keeps the background.
    Stop = false;
    Job.Progress = nullptr;
    Job.AskTileNotFound = [](const std::string&) { return int(tnfCancel); };
    EXPECT_FALSE(WriteMosaicDirect(Job, Dir / "c.bmp", 1));
    EXPECT_TRUE(Stop);
    EXPECT_FALSE(FileExists(Dir / "c.bmp"));
    Stop = false;
    EXPECT_FALSE(ComposePoster(Job, poster));
    EXPECT_NE(CentreOf(poster, 0), RGB(0, 0, 0));
    EXPECT_EQ(CentreOf(poster, 1), Job.Settings.BorderColor);
    for (int n = 2; n < 40; ++n) EXPECT_EQ(CentreOf(poster, n), RGB(0, 0, 0)) << n;
    Job.AskTileNotFound = [this](const std::string&) { return ++Asked, int(tnfAuto); };
  }
}

}  // namespace
