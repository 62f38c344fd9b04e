#include "platform/qt/Image.h"

#include <QPainter>

#include "platform/qt/QtImage.h"

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const Bitmap24& picture) {
  FPicture = picture;
  update();
}

void TImage::SetPicture(Bitmap24&& picture) {
  FPicture = std::move(picture);
  update();
}

void TImage::SetStretch(bool v) {
  if (FStretch == v) return;
  FStretch = v;
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (FPicture.Empty()) return;
  QPainter p(this);
  const QImage img = Bitmap24View(FPicture);
  if (FStretch)
    p.drawImage(rect(), img);
  else
    p.drawImage(0, 0, img);
}
