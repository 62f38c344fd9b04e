// The fast matcher against a plain scan written straight from the rules: on
// random libraries, flip blocks, Repeat and Distance values, with many ties,
// for both kernels, every pick must agree, counts and placement grid included.
#include <gtest/gtest.h>

#include <random>

#include "tiledb/Match.h"
#include "tiledb/MatchEngine.h"

namespace {

// A library as the plain scan sees it.
struct TModel {
  int N = 0;
  int M = 0;
  uint8_t Kinds[4] = {0, 0, 0, 0};
  std::vector<std::vector<uint8_t>> Samples;
  std::vector<uint32_t> Use;  // kUseDeleted for records marked deleted
  int Count() const { return int(Samples.size()); }
};

double PlainDistance(const std::vector<uint8_t>& a, const uint8_t* b) {
  double s = 0;
  for (size_t i = 0; i < a.size(); ++i) s += double((int(a[i]) - int(b[i])) * (int(a[i]) - int(b[i])));
  return s;
}

bool PlainBlockAllowed(const TModel& m, uint32_t set, int k) {
  if (k == 0) return (set & 0xFF) != 0;
  return m.Kinds[k] >= 1 && m.Kinds[k] <= 3 && ((set >> (8 * m.Kinds[k])) & 0xFF) != 0;
}

// The reference: visit the allowed blocks in order, keep a record that is
// strictly nearer than the best and not in the window.
int gTies = 0;  // picks where a later record matched the winner's distance

int PlainPick(TModel& m, std::vector<int32_t>& grid, const TPickArgs& a) {
  const int mm = a.Flipped ? (m.M > 0 ? m.M : m.Count()) : m.Count();
  std::vector<int> visit;
  if (!a.Flipped) {
    for (int i = 0; i < m.Count(); ++i) visit.push_back(i);
  } else {
    for (int k = 0; k < 4; ++k)
      if (PlainBlockAllowed(m, a.FlipSet, k))
        for (int i = k * mm; i < (k + 1) * mm && i < m.Count(); ++i) visit.push_back(i);
  }
  double best = INFINITY;
  int win = -1;
  for (int i : visit) {
    const bool deleted = m.Use[i] == kUseDeleted;
    if (a.Repeat >= 0 && (deleted || m.Use[i] > uint32_t(a.Repeat))) continue;
    if (a.SkipDeleted && deleted) continue;
    const double d = PlainDistance(m.Samples[i], a.Target);
    const int id = a.Flipped ? i % mm + 1 : i + 1;
    if (d == best) ++gTies;
    if (d < best && TileInWindow(id, a.Row, a.Col, a.Distance, a.Cols, a.Rows, grid)) {
      best = d;
      win = i;
    }
  }
  if (win < 0) return -1;
  grid[size_t(a.Row * a.Cols + a.Col)] = a.Flipped ? win % mm + 1 : win + 1;
  if (a.Repeat >= 0) {
    if (!a.Flipped) {
      ++m.Use[win];
    } else {
      for (int k = 0; k < 4; ++k) {
        const int r = k * mm + win % mm;
        if (r < m.Count() && PlainBlockAllowed(m, a.FlipSet, k) && m.Use[r] != kUseDeleted) ++m.Use[r];
      }
    }
  }
  return win;
}

// The engine's side of the counts: flag bytes spaced as in a data section,
// and the wide counts.
struct TCounts {
  static constexpr size_t kStride = 7;
  std::vector<uint8_t> Flags;
  std::vector<uint32_t> Wide;
  explicit TCounts(const TModel& m) : Flags(size_t(m.Count()) * kStride, 0xAA), Wide(size_t(m.Count()), 0) {
    for (int i = 0; i < m.Count(); ++i) {
      const uint32_t u = m.Use[size_t(i)];
      Flags[size_t(i) * kStride] =
          u == kUseDeleted ? uint8_t(251 + i % 5) : uint8_t(std::min<uint32_t>(u, 250));
      Wide[size_t(i)] = u == kUseDeleted ? 0 : u;
    }
  }
  uint32_t Use(int i) const { return UseCount(Flags[size_t(i) * kStride], Wide[size_t(i)]); }
};

void Load(TMatchEngine& e, const TModel& m) {
  e.Reset(m.N, m.Count());
  for (int i = 0; i < m.Count(); ++i) e.SetSamples(i, m.Samples[i].data());
}

// Values from a narrow range and repeated records make equal distances common.
TModel RandomLibrary(std::mt19937& rng, int n, int originals, int blocks, int levels) {
  TModel m;
  m.N = n;
  m.M = originals;
  uint8_t kinds[3] = {1, 2, 3};
  std::shuffle(kinds, kinds + 3, rng);
  for (int k = 1; k <= blocks; ++k) m.Kinds[k] = kinds[k - 1];
  const int count = originals * (1 + blocks);
  std::uniform_int_distribution<int> val(0, levels - 1);
  for (int i = 0; i < count; ++i) {
    std::vector<uint8_t> s(static_cast<size_t>(n), 0);
    if (i > 0 && rng() % 5 == 0) {
      s = m.Samples[rng() % size_t(i)];
    } else {
      for (auto& b : s) b = uint8_t(val(rng) * 255 / std::max(1, levels - 1));
    }
    m.Samples.push_back(std::move(s));
    const uint32_t r = rng() % 40;
    m.Use.push_back(r == 0 ? kUseDeleted : r == 1 ? 248 + rng() % 6 : r < 5 ? r : 0);
  }
  return m;
}

struct TRun {
  int Picks = 0;
  int Refusals = 0;
};

// A build over a random grid, comparing each pick. Returns the number of
// picks compared.
void RunBuild(std::mt19937& rng, TModel m, TRun& run, int cols, int rows, int maxPicks) {
  TMatchEngine e;
  Load(e, m);
  TCounts counts(m);
  std::vector<int32_t> grid(size_t(cols * rows));
  const int32_t odd[] = {0, -1, 1000000000, m.Count() + 1, m.Count() + 7, m.M + 1, 1};
  for (auto& g : grid) g = rng() % 3 == 0 ? odd[rng() % 7] : -1;
  std::vector<int32_t> fastGrid = grid;
  TPickArgs a;
  a.Cols = cols;
  a.Rows = rows;
  a.Distance = int(rng() % 4);
  const int repeats[] = {-1, 0, 1, 2, 5, 249, 250, 252, -1};
  a.Repeat = repeats[rng() % 9];
  a.Flipped = rng() % 6 != 0;
  a.FlipSet = 0;
  for (int b = 0; b < 4; ++b)
    if (rng() % 3 != 0) a.FlipSet |= 1u << (8 * b);
  if (rng() % 4 == 0) a.FlipSet = 0x01010101u;
  a.SkipDeleted = rng() % 4 != 0;
  a.OriginalCount = m.M;
  a.Flags = counts.Flags.data();
  a.FlagStride = TCounts::kStride;
  a.Counts = counts.Wide.data();
  std::copy(m.Kinds, m.Kinds + 4, a.FlipKinds);
  std::vector<uint8_t> target(size_t(m.N));
  std::uniform_int_distribution<int> val(0, 3);
  for (int p = 0; p < maxPicks && p < cols * rows; ++p) {
    a.Col = int(rng() % uint32_t(cols));
    a.Row = int(rng() % uint32_t(rows));
    if (rng() % 4 == 0) {
      target = m.Samples[rng() % m.Samples.size()];
    } else {
      for (auto& b : target) b = uint8_t(val(rng) * 85);
    }
    a.Target = target.data();
    a.Grid = nullptr;
    const int want = PlainPick(m, grid, a);
    a.Grid = fastGrid.data();
    a.GridSize = fastGrid.size();
    TPickResult got = e.Pick(a);
    e.RaiseCounts(a, got);
    if (got.Record >= 0) PlaceIdentity(a, fastGrid.data(), got.Identity);
    ASSERT_EQ(got.Record, want) << "pick " << p << " repeat " << a.Repeat << " d " << a.Distance;
    ASSERT_EQ(fastGrid, grid);
    for (int i = 0; i < m.Count(); ++i) ASSERT_EQ(counts.Use(i), m.Use[size_t(i)]) << "record " << i;
    if (got.Record >= 0) {
      ASSERT_EQ(double(got.Distance), PlainDistance(m.Samples[size_t(got.Record)], target.data()));
    } else {
      ++run.Refusals;
    }
    ++run.Picks;
  }
}

class MatchEngineProperty : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { SetMatchKernel(GetParam()); }
  void TearDown() override { SetMatchKernel(0); }
};

