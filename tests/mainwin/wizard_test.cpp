// The wizard from the main window, end to end on generated pictures: a new
// library, a project built and saved, and the mosaic written as JPEG and BMP,
// with a stopped save leaving nothing behind.
#include <QApplication>
#include <QTimer>
#include <memory>

#include "dialogs/AdvRender.h"
#include "dialogs/SetTileJpegOptions.h"
#include "dialogs/SrcSetup.h"
#include "dialogs/wizard02.h"
#include "mainwin/MainWinFixture.h"
#include "platform/Bmp.h"
#include "platform/Files.h"
#include "platform/TestSupport.h"
#include "platform/Utils.h"
#include "platform/qt/FileDialogs.h"
#include "qt/InputEvents.h"

namespace {

using namespace mwtest;

class WizardRun : public MainWinTest {
 protected:
  void TearDown() override {
    SetFolderDialogHook(nullptr);
    MainWinTest::TearDown();
  }
  // Runs body inside the modal wizard once it shows; cancels it when the
  // body left it open.
  void WithWizard(TForm1& f, const std::function<void(TWizard&)>& body) {
    bool ran = false;
    std::function<void()> wait = [&] {
      if (!Wizard || QApplication::activeModalWidget() != Wizard) {
        QTimer::singleShot(1, wait);
        return;
      }
      ran = true;
      body(*Wizard);
      if (Wizard->isVisible()) Wizard->BitBtn22Click();
    };
    QTimer::singleShot(0, wait);
    f.RunVitraneWizard1Click();
    EXPECT_TRUE(ran);
  }
  // Task 2 ("a mosaic from a library") up to the library chosen on its page.
  void ChooseLibraryOfTask2(TWizard& w, const std::string& lib) {
    w.RadioButton2->setChecked(true);
    w.RadioButton2Click();
    w.BitBtn2Click();
    Choose(lib);
    w.Button3Click();
  }
  void Choose(const std::string& name, int index = 1) {
    SetFileDialogHook([name, index](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
      return TFileChoice{{name}, index};
    });
  }
  // Answers the next modal dialog of kind T with body.
  template <typename T>
  static void WhenShown(std::function<void(T&)> body) {
    auto wait = std::make_shared<std::function<void()>>();
    *wait = [wait, body] {
      auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
      if (!dialog) {
        QTimer::singleShot(1, *wait);
        return;
      }
      body(*dialog);
      *wait = nullptr;
    };
    QTimer::singleShot(0, *wait);
  }
  // Chooses a JPEG mosaic file, answering the quality question with OK.
  void ChooseJpeg(TWizard& w, const std::string& name) {
    Choose(name, 2);
    WhenShown<Tjpegoptions>([](Tjpegoptions& d) { d.BitBtn2Click(); });
    w.Button6Click();
  }
  static void Type(TKWSpinEdit* spin, int value) { TypeAndEnter(spin, QString::number(value)); }
  static TPoint BmpSize(const std::string& file) {
    const std::vector<uint8_t> b = ReadWholeFile(file);
    if (b.size() < 26) return {};
    auto le = [&](size_t i) {
      return int32_t(b[i] | b[i + 1] << 8 | b[i + 2] << 16 | uint32_t(b[i + 3]) << 24);
    };
    return {le(18), le(22)};
  }
};

TEST_F(WizardRun, ThreeTasksFromPicturesToASavedMosaic) {
  const std::string pics = Dir / "pics/";
  std::filesystem::create_directories(pics);
  for (int i = 0; i < 12; ++i)
    JpegEncodeFile(Solid(80, 80, RGB(20 * i, 240 - 20 * i, (i % 3) * 100)), 90,
                   pics + "t" + std::to_string(i) + ".jpg");
  Bitmap24 source(160, 120);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x) source.SetPixel(x, y, RGB(x * 3 / 2, y * 2, 120));
  const std::string picture = Dir / "source.jpg";
  JpegEncodeFile(source, 90, picture);
  const std::string lib = Dir / "tiles.vt2", project = Dir / "tiles.vtp";

