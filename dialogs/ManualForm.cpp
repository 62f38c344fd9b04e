#include "dialogs/ManualForm.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "dialogs/TilePreview.h"
#include "imaging/Resample.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Rounding.h"
#include "platform/Utils.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"
#include "platform/qt/QtImage.h"
#include "tiledb/PixelCodec.h"

namespace {

constexpr int DesignWidth = 560, DesignHeight = 420;
constexpr int PictureBox = 88;
const char CR = '\r';

QPushButton* Button(QWidget* parent, const char* name, const char* text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  return b;
}

TDrawGrid* TileList(QWidget* parent, const char* name) {
  auto* g = new TDrawGrid(parent);
  g->setObjectName(name);
  g->SetColCount(2);
  g->SetFixedCols(1);
  g->SetFixedRows(1);
  g->SetColWidths(0, 10);
  g->SetRowHeights(0, 10);
  g->Options = goRowSizing | goThumbTracking;
  return g;
}

bool Blank(const std::string& s) {
  return s.find_first_not_of(' ') == std::string::npos;
}

// The frame of a chosen tile: a black pen merged with the inverted screen,
// so that it shows on any colour.
void InvertedFrame(QPainter* c, const QRect& r) {
  c->save();
  c->setCompositionMode(QPainter::RasterOp_SourceOrNotDestination);
  c->setPen(QPen(Qt::black, 2));
  c->setBrush(Qt::NoBrush);
  const QPoint frame[] = {{r.left() + 1, r.top() + 1},
                          {r.right() - 1, r.top() + 1},
                          {r.right() - 1, r.bottom() - 1},
                          {r.left() + 1, r.bottom() - 1}};
  c->drawPolygon(frame, 4);
  c->restore();
}

}  // namespace

// ---- the preview overlay -------------------------------------------------------

TCellOverlay::TCellOverlay(TDrawGrid* grid) : QWidget(grid->viewport()), FGrid(grid) {
  setObjectName("PreviewOverlay");
  setAttribute(Qt::WA_TransparentForMouseEvents);
  hide();
  connect(grid, &TDrawGrid::OnDrawCell, this, [this](int col, int row, const TRect&, TGridDrawState) {
    CellDrawn(col, row);
  });
}

void TCellOverlay::ShowOver(int col, int row, const Bitmap24& bitmap) {
  const TRect r = FGrid->CellRect(col, row);
  if (r.Width() <= 0 || r.Height() <= 0 || bitmap.Empty()) {
    hide();
    return;
  }
  FCol = col;
  FRow = row;
  FImage = Bitmap24View(bitmap).copy();
  FPainted = false;
  setGeometry(r.Left, r.Top, r.Width(), r.Height());
  show();
  raise();
  update();
}

void TCellOverlay::paintEvent(QPaintEvent*) {
  QPainter c(this);
  c.drawImage(rect(), FImage);
  InvertedFrame(&c, QRect(0, 0, width(), height()));
  FPainted = true;
}

void TCellOverlay::CellDrawn(int col, int row) {
  if (!isVisible() || !FPainted || col != FCol || row != FRow) return;
  // Not in the middle of the grid's paint.
  QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
}

// ---- creation ---------------------------------------------------------------------

TManualForma::TManualForma(TManualHost host, QWidget* parent) : QDialog(parent), FHost(std::move(host)) {
  setObjectName("ManualForma");
  setWindowTitle("Manual tiles");
  // Kept above the main window: a tool window owned by it.
  setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Tool);
  setModal(false);
  SetHelpContext(this, 26);
  VTForcedLib1.ThumbsInMemory = false;
  VTForcedLib1.ShowThumbs = true;
  OpenDialog2.Filter = "vt2|*.vt2";

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  CreateLibraryPage();
  CreateCustomPage();
  CreateForcedPage();
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusPanel0 = new QLabel(StatusBar1);
  StatusPanel0->setObjectName("StatusPanel0");
  StatusBar1->addWidget(StatusPanel0, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 0);
  layout->addWidget(PageControl1, 1);
  layout->addWidget(StatusBar1);
  connect(PageControl1, &QTabWidget::currentChanged, this, &TManualForma::PageChanged);

  if (FHost.Grid) FOverlay = new TCellOverlay(FHost.Grid);
  FTilePopup = new TKWPopupMenu(this);
  FTilePopup->HelpContext = 11;
  auto* item = new TKWMenuItem(this);
  FTilePopup->Items()->Add(item);
  connect(item, &TKWCustomMenuItem::OnClick, this, [this, item] {
    if (!FPopupTable || !FPopupTable->TableIsOpen()) return;
    const bool thumbs = FPopupTable->ShowThumbs;
    FPopupTable->ShowThumbs = true;
    FPopupTable->MoveToPhysical(item->Tag);
    FPopupTable->ShowThumbs = thumbs;
    ShowTilePreview(*FPopupTable, this);
  });

  resize(DesignWidth, DesignHeight);
  setMinimumSize(DesignWidth, DesignHeight);
  LoadFormBounds(SettingsFileName, "LayOut", "ManualForm", this);
  // A stored width the window cannot hold gives the default.
  const int panel = IniReadInteger(SettingsFileName, "LayOut", "ManualFormPanel", width() / 3);
  FPanel3Width = panel >= 0 && panel <= width() ? panel : width() / 3;
  Splitter1->setSizes({std::max(width() - FPanel3Width, 1), FPanel3Width});
  KWSpinEdit1->SetValue(IniReadInteger(SettingsFileName, "LayOut", "ManualRows", 10));
  PageChanged(PageControl1->currentIndex());
  SetFolder(StartFolder());
}

