// A dialog test over a scratch folder and settings file, with every message
// box recorded and answered (Answer, or the box's default button).
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "common/ScratchDir.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "qt/TestApp.h"

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    SettingsFileName = Dir / "vt002.ini";
    SetMessageBoxHook([this](const MessageBoxRequest& r) {
      Boxes.push_back(r);
      return Answer ? Answer : DefaultAnswer(r);
    });
  }
  void TearDown() override { SetMessageBoxHook(nullptr); }

  ScratchDir Dir{"dlg"};
  std::vector<MessageBoxRequest> Boxes;
  int Answer = 0;
};
