#include "dialogs/SetTileForm.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

#include "dialogs/SetTileJpegOptions.h"
#include "dialogs/SetTileResizeWarning.h"
#include "imaging/TileRender.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Rounding.h"
#include "platform/Utils.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"

TSetTileForm* SetTileForm = nullptr;

double PixelsToUnits(int units, int dpi, int pixels) {
  switch (units) {
    case 0:
      return pixels;
    case 1:
      return dpi ? double(pixels) / dpi : 0.0;
    case 2:
      return dpi ? double(pixels) / dpi / InchesPerCm : 0.0;
    default:
      return 0.0;
  }
}

int UnitsToPixels(int units, int dpi, double value) {
  switch (units) {
    case 0:
      return int(RoundHalfEven(value));
    case 1:
      return int(RoundHalfEven(value * dpi));
    case 2:
      return int(RoundHalfEven(value * dpi * InchesPerCm));
    default:
      return 0;
  }
}

std::string FormatNumberN(double value) {
  std::string digits = Format("%.2f", std::fabs(value));
  const size_t point = digits.find('.');
  std::string whole = digits.substr(0, point), grouped;
  for (size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) grouped += ',';
    grouped += whole[i];
  }
  const bool negative = value < 0 && digits != "0.00";
  return (negative ? "-" : "") + grouped + digits.substr(point);
}

std::string OutputExtension(int filterIndex) {
  static const char* const exts[] = {".tif", ".jpg", ".bmp", ".txt", ".bmp", ".html"};
  return filterIndex >= 1 && filterIndex <= 6 ? exts[filterIndex - 1] : "";
}

namespace {

QLabel* NewLabel(const char* text, QWidget* parent, const char* name = nullptr) {
  auto* l = new QLabel(text, parent);
  if (name) l->setObjectName(name);
  return l;
}

TKWRealSpinEdit* NewRealSpin(QWidget* parent, const char* name, double maxValue, int decimals) {
  auto* s = new TKWRealSpinEdit(parent);
  s->setObjectName(name);
  s->MaxValue = maxValue;
  s->DigAfterPoint = decimals;
  s->Increment = 1;
  return s;
}

QLabel* NewSwatch(QWidget* parent, const char* name) {
  auto* s = new QLabel(parent);
  s->setObjectName(name);
  s->setFixedSize(32, 20);
  s->setFrameShape(QFrame::Box);
  s->setAutoFillBackground(true);
  return s;
}

TColor SwatchColor(const QLabel* swatch) {
  return TColor(swatch->property("vtColor").toUInt());
}

void SetSwatchColor(QLabel* swatch, TColor c) {
  swatch->setProperty("vtColor", uint(c));
  QPalette p = swatch->palette();
  p.setColor(QPalette::Window, QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)));
  swatch->setPalette(p);
}

// Runs a settings-file access; the settings are a convenience, never a reason to fail.
template <typename F>
void Quietly(F f) {
  try {
    f();
  } catch (...) {
  }
}

}  // namespace

