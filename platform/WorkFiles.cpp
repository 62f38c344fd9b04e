#include "platform/WorkFiles.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"

namespace fs = std::filesystem;

// ---- Ending by a signal --------------------------------------------------------

namespace {

// The handler may run at any moment, on any thread: it reads only these
// fixed slots, each published whole before its state says so.
constexpr int kSlots = 128;
constexpr size_t kPathBytes = 4096;
struct TSlot {
  std::atomic<int> State{0};  // 0 free, 1 being filled, 2 listed
  char Path[kPathBytes];
};
static_assert(std::atomic<int>::is_always_lock_free);
TSlot g_slots[kSlots];

extern "C" void OnTerminationSignal(int sig) {
  const int saved = errno;
  for (TSlot& s : g_slots)
    if (s.State.load(std::memory_order_acquire) == 2) ::unlink(s.Path);
  errno = saved;
  // The handler was reset on entry: the signal, delivered again when this
  // returns, ends the program with the status the signal gives.
  ::raise(sig);
}

}  // namespace

int RemoveOnTermination(const std::string& path) {
  if (path.empty() || path.size() >= kPathBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (!g_slots[i].State.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(g_slots[i].Path, path.c_str(), path.size() + 1);
    g_slots[i].State.store(2, std::memory_order_release);
    return i;
  }
  return -1;
}

void ForgetOnTermination(int ticket) {
  if (ticket >= 0 && ticket < kSlots) g_slots[ticket].State.store(0, std::memory_order_release);
}

void InstallTerminationCleanup() {
  struct sigaction sa {};
  sa.sa_handler = OnTerminationSignal;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&sa.sa_mask, sig);
  sa.sa_flags = SA_RESETHAND;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction old {};
    // A signal the program was started to ignore (nohup) stays ignored.
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &sa, nullptr);
  }
}

// ---- Files that a dead run left --------------------------------------------------

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens path for reading when it is a plain file of the effective user,
// never through a link; -1 otherwise. st receives what the handle opened.
int OpenOwnFile(const std::string& path, struct stat& st) {
  struct stat named {};
  if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode) || named.st_uid != ::geteuid()) return -1;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !SameFile(st, named) || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Removes path while fd, which holds its lock, is still open, when the name
// still leads to that file.
bool UnlinkLocked(const std::string& path, const struct stat& held) {
  struct stat now {};
  return ::lstat(path.c_str(), &now) == 0 && SameFile(now, held) && ::unlink(path.c_str()) == 0;
}

long PidMax() {
  static const long value = [] {
    long v = 0;
    std::ifstream f("/proc/sys/kernel/pid_max");
    if (!(f >> v) || v < 2) v = 4194304;  // the kernel's own upper limit
    return v;
  }();
  return value;
}

// A process of that id runs in this process's namespace (perhaps under
// another user, which kill reports as EPERM). One that has ended but is not
// yet reaped by its parent (a zombie) holds no files any more.
bool ProcessRuns(long pid) {
  if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) return false;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const size_t name = line.rfind(')');
  return name == std::string::npos || name + 2 >= line.size() || line[name + 2] != 'Z';
}

std::string TempFolder() {
  std::error_code ec;
  std::string dir = fs::temp_directory_path(ec).string();
  if (ec || dir.empty()) dir = "/tmp";
  return IncludeTrailingPathDelimiter(dir);
}

// Creates folder + prefix + pid + "-" + six characters, locked.
int CreateRunFile(const std::string& folder, const std::string& prefix, std::string& name) {
  return CreateLockedFile(
      [&] { return folder + prefix + std::to_string(::getpid()) + "-" + UniqueLetters(6); }, 0600, name);
}

}  // namespace

bool LockInUse(int handle) {
  return LockFile(handle, LOCK_EX | LOCK_NB) == 0;
}

bool NoLocksHere(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL;
}

