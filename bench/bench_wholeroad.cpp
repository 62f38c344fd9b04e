// The whole road a user walks with an existing library, call for call as the
// main window and the source setup take it: open the library, load the
// source picture and copy its crop, cut the project (CreatePlan), open it
// (which opens its library by the stored path again), start every mosaic
// cell as its plan cell and save, build 100 x 75 cells in natural order
// (Distance 5, Repeat Auto), save the project, and write a 3600 x 2400 JPEG
// composed in memory from the stored thumbnails.
//
// Beside every run, in the same iteration, its picture work measured alone:
// decoding the source, the build loop over the same start, composing the
// poster and encoding it. "x_picture" is the road's time over their sum,
// "x_median" the middle of the runs' own ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "bench/photos/BuildBenchSet.h"
#include "mosaic/OutputRender.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Picture.h"

namespace {

using namespace buildbench;
namespace fs = std::filesystem;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

// The road's source picture: one of those kept out of the tiles (the first
// is the build benchmarks' own), or a generated one written beside the
// benchmark library when the photographs are absent.
std::string SourceFile(int which) {
  const TBenchPhotos& photos = BenchPhotos();
  if (photos.Present() && !photos.Sources.empty())
    return photos.Sources[size_t(which) % photos.Sources.size()];
  static const std::string generated = [] {
    const std::string file = Set().Dir + "/source.jpg";
    Bitmap24 s(1600, 1200);
    for (int y = 0; y < 1200; ++y)
      for (int x = 0; x < 1600; ++x)
        s.SetPixel(x, y, RGB(uint8_t(x / 7), uint8_t(y / 5), uint8_t((x + y) / 11)));
    JpegEncodeFile(s, 90, file);
    return file;
  }();
  return generated;
}

TOutputJob PosterJob(TVTData& plan, TVTData& mosaic) {
  TOutputJob job;
  job.Mosaic = &mosaic;
  job.Plan = &plan;
  job.GridColumns = kCols;
  job.Area = {0, 0, kCols - 1, kRows - 1};
  job.Settings.Width = 3600;
  job.Settings.Height = 2400;
  return job;
}

// What the source setup's "Apply" hands the plan: the crop copied at scale 1.
Bitmap24 Cropped(const Bitmap24& picture) {
  Bitmap24 crop(picture.Width(), picture.Height());
  DrawAt(crop, 0, 0, picture);
  return crop;
}

// Every mosaic cell starts as its own plan cell.
void CopyCells(TVTData& plan, TVTData& mosaic) {
  mosaic.CopyAllRecordsFrom(plan);
}

void SaveProject(TVTData& lib, TVTData& plan, TVTData& mosaic) {
  mosaic.Compact();
  plan.SaveProject(plan.BaseName(), mosaic, lib);
  mosaic.Modified = 0;
  plan.Modified = 0;
}

void Build(TVTData& lib, TVTData& plan, TVTData& mosaic) {
  TBuildObserver quiet;
  std::vector<int32_t> grid;
  mosaic.GetAllLinks(grid, 1);
  mosaic.ShowThumbs = true;
  lib.ResetUsage();
  plan.ClearIndex();
  RunBuildCells(lib, plan, mosaic, grid, TBuildArea({0, 0, 0, 0}, false, kCols, kRows), Settings(false),
                quiet);
  lib.ResetUsage();
  plan.ClearIndex();
}

// The road, timed whole.
double RoadSeconds(const std::string& source, const std::string& project, const std::string& poster) {
  const auto start = Clock::now();
  TVTData lib, plan, mosaic;
  lib.ShowThumbs = true;
  if (!lib.OpenFile(Set().Library, okLibrary)) throw EVitrane("cannot open the benchmark library");
  Bitmap24 picture;
  LoadPicture(source, picture);
  const Bitmap24 crop = Cropped(picture);
  lib.CreatePlan(project, crop, {source, TRect(0, 0, crop.Width(), crop.Height())}, kRows, kCols);
  if (!plan.OpenProject(project, mosaic)) throw EVitrane("cannot open the road's project");
  if (!plan.LibraryPath.empty() && FileExists(plan.LibraryPath)) lib.SetBaseName(plan.LibraryPath);
  CopyCells(plan, mosaic);
  SaveProject(lib, plan, mosaic);
  Build(lib, plan, mosaic);
  SaveProject(lib, plan, mosaic);
  TOutputJob job = PosterJob(plan, mosaic);
  CheckPosterSize(poster, job.Settings);
  Bitmap24 out;
  ComposePoster(job, out);
  SavePosterFile(poster, out, job.Settings);
  return Seconds(start, Clock::now());
}

struct TPictureWork {
  double Decode = 0, Loop = 0, Compose = 0, Encode = 0;
  double Sum() const { return Decode + Loop + Compose + Encode; }
};

// The road's picture work, each part alone: the tables each part starts
// from are made outside its timing.
TPictureWork PictureSeconds(const std::string& source, const std::string& project) {
  TPictureWork w;
  Bitmap24 picture;
  auto t0 = Clock::now();
  LoadPicture(source, picture);
  w.Decode = Seconds(t0, Clock::now());

  TVTData lib, plan, mosaic;
  lib.ShowThumbs = true;
  lib.OpenFile(Set().Library, okLibrary);
  const Bitmap24 crop = Cropped(picture);
  lib.CreatePlan(project, crop, {source, TRect(0, 0, crop.Width(), crop.Height())}, kRows, kCols);
  plan.OpenProject(project, mosaic);
  CopyCells(plan, mosaic);
  t0 = Clock::now();
  Build(lib, plan, mosaic);
  w.Loop = Seconds(t0, Clock::now());

  TOutputJob job = PosterJob(plan, mosaic);
  Bitmap24 out;
  t0 = Clock::now();
  ComposePoster(job, out);
  w.Compose = Seconds(t0, Clock::now());
  t0 = Clock::now();
  benchmark::DoNotOptimize(JpegEncode(out, job.Settings.JpegQuality).size());
  w.Encode = Seconds(t0, Clock::now());
  return w;
}

void BM_WholeRoad(benchmark::State& state) {
  const std::string dir = MakeTempFileName("vt");
  fs::remove(dir);
  fs::create_directories(dir);
  const std::string project = dir + "/road.vtp", floorProject = dir + "/floor.vtp",
                    poster = dir + "/road.jpg";
  const std::string source = SourceFile(int(state.range(0)));
  double road = 0;
  TPictureWork sum;
  std::vector<double> ratios;
  for (auto _ : state) {
    // The road and its floor take turns at going first, so that a slow
    // spell of the machine does not always land on the same one.
    TPictureWork w;
    double s;
    if (ratios.size() % 2 == 0) {
      w = PictureSeconds(source, floorProject);
      s = RoadSeconds(source, project, poster);
    } else {
      s = RoadSeconds(source, project, poster);
      w = PictureSeconds(source, floorProject);
    }
    road += s;
    sum.Decode += w.Decode;
    sum.Loop += w.Loop;
    sum.Compose += w.Compose;
    sum.Encode += w.Encode;
    ratios.push_back(s / w.Sum());
    state.SetIterationTime(s);
  }
  fs::remove_all(dir);
  const double n = double(state.iterations());
  state.counters["decode_ms"] = 1000 * sum.Decode / n;
  state.counters["loop_ms"] = 1000 * sum.Loop / n;
  state.counters["compose_ms"] = 1000 * sum.Compose / n;
  state.counters["encode_ms"] = 1000 * sum.Encode / n;
  state.counters["picture_ms"] = 1000 * sum.Sum() / n;
  state.counters["x_picture"] = road / sum.Sum();
  // The middle of the runs' own ratios, which one disturbed run moves little.
  std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
  state.counters["x_median"] = ratios.empty() ? 0 : ratios[ratios.size() / 2];
}
// Argument: which source picture (0 the build benchmarks' own, 6028 x 3391;
// 3 one of 1920 x 1440 among the photographs).
BENCHMARK(BM_WholeRoad)
    ->Arg(0)
    ->Arg(3)
    ->ArgName("source")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(9);

}  // namespace
