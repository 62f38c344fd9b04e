#include "tiledb/FolderScan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class FolderScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("VT_TEST_TMP");
    fs::path parent = base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(parent);
    std::string pattern = (parent / "scanXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    FRoot = pattern;
  }
  void TearDown() override { fs::remove_all(FRoot); }

  void Touch(const std::string& rel) {
    const fs::path p = fs::path(FRoot) / rel;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
  }
  std::string At(const std::string& rel) const { return FRoot + "/" + rel; }

  std::string FRoot;
};

TEST(FolderScanNames, JoinPathAddsOneDelimiter) {
  EXPECT_EQ(JoinPath("/a/b", "c.jpg"), "/a/b/c.jpg");
  EXPECT_EQ(JoinPath("/a/b/", "c.jpg"), "/a/b/c.jpg");
}

TEST(FolderScanNames, ExtensionIsASubstringOfTheList) {
  EXPECT_TRUE(ExtensionListed("/p/a.jpg", ".JPG"));
  EXPECT_TRUE(ExtensionListed("/p/a.Jp", ".JPG"));  // ".JP" occurs in ".JPG"
  EXPECT_TRUE(ExtensionListed("/p/a.BMP", ".JPG.BMP"));
  EXPECT_TRUE(ExtensionListed("/p/a.G.B", ".JPG.BMP"));  // ".B" occurs too
  EXPECT_FALSE(ExtensionListed("/p/a.png", ".JPG.BMP"));
  EXPECT_FALSE(ExtensionListed("/p/noext", ".JPG"));
  EXPECT_FALSE(ExtensionListed("/p.jpg/noext", ".JPG"));  // a dot in the folder is no extension
  EXPECT_FALSE(ExtensionListed("/p/a.jpg", ""));
}

TEST_F(FolderScanTest, FilesFirstThenSubfoldersInByteOrder) {
  Touch("b.jpg");
  Touch("B.jpg");
  Touch("a.JPG");
  Touch("z/c.jpg");
  Touch("sub/d.jpg");
  Touch("sub/deeper/e.jpg");
  Touch("\xe9t\xe9.jpg");  // not UTF-8: still a name like any other
  Touch("noext");
  Touch("a.png");
  Touch(".hidden.jpg");
  const std::vector<std::string> expected = {At("B.jpg"),         At("a.JPG"),     At("b.jpg"),
                                             At("\xe9t\xe9.jpg"), At("sub/d.jpg"), At("sub/deeper/e.jpg"),
                                             At("z/c.jpg")};
  EXPECT_EQ(ListPictureFiles(FRoot, ".JPG", true), expected);
  EXPECT_EQ(ListPictureFiles(FRoot + "/", ".JPG", false),
            (std::vector<std::string>{At("B.jpg"), At("a.JPG"), At("b.jpg"), At("\xe9t\xe9.jpg")}));
}

TEST_F(FolderScanTest, RecycledFoldersInCapitalsOnly) {
  Touch("RECYCLED/a.jpg");
  Touch("RECYCLED/inner/b.jpg");
  Touch("xRECYCLEDx/c.jpg");
  Touch("Recycled/d.jpg");
  Touch("RECYCLED.jpg");  // only folder paths are tested
  EXPECT_EQ(ListPictureFiles(FRoot, ".JPG", true),
            (std::vector<std::string>{At("RECYCLED.jpg"), At("Recycled/d.jpg")}));
}

TEST_F(FolderScanTest, LinkLoopsEndAndLinkedFilesCount) {
  Touch("a/x.jpg");
  fs::create_directory_symlink(FRoot + "/a", FRoot + "/a/loop");
  fs::create_directory_symlink(FRoot, FRoot + "/a/up");
  fs::create_symlink(FRoot + "/a/x.jpg", FRoot + "/link.jpg");
  fs::create_symlink(FRoot + "/missing.jpg", FRoot + "/dangling.jpg");
  ASSERT_EQ(mkfifo((FRoot + "/pipe.jpg").c_str(), 0600), 0);
  EXPECT_EQ(ListPictureFiles(FRoot, ".JPG", true), (std::vector<std::string>{At("link.jpg"), At("a/x.jpg")}));
}

TEST_F(FolderScanTest, MissingFolderGivesNothing) {
  EXPECT_TRUE(ListPictureFiles(FRoot + "/nowhere", ".JPG", true).empty());
}

}  // namespace
