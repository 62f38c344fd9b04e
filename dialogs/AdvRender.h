// The advanced render options: the two rules that keep a mosaic varied,
// "Distance" and "Repeat", edited for the wizard.
#pragma once
#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "controls/KWSpin.h"

class TAdvanceRender : public QDialog {
  Q_OBJECT
 public:
  explicit TAdvanceRender(QWidget* parent = nullptr);

  TKWSpinEdit* KWSpinEdit1;      // Distance, 0..999999999
  TKWCharSpinEdit* KWSpinEdit2;  // Repeat, 0..999999999, 0 shown as "Auto"
  QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7;
  QPushButton *BitBtn1 /*Cancel*/, *BitBtn2 /*OK*/, *BitBtn3 /*Default settings*/;

  // "OK" stores Distance and Repeat through these (the wizard's FRadius and
  // FRepetition); null: not stored.
  int* FRadius = nullptr;
  int* FRepetition = nullptr;

 public slots:
  void BitBtn2Click();  // "OK"
  void BitBtn3Click();  // "Default settings"
  // Entering a spin edit explains its setting in Label5.
  void KWSpinEdit1Enter();
  void KWSpinEdit2Enter();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
