#include "imaging/Adjust.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/Rounding.h"
#include "platform/Utils.h"

namespace {

// Byte offsets within a 24-bit pixel (blue, green, red) of the selected
// channels; false when the selector selects nothing.
struct Channels {
  int Offsets[3];
  int Count = 0;
};

bool SelectChannels(int channel, Channels& ch) {
  switch (channel) {
    case 0:
      ch = {{0, 1, 2}, 3};
      return true;
    case 1:
      ch = {{2}, 1};
      return true;
    case 2:
      ch = {{1}, 1};
      return true;
    case 3:
      ch = {{0}, 1};
      return true;
    default:
      return false;
  }
}

inline uint8_t Clamp64(int64_t v) {
  return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

void ApplyTable(Bitmap24& picture, const uint8_t (&table)[256], const Channels& ch) {
  for (int y = 0; y < picture.Height(); ++y) {
    uint8_t* p = picture.ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3)
      for (int i = 0; i < ch.Count; ++i) p[ch.Offsets[i]] = table[p[ch.Offsets[i]]];
  }
}

}  // namespace

void AdjustContrast(Bitmap24& picture, int amount, int channel) {
  Channels ch;
  if (!SelectChannels(channel, ch)) return;
  uint8_t t[256];
  for (int v = 0; v < 256; ++v) {
    const int64_t delta = int64_t(std::abs(128 - v)) * amount / 256;
    t[v] = Clamp64(v < 127 ? v - delta : v + delta);
  }
  ApplyTable(picture, t, ch);
}

void AdjustBrightness(Bitmap24& picture, int amount, int channel) {
  Channels ch;
  if (!SelectChannels(channel, ch)) return;
  uint8_t t[256];
  for (int v = 0; v < 256; ++v)
    t[v] = Clamp64(amount >= 0 ? v + int64_t(amount) * (255 - v) / 256
                               : v - int64_t(v) * -int64_t(amount) / 256);
  ApplyTable(picture, t, ch);
}

void AdjustSaturation(Bitmap24& picture, int amount, int channel) {
  Channels ch;
  if (!SelectChannels(channel, ch)) return;
  const int s = std::clamp(amount, 0, 510);
  int S[256], G[766];
  for (int v = 0; v < 256; ++v) S[v] = (v * s) >> 8;
  // Signed: above 256 the grey part goes below 0.
  for (int t = 0; t < 766; ++t) G[t] = t / 3 - S[t / 3];
  for (int y = 0; y < picture.Height(); ++y) {
    uint8_t* p = picture.ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3) {
      const int d = G[p[0] + p[1] + p[2]];
      for (int i = 0; i < ch.Count; ++i) {
        uint8_t& c = p[ch.Offsets[i]];
        c = uint8_t(ClampByte(d + S[c]));
      }
    }
  }
}

void AdjustBlurSharp(Bitmap24& picture, int distance, int channel) {
  Channels ch;
  if (!SelectChannels(channel, ch)) return;
  const int w = picture.Width(), h = picture.Height();
  if (w <= 0 || h <= 0) return;
  // Beyond the picture's size every neighbour clamps to an edge anyway.
  const int d = int(std::min<int64_t>(std::abs(int64_t(distance)), std::max(w, h)));
  if (d == 0) return;
  for (int y = 0; y < h; ++y) {
    uint8_t* rows[3] = {picture.ScanLine(ClampRange(y - d, 0, h - 1)), picture.ScanLine(y),
                        picture.ScanLine(ClampRange(y + d, 0, h - 1))};
    for (int x = 0; x < w; ++x) {
      const size_t cols[3] = {size_t(ClampRange(x - d, 0, w - 1)) * 3, size_t(x) * 3,
                              size_t(ClampRange(x + d, 0, w - 1)) * 3};
      uint8_t* centre = rows[1] + cols[1];
      for (int i = 0; i < ch.Count; ++i) {
        const int o = ch.Offsets[i];
        int n = -centre[o];
        for (const uint8_t* r : rows)
          for (size_t c : cols) n += r[c + size_t(o)];
        centre[o] = uint8_t(ClampByte((256 * centre[o] - 16 * n) / 128));
      }
    }
  }
}

