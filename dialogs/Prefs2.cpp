#include "dialogs/Prefs2.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"

namespace {
constexpr int HelpContext = 34;
constexpr int DefaultShowBest = 5;
constexpr int32_t DefaultDistance = 6;
constexpr int32_t DefaultRepeat = 0;  // "Auto"
constexpr int RecentCount = 5;

template <class T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}
}  // namespace

TPrefsForm::TPrefsForm(TPrefsHost host, QWidget* parent) : QDialog(parent), FHost(std::move(host)) {
  setObjectName("PrefsForm");
  setWindowTitle("Preferences");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  CreateControls();
  FormCreate();
}

void TPrefsForm::CreateControls() {
  auto* layout = new QVBoxLayout(this);
  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  layout->addWidget(PageControl1);

  TabSheet1 = Named(new QWidget, "TabSheet1");
  PageControl1->addTab(TabSheet1, "General");
  auto* general = new QVBoxLayout(TabSheet1);
  GroupBox1 = Named(new QGroupBox(" Start up ", TabSheet1), "GroupBox1");
  auto* startUp = new QVBoxLayout(GroupBox1);
  RadioButton1 = Named(new QRadioButton("Blank", GroupBox1), "RadioButton1");
  RadioButton2 = Named(new QRadioButton("Open last base", GroupBox1), "RadioButton2");
  RadioButton3 = Named(new QRadioButton("Open last project", GroupBox1), "RadioButton3");
  CheckBox1 = Named(new QCheckBox("Show wizard", GroupBox1), "CheckBox1");
  for (QWidget* w : {static_cast<QWidget*>(RadioButton1), static_cast<QWidget*>(RadioButton2),
                     static_cast<QWidget*>(RadioButton3), static_cast<QWidget*>(CheckBox1)})
    startUp->addWidget(w);
  general->addWidget(GroupBox1);
  GroupBox2 = Named(new QGroupBox("Default render mode", TabSheet1), "GroupBox2");
  auto* mode = new QVBoxLayout(GroupBox2);
  RadioButton4 = Named(new QRadioButton("Mosaic from top", GroupBox2), "RadioButton4");
  RadioButton5 = Named(new QRadioButton("Random mosaic", GroupBox2), "RadioButton5");
  RadioButton6 = Named(new QRadioButton("Smart mosaic", GroupBox2), "RadioButton6");
  for (QRadioButton* r : {RadioButton4, RadioButton5, RadioButton6}) mode->addWidget(r);
  general->addWidget(GroupBox2);
  CheckBox2 = Named(new QCheckBox("Remember last Blend% setting", TabSheet1), "CheckBox2");
  general->addWidget(CheckBox2);
  BitBtn3 = Named(new QPushButton("Reset render settings to default", TabSheet1), "BitBtn3");
  BitBtn4 = Named(new QPushButton("Clean recent used files menu", TabSheet1), "BitBtn4");
  general->addWidget(BitBtn3);
  general->addWidget(BitBtn4);
  general->addStretch(1);

  TabSheet2 = Named(new QWidget, "TabSheet2");
  PageControl1->addTab(TabSheet2, "Advanced");
  auto* advanced = new QVBoxLayout(TabSheet2);
  CheckBox5 = Named(new QCheckBox("Use PopUp to show candidate tiles", TabSheet2), "CheckBox5");
  advanced->addWidget(CheckBox5);
  auto* best = new QHBoxLayout;
  best->setContentsMargins(20, 0, 0, 0);
  Label1 = Named(new QLabel("Show", TabSheet2), "Label1");
  KWSpinEdit1 = Named(new TKWSpinEdit(TabSheet2), "KWSpinEdit1");
  KWSpinEdit1->MinValue = 1;
  KWSpinEdit1->MaxValue = 999999;
  KWSpinEdit1->setMaximumWidth(90);
  Label2 = Named(new QLabel("best candidates", TabSheet2), "Label2");
  best->addWidget(Label1);
  best->addWidget(KWSpinEdit1);
  best->addWidget(Label2);
  best->addStretch(1);
  advanced->addLayout(best);
  CheckBox6 = Named(new QCheckBox("Use fast scan for jpg tiles", TabSheet2), "CheckBox6");
  CheckBox7 = Named(new QCheckBox("Use detailed background", TabSheet2), "CheckBox7");
  advanced->addWidget(CheckBox6);
  advanced->addWidget(CheckBox7);
  advanced->addStretch(1);

  auto* buttons = new QHBoxLayout;
  BitBtn2 = Named(new QPushButton("Save", this), "BitBtn2");
  BitBtn1 = Named(new QPushButton("Cancel", this), "BitBtn1");
  BitBtnHlp = Named(new QPushButton("Help", this), "BitBtnHlp");
  buttons->addStretch(1);
  for (QPushButton* b : {BitBtn2, BitBtn1, BitBtnHlp}) buttons->addWidget(b);
  layout->addLayout(buttons);
  // "Save" is the dialog's OK; the buttons on the tabs take no Enter.
  SetDialogButtons(this, BitBtn2, BitBtn1);

  connect(BitBtn2, &QPushButton::clicked, this, &TPrefsForm::BitBtn2Click);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  connect(BitBtnHlp, &QPushButton::clicked, this, [] { ShowHelpContext(HelpContext); });
  connect(BitBtn3, &QPushButton::clicked, this, &TPrefsForm::BitBtn3Click);
  connect(BitBtn4, &QPushButton::clicked, this, &TPrefsForm::BitBtn4Click);
  connect(CheckBox5, &QCheckBox::clicked, this, &TPrefsForm::CheckBox5Click);
}

