#include "platform/Jpeg.h"

#include <gtest/gtest.h>
#include <stdio.h>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <cstdlib>
#include <functional>
#include <random>

#include "platform/Errors.h"
#include "platform/TestSupport.h"
#include "platform/Utils.h"

namespace {

// How a test picture is written with libjpeg directly, for the kinds the
// program never writes itself.
struct Kind {
  J_COLOR_SPACE In = JCS_RGB;  // what the samples are
  int Components = 3;
  J_COLOR_SPACE Stored = JCS_YCbCr;  // what the file holds
  bool Progressive = false;
  bool Adobe = true;  // only matters for CMYK/YCCK
  int Quality = 100;
};

// The samples of pixel (x, y), Components bytes.
using SampleFn = std::function<void(int x, int y, uint8_t* px)>;

std::vector<uint8_t> WriteJpeg(int w, int h, const Kind& k, const SampleFn& fn) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = JDIMENSION(w);
  c.image_height = JDIMENSION(h);
  c.input_components = k.Components;
  c.in_color_space = k.In;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, k.Stored);
  c.write_Adobe_marker = k.Adobe ? TRUE : FALSE;
  jpeg_set_quality(&c, k.Quality, TRUE);
  if (k.Progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(size_t(w) * size_t(k.Components));
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < w; ++x) fn(x, int(c.next_scanline), &row[size_t(x) * size_t(k.Components)]);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> out(mem, mem + size);
  std::free(mem);
  return out;
}

SampleFn Constant(std::vector<uint8_t> v) {
  return [v](int, int, uint8_t* px) { std::copy(v.begin(), v.end(), px); };
}

Bitmap24 Decode(const std::vector<uint8_t>& d, int scale = 0) {
  Bitmap24 b;
  JpegDecode(d.data(), d.size(), scale, b);
  return b;
}

// Every pixel within tol of the colour.
void ExpectAll(const Bitmap24& b, TColor c, int tol = 2) {
  ASSERT_FALSE(b.Empty());
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) {
      const TColor p = b.Pixel(x, y);
      ASSERT_NEAR(GetRValue(p), GetRValue(c), tol) << x << "," << y;
      ASSERT_NEAR(GetGValue(p), GetGValue(c), tol) << x << "," << y;
      ASSERT_NEAR(GetBValue(p), GetBValue(c), tol) << x << "," << y;
    }
}

std::string ErrorOf(const std::vector<uint8_t>& d) {
  Bitmap24 b(1, 1);
  b.Fill(clLime);
  try {
    JpegDecode(d.data(), d.size(), 0, b);
  } catch (const EPictureError& e) {
    EXPECT_EQ(b.Pixel(0, 0), clLime) << "a failed decode changed the picture";
    return e.what();
  }
  return "";
}

// Offset of the first 0xFF m marker, or the size when there is none.
size_t FindMarker(const std::vector<uint8_t>& d, uint8_t m) {
  for (size_t i = 0; i + 1 < d.size(); ++i)
    if (d[i] == 0xFF && d[i + 1] == m) return i;
  return d.size();
}

TEST(Jpeg, EncodeDecodeRoundTrip) {
  Bitmap24 b(40, 24);
  b.Fill(RGB(200, 120, 40));
  const std::vector<uint8_t> d = JpegEncode(b, 95);
  const std::vector<uint8_t> jfif = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0};
  ASSERT_GT(d.size(), jfif.size());
  EXPECT_TRUE(std::equal(jfif.begin(), jfif.end(), d.begin()));
  EXPECT_EQ(d[d.size() - 2], 0xFF);
  EXPECT_EQ(d[d.size() - 1], 0xD9);
  const Bitmap24 back = Decode(d);
  EXPECT_EQ(back.Width(), 40);
  EXPECT_EQ(back.Height(), 24);
  ExpectAll(back, RGB(200, 120, 40));
  // Baseline: the header probe finds the size.
  TestDir dir("jpeg-rt");
  const std::string f = dir.File("a.jpg");
  JpegEncodeFile(b, 85, f);
  int w = 0, h = 0;
  GetJPEGSize(f, w, h);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 24);
  Bitmap24 fromFile;
  JpegDecodeFile(f, 0, fromFile);
  ExpectAll(fromFile, RGB(200, 120, 40), 3);
  // Lower quality, smaller file.
  Bitmap24 noisy(64, 64);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x)
      noisy.SetPixel(x, y, RGB(uint8_t(x * 37 + y * 11), uint8_t(x * y), uint8_t(y * 5)));
  EXPECT_LT(JpegEncode(noisy, 20).size(), JpegEncode(noisy, 90).size());
  EXPECT_THROW(JpegEncode(Bitmap24(), 80), EPictureError);
}

