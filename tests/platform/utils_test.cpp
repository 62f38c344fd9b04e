#include "platform/Utils.h"

#include <gtest/gtest.h>

#include <clocale>

#include "platform/Errors.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/TestSupport.h"

namespace {

// SOI, a JFIF APP0 segment, then a frame header of the given marker.
std::vector<uint8_t> JpegHeader(uint8_t frameMarker, int width, int height) {
  std::vector<uint8_t> d = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F',
                            0,    1,    1,    0,    0,    1,    0,   1,   0,   0};
  const uint8_t h0 = uint8_t(height >> 8), h1 = uint8_t(height), w0 = uint8_t(width >> 8),
                w1 = uint8_t(width);
  // Length 17, 8 bits, the size, three components.
  const std::vector<uint8_t> sof = {0xFF, frameMarker, 0x00, 0x11, 8,    h0, h1, w0,   w1, 3,
                                    1,    0x22,        0,    2,    0x11, 1,  3,  0x11, 1};
  d.insert(d.end(), sof.begin(), sof.end());
  d.push_back(0xFF);
  d.push_back(0xD9);
  return d;
}

class JpegProbe : public ::testing::Test {
 protected:
  TestDir Dir{"utils-jpeg"};
  std::string Write(const std::vector<uint8_t>& bytes, const std::string& name = "probe.jpg") {
    const std::string f = Dir.File(name);
    WriteBytes(f, bytes);
    return f;
  }
};

TEST_F(JpegProbe, ScaleFromHandMadeHeader) {
  const std::string f = Write(JpegHeader(0xC0, 3000, 2000));
  int w = 0, h = 0;
  GetJPEGSize(f, w, h);
  EXPECT_EQ(w, 3000);
  EXPECT_EQ(h, 2000);
  struct Case {
    int wanted, scale;
  } cases[] = {{400, 2}, {1600, 0}, {1500, 1}, {1501, 0}, {1001, 1}, {751, 1}, {750, 2}, {375, 3}, {42, 3}};
  for (const Case& c : cases) {
    w = h = -1;
    EXPECT_EQ(ChooseJPEGScale(f, c.wanted, 1, w, h), c.scale) << "wanted " << c.wanted;
    EXPECT_EQ(w, 3000);
    EXPECT_EQ(h, 2000);
  }
  // Portrait and square pictures go by the height.
  const std::string tall = Write(JpegHeader(0xC1, 2000, 3000), "tall.jpg");
  EXPECT_EQ(ChooseJPEGScale(tall, 1, 400, w, h), 2);
  EXPECT_EQ(ChooseJPEGScale(tall, 100000, 1600, w, h), 0);
  EXPECT_EQ(w, 2000);
  EXPECT_EQ(h, 3000);
}

TEST_F(JpegProbe, WantedSizeOfZeroGivesFullSize) {
  const std::string f = Write(JpegHeader(0xC0, 3000, 2000));
  int w = 0, h = 0;
  EXPECT_EQ(ChooseJPEGScale(f, 0, 0, w, h), 0);
  EXPECT_EQ(ChooseJPEGScale(f, -5, 10, w, h), 0);
  EXPECT_EQ(w, 3000);
}