TSetTileForm::TSetTileForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SetTileForm");
  setWindowTitle("Output mosaic setup");
  SetHelpContext(this, 20);
  auto* main = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->addItems({"pixels", "inches", "cm"});
  ComboBox1->setCurrentIndex(0);
  SpinEdit8 = NewRealSpin(this, "SpinEdit8", 999999999, 0);
  SpinEdit8->SetValue(150);
  top->addWidget(NewLabel("Units:", this));
  top->addWidget(ComboBox1);
  top->addWidget(NewLabel("Resolution:", this));
  top->addWidget(SpinEdit8);
  top->addWidget(NewLabel("dpi:", this));
  top->addStretch(1);
  main->addLayout(top);

  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);
  main->addLayout(columns);

  auto* mosaic = new QGroupBox("Mosaic", this);
  auto* mg = new QGridLayout(mosaic);
  KWRealSpinOMW = NewRealSpin(mosaic, "KWRealSpinOMW", 999999999, 4);
  KWRealSpinOMH = NewRealSpin(mosaic, "KWRealSpinOMH", 999999999, 4);
  Label4 = NewLabel("Pix", mosaic, "Label4");
  Label25 = NewLabel("Pix", mosaic, "Label25");
  mg->addWidget(NewLabel("Width:", mosaic), 0, 0);
  mg->addWidget(KWRealSpinOMW, 0, 1);
  mg->addWidget(Label4, 0, 2);
  mg->addWidget(NewLabel("Height:", mosaic), 1, 0);
  mg->addWidget(KWRealSpinOMH, 1, 1);
  mg->addWidget(Label25, 1, 2);
  left->addWidget(mosaic);

  auto* info = new QGroupBox("Image output info", this);
  auto* ig = new QVBoxLayout(info);
  Label27 = NewLabel("Single tile size:", info, "Label27");
  Label28 = NewLabel("", info, "Label28");
  Label9 = NewLabel("", info, "Label9");
  Label29 = NewLabel("", info, "Label29");
  Label14 = NewLabel("Output size:", info, "Label14");
  Label10 = NewLabel("", info, "Label10");
  Label11 = NewLabel("", info, "Label11");
  Label12 = NewLabel("", info, "Label12");
  Label17 = NewLabel("", info, "Label17");
  for (QLabel* l : {Label27, Label28, Label9, Label29, Label14, Label10, Label11, Label12, Label17})
    ig->addWidget(l);
  left->addWidget(info);

  GroupBox7 = new QGroupBox("Layout", this);
  GroupBox7->setObjectName("GroupBox7");
  GroupBox7->setFixedSize(220, 180);
  // The preview's outline, a pixel outside the picture, so that the
  // output's edge shows whatever the border colour.
  Shape1 = new TCellShape(GroupBox7);
  Shape1->setObjectName("Shape1");
  Shape1->Brush().SetStyle(bsClear);
  Shape1->hide();
  Image1 = new TImage(GroupBox7);
  Image1->setObjectName("Image1");
  left->addWidget(GroupBox7);

  auto* grid = new QGroupBox("Grid", this);
  auto* gg = new QGridLayout(grid);
  CheckBox1 = new QCheckBox("Draw grid", grid);
  CheckBox1->setObjectName("CheckBox1");
  Shape2 = NewSwatch(grid, "Shape2");
  LabelGridColor = NewLabel("Grid color", grid);
  KWRealSpinEdit1 = NewRealSpin(grid, "KWRealSpinEdit1", 999999999, 0);
  KWRealSpinEdit1->MinValue = 1;
  KWRealSpinEdit1->SetValue(1);
  LabelLineWidth = NewLabel("Line width", grid);
  LabelPixels = NewLabel("(pixels)", grid);
  gg->addWidget(CheckBox1, 0, 0, 1, 3);
  gg->addWidget(Shape2, 1, 0);
  gg->addWidget(LabelGridColor, 1, 1, 1, 2);
  gg->addWidget(LabelLineWidth, 2, 0);
  gg->addWidget(KWRealSpinEdit1, 2, 1);
  gg->addWidget(LabelPixels, 2, 2);
  right->addWidget(grid);

  auto* borders = new QGroupBox("Borders", this);
  auto* bg = new QGridLayout(borders);
  CheckBox2 = new QCheckBox("Add borders", borders);
  CheckBox2->setObjectName("CheckBox2");
  Shape3 = NewSwatch(borders, "Shape3");
  LabelBorderColor = NewLabel("Border color", borders);
  bg->addWidget(CheckBox2, 0, 0, 1, 3);
  bg->addWidget(Shape3, 1, 0);
  bg->addWidget(LabelBorderColor, 1, 1, 1, 2);
  KWRealSpinEdit2 = NewRealSpin(borders, "KWRealSpinEdit2", 999999999, 4);
  KWRealSpinEdit3 = NewRealSpin(borders, "KWRealSpinEdit3", 999999999, 4);
  KWRealSpinEdit4 = NewRealSpin(borders, "KWRealSpinEdit4", 999999999, 4);
  KWRealSpinEdit5 = NewRealSpin(borders, "KWRealSpinEdit5", 999999999, 4);
  LabelTop = NewLabel("Top", borders);
  LabelLeft = NewLabel("Left", borders);
  LabelRight = NewLabel("Right", borders);
  LabelBottom = NewLabel("Bottom", borders);
  Label18 = NewLabel("Pix", borders, "Label18");
  Label19 = NewLabel("Pix", borders, "Label19");
  Label20 = NewLabel("Pix", borders, "Label20");
  Label21 = NewLabel("Pix", borders, "Label21");
  const std::array<std::array<QWidget*, 3>, 4> rows{{{LabelTop, KWRealSpinEdit2, Label18},
                                                     {LabelLeft, KWRealSpinEdit3, Label19},
                                                     {LabelRight, KWRealSpinEdit4, Label20},
                                                     {LabelBottom, KWRealSpinEdit5, Label21}}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 3; ++j) bg->addWidget(rows[size_t(i)][size_t(j)], i + 2, j);
  right->addWidget(borders);

  auto* colour = new QGroupBox("Color enhance", this);
  auto* cg = new QGridLayout(colour);
  KWSpinEdit2 = new TKWSpinEdit(colour);
  KWSpinEdit2->setObjectName("KWSpinEdit2");
  KWSpinEdit1 = new TKWSpinEdit(colour);
  KWSpinEdit1->setObjectName("KWSpinEdit1");
  SetHelpContext(KWSpinEdit1, 21);
  for (TKWSpinEdit* s : {KWSpinEdit1, KWSpinEdit2}) s->MaxValue = 100;
  CheckBox7 = new QCheckBox("Detailed blend", colour);
  CheckBox7->setObjectName("CheckBox7");
  cg->addWidget(NewLabel("Color correction %", colour), 0, 0);
  cg->addWidget(KWSpinEdit2, 0, 1);
  cg->addWidget(NewLabel("Blend tile colors %", colour), 1, 0);
  cg->addWidget(KWSpinEdit1, 1, 1);
  cg->addWidget(CheckBox7, 2, 0, 1, 2);
  right->addWidget(colour);

  auto* advanced = new QGroupBox("Advanced", this);
  auto* ag = new QVBoxLayout(advanced);
  CheckBox3 = new QCheckBox("Use stored thumbs", advanced);
  CheckBox6 = new QCheckBox("Sharpen tiles", advanced);
  CheckBox8 = new QCheckBox("Detailed background", advanced);
  CheckBox3->setChecked(true);
  CheckBox6->setChecked(true);
  CheckBox8->setVisible(false);
  ag->addWidget(CheckBox3);
  ag->addWidget(CheckBox6);
  ag->addWidget(CheckBox8);
  right->addWidget(advanced);

  auto* system = new QGroupBox("System", this);
  auto* sg = new QVBoxLayout(system);
  CheckBox4 = new QCheckBox("Write direct to disk (no RAM)", system);
  CheckBox5 = new QCheckBox("Use fast jpg reading/resizing", system);
  CheckBox4->setChecked(true);
  CheckBox5->setChecked(true);
  sg->addWidget(CheckBox4);
  sg->addWidget(CheckBox5);
  right->addWidget(system);
  CheckBox3->setObjectName("CheckBox3");
  CheckBox4->setObjectName("CheckBox4");
  CheckBox5->setObjectName("CheckBox5");
  CheckBox6->setObjectName("CheckBox6");
  CheckBox8->setObjectName("CheckBox8");

  spnJpgQuality = NewRealSpin(this, "spnJpgQuality", 100, 0);
  spnJpgQuality->SetValue(80);
  spnJpgQuality->setVisible(false);
  Label5 = NewLabel("100% best", this, "Label5");
  Label5->setVisible(false);

  auto* buttons = new QHBoxLayout;
  ButtonHLP = new QPushButton("Help", this);
  BtnStop = new QPushButton("Stop", this);
  Button1 = new QPushButton("Close", this);
  Button2 = new QPushButton("Save as", this);
  ButtonHLP->setObjectName("ButtonHLP");
  BtnStop->setObjectName("BtnStop");
  Button1->setObjectName("Button1");
  Button2->setObjectName("Button2");
  BtnStop->setEnabled(false);
  // No OK here: Enter saves nothing, Esc is "Close", which keeps the settings.
  SetDialogButtons(this, nullptr, Button1);
  buttons->addWidget(ButtonHLP);
  buttons->addStretch(1);
  for (QPushButton* b : {BtnStop, Button1, Button2}) buttons->addWidget(b);
  main->addLayout(buttons);
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusPanel0 = new QLabel(StatusBar1);
  StatusBar1->addWidget(StatusPanel0, 1);
  main->addWidget(StatusBar1);

  SaveDialog1.Filter =
      "Tiff files|*.tif|Jpeg files|*.jpg|BMP files|*.bmp|Text list of images|*.txt|Image sequence|*.bmp|HTML "
      "table|*.html";
  SaveDialog2.Filter = "Jpeg files|*.jpg";

  connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TSetTileForm::ComboBox1Change);
  connect(SpinEdit8, &TKWRealSpinEdit::OnRealChange, this, &TSetTileForm::SpinEdit8RealChange);
  connect(KWRealSpinOMW, &TKWRealSpinEdit::OnRealChange, this, &TSetTileForm::KWRealSpinOMWRealChange);
  connect(KWRealSpinOMH, &TKWRealSpinEdit::OnRealChange, this, &TSetTileForm::KWRealSpinOMHRealChange);
  for (TKWRealSpinEdit* s : {KWRealSpinEdit2, KWRealSpinEdit3, KWRealSpinEdit4, KWRealSpinEdit5})
    connect(s, &TKWRealSpinEdit::OnRealChange, this, &TSetTileForm::BorderSpinRealChange);
  connect(KWRealSpinEdit1, &TKWRealSpinEdit::OnRealChange, this, &TSetTileForm::DrawLayoutPreview);
  for (TKWSpinEdit* s : {KWSpinEdit1, KWSpinEdit2})
    connect(s, &TKWSpinEdit::OnRealChange, this, &TSetTileForm::KWSpinEdit1RealChange);
  connect(CheckBox1, &QCheckBox::clicked, this, &TSetTileForm::CheckBox1Click);
  connect(CheckBox2, &QCheckBox::clicked, this, &TSetTileForm::CheckBox2Click);
  Shape2->installEventFilter(this);
  Shape3->installEventFilter(this);
  connect(ButtonHLP, &QPushButton::clicked, this, &TSetTileForm::ButtonHLPClick);
  connect(BtnStop, &QPushButton::clicked, this, &TSetTileForm::BtnStopClick);
  connect(Button1, &QPushButton::clicked, this, &TSetTileForm::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TSetTileForm::Button2Click);

  SetGridColor(0);
  SetBorderColor(0);
  LoadSettings();
  CheckBox1Click();
  FUpdating = true;  // the enabling of the border controls only; no preview yet
  CheckBox2Click();
  FUpdating = false;
}

