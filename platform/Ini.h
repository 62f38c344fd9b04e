// Settings access: one value of the settings file per call. Each call opens
// and closes the file; nothing is cached. Sections and keys compare without
// regard to case; CRLF and LF files are read; lines the call does not touch
// are kept as they were.
#pragma once
#include <cstdint>
#include <string>

// The full path of vt002.ini, set once at start-up (from DefaultSettingsFileName).
extern std::string SettingsFileName;
// vt002.ini in the program's folder when that folder is writable, otherwise in
// $XDG_CONFIG_HOME/vitrane/ (default ~/.config/vitrane/), created on demand;
// an installed program would otherwise silently lose every setting.
std::string DefaultSettingsFileName();
// The same choice from given places (configHome is $XDG_CONFIG_HOME, used only
// when it is an absolute path; home is $HOME).
std::string DefaultSettingsFileName(const std::string& programFolder, const std::string& configHome,
                                    const std::string& home);

// The value routines swallow every failure: readers return the default,
// writers do nothing.
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

// The class library's INI file object, which raises on failure:
// WriteString raises EFileError "Unable to write to %s".
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
