// The 24-bit device-independent bitmap: three bytes per pixel in memory order
// blue, green, red, rows top-down, each row padded to a multiple of 4 bytes.
// The buffer is one contiguous block, so a QImage (Format_BGR888) can wrap it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/Types.h"

// The largest picture any reader makes: 2^28 pixels (16,384 x 16,384, 768 MB
// at three bytes a pixel). Readers refuse a larger or empty one before they
// allocate anything for it.
inline constexpr int64_t MaxPicturePixels = int64_t(1) << 28;
inline bool PictureSizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= MaxPicturePixels / height;
}

class Bitmap24 {
 public:
  Bitmap24() = default;
  Bitmap24(int width, int height) { SetSize(width, height); }
  Bitmap24(const Bitmap24& other);
  Bitmap24(Bitmap24&& other) noexcept { Swap(other); }
  Bitmap24& operator=(const Bitmap24& other);
  Bitmap24& operator=(Bitmap24&& other) noexcept {
    Bitmap24 moved(std::move(other));
    Swap(moved);
    return *this;
  }
  ~Bitmap24() { Release(); }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth <= 0 || FHeight <= 0; }
  // Bytes per row, padded to 4.
  size_t Stride() const { return FStride; }
  static size_t StrideFor(int width) { return (size_t(width) * 3 + 3) & ~size_t(3); }

  // Where a picture's pixels come from. pmDefault: a large picture (4 MB
  // and more) is mapped from the system, zeroed by it as its pages are first
  // written, in huge pages where the system offers them. pmReused: from the
  // process's heap, whose freed memory the process keeps
  // (KeepFreedPictureMemory), for pictures made anew run after run and
  // written in full, whose fresh pages would cost a fault each run.
  enum TMemory { pmDefault, pmReused };
  // Makes the bitmap width x height. The content after a size change is black.
  // Raises EOutOfResources for negative sizes or a picture that cannot be allocated.
  void SetSize(int width, int height, TMemory memory = pmDefault);
  void Clear() { SetSize(0, 0); }

  uint8_t* ScanLine(int y) { return FData + size_t(y) * FStride; }
  const uint8_t* ScanLine(int y) const { return FData + size_t(y) * FStride; }
  uint8_t* Bits() { return FData; }
  const uint8_t* Bits() const { return FData; }
  size_t ByteSize() const { return FStride * size_t(FHeight); }

  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);
  void Fill(TColor c);
  void FillRect(const TRect& r, TColor c);  // clipped to the bitmap

  void Assign(const Bitmap24& other) { *this = other; }
  bool operator==(const Bitmap24& o) const;

 private:
  void Swap(Bitmap24& other) noexcept;
  void Release() noexcept;
  int FWidth = 0, FHeight = 0;
  size_t FStride = 0;
  // Zeroed by the system: a large picture's pages are only touched when
  // written, and come in huge pages where the system offers them, so that
  // touching them costs few faults.
  uint8_t* FData = nullptr;
  bool FMapped = false;
};

// Lets freed picture memory stay in the process for the next picture rather
// than go back to the system: an output run makes and drops thousands of
// pictures of a few hundred kilobytes on every core, and each page handed
// back costs a fault to get again, which on some machines is dearer than the
// drawing. Called once at start-up.
void KeepFreedPictureMemory();

// The plain stretch-draw of the graphics device (nearest neighbour): target
// pixel i along an axis takes source pixel floor(i * sw / dw). A reversed
// target rectangle mirrors: (w-1, 0)-(-1, h) covers pixels 0..w-1, mirrored,
// with no one-pixel shift; a reversed source rectangle likewise. Both are
// clipped to their bitmaps; nothing outside either is read or written.
void StretchDraw(Bitmap24& dst, const TRect& dstRect, const Bitmap24& src, const TRect& srcRect);
void StretchDraw(Bitmap24& dst, const TRect& dstRect, const Bitmap24& src);
// Copies src into dst with its top-left corner at (x, y), clipped; with
// swapRedBlue each pixel's first and third bytes trade places on the way (a
// TIFF file's red, green, blue order).
void DrawAt(Bitmap24& dst, int x, int y, const Bitmap24& src, bool swapRedBlue = false);
// Copies pixels of three bytes from src to dst with the first and third
// bytes swapped.
void SwapRedBlue(uint8_t* dst, const uint8_t* src, size_t pixels);
