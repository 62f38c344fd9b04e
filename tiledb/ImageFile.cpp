#include "tiledb/ImageFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"

namespace {

TFileStamp StampOf(const struct stat& st) {
  TFileStamp s;
  s.Device = uint64_t(st.st_dev);
  s.Inode = uint64_t(st.st_ino);
  s.Size = int64_t(st.st_size);
  s.Modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.Changed = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}

}  // namespace

TFileStamp StampOfFile(const std::string& fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return StampOf(st);
}

TImageFile::TImageFile(const std::string& fileName) : FFile(fileName) {
  struct stat st {};
  if (::fstat(FFile.Handle(), &st) != 0)
    throw EFileError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
  FStamp = StampOf(st);
}

void TImageFile::ReadAt(int64_t pos, void* buf, size_t n) const {
  if (pos < 0 || pos > Size() || int64_t(n) > Size() - pos || FFile.ReadAt(uint64_t(pos), buf, n) != n)
    throw EFileError(Format("Cannot read file \"%s\"", FFile.Name().c_str()));
}

std::vector<uint8_t> TImageFile::Read(int64_t pos, int64_t n) const {
  if (n < 0 || pos < 0 || pos > Size() || n > Size() - pos)
    throw EFileError(Format("Cannot read file \"%s\"", FFile.Name().c_str()));
  std::vector<uint8_t> out(static_cast<size_t>(n));
  ReadAt(pos, out.data(), out.size());
  return out;
}

int TImageFile::Duplicate() const {
  const int fd = ::fcntl(FFile.Handle(), F_DUPFD_CLOEXEC, 0);
  if (fd < 0)
    throw EFileError(Format("Cannot open file \"%s\". %s", FFile.Name().c_str(), std::strerror(errno)));
  return fd;
}

uint64_t ContentHash(const uint8_t* p, size_t n) {
  // Four independent lanes of multiply-and-mix over 8-byte words, folded at
  // the end: fast enough to run over a table's sections on every open.
  constexpr uint64_t k = 0x9E3779B97F4A7C15ull;
  uint64_t lane[4] = {k, k ^ 1, k ^ 2, k ^ 3};
  size_t i = 0;
  for (; i + 32 <= n; i += 32)
    for (int j = 0; j < 4; ++j) {
      uint64_t w;
      std::memcpy(&w, p + i + 8 * size_t(j), 8);
      lane[j] = (lane[j] ^ w) * k;
      lane[j] ^= lane[j] >> 29;
    }
  uint64_t h = uint64_t(n) * k;
  for (int j = 0; j < 4; ++j) h = (h ^ lane[j]) * k;
  for (; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
  return h ^ (h >> 31);
}
