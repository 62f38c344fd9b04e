#include "formats/PpmReader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "reader_test_util.h"

namespace {

using readertest::Bytes;
using readertest::Px;
Bitmap24 Read(const Bytes& f) {
  return readertest::ReadWith(ReadPPM, f);
}
std::string ErrorOf(const Bytes& f) {
  return readertest::ErrorOf(ReadPPM, f);
}

Bytes B(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

TEST(PpmReader, RawPixmapWithCommentLine) {
  Bytes f = B("P6\n# made by hand\n2 1\n255\n");
  f.insert(f.end(), {10, 20, 30, 200, 100, 0});
  const Bitmap24 b = Read(f);
  ASSERT_EQ(b.Width(), 2);
  ASSERT_EQ(b.Height(), 1);
  EXPECT_EQ(Px(b, 0, 0), (Bytes{30, 20, 10}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{0, 100, 200}));
}

TEST(PpmReader, TextKinds) {
  const Bitmap24 p3 = Read(B("P3\n2 2 # size\n255\n1 2 3  4 5 6\n7 8 9 300 0 0\n"));
  EXPECT_EQ(Px(p3, 1, 0), (Bytes{6, 5, 4}));
  EXPECT_EQ(Px(p3, 1, 1), (Bytes{0, 0, 255}));  // 300, above the maximum, shows as the maximum
  const Bitmap24 p2 = Read(B("P2\r\n3 1\r\n15\r\n0 7 15\r\n"));
  // The last number may end the file.
  EXPECT_EQ(Px(Read(B("P2\n2 1\n255\n1 42")), 1, 0), (Bytes{42, 42, 42}));
  EXPECT_EQ(Px(p2, 1, 0), (Bytes{119, 119, 119}));  // 7 * 255 / 15
  EXPECT_EQ(Px(p2, 2, 0), (Bytes{255, 255, 255}));
  // P1 of width 10: 1 is black; the lowest bit of each number counts.
  const Bitmap24 p1 = Read(B("P1\n10 1\n1 0 1 1 0 0 0 0 3 2\n"));
  const int expected[10] = {0, 255, 0, 0, 255, 255, 255, 255, 0, 255};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Px(p1, x, 0)[1], expected[x]) << x;
}

TEST(PpmReader, RawGreyAndBitmap) {
  Bytes p5 = B("P5\n3 1\n255\n");
  p5.insert(p5.end(), {0, 128, 255});
  EXPECT_EQ(Px(Read(p5), 1, 0), (Bytes{128, 128, 128}));
  // Width 10: two bytes per row, the second holding 2 pixels in its top bits.
  Bytes p4 = B("P4\n10 2\n");
  p4.insert(p4.end(), {0x80, 0x40, 0xFF, 0xC0});
  const Bitmap24 b = Read(p4);
  EXPECT_EQ(Px(b, 0, 0), (Bytes{0, 0, 0}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{255, 255, 255}));
  EXPECT_EQ(Px(b, 9, 0), (Bytes{0, 0, 0}));
  EXPECT_EQ(Px(b, 8, 0), (Bytes{255, 255, 255}));
  EXPECT_EQ(Px(b, 9, 1), (Bytes{0, 0, 0}));
}

TEST(PpmReader, MaximumAbove255TakesTwoBytesPerRawSample) {
  // 257 * 255 / 65535 = 1 and 32896 * 255 / 65535 = 128 exactly.
  Bytes p6 = B("P6\n2 1\n65535\n");
  p6.insert(p6.end(), {0xFF, 0xFF, 0x80, 0x80, 0x01, 0x01, 0x00, 0x00, 0x00, 0xFF, 0x12, 0x34});
  const Bitmap24 b = Read(p6);
  ASSERT_EQ(b.Width(), 2);
  EXPECT_EQ(Px(b, 0, 0), (Bytes{1, 128, 255}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{18, 1, 0}));  // 0x1234 = 4660 -> 18.13; 255 -> 0.99
  // Halves go to the even neighbour: with maximum 510, 1 is 0.5 and 3 is 1.5.
  Bytes p5 = B("P5 4 1 510\n");
  p5.insert(p5.end(), {0x00, 0x01, 0x00, 0x03, 0x01, 0xFD, 0x01, 0xFE});
  const Bitmap24 g = Read(p5);
  EXPECT_EQ(Px(g, 0, 0), (Bytes{0, 0, 0}));
  EXPECT_EQ(Px(g, 1, 0), (Bytes{2, 2, 2}));
  EXPECT_EQ(Px(g, 2, 0), (Bytes{254, 254, 254}));  // 509: 254.5
  EXPECT_EQ(Px(g, 3, 0), (Bytes{255, 255, 255}));
  // Text keeps the whole value: 300 of 1000 is 76.5.
  const Bitmap24 t = Read(B("P3\n1 1\n1000\n300 1000 4\n"));
  EXPECT_EQ(Px(t, 0, 0), (Bytes{1, 255, 76}));
  // Two bytes per sample must be there.
  Bytes shortRaw = B("P5\n2 1\n65535\n");
  shortRaw.insert(shortRaw.end(), {1, 2, 3});
  EXPECT_EQ(ErrorOf(shortRaw), "PPM: Stream read error.");
}

TEST(PpmReader, MaximumBelow255Scales) {
  Bytes p5 = B("P5\n2 1\n1\n");
  p5.insert(p5.end(), {0, 1});
  const Bitmap24 b = Read(p5);
  EXPECT_EQ(Px(b, 0, 0), (Bytes{0, 0, 0}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{255, 255, 255}));
  Bytes p6 = B("P6\n1 1\n3\n");
  p6.insert(p6.end(), {1, 2, 3});
  EXPECT_EQ(Px(Read(p6), 0, 0), (Bytes{255, 170, 85}));
  // A raw sample above the maximum shows as the maximum.
  Bytes over = B("P5\n1 1\n15\n");
  over.push_back(200);
  EXPECT_EQ(Px(Read(over), 0, 0), (Bytes{255, 255, 255}));
  EXPECT_EQ(ErrorOf(B("P5\n1 1\n0\n\1")), "PPM: invalid maximum value 0.");
  EXPECT_EQ(ErrorOf(B("P2\n1 1\n65536\n1")), "PPM: invalid maximum value 65536.");
}

TEST(PpmReader, HeaderOnTheMagicsLineAndCommentsAnywhere) {
  Bytes one = B("P6 2 1 255 ");
  one.insert(one.end(), {10, 20, 30, 40, 50, 60});
  const Bitmap24 b = Read(one);
  ASSERT_EQ(b.Width(), 2);
  ASSERT_EQ(b.Height(), 1);
  EXPECT_EQ(Px(b, 0, 0), (Bytes{30, 20, 10}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{60, 50, 40}));
  // A comment after the magic, between the numbers and right after the
  // maximum: the data starts on the line after it.
  Bytes commented = B("P5# kind\n2# width\n#\n1 255# end\n");
  commented.insert(commented.end(), {7, 200});
  const Bitmap24 c = Read(commented);
  ASSERT_EQ(c.Width(), 2);
  EXPECT_EQ(Px(c, 0, 0), (Bytes{7, 7, 7}));
  EXPECT_EQ(Px(c, 1, 0), (Bytes{200, 200, 200}));
  EXPECT_EQ(Px(Read(B("P2 1 1 255 9")), 0, 0), (Bytes{9, 9, 9}));
}

TEST(PpmReader, PlainBitmapDigitsWithOrWithoutSeparators) {
  const int expected[2][5] = {{0, 255, 0, 0, 255}, {255, 0, 255, 255, 0}};
  for (const char* text : {"P1\n5 2\n10110\n01001\n", "P1 5 2 1011001001", "P1\n5 2\n1 0 1 1 0\n0 1 0 0 1\n",
                           "P1\n5 2\n101# comment\n1001001\n"}) {
    SCOPED_TRACE(text);
    const Bitmap24 b = Read(B(text));
    ASSERT_EQ(b.Width(), 5);
    ASSERT_EQ(b.Height(), 2);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(b, x, y)[0], expected[y][x]) << x << "," << y;
  }
  EXPECT_EQ(ErrorOf(B("P1\n5 2\n10110\n0100")), "PPM: Stream read error.");
}

