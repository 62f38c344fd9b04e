#include "imaging/Resample.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "platform/Errors.h"
#include "platform/Parallel.h"
#include "platform/Rounding.h"

// Expressions are evaluated in double and stored as float wherever the
// resamplers keep a value (kernel arguments and results, scales, centres,
// float weights and sums), so the results do not depend on how the compiler
// or the processor would have evaluated them in float.

namespace {

constexpr double kPi = 3.14159265358979323846;

// sin(pi * t) for 0 <= t <= 3, from our own series rather than the C
// library, whose variants chosen at start-up may differ in the last bit.
double SinPi(double t) {
  const double n = std::nearbyint(t);
  const double r = (t - n) * kPi;  // |r| <= pi/2; t - n is exact
  const double r2 = r * r;
  // Taylor series to r^23; the first omitted term is below 1e-18 on [-pi/2, pi/2].
  constexpr double c[] = {-1.0 / 6,
                          1.0 / 120,
                          -1.0 / 5040,
                          1.0 / 362880,
                          -1.0 / 39916800,
                          1.0 / 6227020800,
                          -1.0 / 1307674368000,
                          1.0 / 355687428096000,
                          -1.0 / 1.21645100408832e17,
                          1.0 / 5.109094217170944e19,
                          -1.0 / 2.585201673888498e22};
  double p = c[10];
  for (int k = 9; k >= 0; --k) p = p * r2 + c[k];
  const double s = r + r * r2 * p;
  return (int64_t(n) & 1) ? -s : s;
}

double SinC(double x) {
  if (x == 0) return 1.0;
  return SinPi(x) / (kPi * x);
}

}  // namespace

static float BoxFilter(float x) {
  return (x > -0.5f && x <= 0.5f) ? 1.0f : 0.0f;
}

static float TriangleFilter(float x) {
  const double a = std::fabs(double(x));
  return a < 1.0 ? float(1.0 - a) : 0.0f;
}

static float HermiteFilter(float x) {
  const double a = std::fabs(double(x));
  return a < 1.0 ? float((2.0 * a - 3.0) * a * a + 1.0) : 0.0f;
}

static float BellFilter(float x) {
  const double a = std::fabs(double(x));
  if (a < 0.5) return float(0.75 - a * a);
  if (a < 1.5) {
    const double t = a - 1.5;
    return float(0.5 * t * t);
  }
  return 0.0f;
}

static float BSplineFilter(float x) {
  const double a = std::fabs(double(x));
  if (a < 1.0) return float(0.5 * a * a * a - a * a + 2.0 / 3.0);
  if (a < 2.0) {
    const double t = 2.0 - a;
    return float(t * t * t / 6.0);
  }
  return 0.0f;
}

static float Lanczos3Filter(float x) {
  const double a = std::fabs(double(x));
  return a < 3.0 ? float(SinC(a) * SinC(a / 3.0)) : 0.0f;
}

// The cubic with B = C = 1/3.
static float MitchellFilter(float x) {
  const double a = std::fabs(double(x));
  if (a < 1.0) return float((7.0 * a * a * a - 12.0 * a * a + 16.0 / 3.0) / 6.0);
  if (a < 2.0) return float((-7.0 / 3.0 * a * a * a + 12.0 * a * a - 20.0 * a + 32.0 / 3.0) / 6.0);
  return 0.0f;
}

const TKernelEntry KernelTable[7] = {
    {"Box", BoxFilter, 0.5f},           {"Triangle", TriangleFilter, 1.0f},
    {"Hermite", HermiteFilter, 1.0f},   {"Bell", BellFilter, 1.5f},
    {"B-Spline", BSplineFilter, 2.0f},  {"Lanczos3", Lanczos3Filter, 3.0f},
    {"Mitchell", MitchellFilter, 2.0f},
};

namespace {

struct RawContributor {
  int Index;      // source position, already mapped into the source
  double Weight;  // kernel value, times the scale when reducing
};

// The mapping of one axis, source size S onto target size D (both > 0).
// The first and last target centres fall on the first and last source
// centres; a target of one pixel sits on the middle of the source.
class AxisMap {
 public:
  AxisMap(int S, int D, float support) : FS(S), FD(D) {
    if (S == 1)
      FScale = float(double(D) / double(S));
    else if (D == 1)
      FScale = float(1.0 / double(S));  // (D - 1) / (S - 1) would be 0
    else
      FScale = float(double(D - 1) / double(S - 1));
    FReducing = FScale < 1.0f;
    FSupport = FReducing ? float(double(support) / double(FScale)) : support;
  }

