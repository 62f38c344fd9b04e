#include "platform/qt/Application.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "platform/Errors.h"
#include "platform/Hooks.h"
#include "platform/qt/QtHooks.h"
#include "qt/TestApp.h"

namespace {

class Thrower : public QWidget {
 protected:
  void mousePressEvent(QMouseEvent*) override { throw EFileError("Cannot open x.vt2"); }
};

struct AppTest : ::testing::Test {
  std::vector<std::string> shown;
  void SetUp() override {
    TestApp();
    Application->OnException = [this](const std::string& m) { shown.push_back(m); };
  }
  void TearDown() override { Application->OnException = nullptr; }
};

TEST_F(AppTest, AnExceptionFromAnEventHandlerIsShownAndTheProgramGoesOn) {
  Thrower w;
  w.resize(50, 50);
  w.show();
  QTest::mouseClick(&w, Qt::LeftButton);
  QTest::mouseClick(&w, Qt::LeftButton);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "Cannot open x.vt2.");
}

TEST_F(AppTest, AnExceptionFromASlotIsShownAndTheButtonStillWorks) {
  QPushButton b("Go");
  int clicks = 0;
  QObject::connect(&b, &QPushButton::clicked, [&] {
    ++clicks;
    throw std::runtime_error("Out of tiles");
  });
  b.show();
  QTest::mouseClick(&b, Qt::LeftButton);
  QTest::mouseClick(&b, Qt::LeftButton);
  EXPECT_EQ(clicks, 2);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1], "Out of tiles.");
}

TEST_F(AppTest, WithoutAnOverrideTheMessageGoesToAMessageBoxCaptionedWithTheTitle) {
  Application->OnException = nullptr;
  SetMessageBoxHook(nullptr);  // the headless recorder
  ClearHeadlessMessages();
  RunGuarded([] { throw EConvertError("'x' is not a valid integer value"); });
  ASSERT_EQ(HeadlessMessages().size(), 1u);
  EXPECT_EQ(HeadlessMessages()[0].Text, "'x' is not a valid integer value.");
  EXPECT_EQ(HeadlessMessages()[0].Caption, "Vitrane");
  EXPECT_EQ(HeadlessMessages()[0].Flags, unsigned(MB_OK | MB_ICONSTOP));
  InstallQtHooks();
}

TEST(ExceptionMessage, KeepsAFinalFullStopOrOtherPunctuation) {
  auto msg = [](const char* s) { return ExceptionMessage(std::make_exception_ptr(std::runtime_error(s))); };
  EXPECT_EQ(msg("Done."), "Done.");
  EXPECT_EQ(msg("Save?"), "Save?.");  // "?" sorts after "."
  EXPECT_EQ(msg("(see log)"), "(see log)");
  EXPECT_EQ(msg("ok"), "ok.");
  EXPECT_EQ(msg(""), "");
  EXPECT_EQ(ExceptionMessage(std::make_exception_ptr(42)), "Unknown exception.");
}

TEST(QtHooks, PostedExceptionIsShownFromTheEventLoop) {
  TestApp();
  std::vector<std::string> shown;
  Application->OnException = [&](const std::string& m) { shown.push_back(m); };
  Application->PostException(std::make_exception_ptr(std::runtime_error("later")));
  EXPECT_TRUE(shown.empty());
  ProcessMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "later.");
  Application->OnException = nullptr;
}

}  // namespace
