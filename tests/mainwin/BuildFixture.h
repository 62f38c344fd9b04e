// A main window with a library of six tiles and an open project, ready for a
// build: Distance 0, Repeat "Auto", "Fix custom" only, a one-cell selection.
#pragma once
#include <QApplication>

#include "MainWinFixture.h"
#include "platform/qt/QtHooks.h"

namespace mwtest {

class BuildFixture : public MainWinTest {
 protected:
  TForm1& Open(int cols = 4, int rows = 3) {
    const std::string lib = MakeLibrary(Dir, "lib");
    TForm1& f = NewForm();
    f.resize(700, 500);
    f.show();
    QApplication::processEvents();
    EXPECT_TRUE(f.OpenLibraryByName(lib));
    f.OpenVTP(MakeProject(Dir, lib, "p.vtp", cols, rows));
    EXPECT_TRUE(f.LibraryOpen());
    EXPECT_TRUE(f.ProjectOpen());
    f.SpinRadius2->SetValue(0);
    f.SpinRepetition2->SetValue(0);
    f.ChkFixAuto->setChecked(false);
    f.ChkFixManual->setChecked(true);
    f.ChkInvertSelection->setChecked(false);
    f.DrawGrid1->SetSelection({0, 0, 0, 0});
    return f;
  }
  static std::vector<int32_t> Links(TForm1& f) {
    std::vector<int32_t> links;
    f.VTMosaic1.GetAllLinks(links, 1);
    return links;
  }
  void TearDown() override {
    InstallQtHooks();  // a test may have replaced the pump
    MainWinTest::TearDown();
  }
};

}  // namespace mwtest
