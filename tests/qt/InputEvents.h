// Driving a shown window as a user does: mouse clicks and keys go to the
// window under them through the window system's path, so a window that a
// modal one blocks receives nothing, as on the screen.
#pragma once
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

// A click at pos (the widget's coordinates) into the widget's window.
inline void ClickAt(QWidget* widget, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
  QWidget* top = widget->window();
  QTest::mouseClick(top->windowHandle(), button, {}, widget->mapTo(top, pos));
}

// A click on a button's face; radios and check boxes take it on their mark,
// the only part of them that answers a click.
inline void Click(QAbstractButton* b) {
  const bool mark = qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b);
  ClickAt(b, mark ? QPoint(8, b->height() / 2) : b->rect().center());
}

// A key pressed in `window`: its focused control takes it.
inline void PressKey(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
  QTest::keyClick(window->window()->windowHandle(), key, modifiers);
}

// Replaces an edit's text by typing into it: a click gives it the focus,
// Home and Shift+End select what it held.
inline void TypeInto(QLineEdit* edit, const QString& text) {
  ClickAt(edit, QPoint(4, edit->height() / 2));
  QWindow* w = edit->window()->windowHandle();
  QTest::keyClick(w, Qt::Key_Home);
  QTest::keyClick(w, Qt::Key_End, Qt::ShiftModifier);
  for (QChar c : text) QTest::keyClick(w, c.toLatin1());
}

// The same, then Enter in it.
inline void TypeAndEnter(QLineEdit* edit, const QString& text) {
  TypeInto(edit, text);
  QTest::keyClick(edit->window()->windowHandle(), Qt::Key_Return);
}
