#include "platform/Hooks.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex gMutex;
PumpHook gPump;
MessageBoxHook gBox;
std::vector<MessageBoxRequest> gHeadless;
int gHeadlessAnswer = 0;

int ShowRequest(const MessageBoxRequest& r) {
  MessageBoxHook box;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    box = gBox;
  }
  if (box) return box(r);
  std::lock_guard<std::mutex> lock(gMutex);
  gHeadless.push_back(r);
  std::fprintf(stderr, "[%s] %s\n", r.Caption.c_str(), r.Text.c_str());
  return gHeadlessAnswer != 0 ? gHeadlessAnswer : DefaultAnswer(r);
}
}  // namespace

void SetPumpHook(PumpHook hook) {
  std::lock_guard<std::mutex> lock(gMutex);
  gPump = std::move(hook);
}

void SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard<std::mutex> lock(gMutex);
  gBox = std::move(hook);
}

void ProcessMessages() {
  // Pumping is a GUI-thread affair; the hook is read without copying on the hot path.
  if (gPump) gPump();
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  MessageBoxRequest r;
  r.Text = text;
  r.Caption = caption;
  r.Flags = flags;
  return ShowRequest(r);
}

int MessageDlg(const std::string& text, TMsgDlgType type, unsigned buttons) {
  static const char* const kCaptions[] = {"Warning", "Error", "Information", "Confirm", "Vitrane"};
  MessageBoxRequest r;
  r.Text = text;
  r.Caption = kCaptions[type];
  r.IsDialog = true;
  r.DlgType = type;
  r.Buttons = buttons;
  return ShowRequest(r);
}

int DefaultAnswer(const MessageBoxRequest& r) {
  if (r.IsDialog) {
    static const std::pair<unsigned, int> kOrder[] = {
        {mbYes, mrYes},         {mbOK, mrOk},        {mbYesToAll, mrYesToAll}, {mbRetry, mrRetry},
        {mbAll, mrAll},         {mbNo, mrNo},        {mbAbort, mrAbort},       {mbIgnore, mrIgnore},
        {mbNoToAll, mrNoToAll}, {mbCancel, mrCancel}};
    for (const auto& [bit, result] : kOrder)
      if (r.Buttons & bit) return result;
    return mrNone;
  }
  static const int kButtons[6][3] = {{IDOK, IDOK, IDOK},           {IDOK, IDCANCEL, IDCANCEL},
                                     {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
                                     {IDYES, IDNO, IDNO},          {IDRETRY, IDCANCEL, IDCANCEL}};
  const unsigned type = r.Flags & MB_TYPEMASK;
  const unsigned def = (r.Flags & MB_DEFMASK) >> 8;
  if (type > 5 || def > 2) return IDOK;
  return kButtons[type][def];
}

const std::vector<MessageBoxRequest>& HeadlessMessages() {
  return gHeadless;
}

void ClearHeadlessMessages() {
  std::lock_guard<std::mutex> lock(gMutex);
  gHeadless.clear();
}

void SetHeadlessAnswer(int answer) {
  std::lock_guard<std::mutex> lock(gMutex);
  gHeadlessAnswer = answer;
}
