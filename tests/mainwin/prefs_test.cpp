// The preferences over a main window: what the dialog shows, what "Save",
// "Reset render settings to default" and "Clean recent used files menu"
// write and put in force.
#include <sstream>

#include "dialogs/Prefs2.h"
#include "mainwin/MainWinFixture.h"
#include "platform/Files.h"

namespace {
class PrefsTest : public mwtest::MainWinTest {
 protected:
  std::unique_ptr<TPrefsForm> NewPrefs() { return std::make_unique<TPrefsForm>(Form->PrefsHost()); }
  std::string Shortcuts() const {
    std::string s;
    for (QAction* a : {Form->Mosaicall1, Form->Randommosaic1, Form->Smartmosaic1})
      s += a->shortcut().toString().toStdString() + "|";
    return s;
  }
  // Each "key=value" of the list as stored in the section.
  void ExpectKeys(const std::string& section, const std::string& list) const {
    std::istringstream in(list);
    for (std::string kv; in >> kv;) {
      const size_t eq = kv.find('=');
      EXPECT_EQ(Ini(section, kv.substr(0, eq)), kv.substr(eq + 1)) << section << " " << kv;
    }
  }
};
}  // namespace

TEST_F(PrefsTest, ShowsTheSettingsAndTheValuesInForce) {
  const std::pair<const char*, QRadioButton * TPrefsForm::*> cases[] = {
      {"Base", &TPrefsForm::RadioButton2},
      {"Project", &TPrefsForm::RadioButton3},
      {"base", &TPrefsForm::RadioButton1}};
  for (const auto& [value, button] : cases) {
    IniWriteString(SettingsFileName, "StartUp", "OpenOnStart", value);
    NewForm();
    EXPECT_TRUE((NewPrefs().get()->*button)->isChecked()) << value;
  }
  // A missing key reopens nothing at start-up, and an unchanged "Save" keeps it so.
  std::filesystem::remove(SettingsFileName);
  NewForm();
  auto prefs = NewPrefs();
  EXPECT_TRUE(prefs->RadioButton1->isChecked());
  EXPECT_TRUE(prefs->RadioButton6->isChecked());
  EXPECT_TRUE(prefs->CheckBox5->isChecked());  // the window's default, not the file's
  prefs->BitBtn2->click();
  ExpectKeys("StartUp", "OpenOnStart=No WizardOnStart=1 RememberBlendSetting=0 DefaultMosaicMode=Smart");
  ExpectKeys("Advanced", "AllowPopUpCndidates=1 ShowBestCndidates=5 AllowFastJpg=1 DetailedBackground=1");
}

TEST_F(PrefsTest, ShowBestIsKeptInRange) {
  IniWriteInteger(SettingsFileName, "Advanced", "ShowBestCndidates", -7);
  EXPECT_EQ(NewForm().FShowBestCandidates, 1);
  IniWriteInteger(SettingsFileName, "Advanced", "ShowBestCndidates", 2000000000);
  EXPECT_EQ(NewForm().FShowBestCandidates, 999999);
  auto prefs = NewPrefs();
  prefs->KWSpinEdit1->setText("0");
  prefs->SaveSettings();
  EXPECT_EQ(Form->FShowBestCandidates, 1);
  // "Show" and its edit follow the popup box.
  prefs->CheckBox5->click();
  EXPECT_FALSE(prefs->KWSpinEdit1->isEnabled());
}

TEST_F(PrefsTest, SaveWritesTheKeysAndPutsThemInForce) {
  IniWriteString(SettingsFileName, "StartUp", "DefaultMosaicMode", "Random");
  TForm1& form = NewForm();
  EXPECT_EQ(Shortcuts(), "|Ctrl+R||");
  form.InitPopUpMenu();
  TKWCustomMenuItem* first = form.FCellPopup->Items()->Items(0);
  auto prefs = NewPrefs();
  prefs->RadioButton6->setChecked(true);
  prefs->BitBtn2->click();
  EXPECT_EQ(form.FCellPopup->Items()->Items(0), first);  // "Show best" unchanged: no rebuild
  EXPECT_EQ(Shortcuts(), "||Ctrl+R|");

  // Turned off elsewhere after start-up (the wizard's own box): the dialog
  // shows the current value and does not bring back the old one.
  IniWriteBool(SettingsFileName, "StartUp", "WizardOnStart", false);
  prefs = NewPrefs();
  EXPECT_FALSE(prefs->CheckBox1->isChecked());
  prefs->RadioButton2->setChecked(true);
  prefs->CheckBox2->setChecked(true);
  prefs->RadioButton4->setChecked(true);
  prefs->CheckBox5->setChecked(false);
  prefs->KWSpinEdit1->SetValue(7);
  prefs->CheckBox6->setChecked(false);
  prefs->CheckBox7->setChecked(false);
  prefs->BitBtn2->click();
  EXPECT_EQ(prefs->result(), QDialog::Accepted);
  ExpectKeys("StartUp",
             "OpenOnStart=Base WizardOnStart=0 RememberBlendSetting=1 DefaultMosaicMode=TopBottom");
  ExpectKeys("Advanced", "AllowPopUpCndidates=0 ShowBestCndidates=7 AllowFastJpg=0 DetailedBackground=0");
  EXPECT_EQ(Shortcuts(), "Ctrl+R|||");
  EXPECT_EQ(DefaultRenderMode, roNatural);
  EXPECT_EQ(form.FCellPopup->Items()->Count(), 10);
  EXPECT_FALSE(form.FWizardOnStart || form.FAllowPopUpCandidates || form.FAllowFastJpg ||
               form.FDetailedBackground);
}

