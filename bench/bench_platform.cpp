// JPEG decoding at the four decoder scales, the path every library build and
// tile render takes for each picture file. The baseline copies the decoded
// picture once, so the figures read as multiples of a plain memory pass.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>

#include "platform/Bitmap24.h"
#include "platform/Jpeg.h"

namespace {

constexpr int kWidth = 3000, kHeight = 2000;

// A photo-like picture: smooth gradients with some texture, so the encoder
// and decoder do realistic work per block.
const Bitmap24& Source() {
  static const Bitmap24 b = [] {
    Bitmap24 p(kWidth, kHeight);
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
      uint8_t* row = p.ScanLine(y);
      for (int x = 0; x < kWidth; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int noise = int(seed >> 28) - 8;
        row[x * 3] = uint8_t(std::clamp(x * 255 / kWidth + noise, 0, 255));
        row[x * 3 + 1] = uint8_t(std::clamp(y * 255 / kHeight + noise, 0, 255));
        row[x * 3 + 2] = uint8_t(std::clamp(((x / 40 + y / 40) & 1) * 160 + noise + 40, 0, 255));
      }
    }
    return p;
  }();
  return b;
}

const std::vector<uint8_t>& Encoded() {
  static const std::vector<uint8_t> d = JpegEncode(Source(), 85);
  return d;
}

void BM_Baseline_CopyPicture(benchmark::State& state) {
  const Bitmap24& src = Source();
  Bitmap24 dst(kWidth, kHeight);
  for (auto _ : state) {
    std::memcpy(dst.Bits(), src.Bits(), src.ByteSize());
    benchmark::DoNotOptimize(dst.Bits());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_Baseline_CopyPicture)->Unit(benchmark::kMillisecond);

// Arg: scale code 0 (1/1) .. 3 (1/8).
void BM_JpegDecode(benchmark::State& state) {
  const std::vector<uint8_t>& d = Encoded();
  const int scale = int(state.range(0));
  Bitmap24 out;
  for (auto _ : state) {
    JpegDecode(d.data(), d.size(), scale, out);
    benchmark::DoNotOptimize(out.Bits());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
  state.counters["out_w"] = out.Width();
  state.counters["file_kb"] = double(d.size()) / 1024;
}
BENCHMARK(BM_JpegDecode)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_JpegEncodeQ85(benchmark::State& state) {
  const Bitmap24& src = Source();
  for (auto _ : state) benchmark::DoNotOptimize(JpegEncode(src, 85));
  state.SetItemsProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_JpegEncodeQ85)->Unit(benchmark::kMillisecond);

}  // namespace
