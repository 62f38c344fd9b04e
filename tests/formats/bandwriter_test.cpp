#include "formats/BandWriter.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "band_test_util.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Rounding.h"

namespace {

// The two formats behind one face, so every placement rule is checked for both.
struct TFormat {
  const char* name;
  bool (*header)(TBandStream&, int, int);
  void (*band)(TBandStream&, int, int, int, int, const Bitmap24&);
  void (*rect)(TBandStream&, int, int, const TRect&, TColor);
  void (*grid)(TBandStream&, int, int, std::span<const int>, int, int, int, int, TColor);
  Bitmap24 (*picture)(const std::vector<uint8_t>&, int, int);
};

const TFormat kBMP{"BMP",
                   WriteBMPHeader,
                   WriteBMPBand,
                   WriteBMPRect,
                   WriteBMPGridColumns,
                   [](const std::vector<uint8_t>& f, int, int) { return PictureOfBMP(f); }};
const TFormat kTIFF{"TIFF",
                    [](TBandStream& s, int w, int h) { return WriteTIFFHeader(s, w, h, 300, 2); },
                    WriteTIFFBand,
                    WriteTIFFRect,
                    WriteTIFFGridColumns,
                    PictureOfTIFF};

class BandFormat : public ::testing::TestWithParam<const TFormat*> {};

std::string NameOf(const ::testing::TestParamInfo<const TFormat*>& info) {
  return info.param->name;
}

// Runs a command and returns what it printed on either channel.
std::string RunTool(const std::string& cmd, int* status = nullptr) {
  std::string out;
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = pclose(p);
  if (status) *status = rc;
  return out;
}

bool HaveTool(const char* name) {
  return RunTool(std::string("command -v ") + name).find(name) != std::string::npos;
}

}  // namespace