std::string TManualForma::StartFolder() const {
  // Custom tiles are pictures: the tree starts where the picture dialogs do.
  const std::string remembered = FHost.LastPath ? FHost.LastPath("Source") : LastPathFolder("Source");
  if (!remembered.empty() && DirectoryExists(remembered)) return remembered;
  return DefaultDialogFolder(HomeFolder());
}

TManualForma::~TManualForma() {
  delete FOverlay.data();
  delete FProgressBar;
  const std::string& ini = SettingsFileName;
  SaveFormBounds(ini, "LayOut", "ManualForm", this);
  IniWriteInteger(ini, "LayOut", "ManualFormPanel", FPanel3Width);
  IniWriteInteger(ini, "LayOut", "ManualRows", KWSpinEdit1->CommittedValue());
}

void TManualForma::CreateLibraryPage() {
  TabSheet1 = new QWidget(PageControl1);
  TabSheet1->setObjectName("TabSheet1");
  SetHelpContext(TabSheet1, 27);
  PageControl1->addTab(TabSheet1, "Library tiles");
  Label1 = new QLabel("Show best:", TabSheet1);
  Label1->setObjectName("Label1");
  KWSpinEdit1 = new TKWSpinEdit(TabSheet1);
  KWSpinEdit1->setObjectName("KWSpinEdit1");
  KWSpinEdit1->MinValue = 1;
  KWSpinEdit1->MaxValue = 999999999;
  KWSpinEdit1->SetValue(10);
  BitBtn2 = Button(TabSheet1, "BitBtn2", "Find");
  BitBtn3 = Button(TabSheet1, "BitBtn3", "Replace");
  BitBtn4 = Button(TabSheet1, "BitBtn4", "Close");
  SpeedButton1 = Button(TabSheet1, "SpeedButton1", "Help");
  Panel2 = new QWidget(TabSheet1);
  Panel2->setObjectName("Panel2");
  Panel2->setFixedSize(PictureBox, PictureBox);
  Image1 = new TImage(Panel2);
  Image1->setObjectName("Image1");
  Image1->SetStretch(true);
  Image1->setGeometry(0, 0, PictureBox, PictureBox);
  Image1->installEventFilter(this);
  DrawGrid1 = TileList(TabSheet1, "DrawGrid1");

  auto* side = new QVBoxLayout;
  side->addWidget(Panel2);
  side->addWidget(Label1);
  side->addWidget(KWSpinEdit1);
  for (QWidget* w : {BitBtn2, BitBtn3, BitBtn4}) side->addWidget(w);
  side->addStretch();
  side->addWidget(SpeedButton1);
  auto* page = new QHBoxLayout(TabSheet1);
  page->addLayout(side);
  page->addWidget(DrawGrid1, 1);

  connect(KWSpinEdit1, &TKWSpinEdit::OnRealChange, this, &TManualForma::KWSpinEdit1RealChange);
  connect(BitBtn2, &QPushButton::clicked, this, &TManualForma::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TManualForma::BitBtn3Click);
  connect(BitBtn4, &QPushButton::clicked, this, &TManualForma::BitBtn4Click);
  connect(SpeedButton1, &QPushButton::clicked, this, [] { ShowHelpContext(27); });
  connect(DrawGrid1, &TDrawGrid::OnDrawCell, this, &TManualForma::DrawGrid1DrawCell);
  DrawGrid1->viewport()->installEventFilter(this);
  connect(DrawGrid1, &TDrawGrid::OnSelectCell, this, &TManualForma::DrawGrid1SelectCell);
  connect(DrawGrid1, &TDrawGrid::OnMouseDown, this,
          [this](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y, bool dbl) {
            DrawGrid1MouseDown(b, x, y, dbl);
          });
}

