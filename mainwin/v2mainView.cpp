// The mosaic grid view: record mapping, cell drawing, zoom, fitting and the
// caption and status texts that describe the open project and library.
#include <QLayout>
#include <QPainter>
#include <QSignalBlocker>

#include "imaging/Adjust.h"
#include "mainwin/v2main.h"
#include "platform/Files.h"
#include "platform/Rounding.h"
#include "platform/Utils.h"
#include "platform/qt/QtImage.h"

int32_t TForm1::CellToRow(int row, int col) const {
  return row * DrawGrid1->ColCount() + col + 1;
}

void TForm1::RowToCell(int32_t n, int& col, int& row) const {
  col = (n - 1) % DrawGrid1->ColCount();
  row = (n - 1) / DrawGrid1->ColCount();
}

void TForm1::DrawGrid1DrawCell(int col, int row, const TRect& rect, TGridDrawState state) {
  if (!ProjectOpen() || (state & gdFixed)) return;
  QPainter* canvas = DrawGrid1->Canvas();
  if (!canvas) return;
  const QRect r(rect.Left, rect.Top, rect.Width(), rect.Height());
  const int32_t n = CellToRow(row, col);
  if (RBDelta1->isChecked()) {
    VTMosaic1.MoveTo(n);
    VTPlan1.MoveTo(n);
    Bitmap24 delta(VTMosaic1.SampleBitmap.Width(), VTMosaic1.SampleBitmap.Height());
    DifferenceBitmap(VTMosaic1.SampleBitmap, VTPlan1.SampleBitmap, delta);
    // Inverted, so equal samples show white and larger differences darker.
    QImage image = Bitmap24View(delta).copy();
    image.invertPixels();
    canvas->drawImage(r, image);
  } else if (RBSource1->isChecked()) {
    VTPlan1.MoveTo(n);
    canvas->drawImage(r, Bitmap24View(VTPlan1.DisplayBitmap));
  } else if (const QImage* picture = CellThumbnail(n)) {
    canvas->drawImage(r, *picture);
  } else {
    VTMosaic1.MoveTo(n);
    canvas->drawImage(r, Bitmap24View(VTMosaic1.DisplayBitmap));
  }
  if (state & (gdSelected | gdFocused)) {
    // The inverted black pen ORed with the screen: a white frame.
    canvas->setPen(QPen(Qt::white, 2));
    canvas->setBrush(Qt::NoBrush);
    const QPoint frame[] = {{rect.Left + 1, rect.Top + 1},
                            {rect.Right - 1, rect.Top + 1},
                            {rect.Right - 1, rect.Bottom - 1},
                            {rect.Left + 1, rect.Bottom - 1}};
    canvas->drawPolygon(frame, 4);
  }
  if (RBSource1->isChecked() && VTPlan1.PicDeleted()) {
    canvas->setPen(QPen(Qt::black, 2));
    canvas->drawLine(rect.Left, rect.Top, rect.Right, rect.Bottom);
    canvas->drawLine(rect.Right, rect.Top, rect.Left, rect.Bottom);
  }
}

const QImage* TForm1::CellThumbnail(int32_t n) {
  // Through a sort index the cell's record is not n: such views read it.
  if (!UseCellPictures || !VTMosaic1.ShowThumbs || VTMosaic1.IndexKeySize != 0 || n < 1 ||
      n > VTMosaic1.RecordCount)
    return nullptr;
  try {
    if (!VTMosaic1.ReadThumbBlob(VTMosaic1.RecordInfo(n).ThumbBlobOffset, FCellJpeg)) return nullptr;
  } catch (const EFileError&) {
    return nullptr;
  }
  return CellPictures.Find(FCellJpeg);
}

void TForm1::TrackBar1Change(int position) {
  if (!ProjectOpen() || position == DrawGrid1->DefaultColWidth() || VTPlan1.XScale <= 0) return;
  DrawGrid1->SetDefaultColWidth(position);
  DrawGrid1->SetDefaultRowHeight(int(RoundDiv(int64_t(VTPlan1.YScale) * position, VTPlan1.XScale)));
  // Decided on the new width, so the detail level always fits the cells shown.
  AutoShowDetailed(0);
}

void TForm1::AutoShowDetailed(int mode) {
  VTPlan1.ShowThumbs = false;
  if (mode == 1)
    VTMosaic1.ShowThumbs = true;
  else if (mode == 2)
    VTMosaic1.ShowThumbs = false;
  else
    VTMosaic1.ShowThumbs = VTMosaic1.XRes * 2 < DrawGrid1->DefaultColWidth();
}

