#include "tiledb/PixelCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

struct Rgb {
  int R, G, B;
};

// Stores one pixel (given as R, G, B) and returns the three stored bytes.
std::vector<int> Store(Rgb c, uint8_t cs) {
  Bitmap24 b(1, 1);
  b.SetPixel(0, 0, RGB(uint8_t(c.R), uint8_t(c.G), uint8_t(c.B)));
  std::vector<uint8_t> v;
  WriteBitmapPixels(b, v, cs);
  return {v.begin(), v.end()};
}

TEST(PixelCodec, YccValuesOfKnownColours) {
  struct Case {
    Rgb In;
    std::vector<int> Ycc;
  } cases[] = {
      {{255, 255, 255}, {255, 128, 128}}, {{0, 0, 0}, {0, 128, 128}},
      {{128, 128, 128}, {194, 128, 128}}, {{255, 0, 0}, {76, 85, 255}},
      {{0, 255, 0}, {150, 44, 21}},       {{0, 0, 255}, {29, 255, 107}},
      {{0, 255, 255}, {179, 171, 1}},     {{200, 100, 50}, {187, 96, 160}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Store(c.In, csYCC), c.Ycc) << c.In.R << "," << c.In.G << "," << c.In.B;
    // The row converter gives the same bytes from a B, G, R vector.
    const uint8_t bgr[3] = {uint8_t(c.In.B), uint8_t(c.In.G), uint8_t(c.In.R)};
    uint8_t out[3];
    RGBRowToYCC(bgr, out, 3);
    EXPECT_EQ((std::vector<int>{out[0], out[1], out[2]}), c.Ycc);
  }
}

TEST(PixelCodec, LightnessCurve) {
  EXPECT_EQ(LightnessCurve(0), 0.0L);
  EXPECT_EQ(LightnessCurve(-3), 0.0L);
  EXPECT_NEAR(double(LightnessCurve(255)), 255.0, 1e-12);
  EXPECT_NEAR(double(LightnessCurve(128)), 194.28, 0.01);
  EXPECT_NEAR(double(LightnessCurve(1)), 5.85, 0.01);
}

TEST(PixelCodec, RgbAndYModesStoreBitmapBytesInRowOrder) {
  Bitmap24 b(2, 2);
  b.SetPixel(0, 0, RGB(1, 2, 3));
  b.SetPixel(1, 0, RGB(4, 5, 6));
  b.SetPixel(0, 1, RGB(7, 8, 9));
  b.SetPixel(1, 1, RGB(10, 11, 12));
  const std::vector<uint8_t> want = {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10};
  std::vector<uint8_t> v = {99};
  WriteBitmapPixels(b, v, csRGB);
  EXPECT_EQ(v, want);
  WriteBitmapPixels(b, v, csY);
  EXPECT_EQ(v, want);
  for (uint8_t cs : {0, 4, 255}) {
    WriteBitmapPixels(b, v, cs);
    EXPECT_TRUE(v.empty());
  }
  Bitmap24 back(2, 2);
  ReadBitmapPixels(back, want, csRGB);
  EXPECT_EQ(back, b);
}

TEST(PixelCodec, ReadingBack) {
  // YCC does not undo the curve: mid-grey comes back as its stored luma.
  Bitmap24 grey(1, 1);
  grey.Fill(RGB(128, 128, 128));
  std::vector<uint8_t> v;
  WriteBitmapPixels(grey, v, csYCC);
  Bitmap24 back(1, 1);
  ReadBitmapPixels(back, v, csYCC);
  EXPECT_EQ(back.Pixel(0, 0), RGB(194, 194, 194));
  // Inverse transform of a saturated value clamps.
  uint8_t px[3];
  YCCToPixel(255, 255, 255, px);
  EXPECT_EQ(px[0], 255);  // B
  EXPECT_EQ(px[2], 255);  // R
  EXPECT_EQ(px[1], 121);  // 255 - 0.344136 * 127 - 0.714136 * 127 = 120.599...
}

