// The warning shown when the output's tiles are larger than the thumbnails
// stored in the library. Results: 1 use stored thumbs, 2 cancel, 4 use the
// original files.
#pragma once
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <string>

#include "platform/qt/Image.h"

enum : int { rwUseThumbs = 1, rwCancel = 2, rwUseOriginals = 4 };

class TResizeWarning : public QDialog {
  Q_OBJECT
 public:
  // The caption is the product's caption followed by " Warning!".
  explicit TResizeWarning(const std::string& productCaption, QWidget* parent = nullptr);

  QLabel *Label1, *Label2, *Label3;
  QGroupBox *GroupBox1, *GroupBox2;
  TImage *Image1, *Image2;
  QPushButton *BitBtn3, *BitBtn2, *BitBtn1;  // Use originals, Use stored thumbs, Cancel

  // The stored tile at its own size on the left, stretched to the output
  // tile size on the right, each centred in its box.
  void ShowTiles(const Bitmap24& storedTile, int outputWidth, int outputHeight);

 public slots:
  void reject() override;
};
