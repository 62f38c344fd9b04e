// The wizard from the main window: seeding and showing it, building the
// project it created, and the writers its "Save" runs.
#include <QProgressBar>
#include <algorithm>
#include <memory>

#include "dialogs/DlgTileNotFound.h"
#include "dialogs/wizard02.h"
#include "mainwin/v2main.h"
#include "mosaic/OutputRender.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Rounding.h"

namespace {
// The wizard's writers put their progress bar on the wizard.
QWidget* ProgressHost(QWidget* withoutWizard) {
  return Wizard ? static_cast<QWidget*>(Wizard) : withoutWizard;
}
}  // namespace

void TForm1::SetWizardButtons(bool idle) {
  RunVitraneWizard1->setEnabled(idle);
}

void TForm1::ConnectWizardCommands() {
  connect(RunVitraneWizard1, &QAction::triggered, this, &TForm1::RunVitraneWizard1Click);
}

void TForm1::RunVitraneWizard1Click() {
  FWizardRenderMode = 0;
  TWizardHost host;
  host.Library = &VTLib1;
  host.Plan = &VTPlan1;
  host.NewBase.Library = &VTLib1;
  host.NewBase.ProjectOpen = [this] { return ProjectOpen(); };
  host.NewBase.OpenLibraryByName = [this](const std::string& name) { return OpenLibraryByName(name); };
  host.NewBase.CloseProject = [this] { return CloseProject(); };
  host.NewBase.SetButtonsOnOff = [this] { SetButtonsOnOff(); };
  host.NewBase.AllowFastJpg = FAllowFastJpg;
  // "Create" replaces the open project: after the library (whose own question
  // may close the project) the close question, before anything is written.
  host.OpenLibraryByName = [this](const std::string& name) {
    return OpenLibraryByName(name) && QuerySaveProject();
  };
  host.ProjectCreated = [this](const std::string& project, const std::string& picture) {
    SourceProjectCreated(project, picture);
  };
  host.ShowStatus = [this] { ShowStatus(); };
  host.SetButtonsOnOff = [this] { SetButtonsOnOff(); };
  host.SetRenderResult = [this](int mode, int radius, int repetition) {
    FWizardRenderMode = mode;
    SpinRadius2->SetValue(radius);
    SpinRepetition2->SetValue(repetition);
  };
  host.SelectionSize = [this] {
    const TGridRect s = DrawGrid1->Selection();
    return TPoint{s.Right - s.Left + 1, s.Bottom - s.Top + 1};
  };
  host.SavePosterWizard = [this](const std::string& f, bool sel, bool orig, int w, int h, int dpi, int blend,
                                 int corr, int quality, bool sharpen, bool fast) {
    SavePosterWizard(f, sel, orig, w, h, dpi, blend, corr, quality, sharpen, fast);
  };
  host.SaveTiffWizard = [this](const std::string& f, bool sel, bool orig, int w, int h, int dpi, int blend,
                               int corr, int kind, bool sharpen, bool fast) {
    SaveTiffWizard(f, sel, orig, w, h, dpi, blend, corr, kind, sharpen, fast);
  };
  host.RequestStop = [this] { FStopRequested = true; };
  {
    TWizard wizard(std::move(host), this);
    wizard.CheckBox1->setChecked(FWizardOnStart);
    wizard.TRRadio4->hide();
    wizard.CheckBox2->setChecked(true);
    wizard.CheckBox2->setEnabled(false);
    wizard.CheckBox3->setChecked(false);
    wizard.CheckBox3->setEnabled(false);
    const TGridRect s = DrawGrid1->Selection();
    const bool oneCell = s.Left == s.Right && s.Top == s.Bottom;
    wizard.ChkSaveSelected->setChecked(!oneCell);
    wizard.ChkSaveSelected->setEnabled(!oneCell);
    wizard.Label33->setText(QString::fromStdString("Current base: " + VTLib1.BaseName()));
    wizard.FJpegQuality = 75;
    wizard.FRadius = SpinRadius2->Value();
    wizard.FRepetition = SpinRepetition2->Value();
    Wizard = &wizard;
    struct TForget {
      ~TForget() { Wizard = nullptr; }
    } forget;
    wizard.exec();
    // The box wrote [StartUp] WizardOnStart; the window keeps the same value.
    FWizardOnStart = wizard.CheckBox1->isChecked();
  }
  ShowStatus();
  if (FWizardRenderMode >= 1 && FWizardRenderMode <= 3) {
    RenderMosaic(TRenderOrder(FWizardRenderMode - 1));
    SaveVTP1Click();
  }
}

