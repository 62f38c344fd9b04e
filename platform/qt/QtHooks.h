// The GUI's answers to the core hooks: pumping events and message boxes with
// the operating system's button sets, icons and results; and the beep.
#pragma once
#include <QMessageBox>
#include <functional>
#include <memory>

#include "platform/Hooks.h"

// Pump: QCoreApplication::processEvents; message boxes: QMessageBox.
void InstallQtHooks();
void UninstallQtHooks();

// The box a request shows, with its buttons, icon, caption and default
// button, not yet shown.
std::unique_ptr<QMessageBox> CreateMessageBox(const MessageBoxRequest& request);
// The result (IDOK..., or mrOk... for a MessageDlg) that a click on button
// gives; a box closed without a button answers as its escape button.
int MessageBoxResult(const MessageBoxRequest& request, const QMessageBox& box, QAbstractButton* clicked);
// Shows the box modally and returns its result.
int ShowQtMessageBox(const MessageBoxRequest& request);

// The default system sound (the refusal of a key in an edit, ...).
void MessageBeep(unsigned type = 0);
// Beeps since start, and a hook that replaces the sound (tests count them).
int BeepCount();
void SetBeepHook(std::function<void()> hook);
