#include "tiledb/MatchEngine.h"

#include <emmintrin.h>
#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

#include "platform/Errors.h"

namespace {

// Sums are checked against the best so far after every block of this many
// bytes; rows of samples are padded with zeros to a multiple of it.
constexpr size_t kBlock = 64;
constexpr std::align_val_t kAlign{64};
// Below this many visited records a pick is not worth waking other threads:
// with the lower bound a record costs well under a nanosecond, less than a
// wake-up of a sleeping thread would. A thread count asked for explicitly
// splits much smaller scans, so that tests reach the split.
constexpr int64_t kParallelMinAuto = int64_t(1) << 18;
constexpr int64_t kParallelMinAsked = 4096;

std::atomic<int> gKernelWish{0};
std::atomic<int> gThreadWish{0};

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
  bool Better(const THit& o) const {
    return o.Record >= 0 &&
           (Record < 0 || o.Distance < Distance || (o.Distance == Distance && o.Record < Record));
  }
};

// One scan: the records of a slice of the visit order, in that order.
struct TScan {
  const uint8_t* Samples;
  size_t Stride;
  const uint8_t* Target;
  const float* Sums[3];  // per record, the sum of each byte lane i mod 3
  float TargetSums[3];
  double GroupSize;  // bytes per lane; 0 turns the lower bound off
  const uint8_t* Flags;
  size_t FlagStride;
  const uint32_t* Counts;
  uint32_t Limit;
  const uint32_t* Stamps;
  uint32_t Stamp;
  const TMatchEngine::TRange* Ranges;
  int RangeCount;
};

// By Cauchy-Schwarz, (sum of a lane's differences)^2 <= lane size * (sum of
// its squared differences), so sum over lanes of (Sa - Sb)^2 / size is a lower
// bound of the distance. A record whose bound already reaches the best so far
// cannot win. The bound is computed in float, eight records at a time, and
// only trusted with a margin far above float's rounding; every record it lets
// through gets its exact integer distance, so the result stays exact.
inline float PruneThreshold(const TScan& s, uint64_t best) {
  if (s.GroupSize <= 0 || best == UINT64_MAX) return INFINITY;
  return float(s.GroupSize * double(best) * (1.0 + 1.0 / 4096));
}

inline unsigned BoundMaskSse2(const TScan& s, int32_t i, float threshold) {
  const __m128 thr = _mm_set1_ps(threshold);
  unsigned mask = 0;
  for (int h = 0; h < 2; ++h) {
    __m128 lb = _mm_setzero_ps();
    for (int c = 0; c < 3; ++c) {
      const __m128 d = _mm_sub_ps(_mm_loadu_ps(s.Sums[c] + i + 4 * h), _mm_set1_ps(s.TargetSums[c]));
      lb = _mm_add_ps(lb, _mm_mul_ps(d, d));
    }
    mask |= unsigned(_mm_movemask_ps(_mm_cmplt_ps(lb, thr))) << (4 * h);
  }
  return mask;
}

__attribute__((target("avx2"))) inline unsigned BoundMaskAvx2(const TScan& s, int32_t i, float threshold) {
  __m256 lb = _mm256_setzero_ps();
  for (int c = 0; c < 3; ++c) {
    const __m256 d = _mm256_sub_ps(_mm256_loadu_ps(s.Sums[c] + i), _mm256_set1_ps(s.TargetSums[c]));
    lb = _mm256_add_ps(lb, _mm256_mul_ps(d, d));
  }
  return unsigned(_mm256_movemask_ps(_mm256_cmp_ps(lb, _mm256_set1_ps(threshold), _CMP_LT_OQ)));
}

