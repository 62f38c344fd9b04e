// Replacing a file: the old one survives every failure (no room, a failed
// flush, a target that is a folder, a folder that is missing), a stale
// temporary of a killed save is replaced, and the temporary folder is cleaned
// of the work files of dead runs only.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/TestSupport.h"

namespace {

bool NoRoom(int, const void*, size_t) {
  errno = ENOSPC;
  return false;
}

bool FlushFails(int) {
  errno = EIO;
  return false;
}

// The message of the error the call raises, or "" when it raises none.
template <typename Fn>
std::string ErrorOf(Fn&& fn) {
  try {
    fn();
  } catch (const EFileError& e) {
    return e.what();
  }
  return "";
}

struct HooksReset {
  ~HooksReset() { SetFileWriteHooks({}); }
};

TEST(FileReplace, EveryFailureLeavesTheOldFileAndNoTemporary) {
  TestDir dir("replace-fail");
  HooksReset reset;
  const std::string f = dir.File("project.vtp");
  WriteText(f, "old");

  SetFileWriteHooks({NoRoom, nullptr});
  EXPECT_EQ(ErrorOf([&] { WriteFileReplacing(f, {1, 2, 3}); }),
            "Unable to write to " + f + " (No space left on device)");
  EXPECT_EQ(ReadText(f), "old");
  EXPECT_FALSE(FileExists(f + ".tmp"));

  SetFileWriteHooks({nullptr, FlushFails});
  EXPECT_EQ(ErrorOf([&] { WriteFileReplacing(f, {1, 2, 3}); }),
            "Unable to write to " + f + " (Input/output error)");
  EXPECT_EQ(ReadText(f), "old");
  EXPECT_FALSE(FileExists(f + ".tmp"));
  SetFileWriteHooks({});

  // A folder in the target's place cannot be renamed over.
  const std::string folder = dir.File("folder");
  std::filesystem::create_directories(folder + "/inside");
  EXPECT_EQ(ErrorOf([&] { WriteFileReplacing(folder, {1}); }),
            "Unable to write to " + folder + " (Is a directory)");
  EXPECT_TRUE(DirectoryExists(folder + "/inside"));
  EXPECT_FALSE(FileExists(folder + ".tmp"));

  const std::string missing = dir.File("no/such.vtp");
  EXPECT_EQ(ErrorOf([&] { WriteFileReplacing(missing, {1}); }),
            "Cannot create file \"" + missing + "\". No such file or directory");

  // A read-only folder (root writes anywhere, so only checked for users).
  if (::geteuid() != 0) {
    const std::string ro = dir.File("ro");
    std::filesystem::create_directories(ro);
    WriteText(ro + "/pic.bmp", "old");
    ::chmod(ro.c_str(), 0555);
    EXPECT_EQ(ErrorOf([&] { WriteFileReplacing(ro + "/pic.bmp", {1}); }),
              "Cannot create file \"" + ro + "/pic.bmp\". Permission denied");
    ::chmod(ro.c_str(), 0755);
    EXPECT_EQ(ReadText(ro + "/pic.bmp"), "old");
  }
}

TEST(FileReplace, AStaleTemporaryOfAKilledSaveIsReplaced) {
  TestDir dir("replace-stale");
  const std::string f = dir.File("mosaic.bmp");
  WriteText(f + ".part", "half of a picture from a killed save");
  WriteText(f + ".tmp", "stale");
  EXPECT_EQ(ReplacementName(f, ".part"), f + ".part");
  EXPECT_FALSE(FileExists(f + ".part"));
  WriteFileReplacing(f, {'n', 'e', 'w'});
  EXPECT_EQ(ReadText(f), "new");
  EXPECT_FALSE(FileExists(f + ".tmp"));
  // Something that is not a plain file is never removed.
  std::filesystem::create_directories(f + ".part/kept");
  EXPECT_EQ(ReplacementName(f, ".part"), f + ".part");
  EXPECT_TRUE(DirectoryExists(f + ".part/kept"));
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
