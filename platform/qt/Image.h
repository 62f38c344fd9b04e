// The class library's image control: a widget showing one 24-bit picture,
// either at its own size from the top-left corner or stretched to the
// control (plain nearest-pixel stretch, as the graphics device does).
#pragma once
#include <QWidget>

#include "platform/Bitmap24.h"

class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent = nullptr);

  // The picture; call PictureChanged after changing it in place.
  Bitmap24& Picture() { return FPicture; }
  const Bitmap24& Picture() const { return FPicture; }
  void SetPicture(const Bitmap24& picture);
  void SetPicture(Bitmap24&& picture);
  void PictureChanged();

  bool Stretch() const { return FStretch; }
  void SetStretch(bool v);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Bitmap24 FPicture;
  bool FStretch = false;
  // The stretched picture at the control's size, made once per size or
  // picture, so that repaints during a drag stay cheap on large pictures.
  QImage FScaled;
};
