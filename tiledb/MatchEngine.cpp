#include "tiledb/MatchEngine.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <numeric>

#include "platform/Errors.h"

namespace {

// Sums are checked against the best so far after every block of this many
// bytes; rows of samples are padded with zeros to a multiple of it.
constexpr size_t kBlock = 64;
constexpr std::align_val_t kAlign{64};
// Spare entries after the sorted arrays, so that eight-wide reads never
// leave them.
constexpr int kSpare = 8;

std::atomic<int> gKernelWish{0};

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

int KernelLevel() {
  const int wish = gKernelWish.load(std::memory_order_relaxed);
  if (wish == 1) return 1;
  return HasAvx2() ? 2 : 1;
}

// Squared distance of two padded rows; once the running total reaches bound
// the rest is skipped and the partial total (>= bound) returned.
inline uint64_t DistSse2(const uint8_t* a, const uint8_t* b, size_t stride, uint64_t bound) {
  const __m128i zero = _mm_setzero_si128();
  uint64_t total = 0;
  for (size_t off = 0; off < stride; off += kBlock) {
    __m128i acc = zero;
    for (size_t k = 0; k < kBlock; k += 16) {
      const __m128i x = _mm_load_si128(reinterpret_cast<const __m128i*>(a + off + k));
      const __m128i y = _mm_load_si128(reinterpret_cast<const __m128i*>(b + off + k));
      const __m128i d = _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
      const __m128i lo = _mm_unpacklo_epi8(d, zero), hi = _mm_unpackhi_epi8(d, zero);
      acc = _mm_add_epi32(acc, _mm_madd_epi16(lo, lo));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(hi, hi));
    }
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(1, 0, 3, 2)));
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(2, 3, 0, 1)));
    total += uint32_t(_mm_cvtsi128_si32(acc));
    if (total >= bound) break;
  }
  return total;
}

__attribute__((target("avx2"))) inline uint64_t DistAvx2(const uint8_t* a, const uint8_t* b, size_t stride,
                                                         uint64_t bound) {
  const __m256i zero = _mm256_setzero_si256();
  uint64_t total = 0;
  for (size_t off = 0; off < stride; off += kBlock) {
    const __m256i x0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(a + off));
    const __m256i y0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(b + off));
    const __m256i x1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(a + off + 32));
    const __m256i y1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(b + off + 32));
    const __m256i d0 = _mm256_or_si256(_mm256_subs_epu8(x0, y0), _mm256_subs_epu8(y0, x0));
    const __m256i d1 = _mm256_or_si256(_mm256_subs_epu8(x1, y1), _mm256_subs_epu8(y1, x1));
    const __m256i l0 = _mm256_unpacklo_epi8(d0, zero), h0 = _mm256_unpackhi_epi8(d0, zero);
    const __m256i l1 = _mm256_unpacklo_epi8(d1, zero), h1 = _mm256_unpackhi_epi8(d1, zero);
    __m256i acc = _mm256_add_epi32(_mm256_madd_epi16(l0, l0), _mm256_madd_epi16(h0, h0));
    acc = _mm256_add_epi32(acc, _mm256_add_epi32(_mm256_madd_epi16(l1, l1), _mm256_madd_epi16(h1, h1)));
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    total += uint32_t(_mm_cvtsi128_si32(s));
    if (total >= bound) break;
  }
  return total;
}

struct THit {
  uint64_t Distance = UINT64_MAX;
  int32_t Record = -1;
};

// What one choice compares against.
struct TScan {
  const uint8_t* Samples;
  size_t Stride;
  const uint8_t* Target;
  int64_t TargetKey;    // sum of all the target's bytes
  float TargetSums[3];  // sums of its byte lanes i mod 3
  int64_t SampleSize;
  double GroupSize;  // bytes per lane; 0 turns the lane bound off
  const uint8_t* Flags;
  size_t FlagStride;
  const uint32_t* Counts;
  uint32_t Limit;
  const uint32_t* Stamps;
  uint32_t Stamp;
};

