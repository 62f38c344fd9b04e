// Mosaic build driver and cell editing of the main window: the three build
// orders, the long-operation bracket with its stop, the erase runs and the
// grid's context menus.
#include <QMouseEvent>
#include <QProgressBar>
#include <functional>

#include "dialogs/TilePreview.h"
#include "mainwin/v2main.h"
#include "mosaic/BuildCore.h"
#include "mosaic/BuildRun.h"
#include "platform/Files.h"
#include "platform/Finally.h"
#include "platform/Hooks.h"
#include "platform/Utils.h"
#include "platform/qt/Application.h"

namespace {
// Right presses on the side panel, which has no mouse events of its own, and
// the window's close while a run is on the stack: the run would go on in a
// window that is gone, so the close waits and the run is asked to stop.
class TBuildEvents : public QObject {
 public:
  // Events also arrive while the window is built and taken down, so the
  // filter compares with pointers of its own.
  explicit TBuildEvents(TForm1* form) : QObject(form), Form(form), Window(form), Panel(form->Panel1) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == Panel && event->type() == QEvent::MouseButtonPress)
      Form->Panel1MouseDown(static_cast<QMouseEvent*>(event)->button());
    if (watched == Window && event->type() == QEvent::Close && LongOperationRunning) {
      Form->Stopmosaicprocess1Click();
      event->ignore();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  TForm1* Form;
  QObject* Window;
  QObject* Panel;
};

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Trim(const std::string& s) {
  const size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::string Orientation(const TRect& r) {
  std::string name;
  OrientationName(r.Left, r.Top, r.Right, r.Bottom, name);
  return name;
}

bool FlipKindPresent(const TVTData& lib, int kind) {
  for (int i = 1; i <= 3; ++i)
    if (lib.FlipKinds[size_t(i)] == kind) return true;
  return false;
}
}  // namespace

// ---- command state and connections --------------------------------------------

void TForm1::SetBuildButtons(bool lib, bool project, bool idle) {
  for (QAction* a : {Mosaicall1, Randommosaic1, Smartmosaic1}) a->setEnabled(idle && lib && project);
  Stopmosaicprocess1->setEnabled(!idle);
  const TGridRect s = DrawGrid1->Selection();
  const bool multi = s.Right - s.Left > 0 || s.Bottom - s.Top > 0;
  Eraseselection1->setEnabled(multi);
  Specialerasing1->menuAction()->setEnabled(multi);
}

void TForm1::ConnectBuildCommands() {
  connect(Mosaicall1, &QAction::triggered, this, &TForm1::Mosaicall1Click);
  connect(Randommosaic1, &QAction::triggered, this, &TForm1::Randommosaic1Click);
  connect(Smartmosaic1, &QAction::triggered, this, &TForm1::Smartmosaic1Click);
  connect(Stopmosaicprocess1, &QAction::triggered, this, &TForm1::Stopmosaicprocess1Click);
  connect(SpeedButton7, &QToolButton::clicked, this, &TForm1::SpeedButton7Click);
  connect(SpeedButton9, &QToolButton::clicked, this, &TForm1::Stopmosaicprocess1Click);
  connect(Erasecell1, &QAction::triggered, this, &TForm1::Erasecell1Click);
  connect(Eraseselection1, &QAction::triggered, this, &TForm1::Eraseselection1Click);
  connect(CheckBoard11, &QAction::triggered, this, &TForm1::CheckBoard11Click);
  connect(CheckBoard21, &QAction::triggered, this, &TForm1::CheckBoard21Click);
  connect(HLines1, &QAction::triggered, this, &TForm1::HLines1Click);
  connect(VLines1, &QAction::triggered, this, &TForm1::VLines1Click);
  connect(DrawGrid1, &TDrawGrid::OnSelectCell, this, &TForm1::DrawGrid1SelectCell);
  connect(DrawGrid1, &TDrawGrid::OnKeyDown, this, &TForm1::DrawGrid1KeyDown);
  connect(DrawGrid1, &TDrawGrid::OnMouseDown, this, &TForm1::DrawGrid1MouseDown);
  auto* filter = new TBuildEvents(this);
  Panel1->installEventFilter(filter);
  installEventFilter(filter);
}

// ---- the long-operation bracket ------------------------------------------------

// The commands follow LongOperationRunning through SetButtonsOnOff.
void TForm1::SetForStartMosaic() {
  LongOperationRunning = true;
  FStopRequested = false;
  FCaptionBeforeRun = windowTitle().toStdString();
  SetButtonsOnOff();
}

void TForm1::SetForEndMosaic() {
  LongOperationRunning = false;
  FStopRequested = false;
  SetButtonsOnOff();
  if (Application) Application->Title = ProductCaption;
  // The desktop shows the window's caption where the application title was.
  if (!FCaptionBeforeRun.empty()) setWindowTitle(QString::fromStdString(FCaptionBeforeRun));
  FCaptionBeforeRun.clear();
  for (TVTData* t : {&VTMosaic1, &VTPlan1})
    if (t->TableIsOpen()) t->MoveTo(t->CurRecNo);
  // The run may have filled or emptied the cell described.
  if (FCellDescribed && ProjectOpen()) DescribeCellPicture(DrawGrid1->Col(), DrawGrid1->Row());
}

void TForm1::Stopmosaicprocess1Click() {
  FStopRequested = true;
  VTLib1.FStopBuild = true;
}

void TForm1::CreateProgressBar(int maximum) {
  FreeProgressBar();
  FRunProgressBar = new QProgressBar(Panel1);
  FRunProgressBar->setObjectName("ProgressBar");
  FRunProgressBar->setTextVisible(false);
  FRunProgressBar->setRange(0, std::max(maximum, 0));
  FRunProgressBar->setValue(0);
  const int h = 14;
  FRunProgressBar->setGeometry(0, Panel1->height() - h, Panel1->width(), h);
  FRunProgressBar->show();
}

void TForm1::FreeProgressBar() {
  delete FRunProgressBar;
  FRunProgressBar = nullptr;
}

namespace {
void StepIt(QProgressBar* bar) {
  if (bar) bar->setValue(std::min(bar->value() + 1, bar->maximum()));
}
}  // namespace

// ---- checks ----------------------------------------------------------------------

TVTData::TFlipSet TForm1::FlipSet() const {
  return PackFlipSet(CBFlipOriginal->isChecked(), CBFlipH->isChecked(), CBRota180->isChecked(),
                     CBFlipV->isChecked());
}

bool TForm1::CheckAnyFlip() {
  if (CBFlipOriginal->isChecked() || CBFlipH->isChecked() || CBFlipV->isChecked() || CBRota180->isChecked())
    return true;
  MessageBox("Please check any tile orienitation(s) to use.", ProductCaption, MB_OK | MB_ICONERROR);
  return false;
}

bool TForm1::WeGetNotEnoughTiles(int32_t cols, int32_t rows) {
  std::string message;
  if (!NotEnoughTiles(VTLib1.OriginalCount, SpinRadius2->Value(), SpinRepetition2->Value(), cols, rows,
                      message))
    return false;
  MessageBox(message, ProductCaption, MB_OK | MB_ICONERROR);
  return true;
}

void TForm1::AddFlips(bool h, bool v, bool r) {
  VTLib1.FStopBuild = false;
  const bool addH = h && !FlipKindPresent(VTLib1, TVTData::fkHorizontal);
  const bool addV = v && !FlipKindPresent(VTLib1, TVTData::fkVertical);
  const bool addR = r && !FlipKindPresent(VTLib1, TVTData::fkRotate180);
  const int k = int(addH) + int(addV) + int(addR);
  if (k == 0) return;
  SetForStartMosaic();
  const std::string panel1 = StatusText(1);
  SetStatusText(1, "Adding flipped tiles, please wait...");
  CreateProgressBar(k * (VTLib1.OriginalCount / 100) + k);
  VTLib1.OnProgress = [this](TVTData&) {
    ProcessMessages();
    StepIt(FRunProgressBar);
  };
  TFinally end([&] {
    VTLib1.OnProgress = nullptr;
    SetForEndMosaic();
    SetButtonsOnOff();
    FreeProgressBar();
    SetStatusText(1, panel1);
    if (CBFlipH->isChecked() && !FlipKindPresent(VTLib1, TVTData::fkHorizontal)) CBFlipH->setChecked(false);
    if (CBFlipV->isChecked() && !FlipKindPresent(VTLib1, TVTData::fkVertical)) CBFlipV->setChecked(false);
    if (CBRota180->isChecked() && !FlipKindPresent(VTLib1, TVTData::fkRotate180))
      CBRota180->setChecked(false);
    SetStatusText(2, LibraryStatusText());
  });
  if (addH && !VTLib1.FStopBuild) VTLib1.AddFlipped(TVTData::fkHorizontal);
  if (addV && !VTLib1.FStopBuild) VTLib1.AddFlipped(TVTData::fkVertical);
  if (addR && !VTLib1.FStopBuild) VTLib1.AddFlipped(TVTData::fkRotate180);
  VTLib1.Save();
}

// ---- the build -------------------------------------------------------------------

void TForm1::RenderMosaic(TRenderOrder order) {
  if (!ProjectOpen() || !LibraryOpen() || LongOperationRunning || !CheckAnyFlip()) return;
  AddFlips(CBFlipH->isChecked(), CBFlipV->isChecked(), CBRota180->isChecked());
  if (!CheckAnyFlip()) return;

  // Read once: changing them during the run does not affect it.
  const int32_t d = SpinRadius2->Value();
  const int32_t repeat = SpinRepetition2->Value() - 1;
  const bool fixAuto = ChkFixAuto->isChecked(), fixCustom = ChkFixManual->isChecked();
  const bool inverted = ChkInvertSelection->isChecked();
  const TVTData::TFlipSet flips = FlipSet();
  const int cols = DrawGrid1->ColCount(), rows = DrawGrid1->RowCount();
  if (WeGetNotEnoughTiles(cols, rows)) return;

  const TGridRect s = DrawGrid1->Selection();
  const TBuildArea area({s.Left, s.Top, s.Right, s.Bottom}, inverted, cols, rows);
  const int64_t count = area.Count();
  std::vector<int32_t> grid;
  if (area.WholeGrid)
    VTMosaic1.GetAllLinks(grid, 1);
  else
    VTMosaic1.GetCellLinks(grid, inverted, s.Left + 1, s.Top + 1, s.Right + 1, s.Bottom + 1, cols, rows);

  // A view that shows the mosaic's thumbnails already is not redrawn whole:
  // its cells redraw as they are placed.
  const bool shown = RBTarget1->isChecked() && VTMosaic1.ShowThumbs;
  AutoShowDetailed(1);
  if (!shown) ViewTarget1Click();
  SetForStartMosaic();
  TFinally end([&] {
    VTLib1.ResetUsage();
    VTPlan1.ClearIndex();
    SetForEndMosaic();
    SetButtonsOnOff();
    FreeProgressBar();
  });
  VTLib1.ResetUsage();
  switch (order) {
    case roRandom:
      VTPlan1.SortRandom();
      break;
    case roSmart:
      VTPlan1.SortByDetail();
      break;
    default:
      VTPlan1.ClearIndex();
  }
  CreateProgressBar(int(std::min<int64_t>(count, INT32_MAX)));

  // The loop runs at the matcher's speed; the window catches up about 60
  // times a second: it redraws the cells placed since, shows the progress,
  // the percentage and the estimate, and processes pending events, so Stop
  // and Esc land within a frame. The estimate itself still takes every cell.
  struct TWindowObserver : TBuildObserver {
    TForm1& F;
    const int64_t Count;
    TTimeEstimate Estimate;
    std::vector<std::pair<int, int>> Changed;
    int Steps = 0;
    int64_t Number = 0;
    uint32_t LastFrame;
    TWindowObserver(TForm1& f, int64_t count) : F(f), Count(count), LastFrame(GetTickMs()) {}
    // Counted, so that a run ending on fixed cells shows all it visited.
    void CellKept(int64_t number) override {
      ++Steps;
      Number = number;
    }
    bool CellPlaced(int col, int row, bool changed, int64_t number) override {
      if (changed) {
        Changed.emplace_back(col, row);
        // The pick has decoded the winner's thumbnail: the cell's redraw
        // finds it under the same bytes instead of decoding them again.
        if (F.UseCellPictures && F.VTLib1.CurThumbShown)
          F.CellPictures.Put(F.VTLib1.CurThumbJpeg, F.VTLib1.DisplayBitmap);
      }
      const uint32_t now = GetTickMs();
      if (now - LastFrame >= F.FBuildFrameMs) {
        Frame(true);
        LastFrame = GetTickMs();
      }
      ++Steps;
      Number = number;
      Estimate.Step(now);
      return F.FStopRequested;
    }
    // The cells placed since the last frame are redrawn, the progress of
    // the cells finished before is shown, and pending events are processed.
    void Frame(bool pump) {
      for (const auto& [col, row] : Changed) F.RedrawCell(col, row);
      Changed.clear();
      if (QProgressBar* bar = F.FRunProgressBar)
        bar->setValue(int(std::min<int64_t>(int64_t(bar->value()) + Steps, bar->maximum())));
      Steps = 0;
      if (Number > 0) {
        const std::string percent = std::to_string(Number * 100 / std::max<int64_t>(Count, 1)) + "%";
        F.SetStatusText(0, percent);
        if (Application) Application->Title = ProductCaption + " " + percent;
        F.setWindowTitle(QString::fromStdString(ProductCaption + " " + percent));
        F.SetStatusText(1, Estimate.Text(Count, Number));
        F.WidenStatusPanel1();
      }
      if (pump) ProcessMessages();
    }
  } observer(*this, count);
  TBuildRunSettings settings;
  settings.Distance = d;
  settings.Repeat = repeat;
  settings.FixAuto = fixAuto;
  settings.FixCustom = fixCustom;
  settings.Flips = flips;
  // The last frame is shown also when the library runs out of tiles.
  TFinally lastFrame([&] { observer.Frame(false); });
  RunBuildCells(VTLib1, VTPlan1, VTMosaic1, grid, area, settings, observer);
}

void TForm1::Mosaicall1Click() {
  RenderMosaic(roNatural);
}

void TForm1::Randommosaic1Click() {
  RenderMosaic(roRandom);
}

void TForm1::Smartmosaic1Click() {
  RenderMosaic(roSmart);
}

void TForm1::SpeedButton7Click() {
  QAction* const items[] = {Mosaicall1, Randommosaic1, Smartmosaic1};
  items[std::min<int>(DefaultRenderMode, roSmart)]->trigger();
}

// ---- cell editing ------------------------------------------------------------------

void TForm1::RedrawCell(int col, int row) {
  DrawGrid1->InvalidateCell(col, row);
}

void TForm1::CellEdited(int col, int row) {
  RedrawCell(col, row);
  if (col == DrawGrid1->Col() && row == DrawGrid1->Row()) DescribeCell(col, row);
}

void TForm1::DescribeCell(int col, int row) {
  SetStatusText(0, std::to_string(col + 1) + ":" + std::to_string(row + 1));
  DescribeCellPicture(col, row);
}

void TForm1::DescribeCellPicture(int col, int row) {
  VTMosaic1.MoveTo(CellToRow(row, col));
  if (Trim(VTMosaic1.CurPath).empty())
    SetStatusText(2, "Pic: No pic for this cell.");
  else
    SetStatusText(2, "Pic: " + VTMosaic1.CurPath + " (" + std::to_string(VTMosaic1.CurPicWidth) + "/" +
                         std::to_string(VTMosaic1.CurPicHeight) + ") " + Orientation(VTMosaic1.CurCropRect));
  FCellDescribed = true;
}

void TForm1::DrawGrid1SelectCell(int col, int row, bool& canSelect) {
  (void)canSelect;
  if (!LibraryOpen() || !ProjectOpen()) return;
  DescribeCell(col, row);
  SetStatusText(1, ManualSelectCell(col, row) ? ReplaceCellHint : EraseCellHint);
}

void TForm1::DrawGrid1KeyDown(int& key, Qt::KeyboardModifiers shift) {
  (void)shift;
  // A key must not start an edit in the middle of a run.
  if (LongOperationRunning) return;
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    Replacemanually();
  } else if (key == Qt::Key_Delete) {
    const TGridRect s = DrawGrid1->Selection();
    if (s.Left == s.Right && s.Top == s.Bottom)
      Erasecell1Click();
    else
      Eraseselection1Click();
  } else {
    return;
  }
  DrawGrid1->setFocus();
}

