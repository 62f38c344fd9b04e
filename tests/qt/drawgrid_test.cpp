#include "platform/qt/DrawGrid.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>
#include <map>

#include "qt/TestApp.h"

namespace {

struct GridTest : ::testing::Test {
  TApplication* app = TestApp();
  TDrawGrid grid;
  std::vector<std::pair<int, int>> selected;
  void SetUp() override {
    grid.setFrameShape(QFrame::NoFrame);
    grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid.resize(200, 100);
    grid.SetFixedCols(0);
    grid.SetFixedRows(0);
    grid.SetColCount(10);
    grid.SetRowCount(8);
    grid.SetDefaultColWidth(30);
    grid.SetDefaultRowHeight(20);
    grid.DefaultDrawing = false;
    QObject::connect(&grid, &TDrawGrid::OnSelectCell, [this](int c, int r, bool&) {
      selected.push_back({c, r});
    });
    grid.show();
    QApplication::processEvents();
  }
  QPoint Centre(int col, int row) {
    const TRect r = grid.CellRect(col, row);
    return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
};

TEST_F(GridTest, CellsAreLaidOutWithLinesBetweenThem) {
  EXPECT_EQ(grid.CellRect(0, 0), TRect(0, 0, 30, 20));
  EXPECT_EQ(grid.CellRect(2, 1), TRect(62, 21, 92, 41));
  EXPECT_EQ(grid.CellRect(7, 0), TRect());  // beyond the view
  grid.SetGridLineWidth(0);
  EXPECT_EQ(grid.CellRect(2, 1), TRect(60, 20, 90, 40));
  int col, row;
  grid.MouseToCell(61, 39, col, row);
  EXPECT_EQ(col, 2);
  EXPECT_EQ(row, 1);
  grid.MouseToCell(199, 99, col, row);
  EXPECT_EQ(col, 6);
  EXPECT_EQ(row, 4);
  grid.SetColWidths(0, 50);
  EXPECT_EQ(grid.CellRect(1, 0), TRect(50, 0, 80, 20));
  grid.SetDefaultColWidth(10);  // every column again
  EXPECT_EQ(grid.ColWidths(0), 10);
  EXPECT_EQ(grid.VisibleColCount(), 10);
}

TEST_F(GridTest, ClicksSelectShiftAndDragsSelectARange) {
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, Centre(2, 1));
  EXPECT_EQ(grid.Col(), 2);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(grid.Selection(), (TGridRect{2, 1, 2, 1}));
  ASSERT_EQ(selected.size(), 1u);
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, Centre(4, 3));
  EXPECT_EQ(grid.Selection(), (TGridRect{2, 1, 4, 3}));
  EXPECT_EQ(grid.Col(), 2);  // the current cell stays
  QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, Centre(5, 3));
  QMouseEvent move(QEvent::MouseMove, QPointF(Centre(3, 0)),
                   grid.viewport()->mapToGlobal(QPointF(Centre(3, 0))), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(grid.viewport(), &move);
  QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, Centre(3, 0));
  EXPECT_EQ(grid.Selection(), (TGridRect{3, 0, 5, 3}));
  // A refused selection keeps the current cell.
  QObject::connect(&grid, &TDrawGrid::OnSelectCell, [](int, int, bool& can) { can = false; });
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, Centre(0, 0));
  EXPECT_EQ(grid.Col(), 5);
}

TEST_F(GridTest, KeysMoveTheCurrentCellAndScrollIt) {
  grid.setFocus();
  QTest::keyClick(&grid, Qt::Key_Right);
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(grid.Col(), 1);
  EXPECT_EQ(grid.Row(), 1);
  QTest::keyClick(&grid, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 2, 1}));
  QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(grid.Col(), 9);
  EXPECT_EQ(grid.Row(), 7);
  EXPECT_EQ(grid.LeftCol(), 4);  // the last column now shows whole
  EXPECT_EQ(grid.TopRow(), 4);
  EXPECT_NE(grid.CellRect(9, 7), TRect());
  int seen = 0;
  QObject::connect(&grid, &TDrawGrid::OnKeyDown, [&](int& key, Qt::KeyboardModifiers) {
    ++seen;
    if (key == Qt::Key_Home) key = 0;  // the handler takes it
  });
  QTest::keyClick(&grid, Qt::Key_Home);
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(grid.Col(), 9);
}

TEST_F(GridTest, RowsAndColumnsAreSizedByTheirLinesInTheFixedArea) {
  grid.SetFixedCols(1);
  grid.SetFixedRows(1);
  grid.Options |= goRowSizing | goColSizing;
  // The line below row 2 (y = 62), dragged in the fixed column down to 80.
  QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, QPoint(10, 62));
  QMouseEvent move(QEvent::MouseMove, QPointF(10, 80), grid.viewport()->mapToGlobal(QPointF(10, 80)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid.viewport(), &move);
  QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, QPoint(10, 80));
  EXPECT_EQ(grid.RowHeights(2), 38);
  EXPECT_EQ(grid.RowHeights(1), 20);
  EXPECT_EQ(grid.Selection(), (TGridRect{1, 1, 1, 1}));  // sizing selects nothing
  QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, QPoint(61, 5));
  QMouseEvent move2(QEvent::MouseMove, QPointF(45, 5), grid.viewport()->mapToGlobal(QPointF(45, 5)),
                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(grid.viewport(), &move2);
  QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, QPoint(45, 5));
  EXPECT_EQ(grid.ColWidths(1), 14);
}

TEST_F(GridTest, EveryShownCellIsDrawnWithItsState) {
  grid.SetFixedRows(1);
  grid.SetSelection(TGridRect{1, 1, 2, 2});
  std::map<std::pair<int, int>, unsigned> drawn;
  QObject::connect(&grid, &TDrawGrid::OnDrawCell, [&](int c, int r, const TRect& rect, TGridDrawState s) {
    drawn[{c, r}] = s;
    ASSERT_NE(grid.Canvas(), nullptr);
    grid.Canvas()->fillRect(QRect(rect.Left, rect.Top, rect.Width(), rect.Height()), QColor(1, 2, 3));
  });
  const QImage shot = grid.grab().toImage();
  EXPECT_EQ((drawn[std::make_pair(0, 0)]), unsigned(gdFixed));
  EXPECT_EQ((drawn[std::make_pair(2, 2)]), unsigned(gdSelected));
  EXPECT_EQ((drawn[std::make_pair(3, 3)]), 0u);
  EXPECT_EQ(drawn.count(std::make_pair(0, 5)), 0u);  // below the view
  EXPECT_EQ(shot.pixelColor(40, 30), QColor(1, 2, 3));
  EXPECT_NE(shot.pixelColor(30, 30), QColor(1, 2, 3));  // the line between
}

}  // namespace