// Two lower bounds of a distance, both from Cauchy-Schwarz: (sum of n
// differences)^2 <= n * (sum of their squares). Over all N bytes it gives
// d >= (Sa - Sb)^2 / N, exact in integers: records ordered by their byte sum
// are visited outwards from the target's sum, and a direction ends at the
// first record whose sum is too far away. Over the three byte lanes it gives
// d >= sum of (Sa_c - Sb_c)^2 / (N / 3), computed in float eight records at a
// time and trusted only with a margin far above float's rounding. A record is
// passed over only when its bound exceeds the best so far, so an equal
// distance with an earlier record is always measured; every record let
// through gets its exact integer distance.
// What the best distance so far rules out: records whose byte sum lies
// farther than Reach from the target's (|dk| > floor(sqrt(N * best)) is the
// same as dk^2 > N * best for integers), and lane bounds at or above
// Threshold.
struct TPrune {
  int64_t Reach = INT64_MAX;
  float Threshold = INFINITY;
};

int64_t FloorSqrt(unsigned __int128 x) {
  uint64_t r = uint64_t(std::sqrt(static_cast<long double>(x)));
  while (r > 0 && (unsigned __int128)r * r > x) --r;
  while ((unsigned __int128)(r + 1) * (r + 1) <= x) ++r;
  return int64_t(r);
}

inline TPrune PruneFor(const TScan& s, uint64_t best) {
  TPrune p;
  if (best == UINT64_MAX) return p;
  p.Reach = FloorSqrt((unsigned __int128)(s.SampleSize) * best);
  if (s.GroupSize > 0) p.Threshold = float(s.GroupSize * double(best) * (1.0 + 1.0 / 4096));
  return p;
}

inline bool BandExceeded(const TScan& s, int64_t key, const TPrune& prune) {
  const int64_t dk = key - s.TargetKey;
  return dk > prune.Reach || dk < -prune.Reach;
}

inline unsigned BoundMaskSse2(const TScan& s, const float* const* sums, int32_t p, float threshold) {
  const __m128 thr = _mm_set1_ps(threshold);
  unsigned mask = 0;
  for (int h = 0; h < 2; ++h) {
    __m128 lb = _mm_setzero_ps();
    for (int c = 0; c < 3; ++c) {
      const __m128 d = _mm_sub_ps(_mm_loadu_ps(sums[c] + p + 4 * h), _mm_set1_ps(s.TargetSums[c]));
      lb = _mm_add_ps(lb, _mm_mul_ps(d, d));
    }
    mask |= unsigned(_mm_movemask_ps(_mm_cmplt_ps(lb, thr))) << (4 * h);
  }
  return mask;
}

__attribute__((target("avx2"))) inline unsigned BoundMaskAvx2(const TScan& s, const float* const* sums,
                                                              int32_t p, float threshold) {
  __m256 lb = _mm256_setzero_ps();
  for (int c = 0; c < 3; ++c) {
    const __m256 d = _mm256_sub_ps(_mm256_loadu_ps(sums[c] + p), _mm256_set1_ps(s.TargetSums[c]));
    lb = _mm256_add_ps(lb, _mm256_mul_ps(d, d));
  }
  return unsigned(_mm256_movemask_ps(_mm256_cmp_ps(lb, _mm256_set1_ps(threshold), _CMP_LT_OQ)));
}