  float Centre(int i) const {
    if (FD == 1 && FS > 1) return float(double(FS - 1) / 2.0);
    return float(double(i) / double(FScale));
  }

  // Every source position in reach of target i with its weight, in order.
  void Gather(int i, TFilterProc kernel, std::vector<RawContributor>& out) const {
    out.clear();
    const double centre = Centre(i);
    const int64_t lo = int64_t(std::floor(centre - double(FSupport)));
    const int64_t hi = int64_t(std::ceil(centre + double(FSupport)));
    for (int64_t j = lo; j <= hi; ++j) {
      const double d = centre - double(j);
      double w;
      if (FReducing)
        w = double(kernel(float(d * double(FScale)))) * double(FScale);
      else
        w = double(kernel(float(d)));
      out.push_back({Reflect(j), w});
    }
  }

  int Nearest(int i) const { return int(std::clamp<int64_t>(RoundHalfEvenF(Centre(i)), 0, FS - 1)); }

 private:
  // Mirrors about pixel 0 without repeating it and about the last pixel
  // repeating it; positions still outside (sources narrower than the
  // support) are clamped.
  int Reflect(int64_t j) const {
    if (j < 0)
      j = -j;
    else if (j >= FS)
      j = 2 * int64_t(FS) - 1 - j;
    return int(std::clamp<int64_t>(j, 0, FS - 1));
  }

