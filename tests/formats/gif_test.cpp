#include "formats/Gif.h"

#include <algorithm>
#include <random>

#include "lzw_test_util.h"
#include "reader_test_util.h"

namespace {

// LZW data that holds every pixel as a literal code, with a clear code often
// enough that the code width never grows; packed least significant bit first.
std::vector<uint8_t> LiteralLZW(const std::vector<uint8_t>& pixels, int codeSize) {
  const unsigned clear = 1u << codeSize, width = codeSize + 1;
  std::vector<unsigned> codes;
  const size_t chunk = (1u << codeSize) - 2;
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (i % chunk == 0) codes.push_back(clear);
    codes.push_back(pixels[i]);
  }
  codes.push_back(clear + 1);
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  unsigned bits = 0;
  for (unsigned c : codes) {
    acc |= c << bits;
    bits += width;
    while (bits >= 8) {
      out.push_back(uint8_t(acc));
      acc >>= 8;
      bits -= 8;
    }
  }
  if (bits) out.push_back(uint8_t(acc));
  return out;
}

// Screen descriptor and optional global table (red, green, blue triples).
TBytes GifHead(int width, int height, const std::vector<uint32_t>& global = {}) {
  TBytes b;
  b.Text("GIF89a").U16LE(width).U16LE(height);
  int bits = 0;
  while (global.size() > (2u << bits)) ++bits;
  b.U8(global.empty() ? 0 : 0x80 | bits).U8(0).U8(0);
  for (uint32_t c : global) b.U8(c >> 16).U8(c >> 8).U8(c);
  for (size_t k = global.size(); !global.empty() && k < (2u << bits); ++k) b.U8(0).U8(0).U8(0);
  return b;
}

// An image descriptor and its data, split into sub-blocks of at most 5 bytes.
void AddImage(TBytes& b, int width, int height, const std::vector<uint8_t>& pixels, int codeSize = 2,
              uint8_t flags = 0, const std::vector<uint32_t>& local = {}) {
  b.U8(',').U16LE(0).U16LE(0).U16LE(width).U16LE(height).U8(flags);
  for (uint32_t c : local) b.U8(c >> 16).U8(c >> 8).U8(c);
  b.U8(codeSize);
  const std::vector<uint8_t> data = LiteralLZW(pixels, codeSize);
  for (size_t i = 0; i < data.size(); i += 5) {
    const size_t n = std::min<size_t>(5, data.size() - i);
    b.U8(unsigned(n));
    b.v.insert(b.v.end(), data.begin() + long(i), data.begin() + long(i + n));
  }
  b.U8(0);
}

Bitmap24 Read(const std::vector<uint8_t>& file) {
  Bitmap24 out;
  ReadGif(file.data(), file.size(), out);
  return out;
}

const std::vector<uint32_t> kFour = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

TEST(Gif, ReadsTheFirstImageThroughTheGlobalTable) {
  TBytes f = GifHead(3, 2, kFour);
  AddImage(f, 3, 2, {0, 1, 2, 3, 2, 1});
  AddImage(f, 3, 2, {3, 3, 3, 3, 3, 3});  // later images are not read
  f.U8(';');
  const Bitmap24 b = Read(f.v);
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x000000u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0xFF0000u);
  EXPECT_EQ(RGBAt(b, 2, 0), 0x00FF00u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x0000FFu);
  EXPECT_EQ(RGBAt(b, 2, 1), 0xFF0000u);
}

TEST(Gif, LocalTableAndInterlacedRows) {
  TBytes f = GifHead(1, 10, kFour);
  // Interlaced rows arrive as 0, 8, 4, 2, 6, 1, 3, 5, 7, 9; pixel i of the
  // data is given the index of the row it lands in, modulo 4.
  const int order[10] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  std::vector<uint8_t> pixels;
  for (int r : order) pixels.push_back(uint8_t(r % 4));
  AddImage(f, 1, 10, pixels, 2, 0x80 | 0x40 | 1, {0x111111, 0x222222, 0x333333, 0x444444});
  f.U8(';');
  const Bitmap24 b = Read(f.v);
  for (int r = 0; r < 10; ++r) EXPECT_EQ(RGBAt(b, 0, r), 0x111111u * (r % 4 + 1)) << r;
}

