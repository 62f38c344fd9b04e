#include "platform/qt/DrawGrid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

namespace {
constexpr int kHidden = INT_MIN;
QRect ToQRect(const TRect& r) {
  return QRect(r.Left, r.Top, r.Width(), r.Height());
}
}  // namespace

TDrawGrid::TDrawGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  FColWidths.assign(5, FDefaultColWidth);
  FRowHeights.assign(5, FDefaultRowHeight);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  UpdateScrollBars();
}

// ---- sizes ----

void TDrawGrid::SetColCount(int n) {
  FColWidths.resize(size_t(std::max(1, n)), FDefaultColWidth);
  ClampState();
}

void TDrawGrid::SetRowCount(int n) {
  FRowHeights.resize(size_t(std::max(1, n)), FDefaultRowHeight);
  ClampState();
}

// A grid still at its first selectable cell stays at the first one.
void TDrawGrid::SetFixedCols(int n) {
  const bool atStart = FCol == FFixedCols && FAnchorCol == FFixedCols && FLeftCol == FFixedCols;
  FFixedCols = std::clamp(n, 0, ColCount() - 1);
  if (atStart) FCol = FAnchorCol = FLeftCol = FFixedCols;
  ClampState();
}

void TDrawGrid::SetFixedRows(int n) {
  const bool atStart = FRow == FFixedRows && FAnchorRow == FFixedRows && FTopRow == FFixedRows;
  FFixedRows = std::clamp(n, 0, RowCount() - 1);
  if (atStart) FRow = FAnchorRow = FTopRow = FFixedRows;
  ClampState();
}

void TDrawGrid::SetDefaultColWidth(int w) {
  FDefaultColWidth = std::max(0, w);
  std::fill(FColWidths.begin(), FColWidths.end(), FDefaultColWidth);
  ClampState();
}

void TDrawGrid::SetDefaultRowHeight(int h) {
  FDefaultRowHeight = std::max(0, h);
  std::fill(FRowHeights.begin(), FRowHeights.end(), FDefaultRowHeight);
  ClampState();
}

void TDrawGrid::SetColWidths(int col, int w) {
  if (col < 0 || col >= ColCount()) return;
  FColWidths[size_t(col)] = std::max(0, w);
  ClampState();
}

void TDrawGrid::SetRowHeights(int row, int h) {
  if (row < 0 || row >= RowCount()) return;
  FRowHeights[size_t(row)] = std::max(0, h);
  ClampState();
}

void TDrawGrid::SetGridLineWidth(int w) {
  FGridLineWidth = std::max(0, w);
  ClampState();
}

// Keeps current cell, selection and scroll position inside the grid after
// any change of its shape, and repaints.
void TDrawGrid::ClampState() {
  auto clampCol = [&](int c) { return std::clamp(c, FFixedCols, ColCount() - 1); };
  auto clampRow = [&](int r) { return std::clamp(r, FFixedRows, RowCount() - 1); };
  FCol = clampCol(FCol);
  FRow = clampRow(FRow);
  FAnchorCol = clampCol(FAnchorCol);
  FAnchorRow = clampRow(FAnchorRow);
  FTopRow = std::clamp(FTopRow, FFixedRows, std::max(FFixedRows, MaxFirst(false)));
  FLeftCol = std::clamp(FLeftCol, FFixedCols, std::max(FFixedCols, MaxFirst(true)));
  UpdateScrollBars();
  viewport()->update();
}

// ---- geometry ----

int TDrawGrid::Edge(bool columns, int i) const {
  const std::vector<int>& sizes = columns ? FColWidths : FRowHeights;
  const int fixed = columns ? FFixedCols : FFixedRows, first = columns ? FLeftCol : FTopRow;
  if (i >= fixed && i < first) return kHidden;
  int pos = 0;
  for (int k = 0; k < std::min(i, fixed); ++k) pos += sizes[size_t(k)] + FGridLineWidth;
  for (int k = first; k < i; ++k) pos += sizes[size_t(k)] + FGridLineWidth;
  return pos;
}

TRect TDrawGrid::CellRect(int col, int row) const {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return TRect();
  const int x = Edge(true, col), y = Edge(false, row);
  if (x == kHidden || y == kHidden || x >= viewport()->width() || y >= viewport()->height()) return TRect();
  return TRect(x, y, x + FColWidths[size_t(col)], y + FRowHeights[size_t(row)]);
}

