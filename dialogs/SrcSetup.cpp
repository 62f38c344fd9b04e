#include "dialogs/SrcSetup.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/CorrectTools.h"
#include "dialogs/SetTileJpegOptions.h"
#include "formats/BandWriter.h"
#include "platform/Bmp.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Jpeg.h"
#include "platform/Rounding.h"
#include "platform/Utils.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"
#include "tiledb/VTData.h"

TSrcSetup* SrcSetup = nullptr;

namespace {
constexpr int HelpContext = 18;

// The quality question of the output setup: the quality, or -1 for Cancel.
int AskJpegQuality(QWidget* parent) {
  Tjpegoptions options(parent);
  return options.exec();
}
}  // namespace

std::function<int(QWidget*)> TSrcSetup::JpegQualityDialog = AskJpegQuality;

// ---- rules ----

std::string ProposedProjectName(const std::string& picture, const std::string& library, int x, int y) {
  const std::string joined = ChangeFileExt(ExtractFileName(picture), "") + "-" +
                             ChangeFileExt(ExtractFileName(library), "") + "-" + std::to_string(x) + "x" +
                             std::to_string(y);
  return ChangeFileExt(joined, ".vtp");
}

TPoint StretchTileAspect(const TRect& crop, int x, int y) {
  return TPoint{int(RoundDiv(int64_t(crop.Right - crop.Left) * 100, x)),
                int(RoundDiv(int64_t(crop.Bottom - crop.Top) * 100, y))};
}

TRect MosaicRect(int x, int y, int w, int h) {
  return TRect(0, 0, int(std::min<int64_t>(int64_t(x) * w, INT32_MAX)),
               int(std::min<int64_t>(int64_t(y) * h, INT32_MAX)));
}

TRect MosaicFrameAt(const TRect& at, const TRect& mosaic, int pictureWidth, int pictureHeight) {
  const TRect size = FitRectTo(mosaic, TRect(0, 0, pictureWidth, pictureHeight));
  const int w = std::clamp(size.Width(), 0, pictureWidth), h = std::clamp(size.Height(), 0, pictureHeight);
  const int left = std::clamp(at.Left, 0, pictureWidth - w), top = std::clamp(at.Top, 0, pictureHeight - h);
  return TRect(left, top, left + w, top + h);
}

std::string SourcePictureFilter() {
  static const char* const order[] = {"bw",  "cel", "cut",  "dib", "gif", "icb", "pcc",  "pcd",  "pdd",
                                      "pcx", "pic", "pbm",  "pgm", "ppm", "psd", "rgb",  "rgba", "rla",
                                      "rle", "rpf", "scr",  "sgi", "tga", "tif", "tiff", "vda",  "vst",
                                      "win", "jpg", "jpeg", "bmp", "ico", "emf", "wmf"};
  // Every registered extension once, described by its last registration (the
  // one that reads it): first in the setup's order, then the ones that order
  // does not name, in the order they were registered.
  std::vector<TPictureFormat> formats;
  for (const TPictureFormat& f : PictureFormats()) {
    std::erase_if(formats, [&](const TPictureFormat& g) { return g.Extension == f.Extension; });
    formats.push_back(f);
  }
  auto rank = [](const std::string& ext) {
    return std::find(std::begin(order), std::end(order), ext) - std::begin(order);
  };
  std::stable_sort(formats.begin(), formats.end(), [&](const TPictureFormat& a, const TPictureFormat& b) {
    return rank(a.Extension) < rank(b.Extension);
  });
  std::string all, entries;
  for (const TPictureFormat& f : formats) {
    const std::string pattern = "*." + f.Extension;
    all += (all.empty() ? "" : ";") + pattern;
    entries += "|" + f.Description + " (" + pattern + ")|" + pattern;
  }
  return "All (" + all + ")|" + all + entries;
}

std::string SourcePictureName(const std::string& fileName, int filterIndex) {
  return ChangeFileExt(fileName, filterIndex == 2 ? ".tif" : filterIndex == 3 ? ".bmp" : ".jpg");
}