TEST(Jpeg, ReducedScalesRoundUp) {
  const std::vector<uint8_t> d = WriteJpeg(201, 121, Kind{}, Constant({10, 200, 90}));
  const int wants[4][2] = {{201, 121}, {101, 61}, {51, 31}, {26, 16}};
  for (int s = 0; s < 4; ++s) {
    const Bitmap24 b = Decode(d, s);
    EXPECT_EQ(b.Width(), wants[s][0]) << s;
    EXPECT_EQ(b.Height(), wants[s][1]) << s;
    ExpectAll(b, RGB(10, 200, 90));
  }
  // A scale code out of range decodes at full size.
  EXPECT_EQ(Decode(d, 7).Width(), 201);
}

TEST(Jpeg, GreyscaleComesOutAsColour) {
  Kind k;
  k.In = JCS_GRAYSCALE;
  k.Components = 1;
  k.Stored = JCS_GRAYSCALE;
  const std::vector<uint8_t> d = WriteJpeg(17, 9, k, Constant({77}));
  ExpectAll(Decode(d), RGB(77, 77, 77), 1);
  ExpectAll(Decode(d, 3), RGB(77, 77, 77), 1);
}

TEST(Jpeg, CmykAndYcckIncludingAdobeInverted) {
  Kind plain;
  plain.In = JCS_CMYK;
  plain.Components = 4;
  plain.Stored = JCS_CMYK;
  plain.Adobe = false;
  // Ink: no cyan, full magenta and yellow, no black: red. Half black: dark red.
  ExpectAll(Decode(WriteJpeg(16, 16, plain, Constant({0, 255, 255, 0}))), RGB(255, 0, 0));
  ExpectAll(Decode(WriteJpeg(16, 16, plain, Constant({255, 0, 255, 128}))), RGB(0, 127, 0));

  // Files with an Adobe marker hold the inverted values (255 = no ink).
  Kind adobe = plain;
  adobe.Adobe = true;
  ExpectAll(Decode(WriteJpeg(16, 16, adobe, Constant({255, 0, 0, 255}))), RGB(255, 0, 0));
  ExpectAll(Decode(WriteJpeg(16, 16, adobe, Constant({0, 255, 0, 127}))), RGB(0, 127, 0));

  Kind ycck = adobe;
  ycck.Stored = JCS_YCCK;
  ExpectAll(Decode(WriteJpeg(16, 16, ycck, Constant({255, 0, 0, 255}))), RGB(255, 0, 0), 3);
  ExpectAll(Decode(WriteJpeg(16, 16, ycck, Constant({255, 255, 0, 255})), 2), RGB(255, 255, 0), 3);
}

TEST(Jpeg, ProgressiveDecodesAndHasNoProbedSize) {
  Kind k;
  k.Progressive = true;
  const SampleFn gradient = [](int x, int y, uint8_t* px) {
    px[0] = uint8_t(x * 4);
    px[1] = uint8_t(y * 4);
    px[2] = 128;
  };
  const std::vector<uint8_t> prog = WriteJpeg(48, 40, k, gradient);
  const std::vector<uint8_t> base = WriteJpeg(48, 40, Kind{}, gradient);
  const Bitmap24 a = Decode(prog), b = Decode(base);
  ASSERT_EQ(a.Width(), 48);
  ASSERT_EQ(a.Height(), 40);
  // Same coefficients, same pixels.
  EXPECT_EQ(a, b);
  EXPECT_EQ(Decode(prog, 2).Width(), 12);
  TestDir dir("jpeg-prog");
  const std::string f = dir.File("p.jpg");
  WriteBytes(f, prog);
  int w = 0, h = 0;
  EXPECT_EQ(ChooseJPEGScale(f, 6, 5, w, h), 0);
  EXPECT_EQ(w, 0);
}

TEST(Jpeg, TruncatedDataIsAnError) {
  Kind k;
  const SampleFn noise = [](int x, int y, uint8_t* px) {
    px[0] = uint8_t(x * 7 ^ y * 13);
    px[1] = uint8_t(x * y);
    px[2] = uint8_t(x + y);
  };
  for (bool progressive : {false, true}) {
    k.Progressive = progressive;
    const std::vector<uint8_t> d = WriteJpeg(64, 48, k, noise);
    for (size_t n : {size_t(0), size_t(1), size_t(3), size_t(20), size_t(200), d.size() / 2, d.size() - 40}) {
      const std::string e = ErrorOf(std::vector<uint8_t>(d.begin(), d.begin() + std::ptrdiff_t(n)));
      EXPECT_EQ(e.rfind("JPEG error: ", 0), 0u) << progressive << " " << n << " " << e;
    }
    // Any cut before the last few bytes of the last scan.
    for (size_t n = 0; n + 8 < d.size(); ++n)
      ASSERT_NE(ErrorOf(std::vector<uint8_t>(d.begin(), d.begin() + std::ptrdiff_t(n))), "")
          << progressive << " " << n << " of " << d.size();
    // Only the end-of-image marker missing: every pixel is there.
    const std::vector<uint8_t> noEnd(d.begin(), d.end() - 2);
    EXPECT_EQ(ErrorOf(noEnd), "") << progressive;
    EXPECT_EQ(Decode(noEnd), Decode(d));
  }
  EXPECT_EQ(ErrorOf({'n', 'o', 'p', 'e', '!', '!'}), "JPEG error: Not a JPEG file: starts with 0x6e 0x6f");
  EXPECT_EQ(ErrorOf({}), "JPEG error: not a JPEG file");
}