TEST(PpmReader, RefusesBadFilesWithTheirMessages) {
  EXPECT_EQ(ErrorOf(B("Q6\n1 1\n255\n")), "Not a valid ppm file.");
  EXPECT_EQ(ErrorOf(B("Px\n1 1\n255\n")), "'x' is not a valid integer value");
  EXPECT_EQ(ErrorOf(B("P7\n1 1\n255\n")), "PPM: kind P7 is not supported.");
  EXPECT_EQ(ErrorOf(B("P6\n0 1\n255\n")), "PPM: invalid picture size 0 x 1.");
  // Ends before its header numbers are complete, with a long comment.
  EXPECT_EQ(ErrorOf(B("P6\n#" + std::string(5000, 'c') + "\n12 ")), "PPM: Stream read error.");
  // A huge size whose data is not there is refused before allocation.
  EXPECT_EQ(ErrorOf(B("P6\n100000 100000\n255\n\1\2\3")), "PPM: Stream read error.");
  EXPECT_EQ(ErrorOf(B("P3\n2 1\n255\n1 2 3 4 5")), "PPM: Stream read error.");
}

TEST(PpmReader, TruncatedAndCorruptFilesNeverCrash) {
  std::vector<Bytes> files = {B("P3\n2 2\n255\n1 2 3 4 5 6 7 8 9 10 11 12\n"), B("P1\n3 2\n1 0 1\n0 1 0\n")};
  Bytes p6 = B("P6\n2 2\n255\n");
  for (int i = 0; i < 12; ++i) p6.push_back(uint8_t(i * 20));
  files.push_back(p6);
  uint32_t seed = 5;
  for (const Bytes& f : files) readertest::SweepDamage(ReadPPM, f, seed++);
}

}  // namespace
