// New library and library commands of the main window.
#include "dialogs/LibraryMosaic.h"
#include "dialogs/LibraryMosaicRules.h"
#include "dialogs/NewBase.h"
#include "dialogs/Prefs2.h"
#include "mainwin/v2main.h"

void TForm1::SetLibraryButtons(bool lib, bool project, bool idle) {
  (void)project;
  // Off only with the whole "File" menu during a long operation.
  Newlibrary1->setEnabled(true);
  Libraryinspector1->setEnabled(idle && lib);
  Preferences1->setEnabled(idle);
}

void TForm1::ConnectLibraryCommands() {
  connect(Newlibrary1, &QAction::triggered, this, &TForm1::Newlibrary1Click);
  connect(Libraryinspector1, &QAction::triggered, this, &TForm1::Libraryinspector1Click);
  connect(Preferences1, &QAction::triggered, this, &TForm1::Preferences1Click);
}

TPrefsHost TForm1::PrefsHost() {
  TPrefsHost h;
  h.Caption = ProductCaption;
  h.WizardOnStart = &FWizardOnStart;
  h.ShowBestCandidates = &FShowBestCandidates;
  h.AllowPopUpCandidates = &FAllowPopUpCandidates;
  h.AllowFastJpg = &FAllowFastJpg;
  h.DetailedBackground = &FDetailedBackground;
  h.SetDefaultRenderMode = [this](uint8_t mode) { SetDefaultRenderMode(mode); };
  h.InitPopUpMenu = [this] { InitPopUpMenu(); };
  h.InitRecentFileMenu = [this] { InitRecentFileMenu(); };
  h.SpinRadius2 = SpinRadius2;
  h.SpinRepetition2 = SpinRepetition2;
  h.ChkFixAuto = ChkFixAuto;
  h.ChkFixManual = ChkFixManual;
  h.ChkInvertSelection = ChkInvertSelection;
  h.CBFlipOriginal = CBFlipOriginal;
  h.CBFlipH = CBFlipH;
  h.CBFlipV = CBFlipV;
  h.CBRota180 = CBRota180;
  return h;
}

void TForm1::Preferences1Click() {
  TPrefsForm form(PrefsHost(), this);
  form.exec();
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

void TForm1::Libraryinspector1Click() {
  ShowLibraryInspector("");
}

void TForm1::ShowLibraryInspector(const std::string& findFileName) {
  if (!LibraryOpen()) return;
  VTLib1.ClearIndex();
  {
    TLibrayMosaic inspector(VTLib1, this);
    inspector.ShowLibInfo();
    inspector.FFindFileName = findFileName;
    const int32_t count = VTLib1.OriginalCount;
    inspector.DrawGrid1->SetRowCount(count + 1);
    // An empty library gets no grid rather than a division by zero.
    const int32_t columns = DefaultColumns(count);
    inspector.KWSpinEdit1->SetValue(columns);
    inspector.KWSpinEdit2->SetValue(RowsForColumns(count, columns));
    inspector.exec();
  }
  VTLib1.ClearIndex();
  // Flips, appended pictures or delete marks may have changed the library.
  ShowStatus();
  SetButtonsOnOff();
  DrawGrid1->viewport()->update();
}
