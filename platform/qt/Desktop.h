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
// Opens the help file with the desktop when it exists (the viewer gets no
// topic: a generic viewer cannot take one); otherwise says it was not found.
// The context number picks the topic where a viewer can use it.
void ShowHelpContext(int context);
void ShowHelpContents();

// A window's or control's help context: F1 in it (or in a child without one
// of its own) shows that help; 0 means none.
void SetHelpContext(QWidget* widget, int context);
int HelpContextOf(const QWidget* widget);