std::string SaveSourcePicture(const Bitmap24& picture, const std::string& fileName, int filterIndex,
                              int jpegQuality) {
  const std::string name = SourcePictureName(fileName, filterIndex);
  if (filterIndex == 2)
    SaveBitmapAsTIFF(name, picture, 250, 2);
  else if (filterIndex == 3)
    WriteBMPFile(picture, name);
  else
    JpegEncodeFile(picture, jpegQuality, name);
  return name;
}

// ---- window ----

TSrcSetup::TSrcSetup(TVTData& library, QWidget* parent) : QDialog(parent), FLibrary(library) {
  setWindowTitle("Source image setup");
  setObjectName("SrcSetup");
  SetHelpContext(this, HelpContext);
  CreateControls();
  CreateMenus();
  resize(560, 460);
  setMinimumSize(560, 460);
  LoadFormBounds(SettingsFileName, "LayOut", "SourceForm", this);
}

TSrcSetup::~TSrcSetup() {
  SaveFormBounds(SettingsFileName, "LayOut", "SourceForm", this);
  if (SrcSetup == this) SrcSetup = nullptr;
}

void TSrcSetup::CreateControls() {
  CropImage1 = new TEnCropImage(this);
  CropImage1->setObjectName("CropImage1");
  CropImage1->ScaleW = 10;
  CropImage1->ScaleH = 10;
  CropImage1->ResampleStyle = TResampleStyle::None;
  CropImage1->SetCropWidth(0);
  CropImage1->SetCropHeight(0);
  CropImage1->SetScaleStyle(ssFullScale);
  CropImage1->ScaleW = 10;
  CropImage1->ScaleH = 10;

  Panel1 = new QWidget(this);
  auto* row = new QHBoxLayout(Panel1);
  auto button = [this](const char* name, const char* text) {
    auto* b = new QPushButton(text, Panel1);
    b->setObjectName(name);
    return b;
  };
  auto spin = [this](const char* name) {
    auto* s = new TKWSpinEdit(Panel1);
    s->setObjectName(name);
    s->MinValue = 1;
    s->MaxValue = 999999;
    s->SetValue(30);
    return s;
  };
  BitBtn1 = button("BitBtn1", "Open...");
  Label1 = new QLabel("X tiles:", Panel1);
  SpinEdit1 = spin("SpinEdit1");
  Label2 = new QLabel("Y tiles:", Panel1);
  SpinEdit2 = spin("SpinEdit2");
  BitBtn5 = button("BitBtn5", "Max");
  CheckBox1 = new QCheckBox("Grid", Panel1);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setChecked(true);
  CheckBox2 = new QCheckBox("Stretch tiles", Panel1);
  CheckBox2->setObjectName("CheckBox2");
  BitBtn2 = button("BitBtn2", "Apply");
  BitBtn3 = button("BitBtn3", "Cancel");
  BitBtnHlp = button("BitBtnHlp", "Help");
  for (QWidget* w : std::initializer_list<QWidget*>{BitBtn1, Label1, SpinEdit1, Label2, SpinEdit2, BitBtn5,
                                                    CheckBox1, CheckBox2})
    row->addWidget(w);
  row->addStretch();
  for (QWidget* w : {BitBtn2, BitBtn3, BitBtnHlp}) row->addWidget(w);
  SetDialogButtons(this, nullptr, BitBtn3);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  StatusPanel0 = new QLabel(StatusBar1);
  StatusPanel0->setMinimumWidth(50);
  StatusBar1->addWidget(StatusPanel0, 1);

  MainMenu1 = new QMenuBar(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->setMenuBar(MainMenu1);
  layout->addWidget(CropImage1, 1);
  layout->addWidget(Panel1);
  layout->addWidget(StatusBar1);

  connect(BitBtn1, &QPushButton::clicked, this, &TSrcSetup::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TSrcSetup::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TSrcSetup::BitBtn3Click);
  connect(BitBtn5, &QPushButton::clicked, this, &TSrcSetup::BitBtn5Click);
  connect(BitBtnHlp, &QPushButton::clicked, this, &TSrcSetup::BitBtnHlpClick);
  connect(CheckBox1, &QCheckBox::clicked, this, &TSrcSetup::CheckBox1Click);
  connect(CheckBox2, &QCheckBox::clicked, this, &TSrcSetup::CheckBox2Click);
  connect(SpinEdit1, &TKWSpinEdit::OnRealChange, this, &TSrcSetup::SpinEdit1RealChange);
  connect(SpinEdit2, &TKWSpinEdit::OnRealChange, this, &TSrcSetup::SpinEdit2RealChange);

  OpenPictureDialog1.Filter = SourcePictureFilter();
  OpenPictureDialog1.Options = ofFileMustExist;
  SaveDialog1.DefaultExt = "vtp";
  SaveDialog1.Filter = "vtp|*.vtp";
  SaveDialog1.Options = ofOverwritePrompt;
  // Replacing is asked about once the type, and so the name written, is known.
  SaveSourceDialog1.Filter = "jpg|*.jpg|tiff|*.tif|bmp|*.bmp";
}

void TSrcSetup::CreateMenus() {
  auto item = [this](QMenu* menu, const char* name, const char* text, const QKeySequence& key = {}) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    a->setShortcut(key);
    // The dialog's own shortcuts work while it is shown, not in other windows.
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
    return a;
  };
  QMenu* image = MainMenu1->addMenu("Image");
  Openfile1 = item(image, "Openfile1", "Open file...", QKeySequence("Ctrl+O"));
  Pastefromclipboard1 = item(image, "Pastefromclipboard1", "Paste from clipboard", QKeySequence("Ctrl+V"));
  TWAINsetup1 = item(image, "TWAINsetup1", "Select TWAIN source");
  Aquire1 = item(image, "Aquire1", "Acquire");
  image->addSeparator();
  Saveimageas1 = item(image, "Saveimageas1", "Save image as...", QKeySequence("Ctrl+S"));
  Saveselectionas1 = item(image, "Saveselectionas1", "Save selection as...", QKeySequence("Ctrl+Shift+S"));
  Saveselectionas1->setVisible(false);
  QMenu* edit = MainMenu1->addMenu("Edit");
  Picturecorrection1 = item(edit, "Picturecorrection1", "Picture correction tools");
  Selectmaximumsize1 = item(edit, "Selectmaximumsize1", "Select maximum area", QKeySequence("Ctrl+A"));
  QMenu* actions = MainMenu1->addMenu("Actions");
  Applytomosaic1 = item(actions, "Applytomosaic1", "Apply to mosaic");
  Cancel1 = item(actions, "Cancel1", "Cancel");

  connect(Openfile1, &QAction::triggered, this, &TSrcSetup::BitBtn1Click);
  connect(Pastefromclipboard1, &QAction::triggered, this, &TSrcSetup::Pastefromclipboard1Click);
  connect(TWAINsetup1, &QAction::triggered, this, &TSrcSetup::TWAINsetup1Click);
  connect(Aquire1, &QAction::triggered, this, &TSrcSetup::Aquire1Click);
  connect(Saveimageas1, &QAction::triggered, this, &TSrcSetup::Saveimageas1Click);
  connect(Picturecorrection1, &QAction::triggered, this, &TSrcSetup::Picturecorrection1Click);
  connect(Selectmaximumsize1, &QAction::triggered, this, &TSrcSetup::Selectmaximumsize1Click);
  connect(Applytomosaic1, &QAction::triggered, this, &TSrcSetup::BitBtn2Click);
  connect(Cancel1, &QAction::triggered, this, &TSrcSetup::BitBtn3Click);
}

