// TCellShape: a shape control (rectangle, square, rounded or elliptic) whose
// rectangle kinds are divided into a grid of cells, with optional grab
// handles. The crop views use it as their frame, with a clear brush and a
// not-xor pen, so that frame, lines and handles invert what lies beneath and
// stay visible on any picture.
#pragma once
#include <QWidget>
#include <functional>

#include "controls/CropGeometry.h"
#include "platform/Types.h"

enum TPenMode : uint8_t { pmCopy, pmNotXor, pmXor, pmNot };
// bsDiagCross: crossed diagonal lines in the brush colour over whatever lies
// beneath.
enum TBrushStyle : uint8_t { bsSolid, bsClear, bsDiagCross };

// The pen and the brush report every change, so the shape repaints.
class TPen {
 public:
  TColor Color() const { return FColor; }
  int Width() const { return FWidth; }
  TPenMode Mode() const { return FMode; }
  void SetColor(TColor v) { Set(FColor, v); }
  void SetWidth(int v) { Set(FWidth, v); }
  void SetMode(TPenMode v) { Set(FMode, v); }
  void Assign(const TPen& o);
  std::function<void()> OnChange;

 private:
  template <class T>
  void Set(T& field, T v) {
    field = v;
    if (OnChange) OnChange();
  }
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenMode FMode = pmCopy;
};

class TBrush {
 public:
  TColor Color() const { return FColor; }
  TBrushStyle Style() const { return FStyle; }
  void SetColor(TColor v) {
    FColor = v;
    if (OnChange) OnChange();
  }
  void SetStyle(TBrushStyle v) {
    FStyle = v;
    if (OnChange) OnChange();
  }
  void Assign(const TBrush& o);
  std::function<void()> OnChange;

 private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

class TCellShape : public QWidget {
  Q_OBJECT
 public:
  explicit TCellShape(QWidget* parent = nullptr);

  TPen& Pen() { return FPen; }
  TBrush& Brush() { return FBrush; }
  void SetPen(const TPen& pen) { FPen.Assign(pen); }
  void SetBrush(const TBrush& brush) { FBrush.Assign(brush); }

  TShapeType Shape() const { return FShape; }
  void SetShape(TShapeType v);
  int CellX() const { return FCellX; }
  int CellY() const { return FCellY; }
  void SetCellX(int v);
  void SetCellY(int v);
  bool ShowHandles = false;

  // Repaints (the pen's and the brush's change handler).
  void StyleChanged() { update(); }

  // The crop views hide the frame during a drag while it keeps the mouse:
  // it then stays in place but draws nothing.
  void SetDrawn(bool v);
  bool Drawn() const { return FDrawn; }

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  TPen FPen;
  TBrush FBrush;
  TShapeType FShape = stRectangle;
  int FCellX = 0, FCellY = 0;
  bool FDrawn = true;
};
