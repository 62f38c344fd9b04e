// The wizard's window: its fourteen pages, the task choice and the walk over
// the pages of the chosen task. The tasks themselves: wizard02Tasks.cpp.
#include "dialogs/wizard02.h"

#include <QCloseEvent>
#include <QFont>
#include <QKeyEvent>
#include <tuple>

#include "dialogs/SrcSetup.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/qt/Desktop.h"

TWizard* Wizard = nullptr;

namespace {

constexpr int PageWidth = 496, PageHeight = 352;
constexpr int NextX = 392, BackX = 296, ButtonY = 312;

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y, int w = 440,
                  int h = 20) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(name);
  l->setGeometry(x, y, w, h);
  l->setWordWrap(h > 20);
  l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return l;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, int x, int y, int w = 88) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(name);
  b->setGeometry(x, y, w, 28);
  b->setAutoDefault(false);
  return b;
}

QPushButton* MakeNext(QWidget* page, const char* name, bool enabled) {
  QPushButton* b = MakeButton(page, name, "Next >", NextX, ButtonY);
  b->setEnabled(enabled);
  return b;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* text, int x, int y, bool checked,
                     int w = 400) {
  auto* c = new QCheckBox(QString::fromUtf8(text), parent);
  c->setObjectName(name);
  c->setGeometry(x, y, w, 22);
  c->setChecked(checked);
  return c;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const char* text, int x, int y, int w = 440) {
  auto* r = new QRadioButton(QString::fromUtf8(text), parent);
  r->setObjectName(name);
  r->setGeometry(x, y, w, 22);
  r->setAutoExclusive(true);
  return r;
}

TKWSpinEdit* MakeSpin(QWidget* parent, const char* name, int x, int y, int32_t lo, int32_t hi, int32_t v,
                      int w = 72) {
  auto* s = new TKWSpinEdit(parent);
  s->setObjectName(name);
  s->MinValue = lo;
  s->MaxValue = hi;
  s->SetValue(v);
  s->setGeometry(x, y, w, 22);
  return s;
}

// A file-name edit: read-only on a disabled panel, so a name only comes from
// the page's "Locate..." button.
QLineEdit* MakeFileEdit(QWidget* page, const char* name, int y) {
  auto* panel = new QWidget(page);
  panel->setGeometry(16, y, 360, 24);
  panel->setEnabled(false);
  auto* e = new QLineEdit(panel);
  e->setObjectName(name);
  e->setGeometry(0, 0, 360, 24);
  e->setReadOnly(true);
  return e;
}

// The caption of a file name, its edit and its "Locate..." button, at the
// same place on every page that asks for a file.
std::tuple<QLabel*, QLineEdit*, QPushButton*> MakeFileRow(QWidget* page, const char* captionName,
                                                          const char* caption, const char* editName,
                                                          const char* locateName) {
  return {MakeLabel(page, captionName, caption, 16, 170), MakeFileEdit(page, editName, 192),
          MakeButton(page, locateName, "Locate...", 388, 190)};
}

}  // namespace

TWizard::TWizard(TWizardHost host, QWidget* parent) : QDialog(parent), FHost(std::move(host)) {
  setObjectName("Wizard");
  setWindowTitle("Vitrane Wizard");
  PageControl1 = new QStackedWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setGeometry(0, 0, PageWidth, PageHeight);
  CreatePages();
  BitBtnHlp = MakeButton(this, "BitBtnHlp", "Help", 16, 383);
  BitBtn22 = MakeButton(this, "BitBtn22", "Cancel", NextX, 383);
  connect(BitBtn22, &QPushButton::clicked, this, &TWizard::BitBtn22Click);
  connect(BitBtnHlp, &QPushButton::clicked, this, &TWizard::BitBtnHlpClick);

  SaveDialog1.DefaultExt = "vt2";
  SaveDialog1.Filter = "Vitrane picture library|*.vt2|All files|*.*";
  SaveDialog1.Options = ofOverwritePrompt;
  OpenDialog1.DefaultExt = "vt2";
  OpenDialog1.Filter = SaveDialog1.Filter;
  OpenDialog2.Title = "Open File";
  OpenDialog2.Filter = SourcePictureFilter();
  SaveVTP.DefaultExt = "vtp";
  SaveVTP.Filter = "Vitrane pictures projects (*.vtp)|*.vtp";
  // A project written over an existing file is asked about, as every
  // other project save is.
  SaveVTP.Options = ofOverwritePrompt;
  // The extension follows the filter chosen (see Button6Click).
  SaveBMP.Filter = "Tiff files|*.tif|Jpeg files|*.jpg|BMP files|*.bmp";
  FormCreate();
}

