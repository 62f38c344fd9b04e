// A build of 100 x 75 cells in natural order, Repeat Auto, Distance 3, against
// a library of 10,000 originals with all three flipped blocks allowed: the
// plain scan the rules describe, then the real matcher, in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>

#include "tests/tiledb/MatchFixtures.h"
#include "tiledb/Match.h"
#include "tiledb/VTData.h"

namespace {

constexpr int kOriginals = 10000;
constexpr int kCols = 100, kRows = 75;
constexpr int kGrid = 6;
constexpr int kN = kGrid * kGrid * 3;
constexpr int kDistance = 3;

struct TFixture {
  std::vector<std::vector<uint8_t>> Samples;  // kOriginals
  std::vector<std::vector<uint8_t>> Cells;    // kCols * kRows targets
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
    f.Samples = std::move(originals);
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

// The library as a table: the originals written as a build writes them, the
// three flipped blocks added by the table itself.
struct TLibrary {
  std::string Dir, File;
  TVTData Lib;
  TLibrary() {
    char tmpl[] = "/tmp/vtbenchXXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    Dir = tmpl;
    File = Dir + "/bench.vt2";
    const TFixture& f = Fixture();
    std::vector<vtmatch::TTile> tiles;
    for (int i = 0; i < kOriginals; ++i) {
      vtmatch::TTile t{f.Samples[size_t(i)]};
      t.Thumb = false;
      tiles.push_back(std::move(t));
    }
    vtmatch::WriteLibrary(File, kGrid, kGrid, csRGB, tiles);
    if (!Lib.OpenFile(File, okLibrary)) throw std::runtime_error("cannot open the library");
    for (int kind : {1, 3, 2}) Lib.AddFlipped(kind);
  }
  ~TLibrary() {
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
  }
};

TLibrary& Library() {
  static TLibrary lib;
  return lib;
}

// The plain scan the rules describe, over the table's records: every record
// of the allowed blocks measured with SampleDistance, the window looked at
// (TileInWindow) for a record that beats the best.
std::vector<int32_t> PlainBuild(const TVTData& lib) {
  const TFixture& f = Fixture();
  std::vector<int32_t> grid(kCols * kRows, -1);
  const int m = lib.OriginalCount;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const uint8_t* target = f.Cells[size_t(r * kCols + c)].data();
      double best = INFINITY;
      int win = -1;
      for (int i = 0; i < lib.RecordCount; ++i) {
        const double d = SampleDistance(lib.RecordSamples(i + 1), target, kN);
        if (d < best && TileInWindow(i % m + 1, r, c, kDistance, kCols, kRows, grid)) {
          best = d;
          win = i;
        }
      }
      if (win >= 0) grid[size_t(r * kCols + c)] = win % m + 1;
    }
  return grid;
}

std::vector<int32_t> MatcherBuild(TVTData& lib) {
  const TFixture& f = Fixture();
  TVTData plan;
  plan.ColorSystem = csRGB;
  std::vector<int32_t> grid(kCols * kRows, -1);
  lib.ResetUsage();
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      plan.CurSamples = f.Cells[size_t(r * kCols + c)];
      lib.PickTileFlipped(plan, grid, 0x01010101u, -1, kDistance, kCols, kRows, c, r);
    }
  return grid;
}

std::vector<int32_t> gPlainGrid;
double gPlainSeconds = 0;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void BM_BuildPlainScan(benchmark::State& state) {
  TLibrary& l = Library();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    gPlainGrid = PlainBuild(l.Lib);
    gPlainSeconds = Seconds(start);
  }
  state.counters["cells/s"] =
      benchmark::Counter(double(kCols * kRows), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_BuildMatcher(benchmark::State& state) {
  TLibrary& l = Library();
  std::vector<int32_t> grid;
  double seconds = 0;
  int64_t builds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    grid = MatcherBuild(l.Lib);
    seconds += Seconds(start);
    ++builds;
  }
  state.counters["cells/s"] =
      benchmark::Counter(double(kCols * kRows), benchmark::Counter::kIsIterationInvariantRate);
  // The two builds must place the same tiles in every cell.
  state.counters["same"] = gPlainGrid.empty() ? -1 : double(grid == gPlainGrid);
  // How many times faster than the plain scan of the same run.
  if (gPlainSeconds > 0 && seconds > 0)
    state.counters["x_plain"] = gPlainSeconds / (seconds / double(builds));
}

}  // namespace

BENCHMARK(BM_BuildPlainScan)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_BuildMatcher)->Unit(benchmark::kMillisecond)->UseRealTime();
