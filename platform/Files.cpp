#include "platform/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/Errors.h"
#include "platform/WorkFiles.h"

namespace fs = std::filesystem;

std::vector<uint8_t> ReadWholeFile(const std::string& fileName) {
  // A folder opens like a file here but has no content to speak of; its
  // reported size must never decide an allocation.
  std::error_code ec;
  if (fs::is_directory(fs::u8path(fileName), ec))
    throw EFileError(Format("Cannot open file \"%s\". Is a directory", fileName.c_str()));
  std::FILE* f = std::fopen(fileName.c_str(), "rb");
  if (f == nullptr) {
    const int e = errno;
    throw EFileError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(e)));
  }
  // Read to the end rather than trusting a size taken beforehand: the file
  // may be a pipe, or change while it is read.
  std::vector<uint8_t> data;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) throw EFileError(Format("Cannot read file \"%s\"", fileName.c_str()));
  return data;
}

TFileReader::TFileReader(const std::string& fileName) : FName(fileName) {
  FHandle = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (FHandle < 0) {
    const int e = errno;
    throw EFileError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(e)));
  }
  // A folder or a device has no size to speak of, and a pipe or /dev/zero
  // would never end.
  struct stat st {};
  if (::fstat(FHandle, &st) != 0 || !S_ISREG(st.st_mode)) {
    const bool folder = S_ISDIR(st.st_mode);
    ::close(FHandle);
    throw EFileError(
        Format("Cannot open file \"%s\". %s", fileName.c_str(), folder ? "Is a directory" : "Not a file"));
  }
  FSize = uint64_t(st.st_size);
}

TFileReader::~TFileReader() {
  ::close(FHandle);
}

size_t TFileReader::ReadAt(uint64_t offset, void* buf, size_t count) const {
  if (offset >= FSize) return 0;
  count = size_t(std::min<uint64_t>(count, FSize - offset));
  // Fewer bytes than asked where the file has shrunk since it was opened.
  const int64_t done = ReadFileAt(FHandle, buf, count, int64_t(offset));
  if (done < 0) throw EFileError(Format("Cannot read file \"%s\"", FName.c_str()));
  return size_t(done);
}

std::vector<uint8_t> TFileReader::ReadRange(uint64_t offset, uint64_t count) const {
  const uint64_t held = offset < FSize ? std::min(count, FSize - offset) : 0;
  std::vector<uint8_t> data(static_cast<size_t>(held));
  data.resize(ReadAt(offset, data.data(), data.size()));
  return data;
}

namespace {

// What one write call did: wrote some bytes, was interrupted before it
// wrote any (to be made again), or failed with errno set (a call that wrote
// nothing counts as a full disk).
enum class TWriteCall { wcWrote, wcAgain, wcFailed };
TWriteCall WriteCallOf(ssize_t n) {
  if (n > 0) return TWriteCall::wcWrote;
  if (n < 0 && errno == EINTR) return TWriteCall::wcAgain;
  if (n == 0) errno = ENOSPC;
  return TWriteCall::wcFailed;
}

bool PlainWrite(int fd, const void* data, size_t size, int64_t offset) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, p, size, off_t(offset));
    const TWriteCall call = WriteCallOf(n);
    if (call == TWriteCall::wcAgain) continue;
    if (call == TWriteCall::wcFailed) return false;
    p += n;
    offset += n;
    size -= size_t(n);
  }
  return true;
}

bool PlainSync(int fd) {
  return ::fsync(fd) == 0;
}

int PlainLock(int fd, int operation) {
  return ::flock(fd, operation);
}

TFileWriteHooks g_hooks{PlainWrite, PlainSync, PlainLock};
std::atomic<bool> g_flush{true};