void TWizard::FormCreate() {
  SetHelpContext(this, 14);
  for (int i = 0; i < PageCount; ++i)
    SetHelpContext(Pages[size_t(i)], i == 0 ? 14 : i <= 5 ? 15 : i <= 10 ? 16 : 17);
  BitBtn22->move(BitBtn22->x(), BitBtn22->y() - 23);
  BitBtnHlp->move(BitBtnHlp->x(), BitBtn22->y());
  setFixedSize(GroupBox1->x() + GroupBox1->width() + 25, BitBtn22->y() + BitBtn22->height() + 50);
  FTabVisible.fill(true);
  FDefaultButtons = {BitBtn2, BitBtn3,  BitBtn4,  BitBtn5,  BitBtn6,  BitBtn7,  BitBtn8,
                     BitBtn9, BitBtn19, BitBtn10, BitBtn21, BitBtn34, BitBtn35, BitBtn31};
  for (TKWSpinEdit* spin : findChildren<TKWSpinEdit*>()) spin->installEventFilter(this);
  GoTo(0);
}

QWidget* TWizard::NewPage(int index, const char* heading) {
  auto* page = new QWidget;
  page->setObjectName(QString("Page%1").arg(index));
  PageControl1->addWidget(page);
  Pages[size_t(index)] = page;
  QLabel* h = MakeLabel(page, "Heading", heading, 16, 10, 460, 24);
  QFont f = h->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 2);
  h->setFont(f);
  Headings[size_t(index)] = h;
  if (index > 0) {
    QPushButton* back = MakeButton(page, "BitBtnBack", "< Back", BackX, ButtonY);
    connect(back, &QPushButton::clicked, this, &TWizard::BitBtn1Click);
    BackButtons[size_t(index)] = back;
  }
  return page;
}

void TWizard::CreatePages() {
  CreateTaskPages();
  CreateLibraryPages();
  CreateProjectPages();
  CreateSavePages();
}

void TWizard::CreateTaskPages() {
  QWidget* p = NewPage(0, "What do you want to do?");
  RadioButton4 = MakeRadio(p, "RadioButton4", "Create a new tile library.", 24, 56);
  RadioButton2 =
      MakeRadio(p, "RadioButton2", "Open an already existing tile library and create a mosaic.", 24, 84);
  RadioButton3 = MakeRadio(p, "RadioButton3", "Save mosaic.", 24, 112);
  Label35 = MakeLabel(p, "Label35", "(Please select)", 24, 150, 440, 80);
  CheckBox1 = MakeCheck(p, "CheckBox1", "Show this Wizard every time Vitrane starts.", 16, 280, false);
  BitBtn2 = MakeNext(p, "BitBtn2", false);
  connect(RadioButton4, &QRadioButton::clicked, this, &TWizard::RadioButton4Click);
  connect(RadioButton2, &QRadioButton::clicked, this, &TWizard::RadioButton2Click);
  connect(RadioButton3, &QRadioButton::clicked, this, &TWizard::RadioButton3Click);
  connect(CheckBox1, &QCheckBox::clicked, this, &TWizard::CheckBox1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TWizard::BitBtn2Click);
}

