#include "platform/Bmp.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/Errors.h"
#include "platform/TestSupport.h"

namespace {

void Put16(std::vector<uint8_t>& v, size_t o, uint32_t x) {
  v[o] = uint8_t(x);
  v[o + 1] = uint8_t(x >> 8);
}
void Put32(std::vector<uint8_t>& v, size_t o, uint32_t x) {
  Put16(v, o, x & 0xFFFF);
  Put16(v, o + 2, x >> 16);
}

// A device-independent bitmap: info header, masks, palette (0xRRGGBB), pixels.
struct Dib {
  int32_t Width = 1, Height = 1;
  uint16_t Bits = 24;
  uint32_t Compression = 0;
  uint32_t HeaderSize = 40;
  uint32_t ColorsUsed = 0;
  std::vector<uint32_t> Masks;
  std::vector<uint32_t> Palette;
  std::vector<uint8_t> Pixels;

  std::vector<uint8_t> Bytes() const {
    const bool core = HeaderSize == 12;
    std::vector<uint8_t> v(std::max<size_t>(HeaderSize, 40), 0);
    Put32(v, 0, HeaderSize);
    if (core) {
      Put16(v, 4, uint32_t(Width));
      Put16(v, 6, uint32_t(Height));
      Put16(v, 8, 1);
      Put16(v, 10, Bits);
    } else {
      Put32(v, 4, uint32_t(Width));
      Put32(v, 8, uint32_t(Height));
      Put16(v, 12, 1);
      Put16(v, 14, Bits);
      Put32(v, 16, Compression);
      Put32(v, 32, ColorsUsed);
      for (size_t i = 0; i < Masks.size() && HeaderSize > 40; ++i) Put32(v, 40 + 4 * i, Masks[i]);
    }
    v.resize(HeaderSize);
    if (HeaderSize == 40)
      for (uint32_t m : Masks) {
        v.resize(v.size() + 4);
        Put32(v, v.size() - 4, m);
      }
    for (uint32_t c : Palette) {
      v.push_back(uint8_t(c));
      v.push_back(uint8_t(c >> 8));
      v.push_back(uint8_t(c >> 16));
      if (!core) v.push_back(0);
    }
    v.insert(v.end(), Pixels.begin(), Pixels.end());
    return v;
  }

  // As a .bmp file, with the pixel offset filled in.
  std::vector<uint8_t> File() const {
    std::vector<uint8_t> dib = Bytes();
    std::vector<uint8_t> f(14, 0);
    f[0] = 'B';
    f[1] = 'M';
    Put32(f, 2, uint32_t(14 + dib.size()));
    Put32(f, 10, uint32_t(14 + dib.size() - Pixels.size()));
    f.insert(f.end(), dib.begin(), dib.end());
    return f;
  }
};

Bitmap24 Read(const std::vector<uint8_t>& f) {
  Bitmap24 b;
  ReadBMP(f.data(), f.size(), b);
  return b;
}

std::vector<TColor> Pixels(const Bitmap24& b) {
  std::vector<TColor> r;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) r.push_back(b.Pixel(x, y));
  return r;
}

std::string ErrorOf(const std::vector<uint8_t>& f) {
  try {
    Read(f);
  } catch (const EInvalidGraphic& e) {
    return e.what();
  }
  return "";
}

TEST(Bmp, Writes24BitFilesByteForByte) {
  Bitmap24 b(2, 2);
  b.SetPixel(0, 0, RGB(1, 2, 3));
  b.SetPixel(1, 0, RGB(4, 5, 6));
  b.SetPixel(0, 1, RGB(7, 8, 9));
  b.SetPixel(1, 1, RGB(10, 11, 12));
  const std::vector<uint8_t> expected = {
      'B', 'M', 70, 0,  0,  0,  0, 0, 0, 0, 54, 0, 0, 0,                     // file header
      40,  0,   0,  0,  2,  0,  0, 0, 2, 0, 0,  0, 1, 0, 24, 0, 0, 0, 0, 0,  // info header
      16,  0,   0,  0,  0,  0,  0, 0, 0, 0, 0,  0, 0, 0, 0,  0, 0, 0, 0, 0,  //
      9,   8,   7,  12, 11, 10, 0, 0,                                        // bottom row first
      3,   2,   1,  6,  5,  4,  0, 0};
  EXPECT_EQ(EncodeBMP24(b), expected);
  EXPECT_EQ(Read(expected), b);

  TestDir dir("bmp-write");
  const std::string f = dir.File("out.bmp");
  WriteText(f, "old");
  WriteBMPFile(b, f);
  EXPECT_EQ(ReadText(f), std::string(expected.begin(), expected.end()));
  Bitmap24 back;
  ReadBMPFile(f, back);
  EXPECT_EQ(back, b);
  EXPECT_THROW(EncodeBMP24(Bitmap24()), EInvalidGraphic);
}

