// PNG decoding of a 1600 x 1200 RGB picture of 8 bits per sample, the size of
// a typical photo tile source. The baseline inflates the same image data with
// zlib alone, so the figure reads as the cost of unfiltering and converting
// the rows on top of decompression.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

#include "formats/Png.h"
#include "platform/Bitmap24.h"
#include "tests/formats/png_maker.h"

namespace {

constexpr uint32_t kWidth = 1600, kHeight = 1200;

// Smooth gradients with some noise, filtered with every filter in turn, so
// inflate and the unfilters do realistic work.
const pngmaker::RawImage& Source() {
  static const pngmaker::RawImage img = [] {
    pngmaker::RawImage p = pngmaker::MakeImage(kWidth, kHeight, 8, 3);
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < kHeight; ++y)
      for (uint32_t x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int noise = int(seed >> 28) - 8;
        uint8_t* px = p.At(x, y);
        px[0] = uint8_t(std::clamp(int(x * 255 / kWidth) + noise, 0, 255));
        px[1] = uint8_t(std::clamp(int(y * 255 / kHeight) + noise, 0, 255));
        px[2] = uint8_t(std::clamp(int((x / 40 + y / 40) & 1) * 160 + noise + 40, 0, 255));
      }
    return p;
  }();
  return img;
}

const std::vector<uint8_t>& Scanlines() {
  static const std::vector<uint8_t> s = pngmaker::Scanlines(Source(), false, -1);
  return s;
}

const std::vector<uint8_t>& File() {
  static const std::vector<uint8_t> f = pngmaker::Png(Source(), 2, false, {}, -1);
  return f;
}

void BM_Baseline_InflateOnly(benchmark::State& state) {
  const std::vector<uint8_t> z = pngmaker::Zlib(Scanlines());
  std::vector<uint8_t> out(Scanlines().size());
  for (auto _ : state) {
    uLongf size = uLongf(out.size());
    uncompress(out.data(), &size, z.data(), uLong(z.size()));
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_Baseline_InflateOnly)->Unit(benchmark::kMillisecond);

void BM_PngDecodeRgb8(benchmark::State& state) {
  const std::vector<uint8_t>& f = File();
  Bitmap24 out;
  for (auto _ : state) {
    ReadPNG(f.data(), f.size(), out);
    benchmark::DoNotOptimize(out.Bits());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_PngDecodeRgb8)->Unit(benchmark::kMillisecond);

}  // namespace
