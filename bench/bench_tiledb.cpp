// Tile table hot paths: opening a library and walking it with thumbnails,
// creating a plan, sorting keys.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "tests/tiledb/LibraryMaker.h"
#include "tiledb/VTData.h"

namespace {

// A library of count records with 42 x 32 thumbnails on a 6 x 6 YCC grid,
// written once per process into the temporary folder.
std::string BenchLibrary(int count) {
  const std::string name =
      (std::filesystem::temp_directory_path() / ("vt_bench_" + std::to_string(count) + ".vt2")).string();
  if (!FileExists(name))
    vttest::MakeLibrary(name,
                        {.Count = count, .ColorSystem = csYCC, .ThumbW = 42, .ThumbH = 32, .Quality = 85});
  return name;
}

void BM_OpenAndWalkWithThumbnails(benchmark::State& state) {
  const int count = int(state.range(0));
  const std::string name = BenchLibrary(count);
  for (auto _ : state) {
    TVTData t;
    t.ShowThumbs = true;
    t.OpenFile(name, okLibrary);
    for (int r = 1; r <= t.RecordCount; ++r) {
      t.MoveTo(r);
      benchmark::DoNotOptimize(t.DisplayBitmap.Bits());
    }
  }
  state.counters["records/s"] =
      benchmark::Counter(double(count) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_OpenAndWalkWithThumbnails)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_OpenOnly(benchmark::State& state) {
  const std::string name = BenchLibrary(int(state.range(0)));
  for (auto _ : state) {
    TVTData t;
    t.OpenFile(name, okLibrary);
    benchmark::DoNotOptimize(t.RecordCount);
  }
}
BENCHMARK(BM_OpenOnly)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// A 200 x 150-cell plan from a 6000 x 4000 source on a 6 x 6 grid.
void BM_CreatePlan(benchmark::State& state) {
  const std::string lib = BenchLibrary(100);
  TVTData t;
  t.OpenFile(lib, okLibrary);
  Bitmap24 src(6000, 4000);
  for (int y = 0; y < src.Height(); ++y) {
    uint8_t* row = src.ScanLine(y);
    for (int x = 0; x < src.Width() * 3; ++x) row[x] = uint8_t((x * 7 + y * 13) >> 3);
  }
  const std::string out = (std::filesystem::temp_directory_path() / "vt_bench_plan.vtp").string();
  for (auto _ : state) t.CreatePlan(out, src, {"/src.jpg", TRect(0, 0, 6000, 4000)}, 150, 200);
  DeleteFile(out);
  state.counters["cells/s"] =
      benchmark::Counter(30000.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CreatePlan)->Unit(benchmark::kMillisecond);

// Sorting 100,000 float keys, as the smart order and candidate lists do.
void BM_SortKeys(benchmark::State& state) {
  TVTData t;
  std::vector<uint8_t> entries(100000 * 12);
  uint32_t x = 12345;
  for (int i = 0; i < 100000; ++i) {
    x = x * 1103515245u + 12345u;
    PutI32(entries.data() + i * 12, 4 + i * 113);
    PutF64(entries.data() + i * 12 + 4, double(x % 50000));
  }
  for (auto _ : state) {
    t.SortIndex.Assign(entries);
    if (state.range(0) == 0)
      t.SortKeysAscending();
    else if (state.range(0) == 1)
      t.SortKeysDescending();
    else
      t.SortKeysBest(20);
    benchmark::DoNotOptimize(t.SortIndex.Memory());
  }
}
BENCHMARK(BM_SortKeys)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
