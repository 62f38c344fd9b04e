#include "formats/Sgi.h"

#include "reader_test_util.h"

namespace {

TBytes SgiHeader(bool runLength, int bpc, int width, int height, int channels) {
  TBytes b;
  b.U16BE(474).U8(runLength ? 1 : 0).U8(bpc).U16BE(3).U16BE(width).U16BE(height).U16BE(channels);
  b.PadTo(512);
  return b;
}

// A run-length file: rows[c][r] is the packed data of channel c, row r.
std::vector<uint8_t> SgiRunLength(int bpc, int width,
                                  const std::vector<std::vector<std::vector<uint8_t>>>& rows) {
  const int channels = int(rows.size()), height = int(rows[0].size());
  TBytes b = SgiHeader(true, bpc, width, height, channels);
  uint32_t at = 512 + 8 * uint32_t(channels * height);
  for (const auto& c : rows)
    for (const auto& r : c) {
      b.U32BE(at);
      at += uint32_t(r.size());
    }
  for (const auto& c : rows)
    for (const auto& r : c) b.U32BE(uint32_t(r.size()));
  for (const auto& c : rows)
    for (const auto& r : c) b.Append(r);
  return b.v;
}

Bitmap24 Read(const std::vector<uint8_t>& file) {
  Bitmap24 out;
  ReadSgi(file.data(), file.size(), out);
  return out;
}

TEST(Sgi, VerbatimRgbIsStoredBottomRowFirst) {
  TBytes f = SgiHeader(false, 1, 2, 2, 3);
  f.Bytes({0x10, 0x11, 0x12, 0x13});  // red: bottom row, then top row
  f.Bytes({0x20, 0x21, 0x22, 0x23});
  f.Bytes({0x30, 0x31, 0x32, 0x33});
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x102030u);
  EXPECT_EQ(RGBAt(b, 1, 1), 0x112131u);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x122232u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x132333u);
}

TEST(Sgi, TwoBytesPerChannelKeepTheHighByte) {
  TBytes f = SgiHeader(false, 2, 2, 1, 1);
  f.U16BE(0x12FF).U16BE(0xAB01);
  Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x121212u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0xABABABu);

  // Run-length with 16-bit counts: a copy of 1 sample, then a run of 1.
  b = Read(SgiRunLength(2, 2, {{{0x00, 0x81, 0x40, 0x99, 0x00, 0x01, 0x77, 0x00, 0x00, 0x00}}}));
  EXPECT_EQ(RGBAt(b, 0, 0), 0x404040u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x777777u);
}

TEST(Sgi, RunLengthRgbaDropsTheAlpha) {
  // 3 x 1: red = run of 3 x 0x10; green = copy 0x20 0x21 0x22; blue = run; alpha.
  const Bitmap24 b = Read(SgiRunLength(1, 3,
                                       {{{0x03, 0x10, 0x00}},
                                        {{0x83, 0x20, 0x21, 0x22, 0x00}},
                                        {{0x02, 0x30, 0x01, 0x31, 0x00}},
                                        {{0x03, 0xFF, 0x00}}}));
  EXPECT_EQ(RGBAt(b, 0, 0), 0x102030u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x102130u);
  EXPECT_EQ(RGBAt(b, 2, 0), 0x102231u);
}

TEST(Sgi, GreyWithAlphaReadsTheGreyChannelOnly) {
  TBytes f = SgiHeader(false, 1, 2, 1, 2);
  f.Bytes({0x40, 0x80, 0xFF, 0xFF});
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x404040u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x808080u);
}

TEST(Sgi, FiveChannelsShowTheFirstAsGrey) {
  TBytes f = SgiHeader(false, 1, 1, 1, 5);
  f.Bytes({0x40, 0x10, 0x20, 0x30, 0x50});
  EXPECT_EQ(RGBAt(Read(f.v), 0, 0), 0x404040u);
}

TEST(Sgi, LongRowsAreCutAtTheWidth) {
  const Bitmap24 b = Read(SgiRunLength(1, 2, {{{0x05, 0x66, 0x00}}}));
  EXPECT_EQ(RGBAt(b, 1, 0), 0x666666u);
}

TEST(Sgi, BadHeadersAndShortDataAreRefused) {
  TBytes f = SgiHeader(false, 1, 2, 1, 1);
  f.Bytes({1, 2});
  f.v[1] = 0xDB;
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(f.v); }), "Not a valid sgi, bw or rgb(a) image.");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(SgiHeader(false, 3, 1, 1, 1).Zeros(3).v); }),
            "SGI: bytes per channel must be 1 or 2");
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(SgiHeader(false, 1, 2, 2, 3).Zeros(11).v); }),
            "SGI: image data is too short");
  std::vector<uint8_t> rle = SgiRunLength(1, 2, {{{0x02, 0x66, 0x00}}});
  rle[512 + 7] = 0x09;  // the row's length runs past the end
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(rle); }), "SGI: image data is too short");
}

TEST(Sgi, SurvivesTruncationAndCorruption) {
  TBytes f = SgiHeader(false, 2, 3, 2, 3);
  for (int i = 0; i < 18; ++i) f.U16BE(i * 3000);
  SweepDamage(f.v, ReadSgi, true);
  SweepDamage(SgiRunLength(1, 3,
                           {{{0x03, 0x10, 0x00}, {0x83, 1, 2, 3, 0}},
                            {{0x83, 0x20, 0x21, 0x22, 0x00}, {0x03, 9, 0}},
                            {{0x02, 0x30, 0x01, 0x31, 0x00}, {0x01, 5, 0x82, 6, 7, 0}}}),
              ReadSgi, true);
}

}  // namespace