// The scan of one block of records, once per kernel so that each kernel is
// inlined into its own copy. Visit: up to eight sorted entries from p through
// the lane bound, then one by one; the smaller distance wins, the earlier
// record on equal distances, and the window is looked at only for a record
// that would win.
#define VT_DEFINE_SCAN(Name, Kernel, Mask, Attr)                                                      \
  Attr inline void Name##Visit(const TScan& s, const TMatchEngine::TSorted& so, int32_t identityBase, \
                               int32_t p, int32_t count, THit& best, TPrune& prune) {                 \
    const float* sums[3] = {so.Sums[0].data(), so.Sums[1].data(), so.Sums[2].data()};                 \
    unsigned mask = Mask(s, sums, p, prune.Threshold);                                                \
    if (count < 8) mask &= (1u << count) - 1;                                                         \
    while (mask) {                                                                                    \
      const int32_t r = so.Records[size_t(p + __builtin_ctz(mask))];                                  \
      mask &= mask - 1;                                                                               \
      if (UseCount(s.Flags[size_t(r) * s.FlagStride], s.Counts[r]) > s.Limit) continue;               \
      const uint64_t bound = best.Distance == UINT64_MAX ? UINT64_MAX : best.Distance + 1;            \
      const uint64_t d = Kernel(s.Samples + size_t(r) * s.Stride, s.Target, s.Stride, bound);         \
      if (d > best.Distance || (d == best.Distance && r > best.Record)) continue;                     \
      if (s.Stamps[r - identityBase] == s.Stamp) continue;                                            \
      best.Distance = d;                                                                              \
      best.Record = r;                                                                                \
      prune = PruneFor(s, d);                                                                         \
    }                                                                                                 \
  }                                                                                                   \
  Attr void Name(const TScan& s, const TMatchEngine::TSorted& so, int32_t identityBase, THit& best) { \
    const int32_t n = int32_t(so.Records.size()) - kSpare;                                            \
    const int64_t* key = so.Keys.data();                                                              \
    int32_t up = int32_t(std::lower_bound(key, key + n, s.TargetKey) - key);                          \
    int32_t down = up;                                                                                \
    TPrune prune = PruneFor(s, best.Distance);                                                        \
    while (up < n || down > 0) {                                                                      \
      if (up < n) {                                                                                   \
        if (BandExceeded(s, key[up], prune)) {                                                        \
          up = n;                                                                                     \
        } else {                                                                                      \
          Name##Visit(s, so, identityBase, up, std::min(8, n - up), best, prune);                     \
          up += 8;                                                                                    \
        }                                                                                             \
      }                                                                                               \
      if (down > 0) {                                                                                 \
        if (BandExceeded(s, key[down - 1], prune)) {                                                  \
          down = 0;                                                                                   \
        } else {                                                                                      \
          const int32_t from = std::max(0, down - 8);                                                 \
          Name##Visit(s, so, identityBase, from, down - from, best, prune);                           \
          down = from;                                                                                \
        }                                                                                             \
      }                                                                                               \
    }                                                                                                 \
  }

VT_DEFINE_SCAN(ScanSse2, DistSse2, BoundMaskSse2, )
VT_DEFINE_SCAN(ScanAvx2, DistAvx2, BoundMaskAvx2, __attribute__((target("avx2"))))
#undef VT_DEFINE_SCAN

__attribute__((target("avx2"))) uint64_t FullAvx2(const uint8_t* a, const uint8_t* b, size_t stride) {
  return DistAvx2(a, b, stride, UINT64_MAX);
}

uint64_t FullDistance(const uint8_t* a, const uint8_t* b, size_t stride, int level) {
  return level >= 2 ? FullAvx2(a, b, stride) : DistSse2(a, b, stride, UINT64_MAX);
}

bool BlockAllowed(const TPickArgs& a, int k) {
  if (k == 0) return (a.FlipSet & 0xFFu) != 0;
  const int kind = a.FlipKinds[k];
  return kind >= 1 && kind <= 3 && ((a.FlipSet >> (8 * kind)) & 0xFFu) != 0;
}

}  // namespace

void PlaceIdentity(const TPickArgs& a, int32_t* grid, int32_t identity) {
  if (!grid || a.Col < 0 || a.Row < 0 || a.Col >= a.Cols || a.Row >= a.Rows) return;
  const int64_t idx = int64_t(a.Row) * a.Cols + a.Col;
  if (uint64_t(idx) < a.GridSize) grid[idx] = identity;
}

void SetMatchKernel(int level) {
  gKernelWish.store(level, std::memory_order_relaxed);
}
int ActiveMatchKernel() {
  return KernelLevel();
}

TMatchEngine::TMatchEngine() = default;

TMatchEngine::~TMatchEngine() {
  if (FSamples) ::operator delete[](FSamples, kAlign);
}

void TMatchEngine::Reset(int sampleSize, int count) {
  if (sampleSize < 0 || count < 0) throw EOutOfResources("Invalid sample table size");
  if (FSamples) ::operator delete[](FSamples, kAlign);
  FSamples = nullptr;
  FCount = FCapacity = 0;
  FSorted.clear();
  FN = sampleSize;
  // The float bound stays exact only while a lane sum fits in 24 bits.
  FGroupSize = sampleSize % 3 == 0 && sampleSize / 3 <= 65000 ? sampleSize / 3 : 0;
  FStride = std::max<size_t>(kBlock, (size_t(sampleSize) + kBlock - 1) / kBlock * kBlock);
  FTargetStore.assign(FStride + size_t(kAlign), 0);
  void* p = FTargetStore.data();
  size_t space = FTargetStore.size();
  FTarget = static_cast<uint8_t*>(std::align(size_t(kAlign), FStride, p, space));
  Resize(count);
}

