#include "imaging/TileRender.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "imaging/Adjust.h"
#include "imaging/PixelTestUtil.h"
#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Jpeg.h"
#include "platform/Rounding.h"

namespace {

class TileRender : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("VT_TEST_TMP");
    std::string root = base ? base : "/tmp";
    std::filesystem::create_directories(root);
    std::string pattern = root + "/tilerenderXXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    Dir = pattern + "/";
    ReleaseTileRenderCache();
  }
  void TearDown() override {
    ReleaseTileRenderCache();
    std::filesystem::remove_all(Dir);
  }
  std::string Dir;
};

// A picture whose pixel (x, y) is (r = 10x, g = 10y, b = 7).
Bitmap24 Gradient(int w, int h) {
  Bitmap24 p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.SetPixel(x, y, RGB(uint8_t(10 * x), uint8_t(10 * y), 7));
  return p;
}

Bitmap24 Uniform(int w, int h, uint8_t v) {
  Bitmap24 p(w, h);
  p.Fill(RGB(v, v, v));
  return p;
}

std::unique_ptr<TBitmap32> As32(const Bitmap24& p) {
  auto b = std::make_unique<TBitmap32>();
  b->Assign(p);
  return b;
}

TEST_F(TileRender, ReversedCornersMirror) {
  const auto src = As32(Gradient(4, 3));
  TBitmap32 upright, h, v, turned;
  CropTileRegion(*src, 1, 0, 4, 2, 3, 2, upright);
  CropTileRegion(*src, 4, 0, 1, 2, 3, 2, h);
  CropTileRegion(*src, 1, 2, 4, 0, 3, 2, v);
  CropTileRegion(*src, 4, 2, 1, 0, 3, 2, turned);
  EXPECT_EQ(upright.Pixel(0, 0), 0xFF0A0007u);  // (1, 0)
  EXPECT_EQ(upright.Pixel(2, 1), 0xFF1E0A07u);  // (3, 1)
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(h.Pixel(x, y), upright.Pixel(2 - x, y));
      EXPECT_EQ(v.Pixel(x, y), upright.Pixel(x, 1 - y));
      EXPECT_EQ(turned.Pixel(x, y), upright.Pixel(2 - x, 1 - y));
    }
}

TEST_F(TileRender, EmptyRegionGivesABlackTileOfTheTargetSize) {
  const auto src = As32(Uniform(4, 4, 200));
  TBitmap32 out;
  out.SetSize(5, 3);
  out.Clear(0xFFFFFFFF);  // whatever it held before goes
  CropTileRegion(*src, 2, 0, 2, 4, 5, 3, out);
  EXPECT_EQ(Pixels(out), std::vector<TColor32>(15, 0));
  CropTileRegion(*src, 0, 1, 4, 1, 2, 2, out);
  EXPECT_EQ(Pixels(out), std::vector<TColor32>(4, 0));
}

TEST_F(TileRender, RegionOutsideThePictureIsBlack) {
  const auto src = As32(Uniform(2, 2, 100));
  TBitmap32 out;
  CropTileRegion(*src, -1, 0, 2, 1, 3, 1, out);
  EXPECT_EQ(Pixels(out), (std::vector<TColor32>{0, 0xFF646464, 0xFF646464}));
}

TEST_F(TileRender, ResizesWithTheMitchellFilter) {
  TBitmap32 src;
  Fill(src, 2, 1, {0xFF000000, 0xFFFF0000});
  TBitmap32 out;
  CropTileRegion(src, 0, 0, 2, 1, 4, 1, out);
  EXPECT_EQ(Reds(out), (std::vector<int>{0, 61, 193, 255}));
}

TEST_F(TileRender, LoadsFilesThroughThePictureList) {
  const Bitmap24 pic = Gradient(6, 4);
  WriteBMPFile(pic, Dir + "t.bmp");
  for (bool fast : {false, true}) {
    TBitmap32 out;
    LoadTileRegion(Dir + "t.bmp", 1, 1, 5, 3, 4, 2, fast, out);
    ASSERT_EQ(out.Width(), 4);
    EXPECT_EQ(out.Pixel(0, 0), 0xFF0A0A07u);
    EXPECT_EQ(out.Pixel(3, 1), 0xFF281407u);
  }
  Bitmap24 rendered;
  RenderTileFromFile(Dir + "t.bmp", 5, 1, 1, 3, 4, 2, false, false, rendered);
  EXPECT_EQ(rendered.Width(), 4);
  EXPECT_EQ(rendered.Pixel(0, 0), RGB(40, 10, 7));  // mirrored
}

