// The settings reads the start-up makes before the first window (32 of
// them, in the same order), from a settings file of 1 MB and of 16 MB
// against an empty one measured in the same run. The file was written at the
// last exit, so it is not new; a second figure for 1 MB has it written just
// now, when every read must go back to the file. Each pass starts with no
// copy of the file read, as a fresh process does.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Ini.h"

namespace {

struct TRead {
  const char* Section;
  const char* Key;
  bool Text;  // a string value, else an integer or a flag
};

// As the program asks for them: the recent lists, the main window's bounds
// and settings, the source setup's and the manual window's layout, and what
// to open at start.
const TRead kStartUpReads[] = {
    {"Recentprojects", "Recentproject1", true},
    {"Recentprojects", "Recentproject2", true},
    {"Recentprojects", "Recentproject3", true},
    {"Recentprojects", "Recentproject4", true},
    {"Recentprojects", "Recentproject5", true},
    {"RecentImages", "RecentImage1", true},
    {"RecentImages", "RecentImage2", true},
    {"RecentImages", "RecentImage3", true},
    {"RecentImages", "RecentImage4", true},
    {"RecentImages", "RecentImage5", true},
    {"Recentlibrarys", "Recentlibrary1", true},
    {"Recentlibrarys", "Recentlibrary2", true},
    {"Recentlibrarys", "Recentlibrary3", true},
    {"Recentlibrarys", "Recentlibrary4", true},
    {"Recentlibrarys", "Recentlibrary5", true},
    {"LayOut", "MainForm", true},
    {"StartUp", "DefaultMosaicMode", true},
    {"Render", "Radius", false},
    {"Render", "Repetition", false},
    {"Render", "FixAuto", false},
    {"Render", "FixManual", false},
    {"Render", "InvSelection", false},
    {"StartUp", "WizardOnStart", false},
    {"Advanced", "AllowPopUpCndidates", false},
    {"Advanced", "ShowBestCndidates", false},
    {"Advanced", "AllowFastJpg", false},
    {"Advanced", "DetailedBackground", false},
    {"LayOut", "SourceForm", true},
    {"LayOut", "ManualForm", true},
    {"LayOut", "ManualFormPanel", false},
    {"LayOut", "ManualRows", false},
    {"StartUp", "OpenOnStart", true},
};

// A settings file of about megabytes MB (0: empty): the program's own
// sections, then sections of another program's making to fill it.
std::string SettingsText(int megabytes) {
  if (megabytes == 0) return std::string();
  std::string t =
      "[StartUp]\nDefaultMosaicMode=Smart\nWizardOnStart=0\nOpenOnStart=No\n\n"
      "[Render]\nRadius=6\nRepetition=0\nFixAuto=0\nFixManual=1\nInvSelection=0\n\n"
      "[Advanced]\nAllowPopUpCndidates=1\nShowBestCndidates=5\nAllowFastJpg=1\nDetailedBackground=1\n\n"
      "[LayOut]\nMainForm=10,20,810,620\nSourceForm=30,40,630,490\nManualForm=40,50,700,560\n"
      "ManualFormPanel=150\nManualRows=10\n\n";
  for (const char* list : {"Recentprojects", "RecentImages", "Recentlibrarys"}) {
    t += std::string("[") + list + "]\n";
    for (int i = 1; i <= 5; ++i)
      t += std::string(list).substr(0, std::string(list).size() - 1) + std::to_string(i) +
           "=/home/user/pictures/mosaic/item" + std::to_string(i) + ".dat\n";
    t += "\n";
  }
  for (int s = 0; t.size() < size_t(megabytes) << 20; ++s) {
    t += "[Filler" + std::to_string(s) + "]\n";
    for (int k = 0; k < 40; ++k) t += "Key" + std::to_string(k) + "=some value of a typical length here\n";
    t += "\n";
  }
  return t;
}

struct TSettingsFiles {
  std::string Dir;
  TSettingsFiles() {
    char pattern[] = "/tmp/vtbenchsettingsXXXXXX";
    Dir = mkdtemp(pattern);
  }
  ~TSettingsFiles() { std::filesystem::remove_all(Dir); }
  // Two files of the same text, used in turn so that each pass reads anew.
  std::string Make(int megabytes, bool settled, int copy) {
    const std::string name =
        Dir + "/vt" + std::to_string(megabytes) + (settled ? "s" : "n") + std::to_string(copy) + ".ini";
    if (!std::filesystem::exists(name)) {
      std::ofstream(name, std::ios::binary) << SettingsText(megabytes);
      if (settled) {
        const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 3600, 0}};
        ::utimensat(AT_FDCWD, name.c_str(), times, 0);
      }
    }
    return name;
  }
};

TSettingsFiles& Files() {
  static TSettingsFiles files;
  return files;
}

void StartUpReads(benchmark::State& state, bool settled) {
  const int megabytes = int(state.range(0));
  const std::string names[2] = {Files().Make(megabytes, settled, 0), Files().Make(megabytes, settled, 1)};
  int pass = 0;
  int64_t found = 0;
  for (auto _ : state) {
    const std::string& ini = names[pass++ & 1];
    std::string s;
    for (const TRead& r : kStartUpReads) {
      if (r.Text) {
        IniReadString(ini, r.Section, r.Key, s, "");
        found += !s.empty();
      } else {
        found += IniReadInteger(ini, r.Section, r.Key, -1) != -1;
      }
    }
  }
  state.counters["reads"] = double(std::size(kStartUpReads));
  state.counters["found"] = double(found) / double(state.iterations());
  state.counters["MB"] = double(std::filesystem::file_size(names[0])) / double(1 << 20);
}

// Arg: the file's size in MB; 0 is the floor.
void BM_StartUpSettings(benchmark::State& state) {
  StartUpReads(state, true);
}
BENCHMARK(BM_StartUpSettings)->Arg(0)->Arg(1)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_StartUpSettings_JustWritten(benchmark::State& state) {
  StartUpReads(state, false);
}
BENCHMARK(BM_StartUpSettings_JustWritten)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
