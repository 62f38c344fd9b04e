// Start-up, settings kept at exit, the exit question and command state.
#include <QCloseEvent>
#include <QWindow>
#include <functional>

#include "MainWinFixture.h"
#include "dialogs/wizard02.h"
#include "platform/qt/FormUtils.h"
#include "qt/InputEvents.h"
#include "qt/Layout.h"

using namespace mwtest;

TEST_F(MainWinTest, StartsWithTheDefaultsOfAMissingSettingsFile) {
  TForm1& f = NewForm();
  EXPECT_EQ(f.windowTitle().toStdString(), "Vitrane 2");
  EXPECT_EQ(f.minimumSize(), QSize(508, 390));
  EXPECT_EQ(f.SpinRadius2->Value(), 6);
  EXPECT_EQ(f.SpinRepetition2->Value(), 0);
  EXPECT_EQ(f.SpinRepetition2->text().toStdString(), "Auto");
  EXPECT_FALSE(f.ChkFixAuto->isChecked());
  EXPECT_TRUE(f.ChkFixManual->isChecked());
  EXPECT_FALSE(f.ChkInvertSelection->isChecked());
  EXPECT_TRUE(f.CBFlipOriginal->isChecked());
  EXPECT_TRUE(f.RBSource1->isChecked());
  EXPECT_EQ(f.TrackBar1->value(), 32);
  EXPECT_EQ(DefaultRenderMode, roSmart);
  EXPECT_EQ(f.Smartmosaic1->shortcut(), QKeySequence("Ctrl+R"));
  EXPECT_TRUE(f.Mosaicall1->shortcut().isEmpty());
  EXPECT_TRUE(f.FWizardOnStart);
  EXPECT_EQ(f.FShowBestCandidates, 5);
  EXPECT_TRUE(f.FAllowFastJpg && f.FAllowPopUpCandidates && f.FDetailedBackground);
  EXPECT_EQ(f.DrawGrid1->ColCount(), 1);
  EXPECT_EQ(f.DrawGrid1->GridLineWidth(), 0);
  // Nothing open: only the commands that open something (and Exit) work.
  EXPECT_TRUE(f.SpeedButton2->isEnabled());
  EXPECT_TRUE(f.SpeedButton4->isEnabled());
  EXPECT_TRUE(f.SpeedButton10->isEnabled());
  EXPECT_FALSE(f.SpeedButton5->isEnabled());
  EXPECT_FALSE(f.SpeedButton9->isEnabled());
  EXPECT_FALSE(f.SaveVTP1->isEnabled());
  EXPECT_FALSE(f.Closeproject1->isEnabled());
}

// A first start opens larger than the design size, which is only the
// smallest size allowed, and shows every control whole: the side panel's
// controls inside it and apart, each text the window puts in the status bar
// within its panel.
TEST_F(MainWinTest, AFirstStartShowsEveryControlWhole) {
  TForm1& f = NewForm();
  // The wizard of a first start opens over the window once it is on the screen.
  WizardShownOnce = false;
  bool windowOnScreen = false;
  std::function<void()> atWizard = [&] {
    if (!Wizard || QApplication::activeModalWidget() != Wizard)
      return void(QMetaObject::invokeMethod(qApp, atWizard, Qt::QueuedConnection));
    windowOnScreen = f.windowHandle() && f.windowHandle()->isVisible();
    Click(Wizard->BitBtn22);
  };
  QMetaObject::invokeMethod(qApp, atWizard, Qt::QueuedConnection);
  f.show();
  QApplication::processEvents();
  EXPECT_TRUE(windowOnScreen);
  EXPECT_TRUE(WizardShownOnce);
  EXPECT_GE(f.width(), 800);  // the offscreen screen is 800 wide
  EXPECT_GE(f.height(), 600);
  EXPECT_EQ(f.minimumSize(), QSize(508, 390));
  for (const QWidget* panel : {f.Panel1, static_cast<QWidget*>(f.GroupBox1)})
    EXPECT_EQ(LayoutFaults(panel), std::vector<std::string>{}) << panel->objectName().toStdString();
  const char* panel1Texts[] = {"View difference between source and mosaic",
                               "Set number of repetition of same tile",
                               "Press <Enter> to replace, <Del> to erase cell",
                               "Press <Del> key to erase cell", "Adding flipped tiles, please wait..."};
  for (const char* text : panel1Texts) {
    f.SetStatusText(1, text);
    EXPECT_LE(f.StatusPanels[1]->sizeHint().width(), f.StatusPanels[1]->width()) << text;
  }
  f.ShowStatus();
  for (QLabel* panel : f.StatusPanels) {
    EXPECT_LE(panel->sizeHint().width(), panel->width()) << panel->text().toStdString();
    EXPECT_TRUE(f.StatusBar1->rect().contains(panel->geometry())) << panel->objectName().toStdString();
  }
  f.grab().save("mainwin-first-start.png");
}

