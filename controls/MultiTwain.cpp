#include "controls/MultiTwain.h"

#include <dlfcn.h>

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <bit>
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/qt/ModalOver.h"

const char* const TwainManagerFileName = "libtwain_32.so";

namespace {

// ---- One session's state ----

int TwainState = 1;
TW_IDENTITY AppId;
TW_IDENTITY SourceId;
void* Library = nullptr;
DSMENTRYPROC Entry = nullptr;
DSMENTRYPROC GivenEntry = nullptr;
std::string ManagerPath;
TW_HANDLE ParentWindow = nullptr;
TW_USERINTERFACE UserInterface;
const bool HideUI = false;
TW_UINT16 LastRC = TWRC_SUCCESS;
TTwainError Recorded;
std::vector<TW_HANDLE> Images;
TW_HANDLE LastDib = nullptr;
// Set when the source keeps failing its transfers; ends the modal loop.
bool TransfersAbandoned = false;
bool SessionOpen = false;
bool InHook = false;

// A native transfer that fails this many times in a row ends the session
// rather than asking the source for ever.
constexpr int kMaxTransferFailures = 3;

const char* const kErrorTexts[] = {
    "[no details available]",
    "",
    "DAT_CAPABILITY/MSG_GET failed",
    "DAT_CAPABILITY/MSG_SET failed",
    "Source Manager operation failed",
    "DataSource operation failed",
    "",
    "TWAIN session not in State 4 (Source Open)",
    "MSG_GET returned a NULL container handle",
    "MSG_GET returned an invalid container handle",
    "Returned container is not valid type",
    "Returned container has invalid ItemType",
    "Returned container is empty",
    "App and source found NO values in common",
};

void CopyStr(TW_STR32& dst, const char* src) {
  std::memset(dst, 0, sizeof dst);
  std::strncpy(dst, src, sizeof dst - 1);
}

void InitAppId() {
  static bool done = false;
  if (done) return;
  done = true;
  std::memset(&AppId, 0, sizeof AppId);
  AppId.Id = 0;
  AppId.Version.MajorNum = 1;
  AppId.Version.MinorNum = 0;
  AppId.Version.Language = 13;
  AppId.Version.Country = 1;
  CopyStr(AppId.Version.Info, "<?>");
  AppId.ProtocolMajor = 1;
  AppId.ProtocolMinor = 6;
  AppId.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyStr(AppId.Manufacturer, "<?>");
  CopyStr(AppId.ProductFamily, "<?>");
  CopyStr(AppId.ProductName, "<?>");
}

void TwainError(const char* text) {
  MessageBox(text, "TWAIN Error", MB_OK | MB_ICONWARNING);
}

// The layer's own consistency check: reports and goes on.
void Check(bool condition) {
  if (!condition) MessageBox("Assertion failed", "EZTWAIN", MB_OK);
}

// ---- Calls through the entry point ----

TW_UINT16 CallManager(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  LastRC = Entry ? Entry(&AppId, nullptr, dg, dat, msg, data) : TWRC_FAILURE;
  return LastRC;
}
bool ManagerOK(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  return CallManager(dg, dat, msg, data) == TWRC_SUCCESS;
}
TW_UINT16 CallSource(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  Check(TwainState > 3);
  LastRC = Entry ? Entry(&AppId, &SourceId, dg, dat, msg, data) : TWRC_FAILURE;
  return LastRC;
}
bool SourceOK(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  return CallSource(dg, dat, msg, data) == TWRC_SUCCESS;
}

// The condition code behind the last failure, from the source once it is
// open, from the manager before.
TW_UINT16 ConditionCode() {
  if (TwainState < 3) return TWCC_SEQERROR;
  TW_STATUS status{};
  const bool ok = TwainState >= 4 ? SourceOK(DG_CONTROL, DAT_STATUS, MSG_GET, &status)
                                  : ManagerOK(DG_CONTROL, DAT_STATUS, MSG_GET, &status);
  return ok ? status.ConditionCode : TWCC_BUMMER;
}

// Only the first failure of a session is kept.
void RecordError(int code) {
  if (Recorded.Code != 0) return;
  Recorded.Code = code;
  if (code >= 2 && code <= 5) {
    Recorded.ResultCode = LastRC;
    Recorded.ConditionCode = ConditionCode();
  }
}

// ---- The states ----

bool LoadManager() {
  if (TwainState >= 2) return true;
  if (GivenEntry) {
    Entry = GivenEntry;
    TwainState = 2;
    return true;
  }
  // Without a program folder there is no module of ours: the current folder
  // is never searched.
  const std::string folder = ProgramFolder();
  const std::string path = !ManagerPath.empty() ? ManagerPath
                           : folder.empty()     ? std::string()
                                                : folder + TwainManagerFileName;
  if (!path.empty() && std::ifstream(path, std::ios::binary).is_open()) {
    // Kept mapped after closing: the module's windows may still have events
    // queued in the application when the session ends.
    Library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  }
  if (Library) {
    Entry = reinterpret_cast<DSMENTRYPROC>(dlsym(Library, "DSM_Entry"));
    if (Entry) {
      TwainState = 2;
    } else {
      dlclose(Library);
      Library = nullptr;
    }
  }
  return TwainState >= 2;
}

bool OpenManager(QWidget* window) {
  ParentWindow = window;
  if (!LoadManager()) return false;
  if (TwainState == 2 && ManagerOK(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &ParentWindow)) TwainState = 3;
  return TwainState >= 3;
}

bool OpenDefaultSource() {
  if (TwainState != 3) return false;
  std::memset(&SourceId, 0, sizeof SourceId);
  if (ManagerOK(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &SourceId))
    TwainState = 4;
  else
    RecordError(4);
  return TwainState == 4;
}

uint16_t GetU16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

// Rewrites an array's or enumeration's item list to the allowed types that
// the source offers, ascending. The list and its count come from the source:
// a count beyond the block is refused before any item is read.
bool RewriteItems(uint8_t* block, size_t blockSize, size_t itemsAt, uint32_t mask) {
  TW_UINT16 itemType;
  TW_UINT32 count;
  std::memcpy(&itemType, block, 2);
  std::memcpy(&count, block + 2, 4);
  if (count == 0) {
    RecordError(12);
    return false;
  }
  if (itemType != TWTY_INT16 && itemType != TWTY_UINT16) {
    RecordError(11);
    return false;
  }
  if (uint64_t(count) * 2 > blockSize - itemsAt) {
    RecordError(9);
    return false;
  }
  uint32_t offered = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t raw = GetU16(block + itemsAt + size_t(i) * 2);
    const int value = itemType == TWTY_INT16 ? int(int16_t(raw)) : int(raw);
    if (value >= 0 && value < 32) offered |= 1u << value;
  }
  const uint32_t common = offered & mask;
  if (common == 0) {
    RecordError(13);
    return false;
  }
  uint32_t n = 0;
  for (int t = 0; t < 32; ++t) {
    if (!(common & (1u << t))) continue;
    const uint16_t v = uint16_t(t);
    std::memcpy(block + itemsAt + size_t(n) * 2, &v, 2);
    ++n;
  }
  std::memcpy(block + 2, &n, 4);
  return true;
}