// Through a link the file it points at is replaced, not the link: the link
// is the user's own. In a folder that anyone may write to but only owners
// remove from (sticky, as /tmp) a link is followed only when it is the
// user's or the folder owner's, the rule the system itself keeps there:
// another user's link there could send the save onto any file the user may
// write. Each link of a chain is held to it. The save goes to the name the
// checked walk ended on and never resolves the name again: a link raced in
// there afterwards is replaced by the rename (or the sticky folder refuses
// the rename), never written through.
std::string ReplaceTarget(const std::string& fileName) {
  std::string at = fileName;
  int hop = 0;
  for (; hop < 40; ++hop) {
    struct stat link {};
    struct stat folder {};
    if (::lstat(at.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) break;
    const std::string dir = ExtractFilePath(at);
    if (::stat(dir.empty() ? "." : dir.c_str(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
        (folder.st_mode & S_IWOTH) && link.st_uid != ::geteuid() && link.st_uid != folder.st_uid)
      throw EFileError(
          Format("Not saved: \"%s\" is a link owned by another user in a shared folder, and such "
                 "a link is never followed. Save under another name or in another folder.",
                 at.c_str()));
    std::error_code ec;
    const fs::path to = fs::read_symlink(fs::u8path(at), ec);
    if (ec) break;
    at = to.is_absolute() ? to.string() : dir + to.string();
  }
  // A loop of links: the name itself is replaced, as a file of its own.
  if (hop == 40) at = fileName;
  if (g_hooks.Checked) g_hooks.Checked(at);
  return at;
}

[[noreturn]] void RaiseWriteError(const std::string& fileName, int e) {
  throw EFileError(Format("Unable to write to %s (%s)", fileName.c_str(), std::strerror(e)), e);
}

[[noreturn]] void RaiseCreateError(const std::string& fileName, int e) {
  throw EFileError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(e)), e);
}

// Flushes a folder; false with errno set on failure.
bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = g_hooks.Sync(fd);
  const int e = errno;
  ::close(fd);
  errno = e;
  return ok;
}

constexpr const char* kTempTag = ".vt-";
constexpr int kTempLetters = 6;
constexpr size_t kNameMax = 255;

}  // namespace

void SetFileWriteHooks(const TFileWriteHooks& hooks) {
  g_hooks.Write = hooks.Write ? hooks.Write : PlainWrite;
  g_hooks.Sync = hooks.Sync ? hooks.Sync : PlainSync;
  g_hooks.Lock = hooks.Lock ? hooks.Lock : PlainLock;
  g_hooks.Checked = hooks.Checked;
}

int LockFile(int fd, int operation) {
  int rc;
  do rc = g_hooks.Lock(fd, operation);
  while (rc != 0 && errno == EINTR);
  return rc == 0 ? 0 : errno;
}

bool WriteFileAt(int fd, const void* data, size_t size, int64_t offset) {
  return size == 0 || g_hooks.Write(fd, data, size, offset);
}

