#include "platform/Ini.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <set>
#include <unordered_map>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Utils.h"
#include "platform/WorkFiles.h"

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

// Splits text into lines; an empty text gives no lines.
IniLines SplitLines(const std::string& text) {
  IniLines f;
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

// What tells one version of the file from another.
struct TFileStamp {
  bool Exists = false;
  dev_t Dev = 0;
  ino_t Ino = 0;
  off_t Size = 0;
  timespec MTime{}, CTime{};
};

bool SameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool SameStamp(const TFileStamp& a, const TFileStamp& b) {
  return a.Exists == b.Exists && a.Dev == b.Dev && a.Ino == b.Ino && a.Size == b.Size &&
         SameTime(a.MTime, b.MTime) && SameTime(a.CTime, b.CTime);
}

TFileStamp StampOf(const struct stat& st) {
  return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// One open of the settings file: its stamp and, when asked, its text. A
// missing file, or anything but a plain file, reads as empty; so does one
// larger than kMaxSettingsBytes, which is not read at all (TooLarge).
struct TSettingsRead {
  TFileStamp Stamp;
  bool TooLarge = false;
  std::string Text;
};

class TSettingsFile {
 public:
  explicit TSettingsFile(const std::string& fileName)
      // Non-blocking, so that a pipe planted under the name cannot hang the program.
      : FFd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
  ~TSettingsFile() {
    if (FFd >= 0) ::close(FFd);
  }
  TSettingsFile(const TSettingsFile&) = delete;
  TSettingsFile& operator=(const TSettingsFile&) = delete;

  // The stamp alone; false when there is nothing to read.
  bool Stamp(TSettingsRead& r) {
    struct stat st {};
    if (FFd < 0 || ::fstat(FFd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    r.Stamp = StampOf(st);
    r.TooLarge = st.st_size > kMaxSettingsBytes;
    return true;
  }

  // Reads the text, at most kMaxSettingsBytes of it: a file that grows past
  // that while it is read counts as too large all the same.
  void ReadText(TSettingsRead& r) {
    if (r.TooLarge) return;
    std::string text(size_t(r.Stamp.Size) + 1, '\0');
    size_t got = 0;
    for (;;) {
      if (got == text.size()) {
        if (text.size() > size_t(kMaxSettingsBytes)) break;
        text.resize(std::min(text.size() * 2, size_t(kMaxSettingsBytes) + 1));
      }
      const ssize_t n = ::read(FFd, text.data() + got, text.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += size_t(n);
    }
    if (got > size_t(kMaxSettingsBytes)) {
      r.TooLarge = true;
      return;
    }
    text.resize(got);
    r.Text = std::move(text);
  }

 private:
  int FFd;
};

// The line of each key in each section, lower-cased; as the reads look
// them up, only the first section of a name and the first key of a name in it count.
using TSectionIndex = std::unordered_map<std::string, size_t>;

bool SectionOf(const std::string& line, std::string& name);
bool KeyOf(const std::string& line, std::string& key, size_t& valueStart);

// The last version of one settings file that was read, kept so that a run of
// reads (the start-up makes dozens) parses the file once. It is used only
// while the file keeps its stamp, and only when the version read had last
// been written well before it was read (by more than the coarsest
// file-system clock, FAT's two seconds): a file written again within the
// same clock tick could otherwise keep its stamp.
struct TSettingsCopy {
  std::string FileName;
  TSettingsRead Read;
  timespec ReadAt{};
  IniLines File;
  std::unordered_map<std::string, TSectionIndex> Sections;

  void Index() {
    Sections.clear();
    TSectionIndex* open = nullptr;
    std::string name, key;
    size_t valueStart;
    for (size_t i = 0; i < File.Lines.size(); ++i) {
      if (SectionOf(File.Lines[i], name)) {
        auto [it, added] = Sections.try_emplace(LowerCase(name));
        open = added ? &it->second : nullptr;
      } else if (open && KeyOf(File.Lines[i], key, valueStart)) {
        open->try_emplace(LowerCase(key), i);
      }
    }
  }

  // True while this copy may stand for the file that r describes.
  bool Stands(const std::string& fileName, const TSettingsRead& r, const timespec& now) const {
    if (fileName != FileName || !SameStamp(r.Stamp, Read.Stamp)) return false;
    if (!r.Stamp.Exists) return true;
    return r.Stamp.MTime.tv_sec + kSettledSeconds < ReadAt.tv_sec && ReadAt.tv_sec <= now.tv_sec;
  }

  // Seconds the version's last write must lie before the read: FAT's two,
  // and one more for clocks that lag.
  static constexpr time_t kSettledSeconds = 3;
};

std::mutex g_copyLock;
TSettingsCopy g_copy;

// The file's current version, read again only when it changed. Called with
// g_copyLock held.
const TSettingsCopy& Current(const std::string& fileName) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  TSettingsFile file(fileName);
  TSettingsRead r;
  const bool readable = file.Stamp(r);
  if (g_copy.Stands(fileName, r, now)) return g_copy;
  if (readable) file.ReadText(r);
  // A file just written is read on every call; most often it still holds
  // the same text, which need not be parsed again.
  const bool same =
      fileName == g_copy.FileName && r.TooLarge == g_copy.Read.TooLarge && r.Text == g_copy.Read.Text;
  g_copy.FileName = fileName;
  g_copy.ReadAt = now;
  g_copy.Read = std::move(r);
  if (!same) {
    g_copy.File = SplitLines(g_copy.Read.Text);
    g_copy.Index();
  }
  return g_copy;
}

// The file read afresh, for a writer; TooLarge as above.
IniLines LoadFresh(const std::string& fileName, bool& tooLarge) {
  TSettingsFile file(fileName);
  TSettingsRead r;
  if (file.Stamp(r)) file.ReadText(r);
  tooLarge = r.TooLarge;
  return SplitLines(r.Text);
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
  std::lock_guard guard(g_copyLock);
  const TSettingsCopy& copy = Current(fileName);
  const auto sec = copy.Sections.find(LowerCase(section));
  if (sec == copy.Sections.end()) return false;
  const auto k = sec->second.find(LowerCase(key));
  if (k == sec->second.end()) return false;
  std::string name;
  size_t valueStart = 0;
  KeyOf(copy.File.Lines[k->second], name, valueStart);
  value = Trim(copy.File.Lines[k->second].substr(valueStart));
  // A value written between matching quotes is read without them.
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  return true;
}

// Holds an advisory lock on a file beside the settings file for one
// read-modify-write, so that two copies of the program writing at once each
// start from the other's last version and no key is lost. The lock file stays
// (removing it would let a third copy lock a new file while the old is held).
// When it cannot be made (a read-only folder) the write goes on unlocked,
// and fails there in its own words; so it does where the system gives no
// locks. Any other failure of the lock fails the write with its reason.
class TSettingsLock {
 public:
  explicit TSettingsLock(const std::string& fileName)
      : FFd(::open((fileName + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)) {
    const int e = FFd < 0 ? 0 : LockFile(FFd, LOCK_EX);
    if (e != 0 && !NoLocksHere(e)) {
      ::close(FFd);
      throw EFileError(Format("Unable to write to %s (%s)", fileName.c_str(), std::strerror(e)), e);
    }
  }
  ~TSettingsLock() {
    if (FFd >= 0) ::close(FFd);  // closing releases the lock
  }
  TSettingsLock(const TSettingsLock&) = delete;
  TSettingsLock& operator=(const TSettingsLock&) = delete;

 private:
  int FFd;
};

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
  // No settings file: nothing to lock beside, nothing to write.
  if (fileName.empty()) throw EFileError("Unable to write to the settings file (no folder for it)");
  std::lock_guard guard(g_copyLock);
  const TSettingsLock lock(fileName);
  bool tooLarge = false;
  IniLines f = LoadFresh(fileName, tooLarge);
  // What is not read cannot be written back: the file stays as it is.
  if (tooLarge)
    throw EFileError(Format("Unable to write to %s (%s)", fileName.c_str(), std::strerror(EFBIG)));
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
  // The copy read before stands for the old version; the new one is read on
  // the next call.
  g_copy.FileName.clear();
  try {
    WriteFileReplacing(fileName, std::vector<uint8_t>(text.begin(), text.end()));
  } catch (const EVitrane& e) {
    throw EFileError(Format("Unable to write to %s (%s)", fileName.c_str(), FailureReason(e).c_str()));
  }
}

std::mutex g_saidLock;
std::set<std::string> g_said;

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

void SayWriteFailure(const std::string& path, const std::exception& e) {
  {
    std::lock_guard guard(g_saidLock);
    if (!g_said.insert(path).second) return;
  }
  std::string text = e.what();
  if (FileSize(path) > kMaxSettingsBytes)
    text = Format(
        "The settings file %s is larger than 4 MB, so it is neither read nor written: this run starts "
        "from the default settings and keeps none of its changes.\rDelete the file (a new one is made) "
        "or shorten it to less than 4 MB.",
        path.c_str());
  MessageDlg(text, mtError, mbOK);
}

void IniWriteBool(const std::string& path, const std::string& section, const std::string& key, bool value) {
  try {
    TIniFile(path).WriteBool(section, key, value);
  } catch (const std::exception& e) {
    SayWriteFailure(path, e);
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
  } catch (const std::exception& e) {
    SayWriteFailure(path, e);
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
  } catch (const std::exception& e) {
    SayWriteFailure(path, e);
  }
}

std::string DefaultSettingsFileName(const std::string& programFolder, const std::string& configHome,
                                    const std::string& home) {
  // A settings file beside the program makes a portable install: it stays
  // there. Otherwise the program's folder is no place for the user's files
  // (a build folder is wiped by a clean, an installed one is shared).
  if (!programFolder.empty()) {
    const std::string beside = IncludeTrailingPathDelimiter(programFolder) + kSettingsName;
    if (FileExists(beside)) return beside;
  }
  // XDG base directories must be absolute; a relative value is ignored.
  std::string base = configHome;
  if (base.empty() || base[0] != '/') {
    if (home.empty() || home[0] != '/') return std::string();  // nowhere that is the user's own
    base = IncludeTrailingPathDelimiter(home) + ".config";
  }
  const std::string dir = IncludeTrailingPathDelimiter(base) + "vitrane/";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir + kSettingsName;
}

std::string DefaultSettingsFileName() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  return DefaultSettingsFileName(ProgramFolder(), xdg ? xdg : "", HomeFolder());
}

std::string DefaultDialogFolder(const std::string& home) {
  if (home.empty()) return std::string();
  const std::string pictures = IncludeTrailingPathDelimiter(home) + "Pictures/";
  return DirectoryExists(pictures) ? pictures : IncludeTrailingPathDelimiter(home);
}

std::string LastPathFolder(const std::string& key) {
  std::string dir;
  IniReadString(SettingsFileName, "LastPath", key, dir, DefaultDialogFolder(HomeFolder()));
  return dir;
}