bool NegotiatePixelTypes(uint32_t mask) {
  if (TwainState != 4) {
    RecordError(7);
    return false;
  }
  if (mask == 0) return true;
  TW_CAPABILITY cap{};
  cap.Cap = ICAP_PIXELTYPE;
  cap.ConType = TWON_ENUMERATION;
  cap.hContainer = nullptr;
  if (!SourceOK(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap)) {
    RecordError(2);
    return false;
  }
  TW_HANDLE container = cap.hContainer;
  if (!container) {
    RecordError(8);
    return false;
  }
  auto* block = static_cast<uint8_t*>(TwainLock(container));
  const size_t size = TwainSize(container);
  bool ok = false;
  const size_t header = cap.ConType == TWON_ENUMERATION ? TW_ENUMERATION_ITEMS
                        : cap.ConType == TWON_ARRAY     ? TW_ARRAY_ITEMS
                                                        : sizeof(TW_ONEVALUE);
  if (!block || size < header) {
    RecordError(9);
  } else if (cap.ConType == TWON_ARRAY) {
    ok = RewriteItems(block, size, TW_ARRAY_ITEMS, mask);
  } else if (cap.ConType == TWON_ENUMERATION) {
    const TW_UINT32 none = 0xFFFFFFFF;
    std::memcpy(block + offsetof(TW_ENUMERATION, CurrentIndex), &none, 4);
    std::memcpy(block + offsetof(TW_ENUMERATION, DefaultIndex), &none, 4);
    ok = RewriteItems(block, size, TW_ENUMERATION_ITEMS, mask);
  } else if (cap.ConType == TWON_ONEVALUE) {
    TW_UINT32 value;
    std::memcpy(&value, block + offsetof(TW_ONEVALUE, Item), 4);
    ok = value < 32 && (mask & (1u << value));
    if (!ok) RecordError(13);
  } else {
    RecordError(10);
  }
  if (ok && (cap.ConType == TWON_ARRAY || cap.ConType == TWON_ENUMERATION)) {
    if (!SourceOK(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap)) {
      RecordError(3);
      ok = false;
    }
  }
  TwainFree(container);
  return ok;
}

