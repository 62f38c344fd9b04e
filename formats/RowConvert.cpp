#include "formats/RowConvert.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "platform/Rounding.h"

namespace {

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Sample i of a row of 8 or 16-bit samples, reduced to its high byte.
inline uint8_t High(const uint8_t* row, size_t i, int bits) {
  return bits == 16 ? uint8_t(Load16(row + 2 * i) >> 8) : row[i];
}

// Sample i at full width (0..255 or 0..65535).
inline int Full(const uint8_t* row, size_t i, int bits) {
  return bits == 16 ? Load16(row + 2 * i) : row[i];
}

inline uint8_t Clamp255(int64_t v) {
  return uint8_t(std::clamp<int64_t>(v, 0, 255));
}

// A colour value rounded to a byte, limits first so no value (however far
// out, or not a number) is converted outside the byte's range.
inline uint8_t RoundToByte(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return uint8_t(RoundHalfEven(v));
}

inline uint8_t CMYKChannel(int v, int k, int bits) {
  if (bits == 16) return Clamp255(255 - ((int64_t(v) + k - MulDiv(v, k, 65535)) >> 8));
  return Clamp255(int64_t(MulDiv(v, k, 255)) - v - k + 255);
}

// The sRGB transfer curve of linear light v (0..1).
double SRGBCurve(double v) {
  return v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
}

// Code k (1..255) is the smallest linear value that the formula encodes to k
// or more; found by bisection over the ordered bit patterns of non-negative
// doubles, so the table gives the formula's own answer, only without a
// power per channel.
struct TSRGBThresholds {
  double Code[256];
  TSRGBThresholds() {
    Code[0] = 0;
    for (int k = 1; k < 256; ++k) {
      uint64_t lo = std::bit_cast<uint64_t>(0.0), hi = std::bit_cast<uint64_t>(1.0);
      while (hi - lo > 1) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (SRGBEncode(std::bit_cast<double>(mid)) >= k)
          hi = mid;
        else
          lo = mid;
      }
      Code[k] = std::bit_cast<double>(hi);
    }
  }
};

const TSRGBThresholds& SRGBThresholds() {
  static const TSRGBThresholds table;
  return table;
}

using TMatrix = std::array<std::array<double, 3>, 3>;

TMatrix Multiply(const TMatrix& a, const TMatrix& b) {
  TMatrix m{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) m[i][j] += a[i][k] * b[k][j];
  return m;
}

TMatrix Inverse(const TMatrix& m) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  TMatrix r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      // Cofactor of m[j][i], by the cyclic rows and columns after each.
      const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
      r[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
    }
  return r;
}

// Lab's D50 white and the sRGB standard's D65 white and matrix.
constexpr double kD50[3] = {0.96422, 1.0, 0.82521};
constexpr double kD65[3] = {0.9505, 1.0, 1.0890};
constexpr TMatrix kXYZToLinearSRGB = {
    {{3.2406, -1.5372, -0.4986}, {-0.9689, 1.8758, 0.0415}, {0.0557, -0.2040, 1.0570}}};
constexpr TMatrix kBradford = {
    {{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}}};

// XYZ under D50 to linear sRGB: the Bradford adaptation to D65 (scale the
// cone responses by the ratio of the two whites'), then the sRGB matrix.
TMatrix D50ToLinearSRGB() {
  TMatrix scale{};
  for (int i = 0; i < 3; ++i) {
    double from = 0, to = 0;
    for (int k = 0; k < 3; ++k) {
      from += kBradford[i][k] * kD50[k];
      to += kBradford[i][k] * kD65[k];
    }
    scale[i][i] = to / from;
  }
  return Multiply(kXYZToLinearSRGB, Multiply(Inverse(kBradford), Multiply(scale, kBradford)));
}

// The inverse of the CIE lightness function f, in its linear part near black.
inline double LabFInverse(double t) {
  constexpr double delta = 6.0 / 29;
  return t > delta ? t * t * t : 3 * delta * delta * (t - 4.0 / 29);
}

inline void LabPixel(uint8_t l, int8_t a, int8_t b, uint8_t* out) {
  static const TMatrix m = D50ToLinearSRGB();
  const double fy = (l * 100.0 / 255 + 16) / 116;
  const double xyz[3] = {kD50[0] * LabFInverse(fy + a / 500.0), LabFInverse(fy),
                         kD50[2] * LabFInverse(fy - b / 200.0)};
  for (int c = 0; c < 3; ++c) {
    // Red, green, blue to the bitmap's blue, green, red.
    out[2 - c] = SRGBEncodeByTable(m[c][0] * xyz[0] + m[c][1] * xyz[1] + m[c][2] * xyz[2]);
  }
}

}  // namespace

