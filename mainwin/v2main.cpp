// The main window's creation, settings, closing and command state.
#include "mainwin/v2main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/ManualForm.h"
#include "dialogs/MySplash.h"
#include "dialogs/SetTileForm.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/qt/Application.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"

TForm1* Form1 = nullptr;
uint8_t DefaultRenderMode = roSmart;
bool LongOperationRunning = false;
bool WizardShownOnce = false;
const std::string ProductCaption = "Vitrane 2";

namespace {
constexpr int DesignWidth = 508, DesignHeight = 390;
// A first start, with no bounds saved, opens at this size where the desktop
// has room: the design size is only the smallest the window may take.
constexpr int FirstWidth = 800, FirstHeight = 600;

// The texts the window itself puts in status panel 1, which the panel is
// made wide enough to show whole in the desktop's font.
const char* const Panel1Texts[] = {
    "View source image",
    "View target mosaic",
    "View difference between source and mosaic",
    "Set a distance between same tiles",
    "Set number of repetition of same tile",
    ReplaceCellHint,
    EraseCellHint,
    "Adding flipped tiles, please wait...",
    "Procedure cancelled by user",
};

// The texts of status panel 0 besides the cell, the selection and the count
// of cells still to do.
const char* const Panel0Texts[] = {"100%", "Saving...", "Sorting...", "Saved!"};

// The width a status panel needs for text, whatever digits its numbers take.
int StatusWidth(const QLabel* panel, std::string text) {
  const QFontMetrics metrics(panel->font());
  char widest = '0';
  for (char d = '1'; d <= '9'; ++d)
    if (metrics.horizontalAdvance(QChar(d)) > metrics.horizontalAdvance(QChar(widest))) widest = d;
  for (char& c : text)
    if (c >= '0' && c <= '9') c = widest;
  return metrics.horizontalAdvance(QString::fromStdString(text)) + 8;
}

QToolButton* ToolButton(QWidget* parent, const char* name, const char* hint, QStyle::StandardPixmap icon) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setToolTip(hint);
  b->setFixedSize(28, 28);
  b->setAutoRaise(true);
  b->setIcon(parent->style()->standardIcon(icon));
  return b;
}

QAction* Item(QMenu* menu, const char* name, const char* caption, const QKeySequence& key = {}) {
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  if (!key.isEmpty()) a->setShortcut(key);
  return a;
}

QCheckBox* CheckBox(QWidget* parent, const char* name, const char* caption, bool checked = false) {
  auto* c = new QCheckBox(caption, parent);
  c->setObjectName(name);
  c->setChecked(checked);
  return c;
}
}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName("Form1");
  VTLib1.ShowThumbs = true;
  VTLib1.ThumbsInMemory = false;
  VTPlan1.ThumbsInMemory = true;
  VTMosaic1.ThumbsInMemory = true;
  VTMosaic1.OnProgress = [](TVTData&) { ProcessMessages(); };
  OpenDialog1.Filter = "vtp|*.vtp|vt2|*.vt2";
  OpenDialog2.Filter = "vt2|*.vt2";
  SaveVTPDialog1.DefaultExt = "vtp";
  SaveVTPDialog1.Filter = "vtp|*.vtp";
  SaveVTPDialog1.Options = ofOverwritePrompt;
  CreateControls();
  CreateMenus();
  PlaceForFirstStart();
  FormCreate();
  SetButtonsOnOff();
}

