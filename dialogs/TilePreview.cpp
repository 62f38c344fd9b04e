#include "dialogs/TilePreview.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Jpeg.h"
#include "platform/Utils.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"
#include "tiledb/VTData.h"

TTilePrev::TTilePrev(QWidget* parent) : QDialog(parent) {
  setObjectName("TilePrev");
  SetHelpContext(this, 30);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  Panel2 = new QWidget(this);
  Panel2->setObjectName("Panel2");
  layout->addWidget(Panel2, 1);
  Image1 = new TCropImage(Panel2);
  Image1->setObjectName("Image1");
  Image1->ResampleStyle = TResampleStyle::None;
  Image1->SetScaleStyle(ssNoScale);

  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  auto* bottom = new QHBoxLayout(Panel1);
  Label1 = new QLabel(Panel1);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  BitBtn1 = new QPushButton("Close", Panel1);
  BitBtn1->setObjectName("BitBtn1");
  bottom->addWidget(Label1, 1);
  bottom->addWidget(BitBtn1);
  layout->addWidget(Panel1);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  SetDialogButtons(this, nullptr, BitBtn1);

  resize(400, 360);
  setMinimumSize(400, 360);
}

void TTilePrev::FitToCenter() {
  const Bitmap24& pic = Image1->Picture();
  if (pic.Width() <= 0 || pic.Height() <= 0) return;
  const TRect r =
      FitRectTo(TRect(0, 0, pic.Width(), pic.Height()), TRect(0, 0, Panel2->width(), Panel2->height()));
  Image1->setGeometry(r.Left, r.Top, r.Width(), r.Height());
  Image1->Refit();
  Image1->SetCropRect(FTileRect);
}

void TTilePrev::LoadFromRecord(const TVTData& table) {
  if (!table.CurPath.empty() && FileExists(table.CurPath)) {
    Image1->SetPictureFileName(table.CurPath);
    setWindowTitle(QString::fromStdString(Format("%s (%dx%d)", ExtractFileName(table.CurPath).c_str(),
                                                 Image1->Picture().Width(), Image1->Picture().Height())));
    Label1->setText(QString::fromStdString(table.CurPath));
    FTileRect = table.CurCropRect;
  } else {
    // The table holds the current thumbnail only while it shows thumbnails.
    std::vector<uint8_t> jpeg = table.CurThumbJpeg;
    if (jpeg.empty() && table.CurRecNo > 0)
      table.ReadThumbBlob(table.RecordInfo(table.CurRecNo).ThumbBlobOffset, jpeg);
    Bitmap24 thumb;
    if (!jpeg.empty())
      JpegDecode(jpeg.data(), jpeg.size(), 0, thumb);
    else
      thumb = table.SampleBitmap;
    Image1->SetPicture(thumb);
    setWindowTitle(QString::fromStdString(
        Format("File not found, it's a stored thumbnial (%dx%d)", thumb.Width(), thumb.Height())));
    Label1->setText(QString::fromStdString(table.CurPath + " (not found!)"));
    FTileRect = TRect(0, 0, thumb.Width(), thumb.Height());
  }
}

void TTilePrev::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FitToCenter();
}

TTilePrev* ShowTilePreview(const TVTData& table, QWidget* parent, bool modal) {
  auto* prev = new TTilePrev(parent);
  LoadFormBounds(SettingsFileName, "LayOut", "TilePreview", prev);
  prev->LoadFromRecord(table);
  prev->FitToCenter();
  prev->Image1->CropShape->setEnabled(false);
  if (modal) {
    prev->exec();
  } else {
    prev->show();
    // Where the user leaves it is kept too.
    QObject::connect(prev, &QDialog::finished, prev,
                     [prev] { SaveFormBounds(SettingsFileName, "LayOut", "TilePreview", prev); });
  }
  SaveFormBounds(SettingsFileName, "LayOut", "TilePreview", prev);
  return prev;
}
