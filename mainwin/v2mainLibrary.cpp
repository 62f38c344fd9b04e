// New library and library commands of the main window.
#include "dialogs/NewBase.h"
#include "mainwin/v2main.h"

void TForm1::SetLibraryButtons(bool lib, bool project, bool idle) {
  (void)lib;
  (void)project;
  // The menu item stays on; the tool button follows the long-operation bracket.
  Newlibrary1->setEnabled(true);
  SpeedButton1->setEnabled(idle);
}

void TForm1::ConnectLibraryCommands() {
  connect(Newlibrary1, &QAction::triggered, this, &TForm1::Newlibrary1Click);
}

void TForm1::Newlibrary1Click() {
  TNewBaseHost host;
  host.Library = &VTLib1;
  host.ProjectOpen = [this] { return ProjectOpen(); };
  host.OpenLibraryByName = [this](const std::string& name) { return OpenLibraryByName(name); };
  host.CloseProject = [this] { return CloseProject(); };
  host.SetButtonsOnOff = [this] { SetButtonsOnOff(); };
  host.AllowFastJpg = FAllowFastJpg;
  {
    TV2NewBaseForm form(std::move(host), this);
    form.exec();
  }
  ShowStatus();
  SetButtonsOnOff();
}
