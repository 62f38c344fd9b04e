// The tile matcher's engine: every sample vector of a library in one
// contiguous, zero-padded array, exact integer squared distances computed with
// SIMD (SSE2 always, AVX2 where the processor has it), a sum abandoned as soon
// as it cannot beat the best so far, records visited outwards from the
// target's byte sum and filtered by lower bounds that no nearer record can
// fail, and an O(1) Distance-window test through a stamp per tile identity.
// The winner is always the record with the smallest distance among those
// allowed, the earlier record winning ties, so the result never depends on
// the kernel or on the order of the visit.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Use counts. The flag byte of a data record holds the delete mark (251 and
// above) or the count up to 250; the exact count of a live record, which can
// pass 250 when Repeat allows it, is kept beside it in a 32-bit array, so a
// count neither wraps nor turns into a delete mark. The flag byte is the
// truth below 250, so marks and counts edited in the table stay in step.
constexpr uint32_t kUseDeleted = 0xFFFFFFFFu;  // what UseCount gives for a deleted record
constexpr uint32_t kUseMax = 0xFFFFFFFEu;      // a live count saturates here
constexpr uint8_t kFlagCountMax = 250;
constexpr uint8_t kFlagDeletedMin = 251;

inline uint32_t UseCount(uint8_t flag, uint32_t wideCount) {
  if (flag >= kFlagDeletedMin) return kUseDeleted;
  if (flag < kFlagCountMax) return flag;
  return wideCount > kFlagCountMax ? wideCount : kFlagCountMax;
}
// Raises a live record's count by one, in both places; a deleted record keeps
// its mark. Returns false for a deleted record.
inline bool RaiseUseCount(uint8_t& flag, uint32_t& wideCount) {
  uint32_t c = UseCount(flag, wideCount);
  if (c == kUseDeleted) return false;
  if (c < kUseMax) ++c;
  wideCount = c;
  flag = uint8_t(c < kFlagCountMax ? c : kFlagCountMax);
  return true;
}

// What one choice needs to know besides the library's records.
struct TPickArgs {
  const uint8_t* Target = nullptr;  // the cell's vector, SampleSize bytes, already in the library's colours
  const int32_t* Grid = nullptr;    // placement grid, GridSize entries, row-major
  size_t GridSize = 0;
  int32_t Cols = 0, Rows = 0, Col = 0, Row = 0;
  int32_t Distance = 0;     // half-size of the no-repeat window
  int32_t Repeat = -1;      // largest use count still allowed; negative: no limit
  bool SkipDeleted = true;  // a build never places a deleted record; candidate lists do show them
  bool Flipped = true;      // false: plain scan, identity = record + 1, no blocks
  uint32_t FlipSet = 1;     // byte 0 originals, byte k the flip kind k
  int32_t OriginalCount = 0;
  uint8_t FlipKinds[4] = {0, 0, 0, 0};
  // Record i's flag byte is Flags[i * FlagStride] (the table's data section);
  // Counts[i] its wide use count.
  uint8_t* Flags = nullptr;
  size_t FlagStride = 1;
  uint32_t* Counts = nullptr;
};

struct TPickResult {
  int32_t Record = -1;  // 0-based winner, -1 when nothing qualifies
  int32_t Identity = 0;
  uint64_t Distance = 0;
  int32_t Touched[4] = {0, 0, 0, 0};  // records whose use count the pick raised
  int TouchedCount = 0;
};

struct TMatchCandidate {
  uint64_t Distance;
  int32_t Record;
};

// Writes the identity into the cell (Col, Row) of the grid the arguments
// describe, when that cell lies inside it.
void PlaceIdentity(const TPickArgs& a, int32_t* grid, int32_t identity);

// 0 automatic, 1 SSE2 only, 2 AVX2 (ignored when the processor lacks it).
void SetMatchKernel(int level);
int ActiveMatchKernel();

class TMatchEngine {
 public:
  TMatchEngine();
  ~TMatchEngine();
  TMatchEngine(const TMatchEngine&) = delete;
  TMatchEngine& operator=(const TMatchEngine&) = delete;

  // Room for count records of sampleSize bytes, samples zero.
  void Reset(int sampleSize, int count);
  // Keeps the first records; new ones start zero.
  void Resize(int count);
  int Count() const { return FCount; }
  int SampleSize() const { return FN; }
  size_t Stride() const { return FStride; }

  void SetSamples(int rec, const uint8_t* samples);
  const uint8_t* Samples(int rec) const { return FSamples + size_t(rec) * FStride; }

  // Exact squared distance between a record and an unpadded vector.
  uint64_t Distance(int rec, const uint8_t* target);

  // The choice of one cell: the smallest distance among the records of the
  // allowed blocks that pass the count and window tests. Changes nothing; the
  // caller then raises the counts (RaiseCounts) and places the identity
  // (PlaceIdentity).
  TPickResult Pick(const TPickArgs& a);
  // When Repeat >= 0, raises the counts of the winner and of its copies in
  // the other allowed blocks.
  void RaiseCounts(const TPickArgs& a, TPickResult& result) const;
  // Every record of the allowed blocks whose identity is outside the window,
  // in visit order; counts are not tested, deleted records only when asked.
  void ListCandidates(const TPickArgs& a, std::vector<TMatchCandidate>& out);

  struct TRange {
    int32_t First, End;    // records First .. End-1
    int32_t IdentityBase;  // identity = record - IdentityBase
  };
  // A range's records ordered by the sum of their bytes, with the sums of
  // the three byte lanes (i mod 3) beside, and eight spare entries at the end.
  struct TSorted {
    int32_t First = 0, End = 0;
    std::vector<int64_t> Keys;
    std::vector<int32_t> Records;
    std::vector<float> Sums[3];
  };

 private:
  void BuildRanges(const TPickArgs& a, std::vector<TRange>& out) const;
  void LoadTarget(const uint8_t* target);
  void StampWindow(const TPickArgs& a);
  uint32_t Limit(const TPickArgs& a) const;
  const TSorted& SortedFor(const TRange& rg);

  int FN = 0;
  int FCount = 0;
  int FCapacity = 0;
  size_t FStride = 0;
  uint8_t* FSamples = nullptr;  // FCapacity * FStride bytes, 64-byte aligned
  std::vector<TSorted> FSorted;
  int64_t FTargetKey = 0;
  float FTargetSums[3] = {0, 0, 0};
  double FGroupSize = 0;
  std::vector<uint8_t> FTargetStore;
  uint8_t* FTarget = nullptr;     // FStride bytes, aligned
  std::vector<uint32_t> FStamps;  // by identity
  uint32_t FStamp = 0;
  std::vector<TRange> FRanges;
};