TSetTileForm::~TSetTileForm() {
  SaveSettings();
  if (SetTileForm == this) SetTileForm = nullptr;
}

TColor TSetTileForm::BorderColor() const {
  return SwatchColor(Shape3);
}
TColor TSetTileForm::GridColor() const {
  return SwatchColor(Shape2);
}
void TSetTileForm::SetBorderColor(TColor c) {
  SetSwatchColor(Shape3, c);
}
void TSetTileForm::SetGridColor(TColor c) {
  SetSwatchColor(Shape2, c);
}
void TSetTileForm::SetStatusText(const std::string& text) {
  StatusPanel0->setText(QString::fromStdString(text));
}
std::string TSetTileForm::StatusText() const {
  return StatusPanel0->text().toStdString();
}

void TSetTileForm::LoadSettings() {
  const std::string& ini = SettingsFileName;
  Quietly([&] {
    SetBorderColor(TColor(IniReadInteger(ini, "Output", "BorderColor", 0)));
    FMosaicWidth = IniReadInteger(ini, "Output", "MosaicWidth", 0);
    FMosaicHeight = IniReadInteger(ini, "Output", "MosaicHeight", 0);
    FBorderLeft = IniReadInteger(ini, "Output", "BorderLeft", 0);
    FBorderTop = IniReadInteger(ini, "Output", "BorderTop", 0);
    FBorderRight = IniReadInteger(ini, "Output", "BorderRight", 0);
    FBorderBottom = IniReadInteger(ini, "Output", "BorderBottom", 0);
    SetGridColor(TColor(IniReadInteger(ini, "Output", "GridColor", 0)));
    // A resolution below 1 would make every inch and cm size a division by zero.
    FDPI = std::max(1, IniReadInteger(ini, "Output", "DPI", 150));
    const bool updating = FUpdating;
    FUpdating = true;
    SpinEdit8->SetValue(FDPI);
    const int units = IniReadInteger(ini, "Output", "Units", 0);
    ComboBox1->setCurrentIndex(units >= 0 && units <= 2 ? units : 0);
    CheckBox2->setChecked(IniReadBool(ini, "Output", "Borders", false));
    CheckBox1->setChecked(IniReadBool(ini, "Output", "Grid", false));
    CheckBox3->setChecked(IniReadBool(ini, "Output", "UseThumb", true));
    CheckBox4->setChecked(IniReadBool(ini, "Output", "DirectToDisk", true));
    CheckBox6->setChecked(IniReadBool(ini, "Output", "SharpenTiles", true));
    CheckBox7->setChecked(IniReadBool(ini, "Output", "DetailedBlend", false));
    SaveDialog1.FilterIndex = IniReadInteger(ini, "Output", "FileFormat", 1);
    if (IniReadBool(ini, "StartUp", "RememberBlendSetting", false)) {
      KWSpinEdit1->SetValue(IniReadInteger(ini, "Output", "Blending", 0));
      KWSpinEdit2->SetValue(IniReadInteger(ini, "Output", "ColorCorrection", 0));
    } else {
      KWSpinEdit1->SetValue(0);
      KWSpinEdit2->SetValue(0);
    }
    FUpdating = updating;
  });
}

