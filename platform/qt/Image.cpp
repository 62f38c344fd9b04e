#include "platform/qt/Image.h"

#include <QPainter>

#include "platform/qt/QtImage.h"

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const Bitmap24& picture) {
  FPicture = picture;
  PictureChanged();
}

void TImage::SetPicture(Bitmap24&& picture) {
  FPicture = std::move(picture);
  PictureChanged();
}

void TImage::PictureChanged() {
  FScaled = QImage();
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
  if (FStretch) {
    if (FScaled.size() != size()) FScaled = img.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    p.drawImage(0, 0, FScaled);
  } else
    p.drawImage(0, 0, img);
}
