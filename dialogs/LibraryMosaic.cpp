#include "dialogs/LibraryMosaic.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <filesystem>
#include <set>

#include "dialogs/LibraryMosaicRules.h"
#include "dialogs/NewBase.h"
#include "dialogs/TilePreview.h"
#include "mosaic/OutputRender.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Rounding.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"
#include "platform/qt/QtImage.h"

namespace {

const char CR = '\r';
const std::string Product = "Vitrane 2";
constexpr uint8_t DeletedFlag = 255;

QPushButton* Button(QWidget* parent, const char* name, const char* text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  return b;
}

QRadioButton* Radio(QWidget* parent, const char* name, const char* text) {
  auto* r = new QRadioButton(text, parent);
  r->setObjectName(name);
  return r;
}

}  // namespace

TLibrayMosaic::TLibrayMosaic(TVTData& library, QWidget* parent) : QDialog(parent), FLib(library) {
  setObjectName("LibrayMosaic");
  setWindowTitle("Library inspector");
  SetHelpContext(this, 32);

  DrawGrid1 = new TDrawGrid(this);
  DrawGrid1->setObjectName("DrawGrid1");
  DrawGrid1->SetColCount(2);
  DrawGrid1->SetFixedCols(1);
  DrawGrid1->SetFixedRows(1);
  DrawGrid1->SetColWidths(0, 12);
  DrawGrid1->SetDefaultRowHeight(48);
  DrawGrid1->SetRowHeights(0, 20);
  DrawGrid1->Options = goRowSizing | goColSizing | goThumbTracking;
  Label4 = new QLabel(this);
  Label4->setObjectName("Label4");
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");

  auto* side = new QWidget(this);
  auto* sideLayout = new QVBoxLayout(side);
  GroupBox1 = new QGroupBox("Make Mosaic from Library", side);
  auto* g1 = new QVBoxLayout(GroupBox1);
  auto* spins = new QHBoxLayout;
  KWSpinEdit1 = new TKWSpinEdit(GroupBox1);
  KWSpinEdit1->setObjectName("KWSpinEdit1");
  KWSpinEdit2 = new TKWSpinEdit(GroupBox1);
  KWSpinEdit2->setObjectName("KWSpinEdit2");
  spins->addWidget(new QLabel("Columns", GroupBox1));
  spins->addWidget(KWSpinEdit1);
  spins->addWidget(new QLabel("Rows", GroupBox1));
  spins->addWidget(KWSpinEdit2);
  g1->addLayout(spins);
  g1->addWidget(new QLabel("Tile order", GroupBox1));
  RadioButton1 = Radio(GroupBox1, "RadioButton1", "as is");
  RadioButton2 = Radio(GroupBox1, "RadioButton2", "by file path and name");
  RadioButton3 = Radio(GroupBox1, "RadioButton3", "by file name only");
  RadioButton4 = Radio(GroupBox1, "RadioButton4", "by color difference with sample ");
  Shape1 = new QFrame(GroupBox1);
  Shape1->setObjectName("Shape1");
  Shape1->setFixedSize(24, 16);
  Shape1->setFrameShape(QFrame::Box);
  Shape1->setCursor(Qt::PointingHandCursor);
  Shape1->installEventFilter(this);
  Shape1->hide();
  SetSampleColour(clWhite);
  for (QWidget* w : {static_cast<QWidget*>(RadioButton1), static_cast<QWidget*>(RadioButton2),
                     static_cast<QWidget*>(RadioButton3), static_cast<QWidget*>(RadioButton4),
                     static_cast<QWidget*>(Shape1)})
    g1->addWidget(w);
  RadioButton1->setChecked(true);
  BitBtn2 = Button(GroupBox1, "BitBtn2", "Create");
  g1->addWidget(BitBtn2);
  sideLayout->addWidget(GroupBox1);

  auto* flips = new QGroupBox("Tile Flips", side);
  auto* g2 = new QHBoxLayout(flips);
  BitBtn3 = Button(flips, "BitBtn3", "Add flips");
  BitBtn4 = Button(flips, "BitBtn4", "Remove flips");
  g2->addWidget(BitBtn3);
  g2->addWidget(BitBtn4);
  sideLayout->addWidget(flips);
  auto* sampling = new QGroupBox("Library Sampling", side);
  auto* g3 = new QHBoxLayout(sampling);
  BitBtn5 = Button(sampling, "BitBtn5", "Resample library...");
  g3->addWidget(BitBtn5);
  sideLayout->addWidget(sampling);
  auto* adding = new QGroupBox("Add Tile Pictures", side);
  auto* g4 = new QVBoxLayout(adding);
  BitBtn7 = Button(adding, "BitBtn7", "Append images from folder...");
  BitBtn6 = Button(adding, "BitBtn6", "Clean double Path+Name");
  BitBtn8 = Button(adding, "BitBtn8", "Remove deleted tiles");
  for (QWidget* w : {BitBtn7, BitBtn6, BitBtn8}) g4->addWidget(w);
  sideLayout->addWidget(adding);
  sideLayout->addStretch();
  auto* buttons = new QHBoxLayout;
  BitBtn1 = Button(side, "BitBtn1", "Close");
  SpeedButton2 = Button(side, "SpeedButton2", "Help");
  buttons->addWidget(BitBtn1);
  buttons->addWidget(SpeedButton2);
  sideLayout->addLayout(buttons);
  SetDialogButtons(this, nullptr, BitBtn1);

  auto* left = new QVBoxLayout;
  left->addWidget(Label4);
  left->addWidget(Label1);
  left->addWidget(DrawGrid1, 1);
  auto* main = new QHBoxLayout(this);
  main->addLayout(left, 1);
  main->addWidget(side);

  // The chosen type gives the picture its extension, and replacing is asked
  // about under that name.
  SaveDialog1.Filter = "jpg|*.jpg|tiff|*.tif|bmp|*.bmp";
  SaveDialog2.DefaultExt = "vt2";
  SaveDialog2.Filter = "Vitrane library|*.vt2|All files|*.*";
  SaveDialog2.Options = ofOverwritePrompt;
  BitBtn8->setEnabled(FLib.Modified != 0);

  FTilePopup = new TKWD7PopupMenu(this);
  FTilePopup->HelpContext = 11;
  for (int i = 0; i < 2; ++i) FTilePopup->Items()->Add(new TKWD7MenuItem(this));
  connect(FTilePopup->Items()->Items(0), &TKWCustomMenuItem::OnClick, this,
          [this] { OnOriginalPopUpClick(FTilePopup->Items()->Items(0)->Tag); });
  connect(FTilePopup->Items()->Items(1), &TKWCustomMenuItem::OnClick, this, [this] {
    const int r = FTilePopup->Items()->Items(1)->Tag;
    FLib.MoveTo(r);
    FLib.PicDeleted() ? OnRestorePopUpClick(r) : OnDeletePopUpClick(r);
  });
  connect(DrawGrid1, &TDrawGrid::OnDrawCell, this, &TLibrayMosaic::DrawGrid1DrawCell);
  connect(
      DrawGrid1, &TDrawGrid::OnMouseDown, this,
      [this](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y, bool) { DrawGrid1MouseDown(b, x, y); });
  connect(DrawGrid1, &TDrawGrid::OnKeyDown, this, [this](int& key, Qt::KeyboardModifiers) {
    // Del marks the current tile deleted, or restores a marked one.
    const int r = DrawGrid1->Row();
    if (key != Qt::Key_Delete || r < 1 || r > FLib.RecordCount) return;
    key = 0;
    FLib.MoveTo(r);
    if (QString::fromStdString(FLib.CurPath).trimmed().isEmpty()) return;
    FLib.PicDeleted() ? OnRestorePopUpClick(r) : OnDeletePopUpClick(r);
  });
  connect(KWSpinEdit1, &TKWSpinEdit::OnRealChange, this, &TLibrayMosaic::KWSpinEdit1RealChange);
  connect(KWSpinEdit2, &TKWSpinEdit::OnRealChange, this, &TLibrayMosaic::KWSpinEdit2RealChange);
  for (QRadioButton* r : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
    connect(r, &QRadioButton::toggled, this, [this] { Shape1->setVisible(RadioButton4->isChecked()); });
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::close);
  connect(BitBtn2, &QPushButton::clicked, this, &TLibrayMosaic::BitBtn2Click);
  connect(BitBtn8, &QPushButton::clicked, this, &TLibrayMosaic::BitBtn8Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TLibrayMosaic::BitBtn3Click);
  connect(BitBtn4, &QPushButton::clicked, this, &TLibrayMosaic::BitBtn4Click);
  connect(BitBtn7, &QPushButton::clicked, this, &TLibrayMosaic::BitBtn7Click);
  connect(BitBtn5, &QPushButton::clicked, this, &TLibrayMosaic::BitBtn5Click);
  connect(BitBtn6, &QPushButton::clicked, this, &TLibrayMosaic::BitBtn6Click);
  connect(SpeedButton2, &QPushButton::clicked, this, [] { ShowHelpContext(32); });

  resize(760, 520);
  setMinimumSize(640, 440);
  LoadFormBounds(SettingsFileName, "LayOut", "LibraryInspector", this);
}