TEST_P(MatchEngineProperty, SmallLibrariesAgreeWithThePlainScan) {
  std::mt19937 rng(1234 + GetParam());
  TRun run;
  const int sizes[] = {3, 12, 27, 64, 108, 129};
  while (run.Picks < 10000) {
    const int n = sizes[rng() % 6];
    const int originals = 1 + int(rng() % 40);
    const int blocks = int(rng() % 4);
    TModel m = RandomLibrary(rng, n, originals, blocks, 2 + int(rng() % 3));
    RunBuild(rng, std::move(m), run, 1 + int(rng() % 9), 1 + int(rng() % 7), 60);
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(run.Refusals, 50);  // the "run out of tiles" path is exercised too
  EXPECT_GT(gTies, 1000);
}

TEST_P(MatchEngineProperty, LargeLibrariesAgreeWithThePlainScan) {
  std::mt19937 rng(99 + GetParam());
  TRun run;
  for (int lib = 0; lib < 3; ++lib) {
    TModel m = RandomLibrary(rng, 108, 1500 + int(rng() % 500), 3, 3 + lib * 20);
    RunBuild(rng, std::move(m), run, 20, 15, 150);
    if (HasFatalFailure()) return;
  }
  EXPECT_GE(run.Picks, 450);
}

INSTANTIATE_TEST_SUITE_P(Kernels, MatchEngineProperty, ::testing::Values(1, 2));

TEST(MatchEngine, DistanceIsExactOverThePadding) {
  TMatchEngine e;
  std::vector<uint8_t> a(300), b(300);
  for (int i = 0; i < 300; ++i) {
    a[size_t(i)] = uint8_t(i * 7);
    b[size_t(i)] = uint8_t(255 - i);
  }
  e.Reset(300, 1);
  e.SetSamples(0, a.data());
  for (int k : {1, 2}) {
    SetMatchKernel(k);
    EXPECT_EQ(double(e.Distance(0, b.data())), SampleDistance(a.data(), b.data(), 300));
  }
  SetMatchKernel(0);
  std::vector<uint8_t> z(300, 0), f(300, 255);
  e.SetSamples(0, z.data());
  EXPECT_EQ(e.Distance(0, f.data()), 300ull * 65025ull);
}

TEST(MatchEngine, OddGridEntriesNeverIndexOutOfBounds) {
  TModel m;
  m.N = 3;
  m.M = 2;
  m.Samples = {{0, 0, 0}, {9, 9, 9}};
  m.Use = {0, 0};
  TMatchEngine e;
  Load(e, m);
  std::vector<int32_t> grid = {0, -1, 1000000000, 3, 2147483647, -2147483647 - 1};
  const uint8_t target[3] = {0, 0, 0};
  TPickArgs a;
  a.Target = target;
  a.Grid = grid.data();
  a.GridSize = grid.size();
  a.Cols = 3;
  a.Rows = 3;  // more cells than the grid holds: the missing ones are not read
  a.Row = 1;
  a.Col = 1;
  a.Distance = 5;
  a.OriginalCount = 2;
  TCounts counts(m);
  a.Flags = counts.Flags.data();
  a.FlagStride = TCounts::kStride;
  a.Counts = counts.Wide.data();
  const TPickResult r = e.Pick(a);
  EXPECT_EQ(r.Record, 0);
  PlaceIdentity(a, grid.data(), r.Identity);
  EXPECT_EQ(grid[4], 1);
}

TEST(MatchEngine, CountsPast250NeitherWrapNorReadAsDeleted) {
  uint8_t flag = 249;
  uint32_t wide = 249;
  for (int k = 0; k < 10; ++k) ASSERT_TRUE(RaiseUseCount(flag, wide));
  EXPECT_EQ(flag, 250);
  EXPECT_EQ(UseCount(flag, wide), 259u);
  // A flag stored as 250 by a file, with no wide count yet, counts 250.
  EXPECT_EQ(UseCount(250, 0), 250u);
  // The flag byte rules below 250: a count cleared in the table is cleared.
  EXPECT_EQ(UseCount(0, 300), 0u);
  uint8_t deleted = 255;
  uint32_t w = 7;
  EXPECT_FALSE(RaiseUseCount(deleted, w));
  EXPECT_EQ(deleted, 255);
  EXPECT_EQ(UseCount(251, 0), kUseDeleted);
  uint8_t top = 250;
  uint32_t max = kUseMax;
  ASSERT_TRUE(RaiseUseCount(top, max));
  EXPECT_EQ(max, kUseMax);
}

}  // namespace