void TWizard::CreateLibraryPages() {
  QWidget* p = NewPage(1, "Where is your tile image folder?");
  Label5 = MakeLabel(p, "Label5",
                     "Choose a drive and directory where your picture collection is stored. If there are "
                     "subfolders in this directory that you want to include, enable the <include subfolders> "
                     "checkbox.",
                     16, 44, 460, 60);
  Label38 = MakeLabel(p, "Label38",
                      "Note: pictures are not imported into Vitrane library, only sampled and indexed into a "
                      "Vitrane picture database. Do not delete your original images!",
                      16, 108, 460, 48);
  std::tie(Label17, Edit2, Button1) =
      MakeFileRow(p, "Label17", "Scan and index images from:", "Edit2", "Button1");
  chkRecurseDir = MakeCheck(p, "chkRecurseDir", "Include subfolders", 16, 224, true);
  BitBtn3 = MakeNext(p, "BitBtn3", false);
  connect(Button1, &QPushButton::clicked, this, &TWizard::Button1Click);
  connect(Edit2, &QLineEdit::textChanged, this, &TWizard::Edit2Change);

  p = NewPage(2, "What a file types do you want to use as tiles?");
  Label7 = MakeLabel(p, "Label7", "Check the file formats you want to include:", 16, 44);
  Label16 = MakeLabel(p, "Label16", "Image file types:", 16, 72);
  const char* names[] = {"chkBMP", "chkJPG", "chkGIF", "chkICO", "chkTIF", "chkPCD",
                         "chkPCX", "chkPSD", "chkRLE", "chkDIB", "chkPNG"};
  const char* texts[] = {"*.BMP", "*.JPG", "*.GIF", "*.ICO", "*.TIF", "*.PCD",
                         "*.PCX", "*.PSD", "*.RLE", "*.DIB", "*.PNG"};
  QCheckBox** boxes[] = {&chkBMP, &chkJPG, &chkGIF, &chkICO, &chkTIF, &chkPCD,
                         &chkPCX, &chkPSD, &chkRLE, &chkDIB, &chkPNG};
  for (int i = 0; i < 11; ++i) {
    *boxes[i] = MakeCheck(p, names[i], texts[i], 32 + (i / 6) * 120, 96 + (i % 6) * 26, false, 100);
    connect(*boxes[i], &QCheckBox::clicked, this, &TWizard::chkJPGClick);
  }
  BitBtn4 = MakeNext(p, "BitBtn4", false);

  p = NewPage(3, "What tile proportions do you want to use?");
  Label8 = MakeLabel(p, "Label8", "Set the tile proportions:", 16, 40);
  TRRadio1 = MakeRadio(p, "TRRadio1", "Square - ( 4 x 4 )", 24, 62, 180);
  TRRadio2 = MakeRadio(p, "TRRadio2", "Portrait - ( 3 x 4 )", 24, 84, 180);
  TRRadio3 = MakeRadio(p, "TRRadio3", "Landscape - ( 4 x 3 )", 24, 106, 180);
  TRRadio4 = MakeRadio(p, "TRRadio4", "Custom", 24, 128, 80);
  SpinXBase = MakeSpin(p, "SpinXBase", 104, 128, 1, 999, 4, 56);
  SpinYBase = MakeSpin(p, "SpinYBase", 168, 128, 1, 999, 4, 56);
  SpinXBase->hide();
  SpinYBase->hide();
  Label32 = MakeLabel(p, "Label32",
                      "If your pictures contain a white border or other edge problems, you can crop it out "
                      "easily by increasing the Margin value:",
                      16, 160, 460, 40);
  Label31 = MakeLabel(p, "Label31", "Margin %", 16, 208, 70);
  SpinEdit3 = MakeSpin(p, "SpinEdit3", 88, 206, 0, 99, 0, 56);
  Label53 = MakeLabel(p, "Label53", "Crop", 16, 240, 40);
  QRadioButton** anchors[] = {&RadioButtonLT, &RadioButtonCT, &RadioButtonRT, &RadioButtonLC, &RadioButtonCC,
                              &RadioButtonRC, &RadioButtonLB, &RadioButtonCB, &RadioButtonRB};
  const char* anchorNames[] = {"RadioButtonLT", "RadioButtonCT", "RadioButtonRT",
                               "RadioButtonLC", "RadioButtonCC", "RadioButtonRC",
                               "RadioButtonLB", "RadioButtonCB", "RadioButtonRB"};
  for (int i = 0; i < 9; ++i)
    *anchors[i] = MakeRadio(p, anchorNames[i], "", 60 + (i % 3) * 20, 240 + (i / 3) * 20, 20);
  RadioButtonSA = MakeRadio(p, "RadioButtonSA", "Stretch", 128, 260, 80);
  RadioButtonCC->setChecked(true);
  for (QRadioButton* r : AnchorRadios())
    connect(r, &QRadioButton::clicked, this, &TWizard::RadioButtonLTClick);
  Shape1 = new TCellShape(p);
  Shape1->setObjectName("Shape1");
  Shape1->setGeometry(244, 96, 66, 64);
  Shape2 = new TCellShape(p);
  Shape2->setObjectName("Shape2");
  Shape2->setGeometry(244, 96, 66, 64);
  Shape2->Pen().SetColor(clGreen);
  Shape2->Brush().SetColor(clGreen);
  Shape2->Brush().SetStyle(bsDiagCross);
  Shape2->hide();
  BitBtn5 = MakeNext(p, "BitBtn5", false);
  // The radios of the shape and of the anchor are two separate groups.
  for (QRadioButton* r : {TRRadio1, TRRadio2, TRRadio3, TRRadio4}) {
    r->setAutoExclusive(false);
    connect(r, &QRadioButton::clicked, this, [this, r] {
      for (QRadioButton* o : {TRRadio1, TRRadio2, TRRadio3, TRRadio4}) o->setChecked(o == r);
    });
  }
  for (QRadioButton* r : {TRRadio1, TRRadio2, TRRadio3})
    connect(r, &QRadioButton::clicked, this, &TWizard::TRRadio1Click);
  connect(TRRadio4, &QRadioButton::clicked, this, &TWizard::TRRadio4Click);
  for (TKWSpinEdit* s : {SpinEdit3, SpinXBase, SpinYBase})
    connect(s, &TKWSpinEdit::OnRealChange, this, &TWizard::SpinEdit3Change);

  p = NewPage(4, "Save a new picture tile database.");
  Label9 = MakeLabel(p, "Label9", "Select a name for a new picture tile database.", 16, 44);
  std::tie(Label18, Edit1, Button2) =
      MakeFileRow(p, "Label18", "File name for new picture tile library:", "Edit1", "Button2");
  BitBtn6 = MakeNext(p, "BitBtn6", false);
  connect(Button2, &QPushButton::clicked, this, &TWizard::Button2Click);
  connect(Edit1, &QLineEdit::textChanged, this, &TWizard::Edit1Change);

  p = NewPage(5, "Create new library.");
  Label11 =
      MakeLabel(p, "Label11",
                "Now press the Create button and Vitrane will scan the directory or directories and index "
                "all the images found of the types you specified.",
                16, 44, 460, 60);
  Label39 =
      MakeLabel(p, "Label39",
                "It could take from a few minutes to a few hours, depending on your computer's speed, the "
                "picture resolution, and the number of images being scanned.",
                16, 108, 460, 60);
  BitBtn7 = MakeButton(p, "BitBtn7", "Create", NextX, ButtonY);
  connect(BitBtn7, &QPushButton::clicked, this, &TWizard::BitBtn7Click);

  for (QPushButton* next : {BitBtn3, BitBtn4, BitBtn5, BitBtn6})
    connect(next, &QPushButton::clicked, this, &TWizard::BitBtn2Click);
}

