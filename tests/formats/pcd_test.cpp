#include "formats/Pcd.h"

#include <cstring>

#include "reader_test_util.h"

namespace {

constexpr size_t kData = 196608, kBlock = 3 * 768;

// A base-resolution pack of luma y and neutral chroma (156, 137).
std::vector<uint8_t> Pack(int orientation, uint8_t y = 100) {
  std::vector<uint8_t> f(kData + kBlock * 256, 0);
  std::memcpy(f.data() + 2048, "PCD_IPI", 7);
  f[194635] = uint8_t(0xF0 | orientation);
  for (size_t b = 0; b < 256; ++b) {
    uint8_t* block = f.data() + kData + kBlock * b;
    std::memset(block, y, 2 * 768);
    std::memset(block + 2 * 768, 156, 384);
    std::memset(block + 2 * 768 + 384, 137, 384);
  }
  return f;
}

uint8_t* Chroma1(std::vector<uint8_t>& f, size_t block) {
  return f.data() + kData + kBlock * block + 2 * 768;
}

Bitmap24 Read(const std::vector<uint8_t>& file) {
  Bitmap24 out;
  ReadPcd(file.data(), file.size(), out);
  return out;
}

TEST(Pcd, NeutralChromaGivesGrey) {
  const Bitmap24 b = Read(Pack(0));
  ASSERT_EQ(b.Width(), 768);
  ASSERT_EQ(b.Height(), 512);
  // 1.3584 x 100 = 135.84
  EXPECT_EQ(RGBAt(b, 0, 0), 0x888888u);
  EXPECT_EQ(RGBAt(b, 767, 511), 0x888888u);
}

TEST(Pcd, ChromaIsInterpolatedAcrossColumnsAndBlocks) {
  std::vector<uint8_t> f = Pack(0);
  Chroma1(f, 0)[0] = 166;
  Chroma1(f, 0)[1] = 176;
  Chroma1(f, 1)[0] = 186;
  Chroma1(f, 1)[1] = 186;
  const Bitmap24 b = Read(f);
  // Blue = 135.84 + 2.2179 x (chroma 1 - 156); green = 135.84 - 0.4302726 x (chroma 1 - 156).
  EXPECT_EQ(RGBAt(b, 0, 0), 0x88849Eu);  // chroma 166: blue 158.019, green 131.537
  EXPECT_EQ(b.ScanLine(0)[3], 169);      // (166 + 176) / 2 = 171: 169.1085
  EXPECT_EQ(b.ScanLine(1)[0], 180);      // (166 + 186) / 2 = 176: 180.198
  EXPECT_EQ(b.ScanLine(1)[3], 185);      // (166 + 176 + 186 + 186) / 4 = 178: 184.6338
  EXPECT_EQ(b.ScanLine(0)[6], 180);      // column 2 takes c[1] = 176: 180.198
}

TEST(Pcd, TheLastRowPairUsesItsOwnChromaTwice) {
  std::vector<uint8_t> f = Pack(0);
  Chroma1(f, 255)[0] = 166;
  const Bitmap24 b = Read(f);
  EXPECT_EQ(b.ScanLine(510)[0], 158);
  EXPECT_EQ(b.ScanLine(511)[0], 158);
}

TEST(Pcd, OrientationTurnsThePicture) {
  for (int o = 0; o < 4; ++o) {
    std::vector<uint8_t> f = Pack(o);
    f[kData] = 0;  // luma of source row 0, column 0: black
    const Bitmap24 b = Read(f);
    const bool portrait = o == 1 || o == 3;
    ASSERT_EQ(b.Width(), portrait ? 512 : 768) << o;
    const int x = 0, y = o == 0 ? 0 : o == 1 ? 767 : o == 2 ? 511 : 0;
    EXPECT_EQ(RGBAt(b, x, y), 0u) << o;
  }
}

TEST(Pcd, WrongMarkAndShortPacksAreRefused) {
  std::vector<uint8_t> f = Pack(0);
  f[2048] = 'X';
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(f); }), "PCD: wrong image format.");
  f = Pack(0);
  f.pop_back();
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(f); }), "Stream read error");
}

TEST(Pcd, SurvivesTruncationAndCorruption) {
  SweepDamage(Pack(1, 77), ReadPcd, true, 40, 4093);
}

}  // namespace
