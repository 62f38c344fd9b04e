// The about box: the paths its creation fixes, its texts and its links.
#include "dialogs/MySplash.h"

#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/ScratchDir.h"
#include "controls/MultiTwain.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/qt/Desktop.h"
#include "qt/TestApp.h"

TEST(SplashForm, CreationFixesFolderAndSettingsPath) {
  TestApp();
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  SettingsFileName.clear();
  TSplashForm splash;
  // Started from another folder, the program still finds its help beside
  // itself; its settings are in the user's configuration folder.
  EXPECT_EQ(IncludeTrailingPathDelimiter(std::filesystem::current_path().string()), ProgramFolder());
  EXPECT_EQ(SettingsFileName, std::string(std::getenv("XDG_CONFIG_HOME")) + "/vitrane/vt002.ini");
  EXPECT_EQ(Application->HelpFile, ProgramFolder() + "Vitrane.hlp");
  EXPECT_EQ(splash.Label4->text().toStdString(), "V 2.7 (d)");
  std::filesystem::current_path(before);
}

TEST(SplashForm, LinksGoToTheDesktopAndAClickCloses) {
  TestApp();
  TSplashForm splash;
  std::vector<std::string> opened;
  SetShellOpenHook([&](const std::string& s) {
    opened.push_back(s);
    return true;
  });
  splash.show();
  QTest::mouseClick(splash.Label7, Qt::LeftButton);
  QTest::mouseClick(splash.Label3, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], TSplashForm::WebAddress);
  EXPECT_EQ(opened[1].rfind("mailto:", 0), 0u);
  EXPECT_TRUE(splash.isVisible());
  QTest::mouseClick(splash.Image1, Qt::LeftButton);
  EXPECT_FALSE(splash.isVisible());
  SetShellOpenHook(nullptr);
}

namespace {
std::string MappedFiles() {
  std::ifstream maps("/proc/self/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str();
}
}  // namespace

TEST(SplashForm, WithoutTheProgramsFileNothingIsTakenFromTheCurrentFolder) {
  TestApp();
  const auto before = std::filesystem::current_path();
  ScratchDir dir("nofolder");
  // What a stranger may leave in the folder the program is started from: a
  // settings file, help pages and a loadable module under the scanner
  // manager's name (a copy of a library this program has mapped already).
  { std::ofstream(dir / "vt002.ini") << "[StartUp]\nOpenOnStart=Project\n"; }
  std::filesystem::create_directories(dir / "help");
  { std::ofstream(dir / "help/contents.html") << "<html></html>"; }
  const std::string maps = MappedFiles();
  const size_t at = maps.find("/libz.so");
  ASSERT_NE(at, std::string::npos);
  const size_t from = maps.rfind(' ', at) + 1;
  const std::string libz = maps.substr(from, maps.find('\n', at) - from);
  std::filesystem::copy_file(libz, dir / TwainManagerFileName);
  std::filesystem::current_path(dir.Path());

  SetProgramFileLink(dir / "no-such-link");
  EXPECT_EQ(ProgramFolder(), "");
  SettingsFileName.clear();
  {
    TSplashForm splash;
    EXPECT_EQ(std::filesystem::current_path().string() + "/", dir.Path());
    EXPECT_EQ(SettingsFileName, std::string(std::getenv("XDG_CONFIG_HOME")) + "/vitrane/vt002.ini");
    EXPECT_EQ(Application->HelpFile, "");
  }
  std::vector<std::string> opened;
  SetShellOpenHook([&](const std::string& s) {
    opened.push_back(s);
    return true;
  });
  std::vector<MessageBoxRequest> boxes;
  SetMessageBoxHook([&](const MessageBoxRequest& r) {
    boxes.push_back(r);
    return IDOK;
  });
  EXPECT_EQ(TwainAcquireDib(nullptr, 0), nullptr);
  EXPECT_EQ(MappedFiles().find(dir / TwainManagerFileName), std::string::npos);
  ShowHelpContents();
  EXPECT_TRUE(opened.empty());
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].Text, "Unable to load Source Manager (TWAIN_32.DLL)");
  EXPECT_EQ(boxes[1].Text.rfind("Cannot find the help file", 0), 0u);

  SetMessageBoxHook(nullptr);
  SetShellOpenHook(nullptr);
  SetProgramFileLink("");
  std::filesystem::current_path(before);
}
