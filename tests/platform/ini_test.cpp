#include "platform/Ini.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/TestSupport.h"

namespace {

class Ini : public ::testing::Test {
 protected:
  TestDir Dir{"ini"};
  std::string File = Dir.File("vt002.ini");
};

TEST_F(Ini, MissingFileReadsDefaults) {
  EXPECT_EQ(IniReadInteger(File, "Render", "Repeat", 3), 3);
  std::string s = "x";
  IniReadString(File, "LastPath", "Lib", s, "dflt");
  EXPECT_EQ(s, "dflt");
  EXPECT_TRUE(IniReadBool(File, "StartUp", "WizardOnStart", true));
  EXPECT_FALSE(FileExists(File));
}

TEST_F(Ini, WritesExactBytesAndRoundTrips) {
  IniWriteString(File, "LayOut", "MainForm", "10,20,810,620");
  IniWriteInteger(File, "Render", "Repeat", -12);
  IniWriteBool(File, "Render", "FixAuto", true);
  IniWriteBool(File, "StartUp", "WizardOnStart", false);
  IniWriteString(File, "LastPath", "Lib", "/home/u/pics/");
  EXPECT_EQ(ReadText(File),
            "[LayOut]\nMainForm=10,20,810,620\n\n"
            "[Render]\nRepeat=-12\nFixAuto=1\n\n"
            "[StartUp]\nWizardOnStart=0\n\n"
            "[LastPath]\nLib=/home/u/pics/\n");
  std::string s;
  IniReadString(File, "LayOut", "MainForm", s, "");
  EXPECT_EQ(s, "10,20,810,620");
  EXPECT_EQ(IniReadInteger(File, "Render", "Repeat", 0), -12);
  EXPECT_TRUE(IniReadBool(File, "Render", "FixAuto", false));
  EXPECT_FALSE(IniReadBool(File, "StartUp", "WizardOnStart", true));
  // Replacing a value changes that line only.
  IniWriteInteger(File, "Render", "Repeat", 4);
  EXPECT_EQ(ReadText(File),
            "[LayOut]\nMainForm=10,20,810,620\n\n"
            "[Render]\nRepeat=4\nFixAuto=1\n\n"
            "[StartUp]\nWizardOnStart=0\n\n"
            "[LastPath]\nLib=/home/u/pics/\n");
}

TEST_F(Ini, SectionsAndKeysIgnoreCase) {
  WriteText(File, "[Render]\nRepeat=7\n");
  EXPECT_EQ(IniReadInteger(File, "RENDER", "repeat", 0), 7);
  IniWriteInteger(File, "render", "REPEAT", 8);
  EXPECT_EQ(ReadText(File), "[Render]\nREPEAT=8\n");
  EXPECT_EQ(IniReadInteger(File, "Render", "Repeat", 0), 8);
}

TEST_F(Ini, CrlfFilesStayCrlfAndOtherLinesAreKept) {
  const std::string original =
      "; written by hand\r\n"
      "[StartUp]\r\n"
      "OpenOnStart=Base\r\n"
      "  odd line without equals\r\n"
      "\r\n"
      "[Render]\r\n"
      "Distance = 5 \r\n"
      "\r\n"
      "[Other]\r\n"
      "Key=Value\r\n";
  WriteText(File, original);
  std::string s;
  IniReadString(File, "StartUp", "OpenOnStart", s, "No");
  EXPECT_EQ(s, "Base");
  EXPECT_EQ(IniReadInteger(File, "Render", "Distance", 0), 5);
  IniWriteInteger(File, "Render", "Repeat", 2);
  IniWriteString(File, "StartUp", "OpenOnStart", "Project");
  EXPECT_EQ(ReadText(File),
            "; written by hand\r\n"
            "[StartUp]\r\n"
            "OpenOnStart=Project\r\n"
            "  odd line without equals\r\n"
            "\r\n"
            "[Render]\r\n"
            "Distance = 5 \r\n"
            "Repeat=2\r\n"
            "\r\n"
            "[Other]\r\n"
            "Key=Value\r\n");
}

TEST_F(Ini, ValueDetails) {
  WriteText(File,
            "[S]\nEmpty=\nQuoted=\"a b\"\nHex=$1F\nBad=12x\nEq=a=b\n;Commented=1\nSpaced = x y \n"
            "[T]\nEmpty=9\n");
  std::string s = "x";
  IniReadString(File, "S", "Empty", s, "dflt");
  EXPECT_EQ(s, "");  // present but empty is not the default
  EXPECT_EQ(IniReadInteger(File, "S", "Empty", 3), 3);
  IniReadString(File, "S", "Quoted", s, "");
  EXPECT_EQ(s, "a b");
  EXPECT_EQ(IniReadInteger(File, "S", "Hex", 0), 31);
  EXPECT_EQ(IniReadInteger(File, "S", "Bad", 6), 6);
  IniReadString(File, "S", "Eq", s, "");
  EXPECT_EQ(s, "a=b");
  EXPECT_EQ(IniReadInteger(File, "S", ";Commented", 0), 0);
  IniReadString(File, "S", "Spaced", s, "");
  EXPECT_EQ(s, "x y");
  EXPECT_EQ(IniReadInteger(File, "T", "Empty", 0), 9);
}

TEST_F(Ini, LineBreaksInValuesCannotAddLines) {
  IniWriteString(File, "S", "K", "one\ntwo=2\r\n[X]");
  EXPECT_EQ(ReadText(File), "[S]\nK=one two=2  [X]\n");
}

TEST_F(Ini, LastLineWithoutBreakAndByteOrderMark) {
  WriteText(File, "\xEF\xBB\xBF[A]\nk=1");
  EXPECT_EQ(IniReadInteger(File, "a", "k", 0), 1);
  IniWriteInteger(File, "A", "k", 2);
  EXPECT_EQ(ReadText(File), "\xEF\xBB\xBF[A]\nk=2");
  IniWriteInteger(File, "B", "k", 3);
  EXPECT_EQ(ReadText(File), "\xEF\xBB\xBF[A]\nk=2\n\n[B]\nk=3");
}

TEST_F(Ini, FailuresAreSwallowedByValueRoutinesButNotByTIniFile) {
  const std::string bad = Dir.File("missing-folder/vt002.ini");
  EXPECT_NO_THROW(IniWriteString(bad, "S", "K", "v"));
  EXPECT_NO_THROW(IniWriteInteger(bad, "S", "K", 1));
  EXPECT_NO_THROW(IniWriteBool(bad, "S", "K", true));
  EXPECT_FALSE(FileExists(bad));
  TIniFile ini(bad);
  try {
    ini.WriteString("S", "K", "v");
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + bad);
  }
  // A folder in place of the file reads as empty.
  EXPECT_EQ(IniReadInteger(Dir.Path(), "S", "K", 4), 4);
}

TEST_F(Ini, SettingsFileLocation) {
  EXPECT_EQ(DefaultSettingsFileName(Dir.Path(), "/x", "/home/u"), Dir.Path() + "vt002.ini");
  const std::string ro = Dir.File("ro");
  std::filesystem::create_directories(ro);
  ::chmod(ro.c_str(), 0555);
  if (::access(ro.c_str(), W_OK) == 0) GTEST_SKIP() << "running with rights that ignore permissions";
  const std::string cfg = Dir.File("cfg");
  EXPECT_EQ(DefaultSettingsFileName(ro, cfg, "/nonexistent"), cfg + "/vitrane/vt002.ini");
  EXPECT_TRUE(DirectoryExists(cfg + "/vitrane"));
  // A relative or empty config home falls back to ~/.config.
  const std::string home = Dir.File("home");
  EXPECT_EQ(DefaultSettingsFileName(ro, "rel", home), home + "/.config/vitrane/vt002.ini");
  EXPECT_EQ(DefaultSettingsFileName(ro, "", home), home + "/.config/vitrane/vt002.ini");
  ::chmod(ro.c_str(), 0755);
}

}  // namespace
