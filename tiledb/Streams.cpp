#include "tiledb/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/WorkFiles.h"

namespace {

// A table's work file could not be written: the system's reason with it.
[[noreturn]] void RaiseStreamWriteError(int e) {
  throw EFileError(Format("Stream write error (%s)", std::strerror(e)), e);
}

}  // namespace

void TStream::CopyFrom(const TStream& src, int64_t srcPos, int64_t count) {
  if (count <= 0) return;
  // Bytes in memory are written from where they are; from a file to the end
  // of a file, the system copies them.
  if (const auto* mem = dynamic_cast<const TMemoryStream*>(&src)) {
    if (srcPos < 0 || srcPos > mem->Size() || count > mem->Size() - srcPos) throw EFileError("Stream read error");
    WriteBuffer(mem->Memory() + srcPos, size_t(count));
    return;
  }
  auto* file = dynamic_cast<TFileStream*>(this);
  const auto* from = dynamic_cast<const TFileStream*>(&src);
  if (file && from && file->HasOwnFile() && Position == Size()) {
    file->AppendFrom(*from, srcPos, count);
    Position += count;
    return;
  }
  uint8_t buf[65536];
  while (count > 0) {
    const size_t n = size_t(count < int64_t(sizeof buf) ? count : int64_t(sizeof buf));
    src.ReadAt(srcPos, buf, n);
    WriteBuffer(buf, n);
    srcPos += int64_t(n);
    count -= int64_t(n);
  }
}

std::vector<uint8_t> TStream::ReadAll() const {
  std::vector<uint8_t> v(static_cast<size_t>(Size()));
  if (!v.empty()) ReadAt(0, v.data(), v.size());
  return v;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EFileError("Stream size cannot be negative");
  FData.resize(size_t(size));
}

void TMemoryStream::ReadAt(int64_t pos, void* buf, size_t n) const {
  if (pos < 0 || pos > Size() || int64_t(n) > Size() - pos) throw EFileError("Stream read error");
  if (n) std::memcpy(buf, FData.data() + pos, n);
}

void TMemoryStream::WriteAt(int64_t pos, const void* buf, size_t n) {
  if (pos < 0) throw EFileError("Stream write error");
  if (pos + int64_t(n) > Size()) FData.resize(size_t(pos) + n);
  if (n) std::memcpy(FData.data() + pos, buf, n);
}

TFileStream& TFileStream::operator=(TFileStream&& o) noexcept {
  if (this != &o) {
    Close();
    FFd = std::exchange(o.FFd, -1);
    FFileName = std::move(o.FFileName);
    FOwnsHandle = std::exchange(o.FOwnsHandle, true);
    FWorkTicket = std::exchange(o.FWorkTicket, -1);
    Position = std::exchange(o.Position, 0);
    FSize = std::exchange(o.FSize, -1);
    FTail = std::exchange(o.FTail, {});
    FPrefix = std::exchange(o.FPrefix, {});
    FSrcFd = std::exchange(o.FSrcFd, -1);
    FSrcOffset = std::exchange(o.FSrcOffset, 0);
    FSrcSize = std::exchange(o.FSrcSize, 0);
  }
  return *this;
}

TFileStream TFileStream::Create(const std::string& fileName) {
  TFileStream s;
  s.FFd = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (s.FFd < 0) {
    const int e = errno;
    throw EFileError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(e)));
  }
  s.FFileName = fileName;
  return s;
}

TFileStream TFileStream::Open(const std::string& fileName) {
  TFileStream s;
  s.FFd = ::open(fileName.c_str(), O_RDWR | O_CLOEXEC);
  if (s.FFd < 0) throw EFileError(Format("Cannot open file \"%s\"", fileName.c_str()));
  s.FFileName = fileName;
  return s;
}

TFileStream TFileStream::CreateWorkFile() {
  TWorkFile f = ::CreateWorkFile("vt");
  TFileStream s;
  s.FFd = f.Handle;
  s.FFileName = f.Name;
  s.FWorkTicket = f.Ticket;
  return s;
}

TFileStream TFileStream::OnHandle(int handle, const std::string& fileName) {
  TFileStream s;
  s.FFd = handle;
  s.FFileName = fileName;
  s.FOwnsHandle = false;
  return s;
}

