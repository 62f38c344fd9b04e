#include "imaging/Adjust.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// A one-row picture of (b, g, r) pixels.
struct BGR {
  int b, g, r;
  bool operator==(const BGR&) const = default;
};

Bitmap24 Row(const std::vector<BGR>& px) {
  Bitmap24 bmp(int(px.size()), 1);
  for (size_t x = 0; x < px.size(); ++x) {
    uint8_t* p = bmp.ScanLine(0) + x * 3;
    p[0] = uint8_t(px[x].b);
    p[1] = uint8_t(px[x].g);
    p[2] = uint8_t(px[x].r);
  }
  return bmp;
}

std::vector<BGR> Pixels(const Bitmap24& bmp) {
  std::vector<BGR> v;
  for (int y = 0; y < bmp.Height(); ++y)
    for (int x = 0; x < bmp.Width(); ++x) {
      const uint8_t* p = bmp.ScanLine(y) + x * 3;
      v.push_back({p[0], p[1], p[2]});
    }
  return v;
}

// Grey values through a table adjustment on all channels.
std::vector<int> Through(void (*adjust)(Bitmap24&, int, int), int amount, const std::vector<int>& in) {
  std::vector<BGR> px;
  for (int v : in) px.push_back({v, v, v});
  Bitmap24 bmp = Row(px);
  adjust(bmp, amount, 0);
  std::vector<int> out;
  for (const BGR& p : Pixels(bmp)) {
    EXPECT_TRUE(p.b == p.g && p.g == p.r);
    out.push_back(p.b);
  }
  return out;
}

Bitmap24 Noise(int w, int h, unsigned seed) {
  Bitmap24 b(w, h);
  std::mt19937 rng(seed);
  std::generate_n(b.Bits(), b.ByteSize(), [&] { return uint8_t(rng()); });
  return b;
}

void Fill32(TBitmap32& b, int w, int h, TColor32 c) {
  b.SetSize(w, h);
  b.Clear(c);
}

}  // namespace

TEST(AdjustTables, ContrastAndBrightnessByTheFormulas) {
  EXPECT_EQ(Through(AdjustContrast, 256, {0, 64, 126, 127, 128, 192}),
            (std::vector<int>{0, 0, 124, 128, 128, 255}));
  // A negative amount moves toward the middle: 0 - (128 * -128) / 256 = 64.
  EXPECT_EQ(Through(AdjustContrast, -128, {0, 100, 127, 255}), (std::vector<int>{64, 114, 127, 192}));
  EXPECT_EQ(Through(AdjustBrightness, 255, {0, 255}), (std::vector<int>{254, 255}));
  EXPECT_EQ(Through(AdjustBrightness, -255, {255, 0}), (std::vector<int>{1, 0}));
  EXPECT_EQ(Through(AdjustBrightness, 100, {100}), (std::vector<int>{160}));
  EXPECT_EQ(Through(AdjustBrightness, -100, {100}), (std::vector<int>{61}));
}

TEST(AdjustTables, ChannelSelector) {
  const std::vector<BGR> in = {{10, 100, 200}};
  const std::pair<int, BGR> cases[] = {{0, {255, 255, 255}}, {1, {10, 100, 255}}, {2, {10, 255, 200}},
                                       {3, {255, 100, 200}}, {4, {10, 100, 200}}, {-1, {10, 100, 200}}};
  for (const auto& [channel, expected] : cases) {
    Bitmap24 bmp = Row(in);
    AdjustBrightness(bmp, 100000, channel);
    EXPECT_EQ(Pixels(bmp)[0], expected) << "channel " << channel;
  }
}