  TForm1& f = NewForm();
  f.resize(700, 500);
  f.show();
  QApplication::processEvents();
  ASSERT_TRUE(f.RunVitraneWizard1->isEnabled());
  ASSERT_TRUE(f.SpeedButton11->isEnabled());
  f.SpinRadius2->SetValue(1);

  // Task 1: a library of the twelve pictures, square tiles.
  WithWizard(f, [&](TWizard& w) {
    EXPECT_TRUE(w.CheckBox2->isChecked());
    EXPECT_FALSE(w.CheckBox2->isEnabled());
    EXPECT_FALSE(w.CheckBox3->isChecked());
    EXPECT_FALSE(w.CheckBox3->isEnabled());
    EXPECT_FALSE(w.ChkSaveSelected->isEnabled());
    EXPECT_TRUE(w.TRRadio4->isHidden());
    EXPECT_EQ(w.Label33->text(), "Current base: ");
    w.RadioButton4->setChecked(true);
    w.RadioButton4Click();
    w.BitBtn2Click();
    SetFolderDialogHook([&](const std::string&) -> std::optional<std::string> { return pics; });
    w.Button1Click();
    EXPECT_EQ(w.Edit2->text().toStdString(), pics);
    w.BitBtn2Click();
    w.chkJPG->setChecked(true);
    w.chkJPGClick();
    w.BitBtn2Click();
    w.TRRadio1->setChecked(true);
    w.TRRadio1Click();
    w.BitBtn2Click();
    Choose(lib);
    w.Button2Click();
    w.BitBtn2Click();
    ASSERT_EQ(w.ActivePage(), 5);
    w.BitBtn7Click();
    EXPECT_FALSE(w.isVisible());
  });
  ASSERT_TRUE(f.LibraryOpen());
  EXPECT_EQ(f.VTLib1.BaseName(), lib);
  EXPECT_EQ(f.VTLib1.RecordCount, 12);

  // Task 2: a project of 8 x 6 cells, built and saved by the main window.
  WithWizard(f, [&](TWizard& w) {
    ChooseLibraryOfTask2(w, lib);
    EXPECT_EQ(w.Label33->text(), "There are 12 records (4x4) in the base.");
    ASSERT_TRUE(w.BitBtn8->isEnabled());
    w.BitBtn2Click();
    Choose(picture);
    w.Button4Click();
    w.BitBtn2Click();
    w.KWSpinXCell->SetValue(8);
    w.KWSpinYCell->SetValue(6);
    w.FitCropToCells();
    EXPECT_EQ(w.CropImage1->CropRectPx(), TRect(0, 0, 160, 120));
    w.grab().save("wizard-run-cells.png");
    w.BitBtn2Click();
    Choose(project);
    w.Button5Click();
    w.BitBtn2Click();
    ASSERT_EQ(w.ActivePage(), 10);
    EXPECT_FALSE(w.BitBtn21->isEnabled());
    w.RadioButtonNorm->setChecked(true);
    w.RadioButtonNormClick();
    WhenShown<TAdvanceRender>([](TAdvanceRender& d) {
      EXPECT_EQ(d.KWSpinEdit1->Value(), 1);
      d.KWSpinEdit1->SetValue(2);
      d.BitBtn2Click();
    });
    w.SpeedButton4Click();
    EXPECT_EQ(w.FRadius, 2);
    w.BitBtn21Click();
  });
  EXPECT_EQ(f.FWizardRenderMode, 1);
  EXPECT_EQ(f.SpinRadius2->Value(), 2);
  ASSERT_TRUE(f.ProjectOpen());
  EXPECT_EQ(f.VTPlan1.BaseName(), project);
  EXPECT_FALSE(f.ProjectModified());
  EXPECT_EQ(Ini("LastPath", "Project"), std::string(Dir / ""));
  ASSERT_EQ(f.VTMosaic1.RecordCount, 48);
  for (int n = 1; n <= 48; ++n) {
    f.VTMosaic1.MoveTo(n);
    EXPECT_GE(f.VTMosaic1.CurLink, 1) << n;
    EXPECT_LE(f.VTMosaic1.CurLink, 12) << n;
  }

