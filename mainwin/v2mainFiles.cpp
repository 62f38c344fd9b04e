// The main window's file commands: projects, libraries, source pictures and
// the recent-file lists.
#include "mainwin/v2main.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"

namespace {
const char CR = '\r';
struct TRecentList {
  const char* Section;
  const char* Key;
};
constexpr TRecentList RecentProjects{"Recentprojects", "Recentproject"};
constexpr TRecentList RecentLibraries{"Recentlibrarys", "Recentlibrary"};
constexpr TRecentList RecentImages{"RecentImages", "RecentImage"};
constexpr int RecentCount = 5;

std::array<std::string, RecentCount> ReadRecent(const std::string& section, const std::string& key) {
  std::array<std::string, RecentCount> entries;
  for (int i = 0; i < RecentCount; ++i)
    IniReadString(SettingsFileName, section, key + std::to_string(i + 1), entries[size_t(i)], "");
  return entries;
}
}  // namespace

std::string TForm1::LastPath(const std::string& key) const {
  return LastPathFolder(key);
}

void TForm1::SetLastPath(const std::string& key, const std::string& fileName) {
  IniWriteString(SettingsFileName, "LastPath", key, ExtractFilePath(fileName));
}

void TForm1::Openvtp1Click() {
  OpenDialog1.InitialDir = LastPath("Project");
  if (OpenDialog1.Execute(this) && QuerySaveProject()) {
    SetLastPath("Project", OpenDialog1.FileName);
    OpenVTP(OpenDialog1.FileName);
    InsertRecentFile(OpenDialog1.FileName);
    ShowStatus();
  }
  SetButtonsOnOff();
}

void TForm1::OpenVTP(const std::string& fileName) {
  CellPictures.Clear();
  if (!VTPlan1.OpenProject(fileName, VTMosaic1)) throw EFileError("File: " + fileName + " not found.");
  DrawGrid1->SetColCount(VTPlan1.Columns);
  DrawGrid1->SetRowCount(VTPlan1.Rows);
  // Panel 0 spoke of the old grid: a cell, a selection or a run.
  SetStatusText(0, "");
  FitStatusPanels();
  if (!VTPlan1.LibraryPath.empty() && FileExists(VTPlan1.LibraryPath))
    VTLib1.SetBaseName(VTPlan1.LibraryPath);
  FitToWindow();
  LoadProjectSource();
  SetLastPath("Project", fileName);
  InsertRecentFile(fileName);
  SetButtonsOnOff();
  DrawGrid1->viewport()->update();
}

void TForm1::Openlibrary1Click() {
  OpenDialog2.InitialDir = LastPath("Library");
  if (OpenDialog2.Execute(this)) OpenLibraryByName(OpenDialog2.FileName);
  SetButtonsOnOff();
}

bool TForm1::OpenLibraryByName(const std::string& fileName) {
  const int c = LibraryOpen() ? VTLib1.CheckBaseFile(fileName) : TVTData::lcCompatible;
  if (c == TVTData::lcNotLibrary) {
    MessageBox("File " + fileName + " is not Vitrane base and can't be open.", ProductCaption,
               MB_OK | MB_ICONERROR);
    return false;
  }
  if (c != TVTData::lcCompatible && ProjectOpen()) {
    const std::string why = c == TVTData::lcOtherSampling ? " has a different tile sampling."
                                                          : " has a different tile height/width ratio.";
    const std::string text =
        "Library " + std::string(1, CR) + fileName + CR + why + CR + " Close the current project?" + CR;
    if (MessageBox(text, ProductCaption, MB_OKCANCEL | MB_ICONWARNING | MB_DEFBUTTON2) != IDOK) return false;
    if (!CloseProject()) return false;
  }
  VTLib1.SetBaseName(fileName);
  InsertRecentFile(fileName);
  ShowStatus();
  SetLastPath("Library", fileName);
  SetButtonsOnOff();
  return true;
}

void TForm1::SaveVTP() {
  VTMosaic1.Compact();
  VTPlan1.SaveProject(VTPlan1.BaseName(), VTMosaic1, VTLib1);
  VTMosaic1.Modified = 0;
  VTPlan1.Modified = 0;
}

void TForm1::SaveVTP1Click() {
  if (ProjectOpen()) SaveVTP();
  SetButtonsOnOff();
}

