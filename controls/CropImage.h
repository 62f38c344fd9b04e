// TCropImage: a picture fitted into a panel with a movable, resizable crop
// frame over it, divided into the mosaic's cells. The user drags the frame
// or its edges, or moves and resizes it with the arrow keys; the program
// reads the selected part of the picture, scaled and resampled.
//
// The crop rectangle is kept in picture pixels, so refitting the panel keeps
// the same part of the picture selected. This platform cannot confine the
// cursor, so during a drag the mouse point is clamped to the rectangle the
// cursor would have been held in.
#pragma once
#include <QWidget>
#include <string>

#include "controls/CellShape.h"
#include "controls/CropGeometry.h"
#include "platform/Bitmap24.h"
#include "platform/qt/Image.h"

// The dotted outline that shows a drag, drawn inverting over everything.
class TDragOutline : public QWidget {
  Q_OBJECT
 public:
  explicit TDragOutline(QWidget* parent);
  // Shows the outline at r (parent coordinates); an empty r hides it.
  void SetOutline(const QRect& r);
  QRect Outline() const { return FRect; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  QRect FRect;
};

class TCropImage : public QWidget {
  Q_OBJECT
 public:
  explicit TCropImage(QWidget* parent = nullptr);

  TImage* CropPicture;
  TCellShape* CropShape;

  const std::string& PictureFileName() const { return FPictureFileName; }
  // Loads the picture file; a name that does not exist is ignored, a file
  // that cannot be read raises and changes nothing.
  void SetPictureFileName(const std::string& name);
  // Shows a picture that came from elsewhere (the name is left alone).
  void SetPicture(const Bitmap24& picture);
  const Bitmap24& Picture() const { return CropPicture->Picture(); }

  bool PictureStretch() const { return FPictureStretch; }
  void SetPictureStretch(bool v);
  bool PictureCrops() const { return FPictureCrops; }
  void SetPictureCrops(bool v);

  int CropLeft() const { return FCropLeft; }
  int CropTop() const { return FCropTop; }
  int CropWidth() const { return FCropWidth; }
  int CropHeight() const { return FCropHeight; }
  void SetCropLeft(int v);
  void SetCropTop(int v);
  void SetCropWidth(int v);
  void SetCropHeight(int v);

  TScaleStyle ScaleStyle() const { return FScaleStyle; }
  // Also takes the frame's size as the proportion ScaleW : ScaleH.
  void SetScaleStyle(TScaleStyle v);
  int ScaleW = 0, ScaleH = 0;
  TResampleStyle ResampleStyle = TResampleStyle::None;

  int CellX() const { return FCellX; }
  int CellY() const { return FCellY; }
  bool ShowCells() const { return FShowCells; }
  void SetCellX(int v);
  void SetCellY(int v);
  void SetShowCells(bool v);

  // Refits the picture to the panel, then reports ChangeCropPos.
  void Refit();
  // Places the frame over R (picture pixels). No event.
  void SetCropRect(const TRect& r);
  // The crop rectangle in picture pixels: as stored (survives refits) and as
  // set by SetCropRect, a drag's end and the arrow keys.
  TRect CropRectF() const { return FCropRectF; }
  TRect CropRectPx() const { return FCropRectPx; }
  // The selected part of the picture (the whole picture without a frame),
  // scaled by XScale, YScale of its size on screen when stretched.
  Bitmap24& GetCroppedBitmap(Bitmap24& bitmap, double xScale, double yScale);

  // Where picture and frame are, in panel pixels.
  TRect PictureBounds() const;
  TRect FrameBounds() const;
  bool Dragging() const { return FDragging; }

 signals:
  void ChangeCropPos();
  // Presses and moves passed on from the picture (press: picture
  // coordinates) and the frame (panel coordinates).
  void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void OnMouseMove(Qt::KeyboardModifiers modifiers, int x, int y);

 protected:
  void FitPicture();
  void StoreCropRect();
  // Whether the frame counts for the read-out: the enhanced view asks
  // PictureCrops instead of the frame's current visibility.
  virtual bool FrameCounts() const;
  // A picture that came from elsewhere has no file name.
  void ForgetPictureFileName() { FPictureFileName.clear(); }
  TCropRules Rules;

  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void SetFrameBounds(const TRect& r);
  void PictureMouse(QEvent* event);
  void FrameMouse(QEvent* event);
  void EndDrag();
  void HoverCursor(TPoint inFrame, bool shift);

  TDragOutline* FOutline;
  std::string FPictureFileName;
  bool FPictureStretch = false, FPictureCrops = true;
  int FCropLeft = 0, FCropTop = 0, FCropWidth = 0, FCropHeight = 0;
  TScaleStyle FScaleStyle = ssNoScale;
  int FCellX = 1, FCellY = 1;
  bool FShowCells = true;
  TRect FCropRectF, FCropRectPx;

  bool FDragging = false;      // the frame is being dragged
  bool FPicturePress = false;  // the button went down on the picture
  TDragStart FDrag;
  TRect FDragClip;  // panel pixels the mouse is held in
};