TEST_F(JpegProbe, OnlyBaselineAndExtendedFramesCount) {
  int w = 7, h = 7;
  // Progressive: no size, full-size decoding.
  EXPECT_EQ(ChooseJPEGScale(Write(JpegHeader(0xC2, 3000, 2000)), 400, 400, w, h), 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  // GetJPEGSize leaves the outputs alone when it finds nothing.
  w = h = 5;
  GetJPEGSize(Write(JpegHeader(0xC2, 3000, 2000)), w, h);
  EXPECT_EQ(w, 5);
  GetJPEGSize(Write({'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'}), w, h);
  EXPECT_EQ(w, 5);
}

TEST_F(JpegProbe, FillBytesAndRestartMarkersAreWalked) {
  std::vector<uint8_t> d = {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xD0, 0xFF, 0x01, 0xFF, 0xFE, 0x00, 0x04, 'h', 'i'};
  const std::vector<uint8_t> sof = JpegHeader(0xC1, 640, 480);
  d.insert(d.end(), sof.begin() + 20, sof.end());
  int w = 0, h = 0;
  GetJPEGSize(Write(d), w, h);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
}

TEST_F(JpegProbe, FileAndMemoryWalksAgree) {
  std::vector<std::vector<uint8_t>> files = {JpegHeader(0xC2, 3000, 2000),
                                             {0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 0xFF, 0xC0},
                                             {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xD0, 0xFF, 0x01, 0xFF, 0xC1,
                                              0x00, 0x11, 8, 0x01, 0xE0, 0x02, 0x80}};
  const std::vector<uint8_t> full = JpegHeader(0xC0, 3000, 2000);
  for (size_t n = 0; n <= full.size(); ++n) files.emplace_back(full.begin(), full.begin() + std::ptrdiff_t(n));
  for (const auto& bytes : files) {
    const std::string f = Write(bytes);
    int fw = 0, fh = 0, mw = 0, mh = 0, sw = 0, sh = 0;
    const int fileScale = ChooseJPEGScale(f, 400, 300, fw, fh);
    EXPECT_EQ(ChooseJPEGScale(bytes.data(), bytes.size(), 400, 300, mw, mh), fileScale) << bytes.size();
    EXPECT_EQ(mw, fw);
    EXPECT_EQ(mh, fh);
    GetJPEGSize(bytes.data(), bytes.size(), sw, sh);
    EXPECT_EQ(sw, fw);
  }
}

TEST_F(JpegProbe, TruncatedOrMalformedHeadersGiveNoSize) {
  const std::vector<uint8_t> full = JpegHeader(0xC0, 3000, 2000);
  // Every prefix of the file, including cuts inside the frame header.
  for (size_t n = 0; n < 20 + 9; ++n) {
    int w = 0, h = 0;
    GetJPEGSize(Write(std::vector<uint8_t>(full.begin(), full.begin() + std::ptrdiff_t(n))), w, h);
    EXPECT_EQ(w, 0) << n;
    EXPECT_EQ(h, 0) << n;
  }
  // Segment lengths of 0 and 1, and one pointing far beyond the end.
  for (uint8_t len : {0, 1}) {
    int w = 0, h = 0;
    GetJPEGSize(Write({0xFF, 0xD8, 0xFF, 0xE1, 0x00, len, 0xFF, 0xC0}), w, h);
    EXPECT_EQ(w, 0);
  }
  int w = 0, h = 0;
  GetJPEGSize(Write({0xFF, 0xD8, 0xFF, 0xE1, 0xFF, 0xFF, 0xFF, 0xC0}), w, h);
  EXPECT_EQ(w, 0);
}

TEST_F(JpegProbe, MissingFileRaises) {
  int w = 0, h = 0;
  EXPECT_THROW(GetJPEGSize(Dir.File("missing.jpg"), w, h), EFileError);
  EXPECT_THROW(ChooseJPEGScale(Dir.File("missing.jpg"), 10, 10, w, h), EFileError);
}

TEST(FitRect, ScalesAndCentresHalvesToEven) {
  EXPECT_EQ(FitRect(TRect(0, 0, 400, 300), TRect(0, 0, 200, 200)), TRect(0, 25, 200, 175));
  EXPECT_EQ(FitRect(TRect(0, 0, 300, 400), TRect(0, 0, 200, 200)), TRect(25, 0, 175, 200));
  EXPECT_EQ(FitRect(TRect(0, 0, 10, 10), TRect(5, 7, 25, 27)), TRect(5, 7, 25, 27));
  // h = 10/4*1 = 2.5 -> 2; top = (5-2)/2 = 1.5 -> 2.
  EXPECT_EQ(FitRect(TRect(0, 0, 4, 1), TRect(0, 0, 10, 5)), TRect(0, 2, 10, 4));
  // h = 7/2*1 = 3.5 -> 4; top = (9-4)/2 = 2.5 -> 2.
  EXPECT_EQ(FitRect(TRect(0, 0, 2, 1), TRect(0, 0, 7, 9)), TRect(0, 2, 7, 6));
  // w = 3/2*1 = 1.5 -> 2; left = (8-2)/2 = 3; offset by the box's origin.
  EXPECT_EQ(FitRect(TRect(0, 0, 1, 2), TRect(100, 50, 108, 53)), TRect(103, 50, 105, 53));
  // A picture as small as it gets is still enlarged to the box.
  EXPECT_EQ(FitRect(TRect(0, 0, 100, 50), TRect(0, 0, 200, 200)), TRect(0, 50, 200, 150));
}

TEST(FitRect, DegenerateInputs) {
  // A box of width 0 gives the picture itself.
  EXPECT_EQ(FitRect(TRect(1, 2, 30, 40), TRect(0, 0, 0, 200)), TRect(1, 2, 30, 40));
  // An empty picture leaves the caller's value.
  TRect r(9, 9, 9, 9);
  FitRect(TRect(0, 0, 0, 50), TRect(0, 0, 100, 100), r);
  EXPECT_EQ(r, TRect(9, 9, 9, 9));
  FitRect(TRect(0, 0, 0, 0), TRect(0, 0, 100, 100), r);
  EXPECT_EQ(r, TRect(9, 9, 9, 9));
}

TEST(FitRect, FitRectToNeverEnlarges) {
  EXPECT_EQ(FitRectTo(TRect(0, 0, 100, 50), TRect(0, 0, 200, 200)), TRect(50, 75, 150, 125));
  // (200-101)/2 = 49.5 -> 50, (200-51)/2 = 74.5 -> 74.
  EXPECT_EQ(FitRectTo(TRect(0, 0, 101, 51), TRect(10, 10, 210, 210)), TRect(60, 84, 161, 135));
  // Too large in one direction: fitted as FitRect does.
  EXPECT_EQ(FitRectTo(TRect(0, 0, 400, 300), TRect(0, 0, 200, 200)), TRect(0, 25, 200, 175));
  EXPECT_EQ(FitRectTo(TRect(0, 0, 200, 200), TRect(0, 0, 200, 200)), TRect(0, 0, 200, 200));
}

TEST(OrientationName, FromCornerOrder) {
  std::string n = "keep";
  OrientationName(0, 0, 10, 10, n);
  EXPECT_EQ(n, "");
  OrientationName(10, 0, 0, 10, n);
  EXPECT_EQ(n, "H");
  OrientationName(0, 10, 10, 0, n);
  EXPECT_EQ(n, "V");
  OrientationName(10, 10, 0, 0, n);
  EXPECT_EQ(n, "180");
  n = "keep";
  OrientationName(5, 0, 5, 10, n);
  EXPECT_EQ(n, "keep");
  OrientationName(0, 3, 10, 3, n);
  EXPECT_EQ(n, "keep");
}

TEST(FormatByteSize, GroupsAndSuffixes) {
  EXPECT_EQ(FormatByteSize(0), "0.00 Bytes");
  EXPECT_EQ(FormatByteSize(500), "500.00 Bytes");
  EXPECT_EQ(FormatByteSize(1023), "1,023.00 Bytes");
  EXPECT_EQ(FormatByteSize(1024), "1.00 KB");
  EXPECT_EQ(FormatByteSize(1536), "1.50 KB");
  EXPECT_EQ(FormatByteSize(1048575), "1,024.00 KB");  // 1023.999 rounds up in the text
  EXPECT_EQ(FormatByteSize(1048576), "1.00 MB");
  EXPECT_EQ(FormatByteSize(int64_t(12.5 * 1048576)), "12.50 MB");
  EXPECT_EQ(FormatByteSize(int64_t(1) << 30), "1.00 GB");
  // Beyond 1024 GB stays in GB.
  EXPECT_EQ(FormatByteSize(int64_t(1234567) << 30), "1,234,567.00 GB");
  // 1.125 KB: the two decimals round halves to even.
  EXPECT_EQ(FormatByteSize(1152), "1.12 KB");
  EXPECT_EQ(FormatByteSize(-5), "-5.00 Bytes");
}

TEST(FormatByteSize, IgnoresTheNumericLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr)
    GTEST_SKIP() << "no locale with a decimal comma installed";
  const std::string text = FormatByteSize(1234567);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "1,205.63 KB");
}

