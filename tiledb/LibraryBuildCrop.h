// Where a picture is cut to the tile shape.
#pragma once
#include "platform/Types.h"

// Thumbnail height for a width at the tile aspect: round(width / x * y).
int ThumbHeightFor(int thumbW, int xScale, int yScale);

// The rectangle of a width x height picture cut to the tile aspect at the
// anchor and trimmed by the margin, in that picture's pixels. Empty (or
// reversed) when the margin leaves nothing.
TRect TileCropRect(int width, int height, int xScale, int yScale, int anchor, int margin);