TEST(AdjustSaturation, TowardAndAwayFromGrey) {
  Bitmap24 bmp = Row({{30, 60, 90}});
  AdjustSaturation(bmp, 0, 0);
  EXPECT_EQ(Pixels(bmp)[0], (BGR{60, 60, 60}));
  // Above 256 the grey part of the table is negative.
  bmp = Row({{30, 60, 90}});
  AdjustSaturation(bmp, 510, 0);
  EXPECT_EQ(Pixels(bmp)[0], (BGR{0, 60, 120}));
  // Larger amounts count as 510.
  bmp = Row({{30, 60, 90}});
  AdjustSaturation(bmp, 5000, 0);
  EXPECT_EQ(Pixels(bmp)[0], (BGR{0, 60, 120}));
  // Only red: d = 60 - S[60] with s = 0 is 60, red becomes 60.
  bmp = Row({{30, 60, 90}});
  AdjustSaturation(bmp, -7, 1);
  EXPECT_EQ(Pixels(bmp)[0], (BGR{30, 60, 60}));
  // 256 keeps every picture.
  Bitmap24 noise = Noise(16, 9, 1), copy = noise;
  AdjustSaturation(noise, 256, 0);
  EXPECT_TRUE(noise == copy);
}

TEST(AdjustBlurSharp, InPlaceLeftToRight) {
  Bitmap24 bmp = Row({{50, 50, 50}, {100, 100, 100}, {100, 100, 100}});
  AdjustBlurSharp(bmp, 1, 0);
  EXPECT_EQ(Pixels(bmp), (std::vector<BGR>{{31, 31, 31}, {125, 125, 125}, {90, 90, 90}}));
  // The sign makes no difference, only the selected channel changes.
  Bitmap24 neg = Row({{50, 1, 50}, {100, 2, 100}, {100, 3, 100}});
  AdjustBlurSharp(neg, -1, 3);
  EXPECT_EQ(Pixels(neg), (std::vector<BGR>{{31, 1, 50}, {125, 2, 100}, {90, 3, 100}}));
}

TEST(AdjustBlurSharp, UniformAndZeroDistanceUnchanged) {
  Bitmap24 flat(9, 7);
  flat.Fill(RGB(10, 128, 250));
  const Bitmap24 expected = flat;
  for (int d : {1, 2, 5, 100, -3, 2147483647}) {
    AdjustBlurSharp(flat, d, 0);
    EXPECT_TRUE(flat == expected) << d;
  }
  Bitmap24 noise = Noise(8, 8, 2), copy = noise;
  AdjustBlurSharp(noise, 0, 0);
  EXPECT_TRUE(noise == copy);
}

TEST(TwoPictures, DifferenceAndMix) {
  const Bitmap24 a = Row({{10, 20, 30}, {255, 0, 7}});
  const Bitmap24 b = Row({{13, 10, 30}, {0, 255, 7}});
  Bitmap24 c(2, 1);
  DifferenceBitmap(a, b, c);
  EXPECT_EQ(Pixels(c), (std::vector<BGR>{{4, 4, 4}, {170, 170, 170}}));

  // B - floor((B - A) * w / 256), blue weight 128, green 255, red 0.
  MixBitmaps(a, b, 128, 255, 0, c);
  // Blue: 13 - floor(3*128/256) = 12; 0 - floor(-255*128/256) = 128.
  // Green: 10 - floor(-10*255/256) = 20; 255 - floor(255*255/256) = 1.
  EXPECT_EQ(Pixels(c), (std::vector<BGR>{{12, 20, 30}, {128, 1, 7}}));
}

TEST(TwoPictures, CommonSizeOnly) {
  const Bitmap24 a = Noise(5, 4, 3), b = Noise(3, 6, 4);
  Bitmap24 c(7, 2);
  c.Fill(clWhite);
  DifferenceBitmap(a, b, c);
  EXPECT_NE(c.Pixel(2, 1), clWhite);
  EXPECT_EQ(c.Pixel(3, 0), clWhite);
  Bitmap24 small(2, 2);
  MixBitmaps(a, b, 1, 2, 3, small);
  Bitmap24 empty;
  MixBitmaps(a, b, 1, 2, 3, empty);
  DifferenceBitmap(empty, b, c);
}

