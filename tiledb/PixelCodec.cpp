#include "tiledb/PixelCodec.h"

#include <array>
#include <cmath>
#include <cstring>

#include "platform/Rounding.h"

long double LightnessCurve(int c) {
  if (c <= 0) return 0.0L;
  const long double x = static_cast<long double>(c) / 255.0L;
  const long double root = std::exp(std::log(x) * (1.0L / 3.0L));
  return ((116.0L * root - 16.0L) / 100.0L) * 255.0L;
}

namespace {

// The curve is a function of a byte, so it is computed once per value rather
// than once per pixel.
const std::array<long double, 256>& CurveTable() {
  static const std::array<long double, 256> table = [] {
    std::array<long double, 256> t{};
    for (int c = 0; c < 256; ++c) t[size_t(c)] = LightnessCurve(c);
    return t;
  }();
  return table;
}

inline uint8_t RoundClamp(long double v) {
  return ClampToByte(RoundHalfEvenL(v));
}

}  // namespace

void PixelToYCC(uint8_t b, uint8_t g, uint8_t r, uint8_t out[3]) {
  const auto& curve = CurveTable();
  const long double rc = curve[r], gc = curve[g], bc = curve[b];
  out[0] = RoundClamp(0.299L * rc + 0.587L * gc + 0.114L * bc);
  out[1] = RoundClamp(-0.1687L * rc - 0.3313L * gc + 0.5L * bc + 128.0L);
  out[2] = RoundClamp(0.5L * rc - 0.4187L * gc - 0.0813L * bc + 128.0L);
}

void YCCToPixel(uint8_t y, uint8_t cb, uint8_t cr, uint8_t out[3]) {
  const long double Y = y, Cb = static_cast<long double>(cb) - 128.0L,
                    Cr = static_cast<long double>(cr) - 128.0L;
  out[0] = RoundClamp(Y + 1.772L * Cb);
  out[1] = RoundClamp(Y - 0.344136L * Cb - 0.714136L * Cr);
  out[2] = RoundClamp(Y + 1.402L * Cr);
}

size_t WriteBitmapPixels(const Bitmap24& bmp, uint8_t* out, uint8_t colorSystem) {
  if (colorSystem < csYCC || colorSystem > csY) return 0;
  const size_t rowBytes = size_t(bmp.Width()) * 3;
  uint8_t* dst = out;
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* src = bmp.ScanLine(y);
    if (colorSystem == csYCC) {
      for (size_t i = 0; i < rowBytes; i += 3) PixelToYCC(src[i], src[i + 1], src[i + 2], dst + i);
    } else {
      std::memcpy(dst, src, rowBytes);
    }
    dst += rowBytes;
  }
  return size_t(dst - out);
}

void WriteBitmapPixels(const Bitmap24& bmp, std::vector<uint8_t>& out, uint8_t colorSystem) {
  out.clear();
  if (colorSystem < csYCC || colorSystem > csY) return;
  out.resize(size_t(bmp.Width()) * size_t(bmp.Height()) * 3);
  WriteBitmapPixels(bmp, out.data(), colorSystem);
}

void ReadBitmapPixels(Bitmap24& bmp, const uint8_t* samples, size_t size, uint8_t colorSystem) {
  if (colorSystem != csYCC && colorSystem != csRGB) return;
  const size_t rowBytes = size_t(bmp.Width()) * 3;
  size_t left = size - size % 3;
  for (int y = 0; y < bmp.Height() && left > 0; ++y) {
    const size_t n = rowBytes < left ? rowBytes : left;
    uint8_t* dst = bmp.ScanLine(y);
    if (colorSystem == csYCC) {
      for (size_t i = 0; i < n; i += 3) YCCToPixel(samples[i], samples[i + 1], samples[i + 2], dst + i);
    } else {
      std::memcpy(dst, samples, n);
    }
    samples += n;
    left -= n;
  }
}

void CopyPixelBytes(const uint8_t* src, uint8_t* dst, size_t n) {
  if (n) std::memmove(dst, src, n);
}

void RGBRowToYCC(const uint8_t* src, uint8_t* dst, size_t n) {
  for (size_t i = 0; i + 3 <= n; i += 3) {
    uint8_t ycc[3];
    PixelToYCC(src[i], src[i + 1], src[i + 2], ycc);
    std::memcpy(dst + i, ycc, 3);
  }
}

bool CellSamplesNeedYCC(uint8_t libraryColorSystem, uint8_t cellColorSystem) {
  return libraryColorSystem == csYCC && cellColorSystem == csRGB;
}

void PrepareTargetSamples(const uint8_t* cellSamples, uint8_t* target, size_t n, uint8_t libraryColorSystem,
                          uint8_t cellColorSystem) {
  if (CellSamplesNeedYCC(libraryColorSystem, cellColorSystem))
    RGBRowToYCC(cellSamples, target, n);
  else
    CopyPixelBytes(cellSamples, target, n);
}

std::string ColorModeName(uint8_t colorSystem) {
  switch (colorSystem) {
    case csYCC:
      return "YCC";
    case csRGB:
      return "RGB";
    case csY:
      return "Y";
    default:
      return "???";
  }
}

TResampleFilter FilterFromByte(uint8_t b) {
  return b <= 5 ? TResampleFilter(b) : rfMitchell;
}
TResampleFilter FilterFromByteA(uint8_t b) {
  return FilterFromByte(b);
}