bool EnableSource(QWidget* window) {
  if (TwainState != 4) return false;
  UserInterface.ShowUI = !HideUI;
  UserInterface.ModalUI = 0;
  UserInterface.hParent = window;
  if (CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &UserInterface) == TWRC_FAILURE)
    RecordError(5);
  else
    TwainState = 5;
  return TwainState == 5;
}

void DisableSource() {
  if (TwainState != 5) return;
  CallSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &UserInterface);
  TwainState = 4;
}

// Drops the transfers still pending, back to state 5.
void AbandonTransfers() {
  TW_PENDINGXFERS pending{};
  CallSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
  TwainState = 5;
  TransfersAbandoned = true;
}

void CloseSource() {
  if (TwainState >= 6) AbandonTransfers();
  if (TwainState == 5) DisableSource();
  if (TwainState == 4) {
    CallManager(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &SourceId);
    TwainState = 3;
  }
}

void CloseManager() {
  CloseSource();
  if (TwainState == 3) {
    CallManager(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &ParentWindow);
    TwainState = 2;
  }
}

void UnloadManager() {
  if (TwainState != 2) return;
  if (Library) dlclose(Library);
  Library = nullptr;
  Entry = nullptr;
  TwainState = 1;
}

void TransferLoop() {
  Check(TwainState == 6);
  int failures = 0;
  while (TwainState == 6) {
    TW_HANDLE dib = nullptr;
    const TW_UINT16 rc = CallSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib);
    if (rc == TWRC_XFERDONE) {
      TwainState = 7;
      LastDib = dib;
      Images.push_back(dib);
      failures = 0;
    } else if (rc == TWRC_CANCEL) {
      TwainState = 7;
    } else {
      LastDib = nullptr;
      if (++failures >= kMaxTransferFailures) {
        AbandonTransfers();
        break;
      }
    }
    Check(TwainState == 6 || TwainState == 7);
    if (TwainState == 7) {
      TW_PENDINGXFERS pending{};
      if (SourceOK(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending))
        TwainState = pending.Count != 0 ? 6 : 5;
    }
  }
}

// Offers an event to the source; true when the source consumed it.
bool MessageHook(QEvent* event) {
  if (TwainState < 5 || InHook) return false;
  InHook = true;
  TW_EVENT twEvent{};
  twEvent.pEvent = event;
  twEvent.TWMessage = MSG_NULL;
  const TW_UINT16 rc = CallSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &twEvent);
  if (twEvent.TWMessage == MSG_XFERREADY) {
    TwainState = 6;
    TransferLoop();
  } else if (twEvent.TWMessage == MSG_CLOSEDSREQ) {
    DisableSource();
  }
  InHook = false;
  return rc == TWRC_DSEVENT;
}

class TEventHook : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override { return MessageHook(event); }
};

// Every event of the application passes the hook while the source is up;
// what it does not consume is delivered as usual, so the program's other
// windows stay live.
void ModalLoop() {
  TEventHook hook;
  qApp->installEventFilter(&hook);
  while (TwainState > 4 && !LastDib && !TransfersAbandoned && !QCoreApplication::closingDown())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  qApp->removeEventFilter(&hook);
}

bool IsWindow(QWidget* w) {
  return w && qApp && QApplication::allWidgets().contains(w);
}

// The session's window when the caller gives none. It stands over the window
// the user started the session from, modal: under a modal window an ordinary
// one would be out of reach, and so would the source's dialogs over it.
std::unique_ptr<QWidget> CreateProxyWindow() {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
  auto proxy =
      std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint);
  proxy->setWindowTitle("Acquire Proxy");
  ShowModalOver(proxy.get(), StartingWindow());
  return proxy;
}

void FreeImageList() {
  for (TW_HANDLE h : Images) TwainFree(h);
  Images.clear();
}

}  // namespace

