// Pictures of the core shown by Qt. A Bitmap24 is wrapped, not copied: its
// rows already have Qt's BGR888 layout and 4-byte padding.
#pragma once
#include <QImage>

#include "imaging/Bitmap32.h"
#include "platform/Bitmap24.h"

// A read-only view of the bitmap's pixels; valid while the bitmap lives and
// keeps its size. Qt copies on the first write. Empty for an empty bitmap.
QImage Bitmap24View(const Bitmap24& bitmap);
// The same for a 32-bit bitmap, shown opaque as the screen shows it (the
// alpha byte is ignored: Format_RGB32).
QImage Bitmap32View(const TBitmap32& bitmap);
// A 24-bit copy of any QImage (alpha dropped, as the 24-bit bitmap has none).
Bitmap24 QImageToBitmap24(const QImage& image);
