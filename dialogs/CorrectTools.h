// TPicTools: the picture correction tools of the source setup. Contrast,
// brightness, saturation and sharpening, for all channels or one, worked on
// a copy of the picture; each preview goes straight into the source setup's
// view, OK keeps what the view shows and Cancel puts the picture back.
#pragma once
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <array>
#include <string>
#include <utility>

#include "controls/KWSpin.h"
#include "platform/Bitmap24.h"

class TCropImage;

// The corrections in the tools' order, each skipped at its neutral value
// (0, 0, 255, 0): contrast, brightness, saturation, then blur/sharpen.
void ApplyCorrections(const Bitmap24& original, Bitmap24& preview, int blurSharp, int contrast,
                      int brightness, int saturation, int channel);
// The texts at the two ends of the blur/sharpen bar for its position.
std::pair<std::string, std::string> BlurSharpLabels(int position);

class TPicTools : public QDialog {
  Q_OBJECT
 public:
  // view: the source setup's crop view, which shows every preview.
  explicit TPicTools(TCropImage* view, QWidget* parent = nullptr);

  QScrollBar *ScrollBar1, *sContrast, *sLightness, *sSaturation;
  TKWSpinEdit *KWSpinEdit1, *KWSpinEdit2, *KWSpinEdit3, *KWSpinEdit4, *KWSpinEdit5;
  QLabel *Label1, *Label2, *Label7, *Label8;
  QCheckBox* chkAutopreview;
  QPushButton *SpeedButton1, *BitBtn2, *BitBtn3, *BitBtn4;

  // The picture as it was when the window opened, and the working copy;
  // the caller fills both.
  Bitmap24 FOriginalBitmap, FPreviewBitmap;

  void DrawPreview();

 public slots:
  void ScrollBar1Change();
  void SpinEditChange();
  void SpeedButton1Click();
  void BitBtn2Click();
  void BitBtn3Click();
  void BitBtn4Click();

 private:
  // Each adjustment's scroll bar with the spin edit kept equal to it.
  std::array<std::pair<QScrollBar*, TKWSpinEdit*>, 4> Adjustments() const;
  TCropImage* FView;
};
