#include "controls/CropImage.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "platform/Files.h"
#include "platform/Picture.h"

namespace {
TRect ToTRect(const QRect& r) {
  return TRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}
QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()));
}
TPoint ToTPoint(const QPoint& p) {
  return TPoint{p.x(), p.y()};
}
}  // namespace

// ---- TDragOutline ----

TDragOutline::TDragOutline(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  hide();
}

namespace {
// The four one-pixel edges of r: all that an outline change repaints.
QRegion Border(const QRect& r) {
  if (r.isEmpty()) return QRegion();
  QRegion g(r.left(), r.top(), r.width(), 1);
  g += QRect(r.left(), r.bottom(), r.width(), 1);
  g += QRect(r.left(), r.top(), 1, r.height());
  g += QRect(r.right(), r.top(), 1, r.height());
  return g;
}
}  // namespace

void TDragOutline::SetOutline(const QRect& r) {
  const QRect old = FRect;
  FRect = r;
  if (r.isEmpty()) {
    hide();
    return;
  }
  if (!isVisible()) {
    setGeometry(parentWidget()->rect());
    raise();
    show();
  }
  update(Border(old) + Border(r));
}

void TDragOutline::paintEvent(QPaintEvent*) {
  if (FRect.isEmpty()) return;
  // Every other pixel of the border, inverted: a focus rectangle.
  QPainter p(this);
  p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  const QColor white(255, 255, 255);
  const int l = FRect.left(), t = FRect.top(), r = l + FRect.width() - 1, b = t + FRect.height() - 1;
  for (int x = l; x <= r; ++x) {
    if ((x + t) % 2 == 0) p.fillRect(x, t, 1, 1, white);
    if (b != t && (x + b) % 2 == 0) p.fillRect(x, b, 1, 1, white);
  }
  for (int y = t + 1; y < b; ++y) {
    if ((l + y) % 2 == 0) p.fillRect(l, y, 1, 1, white);
    if (r != l && (r + y) % 2 == 0) p.fillRect(r, y, 1, 1, white);
  }
}

// ---- TCropImage ----

TCropImage::TCropImage(QWidget* parent)
    : QWidget(parent),
      CropPicture(new TImage(this)),
      CropShape(new TCellShape(this)),
      FOutline(new TDragOutline(this)) {
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(true);
  CropShape->Brush().SetStyle(bsClear);
  CropShape->Pen().SetMode(pmNotXor);
  CropShape->setGeometry(0, 0, 10, 10);
  CropShape->setMouseTracking(true);
  CropPicture->setMouseTracking(true);
  CropPicture->installEventFilter(this);
  CropShape->installEventFilter(this);
  SetCellX(1);
  SetCellY(1);
}

TRect TCropImage::PictureBounds() const {
  return ToTRect(CropPicture->geometry());
}
TRect TCropImage::FrameBounds() const {
  return ToTRect(CropShape->geometry());
}

void TCropImage::SetFrameBounds(const TRect& r) {
  CropShape->setGeometry(ToQRect(r));
}

void TCropImage::SetPictureFileName(const std::string& name) {
  if (!FileExists(name)) return;
  Bitmap24 pic;
  LoadPicture(name, pic);
  FPictureFileName = name;
  CropPicture->SetPicture(std::move(pic));
  FitPicture();
}

void TCropImage::SetPicture(const Bitmap24& picture) {
  CropPicture->SetPicture(picture);
  FitPicture();
}

void TCropImage::SetPictureStretch(bool v) {
  FPictureStretch = v;
  FitPicture();
}

void TCropImage::SetPictureCrops(bool v) {
  FPictureCrops = v;
  CropShape->setVisible(v);
}

void TCropImage::SetCropLeft(int v) {
  FCropLeft = v;
  CropShape->move(v, CropShape->y());
}
void TCropImage::SetCropTop(int v) {
  FCropTop = v;
  CropShape->move(CropShape->x(), v);
}
void TCropImage::SetCropWidth(int v) {
  FCropWidth = v;
  CropShape->resize(std::max(0, v), CropShape->height());
}
void TCropImage::SetCropHeight(int v) {
  FCropHeight = v;
  CropShape->resize(CropShape->width(), std::max(0, v));
}

