// Writing a 20000 x 20000 mosaic straight to disk one 120 x 90 cell at a time,
// as BMP and as TIFF, against a plain sequential write of the same number of
// bytes in the same run. Cells are ready-made; only the writing is timed.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "formats/BandWriter.h"
#include "platform/Files.h"
#include "platform/Rounding.h"

namespace {

constexpr int kW = 20000, kH = 20000;
constexpr int kCols = 167, kRows = 222;  // cells of 119..120 x 90..91 pixels

struct TCell {
  int x, y;
  const Bitmap24* bitmap;
};

// Every cell of the picture with its place, drawn from one bitmap per cell size.
const std::vector<TCell>& Cells() {
  static std::map<std::pair<int, int>, Bitmap24> sizes;
  static std::vector<TCell> cells;
  if (!cells.empty()) return cells;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const int x0 = int(RoundDiv(int64_t(kW) * c, kCols)), x1 = int(RoundDiv(int64_t(kW) * (c + 1), kCols));
      const int y0 = int(RoundDiv(int64_t(kH) * r, kRows)), y1 = int(RoundDiv(int64_t(kH) * (r + 1), kRows));
      Bitmap24& b = sizes[{x1 - x0, y1 - y0}];
      if (b.Empty()) {
        b.SetSize(x1 - x0, y1 - y0);
        for (int y = 0; y < b.Height(); ++y)
          for (size_t i = 0; i < b.Stride(); ++i) b.ScanLine(y)[i] = uint8_t(i * 7 + y);
      }
      cells.push_back({x0, y0, &b});
    }
  return cells;
}

void Report(benchmark::State& state, int64_t bytes) {
  state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  state.counters["peak_rss_MB"] = double(u.ru_maxrss) / 1024.0;
  state.counters["file_MB"] = double(bytes) / 1e6;
}

void BM_SequentialWrite(benchmark::State& state) {
  const int64_t total = BMPFileSize(kW, kH);
  const std::vector<char> block(1 << 20, 'x');
  const std::string name = MakeTempFileName("vtb");
  for (auto _ : state) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    for (int64_t left = total; left > 0;) {
      const ssize_t n = ::write(fd, block.data(), size_t(std::min<int64_t>(left, int64_t(block.size()))));
      if (n <= 0) {
        state.SkipWithError("write failed");
        break;
      }
      left -= n;
    }
    ::close(fd);
    state.PauseTiming();
    std::remove(name.c_str());
    state.ResumeTiming();
  }
  Report(state, total);
}

template <bool Tiff>
void BM_Bands(benchmark::State& state) {
  const std::vector<TCell>& cells = Cells();
  const int64_t total = Tiff ? TIFFFileSize(kW, kH) : BMPFileSize(kW, kH);
  const std::string name = MakeTempFileName("vtb");
  for (auto _ : state) {
    TBandFileStream s(name, TFileMode::fmCreate);
    const bool ok = Tiff ? WriteTIFFHeader(s, kW, kH, 300, 2) : WriteBMPHeader(s, kW, kH);
    if (!ok) {
      state.SkipWithError("header failed");
      break;
    }
    for (const TCell& c : cells) {
      if (Tiff)
        WriteTIFFBand(s, kW, kH, c.x, c.y, *c.bitmap);
      else
        WriteBMPBand(s, kW, kH, c.x, c.y, *c.bitmap);
    }
    s.Close();
    state.PauseTiming();
    std::remove(name.c_str());
    state.ResumeTiming();
  }
  Report(state, total);
}

}  // namespace

BENCHMARK(BM_SequentialWrite)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_TEMPLATE(BM_Bands, false)
    ->Name("BM_BMPBands")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_TEMPLATE(BM_Bands, true)
    ->Name("BM_TIFFBands")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