TEST(Bmp, PalettedDepthsBottomUpAndTopDown) {
  Dib d;
  d.Width = 9;
  d.Height = 2;
  d.Bits = 1;
  d.Palette = {0x000000, 0xFFFFFF};
  // Bottom row: 1 0 0 0 0 0 0 0 1; top row: 0 1 ... (each row padded to 4 bytes).
  d.Pixels = {0x80, 0x80, 0, 0, 0x40, 0x00, 0, 0};
  std::vector<TColor> want(18, clBlack);
  want[9] = want[17] = clWhite;
  want[1] = clWhite;
  EXPECT_EQ(Pixels(Read(d.File())), want);

  d.Width = 3;
  d.Height = -1;  // top-down
  d.Bits = 4;
  d.ColorsUsed = 3;
  d.Palette = {0x112233, 0x445566, 0x778899};
  d.Pixels = {0x21, 0x00, 0, 0};
  EXPECT_EQ(Pixels(Read(d.File())),
            (std::vector<TColor>{RGB(0x77, 0x88, 0x99), RGB(0x44, 0x55, 0x66), RGB(0x11, 0x22, 0x33)}));
  // An index beyond the stored palette shows black.
  d.Pixels = {0x2F, 0x00, 0, 0};
  EXPECT_EQ(Read(d.File()).Pixel(1, 0), clBlack);

  d.Width = 2;
  d.Height = -2;
  d.Bits = 8;
  d.ColorsUsed = 0;
  d.Palette.assign(256, 0);
  d.Palette[200] = 0xABCDEF;
  d.Pixels = {200, 0, 0, 0, 0, 200, 0, 0};
  EXPECT_EQ(Pixels(Read(d.File())),
            (std::vector<TColor>{RGB(0xAB, 0xCD, 0xEF), 0, 0, RGB(0xAB, 0xCD, 0xEF)}));
}

TEST(Bmp, CoreHeaderWithThreeBytePalette) {
  Dib d;
  d.HeaderSize = 12;
  d.Width = 2;
  d.Height = 1;
  d.Bits = 1;
  d.Palette = {0x0000FF, 0xFF0000};
  d.Pixels = {0x40, 0, 0, 0};
  EXPECT_EQ(Pixels(Read(d.File())), (std::vector<TColor>{RGB(0, 0, 255), RGB(255, 0, 0)}));
}

TEST(Bmp, SixteenAndThirtyTwoBitsWithAndWithoutMasks) {
  Dib d;
  d.Width = 2;
  d.Bits = 16;
  // 5-5-5: pure red, then r=1 g=2 b=31.
  d.Pixels = {0x00, 0x7C, 0x5F, 0x04};
  EXPECT_EQ(Pixels(Read(d.File())), (std::vector<TColor>{RGB(255, 0, 0), RGB(8, 16, 255)}));
  // 5-6-5 through masks: g=63 is full green, g=1 is 4.
  d.Compression = 3;
  d.Masks = {0xF800, 0x07E0, 0x001F};
  d.Pixels = {0xE0, 0x07, 0x20, 0x00};
  EXPECT_EQ(Pixels(Read(d.File())), (std::vector<TColor>{RGB(0, 255, 0), RGB(0, 4, 0)}));
  // The same masks inside a version 4 header.
  d.HeaderSize = 108;
  EXPECT_EQ(Pixels(Read(d.File())), (std::vector<TColor>{RGB(0, 255, 0), RGB(0, 4, 0)}));

  Dib e;
  e.Width = 1;
  e.Bits = 32;
  e.Pixels = {0x10, 0x20, 0x30, 0x99};  // B G R, the fourth byte ignored
  EXPECT_EQ(Read(e.File()).Pixel(0, 0), RGB(0x30, 0x20, 0x10));
  e.Compression = 3;
  e.Masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // R G B in memory order
  EXPECT_EQ(Read(e.File()).Pixel(0, 0), RGB(0x10, 0x20, 0x30));
}

