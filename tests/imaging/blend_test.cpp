#include "imaging/Blend.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

TEST(Blend, BlendPixelUsesOneFormulaForEveryAlpha) {
  // Half-transparent black over white: every channel (128*F + 128*B + 128) >> 8.
  EXPECT_EQ(BlendPixel(0x80000000, 0xFFFFFFFF), 0xC0808080u);
  // No shortcut for opaque foregrounds: 255 over 0 comes out as 254.
  EXPECT_EQ(BlendPixel(0xFFFFFFFF, 0x00000000), 0xFEFEFEFEu);
  // A transparent foreground leaves the background.
  EXPECT_EQ(BlendPixel(0x00FFFFFF, 0x12345678), 0x12345678u);
}

TEST(Blend, InPlaceAndRowFormsShortcutTheEnds) {
  TColor32 b = 0x11223344;
  BlendMem(0x00FFFFFF, b);
  EXPECT_EQ(b, 0x11223344u);
  BlendMem(0xFF010203, b);
  EXPECT_EQ(b, 0xFF010203u);
  b = 0xFFFFFFFF;
  BlendMem(0x80000000, b);
  EXPECT_EQ(b, 0xC0808080u);

  const std::vector<TColor32> src = {0xFF102030, 0x00FFFFFF, 0x80000000};
  std::vector<TColor32> dst = {0, 0xAABBCCDD, 0xFFFFFFFF};
  BlendRow(src.data(), dst.data(), 3);
  EXPECT_EQ(dst, (std::vector<TColor32>{0xFF102030, 0xAABBCCDD, 0xC0808080}));
}

TEST(Blend, MasterAlphaWeighsByProduct) {
  // w = ((255 + 1) * 255) >> 8 = 255: an opaque 255 over 0 gives 254, alpha included.
  EXPECT_EQ(BlendPixelMaster(0xFFFFFFFF, 0x00000000, 255), 0xFEFEFEFEu);
  // (M + 1) * a below 256 leaves the background.
  EXPECT_EQ(BlendPixelMaster(0xFFFFFFFF, 0x12345678, 0), 0x12345678u);
  EXPECT_EQ(BlendPixelMaster(0x7FFFFFFF, 0x12345678, 1), 0x12345678u);
  // M = 1, a = 128: (M + 1) * a = 256 gives w = 1.
  EXPECT_EQ(BlendPixelMaster(0x80FFFFFF, 0x00000000, 1), 0x01010101u);
  TColor32 b = 0;
  BlendMemMaster(0x80FFFFFF, b, 1);
  EXPECT_EQ(b, 0x01010101u);
}

TEST(Blend, RowWithMasterWeighsByMTimesAlphaPlusOne) {
  // M * (a + 1) = 129 < 256: the row form leaves the pixel where the single form blends.
  const TColor32 src[2] = {0x80FFFFFF, 0xFFFFFFFF};
  TColor32 dst[2] = {0, 0};
  BlendRowMaster(src, dst, 2, 1);
  EXPECT_EQ(dst[0], 0u);
  EXPECT_EQ(dst[1], 0x01010101u);  // 1 * 256 = 256: w = 1
  dst[0] = dst[1] = 0;
  BlendRowMaster(src, dst, 2, 255);
  EXPECT_EQ(dst[1], 0xFEFEFEFEu);  // 255 * 256 >> 8 = 255
  EXPECT_EQ(dst[0], 0x40808080u);  // 255 * 129 >> 8 = 128
}

TEST(Blend, CombineTablesFollowTheCombineMode) {
  TColor32 b = 0;
  BlendMemMasterOf[cmBlend](0xFFFFFFFF, b, 255);
  EXPECT_EQ(b, 0xFEFEFEFEu);
  b = 0;
  BlendMemMasterOf[cmMerge](0xFFFFFFFF, b, 255);
  EXPECT_EQ(b, 0xFFFFFFFFu);
}

