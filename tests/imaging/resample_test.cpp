#include "imaging/Resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/Errors.h"

namespace {

// A one-row grey picture from its values.
Bitmap24 Row(const std::vector<int>& v) {
  Bitmap24 b(int(v.size()), 1);
  for (size_t x = 0; x < v.size(); ++x) b.SetPixel(int(x), 0, RGB(v[x], v[x], v[x]));
  return b;
}

// The blue channel of row 0, checking that every channel agrees.
std::vector<int> Values(const Bitmap24& b) {
  std::vector<int> v;
  for (int x = 0; x < b.Width(); ++x) {
    const uint8_t* p = b.ScanLine(0) + x * 3;
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[0], p[2]);
    v.push_back(p[0]);
  }
  return v;
}

Bitmap24 Noise(int w, int h, unsigned seed) {
  Bitmap24 b(w, h);
  std::mt19937 rng(seed);
  std::generate_n(b.Bits(), b.ByteSize(), [&] { return uint8_t(rng()); });
  return b;
}

bool AllPixels(const Bitmap24& b, TColor c) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Pixel(x, y) != c) return false;
  return true;
}

const TResampleFilter kAll[] = {rfBox, rfTriangle, rfHermite, rfBell, rfBSpline, rfLanczos3, rfMitchell};

}  // namespace

TEST(KernelTable, NamesWidthsAndKernelValues) {
  const char* names[] = {"Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell"};
  const float widths[] = {0.5f, 1, 1, 1.5f, 2, 3, 2};
  for (int i = 0; i < 7; ++i) {
    EXPECT_STREQ(KernelTable[i].Name, names[i]);
    EXPECT_EQ(KernelTable[i].Width, widths[i]);
    EXPECT_EQ(KernelTable[i].Filter(-widths[i]), 0.0f) << names[i];
  }
  auto k = [](TResampleFilter f, float x) { return KernelTable[f].Filter(x); };
  // The box is open on the left and closed on the right.
  EXPECT_EQ(k(rfBox, -0.5f), 0.0f);
  EXPECT_EQ(k(rfBox, 0.5f), 1.0f);
  EXPECT_EQ(k(rfTriangle, -0.25f), 0.75f);
  EXPECT_EQ(k(rfHermite, 0.5f), 0.5f);
  EXPECT_EQ(k(rfBell, 0.5f), 0.5f);
  EXPECT_EQ(k(rfBell, 0.0f), 0.75f);
  EXPECT_EQ(k(rfBSpline, 0.0f), 2.0f / 3.0f);
  EXPECT_EQ(k(rfBSpline, 1.0f), 1.0f / 6.0f);
  EXPECT_EQ(k(rfLanczos3, 0.0f), 1.0f);
  EXPECT_EQ(k(rfLanczos3, 1.0f), 0.0f);
  EXPECT_EQ(k(rfLanczos3, -2.0f), 0.0f);
  EXPECT_FLOAT_EQ(k(rfLanczos3, 0.5f), 0.607927102f);
  EXPECT_FLOAT_EQ(k(rfLanczos3, 1.5f), -0.135094906f);
  EXPECT_EQ(k(rfMitchell, 0.0f), 8.0f / 9.0f);
  EXPECT_EQ(k(rfMitchell, -1.0f), 1.0f / 18.0f);
  EXPECT_FLOAT_EQ(k(rfMitchell, 1.5f), -0.0347222222f);
}

TEST(StretchBitmap, PinnedEnlargements) {
  Bitmap24 src = Row({0, 0, 255, 255}), dst;
  StretchBitmap(7, 1, rfMitchell, 0, src, dst);
  EXPECT_EQ(Values(dst), (std::vector<int>{0, 0, 13, 127, 241, 255, 255}));

  // Weights 128 and 128: 255 * 128 / 256 truncates to 127.
  src = Row({0, 255});
  StretchBitmap(3, 1, rfTriangle, 0, src, dst);
  EXPECT_EQ(Values(dst), (std::vector<int>{0, 127, 255}));

  // A single pixel: its reflected neighbours are the pixel again.
  src = Row({77});
  StretchBitmap(5, 1, rfTriangle, 0, src, dst);
  EXPECT_EQ(Values(dst), (std::vector<int>(5, 77)));
}

