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

// CIE L*a*b* (L unsigned, a and b signed bytes) to B, G, R.
void ConvertLabToDIB(const uint8_t* source, uint8_t* dest, size_t count);
void ConvertPlanarLabToDIB(const uint8_t* l, const uint8_t* a, const uint8_t* b, uint8_t* dest, size_t count);

// Horizontal differencing undone: each byte from position 1, 3 or 4 on gets
// the byte 1, 3 or 4 positions before it added (mod 256), over n, 3n or 4n
// bytes after the first pixel (n = pixels - 1).
void UndoPredictor1(uint8_t* row, size_t n);
void UndoPredictor3(uint8_t* row, size_t n);
void UndoPredictor4(uint8_t* row, size_t n);

// Palette indices of 1, 2, 4 or 8 bits (first pixel in the most significant
// bits of a byte) to B, G, R bytes through palette, 256 entries of B, G, R;
// width pixels; other pixel sizes write nothing. Entries a file does not
// define should be left black.
void ConvertIndexedToDIB(const uint8_t* source, uint8_t* dest, int width, int bitsPerPixel,
                         const uint8_t* palette);

// The rounding multiply-divide of the Windows API: a * b / c rounded to the
// nearest, halves away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);
