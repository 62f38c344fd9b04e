// Makes the benchmark library of real photographs: random crops of the given
// pictures, at random scales, orientations and sizes (320-1600 pixels on the
// long side), written mostly as JPEG with a few PNG, BMP and TIFF files, plus
// a handful of whole pictures kept apart as mosaic sources. The same inputs
// and seed give the same files.
//
//   make_bench_photos OUT_DIR TILE_COUNT SOURCE_COUNT THREADS PICTURE...
//
// OUT_DIR/tiles holds the tiles, OUT_DIR/sources the source pictures;
// OUT_DIR/manifest.txt, written last, lists both and marks the set complete.
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "formats/BandWriter.h"
#include "formats/Registrations.h"
#include "imaging/Resample.h"
#include "platform/Bitmap24.h"
#include "platform/Bmp.h"
#include "platform/Jpeg.h"
#include "platform/Picture.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSeed = 20260512;

// Uniform integer in [lo, hi] from the generator's raw output, so the set does
// not depend on the standard library's distributions.
int Uniform(std::mt19937_64& rng, int lo, int hi) { return lo + int(rng() % uint64_t(hi - lo + 1)); }

struct TTilePlan {
  int Index = 0;
  size_t Source = 0;
  int Width = 0, Height = 0;
  double Scale = 1;   // source pixels per tile pixel
  double X = 0, Y = 0;  // crop position as a fraction of the free room
  std::string Ext;
  int Quality = 90;
};

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  Put32(out, uint32_t(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

// An 8-bit RGB PNG (ISO/IEC 15948), every row with filter type 0.
void WritePNG(const Bitmap24& bmp, const std::string& fileName) {
  const int w = bmp.Width(), h = bmp.Height();
  std::vector<uint8_t> raw;
  raw.reserve(size_t(h) * (size_t(w) * 3 + 1));
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    const uint8_t* p = bmp.ScanLine(y);
    for (int x = 0; x < w; ++x) raw.insert(raw.end(), {p[3 * x + 2], p[3 * x + 1], p[3 * x]});
  }
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 6) != Z_OK)
    throw std::runtime_error("zlib failed on " + fileName);
  packed.resize(packedSize);
  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  Put32(ihdr, uint32_t(w));
  Put32(ihdr, uint32_t(h));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  PutChunk(file, "IHDR", ihdr);
  PutChunk(file, "IDAT", packed);
  PutChunk(file, "IEND", {});
  std::ofstream f(fileName, std::ios::binary);
  f.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  if (!f) throw std::runtime_error("cannot write " + fileName);
}

void Save(const Bitmap24& bmp, const std::string& fileName, const std::string& ext, int quality) {
  if (ext == "jpg")
    JpegEncodeFile(bmp, quality, fileName);
  else if (ext == "png")
    WritePNG(bmp, fileName);
  else if (ext == "bmp")
    WriteBMPFile(bmp, fileName);
  else
    SaveBitmapAsTIFF(fileName, bmp, 72, 2);
}

TTilePlan PlanTile(std::mt19937_64& rng, int index, size_t sources) {
  TTilePlan t;
  t.Index = index;
  t.Source = size_t(rng() % sources);
  static const int kAspects[][2] = {{4, 3}, {3, 2}, {16, 9}, {1, 1}, {5, 4}};
  const auto& a = kAspects[Uniform(rng, 0, 4)];
  const int longSide = Uniform(rng, 320, 1600);
  const int shortSide = std::max(1, longSide * a[1] / a[0]);
  const bool portrait = Uniform(rng, 0, 99) < 35;
  t.Width = portrait ? shortSide : longSide;
  t.Height = portrait ? longSide : shortSide;
  t.Scale = double(Uniform(rng, 0, 1000)) / 1000;
  t.X = double(Uniform(rng, 0, 1000)) / 1000;
  t.Y = double(Uniform(rng, 0, 1000)) / 1000;
  const int kind = Uniform(rng, 0, 99);
  t.Ext = kind < 97 ? "jpg" : kind == 97 ? "png" : kind == 98 ? "bmp" : "tif";
  t.Quality = Uniform(rng, 75, 95);
  return t;
}