uint8_t SRGBEncode(double linear) {
  return RoundToByte(255 * SRGBCurve(std::clamp(linear, 0.0, 1.0)));
}

uint8_t SRGBEncodeByTable(double linear) {
  const TSRGBThresholds& codes = SRGBThresholds();
  return uint8_t(std::upper_bound(codes.Code + 1, codes.Code + 256, linear) - (codes.Code + 1));
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  int64_t p = int64_t(a) * b, q = c;
  if (q < 0) {
    p = -p;
    q = -q;
  }
  return int(p >= 0 ? (p + q / 2) / q : -((-p + q / 2) / q));
}

uint16_t SwapShort(uint16_t value) {
  return uint16_t((value >> 8) | (value << 8));
}
uint32_t SwapLong(uint32_t value) {
  return __builtin_bswap32(value);
}

void SwapShorts(void* data, size_t count) {
  uint8_t* p = static_cast<uint8_t*>(data);
  for (size_t i = 0; i < count; ++i, p += 2) std::swap(p[0], p[1]);
}

void SwapLongs(void* data, size_t count) {
  uint8_t* p = static_cast<uint8_t*>(data);
  for (size_t i = 0; i < count; ++i, p += 4) {
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
  }
}

void Convert16To8(const uint8_t* source, uint8_t* dest, size_t count) {
  for (size_t i = 0; i < count; ++i) dest[i] = High(source, i, 16);
}

void ConvertRGBToDIB(const uint8_t* source, uint8_t* dest, size_t count, int bits) {
  for (size_t i = 0; i + 3 <= count; i += 3, dest += 3) {
    dest[0] = High(source, i + 2, bits);
    dest[1] = High(source, i + 1, bits);
    dest[2] = High(source, i, bits);
  }
}

void ConvertRGBAToDIB32(const uint8_t* source, uint8_t* dest, size_t count, int bits) {
  for (size_t i = 0; i + 4 <= count; i += 4, dest += 4) {
    dest[0] = High(source, i + 2, bits);
    dest[1] = High(source, i + 1, bits);
    dest[2] = High(source, i, bits);
    dest[3] = High(source, i + 3, bits);
  }
}

void ConvertRGBAToDIB24(const uint8_t* source, uint8_t* dest, size_t count, int bits) {
  for (size_t i = 0; i + 4 <= count; i += 4, dest += 3) {
    dest[0] = High(source, i + 2, bits);
    dest[1] = High(source, i + 1, bits);
    dest[2] = High(source, i, bits);
  }
}

void ConvertPlanarRGBToDIB(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dest,
                           size_t count, int bits) {
  for (size_t i = 0; i < count; ++i, dest += 3) {
    dest[0] = High(blue, i, bits);
    dest[1] = High(green, i, bits);
    dest[2] = High(red, i, bits);
  }
}

void ConvertCMYKToDIB(const uint8_t* source, uint8_t* dest, size_t count, int bits) {
  for (size_t i = 0; i + 4 <= count; i += 4, dest += 3) {
    const int k = Full(source, i + 3, bits);
    dest[0] = CMYKChannel(Full(source, i + 2, bits), k, bits);
    dest[1] = CMYKChannel(Full(source, i + 1, bits), k, bits);
    dest[2] = CMYKChannel(Full(source, i, bits), k, bits);
  }
}

void ConvertPlanarCMYKToDIB(const uint8_t* cyan, const uint8_t* magenta, const uint8_t* yellow,
                            const uint8_t* black, uint8_t* dest, size_t count, int bits) {
  for (size_t i = 0; i < count; ++i, dest += 3) {
    const int k = Full(black, i, bits);
    dest[0] = CMYKChannel(Full(yellow, i, bits), k, bits);
    dest[1] = CMYKChannel(Full(magenta, i, bits), k, bits);
    dest[2] = CMYKChannel(Full(cyan, i, bits), k, bits);
  }
}

void ConvertLabToDIB(const uint8_t* source, uint8_t* dest, size_t count) {
  for (size_t i = 0; i + 3 <= count; i += 3, dest += 3)
    LabPixel(source[i], int8_t(source[i + 1]), int8_t(source[i + 2]), dest);
}

