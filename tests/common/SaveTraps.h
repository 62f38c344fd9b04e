// Traps for the writers of files: links planted where a save will put its
// temporary, a disk that fills up under a save, a child process to kill in
// the middle of its work, and a look for what a save left behind.
#pragma once
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/WorkFiles.h"

namespace savetraps {

// Unique letters in a known order: "000000", "000001", ...
inline std::atomic<int> g_nextLetters{0};
inline std::string LettersInOrder(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", n, g_nextLetters.fetch_add(1) % 1000000);
  return buf;
}

inline std::string ReadAll(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// While it lives, saves take foreseeable temporary names; Plant puts links
// to a victim file at the next ones a save of a target will try, and at the
// names of old (target + ".tmp", target + ".part").
class PlantedLinks {
 public:
  PlantedLinks(const std::string& victim, const std::string& text) : FVictim(victim), FText(text) {
    std::ofstream(victim, std::ios::binary) << text;
    SetUniqueLettersHook(LettersInOrder);
  }
  ~PlantedLinks() { SetUniqueLettersHook(nullptr); }

  void Plant(const std::string& target, const char* suffix = ".tmp") {
    FPast = g_nextLetters.load() + 40;
    for (int k = FPast - 40; k < FPast; ++k) {
      char letters[16];
      std::snprintf(letters, sizeof letters, "%06d", k % 1000000);
      Link(target + ".vt-" + letters + suffix);
    }
    Link(target + ".tmp");
    Link(target + ".part");
  }
  // The victim is untouched, every link is still a link, and the save went
  // past their names.
  void ExpectUntouched() const {
    EXPECT_EQ(ReadAll(FVictim), FText);
    for (const std::string& l : FLinks) EXPECT_TRUE(std::filesystem::is_symlink(l)) << l;
    EXPECT_GE(g_nextLetters.load(), FPast);
  }

 private:
  void Link(const std::string& at) {
    std::error_code ec;
    if (std::filesystem::is_symlink(at, ec)) return;
    std::filesystem::create_symlink(FVictim, at);
    FLinks.push_back(at);
  }
  std::string FVictim, FText;
  std::vector<std::string> FLinks;
  int FPast = 0;
};

inline bool PlainWriteAt(int fd, const void* data, size_t size, int64_t offset) {
  return ::pwrite(fd, data, size, off_t(offset)) == ssize_t(size);
}

// The file a handle is open on, without its folder.
inline std::string HandleName(int fd) {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), ec).filename().string();
}

// The disk under the saves' temporaries is full; the temporary folder is not.
inline bool NoRoomForSaves(int fd, const void* data, size_t size, int64_t offset) {
  if (!IsReplacementName(HandleName(fd))) return PlainWriteAt(fd, data, size, offset);
  errno = ENOSPC;
  return false;
}

// Every disk is full.
inline bool NoRoomAnywhere(int, const void*, size_t, int64_t) {
  errno = ENOSPC;
  return false;
}

struct HooksReset {
  ~HooksReset() { SetFileWriteHooks({}); }
};

// The names in a folder that a save's temporary has (links aside).
inline std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (IsReplacementName(name) && !e.is_symlink()) left.push_back(name);
  }
  return left;
}

// The message of the EFileError fn raises, or "" when it raises none.
template <typename Fn>
std::string FileErrorOf(Fn&& fn) {
  try {
    fn();
  } catch (const EFileError& e) {
    return e.what();
  }
  return "";
}

// A child process that runs body(ready): ready() tells the parent that the
// child is under way and waits there to be killed.
class Child {
 public:
  explicit Child(const std::function<void(const std::function<void()>& ready)>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    FPid = ::fork();
    if (FPid == 0) {
      ::close(fds[0]);
      body([fd = fds[1]] {
        if (::write(fd, "!", 1) != 1) ::_exit(3);
        for (;;) ::pause();
      });
      ::_exit(4);  // the work ended before it was under way
    }
    ::close(fds[1]);
    char c;
    FReady = FPid > 0 && ::read(fds[0], &c, 1) == 1;
    ::close(fds[0]);
  }
  ~Child() { Kill(SIGKILL); }
  bool Ready() const { return FReady; }
  // True when the signal is what ended the child.
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

}  // namespace savetraps