  int FS, FD;
  float FScale;
  bool FReducing;
  float FSupport;
};

// Integer contributor lists of one axis. The contributors of a target
// position are kept as one dense run of source positions [Start, Start + Len)
// with a weight each (0 where none): integer sums are exact, so merging the
// weights of a position reached twice by reflection changes no result and
// lets the inner loops run over contiguous memory. Each run's weights are
// padded with zeros to a whole number of blocks of kBlock, which the row
// pass reads as such (its source rows are padded to match).
// The weights of a run add up to less than 2000 in magnitude (the kernels
// integrate to about 1, and a kept weight at least doubles by rounding), so
// they fit 16 bits and every sum of weights times bytes fits 32.
constexpr int kBlock = 16;

struct IntSpans {
  std::vector<int> Start, Len, Blocks, Total;
  std::vector<size_t> Offset;
  std::vector<int16_t> Weights;
  // 2^32 / Total rounded up, for dividing by Total with a multiplication.
  std::vector<uint64_t> Reciprocal;
};

IntSpans BuildIntSpans(int S, int D, TFilterProc kernel, float support) {
  const AxisMap axis(S, D, support);
  IntSpans sp;
  sp.Start.resize(D);
  sp.Len.resize(D);
  sp.Blocks.resize(D);
  sp.Total.resize(D);
  sp.Offset.resize(D);
  sp.Reciprocal.resize(D);
  std::vector<RawContributor> raw;
  std::vector<std::pair<int, int32_t>> kept;
  for (int i = 0; i < D; ++i) {
    axis.Gather(i, kernel, raw);
    kept.clear();
    for (const RawContributor& c : raw) {
      const int32_t w = int32_t(RoundHalfEven(c.Weight * 256.0));
      if (w != 0) kept.push_back({c.Index, w});
    }
    // Reductions beyond a few hundred times round every weight to 0; the
    // nearest pixel is a far better answer than black.
    if (kept.empty()) kept.push_back({axis.Nearest(i), 256});
    int lo = kept[0].first, hi = lo;
    for (const auto& k : kept) {
      lo = std::min(lo, k.first);
      hi = std::max(hi, k.first);
    }
    sp.Start[i] = lo;
    sp.Len[i] = hi - lo + 1;
    sp.Blocks[i] = (sp.Len[i] + kBlock - 1) / kBlock;
    sp.Offset[i] = sp.Weights.size();
    sp.Weights.resize(sp.Weights.size() + size_t(sp.Blocks[i]) * kBlock, 0);
    int32_t total = 0;
    for (const auto& k : kept) {
      sp.Weights[sp.Offset[i] + size_t(k.first - lo)] += int16_t(k.second);
      total += k.second;
    }
    sp.Total[i] = total;
    sp.Reciprocal[i] = total > 0 ? ((uint64_t(1) << 32) + uint64_t(total) - 1) / uint64_t(total) : 0;
  }
  return sp;
}

// Library building and plan creation resample picture after picture to the
// same sizes; the last few tables of each thread are kept for the next call.
std::shared_ptr<const IntSpans> CachedIntSpans(int S, int D, TFilterProc kernel, float support) {
  struct Key {
    int S = 0, D = 0;
    TFilterProc Kernel = nullptr;
    float Support = 0;
    bool operator==(const Key&) const = default;
  };
  struct Cache {
    Key Keys[4];
    std::shared_ptr<const IntSpans> Spans[4];
    int Next = 0;
  };
  thread_local Cache cache;
  const Key key{S, D, kernel, support};
  for (int i = 0; i < 4; ++i)
    if (cache.Spans[i] && cache.Keys[i] == key) return cache.Spans[i];
  auto sp = std::make_shared<const IntSpans>(BuildIntSpans(S, D, kernel, support));
  cache.Keys[cache.Next] = key;
  cache.Spans[cache.Next] = sp;
  cache.Next = (cache.Next + 1) % 4;
  return sp;
}

// Channel result: the weighted sum divided by the weight total (truncating),
// or, when the weights cancel out, the sum shifted right by 8 as unsigned.
inline uint8_t FinishChannel(int32_t sum, int32_t total) {
  const int64_t v = total != 0 ? int64_t(sum / total) : int64_t(uint32_t(sum) >> 8);
  return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// FinishChannel for a positive total, by multiplication: with R = 2^32 /
// total rounded up, (sum * R) >> 32 is the truncated quotient or one more
// (for 0 < sum < 2^31 the excess of R adds less than a half), which one
// product with the total tells apart.
inline uint8_t DividedChannel(int32_t sum, int32_t total, uint64_t reciprocal) {
  if (sum <= 0) return 0;
  uint64_t q = (uint64_t(uint32_t(sum)) * reciprocal) >> 32;
  q -= uint64_t(q * uint64_t(total) > uint64_t(uint32_t(sum)));
  return uint8_t(q > 255 ? 255 : q);
}

// The three weighted sums of every target position of one row, from a row
// split into one padded array per channel. Integer sums are exact, so both
// versions give the same numbers.
void RowSumsPlain(const int16_t* pb, const int16_t* pg, const int16_t* pr, const IntSpans& sp,
                  int32_t* sums) {
  const int D = int(sp.Start.size());
  for (int x = 0; x < D; ++x, sums += 3) {
    const int16_t* w = sp.Weights.data() + sp.Offset[x];
    const int s = sp.Start[x], n = sp.Len[x];
    int32_t b = 0, g = 0, r = 0;
    for (int k = 0; k < n; ++k) {
      b += int32_t(pb[s + k]) * int32_t(w[k]);
      g += int32_t(pg[s + k]) * int32_t(w[k]);
      r += int32_t(pr[s + k]) * int32_t(w[k]);
    }
    sums[0] = b;
    sums[1] = g;
    sums[2] = r;
  }
}

__attribute__((target("avx2"))) void RowSumsAvx2(const int16_t* pb, const int16_t* pg, const int16_t* pr,
                                                 const IntSpans& sp, int32_t* sums) {
  const int D = int(sp.Start.size());
  for (int x = 0; x < D; ++x, sums += 3) {
    const int16_t* w = sp.Weights.data() + sp.Offset[x];
    const int s = sp.Start[x];
    __m256i ab = _mm256_setzero_si256(), ag = ab, ar = ab;
    for (int blk = 0; blk < sp.Blocks[x]; ++blk) {
      const int k = blk * kBlock;
      const __m256i wk = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + k));
      ab = _mm256_add_epi32(
          ab, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pb + s + k)), wk));
      ag = _mm256_add_epi32(
          ag, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pg + s + k)), wk));
      ar = _mm256_add_epi32(
          ar, _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pr + s + k)), wk));
    }
    // b and g pairwise, then with r: lanes 0..2 of each half hold the half's sums.
    const __m256i bg = _mm256_hadd_epi32(ab, ag), rr = _mm256_hadd_epi32(ar, ar);
    const __m256i all = _mm256_hadd_epi32(bg, rr);
    const __m128i t = _mm_add_epi32(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1));
    sums[0] = _mm_cvtsi128_si32(t);
    sums[1] = _mm_extract_epi32(t, 1);
    sums[2] = _mm_extract_epi32(t, 2);
  }
}