TEST(StretchBitmap, PinnedReductionReflectsAtTheRightEdge) {
  // Scale 0.5: weights 64, 128, 64; the last target gathers position 5,
  // which mirrors onto the last pixel: (64*60 + 192*250) / 256 = 202.5 -> 202.
  Bitmap24 src = Row({10, 100, 30, 60, 250}), dst;
  StretchBitmap(3, 1, rfTriangle, 0, src, dst);
  EXPECT_EQ(Values(dst), (std::vector<int>{55, 55, 202}));
}

TEST(StretchBitmap, NegativeLobesAreClamped) {
  Bitmap24 src = Row({0, 0, 255, 255, 0, 0}), dst;
  for (TResampleFilter f : {rfLanczos3, rfMitchell}) {
    StretchBitmap(21, 1, f, 0, src, dst);
    const std::vector<int> v = Values(dst);
    // Next to the step the overshoot is cut at both ends of the range.
    EXPECT_EQ(v.front(), 0);
    EXPECT_EQ(*std::max_element(v.begin(), v.end()), 255);
    EXPECT_GT(std::count(v.begin(), v.end(), 0), 2) << KernelTable[f].Name;
  }
  // Without clamping the overshoot of 0, 255, 0 would wrap around.
  src = Row({255, 0, 255});
  StretchBitmap(9, 1, rfLanczos3, 0, src, dst);
  for (int v : Values(dst)) EXPECT_LT(v, 256);
  EXPECT_EQ(Values(dst)[4], 0);
}

TEST(StretchBitmap, SameSizeBoxIsAnExactCopy) {
  Bitmap24 src = Noise(37, 23, 1), dst;
  StretchBitmap(37, 23, rfBox, 0, src, dst);
  EXPECT_TRUE(dst == src);
}

TEST(StretchBitmap, RadiusZeroMeansTheTableRadius) {
  Bitmap24 src = Noise(50, 40, 2), a, b, c;
  for (TResampleFilter f : kAll) {
    StretchBitmap(17, 13, f, 0, src, a);
    StretchBitmap(17, 13, f, KernelTable[f].Width, src, b);
    EXPECT_TRUE(a == b) << KernelTable[f].Name;
    // Beyond the kernel's own support a larger radius gathers only zeros.
    StretchBitmap(17, 13, f, 10, src, c);
    EXPECT_TRUE(a == c) << KernelTable[f].Name;
  }
  // A smaller radius cuts the kernel short.
  StretchBitmap(17, 13, rfLanczos3, 1, src, c);
  StretchBitmap(17, 13, rfLanczos3, 0, src, a);
  EXPECT_FALSE(a == c);
}

TEST(StretchBitmap, UniformPicturesStayUniform) {
  // The weights are divided by their total, so a flat colour survives any
  // filter and size, including targets of one pixel and huge reductions.
  const TColor colour = RGB(12, 180, 251);
  Bitmap24 src(41, 29), dst;
  src.Fill(colour);
  const int sizes[][2] = {{1, 1}, {1, 29}, {41, 1}, {2, 3}, {6, 6}, {41, 29}, {100, 77}, {300, 2}};
  for (TResampleFilter f : kAll)
    for (const auto& s : sizes) {
      StretchBitmap(s[0], s[1], f, 0, src, dst);
      ASSERT_EQ(dst.Width(), s[0]);
      ASSERT_EQ(dst.Height(), s[1]);
      EXPECT_TRUE(AllPixels(dst, colour)) << KernelTable[f].Name << " " << s[0] << "x" << s[1];
    }
}

