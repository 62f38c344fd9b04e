// File and folder helpers, temporary files and the millisecond clock.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Reads a whole file; raises EFileError when it cannot be opened or read.
std::vector<uint8_t> ReadWholeFile(const std::string& fileName);

// A file read piece by piece at any offset, the way picture readers take
// their files: what a reader never asks for is never read, so a huge file
// costs only the pieces its header accounts for. Only regular files open: a
// folder, pipe or device raises EFileError, as does a file that cannot be
// opened. The size is the one the file had when it was opened.
class TFileReader {
 public:
  explicit TFileReader(const std::string& fileName);
  ~TFileReader();
  TFileReader(const TFileReader&) = delete;
  TFileReader& operator=(const TFileReader&) = delete;

  const std::string& Name() const { return FName; }
  uint64_t Size() const { return FSize; }
  // Copies up to count bytes at offset into buf and returns how many: fewer
  // only where the file ends (or has shrunk since it was opened). A failing
  // read raises EFileError.
  size_t ReadAt(uint64_t offset, void* buf, size_t count) const;
  // The bytes at offset, at most count of them.
  std::vector<uint8_t> ReadRange(uint64_t offset, uint64_t count) const;

 private:
  std::string FName;
  int FHandle = -1;
  uint64_t FSize = 0;
};

// Every file the program saves replaces the old one in one way: the new file
// is written beside the target (beside the file a link points at), flushed to
// the disk, given the old file's access rights and renamed over the target,
// and then the folder is flushed. Until the rename the old file is untouched,
// and after a power cut the target is the old file or the complete new one.

// Writes data to fileName + ".tmp" and replaces fileName with it. Raises
// EFileError with the system's reason; the old file is then left as it was.
void WriteFileReplacing(const std::string& fileName, const std::vector<uint8_t>& data);

// Creates (or empties) fileName and writes data to it, without flushing;
// the first half of a replacement whose file is finished before ReplaceFile
// (a JPEG whose density is patched in). Raises EFileError with the reason.
void WriteNewFile(const std::string& fileName, const std::vector<uint8_t>& data);

// The name the new version of fileName is written under (fileName + suffix,
// beside the file a link points at). A stale file of that name left by a
// killed save is removed first, so the caller creates it afresh.
std::string ReplacementName(const std::string& fileName, const char* suffix = ".tmp");

// Completes a replacement: flushes tempName, carries over the old file's
// access rights, renames it over fileName (through a link, over the file it
// points at) and flushes the folder. On failure tempName is removed and
// EFileError raised with the system's reason.
void ReplaceFile(const std::string& tempName, const std::string& fileName);

// The write and flush calls of the replace routine, replaceable by tests to
// play a full disk or a failing flush. Each returns false with errno set.
struct TFileWriteHooks {
  bool (*Write)(int fd, const void* data, size_t size) = nullptr;
  bool (*Sync)(int fd) = nullptr;
};
void SetFileWriteHooks(const TFileWriteHooks& hooks);
// Flushing can be switched off to measure what it costs (benchmarks only).
void SetFlushOnReplace(bool on);

bool FileExists(const std::string& fileName);
bool DirectoryExists(const std::string& dir);
int64_t FileSize(const std::string& fileName);         // -1 when missing
bool DeleteFile(const std::string& fileName);          // false when it could not be removed
std::string ExtractFileName(const std::string& path);  // after the last "/" or "\"
std::string ExtractFilePath(const std::string& path);  // up to and including the last "/" or "\"
std::string ExtractFileExt(const std::string& path);   // ".ext" of the file name, or ""
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& dir);
std::string UpperCase(const std::string& s);  // ASCII letters only
std::string LowerCase(const std::string& s);

// The folder of the running program (with a trailing "/"), or "" when the
// program's own file cannot be found (no /proc): then nothing is taken from
// the program's folder.
std::string ProgramFolder();
// Where ProgramFolder looks for the program's file ("" for /proc/self/exe);
// tests play a missing one.
void SetProgramFileLink(const std::string& link);
// The user's home folder (with a trailing "/"): $HOME, else the user's entry
// in the password database; "" when neither gives an absolute path.
std::string HomeFolder();

// A new, empty file in the temporary folder named prefix, this process's id,
// "-" and six unique characters ("vt4711-a8Xk2Q"), so a file left behind by a
// killed run can be told apart from a live one's; the caller deletes it.
// Raises EFileError when none can be made.
std::string MakeTempFileName(const std::string& prefix);

// Removes the files MakeTempFileName(prefix) made for processes that no
// longer run; nothing else in the temporary folder is touched. Returns how
// many were removed.
int RemoveStaleTempFiles(const std::string& prefix);

// Milliseconds from an arbitrary start, monotonic (the system's timeGetTime).
uint32_t GetTickMs();
