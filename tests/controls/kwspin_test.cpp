#include "controls/KWSpin.h"

#include <gtest/gtest.h>

#include <QTest>

#include "platform/qt/QtHooks.h"
#include "qt/TestApp.h"

namespace {

struct SpinTest : ::testing::Test {
  int changes = 0;
  int beeps = 0;
  std::vector<std::string> shown;
  TApplication* app = TestApp();  // before any widget
  QWidget form;
  void SetUp() override {
    SetBeepHook([this] { ++beeps; });
    Application->OnException = [this](const std::string& m) { shown.push_back(m); };
    form.resize(200, 100);
  }
  void TearDown() override {
    SetBeepHook(nullptr);
    Application->OnException = nullptr;
  }
  template <class T>
  T* Make() {
    auto* s = new T(&form);
    QObject::connect(s, &TKWCustomSpinEdit::OnRealChange, [this] { ++changes; });
    return s;
  }
  // Focus moves to a second box, as Tab would.
  void Leave(QWidget* from) {
    auto* other = new QLineEdit(&form);
    other->show();
    form.show();
    from->setFocus();
    QApplication::processEvents();
    other->setFocus();
    QApplication::processEvents();
  }
};

TEST_F(SpinTest, WrittenValueShowsClampedButCommitsUnclampedAndAReadCommitsTheText) {
  auto* s = Make<TKWSpinEdit>();
  EXPECT_EQ(s->text(), "0");
  s->MinValue = 0;
  s->MaxValue = 100;
  s->SetValue(500);
  EXPECT_EQ(s->text(), "100");
  EXPECT_EQ(s->CommittedValue(), 500);
  EXPECT_EQ(changes, 1);
  s->SetValue(500);
  EXPECT_EQ(changes, 1);  // the same value again fires nothing
  EXPECT_EQ(s->Value(), 100);
  EXPECT_EQ(s->CommittedValue(), 100);
  EXPECT_EQ(changes, 2);
}

TEST_F(SpinTest, EqualBoundsMeanNoClamping) {
  auto* s = Make<TKWSpinEdit>();
  s->SetValue(-123456);
  EXPECT_EQ(s->text(), "-123456");
  EXPECT_EQ(s->Value(), -123456);
}

TEST_F(SpinTest, TypingEnterAndEscCommitOrRestore) {
  auto* s = Make<TKWSpinEdit>();
  s->MinValue = 1;
  s->MaxValue = 50;
  s->SetValue(10);
  s->selectAll();
  QTest::keyClicks(s, "75");
  EXPECT_EQ(s->text(), "75");
  EXPECT_EQ(s->CommittedValue(), 10);  // typing alone commits nothing
  QTest::keyClick(s, Qt::Key_Return);
  EXPECT_EQ(s->CommittedValue(), 75);
  EXPECT_EQ(s->text(), "50");
  EXPECT_EQ(beeps, 1);  // Enter always ends with a beep
  s->selectAll();
  QTest::keyClicks(s, "3");
  QTest::keyClick(s, Qt::Key_Escape);
  EXPECT_EQ(s->text(), "50");  // the bound again
  EXPECT_EQ(s->CommittedValue(), 75);
}

TEST_F(SpinTest, EnterOnANonNumberCommitsTheMinimum) {
  auto* s = Make<TKWSpinEdit>();
  s->MinValue = 3;
  s->MaxValue = 9;
  s->SetValue(7);
  s->setText("-");
  QTest::keyClick(s, Qt::Key_Enter);
  EXPECT_EQ(s->CommittedValue(), 3);
  EXPECT_EQ(s->text(), "3");
}

TEST_F(SpinTest, OnlyNumberCharactersAreTakenAndADisabledEditorTakesNone) {
  auto* s = Make<TKWSpinEdit>();
  s->clear();
  QTest::keyClicks(s, "1a2 -");
  EXPECT_EQ(s->text(), "12-");
  EXPECT_EQ(beeps, 2);
  s->EditorEnabled = false;
  QTest::keyClicks(s, "5");
  QTest::keyClick(s, Qt::Key_Backspace);
  EXPECT_EQ(s->text(), "12-");
  EXPECT_EQ(beeps, 4);
}

TEST_F(SpinTest, ArrowsAndButtonsStepAndReadOnlyBeeps) {
  auto* s = Make<TKWSpinEdit>();
  s->MinValue = 0;
  s->MaxValue = 10;
  s->Increment = 3;
  s->SetValue(9);
  QTest::keyClick(s, Qt::Key_Up);
  EXPECT_EQ(s->CommittedValue(), 12);
  EXPECT_EQ(s->text(), "10");
  QTest::keyClick(s, Qt::Key_Down);  // from the clamped 10
  EXPECT_EQ(s->CommittedValue(), 7);
  form.show();
  QTest::mouseClick(s->Button()->UpButton(), Qt::LeftButton);
  EXPECT_EQ(s->CommittedValue(), 10);
  QTest::mouseClick(s->Button()->DownButton(), Qt::LeftButton);
  EXPECT_EQ(s->CommittedValue(), 7);
  s->setReadOnly(true);
  const int before = changes;
  QTest::keyClick(s, Qt::Key_Up);
  EXPECT_EQ(s->CommittedValue(), 7);
  EXPECT_EQ(changes, before);
  EXPECT_EQ(beeps, 1);
}

TEST_F(SpinTest, LeavingCommitsTheTypedNumber) {
  auto* s = Make<TKWSpinEdit>();
  s->MinValue = 0;
  s->MaxValue = 100;
  s->SetValue(5);
  changes = 0;
  s->setText("150");
  Leave(s);
  EXPECT_EQ(s->CommittedValue(), 150);
  EXPECT_EQ(s->text(), "100");
  EXPECT_EQ(changes, 1);
  s->setText("");
  Leave(s);
  EXPECT_EQ(s->text(), "0");
  EXPECT_EQ(s->CommittedValue(), 0);
}

TEST_F(SpinTest, AFocusLossToAPopupOrAnotherWindowCommitsNothing) {
  auto* s = Make<TKWSpinEdit>();
  s->SetValue(5);
  changes = 0;
  s->setText("9");
  for (Qt::FocusReason r : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
    QFocusEvent out(QEvent::FocusOut, r);
    QApplication::sendEvent(s, &out);
  }
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(s->CommittedValue(), 5);
  QFocusEvent tab(QEvent::FocusOut, Qt::TabFocusReason);
  QApplication::sendEvent(s, &tab);
  EXPECT_EQ(s->CommittedValue(), 9);
}

TEST_F(SpinTest, LeavingWithALoneMinusShowsTheErrorAndKeepsTextAndValue) {
  auto* s = Make<TKWSpinEdit>();
  s->SetValue(8);
  s->setText("-");
  Leave(s);
  QApplication::processEvents();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "'-' is not a valid integer value.");
  EXPECT_EQ(s->text(), "-");
  EXPECT_EQ(s->CommittedValue(), 8);
}

