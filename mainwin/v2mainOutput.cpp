// Mosaic output of the main window.
#include "mainwin/v2main.h"

void TForm1::SetOutputButtons(bool lib, bool project, bool idle) {
  (void)lib;
  (void)project;
  (void)idle;
  // Not part of the program yet.
  for (QAction* a : {Savemosaic1, Savestatistic1}) a->setEnabled(false);
}

void TForm1::ConnectOutputCommands() {}