TEST(Bmp, RunLengthEncoded) {
  Dib d;
  d.Width = 6;
  d.Height = 3;
  d.Bits = 8;
  d.Compression = 1;
  d.ColorsUsed = 4;
  d.Palette = {0x000010, 0x0000FF, 0x00FF00, 0xFF0000};
  d.Pixels = {3, 1,              // bottom row: three of index 1
              0, 3, 2, 3, 2, 0,  // literal 2 3 2, padded
              0, 0,              // end of line
              0, 2, 2, 1,        // delta: right 2, up 1 (row 2 from the bottom)
              1, 3,              // one of index 3 at x = 2
              0, 1};             // end of picture
  const TColor z = RGB(0, 0, 0x10), r = RGB(0, 0, 255), g = RGB(0, 255, 0), b = RGB(255, 0, 0);
  EXPECT_EQ(Pixels(Read(d.File())), (std::vector<TColor>{z, z, b, z, z, z,  // top row
                                                         z, z, z, z, z, z,  // skipped
                                                         r, r, r, g, b, g}));

  d.Bits = 4;
  d.Compression = 2;
  d.Width = 5;
  d.Height = 1;
  d.Palette = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
  d.ColorsUsed = 4;
  d.Pixels = {3, 0x12, 0, 3, 0x30, 0x10, 0, 1};  // 1 2 1, then literal 3 0 (1 clipped)
  EXPECT_EQ(Pixels(Read(d.File())), (std::vector<TColor>{r, g, r, b, 0}));

  // Runs running off the row are clipped, not written elsewhere.
  d.Pixels = {255, 0x11, 0, 1};
  EXPECT_EQ(Pixels(Read(d.File())), (std::vector<TColor>{r, r, r, r, r}));
  // A stream that ends before its end-of-picture code is truncated.
  d.Pixels = {3, 0x12};
  EXPECT_NE(ErrorOf(d.File()), "");
}

TEST(Bmp, HeaderFieldsAreCheckedBeforeAllocating) {
  Dib d;
  d.Width = 100000;
  d.Height = 100000;
  d.Pixels = {1, 2, 3, 4};
  EXPECT_EQ(ErrorOf(d.File()),
            "Bitmap data is truncated (100000 x 100000 at 24 bits needs 30000000000 bytes, 4 "
            "found)");
  d.Height = int32_t(0x80000000u);
  EXPECT_NE(ErrorOf(d.File()), "");
  d.Width = 0;
  d.Height = 1;
  EXPECT_EQ(ErrorOf(d.File()), "Bitmap has an invalid size (0 x 1)");
  d.Width = -5;
  EXPECT_EQ(ErrorOf(d.File()), "Bitmap has an invalid size (-5 x 1)");
  d.Width = 1;
  d.Bits = 7;
  EXPECT_EQ(ErrorOf(d.File()), "Bitmap has an unsupported colour depth (7 bits)");
  d.Bits = 24;
  d.Compression = 1;
  EXPECT_EQ(ErrorOf(d.File()), "Bitmap has an unsupported compression (1 at 24 bits)");
  d.Compression = 4;  // embedded JPEG
  EXPECT_NE(ErrorOf(d.File()), "");
  d.Compression = 0;
  d.HeaderSize = 20;
  EXPECT_EQ(ErrorOf(d.File()), "Bitmap has an unsupported header size (20)");
  EXPECT_EQ(ErrorOf({'G', 'I', 'F', '8'}), "Not a bitmap file (no \"BM\" signature)");
  EXPECT_EQ(ErrorOf({}), "Not a bitmap file (no \"BM\" signature)");

  // RLE can claim any size in a few bytes; an implausible one is refused.
  Dib r;
  r.Bits = 8;
  r.Compression = 1;
  r.Width = 60000;
  r.Height = 60000;
  r.Palette = {0};
  r.ColorsUsed = 1;
  r.Pixels = {0, 1};
  EXPECT_NE(ErrorOf(r.File()), "");
  // A top-down RLE picture is malformed.
  r.Width = r.Height = 1;
  r.Height = -1;
  EXPECT_EQ(ErrorOf(r.File()), "Bitmap is compressed but stored top-down");
}