TEST(StretchBitmap, ChannelsAreFilteredIndependently) {
  Bitmap24 src = Noise(31, 19, 3), dst;
  StretchBitmap(13, 44, rfMitchell, 0, src, dst);
  for (int ch = 0; ch < 3; ++ch) {
    Bitmap24 one(31, 19), oneDst;
    for (int y = 0; y < 19; ++y)
      for (int x = 0; x < 31; ++x) {
        const uint8_t v = src.ScanLine(y)[x * 3 + ch];
        one.SetPixel(x, y, RGB(v, v, v));
      }
    StretchBitmap(13, 44, rfMitchell, 0, one, oneDst);
    for (int y = 0; y < 44; ++y)
      for (int x = 0; x < 13; ++x) ASSERT_EQ(dst.ScanLine(y)[x * 3 + ch], oneDst.ScanLine(y)[x * 3]);
  }
}

TEST(StretchBitmap, HugeReductionTakesTheNearestPixel) {
  // 3000 -> 2 pixels: every Mitchell weight rounds to 0; the two targets sit
  // on the first and last source pixels.
  std::vector<int> v(3000, 100);
  v.front() = 10;
  v.back() = 200;
  Bitmap24 src = Row(v), dst;
  StretchBitmap(2, 1, rfMitchell, 0, src, dst);
  EXPECT_EQ(Values(dst), (std::vector<int>{10, 200}));
  // One target pixel sits on the middle of the source.
  v[1500] = 33;
  src = Row(v);
  StretchBitmap(1, 1, rfMitchell, 0, src, dst);
  EXPECT_EQ(Values(dst), (std::vector<int>{33}));
}

TEST(StretchBitmap, OnePixelTargetAveragesAroundTheMiddle) {
  // Scale 1/5 around centre 2; reflected positions add to their mirrors:
  // weights 31, 61, 61, 51, 51 (total 255); 255 * 51 / 255 = 51.
  Bitmap24 src = Row({0, 0, 0, 0, 255}), dst;
  StretchBitmap(1, 1, rfTriangle, 0, src, dst);
  EXPECT_EQ(Values(dst), (std::vector<int>{51}));
}

TEST(StretchBitmap, SourcesNarrowerThanTheSupport) {
  // Positions two and more beyond an edge are clamped into the source.
  Bitmap24 src = Row({40, 90}), dst;
  StretchBitmap(9, 1, rfLanczos3, 0, src, dst);
  const std::vector<int> v = Values(dst);
  EXPECT_EQ(v.front(), 40);
  EXPECT_EQ(v.back(), 90);
  src = Noise(1, 2, 4);
  StretchBitmap(7, 11, rfLanczos3, 0, src, dst);
  EXPECT_EQ(dst.Width(), 7);
  EXPECT_EQ(dst.Height(), 11);
}

TEST(StretchBitmap, EmptyInputsAndAliasing) {
  Bitmap24 empty, dst(3, 3);
  dst.Fill(clWhite);
  StretchBitmap(4, 2, rfMitchell, 0, empty, dst);
  EXPECT_EQ(dst.Width(), 4);
  EXPECT_EQ(dst.Height(), 2);
  EXPECT_TRUE(AllPixels(dst, clBlack));

  Bitmap24 src = Noise(5, 5, 5);
  StretchBitmap(0, 7, rfBox, 0, src, dst);
  EXPECT_TRUE(dst.Empty());
  StretchBitmap(-3, -7, rfBox, 0, src, dst);
  EXPECT_TRUE(dst.Empty());

  // The source may be the target.
  Bitmap24 expected, self = Noise(20, 10, 6);
  StretchBitmap(9, 4, rfBell, 0, self, expected);
  StretchBitmap(9, 4, rfBell, 0, self, self);
  EXPECT_TRUE(self == expected);
}

