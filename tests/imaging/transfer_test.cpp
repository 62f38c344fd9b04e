#include "imaging/Transfer.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/PixelTestUtil.h"

namespace {

const TStretchFilter kAllFilters[] = {sfNearest, sfDraft,   sfLinear,  sfCosine,
                                      sfSpline,  sfLanczos, sfMitchell};

TEST(Transfer, MitchellEnlargesTwoPixelsToFour) {
  TBitmap32 src, dst;
  Fill(src, 2, 1, {0xFF000000, 0xFFFF0000});
  src.SetStretchFilter(sfMitchell);
  dst.SetSize(4, 1);
  dst.DrawRect(TRect(0, 0, 4, 1), TRect(0, 0, 2, 1), src);
  EXPECT_EQ(Reds(dst), (std::vector<int>{0, 61, 193, 255}));
  EXPECT_EQ(dst.Pixel(1, 0), 0xFF3D0000u);
}

TEST(Transfer, MappingListsTotal256AndRepeatEdges) {
  const TMappingTable t = BuildMappingTable(0, 4, 0, 4, 0, 2, sfMitchell);
  ASSERT_EQ(t.Count(), 4);
  std::vector<TMappingPair> first(t.Begin(0), t.End(0));
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first[0].Pos, 0);  // -2 clamped
  EXPECT_EQ(first[0].Weight, -4);
  EXPECT_EQ(first[1].Weight, 66);
  EXPECT_EQ(first[2].Weight, 200);
  EXPECT_EQ(first[3].Weight, -6);
  for (int s = 1; s <= 40; ++s)
    for (int d = 1; d <= 40; ++d)
      for (TStretchFilter f : kAllFilters) {
        const TMappingTable m = BuildMappingTable(3, 3 + d, 3, 3 + d, 5, 5 + s, f);
        ASSERT_EQ(m.Count(), d);
        for (int i = 0; i < d; ++i) {
          int total = 0;
          for (const TMappingPair* p = m.Begin(i); p != m.End(i); ++p) {
            total += p->Weight;
            ASSERT_GE(p->Pos, 5);
            ASSERT_LT(p->Pos, 5 + s);
          }
          ASSERT_EQ(total, 256) << "s=" << s << " d=" << d << " f=" << int(f);
        }
      }
  EXPECT_EQ(BuildMappingTable(0, 4, 0, 4, 2, 2, sfMitchell).Count(), 0);
  const TMappingTable one = BuildMappingTable(0, 3, 1, 3, 7, 8, sfLanczos);
  ASSERT_EQ(one.Count(), 2);
  EXPECT_EQ(one.Begin(1)->Pos, 7);
  EXPECT_EQ(one.Begin(1)->Weight, 256);
}

TEST(Transfer, UniformSourceStaysUniformAtEverySize) {
  const TColor32 colour = 0xC8FF4010;
  for (TStretchFilter f : kAllFilters) {
    TBitmap32 src, dst;
    src.SetSize(64, 3);
    src.Clear(colour);
    src.SetStretchFilter(f);
    for (int s = 1; s <= 64; ++s)
      for (int d = 1; d <= 64; ++d) {
        dst.SetSize(d, 2);
        dst.Clear(0);
        dst.DrawRect(TRect(0, 0, d, 2), TRect(0, 0, s, 3), src);
        for (TColor32 c : Pixels(dst)) ASSERT_EQ(c, colour) << "filter " << int(f) << " " << s << " -> " << d;
      }
  }
}

TEST(Transfer, OnePixelWideSourceFillsEveryColumn) {
  TBitmap32 src, dst;
  Fill(src, 3, 1, {0xFF000000, 0xFF102030, 0xFFFFFFFF});
  src.SetStretchFilter(sfMitchell);
  dst.SetSize(7, 1);
  dst.DrawRect(TRect(0, 0, 7, 1), TRect(1, 0, 2, 1), src);
  EXPECT_EQ(Pixels(dst), std::vector<TColor32>(7, 0xFF102030));
}