void TWizard::CreateProjectPages() {
  QWidget* p = NewPage(6, "Open the image tile library.");
  Label13 = MakeLabel(p, "Label13", "Open an existing image tile library file (*.vt2)", 16, 44);
  std::tie(Label19, Edit3, Button3) = MakeFileRow(
      p, "Label19", "File name for the picture tile library you want to open:", "Edit3", "Button3");
  SpeedButton3 = MakeButton(p, "SpeedButton3", "Use current library", 16, 222, 160);
  Label33 = MakeLabel(p, "Label33", "Current base:", 16, 258, 460, 40);
  BitBtn8 = MakeNext(p, "BitBtn8", false);
  connect(Button3, &QPushButton::clicked, this, &TWizard::Button3Click);
  connect(SpeedButton3, &QPushButton::clicked, this, &TWizard::SpeedButton3Click);
  connect(Edit3, &QLineEdit::textChanged, this, &TWizard::Edit3Change);

  p = NewPage(7, "Open the source image.");
  Label15 =
      MakeLabel(p, "Label15", "Open the image file that Vitrane will reference to make the final mosaic.", 16,
                44, 460, 40);
  std::tie(Label20, Edit4, Button4) =
      MakeFileRow(p, "Label20", "File name for source picture file:", "Edit4", "Button4");
  SpeedButton1 = MakeButton(p, "SpeedButton1", "Use current picture", 16, 222, 160);
  BitBtn9 = MakeNext(p, "BitBtn9", false);
  connect(Button4, &QPushButton::clicked, this, &TWizard::Button4Click);
  connect(SpeedButton1, &QPushButton::clicked, this, &TWizard::SpeedButton1Click);
  connect(Edit4, &QLineEdit::textChanged, this, &TWizard::Edit4Change);

  p = NewPage(8, "Define the size of output mosaic.");
  Label24 = MakeLabel(p, "Label24", "How many columns and rows of tiles do you want in the mosaic?", 16, 40);
  Label29 = MakeLabel(p, "Label29", "X Columns", 16, 66, 70);
  KWSpinXCell = MakeSpin(p, "KWSpinXCell", 88, 64, 1, 999999, 30);
  Label30 = MakeLabel(p, "Label30", "Y Rows", 176, 66, 56);
  KWSpinYCell = MakeSpin(p, "KWSpinYCell", 232, 64, 1, 999999, 30);
  CheckBox4 = MakeCheck(p, "CheckBox4", "Preview cells", 330, 64, true, 140);
  Panel11 = new QWidget(p);
  Panel11->setObjectName("Panel11");
  Panel11->setGeometry(16, 94, 464, 176);
  CropImage1 = new TCropImage(Panel11);
  CropImage1->setObjectName("CropImage1");
  CropImage1->setGeometry(0, 0, 464, 176);
  CropImage1->ScaleW = 10;
  CropImage1->ScaleH = 10;
  CropImage1->ResampleStyle = TResampleStyle::None;
  CropImage1->SetScaleStyle(ssFullScale);
  CropImage1->SetCropWidth(0);
  CropImage1->SetCropHeight(0);
  Label36 =
      MakeLabel(p, "Label36",
                "You may move and/or resize selected area with your mouse. Also you may use an arrow keys.",
                16, 274, 360, 36);
  BitBtn19 = MakeNext(p, "BitBtn19", true);
  connect(KWSpinXCell, &TKWSpinEdit::OnRealChange, this, &TWizard::KWSpinXCellRealChange);
  connect(KWSpinYCell, &TKWSpinEdit::OnRealChange, this, &TWizard::KWSpinXCellRealChange);
  connect(CheckBox4, &QCheckBox::clicked, this, &TWizard::CheckBox4Click);

  p = NewPage(9, "Save a new Vitrane Picture Project file.");
  Label22 = MakeLabel(p, "Label22", "Name the new Vitrane Picture Project (*.vtp) file.", 16, 44);
  std::tie(Label25, Edit5, Button5) = MakeFileRow(
      p, "Label25", "File name for the new Vitrane Picture Project (.vtp) file:", "Edit5", "Button5");
  BitBtn10 = MakeNext(p, "BitBtn10", false);
  connect(Button5, &QPushButton::clicked, this, &TWizard::Button5Click);
  connect(Edit5, &QLineEdit::textChanged, this, &TWizard::Edit5Change);

  p = NewPage(10, "Create mosaic.");
  Label28 =
      MakeLabel(p, "Label28",
                "Do you want use the normal render mode (tiles filled in a raster from top left cell to "
                "bottom right cell) or use the smart render mode?",
                16, 44, 460, 48);
  RadioButtonNorm = MakeRadio(p, "RadioButtonNorm", "Normal render mode.", 24, 104);
  RadioButtonRand = MakeRadio(p, "RadioButtonRand", "Random render mode.", 24, 132);
  RadioButtonSmart = MakeRadio(p, "RadioButtonSmart", "Smart render mode.", 24, 160);
  SpeedButton4 = MakeButton(p, "SpeedButton4", "Advanced...", 24, 200, 120);
  BitBtn21 = MakeButton(p, "BitBtn21", "Create", NextX, ButtonY);
  BitBtn21->setEnabled(false);
  for (QRadioButton* r : {RadioButtonNorm, RadioButtonRand, RadioButtonSmart})
    connect(r, &QRadioButton::clicked, this, &TWizard::RadioButtonNormClick);
  connect(SpeedButton4, &QPushButton::clicked, this, &TWizard::SpeedButton4Click);
  connect(BitBtn21, &QPushButton::clicked, this, &TWizard::BitBtn21Click);

  for (QPushButton* next : {BitBtn8, BitBtn9, BitBtn19, BitBtn10})
    connect(next, &QPushButton::clicked, this, &TWizard::BitBtn2Click);
}

