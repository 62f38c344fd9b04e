// Cell editing: erase commands and patterns, the Del key, and the grid's
// context menus with their candidate tiles.
#include <QApplication>
#include <QContextMenuEvent>
#include <QTimer>

#include "BuildFixture.h"
#include "dialogs/LibraryMosaic.h"
#include "dialogs/TilePreview.h"
#include "mosaic/BuildCore.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/QtHooks.h"
#include "qt/InputEvents.h"

using namespace mwtest;

TEST(ErasePatterns, CellsTaken) {
  EXPECT_TRUE(ErasePatternTakes(epAll, 3, 7));
  EXPECT_TRUE(ErasePatternTakes(epCheckBoard1, 1, 0));
  EXPECT_FALSE(ErasePatternTakes(epCheckBoard1, 1, 1));
  EXPECT_TRUE(ErasePatternTakes(epCheckBoard2, 1, 1));
  EXPECT_TRUE(ErasePatternTakes(epHLines, 0, 1));
  EXPECT_FALSE(ErasePatternTakes(epHLines, 0, 2));
  EXPECT_TRUE(ErasePatternTakes(epVLines, 4, 1));
  EXPECT_FALSE(ErasePatternTakes(epVLines, 3, 1));
  EXPECT_EQ(SelectionCaption("Render", {0, 0, 1, 1}, false), "Render cells from 1x1 to 2x2");
  EXPECT_EQ(SelectionCaption("Erase", {2, 1, 3, 4}, true), "Erase cells outside of 3x2 to 4x5");
}

