// The two filtered resamplers of 24-bit pictures and their seven filters.
// Both work separably: every row to the new width into a work picture, then
// every column of that to the new height.
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

// "Box", "Triangle", "Hermite", "Bell", "B-Spline", "Lanczos3", "Mitchell",
// indexed by TResampleFilter, each with its default radius. The kernels work
// in single precision like every value the resamplers keep (arguments,
// results, scales and centres).
extern const TKernelEntry KernelTable[7];

// Resamples source into target (made newWidth x newHeight, negative sizes
// count as 0) with integer weights (kernel x 256, rounded); radius 0 means the
// filter's default radius, any other positive value bounds the gathered range.
// A filter value beyond rfMitchell means rfMitchell. Results are exact integer
// sums, so they do not depend on the processor or on threads.
// Beyond the plain formulas: a target pixel whose weights all round to 0 (very
// large reductions) takes the nearest source pixel; a target of 1 pixel along
// an axis samples around the middle of the source; an empty source gives a
// black target; source and target may be the same bitmap. The source is left
// as it is (it is always 24-bit here). Large pictures may be spread over
// threads (0: one per processor); the bytes are the same for any count.
void StretchBitmap(int newWidth, int newHeight, TResampleFilter filter, float radius, const Bitmap24& source,
                   Bitmap24& target, int threads = 1);

// Tests: the row kernels written for every processor instead of those the
// processor offers (the bytes are the same).
void UsePlainResampleKernels(bool plain);

// Resamples the whole source into the target at the target's current size
// with float weights that are not normalised (crop-view previews). Raises
// "Source bitmap too small" for an empty source; an empty target is left alone.
void Stretch(const Bitmap24& source, Bitmap24& target, TFilterProc filter, float width);