void TWizard::CreateSavePages() {
  QWidget* p = NewPage(11, "Define the size of resampled mosaic.");
  Label63 = MakeLabel(p, "Label63", "Set the width of an output cell (one tile):", 16, 46, 260);
  SpinEdit5 = MakeSpin(p, "SpinEdit5", 280, 44, 1, 999999, 32);
  Label64 = MakeLabel(p, "Label64", "pixels", 360, 46, 60);
  GroupBox1 = new QGroupBox("Picture size", p);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(16, 80, 456, 180);
  Label69 = MakeLabel(GroupBox1, "Label69", "Output resolution:", 12, 24, 140);
  Label34 = MakeLabel(GroupBox1, "Label34", "0x0 cells", 160, 24, 280);
  Label70 = MakeLabel(GroupBox1, "Label70", "width x height", 12, 52, 140);
  Label71 = MakeLabel(GroupBox1, "Label71", "0x0 pix", 160, 52, 280);
  Label74 = MakeLabel(GroupBox1, "Label74", "dpi:", 12, 82, 140);
  SpinEdit4 = MakeSpin(GroupBox1, "SpinEdit4", 160, 80, 1, 999999999, 150);
  Label75 = MakeLabel(GroupBox1, "Label75", "Output size:", 12, 112, 140);
  Label73 = MakeLabel(GroupBox1, "Label73", "0x0 in", 160, 112, 280);
  Label72 = MakeLabel(GroupBox1, "Label72", "0x0 cm", 160, 134, 280);
  Label76 = MakeLabel(GroupBox1, "Label76", "0x0 Mb", 160, 156, 280);
  ChkSaveSelected = MakeCheck(p, "ChkSaveSelected", "Save only selected area", 16, 270, false);
  BitBtn34 = MakeNext(p, "BitBtn34", true);
  connect(SpinEdit4, &TKWSpinEdit::OnRealChange, this, &TWizard::SpinEdit4Change);
  connect(SpinEdit5, &TKWSpinEdit::OnRealChange, this, &TWizard::ShowLargeFileSize);
  connect(ChkSaveSelected, &QCheckBox::clicked, this, &TWizard::ShowLargeFileSize);
  connect(BitBtn34, &QPushButton::clicked, this, &TWizard::BitBtn2Click);

  p = NewPage(12, "Select a name for a new mosaic.");
  Label78 =
      MakeLabel(p, "Label78", "Select a name and file type for a new mosaic (*.jpg; *.tif; *.bmp).", 16, 44);
  std::tie(Label79, Edit6, Button6) =
      MakeFileRow(p, "Label79", "File name for mosaic picture file:", "Edit6", "Button6");
  BitBtn35 = MakeNext(p, "BitBtn35", false);
  connect(Button6, &QPushButton::clicked, this, &TWizard::Button6Click);
  connect(Edit6, &QLineEdit::textChanged, this, &TWizard::Edit6Change);
  connect(BitBtn35, &QPushButton::clicked, this, &TWizard::BitBtn26Click);

  p = NewPage(13, "Resample and save mosaic");
  Label45 =
      MakeLabel(p, "Label45",
                "Now press the Save button. Vitrane will recreate your mosaic image and save the result to",
                16, 40, 460, 48);
  Label46 = MakeLabel(p, "Label46",
                      "It may take a few minutes, depending on your computer's speed, image resolution and "
                      "additional options that you have selected.",
                      16, 90, 460, 40);
  Label37 = MakeLabel(p, "Label37", "Color correction:", 16, 140, 220);
  KWSpinEdit1 = MakeSpin(p, "KWSpinEdit1", 240, 138, 0, 100, 0, 56);
  Label41 = MakeLabel(p, "Label41", "%", 300, 140, 20);
  Label40 = MakeLabel(p, "Label40", "Blend Tiles with the Main Image:", 16, 166, 220);
  KWSpinEdit2 = MakeSpin(p, "KWSpinEdit2", 240, 164, 0, 100, 0, 56);
  Label42 = MakeLabel(p, "Label42", "%", 300, 166, 20);
  CheckBox2 = MakeCheck(p, "CheckBox2", "Use thumbs stored in the base (faster).", 16, 194, true);
  CheckBox3 = MakeCheck(p, "CheckBox3", "Write image file direct to disk (no RAM).", 16, 218, false);
  CheckBox6 = MakeCheck(p, "CheckBox6", "Sharpen tiles", 16, 242, true);
  CheckBox5 = MakeCheck(p, "CheckBox5", "Close Wizard", 16, 266, true);
  BitBtn31 = MakeButton(p, "BitBtn31", "Save", NextX, ButtonY);
  BitBtnStopSave = MakeButton(p, "BitBtnStopSave", "Stop", 200, ButtonY);
  BitBtnStopSave->hide();
  connect(BitBtn31, &QPushButton::clicked, this, &TWizard::BitBtn31Click);
  connect(BitBtnStopSave, &QPushButton::clicked, this, &TWizard::BitBtnStopSaveClick);
}

