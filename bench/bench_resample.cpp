// The bulk resampler: a full-size picture down to a library thumbnail, and a
// thumbnail down to its sample grid, for every filter. The nearest-neighbour
// stretch-draw of the same sizes is the baseline.
#include <benchmark/benchmark.h>

#include <random>

#include "imaging/Resample.h"

namespace {

Bitmap24 Noise(int w, int h) {
  Bitmap24 b(w, h);
  std::mt19937 rng(42);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * 3; ++x) b.ScanLine(y)[x] = uint8_t(rng() % 256);
  return b;
}

void StretchBitmapTo(benchmark::State& state, int sw, int sh, int dw, int dh) {
  Bitmap24 src = Noise(sw, sh), dst;
  const auto filter = TResampleFilter(state.range(0));
  for (auto _ : state) {
    StretchBitmap(dw, dh, filter, 0, src, dst);
    benchmark::DoNotOptimize(dst.Bits());
  }
  state.SetLabel(KernelTable[filter].Name);
  state.counters["pictures/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BaselineStretchDraw(benchmark::State& state, int sw, int sh, int dw, int dh) {
  Bitmap24 src = Noise(sw, sh), dst(dw, dh);
  for (auto _ : state) {
    StretchDraw(dst, TRect(0, 0, dw, dh), src);
    benchmark::DoNotOptimize(dst.Bits());
  }
  state.counters["pictures/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_StretchBitmap_3000x2000_to_42x32(benchmark::State& s) {
  StretchBitmapTo(s, 3000, 2000, 42, 32);
}
void BM_StretchBitmap_42x32_to_6x6(benchmark::State& s) {
  StretchBitmapTo(s, 42, 32, 6, 6);
}
void BM_Baseline_StretchDraw_3000x2000_to_42x32(benchmark::State& s) {
  BaselineStretchDraw(s, 3000, 2000, 42, 32);
}
void BM_Baseline_StretchDraw_42x32_to_6x6(benchmark::State& s) {
  BaselineStretchDraw(s, 42, 32, 6, 6);
}

void BM_Stretch_Preview_3000x2000_to_400x267(benchmark::State& state) {
  Bitmap24 src = Noise(3000, 2000), dst(400, 267);
  const TKernelEntry& k = KernelTable[state.range(0)];
  for (auto _ : state) {
    Stretch(src, dst, k.Filter, k.Width);
    benchmark::DoNotOptimize(dst.Bits());
  }
  state.SetLabel(k.Name);
}

}  // namespace

BENCHMARK(BM_Baseline_StretchDraw_3000x2000_to_42x32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchBitmap_3000x2000_to_42x32)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_StretchDraw_42x32_to_6x6)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StretchBitmap_42x32_to_6x6)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Stretch_Preview_3000x2000_to_400x267)->Arg(rfMitchell)->Unit(benchmark::kMillisecond);
