#include "dialogs/DlgTileNotFound.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"

TTileNotFoundDlg* TileNotFoundDlg = nullptr;

TTileNotFoundDlg::TTileNotFoundDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("TileNotFoundDlg");
  setWindowTitle("File not found.");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  SetHelpContext(this, 22);
  auto* layout = new QVBoxLayout(this);
  Label3 = new QLabel("Can't find a file:", this);
  Label3->setObjectName("Label3");
  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  Label1->setAlignment(Qt::AlignCenter);
  Label1->setWordWrap(true);
  Label2 = new QLabel(
      "Do you like to replace original tile picture with smaller thumbnail stored in the library?", this);
  Label2->setObjectName("Label2");
  Label2->setWordWrap(true);
  layout->addWidget(Label3);
  layout->addWidget(Label1);
  layout->addWidget(Label2);
  auto* buttons = new QGridLayout;
  layout->addLayout(buttons);

  struct ButtonDef {
    QPushButton** Button;
    const char* Name;
    const char* Caption;
    int Result;
  };
  const ButtonDef defs[] = {{&BitBtn1, "BitBtn1", "Replace", 1},
                            {&BitBtn2, "BitBtn2", "Replace all rest", 2},
                            {&BitBtn3, "BitBtn3", "Auto", 3},
                            {&BitBtn4, "BitBtn4", "Cancel", 4},
                            {&BitBtn5, "BitBtn5", "Auto replace with source", 6},
                            {&BitBtn6, "BitBtn6", "Help", 0}};
  int i = 0;
  for (const ButtonDef& s : defs) {
    auto* b = new QPushButton(s.Caption, this);
    b->setObjectName(s.Name);
    *s.Button = b;
    buttons->addWidget(b, i / 3, i % 3);
    ++i;
    const int result = s.Result;
    if (result) connect(b, &QPushButton::clicked, this, [this, result] { done(result); });
  }
  connect(BitBtn6, &QPushButton::clicked, this, [] { ShowHelpContext(22); });
  // Esc is "Replace", the first of the two marked as the cancel button.
  SetDialogButtons(this, BitBtn3, BitBtn1);
}

int TTileNotFoundDlg::Ask(const std::string& fileName, bool offerSource) {
  Label1->setText(QString::fromStdString(fileName));
  BitBtn5->setVisible(offerSource);
  return exec();
}

void TTileNotFoundDlg::reject() {
  done(1);
}
