// The mosaic grid view: sizes, zoom, fitting, the three views and the status texts.
#include <QScrollBar>
#include <array>

#include "MainWinFixture.h"
#include "platform/Rounding.h"
#include "platform/Utils.h"
#include "qt/InputEvents.h"

using namespace mwtest;

namespace {
class GridViewTest : public MainWinTest {
 protected:
  TForm1& OpenProject() {
    const std::string lib = MakeLibrary(Dir, "lib");
    TForm1& f = NewForm();
    f.resize(700, 500);
    f.show();
    QApplication::processEvents();
    f.OpenVTP(MakeProject(Dir, lib, "p.vtp"));
    return f;
  }
  // A project of 4 x 3 source pixels a cell, for large grids.
  std::string SmallCellProject(int cols, int rows) {
    TVTData lib;
    lib.SetBaseName(Dir / "lib.vt2");
    const std::string file = Dir / (std::to_string(cols) + ".vtp");
    lib.CreatePlan(file, Solid(cols * 4, rows * 3, RGB(30, 30, 200)), {"", TRect(0, 0, cols * 4, rows * 3)},
                   rows, cols);
    return file;
  }
  // The colour of a cell as the grid paints it, the same at every pixel
  // inside the selection frame's reach.
  static QColor CellColour(TForm1& f, int col, int row) {
    const QImage shot = f.DrawGrid1->viewport()->grab().toImage();
    const TRect r = f.DrawGrid1->CellRect(col, row);
    const QColor c = shot.pixelColor((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
    for (int y = r.Top + 3; y < r.Bottom - 3; ++y)
      for (int x = r.Left + 3; x < r.Right - 3; ++x)
        if (shot.pixelColor(x, y) != c) {
          ADD_FAILURE() << "cell " << col << "," << row << " not even at " << x << "," << y;
          return c;
        }
    return c;
  }
};
}  // namespace

TEST_F(GridViewTest, ProjectSizesAndFitsTheGrid) {
  TForm1& f = OpenProject();
  EXPECT_EQ(f.DrawGrid1->ColCount(), 4);
  EXPECT_EQ(f.DrawGrid1->RowCount(), 3);
  EXPECT_EQ(f.DrawGrid1->FixedCols(), 0);
  // Record mapping, row-major and 1-based.
  EXPECT_EQ(f.CellToRow(2, 3), 12);
  int col = 0, row = 0;
  f.RowToCell(6, col, row);
  EXPECT_EQ(col, 1);
  EXPECT_EQ(row, 1);
  f.ShowStatus();
  EXPECT_EQ(f.StatusText(1).substr(0, 21), "Pic: 12 rec. (RGB) 4/");
  EXPECT_EQ(f.StatusText(2).rfind("Lib: 6 rec. (RGB) 4/3 - 6/6 - ", 0), 0u);
}

TEST_F(GridViewTest, ZoomStepsAndTileRatio) {
  TForm1& f = OpenProject();
  f.TrackBar1->setValue(32);
  EXPECT_EQ(f.DrawGrid1->DefaultColWidth(), 32);
  EXPECT_EQ(f.DrawGrid1->DefaultRowHeight(), 24);  // tiles 4:3
  f.TrackBar1->setValue(5);
  f.ZoomIn1Click();
  EXPECT_EQ(f.TrackBar1->value(), 6);
  f.ZoomOut1Click();
  EXPECT_EQ(f.TrackBar1->value(), 5);
  f.ZoomOut1Click();
  EXPECT_EQ(f.TrackBar1->value(), 5);
  f.TrackBar1->setValue(90);
  f.ZoomIn1Click();
  EXPECT_EQ(f.TrackBar1->value(), 100);
  EXPECT_EQ(f.DrawGrid1->DefaultRowHeight(), 75);
}

TEST_F(GridViewTest, DetailLevelFollowsTheZoom) {
  TForm1& f = OpenProject();
  f.TrackBar1->setValue(12);
  EXPECT_FALSE(f.VTMosaic1.ShowThumbs);  // 6 x 6 samples: 12 is not above 12
  f.TrackBar1->setValue(13);
  EXPECT_TRUE(f.VTMosaic1.ShowThumbs);
  f.AutoShowDetailed(2);
  EXPECT_FALSE(f.VTMosaic1.ShowThumbs);
  f.AutoShowDetailed(1);
  EXPECT_TRUE(f.VTMosaic1.ShowThumbs);
  f.Fastview1Click();
  EXPECT_EQ(f.TrackBar1->value(), 6);  // the sample grid's width
  EXPECT_FALSE(f.VTMosaic1.ShowThumbs);
  f.N1001Click();
  EXPECT_EQ(f.TrackBar1->value(), 42);  // the library's thumbnail width
  EXPECT_TRUE(f.VTMosaic1.ShowThumbs);
}

TEST_F(GridViewTest, FitSelectionKeepsTheTileRatio) {
  TForm1& f = OpenProject();
  f.DrawGrid1->SetSelection({1, 1, 1, 1});
  const int before = f.DrawGrid1->DefaultColWidth();
  f.FitSelection();  // one cell: nothing
  EXPECT_EQ(f.DrawGrid1->DefaultColWidth(), before);
  f.DrawGrid1->SetSelection({1, 0, 3, 1});
  f.FitSelection();
  const QRect g = f.DrawGrid1->contentsRect();
  int cw = int(RoundDiv(g.width(), 3)), rh = int(RoundDiv(cw * 3, 4));
  if (rh * 2 > g.height()) {
    rh = int(RoundDiv(g.height(), 2));
    cw = int(RoundDiv(4 * rh, 3));
  }
  EXPECT_EQ(f.DrawGrid1->DefaultColWidth(), cw);
  EXPECT_EQ(f.DrawGrid1->DefaultRowHeight(), rh);
}

TEST_F(GridViewTest, SourceTargetAndDeltaViews) {
  TForm1& f = OpenProject();
  f.TrackBar1->setValue(12);  // samples, not thumbnails
  // The plan's top-left quarter is blue, the rest red.
  const QColor src = CellColour(f, 0, 0);
  EXPECT_GT(src.blue(), 150);
  EXPECT_LT(src.red(), 80);
  EXPECT_GT(CellColour(f, 3, 2).red(), 150);
  // A new project's mosaic equals its plan: the difference is white everywhere.
  f.RBDelta1->click();
  EXPECT_EQ(CellColour(f, 0, 0), QColor(Qt::white));
  EXPECT_EQ(CellColour(f, 3, 2), QColor(Qt::white));
  f.ViewTarget1Click();
  EXPECT_TRUE(f.RBTarget1->isChecked());
  EXPECT_EQ(CellColour(f, 0, 0), src);
  f.ViewSource1Click();
  EXPECT_TRUE(f.RBSource1->isChecked());
}

TEST_F(GridViewTest, GridLinesAndTheirMenuItems) {
  TForm1& f = OpenProject();
  f.View1Click();
  EXPECT_TRUE(f.Showgrid1->isVisible());
  EXPECT_FALSE(f.Hidegrid1->isVisible());
  f.Showgrid1Click();
  EXPECT_EQ(f.DrawGrid1->GridLineWidth(), 1);
  f.View1Click();
  EXPECT_FALSE(f.Showgrid1->isVisible());
  EXPECT_EQ(f.Hidegrid1->shortcut(), QKeySequence("Ctrl+4"));
  f.Hidegrid1Click();
  EXPECT_EQ(f.DrawGrid1->GridLineWidth(), 0);
}

TEST_F(GridViewTest, SelectionText) {
  TForm1& f = OpenProject();
  f.Selectall1Click();
  EXPECT_EQ(f.DrawGrid1->Selection(), (TGridRect{0, 0, 3, 2}));
  EXPECT_EQ(f.StatusText(0), "1:1 x 4:3");
  f.ChkInvertSelection->click();
  EXPECT_EQ(f.StatusText(0), "Not 1:1 x 4:3");
  f.SelectCurrent();
  f.SetStatusText(0, "");
  f.SelectionStatus();  // one cell: unchanged
  EXPECT_EQ(f.StatusText(0), "");
}

TEST_F(GridViewTest, LibraryTextNamesTheFlippedBlocks) {
  TForm1& f = OpenProject();
  EXPECT_EQ(f.LibraryStatusText().rfind("Lib: 6 rec. (RGB)", 0), 0u);
  f.VTLib1.FlipKinds = {1, 1, 2, 0};
  EXPECT_EQ(f.LibraryStatusText().rfind("Lib: 6 (HR) rec. (RGB)", 0), 0u);
}

// Ctrl+0 in a grid that shows 590 x 400 pixels without scroll bars, tiles 4:3.
TEST_F(GridViewTest, FitToWindowShowsEveryCellWholeInWholePixels) {
  TForm1& f = OpenProject();
  f.resize(f.size() - f.DrawGrid1->contentsRect().size() + QSize(590, 400));
  QApplication::processEvents();
  // Columns, rows; cell width, height; zoom holder (5 .. 100, the cells as fitted).
  for (const auto& [c, r, w, h, zoom] :
       {std::array{400, 300, 1, 1, 5}, {40, 30, 14, 10, 14}, {4, 3, 147, 110, 100}, {10, 40, 13, 10, 13}}) {
    f.OpenVTP(SmallCellProject(c, r));
    f.TrackBar1->setValue(50);
    PressKey(&f, Qt::Key_0, Qt::ControlModifier);
    QApplication::processEvents();
    const TDrawGrid& g = *f.DrawGrid1;
    EXPECT_EQ((std::array{g.DefaultColWidth(), g.DefaultRowHeight(), f.TrackBar1->value(),
                          g.VisibleColCount(), g.VisibleRowCount()}),
              (std::array{w, h, zoom, c, r}));
    EXPECT_FALSE(g.horizontalScrollBar()->isVisible() || g.verticalScrollBar()->isVisible()) << c;
  }
  f.resize(f.minimumSize());  // too narrow for 400 columns of a pixel: they scroll
  QApplication::processEvents();
  f.OpenVTP(Dir / "400.vtp");
  QApplication::processEvents();
  EXPECT_EQ(f.DrawGrid1->DefaultColWidth(), 1);
  EXPECT_TRUE(f.DrawGrid1->horizontalScrollBar()->isVisible());
}

TEST_F(GridViewTest, ProjectOpenedBeforeTheWindowShowsIsFitted) {
  const std::string lib = MakeLibrary(Dir, "lib");
  TForm1& f = NewForm();
  f.OpenVTP(MakeProject(Dir, lib, "p.vtp", 20, 15));
  // The 508 x 390 window leaves the grid far more than 20 columns of 5 pixels.
  EXPECT_GT(f.DrawGrid1->DefaultColWidth(), 12);
  EXPECT_GT(f.DrawGrid1->geometry().width(), 300);
}