TEST(Bmp, EveryTruncationAndRandomDamageIsAnErrorNotACrash) {
  Dib d;
  d.Width = 5;
  d.Height = 3;
  d.Bits = 8;
  d.Palette.assign(256, 0x123456);
  d.Pixels.assign(24, 7);
  const std::vector<uint8_t> good = d.File();
  // The last row may lack its padding (3 bytes here); anything shorter fails.
  for (size_t n = 0; n + 3 < good.size(); ++n)
    EXPECT_NE(ErrorOf(std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(n))), "") << n;
  EXPECT_EQ(Read(std::vector<uint8_t>(good.begin(), good.end() - 3)), Read(good));

  Dib rle;
  rle.Width = 7;
  rle.Height = 4;
  rle.Bits = 4;
  rle.Compression = 2;
  rle.Palette.assign(16, 0xFFFFFF);
  rle.Pixels = {5, 0x12, 0, 5, 0x12, 0x34, 0x50, 0, 0, 0, 0, 2, 3, 1, 2, 0x77, 0, 1};
  std::mt19937 rng(12345);
  for (const std::vector<uint8_t>& base : {good, rle.File()}) {
    for (int round = 0; round < 3000; ++round) {
      std::vector<uint8_t> f = base;
      const int hits = 1 + int(rng() % 4);
      for (int i = 0; i < hits; ++i) f[rng() % f.size()] = uint8_t(rng());
      Bitmap24 b;
      try {
        ReadBMP(f.data(), f.size(), b);
      } catch (const EVitrane&) {
      }
    }
  }
}

TEST(Bmp, MissingFileRaises) {
  Bitmap24 b;
  EXPECT_THROW(ReadBMPFile("/nonexistent/x.bmp", b), EFileError);
  EXPECT_THROW(ReadICOFile("/nonexistent/x.ico", b), EFileError);
}

// An icon file from images given as (width, height, bits, image bytes).
struct IconImage {
  int Width, Height, Bits;
  std::vector<uint8_t> Data;
};

std::vector<uint8_t> Icon(const std::vector<IconImage>& images) {
  std::vector<uint8_t> f(6 + 16 * images.size(), 0);
  Put16(f, 2, 1);
  Put16(f, 4, uint32_t(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const size_t e = 6 + 16 * i;
    f[e] = uint8_t(images[i].Width);
    f[e + 1] = uint8_t(images[i].Height);
    Put16(f, e + 4, 1);
    Put16(f, e + 6, uint32_t(images[i].Bits));
    Put32(f, e + 8, uint32_t(images[i].Data.size()));
    Put32(f, e + 12, uint32_t(f.size()));
    f.insert(f.end(), images[i].Data.begin(), images[i].Data.end());
  }
  return f;
}

// A 24-bit icon image of w x h in one colour with the given mask rows
// (bottom-up, one 32-bit row each).
IconImage Icon24(int w, int h, TColor c, const std::vector<uint32_t>& maskRows) {
  Dib d;
  d.Width = w;
  d.Height = 2 * h;
  const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
  for (int y = 0; y < h; ++y) {
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < w; ++x) {
      row[size_t(x) * 3] = GetBValue(c);
      row[size_t(x) * 3 + 1] = GetGValue(c);
      row[size_t(x) * 3 + 2] = GetRValue(c);
    }
    d.Pixels.insert(d.Pixels.end(), row.begin(), row.end());
  }
  for (uint32_t m : maskRows) {
    d.Pixels.push_back(uint8_t(m >> 24));
    d.Pixels.push_back(uint8_t(m >> 16));
    d.Pixels.push_back(uint8_t(m >> 8));
    d.Pixels.push_back(uint8_t(m));
  }
  return {w, h, 24, d.Bytes()};
}

