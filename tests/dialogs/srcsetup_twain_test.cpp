// The source setup's scanner commands through our source manager module and
// SANE's "test" device, which makes pictures without hardware. The setup is
// shown modally, as the main window shows it, and every window on the way
// (its menu, the source chooser, the scan dialog) is worked with the mouse
// and the keyboard through the window system: a window left behind a modal
// one receives nothing, as on the screen.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

#include "common/ScratchDir.h"
#include "controls/MultiTwain.h"
#include "dialogs/SrcSetup.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "qt/InputEvents.h"
#include "qt/TestApp.h"
#include "tiledb/LibraryMaker.h"

namespace {

QWidget* ShownWindow(const QString& name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == name && w->isVisible()) return w;
  return nullptr;
}

// Acts on the top-level window named name once it is shown, from the event
// loop that is waiting for it.
void WhenShown(const QString& name, std::function<void(QWidget*)> act) {
  QMetaObject::invokeMethod(
      qApp,
      [=] {
        if (QWidget* w = ShownWindow(name)) return act(w);
        WhenShown(name, act);
      },
      Qt::QueuedConnection);
}

// What a scan dialog was like while it was up.
struct TScanSeen {
  QString Device, Status;
  bool Modal = false, Focused = false, OverProxy = false, ProxyOverSetup = false, Centred = false,
       Stuck = false;
};

class SrcSetupTwainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    // SANE unloads its backend at every sane_exit, and the leak checker then
    // counts the strings the backend still holds as lost; kept loaded, they
    // stay reachable.
    static void* keep = dlopen(VT_SANE_BACKEND_DIR "/libsane-test.so.1", RTLD_NOW | RTLD_NODELETE);
    (void)keep;
    // SANE reads its configuration from here: only the test backend, with
    // two devices scanning white 25 x 50 mm pages at 16 bits a sample.
    std::ofstream(Dir / "dll.conf") << "test\n";
    std::ofstream(Dir / "test.conf") << "number_of_devices 2\ndepth 16\ntest-picture \"Solid white\"\n"
                                        "br_x 25.0\nbr_y 50.0\n";
    setenv("SANE_CONFIG_DIR", Dir.Path().c_str(), 1);
    // The manager keeps the chosen source in the user's settings folder.
    setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
    TwainSetManagerPath(VT_TWAIN_MODULE);
    SettingsFileName = Dir / "vt002.ini";
    SetMessageBoxHook([this](const MessageBoxRequest& r) {
      Boxes.push_back(r.Text);
      return IDOK;
    });
    vttest::MakeLibrary(Dir / "lib.vt2");
    Library.SetBaseName(Dir / "lib.vt2");
    Setup = std::make_unique<TSrcSetup>(Library);
  }
  void TearDown() override {
    Setup.reset();
    SetMessageBoxHook(nullptr);
    TwainSetManagerPath("");
  }

  // Runs steps with the setup shown modally; the setup is closed after them.
  void InSetup(std::function<void()> steps) {
    QMetaObject::invokeMethod(
        qApp,
        [this, steps] {
          steps();
          Click(Setup->BitBtn3);  // "Cancel"
        },
        Qt::QueuedConnection);
    Setup->exec();
  }

  // Opens the setup's menu that holds the command and clicks the command.
  void ChooseFromMenu(QAction* command) {
    QMenuBar* bar = Setup->MainMenu1;
    for (QAction* title : bar->actions()) {
      QMenu* menu = title->menu();
      if (!menu || !menu->actions().contains(command)) continue;
      ClickAt(bar, bar->actionGeometry(title).center());
      ASSERT_TRUE(menu->isVisible());
      ClickAt(menu, menu->actionGeometry(command).center());
      return;
    }
    FAIL() << "no menu holds " << command->text().toStdString();
  }

  // Acquires through the scan dialog: its mode chosen by typing the mode's
  // first letter into the mode box (which has the focus), Tab to the
  // resolution, the resolution typed, Enter for "Scan". Returns what the
  // dialog was like.
  TScanSeen ScanWith(char mode, int dpi) {
    return Acquire([=](QWidget* dlg) {
      PressKey(dlg, Qt::Key(mode));
      PressKey(dlg, Qt::Key_Tab);
      for (char c : std::to_string(dpi)) QTest::keyClick(dlg->windowHandle(), c);
      PressKey(dlg, Qt::Key_Return);
    });
  }
  TScanSeen Acquire(std::function<void(QWidget*)> work) {
    auto seen = std::make_shared<TScanSeen>();
    WhenShown("ScanDialog", [this, seen, work](QWidget* dlg) {
      seen->Device = dlg->findChild<QLabel*>("Device")->text();
      seen->Modal = dlg->windowModality() == Qt::ApplicationModal && QApplication::activeModalWidget() == dlg;
      QApplication::processEvents();  // the window system's activation
      seen->Focused = QGuiApplication::focusWindow() == dlg->windowHandle();
      QWidget* proxy = nullptr;
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle() == "Acquire Proxy" && w->isVisible()) proxy = w;
      seen->OverProxy = proxy && dlg->windowHandle()->transientParent() == proxy->windowHandle();
      seen->ProxyOverSetup = proxy && proxy->windowHandle()->transientParent() == Setup->windowHandle();
      // Centred over it, give or take the window frame.
      const QPoint off = proxy ? dlg->geometry().center() - proxy->geometry().center() : QPoint(99, 99);
      seen->Centred = std::abs(off.x()) <= 3 && std::abs(off.y()) <= 3;
      QPointer<QWidget> alive = dlg;
      auto* status = dlg->findChild<QLabel*>("Status");
      work(dlg);
      if (alive) seen->Status = status->text();
      // Input that never reached the dialog leaves the session waiting:
      // it is ended from here, and the scan counts as failed.
      QMetaObject::invokeMethod(
          qApp,
          [seen, alive] {
            if (alive && TwainImageCount() == 0 && alive->isVisible()) {
              seen->Stuck = true;
              static_cast<QDialog*>(alive.data())->reject();
            }
          },
          Qt::QueuedConnection);
    });
    ChooseFromMenu(Setup->Aquire1);
    return *seen;
  }

  ScratchDir Dir{"twain"};
  TVTData Library;
  std::unique_ptr<TSrcSetup> Setup;
  std::vector<std::string> Boxes;
};