void TManualForma::CreateCustomPage() {
  TabSheet2 = new QWidget(PageControl1);
  TabSheet2->setObjectName("TabSheet2");
  SetHelpContext(TabSheet2, 28);
  PageControl1->addTab(TabSheet2, "Custom tiles");
  Splitter1 = new QSplitter(Qt::Horizontal, TabSheet2);
  Splitter1->setObjectName("Splitter1");

  auto* left = new QWidget(Splitter1);
  Panel4 = new QWidget(left);
  Panel4->setObjectName("Panel4");
  CropImage1 = new TCropImage(Panel4);
  CropImage1->setObjectName("CropImage1");
  CropImage1->ScaleW = 10;
  CropImage1->ScaleH = 10;
  CropImage1->ResampleStyle = TResampleStyle::None;
  CropImage1->SetScaleStyle(ssFullScale);
  CropImage1->SetCropRect(TRect(10, 10, 110, 110));
  CropImage1->ScaleW = 10;
  CropImage1->ScaleH = 10;
  CropImage1->SetShowCells(false);
  CropImage1->installEventFilter(this);
  auto* p4 = new QVBoxLayout(Panel4);
  p4->setContentsMargins(0, 0, 0, 0);
  p4->addWidget(CropImage1);
  ListBox1 = new QListWidget(left);
  ListBox1->setObjectName("ListBox1");
  QFont fixed("Monospace");
  fixed.setStyleHint(QFont::TypeWriter);
  ListBox1->setFont(fixed);
  BitBtn10 = Button(left, "BitBtn10", "Find");
  BitBtn9 = Button(left, "BitBtn9", "Replace");
  BitBtn1 = Button(left, "BitBtn1", "Close");
  SpeedButton2 = Button(left, "SpeedButton2", "Help");
  auto* buttons = new QVBoxLayout;
  for (QWidget* w : {BitBtn10, BitBtn9, BitBtn1}) buttons->addWidget(w);
  buttons->addStretch();
  buttons->addWidget(SpeedButton2);
  auto* below = new QHBoxLayout;
  below->addWidget(ListBox1, 1);
  below->addLayout(buttons);
  auto* l = new QVBoxLayout(left);
  l->setContentsMargins(0, 0, 0, 0);
  l->addWidget(Panel4, 3);
  l->addLayout(below, 2);

  Panel3 = new QWidget(Splitter1);
  Panel3->setObjectName("Panel3");
  DriveComboBox1 = new QComboBox(Panel3);
  DriveComboBox1->setObjectName("DriveComboBox1");
  // No drives here: the file system's root and the home folder.
  DriveComboBox1->addItem("/");
  DriveComboBox1->addItem(QDir::homePath() + "/");
  // Read when a folder is chosen, not watched: a busy folder costs nothing.
  DirectoryListBox1 = new QTreeWidget(Panel3);
  DirectoryListBox1->setObjectName("DirectoryListBox1");
  DirectoryListBox1->setHeaderHidden(true);
  DirectoryListBox1->setColumnCount(1);
  FileListBox1 = new QListWidget(Panel3);
  FileListBox1->setObjectName("FileListBox1");
  auto* p3 = new QVBoxLayout(Panel3);
  p3->setContentsMargins(0, 0, 0, 0);
  p3->addWidget(DriveComboBox1);
  p3->addWidget(DirectoryListBox1, 1);
  p3->addWidget(FileListBox1, 1);
  Splitter1->addWidget(left);
  Splitter1->addWidget(Panel3);
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 0);
  auto* page = new QHBoxLayout(TabSheet2);
  page->addWidget(Splitter1);

  connect(Splitter1, &QSplitter::splitterMoved, this, [this] { FPanel3Width = Panel3->width(); });
  connect(DriveComboBox1, &QComboBox::textActivated, this,
          [this](const QString& root) { SetFolder(root.toStdString()); });
  connect(DirectoryListBox1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (FFilling || !item) return;
    // The tree is rebuilt for the new folder: not inside its own signal.
    const std::string folder = item->data(0, Qt::UserRole).toString().toStdString();
    QMetaObject::invokeMethod(this, [this, folder] { DirectoryListBox1Change(folder); }, Qt::QueuedConnection);
  });
  connect(FileListBox1, &QListWidget::currentTextChanged, this, [this](const QString& name) {
    if (!FFilling && !name.isEmpty()) FileListBox1Change(FFolder + name.toStdString());
  });
  connect(CropImage1, &TCropImage::ChangeCropPos, this, &TManualForma::CropImage1ChangeCropPos);
  connect(BitBtn10, &QPushButton::clicked, this, &TManualForma::BitBtn10Click);
  connect(BitBtn9, &QPushButton::clicked, this, &TManualForma::BitBtn9Click);
  connect(BitBtn1, &QPushButton::clicked, this, &TManualForma::BitBtn4Click);
  connect(SpeedButton2, &QPushButton::clicked, this, [] { ShowHelpContext(28); });
  connect(ListBox1, &QListWidget::currentRowChanged, this, [this](int index) {
    if (!FFilling && index >= 0) ListBox1Click(index);
  });
  connect(ListBox1, &QListWidget::itemDoubleClicked, this, &TManualForma::BitBtn9Click);
}