TEST(Blend, MergeWeighsBothAlphas) {
  // Over a fully transparent background the foreground comes through unchanged.
  EXPECT_EQ(MergePixel(0x80FF0000, 0x00123456), 0x80FF0000u);
  EXPECT_EQ(MergePixel(0xFF010203, 0x80FFFFFF), 0xFF010203u);
  EXPECT_EQ(MergePixel(0x00010203, 0x80FFFFFF), 0x80FFFFFFu);
  // Half red over opaque blue: ra = 255, k = 257, both channels 127.
  EXPECT_EQ(MergePixel(0x80FF0000, 0xFF0000FF), 0xFF7F007Fu);
  EXPECT_EQ(MergePixelMaster(0xFF102030, 0xFF0000FF, 255), 0xFF102030u);
  EXPECT_EQ(MergePixelMaster(0xFF102030, 0xFF0000FF, 0), 0xFF0000FFu);
  // Reduced alpha over a transparent background: F's colour with that alpha.
  EXPECT_EQ(MergePixelMaster(0xFF102030, 0x00000000, 128), 0x80102030u);
  EXPECT_EQ(MergePixelMaster(0xFFFF0000, 0xFF0000FF, 128), MergePixel(0x80FF0000, 0xFF0000FF));
  EXPECT_EQ(MergePixelAlpha(0x00FF0000, 0xFF0000FF, 0x80), 0xFF7F007Fu);
}

TEST(Blend, CombinePixelWeighsTwoColours) {
  EXPECT_EQ(CombinePixel(0x11223344, 0x55667788, 255), 0x11223344u);
  EXPECT_EQ(CombinePixel(0x11223344, 0x55667788, 0), 0x55667788u);
  EXPECT_EQ(CombinePixel(0xFFFFFFFF, 0x00000000, 128), 0x80808080u);
}

TEST(Blend, ChannelOperations) {
  EXPECT_EQ(AddChannels(0x80F00010, 0x80200020), 0xFFFF0030u);
  EXPECT_EQ(SubtractChannels(0x80F00010, 0x80200020), 0x00D00000u);
  EXPECT_EQ(DivideChannels(0x00804000, 0x40404040), 0xFF80FFFFu);  // 0 divides to 255
  EXPECT_EQ(MultiplyChannels(0xFF80FF00, 0xFF80FF10), 0xFE40FE00u);
  EXPECT_EQ(MaxChannels(0x10F020FF, 0x2000FF01), 0x20F0FFFFu);
  EXPECT_EQ(MinChannels(0x10F020FF, 0x2000FF01), 0x10002001u);
  EXPECT_EQ(DifferenceChannels(0x10F020FF, 0x2000FF01), 0x10F0DFFEu);
  EXPECT_EQ(ExclusionChannels(0xFF00FF80, 0xFF00FF80), 0x02000280u);
}

TEST(Blend, WordsAndClamps) {
  std::vector<TColor32> w(6, 7);
  FillWords32(w.data(), 0, 1);
  FillWords32(w.data(), -3, 1);
  EXPECT_EQ(w, std::vector<TColor32>(6, 7));
  FillWords32(w.data() + 1, 3, 9);
  EXPECT_EQ(w, (std::vector<TColor32>{7, 9, 9, 9, 7, 7}));

  std::iota(w.begin(), w.end(), 0u);
  MoveWords32(w.data(), w.data() + 2, 4);  // forward overlap
  EXPECT_EQ(w, (std::vector<TColor32>{0, 1, 0, 1, 2, 3}));
  std::iota(w.begin(), w.end(), 0u);
  MoveWords32(w.data() + 2, w.data(), 4);  // backward overlap
  EXPECT_EQ(w, (std::vector<TColor32>{2, 3, 4, 5, 4, 5}));

  EXPECT_EQ(ClampToRange32(5, 10, 0), 10);  // the lower bound is tested first
  EXPECT_EQ(ClampToRange32(-1, 0, 255), 0);
  EXPECT_EQ(ClampToRange32(300, 0, 255), 255);
  EXPECT_EQ(ClampToRange32(7, 0, 255), 7);
}

TEST(Blend, FeatureTestsAreConsistent) {
  // SSE2 implies SSE implies MMX on every processor that has them.
  if (CpuHasSSE2()) {
    EXPECT_TRUE(CpuHasSSE());
  }
  if (CpuHasSSE()) {
    EXPECT_TRUE(CpuHasMMX());
  }
}

}  // namespace
