// The tile-not-found question: its texts and the answer each button gives.
#include "dialogs/DlgTileNotFound.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "qt/TestApp.h"

namespace {
// Shows the dialog and, once it runs, lets act answer it.
int AskWith(TTileNotFoundDlg& dlg, bool offerSource, const std::function<void()>& act) {
  QTimer::singleShot(0, act);
  return dlg.Ask("/pics/gone.jpg", offerSource);
}
}  // namespace

TEST(TileNotFoundDlg, TextsAndButtons) {
  TestApp();
  TTileNotFoundDlg dlg;
  EXPECT_EQ(dlg.windowTitle().toStdString(), "File not found.");
  EXPECT_EQ(dlg.Label3->text().toStdString(), "Can't find a file:");
  EXPECT_EQ(dlg.Label2->text().toStdString(),
            "Do you like to replace original tile picture with smaller thumbnail stored in the library?");
  EXPECT_TRUE(dlg.BitBtn3->isDefault());
  EXPECT_EQ(dlg.BitBtn5->text().toStdString(), "Auto replace with source");
}

TEST(TileNotFoundDlg, EachButtonGivesItsResult) {
  TestApp();
  TTileNotFoundDlg dlg;
  const std::pair<QPushButton*, int> cases[] = {
      {dlg.BitBtn1, 1}, {dlg.BitBtn2, 2}, {dlg.BitBtn3, 3}, {dlg.BitBtn4, 4}, {dlg.BitBtn5, 6}};
  for (const auto& [button, result] : cases) {
    QPushButton* b = button;
    EXPECT_EQ(AskWith(dlg, true, [b] { b->click(); }), result) << b->text().toStdString();
  }
  EXPECT_EQ(dlg.Label1->text().toStdString(), "/pics/gone.jpg");
  // Enter takes the default "Auto"; Esc answers "Replace".
  EXPECT_EQ(AskWith(dlg, false, [&] { QTest::keyClick(&dlg, Qt::Key_Return); }), 3);
  EXPECT_FALSE(dlg.BitBtn5->isVisible());
  EXPECT_EQ(AskWith(dlg, false, [&] { QTest::keyClick(&dlg, Qt::Key_Escape); }), 1);
}