TEST(BMPHeader, TenByTenHasTheExactHeaderAndSize) {
  TBandMemoryStream s;
  ASSERT_TRUE(WriteBMPHeader(s, 10, 10));
  const std::vector<uint8_t>& f = s.Bytes();
  ASSERT_EQ(f.size(), 374u);
  const std::array<uint8_t, 54> expected = {'B', 'M', 0x76, 1, 0, 0,  0, 0, 0, 0, 54, 0,  0, 0, 40, 0, 0,
                                            0,   10,  0,    0, 0, 10, 0, 0, 0, 1, 0,  24, 0, 0, 0,  0, 0};
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), f.begin()));
  EXPECT_TRUE(std::all_of(f.begin() + 54, f.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(BMPFileSize(10, 10), 374);
}

TEST(BMPHeader, RowsArePaddedToFourBytes) {
  const int strides[] = {4, 8, 12, 12, 16};
  for (int w = 1; w <= 5; ++w) {
    SCOPED_TRACE(w);
    TBandMemoryStream s;
    ASSERT_TRUE(WriteBMPHeader(s, w, 3));
    ASSERT_EQ(s.Size(), 54 + strides[w - 1] * 3);
    EXPECT_EQ(Le32(s.Bytes(), 2), uint32_t(s.Size()));
    const Bitmap24 pic = PatternBitmap(w, 3);
    WriteBMPBand(s, w, 3, 0, 0, pic);
    const std::vector<uint8_t>& f = s.Bytes();
    EXPECT_EQ(PictureOfBMP(f), pic);
    // The bottom row comes first; the padding stays zero.
    EXPECT_EQ(f[54], pic.ScanLine(2)[0]);
    for (int row = 0; row < 3; ++row)
      for (int pad = 3 * w; pad < strides[w - 1]; ++pad) EXPECT_EQ(f[54 + row * strides[w - 1] + pad], 0);
  }
}

TEST(TIFFHeader, TwoByTwoHasTheExactLayout) {
  TBandMemoryStream s;
  ASSERT_TRUE(WriteTIFFHeader(s, 2, 2, 300, 2));
  WriteTIFFBand(s, 2, 2, 0, 0, PatternBitmap(2, 2));
  const std::vector<uint8_t>& f = s.Bytes();
  ASSERT_EQ(f.size(), 268u);
  EXPECT_EQ(TIFFFileSize(2, 2), 268);
  EXPECT_EQ(Le32(f, 0), 0x002A4949u);
  EXPECT_EQ(Le32(f, 4), 44u);
  for (int i = 8; i < 31; ++i) EXPECT_TRUE(f[i] >= 0x20 && f[i] < 0x7F) << i;
  EXPECT_EQ(f[31], 0);
  EXPECT_EQ(f[32], PatternBitmap(2, 2).ScanLine(0)[2]);  // red first
  EXPECT_EQ(Le16(f, 44), 15u);
  const uint32_t entries[15][4] = {{256, 3, 1, 2}, {257, 3, 1, 2},   {258, 3, 3, 230}, {259, 3, 1, 1},
                                   {262, 3, 1, 2}, {273, 4, 2, 252}, {274, 3, 1, 1},   {277, 3, 1, 3},
                                   {278, 3, 1, 1}, {279, 4, 2, 260}, {282, 5, 1, 236}, {283, 5, 1, 244},
                                   {284, 3, 1, 1}, {296, 3, 1, 2},   {305, 2, 24, 8}};
  for (int k = 0; k < 15; ++k) {
    const size_t e = 46 + 12 * k;
    EXPECT_EQ(Le16(f, e), entries[k][0]) << k;
    EXPECT_EQ(Le16(f, e + 2), entries[k][1]) << k;
    EXPECT_EQ(Le32(f, e + 4), entries[k][2]) << k;
    EXPECT_EQ(Le32(f, e + 8), entries[k][3]) << k;
  }
  EXPECT_EQ(Le32(f, 226), 0u);
  const uint32_t tail[] = {Le16(f, 230), Le16(f, 232), Le16(f, 234), Le32(f, 236), Le32(f, 240), Le32(f, 244),
                           Le32(f, 248), Le32(f, 252), Le32(f, 256), Le32(f, 260), Le32(f, 264)};
  const uint32_t expectedTail[] = {8, 8, 8, 300, 1, 300, 1, 32, 38, 6, 6};
  EXPECT_TRUE(std::equal(std::begin(tail), std::end(tail), std::begin(expectedTail)));
}

TEST(TIFFHeader, OneRowKeepsItsStripInTheEntries) {
  TBandMemoryStream s;
  ASSERT_TRUE(WriteTIFFHeader(s, 3, 1, 72, 2));
  const std::vector<uint8_t>& f = s.Bytes();
  ASSERT_EQ(int64_t(f.size()), TIFFFileSize(3, 1));
  const size_t ifd = Le32(f, 4);
  ASSERT_EQ(ifd, 41u);
  EXPECT_EQ(Le16(f, ifd + 2 + 5 * 12), 273u);
  EXPECT_EQ(Le32(f, ifd + 2 + 5 * 12 + 4), 1u);
  EXPECT_EQ(Le32(f, ifd + 2 + 5 * 12 + 8), 32u);
  EXPECT_EQ(Le16(f, ifd + 2 + 9 * 12), 279u);
  EXPECT_EQ(Le32(f, ifd + 2 + 9 * 12 + 8), 9u);
}

TEST(TIFFHeader, SidesOverAShortAreLongs) {
  TBandMemoryStream s;
  ASSERT_TRUE(WriteTIFFHeader(s, 70000, 2, 96, 2));
  const std::vector<uint8_t>& f = s.Bytes();
  const size_t ifd = Le32(f, 4);
  EXPECT_EQ(ifd, 32u + 420000u);
  EXPECT_EQ(Le16(f, ifd + 4), 4u);  // ImageWidth LONG
  EXPECT_EQ(Le32(f, ifd + 10), 70000u);
  EXPECT_EQ(Le16(f, ifd + 16), 3u);  // ImageLength stays SHORT
  EXPECT_EQ(Le32(f, ifd + 22), 2u);
}

TEST(SizeLimits, PicturesBeyondThirtyTwoBitFieldsAreRefused) {
  // 54 + 4 * H must stay within 2^32 - 1.
  EXPECT_NO_THROW(CheckBMPSize(1, 1073741810));
  EXPECT_THROW(CheckBMPSize(1, 1073741811), EOutOfResources);
  EXPECT_THROW(CheckBMPSize(40000, 40000), EOutOfResources);
  // 240 + 11 * H for a one-pixel-wide TIFF.
  EXPECT_NO_THROW(CheckTIFFSize(1, 390451550));
  EXPECT_THROW(CheckTIFFSize(1, 390451551), EOutOfResources);
  EXPECT_NO_THROW(CheckTIFFSize(1400000000, 1));
  EXPECT_THROW(CheckTIFFSize(1500000000, 1), EOutOfResources);
  EXPECT_THROW(CheckTIFFSize(38000, 38000), EOutOfResources);
  for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-1, 3}}) {
    EXPECT_THROW(CheckBMPSize(w, h), EOutOfResources);
    EXPECT_THROW(CheckTIFFSize(w, h), EOutOfResources);
  }
  try {
    CheckTIFFSize(40000, 40000);
    FAIL();
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(),
                 "A picture of 40000 x 40000 pixels is too large for a TIFF file (4 GB at the most)");
  }
}

