#include "imaging/Transfer.h"

#include <algorithm>
#include <bit>
#include <type_traits>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <numbers>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Rounding.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

float SinC(float x) {
  if (x == 0.0f) return 1.0f;
  const float px = kPi * x;
  return std::sin(px) / px;
}

// Ends every transfer, also when it fails.
struct TEmmsGuard {
  ~TEmmsGuard() { EMMS(); }
};

// The combine operation after resolving the draw mode.
struct TCombine {
  TDrawMode Op = dmOpaque;
  TCombineMode Mode = cmBlend;
  uint32_t Master = 255;
  const TPixelCombineEvent* Event = nullptr;
};

// False when nothing is to be drawn (a blend with master alpha 0).
bool ResolveCombine(const TBitmap32& src, TDrawMode op, const TPixelCombineEvent& event, TCombine& c) {
  c.Op = op;
  c.Mode = src.CombineMode();
  c.Master = src.MasterAlpha();
  c.Event = &event;
  if (op == dmCustom && !event) c.Op = dmOpaque;
  return !(c.Op == dmBlend && c.Master == 0);
}

// Unscaled rows: src row pointer to dst row pointer, count pixels.
void CombineRow(const TCombine& c, const TColor32* s, TColor32* d, int count) {
  switch (c.Op) {
    case dmOpaque:
      MoveWords32(s, d, count);
      break;
    case dmBlend:
      if (c.Master < 255)
        BlendRowMasterOf[c.Mode](s, d, count, c.Master);
      else
        BlendRowOf[c.Mode](s, d, count);
      break;
    case dmCustom:
      for (int i = 0; i < count; ++i) (*c.Event)(s[i], d[i], c.Master);
      break;
  }
}

// One stretched pixel: a blend uses the in-place blend with master alpha, also at 255.
inline void CombinePixelInto(const TCombine& c, TColor32 F, TColor32& B) {
  switch (c.Op) {
    case dmOpaque:
      B = F;
      break;
    case dmBlend:
      BlendMemMasterOf[c.Mode](F, B, c.Master);
      break;
    case dmCustom:
      (*c.Event)(F, B, c.Master);
      break;
  }
}

// Copies the clipped rows; (sx, sy) is the source pixel for d's top-left.
void CopyRows(TBitmap32& dst, const TRect& d, const TBitmap32& src, int sx, int sy, const TCombine& c) {
  const int w = d.Width();
  for (int y = d.Top; y < d.Bottom; ++y)
    CombineRow(c, src.PixelAddress(sx, sy + (y - d.Top)), dst.PixelAddress(d.Left, y), w);
}

// A private copy when source and destination are one bitmap, so that no row
// is read after it was written.
const TBitmap32& Detached(const TBitmap32& src, const TBitmap32* dst, std::unique_ptr<TBitmap32>& holder) {
  if (&src != dst) return src;
  holder = std::make_unique<TBitmap32>();
  holder->Assign(src);
  return *holder;
}

// --- Mapping tables, kept per thread for the last few geometries -------------------

struct TMapKey {
  int v[7];
  bool operator==(const TMapKey&) const = default;
};

std::shared_ptr<const TMappingTable> CachedMappingTable(int dstLo, int dstHi, int clipLo, int clipHi,
                                                        int srcLo, int srcHi, TStretchFilter filter) {
  struct TEntry {
    TMapKey Key;
    std::shared_ptr<const TMappingTable> Table;
  };
  thread_local std::vector<TEntry> cache;
  const TMapKey key{{dstLo, dstHi, clipLo, clipHi, srcLo, srcHi, int(filter)}};
  for (size_t i = 0; i < cache.size(); ++i)
    if (cache[i].Key == key) {
      std::rotate(cache.begin(), cache.begin() + i, cache.begin() + i + 1);
      return cache.front().Table;
    }
  auto table = std::make_shared<const TMappingTable>(
      BuildMappingTable(dstLo, dstHi, clipLo, clipHi, srcLo, srcHi, filter));
  cache.insert(cache.begin(), TEntry{key, table});
  if (cache.size() > 8) cache.pop_back();
  return table;
}