TEST(Clamps, BoundsAndOrder) {
  EXPECT_EQ(ClampByte(-1), 0);
  EXPECT_EQ(ClampByte(0), 0);
  EXPECT_EQ(ClampByte(255), 255);
  EXPECT_EQ(ClampByte(256), 255);
  EXPECT_EQ(ClampRange(5, 0, 10), 5);
  EXPECT_EQ(ClampRange(-5, 0, 10), 0);
  EXPECT_EQ(ClampRange(15, 0, 10), 10);
  // With min > max the upper bound is tested first.
  EXPECT_EQ(ClampRange(15, 20, 10), 10);
  EXPECT_EQ(ClampRange(12, 20, 10), 10);
  EXPECT_EQ(ClampRange(5, 20, 10), 20);
}

TEST(StrToInt, ClassLibraryRules) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("  12"), 12);
  EXPECT_EQ(StrToInt("$FF"), 255);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), int32_t(-2147483647 - 1));
  for (const char* bad : {"", "12 ", "1a", "-", "2147483648", "99999999999999999999", "$", "1.5"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
    }
  }
  EXPECT_EQ(StrToIntDef("x", 9), 9);
}

TEST(BoundsText, FormatAndParse) {
  EXPECT_EQ(FormatBoundsText(TRect(10, 20, 810, 620)), "10,20,810,620");
  EXPECT_EQ(FormatBoundsText(TRect(-8, -8, 1928, 1088)), "-8,-8,1928,1088");
  TRect r;
  ASSERT_TRUE(ParseBoundsText("10,20,810,620", r));
  EXPECT_EQ(r, TRect(10, 20, 810, 620));
  ASSERT_TRUE(ParseBoundsText("10,20,810,620,5", r));
  EXPECT_EQ(r, TRect(10, 20, 810, 620));
  ASSERT_TRUE(ParseBoundsText("-8,-8,-8,-8", r));
  EXPECT_EQ(r, TRect(-8, -8, -8, -8));
  r = TRect(1, 2, 3, 4);
  for (const char* t : {"", "10,20,810", "10,,810,620", "10,620,810,20", "810,20,10,620", ",1,2,3"}) {
    EXPECT_FALSE(ParseBoundsText(t, r)) << t;
    EXPECT_EQ(r, TRect(1, 2, 3, 4)) << t;
  }
  EXPECT_THROW(ParseBoundsText("10,x,810,620", r), EConvertError);
}