std::string TSrcSetup::LastPath(const std::string& key) const {
  return LastPathFolder(key);
}

void TSrcSetup::SetStatusText(const std::string& text) {
  StatusPanel0->setText(QString::fromStdString(text));
}

std::string TSrcSetup::StatusText() const {
  return StatusPanel0->text().toStdString();
}

bool TSrcSetup::HasPicture() const {
  const Bitmap24& pic = CropImage1->Picture();
  return int64_t(pic.Width()) * pic.Height() > 0;
}

void TSrcSetup::OpenImage(const std::string& fileName) {
  CropImage1->SetPictureFileName(fileName);
  SetStatusText(fileName);
  OriginalFitImg();
}

void TSrcSetup::OriginalFitImg() {
  const int x = SpinEdit1->Value(), y = SpinEdit2->Value();
  const Bitmap24& pic = CropImage1->Picture();
  // The view must have its size before the frame can be placed on it.
  if (layout()) layout()->activate();
  CropImage1->SetCellX(x);
  CropImage1->SetCellY(y);
  if (CheckBox2->isChecked()) {
    CropImage1->SetCropRect(TRect(0, 0, pic.Width(), pic.Height()));
    CropImage1->SetScaleStyle(ssNoScale);
  } else {
    const TRect m = MosaicRect(x, y, FLibrary.XScale, FLibrary.YScale);
    CropImage1->SetCropRect(FitRect(m, TRect(0, 0, pic.Width(), pic.Height())));
    CropImage1->ScaleW = m.Right;
    CropImage1->ScaleH = m.Bottom;
  }
}

