// TEnCropImage: the crop view of the source-image setup. Everything of
// TCropImage, plus a second copy of the picture as loaded from its file, a
// picture taken from the clipboard or from a scanner, free-form drags that
// stop at the picture's edges, and Shift+arrows that resize freely unless
// the proportion is fixed.
#pragma once
#include "controls/CropImage.h"
#include "platform/Picture.h"

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
  // Shows the first picture of one acquisition (no file name) and frees all
  // the session's pictures; false when none came or anything failed on the
  // way (the acquisition layer reports its own errors).
  bool AcquireTwain();

 protected:
  // A frame hidden by a running drag still counts when PictureCrops is on.
  bool FrameCounts() const override;
};