// Cuts the planned crop out of the picture and resamples it to the tile's
// size. Scale 0 takes the smallest crop that is not enlarged (or the whole
// picture's width or height when the picture is smaller), 1 the largest crop
// of the tile's shape.
Bitmap24 CutTile(const Bitmap24& src, const TTilePlan& t) {
  const double most = std::min(double(src.Width()) / t.Width, double(src.Height()) / t.Height);
  const double least = std::min(1.0, most);
  const double k = least + (most - least) * t.Scale;
  const int cw = std::clamp(int(t.Width * k), 1, src.Width());
  const int ch = std::clamp(int(t.Height * k), 1, src.Height());
  const int cx = int((src.Width() - cw) * t.X), cy = int((src.Height() - ch) * t.Y);
  Bitmap24 crop(cw, ch);
  for (int y = 0; y < ch; ++y)
    std::copy_n(src.ScanLine(cy + y) + size_t(cx) * 3, size_t(cw) * 3, crop.ScanLine(y));
  Bitmap24 tile;
  StretchBitmap(t.Width, t.Height, rfTriangle, 0, crop, tile);
  return tile;
}

std::string TileName(const TTilePlan& t) {
  char name[32];
  std::snprintf(name, sizeof name, "t%05d.%s", t.Index, t.Ext.c_str());
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s OUT_DIR TILE_COUNT SOURCE_COUNT THREADS PICTURE...\n", argv[0]);
    return 2;
  }
  try {
    RegisterGraphicFormats();
    const fs::path out = argv[1];
    const int tileCount = std::atoi(argv[2]);
    const int sourceCount = std::atoi(argv[3]);
    const int threads = std::max(1, std::atoi(argv[4]));
    std::vector<std::string> pictures(argv + 5, argv + argc);
    std::sort(pictures.begin(), pictures.end());
    if (tileCount < 1 || sourceCount < 0 || int(pictures.size()) <= sourceCount)
      throw std::runtime_error("need more pictures than source pictures, and at least one tile");

    std::mt19937_64 rng(kSeed);
    // Every k-th picture becomes a source and stays out of the tiles.
    std::vector<std::string> sources, cutFrom;
    const size_t step = sourceCount ? pictures.size() / size_t(sourceCount) : 0;
    for (size_t i = 0; i < pictures.size(); ++i)
      (step && i % step == step / 2 && int(sources.size()) < sourceCount ? sources : cutFrom)
          .push_back(pictures[i]);
    std::vector<TTilePlan> plans;
    for (int i = 0; i < tileCount; ++i) plans.push_back(PlanTile(rng, i, cutFrom.size()));

    fs::create_directories(out / "tiles");
    fs::create_directories(out / "sources");
    std::vector<std::string> manifest(plans.size() + sources.size());
    std::atomic<size_t> next{0};
    std::mutex errorLock;
    std::string error;
    // One picture per job: decoded once, every tile planned from it cut, freed.
    const size_t jobs = cutFrom.size() + sources.size();
    auto work = [&] {
      for (size_t j = next++; j < jobs; j = next++) {
        try {
          Bitmap24 pic;
          if (j < cutFrom.size()) {
            LoadPicture(cutFrom[j], pic);
            for (const TTilePlan& t : plans)
              if (t.Source == j) {
                Save(CutTile(pic, t), (out / "tiles" / TileName(t)).string(), t.Ext, t.Quality);
                manifest[size_t(t.Index)] = "tiles/" + TileName(t);
              }
          } else {
            const size_t s = j - cutFrom.size();
            LoadPicture(sources[s], pic);
            char name[32];
            std::snprintf(name, sizeof name, "s%02zu.jpg", s);
            JpegEncodeFile(pic, 92, (out / "sources" / name).string());
            manifest[plans.size() + s] = std::string("sources/") + name;
          }
        } catch (const std::exception& e) {
          std::lock_guard lock(errorLock);
          error = std::string(j < cutFrom.size() ? cutFrom[j] : sources[j - cutFrom.size()]) + ": " + e.what();
        }
      }
    };
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) pool.emplace_back(work);
    for (auto& th : pool) th.join();
    if (!error.empty()) throw std::runtime_error(error);

    std::ofstream m(out / "manifest.txt");
    for (const std::string& line : manifest) m << line << '\n';
    if (!m) throw std::runtime_error("cannot write the manifest");
    std::printf("%zu tiles from %zu pictures and %zu source pictures in %s\n", plans.size(), cutFrom.size(),
                sources.size(), out.string().c_str());
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_bench_photos: %s\n", e.what());
    return 1;
  }
}