void TForm1::Erasecell1Click() {
  if (!LibraryOpen() || !ProjectOpen() || LongOperationRunning) return;
  const int32_t n = CellToRow(DrawGrid1->Row(), DrawGrid1->Col());
  VTPlan1.MoveTo(n);
  if (VTMosaic1.CopyRecordFrom(n, VTPlan1)) CellEdited(DrawGrid1->Col(), DrawGrid1->Row());
  SetButtonsOnOff();
}

void TForm1::EraseRun(uint8_t pattern) {
  const bool fixCustom = ChkFixManual->isChecked(), inverted = ChkInvertSelection->isChecked();
  if (!ProjectOpen() || !LibraryOpen() || LongOperationRunning) return;
  const TGridRect sel = DrawGrid1->Selection();
  SelectCurrent();
  const bool thumbs = VTMosaic1.ShowThumbs;
  VTMosaic1.ShowThumbs = false;
  SetForStartMosaic();
  TFinally end([&] {
    SetForEndMosaic();
    DrawGrid1->SetSelection(sel);
    DrawGrid1->viewport()->update();
    SelectionStatus();
    SetButtonsOnOff();
    FreeProgressBar();
    VTMosaic1.ShowThumbs = thumbs;
  });
  const int firstRow = inverted ? 0 : sel.Top, lastRow = inverted ? DrawGrid1->RowCount() - 1 : sel.Bottom;
  const int firstCol = inverted ? 0 : sel.Left, lastCol = inverted ? DrawGrid1->ColCount() - 1 : sel.Right;
  CreateProgressBar(lastRow);
  FRunProgressBar->setRange(firstRow, lastRow);
  FRunProgressBar->setValue(firstRow);
  for (int row = firstRow; row <= lastRow; ++row) {
    for (int col = firstCol; col <= lastCol; ++col) {
      if (inverted && sel.Contains(col, row)) continue;
      const int32_t n = CellToRow(row, col);
      VTPlan1.GoToRecord(n);
      VTMosaic1.GoToRecord(n);
      if ((fixCustom && VTMosaic1.CurLink >= CustomTileLink) ||
          !ErasePatternTakes(TErasePattern(pattern), col, row))
        continue;
      if (VTMosaic1.CopyRecordFrom(n, VTPlan1)) RedrawCell(col, row);
      ProcessMessages();
      if (FStopRequested) break;
    }
    StepIt(FRunProgressBar);
    if (FStopRequested) break;
  }
}

