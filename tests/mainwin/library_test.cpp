// The main window's library commands: "New library..." runs the dialog and
// the new library lands in the window.
#include <QApplication>
#include <QTimer>
#include <functional>

#include "MainWinFixture.h"
#include "dialogs/LibraryMosaic.h"
#include "dialogs/NewBase.h"
#include "platform/Files.h"
#include "qt/InputEvents.h"

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

// A library name that already exists is asked about before the scan; No
// keeps the file byte for byte, Yes replaces it with the new scan.
TEST_F(MainWinTest, NewLibraryAsksBeforeReplacingAnExistingLibrary) {
  const std::string old = MakeLibrary(Dir, "old");  // six pictures
  const std::vector<uint8_t> before = ReadWholeFile(old);
  const std::string pics = Dir / "two/";
  std::filesystem::create_directories(pics);
  for (int i = 0; i < 2; ++i)
    JpegEncodeFile(Solid(40, 30, RGB(9, 90 * i, 9)), 90, pics + std::to_string(i) + ".jpg");
  TForm1& f = NewForm();
  f.show();
  std::vector<std::string> after;
  QTimer::singleShot(0, &f, [&] {
    auto* dlg = qobject_cast<TV2NewBaseForm*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    TypeInto(dlg->TxtNewVtb, QString::fromStdString(Dir / "old"));  // becomes old.vt2
    TypeInto(dlg->TxtRoot, QString::fromStdString(pics));
    Answer = IDNO;
    Click(dlg->BitBtn1);
    after.push_back(ReadWholeFile(old) == before ? "kept" : "changed");
    Answer = IDYES;
    Click(dlg->BitBtn1);
    Answer = 0;
    Click(dlg->BitBtn2);
  });
  f.SpeedButton1->click();
  EXPECT_EQ(after, std::vector<std::string>{"kept"});
  ASSERT_EQ(Boxes.size(), 2u);
  for (const MessageBoxRequest& box : Boxes) {
    EXPECT_EQ(box.Text, old + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(box.Flags & MB_TYPEMASK, unsigned(MB_YESNO));
  }
  EXPECT_EQ(f.VTLib1.BaseName(), old);
  EXPECT_EQ(f.VTLib1.RecordCount, 2);
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
