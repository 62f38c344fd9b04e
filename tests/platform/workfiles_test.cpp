// What a run leaves behind: the start-up cleanup of the temporary folder
// removes only the plain, unlocked files of the effective user that dead runs
// made, in the exact name form; the list of saves in progress lets a later
// start remove the partial files of saves killed outright, and nothing else.
#include "platform/WorkFiles.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "common/SaveTraps.h"
#include "platform/Files.h"
#include "platform/TestSupport.h"

namespace {

using savetraps::Leftovers;

// TMPDIR points at a folder of the test's own while it lives.
class TempFolder {
 public:
  explicit TempFolder(const std::string& dir) {
    const char* old = std::getenv("TMPDIR");
    FHad = old != nullptr;
    if (old) FOld = old;
    ::setenv("TMPDIR", dir.c_str(), 1);
  }
  ~TempFolder() {
    if (FHad)
      ::setenv("TMPDIR", FOld.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
  }

 private:
  bool FHad = false;
  std::string FOld;
};

// The id of a process that has ended.
pid_t DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

// A child process that runs body, tells the parent it is ready and then
// waits to be killed.
class Child {
 public:
  template <typename Fn>
  explicit Child(Fn&& body) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    FPid = ::fork();
    if (FPid == 0) {
      ::close(fds[0]);
      body();
      const char ready = 1;
      if (::write(fds[1], &ready, 1) != 1) ::_exit(3);
      for (;;) ::pause();
    }
    ::close(fds[1]);
    char ready = 0;
    FReady = ::read(fds[0], &ready, 1) == 1;
    ::close(fds[0]);
  }
  ~Child() { Kill(SIGKILL); }
  bool Ready() const { return FReady; }
  // Ends the child; true when the signal is what ended it.
  bool Kill(int sig) {
    if (FPid <= 0) return false;
    ::kill(FPid, sig);
    int status = 0;
    ::waitpid(FPid, &status, 0);
    FPid = 0;
    return WIFSIGNALED(status) && WTERMSIG(status) == sig;
  }

 private:
  pid_t FPid = 0;
  bool FReady = false;
};

TEST(WorkFiles, NamesAreExactlyPrefixPidDashSixLetters) {
  long pidMax = 0;
  std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;
  ASSERT_GT(pidMax, 1);
  long pid = 0;
  EXPECT_TRUE(IsWorkFileName("vt4711-a8Xk2Q", "vt", pid));
  EXPECT_EQ(pid, 4711);
  EXPECT_TRUE(IsWorkFileName("vt" + std::to_string(pidMax) + "-a8Xk2Q", "vt", pid));
  for (const std::string& bad : std::vector<std::string>{"vt0-a8Xk2Q", "vt04711-a8Xk2Q", "vt" + std::to_string(pidMax + 1) + "-a8Xk2Q", "vt4711-a8Xk2", "vt4711-a8Xk2Qz",
        "vt4711-a8X.2Q", "vt4711_a8Xk2Q", "vt-a8Xk2Q", "vtx4711-a8Xk2Q", "VT4711-a8Xk2Q", "vt99999999999-a8Xk2Q"})
    EXPECT_FALSE(IsWorkFileName(bad, "vt", pid)) << bad;
}

TEST(WorkFiles, AWorkFileIsLockedWhileItLivesAndGoesWithoutATrace) {
  TestDir dir("work-own");
  TempFolder tmp(dir.Path());
  TWorkFile f = CreateWorkFile("vt");
  long pid = 0;
  EXPECT_EQ(ExtractFilePath(f.Name), dir.Path());
  EXPECT_TRUE(IsWorkFileName(ExtractFileName(f.Name), "vt", pid));
  EXPECT_EQ(pid, long(::getpid()));
  // Its own run's lock keeps it from any cleanup.
  EXPECT_FALSE(RemoveIfAbandoned(f.Name));
  EXPECT_TRUE(FileExists(f.Name));
  const std::string name = f.Name;
  DeleteWorkFile(f);
  EXPECT_FALSE(FileExists(name));
  EXPECT_EQ(f.Handle, -1);
}

TEST(WorkFiles, StartUpCleanupRemovesOnlyWhatADeadRunOfThisUserLeft) {
  TestDir dir("work-clean");
  TempFolder tmp(dir.Path());
  const std::string dead = std::to_string(DeadPid());
  long pidMax = 0;
  std::ifstream("/proc/sys/kernel/pid_max") >> pidMax;

  WriteText(dir.File("vt" + dead + "-a8Xk2Q"), "a dead run's work file");
  // A run that has ended but that its parent has not reaped yet.
  const pid_t zombie = ::fork();
  if (zombie == 0) ::_exit(0);
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, id_t(zombie), &info, WEXITED | WNOWAIT), 0);
  WriteText(dir.File("vt" + std::to_string(zombie) + "-Z0mbie"), "an ended run's work file");
  // Look-alikes: names this program never makes, and things that are not
  // plain files.
  const std::vector<std::string> kept = {"vt0" + dead + "-a8Xk2Q",
                                         "vt0-a8Xk2Q",
                                         "vt" + std::to_string(pidMax + 1) + "-a8Xk2Q",
                                         "vt" + dead + "-a8Xk2",
                                         "vt" + dead + "-a8Xk2Qz",
                                         "vt" + dead + "_a8Xk2Q",
                                         "other" + dead + "-a8Xk2Q"};
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
  Child holder([&] {
    const int fd = ::open(held.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 || !LockInUse(fd)) ::_exit(2);
  });
  ASSERT_TRUE(holder.Ready());

  EXPECT_EQ(RemoveStaleTempFiles("vt"), root ? 2 : 3);
  ::waitpid(zombie, nullptr, 0);
  EXPECT_FALSE(FileExists(dir.File("vt" + dead + "-a8Xk2Q")));
  EXPECT_FALSE(FileExists(dir.File("vt" + std::to_string(zombie) + "-Z0mbie")));
  for (const std::string& k : kept) EXPECT_TRUE(FileExists(dir.File(k))) << k;
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("vt" + dead + "-L1nkLn")));
  EXPECT_EQ(ReadText(dir.File("victim")), "the user's file");
  EXPECT_TRUE(DirectoryExists(dir.File("vt" + dead + "-F0lder")));
  if (root) {
    EXPECT_TRUE(FileExists(foreign));
  }
  EXPECT_TRUE(FileExists(held));

  // The lock is what kept it: once its run is gone, so is the file.
  holder.Kill(SIGKILL);
  EXPECT_EQ(RemoveStaleTempFiles("vt"), 1);
  EXPECT_FALSE(FileExists(held));
}

