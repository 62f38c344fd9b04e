#include "formats/Cut.h"

#include "reader_test_util.h"

namespace {

// A picture of lines, each given as its packets (the 0 and length added here).
std::vector<uint8_t> Cut(int width, int height, const std::vector<std::vector<uint8_t>>& lines) {
  TBytes b;
  b.U16LE(width).U16LE(height).U16LE(0);
  for (const auto& l : lines) b.U16LE(unsigned(l.size() + 1)).Append(l).U8(0);
  return b.v;
}

// A palette file of count entries whose entry k is (k, 2k, 3k) in the low
// bytes of its 16-bit values.
std::vector<uint8_t> Palette(int count) {
  TBytes b;
  b.Text("AH").PadTo(12).U16LE(count - 1).PadTo(40);
  for (int k = 0; k < count; ++k) {
    if (b.Size() % 512 > 506) b.PadTo((b.Size() / 512 + 1) * 512);
    b.U16LE(k & 0xFF).U16LE((2 * k) & 0xFF).U16LE((3 * k) & 0xFF);
  }
  return b.v;
}

const std::vector<std::vector<uint8_t>> kLines = {{0x83, 0x10}, {0x02, 0x20, 0x21, 0x81, 0x4E}};

TEST(Cut, LinesWithoutAPaletteAreGrey) {
  const std::vector<uint8_t> f = Cut(3, 2, kLines);
  Bitmap24 b;
  ReadCut(f.data(), f.size(), nullptr, 0, b);
  EXPECT_EQ(RGBAt(b, 2, 0), 0x101010u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x202020u);
  EXPECT_EQ(RGBAt(b, 1, 1), 0x212121u);
  EXPECT_EQ(RGBAt(b, 2, 1), 0x4E4E4Eu);
}

TEST(Cut, PaletteEntriesGoOnInTheNextBlock) {
  const std::vector<uint8_t> f = Cut(2, 1, {{0x02, 2, 78}});
  const std::vector<uint8_t> pal = Palette(100);
  ASSERT_EQ(pal[512], 78);  // entry 78 would have started at 508
  Bitmap24 b;
  ReadCut(f.data(), f.size(), pal.data(), pal.size(), b);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x020406u);
  EXPECT_EQ(RGBAt(b, 1, 0), uint32_t(78 << 16 | 156 << 8 | 234));
  EXPECT_EQ(ErrorOf<EPictureError>([&] { ReadCut(f.data(), f.size(), pal.data(), 520, b); }),
            "CUT: invalid palette file");
}

TEST(Cut, ReadsThePaletteFileBesideThePicture) {
  ScratchDir dir;
  WriteFileBytes(dir / "a.cut", Cut(1, 1, {{0x81, 3}}));
  WriteFileBytes(dir / "b.CUT", Cut(1, 1, {{0x81, 3}}));
  WriteFileBytes(dir / "c.cut", Cut(1, 1, {{0x81, 3}}));
  WriteFileBytes(dir / "a.pal", Palette(4));
  WriteFileBytes(dir / "b.PAL", Palette(4));
  Bitmap24 b;
  ReadCutFile(dir / "a.cut", b);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x030609u);
  ReadCutFile(dir / "b.CUT", b);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x030609u);
  ReadCutFile(dir / "c.cut", b);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x030303u);
}

TEST(Cut, MissingLinesAreRefused) {
  const std::vector<uint8_t> f = Cut(3, 3, kLines);
  Bitmap24 b;
  EXPECT_EQ(ErrorOf<EPictureError>([&] { ReadCut(f.data(), f.size(), nullptr, 0, b); }),
            "CUT: image data is too short");
  std::vector<uint8_t> g = Cut(3, 2, kLines);
  g.pop_back();
  g.pop_back();
  EXPECT_EQ(ErrorOf<EPictureError>([&] { ReadCut(g.data(), g.size(), nullptr, 0, b); }),
            "CUT: image data is too short");
}

TEST(Cut, SurvivesTruncationAndCorruption) {
  auto read = [](const uint8_t* d, size_t n, Bitmap24& out) { ReadCut(d, n, nullptr, 0, out); };
  SweepDamage(Cut(4, 3, {{0x84, 1}, {0x04, 1, 2, 3, 4}, {0x82, 9, 0x02, 7, 8}}), read, false);
  const std::vector<uint8_t> f = Cut(1, 1, {{0x81, 3}});
  auto withPalette = [&](const uint8_t* d, size_t n, Bitmap24& out) {
    ReadCut(f.data(), f.size(), d, n, out);
  };
  SweepDamage(Palette(90), withPalette, false);
}

}  // namespace