void TManualForma::CreateForcedPage() {
  TabSheet3 = new QWidget(PageControl1);
  TabSheet3->setObjectName("TabSheet3");
  SetHelpContext(TabSheet3, 29);
  PageControl1->addTab(TabSheet3, "Forced tiles");
  DrawGrid2 = TileList(TabSheet3, "DrawGrid2");
  DrawGrid2->SetDefaultRowHeight(48);
  DrawGrid2->SetRowHeights(0, 10);
  DrawGrid2->SetRowCount(2);
  BtnOpenForceBase = Button(TabSheet3, "BtnOpenForceBase", "Open base");
  BitBtn5 = Button(TabSheet3, "BitBtn5", "Replace all");
  BtnClose1 = Button(TabSheet3, "BtnClose1", "Close base");
  BitBtn6 = Button(TabSheet3, "BitBtn6", "Close");
  SpeedButton3 = Button(TabSheet3, "SpeedButton3", "Help");
  auto* side = new QVBoxLayout;
  for (QWidget* w : {BtnOpenForceBase, BitBtn5, BtnClose1, BitBtn6}) side->addWidget(w);
  side->addStretch();
  side->addWidget(SpeedButton3);
  auto* page = new QHBoxLayout(TabSheet3);
  page->addWidget(DrawGrid2, 1);
  page->addLayout(side);

  connect(BtnOpenForceBase, &QPushButton::clicked, this, &TManualForma::BtnOpenForceBaseClick);
  connect(BitBtn5, &QPushButton::clicked, this, &TManualForma::BitBtn5Click);
  connect(BtnClose1, &QPushButton::clicked, this, &TManualForma::BtnClose1Click);
  connect(BitBtn6, &QPushButton::clicked, this, &TManualForma::BitBtn4Click);
  connect(SpeedButton3, &QPushButton::clicked, this, [] { ShowHelpContext(29); });
  connect(DrawGrid2, &TDrawGrid::OnDrawCell, this, &TManualForma::DrawGrid2DrawCell);
  DrawGrid2->viewport()->installEventFilter(this);
  connect(DrawGrid2, &TDrawGrid::OnMouseDown, this,
          [this](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y, bool) { DrawGrid2MouseDown(b, x, y); });
}

void TManualForma::PageChanged(int index) {
  QPushButton* const defaults[] = {BitBtn3, BitBtn9, BitBtn5};
  QPushButton* const closes[] = {BitBtn4, BitBtn1, BitBtn6};
  if (index >= 0 && index < 3) SetDialogButtons(this, defaults[index], closes[index]);
}

// ---- window events -------------------------------------------------------------------

void TManualForma::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TManualForma::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FitColumns();
}

void TManualForma::FitColumns() {
  if (!DrawGrid1 || !DrawGrid2) return;
  for (TDrawGrid* g : {DrawGrid1, DrawGrid2})
    g->SetColWidths(1, std::max(1, g->viewport()->width() - g->ColWidths(0) - 5));
}

bool TManualForma::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Image1 && event->type() == QEvent::MouseButtonPress)
    Image1MouseDown(static_cast<QMouseEvent*>(event)->button());
  if (watched == CropImage1 && event->type() == QEvent::Resize) Panel4Resize();
  // A list on a page not shown yet gets its width when the page appears.
  if (event->type() == QEvent::Resize && DrawGrid1 && DrawGrid2 &&
      (watched == DrawGrid1->viewport() || watched == DrawGrid2->viewport()))
    FitColumns();
  return QDialog::eventFilter(watched, event);
}

void TManualForma::reject() {
  BitBtn4Click();
}

void TManualForma::FormShow() {
  ClearCell();
  const TVTData* lib = FHost.Library;
  if (!lib || !lib->TableIsOpen()) {
    DrawGrid1->SetRowCount(1);
    return;
  }
  DrawGrid1->SetRowCount(1 + std::min(KWSpinEdit1->Value(), lib->RecordCount));
  const Bitmap24& tile = lib->DisplayBitmap;
  if (tile.Height() > 0) DrawGrid1->SetDefaultRowHeight(tile.Height());
  DrawGrid1->SetRowHeights(0, 10);
  DrawGrid1->SetColWidths(0, 10);
  const TRect fitted = FitRect(TRect(0, 0, tile.Width(), tile.Height()), TRect(0, 0, PictureBox, PictureBox));
  Image1->setGeometry(fitted.Left, fitted.Top, fitted.Width(), fitted.Height());
  FitColumns();
}

// ---- library tiles ---------------------------------------------------------------------

int32_t TManualForma::CandidateCount() {
  // A list longer than the library only adds empty rows; the bound keeps a
  // huge "Show best" from asking for rows and index entries by the billion.
  const TVTData* lib = FHost.Library;
  const int32_t records = lib && lib->TableIsOpen() ? lib->RecordCount : 0;
  return std::min(KWSpinEdit1->Value(), records);
}

void TManualForma::KWSpinEdit1RealChange() {
  DrawGrid1->SetRowCount(CandidateCount() + 1);
}

bool TManualForma::TablesOpen() const {
  return FHost.Library && FHost.Library->TableIsOpen() && FHost.Plan && FHost.Plan->TableIsOpen() &&
         FHost.Mosaic && FHost.Mosaic->TableIsOpen();
}

void TManualForma::FindCandidates() {
  if (!TablesOpen() || FCellCol < 0 || FCellRow < 0) return;
  std::vector<int32_t> links;
  FHost.Mosaic->GetAllLinks(links, 1);
  FHost.Plan->MoveTo(FHost.CellToRow(FCellRow, FCellCol));
  FHost.Library->FindBestMatches(*FHost.Plan, links, FHost.FlipSet(), CandidateCount() + 1, FHost.Distance(),
                                 FHost.Grid->ColCount(), FHost.Grid->RowCount(), FCellCol, FCellRow);
  DrawGrid1->viewport()->update();
}

void TManualForma::BitBtn2Click() {
  if (!TablesOpen()) return;
  FCellCol = FHost.Grid->Col();
  FCellRow = FHost.Grid->Row();
  DescribeCell();
  FindCandidates();
}

void TManualForma::ClearCell() {
  FCellCol = FCellRow = -1;
  DescribeCell();
  DrawGrid1->viewport()->update();
  if (FOverlay) FOverlay->hide();
  if (FHost.CellCleared) FHost.CellCleared();
}

