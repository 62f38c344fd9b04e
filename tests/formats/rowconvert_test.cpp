#include "formats/RowConvert.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(RowConvert, MulDivRoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(5, 3, 4), 4);                  // 3.75
  EXPECT_EQ(MulDiv(5, 1, 4), 1);                  // 1.25
  EXPECT_EQ(MulDiv(65535, 65535, 65535), 65535);  // no overflow in between
  EXPECT_EQ(MulDiv(7, -3, -2), 11);               // 10.5
  EXPECT_EQ(MulDiv(3, 4, 0), -1);
}

TEST(RowConvert, ByteOrderAndSixteenBitSamples) {
  Bytes shorts = {1, 2, 3, 4}, longs = {1, 2, 3, 4, 5, 6, 7, 8};
  SwapShorts(shorts.data(), 2);
  SwapLongs(longs.data(), 2);
  EXPECT_EQ(shorts, (Bytes{2, 1, 4, 3}));
  EXPECT_EQ(longs, (Bytes{4, 3, 2, 1, 8, 7, 6, 5}));
  EXPECT_EQ(SwapLong(0x11223344u), 0x44332211u);
  // Native little-endian 16-bit values keep their high byte, at odd
  // addresses too.
  Bytes src = {0xFF, 0x34, 0x12, 0xCD, 0xAB}, out(2);
  Convert16To8(src.data() + 1, out.data(), 2);
  EXPECT_EQ(out, (Bytes{0x12, 0xAB}));
}

TEST(RowConvert, RGBFamilies) {
  Bytes out(8, 0);
  ConvertRGBToDIB(Bytes{1, 2, 3, 4, 5, 6}.data(), out.data(), 6, 8);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), (Bytes{3, 2, 1, 6, 5, 4}));
  ConvertRGBToDIB(Bytes{0, 1, 0, 2, 0, 3}.data(), out.data(), 3, 16);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{3, 2, 1}));
  ConvertRGBAToDIB32(Bytes{1, 2, 3, 4, 5, 6, 7, 8}.data(), out.data(), 8, 8);
  EXPECT_EQ(out, (Bytes{3, 2, 1, 4, 7, 6, 5, 8}));
  ConvertRGBAToDIB24(Bytes{1, 2, 3, 4, 5, 6, 7, 8}.data(), out.data(), 8, 8);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), (Bytes{3, 2, 1, 7, 6, 5}));
  ConvertPlanarRGBToDIB(Bytes{1, 2}.data(), Bytes{3, 4}.data(), Bytes{5, 6}.data(), out.data(), 2, 8);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), (Bytes{5, 3, 1, 6, 4, 2}));
}

TEST(RowConvert, CMYK) {
  Bytes out(6);
  // v = 100, K = 100: MulDiv 39 - 200 + 255 = 94; K = 255 gives black.
  ConvertCMYKToDIB(Bytes{100, 100, 100, 100, 0, 0, 0, 255}.data(), out.data(), 8, 8);
  EXPECT_EQ(out, (Bytes{94, 94, 94, 0, 0, 0}));
  // 16 bits: 255 - ((v + K - v*K/65535) >> 8); v = 0x8000, K = 0x4000:
  // 32768 + 16384 - 8192 = 40960, >> 8 = 160, 255 - 160 = 95.
  const Bytes wide = {0, 0, 0, 0x80, 0, 0, 0, 0x40};
  ConvertCMYKToDIB(wide.data(), out.data(), 4, 16);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{191, 95, 191}));
  ConvertPlanarCMYKToDIB(Bytes{0}.data(), Bytes{100}.data(), Bytes{255}.data(), Bytes{100}.data(), out.data(),
                         1, 8);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 3), (Bytes{0, 94, 155}));
}