TLibrayMosaic::~TLibrayMosaic() {
  SaveFormBounds(SettingsFileName, "LayOut", "LibraryInspector", this);
}

void TLibrayMosaic::ShowLibInfo() {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(FLib.BaseName(), ec);
  Label4->setText(QString::fromStdString("Lib: " + (ec ? FLib.BaseName() : full.string())));
  Label1->setText(QString::fromStdString(LibrarySummary(FLib)));
}

// Each spin follows the other, but a value set here does not bounce back.
void TLibrayMosaic::KWSpinEdit1RealChange() {
  if (FSyncing) return;
  FSyncing = true;
  KWSpinEdit2->SetValue(RowsForColumns(FLib.OriginalCount, KWSpinEdit1->CommittedValue()));
  FSyncing = false;
}

void TLibrayMosaic::KWSpinEdit2RealChange() {
  if (FSyncing) return;
  FSyncing = true;
  KWSpinEdit1->SetValue(RowsForColumns(FLib.OriginalCount, KWSpinEdit2->CommittedValue()));
  FSyncing = false;
}

void TLibrayMosaic::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  FitColumn();
}

void TLibrayMosaic::FitColumn() {
  DrawGrid1->SetColWidths(1, std::max(1, DrawGrid1->viewport()->width() - DrawGrid1->ColWidths(0) - 5));
}

