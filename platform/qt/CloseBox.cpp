#include "platform/qt/CloseBox.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

uint32_t InternAtom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
  const uint32_t atom = r ? r->atom : 0;
  std::free(r);
  return atom;
}

class TCloseBoxFilter : public QAbstractNativeEventFilter {
 public:
  // False where there is no X11 connection (another platform, offscreen).
  bool Start() {
    if (FDelete) return true;
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c) return false;
    FProtocols = InternAtom(c, "WM_PROTOCOLS");
    FDelete = InternAtom(c, "WM_DELETE_WINDOW");
    if (!FProtocols || !FDelete) return false;
    qApp->installNativeEventFilter(this);
    return true;
  }
  void Add(QWidget* window, std::function<void()> handler) {
    std::erase_if(FWatched, [](const TWatched& w) { return w.Window.isNull(); });
    FWatched.push_back({window, std::move(handler)});
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const uint32_t id = CloseBoxWindow(message, FProtocols, FDelete);
    if (!id) return false;
    QWidget* modal = QApplication::activeModalWidget();
    for (const TWatched& w : FWatched) {
      if (!w.Window || w.Window->internalWinId() != id) continue;
      if (!modal || modal == w.Window) return false;  // not blocked: Qt asks the window itself
      // Not from inside the event filter: the handler may show a modal question.
      QTimer::singleShot(0, w.Window, w.Handler);
      return true;
    }
    return false;
  }

 private:
  struct TWatched {
    QPointer<QWidget> Window;
    std::function<void()> Handler;
  };
  std::vector<TWatched> FWatched;
  uint32_t FProtocols = 0, FDelete = 0;
};

}  // namespace

uint32_t CloseBoxWindow(const void* xcbEvent, uint32_t protocolsAtom, uint32_t deleteAtom) {
  const auto* e = static_cast<const xcb_generic_event_t*>(xcbEvent);
  if (!e || (e->response_type & 0x7f) != XCB_CLIENT_MESSAGE) return 0;
  const auto* m = static_cast<const xcb_client_message_event_t*>(xcbEvent);
  if (m->format != 32 || m->type != protocolsAtom || m->data.data32[0] != deleteAtom) return 0;
  return m->window;
}

void WatchBlockedCloseBox(QWidget* window, std::function<void()> handler) {
  // One filter for the program's life, made with the first window watched.
  static TCloseBoxFilter* filter = new TCloseBoxFilter;
  if (filter->Start()) filter->Add(window, std::move(handler));
}
