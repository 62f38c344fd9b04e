#include "formats/TiffReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <vector>

#include "common/ScratchDir.h"
#include "formats/BandWriter.h"
#include "lzw_test_util.h"
#include "platform/Errors.h"
#include "reader_test_util.h"
#include "tiff_test_util.h"

namespace {

using readertest::Bytes;
using readertest::Px;
Bitmap24 Read(const Bytes& f) {
  return readertest::ReadWith(ReadTIFF, f);
}
std::string ErrorOf(const Bytes& f) {
  return readertest::ErrorOf(ReadTIFF, f);
}
using namespace tifftest;

// A 3 x 2 RGB picture of distinct colours, R, G, B per pixel.
const Bytes kRGB = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150, 160, 170, 180};

void ExpectRGBPicture(const Bitmap24& b) {
  ASSERT_EQ(b.Width(), 3);
  ASSERT_EQ(b.Height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const uint8_t* s = kRGB.data() + 9 * y + 3 * x;
      EXPECT_EQ(Px(b, x, y), (Bytes{s[2], s[1], s[0]})) << x << "," << y;
    }
}

TEST(TiffReader, BothByteOrdersLoadAlike) {
  for (bool big : {false, true}) {
    auto tags = Basic(3, 2, {8, 8, 8}, 3, 2);
    tags.push_back({278, kShort, {1}});
    ExpectRGBPicture(Read(
        BuildTiff(big, tags, {Bytes(kRGB.begin(), kRGB.begin() + 9), Bytes(kRGB.begin() + 9, kRGB.end())})));
  }
}

TEST(TiffReader, OneStripWithoutRowsPerStrip) {
  ExpectRGBPicture(Read(BuildTiff(false, Basic(3, 2, {8, 8, 8}, 3, 2), {kRGB})));
}

TEST(TiffReader, RowsPerStripLastValueServesTheRemainingStrips) {
  // Three rows in strips of 2 and 1: the last strip holds only what is left.
  auto tags = Basic(1, 3, {8}, 1, 1);
  tags.push_back({278, kShort, {2}});
  const Bitmap24 b = Read(BuildTiff(false, tags, {Bytes{5, 6}, Bytes{7}}));
  EXPECT_EQ(Px(b, 0, 0), (Bytes{5, 5, 5}));
  EXPECT_EQ(Px(b, 0, 2), (Bytes{7, 7, 7}));
}

TEST(TiffReader, SixteenBitSamplesKeepTheirHighByteInEitherOrder) {
  for (bool big : {false, true}) {
    // Grey 0x1234 and 0xABCD; in the file in the file's own byte order.
    Bytes data = big ? Bytes{0x12, 0x34, 0xAB, 0xCD} : Bytes{0x34, 0x12, 0xCD, 0xAB};
    const Bitmap24 b = Read(BuildTiff(big, Basic(2, 1, {16}, 1, 1), {data}));
    EXPECT_EQ(Px(b, 0, 0), (Bytes{0x12, 0x12, 0x12}));
    EXPECT_EQ(Px(b, 1, 0), (Bytes{0xAB, 0xAB, 0xAB}));
    // RGB 16-bit.
    Bytes rgb = big ? Bytes{0x11, 0, 0x22, 0, 0x33, 0} : Bytes{0, 0x11, 0, 0x22, 0, 0x33};
    EXPECT_EQ(Px(Read(BuildTiff(big, Basic(1, 1, {16, 16, 16}, 3, 2), {rgb})), 0, 0),
              (Bytes{0x33, 0x22, 0x11}));
  }
}

TEST(TiffReader, GreyLevelsAndBilevel) {
  // 4-bit, black is zero: the brightest value shows as grey 240.
  Bitmap24 b = Read(BuildTiff(false, Basic(2, 1, {4}, 1, 1), {Bytes{0xF1}}));
  EXPECT_EQ(Px(b, 0, 0), (Bytes{240, 240, 240}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{16, 16, 16}));
  // White is zero: inverted.
  b = Read(BuildTiff(false, Basic(2, 1, {4}, 1, 0), {Bytes{0xF0}}));
  EXPECT_EQ(Px(b, 0, 0), (Bytes{0, 0, 0}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{240, 240, 240}));
  b = Read(BuildTiff(false, Basic(2, 1, {8}, 1, 0), {Bytes{0, 200}}));
  EXPECT_EQ(Px(b, 0, 0), (Bytes{255, 255, 255}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{55, 55, 55}));
  // Bilevel, ten pixels over two bytes; white is zero by default.
  b = Read(
      BuildTiff(false, {{256, kShort, {10}}, {257, kShort, {1}}, {259, kShort, {1}}}, {Bytes{0xA0, 0x40}}));
  const int expected[10] = {0, 255, 0, 255, 255, 255, 255, 255, 255, 0};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Px(b, x, 0)[0], expected[x]) << x;
}

