#include "platform/qt/QtImage.h"

#include <cstring>

QImage Bitmap24View(const Bitmap24& bitmap) {
  if (bitmap.Empty()) return QImage();
  return QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), qsizetype(bitmap.Stride()),
                QImage::Format_BGR888);
}

QImage Bitmap32View(const TBitmap32& bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return QImage();
  return QImage(reinterpret_cast<const uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                qsizetype(bitmap.Width()) * 4, QImage::Format_RGB32);
}

Bitmap24 QImageToBitmap24(const QImage& image) {
  Bitmap24 out;
  if (image.isNull()) return out;
  const QImage src =
      image.format() == QImage::Format_BGR888 ? image : image.convertToFormat(QImage::Format_BGR888);
  out.SetSize(src.width(), src.height());
  const size_t rowBytes = size_t(src.width()) * 3;
  for (int y = 0; y < src.height(); ++y) std::memcpy(out.ScanLine(y), src.constScanLine(y), rowBytes);
  return out;
}