void TDrawGrid::MouseToCell(int x, int y, int& col, int& row) const {
  col = row = -1;
  auto find = [&](int v, bool columns) {
    const std::vector<int>& sizes = columns ? FColWidths : FRowHeights;
    for (const auto& [i, pos] : Shown(columns))
      if (v >= pos && v < pos + sizes[size_t(i)] + FGridLineWidth) return i;
    return -1;
  };
  if (x < 0 || y < 0) return;
  const int c = find(x, true), r = find(y, false);
  if (c >= 0 && r >= 0) {
    col = c;
    row = r;
  }
}

void TDrawGrid::InvalidateCell(int col, int row) {
  const TRect r = CellRect(col, row);
  if (r.Width() > 0 || r.Height() > 0) viewport()->update(ToQRect(r));
}

TGridRect TDrawGrid::Selection() const {
  TGridRect r{std::min(FCol, FAnchorCol), std::min(FRow, FAnchorRow), std::max(FCol, FAnchorCol),
              std::max(FRow, FAnchorRow)};
  if (Options & goRowSelect) {
    r.Left = FFixedCols;
    r.Right = ColCount() - 1;
  }
  return r;
}

void TDrawGrid::SetSelection(const TGridRect& r) {
  FCol = r.Left;
  FRow = r.Top;
  FAnchorCol = r.Right;
  FAnchorRow = r.Bottom;
  ClampState();
}

// ---- scrolling ----

// The last first-scrollable index that still shows the last column (row) whole.
int TDrawGrid::MaxFirst(bool columns) const {
  const std::vector<int>& sizes = columns ? FColWidths : FRowHeights;
  const int fixed = columns ? FFixedCols : FFixedRows;
  int room = columns ? viewport()->width() : viewport()->height();
  for (int k = 0; k < fixed; ++k) room -= sizes[size_t(k)] + FGridLineWidth;
  int i = int(sizes.size()) - 1;
  for (; i > fixed; --i) {
    room -= sizes[size_t(i)] + FGridLineWidth;
    if (room - sizes[size_t(i - 1)] - FGridLineWidth < 0) break;
  }
  return std::max(fixed, i);
}

int TDrawGrid::VisibleCount(bool columns) const {
  const std::vector<int>& sizes = columns ? FColWidths : FRowHeights;
  const int first = columns ? FLeftCol : FTopRow;
  const int limit = columns ? viewport()->width() : viewport()->height();
  int pos = Edge(columns, first), n = 0;
  for (int i = first; i < int(sizes.size()); ++i) {
    pos += sizes[size_t(i)];
    if (pos > limit) break;
    pos += FGridLineWidth;
    ++n;
  }
  return n;
}

void TDrawGrid::SetTopRow(int row) {
  row = std::clamp(row, FFixedRows, MaxFirst(false));
  if (row == FTopRow) return;
  FTopRow = row;
  UpdateScrollBars();
  viewport()->update();
  emit OnTopLeftChanged();
}

void TDrawGrid::SetLeftCol(int col) {
  col = std::clamp(col, FFixedCols, MaxFirst(true));
  if (col == FLeftCol) return;
  FLeftCol = col;
  UpdateScrollBars();
  viewport()->update();
  emit OnTopLeftChanged();
}

void TDrawGrid::UpdateScrollBars() {
  FInScroll = true;
  verticalScrollBar()->setRange(0, MaxFirst(false) - FFixedRows);
  verticalScrollBar()->setPageStep(std::max(1, VisibleRowCount()));
  verticalScrollBar()->setValue(FTopRow - FFixedRows);
  verticalScrollBar()->setTracking(Options & goThumbTracking);
  horizontalScrollBar()->setRange(0, MaxFirst(true) - FFixedCols);
  horizontalScrollBar()->setPageStep(std::max(1, VisibleColCount()));
  horizontalScrollBar()->setValue(FLeftCol - FFixedCols);
  horizontalScrollBar()->setTracking(Options & goThumbTracking);
  FInScroll = false;
}

void TDrawGrid::scrollContentsBy(int, int) {
  if (FInScroll) return;
  const int top = verticalScrollBar()->value() + FFixedRows;
  const int left = horizontalScrollBar()->value() + FFixedCols;
  if (top != FTopRow || left != FLeftCol) {
    FTopRow = top;
    FLeftCol = left;
    viewport()->update();
    emit OnTopLeftChanged();
  }
}

void TDrawGrid::ScrollInView(int col, int row) {
  if (row >= FFixedRows) {
    if (row < FTopRow)
      SetTopRow(row);
    else
      while (FTopRow < row && FTopRow < MaxFirst(false) && row >= FTopRow + VisibleRowCount())
        SetTopRow(FTopRow + 1);
  }
  if (col >= FFixedCols) {
    if (col < FLeftCol)
      SetLeftCol(col);
    else
      while (FLeftCol < col && FLeftCol < MaxFirst(true) && col >= FLeftCol + VisibleColCount())
        SetLeftCol(FLeftCol + 1);
  }
}

