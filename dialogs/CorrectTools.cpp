#include "dialogs/CorrectTools.h"

#include <QGridLayout>
#include <QHBoxLayout>

#include "controls/CropImage.h"
#include "imaging/Adjust.h"
#include "platform/qt/FormUtils.h"

void ApplyCorrections(const Bitmap24& original, Bitmap24& preview, int blurSharp, int contrast,
                      int brightness, int saturation, int channel) {
  preview = original;
  if (contrast != 0) AdjustContrast(preview, contrast, channel);
  if (brightness != 0) AdjustBrightness(preview, brightness, channel);
  if (saturation != 255) AdjustSaturation(preview, saturation, channel);
  if (blurSharp != 0) AdjustBlurSharp(preview, blurSharp, channel);
}

std::pair<std::string, std::string> BlurSharpLabels(int p) {
  if (p < 0) return {"Blur: " + std::to_string(p), "Sharp"};
  if (p > 0) return {"Blur", "Sharp: +" + std::to_string(p)};
  return {"Blur", "Sharp"};
}

namespace {
QScrollBar* Bar(QWidget* parent, const char* name, const char* hint, int min, int max, int value, int page) {
  auto* b = new QScrollBar(Qt::Horizontal, parent);
  b->setObjectName(name);
  b->setToolTip(hint);
  b->setRange(min, max);
  b->setValue(value);
  b->setPageStep(page);
  b->setMinimumWidth(200);
  return b;
}
// A spin edit whose limits are its scroll bar's.
TKWSpinEdit* Spin(QWidget* parent, const char* name, const char* hint, const QScrollBar* bar) {
  auto* s = new TKWSpinEdit(parent);
  s->setObjectName(name);
  s->setToolTip(hint);
  s->MinValue = bar->minimum();
  s->MaxValue = bar->maximum();
  s->SetValue(bar->value());
  return s;
}
QPushButton* Button(QWidget* parent, const char* name, const char* text, const char* hint) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setToolTip(hint);
  return b;
}
}  // namespace

