// The library resample settings: a new sample grid and colour system for the
// library inspector's "Resample library...".
#pragma once
#include <QDialog>
#include <QPushButton>
#include <QRadioButton>
#include <cstdint>

#include "controls/KWSpin.h"

// What the dialog hands back to the inspector.
struct TResampleChoice {
  int32_t FNewSampleX = 0, FNewSampleY = 0;
  uint8_t FNewColorSystem = 1;  // 1 YCC, 2 RGB
  uint8_t FResampleOK = 0;
};

class TLibResSetDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TLibResSetDlg(TResampleChoice& target, QWidget* parent = nullptr);

  TKWSpinEdit *KWSpinEdit1, *KWSpinEdit2;
  QRadioButton *RadioButton1, *RadioButton2;  // "YCC color mode", "RGB color mode"
  QPushButton *BitBtn2, *BitBtn3;

 public slots:
  void BitBtn2Click();  // "Resample"
  void BitBtn3Click();  // "Cancel"

 private:
  TResampleChoice& FTarget;
};