TEST_F(TileRender, FileAndMemoryPathsCutTheSameRegions) {
  const Bitmap24 pic = Gradient(9, 7);
  WriteBMPFile(pic, Dir + "r.bmp");
  const auto memory = As32(pic);
  const TRect regions[] = {{0, 0, 9, 7},  {-2, -1, 5, 4},   {7, 5, 11, 9},
                           {8, 6, 1, -2}, {20, 20, 25, 24}, {3, 3, 3, 6}};
  for (const TRect& r : regions) {
    TBitmap32 fromFile, fromMemory;
    LoadTileRegion(Dir + "r.bmp", r.Left, r.Top, r.Right, r.Bottom, 5, 4, true, fromFile);
    CropTileRegion(*memory, r.Left, r.Top, r.Right, r.Bottom, 5, 4, fromMemory);
    EXPECT_EQ(Pixels(fromFile), Pixels(fromMemory))
        << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom;
  }
}

TEST_F(TileRender, MissingOrUnreadableFilesGiveBlackTiles) {
  for (const char* name : {"none.jpg", "none.bmp", "none.xyz"})
    for (bool fast : {false, true}) {
      TBitmap32 out;
      LoadTileRegion(Dir + name, 0, 0, 10, 10, 3, 2, fast, out);
      EXPECT_EQ(Pixels(out), std::vector<TColor32>(6, 0)) << name;
    }
  // A corrupt JPEG through the picture list is a black tile too ...
  std::ofstream(Dir + "bad.jpg") << "not a jpeg";
  TBitmap32 out;
  LoadTileRegion(Dir + "bad.jpg", 0, 0, 10, 10, 3, 2, false, out);
  EXPECT_EQ(Pixels(out), std::vector<TColor32>(6, 0));
  // ... but on the fast path its decoding fails to the caller.
  EXPECT_THROW(LoadTileRegion(Dir + "bad.jpg", 0, 0, 10, 10, 3, 2, true, out), EVitrane);
  // An icon that cannot be read fails to the caller, fast or not.
  EXPECT_THROW(LoadTileRegion(Dir + "none.ico", 0, 0, 10, 10, 3, 2, false, out), EVitrane);
  std::ofstream(Dir + "bad.ico") << "not an icon";
  EXPECT_THROW(LoadTileRegion(Dir + "bad.ico", 0, 0, 10, 10, 3, 2, true, out), EVitrane);
  Bitmap24 icon;
  EXPECT_THROW(LoadIconAsBitmap(Dir + "bad.ico", icon), EVitrane);
}

TEST_F(TileRender, FastJpegDecodesReducedAndDividesTheCorners) {
  JpegEncodeFile(Gradient(24, 24), 90, Dir + "g.jpg");
  // Wanted width 2 * 6 = 12 against 24 pixels: r = 2, so one half; the corners
  // become (2, 2)-(4, 4) after halving 3 and 5 with halves to even ... and 9.
  TBitmap32 out;
  LoadTileRegion(Dir + "g.jpg", 3, 5, 9, 9, 2, 2, true, out);
  Bitmap24 half;
  JpegDecodeFile(Dir + "g.jpg", 1, half);
  TBitmap32 expected;
  CropTileRegion(*As32(half), int(RoundDiv(3, 2)), int(RoundDiv(5, 2)), int(RoundDiv(9, 2)),
                 int(RoundDiv(9, 2)), 2, 2, expected);
  EXPECT_EQ(Pixels(out), Pixels(expected));
  EXPECT_EQ(RoundDiv(5, 2), 2);
  EXPECT_EQ(RoundDiv(9, 2), 4);
  // Without fast reading the full-size picture is used.
  TBitmap32 full, fullExpected;
  LoadTileRegion(Dir + "g.jpg", 3, 5, 9, 9, 2, 2, false, full);
  Bitmap24 whole;
  JpegDecodeFile(Dir + "g.jpg", 0, whole);
  CropTileRegion(*As32(whole), 3, 5, 9, 9, 2, 2, fullExpected);
  EXPECT_EQ(Pixels(full), Pixels(fullExpected));
}