// A file goes to the decoder a block at a time: whatever the cut, the skipped
// segments and the scale, it decodes, or fails, as the same bytes in memory.
TEST(Jpeg, AFileDecodesAsTheSameBytesInMemory) {
  const SampleFn noise = [](int x, int y, uint8_t* px) {
    px[0] = uint8_t(x * 7 ^ y * 13);
    px[1] = uint8_t(x * y);
    px[2] = uint8_t(x + y);
  };
  TestDir dir("jpeg-file");
  const std::string f = dir.File("a.jpg");
  auto fromFile = [&](const std::vector<uint8_t>& d, int scale, std::string& error) {
    WriteBytes(f, d);
    Bitmap24 b;
    error.clear();
    try {
      JpegDecodeFile(f, scale, b);
    } catch (const EPictureError& e) {
      error = e.what();
    }
    return b;
  };
  for (bool progressive : {false, true}) {
    Kind k;
    k.Progressive = progressive;
    std::vector<uint8_t> d = WriteJpeg(150, 90, k, noise);
    // Two segments the decoder skips, longer together than a block.
    for (int i = 0; i < 2; ++i) {
      std::vector<uint8_t> app = {0xFF, 0xE1, 0xFF, 0xFF};
      app.resize(2 + 65535, uint8_t(0x41 + i));
      d.insert(d.begin() + 2, app.begin(), app.end());
    }
    std::string error;
    for (int scale = 0; scale < 4; ++scale) {
      EXPECT_EQ(fromFile(d, scale, error), Decode(d, scale)) << progressive << " " << scale;
      EXPECT_EQ(error, "");
    }
    for (size_t n : {size_t(1), size_t(70000), d.size() - 600, d.size() - 2}) {
      const std::vector<uint8_t> cut(d.begin(), d.begin() + std::ptrdiff_t(n));
      const Bitmap24 b = fromFile(cut, 0, error);
      EXPECT_EQ(error, ErrorOf(cut)) << progressive << " " << n;
      if (error.empty()) {
        EXPECT_EQ(b, Decode(cut));
      }
    }
  }
}

TEST(Jpeg, CorruptDataIsAnErrorNotACrash) {
  const std::vector<uint8_t> d = WriteJpeg(24, 16, Kind{}, Constant({1, 2, 3}));
  // A restart marker where none can be: the entropy data is damaged.
  std::vector<uint8_t> bad = d;
  const size_t sos = FindMarker(bad, 0xDA);
  ASSERT_LT(sos, bad.size());
  const size_t data = sos + 2 + (size_t(bad[sos + 2]) << 8 | bad[sos + 3]);
  bad[data] = 0xFF;
  bad[data + 1] = 0xD5;
  EXPECT_NE(ErrorOf(bad), "");

  std::mt19937 rng(4242);
  for (bool progressive : {false, true}) {
    Kind k;
    k.Progressive = progressive;
    const std::vector<uint8_t> base = WriteJpeg(24, 16, k, [](int x, int y, uint8_t* px) {
      px[0] = uint8_t(x * 9);
      px[1] = uint8_t(y * 9);
      px[2] = uint8_t(x * y);
    });
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> f = base;
      for (int i = 0; i < 3; ++i) f[rng() % f.size()] = uint8_t(rng());
      Bitmap24 b;
      try {
        JpegDecode(f.data(), f.size(), int(rng() % 4), b);
      } catch (const EPictureError&) {
      }
    }
  }
}

TEST(Jpeg, AbsurdSizeInHeaderIsRefusedBeforeAllocating) {
  std::vector<uint8_t> d = WriteJpeg(16, 16, Kind{}, Constant({9, 9, 9}));
  const size_t sof = FindMarker(d, 0xC0);
  ASSERT_LT(sof, d.size());
  d[sof + 5] = d[sof + 7] = 0xFD;  // 65000 x 65000
  d[sof + 6] = d[sof + 8] = 0xE8;
  const std::string e = ErrorOf(d);
  EXPECT_NE(e.find("a 65000 x 65000 picture cannot be held in"), std::string::npos) << e;
  // Zero width.
  d[sof + 7] = d[sof + 8] = 0;
  EXPECT_NE(ErrorOf(d), "");
}

TEST(Jpeg, MissingFileRaises) {
  Bitmap24 b;
  EXPECT_THROW(JpegDecodeFile("/nonexistent/a.jpg", 0, b), EFileError);
}

}  // namespace
