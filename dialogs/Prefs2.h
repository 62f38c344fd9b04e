// The preferences: what opens at start-up, the wizard, the default build mode
// with its Ctrl+R, the candidate popup, fast JPEG reading and the detailed
// background; plus resetting the main window's render settings and emptying
// the recent-file menus. "Save" writes the settings file and puts the values
// in force in the main window at once.
#pragma once
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "controls/KWSpin.h"

// What the dialog reads and writes of the main window (every member set).
struct TPrefsHost {
  std::string Caption;  // of the questions
  // The fields in force.
  bool* WizardOnStart = nullptr;
  int32_t* ShowBestCandidates = nullptr;
  bool* AllowPopUpCandidates = nullptr;
  bool* AllowFastJpg = nullptr;
  bool* DetailedBackground = nullptr;
  // Sets the default build order (0 natural, 1 random, 2 smart) and gives its
  // command Ctrl+R.
  std::function<void(uint8_t)> SetDefaultRenderMode;
  std::function<void()> InitPopUpMenu;
  std::function<void()> InitRecentFileMenu;
  // The render controls that "Reset render settings to default" resets.
  TKWSpinEdit* SpinRadius2 = nullptr;
  TKWCharSpinEdit* SpinRepetition2 = nullptr;
  QCheckBox *ChkFixAuto = nullptr, *ChkFixManual = nullptr, *ChkInvertSelection = nullptr;
  QCheckBox *CBFlipOriginal = nullptr, *CBFlipH = nullptr, *CBFlipV = nullptr, *CBRota180 = nullptr;
};

class TPrefsForm : public QDialog {
  Q_OBJECT
 public:
  explicit TPrefsForm(TPrefsHost host, QWidget* parent = nullptr);

  QTabWidget* PageControl1;
  QWidget *TabSheet1, *TabSheet2;  // "General", "Advanced"
  QGroupBox* GroupBox1;            // " Start up "
  QRadioButton *RadioButton1, *RadioButton2, *RadioButton3;
  QCheckBox* CheckBox1;
  QGroupBox* GroupBox2;  // "Default render mode"
  QRadioButton *RadioButton4, *RadioButton5, *RadioButton6;
  QCheckBox* CheckBox2;
  QPushButton *BitBtn3, *BitBtn4;
  QCheckBox* CheckBox5;
  QLabel *Label1, *Label2;
  TKWSpinEdit* KWSpinEdit1;
  QCheckBox *CheckBox6, *CheckBox7;
  QPushButton *BitBtn2, *BitBtn1, *BitBtnHlp;  // "Save", "Cancel", "Help"

  // Writes the dialog's state to the settings file and the main window.
  void SaveSettings();

 public slots:
  void BitBtn2Click();  // "Save"
  void BitBtn3Click();  // "Reset render settings to default"
  void BitBtn4Click();  // "Clean recent used files menu"
  void CheckBox5Click();

 private:
  void CreateControls();
  void FormCreate();
  // [Advanced] AllowPopUpCndidates and ShowBestCndidates written and put in
  // force; the grid popup is rebuilt only when the count changed.
  void SaveCandidates();
  TPrefsHost FHost;
};
