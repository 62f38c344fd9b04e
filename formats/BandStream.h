// Random-access outputs for the band writers: a file opened for reading and
// writing, or a block of memory. Both sit behind one interface, so a picture
// sent through either comes out as the same bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Files.h"

class TBandStream {
 public:
  virtual ~TBandStream() = default;
  TBandStream() = default;
  TBandStream(const TBandStream&) = delete;
  TBandStream& operator=(const TBandStream&) = delete;

  virtual int64_t Size() const = 0;
  // Grows the stream with zero bytes, reserving the space at once, or cuts it.
  // Raises EFileError (no space, write error) or EOutOfResources (memory).
  virtual void SetSize(int64_t size) = 0;
  // Writes count bytes at offset; writing past the end extends the stream.
  // Raises EFileError on failure.
  virtual void WriteAt(int64_t offset, const void* data, size_t count) = 0;
  // Writes the pieces one after another from offset, as WriteAt would one
  // by one.
  virtual void WritePiecesAt(int64_t offset, const TWritePiece* pieces, size_t count);
  // Reads up to count bytes at offset; returns how many there were.
  virtual size_t ReadAt(int64_t offset, void* data, size_t count) = 0;
};

enum class TFileMode { fmCreate, fmOpenReadWrite };

// A file on disk. fmCreate makes a new empty file (replacing one of that
// name); fmOpenReadWrite opens an existing one. Raises EFileError
// "Cannot create file ..." / "Cannot open file ..." when that fails.
class TBandFileStream : public TBandStream {
 public:
  TBandFileStream(const std::string& fileName, TFileMode mode);
  // Writes through a handle someone else keeps open (a save's temporary,
  // TReplacement); errors name fileName, the file the user asked for, and
  // neither Close nor the destructor closes the handle.
  TBandFileStream(int handle, const std::string& fileName);
  ~TBandFileStream() override;

  int64_t Size() const override;
  void SetSize(int64_t size) override;
  void WriteAt(int64_t offset, const void* data, size_t count) override;
  // In one system call where the system allows.
  void WritePiecesAt(int64_t offset, const TWritePiece* pieces, size_t count) override;
  size_t ReadAt(int64_t offset, void* data, size_t count) override;
  // Closes the file now, raising EFileError when the system reports a failure;
  // the destructor closes silently.
  void Close();
  const std::string& FileName() const { return FFileName; }
  // The system's error number of the last write or size change that failed
  // (0 when none did), for callers whose routine reports only false.
  int LastError() const { return FLastError; }

 private:
  [[noreturn]] void RaiseWriteError(int err);
  std::string FFileName;
  int FHandle = -1;
  bool FOwnsHandle = true;
  int FLastError = 0;
};

// A growable block of memory with the same behaviour as the file.
class TBandMemoryStream : public TBandStream {
 public:
  int64_t Size() const override { return int64_t(FData.size()); }
  void SetSize(int64_t size) override;
  void WriteAt(int64_t offset, const void* data, size_t count) override;
  size_t ReadAt(int64_t offset, void* data, size_t count) override;
  const std::vector<uint8_t>& Bytes() const { return FData; }

 private:
  std::vector<uint8_t> FData;
};