Bitmap24 ReadIcon(const std::vector<uint8_t>& f) {
  Bitmap24 b;
  ReadICO(f.data(), f.size(), b);
  return b;
}

TEST(Ico, LargestImageWithMaskOverBlack) {
  const TColor c = RGB(10, 20, 30);
  // 2 x 2: bottom row's left pixel and top row's right pixel are transparent.
  const IconImage small = Icon24(2, 2, c, {0x80000000u, 0x40000000u});
  const IconImage big = Icon24(3, 2, RGB(1, 1, 1), {0, 0});
  EXPECT_EQ(Pixels(ReadIcon(Icon({small}))), (std::vector<TColor>{c, 0, 0, c}));
  const Bitmap24 b = ReadIcon(Icon({small, big}));
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Pixel(0, 0), RGB(1, 1, 1));
  EXPECT_EQ(ReadIcon(Icon({big, small})).Width(), 3);
}

TEST(Ico, AlphaChannelBlendsOverBlack) {
  Dib d;
  d.Width = 2;
  d.Height = 2;  // one row of colour, one of mask
  d.Bits = 32;
  d.Pixels = {200, 100, 50, 255, 200, 100, 50, 128, 0, 0, 0, 0};
  const Bitmap24 b = ReadIcon(Icon({{2, 1, 32, d.Bytes()}}));
  EXPECT_EQ(b.Pixel(0, 0), RGB(50, 100, 200));
  EXPECT_EQ(b.Pixel(1, 0), RGB(25, 50, 100));  // x * 128 / 255, rounded
  // A 32-bit image with an alpha channel needs no mask.
  d.Pixels.resize(8);
  EXPECT_EQ(ReadIcon(Icon({{2, 1, 32, d.Bytes()}})).Pixel(1, 0), RGB(25, 50, 100));
}

TEST(Ico, PngImages) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0};
  const IconImage small = Icon24(2, 2, RGB(5, 5, 5), {0, 0});
  // Without a PNG decoder the PNG image is passed over, or refused when alone.
  EXPECT_EQ(ReadIcon(Icon({small, {0, 0, 32, png}})).Width(), 2);
  Bitmap24 b;
  const std::vector<uint8_t> only = Icon({{0, 0, 32, png}});
  try {
    ReadICO(only.data(), only.size(), b);
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Icon holds only PNG-compressed images, which cannot be read");
  }
  SetPngIconDecoder([](const uint8_t*, size_t size, Bitmap24& out) {
    out.SetSize(int(size), 1);
    out.Fill(clRed);
  });
  const Bitmap24 p = ReadIcon(Icon({small, {0, 0, 32, png}}));
  SetPngIconDecoder(nullptr);
  EXPECT_EQ(p.Width(), 12);
  EXPECT_EQ(p.Pixel(0, 0), clRed);
}

TEST(Ico, BadIconsRaise) {
  Bitmap24 b;
  auto err = [&](const std::vector<uint8_t>& f) {
    try {
      ReadICO(f.data(), f.size(), b);
    } catch (const EInvalidGraphic& e) {
      return std::string(e.what());
    }
    return std::string();
  };
  EXPECT_EQ(err({0, 0, 1, 0, 0, 0}), "Icon file holds no images");
  EXPECT_EQ(err({'B', 'M', 1, 0, 1, 0}), "Not an icon file");
  EXPECT_EQ(err({0, 0, 1, 0, 5, 0}), "Icon file is truncated");
  const std::vector<uint8_t> good = Icon({Icon24(2, 2, RGB(1, 2, 3), {0, 0})});
  for (size_t n = 0; n + 1 < good.size(); ++n)
    EXPECT_NE(err(std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(n))), "") << n;
  std::mt19937 rng(777);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> f = good;
    f[rng() % f.size()] = uint8_t(rng());
    f[rng() % 40] = uint8_t(rng());
    try {
      ReadICO(f.data(), f.size(), b);
    } catch (const EVitrane&) {
    }
  }
}

}  // namespace