std::array<QRadioButton*, 10> TWizard::AnchorRadios() const {
  return {RadioButtonLT, RadioButtonCT, RadioButtonRT, RadioButtonLC, RadioButtonCC,
          RadioButtonRC, RadioButtonLB, RadioButtonCB, RadioButtonRB, RadioButtonSA};
}

std::array<QCheckBox*, 11> TWizard::TypeBoxes() const {
  return {chkBMP, chkJPG, chkGIF, chkICO, chkTIF, chkPCD, chkPCX, chkPSD, chkRLE, chkDIB, chkPNG};
}

// ---- The task and the walk over its pages ----------------------------------------

void TWizard::ShowPages(int first, int last, bool visible) {
  for (int i = first; i <= last; ++i) FTabVisible[size_t(i)] = visible;
}

void TWizard::RadioButton4Click() {
  Label35->setText(
      "This starts the creation of a new library from image files stored in a specific folder/subfolders of "
      "your hard drive.");
  ShowPages(1, 5, true);
  ShowPages(6, 13, false);
  BitBtn2->setEnabled(true);
}

void TWizard::RadioButton2Click() {
  Label35->setText(
      "You'll be prompted to open a tile library and a source image to create mosaic from them.");
  ShowPages(1, 5, false);
  ShowPages(6, 10, true);
  ShowPages(11, 13, false);
  BitBtn2->setEnabled(true);
}

