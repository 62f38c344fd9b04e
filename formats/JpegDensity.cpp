#include "formats/JpegDensity.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "formats/BandStream.h"

namespace {

constexpr size_t kSearchBytes = 50;
constexpr uint8_t kJfifId[5] = {'J', 'F', 'I', 'F', 0};
// From the identifier: 5 identifier bytes and a 2-byte version, then the
// units byte and the two 2-byte densities.
constexpr size_t kUnitsOffset = 7;
constexpr size_t kDensityEnd = kUnitsOffset + 5;

uint16_t ClampDensity(int v) {
  return uint16_t(std::clamp(v, 1, 0xFFFF));
}

}  // namespace

namespace {

// Where the five bytes of the density patch go among the first got bytes of a
// JPEG file, or -1 when they hold no JFIF header to patch.
int64_t DensityPatchAt(const uint8_t* head, size_t got) {
  const uint8_t* end = head + got;
  const uint8_t* id = std::search(head, end, std::begin(kJfifId), std::end(kJfifId));
  if (id == end) return -1;
  const size_t at = size_t(id - head);
  // The identifier must open an APP0 segment long enough to hold the
  // densities, and those bytes must be among the ones read.
  if (at < 4 || head[at - 4] != 0xFF || head[at - 3] != 0xE0) return -1;
  const size_t segmentLength = size_t(head[at - 2]) << 8 | head[at - 1];
  if (segmentLength < 2 + kDensityEnd || at + kDensityEnd > got) return -1;
  return int64_t(at + kUnitsOffset);
}

std::array<uint8_t, 5> DensityPatch(int xDensity, int yDensity) {
  const uint16_t x = ClampDensity(xDensity), y = ClampDensity(yDensity);
  return {1, uint8_t(x >> 8), uint8_t(x), uint8_t(y >> 8), uint8_t(y)};
}

}  // namespace

void SetJPEGDensity(const std::string& fileName, int xDensity, int yDensity) {
  TBandFileStream stream(fileName, TFileMode::fmOpenReadWrite);
  uint8_t head[kSearchBytes];
  const size_t got = stream.ReadAt(0, head, sizeof head);
  const int64_t at = DensityPatchAt(head, got);
  if (at < 0) return;
  const auto patch = DensityPatch(xDensity, yDensity);
  stream.WriteAt(at, patch.data(), patch.size());
  stream.Close();
}

void SetJPEGDensity(std::vector<uint8_t>& jpeg, int xDensity, int yDensity) {
  const int64_t at = DensityPatchAt(jpeg.data(), std::min(jpeg.size(), kSearchBytes));
  if (at < 0) return;
  const auto patch = DensityPatch(xDensity, yDensity);
  std::copy(patch.begin(), patch.end(), jpeg.begin() + at);
}