void TDrawGrid::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  ClampState();
}

// ---- painting ----

// The columns (rows) on screen, fixed ones first, with their left (top) edges.
std::vector<std::pair<int, int>> TDrawGrid::Shown(bool columns) const {
  const std::vector<int>& sizes = columns ? FColWidths : FRowHeights;
  const int fixed = columns ? FFixedCols : FFixedRows, first = columns ? FLeftCol : FTopRow;
  const int limit = columns ? viewport()->width() : viewport()->height();
  std::vector<std::pair<int, int>> out;
  int pos = 0;
  for (int i = 0; i < int(sizes.size()) && pos < limit; ++i) {
    if (i >= fixed && i < first) i = first;
    if (i >= int(sizes.size())) break;
    out.push_back({i, pos});
    pos += sizes[size_t(i)] + FGridLineWidth;
  }
  return out;
}

void TDrawGrid::paintEvent(QPaintEvent* e) {
  QPainter p(viewport());
  const QPalette& pal = palette();
  p.fillRect(e->rect(), pal.base());
  const TGridRect sel = Selection();
  const bool focused = hasFocus();
  const auto cols = Shown(true), rows = Shown(false);
  for (const auto& [row, y] : rows) {
    for (const auto& [col, x] : cols) {
      const TRect r(x, y, x + FColWidths[size_t(col)], y + FRowHeights[size_t(row)]);
      const QRect qr = ToQRect(r);
      // The lines to the right of and below the cell.
      if (FGridLineWidth > 0) {
        p.fillRect(QRect(x + qr.width(), y, FGridLineWidth, qr.height() + FGridLineWidth), pal.mid());
        p.fillRect(QRect(x, y + qr.height(), qr.width(), FGridLineWidth), pal.mid());
      }
      if (!e->region().intersects(qr)) continue;
      TGridDrawState state = 0;
      const bool fixed = col < FFixedCols || row < FFixedRows;
      if (fixed) {
        state = gdFixed;
      } else {
        const bool current = col == FCol && row == FRow;
        if (current && focused) state |= gdFocused;
        if (sel.Contains(col, row) && (!(current && focused) || (Options & goDrawFocusSelected)))
          state |= gdSelected;
      }
      if (DefaultDrawing)
        p.fillRect(qr, fixed ? pal.button() : (state & gdSelected) ? pal.highlight() : pal.base());
      p.save();
      p.setClipRect(qr);
      FCanvas = &p;
      emit OnDrawCell(col, row, r, state);
      FCanvas = nullptr;
      p.restore();
      if (DefaultDrawing && (state & gdFocused)) {
        p.setPen(QPen(pal.text().color(), 1, Qt::DotLine));
        p.drawRect(qr.adjusted(0, 0, -1, -1));
      }
    }
  }
}

// ---- mouse and keys ----

bool TDrawGrid::MoveCurrent(int col, int row, bool extend) {
  col = std::clamp(col, FFixedCols, ColCount() - 1);
  row = std::clamp(row, FFixedRows, RowCount() - 1);
  if (extend && (Options & goRangeSelect)) {
    MoveAnchor(col, row);
    return true;
  }
  bool can = true;
  emit OnSelectCell(col, row, can);
  if (!can) return false;
  FCol = FAnchorCol = col;
  FRow = FAnchorRow = row;
  ScrollInView(col, row);
  viewport()->update();
  return true;
}

void TDrawGrid::MoveAnchor(int col, int row) {
  FAnchorCol = std::clamp(col, FFixedCols, ColCount() - 1);
  FAnchorRow = std::clamp(row, FFixedRows, RowCount() - 1);
  ScrollInView(FAnchorCol, FAnchorRow);
  viewport()->update();
}

int TDrawGrid::SizingLine(bool columns, QPoint p) const {
  if (!(Options & (columns ? goColSizing : goRowSizing))) return -1;
  // Only across the fixed rows (columns): the titles.
  const int across = columns ? p.y() : p.x();
  const int fixedEnd =
      columns ? (FFixedRows > 0 ? Edge(false, FFixedRows - 1) + FRowHeights[size_t(FFixedRows - 1)] : 0)
              : (FFixedCols > 0 ? Edge(true, FFixedCols - 1) + FColWidths[size_t(FFixedCols - 1)] : 0);
  if (across < 0 || across >= fixedEnd) return -1;
  const std::vector<int>& sizes = columns ? FColWidths : FRowHeights;
  const int along = columns ? p.x() : p.y();
  for (const auto& [i, pos] : Shown(columns)) {
    const int end = pos + sizes[size_t(i)];
    if (along >= end - 2 && along <= end + FGridLineWidth + 1) return i;
  }
  return -1;
}