void TForm1::SaveVTPas1Click() {
  if (!ProjectOpen()) return;
  SaveVTPDialog1.InitialDir = LastPath("Project");
  if (!SaveVTPDialog1.Execute(this)) return;
  SetLastPath("Project", SaveVTPDialog1.FileName);
  VTMosaic1.Compact();
  VTPlan1.SaveProject(SaveVTPDialog1.FileName, VTMosaic1, VTLib1);
}

bool TForm1::CloseProject() {
  if (!QuerySaveProject()) return false;
  VTPlan1.CloseTable();
  VTMosaic1.CloseTable();
  CellPictures.Clear();
  DrawGrid1->SetColCount(1);
  DrawGrid1->SetRowCount(1);
  SetStatusText(0, "");
  FitStatusPanels();
  ShowStatus();
  DrawGrid1->viewport()->update();
  return true;
}

void TForm1::Closeproject1Click() {
  CloseProject();
  SetButtonsOnOff();
}

void TForm1::Revertproject1Click() {
  if (!ProjectOpen()) return;
  if (ProjectModified() && MessageBox("Discard all changes and revert to last saved?", "Vitrane",
                                      MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
    return;
  const std::string name = VTPlan1.BaseName();
  VTPlan1.CloseTable();
  VTMosaic1.CloseTable();
  OpenVTP(name);
  ShowStatus();
  SetButtonsOnOff();
}

void TForm1::OpenPictureByName(const std::string& fileName) {
  if (!LibraryOpen()) throw EVitrane("Please open library first!");
  if (!FileExists(fileName)) throw EFileError("File: " + fileName + " not found.");
  ShowPictureInSourceSetup(fileName);
}

QMenu* TForm1::RecentMenuFor(const std::string& fileName, std::string& section, std::string& key) const {
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  const TRecentList& list = ext == ".VTP" ? RecentProjects : ext == ".VT2" ? RecentLibraries : RecentImages;
  section = list.Section;
  key = list.Key;
  return ext == ".VTP" ? Recentprojects1 : ext == ".VT2" ? Recentlibrarys1 : Recentimages1;
}

void TForm1::FillRecentMenu(QMenu* menu, const std::string& section, const std::string& key) {
  menu->clear();
  for (const std::string& entry : ReadRecent(section, key)) {
    if (entry.empty()) continue;
    // Captions are exact paths: an "&" is shown, not taken as an accelerator.
    QAction* a = menu->addAction(QString::fromStdString(entry).replace("&", "&&"));
    a->setData(QString::fromStdString(entry));
  }
}

void TForm1::InsertRecentFile(const std::string& fileName) {
  std::string section, key;
  QMenu* menu = RecentMenuFor(fileName, section, key);
  std::array<std::string, RecentCount> e = ReadRecent(section, key);
  if (e[0] == fileName) return;
  int from = RecentCount - 1;  // the entry that drops out (or moves to the front)
  for (int k = 1; k < RecentCount - 1; ++k)
    if (e[size_t(k)] == fileName) {
      from = k;
      break;
    }
  for (int i = from; i > 0; --i) e[size_t(i)] = e[size_t(i - 1)];
  e[0] = fileName;
  for (int i = 0; i < RecentCount; ++i)
    IniWriteString(SettingsFileName, section, key + std::to_string(i + 1), e[size_t(i)]);
  FillRecentMenu(menu, section, key);
}

void TForm1::InitRecentFileMenu() {
  FillRecentMenu(Recentprojects1, RecentProjects.Section, RecentProjects.Key);
  FillRecentMenu(Recentimages1, RecentImages.Section, RecentImages.Key);
  FillRecentMenu(Recentlibrarys1, RecentLibraries.Section, RecentLibraries.Key);
}

void TForm1::RecentMenuClick(QAction* item) {
  const std::string fileName = item->data().toString().toStdString();
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  if (ext == ".VTP") {
    if (FileExists(fileName) && QuerySaveProject()) {
      OpenVTP(fileName);
      ShowStatus();
    }
  } else if (ext == ".VT2") {
    if (FileExists(fileName)) {
      OpenLibraryByName(fileName);
      ShowStatus();
    }
  } else {
    OpenPictureByName(fileName);
  }
  SetButtonsOnOff();
}
