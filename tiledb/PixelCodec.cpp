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

// The formulas as written, in extended precision: the reference the fast
// path below must equal, and its answer wherever it cannot be sure.
void PixelToYCCLong(uint8_t b, uint8_t g, uint8_t r, uint8_t out[3]) {
  const auto& curve = CurveTable();
  const long double rc = curve[r], gc = curve[g], bc = curve[b];
  out[0] = RoundClamp(0.299L * rc + 0.587L * gc + 0.114L * bc);
  out[1] = RoundClamp(-0.1687L * rc - 0.3313L * gc + 0.5L * bc + 128.0L);
  out[2] = RoundClamp(0.5L * rc - 0.4187L * gc - 0.0813L * bc + 128.0L);
}

void YCCToPixelLong(uint8_t y, uint8_t cb, uint8_t cr, uint8_t out[3]) {
  const long double Y = y, Cb = static_cast<long double>(cb) - 128.0L,
                    Cr = static_cast<long double>(cr) - 128.0L;
  out[0] = RoundClamp(Y + 1.772L * Cb);
  out[1] = RoundClamp(Y - 0.344136L * Cb - 0.714136L * Cr);
  out[2] = RoundClamp(Y + 1.402L * Cr);
}

// The fast path sums each extended-precision product as a fixed-point
// integer with 32 fraction bits. Each term is off by at most half a unit and
// the extended-precision sums by far less, so whenever the fixed-point sum
// lies more than kTieMargin units away from a half, both round to the same
// integer; within it (a near or exact tie, where the extended roundings
// decide) the formula itself is evaluated. A test compares every 8-bit
// input with the formulas.
constexpr int kFixBits = 32;
constexpr int64_t kFixHalf = int64_t(1) << (kFixBits - 1);
constexpr int64_t kFixFrac = (int64_t(1) << kFixBits) - 1;
constexpr int64_t kTieMargin = 16;

int64_t Fix(long double v) {
  return int64_t(std::llroundl(std::ldexp(v, kFixBits)));
}

// True with the rounded, clamped value when the sum is clear of a tie.
inline bool FixRound(int64_t sum, uint8_t& out) {
  const int64_t fromHalf = (sum & kFixFrac) - kFixHalf;
  if (fromHalf <= kTieMargin && fromHalf >= -kTieMargin) return false;
  out = ClampToByte((sum + kFixHalf) >> kFixBits);
  return true;
}

struct TYccTables {
  // Forward: the products of each coefficient with the curve of a byte,
  // [output][input channel R, G, B][byte]; 128 is folded into Cb and Cr's B term.
  int64_t Fwd[3][3][256];
  // Inverse: Y + a Cb' and so on, by the byte of Cb or Cr.
  int64_t BCb[256], GCb[256], GCr[256], RCr[256];
  TYccTables() {
    const auto& curve = CurveTable();
    static const long double k[3][3] = {
        {0.299L, 0.587L, 0.114L}, {-0.1687L, -0.3313L, 0.5L}, {0.5L, -0.4187L, -0.0813L}};
    for (int o = 0; o < 3; ++o)
      for (int ch = 0; ch < 3; ++ch)
        for (int c = 0; c < 256; ++c)
          Fwd[o][ch][c] = Fix(k[o][ch] * curve[size_t(c)]) + (o > 0 && ch == 2 ? Fix(128.0L) : 0);
    for (int c = 0; c < 256; ++c) {
      const long double d = static_cast<long double>(c) - 128.0L;
      BCb[c] = Fix(1.772L * d);
      GCb[c] = Fix(0.344136L * d);
      GCr[c] = Fix(0.714136L * d);
      RCr[c] = Fix(1.402L * d);
    }
  }
};

const TYccTables& YccTables() {
  static const TYccTables t;
  return t;
}

inline void PixelToYCCFast(const TYccTables& t, uint8_t b, uint8_t g, uint8_t r, uint8_t out[3]) {
  for (int o = 0; o < 3; ++o) {
    const int64_t sum = t.Fwd[o][0][r] + t.Fwd[o][1][g] + t.Fwd[o][2][b];
    if (!FixRound(sum, out[o])) {
      uint8_t exact[3];
      PixelToYCCLong(b, g, r, exact);
      out[o] = exact[o];
    }
  }
}

inline void YCCToPixelFast(const TYccTables& t, uint8_t y, uint8_t cb, uint8_t cr, uint8_t out[3]) {
  const int64_t base = int64_t(y) << kFixBits;
  const int64_t sums[3] = {base + t.BCb[cb], base - t.GCb[cb] - t.GCr[cr], base + t.RCr[cr]};
  for (int o = 0; o < 3; ++o)
    if (!FixRound(sums[o], out[o])) {
      uint8_t exact[3];
      YCCToPixelLong(y, cb, cr, exact);
      out[o] = exact[o];
    }
}

}  // namespace

void PixelToYCC(uint8_t b, uint8_t g, uint8_t r, uint8_t out[3]) {
  PixelToYCCFast(YccTables(), b, g, r, out);
}

void YCCToPixel(uint8_t y, uint8_t cb, uint8_t cr, uint8_t out[3]) {
  YCCToPixelFast(YccTables(), y, cb, cr, out);
}

void PixelToYCCFormula(uint8_t b, uint8_t g, uint8_t r, uint8_t out[3]) {
  PixelToYCCLong(b, g, r, out);
}

void YCCToPixelFormula(uint8_t y, uint8_t cb, uint8_t cr, uint8_t out[3]) {
  YCCToPixelLong(y, cb, cr, out);
}

size_t WriteBitmapPixels(const Bitmap24& bmp, uint8_t* out, uint8_t colorSystem) {
  if (colorSystem < csYCC || colorSystem > csY) return 0;
  const size_t rowBytes = size_t(bmp.Width()) * 3;
  uint8_t* dst = out;
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* src = bmp.ScanLine(y);
    if (colorSystem == csYCC) {
      const TYccTables& t = YccTables();
      for (size_t i = 0; i < rowBytes; i += 3) PixelToYCCFast(t, src[i], src[i + 1], src[i + 2], dst + i);
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
      const TYccTables& t = YccTables();
      for (size_t i = 0; i < n; i += 3) YCCToPixelFast(t, samples[i], samples[i + 1], samples[i + 2], dst + i);
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
  const TYccTables& t = YccTables();
  for (size_t i = 0; i + 3 <= n; i += 3) {
    uint8_t ycc[3];
    PixelToYCCFast(t, src[i], src[i + 1], src[i + 2], ycc);
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
