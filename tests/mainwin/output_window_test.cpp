// "Save mosaic..." from the main window: the preview, the output setup and
// the writers it runs, through the dialogs' hooks.
#include <QApplication>
#include <QProgressBar>
#include <QTimer>

#include "dialogs/SetTileForm.h"
#include "dialogs/SetTileJpegOptions.h"
#include "formats/BandWriter.h"
#include "mainwin/MainWinFixture.h"
#include "platform/Bmp.h"
#include "platform/Files.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/QtHooks.h"
#include "qt/InputEvents.h"

namespace {

using namespace mwtest;

class OutputWindow : public MainWinTest {
 protected:
  TForm1& OpenFilledProject() {
    const std::string lib = MakeLibrary(Dir, "lib");
    TForm1& f = NewForm();
    f.resize(700, 500);
    f.show();
    QApplication::processEvents();
    f.OpenVTP(MakeProject(Dir, lib, "p.vtp"));
    for (int n = 1; n <= f.VTMosaic1.RecordCount; ++n) {
      f.VTLib1.MoveTo((n - 1) % f.VTLib1.RecordCount + 1);
      f.VTMosaic1.SetRecordFrom(n, f.VTLib1, true);
    }
    f.SetButtonsOnOff();
    return f;
  }
  // Runs body inside the modal output setup once it shows, then closes it.
  void WithSetup(TForm1& f, std::function<void(TSetTileForm&)> body) {
    bool ran = false;
    std::function<void()> wait = [&] {
      if (!SetTileForm || QApplication::activeModalWidget() != SetTileForm) {
        QTimer::singleShot(1, wait);
        return;
      }
      ran = true;
      body(*SetTileForm);
      SetTileForm->Button1Click();
    };
    QTimer::singleShot(0, wait);
    f.Mosaiclayoutsetup1Click();
    EXPECT_TRUE(ran);
  }
};

TEST_F(OutputWindow, SaveMosaicWritesEveryFormatOfThePicture) {
  TForm1& f = OpenFilledProject();
  ASSERT_TRUE(f.Savemosaic1->isEnabled());
  std::string file;
  int index = 3;
  const bool thumbs = f.VTMosaic1.ShowThumbs;
  SetFileDialogHook([&](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
    return TFileChoice{{file}, index};
  });
  WithSetup(f, [&](TSetTileForm& s) {
    // A 4 x 3 grid of 4:3 tiles: the size starts at 16 x 9 and keeps its proportion.
    EXPECT_EQ(s.FCols, 4);
    EXPECT_EQ(s.FRows, 3);
    EXPECT_EQ(s.FMosaicWidth, 16);
    EXPECT_EQ(s.FMosaicHeight, 9);
    EXPECT_FALSE(s.LayoutPicture().Empty());
    s.KWRealSpinOMW->SetValue(160);
    EXPECT_EQ(s.FMosaicHeight, 90);
    s.CheckBox2->setChecked(true);
    s.FBorderLeft = 4;
    s.CheckBox2Click();

    file = Dir / "direct.bmp";
    s.CheckBox4->setChecked(true);
    s.Button2Click();
    EXPECT_EQ(s.StatusText(), "Saved to " + Dir / "direct.bmp");
    EXPECT_EQ(FileSize(Dir / "direct.bmp"), BMPFileSize(164, 90));

    file = Dir / "memory.bmp";
    s.CheckBox4->setChecked(false);
    s.Button2Click();
    EXPECT_EQ(s.StatusText(), "Saved to file " + Dir / "memory.bmp");
    Bitmap24 a, b;
    ReadBMPFile(Dir / "direct.bmp", a);
    ReadBMPFile(Dir / "memory.bmp", b);
    EXPECT_TRUE(a == b);

    index = 1;
    file = Dir / "direct.tif";
    s.CheckBox4->setChecked(true);
    s.Button2Click();
    EXPECT_EQ(FileSize(Dir / "direct.tif"), TIFFFileSize(164, 90));

    index = 4;
    file = Dir / "list";
    s.Button2Click();
    EXPECT_EQ(s.StatusText(), "Saved to " + Dir / "list.txt");
    EXPECT_GT(FileSize(Dir / "list.txt"), 12 * 12);

    index = 5;
    file = Dir / "seq.bmp";
    s.Button2Click();
    EXPECT_EQ(s.StatusText().rfind("Sequence saved to files: " + Dir / "seq-ROW-COL-", 0), 0u);
  });
  EXPECT_EQ(f.VTMosaic1.ShowThumbs, thumbs);
  EXPECT_EQ(Ini("Output", "MosaicWidth"), "160");
  EXPECT_EQ(Ini("Output", "BorderLeft"), "4");
}

TEST_F(OutputWindow, ASaveShowsItsProgressOnceAFrameAndAtItsLastCell) {
  TForm1& f = OpenFilledProject();
  SetFileDialogHook([&](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
    return TFileChoice{{Dir / "paced.bmp"}, 3};
  });
  WithSetup(f, [&](TSetTileForm& s) {
    s.CheckBox4->setChecked(true);
    std::vector<int> shown;
    std::vector<std::string> before;  // texts passing events before the first cell
    SetPumpHook([&] {
      auto* bar = s.StatusBar1->findChild<QProgressBar*>();
      bar && bar->value() >= 1 ? shown.push_back(bar->value()) : before.push_back(s.StatusText());
    });
    f.FBuildFrameMs = 0;
    s.Button2Click();
    // No border is wider than 0: each one's text is shown all the same.
    EXPECT_EQ(before, (std::vector<std::string>{"Left border... Please wait.", "Right border... Please wait.",
                                                "Top border... Please wait.", "Bottom border... Please wait."}));
    EXPECT_EQ(shown.size(), 12u);
    EXPECT_EQ(shown.back(), 12);
    // A frame longer than the save: the first cell and the last are shown.
    shown.clear();
    f.FBuildFrameMs = 1u << 30;
    s.Button2Click();
    EXPECT_EQ(shown, (std::vector<int>{1, 12}));
    InstallQtHooks();
    EXPECT_EQ(s.StatusText(), "Saved to " + Dir / "paced.bmp");
  });
}

TEST_F(OutputWindow, StopDuringTheRunWritesNoPoster) {
  TForm1& f = OpenFilledProject();
  SetFileDialogHook([&](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
    return TFileChoice{{Dir / "stopped.bmp"}, 3};
  });
  WithSetup(f, [&](TSetTileForm& s) {
    s.CheckBox4->setChecked(false);
    // The first pass of pending events presses "Stop".
    QTimer::singleShot(0, s.BtnStop, [&s] { s.BtnStop->click(); });
    s.Button2Click();
    EXPECT_EQ(s.StatusText(), "Procedure cancelled by user");
    EXPECT_FALSE(FileExists(Dir / "stopped.bmp"));
    EXPECT_TRUE(s.Button2->isEnabled());
  });
}

TEST_F(OutputWindow, SaveStatisticWritesTheReportAndOpensIt) {
  TForm1& f = OpenFilledProject();
  ASSERT_TRUE(f.Savestatistic1->isEnabled());
  std::string startDir;
  SetFileDialogHook([&](const TOpenDialog& d, bool) -> std::optional<TFileChoice> {
    startDir = d.InitialDir;
    return TFileChoice{{Dir / "stat.txt"}, 1};
  });
  std::vector<std::string> opened;
  SetShellOpenHook([&](const std::string& name) {
    opened.push_back(name);
    return true;
  });
  f.Savestatistic1Click();
  SetShellOpenHook(nullptr);
  EXPECT_EQ(startDir, DefaultDialogFolder(HomeFolder()));
  EXPECT_EQ(opened, std::vector<std::string>{Dir / "stat.txt"});
  EXPECT_EQ(f.StatusText(1), "Saved to " + Dir / "stat.txt");
  EXPECT_EQ(f.StatusText(0), "100%");
  EXPECT_EQ(Ini("LastPath", "Mosaic"), Dir.Path());
  EXPECT_EQ(f.VTMosaic1.IndexKeySize, 0);
}

}  // namespace

