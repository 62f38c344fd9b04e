#include "formats/Rla.h"

#include "reader_test_util.h"

namespace {

// rows[i][c]: the packed data of stored row i, channel c.
std::vector<uint8_t> Rla(int left, int right, int bottom, int top, int channels, int mattes,
                         const std::vector<std::vector<std::vector<uint8_t>>>& rows) {
  TBytes b;
  b.Zeros(8).U16BE(left).U16BE(right).U16BE(bottom).U16BE(top).Zeros(4).U16BE(channels).U16BE(mattes);
  b.PadTo(740);
  uint32_t at = 740 + 4 * uint32_t(rows.size());
  for (const auto& r : rows) {
    b.U32BE(at);
    for (const auto& c : r) at += 2 + uint32_t(c.size());
  }
  for (const auto& r : rows)
    for (const auto& c : r) b.U16BE(unsigned(c.size())).Append(c);
  return b.v;
}

Bitmap24 Read(const std::vector<uint8_t>& file) {
  Bitmap24 out;
  ReadRla(file.data(), file.size(), out);
  return out;
}

// Row 0: red run 0x10, green copy 0x20 0x21, blue run 0x30; row 1 all 0x40.
const std::vector<std::vector<std::vector<uint8_t>>> kRows = {
    {{0x01, 0x10}, {0xFE, 0x20, 0x21}, {0x01, 0x30}}, {{0x01, 0x40}, {0x01, 0x40}, {0x01, 0x40}}};

TEST(Rla, BottomBelowTopPutsTheFirstRowAtTheBottom) {
  const Bitmap24 b = Read(Rla(0, 1, 0, 1, 3, 0, kRows));
  ASSERT_EQ(b.Width(), 2);
  ASSERT_EQ(b.Height(), 2);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x102030u);
  EXPECT_EQ(RGBAt(b, 1, 1), 0x102130u);
  EXPECT_EQ(RGBAt(b, 0, 0), 0x404040u);
}

TEST(Rla, BottomAboveTopKeepsFileOrder) {
  const Bitmap24 b = Read(Rla(5, 6, 11, 10, 3, 0, kRows));
  EXPECT_EQ(RGBAt(b, 0, 0), 0x102030u);
  EXPECT_EQ(RGBAt(b, 0, 1), 0x404040u);
}

TEST(Rla, MatteChannelIsNotShown) {
  auto rows = kRows;
  for (auto& r : rows) r.push_back({0x01, 0x80});
  const Bitmap24 b = Read(Rla(0, 1, 0, 1, 3, 1, rows));
  EXPECT_EQ(RGBAt(b, 1, 1), 0x102130u);
}

TEST(Rla, OtherChannelCountsAndShortRowsAreRefused) {
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(Rla(0, 1, 0, 1, 1, 0, kRows)); }),
            "RLA: image must be RGB(A).");
  auto rows = kRows;
  rows[1][2] = {0x00, 0x40};  // one of two bytes
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(Rla(0, 1, 0, 1, 3, 0, rows)); }),
            "RLA: a compressed row is too short");
  std::vector<uint8_t> f = Rla(0, 1, 0, 1, 3, 0, kRows);
  f.pop_back();
  EXPECT_EQ(ErrorOf<EPictureError>([&] { Read(f); }), "RLA: image data is too short");
  EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { Read(Rla(3, 1, 0, 1, 3, 0, kRows)); }), "RLA: invalid image size");
}

TEST(Rla, SurvivesTruncationAndCorruption) {
  SweepDamage(Rla(0, 1, 0, 1, 3, 0, kRows), ReadRla, true);
}

}  // namespace
