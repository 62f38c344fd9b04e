#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <fstream>

#include "common/ScratchDir.h"
#include "controls/MultiTwain.h"
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
  bool proxyShown = false, proxyDisabled = false;
  TW_USERINTERFACE ui{};
  script.OnEnable = [&](const TW_USERINTERFACE& u) {
    ui = u;
    auto* w = static_cast<QWidget*>(u.hParent);
    proxyShown = w->windowTitle() == "Acquire Proxy" && w->isVisible();
    // Runs inside the session's event loop.
    QMetaObject::invokeMethod(qApp, [&, w] { proxyDisabled = !w->isEnabled(); }, Qt::QueuedConnection);
  };
  TW_HANDLE last = TwainAcquireDib(nullptr, 0);
  EXPECT_EQ(script.Trace, Join({kOpen,
                                {"src ENABLEDS", "src EVENT XFERREADY", "src XFER", "src ENDXFER", "src XFER",
                                 "src ENDXFER", "src XFER", "src ENDXFER"},
                                kClose}));
  EXPECT_EQ(TwainGetState(), 1);
  EXPECT_TRUE(proxyShown);
  EXPECT_TRUE(proxyDisabled);
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
  script.CancelInSource = true;
  EXPECT_EQ(TwainAcquireDib(nullptr, 0), nullptr);
  EXPECT_EQ(TwainImageCount(), 0);
}

TEST_F(TwainTest, CancelInTheSourceEndsWithNoPicture) {
  TScript script;
  script.CancelInSource = true;
  QWidget owner;
  owner.show();
  EXPECT_EQ(TwainAcquireDib(&owner, 0), nullptr);
  EXPECT_EQ(script.Trace, Join({kOpen, {"src ENABLEDS", "src EVENT CLOSEDSREQ", "src DISABLEDS"},
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
  EXPECT_EQ(script.Trace, Join({kOpen, {"src ENABLEDS", "src EVENT XFERREADY", "src XFER", "src XFER", "src XFER",
                                        "src RESET"},
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
  {
    std::ofstream(notALibrary) << "not a library";
  }
  for (const std::string& path : {dir / "none.so", notALibrary}) {
    TwainSetManagerPath(path);
    boxes.clear();
    EXPECT_EQ(TwainAcquireDib(nullptr, 0), nullptr);
    EXPECT_EQ(TwainImageCount(), 0);
    EXPECT_FALSE(TWAIN_SelectImageSource(nullptr));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"TWAIN Error: Unable to load Source Manager (TWAIN_32.DLL)",
                                                 "TWAIN Error: Unable to load Source Manager (TWAIN_32.DLL)"}));
    EXPECT_EQ(boxes[0].Flags, unsigned(MB_OK | MB_ICONWARNING));
    EXPECT_EQ(TwainGetState(), 1);
  }
  boxes.clear();
  QWidget* gone = new QWidget;
  delete gone;
  EXPECT_FALSE(TWAIN_SelectImageSource(gone));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"TWAIN Error: TWAIN_SelectImageSource: window handle is invalid"}));
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
  int error;                 // recorded code, 0 for success
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
    if (n.error == 0) {
      EXPECT_NE(dib, nullptr);
      EXPECT_EQ(script.SetItems, n.setItems);
      EXPECT_TRUE(boxes.empty());
    } else {
      EXPECT_EQ(dib, nullptr);
      EXPECT_EQ(Texts(), (std::vector<std::string>{"TWAIN Error: TWAIN_ReportLastError: an error occurred"}));
      EXPECT_EQ(script.Trace, Join({kOpen, {"src CAP GET", "dsm CLOSEDS", "dsm CLOSEDSM"}}));
    }
  }
}

TEST_F(TwainTest, EnumerationIndexesAreClearedBeforeItIsSentBack) {
  TScript script;
  script.Container = [](TW_CAPABILITY& c) {
    c.ConType = TWON_ENUMERATION;
    c.hContainer = Container(TWON_ENUMERATION, TWTY_UINT16, {2, 1});
  };
  TwainAcquireDib(nullptr, 0b10);
  EXPECT_EQ(script.SetItems, std::vector<int>{1});
  EXPECT_EQ(script.SetCurrentIndex, 0xFFFFFFFFu);
}