TEST(TiffReader, PaletteTakesTheHighByteOfEachMapEntry) {
  for (bool big : {false, true}) {
    std::vector<uint32_t> map(3 * 16, 0);
    map[2] = 0xFF00;       // red of entry 2
    map[16 + 2] = 0x8000;  // green of entry 2
    map[32 + 2] = 0x10FF;  // blue of entry 2
    map[15] = 0x0100;
    auto tags = Basic(2, 1, {4}, 1, 3);
    tags.push_back({320, kShort, map});
    const Bitmap24 b = Read(BuildTiff(big, tags, {Bytes{0x2F}}));
    EXPECT_EQ(Px(b, 0, 0), (Bytes{0x10, 0x80, 0xFF}));
    EXPECT_EQ(Px(b, 1, 0), (Bytes{0, 0, 1}));
  }
  EXPECT_EQ(ErrorOf(BuildTiff(false, Basic(2, 1, {8}, 1, 3), {Bytes{0, 1}})),
            "TIFF: colour map missing or short.");
}

TEST(TiffReader, ExtraSamplesAndCMYK) {
  // RGB with one extra sample: the alpha is dropped.
  auto tags = Basic(1, 1, {8, 8, 8, 8}, 4, 2);
  tags.push_back({338, kShort, {2}});
  EXPECT_EQ(Px(Read(BuildTiff(false, tags, {Bytes{1, 2, 3, 4}})), 0, 0), (Bytes{3, 2, 1}));
  // Four samples, RGB without the ExtraSamples entry: the same.
  EXPECT_EQ(Px(Read(BuildTiff(false, Basic(1, 1, {8, 8, 8, 8}, 4, 2), {Bytes{1, 2, 3, 4}})), 0, 0),
            (Bytes{3, 2, 1}));
  // CMYK: each = MulDiv(v, K, 255) - v - K + 255, clamped.
  const Bitmap24 c =
      Read(BuildTiff(false, Basic(2, 1, {8, 8, 8, 8}, 4, 5), {Bytes{0, 128, 255, 0, 100, 50, 0, 100}}));
  EXPECT_EQ(Px(c, 0, 0), (Bytes{0, 127, 255}));
  // v=100,K=100: 39 - 200 + 255 = 94; v=50: 20 - 150 + 255 = 125; v=0: 155.
  EXPECT_EQ(Px(c, 1, 0), (Bytes{155, 125, 94}));
  // Grey with alpha takes the grey.
  auto ga = Basic(2, 1, {8, 8}, 2, 1);
  ga.push_back({338, kShort, {1}});
  EXPECT_EQ(Px(Read(BuildTiff(false, ga, {Bytes{9, 0, 77, 255}})), 1, 0), (Bytes{77, 77, 77}));
}

TEST(TiffReader, LabUnderD50) {
  // L 0..255 for 0..100, a and b signed: white, black, and sRGB red's D50
  // figures (54.12, 81, 70).
  const Bitmap24 b =
      Read(BuildTiff(false, Basic(3, 1, {8, 8, 8}, 3, 8), {Bytes{255, 0, 0, 0, 0, 0, 138, 81, 70}}));
  EXPECT_EQ(Px(b, 0, 0), (Bytes{255, 255, 255}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{0, 0, 0}));
  EXPECT_EQ(Px(b, 2, 0), (Bytes{0, 0, 255}));
}

std::vector<Tag> YCbCr(uint32_t w, uint32_t h, std::vector<uint32_t> subsampling) {
  auto tags = Basic(w, h, {8, 8, 8}, 3, 6);
  if (!subsampling.empty()) tags.push_back({530, kShort, subsampling});
  return tags;
}