void TCropImage::SetScaleStyle(TScaleStyle v) {
  FScaleStyle = v;
  ScaleH = CropShape->height();
  ScaleW = CropShape->width();
}

void TCropImage::SetCellX(int v) {
  FCellX = v;
  CropShape->SetCellX(v);
}
void TCropImage::SetCellY(int v) {
  FCellY = v;
  CropShape->SetCellY(v);
}
void TCropImage::SetShowCells(bool v) {
  FShowCells = v;
  CropShape->SetCellX(v ? FCellX : 1);
  CropShape->SetCellY(v ? FCellY : 1);
}

void TCropImage::StoreCropRect() {
  const Bitmap24& pic = Picture();
  if (pic.Empty()) {
    FCropRectF = FrameBounds();
    return;
  }
  PanelToPicture(FrameBounds(), pic.Width(), pic.Height(), PictureBounds(), FCropRectF);
}

void TCropImage::FitPicture() {
  const Bitmap24& pic = Picture();
  if (int64_t(pic.Width()) * pic.Height() <= 0) return;
  CropPicture->SetStretch(true);
  if (FPictureStretch) {
    CropPicture->setGeometry(rect());
    return;
  }
  CropPicture->setGeometry(ToQRect(FitPictureBounds(width(), height(), pic.Width(), pic.Height(), false)));
  SetFrameBounds(PictureToPanel(FCropRectF, pic.Width(), pic.Height(), PictureBounds()));
  StoreCropRect();
}

void TCropImage::Refit() {
  FitPicture();
  emit ChangeCropPos();
}

void TCropImage::SetCropRect(const TRect& r) {
  const Bitmap24& pic = Picture();
  SetFrameBounds(PictureToPanel(r, pic.Width(), pic.Height(), PictureBounds()));
  FCropRectPx = r;
  StoreCropRect();
}

bool TCropImage::FrameCounts() const {
  return CropShape->isVisible() && CropShape->Drawn();
}

Bitmap24& TCropImage::GetCroppedBitmap(Bitmap24& bitmap, double xScale, double yScale) {
  CropToBitmap(Picture(), PictureBounds(), FrameBounds(), FrameCounts(), FPictureStretch, ResampleStyle,
               xScale, yScale, bitmap);
  return bitmap;
}

void TCropImage::resizeEvent(QResizeEvent*) {
  // A stretched picture is aligned to the whole panel.
  if (FPictureStretch && !Picture().Empty()) CropPicture->setGeometry(rect());
}

// ---- mouse ----

bool TCropImage::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
      if (watched == CropShape)
        FrameMouse(event);
      else if (watched == CropPicture)
        PictureMouse(event);
      else
        return false;
      return true;
    default:
      return false;
  }
}

void TCropImage::PictureMouse(QEvent* event) {
  auto* e = static_cast<QMouseEvent*>(event);
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  TPoint at = ToTPoint(CropPicture->mapTo(this, e->position().toPoint()));
  if (event->type() == QEvent::MouseButtonPress) {
    // The cursor is held in a picture-sized rectangle from the press point.
    FPicturePress = true;
    FDragClip = TRect(at.X, at.Y, at.X + CropPicture->width(), at.Y + CropPicture->height());
    CropPicture->setCursor(shift ? Qt::CrossCursor : Qt::ArrowCursor);
    const QPoint local = e->position().toPoint();
    emit OnMouseDown(e->button(), e->modifiers(), local.x(), local.y());
  } else if (event->type() == QEvent::MouseMove) {
    CropPicture->setCursor(shift ? Qt::CrossCursor : Qt::ArrowCursor);
    if (FPicturePress) at = ConfinePoint(at, FDragClip);
    emit OnMouseMove(e->modifiers(), at.X, at.Y);
  } else {
    FPicturePress = false;
    EndDrag();
  }
}

