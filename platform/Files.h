// File and folder helpers, temporary files and the millisecond clock.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Reads a whole file; raises EFileError when it cannot be opened or read.
std::vector<uint8_t> ReadWholeFile(const std::string& fileName);

// Writes data to fileName + ".tmp" beside it, then renames it over fileName,
// so the user's old file survives any failure. Raises EFileError.
void WriteFileReplacing(const std::string& fileName, const std::vector<uint8_t>& data);

// Renames a finished temporary file over the target (same folder), raising
// EFileError and removing the temporary file when that fails.
void ReplaceFile(const std::string& tempName, const std::string& fileName);

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

// The folder of the running program (with a trailing "/").
std::string ProgramFolder();

// A new, empty file in the temporary folder whose name starts with prefix;
// the caller deletes it. Raises EFileError when none can be made.
std::string MakeTempFileName(const std::string& prefix);

// Milliseconds from an arbitrary start, monotonic (the system's timeGetTime).
uint32_t GetTickMs();