TEST(SizeLimits, HeadersRefuseWithoutTouchingTheStream) {
  TBandMemoryStream s;
  s.WriteAt(0, "keep", 4);
  EXPECT_FALSE(WriteBMPHeader(s, 40000, 40000));
  EXPECT_FALSE(WriteTIFFHeader(s, 40000, 40000, 300, 2));
  EXPECT_FALSE(WriteTIFFHeader(s, 0, 10, 300, 2));
  EXPECT_EQ(s.Bytes(), std::vector<uint8_t>({'k', 'e', 'e', 'p'}));
}

namespace {
// A stream whose every operation fails, as a full or vanished disk does.
class TFailingStream : public TBandMemoryStream {
 public:
  void SetSize(int64_t) override { throw EFileError("Unable to write to disk"); }
  void WriteAt(int64_t, const void*, size_t) override { throw EFileError("Unable to write to disk"); }
};
}  // namespace

TEST(StreamFailures, HeadersReportFalseOthersPassTheErrorOn) {
  TFailingStream s;
  EXPECT_FALSE(WriteBMPHeader(s, 4, 4));
  EXPECT_FALSE(WriteTIFFHeader(s, 4, 4, 300, 2));
  EXPECT_THROW(WriteTIFFBand(s, 4, 4, 0, 0, PatternBitmap(2, 2)), EFileError);
  EXPECT_THROW(WriteBMPRect(s, 4, 4, TRect(0, 0, 2, 2), clRed), EFileError);
  const int x[] = {0, 4};
  EXPECT_THROW(WriteTIFFGridColumns(s, 4, 4, x, 1, 0, 4, 1, clRed), EFileError);
}

TEST_P(BandFormat, BandsAreClippedToThePicture) {
  const TFormat& fmt = *GetParam();
  const int W = 9, H = 7;
  TBandMemoryStream s;
  ASSERT_TRUE(fmt.header(s, W, H));
  Bitmap24 expected(W, H);
  const struct {
    int x, y, w, h;
  } bands[] = {{-5, 1, 8, 3}, {6, 5, 5, 4}, {2, -2, 3, 4}, {-20, 0, 4, 4}, {0, 7, 3, 3}, {4, 3, 2, 2}};
  int seed = 0;
  for (const auto& b : bands) {
    const Bitmap24 band = PatternBitmap(b.w, b.h, seed += 40);
    fmt.band(s, W, H, b.x, b.y, band);
    DrawAt(expected, b.x, b.y, band);
  }
  EXPECT_EQ(s.Size(), fmt.header == WriteBMPHeader ? BMPFileSize(W, H) : TIFFFileSize(W, H));
  EXPECT_EQ(fmt.picture(s.Bytes(), W, H), expected);
  // At X = -5 the sixth band column lands in picture column 0.
  const Bitmap24 first = PatternBitmap(8, 3, 40);
  EXPECT_EQ(expected.Pixel(0, 1), first.Pixel(5, 0));
}

