#include "platform/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/Errors.h"

namespace fs = std::filesystem;

namespace {
// The system's words for an error number (a stream may leave none behind).
const char* ReasonOf(int e) {
  return e != 0 ? std::strerror(e) : "Input/output error";
}
}  // namespace

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

void ReplaceFile(const std::string& tempName, const std::string& fileName) {
  if (std::rename(tempName.c_str(), fileName.c_str()) != 0) {
    const int e = errno;
    std::remove(tempName.c_str());
    throw EFileError(Format("Unable to write to %s (%s)", fileName.c_str(), std::strerror(e)));
  }
}

void WriteFileReplacing(const std::string& fileName, const std::vector<uint8_t>& data) {
  // Through a link the file it points at is replaced, not the link.
  std::string target = fileName;
  std::error_code ec;
  if (fs::is_symlink(fs::u8path(fileName), ec)) {
    const fs::path resolved = fs::canonical(fs::u8path(fileName), ec);
    if (!ec) target = resolved.string();
  }
  const std::string tmp = target + ".tmp";
  errno = 0;
  std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
  // The stream keeps the system's reason in errno; the user needs it to
  // tell a read-only folder from a full disk.
  if (!f) throw EFileError(Format("Cannot create file \"%s\". %s", fileName.c_str(), ReasonOf(errno)));
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  f.close();  // a full disk may only show when the file is closed
  if (!f) {
    const int e = errno;
    std::remove(tmp.c_str());
    throw EFileError(Format("Unable to write to %s (%s)", fileName.c_str(), ReasonOf(e)));
  }
  // The new file keeps the access rights the user gave the old one.
  const fs::file_status old = fs::status(fs::u8path(target), ec);
  if (!ec && fs::is_regular_file(old)) fs::permissions(fs::u8path(tmp), old.permissions(), ec);
  ReplaceFile(tmp, target);
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

std::string ProgramFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return IncludeTrailingPathDelimiter(fs::current_path(ec).string());
  return IncludeTrailingPathDelimiter(exe.parent_path().string());
}

std::string MakeTempFileName(const std::string& prefix) {
  std::error_code ec;
  std::string dir = fs::temp_directory_path(ec).string();
  if (ec || dir.empty()) dir = "/tmp";
  std::string pattern = IncludeTrailingPathDelimiter(dir) + prefix + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  const int fd = mkstemp(buf.data());
  if (fd < 0) throw EFileError(Format("Cannot create a temporary file in %s", dir.c_str()));
  ::close(fd);
  return std::string(buf.data());
}

uint32_t GetTickMs() {
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
