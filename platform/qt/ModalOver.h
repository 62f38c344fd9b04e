// Showing a window of its own modal over the window that started it. Header
// only: the scanner's source manager module shows its dialogs this way too,
// and links nothing of the program.
#pragma once
#include <QApplication>
#include <QWidget>
#include <QWindow>

// The window the user is working in now: the innermost modal one, else the
// active one (none when the program has no window up).
inline QWidget* StartingWindow() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

// Shows `window` (a top-level widget without a parent widget, so that
// disabling the starter does not disable it) modal: every other window of
// the program is blocked, the window system keeps it above `starter`'s window,
// and it takes the keyboard. A window shown this way while another is modal
// is the one that takes the input.
inline void ShowModalOver(QWidget* window, QWidget* starter) {
  window->setWindowModality(Qt::ApplicationModal);
  if (window->layout()) window->adjustSize();  // its own size, before it is centred
  if (starter) {
    window->winId();  // its native window, to tie to the starter's
    if (QWindow* over = starter->window()->windowHandle()) window->windowHandle()->setTransientParent(over);
    window->move(starter->window()->geometry().center() - window->rect().center());
  }
  window->show();
  window->raise();
  window->activateWindow();
}
