#include "controls/MultiTwain.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <fstream>

#include "common/ScratchDir.h"
#include "controls/ScriptedTwain.h"
#include "platform/Errors.h"
#include "platform/Hooks.h"
#include "qt/TestApp.h"

namespace {

using Trace = std::vector<std::string>;

struct TwainTest : ::testing::Test {
  TApplication* app = TestApp();
  std::vector<MessageBoxRequest> boxes;
  void SetUp() override {
    SetMessageBoxHook([this](const MessageBoxRequest& r) {
      boxes.push_back(r);
      return IDOK;
    });
  }
  void TearDown() override {
    SetMessageBoxHook(nullptr);
    TwainSetManagerPath("");
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const auto& b : boxes) t.push_back(b.Caption + ": " + b.Text);
    return t;
  }
};

const Trace kOpen = {"dsm OPENDSM", "dsm OPENDS"};
const Trace kClose = {"src DISABLEDS", "dsm CLOSEDS", "dsm CLOSEDSM"};
Trace Join(std::initializer_list<Trace> parts) {
  Trace t;
  for (const Trace& p : parts) t.insert(t.end(), p.begin(), p.end());
  return t;
}

TEST_F(TwainTest, ThreePicturesInOneGoAreAllKeptAndTheLastReturned) {
  TScript script;
  script.Pictures = 3;
  // The session starts from a modal window, as the source setup is.
  QDialog starter;
  starter.setWindowModality(Qt::ApplicationModal);
  starter.show();
  bool proxyShown = false, proxyOnTop = false, proxyDisabled = false;
  TW_USERINTERFACE ui{};
  script.OnEnable = [&](const TW_USERINTERFACE& u) {
    ui = u;
    auto* w = static_cast<QWidget*>(u.hParent);
    proxyShown = w->windowTitle() == "Acquire Proxy" && w->isVisible();
    // Modal over the starter, so that the source's dialogs over it can be used.
    proxyOnTop = QApplication::activeModalWidget() == w &&
                 w->windowHandle()->transientParent() == starter.windowHandle();
    // Runs inside the session's event loop.
    QMetaObject::invokeMethod(
        qApp, [&, w] { proxyDisabled = !w->isEnabled(); }, Qt::QueuedConnection);
  };
  TW_HANDLE last = TwainAcquireDib(nullptr, 0);
  EXPECT_EQ(script.Trace, Join({kOpen,
                                {"src ENABLEDS", "src EVENT XFERREADY", "src XFER", "src ENDXFER", "src XFER",
                                 "src ENDXFER", "src XFER", "src ENDXFER"},
                                kClose}));
  EXPECT_EQ(TwainGetState(), 1);
  EXPECT_TRUE(proxyShown);
  EXPECT_TRUE(proxyOnTop);
  EXPECT_TRUE(proxyDisabled);
  starter.hide();
  EXPECT_EQ(ui.ShowUI, 1);
  EXPECT_EQ(ui.ModalUI, 0);
  ASSERT_EQ(TwainImageCount(), 3);
  EXPECT_EQ(last, TwainImageHandle(2));
  for (int i = 0; i < 3; ++i) {
    Bitmap24 bmp;
    TwainDibToBitmap(TwainImageHandle(i), bmp);
    EXPECT_EQ(bmp.Pixel(1, 1), RGB(uint8_t(i + 1), 0, 0));
  }
  EXPECT_EQ(TwainImageHandle(3), nullptr);
  EXPECT_TRUE(boxes.empty());
  // The proxy window is gone, and the next session frees the pictures left
  // in the list (the leak checker would name them otherwise).
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->windowTitle(), "Acquire Proxy");
  TwainFreeDib(TwainImageHandle(1));
  EXPECT_EQ(TwainImageHandle(1), nullptr);

  // Cancel in the source: no picture; an owner window given is enabled again.
  script.CancelInSource = true;
  script.Trace.clear();
  QWidget owner;
  owner.show();
  EXPECT_EQ(TwainAcquireDib(&owner, 0), nullptr);
  EXPECT_EQ(script.Trace, Join({kOpen,
                                {"src ENABLEDS", "src EVENT CLOSEDSREQ", "src DISABLEDS"},
                                {"dsm CLOSEDS", "dsm CLOSEDSM"}}));
  EXPECT_EQ(TwainImageCount(), 0);
  EXPECT_EQ(TwainGetState(), 1);
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TwainTest, TransfersThatKeepFailingEndTheSessionAfterThree) {
  TScript script;
  script.TransfersFail = true;
  EXPECT_EQ(TwainAcquireDib(nullptr, 0), nullptr);
  EXPECT_EQ(script.Trace,
            Join({kOpen,
                  {"src ENABLEDS", "src EVENT XFERREADY", "src XFER", "src XFER", "src XFER", "src RESET"},
                  kClose}));
  EXPECT_EQ(TwainImageCount(), 0);
  EXPECT_EQ(TwainGetState(), 1);
}

