// Libraries with chosen sample vectors for the matching and maintenance
// tests, written through the table's own work files the way a build does.
#pragma once
#include <string>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Errors.h"
#include "platform/Jpeg.h"
#include "tiledb/VTData.h"

namespace vtmatch {

struct TTile {
  std::vector<uint8_t> Samples;  // XRes * YRes * 3 bytes
  TRect Crop{0, 0, 40, 30};
  uint8_t Flag = 0;
  bool Thumb = true;
};

// A vector of n bytes all equal to v.
inline std::vector<uint8_t> Flat(int n, uint8_t v) {
  return std::vector<uint8_t>(size_t(n), v);
}

// A thumbnail whose pixels depend on the record, left half dark, right half
// light, so that a mirror shows in it.
inline Bitmap24 ThumbFor(int i, int w = 16, int h = 12) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y,
                 x < w / 2 ? RGB(uint8_t(20 + i), 30, uint8_t(y * 10)) : RGB(230, uint8_t(200 - i), 90));
  return b;
}

inline void WriteLibrary(const std::string& fileName, int xres, int yres, uint8_t colorSystem,
                         const std::vector<TTile>& tiles, int xscale = 4, int yscale = 3) {
  TVTData t;
  t.FXScale = xscale;
  t.FYScale = yscale;
  t.FXRes = xres;
  t.FYRes = yres;
  t.FSampleDepth = 3;
  t.FColorSystem = colorSystem;
  t.FFilter = 1;
  if (!t.CreateWorkFiles()) throw EFileError("Cannot create the work files");
  for (size_t i = 0; i < tiles.size(); ++i) {
    const TTile& tile = tiles[i];
    const int64_t dataAt = t.WorkData.Size(), infoAt = t.WorkInfo.Size();
    t.WorkData.SeekEnd();
    t.WorkData.Write<uint8_t>(tile.Flag);
    t.WorkData.Write<int32_t>(int32_t(infoAt));
    t.WorkData.WriteBytes(tile.Samples);
    int32_t blob = 0;
    if (tile.Thumb) {
      const std::vector<uint8_t> jpeg = JpegEncode(ThumbFor(int(i)), 90);
      blob = int32_t(t.WorkThumbs.Size());
      t.WorkThumbs.SeekEnd();
      t.WorkThumbs.Write<int32_t>(int32_t(jpeg.size()));
      t.WorkThumbs.WriteBytes(jpeg);
    }
    TTileInfoRecord r;
    r.SamplesOffset = int32_t(dataAt + 5);
    r.ThumbBlobOffset = blob;
    r.Geometry = {400,
                  300,
                  uint16_t(tile.Crop.Left),
                  uint16_t(tile.Crop.Top),
                  uint16_t(tile.Crop.Right),
                  uint16_t(tile.Crop.Bottom)};
    r.Path = "/pics/p" + std::to_string(i) + ".jpg";
    t.WorkInfo.SeekEnd();
    t.WorkInfo.WriteBytes(EncodeInfoRecord(r));
    ++t.FBuildCount;
  }
  if (!t.WriteBaseFile(fileName)) throw EFileError("Cannot write " + fileName);
}

// A cell table positioned on a cell with the given samples.
inline void SetCell(TVTData& cells, const std::vector<uint8_t>& samples, uint8_t colorSystem = csRGB) {
  cells.ColorSystem = colorSystem;
  cells.CurSamples = samples;
}

}  // namespace vtmatch