TForm1::~TForm1() {
  // Before the tables it works on go.
  delete ManualForma;
  ManualForma = nullptr;
  FormDestroy();
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::PlaceForFirstStart() {
  QSize size = sizeHint().expandedTo(QSize(FirstWidth, FirstHeight));
  QRect area(0, 0, size.width(), size.height());
  if (const QScreen* s = screen()) area = s->availableGeometry();
  size = size.boundedTo(area.size()).expandedTo(QSize(DesignWidth, DesignHeight));
  resize(size);
  move(area.center() - rect().center());
}

void TForm1::CreateControls() {
  auto* central = new QWidget(this);
  auto* h = new QHBoxLayout(central);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(0);
  setCentralWidget(central);

  Panel1 = new QWidget(central);
  Panel1->setObjectName("Panel1");
  // At least the design width; wider when the desktop's font needs it.
  Panel1->setMinimumWidth(113);
  Panel1->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  h->addWidget(Panel1);
  auto* side = new QHBoxLayout(Panel1);
  side->setContentsMargins(1, 1, 1, 1);
  side->setSpacing(2);
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(0);
  side->addLayout(buttons);
  SpeedButton11 = ToolButton(Panel1, "SpeedButton11", "Run Vitrane wizard", QStyle::SP_CommandLink);
  SpeedButton1 = ToolButton(Panel1, "SpeedButton1", "Create new library", QStyle::SP_FileDialogNewFolder);
  SpeedButton2 = ToolButton(Panel1, "SpeedButton2", "Open library", QStyle::SP_DirOpenIcon);
  SpeedButton3 = ToolButton(Panel1, "SpeedButton3", "Open image", QStyle::SP_FileDialogContentsView);
  SpeedButton4 = ToolButton(Panel1, "SpeedButton4", "Open project", QStyle::SP_DialogOpenButton);
  SpeedButton5 = ToolButton(Panel1, "SpeedButton5", "Save project", QStyle::SP_DialogSaveButton);
  SpeedButton6 = ToolButton(Panel1, "SpeedButton6", "Save mosaic image", QStyle::SP_DriveHDIcon);
  SpeedButton7 = ToolButton(Panel1, "SpeedButton7", "Render mosaic", QStyle::SP_MediaPlay);
  SpeedButton8 = ToolButton(Panel1, "SpeedButton8", "Manual render", QStyle::SP_FileDialogDetailedView);
  SpeedButton9 = ToolButton(Panel1, "SpeedButton9", "Stop", QStyle::SP_MediaStop);
  SpeedButton10 = ToolButton(Panel1, "SpeedButton10", "Exit", QStyle::SP_DialogCloseButton);
  for (QToolButton* b : {SpeedButton11, SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4, SpeedButton5,
                         SpeedButton6, SpeedButton7, SpeedButton8, SpeedButton9, SpeedButton10})
    buttons->addWidget(b);
  buttons->addStretch(1);

  auto* work = new QVBoxLayout;
  work->setSpacing(1);
  side->addLayout(work, 1);
  RBSource1 = new QRadioButton("Source", Panel1);
  RBSource1->setObjectName("RBSource1");
  RBSource1->setChecked(true);
  RBTarget1 = new QRadioButton("Target", Panel1);
  RBTarget1->setObjectName("RBTarget1");
  RBDelta1 = new QRadioButton("Delta", Panel1);
  RBDelta1->setObjectName("RBDelta1");
  work->addWidget(RBSource1);
  work->addWidget(RBTarget1);
  work->addWidget(RBDelta1);
  work->addSpacing(6);
  work->addWidget(new QLabel("Distance:", Panel1));
  SpinRadius2 = new TKWSpinEdit(Panel1);
  SpinRadius2->setObjectName("SpinRadius2");
  SpinRadius2->MinValue = 0;
  SpinRadius2->MaxValue = 999999999;
  work->addWidget(SpinRadius2);
  work->addWidget(new QLabel("Repeat:", Panel1));
  SpinRepetition2 = new TKWCharSpinEdit(Panel1);
  SpinRepetition2->setObjectName("SpinRepetition2");
  SpinRepetition2->MinValue = 0;
  SpinRepetition2->MaxValue = 999999;
  // The edits take the panel's width rather than widening it.
  for (QWidget* w : {static_cast<QWidget*>(SpinRadius2), static_cast<QWidget*>(SpinRepetition2)})
    w->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  work->addWidget(SpinRepetition2);
  work->addSpacing(6);
  ChkFixAuto = CheckBox(Panel1, "ChkFixAuto", "Fix auto");
  ChkFixManual = CheckBox(Panel1, "ChkFixManual", "Fix custom");
  ChkInvertSelection = CheckBox(Panel1, "ChkInvertSelection", "Inv select");
  work->addWidget(ChkFixAuto);
  work->addWidget(ChkFixManual);
  work->addWidget(ChkInvertSelection);
  GroupBox1 = new QGroupBox("Use tiles: ", Panel1);
  GroupBox1->setObjectName("GroupBox1");
  auto* flips = new QVBoxLayout(GroupBox1);
  flips->setContentsMargins(3, 3, 3, 3);
  flips->setSpacing(0);
  CBFlipOriginal = CheckBox(GroupBox1, "CBFlipOriginal", "Original", true);
  CBFlipH = CheckBox(GroupBox1, "CBFlipH", "H Flip");
  CBFlipV = CheckBox(GroupBox1, "CBFlipV", "V Flip");
  CBRota180 = CheckBox(GroupBox1, "CBRota180", "180");
  for (QCheckBox* c : {CBFlipOriginal, CBFlipH, CBFlipV, CBRota180}) flips->addWidget(c);
  work->addWidget(GroupBox1);
  work->addStretch(1);
  TrackBar1 = new QSlider(Qt::Horizontal, Panel1);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setRange(5, 100);
  TrackBar1->setValue(32);
  TrackBar1->hide();

  Panel2 = new QWidget(central);
  Panel2->setObjectName("Panel2");
  h->addWidget(Panel2, 1);
  auto* gridLayout = new QVBoxLayout(Panel2);
  gridLayout->setContentsMargins(0, 0, 0, 0);
  DrawGrid1 = new TDrawGrid(Panel2);
  DrawGrid1->setObjectName("DrawGrid1");
  DrawGrid1->SetFixedCols(0);
  DrawGrid1->SetFixedRows(0);
  DrawGrid1->SetColCount(1);
  DrawGrid1->SetRowCount(1);
  DrawGrid1->DefaultDrawing = false;
  DrawGrid1->SetGridLineWidth(0);
  DrawGrid1->Options = goRangeSelect | goThumbTracking;
  DrawGrid1->SetDefaultColWidth(32);
  DrawGrid1->SetDefaultRowHeight(32);
  gridLayout->addWidget(DrawGrid1);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  setStatusBar(StatusBar1);
  for (int i = 0; i < 3; ++i) {
    StatusPanels[size_t(i)] = new QLabel(StatusBar1);
    StatusPanels[size_t(i)]->setObjectName(QString("StatusPanel%1").arg(i));
  }
  StatusPanels[0]->setAlignment(Qt::AlignCenter);
  // Panels 1 and 2 take the widths of their texts where the window has room
  // and share the shortfall where it has not: a long path is cut rather than
  // widening the window.
  StatusPanels[2]->setMinimumWidth(1);
  StatusBar1->addWidget(StatusPanels[0]);
  StatusBar1->addWidget(StatusPanels[1]);
  StatusBar1->addWidget(StatusPanels[2]);
  FitStatusPanels();

  connect(DrawGrid1, &TDrawGrid::OnDrawCell, this, &TForm1::DrawGrid1DrawCell);
  connect(DrawGrid1, &TDrawGrid::OnMouseMove, this, &TForm1::DrawGrid1MouseMove);
  connect(TrackBar1, &QSlider::valueChanged, this, &TForm1::TrackBar1Change);
  connect(RBSource1, &QRadioButton::clicked, this, &TForm1::RBSource1Click);
  connect(RBTarget1, &QRadioButton::clicked, this, &TForm1::RBSource1Click);
  connect(RBDelta1, &QRadioButton::clicked, this, &TForm1::RBSource1Click);
  connect(ChkInvertSelection, &QCheckBox::clicked, this, &TForm1::ChkInvertSelectionClick);
  for (QWidget* w :
       {static_cast<QWidget*>(RBSource1), static_cast<QWidget*>(RBTarget1), static_cast<QWidget*>(RBDelta1),
        static_cast<QWidget*>(SpinRadius2), static_cast<QWidget*>(SpinRepetition2)})
    w->installEventFilter(this);
}

void TForm1::CreateMenus() {
  File1 = menuBar()->addMenu("&File");
  File1->setObjectName("File1");
  Newlibrary1 = Item(File1, "Newlibrary1", "New library...");
  Openlibrary1 = Item(File1, "Openlibrary1", "Open library...");
  Openvtp1 = Item(File1, "Openvtp1", "Open project...");
  Opensource1 = Item(File1, "Opensource1", "Open source image...");
  File1->addSeparator();
  Revertproject1 = Item(File1, "Revertproject1", "Revert project");
  Closeproject1 = Item(File1, "Closeproject1", "Close project");
  File1->addSeparator();
  Recentprojects1 = File1->addMenu("Recent projects");
  Recentprojects1->setObjectName("Recentprojects1");
  Recentlibrarys1 = File1->addMenu("Recent libraries");
  Recentlibrarys1->setObjectName("Recentlibrarys1");
  Recentimages1 = File1->addMenu("Recent source images");
  Recentimages1->setObjectName("Recentimages1");
  File1->addSeparator();
  SaveVTP1 = Item(File1, "SaveVTP1", "Save project", QKeySequence("Ctrl+S"));
  SaveVTPas1 = Item(File1, "SaveVTPas1", "Save project as...", QKeySequence("Shift+Ctrl+S"));
  Savemosaic1 = Item(File1, "Savemosaic1", "Save mosaic...");
  Savestatistic1 = Item(File1, "Savestatistic1", "Save statistic...");
  Savemosaicas1 = Item(File1, "Savemosaicas1", "Save mosaic as...");
  Savemosaicas1->setVisible(false);
  File1->addSeparator();
  Exit1 = Item(File1, "Exit1", "Exit");

  Edit1 = menuBar()->addMenu("&Edit");
  Edit1->setObjectName("Edit1");
  Erasecell1 = Item(Edit1, "Erasecell1", "Erase cell");
  Selectall1 = Item(Edit1, "Selectall1", "Select all", QKeySequence("Ctrl+A"));
  Eraseselection1 = Item(Edit1, "Eraseselection1", "Erase selection");
  Specialerasing1 = Edit1->addMenu("Special erasing");
  Specialerasing1->setObjectName("Specialerasing1");
  CheckBoard11 = Item(Specialerasing1, "CheckBoard11", "CheckBoard 1");
  CheckBoard21 = Item(Specialerasing1, "CheckBoard21", "CheckBoard 2");
  HLines1 = Item(Specialerasing1, "HLines1", "H Lines");
  VLines1 = Item(Specialerasing1, "VLines1", "V Lines");
  Edit1->addSeparator();
  Libraryinspector1 = Item(Edit1, "Libraryinspector1", "Library inspector...");
  Preferences1 = Item(Edit1, "Preferences1", "Preferences...");

  Run1 = menuBar()->addMenu("&Mosaic");
  Run1->setObjectName("Run1");
  RunVitraneWizard1 = Item(Run1, "RunVitraneWizard1", "Run Vitrane Wizard", QKeySequence("Ctrl+W"));
  Manual1 = Item(Run1, "Manual1", "Manual tiles mode", QKeySequence("Ctrl+M"));
  Run1->addSeparator();
  Mosaicall1 = Item(Run1, "Mosaicall1", "Mosaic all");
  Randommosaic1 = Item(Run1, "Randommosaic1", "Random mosaic");
  Smartmosaic1 = Item(Run1, "Smartmosaic1", "Smart mosaic");
  Run1->addSeparator();
  Stopmosaicprocess1 = Item(Run1, "Stopmosaicprocess1", "Stop mosaic process", QKeySequence(Qt::Key_Escape));

  View1 = menuBar()->addMenu("&View");
  View1->setObjectName("View1");
  Hidedetailes1 = Item(View1, "Hidedetailes1", "Hide details", QKeySequence("Ctrl+F7"));
  Showdetailes1 = Item(View1, "Showdetailes1", "Show details", QKeySequence("Ctrl+F8"));
  View1->addSeparator();
  Fastview1 = Item(View1, "Fastview1", "Fast view", QKeySequence("Ctrl+1"));
  N1001 = Item(View1, "N1001", "100%", QKeySequence("Ctrl+9"));
  Fittowindow1 = Item(View1, "Fittowindow1", "Fit to window", QKeySequence("Ctrl+0"));
  Fittoselection1 = Item(View1, "Fittoselection1", "Fit to selection", QKeySequence("Shift+Ctrl+0"));
  ZoomIn1 = Item(View1, "ZoomIn1", "Zoom In");
  ZoomOut1 = Item(View1, "ZoomOut1", "Zoom Out");
  View1->addSeparator();
  ViewSource1 = Item(View1, "ViewSource1", "View Source", QKeySequence("Ctrl+2"));
  ViewTarget1 = Item(View1, "ViewTarget1", "View Target", QKeySequence("Ctrl+3"));
  Showgrid1 = Item(View1, "Showgrid1", "Show grid", QKeySequence("Ctrl+4"));
  Hidegrid1 = Item(View1, "Hidegrid1", "Hide grid");
  Hidegrid1->setVisible(false);
  View1->addSeparator();
  Sourceimage1 = Item(View1, "Sourceimage1", "Source image", QKeySequence("Ctrl+I"));

  Help1 = menuBar()->addMenu("&Help");
  Help1->setObjectName("Help1");
  HelpItem1 = Item(Help1, "HelpItem1", "Help");
  VisitVitraneonline1 = Item(Help1, "VisitVitraneonline1", "Visit Vitrane online...");
  About1 = Item(Help1, "About1", "About...");

  connect(Openlibrary1, &QAction::triggered, this, &TForm1::Openlibrary1Click);
  connect(Openvtp1, &QAction::triggered, this, &TForm1::Openvtp1Click);
  connect(Revertproject1, &QAction::triggered, this, &TForm1::Revertproject1Click);
  connect(Closeproject1, &QAction::triggered, this, &TForm1::Closeproject1Click);
  connect(SaveVTP1, &QAction::triggered, this, &TForm1::SaveVTP1Click);
  connect(SaveVTPas1, &QAction::triggered, this, &TForm1::SaveVTPas1Click);
  connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
  for (QMenu* m : {Recentprojects1, Recentlibrarys1, Recentimages1})
    connect(m, &QMenu::triggered, this, &TForm1::RecentMenuClick);
  connect(Selectall1, &QAction::triggered, this, &TForm1::Selectall1Click);
  connect(Hidedetailes1, &QAction::triggered, this, &TForm1::Hidedetailes1Click);
  connect(Showdetailes1, &QAction::triggered, this, &TForm1::Showdetailes1Click);
  connect(Fastview1, &QAction::triggered, this, &TForm1::Fastview1Click);
  connect(N1001, &QAction::triggered, this, &TForm1::N1001Click);
  connect(Fittowindow1, &QAction::triggered, this, &TForm1::Fittowindow1Click);
  connect(Fittoselection1, &QAction::triggered, this, &TForm1::Fittoselection1Click);
  connect(ZoomIn1, &QAction::triggered, this, &TForm1::ZoomIn1Click);
  connect(ZoomOut1, &QAction::triggered, this, &TForm1::ZoomOut1Click);
  connect(ViewSource1, &QAction::triggered, this, &TForm1::ViewSource1Click);
  connect(ViewTarget1, &QAction::triggered, this, &TForm1::ViewTarget1Click);
  connect(Showgrid1, &QAction::triggered, this, &TForm1::Showgrid1Click);
  connect(Hidegrid1, &QAction::triggered, this, &TForm1::Hidegrid1Click);
  connect(View1, &QMenu::aboutToShow, this, &TForm1::View1Click);
  connect(HelpItem1, &QAction::triggered, this, &TForm1::Help1Click);
  connect(VisitVitraneonline1, &QAction::triggered, this, [] { ShellOpen(TSplashForm::WebAddress); });
  connect(About1, &QAction::triggered, this, &TForm1::About1Click);
  for (QMenu* m : {File1, Edit1, Run1}) connect(m, &QMenu::aboutToShow, this, &TForm1::SetButtonsOnOff);
  ConnectBuildCommands();
  ConnectOutputCommands();
  ConnectLibraryCommands();
  ConnectSourceCommands();
  ConnectWizardCommands();
  ConnectManualCommands();

  // Tool buttons forward to their menu commands ("Render mosaic" and "Stop"
  // have handlers of their own) and are enabled exactly when those are.
  for (const auto& [button, action] : ToolCommands()) {
    if (button != SpeedButton7 && button != SpeedButton9)
      connect(button, &QToolButton::clicked, action, &QAction::trigger);
    connect(action, &QAction::enabledChanged, this, &TForm1::SyncToolButtons);
  }
  for (QAction* a : {Mosaicall1, Randommosaic1, Smartmosaic1})
    connect(a, &QAction::enabledChanged, this, &TForm1::SyncToolButtons);
}

std::vector<std::pair<QToolButton*, QAction*>> TForm1::ToolCommands() const {
  QAction* const builds[] = {Mosaicall1, Randommosaic1, Smartmosaic1};
  QAction* const render = builds[std::min<int>(DefaultRenderMode, roSmart)];
  return {{SpeedButton11, RunVitraneWizard1}, {SpeedButton1, Newlibrary1}, {SpeedButton2, Openlibrary1},
          {SpeedButton3, Opensource1},        {SpeedButton4, Openvtp1},    {SpeedButton5, SaveVTP1},
          {SpeedButton6, Savemosaic1},        {SpeedButton7, render},      {SpeedButton8, Manual1},
          {SpeedButton9, Stopmosaicprocess1}, {SpeedButton10, Exit1}};
}

void TForm1::SyncToolButtons() {
  for (const auto& [button, action] : ToolCommands()) button->setEnabled(action->isEnabled());
}

void TForm1::FormCreate() {
  setMinimumSize(DesignWidth, DesignHeight);
  // The zoom keys sit on the "=+" and "-" keys of the main keyboard.
  ZoomIn1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
  ZoomOut1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
  if (Application) {
    Application->Title = "Vitrane";
    Application->HelpFile = ProgramFolder() + "VITRANE.HLP";
  }
  setWindowTitle(QString::fromStdString(ProductCaption));
  SetHelpContext(this, 4);
  InitRecentFileMenu();
  LoadFormBounds(SettingsFileName, "LayOut", "MainForm", this);
  ReadInitialIni();
  FCellPopup = new TKWD7PopupMenu(this);
  FCellPopup->HelpContext = 11;
  InitPopUpMenu();
}

void TForm1::ReadInitialIni() {
  const std::string& ini = SettingsFileName;
  std::string mode;
  IniReadString(ini, "StartUp", "DefaultMosaicMode", mode, "Smart");
  SetDefaultRenderMode(mode == "TopBottom" ? roNatural : mode == "Random" ? roRandom : roSmart);
  SpinRadius2->SetValue(IniReadInteger(ini, "Render", "Radius", 6));
  SpinRepetition2->SetValue(IniReadInteger(ini, "Render", "Repetition", 0));
  ChkFixAuto->setChecked(IniReadBool(ini, "Render", "FixAuto", false));
  ChkFixManual->setChecked(IniReadBool(ini, "Render", "FixManual", true));
  ChkInvertSelection->setChecked(IniReadBool(ini, "Render", "InvSelection", false));
  FWizardOnStart = IniReadBool(ini, "StartUp", "WizardOnStart", true);
  FStretchTiles = false;
  // Every start offers the tiles as they are; flipped kinds are asked for anew.
  CBFlipOriginal->setChecked(true);
  CBFlipH->setChecked(false);
  CBFlipV->setChecked(false);
  CBRota180->setChecked(false);
  FAllowPopUpCandidates = IniReadBool(ini, "Advanced", "AllowPopUpCndidates", true);
  // The grid popup gets this many items and three more.
  FShowBestCandidates = std::clamp(IniReadInteger(ini, "Advanced", "ShowBestCndidates", 5), 1, 999999);
  FAllowFastJpg = IniReadBool(ini, "Advanced", "AllowFastJpg", true);
  FDetailedBackground = IniReadBool(ini, "Advanced", "DetailedBackground", true);
}

void TForm1::SetDefaultRenderMode(uint8_t mode) {
  DefaultRenderMode = mode;
  QAction* const builds[] = {Mosaicall1, Randommosaic1, Smartmosaic1};
  for (int i = 0; i < 3; ++i) builds[i]->setShortcut(i == mode ? QKeySequence("Ctrl+R") : QKeySequence());
  SyncToolButtons();
}

void TForm1::StartUpSetup() {
  std::string open, name;
  IniReadString(SettingsFileName, "StartUp", "OpenOnStart", open, "No");
  if (open == "Base") {
    IniReadString(SettingsFileName, "StartUp", "LastBase", name, "");
    if (!name.empty() && FileExists(name)) {
      OpenLibraryByName(name);
      ShowStatus();
    }
  } else if (open == "Project") {
    IniReadString(SettingsFileName, "StartUp", "LastProject", name, "");
    if (!name.empty() && FileExists(name)) {
      OpenVTP(name);
      ShowStatus();
    }
  }
  SetButtonsOnOff();
}

void TForm1::FormDestroy() {
  const std::string& ini = SettingsFileName;
  IniWriteString(ini, "StartUp", "LastBase", VTLib1.BaseName());
  IniWriteString(ini, "StartUp", "LastProject", VTPlan1.BaseName());
  IniWriteInteger(ini, "Render", "Radius", SpinRadius2->Value());
  IniWriteInteger(ini, "Render", "Repetition", SpinRepetition2->Value());
  IniWriteBool(ini, "Render", "FixAuto", ChkFixAuto->isChecked());
  IniWriteBool(ini, "Render", "FixManual", ChkFixManual->isChecked());
  IniWriteBool(ini, "Render", "InvSelection", ChkInvertSelection->isChecked());
  IniWriteBool(ini, "Advanced", "UseOriginalFlip", CBFlipOriginal->isChecked());
  IniWriteBool(ini, "Advanced", "UseHFlip", CBFlipH->isChecked());
  IniWriteBool(ini, "Advanced", "UseVFlip", CBFlipV->isChecked());
  IniWriteBool(ini, "Advanced", "Use180Flip", CBRota180->isChecked());
  SaveFormBounds(ini, "LayOut", "MainForm", this);
}

namespace {
void EnableMenu(QMenu* menu, bool enabled) {
  menu->menuAction()->setEnabled(enabled);
  for (QAction* a : menu->actions()) a->setEnabled(enabled);
}
}  // namespace

void TForm1::SetButtonsOnOff() {
  const bool lib = LibraryOpen(), project = ProjectOpen(), modified = ProjectModified();
  const bool idle = !LongOperationRunning;
  // Items without a rule of their own are on, except during a long operation.
  EnableMenu(File1, true);
  EnableMenu(Edit1, true);
  SaveVTP1->setEnabled(modified);
  Revertproject1->setEnabled(modified);
  SaveVTPas1->setEnabled(VTMosaic1.TableIsOpen());
  Closeproject1->setEnabled(project);
  Openlibrary1->setEnabled(idle);
  Openvtp1->setEnabled(idle);
  Selectall1->setEnabled(idle);
  SetBuildButtons(lib, project, idle);
  SetOutputButtons(lib, project, idle);
  SetLibraryButtons(lib, project, idle);
  SetSourceButtons(lib, project, idle);
  SetWizardButtons(idle);
  SetManualButtons(lib, project, idle);
  if (!idle) {
    EnableMenu(File1, false);
    EnableMenu(Edit1, false);
  }
  // Last: a topic above may have set a button of its own.
  SyncToolButtons();
}

bool TForm1::QuerySaveProject() {
  if (!ProjectModified()) return true;
  switch (
      MessageBox("Project was modified. Save before close?", "Vitrane", MB_YESNOCANCEL | MB_ICONQUESTION)) {
    case IDYES:
      SaveVTP();
      return true;
    case IDNO:
      return true;
    default:
      return false;
  }
}

void TForm1::AskStopSave() {
  // The question comes from a close request: stopping the save is the way
  // to closing, which follows once the save has ended (RunSave).
  if (FSaveRunning && AskStopRunning("Vitrane")) {
    FStopRequested = true;
    FCloseAfterSave = true;
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A running save is not left behind half written: the window stays until
  // it has ended.
  if (FSaveRunning) {
    event->ignore();
    AskStopSave();
    return;
  }
  bool ok = false;
  RunGuarded([&] { ok = QuerySaveProject(); });
  if (ok)
    event->accept();
  else
    event->ignore();
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The wizard opens once, at the first showing after start-up, over the
  // window once that is on the screen (a dialog run from here would hold
  // the window back until it closed).
  if (!WizardShownOnce && FWizardOnStart) {
    WizardShownOnce = true;
    QMetaObject::invokeMethod(RunVitraneWizard1, &QAction::trigger, Qt::QueuedConnection);
  }
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    const QObject* const sources[] = {RBSource1, RBTarget1, RBDelta1, SpinRadius2, SpinRepetition2};
    const auto at = std::find(std::begin(sources), std::end(sources), watched);
    const char* text = at != std::end(sources) ? Panel1Texts[at - std::begin(sources)] : nullptr;
    if (text) SetStatusText(1, text);
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::Exit1Click() {
  close();
}

void TForm1::About1Click() {
  if (!SplashForm) SplashForm = new TSplashForm(nullptr);
  SplashForm->exec();
}

void TForm1::Help1Click() {
  ShowHelpContents();
}

void TForm1::SetStatusText(int panel, const std::string& text) {
  StatusPanels[size_t(panel)]->setText(QString::fromStdString(text));
  if (panel == 2) FCellDescribed = false;
}

std::string TForm1::StatusText(int panel) const {
  return StatusPanels[size_t(panel)]->text().toStdString();
}

void TForm1::FitStatusPanels() {
  const int cols = DrawGrid1->ColCount(), rows = DrawGrid1->RowCount();
  const std::string corner = std::to_string(cols) + ":" + std::to_string(rows);
  int panel0 = std::max(StatusWidth(StatusPanels[0], "Not " + corner + " x " + corner),
                        StatusWidth(StatusPanels[0], std::to_string(int64_t(cols) * rows)));
  for (const char* text : Panel0Texts) panel0 = std::max(panel0, StatusWidth(StatusPanels[0], text));
  StatusPanels[0]->setFixedWidth(std::max(82, panel0));
  int panel1 = 220;
  for (const char* text : Panel1Texts) panel1 = std::max(panel1, StatusWidth(StatusPanels[1], text));
  StatusPanels[1]->setMinimumWidth(panel1);
}

void TForm1::WidenStatusPanel1() {
  QLabel* panel = StatusPanels[1];
  panel->setMinimumWidth(std::max(panel->minimumWidth(), StatusWidth(panel, StatusText(1))));
}
