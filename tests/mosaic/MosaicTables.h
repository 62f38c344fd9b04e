// A library of solid-coloured tiles and a project cut from a picture of solid
// quarters, made through the tables themselves, for tests with and without a
// window.
#pragma once
#include <filesystem>
#include <string>

#include "common/ScratchDir.h"
#include "mosaic/OutputRender.h"
#include "platform/Jpeg.h"
#include "tiledb/NewLibraryParameters.h"
#include "tiledb/VTData.h"

namespace mwtest {

inline Bitmap24 Solid(int w, int h, TColor c) {
  Bitmap24 b(w, h);
  b.Fill(c);
  return b;
}

// A library of solid-coloured pictures: xres x yres samples, tiles 4:3.
inline std::string MakeLibrary(const ScratchDir& dir, const std::string& name, int xres = 6, int yres = 6) {
  const std::string pics = dir / (name + "_pics/");
  std::filesystem::create_directories(pics);
  const TColor colours[] = {RGB(200, 30, 30),  RGB(30, 200, 30), RGB(30, 30, 200),
                            RGB(220, 220, 40), RGB(20, 20, 20),  RGB(240, 240, 240)};
  int i = 0;
  for (TColor c : colours) JpegEncodeFile(Solid(80, 60, c), 95, pics + "p" + std::to_string(i++) + ".jpg");
  TVTData t;
  SetNewLibraryParameters(t, pics, xres, yres);
  t.FThreads = 1;
  const std::string file = dir / (name + ".vt2");
  t.CreateBase(file);
  return file;
}

// A project of columns x rows cells cut from a picture of solid quarters,
// cellWidth x cellHeight of its pixels a cell.
inline std::string MakeProject(const ScratchDir& dir, const std::string& library, const std::string& name,
                               int columns = 4, int rows = 3, int cellWidth = 24, int cellHeight = 18) {
  TVTData lib;
  lib.SetBaseName(library);
  Bitmap24 source = Solid(columns * cellWidth, rows * cellHeight, RGB(200, 30, 30));
  for (int y = 0; y < source.Height() / 2; ++y)
    for (int x = 0; x < source.Width() / 2; ++x) source.SetPixel(x, y, RGB(30, 30, 200));
  const std::string file = dir / name;
  lib.CreatePlan(file, source, {"", TRect(0, 0, source.Width(), source.Height())}, rows, columns);
  return file;
}

// Opens project into plan and mosaic, fills every cell with the library's
// tiles in turn and points job at the whole grid; false when the project
// does not open or a cell cannot take its tile.
inline bool FillMosaicJob(const std::string& library, const std::string& project, TVTData& lib, TVTData& plan,
                          TVTData& mosaic, TOutputJob& job, bool& stop) {
  lib.SetBaseName(library);
  if (!plan.OpenProject(project, mosaic)) return false;
  for (int n = 1; n <= mosaic.RecordCount; ++n) {
    lib.MoveTo((n - 1) % lib.RecordCount + 1);
    if (!mosaic.SetRecordFrom(n, lib, true)) return false;
  }
  job.Mosaic = &mosaic;
  job.Plan = &plan;
  job.GridColumns = plan.Columns;
  job.Area = {0, 0, plan.Columns - 1, plan.Rows - 1};
  job.StopRequested = &stop;
  return true;
}

}  // namespace mwtest
