// TEnCropImage: the crop view of the source-image setup. Everything of
// TCropImage, plus a second copy of the picture as loaded from its file, a
// picture taken from the clipboard or from a scanner, free-form drags that
// stop at the picture's edges, and Shift+arrows that resize freely unless
// the proportion is fixed.
#pragma once
#include <functional>

#include "controls/CropImage.h"
#include "platform/Picture.h"

// The scanner layer the view acquires through. This platform has no TWAIN
// source manager, so both are empty unless a device layer is installed:
// selecting a source then does nothing and acquiring delivers no picture.
struct TTwainLayer {
  // Shows the source selection; true when the user confirmed a source.
  std::function<bool()> SelectImageSource;
  // Runs one acquisition; true with the first picture of it in out. Errors
  // are reported by the layer itself.
  std::function<bool(Bitmap24& out)> AcquireFirst;
};
TTwainLayer& TwainLayer();

class TEnCropImage : public TCropImage {
  Q_OBJECT
 public:
  explicit TEnCropImage(QWidget* parent = nullptr);

  // The picture as loaded from its file; a paste or an acquisition replaces
  // only the picture shown (CropPicture).
  TPicture OriginalImg;

  // Loads the file into OriginalImg and shows a copy of it; a name that does
  // not exist is ignored, a file that cannot be read raises.
  void SetPictureFileName(const std::string& name);
  // Refits the picture and reports ChangeCropPos.
  void PictureChanged() { Refit(); }

  // Shows the clipboard's picture (no file name); false, nothing changed,
  // when the clipboard holds none.
  bool PasteFromClipboard();
  // The scanner's source selection; true whatever was chosen.
  bool SelectTwainSource();
  // Shows the first picture a scanner delivers (no file name); false when
  // none came or anything failed on the way.
  bool AcquireTwain();

 protected:
  // A frame hidden by a running drag still counts when PictureCrops is on.
  bool FrameCounts() const override;
};
