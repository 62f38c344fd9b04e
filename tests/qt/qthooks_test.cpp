#include "platform/qt/QtHooks.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QTimer>

#include "qt/TestApp.h"

namespace {

MessageBoxRequest Box(unsigned flags) {
  MessageBoxRequest r;
  r.Text = "Project was modified. Save before close?";
  r.Caption = "Vitrane";
  r.Flags = flags;
  return r;
}

QPushButton* ButtonOf(QMessageBox& box, QMessageBox::StandardButton b) {
  return qobject_cast<QPushButton*>(box.button(b));
}

TEST(QtHooks, MessageBoxHasTheButtonsIconCaptionAndResults) {
  TestApp();
  const MessageBoxRequest r = Box(MB_YESNOCANCEL | MB_ICONQUESTION);
  auto box = CreateMessageBox(r);
  EXPECT_EQ(box->windowTitle(), "Vitrane");
  EXPECT_EQ(box->text(), "Project was modified. Save before close?");
  EXPECT_EQ(box->icon(), QMessageBox::Question);
  EXPECT_EQ(box->buttons().size(), 3);
  EXPECT_EQ(box->defaultButton(), ButtonOf(*box, QMessageBox::Yes));
  EXPECT_EQ(box->escapeButton(), ButtonOf(*box, QMessageBox::Cancel));
  EXPECT_EQ(MessageBoxResult(r, *box, ButtonOf(*box, QMessageBox::No)), IDNO);
  EXPECT_EQ(MessageBoxResult(r, *box, nullptr), IDCANCEL);

  const MessageBoxRequest r2 = Box(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
  auto box2 = CreateMessageBox(r2);
  EXPECT_EQ(box2->icon(), QMessageBox::Warning);
  EXPECT_EQ(box2->defaultButton(), ButtonOf(*box2, QMessageBox::No));
  EXPECT_EQ(MessageBoxResult(r2, *box2, nullptr), IDNO);

  MessageBoxRequest r3 = Box(MB_OK | MB_ICONSTOP);
  r3.Text = "Vitrane run out of tiles:\rThere is not enough tiles to complete the mosaic.\r\nPlease";
  auto box3 = CreateMessageBox(r3);
  EXPECT_EQ(box3->text(),
            "Vitrane run out of tiles:\nThere is not enough tiles to complete the mosaic.\nPlease");
  EXPECT_EQ(box3->icon(), QMessageBox::Critical);
  EXPECT_EQ(box3->buttons().size(), 1);
}

TEST(QtHooks, MessageDlgButtonSetsAndResults) {
  TestApp();
  MessageBoxRequest r;
  r.IsDialog = true;
  r.DlgType = mtConfirmation;
  r.Buttons = mbYes | mbNo | mbAll;
  auto box = CreateMessageBox(r);
  EXPECT_EQ(box->icon(), QMessageBox::Question);
  ASSERT_EQ(box->buttons().size(), 3);
  QAbstractButton* all = nullptr;
  for (QAbstractButton* b : box->buttons())
    if (b->text() == "&All") all = b;
  ASSERT_NE(all, nullptr);
  EXPECT_EQ(MessageBoxResult(r, *box, all), mrAll);
  EXPECT_EQ(MessageBoxResult(r, *box, ButtonOf(*box, QMessageBox::Yes)), mrYes);
  EXPECT_EQ(MessageBoxResult(r, *box, nullptr), mrNo);
}

TEST(QtHooks, InstalledHookShowsAModalBoxAndReturnsTheClickedButton) {
  TestApp();
  InstallQtHooks();
  QTimer::singleShot(0, [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Retry)->click();
  });
  EXPECT_EQ(MessageBox("Disk full", "Vitrane", MB_RETRYCANCEL | MB_ICONEXCLAMATION), IDRETRY);
  int pumped = 0;
  QTimer::singleShot(0, [&] { ++pumped; });
  ProcessMessages();
  EXPECT_EQ(pumped, 1);
}

TEST(QtHooks, BeepsAreCounted) {
  TestApp();
  int heard = 0;
  SetBeepHook([&] { ++heard; });
  const int before = BeepCount();
  MessageBeep(0);
  EXPECT_EQ(BeepCount(), before + 1);
  EXPECT_EQ(heard, 1);
  SetBeepHook(nullptr);
}

}  // namespace
