#include "formats/Targa.h"

#include "reader_test_util.h"

namespace {

// An 18-byte header followed by the image ID, the colour map and the pixels.
TBytes TargaHeader(int type, int width, int height, int bits, int descriptor, int mapType = 0,
                   int mapLength = 0, int mapBits = 0, int idLength = 0) {
  TBytes b;
  b.U8(idLength).U8(mapType).U8(type).U16LE(0).U16LE(mapLength).U8(mapBits).U16LE(0).U16LE(0);
  b.U16LE(width).U16LE(height).U8(bits).U8(descriptor);
  return b;
}

Bitmap24 Read(const std::vector<uint8_t>& file) {
  Bitmap24 out;
  ReadTarga(file.data(), file.size(), out);
  return out;
}

TEST(Targa, TrueColourBottomFirstShowsUpright) {
  // Stored bottom row first: the first row of the file is the picture's last.
  TBytes f = TargaHeader(2, 2, 2, 24, 0);
  f.Bytes({0x03, 0x02, 0x01, 0x06, 0x05, 0x04});  // bottom row: B, G, R
  f.Bytes({0x30, 0x20, 0x10, 0x60, 0x50, 0x40});  // top row
  const Bitmap24 b = Read(f.v);
  ASSERT_EQ(b.Width(), 2);
  ASSERT_EQ(b.Height(), 2);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x102030u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x405060u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x010203u);
  EXPECT_EQ(RGBAt(b, 1, 1), 0x040506u);
}

TEST(Targa, TopFirstKeepsFileOrderAndIdIsSkipped) {
  TBytes f = TargaHeader(2, 1, 2, 32, 0x20, 0, 0, 0, 3);
  f.Text("abc");
  f.Bytes({1, 2, 3, 0xFF, 4, 5, 6, 0x00});  // alpha is not shown
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x030201u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x060504u);
}

TEST(Targa, FifteenBitPixelsShiftEachChannelUp) {
  // v = 0b0_11111_10000_00001: red 31, green 16, blue 1.
  TBytes f = TargaHeader(2, 2, 1, 15, 0x20);
  f.U16LE(0x7E01).U16LE(0x0000);
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), (0xF8u << 16) | (0x80u << 8) | 0x08u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0u);
}

TEST(Targa, ColourMappedPicturesUseTheirMapFromEntryZero) {
  TBytes f = TargaHeader(1, 3, 1, 8, 0x20, 1, 2, 24);
  f.Bytes({0x10, 0x20, 0x30, 0x40, 0x50, 0x60});  // entries 0 and 1: B, G, R
  f.Bytes({1, 0, 1});
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x605040u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x302010u);
  EXPECT_EQ(RGBAt(b, 2, 0), 0x605040u);

  TBytes g = TargaHeader(1, 1, 1, 8, 0x20, 1, 1, 16);
  g.U16LE(0x001F);  // blue 31
  g.U8(0);
  EXPECT_EQ(RGBAt(Read(g.v), 0, 0), 0x0000F8u);
}

TEST(Targa, GreyscalePassesOverAColourMap) {
  TBytes f = TargaHeader(3, 2, 1, 8, 0x20, 1, 2, 24);
  f.Zeros(6);
  f.Bytes({0x00, 0x80});
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x808080u);
}

TEST(Targa, RunLengthPacketsMayRunIntoTheNextRow) {
  // 3 x 2 picture, 24 bits: a run of 4 red pixels, then 2 raw pixels.
  TBytes f = TargaHeader(10, 3, 2, 24, 0x20);
  f.Bytes({0x83, 0, 0, 255});
  f.Bytes({0x01, 1, 2, 3, 4, 5, 6});
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0xFF0000u);
  EXPECT_EQ(RGBAt(b, 2, 0), 0xFF0000u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0xFF0000u);
  EXPECT_EQ(RGBAt(b, 1, 1), 0x030201u);
  EXPECT_EQ(RGBAt(b, 2, 1), 0x060504u);
}

