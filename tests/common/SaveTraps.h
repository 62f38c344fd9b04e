// Traps for the writers of files: links planted where a save will put its
// temporary, a disk that fills up under a save, and a look for what a save
// left behind.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

// While it lives, the temporaries of saves take foreseeable names, and links
// to a victim file lie at the next ones a save of a target will try, and at
// the names of old (target + ".tmp", target + ".part").
class PlantedLinks {
 public:
  PlantedLinks(const std::string& victim, const std::string& victimText) : FVictim(victim), FText(victimText) {
    std::ofstream(victim, std::ios::binary) << victimText;
    SetUniqueLettersHook(LettersInOrder);
  }
  ~PlantedLinks() { SetUniqueLettersHook(nullptr); }

  // Links at the next count names a save of target with suffix would try.
  void Plant(const std::string& target, const char* suffix = ".tmp", int count = 40) {
    const int from = g_nextLetters.load();
    for (int k = from; k < from + count; ++k) {
      char letters[16];
      std::snprintf(letters, sizeof letters, "%06d", k % 1000000);
      Link(target + ".vt-" + letters + suffix);
    }
    Link(target + ".tmp");
    Link(target + ".part");
    FFirst = from;
    FCount = count;
  }

  // Every planted link is still a link to the untouched victim, and the save
  // met the links (it went past their names).
  void ExpectUntouched() const {
    EXPECT_EQ(ReadAll(FVictim), FText);
    for (const std::string& l : FLinks) {
      std::error_code ec;
      EXPECT_TRUE(std::filesystem::is_symlink(l, ec)) << l;
    }
    EXPECT_GE(g_nextLetters.load(), FFirst + FCount);
  }

  static std::string ReadAll(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }

 private:
  void Link(const std::string& at) {
    std::error_code ec;
    if (std::filesystem::is_symlink(at, ec)) return;  // planted before
    std::filesystem::create_symlink(FVictim, at);
    FLinks.push_back(at);
  }
  std::string FVictim, FText;
  std::vector<std::string> FLinks;
  int FFirst = 0, FCount = 0;
};

// The file a handle is open on.
inline std::string HandlePath(int fd) {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

inline bool PlainWriteAt(int fd, const void* data, size_t size, int64_t offset) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, p, size, off_t(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    offset += n;
    size -= size_t(n);
  }
  return true;
}

// The disk under the saves' temporaries is full; the temporary folder is not.
inline bool NoRoomForSaves(int fd, const void* data, size_t size, int64_t offset) {
  if (IsReplacementName(std::filesystem::path(HandlePath(fd)).filename().string())) {
    errno = ENOSPC;
    return false;
  }
  return PlainWriteAt(fd, data, size, offset);
}

// Every write fails: the disk is full everywhere.
inline bool NoRoomAnywhere(int, const void*, size_t, int64_t) {
  errno = ENOSPC;
  return false;
}

struct HooksReset {
  ~HooksReset() { SetFileWriteHooks({}); }
};

// The names in a folder that a save's temporary has.
inline std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> left;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = e.path().filename().string();
    if (IsReplacementName(name) && !std::filesystem::is_symlink(e.symlink_status())) left.push_back(name);
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

}  // namespace savetraps
