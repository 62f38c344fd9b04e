// Settings access: one value of the settings file per call. Each call opens
// and closes the file, so a change made by another copy of the program is
// seen by the next call; the text is parsed again only when the file changed.
// Sections and keys compare without regard to case; CRLF and LF files are
// read; lines the call does not touch are kept as they were. Each write is a
// read-modify-write under a lock on vt002.ini.lock beside the file, so two
// copies of the program never lose each other's keys (where the system gives
// no locks, the write goes on without one).
#pragma once
#include <cstdint>
#include <exception>
#include <string>

// A settings file larger than this is not read (it reads as empty) and not
// written (its writers fail): no settings the program writes come near it.
constexpr int64_t kMaxSettingsBytes = int64_t(4) << 20;

// The full path of vt002.ini, set once at start-up (from DefaultSettingsFileName).
extern std::string SettingsFileName;
// vt002.ini beside the program when one is already there (a portable
// install), otherwise in $XDG_CONFIG_HOME/vitrane/ (default
// ~/.config/vitrane/), created on demand; "" when there is no home folder
// either, and then nothing is kept.
std::string DefaultSettingsFileName();
// The same choice from given places (configHome is $XDG_CONFIG_HOME, used only
// when it is an absolute path; home is the user's home folder).
std::string DefaultSettingsFileName(const std::string& programFolder, const std::string& configHome,
                                    const std::string& home);

// The folder a file dialog starts in when no folder is remembered for it:
// the Pictures folder in home when there is one, else home itself (with a
// trailing "/"; "" for no home).
std::string DefaultDialogFolder(const std::string& home);
// The folder remembered under [LastPath] key in SettingsFileName, or the
// default folder of the user's home.
std::string LastPathFolder(const std::string& key);

// The value routines raise nothing: readers return the default, and a
// writer that fails says so through SayWriteFailure.
void IniWriteBool(const std::string& path, const std::string& section, const std::string& key, bool value);
bool IniReadBool(const std::string& path, const std::string& section, const std::string& key, bool def);
int32_t IniReadInteger(const std::string& path, const std::string& section, const std::string& key,
                       int32_t def);
void IniWriteInteger(const std::string& path, const std::string& section, const std::string& key,
                     int32_t value);
void IniReadString(const std::string& path, const std::string& section, const std::string& key,
                   std::string& value, const std::string& def);
void IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value);

// Shows a failed write of settings file path in a message box, once a run:
// at exit every window writes its bounds, and one box says it for all. A
// file over kMaxSettingsBytes is named with what to do about it; any other
// failure is shown in its own words, with the system's reason.
void SayWriteFailure(const std::string& path, const std::exception& e);

// The class library's INI file object, which raises on failure:
// WriteString raises EFileError "Unable to write to %s (<reason>)".
class TIniFile {
 public:
  explicit TIniFile(std::string fileName) : FFileName(std::move(fileName)) {}
  const std::string& FileName() const { return FFileName; }
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def) const;
  bool ReadBool(const std::string& section, const std::string& key, bool def) const;
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

 private:
  std::string FFileName;
};
