#include "controls/NumText.h"

#include <gtest/gtest.h>

#include "platform/Errors.h"

namespace {

TEST(NumText, StrToIntTakesDecimalAndHexAndRefusesEverythingElse) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("  -17"), -17);
  EXPECT_EQ(StrToInt("+5"), 5);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  for (const char* bad : {"", "-", "+-", "1.5", "12 ", "2147483648", "abc", "."}) {
    int32_t v = 99;
    EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
    EXPECT_EQ(v, 99);
  }
  try {
    StrToInt("-");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'-' is not a valid integer value");
  }
}

TEST(NumText, StrToFloatTakesPlainAndExponentTextsOnly) {
  EXPECT_DOUBLE_EQ(StrToFloat("2.5"), 2.5);
  EXPECT_DOUBLE_EQ(StrToFloat(" -.5 "), -0.5);
  EXPECT_DOUBLE_EQ(StrToFloat("1."), 1.0);
  EXPECT_DOUBLE_EQ(StrToFloat("1e3"), 1000.0);
  for (const char* bad : {"", "-", "+-", ".", "inf", "nan", "0x10", "1e", "1,5", "1.2.3"}) {
    double v = 7;
    EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
  }
  EXPECT_THROW(StrToFloat("+-"), EConvertError);
  try {
    StrToFloat("x");
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x' is not a valid floating point value");
  }
}

TEST(NumText, FixedTextRoundsHalvesAwayFromZeroAtTheShownDecimals) {
  EXPECT_EQ(FloatToStrFixed(2.4, 0), "2");
  EXPECT_EQ(FloatToStrFixed(2.5, 0), "3");
  EXPECT_EQ(FloatToStrFixed(3.5, 0), "4");
  EXPECT_EQ(FloatToStrFixed(-2.5, 0), "-3");
  EXPECT_EQ(FloatToStrFixed(0.125, 2), "0.13");
  EXPECT_EQ(FloatToStrFixed(0.05, 1), "0.1");  // 18 significant digits first
  EXPECT_EQ(FloatToStrFixed(99.96, 1), "100.0");
  EXPECT_EQ(FloatToStrFixed(0.96, 0), "1");
  EXPECT_EQ(FloatToStrFixed(1e-7, 4), "0.0000");
  EXPECT_EQ(FloatToStrFixed(-0.01, 1), "0.0");
  EXPECT_EQ(FloatToStrFixed(0, 4), "0.0000");
  EXPECT_EQ(FloatToStrFixed(1234567.25, 1), "1234567.3");
  EXPECT_EQ(FloatToStrFixed(0.1, 4), "0.1000");
}

}  // namespace