TEST(Convolve3x3, SharpenKernel) {
  const std::array<int, 9> sharpen = {-1, -1, -1, -1, 16, -1, -1, -1, -1};
  TBitmap32 bmp;
  Fill32(bmp, 5, 4, Color32(10, 128, 250, 7));
  Convolve3x3(bmp, sharpen, 8);
  // Uniform inside; the inner pixels become opaque, the border keeps its alpha.
  EXPECT_EQ(bmp.Pixel(2, 1), Color32(10, 128, 250, 255));
  EXPECT_EQ(bmp.Pixel(0, 0), Color32(10, 128, 250, 7));
  EXPECT_EQ(bmp.Pixel(4, 3), Color32(10, 128, 250, 7));

  // A single bright pixel: centre (16*100 - 8*20)/8 = 180, neighbour
  // (16*20 - 100 - 7*20)/8 = 10, truncating toward zero; reads the old pixels.
  Fill32(bmp, 5, 5, Color32(20, 20, 20));
  bmp.SetPixel(2, 2, Color32(100, 100, 100));
  Convolve3x3(bmp, sharpen, 8);
  EXPECT_EQ(bmp.Pixel(2, 2), Color32(180, 180, 180));
  EXPECT_EQ(bmp.Pixel(1, 1), Color32(10, 10, 10));
  EXPECT_EQ(bmp.Pixel(3, 2), Color32(10, 10, 10));
  // Clamped below: -1 * 255 / 1.
  Fill32(bmp, 3, 3, Color32(255, 0, 3));
  Convolve3x3(bmp, {0, 0, 0, 0, -1, 0, 0, 0, 0}, 1);
  EXPECT_EQ(bmp.Pixel(1, 1), Color32(0, 0, 0));
  // A weight reading the top-left neighbour: the order of the weights.
  Fill32(bmp, 3, 3, Color32(0, 0, 0));
  bmp.SetPixel(0, 0, Color32(90, 60, 30));
  Convolve3x3(bmp, {1, 0, 0, 0, 0, 0, 0, 0, 0}, -3);
  EXPECT_EQ(bmp.Pixel(1, 1), Color32(0, 0, 0));
  Convolve3x3(bmp, {3, 0, 0, 0, 0, 0, 0, 0, 0}, 3);
  EXPECT_EQ(bmp.Pixel(1, 1), Color32(90, 60, 30));
}

TEST(Convolve3x3, SmallBitmapsAndDivisorZeroUnchanged) {
  const std::array<int, 9> k = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  TBitmap32 bmp;
  Fill32(bmp, 2, 2, Color32(1, 2, 3, 4));
  bmp.SetPixel(1, 1, Color32(200, 100, 50, 9));
  Convolve3x3(bmp, k, 1);
  EXPECT_EQ(bmp.Pixel(0, 0), Color32(1, 2, 3, 4));
  EXPECT_EQ(bmp.Pixel(1, 1), Color32(200, 100, 50, 9));
  Fill32(bmp, 4, 4, Color32(1, 2, 3, 4));
  Convolve3x3(bmp, k, 0);
  EXPECT_EQ(bmp.Pixel(1, 1), Color32(1, 2, 3, 4));
  int changes = 0;
  bmp.OnChange = [&](TThreadPersistent*) { ++changes; };
  Convolve3x3(bmp, k, 45);
  EXPECT_EQ(changes, 1);
}

