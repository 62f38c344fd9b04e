// Desktop services: the clipboard's picture, opening a file or address with
// the desktop's handler, and help by context number.
#pragma once
#include <functional>
#include <string>

#include "platform/Bitmap24.h"

class QWidget;

bool ClipboardHasPicture();
// The clipboard's picture as a 24-bit bitmap; false (out untouched) when it holds none.
bool ClipboardGetPicture(Bitmap24& out);
void ClipboardSetPicture(const Bitmap24& picture);

// Opens a file or an address with the desktop (the shell's "open"); false
// when the desktop refused.
bool ShellOpen(const std::string& fileOrUrl);
// Replaces the desktop for tests; nullptr restores.
void SetShellOpenHook(std::function<bool(const std::string&)> hook);

// The help file: the application's HelpFile, or "VITRANE.HLP" in the
// program's folder.
std::string HelpFileName();
// The help is a folder of HTML pages, "help" beside the help file: a
// contents page and one page per help context, opened with the desktop's
// browser. "" when the help file has no absolute folder.
std::string HelpPageFolder();
// "contents.html" for 0, otherwise the context's page ("context34.html").
std::string HelpPageName(int context);
// Opens the page of the context, or the contents page when the context has
// none; says so when the help is missing.
void ShowHelpContext(int context);
void ShowHelpContents();

// A window's or control's help context: F1 in it (or in a child without one
// of its own) shows that help; 0 means none.
void SetHelpContext(QWidget* widget, int context);
int HelpContextOf(const QWidget* widget);
