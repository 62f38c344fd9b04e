// The 32-bit bitmap's hot paths: the Mitchell stretch that shrinks a decoded
// tile picture into a cell, and the two blends a dmBlend transfer uses.
#include <benchmark/benchmark.h>

#include <random>

#include "imaging/Bitmap32.h"

namespace {

void Noise(TBitmap32& b, int w, int h, uint32_t seed) {
  b.SetSize(w, h);
  std::mt19937 rng(seed);
  TColor32* p = b.Bits();
  for (size_t i = 0, n = size_t(w) * size_t(h); i < n; ++i) p[i] = rng();
}

// A 3000 x 2000 picture into a cell of the given size with the Mitchell filter.
void BM_DrawRectMitchell(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  TBitmap32 src, dst;
  Noise(src, 3000, 2000, 1);
  src.SetStretchFilter(sfMitchell);
  dst.SetSize(w, h);
  for (auto _ : state) {
    dst.DrawRect(dst.BoundsRect(), src.BoundsRect(), src);
    benchmark::DoNotOptimize(dst.Bits());
  }
  state.counters["Mpix_src/s"] =
      benchmark::Counter(3000.0 * 2000.0 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DrawRectMitchell)->Args({120, 90})->Args({600, 450})->Unit(benchmark::kMillisecond)->UseRealTime();

// A tile's region into a cell of an output drawn from the original pictures:
// the decoder's reduction leaves the region between one and two times the
// cell's size each way.
void BM_DrawRectMitchell_Cell(benchmark::State& state) {
  const int sw = int(state.range(0)), sh = int(state.range(1));
  TBitmap32 src, dst;
  Noise(src, sw, sh, 2);
  src.SetStretchFilter(sfMitchell);
  dst.SetSize(120, 120);
  for (auto _ : state) {
    dst.DrawRect(dst.BoundsRect(), src.BoundsRect(), src);
    benchmark::DoNotOptimize(dst.Bits());
  }
}
BENCHMARK(BM_DrawRectMitchell_Cell)->Args({150, 150})->Args({239, 179})->Unit(benchmark::kMicrosecond);

// Equal sizes: the row blend.
void BM_BlendEqualSize(benchmark::State& state) {
  TBitmap32 src, dst;
  Noise(src, 4000, 4000, 2);
  Noise(dst, 4000, 4000, 3);
  src.SetDrawMode(dmBlend);
  for (auto _ : state) {
    dst.DrawRect(dst.BoundsRect(), src.BoundsRect(), src);
    benchmark::DoNotOptimize(dst.Bits());
  }
  state.counters["Mpix/s"] = benchmark::Counter(16.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BlendEqualSize)->Unit(benchmark::kMillisecond)->UseRealTime();

// Stretched (nearest, 2000 x 2000 into 4000 x 4000): the in-place blend with
// master alpha 255 on every destination pixel.
void BM_BlendStretched(benchmark::State& state) {
  TBitmap32 src, dst;
  Noise(src, 2000, 2000, 4);
  Noise(dst, 4000, 4000, 5);
  src.SetDrawMode(dmBlend);
  src.SetStretchFilter(sfNearest);
  for (auto _ : state) {
    dst.DrawRect(dst.BoundsRect(), src.BoundsRect(), src);
    benchmark::DoNotOptimize(dst.Bits());
  }
  state.counters["Mpix/s"] = benchmark::Counter(16.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BlendStretched)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
