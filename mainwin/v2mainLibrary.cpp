// New library and library commands of the main window.
#include "mainwin/v2main.h"

void TForm1::SetLibraryButtons(bool lib, bool project, bool idle) {
  (void)lib;
  (void)project;
  (void)idle;
  // Not part of the program yet.
  Newlibrary1->setEnabled(false);
}

void TForm1::ConnectLibraryCommands() {}