// --- The stretch paths ----------------------------------------------------------

void StretchNearest(TBitmap32& dst, const TRect& dr, const TRect& clip, const TBitmap32& src, const TRect& sr,
                    const TCombine& c) {
  const int64_t sw = sr.Width(), sh = sr.Height(), dw = dr.Width(), dh = dr.Height();
  std::vector<int> xs(size_t(clip.Width()));
  for (int x = clip.Left; x < clip.Right; ++x)
    xs[size_t(x - clip.Left)] = int((x - dr.Left) * sw / dw + sr.Left);
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const TColor32* s = src.ScanLine(int((y - dr.Top) * sh / dh + sr.Top));
    TColor32* d = dst.ScanLine(y);
    for (int x = clip.Left; x < clip.Right; ++x) CombinePixelInto(c, s[xs[size_t(x - clip.Left)]], d[x]);
  }
}

// Every destination pixel is the average of the source block it covers, per
// channel including alpha, through an 8.24 fixed-point reciprocal rounded up,
// so that a block of one colour keeps exactly that colour.
void StretchBlockAverage(TBitmap32& dst, const TRect& dr, const TRect& clip, const TBitmap32& src,
                         const TRect& sr, const TCombine& c) {
  const int64_t sw = sr.Width(), sh = sr.Height(), dw = dr.Width(), dh = dr.Height();
  auto block = [](int64_t p, int64_t s, int64_t d, int lo, int& a, int& b) {
    a = int(p * s / d) + lo;
    b = std::max(int((p + 1) * s / d) + lo, a + 1);
  };
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    int y0, y1;
    block(y - dr.Top, sh, dh, sr.Top, y0, y1);
    TColor32* d = dst.ScanLine(y);
    for (int x = clip.Left; x < clip.Right; ++x) {
      int x0, x1;
      block(x - dr.Left, sw, dw, sr.Left, x0, x1);
      uint64_t sum[4] = {0, 0, 0, 0};
      for (int yy = y0; yy < y1; ++yy) {
        const TColor32* s = src.ScanLine(yy);
        for (int xx = x0; xx < x1; ++xx)
          for (int k = 0; k < 4; ++k) sum[k] += (s[xx] >> (8 * k)) & 0xFF;
      }
      const uint64_t count = uint64_t(int64_t(x1 - x0) * (y1 - y0));
      const uint64_t recip = ((uint64_t(1) << 24) + count - 1) / count;
      TColor32 p = 0;
      for (int k = 0; k < 4; ++k) p |= TColor32(std::min<uint64_t>((sum[k] * recip) >> 24, 255)) << (8 * k);
      CombinePixelInto(c, p, d[x]);
    }
  }
}

// Bilinear enlargement with 8-bit weights: the left or upper neighbour weighs
// 256 - round(fraction * 256).
void StretchBilinear(TBitmap32& dst, const TRect& dr, const TRect& clip, const TBitmap32& src,
                     const TRect& sr, const TCombine& c) {
  const int sw = sr.Width(), sh = sr.Height(), dw = dr.Width(), dh = dr.Height();
  auto axis = [](int p, int s, int d, int& i0, int& i1, uint32_t& w) {
    const float pos = float(p) * float(s) / float(d);
    const float fl = std::floor(pos);
    i0 = std::min(int(fl), s - 1);
    i1 = std::min(i0 + 1, s - 1);
    w = uint32_t(256 - RoundHalfEvenF((pos - fl) * 256.0f));
  };
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    int y0, y1;
    uint32_t wy;
    axis(y - dr.Top, sh, dh, y0, y1, wy);
    const TColor32* r0 = src.ScanLine(sr.Top + y0) + sr.Left;
    const TColor32* r1 = src.ScanLine(sr.Top + y1) + sr.Left;
    TColor32* d = dst.ScanLine(y);
    for (int x = clip.Left; x < clip.Right; ++x) {
      int x0, x1;
      uint32_t wx;
      axis(x - dr.Left, sw, dw, x0, x1, wx);
      TColor32 p = 0;
      for (int k = 0; k < 32; k += 8) {
        const uint32_t top = wx * ((r0[x0] >> k) & 0xFF) + (256 - wx) * ((r0[x1] >> k) & 0xFF);
        const uint32_t bottom = wx * ((r1[x0] >> k) & 0xFF) + (256 - wx) * ((r1[x1] >> k) & 0xFF);
        p |= (((wy * top + (256 - wy) * bottom) >> 16) & 0xFF) << k;
      }
      CombinePixelInto(c, p, d[x]);
    }
  }
}

