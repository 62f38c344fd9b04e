// Mosaic build driver and cell editing of the main window.
#include "mainwin/v2main.h"

void TForm1::SetBuildButtons(bool lib, bool project, bool idle) {
  (void)lib;
  (void)project;
  (void)idle;
  // Not part of the program yet.
  for (QAction* a : {Erasecell1, Eraseselection1, Mosaicall1, Randommosaic1, Smartmosaic1, Stopmosaicprocess1})
    a->setEnabled(false);
  Specialerasing1->setEnabled(false);
}

void TForm1::ConnectBuildCommands() {}