TEST_P(BandFormat, RectanglesAreClippedAndFilled) {
  const TFormat& fmt = *GetParam();
  const int W = 6, H = 5;
  TBandMemoryStream s;
  ASSERT_TRUE(fmt.header(s, W, H));
  const std::vector<uint8_t> before = s.Bytes();
  fmt.rect(s, W, H, TRect(-3, -10, 9, 0), clRed);  // wholly above
  fmt.rect(s, W, H, TRect(4, 2, 4, 5), clRed);     // empty
  fmt.rect(s, W, H, TRect(7, 0, 9, 5), clRed);     // wholly right
  EXPECT_EQ(s.Bytes(), before);
  Bitmap24 expected(W, H);
  fmt.rect(s, W, H, TRect(1, -2, 4, 2), RGB(1, 2, 3));  // negative top
  expected.FillRect(TRect(1, 0, 4, 2), RGB(1, 2, 3));
  fmt.rect(s, W, H, TRect(4, 3, 50, 50), RGB(200, 100, 50));
  expected.FillRect(TRect(4, 3, 6, 5), RGB(200, 100, 50));
  EXPECT_EQ(fmt.picture(s.Bytes(), W, H), expected);
}

namespace {
// Which columns of one row a grid call painted.
std::string GridRow(const TFormat& fmt, int W, std::vector<int> x, int n, int d) {
  TBandMemoryStream s;
  EXPECT_TRUE(fmt.header(s, W, 1));
  fmt.grid(s, W, 1, x, n, 0, 1, d, clWhite);
  const Bitmap24 pic = fmt.picture(s.Bytes(), W, 1);
  std::string r;
  for (int i = 0; i < W; ++i) r += pic.Pixel(i, 0) == clWhite ? '#' : '.';
  return r;
}
}  // namespace

TEST_P(BandFormat, GridColumnsFollowTheLineRules) {
  const TFormat& fmt = *GetParam();
  // Width 3: h = 2, first line 0..1, inner lines centred, last line W-2..W-1.
  EXPECT_EQ(GridRow(fmt, 20, {0, 6, 13, 20}, 3, 3), "##...###....###...##");
  // Width 1: every line one pixel, the last one at x[n] - 1.
  EXPECT_EQ(GridRow(fmt, 20, {0, 6, 13, 20}, 3, 1), "#.....#......#.....#");
  // Width 0 counts as 1.
  EXPECT_EQ(GridRow(fmt, 20, {0, 6, 13, 20}, 3, 0), "#.....#......#.....#");
  // Borders: away from the edges the first line starts at x[0], the last ends at x[n] - 1.
  EXPECT_EQ(GridRow(fmt, 20, {4, 10, 16}, 2, 3), "....###..###.###....");
  // Width 4 with a last line near the edge: h + (W - x[n]) = 3 pixels from x[n] - 2 on.
  EXPECT_EQ(GridRow(fmt, 20, {0, 10, 19}, 2, 4), "##......####.....###");
  // Fewer than two lines: only the first and the last segment.
  EXPECT_EQ(GridRow(fmt, 12, {2, 9}, 1, 2), "..##...##...");
  EXPECT_EQ(GridRow(fmt, 12, {5}, 0, 1), "....##......");
  // A first line left of the picture still paints at least one column.
  EXPECT_EQ(GridRow(fmt, 8, {-3, 8}, 1, 1), "#......#");
}

TEST_P(BandFormat, GridColumnsCoverOnlyTheRowRange) {
  const TFormat& fmt = *GetParam();
  const int W = 8, H = 6;
  TBandMemoryStream s;
  ASSERT_TRUE(fmt.header(s, W, H));
  const std::vector<int> x = {0, 4, 8};
  fmt.grid(s, W, H, x, 2, -3, 5, 1, clLime);   // first row -3 counts as 0; 5 rows
  fmt.grid(s, W, H, x, 2, 4, 100, 1, clBlue);  // cut at H
  Bitmap24 expected(W, H);
  for (int y = 0; y < H; ++y)
    for (int c : {0, 4, 7}) expected.SetPixel(c, y, y < 4 ? clLime : clBlue);
  EXPECT_EQ(fmt.picture(s.Bytes(), W, H), expected);
  EXPECT_THROW(fmt.grid(s, W, H, x, 3, 0, 1, 1, clRed), EVitrane);
  EXPECT_THROW(fmt.grid(s, W, H, x, -1, 0, 1, 1, clRed), EVitrane);
}

