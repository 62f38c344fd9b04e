// Window bounds kept in the settings file, and a picture placed in a group box.
#pragma once
#include <QGroupBox>
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
