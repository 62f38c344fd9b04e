#include "dialogs/LibResSet.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"

TLibResSetDlg::TLibResSetDlg(TResampleChoice& target, QWidget* parent) : QDialog(parent), FTarget(target) {
  setObjectName("LibResSetDlg");
  setWindowTitle("Library resample settings");
  SetHelpContext(this, 33);
  auto* form = new QFormLayout(this);
  KWSpinEdit1 = new TKWSpinEdit(this);
  KWSpinEdit1->setObjectName("KWSpinEdit1");
  KWSpinEdit2 = new TKWSpinEdit(this);
  KWSpinEdit2->setObjectName("KWSpinEdit2");
  for (TKWSpinEdit* s : {KWSpinEdit1, KWSpinEdit2}) {
    s->MinValue = 1;
    s->MaxValue = 100;
    s->SetValue(1);
  }
  form->addRow("New X sampling", KWSpinEdit1);
  form->addRow("New Y sampling", KWSpinEdit2);
  RadioButton1 = new QRadioButton("YCC color mode", this);
  RadioButton1->setObjectName("RadioButton1");
  RadioButton2 = new QRadioButton("RGB color mode", this);
  RadioButton2->setObjectName("RadioButton2");
  form->addRow(RadioButton1);
  form->addRow(RadioButton2);
  auto* buttons = new QHBoxLayout;
  BitBtn2 = new QPushButton("Resample", this);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn3 = new QPushButton("Cancel", this);
  BitBtn3->setObjectName("BitBtn3");
  buttons->addWidget(BitBtn2);
  buttons->addWidget(BitBtn3);
  form->addRow(buttons);
  // "Resample" only hands the choice back, as an OK does.
  SetDialogButtons(this, BitBtn2, BitBtn3);
  connect(BitBtn2, &QPushButton::clicked, this, &TLibResSetDlg::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TLibResSetDlg::BitBtn3Click);
}

void TLibResSetDlg::BitBtn2Click() {
  FTarget.FNewSampleX = KWSpinEdit1->Value();
  FTarget.FNewSampleY = KWSpinEdit2->Value();
  FTarget.FNewColorSystem = RadioButton2->isChecked() ? 2 : 1;
  FTarget.FResampleOK = 1;
  accept();
}

void TLibResSetDlg::BitBtn3Click() {
  FTarget.FResampleOK = 0;
  reject();
}
