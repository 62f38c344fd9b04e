// The source setup's scanner commands through our source manager module and
// SANE's "test" device, which makes pictures without hardware.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "common/ScratchDir.h"
#include "controls/MultiTwain.h"
#include "dialogs/SrcSetup.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "qt/TestApp.h"
#include "tiledb/LibraryMaker.h"

namespace {

// Acts on the top-level window named name once it is shown, from the event
// loop that is waiting for it.
void WhenShown(const QString& name, std::function<void(QWidget*)> act) {
  QMetaObject::invokeMethod(
      qApp,
      [=] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (w->objectName() == name && w->isVisible()) return act(w);
        WhenShown(name, act);
      },
      Qt::QueuedConnection);
}

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
    Setup->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    Setup.reset();
    SetMessageBoxHook(nullptr);
    TwainSetManagerPath("");
  }
  // Acquires with the scan dialog set to the mode and resolution.
  void ScanWith(const QString& mode, int dpi) {
    WhenShown("ScanDialog", [=, this](QWidget* dlg) {
      DeviceShown = dlg->findChild<QLabel*>("Device")->text();
      auto* m = dlg->findChild<QComboBox*>("Mode");
      m->setCurrentIndex(m->findText(mode));
      dlg->findChild<QSpinBox*>("Resolution")->setValue(dpi);
      dlg->findChild<QPushButton*>("ScanButton")->click();
      ScanStatus = dlg->findChild<QLabel*>("Status")->text();
    });
    Setup->Aquire1->trigger();
  }

  ScratchDir Dir{"twain"};
  TVTData Library;
  std::unique_ptr<TSrcSetup> Setup;
  std::vector<std::string> Boxes;
  QString DeviceShown, ScanStatus;
};

TEST_F(SrcSetupTwainTest, ChosenDeviceScansIntoTheSetup) {
  EXPECT_TRUE(Setup->TWAINsetup1->isEnabled());
  EXPECT_TRUE(Setup->Aquire1->isEnabled());

  // The chooser lists SANE's devices; the one chosen becomes the default.
  QStringList listed;
  WhenShown("SelectSource", [&](QWidget* dlg) {
    auto* list = dlg->findChild<QListWidget*>("SourceList");
    for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text().section(' ', 0, 0);
    list->setCurrentRow(1);
    dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  Setup->TWAINsetup1->trigger();
  EXPECT_EQ(listed, (QStringList{"test:0", "test:1"}));

  ScanWith("Colour", 127);
  EXPECT_EQ(ScanStatus, "");
  EXPECT_EQ(DeviceShown, "test:1");
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(TwainGetState(), 1);
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
  ScanWith("Grey", 50);
  EXPECT_EQ(Setup->CropImage1->Picture().Width(), 49);
  EXPECT_EQ(Setup->CropImage1->Picture().Height(), 98);

  // Cancel in the scan dialog: no picture, the old one stays.
  Setup->SetStatusText("kept");
  WhenShown("ScanDialog", [](QWidget* dlg) { dlg->findChild<QPushButton*>("CancelButton")->click(); });
  Setup->Aquire1->trigger();
  EXPECT_EQ(TwainImageCount(), 0);
  EXPECT_EQ(Setup->CropImage1->Picture().Width(), 49);
  EXPECT_EQ(Setup->StatusText(), "kept");
  EXPECT_TRUE(Boxes.empty());
}

}  // namespace
