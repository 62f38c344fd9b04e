// The preferences over a main window: what the dialog shows, what "Save",
// "Reset render settings to default" and "Clean recent used files menu"
// write and put in force.
#include "dialogs/Prefs2.h"

#include <fstream>
#include <sstream>

#include "mainwin/MainWinFixture.h"

namespace {
using mwtest::MainWinTest;

std::string FileText(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

class PrefsTest : public MainWinTest {
 protected:
  std::unique_ptr<TPrefsForm> NewPrefs() { return std::make_unique<TPrefsForm>(Form->PrefsHost()); }
  std::string Shortcuts() const {
    std::string s;
    for (QAction* a : {Form->Mosaicall1, Form->Randommosaic1, Form->Smartmosaic1})
      s += a->shortcut().toString().toStdString() + "|";
    return s;
  }
};
}  // namespace

TEST_F(PrefsTest, StartUpChoiceFromTheSettings) {
  const std::pair<const char*, int> cases[] = {{"Base", 2}, {"Project", 3}, {"No", 1}, {"base", 1}};
  for (const auto& [value, button] : cases) {
    IniWriteString(SettingsFileName, "StartUp", "OpenOnStart", value);
    NewForm();
    auto prefs = NewPrefs();
    QRadioButton* const buttons[] = {prefs->RadioButton1, prefs->RadioButton2, prefs->RadioButton3};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(buttons[i]->isChecked(), i + 1 == button) << value;
  }
  // A missing key reopens nothing at start-up, and an unchanged "Save" keeps it so.
  std::filesystem::remove(SettingsFileName);
  NewForm();
  auto prefs = NewPrefs();
  EXPECT_TRUE(prefs->RadioButton1->isChecked());
  EXPECT_TRUE(prefs->CheckBox1->isChecked());
  EXPECT_FALSE(prefs->CheckBox2->isChecked());
  EXPECT_TRUE(prefs->RadioButton6->isChecked());
  // The values in force: the main window's popup defaults, not the file's.
  EXPECT_TRUE(prefs->CheckBox5->isChecked());
  EXPECT_EQ(prefs->KWSpinEdit1->text().toStdString(), "5");
  prefs->BitBtn2->click();
  EXPECT_EQ(Ini("StartUp", "OpenOnStart"), "No");
  EXPECT_EQ(Ini("StartUp", "DefaultMosaicMode"), "Smart");
}

TEST_F(PrefsTest, ShowBestIsKeptInRange) {
  IniWriteInteger(SettingsFileName, "Advanced", "ShowBestCndidates", -7);
  EXPECT_EQ(NewForm().FShowBestCandidates, 1);
  IniWriteInteger(SettingsFileName, "Advanced", "ShowBestCndidates", 2000000000);
  EXPECT_EQ(NewForm().FShowBestCandidates, 999999);
  auto prefs = NewPrefs();
  prefs->KWSpinEdit1->setText("0");
  prefs->SaveSettings();
  EXPECT_EQ(Ini("Advanced", "ShowBestCndidates"), "1");
  EXPECT_EQ(Form->FShowBestCandidates, 1);
  // "Show" and its edit follow the popup box.
  prefs->CheckBox5->click();
  EXPECT_FALSE(prefs->CheckBox5->isChecked());
  EXPECT_FALSE(prefs->KWSpinEdit1->isEnabled());
  EXPECT_FALSE(prefs->Label1->isEnabled());
}

TEST_F(PrefsTest, SaveWritesTheKeysAndPutsThemInForce) {
  IniWriteString(SettingsFileName, "StartUp", "DefaultMosaicMode", "Random");
  TForm1& form = NewForm();
  EXPECT_EQ(Shortcuts(), "|Ctrl+R||");
  form.InitPopUpMenu();
  TKWCustomMenuItem* first = form.FCellPopup->Items()->Items(0);
  {
    // Unchanged: the popup keeps its items; Ctrl+R moves to the chosen mode.
    auto prefs = NewPrefs();
    EXPECT_TRUE(prefs->RadioButton5->isChecked());
    prefs->RadioButton6->setChecked(true);
    prefs->BitBtn2->click();
    EXPECT_EQ(form.FCellPopup->Items()->Items(0), first);
    EXPECT_EQ(Shortcuts(), "||Ctrl+R|");
    EXPECT_EQ(DefaultRenderMode, roSmart);
  }
  auto prefs = NewPrefs();
  prefs->RadioButton2->setChecked(true);
  prefs->CheckBox1->setChecked(false);
  prefs->CheckBox2->setChecked(true);
  prefs->RadioButton4->setChecked(true);
  prefs->CheckBox5->setChecked(false);
  prefs->KWSpinEdit1->SetValue(7);
  prefs->CheckBox6->setChecked(false);
  prefs->CheckBox7->setChecked(false);
  prefs->BitBtn2->click();
  EXPECT_EQ(prefs->result(), QDialog::Accepted);
  const std::pair<const char*, const char*> expected[] = {
      {"OpenOnStart", "Base"}, {"WizardOnStart", "0"}, {"RememberBlendSetting", "1"}, {"DefaultMosaicMode", "TopBottom"}};
  for (const auto& [key, value] : expected) EXPECT_EQ(Ini("StartUp", key), value) << key;
  const std::pair<const char*, const char*> advanced[] = {
      {"AllowPopUpCndidates", "0"}, {"ShowBestCndidates", "7"}, {"AllowFastJpg", "0"}, {"DetailedBackground", "0"}};
  for (const auto& [key, value] : advanced) EXPECT_EQ(Ini("Advanced", key), value) << key;
  EXPECT_EQ(Shortcuts(), "Ctrl+R|||");
  EXPECT_EQ(DefaultRenderMode, roNatural);
  EXPECT_FALSE(form.FWizardOnStart);
  EXPECT_EQ(form.FShowBestCandidates, 7);
  EXPECT_EQ(form.FCellPopup->Items()->Count(), 10);
  EXPECT_FALSE(form.FAllowPopUpCandidates);
  EXPECT_FALSE(form.FAllowFastJpg);
  EXPECT_FALSE(form.FDetailedBackground);
}

TEST_F(PrefsTest, ShowWizardIsOneValue) {
  TForm1& form = NewForm();
  EXPECT_TRUE(form.FWizardOnStart);
  // Turned off elsewhere after start-up (the wizard's own box): the dialog
  // shows the current value, and "Save" does not bring back the old one.
  IniWriteBool(SettingsFileName, "StartUp", "WizardOnStart", false);
  auto prefs = NewPrefs();
  EXPECT_FALSE(prefs->CheckBox1->isChecked());
  prefs->BitBtn2->click();
  EXPECT_EQ(Ini("StartUp", "WizardOnStart"), "0");
  EXPECT_FALSE(form.FWizardOnStart);
}

TEST_F(PrefsTest, ResetRenderSettings) {
  TForm1& form = NewForm();
  form.SpinRadius2->SetValue(12);
  form.SpinRepetition2->SetValue(3);
  form.ChkFixAuto->setChecked(true);
  form.ChkFixManual->setChecked(false);
  form.ChkInvertSelection->setChecked(true);
  form.CBFlipOriginal->setChecked(false);
  form.CBFlipH->setChecked(true);
  form.CBRota180->setChecked(true);
  form.FAllowFastJpg = false;
  form.FDetailedBackground = false;
  auto prefs = NewPrefs();
  prefs->CheckBox5->setChecked(false);
  prefs->KWSpinEdit1->SetValue(9);
  std::ofstream(SettingsFileName, std::ios::app) << "[Keep]\nA=1\n";
  const std::string before = FileText(SettingsFileName);

  Answer = IDCANCEL;
  prefs->BitBtn3->click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Reset render settings to default?");
  EXPECT_EQ(Boxes[0].Caption, "Vitrane 2");
  EXPECT_EQ(Boxes[0].Flags, unsigned(MB_OKCANCEL | MB_ICONQUESTION));
  EXPECT_EQ(FileText(SettingsFileName), before);
  EXPECT_EQ(form.SpinRadius2->Value(), 12);
  EXPECT_TRUE(form.CBFlipH->isChecked());
  EXPECT_FALSE(prefs->CheckBox5->isChecked());

  Answer = IDOK;
  prefs->BitBtn3->click();
  EXPECT_EQ(form.SpinRadius2->text().toStdString(), "6");
  EXPECT_EQ(form.SpinRepetition2->text().toStdString(), "Auto");
  EXPECT_FALSE(form.ChkFixAuto->isChecked());
  EXPECT_TRUE(form.ChkFixManual->isChecked());
  EXPECT_FALSE(form.ChkInvertSelection->isChecked());
  EXPECT_TRUE(form.CBFlipOriginal->isChecked());
  for (QCheckBox* c : {form.CBFlipH, form.CBFlipV, form.CBRota180}) EXPECT_FALSE(c->isChecked());
  for (QCheckBox* c : {prefs->CheckBox5, prefs->CheckBox6, prefs->CheckBox7}) EXPECT_TRUE(c->isChecked());
  EXPECT_EQ(prefs->KWSpinEdit1->text().toStdString(), "5");
  EXPECT_TRUE(prefs->KWSpinEdit1->isEnabled());
  const std::pair<const char*, const char*> render[] = {
      {"Radius", "6"}, {"Repetition", "0"}, {"FixAuto", "0"}, {"FixManual", "1"}, {"InvSelection", "0"}};
  for (const auto& [key, value] : render) EXPECT_EQ(Ini("Render", key), value) << key;
  const std::pair<const char*, const char*> advanced[] = {
      {"UseOriginalFlip", "1"},     {"UseHFlip", "0"},          {"UseVFlip", "0"},     {"Use180Flip", "0"},
      {"AllowPopUpCndidates", "1"}, {"ShowBestCndidates", "5"}, {"AllowFastJpg", "1"}, {"DetailedBackground", "1"}};
  for (const auto& [key, value] : advanced) EXPECT_EQ(Ini("Advanced", key), value) << key;
  EXPECT_TRUE(form.FAllowPopUpCandidates && form.FAllowFastJpg && form.FDetailedBackground);
  EXPECT_EQ(form.FShowBestCandidates, 5);
  // Cancel afterwards writes nothing more.
  const std::string afterReset = FileText(SettingsFileName);
  prefs->BitBtn1->click();
  EXPECT_EQ(prefs->result(), QDialog::Rejected);
  EXPECT_EQ(FileText(SettingsFileName), afterReset);
}

TEST_F(PrefsTest, CleanRecentFiles) {
  const std::pair<const char*, const char*> lists[] = {
      {"Recentprojects", "Recentproject"}, {"RecentImages", "RecentImage"}, {"Recentlibrarys", "Recentlibrary"}};
  for (const auto& [section, key] : lists)
    for (int i = 1; i <= 5; ++i)
      IniWriteString(SettingsFileName, section, key + std::to_string(i), Dir / (key + std::to_string(i)));
  TForm1& form = NewForm();
  EXPECT_EQ(form.Recentprojects1->actions().size(), 5);
  auto prefs = NewPrefs();
  Answer = IDCANCEL;
  prefs->BitBtn4->click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Clean all recent used files menu?");
  EXPECT_EQ(Ini("Recentlibrarys", "Recentlibrary5"), Dir / "Recentlibrary5");
  Answer = IDOK;
  prefs->BitBtn4->click();
  for (const auto& [section, key] : lists)
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(Ini(section, key + std::to_string(i)), "") << key << i;
  for (QMenu* m : {form.Recentprojects1, form.Recentimages1, form.Recentlibrarys1}) EXPECT_TRUE(m->isEmpty());
}

TEST_F(PrefsTest, MenuItemOpensTheDialogOutsideLongOperations) {
  TForm1& form = NewForm();
  form.SetButtonsOnOff();
  EXPECT_TRUE(form.Preferences1->isEnabled());
  LongOperationRunning = true;
  form.SetButtonsOnOff();
  EXPECT_FALSE(form.Preferences1->isEnabled());
  LongOperationRunning = false;
  form.SetButtonsOnOff();
  QTimer::singleShot(0, [] {
    auto* prefs = qobject_cast<TPrefsForm*>(QApplication::activeModalWidget());
    ASSERT_NE(prefs, nullptr);
    EXPECT_EQ(prefs->windowTitle().toStdString(), "Preferences");
    prefs->BitBtn1->click();
  });
  form.Preferences1->trigger();
  EXPECT_EQ(Ini("StartUp", "OpenOnStart"), "<missing>");
}
