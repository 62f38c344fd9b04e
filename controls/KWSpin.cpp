#include "controls/KWSpin.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>

#include "controls/NumText.h"
#include "platform/Errors.h"
#include "platform/qt/Application.h"
#include "platform/qt/FormUtils.h"
#include "platform/qt/QtHooks.h"

namespace {
constexpr int kPairWidth = 15;
constexpr int kPairHeight = 17;

int32_t Saturate(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
}  // namespace

// ---- TTimerSpeedButton ----

TTimerSpeedButton::TTimerSpeedButton(QWidget* parent) : QToolButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAutoRaise(false);
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent* e) {
  QToolButton::mousePressEvent(e);
  if (!AllowTimer || e->button() != Qt::LeftButton) return;
  if (!FRepeatTimer) {
    FRepeatTimer = new QTimer(this);
    connect(FRepeatTimer, &QTimer::timeout, this, &TTimerSpeedButton::TimerExpired);
  }
  FRepeatTimer->setInterval(400);
  FRepeatTimer->start();
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent* e) {
  if (FRepeatTimer) FRepeatTimer->stop();
  QToolButton::mouseReleaseEvent(e);
}

void TTimerSpeedButton::TimerExpired() {
  FRepeatTimer->setInterval(100);
  if (!isDown()) return;
  try {
    emit clicked(false);
  } catch (...) {
    FRepeatTimer->stop();
    throw;
  }
}

// ---- TKWSpinButton ----

TKWSpinButton::TKWSpinButton(QWidget* parent)
    : QWidget(parent), FUpButton(new TTimerSpeedButton(this)), FDownButton(new TTimerSpeedButton(this)) {
  FUpButton->setArrowType(Qt::UpArrow);
  FDownButton->setArrowType(Qt::DownArrow);
  for (TTimerSpeedButton* b : {FUpButton, FDownButton}) {
    b->AllowTimer = true;
    b->installEventFilter(this);
  }
  connect(FUpButton, &QToolButton::clicked, this, &TKWSpinButton::OnUpClick);
  connect(FDownButton, &QToolButton::clicked, this, &TKWSpinButton::OnDownClick);
  setFocusPolicy(Qt::NoFocus);
  resize(20, 25);
}

void TKWSpinButton::resizeEvent(QResizeEvent*) {
  AdjustSize();
}

void TKWSpinButton::AdjustSize() {
  const int w = std::max(width(), kPairWidth), h = height();
  const int upH = h / 2;
  FUpButton->setGeometry(0, 0, w, upH);
  FDownButton->setGeometry(0, upH - 1, w, h - upH + DownExtra());
}

bool TKWSpinButton::eventFilter(QObject*, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && FocusControl &&
      FocusControl->focusPolicy() != Qt::NoFocus && FocusControl->isEnabled() && !FocusControl->hasFocus())
    FocusControl->setFocus(Qt::MouseFocusReason);
  return false;
}

// ---- TKWCustomSpinEdit ----

TKWCustomSpinEdit::TKWCustomSpinEdit(TKWSpinButton* button, const QString& text, QWidget* parent)
    : QLineEdit(text, parent), FButton(button) {
  FButton->setParent(this);
  FButton->FocusControl = this;
  FButton->resize(kPairWidth, kPairHeight);
  FButton->show();
  setTextMargins(0, 0, kPairWidth + 2, 0);
  setAcceptDrops(false);
  connect(FButton, &TKWSpinButton::OnUpClick, this, [this] { StepUp(); });
  connect(FButton, &TKWSpinButton::OnDownClick, this, [this] { StepDown(); });
  connect(this, &QLineEdit::textChanged, this, &TKWCustomSpinEdit::OnChange);
  ApplyMinHeight();
}

void TKWCustomSpinEdit::ApplyMinHeight() {
  const int h = fontMetrics().height();
  setMinimumHeight(4 + h + std::min(h, QFontMetrics(QApplication::font()).height()) / 4);
}