void TSetTileForm::SaveSettings() {
  const std::string& ini = SettingsFileName;
  Quietly([&] {
    IniWriteInteger(ini, "Output", "BorderColor", int32_t(BorderColor()));
    IniWriteInteger(ini, "Output", "MosaicWidth", FMosaicWidth);
    IniWriteInteger(ini, "Output", "MosaicHeight", FMosaicHeight);
    IniWriteInteger(ini, "Output", "BorderLeft", FBorderLeft);
    IniWriteInteger(ini, "Output", "BorderTop", FBorderTop);
    IniWriteInteger(ini, "Output", "BorderRight", FBorderRight);
    IniWriteInteger(ini, "Output", "BorderBottom", FBorderBottom);
    IniWriteInteger(ini, "Output", "GridColor", int32_t(GridColor()));
    IniWriteInteger(ini, "Output", "DPI", FDPI);
    IniWriteInteger(ini, "Output", "Units", Units());
    IniWriteBool(ini, "Output", "Borders", CheckBox2->isChecked());
    IniWriteBool(ini, "Output", "Grid", CheckBox1->isChecked());
    IniWriteBool(ini, "Output", "UseThumb", CheckBox3->isChecked());
    IniWriteBool(ini, "Output", "DirectToDisk", CheckBox4->isChecked());
    IniWriteBool(ini, "Output", "SharpenTiles", CheckBox6->isChecked());
    IniWriteBool(ini, "Output", "DetailedBlend", CheckBox7->isChecked());
    IniWriteInteger(ini, "Output", "FileFormat", SaveDialog1.FilterIndex);
    if (IniReadBool(ini, "StartUp", "RememberBlendSetting", false)) {
      IniWriteInteger(ini, "Output", "Blending", KWSpinEdit1->CommittedValue());
      IniWriteInteger(ini, "Output", "ColorCorrection", KWSpinEdit2->CommittedValue());
    } else {
      const bool updating = FUpdating;
      FUpdating = true;
      KWSpinEdit1->SetValue(0);
      KWSpinEdit2->SetValue(0);
      FUpdating = updating;
    }
  });
}