// Row kernel of the resampler: sums[k] += weight * byte k of each listed
// source row, over lanes bytes (4 per pixel) starting at column colLo. With
// SSE2 two rows go together through 16-bit multiply-adds; every product and
// sum is the same exact integer as in the plain loop.
void AccumulateRows(int32_t* sums, size_t lanes, const TBitmap32& src, int colLo, const TMappingPair* p,
                    const TMappingPair* end) {
#if defined(__SSE2__)
  const size_t vectorLanes = lanes & ~size_t(15);
  for (; p != end; p += 2) {
    const bool pair = p + 1 != end;
    const uint8_t* a = reinterpret_cast<const uint8_t*>(src.PixelAddress(colLo, p->Pos));
    const uint8_t* b = pair ? reinterpret_cast<const uint8_t*>(src.PixelAddress(colLo, p[1].Pos)) : a;
    const int32_t wa = p->Weight, wb = pair ? p[1].Weight : 0;
    if (wa < INT16_MIN || wa > INT16_MAX || wb < INT16_MIN || wb > INT16_MAX) {
      for (size_t k = 0; k < lanes; ++k) sums[k] += wa * int32_t(a[k]) + wb * int32_t(b[k]);
      continue;
    }
    const __m128i w = _mm_set1_epi32(int32_t((uint32_t(uint16_t(wb)) << 16) | uint16_t(wa)));
    const __m128i zero = _mm_setzero_si128();
    size_t k = 0;
    for (; k < vectorLanes; k += 16) {
      const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k));
      const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k));
      const __m128i aLo = _mm_unpacklo_epi8(va, zero), aHi = _mm_unpackhi_epi8(va, zero);
      const __m128i bLo = _mm_unpacklo_epi8(vb, zero), bHi = _mm_unpackhi_epi8(vb, zero);
      __m128i* s = reinterpret_cast<__m128i*>(sums + k);
      _mm_storeu_si128(s, _mm_add_epi32(_mm_loadu_si128(s), _mm_madd_epi16(_mm_unpacklo_epi16(aLo, bLo), w)));
      _mm_storeu_si128(
          s + 1, _mm_add_epi32(_mm_loadu_si128(s + 1), _mm_madd_epi16(_mm_unpackhi_epi16(aLo, bLo), w)));
      _mm_storeu_si128(
          s + 2, _mm_add_epi32(_mm_loadu_si128(s + 2), _mm_madd_epi16(_mm_unpacklo_epi16(aHi, bHi), w)));
      _mm_storeu_si128(
          s + 3, _mm_add_epi32(_mm_loadu_si128(s + 3), _mm_madd_epi16(_mm_unpackhi_epi16(aHi, bHi), w)));
    }
    for (; k < lanes; ++k) sums[k] += wa * int32_t(a[k]) + wb * int32_t(b[k]);
    if (!pair) break;
  }
#else
  for (; p != end; ++p) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(src.PixelAddress(colLo, p->Pos));
    const int32_t w = p->Weight;
    for (size_t k = 0; k < lanes; ++k) sums[k] += w * int32_t(bytes[k]);
  }
#endif
}

