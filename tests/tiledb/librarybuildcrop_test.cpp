#include "tiledb/LibraryBuildCrop.h"

#include <gtest/gtest.h>

namespace {

TEST(LibraryBuildCrop, CropToAspectAtTheAnchor) {
  EXPECT_EQ(TileCropRect(400, 300, 4, 3, 4, 0), TRect(0, 0, 400, 300));
  // ch = round(300 / 4 * 3) = 225; top = (400 - 225) div 2 = 87.
  EXPECT_EQ(TileCropRect(300, 400, 4, 3, 4, 0), TRect(0, 87, 300, 312));
  EXPECT_EQ(TileCropRect(300, 400, 4, 3, 0, 0), TRect(0, 0, 300, 225));
  EXPECT_EQ(TileCropRect(300, 400, 4, 3, 2, 0), TRect(0, 0, 300, 225));
  EXPECT_EQ(TileCropRect(300, 400, 4, 3, 5, 0), TRect(0, 87, 300, 312));
  EXPECT_EQ(TileCropRect(300, 400, 4, 3, 7, 0), TRect(0, 175, 300, 400));
  // A wide picture: cw = round(300 / 3 * 4) = 400 of 600; the column decides.
  EXPECT_EQ(TileCropRect(600, 300, 4, 3, 3, 0), TRect(0, 0, 400, 300));
  EXPECT_EQ(TileCropRect(600, 300, 4, 3, 1, 0), TRect(100, 0, 500, 300));
  EXPECT_EQ(TileCropRect(600, 300, 4, 3, 8, 0), TRect(200, 0, 600, 300));
  EXPECT_EQ(TileCropRect(601, 300, 4, 3, 4, 0), TRect(100, 0, 500, 300));  // (601 - 400) div 2
  // Anchor 9 keeps the whole picture.
  EXPECT_EQ(TileCropRect(300, 400, 4, 3, 9, 0), TRect(0, 0, 300, 400));
  // Portrait tiles.
  EXPECT_EQ(TileCropRect(400, 300, 3, 4, 4, 0), TRect(87, 0, 312, 300));  // cw = 225
}

TEST(LibraryBuildCrop, MarginTrim) {
  // t = round(300 * 10 / 200) = 15, s = round(15 / 3 * 4) = 20.
  EXPECT_EQ(TileCropRect(400, 300, 4, 3, 4, 10), TRect(20, 15, 380, 285));
  // The margin base is the side the crop keeps whole: here the width 300.
  EXPECT_EQ(TileCropRect(300, 400, 4, 3, 4, 10), TRect(20, 102, 280, 297));
  // t = round(300 * 5 / 200) = round(7.5) = 8 (halves to even).
  EXPECT_EQ(TileCropRect(400, 300, 4, 3, 9, 5), TRect(11, 8, 389, 292));  // s = round(8 / 3 * 4) = 11
  // A full margin leaves nothing.
  const TRect r = TileCropRect(400, 300, 4, 3, 4, 100);
  EXPECT_LE(r.Width(), 0);
  EXPECT_LE(r.Height(), 0);
}

TEST(LibraryBuildCrop, ThumbnailHeight) {
  EXPECT_EQ(ThumbHeightFor(42, 4, 3), 32);  // 31.5 rounds to even
  EXPECT_EQ(ThumbHeightFor(36, 4, 3), 27);
  EXPECT_EQ(ThumbHeightFor(42, 4, 4), 42);
  EXPECT_EQ(ThumbHeightFor(42, 3, 4), 56);
  EXPECT_EQ(ThumbHeightFor(10, 4, 3), 8);  // 7.5 -> 8
}

}  // namespace