void TLibrayMosaic::DrawGrid1DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  if (!FLib.TableIsOpen() || (state & gdFixed) || col < 1 || row < 1) return;
  QPainter* c = DrawGrid1->Canvas();
  if (!c) return;
  const QFontMetrics fm(c->font());
  const int th = fm.height();
  int h = DrawGrid1->RowHeights(DrawGrid1->TopRow());
  if (h != DrawGrid1->DefaultRowHeight()) {
    // The user sized a row: every row follows, but never below three lines.
    h = std::max(h, 3 * th + 6);
    const int fixedHeight = DrawGrid1->RowHeights(0), fixedWidth = DrawGrid1->ColWidths(0);
    const int colWidth = DrawGrid1->ColWidths(1);
    DrawGrid1->SetDefaultRowHeight(h);
    DrawGrid1->SetRowHeights(0, fixedHeight);
    DrawGrid1->SetColWidths(0, fixedWidth);
    DrawGrid1->SetColWidths(1, colWidth);
  }
  const int w = FLib.YScale > 0
                    ? static_cast<int>(RoundHalfEven(static_cast<double>(h) / FLib.YScale * FLib.XScale))
                    : h;
  FLib.MoveTo(row);
  const QRect pic(rect.Left, rect.Top, w, rect.Height());
  if (!FLib.DisplayBitmap.Empty()) c->drawImage(pic, Bitmap24View(FLib.DisplayBitmap));
  const bool strong = state & (gdSelected | gdFocused);
  QFont normal = c->font(), bold = normal;
  bold.setBold(true);
  const int x = rect.Left + w + 3;
  c->setPen(Qt::black);
  c->setFont(bold);
  c->drawText(x, rect.Bottom - 3 * th - 6 + fm.ascent(),
              QString::fromStdString(ExtractFileName(FLib.CurPath) + " (Rec.#" +
                                     std::to_string(FLib.CurRecNo) + ")"));
  c->setFont(strong ? bold : normal);
  c->drawText(
      x, rect.Bottom - 2 * th - 3 + fm.ascent(),
      QString::fromStdString(std::to_string(FLib.CurPicWidth) + " x " + std::to_string(FLib.CurPicHeight)));
  QString path = QString::fromStdString(FLib.CurPath);
  if (!strong) path = QFontMetrics(c->font()).elidedText(path, Qt::ElideMiddle, rect.Width() - w - 3);
  c->drawText(x, rect.Bottom - th + fm.ascent(), path);
  c->setFont(normal);
  if (strong) {
    c->setPen(QPen(Qt::black, 2));
    c->setBrush(Qt::NoBrush);
    c->drawRect(pic.adjusted(1, 1, -2, -2));
  }
  if (FLib.PicDeleted()) {
    c->setPen(QPen(Qt::black, 2));
    c->drawLine(rect.Left, rect.Top, rect.Right, rect.Bottom);
    c->drawLine(rect.Right, rect.Top, rect.Left, rect.Bottom);
  }
}