TEST_F(TwainTest, FailedCallsKeepTheirResultAndConditionCodes) {
  struct Case {
    const char* name;
    std::function<void(TScript&)> setUp;
    int code;
    TW_UINT16 condition;
    Trace afterOpen;
  };
  const std::vector<Case> cases = {
      {"no default source", [](TScript& s) { s.OpenDSResult = TWRC_FAILURE; }, 4, TWCC_BADCAP,
       {"dsm STATUS", "dsm CLOSEDSM"}},
      {"status fails too",
       [](TScript& s) {
         s.OpenDSResult = TWRC_FAILURE;
         s.StatusFails = true;
       },
       4, TWCC_BUMMER, {"dsm STATUS", "dsm CLOSEDSM"}},
      {"capability get", [](TScript& s) { s.CapGetResult = TWRC_FAILURE; }, 2, TWCC_BADCAP,
       {"src CAP GET", "src STATUS", "dsm CLOSEDS", "dsm CLOSEDSM"}},
      {"capability set",
       [](TScript& s) {
         s.CapSetResult = TWRC_FAILURE;
         s.Container = [](TW_CAPABILITY& c) {
           c.ConType = TWON_ARRAY;
           c.hContainer = Container(TWON_ARRAY, TWTY_UINT16, {2});
         };
       },
       3, TWCC_BADCAP, {"src CAP GET", "src CAP SET", "src STATUS", "dsm CLOSEDS", "dsm CLOSEDSM"}},
      {"enable", [](TScript& s) { s.EnableResult = TWRC_FAILURE; }, 5, TWCC_BADCAP,
       {"src CAP GET", "src ENABLEDS", "src STATUS", "dsm CLOSEDS", "dsm CLOSEDSM"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TScript script;
    script.Container = [](TW_CAPABILITY& cap) {
      cap.ConType = TWON_ONEVALUE;
      cap.hContainer = Container(TWON_ONEVALUE, TWTY_UINT16, {2});
    };
    c.setUp(script);
    boxes.clear();
    EXPECT_EQ(TwainAcquireDib(nullptr, 0b100), nullptr);
    const TTwainError e = TwainRecordedError();
    EXPECT_EQ(e.Code, c.code);
    EXPECT_EQ(e.ResultCode, TWRC_FAILURE);
    EXPECT_EQ(e.ConditionCode, c.condition);
    EXPECT_EQ(script.Trace, Join({kOpen, c.afterOpen}));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"TWAIN Error: TWAIN_ReportLastError: an error occurred"}));
  }
  EXPECT_STREQ(TwainErrorText(13), "App and source found NO values in common");
}

// ---- Pictures from a source are untrusted ----

std::vector<uint8_t> Dib8(int w, int h) {
  // 40-byte header, two colours, one byte per pixel, rows padded to 4.
  std::vector<uint8_t> d(40 + 8 + size_t((w + 3) & ~3) * h, 0);
  const int32_t f[3] = {40, w, h};
  std::memcpy(d.data(), f, 12);
  d[12] = 1;
  d[14] = 8;
  d[32] = 2;  // colours used
  d[40] = 0xFF;  // entry 0 blue; entry 1 red
  d[48 - 2] = 0xFF;
  d[48] = 1;  // bottom row, first pixel: entry 1
  return d;
}

TW_HANDLE Block(const std::vector<uint8_t>& d) {
  TW_HANDLE h = TwainAlloc(d.size());
  std::memcpy(TwainLock(h), d.data(), d.size());
  return h;
}

TEST_F(TwainTest, DibToBitmapReadsGoodPicturesAndRefusesDamagedOnes) {
  Bitmap24 bmp;
  {
    const std::vector<uint8_t> d = Dib8(3, 2);
    TW_HANDLE h = Block(d);
    TwainDibToBitmap(h, bmp);
    TwainFreeDib(h);
    ASSERT_EQ(bmp.Width(), 3);
    ASSERT_EQ(bmp.Height(), 2);
    EXPECT_EQ(bmp.Pixel(0, 1), RGB(255, 0, 0));  // bottom-up: the first row is the bottom one
    EXPECT_EQ(bmp.Pixel(1, 1), RGB(0, 0, 255));
  }
  {
    // Top-down rows.
    std::vector<uint8_t> d = Dib8(3, 2);
    const int32_t h = -2;
    std::memcpy(&d[8], &h, 4);
    TW_HANDLE b = Block(d);
    TwainDibToBitmap(b, bmp);
    TwainFreeDib(b);
    EXPECT_EQ(bmp.Pixel(0, 0), RGB(255, 0, 0));
  }
  {
    // 12-byte header with 3-byte colour entries, 1 bit per pixel.
    std::vector<uint8_t> d = {12, 0, 0, 0, 9, 0, 1, 0, 1, 0, 1, 0,  // 9 x 1, 1 plane, 1 bit
                              0, 0, 0, 0, 0xFF, 0,                  // black, green
                              0x80, 0x80, 0, 0};
    TW_HANDLE b = Block(d);
    TwainDibToBitmap(b, bmp);
    TwainFreeDib(b);
    ASSERT_EQ(bmp.Width(), 9);
    EXPECT_EQ(bmp.Pixel(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(bmp.Pixel(1, 0), RGB(0, 0, 0));
    EXPECT_EQ(bmp.Pixel(8, 0), RGB(0, 255, 0));
  }
  const Bitmap24 before = bmp;
  auto damaged = [&](const char* what, std::vector<uint8_t> d) {
    SCOPED_TRACE(what);
    TW_HANDLE b = Block(d);
    EXPECT_THROW(TwainDibToBitmap(b, bmp), EInvalidGraphic);
    TwainFreeDib(b);
    EXPECT_TRUE(bmp == before);
  };
  std::vector<uint8_t> d = Dib8(3, 2);
  damaged("pixels missing", std::vector<uint8_t>(d.begin(), d.end() - 5));
  damaged("colour table beyond the block", std::vector<uint8_t>(d.begin(), d.begin() + 44));
  damaged("header cut short", std::vector<uint8_t>(d.begin(), d.begin() + 20));
  auto with = [&](size_t at, int32_t v) {
    std::vector<uint8_t> e = d;
    std::memcpy(&e[at], &v, 4);
    return e;
  };
  damaged("header size", with(0, 20));
  damaged("zero width", with(4, 0));
  damaged("huge width", with(4, 0x7FFFFFFF));
  damaged("huge colour count", with(32, 0x40000000));
  damaged("bit count", with(14, 7));
  EXPECT_THROW(TwainDibToBitmap(nullptr, bmp), EInvalidGraphic);
  static uint8_t notABlock[64] = {};
  EXPECT_THROW(TwainDibToBitmap(notABlock, bmp), EInvalidGraphic);
}

}  // namespace
