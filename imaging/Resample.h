// The two filtered resamplers of 24-bit pictures and their seven filters.
#pragma once
#include <cstdint>

#include "platform/Bitmap24.h"

enum TResampleFilter : uint8_t {
  rfBox = 0,
  rfTriangle = 1,
  rfHermite = 2,
  rfBell = 3,
  rfBSpline = 4,
  rfLanczos3 = 5,
  rfMitchell = 6,
};

using TFilterProc = float (*)(float x);

struct TKernelEntry {
  const char* Name;
  TFilterProc Filter;
  float Width;
};

// "Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell".
extern const TKernelEntry KernelTable[7];

// Resamples source into target (made newWidth x newHeight) with integer
// weights; radius 0 means the filter's default radius.
void StretchBitmap(int newWidth, int newHeight, TResampleFilter filter, float radius, Bitmap24& source,
                   Bitmap24& target);

// Resamples the whole source into the target at the target's current size
// with float weights. Raises "Source bitmap too small" for an empty source.
void Stretch(const Bitmap24& source, Bitmap24& target, TFilterProc filter, float width);
