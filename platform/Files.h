// File and folder helpers, temporary files and the millisecond clock.
#pragma once
#include <cstdint>
#include <exception>
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
  // The open file's descriptor, for asking the system about it (or for a
  // duplicate that outlives the reader); it stays the reader's own.
  int Handle() const { return FHandle; }

 private:
  std::string FName;
  int FHandle = -1;
  uint64_t FSize = 0;
};

// Every file the program saves replaces the old one in one way: the new
// version is written to a temporary file of its own beside the target
// (beside the file a link points at), flushed to the disk through its own
// handle, given the old file's access rights and renamed over the target, and
// then the folder is flushed. Until the rename the old file is untouched, and
// after a power cut the target is the old file or the complete new one.
//
// The temporary is made anew with an exclusive create that never follows a
// link, under a name no other save uses (target + ".vt-" + six letters or
// digits + ".tmp" or ".part"), and is locked while the save runs (where the
// system gives locks at all): a link planted beside the target is never
// written through, and two saves of one file never touch each other's
// temporary. Another user's link at the target itself, in a sticky shared
// folder such as /tmp, is refused before anything is written. It is listed for removal should a
// signal end the program, and in this run's list of saves in progress
// (KeepSaveList), from which a later start removes what a killed save left.
class TReplacement {
 public:
  // Makes the temporary for fileName; suffix is ".tmp", or ".part" for the
  // pictures written straight to disk. Raises EFileError
  // "Cannot create file "<fileName>". <reason>", or "Not saved: ..." for
  // another user's link in a shared folder.
  explicit TReplacement(const std::string& fileName, const char* suffix = ".tmp");
  // Removes the temporary unless Commit has replaced the target with it.
  ~TReplacement();
  TReplacement(const TReplacement&) = delete;
  TReplacement& operator=(const TReplacement&) = delete;

  // The temporary's handle, open for reading and writing, for writers that
  // write at positions of their own; never reopen the temporary by name.
  int Handle() const { return FHandle; }
  const std::string& TempName() const { return FTempName; }
  const std::string& FileName() const { return FFileName; }
  // Appends data after what Write wrote so far. Raises EFileError
  // "Unable to write to <fileName> (<reason>)" and removes the temporary.
  void Write(const void* data, size_t size);
  // Flushes the temporary, gives it the old file's rights, renames it over
  // the target and flushes the folder. On failure the temporary is removed
  // (when the rename had not happened) and EFileError raised with the reason.
  void Commit();
  // Removes the temporary now.
  void Discard();

 private:
  void Close();
  std::string FFileName, FTarget, FTempName;
  int FHandle = -1;
  int FTicket = -1;
  int64_t FEnd = 0;
};

// True when name (no folder) has the form of a replacement's temporary.
bool IsReplacementName(const std::string& name);

// Writes data to a new temporary and replaces fileName with it. Raises
// EFileError with the system's reason; the old file is then left as it was.
void WriteFileReplacing(const std::string& fileName, const std::vector<uint8_t>& data);

// The system's reason behind a failure ("No space left on device"): the text
// of an EFileError's error number, else the error's own message.
std::string FailureReason(const std::exception& e);

// Creates (or empties) fileName and writes data to it, without flushing.
// Raises EFileError with the reason.
void WriteNewFile(const std::string& fileName, const std::vector<uint8_t>& data);

// The write and flush calls of every writer (the replace routine, the tables'
// file streams, the band writers' files) and the lock call of the files the
// program makes, replaceable by tests to play a full disk, a failing flush or
// a system without locks. Write writes all of size bytes at offset; Write and
// Sync return false with errno set; Lock answers as flock does. Checked is
// told the name a replacement will rename onto once its links are checked,
// so a test can plant a link there in between.
struct TFileWriteHooks {
  bool (*Write)(int fd, const void* data, size_t size, int64_t offset) = nullptr;
  bool (*Sync)(int fd) = nullptr;
  int (*Lock)(int fd, int operation) = nullptr;
  void (*Checked)(const std::string& target) = nullptr;
};
void SetFileWriteHooks(const TFileWriteHooks& hooks);
// flock through the hook, going on after interruptions: 0, or the errno.
int LockFile(int fd, int operation);
// Writes through the hook; false with errno set.
bool WriteFileAt(int fd, const void* data, size_t size, int64_t offset);
// Reads up to count bytes at offset, going on after interrupted and partial
// reads; returns how many were read (fewer only where the file ends), or -1
// with errno set.
int64_t ReadFileAt(int fd, void* data, size_t count, int64_t offset);
// One piece of a gathered write.
struct TWritePiece {
  const void* Data;
  size_t Size;
};
// Writes the pieces one after another from offset, gathered into system
// calls of up to a megabyte each; a test's hook gets them one by one. False
// with errno set.
bool WriteFileAt(int fd, const TWritePiece* pieces, size_t count, int64_t offset);
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
// "-" and six unique characters ("vt4711-a8Xk2Q"); the caller deletes it.
// It is not locked: the program's own work files are made by CreateWorkFile
// (platform/WorkFiles.h), which keeps them locked while they are in use.
// Raises EFileError when none can be made.
std::string MakeTempFileName(const std::string& prefix);

// Milliseconds from an arbitrary start, monotonic (the system's timeGetTime).
uint32_t GetTickMs();