void DifferenceBitmap(const Bitmap24& a, const Bitmap24& b, Bitmap24& c) {
  const int w = std::min({a.Width(), b.Width(), c.Width()});
  const int h = std::min({a.Height(), b.Height(), c.Height()});
  for (int y = 0; y < h; ++y) {
    const uint8_t* pa = a.ScanLine(y);
    const uint8_t* pb = b.ScanLine(y);
    uint8_t* pc = c.ScanLine(y);
    for (int x = 0; x < w; ++x, pa += 3, pb += 3, pc += 3) {
      const int g = (std::abs(pb[0] - pa[0]) + std::abs(pb[1] - pa[1]) + std::abs(pb[2] - pa[2])) / 3;
      pc[0] = pc[1] = pc[2] = uint8_t(g);
    }
  }
}

void MixBitmaps(const Bitmap24& a, const Bitmap24& b, uint8_t blueWeight, uint8_t greenWeight,
                uint8_t redWeight, Bitmap24& c) {
  const int w = std::min({a.Width(), b.Width(), c.Width()});
  const int h = std::min({a.Height(), b.Height(), c.Height()});
  const int weights[3] = {blueWeight, greenWeight, redWeight};
  for (int y = 0; y < h; ++y) {
    const uint8_t* pa = a.ScanLine(y);
    const uint8_t* pb = b.ScanLine(y);
    uint8_t* pc = c.ScanLine(y);
    for (int x = 0; x < w; ++x, pa += 3, pb += 3, pc += 3)
      for (int i = 0; i < 3; ++i) {
        const int B = pb[i];
        // >> on a negative value floors, as the formula asks.
        pc[i] = uint8_t(B - (((B - pa[i]) * weights[i]) >> 8));
      }
  }
}

namespace {

// The convolution walks the picture with each input row split once into one
// array per channel (red, green, blue), so that each output channel is a
// plain weighted sum along x over three such arrays. T is the sum type, as
// narrow as the weights allow; F divides: truncating a float or double
// quotient is exact while the sums stay below 2^23 or 2^53, since a quotient
// that is not whole then lies further from a whole number than the rounding
// can move it. A positive power-of-two divisor is a shift: its quotients are
// exact, and the negative ones, which the shift floors, come out 0 either way.
// Both are always inlined, so that each processor clone of their caller
// compiles them for its own instruction set.
template <class T>
[[gnu::always_inline]] inline void SplitRow(const TColor32* row, size_t n, T* planes) {
  for (int c = 0; c < 3; ++c) {
    T* p = planes + size_t(c) * n;
    const int shift = 16 - 8 * c;  // red, green, blue
    for (size_t x = 0; x < n; ++x) p[x] = T((row[x] >> shift) & 0xFF);
  }
}

// The rows are written in place: every sum reads the split arrays, and row
// y + 1 is split before row y is written, so all of them hold the picture as
// it was.
template <class T, class F>
[[gnu::always_inline]] inline void ConvolveAll(TBitmap32& bitmap, const std::array<int, 9>& k, int divisor) {
  const int w = bitmap.Width(), h = bitmap.Height();
  const size_t n = size_t(w);
  int shift = -1;
  if (divisor > 0 && (divisor & (divisor - 1)) == 0) shift = std::countr_zero(unsigned(divisor));
  const F fdivisor = F(divisor);
  // Three rows of planes, used in turn: row y lives in slot y % 3.
  std::vector<T> rows(n * 9);
  std::vector<uint8_t> result(n * 3);
  if (h < 3) return;
  SplitRow(bitmap.ScanLine(0), n, rows.data());
  SplitRow(bitmap.ScanLine(1), n, rows.data() + 3 * n);
  for (int y = 1; y + 1 < h; ++y) {
    SplitRow(bitmap.ScanLine(y + 1), n, rows.data() + size_t((y + 1) % 3) * 3 * n);
    for (int c = 0; c < 3; ++c) {
      const T* p0 = rows.data() + size_t((y - 1) % 3) * 3 * n + size_t(c) * n;
      const T* p1 = rows.data() + size_t(y % 3) * 3 * n + size_t(c) * n;
      const T* p2 = rows.data() + size_t((y + 1) % 3) * 3 * n + size_t(c) * n;
      uint8_t* res = result.data() + size_t(c) * n;
      auto sum = [&](size_t x) __attribute__((always_inline)) {
        return T(T(k[0]) * p0[x - 1] + T(k[1]) * p0[x] + T(k[2]) * p0[x + 1] + T(k[3]) * p1[x - 1] +
                 T(k[4]) * p1[x] + T(k[5]) * p1[x + 1] + T(k[6]) * p2[x - 1] + T(k[7]) * p2[x] +
                 T(k[8]) * p2[x + 1]);
      };
      if (shift >= 0) {
        for (size_t x = 1; x + 1 < n; ++x) {
          const T q = T(sum(x) >> shift);
          res[x] = uint8_t(q < 0 ? 0 : (q >= 255 ? 255 : q));
        }
      } else {
        for (size_t x = 1; x + 1 < n; ++x) {
          const F q = F(sum(x)) / fdivisor;
          res[x] = uint8_t(q < 0 ? 0 : (q >= 255 ? 255 : int(q)));
        }
      }
    }
    const uint8_t* red = result.data();
    const uint8_t* green = red + n;
    const uint8_t* blue = green + n;
    TColor32* dst = bitmap.ScanLine(y);
    for (size_t x = 1; x + 1 < n; ++x) dst[x] = Color32(red[x], green[x], blue[x], 255);
  }
}

// The usual case (small weights) built for the processor's wider vectors
// too; the sums are exact integers, so every build gives the same bytes.
__attribute__((target_clones("avx2", "default"))) void ConvolveAll16(TBitmap32& bitmap,
                                                                     const std::array<int, 9>& k,
                                                                     int divisor) {
  ConvolveAll<int16_t, float>(bitmap, k, divisor);
}

}  // namespace

