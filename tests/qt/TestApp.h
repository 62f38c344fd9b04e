// The one application object of a GUI test program, made on first use.
#pragma once
#include "platform/qt/Application.h"

// An exception that crosses Qt's event delivery skips the cleanup of Qt's own
// frames (Qt is built without it), and font set-up keeps caches for the
// process's life; SANE's test scanner drops its reader's buffer when a scan
// is cancelled at the wrong moment: none is a leak of ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt6Core.so\nleak:libQt6Gui.so\nleak:libQt6Widgets.so\nleak:libfontconfig.so\n"
         "leak:libsane-test.so\n";
}

inline TApplication* TestApp() {
  static int argc = 1;
  static char name[] = "vitrane-test";
  static char* argv[] = {name, nullptr};
  static TApplication* app = Application ? Application : new TApplication(argc, argv);
  return app;
}