TEST_F(TwainTest, ASecondAcquireDuringASessionIsRefused) {
  TScript script;
  TW_HANDLE inner = reinterpret_cast<TW_HANDLE>(1);
  script.OnEnable = [&](const TW_USERINTERFACE&) {
    inner = TwainAcquireDib(nullptr, 0);
    EXPECT_FALSE(TWAIN_SelectImageSource(nullptr));
  };
  EXPECT_NE(TwainAcquireDib(nullptr, 0), nullptr);
  EXPECT_EQ(inner, nullptr);
  EXPECT_EQ(TwainImageCount(), 1);
  EXPECT_EQ(std::count(script.Trace.begin(), script.Trace.end(), "dsm OPENDSM"), 1);
}

TEST_F(TwainTest, NoManagerGivesTheLoadMessage) {
  ScratchDir dir("twain");
  const std::string notALibrary = dir / "libtwain_32.so";
  { std::ofstream(notALibrary) << "not a library"; }
  for (const std::string& path : {dir / "none.so", notALibrary}) {
    TwainSetManagerPath(path);
    boxes.clear();
    EXPECT_EQ(TwainAcquireDib(nullptr, 0), nullptr);
    EXPECT_EQ(TwainImageCount(), 0);
    EXPECT_FALSE(TWAIN_SelectImageSource(nullptr));
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"TWAIN Error: Unable to load Source Manager (TWAIN_32.DLL)",
                                        "TWAIN Error: Unable to load Source Manager (TWAIN_32.DLL)"}));
    EXPECT_EQ(boxes[0].Flags, unsigned(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(TwainGetState(), 1);
  }
  boxes.clear();
  QWidget* gone = new QWidget;
  delete gone;
  EXPECT_FALSE(TWAIN_SelectImageSource(gone));
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{"TWAIN Error: TWAIN_SelectImageSource: window handle is invalid"}));
}

TEST_F(TwainTest, SelectingASourceOpensAndClosesTheManager) {
  TScript script;
  EXPECT_TRUE(TWAIN_SelectImageSource(nullptr));
  EXPECT_EQ(script.Trace, (Trace{"dsm OPENDSM", "dsm USERSELECT", "dsm CLOSEDSM"}));
  EXPECT_EQ(TwainGetState(), 1);
}

// ---- Pixel-type negotiation ----

TW_HANDLE Container(TW_UINT16 conType, TW_UINT16 itemType, std::vector<int> items) {
  const size_t at = conType == TWON_ARRAY ? TW_ARRAY_ITEMS : TW_ENUMERATION_ITEMS;
  if (conType == TWON_ONEVALUE) {
    TW_HANDLE h = TwainAlloc(sizeof(TW_ONEVALUE));
    auto* p = static_cast<uint8_t*>(TwainLock(h));
    const uint32_t v = uint32_t(items.at(0));
    std::memcpy(p, &itemType, 2);
    std::memcpy(p + 2, &v, 4);
    return h;
  }
  TW_HANDLE h = TwainAlloc(at + items.size() * 2);
  auto* p = static_cast<uint8_t*>(TwainLock(h));
  const uint32_t n = uint32_t(items.size());
  std::memcpy(p, &itemType, 2);
  std::memcpy(p + 2, &n, 4);
  for (size_t i = 0; i < items.size(); ++i) {
    const uint16_t v = uint16_t(items[i]);
    std::memcpy(p + at + i * 2, &v, 2);
  }
  return h;
}

struct Negotiation {
  const char* name;
  uint32_t mask;
  std::function<void(TW_CAPABILITY&)> answer;
  int error;                  // recorded code, 0 for success
  std::vector<int> setItems;  // sent back with MSG_SET (none: no MSG_SET)
};