void TLibrayMosaic::DrawGrid1MouseDown(Qt::MouseButton button, int x, int y) {
  if (button != Qt::RightButton) return;
  int col = -1, row = -1;
  DrawGrid1->MouseToCell(x, y, col, row);
  if (row < 1 || row > FLib.RecordCount) return;
  FLib.MoveTo(row);
  const bool hasPath = !QString::fromStdString(FLib.CurPath).trimmed().isEmpty();
  TKWCustomMenuItem* show = FTilePopup->Items()->Items(0);
  show->Tag = row;
  show->Bitmap = FLib.DisplayBitmap;
  show->Caption = "Show file " + ExtractFileName(FLib.CurPath) + " (" + std::to_string(FLib.CurPicWidth) +
                  "/" + std::to_string(FLib.CurPicHeight) + ")";
  show->Enabled = hasPath;
  TKWCustomMenuItem* mark = FTilePopup->Items()->Items(1);
  mark->Tag = row;
  mark->Caption = FLib.PicDeleted() ? "Restore this tile (Del)" : "Mark deleted this tile (Del)";
  mark->Enabled = hasPath;
  const QPoint at = DrawGrid1->viewport()->mapToGlobal(QPoint(x, y));
  FTilePopup->Popup(at.x(), at.y());
}

void TLibrayMosaic::OnOriginalPopUpClick(int r) {
  FLib.MoveTo(r);
  ShowTilePreview(FLib, this, false);
}

void TLibrayMosaic::SetSampleColour(TColor c) {
  FSampleColour = c;
  Shape1->setStyleSheet(QString("QFrame { background: rgb(%1, %2, %3); }")
                            .arg(GetRValue(c))
                            .arg(GetGValue(c))
                            .arg(GetBValue(c)));
}

void TLibrayMosaic::Shape1MouseDown() {
  TColor c = FSampleColour;
  if (PickColour(this, c)) SetSampleColour(c);
}

bool TLibrayMosaic::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Shape1 && event->type() == QEvent::MouseButtonPress) Shape1MouseDown();
  return QDialog::eventFilter(watched, event);
}

void TLibrayMosaic::BitBtn2Click() {
  SaveDialog1.InitialDir = ExtractFilePath(FLib.BaseName());
  SaveDialog1.FileName = "";
  if (!SaveDialog1.Execute(this)) return;
  // A typed extension of one of the offered types chooses that type.
  const std::string fileName = ThumbnailSheetFileName(SaveDialog1.FileName, SaveFilterIndex(SaveDialog1));
  if (FileExists(fileName) && !ConfirmReplace(fileName)) return;
  const TLibraryTileOrder order = RadioButton2->isChecked()   ? ltoPathName
                                  : RadioButton3->isChecked() ? ltoFileName
                                  : RadioButton4->isChecked() ? ltoColour
                                                              : ltoAsIs;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct TCursor {
    ~TCursor() { QApplication::restoreOverrideCursor(); }
  } cursor;
  Bitmap24 picture;
  ComposeLibraryMosaic(FLib, LibraryTileOrder(FLib, order, FSampleColour), KWSpinEdit1->CommittedValue(),
                       KWSpinEdit2->CommittedValue(), fileName, picture);
  SaveThumbnailSheet(fileName, picture);
  DrawGrid1->viewport()->update();
}

