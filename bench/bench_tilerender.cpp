// The tile renderer per output cell: from an original picture file (decode
// and Mitchell reduction dominate) and from a stored thumbnail.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>

#include "imaging/TileRender.h"
#include "platform/Jpeg.h"

namespace {

// A photo-like 3000 x 2000 picture: smooth gradients with some noise.
Bitmap24 PhotoLike(int w, int h, uint32_t seed) {
  Bitmap24 p(w, h);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = p.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const uint32_t n = rng() & 15;
      row[3 * x] = uint8_t((x * 255 / w + n) & 255);
      row[3 * x + 1] = uint8_t((y * 255 / h + n) & 255);
      row[3 * x + 2] = uint8_t(((x + y) * 127 / (w + h) + n) & 255);
    }
  }
  return p;
}

struct TFiles {
  std::string Dir, A, B;
  TFiles() {
    char pattern[] = "/tmp/vtbenchXXXXXX";
    Dir = mkdtemp(pattern);
    A = Dir + "/a.jpg";
    B = Dir + "/b.jpg";
    JpegEncodeFile(PhotoLike(3000, 2000, 1), 90, A);
    JpegEncodeFile(PhotoLike(3000, 2000, 2), 90, B);
  }
  ~TFiles() { std::filesystem::remove_all(Dir); }
};

const TFiles& Files() {
  static TFiles f;
  return f;
}

// A 4:3 crop of the picture into a 120 x 90 cell, fast JPEG reading on (the
// products of the sizes keep the decode at full size).
void BM_RenderTileFromFile_SameFile(benchmark::State& state) {
  const TFiles& f = Files();
  Bitmap24 out;
  for (auto _ : state) RenderTileFromFile(f.A, 166, 0, 2833, 2000, 120, 90, true, false, out);
  ReleaseTileRenderCache();
  state.counters["cells/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderTileFromFile_SameFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every cell another file: a full decode each time.
void BM_RenderTileFromFile_OtherFile(benchmark::State& state) {
  const TFiles& f = Files();
  Bitmap24 out;
  bool flip = false;
  for (auto _ : state) {
    RenderTileFromFile(flip ? f.A : f.B, 166, 0, 2833, 2000, 120, 90, true, false, out);
    flip = !flip;
  }
  ReleaseTileRenderCache();
  state.counters["cells/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderTileFromFile_OtherFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// A stored 42 x 32 thumbnail into a 120 x 90 cell, sharpened.
void BM_RenderTileFromBitmap_Thumbnail(benchmark::State& state) {
  TBitmap32 thumb;
  thumb.Assign(PhotoLike(42, 32, 3));
  Bitmap24 out;
  for (auto _ : state) RenderTileFromBitmap(thumb, 0, 0, 42, 32, 120, 90, false, true, out);
  state.counters["cells/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderTileFromBitmap_Thumbnail)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A whole cell from a thumbnail with sharpening, 50 % colour correction and a
// half blend of a 6 x 6 cell picture.
void BM_RenderCellImage_Thumbnail(benchmark::State& state) {
  const Bitmap24 thumb = PhotoLike(42, 32, 4), cell = PhotoLike(6, 6, 5);
  Bitmap24 out;
  for (auto _ : state)
    RenderCellImage(thumb, 120, 90, true, 50, 128, cell, false, "", nullptr, 0, 0, 0, 0, out);
  state.counters["cells/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_RenderCellImage_Thumbnail)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