TRect TSetTileForm::ActiveBorders() const {
  if (!CheckBox2->isChecked()) return TRect(0, 0, 0, 0);
  return TRect(FBorderLeft, FBorderTop, FBorderRight, FBorderBottom);
}

void TSetTileForm::ShowSizeInfo() {
  const TRect b = ActiveBorders();
  const int W = FMosaicWidth, H = FMosaicHeight, u = Units();
  FUpdating = true;
  const int decimals = u == 0 ? 0 : 4;
  for (TKWRealSpinEdit* s :
       {KWRealSpinOMW, KWRealSpinOMH, KWRealSpinEdit2, KWRealSpinEdit3, KWRealSpinEdit4, KWRealSpinEdit5})
    s->DigAfterPoint = decimals;
  KWRealSpinOMW->SetValue(PixelsToUnits(u, FDPI, W));
  KWRealSpinOMH->SetValue(PixelsToUnits(u, FDPI, H));
  KWRealSpinEdit2->SetValue(PixelsToUnits(u, FDPI, FBorderTop));
  KWRealSpinEdit3->SetValue(PixelsToUnits(u, FDPI, FBorderLeft));
  KWRealSpinEdit4->SetValue(PixelsToUnits(u, FDPI, FBorderRight));
  KWRealSpinEdit5->SetValue(PixelsToUnits(u, FDPI, FBorderBottom));
  if (FCols == 0) FCols = 1;
  if (FRows == 0) FRows = 1;
  const int fw = b.Left + W + b.Right, fh = b.Top + H + b.Bottom;
  auto setText = [](QLabel* l, const std::string& s) { l->setText(QString::fromStdString(s)); };
  setText(Label28, Format("%d x %d pixels", int(RoundDiv(W, FCols)), int(RoundDiv(H, FRows))));
  setText(Label10, Format("%d x %d pixels", fw, fh));
  const bool dpi = FDPI >= 1;
  auto n = [&](double v) { return FormatNumberN(dpi ? v : 0.0); };
  const double d = dpi ? FDPI : 1;
  const double tw = double(W) / FCols / d, th = double(H) / FRows / d;
  setText(Label9, n(tw) + " x " + n(th) + " inch");
  setText(Label29, n(tw / InchesPerCm) + " x " + n(th / InchesPerCm) + " cm");
  setText(Label11, n(fw / d) + " x " + n(fh / d) + " inch");
  setText(Label12, n(fw / d / InchesPerCm) + " x " + n(fh / d / InchesPerCm) + " cm");
  setText(Label17, "File size: " + FormatByteSize(int64_t(fw) * fh * 3));
  static const char* const unitNames[] = {"Pix", "In", "cm"};
  const char* unit = u >= 0 && u <= 2 ? unitNames[u] : "";
  for (QLabel* l : {Label4, Label25, Label18, Label19, Label20, Label21}) l->setText(unit);
  FUpdating = false;
}

