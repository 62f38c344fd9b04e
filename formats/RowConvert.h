// Row kernels that turn the samples of a picture file into the 24-bit
// bitmap's blue, green, red order, and undo byte order and prediction. Each
// works on one row or one block in memory; the caller sizes the buffers.
//
// Interleaved converters take count = the number of samples (pixels x
// channels); planar ones take count = the number of pixels (samples per
// plane). bits is the sample width, 8 or 16; 16-bit samples are in native
// order (swap a big-endian file's samples first) and only their high byte is
// kept. Sample pointers need no alignment.
#pragma once
#include <cstddef>
#include <cstdint>

// Byte-swaps count 16-bit or 32-bit values in place (data need not be aligned).
void SwapShorts(void* data, size_t count);
void SwapLongs(void* data, size_t count);
uint32_t SwapLong(uint32_t value);
uint16_t SwapShort(uint16_t value);

// count native 16-bit values to their high bytes.
void Convert16To8(const uint8_t* source, uint8_t* dest, size_t count);

// R, G, B samples to B, G, R bytes (count / 3 pixels).
void ConvertRGBToDIB(const uint8_t* source, uint8_t* dest, size_t count, int bits);
// R, G, B, A samples to B, G, R, A bytes (count / 4 pixels).
void ConvertRGBAToDIB32(const uint8_t* source, uint8_t* dest, size_t count, int bits);
// R, G, B, A samples to B, G, R bytes: the alpha is dropped, as drawing a
// 32-bit bitmap shows its colour bytes as they stand (count / 4 pixels).
void ConvertRGBAToDIB24(const uint8_t* source, uint8_t* dest, size_t count, int bits);
// Three planes of count samples each to B, G, R bytes.
void ConvertPlanarRGBToDIB(const uint8_t* red, const uint8_t* green, const uint8_t* blue, uint8_t* dest,
                           size_t count, int bits);

// C, M, Y, K to B, G, R: blue from Y, green from M, red from C, each
// clamp(MulDiv(v, K, 255) - v - K + 255) for 8 bits and
// clamp(255 - ((v + K - MulDiv(v, K, 65535)) >> 8)) for 16 bits.
void ConvertCMYKToDIB(const uint8_t* source, uint8_t* dest, size_t count, int bits);
void ConvertPlanarCMYKToDIB(const uint8_t* cyan, const uint8_t* magenta, const uint8_t* yellow,
                            const uint8_t* black, uint8_t* dest, size_t count, int bits);

// CIE L*a*b* under the D50 white (L unsigned, 0..255 for 0..100; a and b
// signed bytes) to sRGB as B, G, R: L*a*b* to XYZ, Bradford-adapted to D65,
// the sRGB matrix and transfer curve, then rounded; colours outside sRGB are
// clipped to it.
void ConvertLabToDIB(const uint8_t* source, uint8_t* dest, size_t count);
void ConvertPlanarLabToDIB(const uint8_t* l, const uint8_t* a, const uint8_t* b, uint8_t* dest, size_t count);

// One linear-light sRGB value (0..1, clipped) to its 8-bit sRGB code through
// the transfer curve, rounded; the formula itself and the table the Lab
// kernels use in its place, which must agree on every value.
uint8_t SRGBEncode(double linear);
uint8_t SRGBEncodeByTable(double linear);

// YCbCr to B, G, R: each code is brought to its full range by the reference
// black and white (Y over 0..255, Cb and Cr over -127..127), then
// R = Cr (2 - 2 LumaRed) + Y, B = Cb (2 - 2 LumaBlue) + Y and
// G = (Y - LumaBlue B - LumaRed R) / LumaGreen, rounded and clamped. The
// caller checks that no reference pair is empty and LumaGreen is not 0.
class TYCbCrConverter {
 public:
  // luma: red, green, blue; referenceBlackWhite: black and white of Y, Cb, Cr.
  TYCbCrConverter(const double luma[3], const double referenceBlackWhite[6]);
  // Y, Cb, Cr samples (count / 3 pixels).
  void Row(const uint8_t* source, uint8_t* dest, size_t count) const;

 private:
  void Pixel(uint8_t y, uint8_t cb, uint8_t cr, uint8_t* dest) const;
  double FLumaRed, FLumaGreen, FLumaBlue;
  double FY[256], FRedFromCr[256], FBlueFromCb[256];
};

// Horizontal differencing undone: each byte from position 1, 3 or 4 on gets
// the byte 1, 3 or 4 positions before it added (mod 256), over n, 3n or 4n
// bytes after the first pixel (n = pixels - 1).
void UndoPredictor1(uint8_t* row, size_t n);
void UndoPredictor3(uint8_t* row, size_t n);
void UndoPredictor4(uint8_t* row, size_t n);
// Horizontal differencing undone per sample: from the second of pixels on,
// each sample gets the same sample of the pixel before added, modulo 2 ^
// bits. bits is 8 (bytes) or 16 (native-order words, swap a big-endian
// file's first); any number of samples per pixel.
void UndoHorizontalPredictor(uint8_t* row, size_t pixels, size_t samplesPerPixel, int bits);

// The bits of every byte in reverse order (bit 0 becomes bit 7), for data
// written least significant bit first.
void ReverseBits(uint8_t* data, size_t count);

// Palette indices of 1, 2, 4 or 8 bits (first pixel in the most significant
// bits of a byte) to B, G, R bytes through palette, 256 entries of B, G, R;
// width pixels; other pixel sizes write nothing. Entries a file does not
// define should be left black.
void ConvertIndexedToDIB(const uint8_t* source, uint8_t* dest, int width, int bitsPerPixel,
                         const uint8_t* palette);

// The rounding multiply-divide of the Windows API: a * b / c rounded to the
// nearest, halves away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);