TEST_F(MainWinTest, ReadsTheStoredSettings) {
  const std::string& ini = SettingsFileName;
  IniWriteString(ini, "StartUp", "DefaultMosaicMode", "Random");
  IniWriteInteger(ini, "Render", "Radius", 11);
  IniWriteInteger(ini, "Render", "Repetition", 3);
  IniWriteBool(ini, "Render", "FixAuto", true);
  IniWriteBool(ini, "Render", "FixManual", false);
  IniWriteBool(ini, "StartUp", "WizardOnStart", false);
  IniWriteBool(ini, "Advanced", "UseHFlip", true);  // never brought back
  IniWriteInteger(ini, "Advanced", "ShowBestCndidates", 9);
  IniWriteString(ini, "LayOut", "MainForm", "10,20,710,520");
  TForm1& f = NewForm();
  EXPECT_EQ(DefaultRenderMode, roRandom);
  EXPECT_EQ(f.Randommosaic1->shortcut(), QKeySequence("Ctrl+R"));
  EXPECT_TRUE(f.Smartmosaic1->shortcut().isEmpty());
  EXPECT_EQ(f.SpinRadius2->Value(), 11);
  EXPECT_EQ(f.SpinRepetition2->Value(), 3);
  EXPECT_TRUE(f.ChkFixAuto->isChecked());
  EXPECT_FALSE(f.ChkFixManual->isChecked());
  EXPECT_FALSE(f.FWizardOnStart);
  EXPECT_FALSE(f.CBFlipH->isChecked());
  EXPECT_EQ(f.FShowBestCandidates, 9);
  EXPECT_EQ(FormBounds(&f), TRect(10, 20, 710, 520));
}

TEST_F(MainWinTest, BoundsBeyondTheScreenComeBackOnItAndAreWrittenSo) {
  IniWriteString(SettingsFileName, "LayOut", "MainForm", "0,0,100000,100000");
  EXPECT_EQ(FormBounds(&NewForm()), TRect(0, 0, 800, 800));  // the offscreen screen
  Form.reset();
  EXPECT_EQ(Ini("LayOut", "MainForm"), "0,0,800,800");
  // A monitor that is gone.
  IniWriteString(SettingsFileName, "LayOut", "MainForm", "2000,-900,2600,-400");
  EXPECT_EQ(FormBounds(&NewForm()), TRect(200, 0, 800, 500));
}

TEST_F(MainWinTest, DefaultModeTextIsCaseSensitive) {
  IniWriteString(SettingsFileName, "StartUp", "DefaultMosaicMode", "topbottom");
  NewForm();
  EXPECT_EQ(DefaultRenderMode, roSmart);
  Form.reset();
  IniWriteString(SettingsFileName, "StartUp", "DefaultMosaicMode", "TopBottom");
  TForm1& f = NewForm();
  EXPECT_EQ(DefaultRenderMode, roNatural);
  EXPECT_EQ(f.Mosaicall1->shortcut(), QKeySequence("Ctrl+R"));
}

TEST_F(MainWinTest, WritesItsSettingsWhenDestroyed) {
  const std::string lib = MakeLibrary(Dir, "lib");
  TForm1& f = NewForm();
  SetFormBounds(&f, TRect(30, 40, 630, 490));
  f.SpinRadius2->SetValue(8);
  f.SpinRepetition2->SetValue(2);
  f.ChkFixAuto->setChecked(true);
  f.CBFlipV->setChecked(true);
  ASSERT_TRUE(f.OpenLibraryByName(lib));
  Form.reset();
  EXPECT_EQ(Ini("StartUp", "LastBase"), lib);
  EXPECT_EQ(Ini("StartUp", "LastProject"), "");
  EXPECT_EQ(Ini("Render", "Radius"), "8");
  EXPECT_EQ(Ini("Render", "Repetition"), "2");
  EXPECT_EQ(Ini("Render", "FixAuto"), "1");
  EXPECT_EQ(Ini("Render", "FixManual"), "1");
  EXPECT_EQ(Ini("Render", "InvSelection"), "0");
  EXPECT_EQ(Ini("Advanced", "UseOriginalFlip"), "1");
  EXPECT_EQ(Ini("Advanced", "UseVFlip"), "1");
  EXPECT_EQ(Ini("Advanced", "Use180Flip"), "0");
  EXPECT_EQ(Ini("LayOut", "MainForm"), "30,40,630,490");
  // The next start comes back where this one ended.
  EXPECT_EQ(FormBounds(&NewForm()), TRect(30, 40, 630, 490));
}