// Row kernel of the resampler's second step: one destination pixel from the
// column sums (pairs hold lane offsets into them), each channel the value
// >> 16, clamped first for the filters with negative lobes. Acc is int32_t
// when the weights bound every sum below 2^31, else int64_t.
template <typename Acc>
inline TColor32 ResamplePixel(const int32_t* sums, const TMappingPair* p, const TMappingPair* end,
                              bool clampValues) {
  Acc v0 = 0, v1 = 0, v2 = 0, v3 = 0;
  for (; p != end; ++p) {
    const int32_t* cs = sums + p->Pos;
    const Acc w = p->Weight;
    v0 += w * cs[0];
    v1 += w * cs[1];
    v2 += w * cs[2];
    v3 += w * cs[3];
  }
  const Acc v[4] = {v0, v1, v2, v3};
  TColor32 pixel = 0;
  for (int k = 0; k < 4; ++k) {
    Acc value = v[k];
    if (clampValues) value = std::clamp<Acc>(value, 0, 0xFF0000);
    pixel |= TColor32((value >> 16) & 0xFF) << (8 * k);
  }
  return pixel;
}

// Four 32-bit lanes as one value, for the compiler's vectors.
typedef int32_t TLanes4 __attribute__((vector_size(16)));

// ResamplePixel over a row of opaque destination pixels with 32-bit sums,
// built also for AVX2 (the same integer sums: the same bytes everywhere).
// The even and the odd taps go to two sums, so that each multiply waits for
// half as many before it; the total is the same integer.
__attribute__((target_clones("avx2", "default"))) void ResampleRowOpaque32(
    const int32_t* sums, const TMappingPair* lanes, const int32_t* start, int count, bool clampValues,
    TColor32* d) {
  for (int x = 0; x < count; ++x) {
    TLanes4 v = {}, u = {};
    const TMappingPair *p = lanes + start[x], *e = lanes + start[x + 1];
    for (; e - p >= 2; p += 2) {
      TLanes4 a, b;
      std::memcpy(&a, sums + p[0].Pos, sizeof a);
      std::memcpy(&b, sums + p[1].Pos, sizeof b);
      v += p[0].Weight * a;
      u += p[1].Weight * b;
    }
    if (p != e) {
      TLanes4 a;
      std::memcpy(&a, sums + p->Pos, sizeof a);
      v += p->Weight * a;
    }
    v += u;
    if (clampValues) {
      const TLanes4 none = {}, full = {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000};
      v = v < none ? none : v;
      v = v > full ? full : v;
    }
    v = (v >> 16) & 0xFF;
    d[x] = TColor32(v[0]) | TColor32(v[1]) << 8 | TColor32(v[2]) << 16 | TColor32(v[3]) << 24;
  }
}

// The largest total of absolute weights over the lists of a table.
int64_t MaxAbsWeight(const TMappingTable& t) {
  int64_t most = 0;
  for (int i = 0; i < t.Count(); ++i) {
    int64_t total = 0;
    for (const TMappingPair* p = t.Begin(i); p != t.End(i); ++p) total += std::abs(int64_t(p->Weight));
    most = std::max(most, total);
  }
  return most;
}

unsigned CoreCount() {
  static const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return cores;
}

thread_local int SerialStretchDepth = 0;

// Row kernels of the columns-first resampler in 32-bit sums: a destination
// row's sums from the listed rows of resampled columns, and the sums turned
// into channel bytes (byte k of a pixel word is channel k). Each is built for
// the processor's wider vectors too; the sums are exact integers, so every
// build gives the same bytes.
__attribute__((target_clones("avx2", "default"))) void SumRows32(const int32_t* across, size_t lanes,
                                                                  const TMappingPair* p, const TMappingPair* end,
                                                                  int rowLo, int32_t* sums) {
  std::fill(sums, sums + lanes, 0);
  for (; p != end; ++p) {
    const int32_t* a = across + size_t(p->Pos - rowLo) * lanes;
    const int32_t weight = p->Weight;
    for (size_t k = 0; k < lanes; ++k) sums[k] += weight * a[k];
  }
}