void TWizard::RadioButton3Click() {
  if (FHost.Plan && FHost.Plan->TableIsOpen()) {
    Label35->setText(
        "You'll be prompted to select a file name for already compiled mosaic and could resample size of "
        "mosaic "
        "to generate large size output graphic file.");
    ShowPages(1, 10, false);
    ShowPages(11, 13, true);
    BitBtn2->setEnabled(true);
  } else {
    Label35->setText(
        "You can't save anything yet. There is no open mosaic project now. You had to open and render mosaic "
        "project first.");
    BitBtn2->setEnabled(false);
  }
}

void TWizard::CheckBox1Click() {
  IniWriteBool(SettingsFileName, "StartUp", "WizardOnStart", CheckBox1->isChecked());
}

bool TWizard::RefuseWhileBusy() {
  if (!FBusy) return false;
  // While a scan or a save runs the wizard's window and page stay; the
  // only thing offered is to stop it.
  if (MessageBox("Stop the running procedure?", "Vitrane Wizard", MB_YESNO | MB_ICONQUESTION) == IDYES) {
    if (FNewBase)
      FNewBase->cmndStopClick();
    else if (FHost.RequestStop)
      FHost.RequestStop();
  }
  return true;
}

void TWizard::GoTo(int page) {
  PageControl1->setCurrentIndex(page);
  // An enabled "Next >" takes the focus on arrival, so that Enter at once
  // goes on, whatever control comes first on the page.
  QPushButton* next = FDefaultButtons[size_t(page)];
  next->setDefault(true);
  if (next->isEnabled()) next->setFocus();
  if (page == 11) s3Show();
}