  // Task 3: the mosaic as a JPEG and a BMP; a stopped JPEG writes nothing.
  const std::string jpg = Dir / "m.jpg", bmp = Dir / "m.bmp", stopped = Dir / "stopped.jpg";
  WithWizard(f, [&](TWizard& w) {
    w.RadioButton3->setChecked(true);
    w.RadioButton3Click();
    w.BitBtn2Click();
    EXPECT_EQ(w.Label71->text(), "256 x 192 pixels");
    w.BitBtn2Click();
    ChooseJpeg(w, Dir / "m");
    EXPECT_EQ(w.Edit6->text().toStdString(), jpg);
    w.BitBtn26Click();
    w.grab().save("wizard-run-save.png");
    w.CheckBox5->setChecked(false);
    w.BitBtn31Click();
    EXPECT_EQ(f.StatusText(1), "Saved to file " + jpg);

    w.BitBtn1Click();
    Choose(bmp, 3);
    w.Button6Click();
    w.BitBtn26Click();
    w.BitBtn31Click();

    w.BitBtn1Click();
    ChooseJpeg(w, stopped);
    w.BitBtn26Click();
    QTimer::singleShot(0, &w, [&w] { w.BitBtnStopSaveClick(); });
    w.BitBtn31Click();
    EXPECT_EQ(f.StatusText(1), "Procedure cancelled by user");
  });
  int width = 0, height = 0;
  GetJPEGSize(jpg, width, height);
  EXPECT_EQ(width, 256);
  EXPECT_EQ(height, 192);
  EXPECT_EQ(BmpSize(bmp), (TPoint{256, 192}));
  EXPECT_FALSE(FileExists(stopped));
  EXPECT_FALSE(FileExists(stopped + ".part"));
}

// One photograph, 40 x 30 cells and the frame over the whole picture: the
// wizard's project holds the very cells the source setup's project holds,
// both cut from the picture at its own resolution however small the
// preview that shows it.
TEST_F(WizardRun, TheWizardCutsTheProjectTheSourceSetupCuts) {
  const std::string lib = MakeLibrary(Dir, "lib");  // 4:3 tiles
  Bitmap24 photo(1024, 681);
  for (int y = 0; y < 681; ++y)
    for (int x = 0; x < 1024; ++x) photo.SetPixel(x, y, RGB(x / 4, y * 3 / 8, (x ^ y) & 255));
  const std::string picture = Dir / "photo.bmp";
  WriteBMPFile(photo, picture);
  const std::string bySetup = Dir / "setup.vtp", byWizard = Dir / "wizard.vtp";
  TForm1& f = NewForm();
  f.show();
  ASSERT_TRUE(f.OpenLibraryByName(lib));
  f.SpinRadius2->SetValue(0);

  SetFileDialogHook([&](const TOpenDialog&, bool save) -> std::optional<TFileChoice> {
    return TFileChoice{{save ? bySetup : picture}, 1};
  });
  QTimer::singleShot(0, [] {
    Type(SrcSetup->SpinEdit1, 40);
    Type(SrcSetup->SpinEdit2, 30);
    Click(SrcSetup->BitBtn5);  // "Max"
    Click(SrcSetup->BitBtn2);  // "Apply"
  });
  f.Opensource1Click();
  ASSERT_EQ(f.VTPlan1.BaseName(), bySetup);

  WithWizard(f, [&](TWizard& w) {
    Click(w.RadioButton2);
    Click(w.BitBtn2);
    Choose(lib);
    Click(w.Button3);
    Click(w.BitBtn8);
    Choose(picture);
    Click(w.Button4);
    Click(w.BitBtn9);
    // Enter in "Y Rows" fits the frame to the cells, then goes on.
    TypeInto(w.KWSpinXCell, "40");
    TypeAndEnter(w.KWSpinYCell, "30");
    EXPECT_EQ(w.ActivePage(), 9);
    Choose(byWizard);
    Click(w.Button5);
    Click(w.BitBtn10);
    Click(w.RadioButtonNorm);
    Click(w.BitBtn21);
    EXPECT_FALSE(w.isVisible());
  });
  ASSERT_EQ(f.VTPlan1.BaseName(), byWizard);

  TVTData setupPlan, setupMosaic, wizardPlan, wizardMosaic;
  ASSERT_TRUE(setupPlan.OpenProject(bySetup, setupMosaic));
  ASSERT_TRUE(wizardPlan.OpenProject(byWizard, wizardMosaic));
  // 16:9 of the cells' 160 x 90, centred in the picture's 681 rows.
  EXPECT_EQ(wizardPlan.SourceRect, TRect(0, 52, 1024, 628));
  EXPECT_EQ(setupPlan.SourceRect, wizardPlan.SourceRect);
  ASSERT_EQ(wizardPlan.RecordCount, 1200);
  ASSERT_EQ(setupPlan.RecordCount, 1200);
  for (int n = 1; n <= 1200; ++n) {
    setupPlan.MoveTo(n);
    wizardPlan.MoveTo(n);
    ASSERT_EQ(wizardPlan.CurSamples, setupPlan.CurSamples) << "cell " << n;
  }
}

