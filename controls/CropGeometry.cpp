#include "controls/CropGeometry.h"

#include <algorithm>

#include "imaging/Resample.h"
#include "platform/Rounding.h"

namespace {
int RD(int64_t p, int64_t q) {
  return int(RoundDiv(p, q));
}
int Round(double v) {
  return int(RoundHalfEven(v));
}
}  // namespace

TCellShapeLayout CellShapeLayout(TShapeType shape, int width, int height, int p, int cellX, int cellY) {
  TCellShapeLayout L;
  L.X = L.Y = p / 2;
  L.W = width - p + (p == 0 ? 0 : 1);
  L.H = height - p + (p == 0 ? 0 : 1);
  L.S = std::min(L.W, L.H);
  if (shape == stSquare || shape == stRoundSquare || shape == stCircle) {
    L.X += (L.W - L.S) / 2;
    L.Y += (L.H - L.S) / 2;
    L.W = L.H = L.S;
  }
  if (shape != stRectangle && shape != stSquare) return L;
  for (int i = 1; i < cellY; ++i) L.Rows.push_back(RD(int64_t(L.H) * i, cellY));
  for (int i = 1; i < cellX; ++i) L.Cols.push_back(RD(int64_t(L.W) * i, cellX));
  const int X = L.X, Y = L.Y, w = L.W, h = L.H;
  // round(X + w / 2 -+ 3.5) as exact halves.
  const int mx0 = RD(2 * int64_t(X) + w - 7, 2), mx1 = RD(2 * int64_t(X) + w + 7, 2);
  const int my0 = RD(2 * int64_t(Y) + h - 7, 2), my1 = RD(2 * int64_t(Y) + h + 7, 2);
  L.Handles = {TRect(X, Y, X + 7, Y + 7),         TRect(X + w - 7, Y, X + w, Y + 7),
               TRect(X, Y + h - 7, X + 7, Y + h), TRect(X + w - 7, Y + h - 7, X + w, Y + h),
               TRect(mx0, Y, mx1, Y + 7),         TRect(mx0, Y + h - 7, mx1, Y + h),
               TRect(X, my0, X + 7, my1),         TRect(X + w - 7, my0, X + w, my1)};
  return L;
}

TDragZone FrameZone(int x, int y, int w, int h) {
  const bool left = x >= 0 && x<4, right = x> w - 4 && x < w;
  const bool top = y >= 0 && y<4, bottom = y> h - 4 && y < h;
  if (left && top) return dzTopLeft;
  if (right && bottom) return dzBottomRight;
  if (left && bottom) return dzBottomLeft;
  if (right && top) return dzTopRight;
  if (left) return dzLeft;
  if (right) return dzRight;
  if (top) return dzTop;
  if (bottom) return dzBottom;
  return dzMove;
}

TRect FitPictureBounds(int panelWidth, int panelHeight, int pictureWidth, int pictureHeight, bool stretch) {
  if (int64_t(pictureWidth) * pictureHeight <= 0) return TRect();
  if (stretch) return TRect(0, 0, panelWidth, panelHeight);
  // panel height / panel width > picture height / picture width, without division.
  if (int64_t(panelHeight) * pictureWidth > int64_t(pictureHeight) * panelWidth) {
    const int h = RD(int64_t(panelWidth) * pictureHeight, pictureWidth);
    const int top = (panelHeight - h) / 2;
    return TRect(0, top, panelWidth, top + h);
  }
  const int w = RD(int64_t(panelHeight) * pictureWidth, pictureHeight);
  const int left = (panelWidth - w) / 2;
  return TRect(left, 0, left + w, panelHeight);
}

TRect PictureToPanel(const TRect& crop, int pw, int ph, const TRect& image) {
  if (pw <= 0 || ph <= 0) return crop;
  const int64_t iw = image.Width(), ih = image.Height();
  return TRect(RD(crop.Left * iw, pw) + image.Left, RD(crop.Top * ih, ph) + image.Top,
               RD(crop.Right * iw, pw) + image.Left, RD(crop.Bottom * ih, ph) + image.Top);
}

bool PanelToPicture(const TRect& f, int pw, int ph, const TRect& image, TRect& crop) {
  const int64_t iw = image.Width(), ih = image.Height();
  if (iw == 0 || ih == 0) return false;
  crop = TRect(RD(int64_t(pw) * (f.Left - image.Left), iw), RD(int64_t(ph) * (f.Top - image.Top), ih),
               RD(int64_t(pw) * (f.Right - image.Left), iw), RD(int64_t(ph) * (f.Bottom - image.Top), ih));
  return true;
}