void TDrawGrid::Press(QMouseEvent* e, bool doubleClick) {
  const QPoint pos = e->position().toPoint();
  if (e->button() == Qt::LeftButton && !doubleClick) {
    FSizingCol = SizingLine(true, pos);
    FSizingRow = FSizingCol < 0 ? SizingLine(false, pos) : -1;
  }
  if (e->button() == Qt::LeftButton && FSizingCol < 0 && FSizingRow < 0) {
    int col, row;
    MouseToCell(pos.x(), pos.y(), col, row);
    if (col >= FFixedCols && row >= FFixedRows) {
      const bool shift = e->modifiers() & Qt::ShiftModifier;
      MoveCurrent(col, row, shift);
      FSelecting = Options & goRangeSelect;
    }
  }
  emit OnMouseDown(e->button(), e->modifiers(), pos.x(), pos.y(), doubleClick);
}

void TDrawGrid::mousePressEvent(QMouseEvent* e) {
  setFocus(Qt::MouseFocusReason);
  Press(e, false);
}

void TDrawGrid::mouseDoubleClickEvent(QMouseEvent* e) {
  Press(e, true);
  emit OnDblClick();
}

void TDrawGrid::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (FSizingCol >= 0 && (e->buttons() & Qt::LeftButton)) {
    SetColWidths(FSizingCol, pos.x() - Edge(true, FSizingCol));
  } else if (FSizingRow >= 0 && (e->buttons() & Qt::LeftButton)) {
    SetRowHeights(FSizingRow, pos.y() - Edge(false, FSizingRow));
  } else if (!(e->buttons() & Qt::LeftButton)) {
    viewport()->setCursor(SizingLine(true, pos) >= 0    ? Qt::SplitHCursor
                          : SizingLine(false, pos) >= 0 ? Qt::SplitVCursor
                                                        : Qt::ArrowCursor);
  }
  if (FSelecting && (e->buttons() & Qt::LeftButton)) {
    int col, row;
    MouseToCell(pos.x(), pos.y(), col, row);
    if (col >= FFixedCols && row >= FFixedRows && (col != FAnchorCol || row != FAnchorRow))
      MoveAnchor(col, row);
  }
  emit OnMouseMove(e->modifiers(), pos.x(), pos.y());
}

void TDrawGrid::mouseReleaseEvent(QMouseEvent* e) {
  FSelecting = false;
  FSizingCol = FSizingRow = -1;
  const QPoint pos = e->position().toPoint();
  emit OnMouseUp(e->button(), e->modifiers(), pos.x(), pos.y());
}

void TDrawGrid::keyPressEvent(QKeyEvent* e) {
  int key = e->key();
  emit OnKeyDown(key, e->modifiers());
  if (key == 0) {
    e->accept();
    return;
  }
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  // Shift moves the selection's far corner, otherwise the current cell.
  const int col = shift ? FAnchorCol : FCol, row = shift ? FAnchorRow : FRow;
  const int page = std::max(1, VisibleRowCount());
  switch (key) {
    case Qt::Key_Left:
      MoveCurrent(col - 1, row, shift);
      break;
    case Qt::Key_Right:
      MoveCurrent(col + 1, row, shift);
      break;
    case Qt::Key_Up:
      MoveCurrent(col, row - 1, shift);
      break;
    case Qt::Key_Down:
      MoveCurrent(col, row + 1, shift);
      break;
    case Qt::Key_PageUp:
      MoveCurrent(col, row - page, shift);
      break;
    case Qt::Key_PageDown:
      MoveCurrent(col, row + page, shift);
      break;
    case Qt::Key_Home:
      MoveCurrent(FFixedCols, ctrl ? FFixedRows : row, shift);
      break;
    case Qt::Key_End:
      MoveCurrent(ColCount() - 1, ctrl ? RowCount() - 1 : row, shift);
      break;
    default:
      QAbstractScrollArea::keyPressEvent(e);
      return;
  }
  e->accept();
}

void TDrawGrid::focusInEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusInEvent(e);
  InvalidateCell(FCol, FRow);
}

void TDrawGrid::focusOutEvent(QFocusEvent* e) {
  QAbstractScrollArea::focusOutEvent(e);
  InvalidateCell(FCol, FRow);
}