void TSetTileForm::DrawLayoutPreview() {
  if (FUpdating || FMosaicPreview.Empty() || FSourcePreview.Empty()) return;
  const TRect b = ActiveBorders();
  const int W = FMosaicWidth, H = FMosaicHeight;
  const int fw = b.Left + W + b.Right, fh = b.Top + H + b.Bottom;
  if (fw <= 0 || fh <= 0) return;
  const int width = int(RoundHalfEven(1.5 * GroupBox7->width()));
  const int height = int(RoundHalfEven(double(width) / fw * fh));
  if (width <= 0 || height <= 0) return;
  Bitmap24 bitmap(width, height);
  bitmap.Fill(BorderColor());
  const double s = double(width) / fw;
  const TRect picture(int(RoundHalfEven(s * b.Left)), int(RoundHalfEven(s * b.Top)),
                      int(RoundHalfEven(s * (b.Left + W))), int(RoundHalfEven(s * (b.Top + H))));
  const int blend = KWSpinEdit1->CommittedValue(), correction = KWSpinEdit2->CommittedValue();
  if (blend + correction < 1) {
    StretchDraw(bitmap, picture, FMosaicPreview);
  } else {
    Bitmap24 copy = FMosaicPreview;
    BuildGridPreview(copy, FSourcePreview, std::max(FCols, 1), correction, std::max(FRows, 1));
    OverlayWithAlpha(copy, FSourcePreview, int(RoundHalfEven(blend / 100.0 * 255)));
    StretchDraw(bitmap, picture, copy);
  }
  if (CheckBox1->isChecked() && FCols > 0 && FRows > 0) {
    const TColor pen = GridColor();
    const int top = int(RoundHalfEven(s * b.Top)), bottom = int(RoundHalfEven(s * (b.Top + H)));
    for (int i = 0; i <= FCols; ++i) {
      const int x = int(RoundHalfEven((double(W) / FCols * i + b.Left) * s));
      bitmap.FillRect(TRect(x, top, x + 1, bottom), pen);
    }
    const int left = int(RoundHalfEven(b.Left * s)), right = int(RoundHalfEven((b.Left + W) * s));
    for (int j = 0; j <= FRows; ++j) {
      const int y = int(RoundHalfEven(s * (double(H) / FRows * j + b.Top)));
      bitmap.FillRect(TRect(left, y, right, y + 1), pen);
    }
  }
  FLayout = bitmap;
  Image1->SetPicture(std::move(bitmap));
  if (CheckBox1->isChecked()) {
    Image1->SetStretch(false);
    ShowImageFitted(Image1, GroupBox7);
  } else {
    Image1->SetStretch(true);
    ShowImageStretched(Image1, GroupBox7);
  }
  Shape1->setGeometry(Image1->geometry().adjusted(-1, -1, 1, 1));
  Shape1->show();
}

