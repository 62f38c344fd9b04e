// Source image commands of the main window: the source setup that crops a
// picture into a new project.
#include "dialogs/SrcSetup.h"
#include "mainwin/v2main.h"
#include "platform/Errors.h"
#include "platform/Files.h"

void TForm1::SetSourceButtons(bool lib, bool project, bool idle) {
  (void)project;
  (void)idle;  // the whole "File" menu is off during a long operation
  Opensource1->setEnabled(lib);
  Sourceimage1->setEnabled(true);
}

void TForm1::ConnectSourceCommands() {
  connect(Opensource1, &QAction::triggered, this, &TForm1::Opensource1Click);
  connect(Sourceimage1, &QAction::triggered, this, &TForm1::Sourceimage1Click);
}

TSrcSetup& TForm1::SourceSetup() {
  if (!SrcSetup) {
    SrcSetup = new TSrcSetup(VTLib1, this);
    SrcSetup->OnProjectCreated = [this](const std::string& project, const std::string& picture) {
      SourceProjectCreated(project, picture);
    };
    SrcSetup->OnReplaceProject = [this] { return QuerySaveProject(); };
  }
  return *SrcSetup;
}

void TForm1::PrepareSourceSetup() {
  TSrcSetup& setup = SourceSetup();
  setup.CheckBox1->setChecked(setup.CropImage1->ShowCells());
  setup.CheckBox2->setVisible(FStretchTiles);
  if (!FStretchTiles) setup.CheckBox2->setChecked(false);
}

void TForm1::Opensource1Click() {
  if (!LibraryOpen()) return;
  TSrcSetup& setup = SourceSetup();
  setup.OpenPictureDialog1.InitialDir = LastPath("Source");
  if (setup.OpenPictureDialog1.Execute(this)) {
    const std::string fileName = setup.OpenPictureDialog1.FileName;
    setup.OpenImage(fileName);
    PrepareSourceSetup();
    setup.exec();
    SetLastPath("Source", fileName);
    ShowStatus();
  }
  SetButtonsOnOff();
}

void TForm1::Sourceimage1Click() {
  if (!LibraryOpen()) throw EVitrane("Please open library first!");
  TSrcSetup& setup = SourceSetup();
  TEnCropImage& view = *setup.CropImage1;
  PrepareSourceSetup();
  if (ProjectOpen() && setup.HasPicture()) {
    setup.SpinEdit1->SetValue(VTPlan1.Columns);
    setup.SpinEdit2->SetValue(VTPlan1.Rows);
    view.SetCropRect(VTPlan1.SourceRect);
  } else if (!ProjectOpen()) {
    setup.SizeFrameToTiles();
  }
  setup.exec();
  ShowStatus();
}

void TForm1::ShowPictureInSourceSetup(const std::string& fileName) {
  TSrcSetup& setup = SourceSetup();
  try {
    setup.OpenImage(fileName);
    PrepareSourceSetup();
    setup.exec();
    ShowStatus();
  } catch (const std::exception&) {
    throw EVitrane("Wrong format. File: " + fileName + " can't be open.");
  }
}

void TForm1::LoadProjectSource() {
  const std::string path = VTPlan1.SourcePath;
  if (path.empty() || !FileExists(path)) return;
  TSrcSetup& setup = SourceSetup();
  try {
    setup.CropImage1->SetPictureFileName(path);
  } catch (const std::exception&) {
    // A source picture that can no longer be read: the project opens without it.
    return;
  }
  setup.OriginalFitImg();
  setup.SetStatusText(path);
}

void TForm1::SourceProjectCreated(const std::string& projectFile, const std::string& pictureFile) {
  InsertRecentFile(projectFile);
  if (!pictureFile.empty()) InsertRecentFile(pictureFile);
  OpenVTP(projectFile);
  // Every cell starts as its own source cell.
  VTMosaic1.CopyAllRecordsFrom(VTPlan1);
  SaveVTP();
}
