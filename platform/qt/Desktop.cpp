#include "platform/qt/Desktop.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/qt/Application.h"
#include "platform/qt/QtImage.h"

namespace {
std::function<bool(const std::string&)> gShellHook;
}

bool ClipboardHasPicture() {
  const QMimeData* m = QGuiApplication::clipboard()->mimeData();
  return m && m->hasImage();
}

bool ClipboardGetPicture(Bitmap24& out) {
  const QImage img = QGuiApplication::clipboard()->image();
  if (img.isNull()) return false;
  out = QImageToBitmap24(img);
  return true;
}

void ClipboardSetPicture(const Bitmap24& picture) {
  QGuiApplication::clipboard()->setImage(Bitmap24View(picture).copy());
}

bool ShellOpen(const std::string& fileOrUrl) {
  if (gShellHook) return gShellHook(fileOrUrl);
  const QString s = QString::fromStdString(fileOrUrl);
  const QUrl url =
      FileExists(fileOrUrl) || DirectoryExists(fileOrUrl) ? QUrl::fromLocalFile(s) : QUrl::fromUserInput(s);
  return QDesktopServices::openUrl(url);
}

void SetShellOpenHook(std::function<bool(const std::string&)> hook) {
  gShellHook = std::move(hook);
}

std::string HelpFileName() {
  if (Application && !Application->HelpFile.empty()) return Application->HelpFile;
  return ProgramFolder() + "VITRANE.HLP";
}

std::string HelpPageFolder() {
  // A help file without a folder of its own (no program folder) would be
  // looked for in the current folder, which is anyone's: no help then.
  const std::string folder = ExtractFilePath(HelpFileName());
  return folder.empty() || folder[0] != '/' ? std::string() : folder + "help/";
}

std::string HelpPageName(int context) {
  return context > 0 ? "context" + std::to_string(context) + ".html" : "contents.html";
}

void ShowHelpContext(int context) {
  const std::string folder = HelpPageFolder();
  std::string page = folder + HelpPageName(context);
  if (!FileExists(page)) page = folder + HelpPageName(0);
  const std::string caption = Application ? Application->Title : std::string("Vitrane");
  if (folder.empty() || !FileExists(page)) {
    MessageBox("Cannot find the help file " + page + ".", caption, MB_OK | MB_ICONERROR);
    return;
  }
  if (!ShellOpen(page)) MessageBox("Cannot open the help file " + page + ".", caption, MB_OK | MB_ICONERROR);
}

void ShowHelpContents() {
  ShowHelpContext(0);
}

void SetHelpContext(QWidget* widget, int context) {
  widget->setProperty("vtHelpContext", context);
}

int HelpContextOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    const int c = w->property("vtHelpContext").toInt();
    if (c > 0) return c;
  }
  return 0;
}