TEST_F(WizardRun, TheStartUpBoxIsTheOneSettingOfTheMainWindow) {
  TForm1& f = NewForm();
  ASSERT_TRUE(f.FWizardOnStart);
  WithWizard(f, [](TWizard& w) {
    EXPECT_TRUE(w.CheckBox1->isChecked());
    w.CheckBox1->setChecked(false);
    w.CheckBox1Click();
  });
  EXPECT_FALSE(f.FWizardOnStart);
  EXPECT_EQ(Ini("StartUp", "WizardOnStart"), "0");
  EXPECT_EQ(f.FWizardRenderMode, 0);
  // The window's exit keeps what the user chose.
  NewForm();
  EXPECT_FALSE(Form->FWizardOnStart);
}

TEST_F(WizardRun, CreateOverAModifiedProjectAsksFirst) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string picture = Dir / "src.jpg", project = Dir / "new.vtp";
  JpegEncodeFile(Solid(160, 120, RGB(90, 140, 30)), 90, picture);
  TForm1& f = NewForm();
  f.OpenVTP(MakeProject(Dir, lib, "p.vtp"));
  f.VTLib1.MoveTo(2);
  ASSERT_TRUE(f.VTMosaic1.SetRecordFrom(5, f.VTLib1, true));
  Answer = IDCANCEL;
  WithWizard(f, [&](TWizard& w) {
    ChooseLibraryOfTask2(w, lib);
    w.BitBtn2Click();
    Choose(picture);
    w.Button4Click();
    w.BitBtn2Click();
    w.BitBtn2Click();
    Choose(project);
    w.Button5Click();
    w.BitBtn2Click();
    w.RadioButtonNorm->setChecked(true);
    w.RadioButtonNormClick();
    QTest::mouseClick(w.BitBtn21, Qt::LeftButton);
    // Cancel: the wizard stays on its page and nothing is written.
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(FileExists(project));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Project was modified. Save before close?");
    f.VTMosaic1.MoveTo(5);
    EXPECT_EQ(f.VTMosaic1.CurLink, 2);
    EXPECT_EQ(f.VTPlan1.BaseName(), Dir / "p.vtp");
    Answer = IDNO;
    QTest::mouseClick(w.BitBtn21, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
  });
  EXPECT_EQ(f.VTPlan1.BaseName(), project);
}

