// Indexing speed: a folder of generated photo-like JPEG pictures is indexed
// into a library on one thread and on all threads, next to the floor that no
// indexer can beat: decoding the same files at the same reduced scale with
// libjpeg-turbo alone. Each indexing run reports its ratio to that floor on
// the same number of threads.
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Utils.h"
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

const TPictureFolder& Pictures() {
  static TPictureFolder folder;
  return folder;
}

// The bare decode: read the file, decode it at the scale the build picks.
void DecodeFloor(const std::string& file, int scale, std::vector<uint8_t>& pixels) {
  const std::vector<uint8_t> data = ReadWholeFile(file);
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.scale_num = 1;
  cinfo.scale_denom = 1u << scale;
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  const size_t stride = size_t(cinfo.output_width) * 3;
  pixels.resize(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

double FloorSeconds(int threads) {
  const auto& files = Pictures().Files;
  int w = 0, h = 0;
  const int scale = ChooseJPEGScale(files[0], kThumbW, ThumbHeightFor(kThumbW, 4, 3), w, h);
  const auto start = std::chrono::steady_clock::now();
  ParallelFor(kPictures, threads, [&](int i) {
    std::vector<uint8_t> pixels;
    DecodeFloor(files[i], scale, pixels);
    benchmark::DoNotOptimize(pixels.data());
  });
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double IndexSeconds(int threads, const std::string& library) {
  TVTData table;
  table.FXScale = 4;
  table.FYScale = 3;
  table.FXRes = 6;
  table.FYRes = 6;
  table.FThumbW = kThumbW;
  table.FThumbQ = 85;
  table.FFilter = 6;
  table.FSampleDepth = 3;
  table.FColorSystem = 1;
  table.FExtList = ".JPG";
  table.FRootDir = Pictures().Dir;
  table.FFastJpeg = true;
  table.FThreads = threads;
  const auto start = std::chrono::steady_clock::now();
  table.CreateBase(library);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (table.FBuildCount != kPictures)
    std::fprintf(stderr, "indexed %d of %d pictures\n", table.FBuildCount, kPictures);
  return s;
}

void BM_DecodeFloor(benchmark::State& state) {
  const int threads = ResolveThreadCount(int(state.range(0)));
  Pictures();
  for (auto _ : state) state.SetIterationTime(FloorSeconds(threads));
  state.counters["threads"] = threads;
  state.counters["pictures/s"] =
      benchmark::Counter(double(kPictures) * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_IndexFolder(benchmark::State& state) {
  const int threads = ResolveThreadCount(int(state.range(0)));
  const std::string library = Pictures().Dir + ".vt2";
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
  state.counters["pictures/s"] =
      benchmark::Counter(double(kPictures) * double(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["vs_floor"] = total / floor;
}

// Argument: worker threads, 0 = one per processor.
BENCHMARK(BM_DecodeFloor)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_IndexFolder)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