// A row of B, G, R bytes split into one array of 16-bit values per channel.
void SplitRowPlain(const uint8_t* src, int n, int16_t* pb, int16_t* pg, int16_t* pr) {
  for (int x = 0; x < n; ++x, src += 3) {
    pb[x] = src[0];
    pg[x] = src[1];
    pr[x] = src[2];
  }
}

__attribute__((target("avx2"))) void SplitRowAvx2(const uint8_t* src, int n, int16_t* pb, int16_t* pg,
                                                  int16_t* pr) {
  // Sixteen pixels (three registers) at a time: each channel's bytes are
  // picked from the three registers and widened to 16 bits.
  const __m128i b0 = _mm_setr_epi8(0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i b1 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14, -1, -1, -1, -1, -1);
  const __m128i b2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 1, 4, 7, 10, 13);
  const __m128i g0 = _mm_setr_epi8(1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i g1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15, -1, -1, -1, -1, -1);
  const __m128i g2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 2, 5, 8, 11, 14);
  const __m128i r0 = _mm_setr_epi8(2, 5, 8, 11, 14, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m128i r1 = _mm_setr_epi8(-1, -1, -1, -1, -1, 1, 4, 7, 10, 13, -1, -1, -1, -1, -1, -1);
  const __m128i r2 = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 3, 6, 9, 12, 15);
  int x = 0;
  for (; x + 16 <= n; x += 16, src += 48) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
    const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
    const __m128i b = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, b0), _mm_shuffle_epi8(v1, b1)),
                                   _mm_shuffle_epi8(v2, b2));
    const __m128i g = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, g0), _mm_shuffle_epi8(v1, g1)),
                                   _mm_shuffle_epi8(v2, g2));
    const __m128i r = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, r0), _mm_shuffle_epi8(v1, r1)),
                                   _mm_shuffle_epi8(v2, r2));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pb + x), _mm256_cvtepu8_epi16(b));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pg + x), _mm256_cvtepu8_epi16(g));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pr + x), _mm256_cvtepu8_epi16(r));
  }
  SplitRowPlain(src, n - x, pb + x, pg + x, pr + x);
}

// One source row (3 bytes per pixel) into one work row of target width. The
// row is first split into one array per channel, each padded with a block
// of zeros, so that every target pixel is three contiguous dot products.
std::atomic<bool> g_plainKernels{false};

void HorizontalRow(const uint8_t* src, int sw, uint8_t* dst, const IntSpans& sp, int16_t* planes,
                   int32_t* sums) {
  static const bool hasAvx2 = __builtin_cpu_supports("avx2");
  const bool avx2 = hasAvx2 && !g_plainKernels;
  const size_t stride = size_t(sw) + kBlock;
  int16_t* pb = planes;
  int16_t* pg = planes + stride;
  int16_t* pr = planes + 2 * stride;
  if (avx2) {
    SplitRowAvx2(src, sw, pb, pg, pr);
    RowSumsAvx2(pb, pg, pr, sp, sums);
  } else {
    SplitRowPlain(src, sw, pb, pg, pr);
    RowSumsPlain(pb, pg, pr, sp, sums);
  }
  const int D = int(sp.Start.size());
  for (int x = 0; x < D; ++x, dst += 3, sums += 3) {
    const int32_t t = sp.Total[x];
    if (t <= 0) {
      dst[0] = FinishChannel(sums[0], t);
      dst[1] = FinishChannel(sums[1], t);
      dst[2] = FinishChannel(sums[2], t);
      continue;
    }
    const uint64_t rc = sp.Reciprocal[x];
    dst[0] = DividedChannel(sums[0], t, rc);
    dst[1] = DividedChannel(sums[1], t, rc);
    dst[2] = DividedChannel(sums[2], t, rc);
  }
}