TEST(BoundsText, ApplyMovesFixedSizeWindowsOnly) {
  TRect b(0, 0, 300, 200);
  ASSERT_TRUE(ApplyBoundsText("10,20,810,620", false, b));
  EXPECT_EQ(b, TRect(10, 20, 810, 620));
  b = TRect(0, 0, 300, 200);
  ASSERT_TRUE(ApplyBoundsText("10,20,810,620", true, b));
  EXPECT_EQ(b, TRect(10, 20, 310, 220));
  // A malformed value applies nothing and raises nothing.
  b = TRect(0, 0, 300, 200);
  EXPECT_FALSE(ApplyBoundsText("10,x,810,620", false, b));
  EXPECT_FALSE(ApplyBoundsText("10,20,810", false, b));
  EXPECT_EQ(b, TRect(0, 0, 300, 200));
}

TEST(BoundsText, FittedToTheScreens) {
  // A primary screen with a panel at its top, and a second one to its right.
  const std::vector<TRect> screens = {TRect(0, 30, 1600, 1000), TRect(1600, 0, 3520, 1080)};
  auto fit = [&](TRect b, int minW = 0, int minH = 0) {
    EXPECT_TRUE(FitBoundsToScreens(b, screens, minW, minH));
    return b;
  };
  EXPECT_EQ(fit(TRect(2000, 100, 2600, 500)), TRect(2000, 100, 2600, 500));
  // Partly off its screen: moved onto the one it overlaps most.
  EXPECT_EQ(fit(TRect(-100, 0, 700, 600)), TRect(0, 30, 800, 630));
  EXPECT_EQ(fit(TRect(1500, 900, 2300, 1500)), TRect(1600, 480, 2400, 1080));
  // On a monitor that is gone: back on the primary screen.
  EXPECT_EQ(fit(TRect(5000, 2000, 5800, 2600)), TRect(800, 400, 1600, 1000));
  // Larger than the screen: cut to it (the one it covers most).
  EXPECT_EQ(fit(TRect(0, 0, 1700, 100000)), TRect(0, 30, 1600, 1000));
  EXPECT_EQ(fit(TRect(0, 0, 100000, 100000)), TRect(1600, 0, 3520, 1080));
  // The ends of the 32-bit range.
  EXPECT_EQ(fit(TRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX)), TRect(1600, 0, 3520, 1080));
  EXPECT_EQ(fit(TRect(INT32_MAX - 5, INT32_MAX - 5, INT32_MAX, INT32_MAX)), TRect(1595, 995, 1600, 1000));
  // Never smaller than the window's minimum size, which places it.
  EXPECT_EQ(fit(TRect(1590, 990, 1600, 1000), 508, 390), TRect(1092, 610, 1600, 1000));
  // What cannot fit is refused and changes nothing.
  TRect b(10, 40, 810, 640);
  EXPECT_FALSE(FitBoundsToScreens(b, screens, 1700, 100));
  EXPECT_FALSE(FitBoundsToScreens(b, {}, 0, 0));
  EXPECT_EQ(b, TRect(10, 40, 810, 640));

  // A fixed-size window whose kept size would carry it past the 32-bit range
  // is refused before that.
  b = TRect(0, 0, 300, 200);
  EXPECT_FALSE(ApplyBoundsText("2147483600,0,2147483647,10", true, b));
  EXPECT_EQ(b, TRect(0, 0, 300, 200));
  ASSERT_TRUE(ApplyBoundsText("2147483000,-2147483648,2147483647,0", true, b));
  EXPECT_EQ(b, TRect(2147483000, INT32_MIN, 2147483300, INT32_MIN + 200));
  ASSERT_TRUE(FitBoundsToScreens(b, screens, 300, 200));
  EXPECT_EQ(b, TRect(1300, 30, 1600, 230));
}

