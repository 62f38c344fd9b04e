// Mosaic output: a 100 x 75-cell mosaic built from the benchmark library of
// real photographs (synthetic pictures when that set is absent), saved
//   - from the stored thumbnails to a 20000 x 20000 BMP and TIFF written
//     direct to disk, against writing as many bytes sequentially with one
//     flush to the disk at the end, with the peak resident memory of the run;
//   - from the stored thumbnails composed in memory at 3600 x 2400, on one
//     thread and on all of them, the JPEG encode measured apart;
//   - from the original pictures at 12000 x 9000, composed in memory and
//     written direct to a BMP, against decoding every tile file the mosaic
//     uses once, at the scale the cells ask for, on all cores; the file
//     written direct also against a sequential write of as many bytes.
// Each floor is measured in the same iteration as its target; "x_floor" is
// the target's time over it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/photos/BenchPhotos.h"
#include "formats/BandWriter.h"
#include "formats/Registrations.h"
#include "imaging/TileRender.h"
#include "mosaic/OutputRender.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Picture.h"
#include "tests/tiledb/NewLibraryParameters.h"
#include "tiledb/VTData.h"

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

constexpr int Cols = 100, Rows = 75;

double Seconds(TClock::time_point a, TClock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// A stand-in set when the photographs are absent: tiles of mixed sizes and
// orientations with smooth colour fields, and one source picture.
std::vector<std::string> MakeSyntheticTiles(const std::string& dir, std::string& source) {
  const std::string tiles = dir + "tiles/";
  source = dir + "source.jpg";
  std::vector<std::string> names;
  std::mt19937 rng(11);
  for (int i = 0; i < 800; ++i) names.push_back(tiles + "s" + std::to_string(i) + ".jpg");
  if (FileExists(source) && FileExists(names.back())) return names;
  fs::create_directories(tiles);
  for (const std::string& name : names) {
    const int longSide = 320 + int(rng() % 1281), shortSide = longSide * 3 / 4;
    const bool tall = rng() % 3 == 0;
    const int w = tall ? shortSide : longSide, h = tall ? longSide : shortSide;
    const int r0 = int(rng() % 256), g0 = int(rng() % 256), b0 = int(rng() % 256);
    Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        b.SetPixel(x, y, RGB(uint8_t(r0 + x * 96 / w), uint8_t(g0 + y * 96 / h), uint8_t(b0 + (x ^ y) % 32)));
    JpegEncodeFile(b, 88, name);
  }
  Bitmap24 s(1600, 1200);
  for (int y = 0; y < 1200; ++y)
    for (int x = 0; x < 1600; ++x) s.SetPixel(x, y, RGB(uint8_t(x / 7), uint8_t(y / 5), uint8_t((x + y) / 11)));
  JpegEncodeFile(s, 90, source);
  return names;
}

// The library of the set, a 100 x 75 project over a source picture kept out
// of it, and its mosaic built in natural order (Repeat "Auto", Distance 4).
// Library and project are kept in build/bench-output* between runs.
struct TProject {
  std::string Work;
  bool Photographs = false;
  TVTData Library, Plan, Mosaic;

  TProject() {
    RegisterGraphicFormats();
    const TBenchPhotos& photos = BenchPhotos();
    Photographs = photos.Present();
    std::string source, tiles;
    if (Photographs) {
      Work = std::string(VT_SOURCE_DIR) + "/build/bench-output/";
      source = photos.Sources.front();
      tiles = photos.Dir + "/tiles/";
    } else {
      Work = std::string(VT_SOURCE_DIR) + "/build/bench-output-synthetic/";
      MakeSyntheticTiles(Work, source);
      tiles = Work + "tiles/";
      std::printf("Output benchmarks run on 800 synthetic tiles instead\n");
    }
    fs::create_directories(Work);
    const std::string lib = Work + "lib.vt2", project = Work + "p.vtp", stamp = Work + "made-from.txt";
    std::string madeFrom;
    std::getline(std::ifstream(stamp), madeFrom);
    if (madeFrom != tiles || !FileExists(lib) || !FileExists(project)) {
      std::printf("Building the benchmark library and project in %s ...\n", Work.c_str());
      std::fflush(stdout);
      TVTData t;
      SetNewLibraryParameters(t, tiles, 6, 6, 42);
      t.FExtList = ".JPG;.PNG;.BMP;.TIF";
      t.FFastJpeg = true;
      t.FThreads = 0;
      t.CreateBase(lib);
      Library.SetBaseName(lib);
      Bitmap24 picture;
      LoadPicture(source, picture);
      Library.CreatePlan(project, picture, {source, TRect(0, 0, picture.Width(), picture.Height())}, Rows, Cols);
      Plan.OpenProject(project, Mosaic);
      std::vector<int32_t> grid;
      Mosaic.GetAllLinks(grid, 1);
      for (int n = 1; n <= Plan.RecordCount; ++n) {
        Plan.MoveTo(n);
        Library.PickTileFlipped(Plan, grid, 1, -1, 4, Cols, Rows, (n - 1) % Cols, (n - 1) / Cols);
        Mosaic.SetRecordFrom(n, Library, true);
      }
      Plan.SaveProject(project, Mosaic, Library);
      std::ofstream(stamp) << tiles << "\n";
    } else {
      Library.SetBaseName(lib);
    }
    Plan.OpenProject(project, Mosaic);
    std::printf("Library: %d tiles; mosaic of %d x %d cells\n", Library.RecordCount, Plan.Columns, Plan.Rows);
    std::fflush(stdout);
  }

  TOutputJob Job(int width, int height) {
    TOutputJob job;
    job.Mosaic = &Mosaic;
    job.Plan = &Plan;
    job.GridColumns = Cols;
    job.Area = {0, 0, Cols - 1, Rows - 1};
    job.Settings.Width = width;
    job.Settings.Height = height;
    return job;
  }
};

TProject& Project() {
  static TProject p;
  return p;
}

// Where the pictures are written: $VT_BENCH_SCRATCH when set (a folder in
// memory keeps a busy disk out of the figures), else beside the library.
std::string ScratchFolder(const TProject& p) {
  const char* env = std::getenv("VT_BENCH_SCRATCH");
  static const bool told = [&] {
    std::printf("Pictures are written to %s\n", env && *env ? env : p.Work.c_str());
    return true;
  }();
  (void)told;
  return env && *env ? std::string(env) + "/" : p.Work;
}

// Writes size bytes to a new file sequentially, 8 MB at a time, and flushes
// it to the disk once at the end, as every save flushes its file. With early
// writeback the disk is set to work every 8 MB, as the direct writers do,
// so that the flush waits only for the last pieces: what the disk takes for
// the bytes at the least.
void WriteSequentially(const std::string& fileName, int64_t size, bool earlyWriteback = false) {
  std::vector<char> chunk(size_t(8) << 20, 1);
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw std::runtime_error("cannot create " + fileName);
  int64_t pending = 0;
  for (int64_t left = size; left > 0;) {
    const ssize_t n = ::write(fd, chunk.data(), size_t(std::min<int64_t>(left, int64_t(chunk.size()))));
    if (n <= 0) throw std::runtime_error("cannot write " + fileName);
    left -= n;
    pending += n;
    if (earlyWriteback && pending >= (int64_t(8) << 20)) {
      ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
      pending = 0;
    }
  }
  if (::fdatasync(fd) != 0) throw std::runtime_error("cannot flush " + fileName);
  ::close(fd);
}

// Peak resident memory since the last reset, in MB.
void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
double PeakMemoryMB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  return 0;
}

