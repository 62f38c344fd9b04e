#include "dialogs/NewBase.h"

#include <algorithm>

#include "platform/Files.h"
#include "platform/Finally.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FileDialogs.h"
#include "platform/qt/FormUtils.h"

namespace {

const char CR = '\r';
const std::string Section = "NewBase";
const std::string DialogCaption = "New library";
// The check messages of the main window carry the program's caption.
const std::string Product = "Vitrane 2";

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int x, int y, int w = 120) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(name);
  l->setGeometry(x, y, w, 20);
  return l;
}

TKWSpinEdit* MakeSpin(QWidget* parent, const char* name, int x, int y, int32_t lo, int32_t hi, int32_t v) {
  auto* s = new TKWSpinEdit(parent);
  s->setObjectName(name);
  s->MinValue = lo;
  s->MaxValue = hi;
  s->SetValue(v);
  s->setGeometry(x, y, 56, 22);
  return s;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, int x, int y, int w = 100) {
  auto* b = new QPushButton(QString::fromUtf8(text), parent);
  b->setObjectName(name);
  b->setGeometry(x, y, w, 28);
  return b;
}

}  // namespace

TV2NewBaseForm::TV2NewBaseForm(TNewBaseHost host, QWidget* parent) : QDialog(parent), FHost(std::move(host)) {
  setObjectName("V2NewBaseForm");
  setWindowTitle(QString::fromStdString(DialogCaption));
  setFixedSize(560, 440);

  Label1 = MakeLabel(this, "Label1", "Library file name", 12, 10, 200);
  TxtNewVtb = new QLineEdit(this);
  TxtNewVtb->setObjectName("TxtNewVtb");
  TxtNewVtb->setGeometry(12, 32, 480, 24);
  BitBtn3 = MakeButton(this, "BitBtn3", "...", 500, 30, 40);
  Label2 = MakeLabel(this, "Label2", "Library root directory", 12, 62, 200);
  TxtRoot = new QLineEdit(this);
  TxtRoot->setObjectName("TxtRoot");
  TxtRoot->setGeometry(12, 84, 480, 24);
  BitBtn4 = MakeButton(this, "BitBtn4", "...", 500, 82, 40);
  CheckBox1 = new QCheckBox("Include subdirectories", this);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setGeometry(12, 112, 200, 22);
  CheckBox1->setChecked(true);

  Label6 = MakeLabel(this, "Label6", "Image file types:", 12, 142);
  const char* typeNames[] = {"chkBMP", "chkJPG", "chkGIF", "chkICO", "chkTIF", "chkPCD",
                             "chkPCX", "chkPSD", "chkRLE", "chkDIB", "chkPNG"};
  QCheckBox** typeBoxes[] = {&chkBMP, &chkJPG, &chkGIF, &chkICO, &chkTIF, &chkPCD,
                             &chkPCX, &chkPSD, &chkRLE, &chkDIB, &chkPNG};
  for (int i = 0; i < PictTypeCount; ++i) {
    auto* c = new QCheckBox(QString("*") + PictTypeExts[i], this);
    c->setObjectName(typeNames[i]);
    c->setGeometry(12 + (i % 2) * 70, 164 + (i / 2) * 22, 70, 22);
    *typeBoxes[i] = c;
  }
  chkJPG->setChecked(true);

  Label7 = MakeLabel(this, "Label7", "Margin % :", 12, 304, 80);
  SpinEdit3 = MakeSpin(this, "SpinEdit3", 92, 302, 0, 100, 0);

  Label3 = MakeLabel(this, "Label3", "Tile propertis:", 170, 142);
  Label5 = MakeLabel(this, "Label5", "Picture X/Y rate:", 170, 164);
  Label9 = MakeLabel(this, "Label9", "X:", 170, 188, 20);
  SpinEdit2 = MakeSpin(this, "SpinEdit2", 190, 186, 3, 4, 4);
  Label4 = MakeLabel(this, "Label4", "Y:", 252, 188, 20);
  SpinEdit1 = MakeSpin(this, "SpinEdit1", 272, 186, 3, 4, 4);
  Label8 = MakeLabel(this, "Label8", "Sampling:", 170, 216, 70);
  SpinEdit5 = MakeSpin(this, "SpinEdit5", 240, 214, 1, 320, 6);
  SpinEdit4 = MakeSpin(this, "SpinEdit4", 300, 214, 1, 320, 6);
  Label15 = MakeLabel(this, "Label15", "Thumbs:", 170, 244, 70);
  Label12 = MakeLabel(this, "Label12", "Width:", 170, 268, 50);
  SpinEdit6 = MakeSpin(this, "SpinEdit6", 220, 266, 1, 999999, 36);
  Label14 = MakeLabel(this, "Label14", "Quality:", 280, 268, 50);
  SpinEdit7 = MakeSpin(this, "SpinEdit7", 330, 266, 0, 100, 60);
  Label10 = MakeLabel(this, "Label10", "Resampling filter:", 170, 298);
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->addItems({"Box", "Triangle", "Hermite", "Bell", "Spline", "Lanczos3", "Mitchell"});
  ComboBox1->setGeometry(290, 296, 100, 24);

  Label11 = MakeLabel(this, "Label11", "Crop", 410, 142, 40);
  const char* anchorNames[] = {"RadioButtonLT", "RadioButtonCT", "RadioButtonRT",
                               "RadioButtonLC", "RadioButtonCC", "RadioButtonRC",
                               "RadioButtonLB", "RadioButtonCB", "RadioButtonRB"};
  QRadioButton** anchors[] = {&RadioButtonLT, &RadioButtonCT, &RadioButtonRT, &RadioButtonLC, &RadioButtonCC,
                              &RadioButtonRC, &RadioButtonLB, &RadioButtonCB, &RadioButtonRB};
  for (int i = 0; i < 9; ++i) {
    auto* r = new QRadioButton(this);
    r->setObjectName(anchorNames[i]);
    r->setGeometry(410 + (i % 3) * 24, 164 + (i / 3) * 24, 22, 22);
    FAnchorGroup.addButton(r, i);
    *anchors[i] = r;
  }
  RadioButtonSA = new QRadioButton("Stretch", this);
  RadioButtonSA->setObjectName("RadioButtonSA");
  RadioButtonSA->setGeometry(410, 238, 70, 22);
  FAnchorGroup.addButton(RadioButtonSA, 9);
  RadioButtonCC->setChecked(true);

  // The tile shape stands beside the anchor grid: the picture being indexed
  // is shown in its place during a scan, and must leave the buttons free.
  Shape1 = new QFrame(this);
  Shape1->setObjectName("Shape1");
  Shape1->setFrameShape(QFrame::Box);
  Shape1->setGeometry(484, 164, 64, 64);
  Shape2 = new QFrame(this);
  Shape2->setObjectName("Shape2");
  Shape2->setStyleSheet("QFrame { border: 1px solid red; background: transparent; }");
  Shape2->setGeometry(484, 164, 64, 64);
  Image1 = new TImage(this);
  Image1->setObjectName("Image1");
  Image1->hide();

  Label13 = MakeLabel(this, "Label13", "Color mode:", 12, 338, 80);
  RadioButtonYCC = new QRadioButton("YCC", this);
  RadioButtonYCC->setObjectName("RadioButtonYCC");
  RadioButtonYCC->setGeometry(92, 336, 60, 22);
  RadioButtonRGB = new QRadioButton("RGB", this);
  RadioButtonRGB->setObjectName("RadioButtonRGB");
  RadioButtonRGB->setGeometry(152, 336, 60, 22);
  FColorGroup.addButton(RadioButtonYCC);
  FColorGroup.addButton(RadioButtonRGB);
  RadioButtonYCC->setChecked(true);

  BitBtn1 = MakeButton(this, "BitBtn1", "Scan images", 12, 396);
  cmndStop = MakeButton(this, "cmndStop", "Stop", 120, 396);
  cmndStop->setEnabled(false);
  BitBtn5 = MakeButton(this, "BitBtn5", "Append images", 228, 396, 110);
  BitBtn5->hide();
  BitBtn2 = MakeButton(this, "BitBtn2", "Close", 346, 396);
  SpeedButton2 = MakeButton(this, "SpeedButton2", "Help", 454, 396, 90);
  SetDialogButtons(this, nullptr, BitBtn2);

  SaveDialog1.DefaultExt = "vtb";
  SaveDialog1.Filter = "Vitrane library|*.vt2|All files|*.*";
  VTData1.ThumbsInMemory = false;
  VTData1.ShowThumbs = false;

  connect(BitBtn1, &QPushButton::clicked, this, &TV2NewBaseForm::BitBtn1Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TV2NewBaseForm::BitBtn3Click);
  connect(BitBtn4, &QPushButton::clicked, this, &TV2NewBaseForm::BitBtn4Click);
  connect(cmndStop, &QPushButton::clicked, this, &TV2NewBaseForm::cmndStopClick);
  connect(BitBtn5, &QPushButton::clicked, this, &TV2NewBaseForm::tempffind1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  connect(SpeedButton2, &QPushButton::clicked, this, [] { ShowHelpContext(24); });
  connect(SpinEdit1, &TKWSpinEdit::OnChange, this, &TV2NewBaseForm::SpinEdit1Change);
  connect(SpinEdit2, &TKWSpinEdit::OnChange, this, &TV2NewBaseForm::SpinEdit2Change);
  connect(SpinEdit3, &TKWSpinEdit::OnChange, this, &TV2NewBaseForm::SpinEdit3Change);
  FormCreate();
}

void TV2NewBaseForm::FormCreate() {
  ComboBox1->setCurrentIndex(6);
  SetHelpContext(this, 24);
  std::string exts;
  IniReadString(SettingsFileName, Section, "ImgExts", exts, ".JPG");
  const TPictTypes types = PictTypesFromText(exts);
  const auto boxes = TypeBoxes();
  for (int i = 0; i < PictTypeCount; ++i) boxes[i]->setChecked(types[i]);
  SpinEdit1->SetValue(ClampTileScale(IniReadInteger(SettingsFileName, Section, "YScale", 4)));
  SpinEdit2->SetValue(ClampTileScale(IniReadInteger(SettingsFileName, Section, "XScale", 4)));
  // Shown only: a build always uses its fixed grid and thumbnail values.
  SpinEdit6->SetValue(36);
  SpinEdit7->SetValue(60);
  Label10->hide();
  ComboBox1->hide();
  for (QWidget* w : std::initializer_list<QWidget*>{Label8, Label15, Label12, Label14, SpinEdit5, SpinEdit4,
                                                    SpinEdit6, SpinEdit7})
    w->setEnabled(false);
  ShowShape();
}

TV2NewBaseForm::~TV2NewBaseForm() {
  const std::string& ini = SettingsFileName;
  IniWriteString(ini, Section, "ImgExts", PictTypesText(PictTypes()));
  IniWriteInteger(ini, Section, "XScale", SpinEdit2->Value());
  IniWriteInteger(ini, Section, "YScale", SpinEdit1->Value());
  IniWriteInteger(ini, Section, "XRes", SpinEdit5->Value());
  IniWriteInteger(ini, Section, "YRes", SpinEdit4->Value());
  IniWriteInteger(ini, Section, "ThumbW", SpinEdit6->Value());
  IniWriteInteger(ini, Section, "ThumbQ", SpinEdit7->Value());
}

std::array<QCheckBox*, PictTypeCount> TV2NewBaseForm::TypeBoxes() const {
  return {chkBMP, chkJPG, chkGIF, chkICO, chkTIF, chkPCD, chkPCX, chkPSD, chkRLE, chkDIB, chkPNG};
}

TPictTypes TV2NewBaseForm::PictTypes() const {
  TPictTypes t{};
  const auto boxes = TypeBoxes();
  for (int i = 0; i < PictTypeCount; ++i) t[i] = boxes[i]->isChecked();
  return t;
}

std::string TV2NewBaseForm::GetPictExts() const {
  return ::GetPictExts(PictTypes());
}

uint8_t TV2NewBaseForm::CropAnchor() const {
  TAnchorButtons b{};
  for (int i = 0; i < 10; ++i) b[i] = FAnchorGroup.button(i)->isChecked();
  return CropAnchorOf(b);
}

void TV2NewBaseForm::ShowShape() {
  const TShapePreview p = ComputeShapePreview(SpinEdit2->Value(), SpinEdit1->Value(), SpinEdit3->Value(),
                                              Shape1->x(), Shape1->y());
  Shape1->setGeometry(p.Shape1.Left, p.Shape1.Top, p.Shape1.Width(), p.Shape1.Height());
  Shape2->setGeometry(p.Shape2.Left, p.Shape2.Top, p.Shape2.Width(), p.Shape2.Height());
}

void TV2NewBaseForm::ShowForAppend() {
  BitBtn5->show();
  BitBtn1->hide();
  for (QWidget* w : std::initializer_list<QWidget*>{Label1, TxtNewVtb, BitBtn3, SpinEdit1, SpinEdit2,
                                                    RadioButtonYCC, RadioButtonRGB})
    w->setEnabled(false);
  if (FHost.Library && FHost.Library->TableIsOpen()) {
    SpinEdit2->SetValue(FHost.Library->XScale);
    SpinEdit1->SetValue(FHost.Library->YScale);
    (FHost.Library->ColorSystem == csRGB ? RadioButtonRGB : RadioButtonYCC)->setChecked(true);
    ShowShape();
  }
}

void TV2NewBaseForm::BitBtn3Click() {
  SaveDialog1.InitialDir = LastPathFolder("Library");
  if (!SaveDialog1.Execute(this)) return;
  IniWriteString(SettingsFileName, "LastPath", "Library", ExtractFilePath(SaveDialog1.FileName));
  TxtNewVtb->setText(QString::fromStdString(SaveDialog1.FileName));
}

void TV2NewBaseForm::BitBtn4Click() {
  FolderBrowse1.Title = "Choose Library Root Directory";
  FolderBrowse1.Directory = FLastAppendRoot;
  if (FolderBrowse1.Execute(this))
    TxtRoot->setText(QString::fromStdString(IncludeTrailingPathDelimiter(FolderBrowse1.Directory)));
}

void TV2NewBaseForm::StartImage() {
  Image1->setGeometry(Shape2->geometry());
  Image1->SetStretch(true);
  Image1->SetPicture(Bitmap24());
  Image1->show();
  Image1->raise();
}

void TV2NewBaseForm::ShowIndexedPicture(const TVTData& table) {
  setWindowTitle(QString::number(table.FProgress) + " pic indexed");
  if (!table.LastCutOut.Empty()) Image1->SetPicture(table.LastCutOut);
}

void TV2NewBaseForm::ShowAddedCount(int32_t added) {
  setWindowTitle(QString::number(added) + " pic indexed");
}

void TV2NewBaseForm::VTData1CreateBaseProgress(TVTData& sender) {
  ShowIndexedPicture(sender);
}

void TV2NewBaseForm::BitBtn1Click() {
  const std::string typed = TxtNewVtb->text().toStdString();
  const std::string root = TxtRoot->text().toStdString();
  if (typed.empty()) {
    MessageBox("Please specify new library name", "Vitrane", MB_OK | MB_ICONQUESTION);
    return;
  }
  if (root.empty()) {
    MessageBox("Please specify library root directory", "Vitrane", MB_OK | MB_ICONQUESTION);
    return;
  }
  const std::string fileName = LibraryFileName(typed);
  if (FileExists(fileName) && fileName != ReplaceConfirmed && !ConfirmReplace(fileName)) return;
  VTData1.CloseTable();
  VTData1.FStopBuild = false;
  cmndStop->setEnabled(true);
  BitBtn1->setEnabled(false);
  BitBtn2->setEnabled(false);
  FScanning = true;
  {
    // The progress comes before each picture, so it lags one behind; the
    // caption ends on what this scan added.
    VTData1.FBuildCount = 0;
    TFinally idle([this] {
      FScanning = false;
      ShowAddedCount(VTData1.FBuildCount);
      Image1->hide();
      BitBtn1->setEnabled(true);
      BitBtn2->setEnabled(true);
      cmndStop->setEnabled(false);
      VTData1.OnCreateBaseProgress = nullptr;
      VTData1.CloseTable();
    });
    VTData1.FMargin = SpinEdit3->Value();
    FFilter = static_cast<uint8_t>(FilterFromByte(static_cast<uint8_t>(ComboBox1->currentIndex())));
    VTData1.FFilter = FFilter;
    VTData1.FXScale = SpinEdit2->Value();
    VTData1.FYScale = SpinEdit1->Value();
    VTData1.FExtList = GetPictExts();
    VTData1.FRootDir = root;
    VTData1.FRecurse = CheckBox1->isChecked();
    VTData1.FCropAnchor = CropAnchor();
    VTData1.FSampleDepth = 3;
    VTData1.FColorSystem = RadioButtonRGB->isChecked() ? csRGB : csYCC;
    VTData1.FXRes = 6;
    VTData1.FYRes = 6;
    VTData1.FThumbW = 42;
    VTData1.FThumbQ = 85;
    StartImage();
    VTData1.OnCreateBaseProgress = [this](TVTData& t) { VTData1CreateBaseProgress(t); };
    VTData1.FFastJpeg = FHost.AllowFastJpg;
    VTData1.CreateBase(fileName);
  }
  OfferNewLibrary(fileName);
}

void TV2NewBaseForm::OfferNewLibrary(const std::string& fileName) {
  const bool libOpen = FHost.Library && FHost.Library->TableIsOpen();
  const int r = libOpen ? FHost.Library->CheckBaseFile(fileName) : TVTData::lcCompatible;
  const bool projectOpen = FHost.ProjectOpen && FHost.ProjectOpen();
  auto open = [&] {
    if (FHost.OpenLibraryByName) FHost.OpenLibraryByName(fileName);
    IniWriteString(SettingsFileName, "LastPath", "Library", ExtractFilePath(fileName));
  };
  if (r == TVTData::lcNotLibrary) {
    MessageBox("File " + fileName + " is not Vitrane base and can't be open.", Product, MB_OK | MB_ICONERROR);
  } else if (r == TVTData::lcCompatible || !projectOpen) {
    open();
  } else {
    const std::string question = "Library " + std::string(1, CR) + fileName + CR +
                                 "has a different tile height/width ratio." + CR +
                                 "If you want to open it right now - you had to close the current project." +
                                 CR + "Close the current project?" + CR;
    if (MessageBox(question, Product, MB_OKCANCEL | MB_ICONQUESTION) == IDOK) {
      if (FHost.CloseProject) FHost.CloseProject();
      open();
    } else {
      MessageBox("Library " + std::string(1, CR) + fileName + CR + "was created." + CR +
                     "You may open it after closing New Base window.",
                 Product, MB_OK | MB_ICONINFORMATION);
    }
  }
  if (FHost.SetButtonsOnOff) FHost.SetButtonsOnOff();
}

void TV2NewBaseForm::reject() {
  if (!FScanning) QDialog::reject();
}

void TV2NewBaseForm::cmndStopClick() {
  VTData1.FStopBuild = true;
  if (BitBtn5->isVisible() && FHost.Library) FHost.Library->FStopBuild = true;
}

void TV2NewBaseForm::tempffind1Click() {
  TVTData* lib = FHost.Library;
  const std::string root = TxtRoot->text().toStdString();
  if (root.empty()) {
    MessageBox("Please select new root directory.", Product, MB_OK | MB_ICONWARNING);
    return;
  }
  if (!lib || !lib->TableIsOpen()) return;
  if (root == FLastAppendRoot && MessageBox("You already have scanned " + std::string(1, CR) + root + "." +
                                                CR + "Do you want to scan it again?" + CR +
                                                "(It will cause a double of all tiles from this location!)",
                                            Product, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
    return;
  lib->FStopBuild = false;
  cmndStop->setEnabled(true);
  BitBtn1->setEnabled(false);
  const bool fastJpeg = lib->FFastJpeg;
  // Appended tiles are counted on from the originals kept.
  const int32_t kept = std::clamp(lib->OriginalCount, 0, lib->RecordCount);
  // The flipped blocks go before the append and are made again after it,
  // in their old order, for the old pictures and the new.
  const std::array<uint8_t, 4> flips = lib->FlipKinds;
  lib->FBuildCount = kept;
  int32_t added = 0;
  FScanning = true;
  {
    TFinally idle([this, lib, fastJpeg, kept] {
      FScanning = false;
      ShowAddedCount(lib->FBuildCount - kept);
      lib->OnCreateBaseProgress = nullptr;
      lib->OnProgress = nullptr;
      lib->FFastJpeg = fastJpeg;
      Image1->hide();
      BitBtn1->setEnabled(true);
      cmndStop->setEnabled(false);
    });
    lib->FMargin = SpinEdit3->Value();
    FFilter = static_cast<uint8_t>(FilterFromByte(static_cast<uint8_t>(ComboBox1->currentIndex())));
    lib->FFilter = FFilter;
    lib->FXScale = lib->XScale;
    lib->FYScale = lib->YScale;
    lib->FXRes = lib->XRes;
    lib->FYRes = lib->YRes;
    lib->FThumbW = 36;
    lib->FThumbQ = 75;
    lib->FSampleDepth = lib->SampleDepth;
    lib->FColorSystem = lib->ColorSystem;
    lib->FExtList = GetPictExts();
    lib->FRootDir = root;
    lib->FRecurse = CheckBox1->isChecked();
    lib->FCropAnchor = CropAnchor();
    StartImage();
    lib->OnCreateBaseProgress = [this](TVTData& t) { ShowIndexedPicture(t); };
    lib->FFastJpeg = FHost.AllowFastJpg;
    lib->UpdateBase(root);
    added = lib->FBuildCount - kept;
    lib->SetBaseName(lib->BaseName());
    // A stopped scan keeps what it found, flips included; Stop now ends the
    // flipping, as in the inspector.
    lib->OnProgress = [](TVTData&) { ProcessMessages(); };
    if (lib->AddFlippedKinds({flips[1], flips[2], flips[3]})) lib->Save();
  }
  FLastAppendRoot = root;
  const int answer = MessageBox(std::to_string(added) + " tiles was added from " + CR +
                                    root + "." + CR + "Do you want to add more tiles?" + CR +
                                    "(To add more tiles please press 'Yes' and select new root directory.)",
                                Product, MB_YESNO | MB_ICONQUESTION);
  TxtRoot->clear();
  if (answer != IDYES) reject();
}