int64_t ReadFileAt(int fd, void* data, size_t count, int64_t offset) {
  auto* p = static_cast<uint8_t*>(data);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd, p + done, count - done, off_t(offset + int64_t(done)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

bool WriteFileAt(int fd, const TWritePiece* pieces, size_t count, int64_t offset) {
  if (g_hooks.Write != PlainWrite) {
    for (size_t i = 0; i < count; ++i) {
      if (!WriteFileAt(fd, pieces[i].Data, pieces[i].Size, offset)) return false;
      offset += int64_t(pieces[i].Size);
    }
    return true;
  }
#ifdef IOV_MAX
  constexpr size_t kMaxParts = IOV_MAX;
#else
  constexpr size_t kMaxParts = 16;  // the least any system allows
#endif
  // A megabyte a call at most: for a larger write the system takes its cache
  // pages in large pieces of memory, which on a virtual machine whose host
  // takes back what lies free may come from the host anew, page by page (a
  // picture written 4 MB a call measured seven times slower than 1 MB a call).
  constexpr size_t kMaxBytes = size_t(1) << 20;
  std::vector<iovec> parts;
  size_t i = 0, done = 0;  // pieces[i] is written up to done
  for (;;) {
    while (i < count && done == pieces[i].Size) {
      ++i;
      done = 0;
    }
    if (i == count) return true;
    parts.clear();
    size_t bytes = 0;
    for (size_t k = i; k < count && parts.size() < kMaxParts && bytes < kMaxBytes; ++k) {
      const size_t from = k == i ? done : 0;
      const size_t size = std::min(pieces[k].Size - from, kMaxBytes - bytes);
      if (size > 0)
        parts.push_back({const_cast<uint8_t*>(static_cast<const uint8_t*>(pieces[k].Data)) + from, size});
      bytes += size;
    }
    const ssize_t n = ::pwritev(fd, parts.data(), int(parts.size()), off_t(offset));
    const TWriteCall call = WriteCallOf(n);
    if (call == TWriteCall::wcAgain) continue;
    if (call == TWriteCall::wcFailed) return false;
    offset += n;
    for (size_t left = size_t(n); left > 0;) {
      const size_t step = std::min(left, pieces[i].Size - done);
      done += step;
      left -= step;
      if (done == pieces[i].Size && left > 0) {
        ++i;
        done = 0;
      }
    }
  }
}

void SetFlushOnReplace(bool on) {
  g_flush = on;
}

bool IsReplacementName(const std::string& name) {
  size_t end;
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
    end = name.size() - 4;
  else if (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0)
    end = name.size() - 5;
  else
    return false;
  const size_t tag = std::strlen(kTempTag);
  if (end < tag + kTempLetters + 1) return false;
  const size_t at = end - kTempLetters - tag;
  if (name.compare(at, tag, kTempTag) != 0) return false;
  for (size_t i = at + tag; i < end; ++i)
    if (!std::isalnum(uint8_t(name[i]))) return false;
  return true;
}

TReplacement::TReplacement(const std::string& fileName, const char* suffix)
    : FFileName(fileName), FTarget(ReplaceTarget(fileName)) {
  const std::string ending = std::string(suffix) == ".part" ? ".part" : ".tmp";
  const std::string folder = ExtractFilePath(FTarget);
  std::string leaf = ExtractFileName(FTarget);
  // The temporary's name must stay within the system's limit however long
  // the target's is.
  const size_t extra = std::strlen(kTempTag) + kTempLetters + ending.size();
  if (leaf.size() + extra > kNameMax) leaf.resize(kNameMax - extra);
  // The lock tells a later start's cleanup that a live save owns the file.
  FHandle = CreateLockedFile([&] { return folder + leaf + kTempTag + UniqueLetters(kTempLetters) + ending; },
                             0666, FTempName);
  if (FHandle < 0) RaiseCreateError(fileName, errno);
  FTicket = RemoveOnTermination(FTempName);
  NoteSaveBegun(FTempName);
}

TReplacement::~TReplacement() {
  Discard();
}

void TReplacement::Close() {
  ForgetOnTermination(FTicket);
  NoteSaveEnded(FTempName);
  ::close(FHandle);
  FHandle = -1;
  FTicket = -1;
}

void TReplacement::Discard() {
  if (FHandle < 0) return;
  // Only the file this save made: a name that now leads elsewhere is left.
  struct stat held {}, named {};
  if (::fstat(FHandle, &held) == 0 && ::lstat(FTempName.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
      held.st_ino == named.st_ino)
    ::unlink(FTempName.c_str());
  Close();
}

void TReplacement::Write(const void* data, size_t size) {
  if (FHandle < 0) RaiseWriteError(FFileName, EBADF);
  if (!WriteFileAt(FHandle, data, size, FEnd)) {
    const int e = errno;
    Discard();
    RaiseWriteError(FFileName, e);
  }
  FEnd += int64_t(size);
}

void TReplacement::Commit() {
  if (FHandle < 0) RaiseWriteError(FFileName, EBADF);
  auto fail = [&](int e) {
    Discard();
    RaiseWriteError(FFileName, e);
  };
  // The data must be on the disk before the name points at it, or a power
  // cut can leave an empty file where the old one was.
  if (g_flush && !g_hooks.Sync(FHandle)) fail(errno);
  // The new file keeps the access rights the user gave the old one.
  struct stat old {};
  if (::lstat(FTarget.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(FHandle, old.st_mode & 07777);
  // The name must still lead to the file written: what someone put in its
  // place is never renamed over the user's file.
  struct stat held {}, named {};
  if (::fstat(FHandle, &held) != 0 || ::lstat(FTempName.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
      held.st_ino != named.st_ino) {
    Close();
    throw EFileError(Format("Unable to write to %s (its temporary file %s was replaced by another program)",
                            FFileName.c_str(), FTempName.c_str()));
  }
  if (std::rename(FTempName.c_str(), FTarget.c_str()) != 0) fail(errno);
  Close();
  // The rename itself lives in the folder.
  if (g_flush) {
    std::string folder = ExtractFilePath(FTarget);
    if (folder.empty()) folder = ".";
    if (!SyncFolder(folder)) RaiseWriteError(FFileName, errno);
  }
}

std::string FailureReason(const std::exception& e) {
  const auto* file = dynamic_cast<const EFileError*>(&e);
  return file && file->Code() != 0 ? std::string(std::strerror(file->Code())) : std::string(e.what());
}

void WriteNewFile(const std::string& fileName, const std::vector<uint8_t>& data) {
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) RaiseCreateError(fileName, errno);
  const bool ok = WriteFileAt(fd, data.data(), data.size(), 0);
  const int e = errno;
  // A full disk may only show when the file is closed.
  if (::close(fd) != 0 || !ok) {
    const int reason = ok ? errno : e;
    ::unlink(fileName.c_str());
    RaiseWriteError(fileName, reason);
  }
}

void WriteFileReplacing(const std::string& fileName, const std::vector<uint8_t>& data) {
  TReplacement r(fileName);
  r.Write(data.data(), data.size());
  r.Commit();
}

bool FileExists(const std::string& fileName) {
  std::error_code ec;
  return fs::is_regular_file(fs::u8path(fileName), ec);
}

bool DirectoryExists(const std::string& dir) {
  std::error_code ec;
  return fs::is_directory(fs::u8path(dir), ec);
}

int64_t FileSize(const std::string& fileName) {
  std::error_code ec;
  const auto n = fs::file_size(fs::u8path(fileName), ec);
  return ec ? -1 : int64_t(n);
}

bool DeleteFile(const std::string& fileName) {
  return std::remove(fileName.c_str()) == 0;
}

static size_t LastDelimiter(const std::string& path) {
  return path.find_last_of("/\\");
}

std::string ExtractFileName(const std::string& path) {
  const size_t p = LastDelimiter(path);
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string ExtractFilePath(const std::string& path) {
  const size_t p = LastDelimiter(path);
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string ExtractFileExt(const std::string& path) {
  const size_t d = LastDelimiter(path);
  const size_t p = path.find_last_of('.');
  if (p == std::string::npos || (d != std::string::npos && p < d)) return std::string();
  return path.substr(p);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const std::string old = ExtractFileExt(path);
  return path.substr(0, path.size() - old.size()) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& dir) {
  if (!dir.empty() && dir.back() == '/') return dir;
  return dir + "/";
}

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return r;
}

namespace {
std::string g_programLink = "/proc/self/exe";
}  // namespace

void SetProgramFileLink(const std::string& link) {
  g_programLink = link.empty() ? "/proc/self/exe" : link;
}

std::string ProgramFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink(g_programLink, ec);
  // Without the program's own file there is no program folder: the current
  // folder is anyone's, and a module or settings file found there must not
  // be taken for the program's own.
  if (ec || !exe.is_absolute()) return std::string();
  return IncludeTrailingPathDelimiter(exe.parent_path().string());
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return IncludeTrailingPathDelimiter(home);
  const passwd* pw = ::getpwuid(::getuid());
  if (pw && pw->pw_dir && pw->pw_dir[0] == '/') return IncludeTrailingPathDelimiter(pw->pw_dir);
  return std::string();
}

std::string MakeTempFileName(const std::string& prefix) {
  TWorkFile f = CreateWorkFile(prefix);
  // Handed over by name: the caller opens and deletes it itself.
  ForgetOnTermination(f.Ticket);
  ::close(f.Handle);
  return f.Name;
}

uint32_t GetTickMs() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