TEST(TiffReader, YCbCrIsConvertedToRGB) {
  // The usual coefficients and full-range codes: Y 100, Cb +22, Cr -38 is
  // R = 100 - 38 x 1.402, B = 100 + 22 x 1.772, G = (Y - 0.114 B - 0.299 R) / 0.587.
  EXPECT_EQ(Px(Read(BuildTiff(false, YCbCr(1, 1, {1, 1}), {Bytes{100, 150, 90}})), 0, 0),
            (Bytes{139, 120, 47}));
  // The file's coefficients (HD) and reference black and white (video
  // levels): Y = 84 x 255 / 219, Cb = 22 x 127 / 112, Cr = -38 x 127 / 112.
  auto tags = YCbCr(1, 1, {1, 1});
  tags.push_back({529, kRational, {2126, 10000, 7152, 10000, 722, 10000}});
  tags.push_back({532, kRational, {16, 1, 235, 1, 128, 1, 240, 1, 128, 1, 240, 1}});
  EXPECT_EQ(Px(Read(BuildTiff(true, tags, {Bytes{100, 150, 90}})), 0, 0), (Bytes{144, 113, 30}));

  // 3 x 3 at 2,2 (the default when the file names none): data units of four
  // lumas, then Cb and Cr, two units across (the picture padded to 4 x 4).
  // Each pixel takes its own luma and its unit's colour.
  const Bytes units = {10, 20, 30, 40, 150, 90, 50,  0, 60, 0, 128, 128,
                       70, 80, 0,  0,  150, 90, 200, 0, 0,  0, 100, 160};
  const std::pair<int, Bytes> expected[] = {{0, {49, 30, 0}},    {1, {59, 40, 0}},    {3, {69, 50, 0}},
                                            {4, {79, 60, 0}},    {2, {50, 50, 50}},   {5, {60, 60, 60}},
                                            {7, {119, 100, 27}}, {8, {150, 187, 245}}};
  for (const auto& sub : {std::vector<uint32_t>{}, std::vector<uint32_t>{2, 2}}) {
    const Bitmap24 b = Read(BuildTiff(false, YCbCr(3, 3, sub), {units}));
    for (const auto& [at, bgr] : expected) EXPECT_EQ(Px(b, at % 3, at / 3), bgr) << at;
  }
  EXPECT_EQ(ErrorOf(BuildTiff(false, YCbCr(3, 1, {3, 1}), {Bytes(15)})),
            "TIFF: YCbCr subsampling 3,1 is not supported.");
}

TEST(TiffReader, LzwWithHorizontalPrediction) {
  // 40 x 3 RGB gradient, differenced per row three bytes apart, then LZW.
  const int w = 40, h = 3;
  Bytes plain(size_t(w) * h * 3), diff(plain.size());
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i * 7 + i / 120);
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < w * 3; ++i) {
      const size_t at = size_t(y) * w * 3 + i;
      diff[at] = uint8_t(plain[at] - (i >= 3 ? plain[at - 3] : 0));
    }
  for (bool big : {false, true}) {
    auto tags = Basic(w, h, {8, 8, 8}, 3, 2, 5);
    tags.push_back({317, kShort, {2}});
    const Bitmap24 b = Read(BuildTiff(big, tags, {lzwtest::TiffEncode(diff)}));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* s = plain.data() + (size_t(y) * w + x) * 3;
        ASSERT_EQ(Px(b, x, y), (Bytes{s[2], s[1], s[0]})) << x << "," << y;
      }
  }
  // Corrupt LZW data is refused with the decoder's message.
  EXPECT_EQ(ErrorOf(BuildTiff(false, Basic(2, 1, {8}, 1, 1, 5), {Bytes{0x80, 0x1F, 0xFF, 0xFF}})),
            "TIF LZW: invalid opcode.");
}

TEST(TiffReader, PredictionOnBilevelRowsStaysInsideTheRow) {
  // Ten 1-bit pixels fill two bytes; the byte-wise differencing must not run
  // on for ten bytes.
  auto tags = Basic(10, 1, {1}, 1, 1);
  tags.push_back({317, kShort, {2}});
  const Bitmap24 b = Read(BuildTiff(false, tags, {Bytes{0x80, 0x00}}));
  EXPECT_EQ(Px(b, 0, 0), (Bytes{255, 255, 255}));
  EXPECT_EQ(Px(b, 8, 0), (Bytes{255, 255, 255}));  // 0x00 + 0x80
}

// 16-bit samples in the file's byte order.
Bytes Words(bool big, std::initializer_list<uint16_t> list) {
  Bytes b;
  for (uint16_t w : list) {
    if (big)
      b.insert(b.end(), {uint8_t(w >> 8), uint8_t(w)});
    else
      b.insert(b.end(), {uint8_t(w), uint8_t(w >> 8)});
  }
  return b;
}