TEST(BoundsText, SettingsRoundTripAndUnwritableFile) {
  TestDir dir("utils-bounds");
  const std::string ini = dir.File("vt002.ini");
  SaveBoundsValue(ini, "LayOut", "MainForm", TRect(10, 20, 810, 620));
  EXPECT_EQ(ReadText(ini), "[LayOut]\nMainForm=10,20,810,620\n");
  TRect b(0, 0, 1, 1);
  EXPECT_TRUE(LoadBoundsValue(ini, "layout", "mainform", false, b));
  EXPECT_EQ(b, TRect(10, 20, 810, 620));
  EXPECT_FALSE(LoadBoundsValue(ini, "LayOut", "Other", false, b));
  EXPECT_EQ(b, TRect(10, 20, 810, 620));

  // A settings file in a folder that does not exist cannot be written: the
  // failure is shown, not raised.
  ClearHeadlessMessages();
  const std::string bad = dir.File("no/such/folder/vt002.ini");
  EXPECT_NO_THROW(SaveBoundsValue(bad, "LayOut", "MainForm", TRect(1, 2, 3, 4)));
  ASSERT_EQ(HeadlessMessages().size(), 1u);
  EXPECT_EQ(HeadlessMessages()[0].Text, "Unable to write to " + bad + " (No such file or directory)");
}

}  // namespace