TEST_F(MainWinTest, StartUpReopensTheLastProjectAndPassesOverMissingFiles) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string project = MakeProject(Dir, lib, "p.vtp");
  IniWriteString(SettingsFileName, "StartUp", "OpenOnStart", "Project");
  IniWriteString(SettingsFileName, "StartUp", "LastProject", Dir / "gone.vtp");
  TForm1& f = NewForm();
  f.StartUpSetup();
  EXPECT_FALSE(f.ProjectOpen());
  EXPECT_TRUE(Boxes.empty());

  IniWriteString(SettingsFileName, "StartUp", "LastProject", project);
  f.StartUpSetup();
  EXPECT_TRUE(f.ProjectOpen());
  EXPECT_EQ(f.VTLib1.BaseName(), lib);
  EXPECT_EQ(f.windowTitle().toStdString(), "Vitrane 2 - (4x3) - p.vtp");

  IniWriteString(SettingsFileName, "StartUp", "OpenOnStart", "Base");
  IniWriteString(SettingsFileName, "StartUp", "LastBase", lib);
  TForm1& g = NewForm();
  g.StartUpSetup();
  EXPECT_TRUE(g.LibraryOpen());
  EXPECT_FALSE(g.ProjectOpen());
}

TEST_F(MainWinTest, ExitAsksWhenTheMosaicChanged) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string project = MakeProject(Dir, lib, "p.vtp");
  TForm1& f = NewForm();
  f.show();
  f.OpenVTP(project);
  EXPECT_TRUE(f.close());  // unchanged: no question
  EXPECT_TRUE(Boxes.empty());

  f.show();
  f.VTMosaic1.Modified = 1;
  Answer = IDCANCEL;
  EXPECT_FALSE(f.close());
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Project was modified. Save before close?");
  EXPECT_EQ(Boxes[0].Caption, "Vitrane");
  EXPECT_EQ(Boxes[0].Flags, unsigned(MB_YESNOCANCEL | MB_ICONQUESTION));
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(f.ProjectModified());

  const auto before = std::filesystem::last_write_time(project);
  Answer = IDNO;
  EXPECT_TRUE(f.close());
  EXPECT_EQ(std::filesystem::last_write_time(project), before);

  f.show();
  Answer = IDYES;
  const auto size = std::filesystem::file_size(project);
  std::filesystem::remove(project);
  EXPECT_TRUE(f.close());
  EXPECT_TRUE(std::filesystem::exists(project));  // saved again
  EXPECT_GE(std::filesystem::file_size(project), size);
  EXPECT_FALSE(f.ProjectModified());
}

TEST_F(MainWinTest, ExitCommandGoesThroughTheQuestion) {
  const std::string lib = MakeLibrary(Dir, "lib");
  TForm1& f = NewForm();
  f.show();
  f.OpenVTP(MakeProject(Dir, lib, "p.vtp"));
  f.VTMosaic1.Modified = 1;
  Answer = IDCANCEL;
  f.SpeedButton10->click();
  EXPECT_TRUE(f.isVisible());
  EXPECT_EQ(Boxes.size(), 1u);
  Answer = IDNO;
  f.Exit1->trigger();
  EXPECT_FALSE(f.isVisible());
}

TEST_F(MainWinTest, StatusPanelOneNamesTheFocusedControl) {
  TForm1& f = NewForm();
  f.show();
  QApplication::setActiveWindow(&f);
  f.SpinRadius2->setFocus();
  QApplication::processEvents();
  if (!f.SpinRadius2->hasFocus()) GTEST_SKIP() << "no focus on this platform";
  EXPECT_EQ(f.StatusText(1), "Set a distance between same tiles");
  f.RBDelta1->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(f.StatusText(1), "View difference between source and mosaic");
}

TEST_F(MainWinTest, FailedSaveAtExitKeepsTheWindowOpen) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string sub = Dir / "sub/";
  std::filesystem::create_directories(sub);
  std::filesystem::copy_file(MakeProject(Dir, lib, "p.vtp"), sub + "p.vtp");
  TForm1& f = NewForm();
  f.show();
  f.OpenVTP(sub + "p.vtp");
  f.VTMosaic1.Modified = 1;
  std::filesystem::remove_all(sub);  // nowhere to save to
  std::vector<std::string> errors;
  Application->OnException = [&](const std::string& m) { errors.push_back(m); };
  Answer = IDYES;
  EXPECT_FALSE(f.close());
  Application->OnException = nullptr;
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(f.ProjectModified());
}