void TLibrayMosaic::MarkRecord(int r, uint8_t flag) {
  if (r < 1 || r > FLib.RecordCount) return;
  FLib.SetRecordFlag(r, flag);
  FLib.Modified = 1;
  FLib.MatchDataChanged();
  BitBtn8->setEnabled(true);
  DrawGrid1->InvalidateCell(1, r);
}

void TLibrayMosaic::OnDeletePopUpClick(int r) {
  MarkRecord(r, DeletedFlag);
}
void TLibrayMosaic::OnRestorePopUpClick(int r) {
  MarkRecord(r, 0);
}

void TLibrayMosaic::BitBtn8Click() {
  FLib.Save();
  BitBtn8->setEnabled(false);
}

void TLibrayMosaic::RefreshLibrary() {
  ShowLibInfo();
  DrawGrid1->SetRowCount(FLib.OriginalCount + 1);
  const int32_t columns = DefaultColumns(FLib.OriginalCount);
  KWSpinEdit1->SetValue(columns);
  KWSpinEdit2->SetValue(RowsForColumns(FLib.OriginalCount, columns));
  DrawGrid1->viewport()->update();
}

void TLibrayMosaic::BitBtn3Click() {
  FLib.OnProgress = [](TVTData&) { ProcessMessages(); };
  struct TRestore {
    TVTData& Lib;
    ~TRestore() { Lib.OnProgress = nullptr; }
  } restore{FLib};
  QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    if (FLib.AddFlippedKinds({TVTData::fkHorizontal, TVTData::fkVertical, TVTData::fkRotate180})) FLib.Save();
  } catch (...) {
    QApplication::restoreOverrideCursor();
    RefreshLibrary();
    throw;
  }
  QApplication::restoreOverrideCursor();
  RefreshLibrary();
}

void TLibrayMosaic::BitBtn4Click() {
  const int32_t before = FLib.RecordCount;
  FLib.RemoveFlipped();
  if (FLib.RecordCount != before) FLib.Save();
  RefreshLibrary();
}

void TLibrayMosaic::BitBtn7Click() {
  TNewBaseHost host;
  host.Library = &FLib;
  {
    TV2NewBaseForm form(std::move(host), this);
    form.ShowForAppend();
    form.exec();
  }
  FLib.ClearIndex();
  RefreshLibrary();
}

int TLibrayMosaic::BitBtn6Click() {
  std::set<std::string> seen;
  int marked = 0;
  for (int32_t r = 1; r <= FLib.OriginalCount; ++r) {
    // A copy already marked neither counts as the one kept nor is marked again.
    if (FLib.RecordFlag(r) >= FlagDeletedMin) continue;
    if (seen.insert(FLib.RecordInfo(r).Path).second) continue;
    MarkRecord(r, DeletedFlag);
    ++marked;
  }
  DrawGrid1->viewport()->update();
  return marked;
}

void TLibrayMosaic::ResampleProgress(TVTData&) {
  ProcessMessages();
}