namespace {
class CellsTest : public BuildFixture {
 protected:
  // A built mosaic of cols x rows cells.
  TForm1& Built(int cols = 4, int rows = 3) {
    TForm1& f = Open(cols, rows);
    f.Mosaicall1Click();
    for (int32_t link : Links(f)) EXPECT_GT(link, 0);
    return f;
  }
  // Erased cells, row-major, as "1" and "0".
  static std::string Erased(TForm1& f) {
    std::string s;
    for (int32_t link : Links(f)) s += link == 0 ? '1' : '0';
    return s;
  }
  static QPoint CellCentre(TForm1& f, int col, int row) {
    const TRect r = f.DrawGrid1->CellRect(col, row);
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  static TKWCustomMenuItem* Item(TForm1& f, int i) { return f.FCellPopup->Items()->Items(i); }
};
}  // namespace

TEST_F(CellsTest, EraseSelectionInvertedSparesTheSelection) {
  TForm1& f = Built();
  f.ChkInvertSelection->setChecked(true);
  f.DrawGrid1->SetSelection({1, 1, 2, 1});
  f.Eraseselection1Click();
  EXPECT_EQ(Erased(f),
            "1111"
            "1001"
            "1111");
  EXPECT_EQ(f.DrawGrid1->Selection(), (TGridRect{1, 1, 2, 1}));
  EXPECT_FALSE(LongOperationRunning);
  EXPECT_TRUE(f.ProjectModified());
  // An erased cell is its plan record again: same samples, no tile.
  f.VTMosaic1.MoveTo(1);
  f.VTPlan1.MoveTo(1);
  EXPECT_EQ(f.VTMosaic1.CurSamples, f.VTPlan1.CurSamples);
  EXPECT_EQ(f.VTMosaic1.CurPath, f.VTPlan1.CurPath);
  EXPECT_EQ(f.VTMosaic1.CurLink, 0);
}

TEST_F(CellsTest, CheckBoardsTogetherEraseTheWholeArea) {
  TForm1& f = Built();
  f.DrawGrid1->SetSelection({0, 0, 2, 1});
  f.CheckBoard11Click();
  EXPECT_EQ(Erased(f),
            "0100"
            "1010"
            "0000");
  f.CheckBoard21Click();
  EXPECT_EQ(Erased(f),
            "1110"
            "1110"
            "0000");
}

TEST_F(CellsTest, LinePatterns) {
  TForm1& f = Built(5, 3);
  f.DrawGrid1->SetSelection({0, 0, 4, 2});
  f.VLines1Click();
  EXPECT_EQ(Erased(f),
            "10101"
            "10101"
            "10101");
  f.Mosaicall1Click();
  f.DrawGrid1->SetSelection({0, 0, 4, 2});
  f.HLines1Click();
  EXPECT_EQ(Erased(f),
            "00000"
            "11111"
            "00000");
}

TEST_F(CellsTest, FixCustomSurvivesErasingButNotEraseCell) {
  TForm1& f = Built();
  const Bitmap24 tile = Solid(8, 6, RGB(1, 2, 3));
  ASSERT_TRUE(f.VTMosaic1.SetRecordBitmap(2, tile, CustomTileLink, 8, 6, 0, 0, 8, 6, "custom.bmp"));
  f.DrawGrid1->SetSelection({0, 0, 3, 2});
  f.Eraseselection1Click();
  EXPECT_EQ(Erased(f),
            "1011"
            "1111"
            "1111");
  f.DrawGrid1->SetSelection({1, 0, 1, 0});
  f.Erasecell1Click();
  EXPECT_EQ(Erased(f), "111111111111");
}

TEST_F(CellsTest, DelKeyWithOneCellErasesOnlyThatCell) {
  TForm1& f = Built();
  f.ChkInvertSelection->setChecked(true);
  f.DrawGrid1->SetSelection({2, 1, 2, 1});
  int key = Qt::Key_Delete;
  f.DrawGrid1KeyDown(key, {});
  EXPECT_EQ(Erased(f),
            "0000"
            "0010"
            "0000");
  // With a larger selection Del erases the selection (here: outside it).
  f.DrawGrid1->SetSelection({0, 0, 2, 1});
  f.DrawGrid1KeyDown(key, {});
  EXPECT_EQ(Erased(f),
            "0001"
            "0011"
            "1111");
}

TEST_F(CellsTest, SelectionPopup) {
  TForm1& f = Built();
  f.DrawGrid1->SetSelection({0, 0, 1, 1});
  const QPoint p = CellCentre(f, 0, 0);
  f.DrawGrid1MouseDown(Qt::RightButton, {}, p.x(), p.y(), false);
  EXPECT_EQ(PopupMenuOf(f.DrawGrid1), f.FCellPopup);
  ASSERT_EQ(f.FCellPopup->Items()->Count(), f.FShowBestCandidates + 3);
  EXPECT_EQ(Item(f, 0)->Caption, "Render cells from 1x1 to 2x2");
  EXPECT_EQ(Item(f, 1)->Caption, "Erase cells from 1x1 to 2x2");
  EXPECT_EQ(Item(f, 2)->Caption, "Save cells from 1x1 to 2x2 as a mosaic image");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Item(f, i)->Tag, -1 - i);
    EXPECT_TRUE(Item(f, i)->Visible && Item(f, i)->Enabled);
  }
  for (int i = 3; i < f.FCellPopup->Items()->Count(); ++i) EXPECT_FALSE(Item(f, i)->Visible);
  f.ChkInvertSelection->setChecked(true);
  f.DrawGrid1MouseDown(Qt::RightButton, {}, p.x(), p.y(), false);
  EXPECT_EQ(Item(f, 0)->Caption, "Render cells outside of 1x1 to 2x2");
  EXPECT_EQ(Item(f, 2)->Caption, "Save cells from 1x1 to 2x2 as a mosaic image");
  // "Erase cells outside of" runs the erase.
  Item(f, 1)->Click();
  EXPECT_EQ(Erased(f),
            "0011"
            "0011"
            "1111");
  // No popup while a long operation runs.
  LongOperationRunning = true;
  f.DrawGrid1MouseDown(Qt::RightButton, {}, p.x(), p.y(), false);
  EXPECT_EQ(PopupMenuOf(f.DrawGrid1), nullptr);
  LongOperationRunning = false;
}

