// Small value types shared by every layer.
#pragma once
#include <cstdint>

// Left, top, right, bottom; width = Right - Left. A "reversed" rectangle
// (Right < Left or Bottom < Top) is meaningful: it asks for a mirrored copy.
struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  constexpr TRect() = default;
  constexpr TRect(int32_t l, int32_t t, int32_t r, int32_t b) : Left(l), Top(t), Right(r), Bottom(b) {}
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool operator==(const TRect&) const = default;
};

struct TPoint {
  int32_t X = 0, Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

// A colour as the GUI class library kept it: 0x00BBGGRR.
using TColor = uint32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clGreen = 0x008000;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr uint8_t GetRValue(TColor c) {
  return uint8_t(c);
}
constexpr uint8_t GetGValue(TColor c) {
  return uint8_t(c >> 8);
}
constexpr uint8_t GetBValue(TColor c) {
  return uint8_t(c >> 16);
}
constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) {
  return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}