TEST_F(OutputWindow, PreviewGivesTheCommandsBackAndAFailedSaveSaysWhy) {
  TForm1& f = OpenFilledProject();
  int pumps = 0;
  SetPumpHook([&] {
    if (!LongOperationRunning) return;
    ++pumps;
    // The preview is a long operation: nothing may start or save meanwhile.
    EXPECT_FALSE(f.SaveVTP1->isEnabled());
    EXPECT_FALSE(f.SpeedButton5->isEnabled());
    EXPECT_TRUE(f.SpeedButton9->isEnabled());
  });
  SetFileDialogHook([&](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
    return TFileChoice{{Dir / "no/such/m.bmp"}, 3};
  });
  WithSetup(f, [&](TSetTileForm& s) {
    InstallQtHooks();
    EXPECT_GE(pumps, 12);
    for (QAction* a : {f.SaveVTP1, f.Exit1, f.File1->menuAction(), f.Edit1->menuAction()})
      EXPECT_TRUE(a->isEnabled());
    s.CheckBox4->setChecked(false);
    try {
      s.Button2Click();
      ADD_FAILURE() << "no error";
    } catch (const EFileError& e) {
      EXPECT_NE(std::string(e.what()).find(". No such file or directory"), std::string::npos) << e.what();
    }
    EXPECT_EQ(s.StatusText(), "");
  });
  EXPECT_TRUE(f.File1->menuAction()->isEnabled());
}