void TManualForma::DescribeCell() {
  TVTData* mosaic = FHost.Mosaic;
  if (FCellCol < 0 || FCellRow < 0 || !mosaic || !mosaic->TableIsOpen()) {
    StatusPanel0->clear();
    Image1->SetPicture(Bitmap24());
    return;
  }
  mosaic->MoveTo(FHost.CellToRow(FCellRow, FCellCol));
  StatusPanel0->setText(QString::fromStdString("Cell: " + std::to_string(FCellCol + 1) + ":" +
                                               std::to_string(FCellRow + 1) + "  Pic: " + mosaic->CurPath +
                                               " (" + std::to_string(mosaic->CurPicWidth) + "/" +
                                               std::to_string(mosaic->CurPicHeight) + ")"));
  Image1->SetPicture(mosaic->DisplayBitmap);
}

void TManualForma::FillForCell(int col, int row) {
  FCellCol = col;
  FCellRow = row;
  DescribeCell();
  FFilling = true;
  if (DrawGrid1->RowCount() > 1) {
    DrawGrid1->SetRow(1);
    DrawGrid1->SetCol(1);
  }
  FFilling = false;
  FindCandidates();
}

void TManualForma::DrawGrid1SelectCell(int col, int row, bool& canSelect) {
  (void)col;
  (void)canSelect;
  if (FFilling || FCellCol < 0 || FCellRow < 0 || !FHost.Library->TableIsOpen()) return;
  FHost.Library->MoveTo(row);
  ShowPreview(FHost.Library->DisplayBitmap);
}

bool TManualForma::StoreCandidate(int32_t n) {
  if (!TablesOpen()) return false;
  FHost.Library->MoveTo(DrawGrid1->Row());
  if (!FHost.Mosaic->SetRecordFrom(n, *FHost.Library, true)) return false;
  DescribeCell();  // the window shows the tile the cell now holds
  return true;
}

bool TManualForma::StoreCustom(int32_t n) {
  if (!FHost.Mosaic || !FHost.Mosaic->TableIsOpen() || FCustomTile.Empty()) return false;
  const Bitmap24& pic = CropImage1->Picture();
  const TRect crop = CropImage1->CropRectF();
  if (!FHost.Mosaic->SetRecordBitmap(n, FCustomTile, CustomTileLink, pic.Width(), pic.Height(), crop.Left,
                                     crop.Top, crop.Right, crop.Bottom, CropImage1->PictureFileName()))
    return false;
  DescribeCell();
  return true;
}

bool TManualForma::StoreChoice(int32_t n) {
  switch (PageControl1->currentIndex()) {
    case pgLibrary:
      return StoreCandidate(n);
    case pgCustom:
      return StoreCustom(n);
    default:
      return false;
  }
}

void TManualForma::RedrawMainCell(int col, int row) {
  if (FHost.CellStored)
    FHost.CellStored(col, row);
  else
    FHost.Grid->InvalidateCell(col, row);
}

void TManualForma::BitBtn3Click() {
  if (FCellCol < 0 || FCellRow < 0) return;
  if (StoreCandidate(FHost.CellToRow(FCellRow, FCellCol))) RedrawMainCell(FCellCol, FCellRow);
  FHost.SetButtonsOnOff();
}

void TManualForma::BitBtn4Click() {
  ClearCell();
  if (FHost.Library && FHost.Library->TableIsOpen()) FHost.Library->ClearIndex();
  hide();
}

void TManualForma::DrawGrid1MouseDown(Qt::MouseButton button, int x, int y, bool doubleClick) {
  if (button == Qt::LeftButton && doubleClick) BitBtn3Click();
  if (button != Qt::RightButton) return;
  int col = -1, row = -1;
  DrawGrid1->MouseToCell(x, y, col, row);
  // Without a cell the list shows no candidates to offer.
  if (row > 0 && FCellCol >= 0 && FCellRow >= 0 && FHost.Library->TableIsOpen()) {
    FHost.Library->MoveTo(row);
    PopupOn(DrawGrid1, *FHost.Library, FHost.Library->CurRecNo);
  } else {
    SetPopupMenu(DrawGrid1, nullptr);
  }
}

void TManualForma::Image1MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton) return;
  TVTData* mosaic = FHost.Mosaic;
  const int32_t n = FCellCol >= 0 && FCellRow >= 0 ? FHost.CellToRow(FCellRow, FCellCol) : 0;
  if (n <= 0 || !mosaic->TableIsOpen()) {
    SetPopupMenu(Image1, nullptr);
    return;
  }
  // The stored thumbnail, not the sample picture.
  const bool thumbs = mosaic->ShowThumbs;
  mosaic->ShowThumbs = true;
  mosaic->MoveTo(n);
  PopupOn(Image1, *mosaic, n);
  mosaic->ShowThumbs = thumbs;
}

