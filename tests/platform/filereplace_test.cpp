// Replacing a file: the old one survives every failure (no room, a failed
// flush, a target that is a folder, a folder that is missing), a link planted
// where the temporary goes is never written through, two writers of one file
// never spoil each other's save, and the temporary folder is cleaned of the
// work files of dead runs only.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>

#include "common/SaveTraps.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/TestSupport.h"
#include "platform/WorkFiles.h"

namespace {

using savetraps::FileErrorOf;
using savetraps::Leftovers;

bool FlushFails(int) {
  errno = EIO;
  return false;
}

TEST(FileReplace, EveryFailureLeavesTheOldFileAndNoTemporary) {
  TestDir dir("replace-fail");
  savetraps::HooksReset reset;
  const std::string f = dir.File("project.vtp");
  WriteText(f, "old");

  SetFileWriteHooks({savetraps::NoRoomAnywhere, nullptr});
  EXPECT_EQ(FileErrorOf([&] { WriteFileReplacing(f, {1, 2, 3}); }),
            "Unable to write to " + f + " (No space left on device)");
  EXPECT_EQ(ReadText(f), "old");
  EXPECT_TRUE(Leftovers(dir.Path()).empty());

  SetFileWriteHooks({nullptr, FlushFails});
  EXPECT_EQ(FileErrorOf([&] { WriteFileReplacing(f, {1, 2, 3}); }),
            "Unable to write to " + f + " (Input/output error)");
  EXPECT_EQ(ReadText(f), "old");
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
  SetFileWriteHooks({});

  // A folder in the target's place cannot be renamed over.
  const std::string folder = dir.File("folder");
  std::filesystem::create_directories(folder + "/inside");
  EXPECT_EQ(FileErrorOf([&] { WriteFileReplacing(folder, {1}); }),
            "Unable to write to " + folder + " (Is a directory)");
  EXPECT_TRUE(DirectoryExists(folder + "/inside"));
  EXPECT_TRUE(Leftovers(dir.Path()).empty());

  const std::string missing = dir.File("no/such.vtp");
  EXPECT_EQ(FileErrorOf([&] { WriteFileReplacing(missing, {1}); }),
            "Cannot create file \"" + missing + "\". No such file or directory");

  // A read-only folder (root writes anywhere, so only checked for users).
  if (::geteuid() != 0) {
    const std::string ro = dir.File("ro");
    std::filesystem::create_directories(ro);
    WriteText(ro + "/pic.bmp", "old");
    ::chmod(ro.c_str(), 0555);
    EXPECT_EQ(FileErrorOf([&] { WriteFileReplacing(ro + "/pic.bmp", {1}); }),
              "Cannot create file \"" + ro + "/pic.bmp\". Permission denied");
    ::chmod(ro.c_str(), 0755);
    EXPECT_EQ(ReadText(ro + "/pic.bmp"), "old");
  }
}

TEST(FileReplace, ALinkPlantedWhereTheTemporaryGoesIsNeverFollowed) {
  TestDir dir("replace-links");
  savetraps::PlantedLinks links(dir.File("victim"), "the user's other file");
  const std::string f = dir.File("mosaic.bmp");
  WriteText(f, "old");
  ::chmod(f.c_str(), 0640);
  links.Plant(f);
  WriteFileReplacing(f, {'n', 'e', 'w'});
  EXPECT_EQ(ReadText(f), "new");
  EXPECT_FALSE(std::filesystem::is_symlink(f));
  struct stat st {};
  ASSERT_EQ(::stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  links.ExpectUntouched();

  // The settings writer goes through the routine.
  const std::string ini = dir.File("vt002.ini");
  links.Plant(ini);
  IniWriteString(ini, "LayOut", "MainForm", "1,2,3,4");
  links.ExpectUntouched();
  std::string value;
  IniReadString(ini, "LayOut", "MainForm", value, "");
  EXPECT_EQ(value, "1,2,3,4");
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

TEST(FileReplace, TwoWritersOfOneFileNeverSpoilEachOthersSave) {
  TestDir dir("replace-two");
  const std::string f = dir.File("vt002.ini");
  const std::string a(20000, 'a'), b(30000, 'b');
  WriteText(f, a);
  pid_t writers[2];
  for (int w = 0; w < 2; ++w) {
    writers[w] = ::fork();
    ASSERT_GE(writers[w], 0);
    if (writers[w] == 0) {
      SetFlushOnReplace(false);
      const std::string& mine = w == 0 ? a : b;
      for (int i = 0; i < 300; ++i) WriteFileReplacing(f, std::vector<uint8_t>(mine.begin(), mine.end()));
      ::_exit(0);
    }
  }
  // Whatever moment it is read at, the file is one writer's whole text.
  int reads = 0, bad = 0;
  for (int done = 0; done < 2;) {
    const std::string now = ReadText(f);
    bad += now != a && now != b;
    ++reads;
    int status = 0;
    for (pid_t& p : writers)
      if (p > 0 && ::waitpid(p, &status, WNOHANG) == p) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
        p = 0;
        ++done;
      }
  }
  EXPECT_EQ(bad, 0) << "of " << reads << " reads";
  EXPECT_TRUE(Leftovers(dir.Path()).empty());
}

TEST(FileReplace, OnlyTheWorkFilesOfDeadRunsAreRemoved) {
  TestDir dir("replace-tempdir");
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", dir.Path().c_str(), 1);

  // A child that has ended: its process id runs no more.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string dead = "vt" + std::to_string(child) + "-a8Xk2Q";
  const std::string live = "vt" + std::to_string(::getppid()) + "-b9Yl3R";
  const std::string mine = MakeTempFileName("vt");
  EXPECT_EQ(ExtractFileName(mine).rfind("vt" + std::to_string(::getpid()) + "-", 0), 0u);
  for (const char* other : {"vtnotours", "vt123", "other-a8Xk2Q"}) WriteText(dir.File(other), "x");
  WriteText(dir.File(dead), "work");
  WriteText(dir.File(live), "work");

  EXPECT_EQ(RemoveStaleTempFiles("vt"), 1);
  if (old)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
  EXPECT_FALSE(FileExists(dir.File(dead)));
  EXPECT_TRUE(FileExists(dir.File(live)));
  EXPECT_TRUE(FileExists(mine));
  for (const char* other : {"vtnotours", "vt123", "other-a8Xk2Q"}) EXPECT_TRUE(FileExists(dir.File(other)));
}

}  // namespace
