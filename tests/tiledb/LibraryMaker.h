// Small libraries made by the tiledb tests and benchmarks themselves, written
// through the table's own work files the way a build writes them.
#pragma once
#include <string>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Errors.h"
#include "platform/Jpeg.h"
#include "tiledb/VTData.h"

namespace vttest {

// A picture whose every pixel depends on the seed, so records differ.
inline Bitmap24 Pattern(int w, int h, int seed) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y,
                 RGB(uint8_t(seed * 37 + x * 11), uint8_t(seed * 53 + y * 7), uint8_t(seed * 19 + x * y)));
  return b;
}

struct LibraryRecipe {
  int Count = 3;
  int XRes = 6, YRes = 6;
  uint8_t ColorSystem = csRGB;
  bool Thumbs = true;
  int ThumbW = 8, ThumbH = 6;
  int XScale = 4, YScale = 3;
  uint8_t Filter = 1;
  int Quality = 75;
  std::vector<std::string> Paths{};  // overrides the default paths, record by record
  std::vector<double> Details{};     // Detail values, record by record
  std::vector<int> Seeds{};          // Pattern seeds of the samples, record by record
};

// Writes a library file through the table's own work files, the way a build
// does: record i has path "/pics/pic<i>.jpg", a picture of 400 x 300 + i and
// crop (i, 2i, 400 - i, 300 - 2i); its samples come from Pattern(i).
inline void MakeLibrary(const std::string& fileName, const LibraryRecipe& s = {}) {
  TVTData t;
  t.FXScale = s.XScale;
  t.FYScale = s.YScale;
  t.FXRes = s.XRes;
  t.FYRes = s.YRes;
  t.FSampleDepth = 3;
  t.FColorSystem = s.ColorSystem;
  t.FFilter = s.Filter;
  if (!t.CreateWorkFiles()) throw EFileError("Cannot create the work files");
  for (int i = 0; i < s.Count; ++i) {
    const Bitmap24 samples = Pattern(s.XRes, s.YRes, size_t(i) < s.Seeds.size() ? s.Seeds[size_t(i)] : i + 1);
    const int64_t dataAt = t.WorkData.Size();
    const int64_t infoAt = t.WorkInfo.Size();
    t.WorkData.SeekEnd();
    t.WorkData.Write<uint8_t>(0);
    t.WorkData.Write<int32_t>(int32_t(infoAt));
    std::vector<uint8_t> v;
    WriteBitmapPixels(samples, v, s.ColorSystem);
    t.WorkData.WriteBytes(v);
    int32_t blob = 0;
    if (s.Thumbs) {
      const std::vector<uint8_t> jpeg = JpegEncode(Pattern(s.ThumbW, s.ThumbH, i + 1), s.Quality);
      blob = int32_t(t.WorkThumbs.Size());
      t.WorkThumbs.SeekEnd();
      t.WorkThumbs.Write<int32_t>(int32_t(jpeg.size()));
      t.WorkThumbs.WriteBytes(jpeg);
    }
    TTileInfoRecord r;
    r.SamplesOffset = int32_t(dataAt + 5);
    r.ThumbBlobOffset = blob;
    r.Geometry = {uint16_t(400),   uint16_t(300 + i), uint16_t(i),
                  uint16_t(2 * i), uint16_t(400 - i), uint16_t(300 - 2 * i)};
    r.Path = size_t(i) < s.Paths.size() ? s.Paths[size_t(i)] : "/pics/pic" + std::to_string(i) + ".jpg";
    if (size_t(i) < s.Details.size()) r.Detail = s.Details[size_t(i)];
    t.WorkInfo.SeekEnd();
    t.WorkInfo.WriteBytes(EncodeInfoRecord(r));
    ++t.FBuildCount;
  }
  if (!t.WriteBaseFile(fileName)) throw EFileError("Cannot write " + fileName);
}

}  // namespace vttest