void ConvertPlanarLabToDIB(const uint8_t* l, const uint8_t* a, const uint8_t* b, uint8_t* dest,
                           size_t count) {
  for (size_t i = 0; i < count; ++i, dest += 3) LabPixel(l[i], int8_t(a[i]), int8_t(b[i]), dest);
}

namespace {
template <size_t Step>
void UndoPredictor(uint8_t* row, size_t n) {
  for (size_t i = Step; i < Step * (n + 1); ++i) row[i] = uint8_t(row[i] + row[i - Step]);
}
}  // namespace

void UndoPredictor1(uint8_t* row, size_t n) {
  UndoPredictor<1>(row, n);
}
void UndoPredictor3(uint8_t* row, size_t n) {
  UndoPredictor<3>(row, n);
}
void UndoPredictor4(uint8_t* row, size_t n) {
  UndoPredictor<4>(row, n);
}

void UndoHorizontalPredictor(uint8_t* row, size_t pixels, size_t samplesPerPixel, int bits) {
  if (pixels < 2) return;
  const size_t count = pixels * samplesPerPixel;
  if (bits == 16) {
    for (size_t i = samplesPerPixel; i < count; ++i) {
      const uint16_t v = uint16_t(Load16(row + 2 * i) + Load16(row + 2 * (i - samplesPerPixel)));
      std::memcpy(row + 2 * i, &v, 2);
    }
    return;
  }
  for (size_t i = samplesPerPixel; i < count; ++i) row[i] = uint8_t(row[i] + row[i - samplesPerPixel]);
}

void ReverseBits(uint8_t* data, size_t count) {
  static constexpr auto kReversed = [] {
    std::array<uint8_t, 256> t{};
    for (int v = 0; v < 256; ++v)
      for (int bit = 0; bit < 8; ++bit)
        if (v & (1 << bit)) t[v] |= uint8_t(0x80 >> bit);
    return t;
  }();
  for (size_t i = 0; i < count; ++i) data[i] = kReversed[data[i]];
}

TYCbCrConverter::TYCbCrConverter(const double luma[3], const double referenceBlackWhite[6])
    : FLumaRed(luma[0]), FLumaGreen(luma[1]), FLumaBlue(luma[2]) {
  const double* rbw = referenceBlackWhite;
  for (int code = 0; code < 256; ++code) {
    FY[code] = (code - rbw[0]) * 255 / (rbw[1] - rbw[0]);
    const double cb = (code - rbw[2]) * 127 / (rbw[3] - rbw[2]);
    const double cr = (code - rbw[4]) * 127 / (rbw[5] - rbw[4]);
    FBlueFromCb[code] = cb * (2 - 2 * FLumaBlue);
    FRedFromCr[code] = cr * (2 - 2 * FLumaRed);
  }
}

void TYCbCrConverter::Pixel(uint8_t y, uint8_t cb, uint8_t cr, uint8_t* dest) const {
  const double luma = FY[y];
  const double red = FRedFromCr[cr] + luma, blue = FBlueFromCb[cb] + luma;
  const double green = (luma - FLumaBlue * blue - FLumaRed * red) / FLumaGreen;
  dest[0] = RoundToByte(blue);
  dest[1] = RoundToByte(green);
  dest[2] = RoundToByte(red);
}

void TYCbCrConverter::Row(const uint8_t* source, uint8_t* dest, size_t count) const {
  for (size_t i = 0; i + 3 <= count; i += 3, dest += 3) Pixel(source[i], source[i + 1], source[i + 2], dest);
}

void ConvertIndexedToDIB(const uint8_t* source, uint8_t* dest, int width, int bitsPerPixel,
                         const uint8_t* palette) {
  if (bitsPerPixel == 8) {
    for (int x = 0; x < width; ++x, dest += 3) std::memcpy(dest, palette + 3 * source[x], 3);
    return;
  }
  if (bitsPerPixel != 1 && bitsPerPixel != 2 && bitsPerPixel != 4) return;
  const int perByte = 8 / bitsPerPixel;
  const unsigned mask = (1u << bitsPerPixel) - 1;
  for (int x = 0; x < width; ++x, dest += 3) {
    const int shift = 8 - bitsPerPixel * (x % perByte + 1);
    const unsigned index = (source[x / perByte] >> shift) & mask;
    std::memcpy(dest, palette + 3 * index, 3);
  }
}
