// The close box of a window that a modal window blocks. Qt drops such a
// request without a word; a window that must answer it anyway (the main
// window while a save runs from a modal window) registers a handler here.
// Under X11 the handler then runs from the event loop in place of the
// dropped request; elsewhere nothing changes.
#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>

// Runs handler when the window manager asks to close window while a modal
// window other than it is shown. The entry goes with the window.
void WatchBlockedCloseBox(QWidget* window, std::function<void()> handler);

// The window that an X11 event (an xcb_generic_event_t) asks to close: the
// window of a WM_DELETE_WINDOW message of the WM_PROTOCOLS protocol, given
// the two atoms; 0 for any other event.
uint32_t CloseBoxWindow(const void* xcbEvent, uint32_t protocolsAtom, uint32_t deleteAtom);