void TManualForma::PopupOn(QWidget* control, TVTData& table, int32_t record) {
  if (record <= 0) {
    SetPopupMenu(control, nullptr);
    return;
  }
  TKWCustomMenuItem* item = FTilePopup->Items()->Items(0);
  item->Tag = record;
  item->Bitmap = table.DisplayBitmap;
  item->Caption = "Show file " + ExtractFileName(table.CurPath) + " (" + std::to_string(table.CurPicWidth) +
                  "/" + std::to_string(table.CurPicHeight) + ")";
  item->Enabled = !Blank(table.CurPath);
  FPopupTable = &table;
  SetPopupMenu(control, FTilePopup);
}

// ---- drawing the tile lists ----------------------------------------------------------------

void TManualForma::FitRowHeight(TDrawGrid* grid, int height) {
  const int fixedHeight = grid->RowHeights(0), fixedWidth = grid->ColWidths(0);
  grid->SetDefaultRowHeight(height);
  grid->SetRowHeights(0, fixedHeight);
  grid->SetColWidths(0, fixedWidth);
}

void TManualForma::DrawTileRow(TDrawGrid* grid, TVTData& table, int col, int row, const TRect& rect,
                               TGridDrawState state) {
  if (!table.TableIsOpen() || (state & gdFixed) || col < 1 || row < 1) return;
  QPainter* c = grid->Canvas();
  if (!c) return;
  const QFontMetrics fm(c->font());
  const int th = fm.boundingRect("ABC").height();
  int h = grid->RowHeights(grid->TopRow());
  if (h != grid->DefaultRowHeight()) {
    // The user dragged a row: all rows follow, never lower than three lines.
    h = std::max(h, 3 * th + 6);
    FitRowHeight(grid, h);
  }
  const int w =
      table.YScale > 0 ? int(RoundHalfEven(static_cast<double>(h) / table.YScale * table.XScale)) : h;
  table.MoveTo(row);
  if (table.CurRecNo <= 0) return;
  const QRect pic(rect.Left, rect.Top, w, rect.Height());
  c->drawImage(pic, Bitmap24View(table.DisplayBitmap));
  QFont normal = c->font(), bold = normal;
  bold.setBold(true);
  c->setPen(palette().color(QPalette::Text));
  const int x = rect.Left + w + 3;
  c->setFont(bold);
  c->drawText(x, rect.Bottom - 3 * th - 6 + fm.ascent(), QString::number(table.CurRecNo));
  c->setFont(normal);
  c->drawText(x, rect.Bottom - 2 * th - 3 + fm.ascent(),
              QString::fromStdString(std::to_string(table.CurPicWidth) + " x " +
                                     std::to_string(table.CurPicHeight)));
  c->drawText(x, rect.Bottom - th + fm.ascent(), QString::fromStdString(table.CurPath));
  if (state & (gdSelected | gdFocused)) InvertedFrame(c, pic);
  if (table.PicDeleted()) {
    c->setPen(QPen(Qt::black, 2));
    c->drawLine(rect.Left, rect.Top, rect.Right, rect.Bottom);
    c->drawLine(rect.Right, rect.Top, rect.Left, rect.Bottom);
  }
}

void TManualForma::DrawGrid1DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  // Rows stand for a cell's candidates: without a cell they would show the
  // library in its stored order, or the order of a cell no longer edited.
  if (FHost.Library && FCellCol >= 0 && FCellRow >= 0)
    DrawTileRow(DrawGrid1, *FHost.Library, col, row, rect, state);
}

void TManualForma::DrawGrid2DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  DrawTileRow(DrawGrid2, VTForcedLib1, col, row, rect, state);
}

// ---- the preview on the main grid --------------------------------------------------------

void TManualForma::ShowPreview(const Bitmap24& bitmap) {
  if (FCellCol < 0 || FCellRow < 0 || !FHost.Grid || !FOverlay) return;
  TDrawGrid* grid = FHost.Grid;
  if (grid->Col() != FCellCol || grid->Row() != FCellRow) {
    grid->SetSelection({FCellCol, FCellRow, FCellCol, FCellRow});
    grid->viewport()->update();
  }
  const int col = FCellCol, row = FCellRow;
  ProcessMessages();
  FOverlay->ShowOver(col, row, bitmap);
}

// ---- custom tiles --------------------------------------------------------------------------

void TManualForma::SetFolder(const std::string& folder) {
  FFolder = IncludeTrailingPathDelimiter(folder);
  FFilling = true;
  FillFolderTree();
  FileListBox1->clear();
  QStringList masks;
  for (const QString& m : QString(FileMask).split(';')) masks << m;
  // Matched without regard to case, as the masks always were.
  FileListBox1->addItems(
      QDir(QString::fromStdString(FFolder)).entryList(masks, QDir::Files, QDir::Name | QDir::IgnoreCase));
  FFilling = false;
}

void TManualForma::FillFolderTree() {
  const QString folder = QString::fromStdString(FFolder);
  const QString home = DriveComboBox1->itemText(1);
  const QString drive = folder.startsWith(home) ? home : QString("/");
  DriveComboBox1->setCurrentText(drive);
  DirectoryListBox1->clear();
  auto add = [](QTreeWidgetItem* parent, const QString& name, const QString& path) {
    auto* item = new QTreeWidgetItem(parent, QStringList(name));
    item->setData(0, Qt::UserRole, path);
    return item;
  };
  auto* current = new QTreeWidgetItem(DirectoryListBox1, QStringList(drive));
  current->setData(0, Qt::UserRole, drive);
  QString path = drive;
  for (const QString& part : folder.mid(drive.size()).split('/', Qt::SkipEmptyParts)) {
    path += part + "/";
    current = add(current, part, path);
  }
  for (const QString& sub : QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase))
    add(current, sub, path + sub + "/");
  DirectoryListBox1->expandAll();
  DirectoryListBox1->setCurrentItem(current);
}

