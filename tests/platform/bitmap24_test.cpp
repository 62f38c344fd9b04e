#include "platform/Bitmap24.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "platform/Rounding.h"

namespace {

Bitmap24 Row(std::initializer_list<uint8_t> values) {
  Bitmap24 b(int(values.size()), 1);
  int x = 0;
  for (uint8_t v : values) b.SetPixel(x++, 0, RGB(v, v, v));
  return b;
}

std::vector<int> Reds(const Bitmap24& b, int y = 0) {
  std::vector<int> r;
  for (int x = 0; x < b.Width(); ++x) r.push_back(GetRValue(b.Pixel(x, y)));
  return r;
}

TEST(Bitmap24, RowsArePaddedToFourBytesAndStartBlack) {
  for (int w = 1; w <= 5; ++w) {
    Bitmap24 b(w, 2);
    EXPECT_EQ(b.Stride(), size_t((w * 3 + 3) / 4 * 4));
    EXPECT_EQ(b.ByteSize(), b.Stride() * 2);
    for (size_t i = 0; i < b.ByteSize(); ++i) ASSERT_EQ(b.Bits()[i], 0);
  }
  Bitmap24 b(2, 1);
  b.SetPixel(1, 0, RGB(1, 2, 3));
  EXPECT_EQ(b.ScanLine(0)[3], 3);  // blue first
  EXPECT_EQ(b.ScanLine(0)[5], 1);
  EXPECT_EQ(b.Pixel(1, 0), RGB(1, 2, 3));
}

TEST(Bitmap24, AbsurdSizesRaise) {
  Bitmap24 b;
  EXPECT_THROW(b.SetSize(-1, 5), EOutOfResources);
  EXPECT_THROW(b.SetSize(2000000000, 2000000000), EOutOfResources);
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap24, StretchDrawNearestNeighbour) {
  Bitmap24 src = Row({10, 20, 30});
  Bitmap24 dst(7, 1);
  StretchDraw(dst, TRect(0, 0, 7, 1), src);
  // floor(i * 3 / 7)
  EXPECT_EQ(Reds(dst), (std::vector<int>{10, 10, 10, 20, 20, 30, 30}));
}

TEST(Bitmap24, ReversedRectanglesMirrorWithoutShift) {
  Bitmap24 src(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) src.SetPixel(x, y, RGB(uint8_t(10 * x + 100 * y), 0, 0));
  Bitmap24 h(3, 2), v(3, 2), r(3, 2);
  StretchDraw(h, TRect(2, 0, -1, 2), src);
  StretchDraw(v, TRect(0, 1, 3, -1), src);
  StretchDraw(r, TRect(2, 1, -1, -1), src);
  EXPECT_EQ(Reds(h, 0), (std::vector<int>{20, 10, 0}));
  EXPECT_EQ(Reds(h, 1), (std::vector<int>{120, 110, 100}));
  EXPECT_EQ(Reds(v, 0), (std::vector<int>{100, 110, 120}));
  EXPECT_EQ(Reds(v, 1), (std::vector<int>{0, 10, 20}));
  EXPECT_EQ(Reds(r, 0), (std::vector<int>{120, 110, 100}));
  EXPECT_EQ(Reds(r, 1), (std::vector<int>{20, 10, 0}));
}

TEST(Bitmap24, StretchDrawClipsOutsideTarget) {
  Bitmap24 src = Row({1, 2, 3, 4});
  Bitmap24 dst(2, 1);
  StretchDraw(dst, TRect(-2, -5, 2, 6), src);
  EXPECT_EQ(Reds(dst), (std::vector<int>{3, 4}));
}

TEST(Bitmap24, DrawAtClipsAndSwapsRedAndBlueWhenAsked) {
  Bitmap24 src(3, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) src.SetPixel(x, y, RGB(uint8_t(10 + x), uint8_t(20 + y), uint8_t(30 + x + y)));
  Bitmap24 plain(3, 3), swapped(3, 3);
  DrawAt(plain, -1, 2, src);  // only (1..2, 0) lands, at (0..1, 2)
  DrawAt(swapped, -1, 2, src, true);
  EXPECT_EQ(plain.Pixel(0, 2), RGB(11, 20, 31));
  EXPECT_EQ(plain.Pixel(1, 2), RGB(12, 20, 32));
  EXPECT_EQ(swapped.Pixel(0, 2), RGB(31, 20, 11));
  EXPECT_EQ(swapped.Pixel(1, 2), RGB(32, 20, 12));
  for (const Bitmap24* b : {&plain, &swapped}) {
    EXPECT_EQ(b->Pixel(2, 2), RGB(0, 0, 0));
    for (int x = 0; x < 3; ++x) EXPECT_EQ(b->Pixel(x, 1), RGB(0, 0, 0));
  }
}

TEST(Rounding, RoundDivHalvesToEven) {
  EXPECT_EQ(RoundDiv(29 * 7, 14), 14);  // 14.5
  EXPECT_EQ(RoundDiv(5, 2), 2);
  EXPECT_EQ(RoundDiv(7, 2), 4);
  EXPECT_EQ(RoundDiv(-5, 2), -2);
  EXPECT_EQ(RoundDiv(-7, 2), -4);
  EXPECT_EQ(RoundDiv(10, -4), -2);
  EXPECT_EQ(RoundDiv(1, 3), 0);
  EXPECT_EQ(RoundDiv(2, 3), 1);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
}

}  // namespace
