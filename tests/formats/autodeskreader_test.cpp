#include "formats/AutodeskReader.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "common/ScratchDir.h"
#include "platform/Errors.h"
#include "reader_test_util.h"

namespace {

using readertest::Bytes;
using readertest::Px;
std::string ErrorOf(const Bytes& f) {
  return readertest::ErrorOf(ReadAutodesk, f);
}

// A w x h cel: magic, 30 header bytes, palette, rows.
Bytes Cel(int w, int h, const Bytes& pixels) {
  Bytes f = {0x19, 0x91, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8)};
  f.resize(32);
  for (int k = 0; k < 256; ++k) f.insert(f.end(), {uint8_t(k % 64), uint8_t(63 - k % 64), uint8_t(k / 4)});
  f.insert(f.end(), pixels.begin(), pixels.end());
  return f;
}

TEST(AutodeskReader, RowsFromTheTopThroughTheScaledPalette) {
  ScratchDir dir("cel");
  const Bytes f = Cel(2, 2, {0, 1, 2, 255});
  {
    FILE* out = std::fopen((dir / "a.cel").c_str(), "wb");
    std::fwrite(f.data(), 1, f.size(), out);
    std::fclose(out);
  }
  Bitmap24 b;
  ReadAutodeskFile(dir / "a.cel", b);
  ASSERT_EQ(b.Width(), 2);
  ASSERT_EQ(b.Height(), 2);
  const uint8_t* p = b.ScanLine(0) + 3;  // entry 1: red 1, green 62, blue 0
  EXPECT_EQ(Bytes(p, p + 3), (Bytes{0, 248, 4}));
  p = b.ScanLine(1) + 3;  // entry 255: red 63, green 0, blue 63
  EXPECT_EQ(Bytes(p, p + 3), (Bytes{252, 0, 252}));
}

TEST(AutodeskReader, RefusesBadFiles) {
  Bytes f = Cel(2, 2, {0, 1, 2, 3});
  f[1] = 0x92;
  EXPECT_EQ(ErrorOf(f), "Cannot load image. Only old style Autodesk images are supported.");
  EXPECT_EQ(ErrorOf(Cel(0, 2, {})), "Autodesk: empty picture.");
  EXPECT_EQ(ErrorOf(Cel(60000, 60000, {1, 2, 3})), "Stream read error");
  const Bytes good = Cel(3, 2, {1, 2, 3, 4, 5, 6});
  for (size_t n = 0; n < good.size(); ++n)
    EXPECT_NE(ErrorOf(Bytes(good.begin(), good.begin() + n)), "no error");
}

}  // namespace