void TKWCustomSpinEdit::changeEvent(QEvent* e) {
  QLineEdit::changeEvent(e);
  if (e->type() == QEvent::FontChange) ApplyMinHeight();
}

bool TKWCustomSpinEdit::IsAcceptedKey(char16_t key) const {
  return key == '+' || key == '-' || key == '.' || (key >= '0' && key <= '9') || (key < 32 && key != 13);
}

bool TKWCustomSpinEdit::RefuseStep() const {
  if (!isReadOnly()) return false;
  MessageBeep(0);
  return true;
}

void TKWCustomSpinEdit::keyPressEvent(QKeyEvent* e) {
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  switch (e->key()) {
    case Qt::Key_Up:
      ctrl ? StepUpCtrl() : StepUp();
      e->accept();
      return;
    case Qt::Key_Down:
      ctrl ? StepDownCtrl() : StepDown();
      e->accept();
      return;
    case Qt::Key_Escape:
      ResetText();
      // A window whose Esc is its cancel button gets the key next.
      e->setAccepted(!HasDialogButtons(window()));
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Committed first, so that the default button's handler reads the
      // number typed; with no such button to press, refused like any
      // character the box does not take.
      CommitText();
      if (EnterButton(window())) {
        e->ignore();
        return;
      }
      MessageBeep(0);
      e->accept();
      return;
    case Qt::Key_Delete:  // an editing key, not a character
      QLineEdit::keyPressEvent(e);
      return;
    default:
      break;
  }
  if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut)) {
    if (MayPasteOrCut()) QLineEdit::keyPressEvent(e);
    e->accept();
    return;
  }
  const QString text = e->text();
  for (const QChar c : text) {
    const char16_t k = c.unicode();
    const bool refused = !IsAcceptedKey(k) || (!EditorEnabled && (k >= 32 || k == 8));
    if (refused) {
      MessageBeep(0);
      e->accept();
      return;
    }
  }
  QLineEdit::keyPressEvent(e);
}

void TKWCustomSpinEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (AutoSelect && !(QApplication::mouseButtons() & Qt::LeftButton)) selectAll();
}

void TKWCustomSpinEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  // Another window or a popup (the box's own context menu) taking the focus
  // is not leaving the box: the focus comes back to it.
  if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) return;
  emit OnExit();
  try {
    ExitCommit();
  } catch (...) {
    // The text stays as typed; the message comes once the focus has moved.
    if (Application) Application->PostException(std::current_exception());
  }
}

void TKWCustomSpinEdit::resizeEvent(QResizeEvent* e) {
  QLineEdit::resizeEvent(e);
  FButton->setGeometry(width() - FButton->width(), 1, FButton->width(), std::max(0, height() - 3));
}

void TKWCustomSpinEdit::contextMenuEvent(QContextMenuEvent* e) {
  QMenu* menu = createStandardContextMenu();
  if (!MayPasteOrCut())
    for (QAction* a : menu->actions())
      if (a->objectName() == "edit-paste" || a->objectName() == "edit-cut") a->setEnabled(false);
  menu->exec(e->globalPos());
  delete menu;
}

// ---- TKWSpinEdit ----

TKWSpinEdit::TKWSpinEdit(QWidget* parent) : TKWSpinEdit(new TKWSpinButton, "0", parent) {}

TKWSpinEdit::TKWSpinEdit(TKWSpinButton* button, const QString& text, QWidget* parent)
    : TKWCustomSpinEdit(button, text, parent) {}

int32_t TKWSpinEdit::ClampToRange(int32_t v) const {
  if (MinValue == MaxValue) return v;
  if (v < MinValue) return MinValue;
  if (v > MaxValue) return MaxValue;
  return v;
}

std::string TKWSpinEdit::FormatValue(int32_t v) const {
  return IntToStr(v);
}

void TKWSpinEdit::SetValue(int32_t v) {
  if (v == FCommittedValue) return;
  setText(QString::fromStdString(FormatValue(ClampToRange(v))));
  FCommittedValue = v;
  emit OnRealChange();
}

