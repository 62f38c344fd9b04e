// The library inspector: its summary line, the Columns/Rows pair, locating a
// tile file, delete marks and the question when closing a changed library.
#include "dialogs/LibraryMosaic.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "DialogFixture.h"
#include "dialogs/LibraryMosaicRules.h"
#include "dialogs/NewBase.h"
#include "mosaic/MosaicTables.h"
#include "platform/Bmp.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Jpeg.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FileDialogs.h"
#include "qt/InputEvents.h"
#include "qt/TestApp.h"
#include "tiledb/LibraryMaker.h"

namespace {

class LibraryMosaicTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    vttest::MakeLibrary(Dir / "l.vt2", {.Count = 10, .ColorSystem = csYCC});
    Lib.SetBaseName(Dir / "l.vt2");
  }
  TVTData Lib;
};

}  // namespace

TEST(LibraryMosaicRules, GridSizes) {
  EXPECT_EQ(DefaultColumns(10), 3);
  EXPECT_EQ(DefaultColumns(9), 3);
  EXPECT_EQ(DefaultColumns(0), 0);
  EXPECT_EQ(RowsForColumns(10, 3), 4);
  EXPECT_EQ(RowsForColumns(9, 3), 3);
  EXPECT_EQ(RowsForColumns(10, 5), 2);
  EXPECT_EQ(RowsForColumns(10, 0), 0);
}

TEST_F(LibraryMosaicTest, SummaryListsOriginalsAndFlippedBlocks) {
  EXPECT_EQ(LibrarySummary(Lib), "10 rec. (YCC) 4/3 - 6/6");
  Lib.AddFlipped(TVTData::fkHorizontal);
  Lib.AddFlipped(TVTData::fkRotate180);
  EXPECT_EQ(Lib.RecordCount, 30);
  EXPECT_EQ(LibrarySummary(Lib), "10 (HR) rec. (YCC) 4/3 - 6/6");
  TLibrayMosaic f(Lib);
  f.ShowLibInfo();
  EXPECT_EQ(f.Label1->text().toStdString(), "10 (HR) rec. (YCC) 4/3 - 6/6");
  EXPECT_EQ(f.Label4->text().toStdString(), "Lib: " + Dir / "l.vt2");
}

TEST_F(LibraryMosaicTest, ColumnsAndRowsFollowEachOther) {
  TLibrayMosaic f(Lib);
  f.KWSpinEdit1->SetValue(3);
  EXPECT_EQ(f.KWSpinEdit2->Value(), 4);
  f.KWSpinEdit2->SetValue(5);
  EXPECT_EQ(f.KWSpinEdit1->Value(), 2);
  f.KWSpinEdit2->SetValue(6);  // 2 columns; the rows typed stay
  EXPECT_EQ(f.KWSpinEdit1->Value(), 2);
  EXPECT_EQ(f.KWSpinEdit2->Value(), 6);
}

TEST_F(LibraryMosaicTest, FindTileMovesTheGridOrSaysWhy) {
  TLibrayMosaic f(Lib);
  f.DrawGrid1->SetRowCount(11);
  f.FFindFileName = "/pics/pic6.jpg";
  f.FindTile();
  EXPECT_EQ(f.DrawGrid1->Row(), 7);
  EXPECT_TRUE(Boxes.empty());
  f.FFindFileName = "/PICS/pic6.jpg";
  f.FindTile();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(
      Boxes[0].Text,
      "File\r/PICS/pic6.jpg\rwas not found in the current library.\rIt seems that this file was added as a "
      "custom tile\ror belongs to another library.");
  EXPECT_EQ(Boxes[0].Caption, "Vitrane 2");
  EXPECT_TRUE(f.DrawGrid1->isVisibleTo(&f));
}