void TSetTileForm::ComboBox1Change() {
  ShowSizeInfo();
}

void TSetTileForm::SpinEdit8RealChange() {
  FDPI = int(RoundHalfEven(SpinEdit8->Value()));
  if (FDPI < 1) FDPI = 1;
  if (!FUpdating) ShowSizeInfo();
}

void TSetTileForm::KWRealSpinOMWRealChange() {
  if (FUpdating || int64_t(FCols) * FTileWidth == 0) return;
  FMosaicWidth = UnitsToPixels(Units(), FDPI, KWRealSpinOMW->Value());
  FMosaicHeight =
      int(RoundHalfEven(double(FMosaicWidth) / (double(FCols) * FTileWidth) * (double(FTileHeight) * FRows)));
  ShowSizeInfo();
  DrawLayoutPreview();
}

void TSetTileForm::KWRealSpinOMHRealChange() {
  if (FUpdating || int64_t(FRows) * FTileHeight == 0) return;
  FMosaicHeight = UnitsToPixels(Units(), FDPI, KWRealSpinOMH->Value());
  FMosaicWidth = int(
      RoundHalfEven(double(FMosaicHeight) / (double(FTileHeight) * FRows) * (double(FCols) * FTileWidth)));
  ShowSizeInfo();
  DrawLayoutPreview();
}

void TSetTileForm::BorderSpinRealChange() {
  if (FUpdating) return;
  auto* spin = qobject_cast<TKWRealSpinEdit*>(sender());
  const int u = Units();
  if (spin == KWRealSpinEdit2) FBorderTop = UnitsToPixels(u, FDPI, spin->Value());
  if (spin == KWRealSpinEdit3) FBorderLeft = UnitsToPixels(u, FDPI, spin->Value());
  if (spin == KWRealSpinEdit4) FBorderRight = UnitsToPixels(u, FDPI, spin->Value());
  if (spin == KWRealSpinEdit5) FBorderBottom = UnitsToPixels(u, FDPI, spin->Value());
  ShowSizeInfo();
  DrawLayoutPreview();
}

void TSetTileForm::KWSpinEdit1RealChange() {
  if (!FUpdating) DrawLayoutPreview();
}

void TSetTileForm::CheckBox1Click() {
  const bool on = CheckBox1->isChecked();
  for (QWidget* w :
       std::initializer_list<QWidget*>{Shape2, KWRealSpinEdit1, LabelGridColor, LabelLineWidth, LabelPixels})
    w->setEnabled(on);
  DrawLayoutPreview();
}

