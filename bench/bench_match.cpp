// A build of 100 x 75 cells in natural order, Repeat Auto, Distance 3, against
// a library of 10,000 originals with all three flipped blocks allowed: the
// plain scan the rules describe, then the real matcher, in the same run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "tiledb/Match.h"
#include "tiledb/MatchEngine.h"

namespace {

constexpr int kOriginals = 10000;
constexpr int kCols = 100, kRows = 75;
constexpr int kGrid = 6;
constexpr int kN = kGrid * kGrid * 3;
constexpr int kDistance = 3;

struct TFixture {
  std::vector<std::vector<uint8_t>> Samples;  // 4 blocks of kOriginals
  std::vector<std::vector<uint8_t>> Cells;    // kCols * kRows targets
  uint8_t Kinds[4] = {0, 1, 3, 2};
};

// Tiles look like photographs reduced to 6 x 6: a base colour, a gentle
// gradient and some noise. The source picture is a smooth colour field.
const TFixture& Fixture() {
  static const TFixture f = [] {
    TFixture f;
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> base(0, 255), slope(-12, 12), noise(-10, 10);
    std::vector<std::vector<uint8_t>> originals;
    for (int t = 0; t < kOriginals; ++t) {
      std::vector<uint8_t> s(kN);
      int b[3], gx[3], gy[3];
      for (int c = 0; c < 3; ++c) b[c] = base(rng), gx[c] = slope(rng), gy[c] = slope(rng);
      for (int y = 0; y < kGrid; ++y)
        for (int x = 0; x < kGrid; ++x)
          for (int c = 0; c < 3; ++c)
            s[size_t((y * kGrid + x) * 3 + c)] =
                uint8_t(std::clamp(b[c] + gx[c] * (x - 3) + gy[c] * (y - 3) + noise(rng), 0, 255));
      originals.push_back(std::move(s));
    }
    f.Samples = originals;
    // Blocks 1..3: horizontal mirror, vertical mirror, rotation by 180 degrees.
    for (int kind : {1, 3, 2})
      for (const auto& o : originals) {
        std::vector<uint8_t> s(kN);
        for (int y = 0; y < kGrid; ++y)
          for (int x = 0; x < kGrid; ++x) {
            const int sx = kind == 3 ? x : kGrid - 1 - x, sy = kind == 1 ? y : kGrid - 1 - y;
            for (int c = 0; c < 3; ++c)
              s[size_t((y * kGrid + x) * 3 + c)] = o[size_t((sy * kGrid + sx) * 3 + c)];
          }
        f.Samples.push_back(std::move(s));
      }
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kCols; ++c) {
        std::vector<uint8_t> s(kN);
        for (int y = 0; y < kGrid; ++y)
          for (int x = 0; x < kGrid; ++x) {
            const double u = (c * kGrid + x) / double(kCols * kGrid),
                         v = (r * kGrid + y) / double(kRows * kGrid);
            s[size_t((y * kGrid + x) * 3 + 0)] = uint8_t(127 + 120 * std::sin(6 * u + 2 * v));
            s[size_t((y * kGrid + x) * 3 + 1)] = uint8_t(127 + 120 * std::cos(5 * v - 3 * u));
            s[size_t((y * kGrid + x) * 3 + 2)] = uint8_t(127 + 120 * std::sin(4 * u * v + 1));
          }
        f.Cells.push_back(std::move(s));
      }
    return f;
  }();
  return f;
}

// The plain scan: every allowed record, float64 distance, the window looked
// at for a record that beats the best.
int PlainPick(const TFixture& f, std::vector<int32_t>& grid, const uint8_t* target, int col, int row) {
  double best = INFINITY;
  int win = -1;
  for (int i = 0; i < int(f.Samples.size()); ++i) {
    const double d = SampleDistance(f.Samples[size_t(i)].data(), target, kN);
    if (d < best && TileInWindow(i % kOriginals + 1, row, col, kDistance, kCols, kRows, grid)) {
      best = d;
      win = i;
    }
  }
  if (win >= 0) grid[size_t(row * kCols + col)] = win % kOriginals + 1;
  return win;
}

void BM_BuildPlainScan(benchmark::State& state) {
  const TFixture& f = Fixture();
  for (auto _ : state) {
    std::vector<int32_t> grid(kCols * kRows, -1);
    int64_t sum = 0;
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kCols; ++c) sum += PlainPick(f, grid, f.Cells[size_t(r * kCols + c)].data(), c, r);
    benchmark::DoNotOptimize(sum);
  }
  state.counters["cells/s"] =
      benchmark::Counter(double(kCols * kRows), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_BuildMatcher(benchmark::State& state) {
  const TFixture& f = Fixture();
  SetMatchThreads(int(state.range(0)));
  TMatchEngine e;
  e.Reset(kN, int(f.Samples.size()));
  for (int i = 0; i < int(f.Samples.size()); ++i) e.SetSamples(i, f.Samples[size_t(i)].data());
  std::vector<uint8_t> flags(f.Samples.size(), 0);
  std::vector<uint32_t> counts(f.Samples.size(), 0);
  for (auto _ : state) {
    std::vector<int32_t> grid(kCols * kRows, -1);
    TPickArgs a;
    a.Flags = flags.data();
    a.Counts = counts.data();
    a.Grid = grid.data();
    a.GridSize = grid.size();
    a.Cols = kCols;
    a.Rows = kRows;
    a.Distance = kDistance;
    a.Repeat = -1;
    a.FlipSet = 0x01010101u;
    a.OriginalCount = kOriginals;
    std::copy(f.Kinds, f.Kinds + 4, a.FlipKinds);
    int64_t sum = 0;
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kCols; ++c) {
        a.Target = f.Cells[size_t(r * kCols + c)].data();
        a.Col = c;
        a.Row = r;
        sum += e.Pick(a).Record;
      }
    benchmark::DoNotOptimize(sum);
  }
  SetMatchThreads(0);
  state.counters["cells/s"] =
      benchmark::Counter(double(kCols * kRows), benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_BuildPlainScan)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_BuildMatcher)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
