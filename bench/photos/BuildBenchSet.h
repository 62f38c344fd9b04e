// The build benchmarks' library and project: up to 5,000 of the benchmark
// photographs indexed into a YCC library (or, when the set is absent, solid
// colours), and a 100 x 75-cell project cut from one of its source pictures;
// plus the headless build loop the window's build is measured against.
#pragma once
#include <chrono>
#include <filesystem>
#include <string>

#include "bench/photos/BenchPhotos.h"
#include "formats/Registrations.h"
#include "mosaic/BuildRun.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Picture.h"
#include "platform/Utils.h"
#include "tests/tiledb/NewLibraryParameters.h"
#include "tiledb/VTData.h"

namespace buildbench {

namespace fs = std::filesystem;

constexpr int kCols = 100, kRows = 75;
constexpr int kDistance = 5;
constexpr size_t kTiles = 5000;

using Clock = std::chrono::steady_clock;

struct TBuildSet {
  std::string Dir, Library, Project;
  std::string FlippedLibrary;  // the same with the three flipped blocks saved in it
  TBuildSet() {
    RegisterGraphicFormats();
    Dir = MakeTempFileName("vt");
    fs::remove(Dir);
    fs::create_directories(Dir + "/tiles");
    Library = Dir + "/lib.vt2";
    Project = Dir + "/p.vtp";
    Bitmap24 source;
    const TBenchPhotos& photos = BenchPhotos();
    if (photos.Present()) {
      // The first tiles of the set, linked into a folder of their own.
      for (size_t i = 0; i < photos.Tiles.size() && i < kTiles; ++i)
        fs::create_symlink(photos.Tiles[i], Dir + "/tiles/" + fs::path(photos.Tiles[i]).filename().string());
      LoadPicture(photos.Sources.empty() ? photos.Tiles[0] : photos.Sources[0], source);
    } else {
      // Solid-colour pictures of a colour cube stand in for photographs.
      for (int i = 0; i < 1000; ++i) {
        Bitmap24 b(64, 48);
        b.Fill(RGB(uint8_t(i * 37), uint8_t(i * 91), uint8_t(i * 13)));
        JpegEncodeFile(b, 85, Format("%s/tiles/c%04d.jpg", Dir.c_str(), i));
      }
      source.SetSize(1200, 900);
      for (int y = 0; y < 900; ++y)
        for (int x = 0; x < 1200; ++x) source.SetPixel(x, y, RGB(uint8_t(x / 5), uint8_t(y / 4), uint8_t(x ^ y)));
    }
    TVTData t;
    SetNewLibraryParameters(t, Dir + "/tiles", 6, 6, 42, csYCC);
    t.FExtList = ".JPG.PNG.BMP.TIF";
    t.FFastJpeg = true;
    t.CreateBase(Library);
    TVTData lib;
    if (!lib.OpenFile(Library, okLibrary)) throw EVitrane("cannot open the benchmark library");
    lib.CreatePlan(Project, source, {"source.jpg", TRect(0, 0, source.Width(), source.Height())}, kRows, kCols);
    FlippedLibrary = Dir + "/flipped.vt2";
    fs::copy_file(Library, FlippedLibrary);
    TVTData flipped;
    if (!flipped.OpenFile(FlippedLibrary, okLibrary)) throw EVitrane("cannot open the benchmark library");
    for (int kind : {TVTData::fkHorizontal, TVTData::fkVertical, TVTData::fkRotate180}) flipped.AddFlipped(kind);
    flipped.Save();
  }
  ~TBuildSet() { fs::remove_all(Dir); }
};

inline const TBuildSet& Set() {
  static TBuildSet set;
  return set;
}

struct TTables {
  TVTData Lib, Plan, Mosaic;
  explicit TTables(bool flipped) {
    Lib.ShowThumbs = true;
    if (!Lib.OpenFile(flipped ? Set().FlippedLibrary : Set().Library, okLibrary) ||
        !Plan.OpenProject(Set().Project, Mosaic))
      throw EVitrane("cannot open the benchmark tables");
    Mosaic.ShowThumbs = true;
  }
};

inline TBuildRunSettings Settings(bool flipped) {
  TBuildRunSettings s;
  s.Distance = kDistance;
  s.Repeat = -1;
  s.FixCustom = true;
  s.Flips = flipped ? 0x01010101u : 1u;
  return s;
}

// The loop as the main window runs it, the observer doing nothing.
inline double LoopSeconds(TTables& t, bool flipped) {
  TBuildObserver quiet;
  std::vector<int32_t> grid;
  t.Mosaic.GetAllLinks(grid, 1);
  t.Lib.ResetUsage();
  t.Plan.ClearIndex();
  const auto start = Clock::now();
  RunBuildCells(t.Lib, t.Plan, t.Mosaic, grid, TBuildArea({0, 0, 0, 0}, false, kCols, kRows), Settings(flipped),
                quiet);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace buildbench