TEST(TiffReader, PredictionIsUndonePerSampleOverTheWholeRow) {
  // 16-bit grey 0x00FF, 0x0100, 0x1000, 0x0FFF, 0x2345 differenced as words
  // in the file's byte order: the +1 carries into the high byte.
  for (bool big : {false, true}) {
    auto grey = Basic(5, 1, {16}, 1, 1, 5);
    grey.push_back({317, kShort, {2}});
    const Bitmap24 g = Read(
        BuildTiff(big, grey, {lzwtest::TiffEncode(Words(big, {0x00FF, 0x0001, 0x0F00, 0xFFFF, 0x1346}))}));
    const uint8_t highs[5] = {0x00, 0x01, 0x10, 0x0F, 0x23};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(Px(g, x, 0)[0], highs[x]) << big << " " << x;
  }
  // Grey and alpha (10, 255), (30, 0), (50, 128): two bytes apart.
  auto ga = Basic(3, 1, {8, 8}, 2, 1);
  ga.push_back({317, kShort, {2}});
  ga.push_back({338, kShort, {2}});
  const Bitmap24 b = Read(BuildTiff(false, ga, {Bytes{10, 255, 20, 1, 20, 128}}));
  for (int x = 0; x < 3; ++x) EXPECT_EQ(Px(b, x, 0)[0], 10 + 20 * x) << x;
}

TEST(TiffReader, SeparatePlanesAreInterleaved) {
  // 2 x 2 RGB, one row a strip: red rows 0 and 1, then green, then blue.
  const Bytes r0 = {10, 11}, r1 = {12, 13}, g0 = {20, 21}, g1 = {22, 23}, b0 = {30, 31}, b1 = {32, 33};
  auto tags = Basic(2, 2, {8, 8, 8}, 3, 2);
  tags.push_back({278, kShort, {1}});
  tags.push_back({284, kShort, {2}});
  const Bitmap24 b = Read(BuildTiff(false, tags, {r0, r1, g0, g1, b0, b1}));
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(Px(b, i % 2, i / 2), (Bytes{uint8_t(30 + i), uint8_t(20 + i), uint8_t(10 + i)})) << i;
  // One strip a plane with no RowsPerStrip, 16-bit big-endian samples,
  // LZW, prediction within each plane: red 0x1000, 0x1100; green 0x2000,
  // 0x2200; blue 0x30FF, 0x3100 (the +1 carries).
  auto wide = Basic(2, 1, {16, 16, 16}, 3, 2, 5);
  wide.push_back({284, kShort, {2}});
  wide.push_back({317, kShort, {2}});
  const Bitmap24 w = Read(BuildTiff(
      true, wide,
      {lzwtest::TiffEncode(Words(true, {0x1000, 0x0100})), lzwtest::TiffEncode(Words(true, {0x2000, 0x0200})),
       lzwtest::TiffEncode(Words(true, {0x30FF, 0x0001}))}));
  EXPECT_EQ(Px(w, 0, 0), (Bytes{0x30, 0x20, 0x10}));
  EXPECT_EQ(Px(w, 1, 0), (Bytes{0x31, 0x22, 0x11}));
  // Strips for only some of the planes are refused.
  EXPECT_EQ(ErrorOf(BuildTiff(false, tags, {r0, r1, g0, g1})),
            "TIFF: strip offsets missing for separate planes.");
}

TEST(TiffReader, FillOrderTwoReversesTheBitsOfEveryStripByte) {
  // Uncompressed grey: 0x01 is 0x80, 0x0F is 0xF0.
  auto grey = Basic(2, 1, {8}, 1, 1);
  grey.push_back({266, kShort, {2}});
  Bitmap24 b = Read(BuildTiff(false, grey, {Bytes{0x01, 0x0F}}));
  EXPECT_EQ(Px(b, 0, 0), (Bytes{0x80, 0x80, 0x80}));
  EXPECT_EQ(Px(b, 1, 0), (Bytes{0xF0, 0xF0, 0xF0}));
  // PackBits: the count bytes are reversed too (0xBF is 0xFD, a run of 4;
  // 0xC0 is 0x03, a copy of 4).
  auto packed = Basic(4, 2, {8}, 1, 1, 32773);
  packed.push_back({266, kShort, {2}});
  packed.push_back({278, kShort, {1}});
  b = Read(BuildTiff(false, packed, {Bytes{0xBF, 0x90}, Bytes{0xC0, 0x80, 0x40, 0xC0, 0x20}}));
  EXPECT_EQ(Px(b, 3, 0), (Bytes{9, 9, 9}));
  EXPECT_EQ(Px(b, 2, 1), (Bytes{3, 3, 3}));
}