void TManualForma::DirectoryListBox1Change(const std::string& folder) {
  SetFolder(folder);
}

bool TManualForma::TileSize(int& width, int& height) const {
  const TVTData* lib = FHost.Library;
  if (!lib || !lib->TableIsOpen() || lib->DisplayBitmap.Empty()) return false;
  width = lib->DisplayBitmap.Width();
  height = lib->DisplayBitmap.Height();
  return true;
}

void TManualForma::FileListBox1Change(const std::string& fileName) {
  if (!FileExists(fileName)) return;
  try {
    CropImage1->SetPictureFileName(fileName);
    const Bitmap24& pic = CropImage1->Picture();
    const TVTData* lib = FHost.Library;
    const bool shaped = lib && lib->TableIsOpen() && lib->XScale > 0 && lib->YScale > 0;
    const int sw = shaped ? lib->XScale : pic.Width(), sh = shaped ? lib->YScale : pic.Height();
    CropImage1->SetCropRect(FitRect(TRect(0, 0, sw, sh), TRect(0, 0, pic.Width(), pic.Height())));
    CropImage1->SetScaleStyle(ssFullScale);
    CropImage1->ScaleW = sw;
    CropImage1->ScaleH = sh;
    ListBox1->clear();
    CropImage1->Refit();
  } catch (...) {
    // A picture that cannot be read leaves the view as it was.
  }
}

bool TManualForma::MakeCustomTile() {
  int w = 0, h = 0;
  const Bitmap24& pic = CropImage1->Picture();
  if (int64_t(pic.Width()) * pic.Height() <= 0 || !TileSize(w, h)) return false;
  Bitmap24 crop;
  CropImage1->GetCroppedBitmap(crop, 1, 1);
  StretchBitmap(w, h, FilterFromByte(FHost.Library->ResampleFilter), 0, crop, FCustomTile);
  return true;
}

void TManualForma::CropImage1ChangeCropPos() {
  if (!MakeCustomTile()) return;
  ListBox1->clear();
  ShowPreview(FCustomTile);
}

std::string TManualForma::CellLine(int col, int row, int rank) {
  char line[64];
  std::snprintf(line, sizeof line, "%.3d  %.3d  (%.3d)", col, row, rank);
  return line;
}

bool TManualForma::ReadCellLine(const std::string& line, int& col, int& row) {
  std::istringstream in(line);
  return static_cast<bool>(in >> col >> row);
}

void TManualForma::BitBtn10Click() {
  if (!FHost.Plan || !FHost.Plan->TableIsOpen() || !MakeCustomTile()) return;
  TVTData& plan = *FHost.Plan;
  plan.SortByBitmap(FCustomTile);
  QStringList lines;
  for (int32_t k = 1; k <= plan.VisibleCount; ++k) {
    if (!plan.SeekRecord(k)) continue;
    int col = 0, row = 0;
    FHost.RowToCell(plan.CurRecNo, col, row);
    lines << QString::fromStdString(CellLine(col + 1, row + 1, k));
  }
  plan.ClearIndex();
  plan.MoveTo(1);
  FFilling = true;
  ListBox1->clear();
  ListBox1->addItems(lines);
  FFilling = false;
}

void TManualForma::ListBox1Click(int index) {
  int col = 0, row = 0;
  if (index < 0 || index >= ListBox1->count() ||
      !ReadCellLine(ListBox1->item(index)->text().toStdString(), col, row))
    return;
  FHost.Grid->SetRow(row - 1);
  FHost.Grid->SetCol(col - 1);
  ShowPreview(FCustomTile);
}

void TManualForma::BitBtn9Click() {
  if (FCellCol < 0 || FCellRow < 0) return;
  if (StoreCustom(FHost.CellToRow(FCellRow, FCellCol))) RedrawMainCell(FCellCol, FCellRow);
  FHost.SetButtonsOnOff();
}

void TManualForma::Panel4Resize() {
  if (!CropImage1->Picture().Empty()) CropImage1->Refit();
}

// ---- forced tiles ----------------------------------------------------------------------------

void TManualForma::BtnOpenForceBaseClick() {
  if (!FHost.Plan || !FHost.Plan->TableIsOpen()) {
    MessageBox("Library can't be open. You should open project first!", FHost.ProductCaption,
               MB_OK | MB_ICONERROR);
    return;
  }
  OpenDialog2.InitialDir = FHost.LastPath ? FHost.LastPath("Library") : std::string();
  if (OpenDialog2.Execute(this)) OpenForcedBase(OpenDialog2.FileName);
}

