#include "dialogs/NewBaseRules.h"

#include "platform/Files.h"
#include "platform/Rounding.h"

const std::array<const char*, PictTypeCount> PictTypeExts = {".BMP", ".JPG", ".GIF", ".ICO", ".TIF", ".PCD",
                                                             ".PCX", ".PSD", ".RLE", ".DIB", ".PNG"};

TPictTypes PictTypesFromText(const std::string& imgExts) {
  TPictTypes t{};
  for (int i = 0; i < PictTypeCount; ++i) t[i] = imgExts.find(PictTypeExts[i]) != std::string::npos;
  return t;
}

std::string PictTypesText(const TPictTypes& types) {
  std::string s;
  for (int i = 0; i < PictTypeCount; ++i)
    if (types[i]) s += PictTypeExts[i];
  return s;
}

std::string GetPictExts(const TPictTypes& types) {
  static const std::array<const char*, PictTypeCount> patterns = {
      "*.BMP", "*.JPG*.JPEG", "*.GIF", "*.ICO", "*.TIF*.TIFF", "*.PCD",
      "*.PCX", "*.PSD",       "*.RLE", "*.DIB", "*.PNG"};
  std::string s;
  for (int i = 0; i < PictTypeCount; ++i)
    if (types[i]) s += patterns[i];
  return s;
}

int32_t ClampTileScale(int32_t v) {
  return v > 4 ? 4 : v < 3 ? 3 : v;
}

TShapePreview ComputeShapePreview(int32_t x, int32_t y, int32_t margin, int left, int top) {
  TShapePreview p;
  int w = 64, h = 64;
  double a;
  if (y < x) {
    a = 64.0 / x;
    h = static_cast<int>(RoundHalfEven(y * a));
  } else {
    a = 64.0 / y;
    w = static_cast<int>(RoundHalfEven(x * a));
  }
  p.Shape1 = TRect(left, top, left + w, top + h);
  const double b = static_cast<double>(margin) * w / 100.0;
  const double c = y * a * margin / 100.0;
  const int l2 = left + static_cast<int>(RoundHalfEven(b / 2));
  const int t2 = top + static_cast<int>(RoundHalfEven(c / 2));
  const int w2 = w - static_cast<int>(RoundHalfEven(b));
  const int h2 = h - static_cast<int>(RoundHalfEven(c));
  p.Shape2 = TRect(l2, t2, l2 + w2, t2 + h2);
  return p;
}

uint8_t CropAnchorOf(const TAnchorButtons& checked) {
  // Button index in the grid order -> anchor value, in the order tested.
  static const int order[] = {9, 2, 5, 8, 1, 4, 7, 0, 3};
  for (int i : order)
    if (checked[i]) return static_cast<uint8_t>(i);
  return 6;
}

std::string LibraryFileName(const std::string& typed) {
  return ChangeFileExt(typed, ".vt2");
}
