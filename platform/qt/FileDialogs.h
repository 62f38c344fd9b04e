// Open and save dialogs that take the class library's filter text
// ("Text|*.ext|All files|*.*"), a default extension and an overwrite
// question, a folder picker and a colour dialog. Hooks let tests answer them.
#pragma once
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Types.h"

enum : unsigned {
  ofOverwritePrompt = 1 << 0,
  ofFileMustExist = 1 << 1,
  ofAllowMultiSelect = 1 << 2,
};

struct TFilterEntry {
  std::string Text;
  std::vector<std::string> Patterns;  // "*.ext", split at ";"
};
// Splits "Text|*.a;*.b|Text2|*.c" into its entries; a trailing text without
// patterns is dropped.
std::vector<TFilterEntry> ParseFilter(const std::string& filter);
// The same as Qt name filters ("Text (*.a *.b)"); "*.*" becomes "*", so that
// files without an extension show too.
QStringList QtNameFilters(const std::string& filter);

class TOpenDialog {
 public:
  virtual ~TOpenDialog() = default;
  std::string Title;
  std::string Filter;
  int FilterIndex = 1;     // 1-based, as chosen
  std::string DefaultExt;  // without the dot
  std::string InitialDir;
  std::string FileName;            // proposed, then chosen
  std::vector<std::string> Files;  // every chosen file (multi-select)
  unsigned Options = 0;

  // Shows the dialog; true with FileName (and FilterIndex) set on OK.
  bool Execute(QWidget* parent = nullptr);

 protected:
  virtual bool IsSave() const { return false; }
};

class TSaveDialog : public TOpenDialog {
 protected:
  bool IsSave() const override { return true; }
};

// The name with DefaultExt appended when it has no extension of its own.
std::string ApplyDefaultExt(const std::string& name, const std::string& defaultExt);
// The filter entry (1-based) that the extension of name belongs to: chosen
// when its patterns hold it, else the first entry that does; 0 for none (or
// for an entry of every file, "*.*").
int FilterIndexOfName(const std::string& filter, const std::string& name, int chosen);
// The entry a save dialog's answer goes to: the one of the name's own
// extension when that is an offered type, else the one chosen.
int SaveFilterIndex(const TOpenDialog& dialog);
// The question before a file is replaced, as the save dialogs ask it: true
// when the user answers Yes.
bool ConfirmReplace(const std::string& fileName);

// What the user picked in a file dialog: the names (one unless multi-select)
// and the 1-based filter index, or nothing for Cancel.
struct TFileChoice {
  std::vector<std::string> Files;
  int FilterIndex = 1;
};
// Answers every file dialog instead of showing it (tests); nullptr restores.
using FileDialogHook = std::function<std::optional<TFileChoice>(const TOpenDialog& dialog, bool save)>;
void SetFileDialogHook(FileDialogHook hook);

// The folder picker: true with dir set (with a trailing "/") on OK.
bool SelectDirectory(const std::string& caption, std::string& dir, QWidget* parent = nullptr);
using FolderDialogHook = std::function<std::optional<std::string>(const std::string& caption)>;
void SetFolderDialogHook(FolderDialogHook hook);

// The colour dialog, starting at colour: true with colour set on OK.
bool PickColour(QWidget* parent, TColor& colour);
using ColourDialogHook = std::function<std::optional<TColor>(TColor initial)>;
void SetColourDialogHook(ColourDialogHook hook);