void TMatchEngine::Resize(int count) {
  if (count < 0) throw EOutOfResources("Invalid sample table size");
  if (FStride == 0) Reset(0, 0);
  if (count > FCapacity) {
    const int cap = std::max(count, FCapacity + FCapacity / 2);
    auto* fresh = static_cast<uint8_t*>(::operator new[](size_t(cap) * FStride, kAlign));
    if (FSamples) {
      std::memcpy(fresh, FSamples, size_t(FCount) * FStride);
      ::operator delete[](FSamples, kAlign);
    }
    FSamples = fresh;
    FCapacity = cap;
  }
  if (count > FCount) std::memset(FSamples + size_t(FCount) * FStride, 0, size_t(count - FCount) * FStride);
  FSorted.clear();
  FCount = count;
}

void TMatchEngine::SetSamples(int rec, const uint8_t* samples) {
  uint8_t* row = FSamples + size_t(rec) * FStride;
  std::memcpy(row, samples, size_t(FN));
  std::memset(row + FN, 0, FStride - size_t(FN));
  FSorted.clear();
}

// The records of a range in the order of their byte sums (equal sums by
// record), with the lane sums beside; made once per range and kept until
// samples change.
const TMatchEngine::TSorted& TMatchEngine::SortedFor(const TRange& rg) {
  for (const TSorted& so : FSorted)
    if (so.First == rg.First && so.End == rg.End) return so;
  TSorted so;
  so.First = rg.First;
  so.End = rg.End;
  const size_t n = size_t(rg.End - rg.First);
  std::vector<int64_t> keys(n);
  std::vector<std::array<uint64_t, 3>> lanes(n);
  for (size_t k = 0; k < n; ++k) {
    const uint8_t* row = Samples(rg.First + int32_t(k));
    std::array<uint64_t, 3> sum{0, 0, 0};
    for (int i = 0; i < FN; ++i) sum[size_t(i % 3)] += row[i];
    lanes[k] = sum;
    keys[k] = int64_t(sum[0]) + sum[1] + sum[2];
  }
  std::vector<int32_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int32_t x, int32_t y) {
    return keys[size_t(x)] < keys[size_t(y)] || (keys[size_t(x)] == keys[size_t(y)] && x < y);
  });
  so.Keys.resize(n + kSpare, INT64_MAX);
  so.Records.resize(n + kSpare, rg.First);
  for (auto& v : so.Sums) v.assign(n + kSpare, 0.0f);
  for (size_t k = 0; k < n; ++k) {
    const size_t o = size_t(order[k]);
    so.Keys[k] = keys[o];
    so.Records[k] = rg.First + int32_t(o);
    for (int c = 0; c < 3; ++c) so.Sums[c][k] = float(lanes[o][size_t(c)]);
  }
  if (FSorted.size() >= 8) FSorted.clear();
  FSorted.push_back(std::move(so));
  return FSorted.back();
}

void TMatchEngine::LoadTarget(const uint8_t* target) {
  std::memcpy(FTarget, target, size_t(FN));
  std::memset(FTarget + FN, 0, FStride - size_t(FN));
  uint64_t sums[3] = {0, 0, 0};
  for (int i = 0; i < FN; ++i) sums[i % 3] += target[i];
  for (int c = 0; c < 3; ++c) FTargetSums[c] = float(sums[c]);
  FTargetKey = int64_t(sums[0]) + sums[1] + sums[2];
}

uint64_t TMatchEngine::Distance(int rec, const uint8_t* target) {
  LoadTarget(target);
  return FullDistance(Samples(rec), FTarget, FStride, KernelLevel());
}

void TMatchEngine::BuildRanges(const TPickArgs& a, std::vector<TRange>& out) const {
  out.clear();
  if (FCount <= 0) return;
  if (!a.Flipped) {
    out.push_back({0, FCount, -1});
    return;
  }
  // A header without a usable original count treats every record as an original.
  const int64_t m = a.OriginalCount > 0 ? a.OriginalCount : FCount;
  for (int k = 0; k < 4; ++k) {
    const int64_t first = k * m;
    if (first >= FCount) break;
    if (!BlockAllowed(a, k)) continue;
    const int64_t end = std::min<int64_t>(first + m, FCount);
    out.push_back({int32_t(first), int32_t(end), int32_t(first - 1)});
  }
}

