// The main window's manual mode: the manual-tiles window, the cells it
// fills while it is shown, and the Enter key that stores its choice.
#include "dialogs/ManualForm.h"
#include "mainwin/v2main.h"

TManualForma& TForm1::ManualForm() {
  if (!ManualForma) {
    TManualHost host;
    host.Library = &VTLib1;
    host.Plan = &VTPlan1;
    host.Mosaic = &VTMosaic1;
    host.Grid = DrawGrid1;
    host.FlipSet = [this] { return FlipSet(); };
    host.Distance = [this] { return SpinRadius2->Value(); };
    host.StretchTiles = [this] { return FStretchTiles; };
    host.StopRequested = [this] { return FStopRequested; };
    host.CellToRow = [this](int row, int col) { return CellToRow(row, col); };
    host.RowToCell = [this](int32_t n, int& col, int& row) { RowToCell(n, col, row); };
    host.SetForStartMosaic = [this] { SetForStartMosaic(); };
    host.SetForEndMosaic = [this] { SetForEndMosaic(); };
    host.SetButtonsOnOff = [this] { SetButtonsOnOff(); };
    host.LastPath = [this](const std::string& key) { return LastPath(key); };
    host.ProductCaption = ProductCaption;
    host.CellStored = [this](int col, int row) { CellEdited(col, row); };
    host.CellCleared = [this] {
      if (StatusText(1) == ReplaceCellHint) SetStatusText(1, EraseCellHint);
    };
    ManualForma = new TManualForma(std::move(host), this);
  }
  return *ManualForma;
}

bool TForm1::ManualVisible() const {
  return ManualForma && ManualForma->isVisible();
}

void TForm1::SetManualButtons(bool lib, bool project, bool idle) {
  Manual1->setEnabled(idle && lib && project);
}

void TForm1::ConnectManualCommands() {
  connect(Manual1, &QAction::triggered, this, &TForm1::Manual1Click);
}

void TForm1::Manual1Click() {
  TManualForma& form = ManualForm();
  form.show();
  form.raise();
  form.activateWindow();
}

bool TForm1::ManualSelectCell(int col, int row) {
  if (!ManualVisible() || ManualForma->PageControl1->currentIndex() == TManualForma::pgForced) return false;
  ManualForma->FillForCell(col, row);
  return true;
}

bool TForm1::ManualCellPopup(int x, int y) {
  if (!ManualVisible()) return false;
  int col = -1, row = -1;
  DrawGrid1->MouseToCell(x, y, col, row);
  if (col < 0 || row < 0) return true;
  SetPopupMenu(DrawGrid1, FCellPopup);
  // Left on: the popup's pictures are the stored thumbnails.
  VTMosaic1.ShowThumbs = true;
  DrawGrid1->SetSelection({col, row, col, row});
  DrawGrid1->viewport()->update();
  const int32_t n = CellToRow(row, col);
  VTMosaic1.MoveTo(n);
  VTPlan1.MoveTo(n);
  SingleCellItems(col, row, false);
  return true;
}

void TForm1::Replacemanually() {
  if (!LibraryOpen() || !ProjectOpen() || !ManualVisible()) return;
  const int col = DrawGrid1->Col(), row = DrawGrid1->Row();
  // Only into the cell the window describes: it may have none yet, or one
  // the grid has since left while the window was on its forced page.
  const bool shown = ManualForma->CellCol() == col && ManualForma->CellRow() == row;
  if (shown && ManualForma->StoreChoice(CellToRow(row, col))) CellEdited(col, row);
  SetButtonsOnOff();
}