bool PanelToPictureBySize(const TRect& f, int pw, int ph, const TRect& image, TRect& crop) {
  const int64_t iw = image.Width(), ih = image.Height();
  if (iw == 0 || ih == 0) return false;
  const int l = RD(int64_t(pw) * (f.Left - image.Left), iw), t = RD(int64_t(ph) * (f.Top - image.Top), ih);
  crop = TRect(l, t, l + RD(int64_t(pw) * f.Width(), iw), t + RD(int64_t(ph) * f.Height(), ih));
  return true;
}

TDragStart StartDrag(const TRect& frame, TPoint press) {
  TDragStart d;
  d.Zone = FrameZone(press.X, press.Y, frame.Width(), frame.Height());
  d.Press = press;
  d.Frame = frame;
  if (d.Zone == dzTopLeft || d.Zone == dzTopRight || d.Zone == dzBottomLeft || d.Zone == dzBottomRight) {
    d.W0 = frame.Width();
    d.H0 = frame.Height();
  }
  return d;
}

TRect DragConfinement(const TDragStart& d, const TRect& P) {
  const TRect& F = d.Frame;
  auto box = [](int l, int t, int w, int h) { return TRect(l, t, l + w, t + h); };
  switch (d.Zone) {
    case dzMove:
      return box(P.Left + d.Press.X, P.Top + d.Press.Y, P.Width() - F.Width() + 1,
                 P.Height() - F.Height() + 1);
    case dzTopLeft:
      return box(P.Left, P.Top, F.Right - P.Left - 8, F.Bottom - P.Top - 8);
    case dzTopRight:
      return box(F.Left + 8, P.Top, P.Right - F.Left - 8, F.Bottom - P.Top - 8);
    // The picture's offset counts once: the mouse stays between 8 pixels
    // below the frame's top and the picture's bottom.
    case dzBottomLeft:
      return box(P.Left, F.Top + 8, F.Right - P.Left - 8, P.Bottom - F.Top - 8);
    case dzLeft:
      return box(P.Left, F.Top + 8, F.Right - P.Left - 8, F.Height() - 8);
    case dzTop:
      return box(P.Left + 8, P.Top, P.Width() - 8, F.Bottom - P.Top - 8);
    case dzRight:
      return box(F.Left + 8, F.Top + 8, P.Right - F.Left, P.Height() - F.Top);
    case dzBottomRight:
    case dzBottom:
      return box(F.Left + 8, F.Top + 8, P.Right - F.Left, P.Bottom - F.Top);
  }
  return P;
}

TPoint ConfinePoint(TPoint p, const TRect& clip) {
  p.X = std::max(clip.Left, std::min(p.X, clip.Right - 1));
  p.Y = std::max(clip.Top, std::min(p.Y, clip.Bottom - 1));
  return p;
}

namespace {

// The ssFullScale rules, named by the edge that follows the mouse.
struct FullScale {
  int64_t SW, SH;
  const TRect& P;
  const TRect& F;
  // T (top-left) and C (top-right, top): top follows, the width follows the height.
  TRect TopRule(int my, bool keepRight) const {
    TRect r = F;
    r.Top = std::max(my, P.Top);
    const int limit = keepRight ? F.Right - P.Left : P.Right - F.Left;
    const int w = std::min(RD((r.Bottom - r.Top) * SW, SH), limit);
    r.Top = r.Bottom - RD(w * SH, SW);
    if (keepRight)
      r.Left = r.Right - w;
    else
      r.Right = r.Left + w;
    return r;
  }
  // D (bottom-left, left): left follows, the height follows the width.
  TRect LeftRule(int mx) const {
    TRect r = F;
    r.Left = mx;
    const int h = std::min(RD((r.Right - r.Left) * SH, SW), P.Bottom - F.Top);
    r.Left = r.Right - RD(h * SW, SH);
    r.Bottom = r.Top + h;
    return r;
  }
  // R (bottom-right, right).
  TRect RightRule(int mx) const {
    TRect r = F;
    r.Right = std::min(mx, P.Right);
    const int h = std::min(RD((r.Right - r.Left) * SH, SW), P.Bottom - F.Top);
    r.Right = r.Left + RD(h * SW, SH);
    r.Bottom = r.Top + h;
    return r;
  }
  // B (bottom).
  TRect BottomRule(int my) const {
    TRect r = F;
    r.Bottom = std::min(my, P.Bottom);
    const int w = std::min(RD((r.Bottom - r.Top) * SW, SH), P.Right - F.Left);
    r.Bottom = r.Top + RD(w * SH, SW);
    r.Right = r.Left + w;
    return r;
  }
};

}  // namespace