TEST_F(TileRender, OriginalTilesDecodeAtTheLargestReductionThatKeepsTheCellSize) {
  EXPECT_EQ(CellJPEGScale(800, 600, 100, 75), 3);  // exactly 8 times the cell
  EXPECT_EQ(CellJPEGScale(799, 600, 100, 75), 2);  // one pixel short of it
  EXPECT_EQ(CellJPEGScale(800, 299, 100, 75), 1);
  EXPECT_EQ(CellJPEGScale(150, 600, 100, 75), 0);
  EXPECT_EQ(CellJPEGScale(-800, -600, 100, 75), 3);  // a flipped region counts by its size

  // A 64 x 48 region into 8 x 6 is read at one eighth, corners divided and
  // rounded halves to even (20 / 8 = 2.5 -> 2, 84 / 8 = 10.5 -> 10), mirrored.
  JpegEncodeFile(Gradient(96, 64), 90, Dir + "o.jpg");
  TTileDecodeCache cache;
  TBitmap32 out;
  LoadOriginalTile(Dir + "o.jpg", 84, 4, 20, 52, 8, 6, true, &cache, out);
  Bitmap24 eighth;
  JpegDecodeFile(Dir + "o.jpg", 3, eighth);
  TBitmap32 expected;
  CropTileRegion(*As32(eighth), 10, 0, 2, 6, 8, 6, expected);
  EXPECT_EQ(Pixels(out), Pixels(expected));
  // Without fast reading, or for another format, the picture is read whole.
  LoadOriginalTile(Dir + "o.jpg", 84, 4, 20, 52, 8, 6, false, &cache, out);
  Bitmap24 whole;
  JpegDecodeFile(Dir + "o.jpg", 0, whole);
  CropTileRegion(*As32(whole), 84, 4, 20, 52, 8, 6, expected);
  EXPECT_EQ(Pixels(out), Pixels(expected));
  Bitmap24 handed;
  RenderTileFromOriginal(Dir + "o.jpg", 84, 4, 20, 52, 8, 6, false, nullptr, handed);
  EXPECT_EQ(handed.Width(), 8);
  EXPECT_EQ(handed.Pixel(3, 2), RGB(RedComponent(expected.Pixel(3, 2)), GreenComponent(expected.Pixel(3, 2)),
                                    BlueComponent(expected.Pixel(3, 2))));
}

TEST_F(TileRender, DecodeCacheKeepsPicturesWithinItsBudget) {
  const std::string a = Dir + "a.bmp", b = Dir + "b.bmp";
  WriteBMPFile(Uniform(40, 30, 10), a);
  WriteBMPFile(Uniform(40, 30, 20), b);
  const size_t picture = Bitmap24::StrideFor(40) * 30;
  TTileDecodeCache cache(picture + picture / 2);  // room for one picture
  TBitmap32 out;
  LoadOriginalTile(a, 0, 0, 40, 30, 4, 3, true, &cache, out);
  LoadOriginalTile(a, 40, 0, 0, 30, 4, 3, true, &cache, out);
  EXPECT_EQ(cache.Decodes(), 1);
  EXPECT_EQ(cache.Bytes(), picture);
  LoadOriginalTile(b, 0, 0, 40, 30, 4, 3, true, &cache, out);  // pushes a out
  LoadOriginalTile(a, 0, 0, 40, 30, 4, 3, true, &cache, out);
  EXPECT_EQ(cache.Decodes(), 3);
  EXPECT_EQ(cache.Bytes(), picture);
  // A rewritten file is read again, never taken from the cache.
  WriteBMPFile(Uniform(41, 30, 90), a);
  LoadOriginalTile(a, 0, 0, 40, 30, 4, 3, true, &cache, out);
  EXPECT_EQ(RedComponent(out.Pixel(1, 1)), 90);
  // A cell's cut is kept too, and follows the file the same way.
  Bitmap24 cut, fresh;
  RenderTileFromOriginal(a, 40, 0, 0, 30, 4, 3, true, &cache, cut);
  RenderTileFromOriginal(a, 40, 0, 0, 30, 4, 3, true, &cache, cut);
  RenderTileFromOriginal(a, 40, 0, 0, 30, 4, 3, true, nullptr, fresh);
  EXPECT_TRUE(cut == fresh);
  WriteBMPFile(Uniform(42, 30, 60), a);
  RenderTileFromOriginal(a, 40, 0, 0, 30, 4, 3, true, &cache, cut);
  EXPECT_EQ(cut.Pixel(1, 1), RGB(60, 60, 60));
  // A picture larger than the budget is drawn but not kept.
  TTileDecodeCache small(16);
  LoadOriginalTile(b, 0, 0, 40, 30, 4, 3, true, &small, out);
  EXPECT_EQ(RedComponent(out.Pixel(1, 1)), 20);
  EXPECT_EQ(small.Bytes(), 0u);
  cache.Clear();
  EXPECT_EQ(cache.Bytes(), 0u);
}