__attribute__((target_clones("avx2", "default"))) void SumsToBytes32(const int32_t* sums, size_t lanes,
                                                                      bool clampValues, uint8_t* out) {
  if (clampValues)
    for (size_t k = 0; k < lanes; ++k) out[k] = uint8_t(std::clamp(sums[k], 0, 0xFF0000) >> 16);
  else
    for (size_t k = 0; k < lanes; ++k) out[k] = uint8_t(sums[k] >> 16);
}

// The columns first, for stretches with fewer source rows than destination
// rows (enlargements): every source row is resampled across once into
// per-channel sums, then each destination row is a weighted sum of those rows,
// lane by lane. The total of every pixel is the same exact integer as rows
// first gives, so the bytes are the same. Acc as in ResamplePixel.
template <typename Acc>
void ResampleColumnsFirst(TBitmap32& dst, const TRect& clip, const TBitmap32& src, const TMappingTable& mapX,
                          const TMappingTable& mapY, int rowLo, int rowHi, bool clampValues, const TCombine& c) {
  static_assert(std::endian::native == std::endian::little, "pixel words hold channel k in byte k");
  const int w = clip.Width();
  const size_t lanes = size_t(w) * 4;
  std::vector<int32_t> across(size_t(rowHi - rowLo + 1) * lanes);
  for (int sy = rowLo; sy <= rowHi; ++sy) {
    const uint8_t* row = reinterpret_cast<const uint8_t*>(src.ScanLine(sy));
    int32_t* out = across.data() + size_t(sy - rowLo) * lanes;
    for (int x = 0; x < w; ++x) {
      int32_t v0 = 0, v1 = 0, v2 = 0, v3 = 0;
      for (const TMappingPair* p = mapX.Begin(x); p != mapX.End(x); ++p) {
        const uint8_t* px = row + size_t(p->Pos) * 4;
        v0 += p->Weight * int32_t(px[0]);
        v1 += p->Weight * int32_t(px[1]);
        v2 += p->Weight * int32_t(px[2]);
        v3 += p->Weight * int32_t(px[3]);
      }
      out[4 * x] = v0;
      out[4 * x + 1] = v1;
      out[4 * x + 2] = v2;
      out[4 * x + 3] = v3;
    }
  }
  std::vector<Acc> sums(lanes);
  std::vector<TColor32> pixels(static_cast<size_t>(w));
  for (int y = clip.Top; y < clip.Bottom; ++y) {
    const int row = y - clip.Top;
    TColor32* d = dst.ScanLine(y) + clip.Left;
    // Opaque rows go straight into the destination.
    TColor32* result = c.Op == dmOpaque ? d : pixels.data();
    if constexpr (std::is_same_v<Acc, int32_t>) {
      SumRows32(across.data(), lanes, mapY.Begin(row), mapY.End(row), rowLo, sums.data());
      SumsToBytes32(sums.data(), lanes, clampValues, reinterpret_cast<uint8_t*>(result));
    } else {
      std::fill(sums.begin(), sums.end(), Acc(0));
      for (const TMappingPair* p = mapY.Begin(row); p != mapY.End(row); ++p) {
        const int32_t* a = across.data() + size_t(p->Pos - rowLo) * lanes;
        const Acc weight = p->Weight;
        for (size_t k = 0; k < lanes; ++k) sums[k] += weight * Acc(a[k]);
      }
      uint8_t* bytes = reinterpret_cast<uint8_t*>(result);
      for (size_t k = 0; k < lanes; ++k) {
        Acc value = sums[k];
        if (clampValues) value = std::clamp<Acc>(value, 0, 0xFF0000);
        bytes[k] = uint8_t((value >> 16) & 0xFF);
      }
    }
    if (c.Op != dmOpaque)
      for (int x = 0; x < w; ++x) CombinePixelInto(c, pixels[size_t(x)], d[x]);
  }
}

