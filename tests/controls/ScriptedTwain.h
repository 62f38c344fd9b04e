// A source manager and source played by a script, behind an entry point the
// acquisition layer is given instead of loading a module. It records the
// triplets it receives and answers as the script says.
#pragma once
#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "controls/MultiTwain.h"

// A 24-bit bottom-up DIB block of w x h pixels of one colour.
inline TW_HANDLE SolidDib(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
  TW_HANDLE dib = TwainAlloc(40 + stride * size_t(h));
  auto* p = static_cast<uint8_t*>(TwainLock(dib));
  const int32_t hdr[4] = {40, w, h, 24 << 16 | 1};
  const uint8_t px[3] = {b, g, r};
  std::memcpy(p, hdr, 16);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::memcpy(p + 40 + stride * size_t(y) + size_t(x) * 3, px, 3);
  return dib;
}

struct TScript {
  std::vector<std::string> Trace;
  // The source delivers this many pictures in one go (picture i is red i + 1).
  int Pictures = 1;
  bool CancelInSource = false;
  bool TransfersFail = false;
  TW_UINT16 OpenDSResult = TWRC_SUCCESS, EnableResult = TWRC_SUCCESS;
  TW_UINT16 CapGetResult = TWRC_SUCCESS, CapSetResult = TWRC_SUCCESS;
  TW_UINT16 Condition = TWCC_BADCAP;
  bool StatusFails = false;
  // Fills the capability answer; empty: no container.
  std::function<void(TW_CAPABILITY&)> Container;
  // The container as sent back with MSG_SET: item type, items, current index.
  std::vector<int> SetItems;
  uint32_t SetCurrentIndex = 0;
  // Called when the source is enabled, with the user-interface record.
  std::function<void(const TW_USERINTERFACE&)> OnEnable;
  QObject Receiver;
  int Delivered = 0;
  static constexpr QEvent::Type Notify = QEvent::Type(QEvent::User + 401);

  static TScript*& Current() {
    static TScript* s = nullptr;
    return s;
  }
  TScript() {
    Current() = this;
    TwainSetEntryPoint(&Entry);
  }
  ~TScript() {
    TwainSetEntryPoint(nullptr);
    Current() = nullptr;
  }

  static TW_UINT16 Entry(TW_IDENTITY*, TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                         TW_MEMREF data) {
    return Current()->Answer(dest, dg, dat, msg, data);
  }

  TW_UINT16 Answer(TW_IDENTITY* dest, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    const std::string to = dest ? "src " : "dsm ";
    if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER) {
      Trace.push_back(to + "XFER");
      if (TransfersFail) return TWRC_FAILURE;
      const int i = Delivered++;
      TW_HANDLE dib = SolidDib(2, 2, 0, 0, uint8_t(i + 1));
      std::memcpy(data, &dib, sizeof dib);
      return TWRC_XFERDONE;
    }
    switch (dat) {
      case DAT_PARENT:
        Trace.push_back(to + (msg == MSG_OPENDSM ? "OPENDSM" : "CLOSEDSM"));
        return TWRC_SUCCESS;
      case DAT_IDENTITY:
        if (msg == MSG_OPENDS) {
          Trace.push_back(to + "OPENDS");
          if (OpenDSResult == TWRC_SUCCESS) static_cast<TW_IDENTITY*>(data)->Id = 7;
          return OpenDSResult;
        }
        Trace.push_back(to + (msg == MSG_CLOSEDS ? "CLOSEDS" : "USERSELECT"));
        return TWRC_SUCCESS;
      case DAT_STATUS:
        Trace.push_back(to + "STATUS");
        if (StatusFails) return TWRC_FAILURE;
        static_cast<TW_STATUS*>(data)->ConditionCode = Condition;
        return TWRC_SUCCESS;
      case DAT_CAPABILITY: {
        auto* cap = static_cast<TW_CAPABILITY*>(data);
        if (msg == MSG_GET) {
          Trace.push_back(to + "CAP GET");
          if (Container && CapGetResult == TWRC_SUCCESS) Container(*cap);
          return CapGetResult;
        }
        Trace.push_back(to + "CAP SET");
        const auto* p = static_cast<const uint8_t*>(TwainLock(cap->hContainer));
        const size_t at = cap->ConType == TWON_ARRAY ? TW_ARRAY_ITEMS : TW_ENUMERATION_ITEMS;
        uint32_t n = 0;
        std::memcpy(&n, p + 2, 4);
        if (cap->ConType == TWON_ENUMERATION) std::memcpy(&SetCurrentIndex, p + 6, 4);
        SetItems.clear();
        for (uint32_t k = 0; k < n; ++k) {
          uint16_t v;
          std::memcpy(&v, p + at + k * 2, 2);
          SetItems.push_back(v);
        }
        return CapSetResult;
      }
      case DAT_USERINTERFACE:
        if (msg == MSG_DISABLEDS) {
          Trace.push_back(to + "DISABLEDS");
          return TWRC_SUCCESS;
        }
        Trace.push_back(to + "ENABLEDS");
        if (OnEnable) OnEnable(*static_cast<TW_USERINTERFACE*>(data));
        if (EnableResult == TWRC_SUCCESS) QCoreApplication::postEvent(&Receiver, new QEvent(Notify));
        return EnableResult;
      case DAT_EVENT: {
        auto* ev = static_cast<TW_EVENT*>(data);
        ev->TWMessage = MSG_NULL;
        if (static_cast<QEvent*>(ev->pEvent)->type() != Notify) return TWRC_NOTDSEVENT;
        ev->TWMessage = CancelInSource ? MSG_CLOSEDSREQ : MSG_XFERREADY;
        Trace.push_back(to + (CancelInSource ? "EVENT CLOSEDSREQ" : "EVENT XFERREADY"));
        return TWRC_DSEVENT;
      }
      case DAT_PENDINGXFERS:
        if (msg == MSG_RESET) {
          Trace.push_back(to + "RESET");
          static_cast<TW_PENDINGXFERS*>(data)->Count = 0;
          return TWRC_SUCCESS;
        }
        Trace.push_back(to + "ENDXFER");
        static_cast<TW_PENDINGXFERS*>(data)->Count = TW_UINT16(Pictures - Delivered);
        return TWRC_SUCCESS;
    }
    Trace.push_back(to + "?");
    return TWRC_FAILURE;
  }
};
