// The folder picker component: shows the system's folder dialog starting at
// Directory and, on OK, leaves the chosen folder there.
#pragma once
#include <string>

class QWidget;

class TFolderBrowse {
 public:
  // Preselected when the dialog opens (nothing when empty); after a
  // successful pick, the chosen folder without a trailing separator.
  std::string Directory;
  // The text shown above the folder tree.
  std::string Title;

  // True with Directory set when a folder was chosen; Cancel returns false
  // and leaves Directory as it was.
  bool Execute(QWidget* owner = nullptr);
};