// Marks every identity found in the window with a fresh stamp. Entries that
// are no identity of this library (0, -1, hand-placed tiles, links past the
// last record) can never equal a candidate's identity and are passed over.
void TMatchEngine::StampWindow(const TPickArgs& a) {
  if (FStamps.size() < size_t(FCount) + 1) {
    FStamps.assign(size_t(FCount) + 1, 0);
    FStamp = 0;
  }
  if (++FStamp == 0) {
    std::fill(FStamps.begin(), FStamps.end(), 0);
    FStamp = 1;
  }
  if (!a.Grid || a.Cols <= 0 || a.Rows <= 0) return;
  const int64_t r0 = std::max<int64_t>(0, int64_t(a.Row) - a.Distance);
  const int64_t r1 = std::min<int64_t>(a.Rows - 1, int64_t(a.Row) + a.Distance);
  const int64_t c0 = std::max<int64_t>(0, int64_t(a.Col) - a.Distance);
  const int64_t c1 = std::min<int64_t>(a.Cols - 1, int64_t(a.Col) + a.Distance);
  for (int64_t r = r0; r <= r1; ++r)
    for (int64_t c = c0; c <= c1; ++c) {
      const int64_t idx = r * a.Cols + c;
      if (idx < 0 || uint64_t(idx) >= a.GridSize) continue;
      const int32_t e = a.Grid[idx];
      if (e >= 1 && e <= FCount) FStamps[size_t(e)] = FStamp;
    }
}

uint32_t TMatchEngine::Limit(const TPickArgs& a) const {
  if (a.Repeat >= 0) return uint32_t(a.Repeat);
  return a.SkipDeleted ? kUseMax : kUseDeleted;
}

TPickResult TMatchEngine::Pick(const TPickArgs& a) {
  TPickResult result;
  BuildRanges(a, FRanges);
  if (FRanges.empty()) return result;
  LoadTarget(a.Target);
  StampWindow(a);

  const TScan scan{
      FSamples, FStride,        FTarget, FTargetKey,   {FTargetSums[0], FTargetSums[1], FTargetSums[2]},
      FN,       FGroupSize,     a.Flags, a.FlagStride, a.Counts,
      Limit(a), FStamps.data(), FStamp};
  const int level = KernelLevel();
  THit best;
  for (const TRange& rg : FRanges) {
    const TSorted& so = SortedFor(rg);
    if (level >= 2)
      ScanAvx2(scan, so, rg.IdentityBase, best);
    else
      ScanSse2(scan, so, rg.IdentityBase, best);
  }
  if (best.Record < 0) return result;

  const int32_t rec = best.Record;
  const int64_t m = a.Flipped && a.OriginalCount > 0 ? a.OriginalCount : FCount;
  result.Record = rec;
  result.Distance = best.Distance;
  result.Identity = a.Flipped ? int32_t(rec % m + 1) : rec + 1;

  return result;
}

void TMatchEngine::RaiseCounts(const TPickArgs& a, TPickResult& result) const {
  if (a.Repeat < 0 || result.Record < 0) return;
  auto raise = [&](int32_t r) {
    if (RaiseUseCount(a.Flags[size_t(r) * a.FlagStride], a.Counts[r]))
      result.Touched[result.TouchedCount++] = r;
  };
  if (!a.Flipped) {
    raise(result.Record);
    return;
  }
  const int64_t m = a.OriginalCount > 0 ? a.OriginalCount : FCount;
  const int64_t j = result.Record % m;
  for (int k = 0; k < 4; ++k) {
    const int64_t r = k * m + j;
    if (r >= FCount) break;
    if (BlockAllowed(a, k)) raise(int32_t(r));
  }
}

void TMatchEngine::ListCandidates(const TPickArgs& a, std::vector<TMatchCandidate>& out) {
  out.clear();
  BuildRanges(a, FRanges);
  if (FRanges.empty()) return;
  LoadTarget(a.Target);
  StampWindow(a);
  const int level = KernelLevel();
  for (const TRange& rg : FRanges)
    for (int32_t i = rg.First; i < rg.End; ++i) {
      if (a.SkipDeleted && a.Flags[size_t(i) * a.FlagStride] >= kFlagDeletedMin) continue;
      if (FStamps[size_t(i - rg.IdentityBase)] == FStamp) continue;
      out.push_back({FullDistance(Samples(i), FTarget, FStride, level), i});
    }
}