// Writes are measured from clean page-cache state: what an earlier run left
// to flush is flushed first, outside the timing.
void Settle(const std::vector<std::string>& files) {
  for (const std::string& f : files) DeleteFile(f);
  ::sync();
}

void DirectToDisk(benchmark::State& state, int kind) {
  TProject& p = Project();
  constexpr int Side = 20000;
  TOutputJob job = p.Job(Side, Side);
  const std::string dir = ScratchFolder(p);
  const std::string floorFile = dir + "floor.bin", out = dir + (kind == 1 ? "direct.bmp" : "direct.tif");
  const int64_t bytes = kind == 1 ? BMPFileSize(Side, Side) : TIFFFileSize(Side, Side);
  double floorTotal = 0, runTotal = 0, peak = 0;
  for (auto _ : state) {
    Settle({floorFile, out});
    const auto f0 = TClock::now();
    WriteSequentially(floorFile, bytes);
    const auto f1 = TClock::now();
    Settle({floorFile});
    ResetPeakMemory();
    const auto t0 = TClock::now();
    WriteMosaicDirect(job, out, kind);
    const auto t1 = TClock::now();
    peak = std::max(peak, PeakMemoryMB());
    state.SetIterationTime(Seconds(t0, t1));
    floorTotal += Seconds(f0, f1);
    runTotal += Seconds(t0, t1);
  }
  Settle({floorFile, out});
  state.counters["floor_s"] = floorTotal / double(state.iterations());
  state.counters["x_floor"] = runTotal / floorTotal;
  state.counters["peak_MB"] = peak;
}