TEST_F(LibraryMosaicTest, DeleteMarksAskBeforeClosingAndAreSaved) {
  {
    TLibrayMosaic f(Lib);
    EXPECT_FALSE(f.BitBtn8->isEnabled());
    f.DrawGrid1->SetRowCount(11);
    f.DrawGrid1->SetRow(3);
    QTest::keyClick(f.DrawGrid1, Qt::Key_Delete);
    EXPECT_EQ(Lib.RecordFlag(3), 255);
    QTest::keyClick(f.DrawGrid1, Qt::Key_Delete);
    EXPECT_EQ(Lib.RecordFlag(3), 0);
    f.OnDeletePopUpClick(2);
    EXPECT_EQ(Lib.RecordFlag(2), 255);
    EXPECT_TRUE(f.BitBtn8->isEnabled());
    f.show();
    Answer = IDCANCEL;
    f.reject();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Library was changed.\rSave before exit?");
    EXPECT_EQ(Boxes[0].Flags, unsigned(MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2));
    EXPECT_TRUE(f.isVisible());
    Answer = IDYES;
    f.reject();
    EXPECT_FALSE(f.isVisible());
  }
  EXPECT_EQ(Lib.Modified, 0);
  TVTData again;
  again.SetBaseName(Dir / "l.vt2");
  EXPECT_EQ(again.RecordFlag(2), 255);
  EXPECT_EQ(again.RecordFlag(1), 0);
}

TEST_F(LibraryMosaicTest, DrawingRowsAndASmallRowSizesThemAll) {
  TLibrayMosaic f(Lib);
  f.DrawGrid1->SetRowCount(11);
  f.resize(700, 500);
  f.show();
  f.OnDeletePopUpClick(1);  // drawn with its cross
  f.DrawGrid1->SetSelection({1, 1, 1, 1});
  (void)f.grab();
  EXPECT_EQ(f.DrawGrid1->DefaultRowHeight(), 48);
  f.DrawGrid1->SetRowHeights(1, 10);
  (void)f.grab();
  const int th = QFontMetrics(f.DrawGrid1->font()).height();
  EXPECT_EQ(f.DrawGrid1->DefaultRowHeight(), 3 * th + 6);
  EXPECT_EQ(f.DrawGrid1->RowHeights(5), 3 * th + 6);
  Answer = IDNO;
  f.reject();
}

TEST_F(LibraryMosaicTest, FlipBlocksAreAddedAndRemovedInTheFile) {
  TLibrayMosaic f(Lib);
  f.BitBtn3Click();
  EXPECT_EQ(Lib.RecordCount, 40);
  EXPECT_EQ(f.Label1->text().toStdString(), "10 (HVR) rec. (YCC) 4/3 - 6/6");
  EXPECT_EQ(f.DrawGrid1->RowCount(), 11);
  TVTData file;
  file.SetBaseName(Dir / "l.vt2");
  EXPECT_EQ(file.RecordCount, 40);
  f.BitBtn4Click();
  EXPECT_EQ(Lib.RecordCount, 10);
  EXPECT_EQ(f.Label1->text().toStdString(), "10 rec. (YCC) 4/3 - 6/6");
  file.SetBaseName(Dir / "l.vt2");
  EXPECT_EQ(file.RecordCount, 10);
  EXPECT_EQ(Lib.Modified, 0);
}

TEST_F(LibraryMosaicTest, AppendImagesAddsAFoldersPicturesAndKeepsTheFlips) {
  const std::string pics = Dir / "more/";
  std::filesystem::create_directories(pics);
  for (int i = 0; i < 2; ++i)
    JpegEncodeFile(vttest::Pattern(80, 60, i + 3), 90, pics + std::to_string(i) + ".jpg");
  Lib.AddFlipped(TVTData::fkRotate180);
  Lib.AddFlipped(TVTData::fkHorizontal);
  Lib.Save();
  TLibrayMosaic f(Lib);
  bool ran = false;
  QTimer::singleShot(0, &f, [&] {
    auto* dlg = qobject_cast<TV2NewBaseForm*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    ran = true;
    EXPECT_TRUE(dlg->BitBtn5->isVisibleTo(dlg));
    EXPECT_FALSE(dlg->BitBtn1->isVisibleTo(dlg));
    dlg->TxtRoot->setText(QString::fromStdString(pics));
    Answer = IDNO;  // no more folders: the dialog closes
    QTest::mouseClick(dlg->BitBtn5, Qt::LeftButton);
  });
  f.BitBtn7Click();
  EXPECT_TRUE(ran);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text,
            "2 tiles was added from \r" + pics +
                ".\rDo you want to add more tiles?\r(To add more tiles please press 'Yes' and select "
                "new root directory.)");
  EXPECT_EQ(f.DrawGrid1->RowCount(), 13);
  EXPECT_EQ(f.Label1->text().toStdString(), "12 (HR) rec. (YCC) 4/3 - 6/6");
  TVTData file;
  file.SetBaseName(Dir / "l.vt2");
  EXPECT_EQ(file.RecordCount, 36);
  EXPECT_EQ(file.OriginalCount, 12);
  EXPECT_EQ(file.FlipKinds, (std::array<uint8_t, 4>{0, 2, 1, 0}));
}