TRect DragFrame(const TDragStart& d, TScaleStyle style, const TRect& F, TPoint m, int scaleW, int scaleH,
                const TRect& P, const TCropRules& rules) {
  TRect r = F;
  if (d.Zone == dzMove) {
    r.Left = m.X - d.Press.X;
    r.Top = m.Y - d.Press.Y;
    return TRect(r.Left, r.Top, r.Left + F.Width(), r.Top + F.Height());
  }
  if (style == ssFullScale) {
    if (scaleW == 0 || scaleH == 0) return F;
    const FullScale fs{scaleW, scaleH, P, F};
    switch (d.Zone) {
      case dzTopLeft:
        return fs.TopRule(m.Y, true);
      case dzTopRight:
      case dzTop:
        return fs.TopRule(m.Y, false);
      case dzBottomLeft:
      case dzLeft:
        return fs.LeftRule(m.X);
      case dzBottomRight:
      case dzRight:
        return fs.RightRule(m.X);
      case dzBottom:
        return fs.BottomRule(m.Y);
      default:
        return F;
    }
  }
  const bool corner = style == ssCornerScale;
  const bool clampFree = rules.ClampFreeDragToPicture && style == ssNoScale;
  const int right = clampFree ? std::min(m.X, P.Right) : m.X;
  const int bottom = clampFree ? std::min(m.Y, P.Bottom) : m.Y;
  switch (d.Zone) {
    case dzTopLeft:
      r.Top = m.Y;
      if (corner) {
        if (d.H0 == 0) return F;
        r.Left = r.Right - RD(int64_t(r.Height()) * d.W0, d.H0);
      } else {
        r.Left = m.X;
      }
      return r;
    case dzTopRight:
      r.Top = m.Y;
      if (corner) {
        if (d.H0 == 0) return F;
        r.Right = r.Left + RD(int64_t(r.Height()) * d.W0, d.H0);
      } else {
        r.Right = m.X;
      }
      return r;
    case dzBottomLeft:
      r.Left = m.X;
      if (corner) {
        if (d.W0 == 0) return F;
        r.Bottom = r.Top + RD(int64_t(r.Width()) * d.H0, d.W0);
      } else {
        r.Bottom = m.Y;
      }
      return r;
    case dzBottomRight:
      if (corner) {
        if (d.W0 == 0) return F;
        r.Right = m.X;
        r.Bottom = r.Top + RD(int64_t(r.Width()) * d.H0, d.W0);
      } else {
        r.Right = right;
        r.Bottom = bottom;
      }
      return r;
    case dzTop:
      r.Top = m.Y;
      return r;
    case dzLeft:
      r.Left = m.X;
      return r;
    case dzBottom:
      r.Bottom = corner ? m.Y : bottom;
      return r;
    case dzRight:
      r.Right = corner ? m.X : right;
      return r;
    default:
      return F;
  }
}

namespace {

// Shift+arrows: one edge moves a pixel, the other follows the proportion.
bool ProportionalResize(TArrowKey key, TRect& c, int pw, int ph, int64_t sw, int64_t sh) {
  if (sw == 0 || sh == 0) return false;
  TRect r = c;
  switch (key) {
    case akLeft:
      r.Right -= 1;
      r.Bottom = r.Top + RD(int64_t(r.Right - r.Left) * sh, sw);
      if (r.Width() < 2 || r.Bottom > ph) return false;
      break;
    case akUp:
      r.Bottom -= 1;
      r.Right = r.Left + RD(int64_t(r.Bottom - r.Top) * sw, sh);
      if (r.Height() < 2 || r.Right > pw) return false;
      break;
    case akRight:
      r.Right += 1;
      if (r.Right > pw) return false;
      r.Bottom = r.Top + RD(int64_t(r.Right - r.Left) * sh, sw);
      if (r.Bottom > ph) return false;
      break;
    case akDown:
      r.Bottom += 1;
      if (r.Bottom > ph) return false;
      r.Right = r.Left + RD(int64_t(r.Bottom - r.Top) * sw, sh);
      if (r.Right > pw) return false;
      break;
  }
  c = r;
  return true;
}

bool FreeResize(TArrowKey key, TRect& c, int pw, int ph) {
  TRect r = c;
  switch (key) {
    case akLeft:
      r.Right -= 1;
      break;
    case akUp:
      r.Bottom -= 1;
      break;
    case akRight:
      r.Right += 1;
      break;
    case akDown:
      r.Bottom += 1;
      break;
  }
  if (r.Width() < 2 || r.Height() < 2 || r.Right > pw || r.Bottom > ph) return false;
  c = r;
  return true;
}

void Shift(TRect& c, int dx, int dy) {
  c = TRect(c.Left + dx, c.Top + dy, c.Right + dx, c.Bottom + dy);
}

}  // namespace

