// What a run leaves behind: the start-up cleanup of the temporary folder
// removes only the plain, unlocked files of the effective user that dead runs
// made, in the exact name form; the list of saves in progress lets a later
// start remove the partial files of saves killed outright, and nothing else.
#include "platform/WorkFiles.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>

#include "common/SaveTraps.h"
#include "platform/Files.h"
#include "platform/TestSupport.h"

namespace {

using savetraps::Child;
using savetraps::Leftovers;

TEST(WorkFiles, StartUpCleanupRemovesOnlyWhatADeadRunOfThisUserLeft) {
  TestDir dir("work-clean");
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", dir.Path().c_str(), 1);
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  ::waitpid(ended, nullptr, 0);
  const std::string dead = std::to_string(ended);
  long pidMax = 0;
  std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;

  // This run's own work file is locked while it lives.
  TWorkFile mine = CreateWorkFile("vt");
  EXPECT_EQ(ExtractFilePath(mine.Name), dir.Path());
  WriteText(dir.File("vt" + dead + "-a8Xk2Q"), "a dead run's work file");
  // A run that has ended but that its parent has not reaped yet.
  const pid_t zombie = ::fork();
  if (zombie == 0) ::_exit(0);
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, id_t(zombie), &info, WEXITED | WNOWAIT), 0);
  WriteText(dir.File("vt" + std::to_string(zombie) + "-Z0mbie"), "an ended run's work file");
  // Names this program never makes, and things that are not plain files.
  const std::vector<std::string> kept = {"vt0" + dead + "-a8Xk2Q", "vt0-a8Xk2Q",
                                         "vt" + std::to_string(pidMax + 1) + "-a8Xk2Q", "vt" + dead + "-a8Xk2",
                                         "vt" + dead + "-a8Xk2Qz", "vt" + dead + "_a8Xk2Q", "other" + dead + "-a8Xk2Q"};
  for (const std::string& k : kept) WriteText(dir.File(k), "not ours");
  WriteText(dir.File("victim"), "the user's file");
  std::filesystem::create_symlink(dir.File("victim"), dir.File("vt" + dead + "-L1nkLn"));
  std::filesystem::create_directory(dir.File("vt" + dead + "-F0lder"));
  // Another user's file (the tests run as root here, so it can be given away).
  const std::string foreign = dir.File("vt" + dead + "-0therU");
  WriteText(foreign, "another user's work");
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(foreign.c_str(), 4242, 4242), 0);
  }
  // The work file of a live run in another process namespace: its id means
  // nothing here, but it holds the lock.
  const std::string held = dir.File("vt" + dead + "-L0cked");
  WriteText(held, "a live run's work");
  Child holder([&](const auto& ready) {
    const int fd = ::open(held.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0 && LockInUse(fd)) ready();
  });
  ASSERT_TRUE(holder.Ready());

  EXPECT_EQ(RemoveStaleTempFiles("vt"), root ? 2 : 3);
  ::waitpid(zombie, nullptr, 0);
  EXPECT_FALSE(FileExists(dir.File("vt" + dead + "-a8Xk2Q")));
  EXPECT_FALSE(FileExists(dir.File("vt" + std::to_string(zombie) + "-Z0mbie")));
  EXPECT_TRUE(FileExists(mine.Name));
  for (const std::string& k : kept) EXPECT_TRUE(FileExists(dir.File(k))) << k;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("vt" + dead + "-L1nkLn")));
  EXPECT_EQ(ReadText(dir.File("victim")), "the user's file");
  EXPECT_TRUE(DirectoryExists(dir.File("vt" + dead + "-F0lder")));
  EXPECT_EQ(FileExists(foreign), root);
  EXPECT_TRUE(FileExists(held));
  // The lock is what kept it: once its run is gone, so is the file.
  holder.Kill(SIGKILL);
  EXPECT_EQ(RemoveStaleTempFiles("vt"), 1);
  EXPECT_FALSE(FileExists(held));
  const std::string name = mine.Name;
  DeleteWorkFile(mine);
  EXPECT_FALSE(FileExists(name));
  if (old)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
}

TEST(WorkFiles, TheListOfSavesLetsTheNextStartRemoveWhatKilledSavesLeft) {
  TestDir settings("work-settings"), out("work-out");
  const std::string big = out.File("big.tif");
  WriteText(big, "the old picture");
  int names[2];
  ASSERT_EQ(::pipe(names), 0);
  // A run killed outright in the middle of two saves, while another run
  // saves at the same time.
  Child killed([&](const auto& ready) {
    KeepSaveList(settings.Path());
    (new TReplacement(big, ".part"))->Write("half a picture", 14);
    const std::string name = (new TReplacement(out.File("p.vtp")))->TempName();
    if (::write(names[1], name.data(), name.size()) == ssize_t(name.size())) ready();
  });
  ASSERT_TRUE(killed.Ready());
  Child running([&](const auto& ready) {
    KeepSaveList(settings.Path());
    new TReplacement(out.File("live.bmp"), ".part");
    ready();
  });
  ASSERT_TRUE(running.Ready());
  EXPECT_TRUE(killed.Kill(SIGKILL));
  ::close(names[1]);
  char buf[4096];
  const ssize_t n = ::read(names[0], buf, sizeof buf);
  ::close(names[0]);
  ASSERT_GT(n, 0);
  ASSERT_EQ(Leftovers(out.Path()).size(), 3u);
  // What the dead run's list names but is no longer what its save left (a
  // link put there since), and a partial file no list names.
  const std::string projectTemp(buf, size_t(n));
  WriteText(out.File("victim"), "the user's file");
  ASSERT_EQ(::unlink(projectTemp.c_str()), 0);
  std::filesystem::create_symlink(out.File("victim"), projectTemp);
  const std::string unlisted = "other.tif.vt-AbCdEf.part";
  WriteText(out.File(unlisted), "not from any list");

  EXPECT_EQ(RemoveDeadSaves(settings.Path()), 1);
  EXPECT_EQ(ReadText(big), "the old picture");
  EXPECT_TRUE(std::filesystem::is_symlink(projectTemp));
  EXPECT_EQ(ReadText(out.File("victim")), "the user's file");
  EXPECT_EQ(Leftovers(out.Path()).size(), 2u);  // the live save's partial and the unlisted one
  // The dead run's list is gone, the live run's stays.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(settings.Path()), {}), 1);
  running.Kill(SIGKILL);
  EXPECT_EQ(RemoveDeadSaves(settings.Path()), 1);
  EXPECT_TRUE(std::filesystem::is_empty(settings.Path()));
  EXPECT_EQ(Leftovers(out.Path()), std::vector<std::string>{unlisted});
}

}  // namespace