void BM_DirectBMP_20000_Thumbs(benchmark::State& state) {
  DirectToDisk(state, 1);
}
BENCHMARK(BM_DirectBMP_20000_Thumbs)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

void BM_DirectTIFF_20000_Thumbs(benchmark::State& state) {
  DirectToDisk(state, 2);
}
BENCHMARK(BM_DirectTIFF_20000_Thumbs)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

// Composing only; threads 1 is the one-core time the others are held to.
void BM_Compose_3600x2400_Thumbs(benchmark::State& state) {
  TProject& p = Project();
  TOutputJob job = p.Job(3600, 2400);
  job.Threads = int(state.range(0));
  for (auto _ : state) {
    Bitmap24 poster;
    ComposePoster(job, poster);
    benchmark::DoNotOptimize(poster.Bits());
  }
  state.counters["cells/s"] = benchmark::Counter(Cols * Rows, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Compose_3600x2400_Thumbs)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("threads")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

void BM_JpegEncode_3600x2400(benchmark::State& state) {
  TProject& p = Project();
  TOutputJob job = p.Job(3600, 2400);
  Bitmap24 poster;
  ComposePoster(job, poster);
  for (auto _ : state) benchmark::DoNotOptimize(JpegEncode(poster, 80).size());
}
BENCHMARK(BM_JpegEncode_3600x2400)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The files the mosaic uses with the decoder scale each cell asks for.
std::set<std::pair<std::string, int>> TileDecodes(TProject& p, int width, int height) {
  std::set<std::pair<std::string, int>> decodes;
  p.Mosaic.ShowThumbs = false;
  for (int n = 1; n <= p.Mosaic.RecordCount; ++n) {
    p.Mosaic.MoveTo(n);
    const int c = (n - 1) % Cols, r = (n - 1) / Cols;
    const int cw = OutputCellEdge(width, Cols, c + 1) - OutputCellEdge(width, Cols, c);
    const int ch = OutputCellEdge(height, Rows, r + 1) - OutputCellEdge(height, Rows, r);
    const TRect& k = p.Mosaic.CurCropRect;
    const std::string ext = UpperCase(ExtractFileExt(p.Mosaic.CurPath));
    const bool jpeg = ext == ".JPG" || ext == ".JPEG";
    decodes.insert({p.Mosaic.CurPath, jpeg ? CellJPEGScale(k.Right - k.Left, k.Bottom - k.Top, cw, ch) : 0});
  }
  return decodes;
}

// Decodes each (file, scale) once, spread over every core.
void DecodeAll(const std::vector<std::pair<std::string, int>>& decodes) {
  std::atomic<size_t> next{0};
  std::vector<std::thread> pool;
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned t = 0; t < threads; ++t)
    pool.emplace_back([&] {
      Bitmap24 picture;
      for (size_t i; (i = next++) < decodes.size();) {
        const auto& [file, scale] = decodes[i];
        const std::string ext = UpperCase(ExtractFileExt(file));
        if (ext == ".JPG" || ext == ".JPEG")
          JpegDecodeFile(file, scale, picture);
        else
          LoadPicture(file, picture);
      }
    });
  for (std::thread& t : pool) t.join();
}

