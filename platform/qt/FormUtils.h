// Window bounds kept in the settings file, a picture placed in a group box, and
// the buttons that Enter and Esc press in a window.
#pragma once
#include <QGroupBox>
#include <QPushButton>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/Types.h"
#include "platform/qt/Image.h"

// A window's bounds as left, top, right, bottom: its position and, right and
// bottom, that position plus its size.
TRect FormBounds(const QWidget* form);
// A fixed-size window (minimum size = maximum size): the dialog border style,
// which keeps its size when bounds are restored.
bool IsDialogStyle(const QWidget* form);
// Moves and sizes the window to the bounds.
void SetFormBounds(QWidget* form, const TRect& bounds);

// The available area of every screen (without panels and docks), the
// primary screen first.
std::vector<TRect> AvailableScreenAreas();

// Writes the bounds text under section/key (a settings file that cannot be
// written is reported in a message box: this runs while windows close).
void SaveFormBounds(const std::string& path, const std::string& section, const std::string& key,
                    const QWidget* form);
// Applies a stored bounds text; an empty, short, reversed or unreadable one
// changes nothing; a dialog-style window only moves. The bounds are fitted to
// the screens first (FitBoundsToScreens): a window that cannot fit keeps the
// bounds it has.
void LoadFormBounds(const std::string& path, const std::string& section, const std::string& key,
                    QWidget* form);

// The part of a group box that pictures go into: inside its edges, below its caption.
TRect GroupBoxPictureArea(const QGroupBox* box);
// Places the image at the fitted size in the box and replaces its picture by
// a copy resampled to exactly that size (Mitchell filter).
void ShowImageFitted(TImage* image, const QGroupBox* box);
// Places the image at the fitted size and lets it stretch the picture, which
// stays as it is.
void ShowImageStretched(TImage* image, const QGroupBox* box);

// Enter and Esc of a window, as its form names them: Enter, from whatever
// control has the focus and does not use Enter itself, presses the default
// button when that is enabled and visible, and nothing else does (no push
// button is an auto-default); Esc clicks the cancel button, so that its own
// handler runs. Either may be null: then Enter presses nothing, and Esc is
// left to the window (a dialog's reject()), as it is while the cancel button
// is disabled or hidden. Called again, it names other buttons: a window
// whose pages have their own. Buttons made later keep Qt's auto-default.
void SetDialogButtons(QWidget* form, QPushButton* defaultButton, QPushButton* cancelButton);
// Whether the window was given its buttons so: a control that keeps Enter and
// Esc for itself elsewhere passes them on here once it has done its part.
bool HasDialogButtons(const QWidget* form);
// What Enter presses in the window now: its default button while enabled and
// visible; null otherwise, and for a window without SetDialogButtons.
QPushButton* EnterButton(const QWidget* form);