TEST_F(SrcSetupTwainTest, AScanIsFinishedFromTheModalSetup) {
  InSetup([this] {
    EXPECT_EQ(QApplication::activeModalWidget(), Setup.get());
    // The chooser lists SANE's devices; the one clicked becomes the default.
    QStringList listed;
    bool chooserOnTop = false;
    WhenShown("SelectSource", [&](QWidget* dlg) {
      chooserOnTop = QApplication::activeModalWidget() == dlg;
      auto* list = dlg->findChild<QListWidget*>("SourceList");
      for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text().section(' ', 0, 0);
      ClickAt(list->viewport(), list->visualItemRect(list->item(1)).center());
      Click(dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
    });
    ChooseFromMenu(Setup->TWAINsetup1);
    EXPECT_EQ(listed, (QStringList{"test:0", "test:1"}));
    EXPECT_TRUE(chooserOnTop);

    const TScanSeen colour = ScanWith('C', 127);
    EXPECT_FALSE(colour.Stuck);
    EXPECT_TRUE(colour.Modal);
    EXPECT_TRUE(colour.Focused);
    EXPECT_TRUE(colour.OverProxy);
    EXPECT_TRUE(colour.ProxyOverSetup);
    EXPECT_TRUE(colour.Centred);
    EXPECT_EQ(colour.Device, "test:1");
    EXPECT_EQ(colour.Status, "");
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(TwainGetState(), 1);
    EXPECT_EQ(QApplication::activeModalWidget(), Setup.get());  // the setup is in charge again
    const Bitmap24& pic = Setup->CropImage1->Picture();
    ASSERT_EQ(pic.Width(), 125);  // 25 x 50 mm at 127 dpi
    ASSERT_EQ(pic.Height(), 250);
    EXPECT_EQ(pic.Pixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(pic.Pixel(124, 249), RGB(255, 255, 255));
    EXPECT_EQ(Setup->StatusText(), "Not saved image from TWAIN");
    EXPECT_TRUE(Setup->CropImage1->PictureFileName().empty());
    EXPECT_EQ(TwainImageCount(), 1);
    EXPECT_EQ(TwainImageHandle(0), nullptr);  // freed once shown

    // Grey at another resolution.
    EXPECT_FALSE(ScanWith('G', 50).Stuck);
    EXPECT_EQ(Setup->CropImage1->Picture().Width(), 49);
    EXPECT_EQ(Setup->CropImage1->Picture().Height(), 98);

    // Esc in the scan dialog, then its Cancel button: no picture, the old
    // one stays.
    Setup->SetStatusText("kept");
    EXPECT_FALSE(Acquire([](QWidget* dlg) { PressKey(dlg, Qt::Key_Escape); }).Stuck);
    EXPECT_FALSE(Acquire([](QWidget* dlg) { Click(dlg->findChild<QPushButton*>("CancelButton")); }).Stuck);
    EXPECT_EQ(TwainImageCount(), 0);
    EXPECT_EQ(Setup->CropImage1->Picture().Width(), 49);
    EXPECT_EQ(Setup->StatusText(), "kept");
    EXPECT_TRUE(Boxes.empty());
  });
  EXPECT_FALSE(Setup->isVisible());
}

}  // namespace
