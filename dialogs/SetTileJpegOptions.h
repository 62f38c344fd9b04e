// The JPEG quality question asked before a JPEG is written. The result of
// exec() is the quality (at most 85), or -1 for Cancel.
#pragma once
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

#include "controls/KWSpin.h"

// The highest quality offered: above it files grow with no visible gain.
inline constexpr int MaxJpegQuality = 85;

class Tjpegoptions : public QDialog {
  Q_OBJECT
 public:
  explicit Tjpegoptions(QWidget* parent = nullptr);

  QGroupBox* GroupBox1;
  QSlider* TrackBar1;
  TKWSpinEdit* KWSpinEdit1;
  QLabel *Label1, *Label2;
  QPushButton *BitBtn2, *BitBtn1;  // OK, Cancel

  int Quality() const { return KWSpinEdit1->CommittedValue(); }

 public slots:
  void TrackBar1Change(int value);
  void KWSpinEdit1RealChange();
  void BitBtn2Click();
  void reject() override;

 private:
  bool FSyncing = false;
};