void TSrcSetup::FitImg() {
  const int x = SpinEdit1->Value(), y = SpinEdit2->Value();
  CropImage1->SetCellX(x);
  CropImage1->SetCellY(y);
  if (CheckBox2->isChecked()) {
    CropImage1->SetScaleStyle(ssNoScale);
    return;
  }
  const TRect m = MosaicRect(x, y, FLibrary.XScale, FLibrary.YScale);
  CropImage1->SetCropRect(FitRect(m, CropImage1->CropRectF()));
  CropImage1->SetScaleStyle(ssFullScale);
  CropImage1->ScaleW = m.Right;
  CropImage1->ScaleH = m.Bottom;
}

void TSrcSetup::SizeFrameToTiles() {
  const TRect m = MosaicRect(SpinEdit1->Value(), SpinEdit2->Value(), FLibrary.XScale, FLibrary.YScale);
  CropImage1->ScaleW = m.Right;
  CropImage1->ScaleH = m.Bottom;
  if (!HasPicture()) {
    // Nothing to cut yet: the frame is only a size on the panel.
    CropImage1->SetCropWidth(m.Right);
    CropImage1->SetCropHeight(m.Bottom);
    return;
  }
  const Bitmap24& pic = CropImage1->Picture();
  if (layout()) layout()->activate();
  // X by Y tiles of screen pixels, whatever the picture's size, set as the
  // picture pixels under them so that Apply cuts the frame shown.
  const TRect image = CropImage1->PictureBounds();
  auto under = [](int screen, int picture, int shown) {
    return int(std::min<int64_t>(RoundDiv(int64_t(screen) * picture, shown), INT32_MAX));
  };
  TRect size = m;
  if (image.Width() > 0 && image.Height() > 0)
    size = TRect(0, 0, under(m.Right, pic.Width(), image.Width()), under(m.Bottom, pic.Height(), image.Height()));
  CropImage1->SetCropRect(MosaicFrameAt(CropImage1->CropRectPx(), size, pic.Width(), pic.Height()));
}

void TSrcSetup::SpinEdit1RealChange() {
  if (HasPicture()) FitImg();
}
void TSrcSetup::SpinEdit2RealChange() {
  if (HasPicture()) FitImg();
}
void TSrcSetup::SpinEdit01Change() {
  FitImg();
}
void TSrcSetup::SpinEdit02Change() {
  FitImg();
}
void TSrcSetup::CheckBox2Click() {
  if (HasPicture()) FitImg();
}
void TSrcSetup::BitBtn5Click() {
  if (HasPicture()) OriginalFitImg();
}
void TSrcSetup::Selectmaximumsize1Click() {
  OriginalFitImg();
}
void TSrcSetup::CheckBox1Click() {
  CropImage1->SetShowCells(CheckBox1->isChecked());
}

