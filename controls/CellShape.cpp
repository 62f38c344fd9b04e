#include "controls/CellShape.h"

#include <QPainter>
#include <algorithm>

void TPen::Assign(const TPen& o) {
  FColor = o.FColor;
  FWidth = o.FWidth;
  FMode = o.FMode;
  if (OnChange) OnChange();
}

void TBrush::Assign(const TBrush& o) {
  FColor = o.FColor;
  FStyle = o.FStyle;
  if (OnChange) OnChange();
}

TCellShape::TCellShape(QWidget* parent) : QWidget(parent) {
  FPen.OnChange = [this] { StyleChanged(); };
  FBrush.OnChange = [this] { StyleChanged(); };
  resize(65, 65);
}

void TCellShape::SetShape(TShapeType v) {
  if (FShape == v) return;
  FShape = v;
  update();
}

void TCellShape::SetCellX(int v) {
  FCellX = v;
  update();
}

void TCellShape::SetCellY(int v) {
  FCellY = v;
  update();
}

void TCellShape::SetDrawn(bool v) {
  if (FDrawn == v) return;
  FDrawn = v;
  update();
}

namespace {

QColor ToQColor(TColor c) {
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

QPainter::CompositionMode ModeOf(TPenMode m) {
  switch (m) {
    case pmNotXor:
      return QPainter::RasterOp_NotSourceXorDestination;
    case pmXor:
      return QPainter::RasterOp_SourceXorDestination;
    case pmNot:
      return QPainter::RasterOp_NotDestination;
    default:
      return QPainter::CompositionMode_SourceOver;
  }
}

// Every pixel of the outline is drawn exactly once, as the graphics device
// draws a rectangle, so an inverting pen inverts each of them once; lines
// that cross it or each other invert the crossing twice, as they always did.
void OutlineRect(QPainter& p, const QColor& c, int l, int t, int r, int b, int pen) {
  const int th = std::max(pen, 1);
  const int L = l - pen / 2, T = t - pen / 2;
  const int R = r - 1 - pen / 2 + th, B = b - 1 - pen / 2 + th;
  if (R - L <= 2 * th || B - T <= 2 * th) {
    p.fillRect(L, T, R - L, B - T, c);
    return;
  }
  p.fillRect(L, T, R - L, th, c);
  p.fillRect(L, B - th, R - L, th, c);
  p.fillRect(L, T + th, th, B - T - 2 * th, c);
  p.fillRect(R - th, T + th, th, B - T - 2 * th, c);
}

}  // namespace

void TCellShape::paintEvent(QPaintEvent*) {
  if (!FDrawn) return;
  QPainter p(this);
  p.setCompositionMode(ModeOf(FPen.Mode()));
  const QColor pen = ToQColor(FPen.Color());
  const int pw = FPen.Width();
  const TCellShapeLayout L = CellShapeLayout(FShape, width(), height(), pw, FCellX, FCellY);
  const bool fill = FBrush.Style() != bsClear;
  const QBrush brush(ToQColor(FBrush.Color()),
                     FBrush.Style() == bsDiagCross ? Qt::DiagCrossPattern : Qt::SolidPattern);
  if (FShape == stRectangle || FShape == stSquare) {
    if (fill) p.fillRect(L.X + 1, L.Y + 1, L.W - 2, L.H - 2, brush);
    OutlineRect(p, pen, L.X, L.Y, L.X + L.W, L.Y + L.H, pw);
    const int th = std::max(pw, 1);
    for (int r : L.Rows) p.fillRect(L.X, L.Y + r - pw / 2, L.W, th, pen);
    for (int c : L.Cols) p.fillRect(L.X + c - pw / 2, L.Y, th, L.H, pen);
    if (ShowHandles)
      for (const TRect& h : L.Handles) OutlineRect(p, pen, h.Left, h.Top, h.Right, h.Bottom, 3);
    return;
  }
  p.setPen(QPen(pen, pw));
  p.setBrush(fill ? brush : Qt::NoBrush);
  const QRect r(L.X, L.Y, L.W - 1, L.H - 1);
  if (FShape == stRoundRect || FShape == stRoundSquare)
    p.drawRoundedRect(r, L.S / 8.0, L.S / 8.0);  // a corner ellipse of S/4 across
  else
    p.drawEllipse(r);
}
