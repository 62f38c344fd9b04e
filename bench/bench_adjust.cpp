// Picture adjustments: the picture tools' passes over a full source picture
// (3000 x 2000), and the per-cell tile corrections of the renderer (120 x 90).
// Copying the picture is the baseline.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

#include "imaging/Adjust.h"

namespace {

Bitmap24 Noise(int w, int h) {
  Bitmap24 b(w, h);
  std::mt19937 rng(42);
  std::generate_n(b.Bits(), b.ByteSize(), [&] { return uint8_t(rng()); });
  return b;
}

void Tile(TBitmap32& t, int w, int h, unsigned seed) {
  t.Assign(Noise(w, h));
  std::mt19937 rng(seed);
  for (int i = 0; i < w * h; ++i) t.Bits()[i] ^= rng() & 0x3F3F3F;
}

void BM_Baseline_CopyPicture(benchmark::State& state) {
  const Bitmap24 src = Noise(3000, 2000);
  Bitmap24 dst;
  for (auto _ : state) {
    dst = src;
    benchmark::DoNotOptimize(dst.Bits());
  }
}

template <void (*Adjust)(Bitmap24&, int, int)>
void BM_Picture(benchmark::State& state) {
  Bitmap24 pic = Noise(3000, 2000);
  for (auto _ : state) {
    Adjust(pic, int(state.range(0)), 0);
    benchmark::DoNotOptimize(pic.Bits());
  }
}

void BM_MixBitmaps(benchmark::State& state) {
  const Bitmap24 a = Noise(3000, 2000), b = Noise(3000, 2000);
  Bitmap24 c(3000, 2000);
  for (auto _ : state) {
    MixBitmaps(a, b, 64, 128, 192, c);
    benchmark::DoNotOptimize(c.Bits());
  }
}

void BM_Tile_Sharpen(benchmark::State& state) {
  TBitmap32 t;
  Tile(t, 120, 90, 1);
  for (auto _ : state) {
    Convolve3x3(t, {-1, -1, -1, -1, 16, -1, -1, -1, -1}, 8);
    benchmark::DoNotOptimize(t.Bits());
  }
  state.counters["cells/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Tile_MatchTileColor(benchmark::State& state) {
  TBitmap32 a, b;
  Tile(a, 120, 90, 2);
  Tile(b, 120, 90, 3);
  for (auto _ : state) {
    MatchTileColor(a, b, 50);
    benchmark::DoNotOptimize(b.Bits());
  }
  state.counters["cells/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_Baseline_CopyPicture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Picture<AdjustContrast>)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Picture<AdjustBrightness>)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Picture<AdjustSaturation>)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Picture<AdjustBlurSharp>)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixBitmaps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Tile_Sharpen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Tile_MatchTileColor)->Unit(benchmark::kMicrosecond);
