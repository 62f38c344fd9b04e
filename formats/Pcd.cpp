#include "formats/Pcd.h"

#include <cstring>
#include <vector>

#include "formats/PictureInput.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Rounding.h"

namespace {

// The base resolution: where its data starts and its landscape size.
constexpr size_t kImageOffset = 196608;
constexpr int kWidth = 768, kHeight = 512;
constexpr size_t kOrientationOffset = 194635;

inline uint8_t Clamp(double v) {
  const int64_t r = RoundHalfEven(v);
  return uint8_t(r < 0 ? 0 : r > 255 ? 255 : r);
}

// Luma and the two chroma values of one pixel to blue, green, red.
inline void PutColour(int y, int chroma1, int chroma2, uint8_t* bgr) {
  const int c1 = chroma1 - 156, c2 = chroma2 - 137;
  bgr[0] = Clamp(1.3584 * y + 2.2179 * c1);
  bgr[1] = Clamp(1.3584 * y - 0.4302726 * c1 - 0.9271435 * c2);
  bgr[2] = Clamp(1.3584 * y + 1.8215 * c2);
}

// Reads the picture from the input's start; of a file only the signature,
// the orientation and the base resolution are read.
void Load(TPictureInput& in, Bitmap24& out) {
  if (!in.Has(2048, 7) || std::memcmp(in.At(2048, 7), "PCD_IPI", 7) != 0)
    throw EInvalidGraphic("PCD: wrong image format.");
  const int orientation = *in.At(kOrientationOffset, 1) & 3;
  constexpr size_t blockSize = 3 * size_t(kWidth);
  const uint8_t* image = in.At(kImageOffset, blockSize * (kHeight / 2));

  const bool portrait = orientation == 1 || orientation == 3;
  out.SetSize(portrait ? kHeight : kWidth, portrait ? kWidth : kHeight);
  auto place = [&](int y, int x) -> uint8_t* {
    switch (orientation) {
      case 0:
        return out.ScanLine(y) + 3 * x;
      case 2:
        return out.ScanLine(kHeight - 1 - y) + 3 * x;
      case 1:
        return out.ScanLine(kWidth - 1 - x) + 3 * y;
      default:
        return out.ScanLine(x) + 3 * y;
    }
  };

  constexpr int half = kWidth / 2;
  // This block's and the next block's chroma rows, each extended by a copy
  // of its last sample so column 2k + 1 can look one sample ahead.
  std::vector<int> c1(half + 1), c2(half + 1), n1(half + 1), n2(half + 1);
  for (int d = 0; d < kHeight; d += 2) {
    const uint8_t* block = image + blockSize * size_t(d / 2);
    const uint8_t* next = d + 2 < kHeight ? block + blockSize : block;
    for (int k = 0; k <= half; ++k) {
      const int s = k < half ? k : half - 1;
      c1[k] = block[2 * kWidth + s];
      c2[k] = block[2 * kWidth + half + s];
      n1[k] = next[2 * kWidth + s];
      n2[k] = next[2 * kWidth + half + s];
    }
    const uint8_t* luma1 = block;
    const uint8_t* luma2 = block + kWidth;
    for (int k = 0; k < half; ++k) {
      const int x = 2 * k;
      PutColour(luma1[x], c1[k], c2[k], place(d, x));
      PutColour(luma1[x + 1], (c1[k] + c1[k + 1]) / 2, (c2[k] + c2[k + 1]) / 2, place(d, x + 1));
      PutColour(luma2[x], (c1[k] + n1[k]) / 2, (c2[k] + n2[k]) / 2, place(d + 1, x));
      PutColour(luma2[x + 1], (c1[k] + c1[k + 1] + n1[k] + n1[k + 1]) / 4,
                (c2[k] + c2[k + 1] + n2[k] + n2[k + 1]) / 4, place(d + 1, x + 1));
    }
  }
}

}  // namespace

void ReadPcd(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size);
  Load(in, out);
}

void ReadPcdFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file);
  Load(in, out);
}