TEST_P(BandFormat, FileAndMemoryGiveTheSameBytes) {
  const TFormat& fmt = *GetParam();
  TScratchDir dir;
  const int W = 31, H = 17;
  TBandMemoryStream mem;
  TBandFileStream file(dir / "out", TFileMode::fmCreate);
  const std::vector<int> x = {2, 9, 17, 29};
  for (TBandStream* s : {static_cast<TBandStream*>(&mem), static_cast<TBandStream*>(&file)}) {
    ASSERT_TRUE(fmt.header(*s, W, H));
    fmt.rect(*s, W, H, TRect(0, 0, 2, H), clRed);
    fmt.band(*s, W, H, 2, 1, PatternBitmap(14, 9, 1));
    fmt.band(*s, W, H, 16, 1, PatternBitmap(20, 20, 2));
    fmt.grid(*s, W, H, x, 3, 1, 15, 3, clSilver);
    fmt.rect(*s, W, H, TRect(2, -1, 29, 2), clGray);
  }
  file.Close();
  EXPECT_EQ(ReadWholeFile(dir / "out"), mem.Bytes());
}

TEST_P(BandFormat, CellByCellEqualsTheWholePicture) {
  const TFormat& fmt = *GetParam();
  const int W = 37, H = 23, cols = 5, rows = 3;
  const Bitmap24 whole = PatternBitmap(W, H, 9);
  TBandMemoryStream s;
  ASSERT_TRUE(fmt.header(s, W, H));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const int x0 = int(RoundDiv(int64_t(W) * c, cols)), x1 = int(RoundDiv(int64_t(W) * (c + 1), cols));
      const int y0 = int(RoundDiv(int64_t(H) * r, rows)), y1 = int(RoundDiv(int64_t(H) * (r + 1), rows));
      Bitmap24 cell(x1 - x0, y1 - y0);
      DrawAt(cell, -x0, -y0, whole);
      fmt.band(s, W, H, x0, y0, cell);
    }
  EXPECT_EQ(fmt.picture(s.Bytes(), W, H), whole);
  if (fmt.header != WriteBMPHeader) {
    TScratchDir dir;
    SaveBitmapAsTIFF(dir / "whole.tif", whole, 300, 2);
    EXPECT_EQ(ReadWholeFile(dir / "whole.tif"), s.Bytes());
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, BandFormat, ::testing::Values(&kBMP, &kTIFF), NameOf);

TEST(GatheredBands, WholeRowsGoToTheFileInPlaceWithTheirPadding) {
  TScratchDir dir;
  // 3 x 1001 = 3003 bytes a row and one of padding; the first band is over
  // two megabytes, more than one gathered write takes.
  const int W = 1001, H = 900;
  const Bitmap24 top = PatternBitmap(W, 700, 3), bottom = PatternBitmap(W, 200, 4);
  {
    TBandFileStream file(dir / "g.bmp", TFileMode::fmCreate);
    ASSERT_TRUE(WriteBMPHeader(file, W, H));
    WriteBMPBand(file, W, H, 0, 700, bottom);
    WriteBMPBand(file, W, H, 0, 0, top);
  }
  const std::vector<uint8_t> bytes = ReadWholeFile(dir / "g.bmp");
  ASSERT_EQ(int64_t(bytes.size()), BMPFileSize(W, H));
  Bitmap24 expected(W, H);
  DrawAt(expected, 0, 0, top);
  DrawAt(expected, 0, 700, bottom);
  EXPECT_EQ(PictureOfBMP(bytes), expected);
  for (int row = 0; row < H; ++row) ASSERT_EQ(bytes[54 + size_t(row) * 3004 + 3003], 0) << row;
}

TEST(SaveBitmapAsTIFF, ReplacesOnlyWhenComplete) {
  TScratchDir dir;
  const std::string name = dir / "pic.tif";
  WriteFileReplacing(name, {'o', 'l', 'd'});
  EXPECT_THROW(SaveBitmapAsTIFF(name, Bitmap24(), 300, 2), EOutOfResources);
  EXPECT_EQ(ReadWholeFile(name), std::vector<uint8_t>({'o', 'l', 'd'}));
  EXPECT_FALSE(FileExists(name + ".tmp"));
  SaveBitmapAsTIFF(name, PatternBitmap(3, 2), 300, 2);
  EXPECT_EQ(FileSize(name), TIFFFileSize(3, 2));
  EXPECT_FALSE(FileExists(name + ".tmp"));
  EXPECT_THROW(SaveBitmapAsTIFF(dir / "missing/pic.tif", PatternBitmap(3, 2), 300, 2), EFileError);
}