TOutputJob TForm1::MakeWizardJob(bool SaveSelected, bool UseOriginalFiles, int width, int height, int dpi,
                                 int blend, int correction, bool sharpen, bool fastJpeg) {
  TOutputJob job;
  job.Mosaic = &VTMosaic1;
  job.Plan = &VTPlan1;
  job.GridColumns = DrawGrid1->ColCount();
  job.Area =
      SaveSelected ? OutputArea() : TCellArea{0, 0, DrawGrid1->ColCount() - 1, DrawGrid1->RowCount() - 1};
  job.UseOriginalFiles = UseOriginalFiles;
  job.BlankIsMissing = true;
  job.DetailedBackground = false;
  job.StopRequested = &FStopRequested;
  TOutputSettings& s = job.Settings;
  s.Width = width;
  s.Height = height;
  s.DPI = dpi;
  s.BlendAlpha = int(RoundHalfEven(std::clamp(blend, 0, 100) / 100.0 * 255));
  s.ColorCorrection = std::clamp(correction, 0, 100);
  s.Sharpen = sharpen;
  s.FastJpeg = fastJpeg;
  s.DetailedBlend = false;
  job.AskTileNotFound = [](const std::string& path) {
    return TileNotFoundDlg ? TileNotFoundDlg->Ask(path, false) : int(tnfAuto);
  };
  job.Status = [this](const std::string& text) {
    SetStatusText(1, text);
    ProcessMessages();
  };
  return job;
}


void TForm1::SavePosterWizard(const std::string& fileName, bool SaveSelected, bool UseOriginalFiles,
                              int width, int height, int dpi, int blend, int correction, int jpegQuality,
                              bool sharpen, bool fastJpeg) {
  FStopRequested = false;
  RunSave([this](const std::string& text) { SetStatusText(1, text); }, [&] {
    TOutputJob job = MakeWizardJob(SaveSelected, UseOriginalFiles, width, height, dpi, blend, correction,
                                   sharpen, fastJpeg);
    job.Settings.JpegQuality = jpegQuality;
    CheckPosterSize(fileName, job.Settings);
    Bitmap24 poster;
    if (!RunWithProgress(job, ProgressHost(Panel1), [&] { return ComposePoster(job, poster); })) {
      SetStatusText(1, "Procedure cancelled by user");
      return;
    }
    SetStatusText(1, "Saving...");
    ProcessMessages();
    SavePosterFile(fileName, poster, job.Settings);
    SetStatusText(1, "Saved to file " + fileName);
  });
}

void TForm1::SaveTiffWizard(const std::string& fileName, bool SaveSelected, bool UseOriginalFiles, int width,
                            int height, int dpi, int blend, int correction, int kind, bool sharpen,
                            bool fastJpeg) {
  FStopRequested = false;
  RunSave([this](const std::string& text) { SetStatusText(1, text); }, [&] {
    TOutputJob job = MakeWizardJob(SaveSelected, UseOriginalFiles, width, height, dpi, blend, correction,
                                   sharpen, fastJpeg);
    if (!RunWithProgress(job, ProgressHost(Panel1), [&] { return WriteMosaicDirect(job, fileName, kind); })) {
      SetStatusText(1, "Procedure cancelled by user");
      return;
    }
    SetStatusText(1, "Saved to " + fileName);
  });
}