void TPrefsForm::FormCreate() {
  SetHelpContext(this, HelpContext);
  SetHelpContext(TabSheet1, 35);
  SetHelpContext(TabSheet2, 36);
  const std::string& ini = SettingsFileName;
  // A missing key means no reopening, as at start-up.
  std::string open;
  IniReadString(ini, "StartUp", "OpenOnStart", open, "No");
  (open == "Base" ? RadioButton2 : open == "Project" ? RadioButton3 : RadioButton1)->setChecked(true);
  CheckBox1->setChecked(IniReadBool(ini, "StartUp", "WizardOnStart", true));
  CheckBox2->setChecked(IniReadBool(ini, "StartUp", "RememberBlendSetting", false));
  CheckBox6->setChecked(IniReadBool(ini, "Advanced", "AllowFastJpg", true));
  CheckBox7->setChecked(IniReadBool(ini, "Advanced", "DetailedBackground", true));
  std::string mode;
  IniReadString(ini, "StartUp", "DefaultMosaicMode", mode, "Smart");
  (mode == "TopBottom" ? RadioButton4 : mode == "Random" ? RadioButton5 : RadioButton6)->setChecked(true);
  // The candidate popup as it is in force (the window keeps "Show best" in range).
  KWSpinEdit1->SetValue(*FHost.ShowBestCandidates);
  CheckBox5->setChecked(*FHost.AllowPopUpCandidates);
  CheckBox5Click();
}

void TPrefsForm::CheckBox5Click() {
  const bool on = CheckBox5->isChecked();
  for (QWidget* w :
       {static_cast<QWidget*>(Label1), static_cast<QWidget*>(KWSpinEdit1), static_cast<QWidget*>(Label2)})
    w->setEnabled(on);
}

void TPrefsForm::BitBtn2Click() {
  SaveSettings();
  accept();
}

