// A library or project file being opened: read piece by piece where the
// headers say, never whole, so a file that is not one (or claims more than
// the format can hold) is refused after its first bytes. Also what tells a
// file that has not changed since it was read: its stamp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Files.h"

// What the system says of a file that changes whenever its bytes change:
// device, inode, size and the times of its last change.
struct TFileStamp {
  uint64_t Device = 0, Inode = 0;
  int64_t Size = -1;
  int64_t Modified = 0, Changed = 0;  // nanoseconds
  bool Known() const { return Size >= 0; }
  bool operator==(const TFileStamp&) const = default;
};

// The stamp of the file a name stands for now; not Known() when there is none.
TFileStamp StampOfFile(const std::string& fileName);

class TImageFile {
 public:
  // Opens a file for reading. Raises EFileError "Cannot open file ..." for
  // one that cannot be opened or is no plain file.
  explicit TImageFile(const std::string& fileName);

  int64_t Size() const { return FStamp.Size; }
  const TFileStamp& Stamp() const { return FStamp; }
  // Exactly n bytes at pos; raises EFileError when the file has fewer.
  void ReadAt(int64_t pos, void* buf, size_t n) const;
  std::vector<uint8_t> Read(int64_t pos, int64_t n) const;
  // A descriptor of the same open file, for the caller to keep.
  int Duplicate() const;

 private:
  TFileReader FFile;
  TFileStamp FStamp;
};

// A hash of bytes, to tell whether a section still holds what was read.
uint64_t ContentHash(const uint8_t* p, size_t n);