void TManualForma::OpenForcedBase(const std::string& fileName) {
  const std::string& caption = FHost.ProductCaption;
  if (!FHost.Plan || !FHost.Plan->TableIsOpen()) {
    MessageBox("Library can't be open. You should open project first!", caption, MB_OK | MB_ICONERROR);
    return;
  }
  bool open = false;
  switch (FHost.Plan->CheckBaseFile(fileName)) {
    case TVTData::lcCompatible:
      open = true;
      break;
    case TVTData::lcOtherSampling:
      MessageBox(std::string("Library") + CR + fileName + CR + "can't be open." + CR +
                     "It has a different sampling rate.",
                 caption, MB_OK | MB_ICONERROR);
      break;
    case TVTData::lcOtherAspect:
      if (!FHost.StretchTiles || !FHost.StretchTiles())
        MessageBox(std::string("Library") + CR + fileName + CR + "can't be open." + CR +
                       "It has a different tile height/width proportions.",
                   caption, MB_OK | MB_ICONERROR);
      else
        open = MessageBox(std::string("Library ") + CR + fileName + CR + " has a different tile height/width ratio." +
                              CR + " Stretch library tiles?" + CR,
                          caption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
      break;
    default:
      MessageBox("File " + fileName + " is not Vitrane base and can't be open.", caption, MB_OK | MB_ICONERROR);
  }
  if (!open) return;
  // A file that fails to load raises here and leaves the table and the
  // list as they were.
  VTForcedLib1.SetBaseName(fileName);
  DrawGrid2->SetRowCount(VTForcedLib1.OriginalCount + 1);
  const QFontMetrics fm(DrawGrid2->font());
  FitRowHeight(DrawGrid2,
               std::max(DrawGrid2->RowHeights(DrawGrid2->TopRow()), 3 * fm.boundingRect("ABC").height() + 6));
  DrawGrid2->viewport()->update();
}

void TManualForma::BtnClose1Click() {
  VTForcedLib1.CloseTable();
  DrawGrid2->SetRowCount(2);
  DrawGrid2->viewport()->update();
}

void TManualForma::BitBtn5Click() {
  if (!VTForcedLib1.TableIsOpen() || !FHost.Plan->TableIsOpen() || !FHost.Mosaic->TableIsOpen()) return;
  TVTData& plan = *FHost.Plan;
  TVTData& mosaic = *FHost.Mosaic;
  const int32_t n = std::min(VTForcedLib1.OriginalCount, plan.RecordCount);
  FHost.SetForStartMosaic();
  FProgressBar = new QProgressBar(StatusBar1);
  FProgressBar->setObjectName("ProgressBar");
  FProgressBar->setTextVisible(false);
  FProgressBar->setRange(0, n);
  FProgressBar->setGeometry(StatusBar1->rect());
  FProgressBar->show();
  struct TEnd {
    TManualForma* Form;
    ~TEnd() {
      Form->FHost.Plan->ClearIndex();
      Form->FHost.SetForEndMosaic();
      Form->FHost.SetButtonsOnOff();
      delete Form->FProgressBar;
      Form->FProgressBar = nullptr;
    }
  } end{this};

  std::vector<int32_t> links;
  mosaic.GetAllLinks(links, 1);
  int64_t free = std::count_if(links.begin(), links.end(), [](int32_t l) { return l < CustomTileLink; });
  for (int32_t i = 1; i <= n; ++i) {
    int col = -1, row = -1;
    FProgressBar->setValue(i);
    VTForcedLib1.MoveTo(i);
    const Bitmap24& tile = VTForcedLib1.DisplayBitmap;
    // Once every cell holds a hand-placed tile no order can offer one.
    if (free > 0) {
      plan.SortByBitmap(tile);
      for (int32_t k = 1; k <= plan.VisibleCount; ++k) {
        if (!plan.SeekRecord(k)) continue;
        const int32_t rec = plan.CurRecNo;
        if (rec < 1 || size_t(rec) > links.size() || links[size_t(rec - 1)] >= CustomTileLink) continue;
        const TRect& crop = VTForcedLib1.CurCropRect;
        if (mosaic.SetRecordBitmap(rec, tile, CustomTileLink, VTForcedLib1.CurPicWidth,
                                   VTForcedLib1.CurPicHeight, crop.Left, crop.Top, crop.Right, crop.Bottom,
                                   VTForcedLib1.CurPath)) {
          links[size_t(rec - 1)] = CustomTileLink;
          --free;
          FHost.RowToCell(rec, col, row);
          RedrawMainCell(col, row);
        }
        break;
      }
      plan.ClearIndex();
    }
    FCellCol = col;
    FCellRow = row;
    if (col >= 0) ShowPreview(tile);
    ProcessMessages();
    if (FHost.StopRequested()) break;
  }
  // The library page then offers the candidates of the cell it would change.
  if (FCellCol >= 0)
    FillForCell(FCellCol, FCellRow);
  else
    ClearCell();
}

void TManualForma::DrawGrid2MouseDown(Qt::MouseButton button, int x, int y) {
  if (button != Qt::RightButton) return;
  int col = -1, row = -1;
  DrawGrid2->MouseToCell(x, y, col, row);
  if (row > 0 && VTForcedLib1.TableIsOpen()) {
    VTForcedLib1.MoveTo(row);
    PopupOn(DrawGrid2, VTForcedLib1, VTForcedLib1.CurRecNo);
  } else {
    SetPopupMenu(DrawGrid2, nullptr);
  }
}