TEST(WorkFiles, TheListOfSavesLetsTheNextStartRemoveWhatKilledSavesLeft) {
  TestDir settings("work-settings"), out("work-out");
  const std::string big = out.File("big.tif"), project = out.File("p.vtp"), live = out.File("live.bmp");
  WriteText(big, "the old picture");
  std::string projectTemp;
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  // A run killed outright in the middle of two saves, while another run
  // saves at the same time.
  Child killed([&] {
    KeepSaveList(settings.Path());
    auto* a = new TReplacement(big, ".part");
    a->Write("half a picture", 14);
    auto* b = new TReplacement(project);
    const std::string name = b->TempName() + "\n";
    if (::write(pipeFds[1], name.data(), name.size()) != ssize_t(name.size())) ::_exit(2);
  });
  ASSERT_TRUE(killed.Ready());
  Child running([&] {
    KeepSaveList(settings.Path());
    new TReplacement(live, ".part");
  });
  ASSERT_TRUE(running.Ready());
  EXPECT_TRUE(killed.Kill(SIGKILL));
  ::close(pipeFds[1]);
  char buf[4096];
  const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
  ::close(pipeFds[0]);
  ASSERT_GT(n, 1);
  projectTemp.assign(buf, size_t(n - 1));
  ASSERT_EQ(Leftovers(out.Path()).size(), 3u);
  // What the dead run's list names but is no longer what its save left (a
  // link put there since), and a partial file no list names.
  WriteText(out.File("victim"), "the user's file");
  ASSERT_EQ(::unlink(projectTemp.c_str()), 0);
  std::filesystem::create_symlink(out.File("victim"), projectTemp);
  const std::string unlisted = out.File("other.tif.vt-AbCdEf.part");
  WriteText(unlisted, "not from any list");

  EXPECT_EQ(RemoveDeadSaves(settings.Path()), 1);
  EXPECT_EQ(ReadText(big), "the old picture");
  EXPECT_TRUE(std::filesystem::is_symlink(projectTemp));
  EXPECT_EQ(ReadText(out.File("victim")), "the user's file");
  EXPECT_TRUE(FileExists(unlisted));
  const auto left = Leftovers(out.Path());
  EXPECT_EQ(left.size(), 2u);  // the live save's partial and the unlisted one
  // The dead run's list is gone, the live run's stays.
  int lists = 0;
  for (const auto& e : std::filesystem::directory_iterator(settings.Path())) lists += e.is_regular_file();
  EXPECT_EQ(lists, 1);

  running.Kill(SIGKILL);
  EXPECT_EQ(RemoveDeadSaves(settings.Path()), 1);
  EXPECT_TRUE(std::filesystem::is_empty(settings.Path()));
  EXPECT_EQ(Leftovers(out.Path()), std::vector<std::string>{ExtractFileName(unlisted)});
}

TEST(WorkFiles, ASaveIsOnTheListFromItsTemporaryToItsRename) {
  TestDir settings("work-list"), out("work-list-out");
  KeepSaveList(settings.Path());
  std::string list;
  for (const auto& e : std::filesystem::directory_iterator(settings.Path())) list = e.path().string();
  ASSERT_FALSE(list.empty());
  {
    TReplacement r(out.File("a.bmp"));
    EXPECT_EQ(ReadText(list), r.TempName() + std::string(1, '\0'));
    r.Write("new", 3);
    r.Commit();
    EXPECT_EQ(ReadText(list), "");
  }
  {
    TReplacement r(out.File("b.bmp"));
    EXPECT_EQ(ReadText(list), r.TempName() + std::string(1, '\0'));
  }
  EXPECT_EQ(ReadText(list), "");
  EXPECT_EQ(ReadText(out.File("a.bmp")), "new");
  EXPECT_FALSE(FileExists(out.File("b.bmp")));
  EndSaveList();
  EXPECT_FALSE(FileExists(list));
}

}  // namespace
