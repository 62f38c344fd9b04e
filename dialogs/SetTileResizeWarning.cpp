#include "dialogs/SetTileResizeWarning.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt/FormUtils.h"

namespace {
// The boxes hold a mosaic tile of ordinary size at its own size.
constexpr int BoxWidth = 240, BoxHeight = 200;

void Centre(TImage* image, const QGroupBox* box) {
  const QRect area = box->contentsRect();
  const int w = image->width(), h = image->height();
  image->move((area.width() - w) / 2, (area.height() - h) / 2);
}
}  // namespace

TResizeWarning::TResizeWarning(const std::string& productCaption, QWidget* parent) : QDialog(parent) {
  setObjectName("ResizeWarning");
  setWindowTitle(QString::fromStdString(productCaption + " Warning!"));
  auto* layout = new QVBoxLayout(this);
  Label1 = new QLabel(
      "Supposed tile size in the output mosaic is larger then size of tiles stored in the library. It is "
      "recommended to use original image files for mosaic creation",
      this);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  layout->addWidget(Label1);
  auto* grid = new QGridLayout;
  Label2 = new QLabel("Tile in the library:", this);
  Label3 = new QLabel("Tile in the mosaic:", this);
  GroupBox1 = new QGroupBox(this);
  GroupBox2 = new QGroupBox(this);
  for (QGroupBox* b : {GroupBox1, GroupBox2}) b->setFixedSize(BoxWidth, BoxHeight);
  Image1 = new TImage(GroupBox1);
  Image2 = new TImage(GroupBox2);
  Image1->setObjectName("Image1");
  Image2->setObjectName("Image2");
  Image2->SetStretch(true);
  grid->addWidget(Label2, 0, 0);
  grid->addWidget(Label3, 0, 1);
  grid->addWidget(GroupBox1, 1, 0);
  grid->addWidget(GroupBox2, 1, 1);
  layout->addLayout(grid);
  auto* buttons = new QHBoxLayout;
  BitBtn3 = new QPushButton("Use originals", this);
  BitBtn2 = new QPushButton("Use stored thumbs", this);
  BitBtn1 = new QPushButton("Cancel", this);
  BitBtn3->setObjectName("BitBtn3");
  BitBtn2->setObjectName("BitBtn2");
  BitBtn1->setObjectName("BitBtn1");
  buttons->addStretch(1);
  for (QPushButton* b : {BitBtn3, BitBtn2, BitBtn1}) buttons->addWidget(b);
  SetDialogButtons(this, nullptr, BitBtn1);
  layout->addLayout(buttons);
  connect(BitBtn3, &QPushButton::clicked, this, [this] { done(rwUseOriginals); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { done(rwUseThumbs); });
  connect(BitBtn1, &QPushButton::clicked, this, &TResizeWarning::reject);
  setFixedSize(sizeHint());
}

void TResizeWarning::ShowTiles(const Bitmap24& storedTile, int outputWidth, int outputHeight) {
  Image1->SetPicture(storedTile);
  Image1->resize(storedTile.Width(), storedTile.Height());
  Image2->SetPicture(storedTile);
  Image2->resize(std::max(outputWidth, 0), std::max(outputHeight, 0));
  Centre(Image1, GroupBox1);
  Centre(Image2, GroupBox2);
}

void TResizeWarning::reject() {
  done(rwCancel);
}