TEST_F(PrefsTest, ResetRenderSettings) {
  TForm1& form = NewForm();
  form.SpinRadius2->SetValue(12);
  form.SpinRepetition2->SetValue(3);
  for (QCheckBox* c : {form.ChkFixAuto, form.ChkInvertSelection, form.CBFlipH, form.CBRota180})
    c->setChecked(true);
  for (QCheckBox* c : {form.ChkFixManual, form.CBFlipOriginal}) c->setChecked(false);
  form.FAllowFastJpg = false;
  form.FShowBestCandidates = 9;
  auto prefs = NewPrefs();
  prefs->CheckBox5->setChecked(false);

  Answer = IDCANCEL;
  prefs->BitBtn3->click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Reset render settings to default?");
  EXPECT_EQ(Boxes[0].Caption, "Vitrane 2");
  EXPECT_EQ(Boxes[0].Flags, unsigned(MB_OKCANCEL | MB_ICONQUESTION));
  EXPECT_FALSE(FileExists(SettingsFileName));
  EXPECT_EQ(form.SpinRadius2->Value(), 12);
  EXPECT_TRUE(form.CBFlipH->isChecked());
  EXPECT_FALSE(prefs->CheckBox5->isChecked());

  Answer = IDOK;
  prefs->BitBtn3->click();
  EXPECT_EQ(form.SpinRadius2->text().toStdString(), "6");
  EXPECT_EQ(form.SpinRepetition2->text().toStdString(), "Auto");
  for (QCheckBox* c :
       {form.ChkFixManual, form.CBFlipOriginal, prefs->CheckBox5, prefs->CheckBox6, prefs->CheckBox7})
    EXPECT_TRUE(c->isChecked()) << c->text().toStdString();
  for (QCheckBox* c : {form.ChkFixAuto, form.ChkInvertSelection, form.CBFlipH, form.CBFlipV, form.CBRota180})
    EXPECT_FALSE(c->isChecked()) << c->text().toStdString();
  EXPECT_EQ(prefs->KWSpinEdit1->text().toStdString(), "5");
  ExpectKeys("Render", "Radius=6 Repetition=0 FixAuto=0 FixManual=1 InvSelection=0");
  ExpectKeys("Advanced",
             "UseOriginalFlip=1 UseHFlip=0 UseVFlip=0 Use180Flip=0 AllowPopUpCndidates=1 ShowBestCndidates=5 "
             "AllowFastJpg=1 DetailedBackground=1");
  EXPECT_TRUE(form.FAllowPopUpCandidates && form.FAllowFastJpg && form.FDetailedBackground);
  EXPECT_EQ(form.FShowBestCandidates, 5);
  EXPECT_EQ(form.FCellPopup->Items()->Count(), 8);
  // Cancel afterwards writes nothing more.
  std::filesystem::remove(SettingsFileName);
  prefs->BitBtn1->click();
  EXPECT_FALSE(FileExists(SettingsFileName));
}

TEST_F(PrefsTest, CleanRecentFiles) {
  const std::pair<std::string, std::string> lists[] = {{"Recentprojects", "Recentproject"},
                                                       {"RecentImages", "RecentImage"},
                                                       {"Recentlibrarys", "Recentlibrary"}};
  for (const auto& [section, key] : lists)
    for (int i = 1; i <= 5; ++i)
      IniWriteString(SettingsFileName, section, key + std::to_string(i), Dir / "f");
  TForm1& form = NewForm();
  auto prefs = NewPrefs();
  Answer = IDCANCEL;
  prefs->BitBtn4->click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Clean all recent used files menu?");
  EXPECT_EQ(form.Recentimages1->actions().size(), 5);
  Answer = IDOK;
  prefs->BitBtn4->click();
  for (const auto& [section, key] : lists)
    ExpectKeys(section, key + "1= " + key + "2= " + key + "3= " + key + "4= " + key + "5=");
  for (QMenu* m : {form.Recentprojects1, form.Recentimages1, form.Recentlibrarys1}) EXPECT_TRUE(m->isEmpty());
}

TEST_F(PrefsTest, MenuItemOpensTheDialogOutsideLongOperations) {
  TForm1& form = NewForm();
  LongOperationRunning = true;
  form.SetButtonsOnOff();
  EXPECT_FALSE(form.Preferences1->isEnabled());
  LongOperationRunning = false;
  form.SetButtonsOnOff();
  EXPECT_TRUE(form.Preferences1->isEnabled());
  QTimer::singleShot(0, [] {
    auto* prefs = qobject_cast<TPrefsForm*>(QApplication::activeModalWidget());
    ASSERT_NE(prefs, nullptr);
    prefs->BitBtn1->click();
  });
  form.Preferences1->trigger();
  EXPECT_FALSE(FileExists(SettingsFileName));
}
