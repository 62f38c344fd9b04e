#include "formats/Png.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/ScratchDir.h"
#include "formats/png_maker.h"
#include "platform/Files.h"

using namespace pngmaker;

namespace {

Bitmap24 Decode(const Bytes& f) {
  Bitmap24 b;
  ReadPNG(f.data(), f.size(), b);
  return b;
}

// Blue, green, red of pixel (x, y).
std::vector<int> Px(const Bitmap24& b, int x, int y) {
  const uint8_t* p = b.ScanLine(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

std::vector<int> Grey(int g) {
  return {g, g, g};
}

template <class E>
std::string MessageOf(const Bytes& f) {
  try {
    Decode(f);
  } catch (const E& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("other error: ") + e.what();
  }
  return "no error";
}

RawImage RgbPattern(uint32_t w, uint32_t h) {
  RawImage img = MakeImage(w, h, 8, 3);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = img.At(x, y);
      p[0] = uint8_t(x * 37 + y * 11);  // red
      p[1] = uint8_t(200 - x * 5 + y * 23);
      p[2] = uint8_t(x * y * 7 + 3);
    }
  return img;
}

void ExpectRgbPattern(const Bitmap24& b, const RawImage& img) {
  ASSERT_EQ(b.Width(), int(img.Width));
  ASSERT_EQ(b.Height(), int(img.Height));
  for (uint32_t y = 0; y < img.Height; ++y)
    for (uint32_t x = 0; x < img.Width; ++x) {
      const uint8_t* p = img.At(x, y);
      ASSERT_EQ(Px(b, int(x), int(y)), (std::vector<int>{p[2], p[1], p[0]})) << x << "," << y;
    }
}

Bytes PaletteData(std::initializer_list<int> rgb) {
  Bytes d;
  for (int v : rgb) d.push_back(uint8_t(v));
  return d;
}

// Recomputes the CRC of every whole chunk after the signature.
void FixCrcs(Bytes& f) {
  size_t at = 8;
  while (at + 12 <= f.size()) {
    const uint32_t length = uint32_t(f[at]) << 24 | f[at + 1] << 16 | f[at + 2] << 8 | f[at + 3];
    if (length > f.size() - at - 12) break;
    uLong crc = crc32(0, &f[at + 4], uInt(4 + length));
    for (int k = 0; k < 4; ++k) f[at + 8 + length + k] = uint8_t(crc >> (24 - 8 * k));
    at += 12 + size_t(length);
  }
}

}  // namespace

TEST(PngReader, RgbRowsUnderEveryFilterAndInterlacing) {
  const RawImage img = RgbPattern(7, 6);
  for (int filter = -1; filter <= 4; ++filter) {
    SCOPED_TRACE(filter);
    ExpectRgbPattern(Decode(Png(img, 2, false, {}, filter)), img);
    ExpectRgbPattern(Decode(Png(img, 2, true, {}, filter)), img);
  }
  // Narrower and shorter than the interlace grid: empty passes are skipped.
  for (uint32_t w = 1; w <= 5; ++w) {
    const RawImage small = RgbPattern(w, 3);
    ExpectRgbPattern(Decode(Png(small, 2, true, {}, -1)), small);
  }
}

TEST(PngReader, GreyscaleLevelsAtEveryDepth) {
  struct Case {
    int depth;
    std::vector<int> samples, levels;
  };
  const Case cases[] = {{1, {0, 1}, {0, 255}},
                        {2, {0, 1, 2, 3}, {0, 85, 170, 255}},
                        {4, {0, 1, 9, 15}, {0, 17, 153, 255}},
                        {8, {0, 7, 128, 255}, {0, 7, 128, 255}}};
  for (const Case& c : cases)
    for (bool interlace : {false, true}) {
      SCOPED_TRACE(c.depth);
      RawImage img = MakeImage(uint32_t(c.samples.size()) * 3, 3, c.depth, 1);
      for (uint32_t y = 0; y < img.Height; ++y)
        for (uint32_t x = 0; x < img.Width; ++x)
          *img.At(x, y) = uint8_t(c.samples[(x + y) % c.samples.size()]);
      const Bitmap24 b = Decode(Png(img, 0, interlace, {}, -1));
      for (uint32_t y = 0; y < img.Height; ++y)
        for (uint32_t x = 0; x < img.Width; ++x)
          ASSERT_EQ(Px(b, int(x), int(y)), Grey(c.levels[(x + y) % c.samples.size()])) << x << "," << y;
    }
}

TEST(PngReader, SixteenBitSamplesKeepTheirHighByte) {
  RawImage grey = MakeImage(2, 1, 16, 1);
  grey.Pixels = {0x12, 0xFF, 0xAB, 0x01};
  const Bitmap24 g = Decode(Png(grey, 0));
  EXPECT_EQ(Px(g, 0, 0), Grey(0x12));
  EXPECT_EQ(Px(g, 1, 0), Grey(0xAB));

  RawImage rgb = MakeImage(1, 1, 16, 3);
  rgb.Pixels = {0x10, 0xEE, 0x20, 0xDD, 0x30, 0xCC};
  EXPECT_EQ(Px(Decode(Png(rgb, 2, true)), 0, 0), (std::vector<int>{0x30, 0x20, 0x10}));
}

TEST(PngReader, AlphaBlendsOverBlack) {
  RawImage rgba = MakeImage(3, 1, 8, 4);
  rgba.Pixels = {200, 100, 50, 255, 200, 100, 50, 0, 200, 100, 50, 128};
  const Bitmap24 b = Decode(Png(rgba, 6));
  EXPECT_EQ(Px(b, 0, 0), (std::vector<int>{50, 100, 200}));
  EXPECT_EQ(Px(b, 1, 0), (std::vector<int>{0, 0, 0}));
  // (128 * c + 255) div 256
  EXPECT_EQ(Px(b, 2, 0), (std::vector<int>{25, 50, 100}));

  RawImage ga = MakeImage(2, 1, 16, 2);
  ga.Pixels = {0xC8, 0x00, 0x80, 0xFF, 0x64, 0xFF, 0xFF, 0x00};
  const Bitmap24 g = Decode(Png(ga, 4));
  EXPECT_EQ(Px(g, 0, 0), Grey(100));
  EXPECT_EQ(Px(g, 1, 0), Grey(100));
}

TEST(PngReader, PalettesAtEveryDepthWithTransparency) {
  const Bytes plte = Chunk("PLTE", PaletteData({10, 20, 30, 40, 50, 60, 70, 80, 90, 255, 0, 128}));
  for (int depth : {1, 2, 4, 8}) {
    SCOPED_TRACE(depth);
    const int entries = depth == 1 ? 2 : 4;
    RawImage img = MakeImage(9, 2, depth, 1);
    for (uint32_t x = 0; x < 9; ++x) *img.At(x, 0) = *img.At(x, 1) = uint8_t(x % entries);
    for (bool interlace : {false, true}) {
      const Bitmap24 b = Decode(Png(img, 3, interlace, plte));
      EXPECT_EQ(Px(b, 0, 1), (std::vector<int>{30, 20, 10}));
      EXPECT_EQ(Px(b, 1, 1), (std::vector<int>{60, 50, 40}));
      if (entries == 4) {
        EXPECT_EQ(Px(b, 7, 0), (std::vector<int>{128, 0, 255}));
      }
    }
  }
  RawImage img = MakeImage(4, 1, 8, 1);
  img.Pixels = {0, 1, 2, 3};
  // Several alpha entries: each index blends by its own alpha.
  Bytes partial = plte;
  const Bytes trns = Chunk("tRNS", {255, 0, 128});
  partial.insert(partial.end(), trns.begin(), trns.end());
  const Bitmap24 p = Decode(Png(img, 3, false, partial));
  EXPECT_EQ(Px(p, 0, 0), (std::vector<int>{30, 20, 10}));
  EXPECT_EQ(Px(p, 1, 0), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(Px(p, 2, 0), (std::vector<int>{45, 40, 35}));
  EXPECT_EQ(Px(p, 3, 0), (std::vector<int>{128, 0, 255}));  // beyond the stored entries: opaque
  // One transparent entry: its colour vanishes, the others stay opaque.
  Bytes single = plte;
  const Bytes one = Chunk("tRNS", {255, 255, 0});
  single.insert(single.end(), one.begin(), one.end());
  const Bitmap24 s = Decode(Png(img, 3, false, single));
  EXPECT_EQ(Px(s, 1, 0), (std::vector<int>{60, 50, 40}));
  EXPECT_EQ(Px(s, 2, 0), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(Px(s, 3, 0), (std::vector<int>{128, 0, 255}));
  // One entry only partly transparent has no colour to key out: it blends
  // over black as several would, and black entries stay as they are.
  Bytes half = plte;
  const Bytes partOne = Chunk("tRNS", {255, 128});
  half.insert(half.end(), partOne.begin(), partOne.end());
  const Bitmap24 h = Decode(Png(img, 3, false, half));
  EXPECT_EQ(Px(h, 0, 0), (std::vector<int>{30, 20, 10}));
  EXPECT_EQ(Px(h, 1, 0), (std::vector<int>{30, 25, 20}));
  EXPECT_EQ(Px(h, 2, 0), (std::vector<int>{90, 80, 70}));
  // An index beyond the palette shows black.
  img.Pixels = {9, 0, 0, 0};
  EXPECT_EQ(Px(Decode(Png(img, 3, false, plte)), 0, 0), (std::vector<int>{0, 0, 0}));
}

TEST(PngReader, PaletteTransparencyBelongsToTheIndexNotTheColour) {
  // Entries 0 and 1 are both white; only entry 0 is transparent.
  Bytes extra = Chunk("PLTE", PaletteData({255, 255, 255, 255, 255, 255}));
  const Bytes trns = Chunk("tRNS", {0});
  extra.insert(extra.end(), trns.begin(), trns.end());
  RawImage img = MakeImage(2, 1, 8, 1);
  img.Pixels = {0, 1};
  const Bitmap24 b = Decode(Png(img, 3, false, extra));
  EXPECT_EQ(Px(b, 0, 0), Grey(0));
  EXPECT_EQ(Px(b, 1, 0), Grey(255));
  // The same at 1 bit per pixel, interlaced, and with a partly transparent
  // third entry of the same colour beside them.
  RawImage bits = MakeImage(3, 2, 1, 1);
  bits.Pixels = {1, 0, 1, 0, 1, 1};
  const Bitmap24 i = Decode(Png(bits, 3, true, extra));
  EXPECT_EQ(Px(i, 0, 0), Grey(255));
  EXPECT_EQ(Px(i, 1, 0), Grey(0));
  EXPECT_EQ(Px(i, 0, 1), Grey(0));
  EXPECT_EQ(Px(i, 2, 1), Grey(255));
  Bytes three = Chunk("PLTE", PaletteData({255, 255, 255, 255, 255, 255, 255, 255, 255}));
  const Bytes alphas = Chunk("tRNS", {0, 255, 128});
  three.insert(three.end(), alphas.begin(), alphas.end());
  img.Pixels = {2, 1};
  const Bitmap24 h = Decode(Png(img, 3, false, three));
  EXPECT_EQ(Px(h, 0, 0), Grey(128));  // (128 * 255 + 255) div 256
  EXPECT_EQ(Px(h, 1, 0), Grey(255));
}

TEST(PngReader, OneTransparentColourShowsBlack) {
  RawImage grey = MakeImage(3, 1, 8, 1);
  grey.Pixels = {200, 201, 0};
  const Bitmap24 g = Decode(Png(grey, 0, false, Chunk("tRNS", {0, 200})));
  EXPECT_EQ(Px(g, 0, 0), Grey(0));
  EXPECT_EQ(Px(g, 1, 0), Grey(201));

  RawImage low = MakeImage(4, 1, 2, 1);
  low.Pixels = {0, 1, 2, 3};
  const Bitmap24 l = Decode(Png(low, 0, true, Chunk("tRNS", {0, 2})));
  EXPECT_EQ(Px(l, 1, 0), Grey(85));
  EXPECT_EQ(Px(l, 2, 0), Grey(0));
  EXPECT_EQ(Px(l, 3, 0), Grey(255));

  RawImage rgb = MakeImage(2, 1, 8, 3);
  rgb.Pixels = {1, 2, 3, 1, 2, 4};
  const Bitmap24 c = Decode(Png(rgb, 2, false, Chunk("tRNS", {0, 1, 0, 2, 0, 3})));
  EXPECT_EQ(Px(c, 0, 0), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(Px(c, 1, 0), (std::vector<int>{4, 2, 1}));
}

TEST(PngReader, GammaCorrection) {
  Bytes gama50;
  Put32(gama50, 50000);
  const Bytes gamaChunk = Chunk("gAMA", gama50);

  RawImage rgb = MakeImage(1, 1, 8, 3);
  rgb.Pixels = {10, 128, 200};
  EXPECT_EQ(Px(Decode(Png(rgb, 2, false, gamaChunk)), 0, 0), (std::vector<int>{204, 136, 13}));

  RawImage grey = MakeImage(1, 1, 8, 1);
  grey.Pixels = {128};
  EXPECT_EQ(Px(Decode(Png(grey, 0, false, gamaChunk)), 0, 0), Grey(136));

  // A palette takes the gamma only from a gAMA chunk that came before it.
  const Bytes plte = Chunk("PLTE", {128, 10, 200});
  RawImage idx = MakeImage(1, 1, 8, 1);
  Bytes before = gamaChunk, after = plte;
  before.insert(before.end(), plte.begin(), plte.end());
  after.insert(after.end(), gamaChunk.begin(), gamaChunk.end());
  EXPECT_EQ(Px(Decode(Png(idx, 3, false, before)), 0, 0), (std::vector<int>{204, 13, 136}));
  EXPECT_EQ(Px(Decode(Png(idx, 3, false, after)), 0, 0), (std::vector<int>{200, 10, 128}));

  // A gAMA of zero or of the wrong length leaves the picture uncorrected.
  EXPECT_EQ(Px(Decode(Png(rgb, 2, false, Chunk("gAMA", {0, 0, 0, 0}))), 0, 0),
            (std::vector<int>{200, 128, 10}));
  EXPECT_EQ(Px(Decode(Png(rgb, 2, false, Chunk("gAMA", {0, 0, 1}))), 0, 0), (std::vector<int>{200, 128, 10}));
}

TEST(PngReader, ImageDataOverSeveralChunks) {
  const RawImage img = RgbPattern(9, 7);
  const Bytes z = Zlib(Scanlines(img, false, -1));
  const size_t third = z.size() / 3;
  const Bytes a(z.begin(), z.begin() + third), b(z.begin() + third, z.begin() + 2 * third),
      c(z.begin() + 2 * third, z.end());
  const Bytes ihdr = Chunk("IHDR", IhdrData(9, 7, 8, 2));
  ExpectRgbPattern(Decode(File({ihdr, Chunk("IDAT", a), Chunk("IDAT", {}), Chunk("IDAT", b), Chunk("IDAT", c),
                                Chunk("IEND", {})})),
                   img);
  // Surplus image-data chunks after the complete stream are passed over.
  ExpectRgbPattern(Decode(File({ihdr, Chunk("IDAT", z), Chunk("IDAT", {1, 2, 3}), Chunk("IEND", {})})), img);
  EXPECT_EQ(MessageOf<EPNGMissingMultipleIDAT>(File(
                {ihdr, Chunk("IDAT", a), Chunk("tEXt", {'a', 0, 'b'}), Chunk("IDAT", b), Chunk("IEND", {})})),
            "This \"Portable Network Graphics\" image is invalid because it has missing image parts.");
}

TEST(PngReader, ImageDataEndingEarlyLeavesTheRestBlack) {
  RawImage img = RgbPattern(4, 4);
  RawImage top = img;
  top.Height = 2;
  top.Pixels.resize(top.Pixels.size() / 2);
  const Bitmap24 b = Decode(File(
      {Chunk("IHDR", IhdrData(4, 4, 8, 2)), Chunk("IDAT", Zlib(Scanlines(top, false))), Chunk("IEND", {})}));
  EXPECT_EQ(Px(b, 3, 1), (std::vector<int>{img.At(3, 1)[2], img.At(3, 1)[1], img.At(3, 1)[0]}));
  EXPECT_EQ(Px(b, 0, 2), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(Px(b, 3, 3), (std::vector<int>{0, 0, 0}));
}

TEST(PngReader, ChunksThatAreSkippedKeptOrRefused) {
  const RawImage img = RgbPattern(2, 2);
  const Bytes ihdr = Chunk("IHDR", IhdrData(2, 2, 8, 2));
  const Bytes idat = Chunk("IDAT", Zlib(Scanlines(img, false)));
  const Bytes iend = Chunk("IEND", {});
  Bytes chrm = Chunk("cHRM", {1, 2, 3, 4});
  chrm.back() ^= 0xFF;  // its CRC is never looked at
  ExpectRgbPattern(Decode(File({ihdr, chrm, Chunk("abCd", {9}), Chunk("tIME", {7, 1, 2, 3, 4, 5, 6}),
                                Chunk("zTXt", {'k', 0, 0, 1, 2}), idat, chrm, iend})),
                   img);
  EXPECT_EQ(MessageOf<EPNGUnknownCriticalChunk>(File({ihdr, Chunk("ABCd", {}), idat, iend})),
            "This \"Portable Network Graphics\" image contains an unknown critical part which could not be "
            "decoded.");
  Bytes text = Chunk("tEXt", {'a', 0, 'b'});
  text[9] ^= 1;
  EXPECT_EQ(
      MessageOf<EPngInvalidCRC>(File({ihdr, text, idat, iend})),
      "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data "
      "(crc error)");
  Bytes badIdat = idat;
  badIdat.back() ^= 1;
  EXPECT_EQ(MessageOf<EPngInvalidCRC>(File({ihdr, badIdat, iend})),
            MessageOf<EPngInvalidCRC>(File({ihdr, text, idat, iend})));
  EXPECT_EQ(MessageOf<EPNGNoImageData>(File({ihdr, iend})),
            "This \"Portable Network Graphics\" image contains no data.");
  EXPECT_EQ(
      MessageOf<EPNGIHDRNotFirst>(File({Chunk("gAMA", {0, 1, 0, 0}), ihdr, idat, iend})),
      "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n(IHDR chunk is "
      "not the first)");
  EXPECT_EQ(MessageOf<EPNGInvalidPalette>(
                File({Chunk("IHDR", IhdrData(2, 2, 8, 3)), Chunk("PLTE", {1, 2}), idat, iend})),
            "The \"Portable Network Graphics\" image contains an invalid palette.");
  EXPECT_EQ(MessageOf<EPNGInvalidPalette>(File({ihdr, Chunk("tRNS", Bytes(257, 1)), idat, iend})),
            "The \"Portable Network Graphics\" image contains an invalid palette.");
}

TEST(PngReader, SignatureAndHeaderChecks) {
  const Bytes good = Png(RgbPattern(2, 2), 2);
  for (size_t i = 0; i < 8; ++i) {
    Bytes f = good;
    f[i] ^= 0x40;
    EXPECT_EQ(
        MessageOf<EPNGInvalidFileHeader>(f),
        "The file being readed is not a valid \"Portable Network Graphics\" image because it contains an "
        "invalid header. This file may be corruped, try obtaining it again.");
  }
  const Bytes idat = Chunk("IDAT", Zlib(Scanlines(RgbPattern(2, 2), false)));
  auto withHeader = [&](const Bytes& ihdrData) {
    return File({Chunk("IHDR", ihdrData), idat, Chunk("IEND", {})});
  };
  Bytes h = IhdrData(65536, 2, 8, 2);
  EXPECT_EQ(
      MessageOf<EPNGSizeExceeds>(withHeader(h)),
      "This \"Portable Network Graphics\" image is not supported because either it's width or height exceeds "
      "the maximum size, which is 65535 pixels length.");
  h = IhdrData(2, 2, 8, 2);
  h[10] = 1;
  EXPECT_EQ(MessageOf<EPNGUnknownCompression>(withHeader(h)),
            "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme which "
            "could not "
            "be decoded.");
  EXPECT_EQ(MessageOf<EPNGUnknownInterlace>(withHeader(IhdrData(2, 2, 8, 2, 2))),
            "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not be "
            "decoded.");
  const std::string badIhdr =
      "The \"Portable Network Graphics\" image could not be loaded because one of its main piece of data "
      "(ihdr) "
      "might be corrupted";
  h = IhdrData(2, 2, 8, 2);
  h.pop_back();
  EXPECT_EQ(MessageOf<EPngInvalidIHDR>(withHeader(h)), badIhdr);
  EXPECT_EQ(MessageOf<EPngInvalidIHDR>(withHeader(IhdrData(0, 2, 8, 2))), badIhdr);
  EXPECT_EQ(MessageOf<EPngInvalidIHDR>(withHeader(IhdrData(2, 2, 4, 2))), badIhdr);
  EXPECT_EQ(MessageOf<EPngInvalidIHDR>(withHeader(IhdrData(2, 2, 16, 3))), badIhdr);
  EXPECT_EQ(MessageOf<EPngInvalidIHDR>(withHeader(IhdrData(2, 2, 8, 5))), badIhdr);
  // A picture beyond the readers' size cap is not allocated.
  EXPECT_EQ(MessageOf<EPNGOutMemory>(withHeader(IhdrData(65535, 65535, 16, 6))),
            "Some operation could not be performed because the system is out of resources. Close some windows "
            "and try again.");
}

TEST(PngReader, BadCompressedData) {
  Bytes z = Zlib(Scanlines(RgbPattern(3, 3), false));
  z[0] = 0x79;  // not a deflate stream header
  const std::string m = MessageOf<EPNGZLIBError>(
      File({Chunk("IHDR", IhdrData(3, 3, 8, 2)), Chunk("IDAT", z), Chunk("IEND", {})}));
  EXPECT_EQ(
      m.rfind("Could not decompress the image because it contains invalid compressed data.\r\n Description: ",
              0),
      0u)
      << m;
  EXPECT_GT(m.size(), 90u);
}

TEST(PngReader, EveryTruncationAndRandomCorruptionFailsCleanly) {
  RawImage img = RgbPattern(11, 9);
  Bytes plte;
  for (int i = 0; i < 48; ++i) plte.push_back(uint8_t(i * 5));
  RawImage idx = MakeImage(13, 5, 4, 1);
  for (size_t i = 0; i < idx.Pixels.size(); ++i) idx.Pixels[i] = uint8_t(i * 7 % 16);
  Bytes before = Chunk("PLTE", plte);
  const Bytes trns = Chunk("tRNS", {0, 9});
  before.insert(before.end(), trns.begin(), trns.end());
  const Bytes files[] = {Png(img, 2, true, Chunk("gAMA", {0, 0, 0xB1, 0x8F}), -1),
                         Png(idx, 3, false, before, -1)};
  for (const Bytes& good : files) {
    ASSERT_NO_THROW(Decode(good));
    for (size_t n = 0; n < good.size(); ++n) {
      const Bytes cut(good.begin(), good.begin() + n);
      EXPECT_THROW(Decode(cut), EInvalidGraphic) << n;
    }
    std::mt19937 rng(1234);
    for (int i = 0; i < 600; ++i) {
      Bytes f = good;
      f[rng() % f.size()] = uint8_t(rng());
      // Half of them with every CRC made right again, so the damage reaches
      // the header checks and the decoder.
      if (i % 2) FixCrcs(f);
      try {
        Decode(f);
      } catch (const EInvalidGraphic&) {
      } catch (const EOutOfResources&) {
      }
    }
  }
}

TEST(PngReader, ReadsFilesAndKeepsThePictureOnFailure) {
  ScratchDir dir;
  const RawImage img = RgbPattern(3, 2);
  Bytes f = Png(img, 2);
  WriteFileReplacing(dir / "a.png", f);
  Bitmap24 b;
  ReadPNGFile(dir / "a.png", b);
  ExpectRgbPattern(b, img);
  f.resize(f.size() - 5);
  WriteFileReplacing(dir / "b.png", f);
  EXPECT_THROW(ReadPNGFile(dir / "b.png", b), EPngUnexpectedEnd);
  ExpectRgbPattern(b, img);
  EXPECT_THROW(ReadPNGFile(dir / "missing.png", b), EFileError);
}
