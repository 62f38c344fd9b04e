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