// The mosaic at 12000 x 9000 from the original pictures, composed in memory
// or written straight to a BMP file, against the decodes. The run and its
// floor take turns at going first, so that a slow spell of the machine does
// not always land on the same one; "x_median" is the middle of the runs' own
// ratios. A file written direct is also held to a plain sequential write of
// as many bytes, made in the same iteration to the same folder, with the
// disk set to work as it goes and one flush at the end ("write_s",
// "x_write"): what the disk takes for the file whatever makes its bytes.
// Without the flush at the end of the save ("NoFlush"), the run waits for no
// disk, only for the system's cache.
enum TOriginalsOutput { ooPoster, ooDirect, ooDirectNoFlush };
void Originals(benchmark::State& state, TOriginalsOutput output) {
  TProject& p = Project();
  constexpr int W = 12000, H = 9000;
  const auto set = TileDecodes(p, W, H);
  const std::vector<std::pair<std::string, int>> decodes(set.begin(), set.end());
  TOutputJob job = p.Job(W, H);
  job.UseOriginalFiles = true;
  const bool direct = output != ooPoster;
  const std::string dir = ScratchFolder(p), out = dir + "originals.bmp", plain = dir + "plain.bin";
  if (output == ooDirectNoFlush) SetFlushOnReplace(false);
  double floorTotal = 0, runTotal = 0, writeTotal = 0;
  std::vector<double> ratios;
  for (auto _ : state) {
    double run = 0, floor = 0;
    auto measureRun = [&] {
      if (direct) Settle({out});
      Bitmap24 poster;
      const auto t0 = TClock::now();
      if (direct)
        WriteMosaicDirect(job, out, 1);
      else
        ComposePoster(job, poster);
      run = Seconds(t0, TClock::now());
      benchmark::DoNotOptimize(poster.Bits());
    };
    auto measureFloor = [&] {
      const auto t0 = TClock::now();
      DecodeAll(decodes);
      floor = Seconds(t0, TClock::now());
    };
    if (ratios.size() % 2 == 0) {
      measureFloor();
      measureRun();
    } else {
      measureRun();
      measureFloor();
    }
    if (output == ooDirect) {
      Settle({out, plain});
      const auto t0 = TClock::now();
      WriteSequentially(plain, BMPFileSize(W, H), true);
      writeTotal += Seconds(t0, TClock::now());
      Settle({plain});
    }
    state.SetIterationTime(run);
    floorTotal += floor;
    runTotal += run;
    ratios.push_back(run / floor);
  }
  if (direct) Settle({out});
  SetFlushOnReplace(true);
  const double n = double(state.iterations());
  state.counters["decodes"] = double(decodes.size());
  state.counters["floor_s"] = floorTotal / n;
  state.counters["x_floor"] = runTotal / floorTotal;
  std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
  state.counters["x_median"] = ratios.empty() ? 0 : ratios[ratios.size() / 2];
  if (output == ooDirect) {
    state.counters["write_s"] = writeTotal / n;
    state.counters["x_write"] = runTotal / writeTotal;
  }
}

void BM_Compose_12000x9000_Originals(benchmark::State& state) {
  Originals(state, ooPoster);
}
BENCHMARK(BM_Compose_12000x9000_Originals)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_DirectBMP_12000x9000_Originals(benchmark::State& state) {
  Originals(state, ooDirect);
}
BENCHMARK(BM_DirectBMP_12000x9000_Originals)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void BM_DirectBMP_12000x9000_Originals_NoFlush(benchmark::State& state) {
  Originals(state, ooDirectNoFlush);
}
BENCHMARK(BM_DirectBMP_12000x9000_Originals_NoFlush)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

}  // namespace
