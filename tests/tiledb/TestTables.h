// Small libraries and folders made by the tiledb tests themselves.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "tiledb/VTData.h"

namespace vttest {

// A fresh folder under VT_TEST_TMP (or the system's temporary folder),
// removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    const char* root = getenv("VT_TEST_TMP");
    std::string base = root && *root ? root : std::filesystem::temp_directory_path().string();
    std::filesystem::create_directories(base);
    std::string tmpl = base + "/tiledbXXXXXX";
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    FPath = tmpl + "/";
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  std::string operator/(const std::string& name) const { return FPath + name; }
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

// A picture whose every pixel depends on the seed, so records differ.
inline Bitmap24 Pattern(int w, int h, int seed) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y,
                 RGB(uint8_t(seed * 37 + x * 11), uint8_t(seed * 53 + y * 7), uint8_t(seed * 19 + x * y)));
  return b;
}

struct LibrarySpec {
  int Count = 3;
  int XRes = 6, YRes = 6;
  uint8_t ColorSystem = csRGB;
  bool Thumbs = true;
  int ThumbW = 8, ThumbH = 6;
  int XScale = 4, YScale = 3;
  uint8_t Filter = 1;
};

// Writes a library file through the table's own work files, the way a build
// does: record i has path "/pics/pic<i>.jpg", a picture of 400 x 300 + i and
// crop (i, 2i, 400 - i, 300 - 2i); its samples come from Pattern(i).
inline void MakeLibrary(const std::string& fileName, const LibrarySpec& s = {}) {
  TVTData t;
  t.FXScale = s.XScale;
  t.FYScale = s.YScale;
  t.FXRes = s.XRes;
  t.FYRes = s.YRes;
  t.FSampleDepth = 3;
  t.FColorSystem = s.ColorSystem;
  t.FFilter = s.Filter;
  ASSERT_TRUE(t.CreateWorkFiles());
  for (int i = 0; i < s.Count; ++i) {
    const Bitmap24 samples = Pattern(s.XRes, s.YRes, i + 1);
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
      const std::vector<uint8_t> jpeg = JpegEncode(Pattern(s.ThumbW, s.ThumbH, i + 1), 75);
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
    r.Path = "/pics/pic" + std::to_string(i) + ".jpg";
    t.WorkInfo.SeekEnd();
    t.WorkInfo.WriteBytes(EncodeInfoRecord(r));
    ++t.FBuildCount;
  }
  ASSERT_TRUE(t.WriteBaseFile(fileName));
}

inline std::vector<uint8_t> Bytes(const std::string& fileName) {
  return ReadWholeFile(fileName);
}

}  // namespace vttest