TEST(ColorRMS, DivisorIsRowsAndColumnsLessOne) {
  TBitmap32 bmp;
  Fill32(bmp, 6, 6, Color32(100, 100, 100));
  EXPECT_EQ(ColorRMS(bmp), Color32(120, 120, 120, 255));
  Fill32(bmp, 3, 3, Color32(100, 0, 200, 0));
  // Red sqrt(90000 / 4) = 150; blue 300 clamps to 255.
  EXPECT_EQ(ColorRMS(bmp), Color32(150, 0, 255, 255));
  // One row: the pixel count divides.
  Fill32(bmp, 4, 1, Color32(100, 50, 7));
  EXPECT_EQ(ColorRMS(bmp), Color32(100, 50, 7, 255));
  Fill32(bmp, 1, 1, Color32(9, 8, 7));
  EXPECT_EQ(ColorRMS(bmp), Color32(9, 8, 7, 255));
  TBitmap32 empty;
  EXPECT_EQ(ColorRMS(empty), Color32(0, 0, 0, 255));
  // Four pixels of 1 among nine: sqrt(4 / 2 / 2) = 1.
  Fill32(bmp, 3, 3, Color32(0, 0, 0));
  for (int i = 0; i < 4; ++i) bmp.SetPixel(i % 3, i / 3, Color32(1, 0, 0));
  EXPECT_EQ(ColorRMS(bmp), Color32(1, 0, 0, 255));
}

TEST(ShiftColors, ClampsAndMakesOpaque) {
  TBitmap32 bmp;
  Fill32(bmp, 2, 1, Color32(10, 250, 128, 0));
  bmp.SetPixel(1, 0, Color32(0, 0, 0, 77));
  ShiftColors(bmp, -20, 10, 2147483647);
  EXPECT_EQ(bmp.Pixel(0, 0), Color32(0, 255, 255, 255));
  EXPECT_EQ(bmp.Pixel(1, 0), Color32(0, 10, 255, 255));
}

TEST(MatchTileColor, ShiftsTowardTheReference) {
  TBitmap32 a, b;
  // ColorRMS on 3 x 3: 1.5 times the value. A: (150, 75, 30); B: (120, 90, 3).
  Fill32(a, 3, 3, Color32(100, 50, 20));
  Fill32(b, 3, 3, Color32(80, 60, 2, 9));
  MatchTileColor(a, b, 100);
  EXPECT_EQ(b.Pixel(0, 0), Color32(110, 45, 29, 255));
  // 50 %: red (30 / 100 * 50) = 15, green round(50 * -15 / 100) = -7.5 -> -8,
  // blue round(50 * 27 / 100) = 13.5 -> 14.
  Fill32(b, 3, 3, Color32(80, 60, 2, 9));
  MatchTileColor(a, b, 50);
  EXPECT_EQ(b.Pixel(2, 2), Color32(95, 52, 16, 255));
  // 0 % only makes the picture opaque.
  Fill32(b, 3, 3, Color32(80, 60, 2, 9));
  MatchTileColor(a, b, 0);
  EXPECT_EQ(b.Pixel(1, 1), Color32(80, 60, 2, 255));
}

TEST(MatchTileColor, RedDividesBeforeItMultiplies) {
  // ColorRMS of a 2 x 2 is twice the value: a difference of 14 at 75 %.
  // Red: 14 / 100 * 75 = 10.500000000000002 -> 11; green and blue:
  // 75 * 14 / 100 = 10.5 exactly -> 10.
  TBitmap32 a, b;
  Fill32(a, 2, 2, Color32(17, 17, 17));
  Fill32(b, 2, 2, Color32(10, 10, 10));
  MatchTileColor(a, b, 75);
  EXPECT_EQ(b.Pixel(1, 1), Color32(21, 20, 20));
}

TEST(MatchTileColor, IdenticalBitmapsOnlyBecomeOpaque) {
  TBitmap32 a, b;
  a.SetSize(4, 3);
  b.SetSize(4, 3);
  std::mt19937 rng(5);
  for (int i = 0; i < 12; ++i) a.Bits()[i] = b.Bits()[i] = TColor32(rng()) & 0x7FFFFFFF;
  MatchTileColor(a, b, 100);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(b.Bits()[i], a.Bits()[i] | 0xFF000000u);
}