void TForm1::Eraseselection1Click() {
  EraseRun(epAll);
}

void TForm1::CheckBoard11Click() {
  EraseRun(epCheckBoard1);
}

void TForm1::CheckBoard21Click() {
  EraseRun(epCheckBoard2);
}

void TForm1::HLines1Click() {
  EraseRun(epHLines);
}

void TForm1::VLines1Click() {
  EraseRun(epVLines);
}

// ---- context menus ------------------------------------------------------------------

void TForm1::InitPopUpMenu() {
  TKWCustomMenuItem* root = FCellPopup->Items();
  root->Clear();
  if (FShowBestCandidates + 2 >= 0)
    for (int i = 0; i < FShowBestCandidates + 3; ++i) root->Add(new TKWD7MenuItem(this));
}

namespace {
// Points an item at one handler of the window, with its tag as argument.
void Bind(TKWCustomMenuItem* item, TForm1* form, void (TForm1::*handler)(int)) {
  QObject::disconnect(item, &TKWCustomMenuItem::OnClick, nullptr, nullptr);
  QObject::connect(item, &TKWCustomMenuItem::OnClick, form,
                   [item, form, handler] { (form->*handler)(item->Tag); });
}

void HideCandidates(TKWCustomPopupMenu* menu) {
  for (int i = 3; i < menu->Items()->Count(); ++i) menu->Items()->Items(i)->Visible = false;
}
}  // namespace