void TLibrayMosaic::BitBtn5Click() {
  FResample.FResampleOK = 0;
  {
    TLibResSetDlg settings(FResample, this);
    settings.KWSpinEdit1->SetValue(FLib.XRes);
    settings.KWSpinEdit2->SetValue(FLib.YRes);
    (FLib.ColorSystem == csRGB ? settings.RadioButton2 : settings.RadioButton1)->setChecked(true);
    settings.exec();
  }
  if (!FResample.FResampleOK) return;
  SaveDialog2.InitialDir = ExtractFilePath(FLib.BaseName());
  SaveDialog2.FileName = "";
  if (!SaveDialog2.Execute(this)) return;
  // The open library is the one being read: it is never written over here.
  if (SaveDialog2.FileName == FLib.BaseName()) {
    MessageBox("Please choose another file name for the resampled library.", Product, MB_OK | MB_ICONWARNING);
    return;
  }
  FLib.FStopBuild = false;
  FLib.OnProgress = [this](TVTData& t) { ResampleProgress(t); };
  struct TRestore {
    TVTData& Lib;
    ~TRestore() { Lib.OnProgress = nullptr; }
  } restore{FLib};
  FLib.ResampleBase(SaveDialog2.FileName, FResample.FNewSampleX, FResample.FNewSampleY,
                    FResample.FNewColorSystem);
  // The table writes without a word when the file cannot be written.
  TVTData::TBaseInfo made;
  FLib.ReadBaseInfo(SaveDialog2.FileName, made);
  if (made.Name.empty() || made.XRes != FResample.FNewSampleX || made.YRes != FResample.FNewSampleY)
    MessageBox("Cannot write " + SaveDialog2.FileName, Product, MB_OK | MB_ICONERROR);
  else
    MessageBox("Library " + std::string(1, CR) + SaveDialog2.FileName + CR + "was created.", Product,
               MB_OK | MB_ICONINFORMATION);
}

void TLibrayMosaic::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The grid has its final size only once the layout has placed it.
  QTimer::singleShot(0, this, [this] { FitColumn(); });
  FitColumn();
  if (!FFindFileName.empty() && !FSearchPending) {
    FSearchPending = true;
    QTimer::singleShot(0, this, [this] {
      FSearchPending = false;
      FindTile();
      DrawGrid1->setFocus();
    });
  }
}

void TLibrayMosaic::FindTile() {
  if (FFindFileName.empty()) return;
  DrawGrid1->hide();
  FLib.ClearIndex();
  auto* bar = new QProgressBar(this);
  bar->setRange(0, FLib.RecordCount);
  auto* label = new QLabel("Searching...", this);
  auto* stop = new QPushButton("Stop search", this);
  stop->setAutoDefault(false);
  connect(stop, &QPushButton::clicked, this, [this] { FStopSearch = 1; });
  auto* box = qobject_cast<QBoxLayout*>(static_cast<QBoxLayout*>(layout())->itemAt(0)->layout());
  if (box) {
    box->insertWidget(0, stop);
    box->insertWidget(0, label);
    box->insertWidget(0, bar);
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  FStopSearch = 0;
  ProcessMessages();
  struct TCtx {
    TLibrayMosaic* Self;
    QProgressBar* Bar;
  } ctx{this, bar};
  bool stopped = false;
  const int32_t found = FindTileRecord(
      FLib, FFindFileName,
      [](void* p) {
        auto* c = static_cast<TCtx*>(p);
        c->Bar->setValue(c->Bar->value() + 1);
        ProcessMessages();
        return c->Self->FStopSearch != 0;
      },
      &ctx, stopped);
  QApplication::restoreOverrideCursor();
  delete bar;
  delete label;
  delete stop;
  DrawGrid1->show();
  if (found > 0) {
    DrawGrid1->SetTopRow(found);
    DrawGrid1->SetRow(found);
  } else if (stopped) {
    MessageBox("Search for file" + std::string(1, CR) + FFindFileName + CR + "was stopped by user.", Product,
               MB_OK | MB_ICONWARNING);
  } else {
    MessageBox("File" + std::string(1, CR) + FFindFileName + CR + "was not found in the current library." +
                   CR + "It seems that this file was added as a custom tile" + CR +
                   "or belongs to another library.",
               Product, MB_OK | MB_ICONWARNING);
  }
  FFindFileName.clear();
}

bool TLibrayMosaic::FormCloseQuery() {
  if (!FLib.Modified) return true;
  const int answer = MessageBox("Library was changed." + std::string(1, CR) + "Save before exit?", Product,
                                MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (answer == IDCANCEL) return false;
  if (answer == IDYES) BitBtn8Click();
  return true;
}

// Esc, "Close" and the window's close box all end here.
void TLibrayMosaic::reject() {
  if (FormCloseQuery()) QDialog::reject();
}
