// Indexing speed: the benchmark photographs (or, when they are absent, a
// folder of generated photo-like JPEG pictures) are indexed into a library on
// 1, 4 and 8 threads, next to the floor that no indexer can beat: reading and
// decoding the same files as the build decodes them, and nothing else. Each
// indexing run reports its ratio to that floor on the same number of threads.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/photos/BenchPhotos.h"
#include "formats/Registrations.h"
#include "platform/Bitmap24.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Picture.h"
#include "platform/Utils.h"
#include "tests/tiledb/NewLibraryParameters.h"
#include "tiledb/FolderScan.h"
#include "tiledb/LibraryBuildCrop.h"
#include "tiledb/LibraryBuildPool.h"
#include "tiledb/VTData.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPictures = 500;
constexpr int kWidth = 1600, kHeight = 1200;
constexpr int kThumbW = 42;

// Smooth gradients in a direction and colour of their own, plus noise, so the
// entropy decoder has a camera-like amount of work.
Bitmap24 PhotoLike(int index) {
  Bitmap24 bmp(kWidth, kHeight);
  uint32_t seed = 2654435761u * uint32_t(index + 1);
  const int cx = (index * 97) % kWidth, cy = (index * 61) % kHeight;
  const int tint = index % 3;
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = int(seed >> 27) - 16;
      const int dx = x - cx, dy = y - cy;
      const int radial = (dx * dx + dy * dy) >> 12;
      for (int c = 0; c < 3; ++c) {
        int v = (c == tint ? x * 255 / kWidth : y * 255 / kHeight) + (radial & 63) + noise;
        row[3 * x + c] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
  return bmp;
}

template <class Fn>
void ParallelFor(int count, int threads, Fn fn) {
  std::atomic<int> next{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([&] {
      for (int i = next++; i < count; i = next++) fn(i);
    });
  for (auto& th : pool) th.join();
}

struct TPictureFolder {
  std::string Dir;
  std::vector<std::string> Files;
  TPictureFolder() {
    Dir = MakeTempFileName("vt");
    fs::remove(Dir);
    fs::create_directory(Dir);
    Files.resize(kPictures);
    for (int i = 0; i < kPictures; ++i) Files[i] = Format("%s/photo%04d.jpg", Dir.c_str(), i);
    ParallelFor(kPictures, ResolveThreadCount(0), [&](int i) { JpegEncodeFile(PhotoLike(i), 90, Files[i]); });
  }
  ~TPictureFolder() { fs::remove_all(Dir); }
};

// The pictures indexed: the benchmark photographs when they are present (real
// photographs of mixed sizes and formats), else the generated folder.
struct TPictureSet {
  std::string Root, ExtList;
  std::vector<std::string> Files;  // in the order the build adds them
  std::vector<int> Scales;         // per file: the JPEG reduction the build picks, -1 not JPEG
};

const TPictureSet& Pictures() {
  static const TPictureSet set = [] {
    RegisterGraphicFormats();
    TPictureSet s;
    if (BenchPhotos().Present()) {
      s.Root = BenchPhotos().Dir + "/tiles";
      s.ExtList = ".JPG.PNG.BMP.TIF";
    } else {
      static TPictureFolder folder;
      s.Root = folder.Dir;
      s.ExtList = ".JPG";
    }
    s.Files = ListPictureFiles(s.Root, s.ExtList, true);
    for (const std::string& f : s.Files) {
      const std::string ext = UpperCase(ExtractFileExt(f));
      int w = 0, h = 0;
      s.Scales.push_back(ext == ".JPG" || ext == ".JPEG"
                             ? ChooseJPEGScale(f, kThumbW, ThumbHeightFor(kThumbW, 4, 3), w, h)
                             : -1);
    }
    return s;
  }();
  return set;
}

// The floor: every file read and decoded as the build decodes it (JPEG at the
// reduction it picks, other formats in full through the picture-format
// list), and nothing else, on the given threads.
double FloorSeconds(int threads) {
  const TPictureSet& set = Pictures();
  const auto start = std::chrono::steady_clock::now();
  ParallelFor(int(set.Files.size()), threads, [&](int i) {
    Bitmap24 picture;
    try {
      if (set.Scales[size_t(i)] >= 0) {
        const std::vector<uint8_t> data = ReadWholeFile(set.Files[size_t(i)]);
        JpegDecode(data.data(), data.size(), set.Scales[size_t(i)], picture);
      } else {
        LoadPicture(set.Files[size_t(i)], picture);
      }
    } catch (const std::exception&) {
    }
    benchmark::DoNotOptimize(picture.Bits());
  });
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double IndexSeconds(int threads, const std::string& library) {
  const TPictureSet& set = Pictures();
  TVTData table;
  SetNewLibraryParameters(table, set.Root, 6, 6, kThumbW, csYCC);
  table.FExtList = set.ExtList;
  table.FFastJpeg = true;
  table.FThreads = threads;
  const auto start = std::chrono::steady_clock::now();
  table.CreateBase(library);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (table.FBuildCount != int(set.Files.size()))
    std::fprintf(stderr, "indexed %d of %zu pictures\n", table.FBuildCount, set.Files.size());
  return s;
}

void BM_IndexFolder(benchmark::State& state) {
  const int threads = int(state.range(0));
  const std::string library = MakeTempFileName("vt") + ".vt2";
  const size_t pictures = Pictures().Files.size();
  // The floor is timed next to every run, with the same threads, so that the
  // ratio holds even when the machine's load changes during the benchmark.
  double total = 0, floor = 0;
  for (auto _ : state) {
    floor += FloorSeconds(threads);
    const double s = IndexSeconds(threads, library);
    total += s;
    state.SetIterationTime(s);
  }
  fs::remove(library);
  state.counters["threads"] = threads;
  state.counters["pictures"] = double(pictures);
  state.counters["floor_ms"] = 1000 * floor / double(state.iterations());
  state.counters["vs_floor"] = total / floor;
}

// Argument: worker threads. Each figure is the median of three runs.
BENCHMARK(BM_IndexFolder)
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->DisplayAggregatesOnly(true);

}  // namespace
