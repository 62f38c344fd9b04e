#include "formats/Pcx.h"

#include "reader_test_util.h"

namespace {

// A 128-byte header; palette16 holds up to 16 red, green, blue triples.
TBytes PcxHeader(int bits, int planes, int width, int height, int bytesPerLine, int encoding = 1,
                 int version = 5, int paletteInfo = 1, const std::vector<uint32_t>& palette16 = {}) {
  TBytes b;
  b.U8(10).U8(version).U8(encoding).U8(bits).U16LE(0).U16LE(0).U16LE(width - 1).U16LE(height - 1);
  b.U16LE(72).U16LE(72);
  for (uint32_t c : palette16) b.U8(c >> 16).U8(c >> 8).U8(c);
  b.PadTo(65).U8(planes).U16LE(bytesPerLine).U16LE(paletteInfo);
  b.PadTo(128);
  return b;
}

Bitmap24 Read(const std::vector<uint8_t>& file) {
  Bitmap24 out;
  ReadPcx(file.data(), file.size(), out);
  return out;
}

TEST(Pcx, EightBitRunLengthWithItsPalette) {
  // 3 x 2, 4 bytes per line: row 0 = 1 1 1 pad, row 1 = 2 0xC5 0 pad (0xC5
  // is written as a run of one, being a count byte itself).
  TBytes f = PcxHeader(8, 1, 3, 2, 4);
  f.Bytes({0xC3, 1, 0, 2, 0xC1, 0xC5, 0xC2, 0});
  f.U8(12);
  for (int k = 0; k < 256; ++k) f.U8(k).U8(255 - k).U8(k / 2);
  const Bitmap24 b = Read(f.v);
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x01FE00u);
  EXPECT_EQ(RGBAt(b, 2, 0), 0x01FE00u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x02FD01u);
  EXPECT_EQ(RGBAt(b, 1, 1), 0xC53A62u);
  EXPECT_EQ(RGBAt(b, 2, 1), 0x00FF00u);
}

TEST(Pcx, EightBitWithoutPaletteIsGreyAndKeepsItsLastBytes) {
  // Raw data of 30 x 30 bytes: the last 769 bytes are pixels, not a palette.
  TBytes f = PcxHeader(8, 1, 30, 30, 30, 0, 5, 2);
  for (int i = 0; i < 900; ++i) f.U8(i % 251);
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0u);
  EXPECT_EQ(RGBAt(b, 29, 29), 0x929292u);  // byte 899: 899 % 251 = 146
}

TEST(Pcx, OneBitKeepsItsRightmostPixels) {
  TBytes f = PcxHeader(1, 1, 10, 1, 2, 0);
  f.Bytes({0x80, 0x40});  // pixels 0 and 9 white
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(b, 1, 0), 0u);
  EXPECT_EQ(RGBAt(b, 8, 0), 0u);
  EXPECT_EQ(RGBAt(b, 9, 0), 0xFFFFFFu);
}

TEST(Pcx, FourPlanesCombineIntoSixteenColours) {
  std::vector<uint32_t> pal;
  for (int k = 0; k < 16; ++k) pal.push_back(0x010203u * k);
  // Pixel 0 = 1 + 4 = 5, pixel 1 = 2 + 8 = 10, pixel 2 = 15.
  const std::vector<uint8_t> planes = {0xA0, 0x60, 0xA0, 0x60};
  TBytes f = PcxHeader(1, 4, 3, 1, 1, 0, 5, 1, pal);
  f.Append(planes);
  Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x050A0Fu);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x0A141Eu);
  EXPECT_EQ(RGBAt(b, 2, 0), 0x0F1E2Du);

  TBytes g = PcxHeader(1, 4, 3, 1, 1, 0, 5, 2, pal);
  g.Append(planes);
  EXPECT_EQ(RGBAt(Read(g.v), 2, 0), 0xF0F0F0u);

  TBytes v3 = PcxHeader(1, 4, 3, 1, 1, 0, 3, 1, pal);
  v3.Append(planes);
  b = Read(v3.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x800080u);  // purple
  EXPECT_EQ(RGBAt(b, 1, 0), 0x00FF00u);  // lime
  EXPECT_EQ(RGBAt(b, 2, 0), 0xFFFFFFu);
}

TEST(Pcx, TwentyFourBitPlanes) {
  TBytes f = PcxHeader(8, 3, 2, 1, 2);
  f.Bytes({0x10, 0x11, 0x20, 0x21, 0xC2, 0x30});  // red plane, green plane, a run for blue
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x102030u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x112130u);
}

TEST(Pcx, BadHeadersAndShortDataAreRefused) {
  TBytes f = PcxHeader(8, 3, 2, 1, 2);
  f.v[0] = 11;
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(f.v); }), "Not a PCX or SCR file.");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(PcxHeader(4, 1, 2, 1, 1).v); }), "PCX: wrong pixel format");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(PcxHeader(8, 1, 4, 1, 3).v); }),
            "PCX: bytes per line too small for the width");
  TBytes s = PcxHeader(8, 3, 2, 1, 2);
  s.Bytes({0x10, 0x11, 0x20, 0x21, 0xC1, 0x30});
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(s.v); }), "PCX: image data is too short");
}

TEST(Pcx, SurvivesTruncationAndCorruption) {
  TBytes f = PcxHeader(8, 3, 5, 3, 6);
  for (int i = 0; i < 18 * 3; i += 3) f.Bytes({0xC3, uint8_t(i), uint8_t(i + 1)});
  SweepDamage(f.v, ReadPcx, true);
  TBytes g = PcxHeader(8, 1, 3, 2, 4);
  g.Bytes({0xC3, 1, 0, 2, 0xC1, 0xC5, 0xC2, 0}).U8(12).Zeros(768);
  SweepDamage(g.v, ReadPcx, false);
}

}  // namespace
