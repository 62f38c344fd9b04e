#include "dialogs/SetTileJpegOptions.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Ini.h"
#include "platform/qt/FormUtils.h"

Tjpegoptions::Tjpegoptions(QWidget* parent) : QDialog(parent) {
  setObjectName("jpegoptions");
  setWindowTitle("JPEG Options");
  auto* layout = new QVBoxLayout(this);
  GroupBox1 = new QGroupBox("Image quality", this);
  GroupBox1->setObjectName("GroupBox1");
  auto* box = new QVBoxLayout(GroupBox1);
  TrackBar1 = new QSlider(Qt::Horizontal, GroupBox1);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setRange(0, 100);
  TrackBar1->setTickInterval(10);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  box->addWidget(TrackBar1);
  auto* labels = new QHBoxLayout;
  Label1 = new QLabel("Best compression", GroupBox1);
  Label2 = new QLabel("Best quality", GroupBox1);
  labels->addWidget(Label1);
  labels->addStretch(1);
  labels->addWidget(Label2);
  box->addLayout(labels);
  KWSpinEdit1 = new TKWSpinEdit(GroupBox1);
  KWSpinEdit1->setObjectName("KWSpinEdit1");
  box->addWidget(KWSpinEdit1);
  layout->addWidget(GroupBox1);
  auto* buttons = new QHBoxLayout;
  BitBtn2 = new QPushButton("OK", this);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn1 = new QPushButton("Cancel", this);
  BitBtn1->setObjectName("BitBtn1");
  buttons->addStretch(1);
  buttons->addWidget(BitBtn2);
  buttons->addWidget(BitBtn1);
  layout->addLayout(buttons);
  SetDialogButtons(this, BitBtn2, BitBtn1);
  setFixedSize(sizeHint());

  connect(TrackBar1, &QSlider::valueChanged, this, &Tjpegoptions::TrackBar1Change);
  connect(KWSpinEdit1, &TKWSpinEdit::OnRealChange, this, &Tjpegoptions::KWSpinEdit1RealChange);
  connect(BitBtn2, &QPushButton::clicked, this, &Tjpegoptions::BitBtn2Click);
  connect(BitBtn1, &QPushButton::clicked, this, &Tjpegoptions::reject);
  KWSpinEdit1->SetValue(IniReadInteger(SettingsFileName, "Output", "JPG", 85));
}

void Tjpegoptions::TrackBar1Change(int value) {
  if (FSyncing) return;
  FSyncing = true;
  value = std::min(value, MaxJpegQuality);
  TrackBar1->setValue(value);
  KWSpinEdit1->SetValue(value);
  FSyncing = false;
}

void Tjpegoptions::KWSpinEdit1RealChange() {
  if (FSyncing) return;
  FSyncing = true;
  const int value = std::min(KWSpinEdit1->CommittedValue(), MaxJpegQuality);
  if (value != KWSpinEdit1->CommittedValue()) KWSpinEdit1->SetValue(value);
  TrackBar1->setValue(std::clamp(value, 0, 100));
  FSyncing = false;
}

void Tjpegoptions::BitBtn2Click() {
  const int quality = Quality();
  // A quality below 1 cannot be written; it would also read as Cancel.
  if (quality < 1) {
    KWSpinEdit1->SetValue(1);
    return;
  }
  IniWriteInteger(SettingsFileName, "Output", "JPG", quality);
  done(quality);
}

void Tjpegoptions::reject() {
  done(-1);
}
