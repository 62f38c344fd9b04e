// Mosaic output: a 100 x 75-cell mosaic rendered from stored thumbnails to a
// 6000 x 4500 BMP, composed in memory and written cell by cell to disk. The
// baseline is one plain 6000 x 4500 BMP encode and write of the same size.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/Bmp.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "tests/tiledb/NewLibraryParameters.h"
#include "tiledb/VTData.h"
#include "mosaic/OutputRender.h"

namespace {

constexpr int Cols = 100, Rows = 75, OutW = 6000, OutH = 4500;

// A library of 24 solid-tinted 4:3 pictures with 60-pixel thumbnails, and a
// 100 x 75 project whose mosaic holds them in turn.
struct TProject {
  std::string Dir;
  TVTData Library, Plan, Mosaic;
  TProject() {
    char pattern[] = "/tmp/vtbenchoutXXXXXX";
    Dir = mkdtemp(pattern);
    const std::string pics = Dir + "/pics/";
    std::filesystem::create_directories(pics);
    for (int i = 0; i < 24; ++i) {
      Bitmap24 b(160, 120);
      for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x)
          b.SetPixel(x, y, RGB(uint8_t(i * 10 + x / 2), uint8_t(y * 2), uint8_t(i * 7)));
      JpegEncodeFile(b, 90, pics + "p" + std::to_string(i) + ".jpg");
    }
    TVTData t;
    SetNewLibraryParameters(t, pics, 4, 3, 60);
    t.FThreads = 1;
    t.CreateBase(Dir + "/lib.vt2");
    Library.SetBaseName(Dir + "/lib.vt2");
    Bitmap24 source(Cols * 8, Rows * 6);
    for (int y = 0; y < source.Height(); ++y)
      for (int x = 0; x < source.Width(); ++x) source.SetPixel(x, y, RGB(uint8_t(x), uint8_t(y), 128));
    Library.CreatePlan(Dir + "/p.vtp", source, {"", TRect(0, 0, source.Width(), source.Height())}, Rows,
                       Cols);
    Plan.OpenProject(Dir + "/p.vtp", Mosaic);
    for (int n = 1; n <= Mosaic.RecordCount; ++n) {
      Library.MoveTo((n - 1) % Library.RecordCount + 1);
      Mosaic.SetRecordFrom(n, Library, true);
    }
  }
  ~TProject() { std::filesystem::remove_all(Dir); }
  TOutputJob Job() {
    TOutputJob job;
    job.Mosaic = &Mosaic;
    job.Plan = &Plan;
    job.GridColumns = Cols;
    job.Area = {0, 0, Cols - 1, Rows - 1};
    job.Settings.Width = OutW;
    job.Settings.Height = OutH;
    return job;
  }
};

TProject& Project() {
  static TProject p;
  return p;
}

void BM_Baseline_WriteBMP(benchmark::State& state) {
  TProject& p = Project();
  Bitmap24 b(OutW, OutH);
  b.Fill(RGB(1, 2, 3));
  for (auto _ : state) WriteFileReplacing(p.Dir + "/base.bmp", EncodeBMP24(b));
}
BENCHMARK(BM_Baseline_WriteBMP)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_OutputBMP_InMemory(benchmark::State& state) {
  TProject& p = Project();
  TOutputJob job = p.Job();
  for (auto _ : state) {
    Bitmap24 poster;
    ComposePoster(job, poster);
    SavePosterFile(p.Dir + "/mem.bmp", poster, job.Settings);
  }
  state.counters["cells/s"] = benchmark::Counter(Cols * Rows, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OutputBMP_InMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_OutputBMP_DirectToDisk(benchmark::State& state) {
  TProject& p = Project();
  TOutputJob job = p.Job();
  for (auto _ : state) WriteMosaicDirect(job, p.Dir + "/direct.bmp", 1);
  state.counters["cells/s"] = benchmark::Counter(Cols * Rows, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OutputBMP_DirectToDisk)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace
