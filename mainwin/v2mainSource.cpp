// Source image commands of the main window.
#include "mainwin/v2main.h"

void TForm1::SetSourceButtons(bool lib, bool project, bool idle) {
  (void)lib;
  (void)project;
  (void)idle;
  // Not part of the program yet.
  for (QAction* a : {Opensource1, Sourceimage1}) a->setEnabled(false);
}

void TForm1::ConnectSourceCommands() {}