// The column pass done a whole target row at a time: each channel byte of
// the row sums the same weighted work rows, so the loops run along rows.
__attribute__((target_clones("avx2", "default"))) void VerticalRow(const uint8_t* work, size_t workStride,
                                                                   int target, const IntSpans& sp,
                                                                   int32_t* acc, size_t n, uint8_t* dst) {
  std::fill(acc, acc + n, 0);
  const int16_t* w = sp.Weights.data() + sp.Offset[target];
  const uint8_t* row = work + size_t(sp.Start[target]) * workStride;
  for (int k = 0; k < sp.Len[target]; ++k, row += workStride) {
    const int32_t wk = w[k];
    if (wk == 0) continue;
    for (size_t b = 0; b < n; ++b) acc[b] += wk * row[b];
  }
  const int32_t t = sp.Total[target];
  if (t <= 0) {
    for (size_t b = 0; b < n; ++b) dst[b] = FinishChannel(acc[b], t);
    return;
  }
  const uint64_t rc = sp.Reciprocal[target];
  for (size_t b = 0; b < n; ++b) dst[b] = DividedChannel(acc[b], t, rc);
}

// The work picture between the passes: target width x source height.
std::vector<uint8_t> WorkPicture(int width, int height) {
  const uint64_t bytes = uint64_t(width) * 3 * uint64_t(height);
  try {
    if (bytes > (uint64_t(1) << 40)) throw std::bad_alloc();
    return std::vector<uint8_t>(bytes);
  } catch (const std::bad_alloc&) {
    throw EOutOfResources(Format("Not enough memory for a picture of %d x %d pixels", width, height));
  }
}

// Memory each thread keeps between pictures: library building and plan
// creation resample picture after picture, and fresh memory for each costs
// more than the arithmetic. A buffer grown beyond a few megabytes is given
// back when its user is done.
class TScratch {
 public:
  TScratch(int slot, uint64_t bytes, int width, int height) : FBuffer(Buffers()[slot]) {
    try {
      if (bytes > (uint64_t(1) << 40)) throw std::bad_alloc();
      if (FBuffer.size() < bytes) FBuffer.resize(size_t(bytes));
    } catch (const std::bad_alloc&) {
      throw EOutOfResources(Format("Not enough memory for a picture of %d x %d pixels", width, height));
    }
  }
  ~TScratch() {
    if (FBuffer.size() > kKept) std::vector<uint8_t>().swap(FBuffer);
  }
  TScratch(const TScratch&) = delete;
  TScratch& operator=(const TScratch&) = delete;
  template <typename T>
  T* As() {
    return reinterpret_cast<T*>(FBuffer.data());
  }

 private:
  static constexpr size_t kKept = size_t(8) << 20;
  static std::vector<uint8_t>* Buffers() {
    thread_local std::vector<uint8_t> buffers[3];
    return buffers;
  }
  std::vector<uint8_t>& FBuffer;
};

}  // namespace

void UsePlainResampleKernels(bool plain) {
  g_plainKernels = plain;
}

void StretchBitmap(int newWidth, int newHeight, TResampleFilter filter, float radius, const Bitmap24& source,
                   Bitmap24& target, int threads) {
  if (&source == &target) {
    // Releasing the target first would release the source with it.
    Bitmap24 copy(source);
    StretchBitmap(newWidth, newHeight, filter, radius, copy, target, threads);
    return;
  }
  newWidth = std::max(newWidth, 0);
  newHeight = std::max(newHeight, 0);
  target.SetSize(newWidth, newHeight);  // black
  if (target.Empty() || source.Empty()) return;

  const TKernelEntry& k = KernelTable[filter <= rfMitchell ? filter : rfMitchell];
  if (!(radius > 0.0f)) radius = k.Width;
  // The kernels are 0 beyond their default radius, so a larger radius would
  // only gather zero weights.
  const float support = std::min(radius, k.Width);

  const int sw = source.Width(), sh = source.Height();
  const size_t workStride = size_t(newWidth) * 3;
  // Every byte of the work picture is written by the row pass.
  TScratch workBuffer(0, uint64_t(workStride) * uint64_t(sh), newWidth, sh);
  uint8_t* const work = workBuffer.As<uint8_t>();

  {
    const auto sp = CachedIntSpans(sw, newWidth, k.Filter, support);
    const size_t planeStride = size_t(sw) + kBlock;
    // Stretches of about a megabyte of pixels each.
    ParallelStretches(sh, threads, (int64_t(1) << 20) / (int64_t(sw) * 3 + 1),
                      [&](int64_t first, int64_t last) {
                        TScratch planeBuffer(1, planeStride * 3 * sizeof(int16_t), sw, 3);
                        TScratch sumBuffer(2, workStride * sizeof(int32_t), newWidth, 1);
                        int16_t* planes = planeBuffer.As<int16_t>();
                        // What lies past a row in its padding is read against zero weights.
                        for (int c = 0; c < 3; ++c)
                          std::fill_n(planes + size_t(c) * planeStride + sw, kBlock, int16_t(0));
                        for (int y = int(first); y < int(last); ++y)
                          HorizontalRow(source.ScanLine(y), sw, work + size_t(y) * workStride, *sp, planes,
                                        sumBuffer.As<int32_t>());
                      });
  }
  {
    const auto sp = CachedIntSpans(sh, newHeight, k.Filter, support);
    const int64_t rowWork = int64_t(workStride) * std::max(1, sh / std::max(1, newHeight));
    ParallelStretches(
        newHeight, threads, (int64_t(1) << 20) / (rowWork + 1), [&](int64_t first, int64_t last) {
          TScratch accBuffer(1, workStride * sizeof(int32_t), newWidth, 1);
          for (int y = int(first); y < int(last); ++y)
            VerticalRow(work, workStride, y, *sp, accBuffer.As<int32_t>(), workStride, target.ScanLine(y));
        });
  }
}

