// The main window's library commands: "New library..." runs the dialog and
// the new library lands in the window.
#include <QApplication>
#include <QTimer>
#include <functional>

#include "MainWinFixture.h"
#include "dialogs/LibraryMosaic.h"
#include "dialogs/NewBase.h"

using namespace mwtest;

TEST_F(MainWinTest, NewLibraryCommandOpensTheLibraryItBuilt) {
  const std::string lib = MakeLibrary(Dir, "seed");  // also leaves pictures in seed_pics/
  TForm1& f = NewForm();
  EXPECT_TRUE(f.Newlibrary1->isEnabled());
  EXPECT_TRUE(f.SpeedButton1->isEnabled());
  bool ran = false;
  QTimer::singleShot(0, &f, [&] {
    auto* dlg = qobject_cast<TV2NewBaseForm*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    ran = true;
    dlg->TxtNewVtb->setText(QString::fromStdString(Dir / "fresh"));
    dlg->TxtRoot->setText(QString::fromStdString(Dir / "seed_pics/"));
    dlg->BitBtn1Click();
    dlg->BitBtn2->click();
  });
  f.SpeedButton1->click();
  EXPECT_TRUE(ran);
  EXPECT_EQ(f.VTLib1.BaseName(), Dir / "fresh.vt2");
  EXPECT_EQ(f.VTLib1.RecordCount, 6);
  EXPECT_TRUE(Boxes.empty());
  (void)lib;
}

TEST_F(MainWinTest, LibraryInspectorIsSizedForTheLibrary) {
  TForm1& f = NewForm();
  f.SetButtonsOnOff();
  EXPECT_FALSE(f.Libraryinspector1->isEnabled());
  f.OpenLibraryByName(MakeLibrary(Dir, "six"));
  EXPECT_TRUE(f.Libraryinspector1->isEnabled());
  int rows = 0, columns = 0, gridRows = 0;
  QTimer::singleShot(0, &f, [&] {
    auto* dlg = qobject_cast<TLibrayMosaic*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    columns = dlg->KWSpinEdit1->Value();
    rows = dlg->KWSpinEdit2->Value();
    gridRows = dlg->DrawGrid1->RowCount();
    dlg->BitBtn1->click();
  });
  f.Libraryinspector1->trigger();
  EXPECT_EQ(gridRows, 7);
  EXPECT_EQ(columns, 2);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(f.VTLib1.IndexKeySize, 0);
}

TEST_F(MainWinTest, LibraryInspectorLocatesAGivenTile) {
  TForm1& f = NewForm();
  f.OpenLibraryByName(MakeLibrary(Dir, "six"));
  f.VTLib1.MoveTo(4);
  const std::string path = f.VTLib1.CurPath;
  int row = 0;
  // The search runs once the window is up (and pumps as it goes): look when
  // it has finished.
  std::function<void()> look = [&] {
    auto* dlg = qobject_cast<TLibrayMosaic*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    if (!dlg->FFindFileName.empty()) return void(QTimer::singleShot(10, dlg, look));
    row = dlg->DrawGrid1->Row();
    dlg->BitBtn1->click();
  };
  QTimer::singleShot(0, &f, look);
  f.ShowLibraryInspector(path);
  EXPECT_EQ(row, 4);
  EXPECT_TRUE(Boxes.empty());
}
