#include "platform/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/Errors.h"

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
  auto* p = static_cast<uint8_t*>(buf);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(FHandle, p + done, count - done, off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EFileError(Format("Cannot read file \"%s\"", FName.c_str()));
    if (n == 0) break;  // the file shrank
    done += size_t(n);
  }
  return done;
}

std::vector<uint8_t> TFileReader::ReadRange(uint64_t offset, uint64_t count) const {
  const uint64_t held = offset < FSize ? std::min(count, FSize - offset) : 0;
  std::vector<uint8_t> data(static_cast<size_t>(held));
  data.resize(ReadAt(offset, data.data(), data.size()));
  return data;
}

namespace {

bool PlainWrite(int fd, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    p += n;
    size -= size_t(n);
  }
  return true;
}

bool PlainSync(int fd) {
  return ::fsync(fd) == 0;
}

TFileWriteHooks g_hooks{PlainWrite, PlainSync};
std::atomic<bool> g_flush{true};

// Through a link the file it points at is replaced, not the link.
std::string ReplaceTarget(const std::string& fileName) {
  std::error_code ec;
  if (fs::is_symlink(fs::u8path(fileName), ec)) {
    const fs::path resolved = fs::weakly_canonical(fs::u8path(fileName), ec);
    if (!ec) return resolved.string();
  }
  return fileName;
}

[[noreturn]] void RaiseWriteError(const std::string& fileName, int e) {
  throw EFileError(Format("Unable to write to %s (%s)", fileName.c_str(), std::strerror(e)));
}

// Flushes a file or folder by name; false with errno set on failure.
bool SyncPath(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = g_hooks.Sync(fd);
  const int e = errno;
  ::close(fd);
  errno = e;
  return ok;
}

}  // namespace

void SetFileWriteHooks(const TFileWriteHooks& hooks) {
  g_hooks.Write = hooks.Write ? hooks.Write : PlainWrite;
  g_hooks.Sync = hooks.Sync ? hooks.Sync : PlainSync;
}

void SetFlushOnReplace(bool on) {
  g_flush = on;
}

std::string ReplacementName(const std::string& fileName, const char* suffix) {
  const std::string temp = ReplaceTarget(fileName) + suffix;
  // Only a plain file can be ours; anything else of that name stays and the
  // create that follows reports it.
  std::error_code ec;
  if (fs::is_regular_file(fs::symlink_status(fs::u8path(temp), ec))) ::unlink(temp.c_str());
  return temp;
}

void ReplaceFile(const std::string& tempName, const std::string& fileName) {
  const std::string target = ReplaceTarget(fileName);
  auto fail = [&](int e) {
    ::unlink(tempName.c_str());
    RaiseWriteError(fileName, e);
  };
  // The data must be on the disk before the name points at it, or a power
  // cut can leave an empty file where the old one was.
  if (g_flush && !SyncPath(tempName, O_RDONLY)) fail(errno);
  // The new file keeps the access rights the user gave the old one.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::chmod(tempName.c_str(), old.st_mode & 07777);
  if (std::rename(tempName.c_str(), target.c_str()) != 0) fail(errno);
  // The rename itself lives in the folder.
  if (g_flush) {
    std::string folder = ExtractFilePath(target);
    if (folder.empty()) folder = ".";
    if (!SyncPath(folder, O_RDONLY | O_DIRECTORY)) RaiseWriteError(fileName, errno);
  }
}

namespace {

// Creates (or empties) path and writes data; errors name shownName, the file
// the user asked for, with the system's reason.
void WriteData(const std::string& path, const std::string& shownName, const std::vector<uint8_t>& data) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int e = errno;
    throw EFileError(Format("Cannot create file \"%s\". %s", shownName.c_str(), std::strerror(e)));
  }
  const bool ok = data.empty() || g_hooks.Write(fd, data.data(), data.size());
  const int e = errno;
  // A full disk may only show when the file is closed.
  if (::close(fd) != 0 || !ok) {
    const int reason = ok ? errno : e;
    ::unlink(path.c_str());
    RaiseWriteError(shownName, reason);
  }
}

}  // namespace

void WriteNewFile(const std::string& fileName, const std::vector<uint8_t>& data) {
  WriteData(fileName, fileName, data);
}

void WriteFileReplacing(const std::string& fileName, const std::vector<uint8_t>& data) {
  const std::string tmp = ReplacementName(fileName);
  WriteData(tmp, fileName, data);
  ReplaceFile(tmp, fileName);
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
  std::error_code ec;
  std::string dir = fs::temp_directory_path(ec).string();
  if (ec || dir.empty()) dir = "/tmp";
  std::string pattern = IncludeTrailingPathDelimiter(dir) + prefix + std::to_string(::getpid()) + "-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const int fd = mkstemp(buf.data());
  if (fd < 0) {
    const int e = errno;
    throw EFileError(Format("Cannot create a temporary file in %s (%s)", dir.c_str(), std::strerror(e)));
  }
  ::close(fd);
  return std::string(buf.data());
}

int RemoveStaleTempFiles(const std::string& prefix) {
  std::error_code ec;
  fs::path dir = fs::temp_directory_path(ec);
  if (ec || dir.empty()) dir = "/tmp";
  int removed = 0;
  const pid_t self = ::getpid();
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // prefix, decimal process id, "-", six characters from mkstemp
    if (name.size() < prefix.size() + 8 || name.compare(0, prefix.size(), prefix) != 0) continue;
    const size_t dash = name.find('-', prefix.size());
    if (dash == std::string::npos || dash == prefix.size() || name.size() - dash - 1 != 6 || dash - prefix.size() > 9)
      continue;
    const std::string digits = name.substr(prefix.size(), dash - prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    const std::string tail = name.substr(dash + 1);
    if (!std::all_of(tail.begin(), tail.end(), [](char c) { return std::isalnum(uint8_t(c)) != 0; })) continue;
    const pid_t pid = pid_t(std::stol(digits));
    if (pid <= 0 || pid == self) continue;
    // EPERM means the process lives under another user: not ours to judge.
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    std::error_code rec;
    if (!fs::is_regular_file(it->symlink_status(rec)) || rec) continue;
    if (fs::remove(it->path(), rec)) ++removed;
  }
  return removed;
}

uint32_t GetTickMs() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
