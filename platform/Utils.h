// Small shared routines: JPEG header probe and decoder scale, rectangle
// fitting, tile orientation names, byte-count text, clamps and the window
// bounds text.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

// Walks the JPEG markers for a baseline or extended frame header (0xC0/0xC1)
// and writes width and height only when it finds one; the caller zeroes them.
// A missing file raises EFileError.
void GetJPEGSize(const std::string& fileName, int& width, int& height);
// The same walk over a file held in memory.
void GetJPEGSize(const uint8_t* data, size_t size, int& width, int& height);
// Decoder scale 0..3 for a wanted size (see the header probe); width and
// height receive the file's full size, 0 x 0 when the header gave none.
// A wanted size <= 0 gives scale 0.
int ChooseJPEGScale(const std::string& fileName, int wantedWidth, int wantedHeight, int& width, int& height);
int ChooseJPEGScale(const uint8_t* data, size_t size, int wantedWidth, int wantedHeight, int& width,
                    int& height);

// The largest rectangle of the picture's proportions that fits the box,
// centred in it, rounded exactly with halves to even; a box of width 0 gives
// the picture rect, and when the picture area is <= 0 result keeps its value
// (the returning form then gives the picture rect).
void FitRect(const TRect& picture, const TRect& box, TRect& result);
TRect FitRect(const TRect& picture, const TRect& box);
// As FitRect, but a picture that already fits is only centred.
TRect FitRectTo(const TRect& picture, const TRect& box);

// "", "H", "V" or "180" from the order of a stored crop rectangle's corners;
// left unchanged when left = right or top = bottom.
void OrientationName(int left, int top, int right, int bottom, std::string& name);

// "1,023.00 Bytes", "1.50 KB", ... (always "," and "." whatever the locale).
std::string FormatByteSize(int64_t count);

inline int ClampByte(int v) {
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}
inline int ClampRange(int v, int min, int max) {
  return v > max ? max : (v < min ? min : v);
}

// The class library's text-to-integer conversion (decimal, or hexadecimal
// after "$" or "0x"): StrToInt raises EConvertError
// "'%s' is not a valid integer value"; StrToIntDef returns def instead.
int32_t StrToInt(const std::string& text);
int32_t StrToIntDef(const std::string& text, int32_t def);

// Window bounds text "left,top,right,bottom".
std::string FormatBoundsText(const TRect& bounds);
// Parses a bounds text by the loading rules. Returns false (apply nothing)
// for an empty text, fewer than four numbers, an empty field, or a reversed
// rectangle; raises EConvertError "'%s' is not a valid integer value" for a
// field that is not an integer.
bool ParseBoundsText(const std::string& text, TRect& bounds);
// Applies a bounds text to a window's bounds: a fixed-size (dialog-style)
// window keeps its width and height and only moves. Returns false and leaves
// bounds alone for any text ParseBoundsText refuses, including one with a
// field that is not a number, so one bad settings line cannot stop start-up.
bool ApplyBoundsText(const std::string& text, bool fixedSize, TRect& bounds);

// Fits restored window bounds to the screens' available areas (the primary
// screen first): onto the screen the bounds overlap most, or the primary when
// they overlap none (a monitor that is gone); a size larger than that screen
// is cut to it and the window is moved to lie wholly on it. A window whose
// minimum size (minWidth x minHeight; a fixed-size window's own size) is
// larger than the screen cannot fit and is refused: false, bounds unchanged;
// so is every window when there is no screen. Any four 32-bit values are
// safe: the arithmetic is 64-bit.
bool FitBoundsToScreens(TRect& bounds, const std::vector<TRect>& screens, int32_t minWidth,
                        int32_t minHeight);

// The Qt-free halves of saving and restoring a window's bounds in the
// settings file. SaveBoundsValue writes the text with TIniFile; when the file
// cannot be written it says so with SayWriteFailure rather than raising,
// because it runs while windows are destroyed.
// LoadBoundsValue reads the text (default empty) and applies it as
// ApplyBoundsText does; true when bounds changed.
void SaveBoundsValue(const std::string& path, const std::string& section, const std::string& key,
                     const TRect& bounds);
bool LoadBoundsValue(const std::string& path, const std::string& section, const std::string& key,
                     bool fixedSize, TRect& bounds);