TPicTools::TPicTools(TCropImage* view, QWidget* parent) : QDialog(parent), FView(view) {
  setWindowTitle("Picture Correction Tools");
  setWindowFlag(Qt::WindowStaysOnTopHint);
  ScrollBar1 = Bar(this, "ScrollBar1", "Blur/Sharp control", -10, 10, 0, 1);
  sContrast = Bar(this, "sContrast", "Contrast control", -255, 255, 0, 10);
  sLightness = Bar(this, "sLightness", "Brightness control", -255, 255, 0, 10);
  sSaturation = Bar(this, "sSaturation", "Saturation control", 0, 510, 255, 10);
  KWSpinEdit1 = Spin(this, "KWSpinEdit1", "Blur/Sharp value (default 0)", ScrollBar1);
  KWSpinEdit2 = Spin(this, "KWSpinEdit2", "Contrast value (default 0)", sContrast);
  KWSpinEdit3 = Spin(this, "KWSpinEdit3", "Brightness value (default 0)", sLightness);
  KWSpinEdit4 = Spin(this, "KWSpinEdit4", "Saturation value (default 255)", sSaturation);
  KWSpinEdit5 = new TKWSpinEdit(this);
  KWSpinEdit5->setObjectName("KWSpinEdit5");
  KWSpinEdit5->MinValue = 0;
  KWSpinEdit5->MaxValue = 3;
  KWSpinEdit5->SetValue(0);
  Label1 = new QLabel("Blur", this);
  Label2 = new QLabel("Sharp", this);
  Label7 = new QLabel("Max", this);
  Label8 = new QLabel("Min", this);
  chkAutopreview = new QCheckBox("Auto preview", this);
  chkAutopreview->setObjectName("chkAutopreview");
  chkAutopreview->setToolTip("Show preview in the main screen interactively ");
  chkAutopreview->setChecked(true);
  SpeedButton1 = Button(this, "SpeedButton1", "Reset All", "Set all values to default. I.e. no correction");
  BitBtn2 = Button(this, "BitBtn2", "Refresh", "Refresh picture in the main screen");
  BitBtn3 = Button(this, "BitBtn3", "Cancel", "Don't use corrections");
  BitBtn4 = Button(this, "BitBtn4", "OK", "Use corrections");

  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel("Blur/Sharp:", this), 0, 0);
  auto* ends = new QHBoxLayout;
  ends->addWidget(Label1);
  ends->addStretch();
  ends->addWidget(Label2);
  grid->addLayout(ends, 0, 1);
  grid->addWidget(ScrollBar1, 1, 1);
  grid->addWidget(KWSpinEdit1, 1, 2);
  const std::pair<const char*, std::pair<QScrollBar*, TKWSpinEdit*>> rows[] = {
      {"Contrast:", {sContrast, KWSpinEdit2}},
      {"Brightness:", {sLightness, KWSpinEdit3}},
      {"Saturation:", {sSaturation, KWSpinEdit4}}};
  int r = 2;
  for (const auto& [text, controls] : rows) {
    grid->addWidget(new QLabel(text, this), r, 0);
    grid->addWidget(controls.first, r, 1);
    grid->addWidget(controls.second, r, 2);
    ++r;
  }
  auto* minMax = new QHBoxLayout;
  minMax->addWidget(Label8);
  minMax->addStretch();
  minMax->addWidget(Label7);
  grid->addLayout(minMax, r++, 1);
  grid->addWidget(new QLabel("Channel (0 all, 1 red, 2 green, 3 blue):", this), r, 0, 1, 2);
  grid->addWidget(KWSpinEdit5, r++, 2);
  grid->addWidget(chkAutopreview, r++, 0, 1, 3);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {SpeedButton1, BitBtn2}) buttons->addWidget(b);
  buttons->addStretch();
  for (QPushButton* b : {BitBtn3, BitBtn4}) buttons->addWidget(b);
  grid->addLayout(buttons, r, 0, 1, 3);
  SetDialogButtons(this, BitBtn4, BitBtn3);

  for (QScrollBar* b : {ScrollBar1, sContrast, sLightness, sSaturation})
    connect(b, &QScrollBar::valueChanged, this, &TPicTools::ScrollBar1Change);
  for (TKWSpinEdit* s : {KWSpinEdit1, KWSpinEdit2, KWSpinEdit3, KWSpinEdit4})
    connect(s, &TKWSpinEdit::OnRealChange, this, &TPicTools::SpinEditChange);
  connect(SpeedButton1, &QPushButton::clicked, this, &TPicTools::SpeedButton1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TPicTools::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TPicTools::BitBtn3Click);
  connect(BitBtn4, &QPushButton::clicked, this, &TPicTools::BitBtn4Click);
  KWSpinEdit1->setFocus();
}

std::array<std::pair<QScrollBar*, TKWSpinEdit*>, 4> TPicTools::Adjustments() const {
  return {{{ScrollBar1, KWSpinEdit1},
           {sContrast, KWSpinEdit2},
           {sLightness, KWSpinEdit3},
           {sSaturation, KWSpinEdit4}}};
}

void TPicTools::ScrollBar1Change() {
  for (const auto& [bar, spin] : Adjustments())
    if (spin->Value() != bar->value()) spin->SetValue(bar->value());
  const auto [blur, sharp] = BlurSharpLabels(ScrollBar1->value());
  Label1->setText(QString::fromStdString(blur));
  Label2->setText(QString::fromStdString(sharp));
  if (chkAutopreview->isChecked()) DrawPreview();
}

void TPicTools::SpinEditChange() {
  for (const auto& [bar, spin] : Adjustments())
    if (spin == sender() && bar->value() != spin->Value()) bar->setValue(spin->Value());
}

void TPicTools::DrawPreview() {
  ApplyCorrections(FOriginalBitmap, FPreviewBitmap, ScrollBar1->value(), sContrast->value(),
                   sLightness->value(), sSaturation->value(), KWSpinEdit5->Value());
  if (FView) FView->SetPicture(FPreviewBitmap);
}

void TPicTools::SpeedButton1Click() {
  ScrollBar1->setValue(0);
  sContrast->setValue(0);
  sLightness->setValue(0);
  sSaturation->setValue(255);
}

void TPicTools::BitBtn2Click() {
  DrawPreview();
}

void TPicTools::BitBtn3Click() {
  if (FView) FView->SetPicture(FOriginalBitmap);
  reject();
}

void TPicTools::BitBtn4Click() {
  accept();
}