void TSetTileForm::CheckBox2Click() {
  const bool on = CheckBox2->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{
           Shape3, LabelBorderColor, KWRealSpinEdit2, KWRealSpinEdit3, KWRealSpinEdit4, KWRealSpinEdit5,
           LabelTop, LabelLeft, LabelRight, LabelBottom, Label18, Label19, Label20, Label21})
    w->setEnabled(on);
  if (FUpdating) return;
  ShowSizeInfo();
  DrawLayoutPreview();
}

bool TSetTileForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress && static_cast<QWidget*>(watched)->isEnabled()) {
    if (watched == Shape2) Shape2MouseDown();
    if (watched == Shape3) Shape3MouseDown();
  }
  return QDialog::eventFilter(watched, event);
}

void TSetTileForm::Shape2MouseDown() {
  TColor c = GridColor();
  if (!PickColour(this, c)) return;
  SetGridColor(c);
  DrawLayoutPreview();
}

void TSetTileForm::Shape3MouseDown() {
  TColor c = BorderColor();
  if (!PickColour(this, c)) return;
  SetBorderColor(c);
  DrawLayoutPreview();
}

void TSetTileForm::ButtonHLPClick() {
  ShowHelpContext(20);
}

void TSetTileForm::BtnStopClick() {
  if (OnStop) OnStop();
}

void TSetTileForm::Button1Click() {
  SaveSettings();
  close();
}

void TSetTileForm::Button2Click() {
  SaveDialog1.InitialDir = LastPathFolder("Mosaic");
  SaveDialog1.FileName = ChangeFileExt(ExtractFileName(FProjectName), "");
  SaveDialog1.FilterIndex = 2;
  if (!SaveDialog1.Execute(this)) return;
  // A typed extension of one of the offered types chooses that type; any
  // other name gets the chosen type's extension.
  const int typed = FilterIndexOfName(SaveDialog1.Filter, SaveDialog1.FileName, SaveDialog1.FilterIndex);
  const int index = typed ? typed : SaveDialog1.FilterIndex;
  SaveDialog1.FilterIndex = index;
  const std::string fileName =
      typed ? SaveDialog1.FileName : ChangeFileExt(SaveDialog1.FileName, OutputExtension(index));
  // The image sequence writes files named after its cells, not this one.
  if (index != 5 && FileExists(fileName) && !ConfirmReplace(fileName)) return;
  Quietly([&] { IniWriteString(SettingsFileName, "LastPath", "Mosaic", ExtractFilePath(fileName)); });

  if (UpperCase(ExtractFileExt(fileName)) == ".JPG") {
    Tjpegoptions options(this);
    const int quality = options.exec();
    if (quality < 0) return;
    spnJpgQuality->SetValue(quality);
  }
  // Without a library there is no stored tile to compare.
  if (index >= 1 && index <= 3 && CheckBox3->isChecked() && FCols > 0 && FRows > 0 && !FLibraryTile.Empty() &&
      (FLibraryTile.Height() < FMosaicHeight / FRows || FLibraryTile.Width() < FMosaicWidth / FCols)) {
    TResizeWarning warning(FProductCaption, this);
    warning.ShowTiles(FLibraryTile, FMosaicWidth / FCols, FMosaicHeight / FRows);
    const int answer = warning.exec();
    if (answer == rwCancel) return;
    if (answer == rwUseOriginals) CheckBox3->setChecked(false);
  }

  BtnStop->setEnabled(true);
  Button1->setEnabled(false);
  Button2->setEnabled(false);
  struct Restore {
    TSetTileForm* f;
    ~Restore() {
      f->BtnStop->setEnabled(false);
      f->Button1->setEnabled(true);
      f->Button2->setEnabled(true);
      f->FSaving = false;
    }
  } restore{this};
  FSaving = true;
  if (OnSaveAs) OnSaveAs(index, fileName);
}

bool AskStopRunning(const std::string& caption) {
  return MessageBox("Stop the running procedure?", caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TSetTileForm::reject() {
  // Mid-save the window stays: the writer reads its settings and shows its
  // progress here. Its close box and Esc only offer to stop the save.
  if (FSaving) {
    if (AskStopRunning(windowTitle().toStdString())) BtnStopClick();
    return;
  }
  QDialog::reject();
}
