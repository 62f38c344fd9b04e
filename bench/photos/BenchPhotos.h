// The benchmark library of real photographs made by scripts/bench-photos.sh:
// $VT_BENCH_PHOTOS when set, else build/bench-photos in the source tree.
// Benchmarks that use it say which set they ran on, or that it is absent.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef VT_SOURCE_DIR
#define VT_SOURCE_DIR "."
#endif

struct TBenchPhotos {
  std::string Dir;                   // empty when the set is absent
  std::vector<std::string> Tiles;    // full paths, in the set's order
  std::vector<std::string> Sources;  // pictures kept out of the tiles
  bool Present() const { return !Tiles.empty(); }
};

// Reads the set's manifest once and prints one line saying what was found.
inline const TBenchPhotos& BenchPhotos() {
  static const TBenchPhotos set = [] {
    TBenchPhotos s;
    const char* env = std::getenv("VT_BENCH_PHOTOS");
    const std::filesystem::path dir = std::filesystem::absolute(
        env && *env ? std::filesystem::path(env) : std::filesystem::path(VT_SOURCE_DIR) / "build/bench-photos");
    std::ifstream manifest(dir / "manifest.txt");
    for (std::string line; std::getline(manifest, line);) {
      if (line.rfind("tiles/", 0) == 0) s.Tiles.push_back((dir / line).string());
      if (line.rfind("sources/", 0) == 0) s.Sources.push_back((dir / line).string());
    }
    if (s.Present()) {
      s.Dir = dir.string();
      std::printf("Benchmark photographs: %zu tiles, %zu sources in %s\n", s.Tiles.size(), s.Sources.size(),
                  s.Dir.c_str());
    } else {
      std::printf("Benchmark photographs absent (%s); run scripts/bench-photos.sh to make them\n",
                  dir.string().c_str());
    }
    std::fflush(stdout);
    return s;
  }();
  return set;
}