void TForm1::SelectionItems(const std::string& render, const std::string& erase, const std::string& save) {
  if (FCellPopup->Items()->Count() < 3) InitPopUpMenu();
  const std::string captions[] = {render, erase, save};
  for (int i = 0; i < 3; ++i) {
    TKWCustomMenuItem* item = FCellPopup->Items()->Items(i);
    item->Visible = true;
    item->Enabled = true;
    item->Bitmap = Bitmap24();
    item->Caption = captions[i];
    item->Tag = -1 - i;
    Bind(item, this, &TForm1::OnActionPopUpClick);
  }
  HideCandidates(FCellPopup);
}

void TForm1::SingleCellItems(int col, int row, bool orientation) {
  if (FCellPopup->Items()->Count() < 3) InitPopUpMenu();
  const int32_t n = CellToRow(row, col);
  TKWCustomMenuItem* const items[] = {FCellPopup->Items()->Items(0), FCellPopup->Items()->Items(1),
                                      FCellPopup->Items()->Items(2)};
  const bool any = !Trim(VTMosaic1.CurPath).empty();
  std::string show = "Show file " + FileNameOf(VTMosaic1.CurPath) + " (" +
                     std::to_string(VTMosaic1.CurPicWidth) + "/" + std::to_string(VTMosaic1.CurPicHeight) +
                     ")";
  if (orientation) show += " " + Orientation(VTMosaic1.CurCropRect);
  items[0]->Caption = show;
  items[0]->Bitmap = VTMosaic1.DisplayBitmap;
  Bind(items[0], this, &TForm1::OnOriginalPopUpClick);
  items[1]->Caption = "Erase this cell (" + std::to_string(col + 1) + "x" + std::to_string(row + 1) + ")";
  items[1]->Bitmap = Bitmap24();
  Bind(items[1], this, &TForm1::OnDeletePopUpClick);
  items[2]->Caption = "Find this tile in the Library Inspector";
  items[2]->Bitmap = Bitmap24();
  Bind(items[2], this, &TForm1::OnLibInspectorPopUpClick);
  for (TKWCustomMenuItem* item : items) {
    item->Tag = n;
    item->Visible = true;
    item->Enabled = any;
  }
  HideCandidates(FCellPopup);
}

