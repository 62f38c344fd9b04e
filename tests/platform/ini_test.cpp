#include "platform/Ini.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

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
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + bad + " (No such file or directory)");
  }
  // A folder in place of the file reads as empty.
  EXPECT_EQ(IniReadInteger(Dir.Path(), "S", "K", 4), 4);
}

TEST_F(Ini, SettingsFileLocation) {
  const std::string cfg = Dir.File("cfg");
  const std::string home = Dir.File("home");
  // The program's folder holds the settings only when they are already there
  // (a portable install); otherwise they go to the user's configuration folder.
  EXPECT_EQ(DefaultSettingsFileName(Dir.Path(), cfg, home), cfg + "/vitrane/vt002.ini");
  EXPECT_TRUE(DirectoryExists(cfg + "/vitrane"));
  WriteText(File, "");
  EXPECT_EQ(DefaultSettingsFileName(Dir.Path(), cfg, home), File);
  // No program folder (its file could not be found): never the current one.
  EXPECT_EQ(DefaultSettingsFileName("", cfg, home), cfg + "/vitrane/vt002.ini");
  // A relative or empty config home falls back to ~/.config; with no home
  // either there is nowhere to keep settings.
  EXPECT_EQ(DefaultSettingsFileName("", "rel", home), home + "/.config/vitrane/vt002.ini");
  EXPECT_EQ(DefaultSettingsFileName("", "", home), home + "/.config/vitrane/vt002.ini");
  EXPECT_EQ(DefaultSettingsFileName("", "", ""), "");
  // ... and then nothing is read or written, and nothing lands in the current folder.
  EXPECT_EQ(IniReadInteger("", "S", "K", 5), 5);
  EXPECT_THROW(TIniFile("").WriteString("S", "K", "v"), EFileError);
  EXPECT_FALSE(FileExists(".lock"));
}

TEST_F(Ini, FileDialogsStartInPicturesOrHome) {
  const std::string home = Dir.File("home");
  std::filesystem::create_directories(home);
  EXPECT_EQ(DefaultDialogFolder(home), home + "/");
  std::filesystem::create_directories(home + "/Pictures");
  EXPECT_EQ(DefaultDialogFolder(home + "/"), home + "/Pictures/");
  EXPECT_EQ(DefaultDialogFolder(""), "");
}

// Sets the file's modification time well into the past, as a settings file
// written at the last exit has it.
void Settle(const std::string& fileName) {
  timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, fileName.c_str(), times, 0), 0);
}

TEST_F(Ini, AChangeByAnyoneIsSeenByTheNextRead) {
  WriteText(File, "[S]\nK=1\n[s]\nK=9\n");
  Settle(File);
  EXPECT_EQ(IniReadInteger(File, "s", "k", 0), 1);  // the first section of a name
  // Rewritten in place to the same length, its time then put back.
  WriteText(File, "[S]\nK=2\n[s]\nK=9\n");
  Settle(File);
  EXPECT_EQ(IniReadInteger(File, "S", "K", 0), 2);
  // Another process's write, then our own.
  const pid_t child = ::fork();
  if (child == 0) {
    IniWriteInteger(File, "S", "K", 3);
    ::_exit(0);
  }
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  EXPECT_EQ(IniReadInteger(File, "S", "K", 0), 3);
  IniWriteInteger(File, "S", "L", 4);
  EXPECT_EQ(IniReadInteger(File, "S", "L", 0), 4);
}

TEST_F(Ini, AFileOverFourMegabytesIsNeitherReadNorWritten) {
  // Exactly the limit is read; its last key counts.
  std::string text = "[S]\nK=1\n;";
  const std::string tail = "\n[T]\nK=2\n";
  text += std::string(size_t(kMaxSettingsBytes) - text.size() - tail.size(), 'x') + tail;
  ASSERT_EQ(int64_t(text.size()), kMaxSettingsBytes);
  WriteText(File, text);
  EXPECT_EQ(IniReadInteger(File, "T", "K", 0), 2);
  // One byte more: empty to the reads, and the writers leave it as it is.
  WriteText(File, text + "\n");
  EXPECT_EQ(IniReadInteger(File, "S", "K", 0), 0);
  EXPECT_EQ(IniReadInteger(File, "T", "K", 0), 0);
  IniWriteInteger(File, "S", "K", 3);
  try {
    TIniFile(File).WriteInteger("S", "K", 3);
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + File + " (File too large)");
  }
  EXPECT_EQ(ReadText(File), text + "\n");
  EXPECT_FALSE(FileExists(File + ".tmp"));
  // A pipe in its place reads as empty at once.
  ASSERT_TRUE(DeleteFile(File));
  ASSERT_EQ(::mkfifo(File.c_str(), 0600), 0);
  EXPECT_EQ(IniReadInteger(File, "S", "K", 6), 6);
}

// Writes keys prefix0..prefix(n-1), each with its own number, one call each.
void WriteKeys(const std::string& file, const std::string& prefix, int n) {
  for (int i = 0; i < n; ++i) IniWriteInteger(file, "Race", prefix + std::to_string(i), 1000 + i);
}

TEST_F(Ini, TwoProcessesWritingAtOnceLoseNoKey) {
  // An existing section of another kind that both must keep.
  IniWriteString(File, "Other", "Keep", "me");
  constexpr int kKeys = 150;
  pid_t children[2];
  const char* prefixes[2] = {"a", "b"};
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      WriteKeys(File, prefixes[c], kKeys);
      ::_exit(0);
    }
  }
  // Meanwhile the file is only ever a whole version: it never shrinks and
  // always holds the other section.
  size_t last = 0, looks = 0;
  bool done[2] = {false, false};
  while (!done[0] || !done[1]) {
    for (int c = 0; c < 2; ++c) {
      int status = 0;
      if (!done[c] && ::waitpid(children[c], &status, WNOHANG) == children[c]) {
        done[c] = true;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
      }
    }
    const std::string text = ReadText(File);
    ++looks;
    EXPECT_GE(text.size(), last);
    EXPECT_NE(text.find("[Other]\nKeep=me\n"), std::string::npos);
    last = std::max(last, text.size());
  }
  EXPECT_GT(looks, 1u);
  for (const char* prefix : prefixes)
    for (int i = 0; i < kKeys; ++i)
      EXPECT_EQ(IniReadInteger(File, "Race", prefix + std::to_string(i), 0), 1000 + i) << prefix << i;
  std::string keep;
  IniReadString(File, "Other", "Keep", keep, "");
  EXPECT_EQ(keep, "me");
  EXPECT_FALSE(FileExists(File + ".tmp"));
}

}  // namespace
