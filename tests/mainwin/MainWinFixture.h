// A main window over a scratch settings file, with a library and a project
// made by the tests through the tables themselves.
#pragma once
#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <memory>
#include <vector>

#include "common/ScratchDir.h"
#include "mainwin/v2main.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Jpeg.h"
#include "platform/qt/FileDialogs.h"
#include "qt/TestApp.h"
#include "mosaic/MosaicTables.h"

namespace mwtest {

class MainWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    SettingsFileName = Dir / "vt002.ini";
    SetMessageBoxHook([this](const MessageBoxRequest& r) {
      Boxes.push_back(r);
      return Answer ? Answer : DefaultAnswer(r);
    });
    LongOperationRunning = false;
    WizardShownOnce = true;
  }
  void TearDown() override {
    Form.reset();
    SetMessageBoxHook(nullptr);
    SetFileDialogHook(nullptr);
  }
  TForm1& NewForm() {
    Form.reset();  // the old window writes its settings before the new one reads them
    Form = std::make_unique<TForm1>();
    return *Form;
  }
  std::string Ini(const std::string& section, const std::string& key) const {
    std::string v;
    IniReadString(SettingsFileName, section, key, v, "<missing>");
    return v;
  }

  ScratchDir Dir{"mw"};
  std::unique_ptr<TForm1> Form;
  std::vector<MessageBoxRequest> Boxes;
  int Answer = 0;
};

}  // namespace mwtest