TEST_F(LibraryMosaicTest, ResampleWritesANewLibraryWithTheChosenGrid) {
  TLibrayMosaic f(Lib);
  const std::string out = Dir / "r8.vt2";
  SetFileDialogHook([&](const TOpenDialog&, bool save) -> std::optional<TFileChoice> {
    EXPECT_TRUE(save);
    return TFileChoice{{out}, 1};
  });
  QTimer::singleShot(0, &f, [&] {
    auto* dlg = qobject_cast<TLibResSetDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->KWSpinEdit1->Value(), 6);
    EXPECT_TRUE(dlg->RadioButton1->isChecked());
    dlg->KWSpinEdit1->SetValue(8);
    dlg->KWSpinEdit2->SetValue(4);
    dlg->RadioButton2->setChecked(true);
    dlg->BitBtn2->click();
  });
  f.BitBtn5Click();
  SetFileDialogHook(nullptr);
  EXPECT_EQ(f.FResample.FResampleOK, 1);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Library \r" + out + "\rwas created.");
  TVTData r;
  r.SetBaseName(out);
  EXPECT_EQ(r.RecordCount, 10);
  EXPECT_EQ(r.XRes, 8);
  EXPECT_EQ(r.YRes, 4);
  EXPECT_EQ(r.ColorSystem, csRGB);
  EXPECT_EQ(Lib.XRes, 6);  // the open library stays as it was

  // Cancel in the settings: nothing is asked or written.
  QTimer::singleShot(0, &f, [&] {
    auto* dlg = qobject_cast<TLibResSetDlg*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    dlg->BitBtn3->click();
  });
  f.BitBtn5Click();
  EXPECT_EQ(f.FResample.FResampleOK, 0);
  EXPECT_EQ(Boxes.size(), 1u);
}

TEST_F(LibraryMosaicTest, CleanDoublesMarksLaterCopiesOfAPath) {
  vttest::MakeLibrary(Dir / "d.vt2",
                      {.Count = 5, .Paths = {"/a.jpg", "/b.jpg", "/a.jpg", "/b.jpg", "/a.jpg"}});
  TVTData lib;
  lib.SetBaseName(Dir / "d.vt2");
  lib.SetRecordFlag(1, 255);  // the first copy is already out: the next one stays
  TLibrayMosaic f(lib);
  EXPECT_EQ(f.BitBtn6Click(), 2);
  EXPECT_EQ(lib.RecordFlag(1), 255);
  EXPECT_EQ(lib.RecordFlag(2), 0);
  EXPECT_EQ(lib.RecordFlag(3), 0);
  EXPECT_EQ(lib.RecordFlag(4), 255);
  EXPECT_EQ(lib.RecordFlag(5), 255);
  EXPECT_TRUE(f.BitBtn8->isEnabled());
  EXPECT_EQ(f.BitBtn6Click(), 0);
  lib.Modified = 0;  // no question when the test's window closes
}

TEST(LibraryMosaicRules, TileOrdersLeaveOutDeletedAndFlippedTiles) {
  ScratchDir dir("order");
  vttest::MakeLibrary(dir / "o.vt2", {.Count = 3, .Paths = {"/b/z.jpg", "/a/y.jpg", "/c/x.jpg"}});
  TVTData lib;
  lib.SetBaseName(dir / "o.vt2");
  lib.AddFlipped(TVTData::fkHorizontal);
  EXPECT_EQ(LibraryTileOrder(lib, ltoPathName, clWhite), (std::vector<int32_t>{2, 1, 3}));
  lib.SetRecordFlag(2, 255);
  EXPECT_EQ(LibraryTileOrder(lib, ltoFileName, clWhite), (std::vector<int32_t>{3, 1}));
  EXPECT_EQ(LibraryTileOrder(lib, ltoAsIs, clWhite), (std::vector<int32_t>{1, 3}));
}

