// A fixed library and project for pinning what a build stores: 40 patterned
// pictures indexed into a YCC or RGB library with thumbnails, and a 12 x 9
// project cut from a smooth picture. Everything is made by the test itself,
// so the cells a build stores depend only on the program.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/ScratchDir.h"
#include "platform/Jpeg.h"
#include "tiledb/NewLibraryParameters.h"
#include "tiledb/VTData.h"

namespace fixedbuild {

constexpr int kCols = 12, kRows = 9;

inline std::string MakeLibrary(const ScratchDir& dir, uint8_t colorSystem) {
  const std::string pics = dir / "pics/";
  std::filesystem::create_directories(pics);
  for (int i = 0; i < 40; ++i) {
    Bitmap24 b(64 + 4 * (i % 5), 48 + 3 * (i % 7));
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x)
        b.SetPixel(x, y, RGB(uint8_t(i * 29 + x * (i % 4)), uint8_t(i * 61 + y * (i % 3)), uint8_t(i * 17 + x * y / 16)));
    JpegEncodeFile(b, 90, pics + "p" + std::to_string(100 + i) + ".jpg");
  }
  TVTData t;
  SetNewLibraryParameters(t, pics, 6, 6, 42, colorSystem);
  t.FFastJpeg = true;
  t.FThreads = 1;
  const std::string file = dir / ("lib" + std::to_string(colorSystem) + ".vt2");
  t.CreateBase(file);
  return file;
}

inline std::string MakeProject(const ScratchDir& dir, const std::string& library) {
  TVTData lib;
  lib.SetBaseName(library);
  Bitmap24 source(kCols * 20, kRows * 15);
  for (int y = 0; y < source.Height(); ++y)
    for (int x = 0; x < source.Width(); ++x)
      source.SetPixel(x, y, RGB(uint8_t(x), uint8_t(y * 2), uint8_t((x + y) / 2)));
  const std::string file = dir / "p.vtp";
  lib.CreatePlan(file, source, {"", TRect(0, 0, source.Width(), source.Height())}, kRows, kCols);
  return file;
}

// FNV-1a over every cell's flag, link, samples and thumbnail bytes.
inline uint64_t CellsDigest(const TVTData& mosaic) {
  uint64_t h = 1469598103934665603ull;
  auto add = [&h](const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  };
  std::vector<uint8_t> thumb;
  for (int32_t n = 1; n <= mosaic.RecordCount; ++n) {
    const TTileInfoRecord info = mosaic.RecordInfo(n);
    const uint8_t flag = mosaic.RecordFlag(n);
    add(&flag, 1);
    add(reinterpret_cast<const uint8_t*>(&info.Link), sizeof info.Link);
    add(mosaic.RecordSamples(n), size_t(mosaic.SampleSize));
    mosaic.ReadThumbBlob(info.ThumbBlobOffset, thumb);
    add(thumb.data(), thumb.size());
  }
  return h;
}

}  // namespace fixedbuild