TEST(Targa, RunLengthGreyAndDataEndingAtTheLastPacket) {
  TBytes f = TargaHeader(11, 4, 1, 8, 0);
  f.Bytes({0x81, 0x10, 0x01, 0x20, 0x30});
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x101010u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x101010u);
  EXPECT_EQ(RGBAt(b, 2, 0), 0x202020u);
  EXPECT_EQ(RGBAt(b, 3, 0), 0x303030u);
}

TEST(Targa, RightToLeftColumnsAreMirrored) {
  // Bit 4: each row's first pixel in the file is its rightmost; bit 5 clear
  // keeps the rows bottom first.
  TBytes f = TargaHeader(2, 3, 2, 24, 0x10);
  f.Bytes({0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07});  // bottom row
  f.Bytes({0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0x90, 0x80, 0x70});  // top row
  const Bitmap24 b = Read(f.v);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x708090u);
  EXPECT_EQ(RGBAt(b, 1, 0), 0x405060u);
  EXPECT_EQ(RGBAt(b, 2, 0), 0x102030u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x070809u);
  EXPECT_EQ(RGBAt(b, 2, 1), 0x010203u);
  // Both bits, run-length and colour-mapped: the top row read right to left.
  TBytes rle = TargaHeader(9, 2, 2, 8, 0x30, 1, 3, 24);
  rle.Bytes({0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x90});
  rle.Bytes({0x01, 0, 1, 0x81, 2});
  const Bitmap24 m = Read(rle.v);
  EXPECT_EQ(RGBAt(m, 0, 0), 0x605040u);
  EXPECT_EQ(RGBAt(m, 1, 0), 0x302010u);
  EXPECT_EQ(RGBAt(m, 0, 1), 0x908070u);
  EXPECT_EQ(RGBAt(m, 1, 1), 0x908070u);
}

TEST(Targa, ShortAndUnsupportedFilesAreRefused) {
  TBytes f = TargaHeader(2, 2, 2, 24, 0);
  f.Zeros(11);  // one byte short
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(f.v); }), "Targa: invalid image");
  TBytes rle = TargaHeader(10, 2, 2, 24, 0);
  rle.Bytes({0x82, 1, 2, 3});  // 3 of 4 pixels
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(rle.v); }), "Targa: invalid image");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(TargaHeader(2, 1, 1, 12, 0).v); }),
            "Targa: pixel size not supported");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(TargaHeader(2, 0, 1, 24, 0).v); }),
            "Targa: invalid image size");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(TargaHeader(1, 1, 1, 8, 0, 1, 1, 8).Zeros(2).v); }),
            "Targa: colour map entry size not supported");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read({0, 0, 2}); }), "Targa: file too short for its header");
}

TEST(Targa, OtherImageTypesGiveABlackPictureOfTheirSize) {
  const Bitmap24 b = Read(TargaHeader(0, 3, 2, 24, 0).v);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(RGBAt(b, 2, 1), 0u);
}

TEST(Targa, SurvivesTruncationAndCorruption) {
  TBytes plain = TargaHeader(1, 4, 3, 8, 0, 1, 4, 24);
  for (int k = 0; k < 12; ++k) plain.U8(k * 17);
  for (int k = 0; k < 12; ++k) plain.U8(k % 4);
  SweepDamage(plain.v, ReadTarga, true);
  TBytes rle = TargaHeader(10, 5, 4, 16, 0x20);
  rle.Bytes({0x84, 0x34, 0x12, 0x02, 1, 2, 3, 4, 5, 6, 0x8B, 0xFF, 0x7F});
  SweepDamage(rle.v, ReadTarga, true);
}

TEST(Targa, ReadsAFileByName) {
  ScratchDir dir;
  TBytes f = TargaHeader(2, 1, 1, 24, 0);
  f.Bytes({9, 8, 7});
  WriteFileBytes(dir / "a.tga", f.v);
  Bitmap24 b;
  ReadTargaFile(dir / "a.tga", b);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x070809u);
  EXPECT_THROW(ReadTargaFile(dir / "missing.tga", b), EFileError);
}

}  // namespace
