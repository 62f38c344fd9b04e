// The folder picker component: the chosen folder comes back without its
// trailing separator, and Cancel changes nothing.
#include "controls/FolderBrowse.h"

#include <gtest/gtest.h>

#include "platform/qt/FileDialogs.h"
#include "qt/TestApp.h"

TEST(FolderBrowse, PickAndCancel) {
  TestApp();
  TFolderBrowse fb;
  fb.Title = "Choose Library Root Directory";
  fb.Directory = "/start/here";
  std::string asked;
  SetFolderDialogHook([&](const std::string& caption) -> std::optional<std::string> {
    asked = caption;
    return std::nullopt;
  });
  EXPECT_FALSE(fb.Execute());
  EXPECT_EQ(asked, "Choose Library Root Directory");
  EXPECT_EQ(fb.Directory, "/start/here");

  SetFolderDialogHook([](const std::string&) -> std::optional<std::string> { return "/pictures/holiday/"; });
  EXPECT_TRUE(fb.Execute());
  EXPECT_EQ(fb.Directory, "/pictures/holiday");
  SetFolderDialogHook([](const std::string&) -> std::optional<std::string> { return "/"; });
  EXPECT_TRUE(fb.Execute());
  EXPECT_EQ(fb.Directory, "/");
  SetFolderDialogHook(nullptr);
}
