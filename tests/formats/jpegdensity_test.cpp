#include "formats/JpegDensity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "band_test_util.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"

namespace {
const uint8_t kId[] = {'J', 'F', 'I', 'F', 0};

size_t JfifAt(const std::vector<uint8_t>& f) {
  return size_t(std::search(f.begin(), f.end(), std::begin(kId), std::end(kId)) - f.begin());
}

std::vector<uint8_t> DensityBytes(const std::vector<uint8_t>& f) {
  const size_t at = JfifAt(f) + 7;
  return std::vector<uint8_t>(f.begin() + at, f.begin() + at + 5);
}

// A minimal file: SOI, then an APP0 segment of the given length holding "JFIF".
std::vector<uint8_t> App0File(int length, size_t pad = 0) {
  std::vector<uint8_t> f = {0xFF, 0xD8};
  f.insert(f.end(), pad, 0xAA);
  f.insert(f.end(), {0xFF, 0xE0, uint8_t(length >> 8), uint8_t(length)});
  f.insert(f.end(), std::begin(kId), std::end(kId));
  f.insert(f.end(), {1, 2, 0, 0, 1, 0, 1, 0, 0, 0xFF, 0xD9});
  return f;
}
}  // namespace

TEST(SetJPEGDensity, WritesDotsPerInchIntoAnEncodedFile) {
  TScratchDir dir;
  const std::string name = dir / "p.jpg";
  JpegEncodeFile(PatternBitmap(16, 8), 85, name);
  const std::vector<uint8_t> before = ReadWholeFile(name);
  SetJPEGDensity(name, 300, 300);
  std::vector<uint8_t> after = ReadWholeFile(name);
  EXPECT_EQ(DensityBytes(after), std::vector<uint8_t>({0x01, 0x01, 0x2C, 0x01, 0x2C}));
  // Nothing else moved, and the picture still decodes.
  ASSERT_EQ(after.size(), before.size());
  const size_t at = JfifAt(after) + 7;
  std::copy(before.begin() + at, before.begin() + at + 5, after.begin() + at);
  EXPECT_EQ(after, before);
  Bitmap24 back;
  JpegDecodeFile(name, 0, back);
  EXPECT_EQ(back.Width(), 16);
}

TEST(SetJPEGDensity, ClampsToTheFieldAndKeepsAxesApart) {
  TScratchDir dir;
  const std::string name = dir / "p.jpg";
  WriteFileReplacing(name, App0File(16));
  SetJPEGDensity(name, 0, 70000);
  EXPECT_EQ(DensityBytes(ReadWholeFile(name)), std::vector<uint8_t>({1, 0, 1, 0xFF, 0xFF}));
  SetJPEGDensity(name, 72, -5);
  EXPECT_EQ(DensityBytes(ReadWholeFile(name)), std::vector<uint8_t>({1, 0, 72, 0, 1}));
}

TEST(SetJPEGDensity, LeavesFilesWithoutAUsableHeaderAlone) {
  TScratchDir dir;
  const std::string name = dir / "p.jpg";
  std::vector<std::vector<uint8_t>> files = {
      {0xFF, 0xD8, 0xFF, 0xD9},                      // no JFIF at all
      {'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1},  // not inside an APP0 segment
      App0File(10),                                  // segment too short for the densities
      App0File(16, 36),                              // densities beyond the first 50 bytes
  };
  std::vector<uint8_t> shortFile = App0File(16);
  shortFile.resize(shortFile.size() - 5);  // ends inside the density field
  files.push_back(shortFile);
  for (const std::vector<uint8_t>& f : files) {
    WriteFileReplacing(name, f);
    SetJPEGDensity(name, 300, 300);
    EXPECT_EQ(ReadWholeFile(name), f);
  }
  // Within the first 50 bytes it is still found.
  WriteFileReplacing(name, App0File(16, 32));
  SetJPEGDensity(name, 300, 300);
  EXPECT_EQ(DensityBytes(ReadWholeFile(name)), std::vector<uint8_t>({0x01, 0x01, 0x2C, 0x01, 0x2C}));
}

TEST(SetJPEGDensity, AMissingFileRaises) {
  TScratchDir dir;
  EXPECT_THROW(SetJPEGDensity(dir / "none.jpg", 300, 300), EFileError);
  EXPECT_FALSE(FileExists(dir / "none.jpg"));
}