void TSrcSetup::BitBtn1Click() {
  OpenPictureDialog1.InitialDir = LastPath("Source");
  if (!OpenPictureDialog1.Execute(this)) return;
  IniWriteString(SettingsFileName, "LastPath", "Source", ExtractFilePath(OpenPictureDialog1.FileName));
  OpenImage(OpenPictureDialog1.FileName);
  CropImage1->SetShowCells(CheckBox1->isChecked());
}

void TSrcSetup::Pastefromclipboard1Click() {
  if (!CropImage1->PasteFromClipboard()) return;
  OriginalFitImg();
  SetStatusText("Not saved image from clipboard");
}

void TSrcSetup::TWAINsetup1Click() {
  CropImage1->SelectTwainSource();
}

void TSrcSetup::Aquire1Click() {
  if (!CropImage1->AcquireTwain()) return;
  OriginalFitImg();
  SetStatusText("Not saved image from TWAIN");
}

void TSrcSetup::Saveimageas1Click() {
  SaveSourceDialog1.InitialDir = LastPath("Source");
  if (!SaveSourceDialog1.Execute(this)) return;
  IniWriteString(SettingsFileName, "LastPath", "Source", ExtractFilePath(SaveSourceDialog1.FileName));
  // A typed extension of one of the offered types chooses that type.
  const int index = SaveFilterIndex(SaveSourceDialog1);
  const std::string name = SourcePictureName(SaveSourceDialog1.FileName, index);
  if (FileExists(name) && !ConfirmReplace(name)) return;
  int quality = 0;
  if (index != 2 && index != 3) {
    quality = JpegQualityDialog ? JpegQualityDialog(this) : 85;
    if (quality < 0) return;
  }
  SaveSourcePicture(CropImage1->Picture(), name, index, quality);
  CropImage1->SetPictureFileName(name);
  SetStatusText(name);
}

void TSrcSetup::Picturecorrection1Click() {
  TPicTools tools(CropImage1, this);
  tools.FOriginalBitmap = CropImage1->Picture();
  tools.FPreviewBitmap = CropImage1->Picture();
  tools.exec();
}

void TSrcSetup::BitBtn2Click() {
  if (!FLibrary.TableIsOpen()) return;
  if (CropImage1->PictureFileName().empty() &&
      MessageBox("Do you want to save source image first?", "Vitrane", MB_YESNO | MB_ICONQUESTION) == IDYES)
    Saveimageas1Click();
  const int x = SpinEdit1->Value(), y = SpinEdit2->Value();
  const std::string remembered = SaveDialog1.FileName;
  SaveDialog1.FileName = ProposedProjectName(CropImage1->PictureFileName(), FLibrary.BaseName(), x, y);
  SaveDialog1.InitialDir = LastPath("Project");
  if (!SaveDialog1.Execute(this)) {
    SaveDialog1.FileName = remembered;
    return;
  }
  const std::string project = ApplyDefaultExt(SaveDialog1.FileName, SaveDialog1.DefaultExt);
  SaveDialog1.FileName = remembered;
  if (OnReplaceProject && !OnReplaceProject()) return;
  IniWriteString(SettingsFileName, "LastPath", "Project", ExtractFilePath(project));
  // The frame as placed or dragged, cut from the picture at its own
  // resolution, as the wizard cuts it.
  Bitmap24 cropped;
  const TSourceInfo info{CropImage1->PictureFileName(),
                         CopyPictureRect(CropImage1->Picture(), CropImage1->CropRectPx(), cropped)};
  if (CheckBox2->isChecked()) {
    // An empty crop is refused by the plan; it must not zero the library's aspect first.
    const TPoint aspect = StretchTileAspect(info.SourceRect, x, y);
    if (aspect.X > 0 && aspect.Y > 0) {
      FLibrary.XScale = aspect.X;
      FLibrary.YScale = aspect.Y;
    }
  }
  FLibrary.CreatePlan(project, cropped, info, y, x);
  if (OnProjectCreated) OnProjectCreated(project, info.SourcePath);
  accept();
}

void TSrcSetup::BitBtn3Click() {
  reject();
}

void TSrcSetup::BitBtnHlpClick() {
  ShowHelpContext(HelpContext);
}

void TSrcSetup::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  CropImage1->PictureChanged();
}