TEST_F(TwainTest, EveryNegotiationOutcomeRecordsItsCode) {
  auto with = [](TW_UINT16 con, TW_UINT16 type, std::vector<int> items) {
    return [=](TW_CAPABILITY& c) {
      c.ConType = con;
      c.hContainer = Container(con, type, items);
    };
  };
  static uint8_t notABlock[64] = {};
  const std::vector<Negotiation> cases = {
      {"array", 0b100, with(TWON_ARRAY, TWTY_INT16, {0, 2, 1, -1}), 0, {2}},
      {"enumeration", 0b110, with(TWON_ENUMERATION, TWTY_UINT16, {5, 2, 1}), 0, {1, 2}},
      {"one value", 0b100, with(TWON_ONEVALUE, TWTY_UINT16, {2}), 0, {}},
      {"one value not allowed", 0b100, with(TWON_ONEVALUE, TWTY_UINT16, {1}), 13, {}},
      {"none in common", 0b1000, with(TWON_ENUMERATION, TWTY_UINT16, {0, 1, 2}), 13, {}},
      {"bad container", 0b100, with(7, TWTY_UINT16, {2}), 10, {}},
      {"bad item type", 0b100, with(TWON_ARRAY, 3, {2}), 11, {}},
      {"empty", 0b100, with(TWON_ARRAY, TWTY_UINT16, {}), 12, {}},
      {"no container", 0b100, [](TW_CAPABILITY& c) { c.hContainer = nullptr; }, 8, {}},
      {"invalid container", 0b100, [](TW_CAPABILITY& c) { c.hContainer = notABlock; }, 9, {}},
  };
  for (const Negotiation& n : cases) {
    SCOPED_TRACE(n.name);
    TScript script;
    script.Container = n.answer;
    boxes.clear();
    const TW_HANDLE dib = TwainAcquireDib(nullptr, n.mask);
    EXPECT_EQ(TwainRecordedError().Code, n.error);
    EXPECT_EQ(TwainGetState(), 1);
    EXPECT_EQ(dib != nullptr, n.error == 0);
    EXPECT_EQ(script.SetItems, n.setItems);
    if (n.setItems.size() == 2) {
      EXPECT_EQ(script.SetCurrentIndex, 0xFFFFFFFFu);  // cleared
    }
    if (n.error == 0) continue;
    EXPECT_EQ(Texts(), (std::vector<std::string>{"TWAIN Error: TWAIN_ReportLastError: an error occurred"}));
    EXPECT_EQ(script.Trace, Join({kOpen, {"src CAP GET", "dsm CLOSEDS", "dsm CLOSEDSM"}}));
  }
}

TEST_F(TwainTest, FailedCallsKeepTheirResultAndConditionCodes) {
  // What fails, the code recorded, the condition code, the calls after opening.
  using Fault = std::function<void(TScript&)>;
  const std::vector<std::tuple<Fault, int, TW_UINT16, Trace>> cases = {
      {[](TScript& s) { s.OpenDSResult = TWRC_FAILURE; }, 4, TWCC_BADCAP, {"dsm STATUS", "dsm CLOSEDSM"}},
      {[](TScript& s) { s.OpenDSResult = TWRC_FAILURE, s.StatusFails = true; },
       4,
       TWCC_BUMMER,
       {"dsm STATUS", "dsm CLOSEDSM"}},
      {[](TScript& s) { s.CapGetResult = TWRC_FAILURE; },
       2,
       TWCC_BADCAP,
       {"src CAP GET", "src STATUS", "dsm CLOSEDS", "dsm CLOSEDSM"}},
      {[](TScript& s) { s.CapSetResult = TWRC_FAILURE; },
       3,
       TWCC_BADCAP,
       {"src CAP GET", "src CAP SET", "src STATUS", "dsm CLOSEDS", "dsm CLOSEDSM"}},
      {[](TScript& s) { s.EnableResult = TWRC_FAILURE; },
       5,
       TWCC_BADCAP,
       {"src CAP GET", "src CAP SET", "src ENABLEDS", "src STATUS", "dsm CLOSEDS", "dsm CLOSEDSM"}},
  };
  for (const auto& [fault, code, condition, afterOpen] : cases) {
    SCOPED_TRACE(code);
    TScript script;
    script.Container = [](TW_CAPABILITY& cap) {
      cap.ConType = TWON_ARRAY;
      cap.hContainer = Container(TWON_ARRAY, TWTY_UINT16, {2});
    };
    fault(script);
    boxes.clear();
    EXPECT_EQ(TwainAcquireDib(nullptr, 0b100), nullptr);
    const TTwainError e = TwainRecordedError();
    EXPECT_EQ(e.Code, code);
    EXPECT_EQ(e.ResultCode, TWRC_FAILURE);
    EXPECT_EQ(e.ConditionCode, condition);
    EXPECT_EQ(script.Trace, Join({kOpen, afterOpen}));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"TWAIN Error: TWAIN_ReportLastError: an error occurred"}));
  }
  EXPECT_STREQ(TwainErrorText(13), "App and source found NO values in common");
}