TEST(TiffReader, PackBitsStrips) {
  auto tags = Basic(4, 2, {8}, 1, 1, 32773);
  tags.push_back({278, kShort, {1}});
  const Bitmap24 b = Read(BuildTiff(false, tags, {Bytes{0xFD, 9}, Bytes{3, 1, 2, 3, 4}}));
  EXPECT_EQ(Px(b, 3, 0), (Bytes{9, 9, 9}));
  EXPECT_EQ(Px(b, 2, 1), (Bytes{3, 3, 3}));
}

TEST(TiffReader, RefusesBadHeadersWithTheirMessages) {
  Bytes f = BuildTiff(false, Basic(3, 2, {8, 8, 8}, 3, 2), {kRGB});
  Bytes v = f;
  v[2] = 43;
  EXPECT_EQ(ErrorOf(v), "Invalid TIFF file.");
  EXPECT_EQ(ErrorOf(BuildTiff(false, Basic(0, 2, {8, 8, 8}, 3, 2), {kRGB})), "Invalid TIFF file.");
  auto noCompression = Basic(3, 2, {8, 8, 8}, 3, 2);
  noCompression.erase(noCompression.begin() + 3);
  EXPECT_EQ(ErrorOf(BuildTiff(false, noCompression, {kRGB})), "TIFF: Unknown compression scheme");
  EXPECT_EQ(ErrorOf(BuildTiff(false, Basic(3, 2, {8, 8, 8}, 3, 2, 7), {kRGB})),
            "TIFF: Unknown compression scheme");
  // A strip that reaches past the end of the file, and sizes that the file
  // cannot hold, are refused before anything is allocated.
  EXPECT_EQ(ErrorOf(BuildTiff(false, Basic(3, 300, {8, 8, 8}, 3, 2), {kRGB})), "Stream read error");
  EXPECT_EQ(ErrorOf(BuildTiff(false,
                              {{256, kLong, {60000}},
                               {257, kLong, {60000}},
                               {258, kShort, {8, 8, 8}},
                               {259, kShort, {5}},
                               {262, kShort, {2}},
                               {277, kShort, {3}}},
                              {Bytes{0x80}})),
            "TIFF: invalid image size");
  EXPECT_EQ(ErrorOf(BuildTiff(false, Basic(4000, 4000, {8}, 1, 1, 5), {Bytes{0x80}})), "Stream read error");
  EXPECT_EQ(ErrorOf(BuildTiff(false, Basic(1, 1, {2}, 1, 1), {Bytes{0}})),
            "TIFF: 2 bits per sample are not supported.");
  EXPECT_EQ(ErrorOf(Bytes{'I', 'I', 42}), "Stream read error");
}

TEST(TiffReader, ReadsTheBandWritersFiles) {
  ScratchDir dir("tiff");
  std::mt19937 rng(3);
  // Several rows (one strip each), a single row (its strip stored inline) and
  // a width beyond a SHORT (a LONG side).
  for (auto [w, h] : {std::pair{7, 5}, std::pair{9, 1}, std::pair{70000, 1}, std::pair{1, 70000}}) {
    Bitmap24 src(w, h);
    for (int y = 0; y < h; ++y)
      for (int i = 0; i < w * 3; ++i) src.ScanLine(y)[i] = uint8_t(rng());
    const std::string name = dir / "band.tif";
    SaveBitmapAsTIFF(name, src, 72, 2);
    Bitmap24 back;
    ReadTIFFFile(name, back);
    EXPECT_TRUE(back == src) << w << " x " << h;
  }
  Bitmap24 b;
  EXPECT_THROW(ReadTIFFFile(dir / "missing.tif", b), EFileError);
}

// Every cut of a small file and a few hundred single-byte corruptions:
// an error or a picture, never a read outside the data.
TEST(TiffReader, TruncatedAndCorruptFilesNeverCrash) {
  std::vector<Bytes> files;
  files.push_back(BuildTiff(false, Basic(3, 2, {8, 8, 8}, 3, 2), {kRGB}));
  auto lzw = Basic(3, 2, {8, 8, 8}, 3, 2, 5);
  lzw.push_back({317, kShort, {2}});
  files.push_back(BuildTiff(true, lzw, {lzwtest::TiffEncode(kRGB)}));
  auto pal = Basic(2, 2, {4}, 1, 3, 32773);
  pal.push_back({278, kShort, {1}});
  pal.push_back({320, kShort, std::vector<uint32_t>(48, 0x4000)});
  files.push_back(BuildTiff(false, pal, {Bytes{0, 0x12}, Bytes{0xFF, 0x34}}));
  uint32_t seed = 77;
  for (const Bytes& f : files) readertest::SweepDamage(ReadTIFF, f, seed++);
}

}  // namespace
