#include "formats/RowConvert.h"

#include <algorithm>
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

inline uint8_t CMYKChannel(int v, int k, int bits) {
  if (bits == 16) return Clamp255(255 - ((int64_t(v) + k - MulDiv(v, k, 65535)) >> 8));
  return Clamp255(int64_t(MulDiv(v, k, 255)) - v - k + 255);
}

inline void LabPixel(uint8_t l, int8_t a, int8_t b, uint8_t* out) {
  const double lp = l / 2.55;
  double x, y, z;
  if (lp < 7.9996) {
    y = lp / 903.3;
    x = y + a / 3893.5;
    z = y - b / 1557.4;
  } else {
    const double f = (lp + 16) / 116;
    const double fx = f + a / 500.0, fz = f - b / 200.0;
    x = fx * fx * fx;
    y = f * f * f;
    z = fz * fz * fz;
  }
  out[0] = Clamp255(RoundHalfEven(255 * (0.099 * x - 0.198 * y + 1.099 * z)));
  out[1] = Clamp255(RoundHalfEven(255 * (-0.952 * x + 1.893 * y + 0.059 * z)));
  out[2] = Clamp255(RoundHalfEven(255 * (2.998 * x - 1.458 * y - 0.541 * z)));
}

}  // namespace

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
