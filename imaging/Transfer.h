// Moving pixels between 32-bit bitmaps: an unscaled block copy and a stretch
// with one of the seven stretch filters. Both clip to the destination's clip
// rectangle and combine every source pixel into the destination by the draw
// mode given (opaque store, blend by the source's combine mode and master
// alpha, or the source's combine event).
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/Bitmap32.h"
#include "platform/Errors.h"

// "Destination bitmap is nil or empty", "Source rectangle is invalid".
class ETransformError : public EVitrane {
  using EVitrane::EVitrane;
};

// Draws src's srcRect with its top-left corner at (dstX, dstY) of dst. Parts of
// srcRect outside src are left out; nothing outside dstClip (kept inside dst)
// is written. An empty source draws nothing; a missing or empty destination
// raises ETransformError.
void CopyBlock32(TBitmap32* dst, int dstX, int dstY, const TRect& dstClip, const TBitmap32& src,
                 const TRect& srcRect, TDrawMode combineOp, const TPixelCombineEvent& combineCallBack);

// Stretches src's srcRect to fill dstRect of dst, clipped to dstClip and dst's
// bounds. An empty source or srcRect draws nothing; a srcRect reaching outside
// src raises "Source rectangle is invalid", a missing or empty destination
// "Destination bitmap is nil or empty", both before any pixel is written.
void StretchBlock32(TBitmap32* dst, const TRect& dstRect, const TRect& dstClip, const TBitmap32& src,
                    const TRect& srcRect, TStretchFilter filter, TDrawMode combineOp,
                    const TPixelCombineEvent& combineCallBack);

// While one lives on a thread, the stretches made on that thread stay on it;
// for callers that already spread their work over the processors. The bytes
// are the same either way.
class TSerialStretchScope {
 public:
  TSerialStretchScope();
  ~TSerialStretchScope();
  TSerialStretchScope(const TSerialStretchScope&) = delete;
  TSerialStretchScope& operator=(const TSerialStretchScope&) = delete;
};

// The stretch filters' kernels and supports, in single precision.
float StretchKernel(TStretchFilter filter, float x);
float StretchFilterWidth(TStretchFilter filter);

// One axis of a stretch: for every destination position of the clip range a
// list of (source position, weight) pairs whose weights total exactly 256.
struct TMappingPair {
  int32_t Pos;
  int32_t Weight;
};
struct TMappingTable {
  std::vector<int32_t> Start;  // list i is Pairs[Start[i] .. Start[i + 1])
  std::vector<TMappingPair> Pairs;
  int Count() const { return Start.empty() ? 0 : int(Start.size()) - 1; }
  const TMappingPair* Begin(int i) const { return Pairs.data() + Start[i]; }
  const TMappingPair* End(int i) const { return Pairs.data() + Start[i + 1]; }
};
// Empty when the source range is empty; every position takes (srcLo, 256) when
// it is one wide. Source positions beyond the range repeat its edges.
TMappingTable BuildMappingTable(int dstLo, int dstHi, int clipLo, int clipHi, int srcLo, int srcHi,
                                TStretchFilter filter);