TEST(Gif, ExtensionsArePassedOverWhateverTheirBytes) {
  // A graphic control extension with a zero delay byte and ',' as its
  // transparent index, then a comment holding ',' and ';'.
  TBytes f = GifHead(2, 1, kFour);
  f.Bytes({'!', 0xF9, 4, 0x01, 0x00, 0x00, ',', 0});
  f.Bytes({'!', 0xFE, 3, ',', ';', 0, 2, 'x', 'y', 0});
  AddImage(f, 2, 1, {2, 3});
  f.U8(';');
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x00FF00u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x0000FFu);
}

TEST(Gif, ZeroImageSizeTakesTheScreenAndNoTableGivesGrey) {
  TBytes f = GifHead(2, 2);
  AddImage(f, 0, 0, {0, 1, 2, 3});
  const Bitmap24 b = Read(f.v);
  ASSERT_EQ(b.Width(), 2);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x000000u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x555555u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0xAAAAAAu);
  EXPECT_EQ(RGBAt(b, 1, 1), 0xFFFFFFu);
}

TEST(Gif, TrailerBeforeAnyImageLeavesThePictureEmpty) {
  TBytes f = GifHead(4, 4, kFour);
  f.U8(';');
  Bitmap24 b(3, 3);
  ReadGif(f.v.data(), f.v.size(), b);
  EXPECT_TRUE(b.Empty());
}

TEST(Gif, SignatureIsCheckedWithoutRegardToCase) {
  TBytes f = GifHead(1, 1, kFour);
  AddImage(f, 1, 1, {1});
  f.v[0] = 'g';
  EXPECT_EQ(RGBAt(Read(f.v), 0, 0), 0xFF0000u);
  f.v[1] = 'X';
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(f.v); }), "Not a valid GIF file.");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read({'G', 'I'}); }), "Not a valid GIF file.");
}

TEST(Gif, EightBitCodesAndACodeBeyondTheTable) {
  TBytes f = GifHead(4, 1);
  AddImage(f, 4, 1, {0, 127, 200, 255}, 8);
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x7F7F7Fu);
  EXPECT_EQ(RGBAt(b, 3, 0), 0xFFFFFFu);
  // Code 7 right after a clear code (4 + 2 is the next free code).
  TBytes g = GifHead(2, 1, kFour);
  g.U8(',').U16LE(0).U16LE(0).U16LE(2).U16LE(1).U8(0).U8(2).Bytes({2, 0x3C, 0x00, 0});
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(g.v); }), "GIF LZW: invalid opcode.");
  g.v[g.v.size() - 5] = 0;  // minimum code size 0
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(g.v); }), "GIF LZW: invalid code size.");
}

TEST(Gif, LzwTableFullWithoutAClearReadsEveryPixel) {
  // 200 x 200 pixels of four colours, half of them a repeat of the first
  // half: the encoder fills its table to entry 4095 and goes on using it.
  std::mt19937 rng(27);
  std::vector<uint8_t> pixels(20000);
  for (auto& p : pixels) p = uint8_t(rng() % 4);
  pixels.insert(pixels.end(), pixels.begin(), pixels.end());
  std::vector<uint32_t> codes;
  const std::vector<uint8_t> data = lzwtest::GifEncodeFullTable(pixels, 2, &codes);
  ASSERT_NE(std::count(codes.begin(), codes.end(), 4095u), 0);
  TBytes f = GifHead(200, 200, kFour);
  f.U8(',').U16LE(0).U16LE(0).U16LE(200).U16LE(200).U8(0).U8(2);
  for (size_t i = 0; i < data.size(); i += 255) {
    const size_t n = std::min<size_t>(255, data.size() - i);
    f.U8(unsigned(n));
    f.v.insert(f.v.end(), data.begin() + long(i), data.begin() + long(i + n));
  }
  f.U8(0).U8(';');
  const Bitmap24 b = Read(f.v);
  ASSERT_EQ(b.Width(), 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x)
      ASSERT_EQ(RGBAt(b, x, y), kFour[pixels[size_t(y) * 200 + x]]) << x << "," << y;
}

TEST(Gif, SurvivesTruncationAndCorruption) {
  TBytes f = GifHead(5, 4, kFour);
  f.Bytes({'!', 0xF9, 4, 0x01, 0x00, 0x00, 3, 0});
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 20; ++i) pixels.push_back(uint8_t(i * 7 % 4));
  AddImage(f, 5, 4, pixels, 2, 0x40);
  f.U8(';');
  SweepDamage(f.v, ReadGif, true);
}

}  // namespace