TEST_F(TileRender, ThreadsAskingForOnePictureShareItsDecodeAndItsFailure) {
  const std::string name = Dir + "s.bmp";
  WriteBMPFile(Uniform(400, 300, 33), name);
  std::vector<uint8_t> jpeg = JpegEncode(Gradient(96, 64), 90);
  jpeg.resize(jpeg.size() / 2);  // cut inside its data: reading it raises
  std::ofstream(Dir + "cut.jpg", std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), long(jpeg.size()));
  TTileDecodeCache cache;
  std::vector<Bitmap24> cuts(8);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      // Cells of other sizes: cuts of their own from the one picture.
      RenderTileFromOriginal(name, 0, 0, 400, 300, 40 + t, 30, true, &cache, cuts[size_t(t)]);
      Bitmap24 bad;
      EXPECT_THROW(RenderTileFromOriginal(Dir + "cut.jpg", 0, 0, 96, 64, 12, 8, true, &cache, bad), EVitrane);
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(cache.Decodes(), 1);
  for (int t = 0; t < 8; ++t) EXPECT_EQ(cuts[size_t(t)].Pixel(39, 9), RGB(33, 33, 33));
}

TEST_F(TileRender, WholeCellFromAnOriginalEqualsTheStepsInEveryOrientation) {
  // A picture with no symmetry, so that a wrong mirror shows.
  Bitmap24 picture(60, 44);
  for (int y = 0; y < 44; ++y)
    for (int x = 0; x < 60; ++x) picture.SetPixel(x, y, RGB(uint8_t(4 * x), uint8_t(5 * y), uint8_t(x * y % 251)));
  const std::string name = Dir + "w.bmp";
  WriteBMPFile(picture, name);
  const int corners[4][4] = {{6, 2, 54, 38}, {54, 2, 6, 38}, {6, 38, 54, 2}, {54, 38, 6, 2}};
  TTileDecodeCache cache;
  for (bool sharpen : {false, true}) {
    for (const auto& k : corners) {
      Bitmap24 cut, expected, cached, direct;
      RenderTileFromOriginal(name, k[0], k[1], k[2], k[3], 20, 15, true, nullptr, cut);
      RenderCellImage(cut, 20, 15, sharpen, 0, 0, Bitmap24(), false, "", nullptr, 0, 0, 0, 0, expected);
      cached = *RenderOriginalCell(name, k[0], k[1], k[2], k[3], 20, 15, true, sharpen, &cache);
      direct = *RenderOriginalCell(name, k[0], k[1], k[2], k[3], 20, 15, true, sharpen, nullptr);
      EXPECT_TRUE(cached == expected) << k[0] << "," << k[1] << " sharpen " << sharpen;
      EXPECT_TRUE(direct == expected) << k[0] << "," << k[1] << " sharpen " << sharpen;
      // Taken from the cache the second time.
      EXPECT_TRUE(*RenderOriginalCell(name, k[0], k[1], k[2], k[3], 20, 15, true, sharpen, &cache) == expected);
    }
  }
  // Eight cells kept and one cut shared by every orientation: the file was
  // read once.
  EXPECT_EQ(cache.Bytes(), 9 * Bitmap24::StrideFor(20) * 15);
}