void TCropImage::HoverCursor(TPoint p, bool shift) {
  static const Qt::CursorShape kCursors[] = {Qt::PointingHandCursor, Qt::SizeFDiagCursor, Qt::SizeFDiagCursor,
                                             Qt::SizeBDiagCursor,    Qt::SizeBDiagCursor, Qt::SizeHorCursor,
                                             Qt::SizeHorCursor,      Qt::SizeVerCursor,   Qt::SizeVerCursor};
  CropShape->setCursor(shift ? Qt::CrossCursor
                             : kCursors[FrameZone(p.X, p.Y, CropShape->width(), CropShape->height())]);
}

void TCropImage::FrameMouse(QEvent* event) {
  auto* e = static_cast<QMouseEvent*>(event);
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  const TPoint inFrame = ToTPoint(e->position().toPoint());
  const TPoint at = ToTPoint(CropShape->mapTo(this, e->position().toPoint()));
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      if (e->button() == Qt::LeftButton && !shift) {
        FDragging = true;
        setFocus(Qt::MouseFocusReason);
        FDrag = StartDrag(FrameBounds(), inFrame);
        CropShape->SetDrawn(false);
        FOutline->SetOutline(QRect());
        FDragClip = DragConfinement(FDrag, PictureBounds());
      }
      emit OnMouseDown(e->button(), e->modifiers(), at.X, at.Y);
      break;
    case QEvent::MouseMove:
      if (!FDragging) {
        HoverCursor(inFrame, shift);
      } else if (shift) {
        CropShape->setCursor(Qt::CrossCursor);
      } else {
        const TRect f = DragFrame(FDrag, FScaleStyle, FrameBounds(), ConfinePoint(at, FDragClip), ScaleW,
                                  ScaleH, PictureBounds(), Rules);
        SetFrameBounds(f);
        FOutline->SetOutline(ToQRect(f));
      }
      emit OnMouseMove(e->modifiers(), at.X, at.Y);
      break;
    default: {
      if (!FDragging) {
        EndDrag();
        break;
      }
      EndDrag();
      const TRect f = FrameBounds();
      if (f == TRect(FCropLeft, FCropTop, FCropLeft + FCropWidth, FCropTop + FCropHeight)) break;
      FCropLeft = f.Left;
      FCropTop = f.Top;
      FCropWidth = f.Width();
      FCropHeight = f.Height();
      const Bitmap24& pic = Picture();
      PanelToPictureBySize(f, pic.Width(), pic.Height(), PictureBounds(), FCropRectPx);
      StoreCropRect();
      emit ChangeCropPos();
      break;
    }
  }
}

void TCropImage::EndDrag() {
  FDragging = false;
  FOutline->SetOutline(QRect());
  CropShape->SetDrawn(true);
  if (FPictureCrops) CropShape->show();
}

// ---- keys and focus ----

void TCropImage::keyPressEvent(QKeyEvent* e) {
  TArrowKey key;
  switch (e->key()) {
    case Qt::Key_Left:
      key = akLeft;
      break;
    case Qt::Key_Up:
      key = akUp;
      break;
    case Qt::Key_Right:
      key = akRight;
      break;
    case Qt::Key_Down:
      key = akDown;
      break;
    default:
      QWidget::keyPressEvent(e);
      return;
  }
  e->accept();
  const Bitmap24& pic = Picture();
  if (pic.Empty()) return;
  update();
  TRect r = FCropRectPx;
  if (!ArrowKeyCrop(key, e->modifiers() & Qt::ControlModifier, e->modifiers() & Qt::ShiftModifier, r,
                    pic.Width(), pic.Height(), FScaleStyle, ScaleW, ScaleH, Rules))
    return;
  SetCropRect(r);
  emit ChangeCropPos();
}

void TCropImage::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  CropShape->ShowHandles = true;
  CropShape->update();
}

void TCropImage::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  CropShape->ShowHandles = false;
  CropShape->update();
}
