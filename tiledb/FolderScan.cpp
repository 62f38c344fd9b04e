#include "tiledb/FolderScan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>

#include "platform/Files.h"

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool ExtensionListed(const std::string& fileName, const std::string& extList) {
  const std::string ext = UpperCase(ExtractFileExt(fileName));
  return !ext.empty() && extList.find(ext) != std::string::npos;
}

namespace {

struct TFolderEntries {
  std::vector<std::string> Files;    // regular files, not hidden
  std::vector<std::string> Folders;  // every directory but "." and ".."
};

// Reads one folder's names; stat follows links, so a link to a folder counts
// as a folder and a dangling link as nothing.
TFolderEntries ReadFolder(const std::string& folder) {
  TFolderEntries entries;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return entries;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (stat(JoinPath(folder, name).c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode))
      entries.Folders.push_back(name);
    else if (S_ISREG(st.st_mode) && name[0] != '.')
      entries.Files.push_back(name);
  }
  closedir(dir);
  std::sort(entries.Files.begin(), entries.Files.end());
  std::sort(entries.Folders.begin(), entries.Folders.end());
  return entries;
}

class TScanner {
 public:
  TScanner(const std::string& extList, bool recurse) : FExtList(extList), FRecurse(recurse) {}

  void Scan(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    if (!FVisited.insert({st.st_dev, st.st_ino}).second) return;
    // Every path below a recycle bin contains the word too, so its whole
    // tree is passed over.
    if (folder.find("RECYCLED") != std::string::npos) return;
    const TFolderEntries entries = ReadFolder(folder);
    for (const std::string& name : entries.Files) {
      std::string path = JoinPath(folder, name);
      if (ExtensionListed(path, FExtList)) FFound.push_back(std::move(path));
    }
    if (FRecurse)
      for (const std::string& name : entries.Folders) Scan(JoinPath(folder, name));
  }

  std::vector<std::string> Take() { return std::move(FFound); }

 private:
  const std::string& FExtList;
  const bool FRecurse;
  std::set<std::pair<dev_t, ino_t>> FVisited;
  std::vector<std::string> FFound;
};

}  // namespace

std::vector<std::string> ListPictureFiles(const std::string& folder, const std::string& extList,
                                          bool recurse) {
  TScanner scanner(extList, recurse);
  scanner.Scan(folder);
  return scanner.Take();
}