namespace {

struct FloatContributor {
  int Index;
  float Weight;
};

// Float contributor lists, kept in gathering order: float sums depend on it.
std::vector<std::vector<FloatContributor>> BuildFloatLists(int S, int D, TFilterProc kernel, float support) {
  const AxisMap axis(S, D, support);
  std::vector<std::vector<FloatContributor>> lists(D);
  std::vector<RawContributor> raw;
  for (int i = 0; i < D; ++i) {
    axis.Gather(i, kernel, raw);
    for (const RawContributor& c : raw) {
      const float w = float(c.Weight);
      if (w != 0.0f) lists[i].push_back({c.Index, w});
    }
  }
  return lists;
}

inline uint8_t FloatChannel(float v) {
  if (v > 255.0f) return 255;
  if (v < 0.0f) return 0;
  return uint8_t(RoundHalfEvenF(v));
}

inline float Accumulate(float acc, float w, uint8_t v) {
  return float(double(acc) + double(w) * double(v));
}

}  // namespace

void Stretch(const Bitmap24& source, Bitmap24& target, TFilterProc filter, float width) {
  if (source.Width() <= 0 || source.Height() <= 0) throw EVitrane("Source bitmap too small");
  if (&source == &target) {
    const Bitmap24 copy(source);
    Stretch(copy, target, filter, width);
    return;
  }
  if (target.Empty()) return;
  const int sw = source.Width(), sh = source.Height(), dw = target.Width(), dh = target.Height();
  const size_t workStride = size_t(dw) * 3;
  std::vector<uint8_t> work = WorkPicture(dw, sh);

  const auto across = BuildFloatLists(sw, dw, filter, width);
  for (int y = 0; y < sh; ++y) {
    const uint8_t* src = source.ScanLine(y);
    uint8_t* dst = work.data() + size_t(y) * workStride;
    for (int x = 0; x < dw; ++x, dst += 3) {
      float b = 0, g = 0, r = 0;
      for (const FloatContributor& c : across[x]) {
        const uint8_t* p = src + size_t(c.Index) * 3;
        b = Accumulate(b, c.Weight, p[0]);
        g = Accumulate(g, c.Weight, p[1]);
        r = Accumulate(r, c.Weight, p[2]);
      }
      dst[0] = FloatChannel(b);
      dst[1] = FloatChannel(g);
      dst[2] = FloatChannel(r);
    }
  }

  // Column by column in effect; each byte of a target row is summed over the
  // same contributors in the same order, so a row at a time gives the same sums.
  const auto down = BuildFloatLists(sh, dh, filter, width);
  std::vector<float> acc(workStride);
  for (int y = 0; y < dh; ++y) {
    std::fill(acc.begin(), acc.end(), 0.0f);
    for (const FloatContributor& c : down[y]) {
      const uint8_t* row = work.data() + size_t(c.Index) * workStride;
      for (size_t b = 0; b < workStride; ++b) acc[b] = Accumulate(acc[b], c.Weight, row[b]);
    }
    uint8_t* dst = target.ScanLine(y);
    for (size_t b = 0; b < workStride; ++b) dst[b] = FloatChannel(acc[b]);
  }
}