TEST_F(LibraryMosaicTest, CreateSavesTheTilesNearestTheSampleColourFirst) {
  TVTData solid;
  solid.SetBaseName(mwtest::MakeLibrary(Dir, "solid"));  // red, green, blue, yellow, dark, light
  TLibrayMosaic f(solid);
  f.KWSpinEdit1->SetValue(3);
  f.RadioButton4->setChecked(true);
  SetColourDialogHook([](TColor) -> std::optional<TColor> { return RGB(40, 40, 190); });
  f.Shape1MouseDown();
  SetColourDialogHook(nullptr);
  EXPECT_EQ(f.SampleColour(), RGB(40, 40, 190));
  SetFileDialogHook([&](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
    return TFileChoice{{Dir / "sheet.png"}, 3};
  });
  f.BitBtn2Click();
  SetFileDialogHook(nullptr);
  // The chosen filter decides the format and its extension: 3 x 2 thumbnails.
  Bitmap24 sheet;
  ReadBMPFile(Dir / "sheet.bmp", sheet);
  solid.ShowThumbs = true;
  solid.MoveTo(3);
  const int tw = solid.DisplayBitmap.Width(), th = solid.DisplayBitmap.Height();
  ASSERT_EQ(sheet.Width(), 3 * tw);
  ASSERT_EQ(sheet.Height(), 2 * th);
  const TColor first = sheet.Pixel(tw / 2, th / 2);
  EXPECT_GT(GetBValue(first), 180);
  EXPECT_LT(GetRValue(first), 50);
  // "Show file" leaves the inspector usable: its preview is not modal.
  f.OnOriginalPopUpClick(1);
  EXPECT_TRUE(f.findChild<QDialog*>()->isVisible());
}

// The tile popup, shown modally over the inspector as the main window shows
// it: its two items for the row clicked, F1 on it opens the popup's page, and
// its mark item marks the tile deleted.
TEST_F(LibraryMosaicTest, TilePopupDescribesTheRowAndHasItsOwnHelp) {
  TLibrayMosaic f(Lib);
  f.DrawGrid1->SetRowCount(11);
  std::vector<std::string> opened;
  SetShellOpenHook([&](const std::string& page) {
    opened.push_back(ExtractFileName(page));
    return true;
  });
  QStringList captions;
  std::function<void()> inPopup = [&] {
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup) return void(QMetaObject::invokeMethod(qApp, inPopup, Qt::QueuedConnection));
    for (QAction* a : popup->actions()) captions << a->text();
    PressKey(popup, Qt::Key_F1);
    PressKey(popup, Qt::Key_Down);
    PressKey(popup, Qt::Key_Down);
    PressKey(popup, Qt::Key_Return);  // "Mark deleted this tile (Del)"
  };
  QMetaObject::invokeMethod(
      qApp,
      [&] {
        const TRect cell = f.DrawGrid1->CellRect(1, 3);
        ClickAt(f.DrawGrid1->viewport(), QPoint((cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2),
                Qt::RightButton);
        f.reject();
      },
      Qt::QueuedConnection);
  QMetaObject::invokeMethod(qApp, inPopup, Qt::QueuedConnection);
  Answer = IDNO;  // the marked library is not saved on closing
  f.exec();
  SetShellOpenHook(nullptr);
  ASSERT_EQ(captions.size(), 2);
  EXPECT_EQ(captions[0], "Show file pic2.jpg (400/302)");  // the third record
  EXPECT_EQ(captions[1], "Mark deleted this tile (Del)");
  EXPECT_EQ(opened, std::vector<std::string>{"context11.html"});
  Lib.MoveTo(3);
  EXPECT_TRUE(Lib.PicDeleted());
}
