#include "dialogs/AdvRender.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/qt/FormUtils.h"

namespace {
constexpr int32_t DefaultDistance = 6;
constexpr int32_t DefaultRepeat = 0;  // "Auto"

QLabel* NamedLabel(const char* name, const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  return l;
}
}  // namespace

TAdvanceRender::TAdvanceRender(QWidget* parent) : QDialog(parent) {
  setObjectName("AdvanceRender");
  setWindowTitle("Advanced render options");
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  layout->addLayout(grid);

  Label1 = NamedLabel("Label1", "Distance between same image:", this);
  KWSpinEdit1 = new TKWSpinEdit(this);
  KWSpinEdit1->setObjectName("KWSpinEdit1");
  KWSpinEdit1->MinValue = 0;
  KWSpinEdit1->MaxValue = 999999999;
  Label3 = NamedLabel("Label3", "cells.", this);
  Label2 = NamedLabel("Label2", "Repeat any image no more then ", this);
  KWSpinEdit2 = new TKWCharSpinEdit(this);
  KWSpinEdit2->setObjectName("KWSpinEdit2");
  KWSpinEdit2->MinValue = 0;
  KWSpinEdit2->MaxValue = 999999999;
  KWSpinEdit2->SetValue(0);
  Label4 = NamedLabel("Label4", "times", this);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(KWSpinEdit1, 0, 1);
  grid->addWidget(Label3, 0, 2);
  grid->addWidget(Label2, 1, 0);
  grid->addWidget(KWSpinEdit2, 1, 1);
  grid->addWidget(Label4, 1, 2);

  Label6 = NamedLabel("Label6", "Recommended \"Distance\" setting is between 5 to 10", this);
  Label7 = NamedLabel("Label7", "Recommended \"Repeat\" setting is \"Auto\"", this);
  Label5 = NamedLabel("Label5", QString(), this);
  Label5->setWordWrap(true);
  // Room for the longer hint, so the window does not jump when it appears.
  Label5->setMinimumHeight(Label5->fontMetrics().lineSpacing() * 5);
  Label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(Label6);
  layout->addWidget(Label7);
  layout->addWidget(Label5);

  auto* buttons = new QHBoxLayout;
  BitBtn3 = new QPushButton("Default settings", this);
  BitBtn3->setObjectName("BitBtn3");
  BitBtn2 = new QPushButton("OK", this);
  BitBtn2->setObjectName("BitBtn2");
  BitBtn1 = new QPushButton("Cancel", this);
  BitBtn1->setObjectName("BitBtn1");
  SetDialogButtons(this, BitBtn2, BitBtn1);
  buttons->addWidget(BitBtn3);
  buttons->addStretch();
  buttons->addWidget(BitBtn2);
  buttons->addWidget(BitBtn1);
  layout->addLayout(buttons);

  connect(BitBtn2, &QPushButton::clicked, this, &TAdvanceRender::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TAdvanceRender::BitBtn3Click);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
  KWSpinEdit1->installEventFilter(this);
  KWSpinEdit2->installEventFilter(this);
}

bool TAdvanceRender::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (watched == KWSpinEdit1) KWSpinEdit1Enter();
    if (watched == KWSpinEdit2) KWSpinEdit2Enter();
  }
  return QDialog::eventFilter(watched, event);
}

void TAdvanceRender::KWSpinEdit1Enter() {
  Label5->setText(
      "To avoid visible repetition of the same tile over the mosaic set \"Distance\" value. Note that too "
      "large "
      "value may decrease mosaic quality. Recommended \"Distance\" setting for not very large tile library "
      "is "
      "between 5 to 10.");
}

void TAdvanceRender::KWSpinEdit2Enter() {
  Label5->setText(
      "If you're not sure, please set \"Repeat\" value to \"Auto\". This way program would use any given "
      "tile as "
      "many times as needed. They will be placed on the \"Distance\" apart one from another. Note that too "
      "small "
      "(1-2) \"Repeat\" value may decrease mosaic quality. Recommended \"Repeat\" setting is \"Auto\".");
}

void TAdvanceRender::BitBtn3Click() {
  KWSpinEdit1->SetValue(DefaultDistance);
  KWSpinEdit2->SetValue(DefaultRepeat);
}

void TAdvanceRender::BitBtn2Click() {
  if (FRadius) *FRadius = KWSpinEdit1->Value();
  if (FRepetition) *FRepetition = KWSpinEdit2->Value();
  accept();
}