void TForm1::PositionOn(int32_t n) {
  if (n != VTMosaic1.CurRecNo) {
    VTMosaic1.MoveTo(n);
    VTPlan1.MoveTo(n);
  }
}

void TForm1::DrawGrid1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y,
                                bool doubleClick) {
  (void)shift;
  if (LongOperationRunning) {
    SetPopupMenu(DrawGrid1, nullptr);
    return;
  }
  if (!ProjectOpen()) return;
  if (button == Qt::LeftButton && doubleClick) Replacemanually();
  if (button != Qt::RightButton) return;
  const TGridRect s = DrawGrid1->Selection();
  if (s.Left < s.Right || s.Top < s.Bottom) {
    const bool inv = ChkInvertSelection->isChecked();
    const TCellArea a{s.Left, s.Top, s.Right, s.Bottom};
    SelectionItems(SelectionCaption("Render", a, inv), SelectionCaption("Erase", a, inv),
                   SelectionCaption("Save", a, false) + " as a mosaic image");
    SetPopupMenu(DrawGrid1, FCellPopup);
    return;
  }
  SetPopupMenu(DrawGrid1, nullptr);
  if (ManualCellPopup(x, y)) return;
  if (!LibraryOpen()) return;
  if (!CheckAnyFlip()) return;
  AddFlips(CBFlipH->isChecked(), CBFlipV->isChecked(), CBRota180->isChecked());
  if (!CheckAnyFlip()) return;
  int col = -1, row = -1;
  DrawGrid1->MouseToCell(x, y, col, row);
  if (col < 0 || row < 0) return;
  SetPopupMenu(DrawGrid1, FCellPopup);
  const bool thumbs = VTMosaic1.ShowThumbs;
  VTMosaic1.ShowThumbs = true;
  TFinally restore([&] { VTMosaic1.ShowThumbs = thumbs; });
  DrawGrid1->SetSelection({col, row, col, row});
  DrawGrid1->viewport()->update();
  const int32_t n = CellToRow(row, col);
  VTMosaic1.MoveTo(n);
  VTPlan1.MoveTo(n);
  SingleCellItems(col, row, true);
  if (!FAllowPopUpCandidates) return;
  std::vector<int32_t> links;
  VTMosaic1.GetAllLinks(links, 1);
  VTLib1.FindBestMatches(VTPlan1, links, FlipSet(), FShowBestCandidates + 2, SpinRadius2->Value(),
                         DrawGrid1->ColCount(), DrawGrid1->RowCount(), col, row);
  for (int k = 1; k <= FShowBestCandidates && k + 2 < FCellPopup->Items()->Count(); ++k) {
    VTLib1.MoveTo(k);
    TKWCustomMenuItem* item = FCellPopup->Items()->Items(k + 2);
    item->Visible = true;
    item->Enabled = true;
    item->Tag = k;
    item->Bitmap = VTLib1.DisplayBitmap;
    item->Caption = VTLib1.CurPath + " (" + std::to_string(VTLib1.CurPicWidth) + "/" +
                    std::to_string(VTLib1.CurPicHeight) + ") " + Orientation(VTLib1.CurCropRect);
    Bind(item, this, &TForm1::OnCandidatePopUpClick);
  }
}