void TKWSpinEdit::CommitFromText() {
  int32_t v;
  SetValue(TryStrToInt(text().toStdString(), v) ? v : MinValue);
}

int32_t TKWSpinEdit::Value() {
  CommitFromText();
  return ClampToRange(FCommittedValue);
}

void TKWSpinEdit::StepUp() {
  if (!RefuseStep()) SetValue(Saturate(int64_t(Value()) + Increment));
}

void TKWSpinEdit::StepDown() {
  if (!RefuseStep()) SetValue(Saturate(int64_t(Value()) - Increment));
}

void TKWSpinEdit::ResetText() {
  setText(QString::fromStdString(FormatValue(ClampToRange(FCommittedValue))));
}

void TKWSpinEdit::CommitText() {
  CommitFromText();
}

void TKWSpinEdit::ExitCommit() {
  if (text().isEmpty()) setText("0");
  const int32_t typed = StrToInt(text().toStdString());
  if (ClampToRange(typed) != Value()) SetValue(typed);
}

// ---- TKWCharSpinEdit ----

TKWCharSpinEdit::TKWCharSpinEdit(QWidget* parent) : TKWSpinEdit(new TKWCharSpinButton, "Auto", parent) {}

std::string TKWCharSpinEdit::FormatAuto(int32_t v) {
  return v == 0 ? "Auto" : IntToStr(v);
}

int32_t TKWCharSpinEdit::ParseValue(const std::string& s) {
  int32_t v;
  if (s == "Auto" || !TryStrToInt(s, v)) return 0;
  return v;
}

void TKWCharSpinEdit::CommitFromText() {
  SetValue(ParseValue(text().toStdString()));
}

void TKWCharSpinEdit::ShowAutoForZero() {
  if (Value() == 0) setText("Auto");
}

void TKWCharSpinEdit::ResetText() {
  TKWSpinEdit::ResetText();
  ShowAutoForZero();
}

void TKWCharSpinEdit::CommitText() {
  CommitFromText();
  ShowAutoForZero();
}

void TKWCharSpinEdit::ExitCommit() {
  ShowAutoForZero();
  const int32_t typed = ParseValue(text().toStdString());
  if (ClampToRange(typed) != Value()) SetValue(typed);
}

// ---- TKWRealSpinEdit ----

TKWRealSpinEdit::TKWRealSpinEdit(QWidget* parent) : TKWCustomSpinEdit(new TKWRealSpinButton, "0", parent) {}

double TKWRealSpinEdit::ClampToRange(double v) const {
  if (MinValue == MaxValue) return v;
  if (!(MinValue <= v)) return MinValue;
  if (MaxValue < v) return MaxValue;
  return v;
}

QString TKWRealSpinEdit::FormatValue(double v) const {
  return QString::fromStdString(FloatToStrFixed(v, DigAfterPoint));
}

void TKWRealSpinEdit::SetValue(double v) {
  if (!(v != FCommittedValue)) return;
  setText(FormatValue(ClampToRange(v)));
  FCommittedValue = v;
  emit OnRealChange();
}

void TKWRealSpinEdit::StepUp() {
  if (!RefuseStep()) SetValue(Value() + Increment);
}
void TKWRealSpinEdit::StepDown() {
  if (!RefuseStep()) SetValue(Value() - Increment);
}
void TKWRealSpinEdit::StepUpFine() {
  if (!RefuseStep()) SetValue(Value() + Increment / 10);
}
void TKWRealSpinEdit::StepDownFine() {
  if (!RefuseStep()) SetValue(Value() - Increment / 10);
}

void TKWRealSpinEdit::ResetText() {
  setText(FormatValue(ClampToRange(FCommittedValue)));
}

void TKWRealSpinEdit::CommitText() {
  double v;
  SetValue(TryStrToFloat(text().toStdString(), v) ? v : MinValue);
}

void TKWRealSpinEdit::ExitCommit() {
  if (text().isEmpty()) setText("0");
  const double typed = StrToFloat(text().toStdString());
  if (ClampToRange(typed) != Value()) SetValue(typed);
}
