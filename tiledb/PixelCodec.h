// The stored-tile pixel codec: how a 24-bit picture becomes the sample vector
// that tile choice compares, in one of the three colour systems, and back.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/Resample.h"
#include "platform/Bitmap24.h"

// The colour system of a table's sample vectors (library header byte 13).
enum TColorSystem : uint8_t {
  csYCC = 1,  // Y, Cb, Cr after the cube-root lightness curve
  csRGB = 2,  // the bitmap's own bytes B, G, R
  csY = 3,    // written like csRGB; reading it back leaves the bitmap as it was
};

// The lightness curve applied before the YCC transform, for a channel value
// 0..255: 0 for 0, else ((116 * cbrt(c / 255) - 16) / 100) * 255.
long double LightnessCurve(int c);

// 0 below 0, 255 above 255, else the value.
constexpr uint8_t ClampToByte(int64_t v) {
  return v < 0 ? 0 : v > 255 ? 255 : uint8_t(v);
}

// Converts one pixel given as its bytes B, G, R into the stored Y, Cb, Cr.
// Each byte is the extended-precision formula's value rounded (halves to
// even) and clamped; table-driven integer sums give it, with the formula
// itself evaluated only next to a tie.
void PixelToYCC(uint8_t b, uint8_t g, uint8_t r, uint8_t out[3]);
// The inverse transform (the lightness curve is not undone): out = B, G, R.
void YCCToPixel(uint8_t y, uint8_t cb, uint8_t cr, uint8_t out[3]);
// The same two conversions evaluated through the extended-precision formulas
// every time: the reference the fast ones are held to.
void PixelToYCCFormula(uint8_t b, uint8_t g, uint8_t r, uint8_t out[3]);
void YCCToPixelFormula(uint8_t y, uint8_t cb, uint8_t cr, uint8_t out[3]);

// Writes the bitmap's pixels, rows from the top, left to right, three bytes
// each in the colour system. The vector is emptied first; a colour system
// other than 1, 2, 3 leaves it empty.
void WriteBitmapPixels(const Bitmap24& bmp, std::vector<uint8_t>& out, uint8_t colorSystem);
// The same into a caller's buffer of Width * Height * 3 bytes; returns the
// bytes written (0 for an unknown colour system).
size_t WriteBitmapPixels(const Bitmap24& bmp, uint8_t* out, uint8_t colorSystem);

// Fills the (already sized) bitmap from a vector in the same order. Only whole
// pixels present in the vector are read; csY and unknown systems leave the
// bitmap unchanged.
void ReadBitmapPixels(Bitmap24& bmp, const uint8_t* samples, size_t size, uint8_t colorSystem);
inline void ReadBitmapPixels(Bitmap24& bmp, const std::vector<uint8_t>& samples, uint8_t colorSystem) {
  ReadBitmapPixels(bmp, samples.data(), samples.size(), colorSystem);
}

void CopyPixelBytes(const uint8_t* src, uint8_t* dst, size_t n);
// Converts n / 3 B, G, R triples into Y, Cb, Cr triples (as csYCC writes them).
void RGBRowToYCC(const uint8_t* src, uint8_t* dst, size_t n);

// Whether a cell's samples must go through RGBRowToYCC before they are
// compared with a library's: only a YCC library against an RGB cell table.
// A "Y" library stores RGB bytes, so converting for it would be wrong.
bool CellSamplesNeedYCC(uint8_t libraryColorSystem, uint8_t cellColorSystem);
// The target vector of a cell for a library: converted or copied (n bytes).
void PrepareTargetSamples(const uint8_t* cellSamples, uint8_t* target, size_t n, uint8_t libraryColorSystem,
                          uint8_t cellColorSystem);

// "YCC", "RGB", "Y", or "???" for any other value.
std::string ColorModeName(uint8_t colorSystem);

// A stored filter byte as the filter index of StretchBitmap: 0..5 as they
// are, anything else Mitchell (6). The header writer uses the A form.
TResampleFilter FilterFromByte(uint8_t b);
TResampleFilter FilterFromByteA(uint8_t b);
