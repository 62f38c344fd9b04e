// The build loop of 100 x 75 cells in natural order, Distance 5, Repeat Auto,
// against a library indexed from the benchmark photographs (up to 5,000 tiles,
// YCC, thumbnails shown as in the main window), without and with all three
// flipped blocks. Beside every run, the same picks are replayed alone from the
// same start and their time summed: the loop's figure is its ratio to them.
#include <benchmark/benchmark.h>

#include "bench/photos/BuildBenchSet.h"

namespace {

using namespace buildbench;

// The same picks from the same start (a fresh mosaic), timed one by one.
double PickSeconds(TTables& t, bool flipped) {
  const TBuildRunSettings s = Settings(flipped);
  std::vector<int32_t> grid;
  t.Mosaic.GetAllLinks(grid, 1);
  t.Lib.ResetUsage();
  t.Plan.ClearIndex();
  double total = 0;
  for (int32_t i = 1; i <= t.Plan.RecordCount; ++i) {
    t.Plan.GoToRecord(i);
    const int32_t n = t.Plan.CurRecNo;
    const auto start = Clock::now();
    t.Lib.PickTileFlipped(t.Plan, grid, s.Flips, s.Repeat, s.Distance, kCols, kRows, (n - 1) % kCols,
                          (n - 1) / kCols);
    total += std::chrono::duration<double>(Clock::now() - start).count();
  }
  return total;
}

void BM_BuildLoop(benchmark::State& state) {
  const bool flipped = state.range(0) != 0;
  double loop = 0, picks = 0;
  int records = 0;
  for (auto _ : state) {
    TTables fresh(flipped);
    picks += PickSeconds(fresh, flipped);
    TTables t(flipped);
    records = t.Lib.RecordCount;
    const double s = LoopSeconds(t, flipped);
    loop += s;
    state.SetIterationTime(s);
  }
  state.counters["records"] = records;
  state.counters["picks_ms"] = 1000 * picks / double(state.iterations());
  state.counters["us/cell"] = 1e6 * loop / double(state.iterations()) / (kCols * kRows);
  state.counters["vs_picks"] = loop / picks;
}

// Argument: 1 with the three flipped blocks.
BENCHMARK(BM_BuildLoop)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
