#include "platform/Ini.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Utils.h"

std::string SettingsFileName;

namespace {

constexpr const char* kSettingsName = "vt002.ini";

bool SameText(const std::string& a, const std::string& b) {
  return LowerCase(a) == LowerCase(b);
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

// The file as lines without their endings, and the ending it used.
struct IniLines {
  std::vector<std::string> Lines;
  bool Crlf = false;
  bool EndsWithBreak = true;
};

// A missing or unreadable file reads as empty.
IniLines Load(const std::string& fileName) {
  IniLines f;
  std::vector<uint8_t> data;
  try {
    data = ReadWholeFile(fileName);
  } catch (const EVitrane&) {
    return f;
  }
  std::string text(data.begin(), data.end());
  f.Crlf = text.find("\r\n") != std::string::npos;
  f.EndsWithBreak = text.empty() || text.back() == '\n';
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    f.Lines.push_back(std::move(line));
    pos = nl + 1;
  }
  return f;
}

// The section name of a "[name]" line (a byte-order mark before the first
// one is passed over), or false.
bool SectionOf(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.compare(0, 3, "\xEF\xBB\xBF") == 0) t.erase(0, 3);
  if (t.empty() || t[0] != '[') return false;
  const size_t close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

// The key of a "key=value" line and where its value starts, or false.
bool KeyOf(const std::string& line, std::string& key, size_t& valueStart) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(0, eq));
  if (key.empty() || key[0] == ';') return false;
  valueStart = eq + 1;
  return true;
}

// Lines [first, last) of the named section's body; first = npos when absent.
void FindSection(const IniLines& f, const std::string& section, size_t& first, size_t& last) {
  first = last = std::string::npos;
  std::string name;
  for (size_t i = 0; i < f.Lines.size(); ++i) {
    if (!SectionOf(f.Lines[i], name)) continue;
    if (first != std::string::npos) {
      last = i;
      return;
    }
    if (SameText(name, section)) first = i + 1;
  }
  if (first != std::string::npos) last = f.Lines.size();
}

// Index of the key's line inside the section body, or npos.
size_t FindKey(const IniLines& f, size_t first, size_t last, const std::string& key, size_t& valueStart) {
  std::string k;
  for (size_t i = first; i < last; ++i)
    if (KeyOf(f.Lines[i], k, valueStart) && SameText(k, key)) return i;
  return std::string::npos;
}

bool Lookup(const std::string& fileName, const std::string& section, const std::string& key,
            std::string& value) {
  const IniLines f = Load(fileName);
  size_t first, last, valueStart = 0;
  FindSection(f, section, first, last);
  if (first == std::string::npos) return false;
  const size_t i = FindKey(f, first, last, key, valueStart);
  if (i == std::string::npos) return false;
  value = Trim(f.Lines[i].substr(valueStart));
  // A value written between matching quotes is read without them.
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  return true;
}

// A line break inside a value would split it and turn its tail into a line of
// its own, so breaks are written as blanks.
std::string OneLine(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c == '\r' || c == '\n') c = ' ';
  return r;
}

void Store(const std::string& fileName, const std::string& section, const std::string& key,
           const std::string& value) {
  IniLines f = Load(fileName);
  const std::string entry = OneLine(key) + "=" + OneLine(value);
  size_t first, last, valueStart = 0;
  FindSection(f, section, first, last);
  if (first == std::string::npos) {
    if (!f.Lines.empty() && !Trim(f.Lines.back()).empty()) f.Lines.push_back("");
    std::string header(1, '[');
    header += OneLine(section);
    header += ']';
    f.Lines.push_back(std::move(header));
    f.Lines.push_back(entry);
  } else {
    const size_t i = FindKey(f, first, last, key, valueStart);
    if (i != std::string::npos) {
      f.Lines[i] = entry;
    } else {
      // After the section's last non-blank line, so the blank line that
      // separates it from the next section stays where it was.
      size_t at = last;
      while (at > first && Trim(f.Lines[at - 1]).empty()) --at;
      f.Lines.insert(f.Lines.begin() + std::ptrdiff_t(at), entry);
    }
  }
  const std::string nl = f.Crlf ? "\r\n" : "\n";
  std::string text;
  for (size_t i = 0; i < f.Lines.size(); ++i) {
    text += f.Lines[i];
    if (i + 1 < f.Lines.size() || f.EndsWithBreak) text += nl;
  }
  try {
    WriteFileReplacing(fileName, std::vector<uint8_t>(text.begin(), text.end()));
  } catch (const EVitrane&) {
    throw EFileError(Format("Unable to write to %s", fileName.c_str()));
  }
}

}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& def) const {
  std::string value;
  return Lookup(FFileName, section, key, value) ? value : def;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) const {
  std::string value;
  return Lookup(FFileName, section, key, value) ? StrToIntDef(value, def) : def;
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  Store(FFileName, section, key, value);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  Store(FFileName, section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  Store(FFileName, section, key, value ? "1" : "0");
}

void IniWriteBool(const std::string& path, const std::string& section, const std::string& key, bool value) {
  try {
    TIniFile(path).WriteBool(section, key, value);
  } catch (...) {
  }
}

bool IniReadBool(const std::string& path, const std::string& section, const std::string& key, bool def) {
  try {
    return TIniFile(path).ReadBool(section, key, def);
  } catch (...) {
    return def;
  }
}

int32_t IniReadInteger(const std::string& path, const std::string& section, const std::string& key,
                       int32_t def) {
  try {
    return TIniFile(path).ReadInteger(section, key, def);
  } catch (...) {
    return def;
  }
}

void IniWriteInteger(const std::string& path, const std::string& section, const std::string& key,
                     int32_t value) {
  try {
    TIniFile(path).WriteInteger(section, key, value);
  } catch (...) {
  }
}

void IniReadString(const std::string& path, const std::string& section, const std::string& key,
                   std::string& value, const std::string& def) {
  try {
    value = TIniFile(path).ReadString(section, key, def);
  } catch (...) {
    value = def;
  }
}

void IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value) {
  try {
    TIniFile(path).WriteString(section, key, value);
  } catch (...) {
  }
}

std::string DefaultSettingsFileName(const std::string& programFolder, const std::string& configHome,
                                    const std::string& home) {
  if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK) == 0)
    return IncludeTrailingPathDelimiter(programFolder) + kSettingsName;
  // XDG base directories must be absolute; a relative value is ignored.
  std::string base = configHome;
  if (base.empty() || base[0] != '/')
    base = IncludeTrailingPathDelimiter(home.empty() ? "/tmp" : home) + ".config";
  const std::string dir = IncludeTrailingPathDelimiter(base) + "vitrane/";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir + kSettingsName;
}

std::string DefaultSettingsFileName() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  return DefaultSettingsFileName(ProgramFolder(), xdg ? xdg : "", home ? home : "");
}