namespace {

// The resampler written out plainly, one contributor list per target pixel
// in gathering order and integer division, for comparison.
struct PlainContributor {
  int j, w;
};

std::vector<std::vector<PlainContributor>> PlainLists(int S, int D, TResampleFilter f) {
  const TFilterProc k = KernelTable[f].Filter;
  const float radius = KernelTable[f].Width;
  const float scale = S == 1 ? float(D) : (D == 1 ? float(1.0 / S) : float(double(D - 1) / double(S - 1)));
  const bool reducing = scale < 1.0f;
  const float support = reducing ? float(double(radius) / double(scale)) : radius;
  std::vector<std::vector<PlainContributor>> lists(D);
  for (int i = 0; i < D; ++i) {
    const float centre = (D == 1 && S > 1) ? float((S - 1) / 2.0) : float(double(i) / double(scale));
    for (int64_t j = int64_t(std::floor(double(centre) - support));
         j <= int64_t(std::ceil(double(centre) + support)); ++j) {
      const double d = double(centre) - double(j);
      const double w = reducing ? double(k(float(d * scale))) * scale : double(k(float(d)));
      const int iw = int(std::nearbyint(w * 256.0));
      int64_t m = j < 0 ? -j : (j >= S ? 2 * int64_t(S) - 1 - j : j);
      m = std::clamp<int64_t>(m, 0, S - 1);
      if (iw != 0) lists[i].push_back({int(m), iw});
    }
    if (lists[i].empty())
      lists[i].push_back({int(std::clamp<int64_t>(int64_t(std::nearbyint(centre)), 0, S - 1)), 256});
  }
  return lists;
}

uint8_t PlainChannel(int64_t sum, int64_t total) {
  const int64_t v = total != 0 ? sum / total : int64_t(uint32_t(sum) >> 8);
  return uint8_t(std::clamp<int64_t>(v, 0, 255));
}

Bitmap24 PlainStretch(int dw, int dh, TResampleFilter f, const Bitmap24& src) {
  const int sw = src.Width(), sh = src.Height();
  Bitmap24 work(dw, sh), dst(dw, dh);
  const auto across = PlainLists(sw, dw, f), down = PlainLists(sh, dh, f);
  for (int y = 0; y < sh; ++y)
    for (int x = 0; x < dw; ++x)
      for (int c = 0; c < 3; ++c) {
        int64_t sum = 0, total = 0;
        for (const PlainContributor& p : across[size_t(x)]) {
          sum += int64_t(p.w) * src.ScanLine(y)[p.j * 3 + c];
          total += p.w;
        }
        work.ScanLine(y)[x * 3 + c] = PlainChannel(sum, total);
      }
  for (int x = 0; x < dw; ++x)
    for (int y = 0; y < dh; ++y)
      for (int c = 0; c < 3; ++c) {
        int64_t sum = 0, total = 0;
        for (const PlainContributor& p : down[size_t(y)]) {
          sum += int64_t(p.w) * work.ScanLine(p.j)[x * 3 + c];
          total += p.w;
        }
        dst.ScanLine(y)[x * 3 + c] = PlainChannel(sum, total);
      }
  return dst;
}

}  // namespace

TEST(StretchBitmap, MatchesThePlainAlgorithm) {
  const int sizes[][4] = {{40, 30, 7, 5},   {7, 5, 40, 31},   {1, 1, 9, 4},    {2, 3, 1, 1},
                          {600, 4, 3, 9},   {33, 17, 33, 17}, {5, 900, 2, 1},  {64, 48, 42, 32},
                          {42, 32, 6, 6},   {3, 2, 200, 150}, {1200, 2, 1, 2}, {9, 9, 10, 8},
                          {37, 20, 36, 19}, {17, 3, 16, 2}};
  unsigned seed = 20;
  // Both sets of row kernels: those of this processor and the plain ones.
  for (bool plain : {false, true})
    for (const auto& s : sizes) {
      UsePlainResampleKernels(plain);
      const Bitmap24 src = Noise(s[0], s[1], ++seed);
      for (TResampleFilter f : kAll) {
        Bitmap24 dst;
        StretchBitmap(s[2], s[3], f, 0, src, dst);
        EXPECT_TRUE(dst == PlainStretch(s[2], s[3], f, src))
            << KernelTable[f].Name << " " << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3] << " plain "
            << plain;
      }
    }
  UsePlainResampleKernels(false);
}