void TForm1::Panel1MouseDown(Qt::MouseButton button) {
  if (button != Qt::RightButton) return;
  // The selection commands start runs of their own: none while one goes on.
  if (LongOperationRunning) {
    SetPopupMenu(Panel1, nullptr);
    return;
  }
  SelectionItems("Render cells from ", "Erase cells from ", "Save cells from ");
  SetPopupMenu(Panel1, FCellPopup);
}

void TForm1::OnActionPopUpClick(int tag) {
  if (LongOperationRunning) return;
  if (tag == -1)
    SpeedButton7Click();
  else if (tag == -2)
    Eraseselection1Click();
  else if (tag == -3 && Savemosaic1->isEnabled())
    Savemosaic1->trigger();
}

void TForm1::OnDeletePopUpClick(int tag) {
  if (!ProjectOpen() || LongOperationRunning) return;
  PositionOn(tag);
  VTPlan1.MoveTo(tag);
  if (VTMosaic1.CopyRecordFrom(tag, VTPlan1)) {
    int col = 0, row = 0;
    RowToCell(tag, col, row);
    CellEdited(col, row);
  }
  SetButtonsOnOff();
}

void TForm1::OnOriginalPopUpClick(int tag) {
  if (!ProjectOpen()) return;
  PositionOn(tag);
  ShowTilePreview(VTMosaic1, this);
}

void TForm1::OnLibInspectorPopUpClick(int tag) {
  if (!ProjectOpen() || LongOperationRunning) return;
  PositionOn(tag);
  ShowLibraryInspector(VTMosaic1.CurPath);
}

void TForm1::OnCandidatePopUpClick(int tag) {
  if (!ProjectOpen() || !LibraryOpen() || LongOperationRunning) return;
  const int32_t n = CellToRow(DrawGrid1->Row(), DrawGrid1->Col());
  VTLib1.MoveTo(tag);
  if (VTMosaic1.SetRecordFrom(n, VTLib1, true)) CellEdited(DrawGrid1->Col(), DrawGrid1->Row());
  SetButtonsOnOff();
}