bool TWizard::eventFilter(QObject* watched, QEvent* event) {
  auto* spin = qobject_cast<TKWSpinEdit*>(watched);
  if (!spin || event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
  // The spin edit keeps Enter for itself (it commits and beeps); here the
  // commit runs its recalculation first, then the dialog's Enter follows.
  spin->Value();
  keyPressEvent(key);
  return true;
}

void TWizard::BitBtn2Click() {
  if (RefuseWhileBusy()) return;
  for (int i = ActivePage() + 1; i < PageCount; ++i)
    if (FTabVisible[size_t(i)]) return GoTo(i);
}

void TWizard::BitBtn26Click() {
  BitBtn2Click();
  if (FBusy) return;
  Label45->setText(
      QString::fromStdString("Now press the Save button and Vitrane will save your finished mosaic to " +
                             Edit6->text().toStdString()));
}

void TWizard::BitBtn1Click() {
  if (RefuseWhileBusy()) return;
  for (int i = ActivePage() - 1; i >= 0; --i)
    if (FTabVisible[size_t(i)]) return GoTo(i);
}

void TWizard::BitBtn22Click() {
  if (RefuseWhileBusy()) return;
  QDialog::reject();
}

void TWizard::reject() {
  BitBtn22Click();
}

void TWizard::BitBtnHlpClick() {
  ShowHelpContext(ActivePage() == 0 ? 14 : ActivePage() <= 5 ? 15 : ActivePage() <= 10 ? 16 : 17);
}

std::string TWizard::LastPath(const std::string& key) const {
  return LastPathFolder(key);
}
