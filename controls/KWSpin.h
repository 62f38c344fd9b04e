// The numeric edits with an up/down button pair: whole numbers
// (TKWSpinEdit), whole numbers with 0 shown as "Auto" (TKWCharSpinEdit) and
// fixed-decimal numbers (TKWRealSpinEdit).
//
// Unlike a plain spin box, each keeps a committed value apart from its text:
// the text may be edited freely, and the committed value changes only when
// the program writes Value, when Value is read (whole-number kinds), on
// Enter, the arrows and buttons, or when the box is left. Every change of it
// emits OnRealChange; OnChange follows every keystroke. The committed value
// is kept unclamped; the text and Value show it clamped to the range (no
// clamping when MinValue = MaxValue).
#pragma once
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <cstdint>
#include <string>

// An up or down button that repeats its click while held: first after
// 400 ms, then every 100 ms.
class TTimerSpeedButton : public QToolButton {
  Q_OBJECT
 public:
  explicit TTimerSpeedButton(QWidget* parent = nullptr);
  bool AllowTimer = false;
  // The repeat timer (made on first use), for inspection.
  QTimer* RepeatTimer() const { return FRepeatTimer; }

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  void TimerExpired();
  QTimer* FRepeatTimer = nullptr;
};

// The button pair: up on the top half, down below, each repeating.
class TKWSpinButton : public QWidget {
  Q_OBJECT
 public:
  explicit TKWSpinButton(QWidget* parent = nullptr);
  TTimerSpeedButton* UpButton() const { return FUpButton; }
  TTimerSpeedButton* DownButton() const { return FDownButton; }
  // Where a press moves the keyboard focus.
  QWidget* FocusControl = nullptr;

 signals:
  void OnUpClick();
  void OnDownClick();

 protected:
  void resizeEvent(QResizeEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The down button overlaps the up one by a pixel; the real kind's pair is a
  // pixel shorter.
  virtual int DownExtra() const { return 2; }

 private:
  void AdjustSize();
  TTimerSpeedButton* FUpButton;
  TTimerSpeedButton* FDownButton;
};

class TKWCharSpinButton : public TKWSpinButton {
  Q_OBJECT
 public:
  using TKWSpinButton::TKWSpinButton;
};

class TKWRealSpinButton : public TKWSpinButton {
  Q_OBJECT
 public:
  using TKWSpinButton::TKWSpinButton;

 protected:
  int DownExtra() const override { return 1; }
};

// What the three edits share: key filtering, Esc/Enter/exit handling, paste
// and cut rules, focus selection and the button pair's placement.
class TKWCustomSpinEdit : public QLineEdit {
  Q_OBJECT
 public:
  bool EditorEnabled = true;
  bool AutoSelect = true;
  TKWSpinButton* Button() const { return FButton; }

  // "+", "-", digits, "." and control characters other than Enter.
  virtual bool IsAcceptedKey(char16_t key) const;
  virtual void StepUp() = 0;
  virtual void StepDown() = 0;

 signals:
  void OnRealChange();
  void OnChange();
  void OnExit();

 protected:
  TKWCustomSpinEdit(TKWSpinButton* button, const QString& text, QWidget* parent);
  // Esc: the text of the committed value, clamped.
  virtual void ResetText() = 0;
  // Enter: the text becomes the committed value.
  virtual void CommitText() = 0;
  // Leaving the box; may raise on a text that is not a number.
  virtual void ExitCommit() = 0;
  // Ctrl+arrow (the real kind steps finer).
  virtual void StepUpCtrl() { StepUp(); }
  virtual void StepDownCtrl() { StepDown(); }
  // A step when read-only beeps and changes nothing.
  bool RefuseStep() const;

  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  // Four border widths, the character height and a quarter of it.
  void ApplyMinHeight();
  bool MayPasteOrCut() const { return EditorEnabled && !isReadOnly(); }
  TKWSpinButton* FButton;
};

class TKWSpinEdit : public TKWCustomSpinEdit {
  Q_OBJECT
 public:
  explicit TKWSpinEdit(QWidget* parent = nullptr);

  int32_t MinValue = 0;
  int32_t MaxValue = 0;
  int32_t Increment = 1;

  // Reading parses the text and commits it (a text that is not a number
  // commits MinValue); returns the committed value clamped.
  int32_t Value();
  void SetValue(int32_t v);
  int32_t CommittedValue() const { return FCommittedValue; }
  int32_t ClampToRange(int32_t v) const;

  void StepUp() override;
  void StepDown() override;

 protected:
  TKWSpinEdit(TKWSpinButton* button, const QString& text, QWidget* parent);
  virtual std::string FormatValue(int32_t v) const;
  // Reads the text into the committed value.
  virtual void CommitFromText();
  void ResetText() override;
  void CommitText() override;
  void ExitCommit() override;
  int32_t FCommittedValue = 0;
};

class TKWCharSpinEdit : public TKWSpinEdit {
  Q_OBJECT
 public:
  explicit TKWCharSpinEdit(QWidget* parent = nullptr);
  // "Auto" for 0, the digits otherwise.
  static std::string FormatAuto(int32_t v);
  // 0 for "Auto" (exact case) or a text that is not a number.
  static int32_t ParseValue(const std::string& s);

 protected:
  std::string FormatValue(int32_t v) const override { return FormatAuto(v); }
  void CommitFromText() override;
  void ResetText() override;
  void CommitText() override;
  void ExitCommit() override;

 private:
  void ShowAutoForZero();
};

class TKWRealSpinEdit : public TKWCustomSpinEdit {
  Q_OBJECT
 public:
  explicit TKWRealSpinEdit(QWidget* parent = nullptr);

  double MinValue = 0.0;
  double MaxValue = 0.0;
  double Increment = 1.0;
  int32_t DigAfterPoint = 0;

  // The committed value clamped; the text is not read.
  double Value() const { return ClampToRange(FCommittedValue); }
  void SetValue(double v);
  double CommittedValue() const { return FCommittedValue; }
  double ClampToRange(double v) const;

  void StepUp() override;
  void StepDown() override;
  void StepUpFine();
  void StepDownFine();

 protected:
  void StepUpCtrl() override { StepUpFine(); }
  void StepDownCtrl() override { StepDownFine(); }
  void ResetText() override;
  void CommitText() override;
  void ExitCommit() override;

 private:
  QString FormatValue(double v) const;
  double FCommittedValue = 0.0;
};