// libtiff's own tools read what the writers make, without a complaint.
TEST(IndependentReader, TiffToolsAcceptTheFiles) {
  if (!HaveTool("tiffinfo") || !HaveTool("tiffdump")) GTEST_SKIP() << "libtiff-tools not installed";
  TScratchDir dir;
  for (auto [w, h] : {std::pair{1, 1}, {2, 2}, {3, 1}, {5, 3}, {7, 9}, {70000, 2}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    const std::string name = dir / (std::to_string(w) + "x" + std::to_string(h) + ".tif");
    const Bitmap24 pic = PatternBitmap(w, h, w);
    SaveBitmapAsTIFF(name, pic, 300, 2);
    int rc = -1;
    const std::string info = RunTool("tiffinfo -D '" + name + "'", &rc);
    EXPECT_EQ(rc, 0) << info;
    EXPECT_EQ(info.find("arning"), std::string::npos) << info;
    EXPECT_EQ(info.find("rror"), std::string::npos) << info;
    EXPECT_NE(info.find("Image Width: " + std::to_string(w) + " Image Length: " + std::to_string(h)),
              std::string::npos)
        << info;
    EXPECT_NE(info.find("Resolution: 300, 300 pixels/inch"), std::string::npos) << info;
    const std::string dump = RunTool("tiffdump '" + name + "'", &rc);
    EXPECT_EQ(rc, 0) << dump;
    EXPECT_EQ(dump.find("arning"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("rror"), std::string::npos) << dump;
  }
  // The strip data as libtiff reads it: row 0 of a 2 x 1 picture, R G B.
  const std::string name = dir / "data.tif";
  Bitmap24 pic(2, 1);
  pic.SetPixel(0, 0, RGB(0x11, 0x22, 0x33));
  pic.SetPixel(1, 0, RGB(0xA1, 0xB2, 0xC3));
  SaveBitmapAsTIFF(name, pic, 72, 2);
  const std::string data = RunTool("tiffinfo -d '" + name + "'");
  EXPECT_NE(data.find("11 22 33 a1 b2 c3"), std::string::npos) << data;
}

// A picture of 1.2 GB written in bands while the process stays small. Runs in
// a child so the peak resident size is that of the writing alone.
TEST(LargePicture, WritesFarBeyondItsMemory) {
  TScratchDir dir;
  const std::string name = dir / "big.tif";
  const int W = 20000, H = 20000, bandRows = 250;
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int code = 0;
    try {
      TBandFileStream s(name, TFileMode::fmCreate);
      if (!WriteTIFFHeader(s, W, H, 300, 2)) _exit(2);
      Bitmap24 band(W, bandRows);
      for (int y = 0; y < H; y += bandRows) {
        for (int i = 0; i < bandRows; ++i) std::memset(band.ScanLine(i), (y + i) & 0xFF, band.Stride());
        WriteTIFFBand(s, W, H, 0, y, band);
      }
      s.Close();
    } catch (...) {
      code = 3;
    }
    _exit(code);
  }
  int status = 0;
  rusage usage{};
  ASSERT_EQ(wait4(pid, &status, 0, &usage), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  const int64_t fileSize = TIFFFileSize(W, H);
  EXPECT_EQ(FileSize(name), fileSize);
  const int64_t peak = int64_t(usage.ru_maxrss) * 1024;
  RecordProperty("peak_resident_bytes", std::to_string(peak));
  EXPECT_LT(peak, fileSize / 8) << "peak resident " << peak << " bytes";
  // Spot checks: the last row's pixels and the last strip offset.
  TBandFileStream f(name, TFileMode::fmOpenReadWrite);
  uint8_t px[3] = {};
  ASSERT_EQ(f.ReadAt(32 + int64_t(3) * W * (H - 1) + 3 * 1234, px, 3), 3u);
  EXPECT_EQ(px[0], (H - 1) & 0xFF);
  uint8_t last[4] = {};
  ASSERT_EQ(f.ReadAt(fileSize - 4 * H - 4, last, 4), 4u);
  EXPECT_EQ(uint32_t(last[0] | last[1] << 8 | last[2] << 16 | uint32_t(last[3]) << 24),
            uint32_t(32 + int64_t(3) * W * (H - 1)));
}