namespace {
// What the grid shows without scroll bars, less the lines after each of its
// columns and rows.
QSize GridArea(const TDrawGrid* grid, int columns, int rows) {
  const QSize view = grid->contentsRect().size();
  return {view.width() - grid->GridLineWidth() * columns, view.height() - grid->GridLineWidth() * rows};
}

// The tile-ratio side for a cell side of n pixels (at least 1).
int RatioSide(int64_t n, int32_t from, int32_t to) {
  return std::max<int>(1, int(RoundDiv(n * to, from)));
}
}  // namespace

// Whole pixels: the widest column whose grid fits across, its row the tile
// ratio's height; where those rows would not fit down, the tallest row that
// does and its width. Cells of 1 pixel that still do not fit are scrolled.
void TForm1::FitToWindow() {
  const int32_t cols = VTPlan1.Columns, rows = VTPlan1.Rows;
  if (cols <= 0 || rows <= 0 || VTPlan1.XScale <= 0 || VTPlan1.YScale <= 0) return;
  // A project opened at start-up comes before the first showing: the grid
  // must have its place in the window before it can be filled.
  LayOutHidden();
  const QSize area = GridArea(DrawGrid1, cols, rows);
  const int across = std::max(1, area.width() / cols);
  int colWidth = across;
  int rowHeight = RatioSide(colWidth, VTPlan1.XScale, VTPlan1.YScale);
  if (int64_t(rowHeight) * rows > area.height()) {
    rowHeight = std::max(1, area.height() / rows);
    colWidth = std::min(across, RatioSide(rowHeight, VTPlan1.YScale, VTPlan1.XScale));
  }
  DrawGrid1->SetDefaultColWidth(colWidth);
  DrawGrid1->SetDefaultRowHeight(rowHeight);
  // The zoom holder keeps 5 .. 100; a fit outside that keeps its own cells,
  // and the next zoom step starts from the holder's bound.
  const QSignalBlocker hold(TrackBar1);
  TrackBar1->setValue(colWidth);
}

void TForm1::LayOutHidden() {
  if (isVisible()) return;
  for (QWidget* w : {static_cast<QWidget*>(this), centralWidget(), Panel2})
    if (QLayout* l = w->layout()) {
      l->invalidate();
      l->activate();
    }
}

void TForm1::FitSelection() {
  const TGridRect sel = DrawGrid1->Selection();
  const int w = sel.Right - sel.Left, h = sel.Bottom - sel.Top;
  if ((w <= 0 && h <= 0) || VTPlan1.XScale <= 0 || VTPlan1.YScale <= 0) return;
  const QSize area = GridArea(DrawGrid1, VTPlan1.Columns, VTPlan1.Rows);
  const int aw = area.width(), ah = area.height();
  int colWidth = int(RoundDiv(aw, w + 1));
  int rowHeight = int(RoundDiv(int64_t(colWidth) * VTPlan1.YScale, VTPlan1.XScale));
  if (int64_t(rowHeight) * (h + 1) > ah) {
    rowHeight = int(RoundDiv(ah, h + 1));
    colWidth = int(RoundDiv(int64_t(VTPlan1.XScale) * rowHeight, VTPlan1.YScale));
  }
  DrawGrid1->SetDefaultColWidth(std::max(1, colWidth));
  DrawGrid1->SetDefaultRowHeight(std::max(1, rowHeight));
  TrackBar1->setValue(DrawGrid1->DefaultColWidth());
  DrawGrid1->SetTopRow(sel.Top);
  DrawGrid1->SetLeftCol(sel.Left);
}

void TForm1::SelectallGrid() {
  DrawGrid1->SetSelection({0, 0, DrawGrid1->ColCount() - 1, DrawGrid1->RowCount() - 1});
}

void TForm1::SelectCurrent() {
  DrawGrid1->SetSelection({DrawGrid1->Col(), DrawGrid1->Row(), DrawGrid1->Col(), DrawGrid1->Row()});
}

void TForm1::SelectionStatus() {
  const TGridRect s = DrawGrid1->Selection();
  if (s.Left == s.Right && s.Top == s.Bottom) return;
  SetStatusText(0, Format("%s%d:%d x %d:%d", ChkInvertSelection->isChecked() ? "Not " : "", s.Left + 1,
                          s.Top + 1, s.Right + 1, s.Bottom + 1));
}

std::string TForm1::LibraryStatusText() const {
  std::string flips;
  bool h = false, v = false, r = false;
  for (int i = 1; i <= 3; ++i) {
    h = h || VTLib1.FlipKinds[size_t(i)] == 1;
    v = v || VTLib1.FlipKinds[size_t(i)] == 3;
    r = r || VTLib1.FlipKinds[size_t(i)] == 2;
  }
  if (h || v || r) flips = std::string(" (") + (h ? "H" : "") + (v ? "V" : "") + (r ? "R" : "") + ")";
  return Format("Lib: %d%s rec. (%s) %d/%d - %d/%d - %s", VTLib1.OriginalCount, flips.c_str(),
                VTLib1.ColorSystemName.c_str(), VTLib1.XScale, VTLib1.YScale, VTLib1.XRes, VTLib1.YRes,
                VTLib1.BaseName().c_str());
}