TEST_F(SpinTest, CharKindShowsAutoForZero) {
  auto* s = Make<TKWCharSpinEdit>();
  EXPECT_EQ(s->text(), "Auto");
  s->MinValue = 0;
  s->MaxValue = 999999;
  s->SetValue(4);
  s->SetValue(0);
  EXPECT_EQ(s->text(), "Auto");
  s->setText("");
  QTest::keyClick(s, Qt::Key_Return);
  EXPECT_EQ(s->text(), "Auto");
  EXPECT_EQ(s->CommittedValue(), 0);
  s->setText("x7");  // a garbage text reads as 0, never an error
  EXPECT_EQ(s->Value(), 0);
  s->setText("12");
  Leave(s);
  EXPECT_EQ(s->CommittedValue(), 12);
  s->setText("-");
  Leave(s);
  EXPECT_EQ(s->text(), "Auto");
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(TKWCharSpinEdit::ParseValue("auto"), 0);
  EXPECT_EQ(TKWCharSpinEdit::ParseValue("Auto"), 0);
  EXPECT_EQ(TKWCharSpinEdit::ParseValue("33"), 33);
}

TEST_F(SpinTest, RealKindShowsFixedDecimalsAndCtrlArrowStepsATenth) {
  auto* s = Make<TKWRealSpinEdit>();
  EXPECT_EQ(s->DigAfterPoint, 0);
  s->SetValue(2.4);
  EXPECT_EQ(s->text(), "2");
  EXPECT_DOUBLE_EQ(s->CommittedValue(), 2.4);
  EXPECT_DOUBLE_EQ(s->Value(), 2.4);  // reading does not parse the text
  s->DigAfterPoint = 2;
  s->SetValue(1.0);
  QTest::keyClick(s, Qt::Key_Up, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(s->CommittedValue(), 1.1);
  EXPECT_EQ(s->text(), "1.10");
  QTest::keyClick(s, Qt::Key_Up);
  EXPECT_DOUBLE_EQ(s->CommittedValue(), 2.1);
  s->setText("3.25");
  Leave(s);
  EXPECT_DOUBLE_EQ(s->CommittedValue(), 3.25);
  s->setText("+-");
  Leave(s);
  QApplication::processEvents();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "'+-' is not a valid floating point value.");
  EXPECT_DOUBLE_EQ(s->CommittedValue(), 3.25);
}

TEST_F(SpinTest, HeldButtonRepeatsAfter400ThenEvery100Ms) {
  auto* s = Make<TKWSpinEdit>();
  form.show();
  TTimerSpeedButton* up = s->Button()->UpButton();
  QTest::mousePress(up, Qt::LeftButton);
  ASSERT_NE(up->RepeatTimer(), nullptr);
  EXPECT_TRUE(up->RepeatTimer()->isActive());
  EXPECT_EQ(up->RepeatTimer()->interval(), 400);
  QTest::qWait(450);
  EXPECT_EQ(up->RepeatTimer()->interval(), 100);
  EXPECT_GE(s->CommittedValue(), 1);
  QTest::mouseRelease(up, Qt::LeftButton);
  EXPECT_FALSE(up->RepeatTimer()->isActive());
  EXPECT_TRUE(s->hasFocus());  // a press moves the focus to the edit
}

TEST_F(SpinTest, ButtonPairLayout) {
  TKWSpinButton pair;
  pair.resize(15, 20);
  pair.show();
  EXPECT_EQ(pair.UpButton()->geometry(), QRect(0, 0, 15, 10));
  EXPECT_EQ(pair.DownButton()->geometry(), QRect(0, 9, 15, 12));
  TKWRealSpinButton real;
  real.resize(15, 20);
  real.show();
  EXPECT_EQ(real.DownButton()->geometry(), QRect(0, 9, 15, 11));
}

}  // namespace
