#include "platform/qt/QtHooks.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <utility>
#include <vector>

namespace {

struct ButtonChoice {
  QMessageBox::StandardButton Button;
  int Result;
};

// The buttons of a MessageBox (MB_* type) or of a MessageDlg (mb* set), in
// the order the platform shows them, each with the result it gives.
std::vector<ButtonChoice> Choices(const MessageBoxRequest& r) {
  using B = QMessageBox;
  if (r.IsDialog) {
    static const std::pair<unsigned, ButtonChoice> kDlg[] = {{mbYes, {B::Yes, mrYes}},
                                                             {mbNo, {B::No, mrNo}},
                                                             {mbOK, {B::Ok, mrOk}},
                                                             {mbCancel, {B::Cancel, mrCancel}},
                                                             {mbAbort, {B::Abort, mrAbort}},
                                                             {mbRetry, {B::Retry, mrRetry}},
                                                             {mbIgnore, {B::Ignore, mrIgnore}},
                                                             {mbAll, {B::NoButton, mrAll}},
                                                             {mbNoToAll, {B::NoToAll, mrNoToAll}},
                                                             {mbYesToAll, {B::YesToAll, mrYesToAll}},
                                                             {mbHelp, {B::Help, mrNone}}};
    std::vector<ButtonChoice> out;
    for (const auto& [bit, choice] : kDlg)
      if (r.Buttons & bit) out.push_back(choice);
    if (out.empty()) out.push_back({B::Ok, mrOk});
    return out;
  }
  switch (r.Flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{B::Ok, IDOK}, {B::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
      return {{B::Abort, IDABORT}, {B::Retry, IDRETRY}, {B::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
      return {{B::Yes, IDYES}, {B::No, IDNO}, {B::Cancel, IDCANCEL}};
    case MB_YESNO:
      return {{B::Yes, IDYES}, {B::No, IDNO}};
    case MB_RETRYCANCEL:
      return {{B::Retry, IDRETRY}, {B::Cancel, IDCANCEL}};
    default:
      return {{B::Ok, IDOK}};
  }
}

QMessageBox::Icon IconOf(const MessageBoxRequest& r) {
  if (r.IsDialog) {
    switch (r.DlgType) {
      case mtWarning:
        return QMessageBox::Warning;
      case mtError:
        return QMessageBox::Critical;
      case mtInformation:
        return QMessageBox::Information;
      case mtConfirmation:
        return QMessageBox::Question;
      default:
        return QMessageBox::NoIcon;
    }
  }
  switch (r.Flags & MB_ICONMASK) {
    case MB_ICONERROR:
      return QMessageBox::Critical;
    case MB_ICONQUESTION:
      return QMessageBox::Question;
    case MB_ICONWARNING:
      return QMessageBox::Warning;
    case MB_ICONINFORMATION:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The answer Esc or the window's close button gives: Cancel where there is
// one, else No, else OK (the platform's rule); a box with neither keeps open.
int EscapeResult(const MessageBoxRequest& r) {
  const auto choices = Choices(r);
  for (int want :
       {r.IsDialog ? int(mrCancel) : IDCANCEL, r.IsDialog ? int(mrNo) : IDNO, r.IsDialog ? int(mrOk) : IDOK})
    for (const auto& c : choices)
      if (c.Result == want) return want;
  return choices.front().Result;
}

std::function<void()> gBeepHook;
int gBeeps = 0;

}  // namespace

std::unique_ptr<QMessageBox> CreateMessageBox(const MessageBoxRequest& request) {
  auto box = std::make_unique<QMessageBox>();
  box->setWindowTitle(QString::fromStdString(request.Caption));
  // The program breaks its lines with "\r", as the system's box allowed.
  QString text = QString::fromStdString(request.Text);
  text.replace("\r\n", "\n").replace('\r', '\n');
  box->setText(text);
  box->setIcon(IconOf(request));
  const int def = DefaultAnswer(request), esc = EscapeResult(request);
  for (const auto& c : Choices(request)) {
    // "All" has no standard button of its own.
    QPushButton* b = c.Button == QMessageBox::NoButton ? box->addButton("&All", QMessageBox::AcceptRole)
                                                       : box->addButton(c.Button);
    b->setProperty("vtResult", c.Result);
    if (c.Result == def) box->setDefaultButton(b);
    if (c.Result == esc) box->setEscapeButton(b);
  }
  return box;
}

int MessageBoxResult(const MessageBoxRequest& request, const QMessageBox& box, QAbstractButton* clicked) {
  if (clicked && box.buttons().contains(clicked)) {
    const QVariant v = clicked->property("vtResult");
    if (v.isValid()) return v.toInt();
  }
  return EscapeResult(request);
}

int ShowQtMessageBox(const MessageBoxRequest& request) {
  auto box = CreateMessageBox(request);
  box->exec();
  return MessageBoxResult(request, *box, box->clickedButton());
}

void InstallQtHooks() {
  SetPumpHook([] { QCoreApplication::processEvents(); });
  SetMessageBoxHook(ShowQtMessageBox);
}

void UninstallQtHooks() {
  SetPumpHook(nullptr);
  SetMessageBoxHook(nullptr);
}

void MessageBeep(unsigned) {
  ++gBeeps;
  if (gBeepHook)
    gBeepHook();
  else
    QApplication::beep();
}

int BeepCount() {
  return gBeeps;
}

void SetBeepHook(std::function<void()> hook) {
  gBeepHook = std::move(hook);
}
