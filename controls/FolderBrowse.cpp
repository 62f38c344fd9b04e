#include "controls/FolderBrowse.h"

#include "platform/qt/FileDialogs.h"

bool TFolderBrowse::Execute(QWidget* owner) {
  std::string dir = Directory;
  if (!SelectDirectory(Title, dir, owner)) return false;
  // Callers add the separator themselves, so the path is given without it
  // (the file-system root keeps its only character).
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  Directory = dir;
  return true;
}
