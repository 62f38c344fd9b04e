// The class library's owner-drawn grid: columns and rows of cells whose
// contents the program draws in OnDrawCell, with fixed (title) rows and
// columns, a current cell, a rectangular range selection, scrolling by whole
// cells and per-column and per-row sizes.
#pragma once
#include <QAbstractScrollArea>
#include <utility>
#include <vector>

#include "platform/Types.h"

// Columns Left..Right and rows Top..Bottom, inclusive, 0-based.
struct TGridRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TGridRect&) const = default;
  bool Contains(int col, int row) const { return col >= Left && col <= Right && row >= Top && row <= Bottom; }
};

enum : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;

enum : unsigned {
  goRangeSelect = 1,        // a rectangle of cells may be selected
  goDrawFocusSelected = 2,  // the focused cell is drawn selected too
  goRowSelect = 4,          // whole rows are selected
  goThumbTracking = 8,      // the view follows the scroll bar's thumb while it moves
  goRowSizing = 16,         // rows are sized by dragging their lines in the fixed columns
  goColSizing = 32,         // columns are sized by dragging their lines in the fixed rows
};

class TDrawGrid : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit TDrawGrid(QWidget* parent = nullptr);

  int ColCount() const { return int(FColWidths.size()); }
  int RowCount() const { return int(FRowHeights.size()); }
  void SetColCount(int n);
  void SetRowCount(int n);
  int FixedCols() const { return FFixedCols; }
  int FixedRows() const { return FFixedRows; }
  void SetFixedCols(int n);
  void SetFixedRows(int n);

  // Setting a default size gives every column (row) that size.
  int DefaultColWidth() const { return FDefaultColWidth; }
  int DefaultRowHeight() const { return FDefaultRowHeight; }
  void SetDefaultColWidth(int w);
  void SetDefaultRowHeight(int h);
  int ColWidths(int col) const { return FColWidths[size_t(col)]; }
  int RowHeights(int row) const { return FRowHeights[size_t(row)]; }
  void SetColWidths(int col, int w);
  void SetRowHeights(int row, int h);
  int GridLineWidth() const { return FGridLineWidth; }
  void SetGridLineWidth(int w);

  unsigned Options = goRangeSelect | goThumbTracking;
  // Off: the program draws every cell itself; on: cells are first filled
  // (fixed ones in the button colour, selected ones highlighted).
  bool DefaultDrawing = true;

  int Col() const { return FCol; }
  int Row() const { return FRow; }
  // Makes the cell current and the selection (OnSelectCell may refuse).
  void SetCol(int col) { MoveCurrent(col, FRow, false); }
  void SetRow(int row) { MoveCurrent(FCol, row, false); }
  TGridRect Selection() const;
  void SetSelection(const TGridRect& r);

  int TopRow() const { return FTopRow; }
  int LeftCol() const { return FLeftCol; }
  void SetTopRow(int row);
  void SetLeftCol(int col);
  // Scrollable rows (columns) that are fully shown.
  int VisibleRowCount() const { return VisibleCount(false); }
  int VisibleColCount() const { return VisibleCount(true); }

  // A cell's rectangle in the viewport (lines excluded); empty when scrolled away.
  TRect CellRect(int col, int row) const;
  // The cell under a viewport point, or -1, -1.
  void MouseToCell(int x, int y, int& col, int& row) const;
  // Repaints one cell (the program calls this when a cell's contents change).
  void InvalidateCell(int col, int row);
  // The painter of the cell being drawn; valid only inside OnDrawCell.
  QPainter* Canvas() const { return FCanvas; }

 signals:
  void OnDrawCell(int col, int row, const TRect& rect, TGridDrawState state);
  void OnSelectCell(int col, int row, bool& canSelect);
  void OnTopLeftChanged();
  void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y, bool doubleClick);
  void OnMouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
  void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void OnDblClick();
  // Set key to 0 to stop the grid's own handling.
  void OnKeyDown(int& key, Qt::KeyboardModifiers modifiers);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  bool MoveCurrent(int col, int row, bool extend);
  void MoveAnchor(int col, int row);
  void ClampState();
  void UpdateScrollBars();
  int MaxFirst(bool columns) const;
  int VisibleCount(bool columns) const;
  void ScrollInView(int col, int row);
  void Press(QMouseEvent* e, bool doubleClick);
  // The column (row) whose end line is under the point in a fixed area, or -1.
  int SizingLine(bool columns, QPoint p) const;
  // The left edge of a column (top of a row) in the viewport, or kHidden.
  int Edge(bool columns, int i) const;
  std::vector<std::pair<int, int>> Shown(bool columns) const;

  std::vector<int> FColWidths, FRowHeights;
  int FFixedCols = 1, FFixedRows = 1;
  int FDefaultColWidth = 64, FDefaultRowHeight = 24;
  int FGridLineWidth = 1;
  int FCol = 1, FRow = 1;              // current cell
  int FAnchorCol = 1, FAnchorRow = 1;  // other corner of the selection
  int FTopRow = 1, FLeftCol = 1;
  bool FSelecting = false;
  int FSizingCol = -1, FSizingRow = -1;  // the line being dragged
  bool FInScroll = false;
  QPainter* FCanvas = nullptr;
};
