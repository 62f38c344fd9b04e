#include "platform/qt/FileDialogs.h"

#include <QColorDialog>
#include <QFileDialog>

#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/qt/Application.h"

namespace {
FileDialogHook gFileHook;
FolderDialogHook gFolderHook;
ColourDialogHook gColourHook;

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t p = s.find(sep, start);
    out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
    if (p == std::string::npos) return out;
    start = p + 1;
  }
}

std::string Caption() {
  return Application ? Application->Title : std::string("Vitrane");
}

std::optional<TFileChoice> AskUser(const TOpenDialog& d, bool save, QWidget* parent) {
  QFileDialog dlg(parent, QString::fromStdString(d.Title));
  dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(
      save ? QFileDialog::AnyFile
           : (d.Options & ofAllowMultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile));
  // The overwrite question comes after the default extension is added.
  dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
  const QStringList filters = QtNameFilters(d.Filter);
  if (!filters.isEmpty()) {
    dlg.setNameFilters(filters);
    if (d.FilterIndex >= 1 && d.FilterIndex <= filters.size())
      dlg.selectNameFilter(filters[d.FilterIndex - 1]);
  }
  if (!d.InitialDir.empty()) dlg.setDirectory(QString::fromStdString(d.InitialDir));
  if (!d.FileName.empty()) dlg.selectFile(QString::fromStdString(d.FileName));
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  TFileChoice c;
  for (const QString& f : dlg.selectedFiles()) c.Files.push_back(f.toStdString());
  c.FilterIndex = int(filters.indexOf(dlg.selectedNameFilter())) + 1;
  if (c.FilterIndex < 1) c.FilterIndex = 1;
  return c;
}
}  // namespace

std::vector<TFilterEntry> ParseFilter(const std::string& filter) {
  std::vector<TFilterEntry> out;
  if (filter.empty()) return out;
  const auto parts = Split(filter, '|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) out.push_back({parts[i], Split(parts[i + 1], ';')});
  return out;
}

QStringList QtNameFilters(const std::string& filter) {
  QStringList out;
  for (const auto& e : ParseFilter(filter)) {
    QStringList pats;
    for (const auto& p : e.Patterns) pats << (p == "*.*" ? QString("*") : QString::fromStdString(p));
    out << QString::fromStdString(e.Text) + " (" + pats.join(' ') + ")";
  }
  return out;
}

std::string ApplyDefaultExt(const std::string& name, const std::string& defaultExt) {
  if (defaultExt.empty() || name.empty() || !ExtractFileExt(name).empty()) return name;
  return name + "." + defaultExt;
}

int FilterIndexOfName(const std::string& filter, const std::string& name, int chosen) {
  const std::string ext = LowerCase(ExtractFileExt(name));
  if (ext.size() < 2) return 0;
  const std::vector<TFilterEntry> entries = ParseFilter(filter);
  auto holds = [&](int index) {
    if (index < 1 || index > int(entries.size())) return false;
    for (const std::string& p : entries[size_t(index - 1)].Patterns)
      if (LowerCase(p) == "*" + ext) return true;
    return false;
  };
  if (holds(chosen)) return chosen;
  for (int i = 1; i <= int(entries.size()); ++i)
    if (holds(i)) return i;
  return 0;
}

int SaveFilterIndex(const TOpenDialog& dialog) {
  const int typed = FilterIndexOfName(dialog.Filter, dialog.FileName, dialog.FilterIndex);
  return typed ? typed : dialog.FilterIndex;
}

bool ConfirmReplace(const std::string& fileName) {
  return ::MessageBox(fileName + " already exists.\nDo you want to replace it?", Caption(),
                      MB_YESNO | MB_ICONWARNING) == IDYES;
}

bool TOpenDialog::Execute(QWidget* parent) {
  for (;;) {
    const std::optional<TFileChoice> choice =
        gFileHook ? gFileHook(*this, IsSave()) : AskUser(*this, IsSave(), parent);
    if (!choice || choice->Files.empty()) return false;
    std::vector<std::string> files;
    for (const auto& f : choice->Files) files.push_back(ApplyDefaultExt(f, DefaultExt));
    if (IsSave() && (Options & ofOverwritePrompt) && FileExists(files.front()) &&
        !ConfirmReplace(files.front())) {
      if (gFileHook) return false;  // a hook would answer the same again
      FileName = files.front();
      continue;
    }
    Files = files;
    FileName = files.front();
    FilterIndex = choice->FilterIndex;
    return true;
  }
}

void SetFileDialogHook(FileDialogHook hook) {
  gFileHook = std::move(hook);
}
void SetFolderDialogHook(FolderDialogHook hook) {
  gFolderHook = std::move(hook);
}

bool SelectDirectory(const std::string& caption, std::string& dir, QWidget* parent) {
  std::optional<std::string> chosen;
  if (gFolderHook) {
    chosen = gFolderHook(caption);
  } else {
    const QString d = QFileDialog::getExistingDirectory(parent, QString::fromStdString(caption),
                                                        QString::fromStdString(dir));
    if (!d.isEmpty()) chosen = d.toStdString();
  }
  if (!chosen || chosen->empty()) return false;
  dir = IncludeTrailingPathDelimiter(*chosen);
  return true;
}

void SetColourDialogHook(ColourDialogHook hook) {
  gColourHook = std::move(hook);
}

bool PickColour(QWidget* parent, TColor& colour) {
  std::optional<TColor> chosen;
  if (gColourHook) {
    chosen = gColourHook(colour);
  } else {
    const QColor c =
        QColorDialog::getColor(QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour)), parent);
    if (c.isValid()) chosen = RGB(uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue()));
  }
  if (!chosen) return false;
  colour = *chosen;
  return true;
}