TEST(PixelCodec, YModeAndUnknownLeaveBitmapAlone) {
  Bitmap24 b(1, 1);
  b.Fill(RGB(9, 8, 7));
  const std::vector<uint8_t> v = {1, 2, 3};
  ReadBitmapPixels(b, v, csY);
  EXPECT_EQ(b.Pixel(0, 0), RGB(9, 8, 7));
  ReadBitmapPixels(b, v, 7);
  EXPECT_EQ(b.Pixel(0, 0), RGB(9, 8, 7));
  // A short vector fills only the pixels it holds.
  Bitmap24 two(2, 1);
  ReadBitmapPixels(two, v, csRGB);
  EXPECT_EQ(two.Pixel(0, 0), RGB(3, 2, 1));
  EXPECT_EQ(two.Pixel(1, 0), RGB(0, 0, 0));
}

TEST(PixelCodec, NamesFiltersAndClamp) {
  EXPECT_EQ(ColorModeName(1), "YCC");
  EXPECT_EQ(ColorModeName(2), "RGB");
  EXPECT_EQ(ColorModeName(3), "Y");
  EXPECT_EQ(ColorModeName(0), "???");
  EXPECT_EQ(ColorModeName(4), "???");
  for (int b = 0; b <= 5; ++b) EXPECT_EQ(FilterFromByte(uint8_t(b)), b);
  for (int b : {6, 7, 255}) {
    EXPECT_EQ(FilterFromByte(uint8_t(b)), rfMitchell);
    EXPECT_EQ(FilterFromByteA(uint8_t(b)), rfMitchell);
  }
  EXPECT_EQ(ClampToByte(-1), 0);
  EXPECT_EQ(ClampToByte(256), 255);
  EXPECT_EQ(ClampToByte(17), 17);
}

TEST(PixelCodec, CellSamplesAreConvertedOnlyForYccLibraries) {
  EXPECT_TRUE(CellSamplesNeedYCC(csYCC, csRGB));
  EXPECT_FALSE(CellSamplesNeedYCC(csRGB, csRGB));
  EXPECT_FALSE(CellSamplesNeedYCC(csY, csRGB));
  EXPECT_FALSE(CellSamplesNeedYCC(csYCC, csYCC));
  const uint8_t cell[3] = {255, 255, 0};  // B, G, R of cyan
  uint8_t t[3];
  PrepareTargetSamples(cell, t, 3, csYCC, csRGB);
  EXPECT_EQ((std::vector<int>{t[0], t[1], t[2]}), (std::vector<int>{179, 171, 1}));
  PrepareTargetSamples(cell, t, 3, csY, csRGB);
  EXPECT_EQ((std::vector<int>{t[0], t[1], t[2]}), (std::vector<int>{255, 255, 0}));
}

}  // namespace

namespace {

// Every 8-bit input of both conversions, against the extended-precision
// formulas: the fast path must never round the other way, ties included.
TEST(PixelCodec, ConversionsEqualTheFormulasForEveryColour) {
  int64_t forwardDiffs = 0, inverseDiffs = 0;
  for (int a = 0; a < 256; ++a)
    for (int b = 0; b < 256; ++b)
      for (int c = 0; c < 256; ++c) {
        uint8_t fast[3], slow[3];
        PixelToYCC(uint8_t(a), uint8_t(b), uint8_t(c), fast);
        PixelToYCCFormula(uint8_t(a), uint8_t(b), uint8_t(c), slow);
        forwardDiffs += std::memcmp(fast, slow, 3) != 0;
        YCCToPixel(uint8_t(a), uint8_t(b), uint8_t(c), fast);
        YCCToPixelFormula(uint8_t(a), uint8_t(b), uint8_t(c), slow);
        inverseDiffs += std::memcmp(fast, slow, 3) != 0;
      }
  EXPECT_EQ(forwardDiffs, 0);
  EXPECT_EQ(inverseDiffs, 0);
}

}  // namespace
