#include "controls/EnCropImage.h"

#include "controls/MultiTwain.h"
#include "platform/Files.h"
#include "platform/qt/Desktop.h"

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
  TWAIN_SelectImageSource(nullptr);
  return true;
}

namespace {
// The session's pictures are the caller's to free; none is kept, since the
// view takes a copy.
struct TFreeSessionImages {
  ~TFreeSessionImages() {
    for (int i = 0; i < TwainImageCount(); ++i) TwainFreeDib(TwainImageHandle(i));
  }
};
}  // namespace

bool TEnCropImage::AcquireTwain() {
  try {
    // The returned last picture is one of the session's, freed with them.
    TwainAcquireDib(nullptr, 0);
    TFreeSessionImages freeAll;
    if (TwainImageCount() < 1) return false;
    Bitmap24 pic;
    TwainDibToBitmap(TwainImageHandle(0), pic);
    ForgetPictureFileName();
    SetPicture(pic);
    PictureChanged();
    return true;
  } catch (...) {
    // A damaged picture leaves the view as it was.
    return false;
  }
}

bool TEnCropImage::FrameCounts() const {
  return PictureCrops();
}
