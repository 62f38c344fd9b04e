// The question a mosaic writer asks when a tile's picture file is missing.
// The answer is the modal result: 1 "Replace", 2 "Replace all rest",
// 3 "Auto", 4 "Cancel", 6 "Auto replace with source".
#pragma once
#include <QDialog>
#include <QLabel>
#include <QPushButton>

class TTileNotFoundDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TTileNotFoundDlg(QWidget* parent = nullptr);

  QLabel* Label3;
  QLabel* Label1;  // the missing file, set by the writer
  QLabel* Label2;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QPushButton* BitBtn3;
  QPushButton* BitBtn4;
  QPushButton* BitBtn5;  // shown or hidden by the writer
  QPushButton* BitBtn6;

  // Shows the dialog for the file and returns the answer.
  int Ask(const std::string& fileName, bool offerSource);

 public slots:
  // Esc answers as "Replace", the window's cancel button.
  void reject() override;
};

// The one instance, made at start-up.
extern TTileNotFoundDlg* TileNotFoundDlg;
