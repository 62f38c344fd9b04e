// The two services that long operations and checks need from the GUI: pumping
// pending window events and showing a message box. Core code calls these; the
// Qt layer installs real ones at start-up. Headless (tests, benchmarks), no
// events are pumped and a message box is recorded and answered by the default.
#pragma once
#include <functional>
#include <string>
#include <vector>

// Message-box flags and results, with the values of the operating system's
// message box so that stored habits carry over.
enum : unsigned {
  MB_OK = 0x0,
  MB_OKCANCEL = 0x1,
  MB_ABORTRETRYIGNORE = 0x2,
  MB_YESNOCANCEL = 0x3,
  MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5,
  MB_TYPEMASK = 0xF,
  MB_ICONERROR = 0x10,
  MB_ICONSTOP = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONEXCLAMATION = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_ICONMASK = 0xF0,
  MB_DEFBUTTON1 = 0x000,
  MB_DEFBUTTON2 = 0x100,
  MB_DEFBUTTON3 = 0x200,
  MB_DEFMASK = 0xF00,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// The class library's dialog kinds and buttons (MessageDlg).
enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum : unsigned {
  mbYes = 1 << 0,
  mbNo = 1 << 1,
  mbOK = 1 << 2,
  mbCancel = 1 << 3,
  mbAbort = 1 << 4,
  mbRetry = 1 << 5,
  mbIgnore = 1 << 6,
  mbAll = 1 << 7,
  mbNoToAll = 1 << 8,
  mbYesToAll = 1 << 9,
  mbHelp = 1 << 10,
};
enum : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
  mrNoToAll = 9,
  mrYesToAll = 10
};

struct MessageBoxRequest {
  std::string Text;
  std::string Caption;
  unsigned Flags = MB_OK;  // MB_* (MessageBox) ...
  bool IsDialog = false;   // ... or, when true, a MessageDlg:
  TMsgDlgType DlgType = mtInformation;
  unsigned Buttons = mbOK;  // mb* set
};

using PumpHook = std::function<void()>;
using MessageBoxHook = std::function<int(const MessageBoxRequest&)>;

void SetPumpHook(PumpHook hook);
void SetMessageBoxHook(MessageBoxHook hook);

// Processes pending window events (a no-op headless).
void ProcessMessages();

// The operating system's message box: returns IDOK, IDYES, ...
int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
// The class library's MessageDlg: returns mrOk, mrYes, ...; its caption is the
// kind ("Warning", "Error", "Information", "Confirm") or the program title.
int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons);

// Headless behaviour, for tests: every request is kept here, and the answer is
// the one set by SetHeadlessAnswer, or, when that is 0, the default button.
const std::vector<MessageBoxRequest>& HeadlessMessages();
void ClearHeadlessMessages();
void SetHeadlessAnswer(int answer);
// The answer a box gives when the user just presses Enter.
int DefaultAnswer(const MessageBoxRequest& r);
