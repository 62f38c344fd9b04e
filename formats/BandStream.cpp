#include "formats/BandStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/Errors.h"
#include "platform/Files.h"

TBandFileStream::TBandFileStream(const std::string& fileName, TFileMode mode) : FFileName(fileName) {
  const bool create = mode == TFileMode::fmCreate;
  const int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0);
  do FHandle = ::open(fileName.c_str(), flags, 0666);
  while (FHandle < 0 && errno == EINTR);
  if (FHandle < 0)
    throw EFileError(Format(create ? "Cannot create file \"%s\". %s" : "Cannot open file \"%s\". %s",
                            fileName.c_str(), std::strerror(errno)));
}

TBandFileStream::TBandFileStream(int handle, const std::string& fileName)
    : FFileName(fileName), FHandle(handle), FOwnsHandle(false) {}

TBandFileStream::~TBandFileStream() {
  if (FHandle >= 0 && FOwnsHandle) ::close(FHandle);
}

void TBandFileStream::Close() {
  if (FHandle < 0) return;
  const int handle = FHandle;
  FHandle = -1;
  if (!FOwnsHandle) return;
  if (::close(handle) != 0 && errno != EINTR) RaiseWriteError(errno);
}

void TBandFileStream::RaiseWriteError(int err) {
  FLastError = err;
  throw EFileError(Format("Unable to write to %s (%s)", FFileName.c_str(), std::strerror(err)), err);
}

int64_t TBandFileStream::Size() const {
  struct stat st {};
  if (FHandle < 0 || ::fstat(FHandle, &st) != 0) return 0;
  return int64_t(st.st_size);
}

void TBandFileStream::SetSize(int64_t size) {
  if (FHandle < 0) RaiseWriteError(EBADF);
  if (size < 0) RaiseWriteError(EINVAL);
  const int64_t old = Size();
  if (size > old) {
    // Reserve the blocks now rather than leave a sparse file, so that a disk
    // too small for the picture is found here and not halfway through it.
    int rc;
    do rc = ::fallocate(FHandle, 0, off_t(old), off_t(size - old));
    while (rc != 0 && errno == EINTR);
    if (rc == 0) return;
    const int err = errno;
    if (err != EOPNOTSUPP && err != ENOSYS) {
      // Give back whatever part of the request was granted.
      const int ignored = ::ftruncate(FHandle, off_t(old));
      (void)ignored;
      RaiseWriteError(err);
    }
  }
  if (::ftruncate(FHandle, off_t(size)) != 0) RaiseWriteError(errno);
}

void TBandFileStream::WriteAt(int64_t offset, const void* data, size_t count) {
  if (FHandle < 0) RaiseWriteError(EBADF);
  if (offset < 0) RaiseWriteError(EINVAL);
  if (!WriteFileAt(FHandle, data, count, offset)) RaiseWriteError(errno);
}

void TBandStream::WritePiecesAt(int64_t offset, const TWritePiece* pieces, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    WriteAt(offset, pieces[i].Data, pieces[i].Size);
    offset += int64_t(pieces[i].Size);
  }
}

void TBandFileStream::WritePiecesAt(int64_t offset, const TWritePiece* pieces, size_t count) {
  if (FHandle < 0) RaiseWriteError(EBADF);
  if (offset < 0) RaiseWriteError(EINVAL);
  if (!WriteFileAt(FHandle, pieces, count, offset)) RaiseWriteError(errno);
}

size_t TBandFileStream::ReadAt(int64_t offset, void* data, size_t count) {
  const int64_t done = FHandle < 0 || offset < 0 ? -1 : ReadFileAt(FHandle, data, count, offset);
  if (done < 0) throw EFileError(Format("Cannot read file \"%s\"", FFileName.c_str()));
  return size_t(done);
}

void TBandMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EFileError("Unable to write to memory stream (negative size)");
  try {
    FData.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    throw EOutOfResources(Format("Out of memory for a stream of %lld bytes", static_cast<long long>(size)));
  } catch (const std::length_error&) {
    throw EOutOfResources(Format("Out of memory for a stream of %lld bytes", static_cast<long long>(size)));
  }
}

void TBandMemoryStream::WriteAt(int64_t offset, const void* data, size_t count) {
  if (offset < 0) throw EFileError("Unable to write to memory stream (negative offset)");
  if (count == 0) return;
  const int64_t end = offset + int64_t(count);
  if (end > Size()) SetSize(end);
  std::memcpy(FData.data() + offset, data, count);
}

size_t TBandMemoryStream::ReadAt(int64_t offset, void* data, size_t count) {
  if (offset < 0 || offset >= Size()) return 0;
  const size_t n = std::min(count, size_t(Size() - offset));
  std::memcpy(data, FData.data() + offset, n);
  return n;
}