bool ArrowKeyCrop(TArrowKey key, bool ctrl, bool shift, TRect& c, int pw, int ph, TScaleStyle style,
                  int scaleW, int scaleH, const TCropRules& rules) {
  if (shift && !ctrl) {
    if (rules.FreeShiftResize && style != ssFullScale) return FreeResize(key, c, pw, ph);
    return ProportionalResize(key, c, pw, ph, scaleW, scaleH);
  }
  const int w = c.Width(), h = c.Height();
  if (shift && ctrl) {  // jump by one frame size
    switch (key) {
      case akLeft:
        if (c.Left < w) return false;
        Shift(c, -w, 0);
        return true;
      case akUp:
        if (c.Top < h) return false;
        Shift(c, 0, -h);
        return true;
      case akRight:
        if (c.Right + w > pw) return false;
        Shift(c, w, 0);
        return true;
      case akDown:
        if (c.Bottom + h > ph) return false;
        Shift(c, 0, h);
        return true;
    }
    return false;
  }
  const int step = ctrl ? 10 : 1;
  switch (key) {
    case akLeft:
      if (c.Left < 1) return false;
      Shift(c, -std::min(step, c.Left), 0);
      return true;
    case akUp:
      if (c.Top < 1) return false;
      Shift(c, 0, -std::min(step, c.Top));
      return true;
    case akRight:
      if (c.Right >= pw) return false;
      Shift(c, std::min(step, pw - c.Right), 0);
      return true;
    case akDown:
      if (c.Bottom >= ph) return false;
      Shift(c, 0, std::min(step, ph - c.Bottom));
      return true;
  }
  return false;
}

TRect CopyPictureRect(const Bitmap24& pic, const TRect& crop, Bitmap24& out) {
  const TRect r(std::clamp(crop.Left, 0, pic.Width()), std::clamp(crop.Top, 0, pic.Height()),
                std::clamp(crop.Right, 0, pic.Width()), std::clamp(crop.Bottom, 0, pic.Height()));
  out.SetSize(std::max(0, r.Width()), std::max(0, r.Height()));
  if (!out.Empty()) DrawAt(out, -r.Left, -r.Top, pic);
  return r;
}

void CropToBitmap(const Bitmap24& pic, const TRect& P, const TRect& F, bool frameShown, bool stretch,
                  TResampleStyle style, double xs, double ys, Bitmap24& out, TPoint* intermediate) {
  if (intermediate) *intermediate = TPoint{0, 0};
  const int64_t pw = pic.Width(), ph = pic.Height();
  const int64_t pW = P.Width(), pH = P.Height();
  if (pic.Empty() || pW <= 0 || pH <= 0) {
    out.SetSize(0, 0);
    return;
  }
  if (!stretch) {
    if (!frameShown) {
      out.SetSize(int(pW), int(pH));
      DrawAt(out, 0, 0, pic);
    } else {
      out.SetSize(std::max(0, RD(pw * F.Width(), pW)), std::max(0, RD(ph * F.Height(), pH)));
      DrawAt(out, RD(pw * (P.Left - F.Left), pW), RD(ph * (P.Top - F.Top), pH), pic);
    }
    return;
  }
  if (!frameShown) {
    out.SetSize(std::max(0, Round(xs * pW)), std::max(0, Round(ys * pH)));
    StretchDraw(out, TRect(0, 0, out.Width(), out.Height()), pic);
    return;
  }
  out.SetSize(std::max(0, Round(xs * F.Width())), std::max(0, Round(ys * F.Height())));
  if (out.Empty()) return;
  // The picture's place relative to the frame, scaled by k.
  auto placed = [&](double k) {
    return TRect(Round(xs * (P.Left - F.Left) * k), Round(ys * (P.Top - F.Top) * k),
                 Round(xs * (P.Right - F.Left) * k), Round(ys * (P.Bottom - F.Top) * k));
  };
  if (style == TResampleStyle::None) {
    StretchDraw(out, placed(1), pic);
    return;
  }
  // Nothing names a filter for Auto; the triangle filter is the views' usual one.
  const TResampleFilter filter = style == TResampleStyle::Auto ? rfTriangle : TResampleFilter(int(style) - 1);
  const int c = RD(ph * F.Height(), pH);
  Bitmap24 mid;
  if (double(c) / out.Height() > 2) {
    mid.SetSize(std::max(0, Round(xs * F.Width() * 2)), std::max(0, Round(ys * F.Height() * 2)));
    StretchDraw(mid, placed(2), pic);
  } else {
    mid.SetSize(std::max(0, RD(pw * F.Width(), pW)), std::max(0, c));
    DrawAt(mid, RD(pw * -int64_t(F.Left), pW), RD(ph * -int64_t(F.Top), pH), pic);
  }
  if (intermediate) *intermediate = TPoint{mid.Width(), mid.Height()};
  if (mid.Empty()) return;
  Stretch(mid, out, KernelTable[filter].Filter, KernelTable[filter].Width);
}
