// One picture's way into a tile library: load, crop to the tile shape, trim,
// thumbnail and sample grid. Everything here is a pure function of the file
// and the parameters, so pictures can be prepared on any thread and still
// give the same bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Resample.h"
#include "platform/Bitmap24.h"
#include "platform/Errors.h"
#include "platform/Types.h"
#include "tiledb/LibraryBuildCrop.h"

// A library file cannot take one more record: every offset in it is an
// int32, so it holds at most 2 GB.
class ELibraryFull : public EOutOfResources {
  using EOutOfResources::EOutOfResources;
};

// The build parameters a picture needs, fixed when a build starts.
struct TTileParams {
  int XScale = 4, YScale = 3;  // tile aspect
  int XRes = 6, YRes = 6;      // sample grid
  int ThumbW = 42, ThumbH = 32;
  int ThumbQ = 85;
  int Margin = 0;      // border trim, percent
  int CropAnchor = 4;  // 0..8 on a 3 x 3 grid, 9 the whole picture
  TResampleFilter Filter = rfMitchell;
  bool FastJpeg = true;
};

// What a picture contributes to the library.
struct TTileData {
  int PicWidth = 0, PicHeight = 0;  // full size of the picture
  TRect Crop;                       // trimmed crop in full-size pixels
  Bitmap24 Samples;                 // XRes x YRes
  std::vector<uint8_t> Thumb;       // JPEG bytes
  Bitmap24 CutOut;                  // the cropped picture as loaded (maybe reduced)
};

// Loads the picture as the build does: a .JPG/.JPEG file, when FastJpeg is
// on, at the largest reduction that still covers the thumbnail; an icon
// through the icon reader; anything else through the picture-format list.
// width and height receive the full size (from the JPEG header when the
// picture was decoded reduced). Raises on any failure.
void LoadTilePicture(const std::string& fileName, const TTileParams& p, Bitmap24& picture, int& width,
                     int& height);

// Makes the whole tile. Returns false, with out in no defined state, when the
// picture cannot be loaded, decoded or resampled, when a side exceeds what the
// record's 16-bit geometry fields hold, or when nothing is left after the
// margin. Never raises for a bad picture.
bool MakeTile(const std::string& fileName, const TTileParams& p, TTileData& out);
