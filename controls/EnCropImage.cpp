#include "controls/EnCropImage.h"

#include "platform/Files.h"
#include "platform/qt/Desktop.h"

TTwainLayer& TwainLayer() {
  static TTwainLayer layer;
  return layer;
}

TEnCropImage::TEnCropImage(QWidget* parent) : TCropImage(parent) {
  Rules.ClampFreeDragToPicture = true;
  Rules.FreeShiftResize = true;
}

void TEnCropImage::SetPictureFileName(const std::string& name) {
  if (!FileExists(name)) return;
  TCropImage::SetPictureFileName(name);
  OriginalImg.Bitmap = Picture();
}

bool TEnCropImage::PasteFromClipboard() {
  Bitmap24 pic;
  if (!ClipboardGetPicture(pic)) return false;
  ForgetPictureFileName();
  SetPicture(pic);
  PictureChanged();
  return true;
}

bool TEnCropImage::SelectTwainSource() {
  if (TwainLayer().SelectImageSource) TwainLayer().SelectImageSource();
  return true;
}

bool TEnCropImage::AcquireTwain() {
  if (!TwainLayer().AcquireFirst) return false;
  try {
    Bitmap24 pic;
    if (!TwainLayer().AcquireFirst(pic)) return false;
    ForgetPictureFileName();
    SetPicture(pic);
    PictureChanged();
    return true;
  } catch (...) {
    // Whatever failed was reported by the scanner layer.
    return false;
  }
}

bool TEnCropImage::FrameCounts() const {
  return PictureCrops();
}