TEST_F(TileRender, KeptPictureFollowsChangesOfTheFile) {
  const std::string name = Dir + "c.bmp";
  WriteBMPFile(Uniform(4, 4, 10), name);
  TBitmap32 a, b;
  LoadTileRegion(name, 0, 0, 4, 4, 2, 2, false, a);
  LoadTileRegion(name, 0, 0, 4, 4, 2, 2, false, b);
  EXPECT_EQ(Pixels(a), Pixels(b));
  EXPECT_EQ(RedComponent(a.Pixel(0, 0)), 10);
  // A rewritten file of another size is read again.
  WriteBMPFile(Uniform(5, 4, 90), name);
  LoadTileRegion(name, 0, 0, 4, 4, 2, 2, false, b);
  EXPECT_EQ(RedComponent(b.Pixel(1, 1)), 90);
  std::filesystem::remove(name);
  LoadTileRegion(name, 0, 0, 4, 4, 2, 2, false, b);
  EXPECT_EQ(Pixels(b), std::vector<TColor32>(4, 0));
}

TEST_F(TileRender, RenderFromBitmapSharpensWhenAsked) {
  auto src = As32(Uniform(6, 6, 80));
  src->SetPixel(2, 2, 0xFFFFFFFF);
  Bitmap24 plain, sharp;
  RenderTileFromBitmap(*src, 0, 0, 6, 6, 6, 6, true, false, plain);
  RenderTileFromBitmap(*src, 0, 0, 6, 6, 6, 6, true, true, sharp);
  EXPECT_EQ(plain.Pixel(2, 2), RGB(255, 255, 255));
  EXPECT_EQ(plain.Pixel(1, 1), RGB(80, 80, 80));
  // Neighbour of the bright pixel: (16*80 - 7*80 - 255) / 8 = 58.
  EXPECT_EQ(sharp.Pixel(1, 1), RGB(58, 58, 58));
  EXPECT_EQ(sharp.Pixel(0, 0), RGB(80, 80, 80));  // the border stays
}

TEST_F(TileRender, CellWithoutCorrectionOrBlendIsTheResizedTile) {
  const Bitmap24 tile = Gradient(3, 3);
  Bitmap24 out;
  RenderCellImage(tile, 5, 4, false, 0, 0, Uniform(2, 2, 255), false, "", nullptr, 0, 0, 0, 0, out);
  auto t = As32(tile);
  t->SetStretchFilter(sfMitchell);
  TBitmap32 expected;
  expected.SetSize(5, 4);
  expected.DrawRect(expected.BoundsRect(), t->BoundsRect(), *t);
  Bitmap24 e;
  expected.AssignTo(e);
  EXPECT_TRUE(out == e);
}

TEST_F(TileRender, FullBlendGivesTheCellPicture) {
  Bitmap24 out;
  // Same size: the row blend stores the opaque cell pixels as they are.
  RenderCellImage(Uniform(2, 2, 0), 4, 4, false, 0, 255, Uniform(4, 4, 200), false, "", nullptr, 0, 0, 0, 0,
                  out);
  EXPECT_EQ(out.Pixel(3, 3), RGB(200, 200, 200));
  // Stretched: the master blend at 255 gives (255 * 200 + 0 + 128) >> 8 = 199.
  RenderCellImage(Uniform(2, 2, 0), 4, 4, false, 0, 255, Uniform(2, 2, 200), false, "", nullptr, 0, 0, 0, 0,
                  out);
  EXPECT_EQ(out.Pixel(1, 2), RGB(199, 199, 199));
  // Half blend: (128 * 200 + 128 * 0 + 128) >> 8 = 100.
  RenderCellImage(Uniform(2, 2, 0), 4, 4, false, 0, 128, Uniform(4, 4, 200), false, "", nullptr, 0, 0, 0, 0,
                  out);
  EXPECT_EQ(out.Pixel(0, 0), RGB(100, 100, 100));
}