// The scan loop, once per kernel; the kernels are inlined into their own
// copy. Records are looked at eight at a time through the lower bound, then
// one by one in order. A record beats the best only with a strictly smaller
// sum, so the earliest of equal records stays; the window is looked at only
// for a record that would win.
#define VT_DEFINE_SCAN(Name, Kernel, Mask, Attr)                                                          \
  Attr THit Name(const TScan& s, int64_t from, int64_t to) {                                              \
    THit best;                                                                                            \
    float threshold = INFINITY;                                                                           \
    int64_t pos = 0;                                                                                      \
    for (int r = 0; r < s.RangeCount && pos < to; ++r) {                                                  \
      const TMatchEngine::TRange& rg = s.Ranges[r];                                                       \
      const int64_t len = int64_t(rg.End) - rg.First;                                                     \
      const int32_t lo = int32_t(rg.First + (std::max(from, pos) - pos));                                 \
      const int32_t hi = int32_t(rg.First + (std::min(to, pos + len) - pos));                             \
      for (int32_t base = lo; base < hi; base += 8) {                                                     \
        unsigned mask = Mask(s, base, threshold);                                                         \
        if (hi - base < 8) mask &= (1u << (hi - base)) - 1;                                               \
        while (mask) {                                                                                    \
          const int32_t i = base + __builtin_ctz(mask);                                                   \
          mask &= mask - 1;                                                                               \
          if (UseCount(s.Flags[size_t(i) * s.FlagStride], s.Counts[i]) > s.Limit) continue;               \
          const uint64_t d = Kernel(s.Samples + size_t(i) * s.Stride, s.Target, s.Stride, best.Distance); \
          if (d < best.Distance && s.Stamps[i - rg.IdentityBase] != s.Stamp) {                            \
            best.Distance = d;                                                                            \
            best.Record = i;                                                                              \
            threshold = PruneThreshold(s, d);                                                             \
          }                                                                                               \
        }                                                                                                 \
      }                                                                                                   \
      pos += len;                                                                                         \
    }                                                                                                     \
    return best;                                                                                          \
  }

VT_DEFINE_SCAN(ScanSse2, DistSse2, BoundMaskSse2, )
VT_DEFINE_SCAN(ScanAvx2, DistAvx2, BoundMaskAvx2, __attribute__((target("avx2"))))
#undef VT_DEFINE_SCAN

THit RunScan(const TScan& s, int64_t from, int64_t to, int level) {
  return level >= 2 ? ScanAvx2(s, from, to) : ScanSse2(s, from, to);
}

__attribute__((target("avx2"))) uint64_t FullAvx2(const uint8_t* a, const uint8_t* b, size_t stride) {
  return DistAvx2(a, b, stride, UINT64_MAX);
}

uint64_t FullDistance(const uint8_t* a, const uint8_t* b, size_t stride, int level) {
  return level >= 2 ? FullAvx2(a, b, stride) : DistSse2(a, b, stride, UINT64_MAX);
}

// Worker threads shared by every engine. A job is split into parts; the
// calling thread runs part 0 itself and waits for the others.
class TMatchPool {
 public:
  using TJob = void (*)(void* ctx, int part);

  static TMatchPool& Instance() {
    static TMatchPool pool;
    return pool;
  }

  int Size() {
    std::lock_guard<std::mutex> lock(FRunMutex);
    return int(FThreads.size()) + 1;
  }

  // Starts workers up to count - 1 (never stops any).
  void Grow(int count) {
    std::lock_guard<std::mutex> lock(FRunMutex);
    while (int(FThreads.size()) + 1 < count) {
      const int index = int(FThreads.size()) + 1;
      FThreads.emplace_back([this, index] { Work(index); });
    }
  }

  void Run(int parts, TJob job, void* ctx) {
    std::lock_guard<std::mutex> run(FRunMutex);
    parts = std::min(parts, int(FThreads.size()) + 1);
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FJob = job;
      FCtx = ctx;
      FParts = parts;
      FPending = parts - 1;
      ++FGeneration;
    }
    FWake.notify_all();
    job(ctx, 0);
    std::unique_lock<std::mutex> lock(FMutex);
    FDone.wait(lock, [this] { return FPending == 0; });
  }

  ~TMatchPool() {
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FQuit = true;
    }
    FWake.notify_all();
    for (auto& t : FThreads) t.join();
  }

 private:
  void Work(int index) {
    uint64_t seen = 0;
    for (;;) {
      TJob job;
      void* ctx;
      {
        std::unique_lock<std::mutex> lock(FMutex);
        FWake.wait(lock, [&] { return FQuit || FGeneration != seen; });
        if (FQuit) return;
        seen = FGeneration;
        if (index >= FParts) continue;
        job = FJob;
        ctx = FCtx;
      }
      job(ctx, index);
      bool last;
      {
        std::lock_guard<std::mutex> lock(FMutex);
        last = --FPending == 0;
      }
      if (last) FDone.notify_one();
    }
  }

  std::mutex FRunMutex;  // one job at a time
  std::mutex FMutex;
  std::condition_variable FWake, FDone;
  std::vector<std::thread> FThreads;
  TJob FJob = nullptr;
  void* FCtx = nullptr;
  int FParts = 0;
  int FPending = 0;
  uint64_t FGeneration = 0;
  bool FQuit = false;
};

