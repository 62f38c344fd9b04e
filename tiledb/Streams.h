// Byte streams that hold a table's sections: one in memory, one on a file.
// Both read and write little-endian values at a current position; a read past
// the end raises EFileError instead of returning garbage.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

static_assert(std::endian::native == std::endian::little, "sections are stored little-endian");

class TStream {
 public:
  virtual ~TStream() = default;

  virtual int64_t Size() const = 0;
  // Cuts or extends (with zeros) the stream; the position is kept.
  virtual void SetSize(int64_t size) = 0;
  // Reads or writes exactly n bytes at pos, without moving the position.
  virtual void ReadAt(int64_t pos, void* buf, size_t n) const = 0;
  virtual void WriteAt(int64_t pos, const void* buf, size_t n) = 0;

  int64_t Position = 0;

  void Seek(int64_t pos) { Position = pos; }
  void SeekEnd() { Position = Size(); }
  void Clear() {
    SetSize(0);
    Position = 0;
  }
  void ReadBuffer(void* buf, size_t n) {
    ReadAt(Position, buf, n);
    Position += int64_t(n);
  }
  void WriteBuffer(const void* buf, size_t n) {
    WriteAt(Position, buf, n);
    Position += int64_t(n);
  }
  void WriteBytes(const std::vector<uint8_t>& v) { WriteBuffer(v.data(), v.size()); }

  template <typename T>
  T Read() {
    static_assert(std::is_trivially_copyable_v<T>);
    T v;
    ReadBuffer(&v, sizeof v);
    return v;
  }
  template <typename T>
  void Write(T v) {
    static_assert(std::is_trivially_copyable_v<T>);
    WriteBuffer(&v, sizeof v);
  }

  // Appends count bytes of src from srcPos at this stream's position.
  void CopyFrom(const TStream& src, int64_t srcPos, int64_t count);
  // The whole stream as bytes.
  std::vector<uint8_t> ReadAll() const;
};

class TMemoryStream : public TStream {
 public:
  int64_t Size() const override { return int64_t(FData.size()); }
  void SetSize(int64_t size) override;
  void ReadAt(int64_t pos, void* buf, size_t n) const override;
  void WriteAt(int64_t pos, const void* buf, size_t n) override;

  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  std::vector<uint8_t>& Bytes() { return FData; }
  const std::vector<uint8_t>& Bytes() const { return FData; }
  void Assign(std::vector<uint8_t> data) {
    FData = std::move(data);
    Position = 0;
  }

 private:
  std::vector<uint8_t> FData;
};

// A stream on a file opened for reading and writing. A default-constructed
// stream is closed; every access to it raises. The stream takes the file as
// its own: its size is asked of the system once and then followed through
// the stream's own writes. Bytes added with Append may stay in memory (reads
// find them there) until a batch is full, another write or a size change
// comes, Flush is called or the stream closes. Reads may run on several
// threads at once while nothing writes.
//
// A temporary stream makes its file (a new temporary file) only when it is
// first changed. Until then it is empty, or stands for a range of another
// file that it reads in place; the first change copies that range into the
// new file in one piece. Cutting such a stream shorter only moves its end.
class TFileStream : public TStream {
 public:
  TFileStream() = default;
  ~TFileStream() override { Close(); }
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  TFileStream(TFileStream&& o) noexcept { *this = std::move(o); }
  TFileStream& operator=(TFileStream&& o) noexcept;

  // Creates (or empties) the file and opens it. Raises EFileError.
  static TFileStream Create(const std::string& fileName);
  // Opens an existing file for reading and writing. Raises EFileError.
  static TFileStream Open(const std::string& fileName);
  // A new work file in the temporary folder (CreateWorkFile), locked while it
  // is open; CloseAndDelete removes it. Raises EFileError with the reason.
  static TFileStream CreateWorkFile();
  // Writes through a handle someone else keeps open (a save's temporary,
  // TReplacement): closing the stream leaves the handle open. Write errors
  // name fileName: "Unable to write to <fileName> (<reason>)".
  static TFileStream OnHandle(int handle, const std::string& fileName);
  // An empty temporary stream whose file, when one is needed, is a work file
  // (CreateWorkFile with prefix).
  static TFileStream Temporary(const std::string& prefix);
  // A temporary stream holding size bytes of the file fd from offset. The
  // stream takes the descriptor as its own (and closes it).
  static TFileStream SharedRange(int fd, int64_t offset, int64_t size, const std::string& prefix);

  bool IsOpen() const { return FFd >= 0 || !FPrefix.empty(); }
  // The stream has a file of its own (always, unless it is temporary and unchanged).
  bool HasOwnFile() const { return FFd >= 0; }
  // The stream still reads another file's bytes in place.
  bool Shared() const { return FFd < 0 && FSrcFd >= 0; }
  const std::string& FileName() const { return FFileName; }
  void Close();
  // Closes the stream and removes its file.
  void CloseAndDelete();

  int64_t Size() const override;
  void SetSize(int64_t size) override;
  void ReadAt(int64_t pos, void* buf, size_t n) const override;
  void WriteAt(int64_t pos, const void* buf, size_t n) override;
  // Writes n bytes at the end; returns where they start.
  int64_t Append(const void* buf, size_t n);
  // Writes what Append holds back. Raises EFileError.
  void Flush();
  // Appends count bytes of src from srcPos at the end of this stream, in
  // large pieces and, between two files, without passing them through memory.
  void AppendFrom(const TFileStream& src, int64_t srcPos, int64_t count);

 private:
  void WriteOut(int64_t pos, const uint8_t* p, size_t n);
  // Makes the temporary stream's own file, with the shared bytes in it.
  void MakeOwnFile();
  void DropSource();

  int FFd = -1;
  std::string FFileName;
  bool FOwnsHandle = true;
  int FWorkTicket = -1;  // a work file's place on the list of files a signal removes
  mutable int64_t FSize = -1;  // -1 not known; the file's size, without FTail
  // Appended bytes not written yet, which belong at FSize.
  std::vector<uint8_t> FTail;
  // A temporary stream: the prefix of its file's name, empty otherwise.
  std::string FPrefix;
  // The bytes a temporary stream reads in place before its first change.
  int FSrcFd = -1;
  int64_t FSrcOffset = 0, FSrcSize = 0;
};

// Copies count bytes from one descriptor at srcPos to another at dstPos, in
// the kernel where it can; raises EFileError("Stream write error") on failure.
void CopyFileRange(int srcFd, int64_t srcPos, int dstFd, int64_t dstPos, int64_t count);