TEST_F(TileRender, ColourCorrectionUsesTheCellAtItsOwnSize) {
  Bitmap24 out;
  // Cell 6 x 6 of 100: RMS 120; tile 6 x 6 of 50: RMS 60; shift +60.
  RenderCellImage(Uniform(3, 3, 50), 6, 6, false, 100, 0, Uniform(6, 6, 100), false, "", nullptr, 0, 0, 0, 0,
                  out);
  EXPECT_EQ(out.Pixel(2, 2), RGB(110, 110, 110));
  // Cell 3 x 3 of 100: RMS 150, shift by half of 90 = 45.
  RenderCellImage(Uniform(3, 3, 50), 6, 6, false, 50, 0, Uniform(3, 3, 100), false, "", nullptr, 0, 0, 0, 0,
                  out);
  EXPECT_EQ(out.Pixel(5, 5), RGB(95, 95, 95));
}

TEST_F(TileRender, DetailedBlendTakesTheSourceRegionWhileItsFileExists) {
  const std::string source = Dir + "src.bmp";
  WriteBMPFile(Uniform(8, 8, 10), source);
  TBitmap32 picture;
  picture.LoadFromFile(source);
  Bitmap24 out;
  RenderCellImage(Uniform(2, 2, 0), 4, 4, false, 0, 255, Uniform(4, 4, 200), true, source, &picture, 2, 2, 6,
                  6, out);
  EXPECT_EQ(out.Pixel(0, 0), RGB(10, 10, 10));
  std::filesystem::remove(source);
  RenderCellImage(Uniform(2, 2, 0), 4, 4, false, 0, 255, Uniform(4, 4, 200), true, source, &picture, 2, 2, 6,
                  6, out);
  EXPECT_EQ(out.Pixel(0, 0), RGB(200, 200, 200));
}

TEST_F(TileRender, OverlayBlendsTheStretchedGraphic) {
  Bitmap24 b = Uniform(4, 4, 0);
  OverlayWithAlpha(b, Uniform(4, 4, 255), 128);
  EXPECT_EQ(b.Pixel(3, 0), RGB(128, 128, 128));
  b = Uniform(4, 4, 0);
  OverlayWithAlpha(b, Uniform(1, 1, 255), 255);  // stretched: 254
  EXPECT_EQ(b.Pixel(2, 2), RGB(254, 254, 254));
  b = Uniform(4, 4, 9);
  OverlayWithAlpha(b, Uniform(1, 1, 255), 0);
  EXPECT_EQ(b.Pixel(2, 2), RGB(9, 9, 9));
}

TEST_F(TileRender, GridPreviewKeepsCellsWiderThanFourPixels) {
  // 100 pixels and 30 columns: 25 columns of 4 pixels, each of its own colour.
  Bitmap24 reference(100, 8), bitmap = Uniform(100, 8, 50);
  for (int x = 0; x < 100; ++x)
    for (int y = 0; y < 8; ++y) {
      const uint8_t v = uint8_t(40 + 4 * (x / 4));
      reference.SetPixel(x, y, RGB(v, v, v));
    }
  BuildGridPreview(bitmap, reference, 30, 100, 1);
  // One cell is 4 x 8: RMS of a uniform v is round(v * sqrt(32 / 21)).
  auto rms = [](int v) { return int(RoundHalfEven(std::sqrt(32.0 * v * v / 21.0))); };
  for (int x = 0; x < 100; ++x) {
    const int expected = std::clamp(50 + rms(40 + 4 * (x / 4)) - rms(50), 0, 255);
    ASSERT_EQ(GetRValue(bitmap.Pixel(x, 7)), expected) << x;
  }
  // Tiny pictures and nonsense counts still make one cell.
  Bitmap24 one = Uniform(1, 1, 10);
  BuildGridPreview(one, Uniform(1, 1, 30), 0, 100, 0);
  EXPECT_EQ(one.Pixel(0, 0), RGB(30, 30, 30));
}

}  // namespace