TEST(Transfer, CopyBlockAtNegativePositionCropsTheTopLeft) {
  TBitmap32 src, dst;
  Fill(src, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  dst.SetSize(3, 3);
  src.DrawAt(dst, -1, -1);
  EXPECT_EQ(Pixels(dst), (std::vector<TColor32>{5, 6, 0, 8, 9, 0, 0, 0, 0}));
  dst.Clear(0);
  src.DrawAt(dst, 2, 1);
  EXPECT_EQ(Pixels(dst), (std::vector<TColor32>{0, 0, 0, 0, 0, 1, 0, 0, 4}));
  // Far away: nothing.
  dst.Clear(0);
  src.DrawAt(dst, 1 << 30, -(1 << 30));
  EXPECT_EQ(Pixels(dst), std::vector<TColor32>(9, 0));
}

TEST(Transfer, CopyBlockDrawsOnlyTheSourcePartInside) {
  TBitmap32 src, dst;
  Fill(src, 2, 2, {1, 2, 3, 4});
  dst.SetSize(3, 3);
  // The rectangle starts one pixel left of the source: its corner lands on (0, 0).
  CopyBlock32(&dst, 0, 0, dst.ClipRect(), src, TRect(-1, 0, 2, 2), dmOpaque, nullptr);
  EXPECT_EQ(Pixels(dst), (std::vector<TColor32>{0, 1, 2, 0, 3, 4, 0, 0, 0}));
  dst.Clear(0);
  CopyBlock32(&dst, 0, 0, dst.ClipRect(), src, TRect(2, 0, 0, 2), dmOpaque, nullptr);  // reversed
  EXPECT_EQ(Pixels(dst), std::vector<TColor32>(9, 0));
  // The clip rectangle holds.
  dst.SetClipRect(TRect(1, 1, 2, 2));
  src.DrawAt(dst, 0, 0);
  EXPECT_EQ(Pixels(dst), (std::vector<TColor32>{0, 0, 0, 0, 4, 0, 0, 0, 0}));
}

TEST(Transfer, ErrorsComeBeforeAnyPixel) {
  TBitmap32 src, dst, empty;
  Fill(src, 2, 2, {1, 2, 3, 4});
  dst.SetSize(2, 2);
  try {
    StretchBlock32(&dst, TRect(0, 0, 2, 2), dst.ClipRect(), src, TRect(1, 0, 3, 2), sfMitchell, dmOpaque,
                   nullptr);
    FAIL() << "no error";
  } catch (const ETransformError& e) {
    EXPECT_STREQ(e.what(), "Source rectangle is invalid");
  }
  EXPECT_EQ(Pixels(dst), std::vector<TColor32>(4, 0));
  EXPECT_THROW(StretchBlock32(&dst, TRect(0, 0, 2, 2), dst.ClipRect(), src, TRect(-1, 0, 1, 2), sfNearest,
                              dmOpaque, nullptr),
               ETransformError);
  try {
    CopyBlock32(&empty, 0, 0, TRect(0, 0, 2, 2), src, src.BoundsRect(), dmOpaque, nullptr);
    FAIL() << "no error";
  } catch (const ETransformError& e) {
    EXPECT_STREQ(e.what(), "Destination bitmap is nil or empty");
  }
  EXPECT_THROW(StretchBlock32(nullptr, TRect(0, 0, 2, 2), TRect(0, 0, 2, 2), src, src.BoundsRect(), sfNearest,
                              dmOpaque, nullptr),
               ETransformError);
  // An empty source or source rectangle draws nothing and raises nothing.
  EXPECT_NO_THROW(CopyBlock32(nullptr, 0, 0, TRect(), empty, TRect(0, 0, 1, 1), dmOpaque, nullptr));
  EXPECT_NO_THROW(StretchBlock32(&dst, TRect(0, 0, 2, 2), dst.ClipRect(), src, TRect(1, 1, 1, 2), sfMitchell,
                                 dmOpaque, nullptr));
}

TEST(Transfer, EqualSizesStretchAsACopy) {
  TBitmap32 src, a, b;
  Fill(src, 3, 2, {1, 2, 3, 4, 5, 6});
  a.SetSize(4, 3);
  b.SetSize(4, 3);
  StretchBlock32(&a, TRect(1, 1, 4, 3), a.ClipRect(), src, src.BoundsRect(), sfMitchell, dmOpaque, nullptr);
  CopyBlock32(&b, 1, 1, b.ClipRect(), src, src.BoundsRect(), dmOpaque, nullptr);
  EXPECT_EQ(Pixels(a), Pixels(b));
  EXPECT_EQ(a.Pixel(3, 2), 6u);
}

TEST(Transfer, BlendOfEqualSizeUsesTheRowBlendAndStretchTheMasterBlend) {
  TBitmap32 src, dst;
  Fill(src, 2, 1, {0xFFFFFFFF, 0x80FFFFFF});
  src.SetDrawMode(dmBlend);
  src.SetStretchFilter(sfNearest);
  dst.SetSize(2, 1);
  dst.DrawRect(TRect(0, 0, 2, 1), TRect(0, 0, 2, 1), src);
  EXPECT_EQ(Pixels(dst), (std::vector<TColor32>{0xFFFFFFFF, 0x40808080}));
  // Stretched: the in-place blend with master alpha 255, so opaque white gives 254.
  dst.SetSize(4, 1);
  dst.DrawRect(TRect(0, 0, 4, 1), TRect(0, 0, 2, 1), src);
  EXPECT_EQ(Pixels(dst), (std::vector<TColor32>{0xFEFEFEFE, 0xFEFEFEFE, 0x40808080, 0x40808080}));
  // Master alpha 0 draws nothing.
  src.SetMasterAlpha(0);
  dst.Clear(5);
  dst.DrawRect(TRect(0, 0, 4, 1), TRect(0, 0, 2, 1), src);
  EXPECT_EQ(Pixels(dst), std::vector<TColor32>(4, 5));
}

TEST(Transfer, CustomModeCallsTheEventAndWithoutOneCopies) {
  TBitmap32 src, dst;
  Fill(src, 2, 1, {10, 20});
  src.SetDrawMode(dmCustom);
  dst.SetSize(2, 1);
  dst.Clear(1);
  src.DrawAt(dst, 0, 0);
  EXPECT_EQ(Pixels(dst), (std::vector<TColor32>{10, 20}));
  src.OnPixelCombine = [](TColor32 f, TColor32& b, uint32_t m) { b = b + f + m; };
  src.DrawAt(dst, 0, 0);
  EXPECT_EQ(Pixels(dst), (std::vector<TColor32>{10 + 10 + 255, 20 + 20 + 255}));
}

TEST(Transfer, NearestDraftAndLinearPaths) {
  TBitmap32 src, dst;
  Fill(src, 4, 1, {0xFF000000, 0xFF400000, 0xFF800000, 0xFFC00000});
  src.SetStretchFilter(sfNearest);
  dst.SetSize(2, 1);
  dst.DrawRect(TRect(0, 0, 2, 1), TRect(0, 0, 4, 1), src);
  EXPECT_EQ(Reds(dst), (std::vector<int>{0x00, 0x80}));
  dst.SetSize(8, 1);
  dst.DrawRect(TRect(0, 0, 8, 1), TRect(0, 0, 4, 1), src);
  EXPECT_EQ(Reds(dst), (std::vector<int>{0, 0, 0x40, 0x40, 0x80, 0x80, 0xC0, 0xC0}));
  // Draft reduces by block averages.
  src.SetStretchFilter(sfDraft);
  dst.SetSize(2, 1);
  dst.DrawRect(TRect(0, 0, 2, 1), TRect(0, 0, 4, 1), src);
  EXPECT_EQ(Reds(dst), (std::vector<int>{0x20, 0xA0}));
  // Linear enlarges in both directions bilinearly.
  TBitmap32 sq;
  Fill(sq, 2, 2, {0xFF000000, 0xFFFF0000, 0xFF000000, 0xFFFF0000});
  sq.SetStretchFilter(sfLinear);
  dst.SetSize(4, 4);
  dst.DrawRect(TRect(0, 0, 4, 4), TRect(0, 0, 2, 2), sq);
  EXPECT_EQ(Reds(dst, 3), (std::vector<int>{0, 127, 255, 255}));
}

TEST(Transfer, SameBitmapAsSourceAndDestination) {
  TBitmap32 b;
  Fill(b, 3, 1, {1, 2, 3});
  b.DrawAt(b, 1, 0);
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{1, 1, 2}));
}

}  // namespace