bool TWAIN_SelectImageSource(QWidget* owner) {
  if (SessionOpen) return false;
  InitAppId();
  std::unique_ptr<QWidget> proxy;
  QWidget* window = owner;
  if (!IsWindow(window)) {
    if (owner) {
      TwainError("TWAIN_SelectImageSource: window handle is invalid");
      return false;
    }
    proxy = CreateProxyWindow();
    window = proxy.get();
    if (!window) {
      TwainError("TWAIN_SelectImageSource: Unable to create proxy window");
      return false;
    }
  }
  SessionOpen = true;
  bool ok = false;
  if (!LoadManager()) {
    TwainError("Unable to load Source Manager (TWAIN_32.DLL)");
  } else if (!OpenManager(window)) {
    TwainError("Unable to open Source Manager (TWAIN_32.DLL)");
  } else {
    TW_IDENTITY id;
    std::memset(&id, 0, sizeof id);
    ok = ManagerOK(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &id);
    CloseManager();
  }
  UnloadManager();
  SessionOpen = false;
  return ok;
}

TW_HANDLE TwainAcquireDib(QWidget* owner, uint32_t pixelTypeMask) {
  // The program's other windows stay live during a session, so its Acquire
  // can be chosen again; one session at a time.
  if (SessionOpen) return nullptr;
  SessionOpen = true;
  InitAppId();
  LastDib = nullptr;
  Recorded = TTwainError();
  FreeImageList();
  TransfersAbandoned = false;

  std::unique_ptr<QWidget> proxy;
  QWidget* window = owner;
  if (!IsWindow(window)) {
    proxy = CreateProxyWindow();
    window = proxy.get();
  }
  if (!window) {
    TwainError("Unable to create proxy window");
  } else if (!LoadManager()) {
    TwainError("Unable to load Source Manager (TWAIN_32.DLL)");
  } else if (!OpenManager(window)) {
    TwainError("Unable to open Source Manager (TWAIN_32.DLL)");
  } else if (OpenDefaultSource() && NegotiatePixelTypes(pixelTypeMask) && EnableSource(window)) {
    window->setEnabled(false);
    ModalLoop();
    window->setEnabled(true);
  } else {
    TwainError("TWAIN_ReportLastError: an error occurred");
  }
  DisableSource();
  CloseSource();
  CloseManager();
  UnloadManager();
  proxy.reset();
  SessionOpen = false;
  return LastDib;
}

int TwainImageCount() {
  return int(Images.size());
}

TW_HANDLE TwainImageHandle(int index) {
  if (index < 0 || index >= TwainImageCount()) return nullptr;
  return Images[size_t(index)];
}

void TwainFreeDib(TW_HANDLE dib) {
  if (!dib) return;
  // A listed picture keeps its place (the count is the session's), so that
  // the list never frees it a second time.
  for (TW_HANDLE& h : Images)
    if (h == dib) h = nullptr;
  if (dib == LastDib) LastDib = nullptr;
  TwainFree(dib);
}

void TwainDibToBitmap(TW_HANDLE dib, Bitmap24& bmp) {
  const auto* data = static_cast<const uint8_t*>(TwainLock(dib));
  if (!data) throw EInvalidGraphic("The acquired picture is not a valid memory block");
  const size_t size = TwainSize(dib);
  // The bitmap reader checks every field against the block's size; it takes
  // a file, so the packed picture gets a file header whose pixel offset 0
  // says the rows follow the colour table.
  std::vector<uint8_t> file(14 + size, 0);
  file[0] = 'B';
  file[1] = 'M';
  const uint64_t total = 14 + uint64_t(size);
  for (int i = 0; i < 4; ++i) file[2 + i] = total > 0xFFFFFFFFu ? 0 : uint8_t(total >> (8 * i));
  std::memcpy(file.data() + 14, data, size);
  ReadBMP(file.data(), file.size(), bmp);
}

int TwainGetState() {
  return TwainState;
}

TTwainError TwainRecordedError() {
  return Recorded;
}

const char* TwainErrorText(int code) {
  if (code < 0 || code >= int(std::size(kErrorTexts))) return "";
  return kErrorTexts[code];
}

void TwainSetManagerPath(const std::string& path) {
  ManagerPath = path;
}

void TwainSetEntryPoint(DSMENTRYPROC entry) {
  GivenEntry = entry;
}