TEST_F(OutputWindow, SaveMosaicAsWritesAThumbnailSheetOrATextList) {
  TForm1& f = OpenFilledProject();
  EXPECT_FALSE(f.Savemosaicas1->isVisible());
  std::string file = Dir / "sheet";
  int index = 3;
  SetFileDialogHook([&](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
    return TFileChoice{{file}, index};
  });
  const bool thumbs = f.VTMosaic1.ShowThumbs;
  f.DrawGrid1->SetSelection({1, 1, 2, 2});  // the sheet is always the whole mosaic
  f.Savemosaicas1Click();
  EXPECT_EQ(f.VTMosaic1.ShowThumbs, thumbs);
  Bitmap24 sheet;
  ReadBMPFile(Dir / "sheet.bmp", sheet);
  f.VTMosaic1.ShowThumbs = true;
  f.VTMosaic1.MoveTo(7);  // grid cell (2, 1)
  const Bitmap24 thumb = f.VTMosaic1.DisplayBitmap;
  f.VTMosaic1.ShowThumbs = thumbs;
  const int tw = thumb.Width(), th = thumb.Height();
  ASSERT_EQ(sheet.Width(), 4 * tw);
  ASSERT_EQ(sheet.Height(), 3 * th);
  EXPECT_EQ(sheet.Pixel(2 * tw + tw - 1, th + th - 1), thumb.Pixel(tw - 1, th - 1));

  index = 4;
  file = Dir / "cells.txt";
  f.Savemosaicas1Click();
  std::string expected;
  for (int n = 1; n <= 12; ++n) {
    f.VTMosaic1.MoveTo(n);
    expected += std::to_string((n - 1) / 4 + 1) + " - " + std::to_string((n - 1) % 4 + 1) + " - " +
                f.VTMosaic1.CurPath + "\r\n";
  }
  const std::vector<uint8_t> text = ReadWholeFile(Dir / "cells.txt");
  EXPECT_EQ(std::string(text.begin(), text.end()), expected);
}