namespace {

// A picture of pseudo-random words, the same for the same seed.
void Noise(TBitmap32& b, int w, int h, uint32_t seed) {
  b.SetSize(w, h);
  for (int i = 0; i < w * h; ++i) {
    seed = seed * 1664525u + 1013904223u;
    b.Bits()[i] = seed;
  }
}

// The resampler's result straight from the mapping tables, one pixel at a
// time: each channel is clamp(sum of wy * wx * channel) >> 16.
TColor32 ReferencePixel(const TBitmap32& src, const TMappingTable& mx, const TMappingTable& my, int x,
                        int y) {
  TColor32 pixel = 0;
  for (int k = 0; k < 4; ++k) {
    int64_t v = 0;
    for (const TMappingPair* py = my.Begin(y); py != my.End(y); ++py)
      for (const TMappingPair* px = mx.Begin(x); px != mx.End(x); ++px)
        v += int64_t(py->Weight) * px->Weight * ((src.Pixel(px->Pos, py->Pos) >> (8 * k)) & 0xFF);
    v = std::clamp<int64_t>(v, 0, 0xFF0000);
    pixel |= TColor32(v >> 16) << (8 * k);
  }
  return pixel;
}

TEST(Transfer, LargeReductionMatchesThePlainSumsExactly) {
  // Large enough that the rows are shared among threads and summed two at a time.
  TBitmap32 src, dst;
  Noise(src, 1203, 801, 12345);
  src.SetStretchFilter(sfMitchell);
  dst.SetSize(53, 41);
  const TRect from(2, 1, 1201, 799);
  dst.DrawRect(dst.BoundsRect(), from, src);
  const TMappingTable mx = BuildMappingTable(0, 53, 0, 53, 2, 1201, sfMitchell);
  const TMappingTable my = BuildMappingTable(0, 41, 0, 41, 1, 799, sfMitchell);
  for (int y = 0; y < 41; y += 5)
    for (int x = 0; x < 53; ++x)
      ASSERT_EQ(dst.Pixel(x, y), ReferencePixel(src, mx, my, x, y)) << x << "," << y;
}

TEST(Transfer, CellSizedReductionsMatchThePlainSumsExactly) {
  // A tile's region into a cell on a thread of the output's: the row path,
  // every filter that reduces through the sums, lists of odd and even length
  // and edge columns repeated where the lists reach past the region.
  TSerialStretchScope serial;
  TBitmap32 src;
  Noise(src, 241, 183, 4242);
  const struct {
    TRect from;
    int w, h;
  } cases[] = {{TRect(0, 0, 241, 183), 120, 120},
               {TRect(3, 5, 153, 155), 120, 120},
               {TRect(0, 0, 241, 183), 7, 5},
               {TRect(1, 0, 240, 183), 239, 97}};
  for (TStretchFilter f : {sfLinear, sfCosine, sfSpline, sfLanczos, sfMitchell}) {
    src.SetStretchFilter(f);
    for (const auto& c : cases) {
      TBitmap32 dst;
      dst.SetSize(c.w, c.h);
      dst.DrawRect(dst.BoundsRect(), c.from, src);
      const TMappingTable mx = BuildMappingTable(0, c.w, 0, c.w, c.from.Left, c.from.Right, f);
      const TMappingTable my = BuildMappingTable(0, c.h, 0, c.h, c.from.Top, c.from.Bottom, f);
      for (int y = 0; y < c.h; y += 3)
        for (int x = 0; x < c.w; ++x)
          ASSERT_EQ(dst.Pixel(x, y), ReferencePixel(src, mx, my, x, y))
              << f << ": " << c.w << "x" << c.h << " at " << x << "," << y;
    }
  }
}

TEST(Transfer, EnlargementMatchesThePlainSumsExactly) {
  // Fewer source rows than destination rows: the columns go first. The
  // destination rectangle reaches out of the bitmap on two sides.
  TBitmap32 src;
  Noise(src, 37, 23, 777);
  for (TStretchFilter f : {sfMitchell, sfLanczos}) {
    src.SetStretchFilter(f);
    TBitmap32 dst;
    dst.SetSize(180, 120);
    const TRect from(1, 2, 36, 22), to(-7, -3, 190, 140);
    dst.DrawRect(to, from, src);
    const TMappingTable mx = BuildMappingTable(-7, 190, 0, 180, 1, 36, f);
    const TMappingTable my = BuildMappingTable(-3, 140, 0, 120, 2, 22, f);
    for (int y = 0; y < 120; y += 7)
      for (int x = 0; x < 180; ++x)
        ASSERT_EQ(dst.Pixel(x, y), ReferencePixel(src, mx, my, x, y)) << f << ": " << x << "," << y;
  }
}

}  // namespace