TEST_F(CellsTest, SingleCellPopupOffersCandidates) {
  TForm1& f = Built();
  f.ChkInvertSelection->setChecked(true);  // a one-cell selection ignores it
  const QPoint p = CellCentre(f, 1, 0);
  f.DrawGrid1MouseDown(Qt::RightButton, {}, p.x(), p.y(), false);
  EXPECT_EQ(PopupMenuOf(f.DrawGrid1), f.FCellPopup);
  EXPECT_EQ(f.DrawGrid1->Col(), 1);
  EXPECT_EQ(f.DrawGrid1->Row(), 0);
  f.VTMosaic1.MoveTo(2);
  const std::string path = f.VTMosaic1.CurPath;
  const std::string name = path.substr(path.find_last_of('/') + 1);
  EXPECT_EQ(Item(f, 0)->Caption, "Show file " + name + " (80/60) ");
  EXPECT_EQ(Item(f, 0)->Tag, 2);
  EXPECT_FALSE(Item(f, 0)->Bitmap.Empty());
  EXPECT_EQ(Item(f, 1)->Caption, "Erase this cell (2x1)");
  EXPECT_EQ(Item(f, 2)->Caption, "Find this tile in the Library Inspector");
  EXPECT_TRUE(Item(f, 0)->Enabled);
  EXPECT_TRUE(Item(f, 1)->Enabled);
  // Five candidates from a library of six, nearest first; the cell's own
  // tile stands in its Distance window and is not offered.
  for (int k = 1; k <= 5; ++k) {
    EXPECT_TRUE(Item(f, k + 2)->Visible);
    EXPECT_EQ(Item(f, k + 2)->Tag, k);
    EXPECT_NE(Item(f, k + 2)->Caption.find(" (80/60) "), std::string::npos);
  }
  for (int k = 3; k <= 7; ++k) EXPECT_NE(Item(f, k)->Caption, path + " (80/60) ");
  // Choosing the third candidate puts it into the cell.
  const std::string third = Item(f, 5)->Caption;
  Item(f, 5)->Click();
  f.VTMosaic1.MoveTo(2);
  EXPECT_EQ(f.VTMosaic1.CurPath + " (80/60) ", third);
  // "Erase this cell" empties it and disables the file items.
  Item(f, 1)->Click();
  EXPECT_EQ(Erased(f),
            "0100"
            "0000"
            "0000");
  f.DrawGrid1MouseDown(Qt::RightButton, {}, p.x(), p.y(), false);
  EXPECT_FALSE(Item(f, 0)->Enabled);
  EXPECT_FALSE(Item(f, 1)->Enabled);
}

TEST_F(CellsTest, SingleCellPopupNeedsAnOrientation) {
  TForm1& f = Built();
  f.CBFlipOriginal->setChecked(false);
  const QPoint p = CellCentre(f, 0, 0);
  f.DrawGrid1MouseDown(Qt::RightButton, {}, p.x(), p.y(), false);
  EXPECT_EQ(PopupMenuOf(f.DrawGrid1), nullptr);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Please check any tile orienitation(s) to use.");
}

TEST_F(CellsTest, SelectingACellDescribesIt) {
  TForm1& f = Built();
  f.DrawGrid1->SetCol(3);
  EXPECT_EQ(f.StatusText(0), "4:1");
  f.VTMosaic1.MoveTo(4);
  EXPECT_EQ(f.StatusText(2), "Pic: " + f.VTMosaic1.CurPath + " (80/60) ");
  EXPECT_EQ(f.StatusText(1), "Press <Del> key to erase cell");
  f.Erasecell1Click();
  f.DrawGrid1->SetCol(2);
  f.DrawGrid1->SetCol(3);
  EXPECT_EQ(f.StatusText(2), "Pic: No pic for this cell.");
}

TEST_F(CellsTest, SidePanelPopupHasTheSelectionCommands) {
  TForm1& f = Built();
  f.Panel1MouseDown(Qt::RightButton);
  EXPECT_EQ(PopupMenuOf(f.Panel1), f.FCellPopup);
  EXPECT_EQ(Item(f, 0)->Caption, "Render cells from ");
  EXPECT_EQ(Item(f, 1)->Caption, "Erase cells from ");
  EXPECT_EQ(Item(f, 2)->Caption, "Save cells from ");
}