void TForm1::ShowStatus() {
  // A closed plan keeps its old header values; the caption must not name a
  // project that is gone.
  if (ProjectOpen())
    setWindowTitle(QString::fromStdString(Format("%s - (%dx%d) - %s", ProductCaption.c_str(), VTPlan1.Columns,
                                                 VTPlan1.Rows, ExtractFileName(VTPlan1.BaseName()).c_str())));
  else
    setWindowTitle(QString::fromStdString(ProductCaption));
  // Without a project there is no cell to speak of: the library's own text.
  if (RBSource1->isChecked() || !ProjectOpen())
    SetStatusText(2, LibraryOpen() ? LibraryStatusText() : "");
  else
    SetStatusText(2, Format("Lib: %s (%d/%d)", VTMosaic1.CurPath.c_str(), VTMosaic1.CurPicWidth,
                            VTMosaic1.CurPicHeight));
  SetStatusText(1, ProjectOpen() ? Format("Pic: %d rec. (%s) %d/%d - %d/%d - %s", VTPlan1.RecordCount,
                                          VTPlan1.ColorSystemName.c_str(), VTPlan1.XScale, VTPlan1.YScale,
                                          VTPlan1.XRes, VTPlan1.YRes, VTPlan1.BaseName().c_str())
                                 : "");
}

void TForm1::ZoomIn1Click() {
  TrackBar1->setValue(int(RoundHalfEven(TrackBar1->value() * 1.2)));
}

void TForm1::ZoomOut1Click() {
  TrackBar1->setValue(int(RoundHalfEven(TrackBar1->value() * 0.8)));
}

// After a fit outside the holder's range the holder stands at its bound while
// the cells do not: a size asked for is applied even if the holder stays.
void TForm1::ZoomTo(int width) {
  TrackBar1->setValue(width);
  TrackBar1Change(TrackBar1->value());
}

void TForm1::N1001Click() {
  if (!ProjectOpen()) return;
  ZoomTo(VTLib1.DisplayBitmap.Width());
  VTMosaic1.ShowThumbs = true;
  DrawGrid1->viewport()->update();
}

void TForm1::Fastview1Click() {
  if (!ProjectOpen()) return;
  VTPlan1.MoveTo(CellToRow(DrawGrid1->Row(), DrawGrid1->Col()));
  ZoomTo(VTPlan1.DisplayBitmap.Width());
  VTMosaic1.ShowThumbs = false;
  DrawGrid1->viewport()->update();
}

void TForm1::Fittowindow1Click() {
  if (ProjectOpen()) FitToWindow();
}

void TForm1::Fittoselection1Click() {
  if (ProjectOpen()) FitSelection();
}

// The items are swapped at once, not only when the menu opens, so that Ctrl+4
// toggles the lines without the menu ever being opened.
void TForm1::Showgrid1Click() {
  DrawGrid1->SetGridLineWidth(1);
  View1Click();
}

void TForm1::Hidegrid1Click() {
  DrawGrid1->SetGridLineWidth(0);
  View1Click();
}

void TForm1::View1Click() {
  const bool lines = DrawGrid1->GridLineWidth() != 0;
  Showgrid1->setVisible(!lines);
  Showgrid1->setShortcut(lines ? QKeySequence() : QKeySequence("Ctrl+4"));
  Hidegrid1->setVisible(lines);
  Hidegrid1->setShortcut(lines ? QKeySequence("Ctrl+4") : QKeySequence());
}

void TForm1::Showdetailes1Click() {
  if (!ProjectOpen()) return;
  VTMosaic1.ShowThumbs = true;
  DrawGrid1->viewport()->update();
}

void TForm1::Hidedetailes1Click() {
  if (!ProjectOpen()) return;
  VTMosaic1.ShowThumbs = false;
  DrawGrid1->viewport()->update();
}

void TForm1::RBSource1Click() {
  DrawGrid1->viewport()->update();
}

void TForm1::ViewSource1Click() {
  if (!RBSource1->isChecked()) RBSource1->setChecked(true);
  DrawGrid1->viewport()->update();
}

void TForm1::ViewTarget1Click() {
  if (!RBTarget1->isChecked()) RBTarget1->setChecked(true);
  DrawGrid1->viewport()->update();
}

void TForm1::Selectall1Click() {
  SelectallGrid();
  SelectionStatus();
}

void TForm1::DrawGrid1MouseMove() {
  SelectionStatus();
}

void TForm1::ChkInvertSelectionClick() {
  SelectionStatus();
}