int WantedThreads() {
  const int wish = gThreadWish.load(std::memory_order_relaxed);
  if (wish > 0) return std::min(wish, 64);
  const int hw = int(std::thread::hardware_concurrency());
  return std::clamp(hw, 1, 8);
}

struct TParallelScan {
  const TScan* Scan;
  int64_t Total;
  int Parts;
  int Level;
  THit Hits[64];
};

void ScanPart(void* ctx, int part) {
  auto* p = static_cast<TParallelScan*>(ctx);
  const int64_t from = p->Total * part / p->Parts, to = p->Total * (part + 1) / p->Parts;
  p->Hits[part] = RunScan(*p->Scan, from, to, p->Level);
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
void SetMatchThreads(int count) {
  gThreadWish.store(count, std::memory_order_relaxed);
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
  for (auto& v : FSums) v.clear();
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
  for (auto& v : FSums) {
    v.resize(size_t(count) + 8, 0.0f);
    std::fill(v.begin() + count, v.end(), 0.0f);
  }
  FCount = count;
}

void TMatchEngine::SetSamples(int rec, const uint8_t* samples) {
  uint8_t* row = FSamples + size_t(rec) * FStride;
  std::memcpy(row, samples, size_t(FN));
  std::memset(row + FN, 0, FStride - size_t(FN));
  uint32_t sums[3] = {0, 0, 0};
  for (int i = 0; i < FN; ++i) sums[i % 3] += samples[i];
  for (int c = 0; c < 3; ++c) FSums[c][size_t(rec)] = float(sums[c]);
}

void TMatchEngine::LoadTarget(const uint8_t* target) {
  std::memcpy(FTarget, target, size_t(FN));
  std::memset(FTarget + FN, 0, FStride - size_t(FN));
  uint32_t sums[3] = {0, 0, 0};
  for (int i = 0; i < FN; ++i) sums[i % 3] += target[i];
  for (int c = 0; c < 3; ++c) FTargetSums[c] = float(sums[c]);
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

  const TScan scan{FSamples,
                   FStride,
                   FTarget,
                   {FSums[0].data(), FSums[1].data(), FSums[2].data()},
                   {FTargetSums[0], FTargetSums[1], FTargetSums[2]},
                   FGroupSize,
                   a.Flags,
                   a.FlagStride,
                   a.Counts,
                   Limit(a),
                   FStamps.data(),
                   FStamp,
                   FRanges.data(),
                   int(FRanges.size())};
  int64_t total = 0;
  for (const TRange& r : FRanges) total += int64_t(r.End) - r.First;
  const int level = KernelLevel();
  THit best;
  const int threads = WantedThreads();
  const int64_t minimum =
      gThreadWish.load(std::memory_order_relaxed) > 0 ? kParallelMinAsked : kParallelMinAuto;
  if (threads > 1 && total >= minimum) {
    TMatchPool& pool = TMatchPool::Instance();
    pool.Grow(threads);
    TParallelScan job{&scan, total, std::min(threads, pool.Size()), level, {}};
    pool.Run(job.Parts, ScanPart, &job);
    for (int p = 0; p < job.Parts; ++p)
      if (best.Better(job.Hits[p])) best = job.Hits[p];
  } else {
    best = RunScan(scan, 0, total, level);
  }
  if (best.Record < 0) return result;

  const int32_t rec = best.Record;
  const int64_t m = a.Flipped && a.OriginalCount > 0 ? a.OriginalCount : FCount;
  result.Record = rec;
  result.Distance = best.Distance;
  result.Identity = a.Flipped ? int32_t(rec % m + 1) : rec + 1;

  if (a.Repeat >= 0) {
    auto raise = [&](int32_t r) {
      if (RaiseUseCount(a.Flags[size_t(r) * a.FlagStride], a.Counts[r]))
        result.Touched[result.TouchedCount++] = r;
    };
    if (!a.Flipped) {
      raise(rec);
    } else {
      const int64_t j = rec % m;
      for (int k = 0; k < 4; ++k) {
        const int64_t r = k * m + j;
        if (r >= FCount) break;
        if (BlockAllowed(a, k)) raise(int32_t(r));
      }
    }
  }
  return result;
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
