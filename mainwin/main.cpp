// Program start-up.
#include <clocale>

#include "dialogs/DlgTileNotFound.h"
#include "dialogs/MySplash.h"
#include "dialogs/SrcSetup.h"
#include "formats/Registrations.h"
#include "mainwin/v2main.h"
#include "platform/Bitmap24.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/WorkFiles.h"
#include "platform/qt/Application.h"

int main(int argc, char* argv[]) {
  KeepFreedPictureMemory();
  TApplication app(argc, argv);
  // Qt adopts the user's numeric locale; the core formats and parses numbers
  // with "." whatever the desktop says.
  std::setlocale(LC_NUMERIC, "C");
  RegisterGraphicFormats();
  // Work files of runs that were killed would otherwise stay for good; those
  // of this run go with it also when a signal ends it.
  RemoveStaleTempFiles("vt");
  InstallTerminationCleanup();
  QApplication::setApplicationName("Vitrane");
  WizardShownOnce = false;

  // The splash screen's creation fixes the settings and help paths.
  SplashForm = new TSplashForm(nullptr);
  SplashForm->show();
  SplashForm->repaint();
  QApplication::processEvents();
  // Beside the settings: the saves in progress, and what killed saves left.
  KeepSaveList(ExtractFilePath(SettingsFileName));
  app.HelpFile = "VITRANE.HLP";
  app.Title = "Vitrane";

  Form1 = new TForm1;
  Form1->SourceSetup();
  Form1->ManualForm();
  TileNotFoundDlg = new TTileNotFoundDlg(Form1);
  // A last library or project that cannot be read is reported, not fatal.
  RunGuarded([] { Form1->StartUpSetup(); });
  SplashForm->hide();
  Form1->show();
  const int result = app.exec();
  delete Form1;
  delete SplashForm;
  EndSaveList();
  return result;
}