void Convolve3x3(TBitmap32& bitmap, const std::array<int, 9>& weights, int divisor) {
  if (divisor == 0 || bitmap.Empty()) return;
  int64_t reach = 0;
  for (int k : weights) reach += std::abs(int64_t(k)) * 255;
  if (reach <= INT16_MAX)
    ConvolveAll16(bitmap, weights, divisor);
  else if (reach <= INT32_MAX)
    ConvolveAll<int32_t, double>(bitmap, weights, divisor);
  else
    ConvolveAll<int64_t, double>(bitmap, weights, divisor);
  bitmap.Changed();
}

TColor32 ColorRMS(const TBitmap32& bitmap) {
  if (bitmap.Empty()) return Color32(0, 0, 0, 255);
  const int w = bitmap.Width(), h = bitmap.Height();
  // Sums of squares of bytes are whole numbers far below 2^53: summing them
  // as integers gives exactly the double sums.
  int64_t r = 0, g = 0, b = 0;
  const TColor32* p = bitmap.Bits();
  const size_t n = size_t(w) * size_t(h);
  for (size_t i = 0; i < n; ++i) {
    const int32_t pr = RedComponent(p[i]), pg = GreenComponent(p[i]), pb = BlueComponent(p[i]);
    r += pr * pr;
    g += pg * pg;
    b += pb * pb;
  }
  // The divisor is (height - 1) * (width - 1) as the tile statistics have
  // always used; it would be 0 for a single row or column.
  auto rms = [&](double sum) {
    const double mean =
        (w > 1 && h > 1) ? sum / double(h - 1) / double(w - 1) : sum / (double(w) * double(h));
    return Clamp64(RoundHalfEven(std::sqrt(mean)));
  };
  return Color32(rms(r), rms(g), rms(b), 255);
}

void ShiftColors(TBitmap32& bitmap, int red, int green, int blue) {
  if (!bitmap.Empty()) {
    TColor32 tr[256], tg[256], tb[256];
    for (int v = 0; v < 256; ++v) {
      tr[v] = TColor32(Clamp64(int64_t(v) + red)) << 16;
      tg[v] = TColor32(Clamp64(int64_t(v) + green)) << 8;
      tb[v] = Clamp64(int64_t(v) + blue);
    }
    TColor32* p = bitmap.Bits();
    const size_t n = size_t(bitmap.Width()) * size_t(bitmap.Height());
    for (size_t i = 0; i < n; ++i)
      p[i] = 0xFF000000u | tr[RedComponent(p[i])] | tg[GreenComponent(p[i])] | tb[BlueComponent(p[i])];
  }
  bitmap.Changed();
}

void MatchTileColor(const TBitmap32& a, TBitmap32& b, int percentage) {
  const TColor32 ca = ColorRMS(a), cb = ColorRMS(b);
  const double p = percentage;
  // Red divides before it multiplies, green and blue the other way round;
  // in floating point the two orders can round differently, and both stay.
  const int dr = int(RoundHalfEven(double(RedComponent(ca) - RedComponent(cb)) / 100.0 * p));
  const int dg = int(RoundHalfEven(p * double(GreenComponent(ca) - GreenComponent(cb)) / 100.0));
  const int db = int(RoundHalfEven(p * double(BlueComponent(ca) - BlueComponent(cb)) / 100.0));
  ShiftColors(b, dr, dg, db);
}
