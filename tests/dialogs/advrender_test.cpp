// The advanced render options: defaults, the hints, and what OK and Cancel
// hand back to the wizard.
#include "dialogs/AdvRender.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include "qt/TestApp.h"

TEST(AdvanceRender, DefaultsAndHints) {
  TestApp();
  TAdvanceRender dlg;
  EXPECT_EQ(dlg.windowTitle().toStdString(), "Advanced render options");
  EXPECT_EQ(dlg.Label6->text().toStdString(), "Recommended \"Distance\" setting is between 5 to 10");
  EXPECT_EQ(dlg.Label7->text().toStdString(), "Recommended \"Repeat\" setting is \"Auto\"");
  EXPECT_EQ(dlg.KWSpinEdit1->MaxValue, 999999999);
  EXPECT_EQ(dlg.KWSpinEdit2->MaxValue, 999999999);
  dlg.KWSpinEdit1->SetValue(40);
  dlg.KWSpinEdit2->SetValue(3);
  dlg.BitBtn3->click();
  EXPECT_EQ(dlg.KWSpinEdit1->text().toStdString(), "6");
  EXPECT_EQ(dlg.KWSpinEdit2->text().toStdString(), "Auto");

  // The hint area starts empty and explains the box that takes the focus.
  dlg.show();
  EXPECT_TRUE(dlg.Label5->text().isEmpty());
  QApplication::setActiveWindow(&dlg);
  dlg.KWSpinEdit2->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(dlg.Label5->text().startsWith("If you're not sure, please set \"Repeat\""));
  dlg.KWSpinEdit1->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(dlg.Label5->text().startsWith("To avoid visible repetition"));
}

TEST(AdvanceRender, OkStoresTheValuesAndCancelDoesNot) {
  TestApp();
  int radius = 1, repetition = 1;
  {
    TAdvanceRender dlg;
    dlg.FRadius = &radius;
    dlg.FRepetition = &repetition;
    dlg.KWSpinEdit1->SetValue(9);
    dlg.KWSpinEdit2->SetValue(4);
    QTimer::singleShot(0, dlg.BitBtn1, &QPushButton::click);
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    EXPECT_EQ(radius, 1);
    EXPECT_EQ(repetition, 1);
    // A typed value not yet committed still counts; "Auto" is 0.
    dlg.KWSpinEdit1->setText("12");
    dlg.KWSpinEdit2->setText("Auto");
    QTimer::singleShot(0, dlg.BitBtn2, &QPushButton::click);
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(radius, 12);
    EXPECT_EQ(repetition, 0);
  }
  // Without targets OK only closes.
  TAdvanceRender dlg;
  QTimer::singleShot(0, dlg.BitBtn2, &QPushButton::click);
  EXPECT_EQ(dlg.exec(), QDialog::Accepted);
}