int CreateLockedFile(const std::function<std::string()>& nextName, unsigned mode, std::string& name) {
  int reason = EEXIST;
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = nextName();
    // Exclusive: a name that exists, a planted link above all, is never
    // opened; another name is tried.
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_t(mode));
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return -1;
    }
    const int locked = LockFile(fd, LOCK_EX | LOCK_NB);
    struct stat st {};
    const bool gone = ::fstat(fd, &st) == 0 && st.st_nlink == 0;
    if (!gone && (locked == 0 || NoLocksHere(locked))) return fd;
    // Held or already removed by a cleanup that came first: another name.
    // Any other answer is a real failure. Either way the file goes.
    if (!gone) ::unlink(name.c_str());
    ::close(fd);
    if (locked != 0 && locked != EWOULDBLOCK) {
      errno = locked;
      return -1;
    }
    reason = locked != 0 ? locked : EEXIST;
  }
  errno = reason;
  return -1;
}

bool RemoveIfAbandoned(const std::string& path) {
  struct stat st {};
  const int fd = OpenOwnFile(path, st);
  if (fd < 0) return false;
  const bool removed = LockInUse(fd) && UnlinkLocked(path, st);
  ::close(fd);
  return removed;
}

// ---- Work files in the temporary folder ------------------------------------------

namespace {
std::atomic<std::string (*)(int)> g_lettersHook{nullptr};
}  // namespace

void SetUniqueLettersHook(std::string (*hook)(int n)) {
  g_lettersHook = hook;
}

std::string UniqueLetters(int n) {
  if (auto* hook = g_lettersHook.load()) {
    std::string s = hook(n);
    if (int(s.size()) == n && std::all_of(s.begin(), s.end(), [](char c) { return std::isalnum(uint8_t(c)); }))
      return s;
  }
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::atomic<uint64_t> counter{0};
  std::string s(size_t(std::max(n, 0)), 'x');
  std::vector<uint8_t> bytes(s.size());
  if (::getrandom(bytes.data(), bytes.size(), GRND_NONBLOCK) != ssize_t(bytes.size())) {
    // Without the random source a clock and a counter still differ per call;
    // the exclusive create catches what they cannot.
    uint64_t v = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull) ^ uint64_t(::getpid());
    for (uint8_t& b : bytes) {
      b = uint8_t(v);
      v = v >> 8 | v << 56;
    }
  }
  for (size_t i = 0; i < s.size(); ++i) s[i] = kLetters[bytes[i] % (sizeof kLetters - 1)];
  return s;
}

TWorkFile CreateWorkFile(const std::string& prefix) {
  const std::string dir = TempFolder();
  TWorkFile f;
  f.Handle = CreateRunFile(dir, prefix, f.Name);
  if (f.Handle < 0) {
    const int e = errno;
    throw EFileError(Format("Cannot create a temporary file in %s (%s)", dir.c_str(), std::strerror(e)), e);
  }
  f.Ticket = RemoveOnTermination(f.Name);
  return f;
}

void DeleteWorkFile(TWorkFile& file) {
  if (file.Handle < 0) return;
  ::unlink(file.Name.c_str());
  ForgetOnTermination(file.Ticket);
  ::close(file.Handle);
  file = TWorkFile();
}

bool IsWorkFileName(const std::string& name, const std::string& prefix, long& pid) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  size_t i = prefix.size();
  const size_t digits = i;
  long value = 0;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9' && i - digits < 10)
    value = value * 10 + (name[i++] - '0');
  if (i == digits || name[digits] == '0' || value < 1 || value > PidMax()) return false;
  if (i >= name.size() || name[i] != '-' || name.size() - i - 1 != 6) return false;
  for (size_t k = i + 1; k < name.size(); ++k)
    if (!std::isalnum(static_cast<unsigned char>(name[k]))) return false;
  pid = value;
  return true;
}