TFileStream TFileStream::Temporary(const std::string& prefix) {
  TFileStream s;
  s.FPrefix = prefix.empty() ? "vt" : prefix;
  return s;
}

TFileStream TFileStream::SharedRange(int fd, int64_t offset, int64_t size, const std::string& prefix) {
  TFileStream s = Temporary(prefix);
  if (fd < 0 || offset < 0 || size < 0) {
    if (fd >= 0) ::close(fd);
    throw EFileError("Stream read error");
  }
  s.FSrcFd = fd;
  s.FSrcOffset = offset;
  s.FSrcSize = size;
  return s;
}

void TFileStream::DropSource() {
  if (FSrcFd >= 0) ::close(FSrcFd);
  FSrcFd = -1;
  FSrcOffset = FSrcSize = 0;
}

void TFileStream::MakeOwnFile() {
  TWorkFile f = ::CreateWorkFile(FPrefix);
  try {
    if (FSrcSize > 0) CopyFileRange(FSrcFd, FSrcOffset, f.Handle, 0, FSrcSize);
  } catch (...) {
    DeleteWorkFile(f);
    throw;
  }
  FFd = f.Handle;
  FFileName = f.Name;
  FWorkTicket = f.Ticket;
  FSize = FSrcSize;
  DropSource();
}

void TFileStream::Close() {
  // A closing stream cannot report a failed write; Flush first to know.
  try {
    if (FFd >= 0) Flush();
  } catch (const EFileError&) {
  }
  FTail.clear();
  if (FFd >= 0 && FOwnsHandle) ::close(FFd);
  FFd = -1;
  FOwnsHandle = true;
  Position = 0;
  FSize = -1;
  FPrefix.clear();
  DropSource();
}

void TFileStream::CloseAndDelete() {
  const bool had = FFd >= 0 || !FFileName.empty();
  // Removed while its handle still holds the lock, so no cleanup of another
  // run takes it for a dead run's file in between.
  if (had && !FFileName.empty()) ::unlink(FFileName.c_str());
  ForgetOnTermination(FWorkTicket);
  FWorkTicket = -1;
  Close();
  FFileName.clear();
}

int64_t TFileStream::Size() const {
  if (FFd < 0 && !FPrefix.empty()) return FSrcSize;
  if (!FTail.empty()) return FSize + int64_t(FTail.size());
  if (FSize >= 0) return FSize;
  struct stat st;
  if (FFd < 0 || ::fstat(FFd, &st) != 0) throw EFileError("Stream read error");
  FSize = int64_t(st.st_size);
  return FSize;
}

void TFileStream::SetSize(int64_t size) {
  if (FFd < 0 && !FPrefix.empty()) {
    if (size < 0) throw EFileError("Stream write error");
    // Shorter (or emptied) needs no file of its own.
    if (size <= FSrcSize) {
      FSrcSize = size;
      if (size == 0) DropSource();
      return;
    }
    MakeOwnFile();
  }
  Flush();
  FSize = -1;
  if (FFd < 0 || size < 0) throw EFileError("Stream write error");
  if (::ftruncate(FFd, off_t(size)) != 0) {
    RaiseStreamWriteError(errno);
  }
  FSize = size;
}

void TFileStream::ReadAt(int64_t pos, void* buf, size_t n) const {
  auto* p = static_cast<uint8_t*>(buf);
  if (FFd < 0 && !FPrefix.empty()) {
    if (pos < 0 || pos > FSrcSize || int64_t(n) > FSrcSize - pos ||
        ReadFileAt(FSrcFd, p, n, FSrcOffset + pos) != int64_t(n))
      throw EFileError("Stream read error");
    return;
  }
  if (FFd < 0 || pos < 0) throw EFileError("Stream read error");
  if (!FTail.empty() && pos + int64_t(n) > FSize) {
    // The part held back comes from memory, the rest from the file.
    const int64_t from = std::max(pos, FSize);
    const size_t k = size_t(pos + int64_t(n) - from);
    if (from - FSize + int64_t(k) > int64_t(FTail.size())) throw EFileError("Stream read error");
    std::memcpy(p + (from - pos), FTail.data() + (from - FSize), k);
    n -= k;
  }
  if (ReadFileAt(FFd, p, n, pos) != int64_t(n)) throw EFileError("Stream read error");
}

