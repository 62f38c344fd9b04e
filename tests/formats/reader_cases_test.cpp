// Files that break their format's ordering rules in ways that writers in use
// do: TIFF directories out of tag order, Targa colour maps that do not start
// at entry 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "formats/Targa.h"
#include "formats/TiffReader.h"
#include "reader_test_util.h"
#include "tiff_test_util.h"

namespace {

using readertest::Bytes;
using readertest::ErrorOf;
using readertest::Px;
using readertest::ReadWith;
using namespace tifftest;

// A little-endian file from BuildTiff with its directory entries reversed,
// or with only its last (highest) entry moved to the front.
Bytes Rearranged(Bytes f, bool reverse) {
  const size_t ifd = f[4] | f[5] << 8 | f[6] << 16 | size_t(f[7]) << 24;
  std::vector<std::array<uint8_t, 12>> e(f[ifd] | f[ifd + 1] << 8);
  for (size_t i = 0; i < e.size(); ++i) std::copy_n(&f[ifd + 2 + 12 * i], 12, e[i].begin());
  if (reverse)
    std::reverse(e.begin(), e.end());
  else
    std::rotate(e.begin(), e.end() - 1, e.end());
  for (size_t i = 0; i < e.size(); ++i) std::copy_n(e[i].begin(), 12, &f[ifd + 2 + 12 * i]);
  return f;
}

TEST(ReaderCases, TiffEntriesOutOfTagOrderAreFound) {
  // 2 x 1 grey 10, 15 differenced.
  auto predicted = Basic(2, 1, {8}, 1, 1);
  predicted.push_back({317, kShort, {2}});
  const Bytes grey = BuildTiff(false, predicted, {Bytes{10, 5}});
  // Of two Predictor entries the first in the file counts.
  auto twice = Basic(2, 1, {8}, 1, 1);
  twice.insert(twice.end(), {{317, kShort, {1}}, {317, kShort, {2}}});
  for (const Bytes& f : {Rearranged(grey, false), Rearranged(grey, true),
                         Rearranged(BuildTiff(false, twice, {Bytes{10, 5}}), true)}) {
    const Bitmap24 b = ReadWith(ReadTIFF, f);
    EXPECT_EQ(Px(b, 0, 0), (Bytes{10, 10, 10}));
    EXPECT_EQ(Px(b, 1, 0), (Bytes{15, 15, 15}));
  }
}

// An uncompressed or run-length 8-bit Targa, top row first, whose 24-bit
// colour map holds red and blue from entry `first`.
Bytes MappedTarga(int type, uint16_t first, const Bytes& pixels) {
  TBytes b;
  b.U8(0).U8(1).U8(type).U16LE(first).U16LE(2).U8(24).Zeros(4);
  b.U16LE(3).U16LE(1).U8(8).U8(0x20).Bytes({0, 0, 255, 255, 0, 0});
  return b.Append(pixels).v;
}

// The same picture with no colour map at all (map type 0).
Bytes Unmapped(int type) {
  Bytes f = MappedTarga(type, 0, type == 1 ? Bytes{0, 1, 0} : Bytes{0x82, 0});
  f[1] = 0;
  return f;
}

TEST(ReaderCases, TargaMapStartsAtItsFirstEntryIndex) {
  for (const Bytes& f : {MappedTarga(1, 10, {10, 11, 10}), MappedTarga(9, 10, {0x01, 10, 11, 0x80, 10})}) {
    const Bitmap24 b = ReadWith(ReadTarga, f);
    EXPECT_EQ(RGBAt(b, 0, 0), 0xFF0000u);
    EXPECT_EQ(RGBAt(b, 1, 0), 0x0000FFu);
    EXPECT_EQ(RGBAt(b, 2, 0), 0xFF0000u);
  }
  // Values outside the map are refused.
  for (const Bytes& f : {MappedTarga(1, 10, {10, 9, 11}), MappedTarga(1, 10, {12, 11, 10}),
                         MappedTarga(9, 10, {0x82, 12}), MappedTarga(1, 0, {0, 1, 2}), Unmapped(1), Unmapped(9)})
    EXPECT_EQ(ErrorOf(ReadTarga, f), "Targa: invalid image");
}

}  // namespace
