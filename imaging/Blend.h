// Per-pixel arithmetic under the 32-bit bitmap: blending and merging one
// 0xAARRGGBB pixel over another (single, in place, per row, with or without a
// master alpha), per-channel colour operations, word fill/move/clamp and the
// processor feature tests.
//
// One set of formulas serves every processor: the faster set's rounding (each
// channel, alpha included, as (w * F + (256 - w) * B + 128) >> 8), written in
// portable C++, so a picture never depends on the processor it was made on.
// The feature tests are kept for information only.
#pragma once
#include <cstdint>

// 0xAARRGGBB; in memory the bytes are blue, green, red, alpha.
using TColor32 = uint32_t;

enum TCombineMode : uint8_t { cmBlend = 0, cmMerge = 1 };

// Processor features; each is true only on a processor of family 5 or later.
bool CpuHasMMX();
bool CpuHasSSE();
bool CpuHasSSE2();
bool CpuHas3DNow();
bool CpuHasExt3DNow();

// --- Blending (a = F's alpha) -------------------------------------------------
// Every channel (w = a): (a*F + (256-a)*B + 128) >> 8, also for a = 0 and 255.
TColor32 BlendPixel(TColor32 F, TColor32 B);
// B unchanged for a = 0, F stored for a = 255, else as BlendPixel.
void BlendMem(TColor32 F, TColor32& B);
void BlendRow(const TColor32* src, TColor32* dst, int count);
// With master alpha M: B unchanged when a = 0 or (M+1)*a < 256; else with
// w = ((M+1)*a) >> 8 every channel (w*F + (256-w)*B + 128) >> 8.
TColor32 BlendPixelMaster(TColor32 F, TColor32 B, uint32_t M);
void BlendMemMaster(TColor32 F, TColor32& B, uint32_t M);
// The row form weighs by M*(a+1) in place of (M+1)*a.
void BlendRowMaster(const TColor32* src, TColor32* dst, int count, uint32_t M);
// Weighted combination of two pixels, W clamped to 0..255: X for W = 255, Y for
// W = 0, otherwise every channel (W*X + (256-W)*Y + 128) >> 8.
TColor32 CombinePixel(TColor32 X, TColor32 Y, uint32_t W);

// --- Merging (colours weighted by both alphas) -------------------------------
TColor32 MergePixel(TColor32 F, TColor32 B);
void MergeMem(TColor32 F, TColor32& B);
void MergeRow(const TColor32* src, TColor32* dst, int count);
TColor32 MergePixelMaster(TColor32 F, TColor32 B, uint32_t M);
void MergeMemMaster(TColor32 F, TColor32& B, uint32_t M);
void MergeRowMaster(const TColor32* src, TColor32* dst, int count, uint32_t M);
// F's colour with the given alpha byte, merged over B.
TColor32 MergePixelAlpha(TColor32 F, TColor32 B, uint32_t alpha);
void MergeMemAlpha(TColor32 F, TColor32& B, uint32_t alpha);

// --- The combine-mode tables the transfers use --------------------------------
using TBlendMemMaster = void (*)(TColor32 F, TColor32& B, uint32_t M);
using TBlendRow = void (*)(const TColor32* src, TColor32* dst, int count);
using TBlendRowMaster = void (*)(const TColor32* src, TColor32* dst, int count, uint32_t M);
extern const TBlendMemMaster BlendMemMasterOf[2];  // by TCombineMode
extern const TBlendRow BlendRowOf[2];
extern const TBlendRowMaster BlendRowMasterOf[2];

// --- Colour operations, per channel including alpha (a from X, b from Y) ------
TColor32 AddChannels(TColor32 X, TColor32 Y);         // min(a + b, 255)
TColor32 SubtractChannels(TColor32 X, TColor32 Y);    // max(a - b, 0)
TColor32 DivideChannels(TColor32 X, TColor32 Y);      // a = 0: 255, else min(b*256 div a, 255)
TColor32 MultiplyChannels(TColor32 X, TColor32 Y);    // (a*b) >> 8
TColor32 MaxChannels(TColor32 X, TColor32 Y);         // max(a, b)
TColor32 MinChannels(TColor32 X, TColor32 Y);         // min(a, b)
TColor32 DifferenceChannels(TColor32 X, TColor32 Y);  // |b - a|
TColor32 ExclusionChannels(TColor32 X, TColor32 Y);   // a + b - (a*b) div 128

// Leaves the vector-unit state; there is none to leave in portable code.
inline void EMMS() {}

// --- Words and clamps ----------------------------------------------------------
// Stores value count times; nothing for count <= 0.
void FillWords32(TColor32* dst, int count, TColor32 value);
// Copies count words, overlap-safe; nothing when src == dst or count <= 0.
void MoveWords32(const TColor32* src, TColor32* dst, int count);
// min when value < min, else max when value > max, else value (lower bound first).
inline int ClampToRange32(int value, int min, int max) {
  return value < min ? min : (value > max ? max : value);
}
