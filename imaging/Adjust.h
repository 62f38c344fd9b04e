// Picture adjustments: contrast, brightness, saturation and sharpening of
// 24-bit pictures for the picture correction tools; difference and weighted
// mix of two pictures for the grid view; 3 x 3 convolution, colour statistics
// and colour shift on 32-bit bitmaps for the tile renderer.
//
// The channel selector counts 0 all three channels, 1 red, 2 green, 3 blue;
// any other value changes nothing. Divisions truncate toward zero and every
// channel result is clamped to 0..255.
#pragma once
#include <array>
#include <cstdint>

#include "imaging/Bitmap32.h"
#include "platform/Bitmap24.h"

// Moves values below 127 away from the middle downward and 127 and above
// upward (128 stays) by |128 - v| * amount / 256; a negative amount moves them
// toward the middle. The tools pass -255..255.
void AdjustContrast(Bitmap24& picture, int amount, int channel);

// Toward white by amount * (255 - v) / 256, or, for a negative amount, toward
// black by v * -amount / 256.
void AdjustBrightness(Bitmap24& picture, int amount, int channel);

// Pushes the selected channels away from (or, below 256, toward) the pixel's
// grey (b + g + r) / 3 by amount / 256; 256 changes nothing, 0 gives the grey.
// The amount is taken as 0..510 (255 is the tools' neutral position).
void AdjustSaturation(Bitmap24& picture, int amount, int channel);

// Sharpens in place, top row first and left to right, each pixel from its
// eight neighbours at the given distance (coordinates clamped into the
// picture) as 2c - n/8, neighbours above and to the left already changed. The
// sign of the distance makes no difference; 0 changes nothing.
void AdjustBlurSharp(Bitmap24& picture, int distance, int channel);

// C becomes the grey of the mean absolute difference of A and B per pixel,
// over the size the three pictures have in common.
void DifferenceBitmap(const Bitmap24& a, const Bitmap24& b, Bitmap24& c);

// C = B moved toward A by weight / 256 per channel: B - floor((B - A) * w / 256),
// over the size the three pictures have in common. C may be A or B.
void MixBitmaps(const Bitmap24& a, const Bitmap24& b, uint8_t blueWeight, uint8_t greenWeight,
                uint8_t redWeight, Bitmap24& c);

// 3 x 3 convolution with the weights row by row from the top-left, divided by
// the divisor; the result is opaque. Every sum reads the pixels as they were
// before; the outer rows and columns keep their pixels, and a bitmap narrower
// or lower than 3 pixels is unchanged. A divisor of 0 changes nothing.
void Convolve3x3(TBitmap32& bitmap, const std::array<int, 9>& weights, int divisor);

// Root mean square of each channel as an opaque colour: the square root of the
// sum of squares divided by (height - 1) * (width - 1), rounded. A bitmap one
// pixel wide or high divides by its pixel count instead; an empty one gives
// opaque black.
TColor32 ColorRMS(const TBitmap32& bitmap);

// Adds the offsets to every pixel, clamped; every pixel becomes opaque.
void ShiftColors(TBitmap32& bitmap, int red, int green, int blue);

// Shifts B by percentage (0..100) of the difference between A's and B's
// ColorRMS; at 100 B's statistics move onto A's, at 0 B only becomes opaque.
void MatchTileColor(const TBitmap32& a, TBitmap32& b, int percentage);
