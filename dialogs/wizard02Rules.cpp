#include "dialogs/wizard02Rules.h"

#include "dialogs/SetTileForm.h"
#include "platform/Files.h"
#include "platform/Rounding.h"
#include "platform/Utils.h"
#include "platform/qt/FileDialogs.h"

namespace {
int Round(double v) {
  return int(RoundHalfEven(v));
}
}  // namespace

TRect WizardShapeRect(int shape, int x, int y, int margin, int anchor, const TRect& shape1,
                      const TRect& current) {
  const double W = shape1.Width(), H = shape1.Height(), L = shape1.Left, T = shape1.Top, m = margin;
  int w = current.Width(), h = current.Height();
  double tx = 0, ty = 0;
  if (anchor == 9) {
    w = int(W) - Round(m * W / 100);
    h = int(H) - Round(m * H / 100);
    const int left = Round(L + (W - w) / 2), top = Round(T + (H - h) / 2);
    return TRect(left, top, left + w, top + h);
  }
  switch (shape) {
    case wsSquare:
      tx = m * W / 100;
      w = int(W) - Round(tx);
      ty = m * H / 100;
      h = int(H) - Round(ty);
      break;
    case wsPortrait:
      tx = m * (W / 4 * 3) / 100;
      w = Round(W / 4 * 3 - tx);
      ty = m * H / 100;
      h = int(H) - Round(ty);
      break;
    case wsLandscape:
      tx = m * W / 100;
      w = int(W) - Round(tx);
      ty = m * (H / 4 * 3) / 100;
      h = Round(H / 4 * 3 - ty);
      break;
    case wsCustom:
      if (x <= 0 || y <= 0) break;
      if (y < x) {
        tx = m * W / 100;
        w = int(W) - Round(tx);
        ty = (H / x * y) * m / 100;
        h = Round(H / x * y - ty);
      } else {
        tx = (W / y * x) * m / 100;
        w = Round(W / y * x - tx);
        ty = m * H / 100;
        h = int(H) - Round(ty);
      }
      break;
    default:
      break;
  }
  const int row = anchor / 3, col = anchor % 3;
  const int top = row == 0   ? Round(T + ty / 2)
                  : row == 1 ? Round(T + (H - h) / 2)
                             : Round(T + H - h - ty / 2);
  const int left = col == 0   ? Round(L + tx / 2)
                   : col == 1 ? Round(L + (W - w) / 2)
                              : Round(L + W - w - tx / 2);
  return TRect(left, top, left + w, top + h);
}

std::string WizardProjectName(const std::string& picture, const std::string& library, int x, int y) {
  const auto bare = [](const std::string& name) { return ChangeFileExt(ExtractFileName(name), ""); };
  return bare(picture) + "-" + bare(library) + std::to_string(x) + "x" + std::to_string(y) + ".vtp";
}

int WizardTileHeight(int w, int xscale, int yscale) {
  if (xscale <= 0 || yscale <= 0) return 0;
  return int(double(w) * yscale / xscale);
}

TWizardSizeTexts WizardSizeTexts(int c, int r, int w, int h, int d) {
  TWizardSizeTexts t;
  t.Cells = std::to_string(c) + " x " + std::to_string(r) + " cells";
  const int64_t pw = int64_t(c) * w, ph = int64_t(r) * h;
  t.Pixels = std::to_string(pw) + " x " + std::to_string(ph) + " pixels";
  t.Bytes = FormatByteSize(pw * ph * 3);
  if (d <= 0) {
    t.Centimetres = "-- cm";
    t.Inches = "-- inch";
  } else {
    const double wi = double(pw) / d, hi = double(ph) / d;
    t.Inches = FormatNumberN(wi) + " x " + FormatNumberN(hi) + " inch";
    t.Centimetres = FormatNumberN(wi / 0.3937) + " x " + FormatNumberN(hi / 0.3937) + " cm";
  }
  return t;
}

std::string FilterDefaultExt(const std::string& filter, int index) {
  const std::vector<TFilterEntry> entries = ParseFilter(filter);
  if (index < 1 || index > int(entries.size()) || entries[size_t(index) - 1].Patterns.empty()) return "";
  const std::string& p = entries[size_t(index) - 1].Patterns.front();
  const std::string ext = ExtractFileExt(p);
  return ext.size() > 1 && ext != ".*" ? ext.substr(1) : "";
}
