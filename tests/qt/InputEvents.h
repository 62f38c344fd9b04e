// Driving a shown window as a user does: mouse clicks on the real widgets,
// typed text and keys sent where the keyboard focus stands.
#pragma once
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

// A click on a button's face; radios and check boxes take it on their mark,
// the only part of them that answers a click.
inline void Click(QAbstractButton* b) {
  const bool mark = qobject_cast<QRadioButton*>(b) || qobject_cast<QCheckBox*>(b);
  QTest::mouseClick(b, Qt::LeftButton, {}, mark ? QPoint(8, b->height() / 2) : b->rect().center());
}

// Replaces an edit's text by typing, then presses Enter in it.
inline void TypeAndEnter(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClicks(edit, text);
  QTest::keyClick(edit, Qt::Key_Return);
}

// A key pressed in `window`: it goes to the focused control, or to the window
// itself when none of its controls has the focus.
inline void PressKey(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
  QWidget* at = QApplication::focusWidget();
  QTest::keyClick(at && window->isAncestorOf(at) ? at : window, key, modifiers);
}
