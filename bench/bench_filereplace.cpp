// What flushing a replaced file to the disk costs: a 300 x 200-cell project
// saved over itself, and a 20000 x 20000 BMP written cell by cell straight to
// disk, each with the flush and without it (how files were written before),
// measured in the same run. The direct picture is flushed once, at its end.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "mosaic/OutputRender.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "tests/tiledb/NewLibraryParameters.h"
#include "tiledb/VTData.h"

namespace {

// A library of 24 tinted pictures and a project of cols x rows cells whose
// mosaic holds them in turn.
struct TProject {
  std::string Dir;
  TVTData Library, Plan, Mosaic;
  int Cols, Rows;
  TProject(int cols, int rows) : Cols(cols), Rows(rows) {
    char pattern[] = "/tmp/vtbenchreplaceXXXXXX";
    Dir = mkdtemp(pattern);
    const std::string pics = Dir + "/pics/";
    std::filesystem::create_directories(pics);
    for (int i = 0; i < 24; ++i) {
      Bitmap24 b(160, 120);
      for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 160; ++x) b.SetPixel(x, y, RGB(uint8_t(i * 10 + x / 2), uint8_t(y * 2), uint8_t(i * 7)));
      JpegEncodeFile(b, 90, pics + "p" + std::to_string(i) + ".jpg");
    }
    TVTData t;
    SetNewLibraryParameters(t, pics, 6, 6);
    t.CreateBase(Dir + "/lib.vt2");
    Library.SetBaseName(Dir + "/lib.vt2");
    Bitmap24 source(cols * 6, rows * 6);
    for (int y = 0; y < source.Height(); ++y)
      for (int x = 0; x < source.Width(); ++x) source.SetPixel(x, y, RGB(uint8_t(x), uint8_t(y), 128));
    Library.CreatePlan(Dir + "/p.vtp", source, {"", TRect(0, 0, source.Width(), source.Height())}, rows, cols);
    Plan.OpenProject(Dir + "/p.vtp", Mosaic);
    for (int n = 1; n <= Mosaic.RecordCount; ++n) {
      Library.MoveTo((n - 1) % Library.RecordCount + 1);
      Mosaic.SetRecordFrom(n, Library, true);
    }
  }
  ~TProject() { std::filesystem::remove_all(Dir); }
};

void BM_ProjectSave(benchmark::State& state) {
  static TProject p(300, 200);
  SetFlushOnReplace(state.range(0) != 0);
  for (auto _ : state) p.Plan.SaveProject(p.Dir + "/p.vtp", p.Mosaic, p.Library);
  SetFlushOnReplace(true);
  state.SetLabel(state.range(0) ? "flushed" : "not flushed");
  state.counters["MB"] = double(FileSize(p.Dir + "/p.vtp")) / 1e6;
}
BENCHMARK(BM_ProjectSave)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_DirectBMP20000(benchmark::State& state) {
  static TProject p(100, 75);
  SetFlushOnReplace(state.range(0) != 0);
  TOutputJob job;
  job.Mosaic = &p.Mosaic;
  job.Plan = &p.Plan;
  job.GridColumns = p.Cols;
  job.Area = {0, 0, p.Cols - 1, p.Rows - 1};
  job.Settings.Width = 20000;
  job.Settings.Height = 20000;
  for (auto _ : state) WriteMosaicDirect(job, p.Dir + "/direct.bmp", 1);
  SetFlushOnReplace(true);
  std::filesystem::remove(p.Dir + "/direct.bmp");
  state.SetLabel(state.range(0) ? "flushed" : "not flushed");
}
BENCHMARK(BM_DirectBMP20000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