TEST(RowConvert, LabUnderD50ToSRGB) {
  // L (0..255 for 0..100), a, b (signed) and the B, G, R expected, worked
  // out from the CIE formulas, the Bradford adaptation and the sRGB standard:
  // white and black; mid grey; sRGB red's own D50 L*a*b* (54.29, 80.80,
  // 69.89); the D65 figures of red (53.24, 80.09, 67.20) read as D50, which
  // fall a little short of it; the linear parts of both curves near black;
  // a green; and a colour outside sRGB, clipped.
  struct Case {
    uint8_t L;
    int8_t A, B;
    Bytes BGR;
  };
  const Case cases[] = {
      {255, 0, 0, {255, 255, 255}},   {0, 0, 0, {0, 0, 0}},
      {128, 0, 0, {119, 119, 119}},   {138, 81, 70, {0, 0, 255}},
      {136, 80, 67, {8, 0, 251}},     {5, 0, 0, {7, 7, 7}},
      {200, -50, 60, {69, 217, 115}}, {255, 127, -128, {255, 117, 255}},
  };

  Bytes lab, expected;
  for (const Case& c : cases) {
    lab.insert(lab.end(), {c.L, uint8_t(c.A), uint8_t(c.B)});
    expected.insert(expected.end(), c.BGR.begin(), c.BGR.end());
  }
  Bytes out(lab.size());
  ConvertLabToDIB(lab.data(), out.data(), lab.size());
  EXPECT_EQ(out, expected);
  Bytes planar(3);
  ConvertPlanarLabToDIB(Bytes{200}.data(), Bytes{uint8_t(-50)}.data(), Bytes{60}.data(), planar.data(), 1);
  EXPECT_EQ(planar, (Bytes{69, 217, 115}));
}

TEST(RowConvert, SRGBTableGivesTheFormulasCodes) {
  // The curve's linear part, its power part and the clipping.
  EXPECT_EQ(SRGBEncode(0.0031308), 10);  // 12.92 x 0.0031308 x 255 = 10.31
  EXPECT_EQ(SRGBEncode(0.5), 188);       // 1.055 x 0.5^(1/2.4) - 0.055 = 0.7354
  EXPECT_EQ(SRGBEncode(-0.2), 0);
  EXPECT_EQ(SRGBEncode(1.7), 255);
  // Every code's edges: the linear values that decode from k +- 0.5, and
  // a few units in the last place around them, where a table that was only
  // near the formula would part from it.
  for (int k = 0; k <= 256; ++k) {
    const double s = (k - 0.5) / 255;
    const double linear = s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    double v = linear;
    for (int i = 0; i < 4; ++i) v = std::nextafter(v, -1.0);
    for (int i = 0; i < 8; ++i, v = std::nextafter(v, 2.0))
      ASSERT_EQ(SRGBEncodeByTable(v), SRGBEncode(v)) << v;
  }
}

TEST(RowConvert, PredictorsAddTheBytesBefore) {
  Bytes one = {10, 1, 1, 255};
  UndoPredictor1(one.data(), 3);
  EXPECT_EQ(one, (Bytes{10, 11, 12, 11}));
  Bytes three = {1, 2, 3, 1, 1, 1, 255, 0, 1, 9};
  UndoPredictor3(three.data(), 2);  // 3 pixels: 9 bytes, the tenth untouched
  EXPECT_EQ(three, (Bytes{1, 2, 3, 2, 3, 4, 1, 3, 5, 9}));
  Bytes four = {1, 2, 3, 4, 1, 1, 1, 1};
  UndoPredictor4(four.data(), 1);
  EXPECT_EQ(four, (Bytes{1, 2, 3, 4, 2, 3, 4, 5}));
}

TEST(RowConvert, IndexedPixelsOfEverySize) {
  std::array<uint8_t, 768> pal{};
  for (int k = 0; k < 256; ++k) pal[3 * k] = uint8_t(k), pal[3 * k + 1] = uint8_t(k + 1), pal[3 * k + 2] = 7;
  Bytes out(3 * 5, 0xEE);
  auto blues = [&out](int n) {
    Bytes b;
    for (int i = 0; i < n; ++i) b.push_back(out[3 * i]);
    return b;
  };
  ConvertIndexedToDIB(Bytes{0xA8}.data(), out.data(), 5, 1, pal.data());
  EXPECT_EQ(blues(5), (Bytes{1, 0, 1, 0, 1}));
  ConvertIndexedToDIB(Bytes{0x1B, 0xC0}.data(), out.data(), 5, 2, pal.data());
  EXPECT_EQ(blues(5), (Bytes{0, 1, 2, 3, 3}));
  ConvertIndexedToDIB(Bytes{0x4F, 0x20}.data(), out.data(), 3, 4, pal.data());
  EXPECT_EQ(blues(3), (Bytes{4, 15, 2}));
  ConvertIndexedToDIB(Bytes{200, 9}.data(), out.data(), 2, 8, pal.data());
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), (Bytes{200, 201, 7, 9, 10, 7}));
}

}  // namespace