void TFileStream::WriteAt(int64_t pos, const void* buf, size_t n) {
  if (FFd < 0 && !FPrefix.empty() && pos >= 0) MakeOwnFile();
  if (FFd < 0 || pos < 0) throw EFileError("Stream write error");
  Flush();
  WriteOut(pos, static_cast<const uint8_t*>(buf), n);
}

int64_t TFileStream::Append(const void* buf, size_t n) {
  if (FFd < 0 && !FPrefix.empty()) MakeOwnFile();
  if (FFd < 0) throw EFileError("Stream write error");
  // Thumbnails come a kilobyte or two at a time, a system call each to
  // write and, for the cells just built, each to read back for their redraw.
  constexpr size_t kBatch = size_t(2) << 20;
  const int64_t at = Size();
  const auto* p = static_cast<const uint8_t*>(buf);
  // Reserved whole, so a growing batch is never copied; pages the batch
  // does not reach are never touched.
  if (FTail.capacity() < kBatch) FTail.reserve(kBatch);
  FTail.insert(FTail.end(), p, p + n);
  if (FTail.size() >= kBatch) Flush();
  return at;
}

void TFileStream::Flush() {
  if (FTail.empty()) return;
  const int64_t at = FSize;
  try {
    WriteOut(at, FTail.data(), FTail.size());
  } catch (const EFileError&) {
    FSize = at;  // the bytes held back are still whole; a later flush writes them again
    throw;
  }
  FTail.clear();
}

void TFileStream::WriteOut(int64_t pos, const uint8_t* p, size_t n) {
  if (!WriteFileAt(FFd, p, n, pos)) {
    const int e = errno;
    FSize = -1;  // a part may have been written
    if (!FOwnsHandle)
      throw EFileError(Format("Unable to write to %s (%s)", FFileName.c_str(), std::strerror(e)), e);
    RaiseStreamWriteError(e);
  }
  if (FSize >= 0 && pos + int64_t(n) > FSize) FSize = pos + int64_t(n);
}

void TFileStream::AppendFrom(const TFileStream& src, int64_t srcPos, int64_t count) {
  if (count <= 0) return;
  if (srcPos < 0 || srcPos > src.Size() || count > src.Size() - srcPos) throw EFileError("Stream read error");
  if (FFd < 0 && !FPrefix.empty()) MakeOwnFile();
  if (FFd < 0) throw EFileError("Stream write error");
  // What either side holds back in memory goes the ordinary way.
  const int64_t inFile = src.FFd >= 0 ? src.FSize : src.FSrcSize;
  const int64_t direct = std::clamp<int64_t>(inFile - srcPos, 0, count);
  if (direct > 0) {
    Flush();
    const int64_t at = Size();
    const int fd = src.FFd >= 0 ? src.FFd : src.FSrcFd;
    const int64_t from = src.FFd >= 0 ? srcPos : src.FSrcOffset + srcPos;
    FSize = -1;  // a part may have been written
    CopyFileRange(fd, from, FFd, at, direct);
    FSize = at + direct;
  }
  if (direct < count) {
    std::vector<uint8_t> rest(size_t(count - direct));
    src.ReadAt(srcPos + direct, rest.data(), rest.size());
    Append(rest.data(), rest.size());
  }
}

void CopyFileRange(int srcFd, int64_t srcPos, int dstFd, int64_t dstPos, int64_t count) {
  while (count > 0) {
    loff_t in = loff_t(srcPos), out = loff_t(dstPos);
    const ssize_t r = ::copy_file_range(srcFd, &in, dstFd, &out, size_t(std::min<int64_t>(count, 1 << 30)), 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    srcPos += r;
    dstPos += r;
    count -= r;
  }
  // Where the kernel cannot copy between the two files, through memory.
  std::vector<uint8_t> buf;
  while (count > 0) {
    if (buf.empty()) buf.resize(size_t(std::min<int64_t>(count, int64_t(1) << 20)));
    const size_t n = size_t(std::min<int64_t>(count, int64_t(buf.size())));
    const int64_t r = ReadFileAt(srcFd, buf.data(), n, srcPos);
    if (r <= 0) throw EFileError("Stream read error");
    if (!WriteFileAt(dstFd, buf.data(), size_t(r), dstPos)) {
      RaiseStreamWriteError(errno);
    }
    srcPos += r;
    dstPos += r;
    count -= r;
  }
}