// The separable resampler with exact integer sums: per destination row, the
// weighted column sums of the listed source rows, then per destination
// column the weighted sum of those. Large opaque or blended jobs split their
// destination rows over threads; every row is computed alone, so the bytes
// are the same for any number of threads.
void StretchResample(TBitmap32& dst, const TRect& dr, const TRect& clip, const TBitmap32& src,
                     const TRect& sr, TStretchFilter filter, const TCombine& c) {
  const auto mapX = CachedMappingTable(dr.Left, dr.Right, clip.Left, clip.Right, sr.Left, sr.Right, filter);
  const auto mapY = CachedMappingTable(dr.Top, dr.Bottom, clip.Top, clip.Bottom, sr.Top, sr.Bottom, filter);
  if (mapX->Count() == 0 || mapY->Count() == 0) return;
  int colLo = mapX->Pairs.front().Pos, colHi = colLo;
  for (const TMappingPair& p : mapX->Pairs) {
    colLo = std::min(colLo, p.Pos);
    colHi = std::max(colHi, p.Pos);
  }
  const size_t lanes = size_t(colHi - colLo + 1) * 4;
  const bool clampValues = filter == sfLanczos || filter == sfMitchell;
  // The horizontal lists with lane offsets into the column sums.
  std::vector<TMappingPair> xLanes(mapX->Pairs);
  for (TMappingPair& p : xLanes) p.Pos = (p.Pos - colLo) * 4;
  const bool narrow = MaxAbsWeight(*mapY) * 255 * MaxAbsWeight(*mapX) < (int64_t(1) << 31);
  auto rows = [&](int top, int bottom) {
    std::vector<int32_t> sums(lanes);
    for (int y = top; y < bottom; ++y) {
      const int row = y - clip.Top;
      std::fill(sums.begin(), sums.end(), 0);
      AccumulateRows(sums.data(), lanes, src, colLo, mapY->Begin(row), mapY->End(row));
      TColor32* d = dst.ScanLine(y);
      if (narrow && c.Op == dmOpaque) {
        ResampleRowOpaque32(sums.data(), xLanes.data(), mapX->Start.data(), clip.Width(), clampValues,
                            d + clip.Left);
        continue;
      }
      for (int x = clip.Left; x < clip.Right; ++x) {
        const int col = x - clip.Left;
        const TMappingPair *b = xLanes.data() + mapX->Start[col], *e = xLanes.data() + mapX->Start[col + 1];
        const TColor32 pixel = narrow ? ResamplePixel<int32_t>(sums.data(), b, e, clampValues)
                                      : ResamplePixel<int64_t>(sums.data(), b, e, clampValues);
        CombinePixelInto(c, pixel, d[x]);
      }
    }
  };
  // Threads only pay for large reductions, and a combine event is the
  // caller's code, which may not expect them.
  const uint64_t work = uint64_t(mapY->Pairs.size()) * lanes;
  const unsigned cores = CoreCount();
  const int threads = int(std::min<uint64_t>({cores, 4, uint64_t(clip.Height()), work / (8u << 20) + 1}));
  if (threads <= 1 || c.Op == dmCustom || SerialStretchDepth > 0) {
    int rowLo = mapY->Pairs.front().Pos, rowHi = rowLo;
    for (const TMappingPair& p : mapY->Pairs) {
      rowLo = std::min(rowLo, p.Pos);
      rowHi = std::max(rowHi, p.Pos);
    }
    // Columns first when fewer source rows are read than rows written, and
    // their sums stay small (16 bytes a pixel of each).
    const uint64_t acrossBytes = uint64_t(rowHi - rowLo + 1) * uint64_t(clip.Width()) * 16;
    if (rowHi - rowLo + 1 < clip.Height() && acrossBytes <= (uint64_t(64) << 20)) {
      if (narrow)
        ResampleColumnsFirst<int32_t>(dst, clip, src, *mapX, *mapY, rowLo, rowHi, clampValues, c);
      else
        ResampleColumnsFirst<int64_t>(dst, clip, src, *mapX, *mapY, rowLo, rowHi, clampValues, c);
      return;
    }
    rows(clip.Top, clip.Bottom);
    return;
  }
  std::vector<std::thread> pool;
  std::exception_ptr failure;
  std::mutex failureLock;
  const int h = clip.Height();
  for (int t = 0; t < threads; ++t) {
    const int top = clip.Top + int(int64_t(h) * t / threads),
              bottom = clip.Top + int(int64_t(h) * (t + 1) / threads);
    pool.emplace_back([&, top, bottom] {
      try {
        rows(top, bottom);
      } catch (...) {
        std::lock_guard g(failureLock);
        if (!failure) failure = std::current_exception();
      }
    });
  }
  for (std::thread& t : pool) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

TSerialStretchScope::TSerialStretchScope() {
  ++SerialStretchDepth;
}

TSerialStretchScope::~TSerialStretchScope() {
  --SerialStretchDepth;
}

float StretchKernel(TStretchFilter filter, float x) {
  const float a = std::fabs(x);
  switch (filter) {
    case sfNearest:
      return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
    case sfDraft:
    case sfLinear:
      return a < 1.0f ? 1.0f - a : 0.0f;
    case sfCosine:
      return a < 1.0f ? (std::cos(kPi * x) + 1.0f) / 2.0f : 0.0f;
    case sfSpline:
      if (a < 1.0f) return 0.5f * a * a * a - a * a + 2.0f / 3.0f;
      if (a < 2.0f) {
        const float t = 2.0f - a;
        return t * t * t / 6.0f;
      }
      return 0.0f;
    case sfLanczos:
      return a < 3.0f ? SinC(a) * SinC(a / 3.0f) : 0.0f;
    case sfMitchell:
      if (a < 1.0f) return (7.0f * a * a * a - 12.0f * a * a + 16.0f / 3.0f) / 6.0f;
      if (a < 2.0f) return (-7.0f / 3.0f * a * a * a + 12.0f * a * a - 20.0f * a + 32.0f / 3.0f) / 6.0f;
      return 0.0f;
  }
  return 0.0f;
}

float StretchFilterWidth(TStretchFilter filter) {
  switch (filter) {
    case sfSpline:
    case sfMitchell:
      return 2.0f;
    case sfLanczos:
      return 3.0f;
    default:
      return 1.0f;
  }
}

TMappingTable BuildMappingTable(int dstLo, int dstHi, int clipLo, int clipHi, int srcLo, int srcHi,
                                TStretchFilter filter) {
  TMappingTable t;
  const int S = srcHi - srcLo, D = dstHi - dstLo, n = std::max(clipHi - clipLo, 0);
  if (S <= 0) return t;
  t.Start.reserve(size_t(n) + 1);
  t.Start.push_back(0);
  if (S == 1) {
    for (int i = 0; i < n; ++i) {
      t.Pairs.push_back({srcLo, 256});
      t.Start.push_back(int32_t(t.Pairs.size()));
    }
    return t;
  }
  const float scale = float(D) / float(S);
  const float width = StretchFilterWidth(filter);
  const bool enlarging = scale >= 1.0f;
  const float reach = enlarging ? width : width / scale;
  std::vector<TMappingPair> list;
  for (int i = 0; i < n; ++i) {
    const float centre = (float(i + clipLo - dstLo) + 0.5f) / scale + float(srcLo) - 0.5f;
    const int j0 = int(std::floor(centre - reach)), j1 = int(std::ceil(centre + reach));
    list.clear();
    for (int j = j0; j <= j1; ++j) {
      const float dx = centre - float(j);
      const int32_t w =
          int32_t(enlarging ? RoundHalfEvenF(StretchKernel(filter, dx) * 256.0f)
                            : RoundHalfEvenF(scale * StretchKernel(filter, dx * scale) * 256.0f));
      if (w != 0) list.push_back({std::clamp(j, srcLo, srcHi - 1), w});
    }
    if (list.empty()) list.push_back({std::clamp(int(std::floor(centre)), srcLo, srcHi - 1), 256});
    int32_t total = 0;
    for (const TMappingPair& p : list) total += p.Weight;
    list[(list.size() - 1) / 2].Weight += 256 - total;
    t.Pairs.insert(t.Pairs.end(), list.begin(), list.end());
    t.Start.push_back(int32_t(t.Pairs.size()));
  }
  return t;
}

void CopyBlock32(TBitmap32* dst, int dstX, int dstY, const TRect& dstClip, const TBitmap32& source,
                 const TRect& srcRect, TDrawMode combineOp, const TPixelCombineEvent& combineCallBack) {
  TEmmsGuard emms;
  if (source.Empty()) return;
  if (dst == nullptr || dst->Empty()) throw ETransformError("Destination bitmap is nil or empty");
  TCombine c;
  if (!ResolveCombine(source, combineOp, combineCallBack, c)) return;
  TRect clip, s, d;
  IntersectRect32(clip, dstClip, dst->BoundsRect());
  if (!IntersectRect32(s, srcRect, source.BoundsRect()) || IsRectEmpty32(s)) return;
  // Where the unclipped rectangle's corner lands; far-off positions draw nothing.
  const int64_t dx = int64_t(dstX) - srcRect.Left, dy = int64_t(dstY) - srcRect.Top;
  if (dx + s.Right <= clip.Left || dx + s.Left >= clip.Right || dy + s.Bottom <= clip.Top ||
      dy + s.Top >= clip.Bottom)
    return;
  OffsetRect32(s, int32_t(dx), int32_t(dy));
  if (!IntersectRect32(d, s, clip) || IsRectEmpty32(d)) return;
  std::unique_ptr<TBitmap32> holder;
  const TBitmap32& src = Detached(source, dst, holder);
  CopyRows(*dst, d, src, int(d.Left - dx), int(d.Top - dy), c);
}

void StretchBlock32(TBitmap32* dst, const TRect& dstRect, const TRect& dstClip, const TBitmap32& source,
                    const TRect& srcRect, TStretchFilter filter, TDrawMode combineOp,
                    const TPixelCombineEvent& combineCallBack) {
  TEmmsGuard emms;
  if (source.Empty()) return;
  if (dst == nullptr || dst->Empty()) throw ETransformError("Destination bitmap is nil or empty");
  if (IsRectEmpty32(srcRect)) return;
  if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > source.Width() ||
      srcRect.Bottom > source.Height())
    throw ETransformError("Source rectangle is invalid");
  TRect clip;
  if (!IntersectRect32(clip, dstClip, dst->BoundsRect()) || !IntersectRect32(clip, clip, dstRect) ||
      IsRectEmpty32(clip))
    return;
  TCombine c;
  if (!ResolveCombine(source, combineOp, combineCallBack, c)) return;
  std::unique_ptr<TBitmap32> holder;
  const TBitmap32& src = Detached(source, dst, holder);
  const int sw = srcRect.Width(), sh = srcRect.Height(), dw = dstRect.Width(), dh = dstRect.Height();
  if (sw == dw && sh == dh) {
    CopyRows(*dst, clip, src, clip.Left - dstRect.Left + srcRect.Left, clip.Top - dstRect.Top + srcRect.Top,
             c);
    return;
  }
  switch (filter) {
    case sfNearest:
      StretchNearest(*dst, dstRect, clip, src, srcRect, c);
      return;
    case sfDraft:
    case sfLinear:
      if (filter == sfDraft && sw >= dw && sh >= dh) {
        StretchBlockAverage(*dst, dstRect, clip, src, srcRect, c);
      } else if (dw > sw && dh > sh && sw > 1 && sh > 1) {
        StretchBilinear(*dst, dstRect, clip, src, srcRect, c);
      } else {
        StretchResample(*dst, dstRect, clip, src, srcRect, sfLinear, c);
      }
      return;
    default:
      StretchResample(*dst, dstRect, clip, src, srcRect, filter, c);
      return;
  }
}
