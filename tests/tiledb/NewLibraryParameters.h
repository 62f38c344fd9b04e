// The build parameters the new-library dialog sets (4:3 tiles, Mitchell
// filter, anchor 4, JPEG files, sub-folders), for tests and benchmarks that
// build a library on a table of their own.
#pragma once
#include <cstdint>
#include <string>

#include "tiledb/VTData.h"

inline void SetNewLibraryParameters(TVTData& t, const std::string& root, int xres = 6, int yres = 6,
                                    int thumbW = 42, uint8_t colorSystem = csRGB) {
  t.FXScale = 4;
  t.FYScale = 3;
  t.FXRes = xres;
  t.FYRes = yres;
  t.FThumbW = thumbW;
  t.FThumbQ = 85;
  t.FFilter = 6;
  t.FSampleDepth = 3;
  t.FColorSystem = colorSystem;
  t.FCropAnchor = 4;
  t.FExtList = ".JPG";
  t.FRootDir = root;
  t.FRecurse = true;
}