TEST_F(WizardRun, AStoppedDirectSaveKeepsTheOldFileAndTheCloseBoxOffersToStop) {
  const std::string lib = MakeLibrary(Dir, "lib");
  TForm1& f = NewForm();
  f.show();
  f.OpenVTP(MakeProject(Dir, lib, "p.vtp"));
  const std::vector<uint8_t> old{'g', 'o', 'o', 'd', 0, 255};
  WithWizard(f, [&](TWizard& w) {
    w.RadioButton3->setChecked(true);
    w.RadioButton3Click();
    w.BitBtn2Click();
    w.BitBtn2Click();
    w.CheckBox3->setChecked(true);  // written straight to disk
    auto save = [&](const char* name, int index, std::function<void()> during) {
      Choose(Dir / name, index);
      w.Button6Click();
      w.BitBtn26Click();
      QTimer::singleShot(0, &w, during);
      QTest::mouseClick(w.BitBtn31, Qt::LeftButton);
      w.BitBtn1Click();
    };
    w.CheckBox5->setChecked(false);
    for (const auto& [name, index] : {std::pair<const char*, int>{"old.bmp", 3}, {"old.tif", 1}}) {
      WriteFileReplacing(Dir / name, old);
      save(name, index, [&w] { QTest::mouseClick(w.BitBtnStopSave, Qt::LeftButton); });
      EXPECT_EQ(f.StatusText(1), "Procedure cancelled by user");
      EXPECT_EQ(ReadWholeFile(Dir / name), old);
    }
    EXPECT_EQ(Boxes.size(), 2u);  // each file asked about, replacing it the default
    Boxes.clear();
    // The main window's close box: Yes stops the save, then both windows close.
    Answer = IDYES;
    save("m.bmp", 3, [&f] { f.close(); });
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Stop the running procedure?");
    EXPECT_EQ(f.StatusText(1), "Procedure cancelled by user");
    EXPECT_FALSE(FileExists(Dir / "m.bmp"));
    EXPECT_TRUE(f.isVisible());
    QApplication::processEvents();
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(w.isVisible());
  });
}

// The save task by keyboard: Enter in the tile width goes on with the size
// taken, an existing file is replaced only when the user says so, and the
// JPEG carries the page's dots per inch.
TEST_F(WizardRun, EnterInTheSizeBoxesGoesOnAndTheJpegHasTheirDpi) {
  TForm1& f = NewForm();
  f.OpenVTP(MakeProject(Dir, MakeLibrary(Dir, "lib"), "p.vtp"));  // 4 x 3 cells of 4:3
  WriteText(Dir / "dpi.jpg", "old");
  WithWizard(f, [&](TWizard& w) {
    Click(w.RadioButton3);
    PressKey(&w, Qt::Key_Return);
    TypeInto(w.SpinEdit4, "300");
    TypeAndEnter(w.SpinEdit5, "10");
    EXPECT_EQ(w.Label71->text(), "40 x 21 pixels");
    ChooseJpeg(w, Dir / "dpi");
    PressKey(&w, Qt::Key_Return);
    Answer = IDNO;
    TypeAndEnter(w.KWSpinEdit1, "0");
    ASSERT_FALSE(Boxes.empty());
    EXPECT_EQ(Boxes.back().Text, Dir / "dpi.jpg" + " already exists.\nDo you want to replace it?");
    EXPECT_EQ(ReadText(Dir / "dpi.jpg"), "old");
    EXPECT_EQ(w.ActivePage(), 13);
    Answer = IDYES;
    Click(w.BitBtn31);
  });
  const std::vector<uint8_t> b = ReadWholeFile(Dir / "dpi.jpg");
  ASSERT_GT(b.size(), 18u);
  EXPECT_EQ(std::vector<uint8_t>(b.begin() + 13, b.begin() + 18), (std::vector<uint8_t>{1, 1, 0x2C, 1, 0x2C}));
}

}  // namespace
