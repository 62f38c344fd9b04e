// The window-free rules of a build: elapsed-time texts, the tile-count checks,
// the work area, the orientation set and the time estimate.
#include <gtest/gtest.h>

#include "mosaic/BuildCore.h"

TEST(BuildRules, FormatElapsed) {
  EXPECT_EQ(FormatElapsed(3725400), "1h:2m:5.4s");
  EXPECT_EQ(FormatElapsed(59999), "0h:0m:59.9s");
  EXPECT_EQ(FormatElapsed(0), "0h:0m:0.0s");
  EXPECT_EQ(FormatElapsed(36000000 + 60000 * 59 + 7), "10h:59m:0.0s");
}

TEST(BuildRules, NotEnoughTilesForDistance) {
  std::string m;
  EXPECT_TRUE(NotEnoughTiles(8, 3, 0, 40, 30, m));
  EXPECT_EQ(m,
            "There are not enough tiles for current distance between tiles setting.\rYou need 9 tiles in the "
            "library but have only 8.\rPlease decrease \"Distance\" value.");
  EXPECT_FALSE(NotEnoughTiles(9, 3, 0, 40, 30, m));
  // The window never needs more than the grid has.
  EXPECT_FALSE(NotEnoughTiles(2, 999999999, 0, 2, 1, m));
}

TEST(BuildRules, NotEnoughTilesForRepeat) {
  std::string m;
  EXPECT_TRUE(NotEnoughTiles(33, 1, 3, 10, 10, m));
  EXPECT_EQ(
      m,
      "There are not enough tiles for current tile repetition setting.\rYou need 34 tiles in the library "
      "but have only 33.\rPlease increase \"Repeat\" value\ror set it to \"Auto\" to use as many "
      "repetitons as needed.");
  EXPECT_FALSE(NotEnoughTiles(34, 1, 3, 10, 10, m));
  EXPECT_FALSE(NotEnoughTiles(1, 1, 0, 10, 10, m));  // "Auto"
}

TEST(BuildRules, WorkArea) {
  const TBuildArea sel({2, 1, 4, 2}, false, 10, 10);
  EXPECT_EQ(sel.Count(), 6);
  EXPECT_TRUE(sel.Takes(2, 1));
  EXPECT_FALSE(sel.Takes(5, 1));
  const TBuildArea inv({2, 1, 4, 2}, true, 10, 10);
  EXPECT_EQ(inv.Count(), 94);
  EXPECT_FALSE(inv.Takes(3, 2));
  EXPECT_TRUE(inv.Takes(0, 0));
  // One cell means the whole grid, inverted or not.
  const TBuildArea one({3, 3, 3, 3}, true, 10, 10);
  EXPECT_EQ(one.Count(), 100);
  EXPECT_TRUE(one.Takes(3, 3));
}

TEST(BuildRules, FlipSetAndEstimate) {
  EXPECT_EQ(PackFlipSet(true, false, false, false), 0x00000001u);
  EXPECT_EQ(PackFlipSet(false, true, true, true), 0x01010100u);
  TTimeEstimate e;
  e.Step(1000);
  EXPECT_EQ(e.Text(10, 1), "(0h:0m:0.0s)/(0h:0m:0.0s) 10 - 1 = 9");
  e.Step(1500);
  e.Step(1700);
  // Elapsed 500 before the last cell of 200; 7 cells left at 200 each.
  EXPECT_EQ(e.Text(10, 3), "(0h:0m:0.5s)/(0h:0m:1.9s) 10 - 3 = 7");
}