// A picture large enough to be spread over threads gives the same bytes on
// any number of them, and those of the plain algorithm.
TEST(StretchBitmap, ThreadsGiveThePlainAlgorithmsBytes) {
  const Bitmap24 src = Noise(1203, 901, 77);
  for (TResampleFilter f : {rfBox, rfMitchell, rfLanczos3}) {
    const Bitmap24 plain = PlainStretch(300, 200, f, src);
    for (int threads : {1, 3, 0}) {
      Bitmap24 dst;
      StretchBitmap(300, 200, f, 0, src, dst, threads);
      EXPECT_TRUE(dst == plain) << KernelTable[f].Name << " on " << threads << " threads";
    }
    Bitmap24 up;
    StretchBitmap(1500, 1000, f, 0, src, up, 4);
    EXPECT_TRUE(up == PlainStretch(1500, 1000, f, src)) << KernelTable[f].Name << " enlarged";
  }
}

TEST(StretchBitmap, PicturesTooLargeRaiseAClearError) {
  // The target alone is small; the work picture between the passes
  // (target width x source height) is not.
  Bitmap24 src(1, 1000000), dst;
  EXPECT_THROW(StretchBitmap(400000, 1, rfBox, 0, src, dst), EOutOfResources);
  EXPECT_THROW(StretchBitmap(2000000000, 1000, rfBox, 0, src, dst), EOutOfResources);
}

TEST(StretchBitmap, OutOfRangeFilterMeansMitchell) {
  Bitmap24 src = Noise(30, 20, 7), a, b;
  StretchBitmap(11, 7, rfMitchell, 0, src, a);
  StretchBitmap(11, 7, TResampleFilter(200), 0, src, b);
  EXPECT_TRUE(a == b);
}

TEST(Stretch, FloatWeightsRoundHalfToEven) {
  // 127.5 rounds to 128, 202.5 to 202.
  Bitmap24 src = Row({0, 255}), dst(3, 1);
  Stretch(src, dst, KernelTable[rfTriangle].Filter, KernelTable[rfTriangle].Width);
  EXPECT_EQ(Values(dst), (std::vector<int>{0, 128, 255}));
  src = Row({10, 100, 30, 60, 250});
  dst.SetSize(3, 1);
  Stretch(src, dst, KernelTable[rfTriangle].Filter, KernelTable[rfTriangle].Width);
  EXPECT_EQ(Values(dst), (std::vector<int>{55, 55, 202}));
}

TEST(Stretch, SameSizeBoxIsAnExactCopy) {
  const Bitmap24 src = Noise(23, 17, 8);
  Bitmap24 dst(23, 17);
  Stretch(src, dst, KernelTable[rfBox].Filter, KernelTable[rfBox].Width);
  EXPECT_TRUE(dst == src);
}

TEST(Stretch, KeepsTheTargetSizeAndEveryFilterRuns) {
  const Bitmap24 src = Noise(40, 30, 9);
  for (const TKernelEntry& k : KernelTable) {
    Bitmap24 dst(13, 57);
    Stretch(src, dst, k.Filter, k.Width);
    EXPECT_EQ(dst.Width(), 13);
    EXPECT_EQ(dst.Height(), 57);
    Bitmap24 one(1, 1);
    Stretch(src, one, k.Filter, k.Width);
  }
}

TEST(Stretch, RefusesAnEmptySource) {
  Bitmap24 empty, dst(4, 4);
  dst.Fill(clWhite);
  try {
    Stretch(empty, dst, KernelTable[rfMitchell].Filter, 2);
    FAIL() << "no error";
  } catch (const EVitrane& e) {
    EXPECT_STREQ(e.what(), "Source bitmap too small");
  }
  EXPECT_TRUE(AllPixels(dst, clWhite));
}