void TPrefsForm::SaveSettings() {
  const std::string& ini = SettingsFileName;
  IniWriteString(ini, "StartUp", "OpenOnStart",
                 RadioButton2->isChecked()   ? "Base"
                 : RadioButton3->isChecked() ? "Project"
                                             : "No");
  IniWriteBool(ini, "StartUp", "WizardOnStart", CheckBox1->isChecked());
  *FHost.WizardOnStart = CheckBox1->isChecked();
  IniWriteBool(ini, "StartUp", "RememberBlendSetting", CheckBox2->isChecked());
  const uint8_t mode = RadioButton4->isChecked() ? 0 : RadioButton5->isChecked() ? 1 : 2;
  const char* const modeNames[] = {"TopBottom", "Random", "Smart"};
  IniWriteString(ini, "StartUp", "DefaultMosaicMode", modeNames[mode]);
  FHost.SetDefaultRenderMode(mode);
  SaveCandidates();
  IniWriteBool(ini, "Advanced", "AllowFastJpg", CheckBox6->isChecked());
  IniWriteBool(ini, "Advanced", "DetailedBackground", CheckBox7->isChecked());
  *FHost.AllowFastJpg = CheckBox6->isChecked();
  *FHost.DetailedBackground = CheckBox7->isChecked();
}

void TPrefsForm::SaveCandidates() {
  const std::string& ini = SettingsFileName;
  const int32_t showBest = KWSpinEdit1->Value();
  IniWriteBool(ini, "Advanced", "AllowPopUpCndidates", CheckBox5->isChecked());
  IniWriteInteger(ini, "Advanced", "ShowBestCndidates", showBest);
  if (*FHost.ShowBestCandidates != showBest) {
    *FHost.ShowBestCandidates = showBest;
    FHost.InitPopUpMenu();
  }
  *FHost.AllowPopUpCandidates = CheckBox5->isChecked();
}

void TPrefsForm::BitBtn3Click() {
  if (MessageBox("Reset render settings to default?", FHost.Caption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return;
  const std::string& ini = SettingsFileName;
  FHost.SpinRadius2->SetValue(DefaultDistance);
  FHost.SpinRepetition2->SetValue(DefaultRepeat);
  FHost.ChkFixAuto->setChecked(false);
  FHost.ChkFixManual->setChecked(true);
  FHost.ChkInvertSelection->setChecked(false);
  IniWriteInteger(ini, "Render", "Radius", FHost.SpinRadius2->Value());
  IniWriteInteger(ini, "Render", "Repetition", FHost.SpinRepetition2->Value());
  IniWriteBool(ini, "Render", "FixAuto", FHost.ChkFixAuto->isChecked());
  IniWriteBool(ini, "Render", "FixManual", FHost.ChkFixManual->isChecked());
  IniWriteBool(ini, "Render", "InvSelection", FHost.ChkInvertSelection->isChecked());
  const std::pair<QCheckBox*, const char*> flips[] = {{FHost.CBFlipOriginal, "UseOriginalFlip"},
                                                      {FHost.CBFlipH, "UseHFlip"},
                                                      {FHost.CBFlipV, "UseVFlip"},
                                                      {FHost.CBRota180, "Use180Flip"}};
  for (const auto& [box, key] : flips) {
    box->setChecked(box == FHost.CBFlipOriginal);
    IniWriteBool(ini, "Advanced", key, box->isChecked());
  }
  CheckBox5->setChecked(true);
  CheckBox6->setChecked(true);
  CheckBox7->setChecked(true);
  KWSpinEdit1->SetValue(DefaultShowBest);
  CheckBox5Click();
  SaveCandidates();
  IniWriteBool(ini, "Advanced", "AllowFastJpg", true);
  IniWriteBool(ini, "Advanced", "DetailedBackground", true);
  *FHost.AllowFastJpg = true;
  *FHost.DetailedBackground = true;
}

void TPrefsForm::BitBtn4Click() {
  if (MessageBox("Clean all recent used files menu?", FHost.Caption, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return;
  const std::pair<const char*, const char*> lists[] = {{"Recentprojects", "Recentproject"},
                                                       {"RecentImages", "RecentImage"},
                                                       {"Recentlibrarys", "Recentlibrary"}};
  for (const auto& [section, key] : lists)
    for (int i = 1; i <= RecentCount; ++i)
      IniWriteString(SettingsFileName, section, key + std::to_string(i), "");
  FHost.InitRecentFileMenu();
}
