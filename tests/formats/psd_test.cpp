#include "formats/Psd.h"

#include "reader_test_util.h"

namespace {

// Header, colour-mode data, empty resource and layer sections, compression.
TBytes PsdHead(int channels, int width, int height, int depth, int mode, int compression,
               const std::vector<uint8_t>& modeData = {}) {
  TBytes b;
  b.Text("8BPS").U16BE(1).Zeros(6).U16BE(channels).U32BE(height).U32BE(width).U16BE(depth).U16BE(mode);
  b.U32BE(uint32_t(modeData.size())).Append(modeData);
  b.U32BE(4).Zeros(4);  // a resource section that is skipped
  b.U32BE(0);
  b.U16BE(compression);
  return b;
}

Bitmap24 Read(const std::vector<uint8_t>& file) {
  Bitmap24 out;
  ReadPsd(file.data(), file.size(), out);
  return out;
}

TEST(Psd, RawRgbWithAnAlphaChannelIgnoresTheAlpha) {
  TBytes f = PsdHead(4, 2, 1, 8, 3, 0);
  f.Bytes({0x10, 0x11, 0x20, 0x21, 0x30, 0x31, 0x00, 0x00});
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x102030u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x112131u);
}

TEST(Psd, PackBitsRgbDecodesEachRowByItsCount) {
  // 2 x 2, rows: red 0, red 1, green 0, green 1, blue 0, blue 1.
  TBytes f = PsdHead(3, 2, 2, 8, 3, 1);
  const std::vector<std::vector<uint8_t>> rows = {{0xFF, 0x10}, {0x01, 0x11, 0x12}, {0xFF, 0x20},
                                                  {0xFF, 0x21}, {0x01, 0x30, 0x31}, {0x80, 0xFF, 0x32}};
  for (const auto& r : rows) f.U16BE(unsigned(r.size()));
  for (const auto& r : rows) f.Append(r);
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x102030u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x102031u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x112132u);
  EXPECT_EQ(RGBAt(b, 1, 1), 0x122132u);
}

TEST(Psd, CmykStoresInkInvertedAndWhiteLoadsWhite) {
  TBytes f = PsdHead(4, 2, 1, 8, 4, 0);
  f.Bytes({255, 0, 255, 255, 255, 255, 255, 255});  // pixel 1: full cyan
  Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x00FFFFu);
  TBytes g = PsdHead(4, 1, 1, 16, 4, 0);
  g.U16BE(0xFFFF).U16BE(0xFFFF).U16BE(0xFFFF).U16BE(0x0000);  // full black ink
  EXPECT_EQ(RGBAt(Read(g.v), 0, 0), 0x000000u);
}

TEST(Psd, GreyDuotoneIndexedAndBitmapModes) {
  TBytes grey = PsdHead(1, 2, 1, 8, 1, 1);
  grey.U16BE(2).Bytes({0xFF, 0x7F});
  EXPECT_EQ(RGBAt(Read(grey.v), 1, 0), 0x7F7F7Fu);

  TBytes duo = PsdHead(1, 1, 1, 16, 8, 0, std::vector<uint8_t>(40, 0xAA));
  duo.U16BE(0x4001);
  EXPECT_EQ(RGBAt(Read(duo.v), 0, 0), 0x404040u);

  std::vector<uint8_t> pal(768, 0);
  pal[5] = 0x11;        // red of entry 5
  pal[256 + 5] = 0x22;  // green
  pal[512 + 5] = 0x33;  // blue
  TBytes idx = PsdHead(1, 1, 1, 8, 2, 0, pal);
  idx.U8(5);
  EXPECT_EQ(RGBAt(Read(idx.v), 0, 0), 0x112233u);

  TBytes bits = PsdHead(1, 9, 1, 1, 0, 0);
  bits.Bytes({0x80, 0x80});  // pixels 0 and 8 black, the rest white
  const Bitmap24 b = Read(bits.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(b, 8, 0), 0u);
}

TEST(Psd, SixteenBitRgbAndLab) {
  TBytes f = PsdHead(3, 1, 1, 16, 3, 0);
  f.U16BE(0x12FF).U16BE(0x3400).U16BE(0x56AA);
  EXPECT_EQ(RGBAt(Read(f.v), 0, 0), 0x123456u);
  TBytes lab = PsdHead(3, 2, 1, 8, 9, 0);
  lab.Bytes({255, 0, 128, 128, 128, 128});  // white, black
  const Bitmap24 b = Read(lab.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x000000u);
}

TEST(Psd, LabUnderD50ToSRGB) {
  // L 0..255 for 0..100, a and b offset by 128: mid grey is sRGB's 119, and
  // sRGB red's D50 figures (54.12, 81, 70) are red; PackBits rows.
  TBytes f = PsdHead(3, 2, 1, 8, 9, 1);
  const std::vector<std::vector<uint8_t>> rows = {{1, 128, 138}, {1, 128, 209}, {1, 128, 198}};
  for (const auto& r : rows) f.U16BE(unsigned(r.size()));
  for (const auto& r : rows) f.Append(r);
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x777777u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0xFF0000u);
  // 16 bits a sample: the high bytes, a and b about 0x80xx.
  TBytes wide = PsdHead(3, 1, 1, 16, 9, 0);
  wide.U16BE(0x8A40).U16BE(0xD1FF).U16BE(0xC600);
  EXPECT_EQ(RGBAt(Read(wide.v), 0, 0), 0xFF0000u);
}

TEST(Psd, BadHeadersAndShortDataAreRefused) {
  TBytes f = PsdHead(3, 1, 1, 8, 3, 0);
  f.Zeros(3);
  f.v[0] = '9';
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(f.v); }), "Not a valid psd file.");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(PsdHead(3, 1, 1, 8, 7, 0).Zeros(3).v); }),
            "PSD: colour mode not supported");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(PsdHead(3, 1, 1, 32, 3, 0).Zeros(12).v); }),
            "PSD: bit depth not supported");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(PsdHead(2, 1, 1, 8, 3, 0).Zeros(2).v); }),
            "PSD: invalid channel count");
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(PsdHead(3, 2, 1, 8, 3, 0).Zeros(5).v); }), "Stream read error");
  // Sizes the data cannot hold are refused before anything is allocated.
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(PsdHead(4, 2, 0xFC0002, 16, 4, 0).Zeros(64).v); }),
            "Stream read error");
  EXPECT_EQ(ErrorOf<EPictureError>([&] {
              Read(PsdHead(1, 16000, 1, 8, 1, 1).U16BE(2).Bytes({0x81, 0}).v);
            }),
            "PSD: a compressed row is too short");
  TBytes rle = PsdHead(1, 3, 1, 8, 1, 1);
  rle.U16BE(2).Bytes({0xFF, 0x7F});  // two of three bytes
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(rle.v); }), "PSD: a compressed row is too short");
}

TEST(Psd, SurvivesTruncationAndCorruption) {
  TBytes f = PsdHead(3, 3, 2, 8, 3, 1);
  const std::vector<std::vector<uint8_t>> rows = {{0xFE, 1},       {2, 1, 2, 3}, {0xFE, 4},
                                                  {0x80, 0xFE, 5}, {0xFE, 6},    {0xFF, 7, 0, 9}};
  for (const auto& r : rows) f.U16BE(unsigned(r.size()));
  for (const auto& r : rows) f.Append(r);
  SweepDamage(f.v, ReadPsd, true);
  TBytes g = PsdHead(4, 2, 2, 16, 4, 0);
  for (int i = 0; i < 16; ++i) g.U16BE(i * 4000);
  SweepDamage(g.v, ReadPsd, true);
}

}  // namespace