TEST_F(CellsTest, RightClickOnTheGridShowsThePopup) {
  TForm1& f = Built();
  f.DrawGrid1->SetSelection({0, 0, 1, 1});
  QStringList shown;
  QTimer::singleShot(200, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (QAction* a : menu->actions())
        if (a->isVisible()) shown << a->text();
      menu->close();
    }
  });
  // The press, then the context-menu request the platform sends after it.
  const QPoint p = CellCentre(f, 0, 0);
  QTest::mousePress(f.DrawGrid1->viewport(), Qt::RightButton, {}, p);
  QContextMenuEvent request(QContextMenuEvent::Mouse, p, f.DrawGrid1->viewport()->mapToGlobal(p));
  QApplication::sendEvent(f.DrawGrid1->viewport(), &request);
  QTest::mouseRelease(f.DrawGrid1->viewport(), Qt::RightButton, {}, p);
  ASSERT_EQ(shown.size(), 3);
  EXPECT_EQ(shown[0].toStdString(), "Render cells from 1x1 to 2x2");
}

TEST_F(CellsTest, ShowFileOpensThePreviewOfTheCellsTile) {
  TForm1& f = Built();
  const QPoint p = CellCentre(f, 2, 1);
  f.DrawGrid1MouseDown(Qt::RightButton, {}, p.x(), p.y(), false);
  f.VTMosaic1.MoveTo(7);
  const std::string path = f.VTMosaic1.CurPath;
  f.VTMosaic1.MoveTo(1);  // the command positions the tables itself
  std::string title, label;
  QTimer::singleShot(200, [&] {
    if (auto* prev = qobject_cast<TTilePrev*>(QApplication::activeModalWidget())) {
      title = prev->windowTitle().toStdString();
      label = prev->Label1->text().toStdString();
      prev->close();
    }
  });
  Item(f, 0)->Click();
  EXPECT_EQ(title, path.substr(path.find_last_of('/') + 1) + " (80x60)");
  EXPECT_EQ(label, path);
}

TEST_F(CellsTest, FindThisTileOpensTheInspectorOnTheCellsTile) {
  TForm1& f = Built();
  const QPoint p = CellCentre(f, 2, 1);
  f.DrawGrid1MouseDown(Qt::RightButton, {}, p.x(), p.y(), false);
  ASSERT_TRUE(Item(f, 2)->Enabled);
  f.VTMosaic1.MoveTo(7);
  const int32_t link = f.VTMosaic1.CurLink;  // the library record of the cell's tile
  int row = 0;
  std::function<void()> look = [&] {
    auto* dlg = qobject_cast<TLibrayMosaic*>(QApplication::activeModalWidget());
    if (!dlg || !dlg->FFindFileName.empty()) return void(QTimer::singleShot(10, &f, look));
    row = dlg->DrawGrid1->Row();
    dlg->BitBtn1->click();
  };
  QTimer::singleShot(0, &f, look);
  Item(f, 2)->Click();
  EXPECT_EQ(row, link);
  EXPECT_TRUE(Boxes.empty());
}

// F1 with the grid's popup open asks for the popup's help page (context 11),
// not the page of the window beneath it; the popup is built with the window.
TEST_F(CellsTest, F1InTheOpenGridPopupOpensItsHelpPage) {
  TForm1& f = Built();
  EXPECT_EQ(f.FCellPopup->Items()->Count(), f.FShowBestCandidates + 3);
  std::vector<std::string> opened;
  SetShellOpenHook([&](const std::string& page) {
    opened.push_back(page);
    return true;
  });
  int seen = 0;
  std::function<void()> inPopup = [&] {
    auto* popup = qobject_cast<TKWPopupList*>(QApplication::activePopupWidget());
    if (!popup) return void(QMetaObject::invokeMethod(qApp, inPopup, Qt::QueuedConnection));
    seen = int(popup->actions().size());
    PressKey(popup, Qt::Key_F1);
    PressKey(popup, Qt::Key_Down);  // an item highlighted: the menu's page all the same
    PressKey(popup, Qt::Key_F1);
    PressKey(popup, Qt::Key_Escape);
  };
  QMetaObject::invokeMethod(qApp, inPopup, Qt::QueuedConnection);
  ClickAt(f.DrawGrid1->viewport(), CellCentre(f, 1, 1), Qt::RightButton);
  SetShellOpenHook(nullptr);
  EXPECT_GT(seen, 3);  // the cell's commands and its candidates
  const std::string page = HelpPageFolder() + "context11.html";
  EXPECT_EQ(opened, (std::vector<std::string>{page, page}));
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_TRUE(Boxes.empty());
}
