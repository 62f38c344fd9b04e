// The about box: the paths its creation fixes, its texts and its links.
#include "dialogs/MySplash.h"

#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>

#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/qt/Desktop.h"
#include "qt/TestApp.h"

TEST(SplashForm, CreationFixesFolderAndSettingsPath) {
  TestApp();
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  SettingsFileName.clear();
  TSplashForm splash;
  // Started from another folder, the program still keeps its settings beside itself.
  EXPECT_EQ(IncludeTrailingPathDelimiter(std::filesystem::current_path().string()), ProgramFolder());
  EXPECT_EQ(SettingsFileName, DefaultSettingsFileName());
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