namespace {

// The output setup's "Save as" pressed with the mouse, answering the file
// dialog with file and the type index; during runs inside the save.
class OutputSaveAs : public OutputWindow {
 protected:
  void SetUp() override {
    OutputWindow::SetUp();
    SetFileDialogHook([this](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
      return TFileChoice{{File}, Index};
    });
  }
  void SaveAs(TSetTileForm& s, const std::string& name, int index, std::function<void()> during = {}) {
    File = Dir / name;
    Index = index;
    if (during) QTimer::singleShot(0, &s, during);
    QTest::mouseClick(s.Button2, Qt::LeftButton);
  }
  std::string File;
  int Index = 2;
};

TEST_F(OutputSaveAs, AStoppedDirectSaveKeepsTheOldFileByteForByte) {
  TForm1& f = OpenFilledProject();
  const std::vector<uint8_t> old{'g', 'o', 'o', 'd', 0, 255};
  WithSetup(f, [&](TSetTileForm& s) {
    s.CheckBox4->setChecked(true);
    s.KWRealSpinOMW->SetValue(160);
    Answer = IDYES;  // replace the old file
    for (const auto& [name, index] : {std::pair<const char*, int>{"old.bmp", 3}, {"old.tif", 1}}) {
      WriteFileReplacing(Dir / name, old);
      SaveAs(s, name, index, [&s] { QTest::mouseClick(s.BtnStop, Qt::LeftButton); });
      EXPECT_EQ(s.StatusText(), "Procedure cancelled by user");
      EXPECT_EQ(ReadWholeFile(Dir / name), old);
    }
  });
  for (const auto& e : std::filesystem::directory_iterator(Dir.Path()))
    EXPECT_TRUE(!e.is_regular_file() || e.path().stem() != "old" || e.path().extension() == ".bmp" ||
                e.path().extension() == ".tif")
        << e.path();
}

TEST_F(OutputSaveAs, ATypedExtensionChoosesTheTypeAndReplacingAsksFirst) {
  TForm1& f = OpenFilledProject();
  auto magic = [&](const char* name) {
    const std::vector<uint8_t> b = ReadWholeFile(Dir / name);
    return std::string(b.begin(), b.begin() + std::min<size_t>(b.size(), 2));
  };
  WithSetup(f, [&](TSetTileForm& s) {
    s.CheckBox4->setChecked(false);
    // A JPEG's quality question would mean the wrong type: it is cancelled.
    QTimer::singleShot(0, [] {
      if (auto* d = qobject_cast<Tjpegoptions*>(QApplication::activeModalWidget())) d->reject();
    });
    const std::string cell = f.StatusText(0);
    SaveAs(s, "x.tif", 2);  // the type left at JPEG
    EXPECT_EQ(s.StatusText(), "Saved to file " + Dir / "x.tif");
    EXPECT_EQ(f.StatusText(0), cell);  // "Saving..." only while the file is written
    EXPECT_EQ(magic("x.tif"), "II");
    SaveAs(s, "y.BMP", 2);
    EXPECT_EQ(magic("y.BMP"), "BM");
    EXPECT_FALSE(FileExists(Dir / "x.jpg") || FileExists(Dir / "y.jpg"));
    EXPECT_TRUE(Boxes.empty());

    WriteFileReplacing(Dir / "x.tif", {'k', 'e', 'e', 'p'});
    Answer = IDNO;
    SaveAs(s, "x.tif", 1);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, Dir / "x.tif" + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(magic("x.tif"), "ke");
    Answer = IDYES;
    SaveAs(s, "x.tif", 1);
    EXPECT_EQ(magic("x.tif"), "II");
  });
  // "Save mosaic as..." alike: a BMP sheet though JPEG was chosen.
  File = Dir / "sheet.bmp";
  Index = 1;
  f.Savemosaicas1Click();
  EXPECT_EQ(magic("sheet.bmp"), "BM");
  EXPECT_FALSE(FileExists(Dir / "sheet.jpg"));
  Answer = IDNO;
  WriteFileReplacing(Dir / "sheet.bmp", {'k', 'e', 'e', 'p'});
  f.Savemosaicas1Click();
  EXPECT_EQ(magic("sheet.bmp"), "ke");
}

TEST_F(OutputSaveAs, TheCloseBoxesDuringASaveOnlyOfferToStopIt) {
  TForm1& f = OpenFilledProject();
  WithSetup(f, [&](TSetTileForm& s) {
    s.CheckBox4->setChecked(false);
    // No: the output setup's close box, its Esc and the main window's close
    // box each ask, and the save goes on to its end.
    Answer = IDNO;
    SaveAs(s, "a.bmp", 3, [&] {
      s.close();
      QTest::keyClick(&s, Qt::Key_Escape);
      f.close();
    });
    EXPECT_EQ(s.StatusText(), "Saved to file " + Dir / "a.bmp");
    ASSERT_EQ(Boxes.size(), 3u);
    for (const MessageBoxRequest& r : Boxes) {
      EXPECT_EQ(r.Text, "Stop the running procedure?");
      EXPECT_EQ(r.Flags, unsigned(MB_YESNO | MB_ICONQUESTION));
    }
    EXPECT_EQ(Boxes[0].Caption, "Output mosaic setup");
    EXPECT_EQ(Boxes[2].Caption, "Vitrane");
    EXPECT_TRUE(s.isVisible());
    EXPECT_TRUE(f.isVisible());
    // Yes at the output setup's own close box stops the save; both windows stay.
    Answer = IDYES;
    SaveAs(s, "b.bmp", 3, [&s] { s.close(); });
    EXPECT_EQ(s.StatusText(), "Procedure cancelled by user");
    EXPECT_FALSE(FileExists(Dir / "b.bmp"));
    EXPECT_TRUE(s.isVisible());
    EXPECT_TRUE(f.isVisible());
  });
}

// Yes, clicked in the real question box, to stopping a save at the main
// window's close box: the save stops, then the window closes through its
// modified-project question (answered No), the output setup with it.
TEST_F(OutputSaveAs, YesToStoppingASaveAtTheMainWindowsCloseBoxThenCloses) {
  TForm1& f = OpenFilledProject();
  SetMessageBoxHook([&](const MessageBoxRequest& r) {
    Boxes.push_back(r);
    QTimer::singleShot(0, [yes = Boxes.size() == 1] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
        Click(box->button(yes ? QMessageBox::Yes : QMessageBox::No));
    });
    return ShowQtMessageBox(r);
  });
  WithSetup(f, [&](TSetTileForm& s) {
    SaveAs(s, "a.bmp", 3, [&f] { f.close(); });
    EXPECT_EQ(s.StatusText(), "Procedure cancelled by user");
    QApplication::processEvents();
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[1].Text, "Project was modified. Save before close?");
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(s.isVisible());
  });
}

// A close request that waits until the save has passed its last events is
// still answered as one made during the save.
TEST_F(OutputSaveAs, ACloseRequestMadeInTheSavesLastStretchIsStillAQuestionToStop) {
  TForm1& f = OpenFilledProject();
  Answer = IDYES;
  SetPumpHook([&] {
    QCoreApplication::processEvents();
    auto* bar = SetTileForm->StatusBar1->findChild<QProgressBar*>();
    if (bar && bar->value() == bar->maximum() && Boxes.empty())
      QMetaObject::invokeMethod(&f, [&f] { f.close(); }, Qt::QueuedConnection);
  });
  WithSetup(f, [&](TSetTileForm& s) {
    SaveAs(s, "a.bmp", 3);
    ASSERT_FALSE(Boxes.empty());
    EXPECT_EQ(Boxes[0].Text, "Stop the running procedure?");
  });
}

}  // namespace