// ---- Pictures from a source are untrusted ----

// 3 x 2 at 8 bits, a 40-byte header and two colours: entry 0 blue, entry 1
// red; the first stored pixel (the bottom row's) is red.
std::vector<uint8_t> Dib8() {
  std::vector<uint8_t> d(40 + 8 + 4 * 2, 0);
  const int32_t f[4] = {40, 3, 2, 8 << 16 | 1};
  std::memcpy(d.data(), f, 16);
  d[32] = 2;
  d[40] = d[46] = 0xFF;
  d[48] = 1;
  return d;
}

void ReadInto(const std::vector<uint8_t>& d, Bitmap24& bmp) {
  TW_HANDLE h = TwainAlloc(d.size());
  std::memcpy(TwainLock(h), d.data(), d.size());
  struct Free {
    TW_HANDLE h;
    ~Free() { TwainFreeDib(h); }
  } free{h};
  TwainDibToBitmap(h, bmp);
}
Bitmap24 Read(const std::vector<uint8_t>& d) {
  Bitmap24 bmp;
  ReadInto(d, bmp);
  return bmp;
}

TEST_F(TwainTest, DibToBitmapReadsGoodPicturesAndRefusesDamagedOnes) {
  const std::vector<uint8_t> d = Dib8();
  Bitmap24 bmp = Read(d);
  ASSERT_EQ(bmp.Width(), 3);
  ASSERT_EQ(bmp.Height(), 2);
  EXPECT_EQ(bmp.Pixel(0, 1), RGB(255, 0, 0));
  EXPECT_EQ(bmp.Pixel(1, 1), RGB(0, 0, 255));
  auto with = [&](size_t at, int32_t v) {
    std::vector<uint8_t> e = d;
    std::memcpy(&e[at], &v, 4);
    return e;
  };
  EXPECT_EQ(Read(with(8, -2)).Pixel(0, 0), RGB(255, 0, 0));  // rows top-down
  // A 12-byte header with 3-byte colour entries (black, green), 9 x 1 at 1 bit.
  bmp = Read({12, 0, 0, 0, 9, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0xFF, 0, 0x80, 0x80, 0, 0});
  ASSERT_EQ(bmp.Width(), 9);
  EXPECT_EQ(bmp.Pixel(0, 0), RGB(0, 255, 0));
  EXPECT_EQ(bmp.Pixel(1, 0), RGB(0, 0, 0));
  EXPECT_EQ(bmp.Pixel(8, 0), RGB(0, 255, 0));

  const std::vector<std::pair<const char*, std::vector<uint8_t>>> damaged = {
      {"pixels missing", {d.begin(), d.end() - 5}},
      {"colour table beyond the block", {d.begin(), d.begin() + 44}},
      {"header cut short", {d.begin(), d.begin() + 20}},
      {"header size", with(0, 20)},
      {"zero width", with(4, 0)},
      {"huge width", with(4, 0x7FFFFFFF)},
      {"huge colour count", with(32, 0x40000000)},
      {"bit count", with(14, 7)},
  };
  for (const auto& [what, data] : damaged) {
    SCOPED_TRACE(what);
    EXPECT_THROW(ReadInto(data, bmp), EInvalidGraphic);
  }
  EXPECT_THROW(TwainDibToBitmap(nullptr, bmp), EInvalidGraphic);
  static uint8_t notABlock[64] = {};
  EXPECT_THROW(TwainDibToBitmap(notABlock, bmp), EInvalidGraphic);
  EXPECT_EQ(bmp.Width(), 9);  // unchanged by every refusal
}

}  // namespace