namespace {

// Runs fn(name, pid) for every entry of folder in the form prefix gives that
// a process which no longer runs here made.
template <typename Fn>
void ForEachDeadRunFile(const std::string& folder, const std::string& prefix, Fn&& fn) {
  std::error_code ec;
  const long self = long(::getpid());
  for (fs::directory_iterator it(fs::u8path(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    long pid = 0;
    if (!IsWorkFileName(name, prefix, pid) || pid == self || ProcessRuns(pid)) continue;
    fn(IncludeTrailingPathDelimiter(folder) + name);
  }
}

}  // namespace

int RemoveStaleTempFiles(const std::string& prefix) {
  int removed = 0;
  ForEachDeadRunFile(TempFolder(), prefix, [&](const std::string& path) { removed += RemoveIfAbandoned(path); });
  return removed;
}

// ---- Saves in progress -------------------------------------------------------

namespace {

constexpr const char* kSaveListPrefix = "vt002-saves-";
// A list holds a few names; more than this is not one of ours.
constexpr size_t kSaveListLimit = size_t(1) << 20;

std::mutex g_listMutex;
TWorkFile g_list;
std::vector<std::string> g_saving;

// Rewrites the list in place: names, each ended by a NUL (a name may hold any
// other byte). Failures are let be: the list only helps a later cleanup.
void WriteSaveList(bool flush) {
  std::string text;
  for (const std::string& s : g_saving) text.append(s.c_str(), s.size() + 1);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::pwrite(g_list.Handle, text.data() + done, text.size() - done, off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += size_t(n);
  }
  if (::ftruncate(g_list.Handle, off_t(text.size())) != 0) return;
  if (flush) ::fsync(g_list.Handle);
}

}  // namespace

int RemoveDeadSaves(const std::string& folder) {
  int removed = 0;
  if (folder.empty()) return 0;
  ForEachDeadRunFile(folder, kSaveListPrefix, [&](const std::string& path) {
    struct stat st {};
    const int fd = OpenOwnFile(path, st);
    if (fd < 0) return;
    if (LockInUse(fd)) {
      std::string text(size_t(std::min<int64_t>(st.st_size, int64_t(kSaveListLimit))), '\0');
      const size_t got = size_t(std::max<int64_t>(ReadFileAt(fd, text.data(), text.size(), 0), 0));
      // Only whole names, each ended by its NUL, and only the temporaries of
      // saves: the list of a dead run can never make the cleanup remove a
      // user's file.
      size_t at = 0;
      for (size_t end; (end = text.find('\0', at)) != std::string::npos && end < got; at = end + 1) {
        const std::string name = text.substr(at, end - at);
        if (!name.empty() && name[0] == '/' && IsReplacementName(ExtractFileName(name)))
          removed += RemoveIfAbandoned(name);
      }
      UnlinkLocked(path, st);
    }
    ::close(fd);
  });
  return removed;
}

int KeepSaveList(const std::string& folder) {
  if (folder.empty()) return 0;
  const int removed = RemoveDeadSaves(folder);
  std::lock_guard<std::mutex> lock(g_listMutex);
  if (g_list.Handle >= 0) return removed;
  TWorkFile f;
  f.Handle = CreateRunFile(IncludeTrailingPathDelimiter(folder), kSaveListPrefix, f.Name);
  // A settings folder that cannot be written keeps no list: saves still work.
  if (f.Handle < 0) return removed;
  f.Ticket = RemoveOnTermination(f.Name);
  g_list = f;
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  g_saving.clear();
  return removed;
}

void EndSaveList() {
  std::lock_guard<std::mutex> lock(g_listMutex);
  DeleteWorkFile(g_list);
  g_saving.clear();
}

void NoteSaveBegun(const std::string& tempName) {
  std::lock_guard<std::mutex> lock(g_listMutex);
  if (g_list.Handle < 0) return;
  g_saving.push_back(tempName);
  // On the disk before the save's own data, so a power cut cannot leave a
  // partial file the list does not name.
  WriteSaveList(true);
}

void NoteSaveEnded(const std::string& tempName) {
  std::lock_guard<std::mutex> lock(g_listMutex);
  if (g_list.Handle < 0) return;
  for (auto it = g_saving.begin(); it != g_saving.end(); ++it)
    if (*it == tempName) {
      g_saving.erase(it);
      WriteSaveList(false);
      return;
    }
}
