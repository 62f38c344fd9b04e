// Mosaic output of the main window: "Save mosaic..." with its preview, and
// the writers the output setup runs. The loops themselves are window-free
// (mosaic/OutputRender); these handlers read the settings, show progress and
// pump events.
#include <QApplication>
#include <QProgressBar>
#include <exception>
#include <memory>
#include <utility>

#include "dialogs/DlgTileNotFound.h"
#include "dialogs/SetTileForm.h"
#include "mainwin/v2main.h"
#include "mosaic/OutputRender.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Finally.h"
#include "platform/Hooks.h"
#include "platform/Rounding.h"
#include "platform/qt/CloseBox.h"
#include "platform/qt/Desktop.h"

namespace {

// A progress bar placed along the bottom of a widget for one run.
class TRunProgress {
 public:
  TRunProgress(QWidget* host, int maximum) : FBar(new QProgressBar(host)) {
    FBar->setRange(0, std::max(maximum, 1));
    FBar->setTextVisible(false);
    FBar->setGeometry(0, host->height() - 16, host->width(), 16);
    FBar->show();
  }
  ~TRunProgress() { delete FBar; }
  TRunProgress(const TRunProgress&) = delete;
  TRunProgress& operator=(const TRunProgress&) = delete;
  void SetPosition(int v) { FBar->setValue(v); }
  int Position() const { return FBar->value(); }

 private:
  QProgressBar* FBar;
};

}  // namespace

void TForm1::SetOutputButtons(bool lib, bool project, bool idle) {
  (void)lib;
  const bool save = project && idle && VTMosaic1.TableIsOpen();
  Savemosaic1->setEnabled(save);
  Savestatistic1->setEnabled(save);
}

void TForm1::ConnectOutputCommands() {
  connect(Savemosaic1, &QAction::triggered, this, &TForm1::Mosaiclayoutsetup1Click);
  connect(Savestatistic1, &QAction::triggered, this, &TForm1::Savestatistic1Click);
  connect(Savemosaicas1, &QAction::triggered, this, &TForm1::Savemosaicas1Click);
  SaveDialog1.Filter = "jpg|*.jpg|tiff|*.tif|bmp|*.bmp|Text|*.txt";
  // The output setup and the wizard are modal while they save: the close box
  // of this window reaches it only through the watch.
  WatchBlockedCloseBox(this, [this] { AskStopSave(); });
}

TCellArea TForm1::OutputArea() const {
  const TGridRect s = DrawGrid1->Selection();
  if (s.Left == s.Right && s.Top == s.Bottom) return {0, 0, DrawGrid1->ColCount() - 1, DrawGrid1->RowCount() - 1};
  return {s.Left, s.Top, s.Right, s.Bottom};
}

void TForm1::Mosaiclayoutsetup1Click() {
  if (!ProjectOpen() || !VTMosaic1.TableIsOpen()) return;
  FStopRequested = false;
  const bool showThumbs = VTMosaic1.ShowThumbs;
  VTPlan1.ShowThumbs = false;
  VTMosaic1.ShowThumbs = false;
  VTMosaic1.MoveTo(CellToRow(DrawGrid1->Row(), DrawGrid1->Col()));
  const int xs = std::max(VTMosaic1.XScale, 1), ys = std::max(VTMosaic1.YScale, 1);
  const TCellArea area = OutputArea();
  const TGridRect sel = DrawGrid1->Selection();
  VTMosaic1.ShowThumbs = !(sel.Left == sel.Right && sel.Top == sel.Bottom);

  // The previous window writes its settings before the new one reads them.
  delete SetTileForm;
  SetTileForm = new TSetTileForm(this);
  TSetTileForm* form = SetTileForm;

  const int width = std::max(1, int(RoundHalfEven(1.5 * form->GroupBox7->width())));
  const int height =
      std::max(1, int(RoundHalfEven(double(width) / (double(xs) * area.Cols()) * (double(ys) * area.Rows()))));
  Bitmap24 mosaic(width, height), source(width, height);
  const double pw = double(width) / area.Cols(), ph = double(height) / area.Rows();
  // Cells this small are drawn from the sample pictures instead of decoding thumbnails.
  if (VTMosaic1.ShowThumbs && 2 * VTMosaic1.XRes > pw) VTMosaic1.ShowThumbs = false;

  // The preview is a long operation like a build: the other commands wait,
  // Stop ends it, and every way out gives the commands back.
  SetForStartMosaic();
  const std::string status = StatusText(1);
  SetStatusText(1, "Making preview...");
  bool stopped = false;
  {
    TFinally end([&] {
      VTMosaic1.ShowThumbs = showThumbs;
      SetStatusText(1, status);
      SetForEndMosaic();
      SetButtonsOnOff();
    });
    TRunProgress progress(Panel1, area.Rows());
    for (int r = 0; r < area.Rows() && !FStopRequested; ++r) {
      for (int c = 0; c < area.Cols(); ++c) {
        const int32_t record = CellToRow(area.Top + r, area.Left + c);
        VTMosaic1.MoveTo(record);
        VTPlan1.MoveTo(record);
        const TRect rect(int(RoundHalfEven(c * pw)), int(RoundHalfEven(r * ph)),
                         int(RoundHalfEven((c + 1) * pw)), int(RoundHalfEven((r + 1) * ph)));
        StretchDraw(mosaic, rect, VTMosaic1.DisplayBitmap);
        StretchDraw(source, rect, VTPlan1.DisplayBitmap);
        ProcessMessages();
        if (FStopRequested) break;
      }
      progress.SetPosition(r + 1);
      StatusBar1->repaint();
    }
    stopped = FStopRequested;
    form->FMosaicPreview = std::move(mosaic);
    form->FSourcePreview = std::move(source);
  }
  if (stopped) return;

  form->FCols = area.Cols();
  form->FRows = area.Rows();
  form->FTileWidth = xs;
  form->FTileHeight = ys;
  if (form->FMosaicWidth == 0) form->FMosaicWidth = area.Cols() * xs;
  form->FMosaicHeight = form->FMosaicWidth != 0
                            ? int(RoundHalfEven(double(form->FMosaicWidth) / (double(area.Cols()) * xs) *
                                                (double(area.Rows()) * ys)))
                            : area.Rows() * ys;
  form->FProjectName = VTPlan1.BaseName();
  form->FLibraryTile = VTLib1.DisplayBitmap;
  form->FProductCaption = ProductCaption;
  form->OnSaveAs = [this](int filterIndex, const std::string& fileName) {
    FStopRequested = false;
    RunOutputWriter(filterIndex, fileName);
  };
  form->OnStop = [this] { FStopRequested = true; };
  form->ShowSizeInfo();
  form->DrawLayoutPreview();
  form->exec();
}

void TForm1::RunOutputWriter(int filterIndex, const std::string& fileName) {
  const TSetTileForm* form = SetTileForm;
  if (!form) return;
  const bool direct = form->CheckBox4->isChecked();
  const bool useOriginals = !form->CheckBox3->isChecked();
  const auto setStatus = [](const std::string& text) {
    if (SetTileForm) SetTileForm->SetStatusText(text);
  };
  RunSave(setStatus, [&] {
    switch (filterIndex) {
      case 1:
      case 3:
        if (direct)
          SaveTiff(fileName, useOriginals, filterIndex == 3 ? 1 : 2);
        else
          SavePoster(fileName, useOriginals);
        break;
      case 2:
        SavePoster(fileName, useOriginals);
        break;
      case 4:
        SaveText(fileName);
        break;
      case 5:
        SaveSequence(fileName);
        break;
      case 6:
        SaveHTML(fileName);
        break;
    }
  });
}

void TForm1::RunSave(const std::function<void(const std::string&)>& setStatus,
                     const std::function<void()>& save) {
  FSaveRunning = true;
  FCloseAfterSave = false;
  // Panel 0 shows the grid's cell or selection; "Saving..." stands in it
  // only while the file is written.
  const std::string panel0 = StatusText(0);
  bool failed = true;
  TFinally end([&] {
    FSaveRunning = false;
    if (StatusText(0) == "Saving...") SetStatusText(0, panel0);
    if (failed) setStatus("");
    // After a failure its message is shown and the window stays.
    if (std::exchange(FCloseAfterSave, false) && !failed)
      QMetaObject::invokeMethod(this, [this] { CloseAfterSave(); }, Qt::QueuedConnection);
  });
  save();
  // The last stretch of a save (grid lines, the final flush) passes no
  // events: a close request made meanwhile is still one made during it.
  for (int pass = 0; pass < 2; ++pass) QCoreApplication::processEvents();
  failed = false;
}

void TForm1::CloseAfterSave() {
  // The modified-project question comes first; its Cancel keeps every window.
  if (!close()) return;
  while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
    modal->reject();
    if (QApplication::activeModalWidget() == modal) break;
  }
}

TOutputJob TForm1::MakeOutputJob(bool UseOriginalFiles) {
  TSetTileForm* f = SetTileForm;
  TOutputJob job;
  job.Mosaic = &VTMosaic1;
  job.Plan = &VTPlan1;
  job.GridColumns = DrawGrid1->ColCount();
  job.Area = OutputArea();
  job.UseOriginalFiles = UseOriginalFiles;
  job.DetailedBackground = FDetailedBackground;
  job.StopRequested = &FStopRequested;
  TOutputSettings& s = job.Settings;
  s.Width = f->FMosaicWidth;
  s.Height = f->FMosaicHeight;
  if (f->CheckBox2->isChecked()) {
    s.BorderLeft = f->FBorderLeft;
    s.BorderTop = f->FBorderTop;
    s.BorderRight = f->FBorderRight;
    s.BorderBottom = f->FBorderBottom;
  }
  s.BorderColor = f->BorderColor();
  s.DPI = f->FDPI;
  s.GridWidth = f->CheckBox1->isChecked() ? int(RoundHalfEven(f->KWRealSpinEdit1->Value())) : 0;
  s.GridColor = f->GridColor();
  s.BlendAlpha = int(RoundHalfEven(std::clamp(f->KWSpinEdit1->Value(), 0, 100) / 100.0 * 255));
  s.ColorCorrection = std::clamp(f->KWSpinEdit2->Value(), 0, 100);
  s.Sharpen = f->CheckBox6->isChecked();
  s.FastJpeg = f->CheckBox5->isChecked();
  s.DetailedBlend = f->CheckBox7->isChecked();
  s.JpegQuality = int(RoundHalfEven(f->spnJpgQuality->Value()));
  job.AskTileNotFound = [](const std::string& path) {
    return TileNotFoundDlg ? TileNotFoundDlg->Ask(path, true) : int(tnfAuto);
  };
  job.Status = [f](const std::string& text) {
    f->SetStatusText(text);
    ProcessMessages();
  };
  return job;
}

bool TForm1::RunWithProgress(TOutputJob& job, QWidget* host, const std::function<bool()>& run) {
  TRunProgress progress(host, job.Area.Cols() * job.Area.Rows());
  uint32_t last = GetTickMs() - FBuildFrameMs;
  job.Progress = [&](int done, int total) {
    const uint32_t now = GetTickMs();
    if (done < total && now - last < FBuildFrameMs) return;
    last = now;
    progress.SetPosition(done);
    StatusBar1->repaint();
    ProcessMessages();
  };
  return run();
}

namespace {
// The side outputs have neither borders nor grid.
void DropFrame(TOutputSettings& s) {
  s.BorderLeft = s.BorderTop = s.BorderRight = s.BorderBottom = 0;
  s.GridWidth = 0;
}
}  // namespace

void TForm1::SaveText(const std::string& fileName) {
  TSetTileForm* form = SetTileForm;
  if (!form) return;
  TOutputJob job = MakeOutputJob(false);
  RunWithProgress(job, form->StatusBar1, [&] { return WriteTextList(job, fileName); });
  form->SetStatusText("Saved to " + fileName);
}

void TForm1::SaveSequence(const std::string& fileName) {
  TSetTileForm* form = SetTileForm;
  if (!form) return;
  TOutputJob job = MakeOutputJob(!form->CheckBox3->isChecked());
  DropFrame(job.Settings);
  CheckPosterSize("", job.Settings);  // no file format: the size alone
  std::string last;
  if (!RunWithProgress(job, form->StatusBar1, [&] { return WriteSequence(job, fileName, last); })) {
    form->SetStatusText("Procedure cancelled by user");
    return;
  }
  // The cursor is still on the last cell written.
  form->SetStatusText("Sequence saved to files: " + ChangeFileExt(fileName, "") + "-ROW-COL-" +
                      ChangeFileExt(ExtractFileName(VTMosaic1.CurPath), ".bmp"));
}

void TForm1::SaveHTML(const std::string& fileName) {
  TSetTileForm* form = SetTileForm;
  if (!form) return;
  TOutputJob job = MakeOutputJob(false);
  DropFrame(job.Settings);
  CheckPosterSize("", job.Settings);  // no file format: the size alone
  RunWithProgress(job, form->StatusBar1, [&] { return WriteHTMLGallery(job, fileName); });
  form->SetStatusText("Saved to " + fileName);
}

void TForm1::SavePoster(const std::string& fileName, bool UseOriginalFiles) {
  FStopRequested = false;
  TSetTileForm* form = SetTileForm;
  if (!form) return;
  TOutputJob job = MakeOutputJob(UseOriginalFiles);
  CheckPosterSize(fileName, job.Settings);
  Bitmap24 poster;
  if (!RunWithProgress(job, form->StatusBar1, [&] { return ComposePoster(job, poster); })) {
    form->SetStatusText("Procedure cancelled by user");
    return;
  }
  form->SetStatusText("Saving...");
  if (UpperCase(ExtractFileExt(fileName)) == ".TIF") SetStatusText(0, "Saving...");
  ProcessMessages();
  SavePosterFile(fileName, poster, job.Settings);
  form->SetStatusText("Saved to file " + fileName);
}

void TForm1::SaveTiff(const std::string& fileName, bool UseOriginalFiles, int kind) {
  TSetTileForm* form = SetTileForm;
  if (!form) return;
  TOutputJob job = MakeOutputJob(UseOriginalFiles);
  if (!RunWithProgress(job, form->StatusBar1, [&] { return WriteMosaicDirect(job, fileName, kind); })) {
    form->SetStatusText("Procedure cancelled by user");
    return;
  }
  form->SetStatusText("Saved to " + fileName);
}

void TForm1::Savestatistic1Click() {
  if (!VTMosaic1.TableIsOpen()) return;
  TSaveDialog dialog;
  dialog.Filter = "Delimited text|*.txt|All files|*.*";
  dialog.DefaultExt = "txt";
  dialog.InitialDir = LastPath("Mosaic");
  if (!dialog.Execute(this)) return;
  const std::string fileName = dialog.FileName;
  SetLastPath("Mosaic", fileName);
  SetStatusText(0, "Sorting...");
  ProcessMessages();
  {
    TRunProgress progress(Panel1, VTMosaic1.RecordCount);
    WriteUsageReport(VTMosaic1, DrawGrid1->ColCount(), fileName, [&](int l, int count) {
      progress.SetPosition(l);
      SetStatusText(0, std::to_string(RoundDiv(int64_t(l) * 100, std::max(count, 1))) + "%");
      ProcessMessages();
    });
  }
  SetStatusText(1, "Saved to " + fileName);
  if (FileExists(fileName)) ShellOpen(fileName);
}

void TForm1::Savemosaicas1Click() {
  if (!ProjectOpen() || !VTMosaic1.TableIsOpen() || LongOperationRunning) return;
  if (!SaveDialog1.Execute(this)) return;
  const int cols = DrawGrid1->ColCount(), rows = DrawGrid1->RowCount();
  // A typed extension of one of the offered types chooses that type.
  const int index = SaveFilterIndex(SaveDialog1);
  const std::string fileName =
      index == 4 ? SaveDialog1.FileName : ThumbnailSheetFileName(SaveDialog1.FileName, index);
  if (FileExists(fileName) && !ConfirmReplace(fileName)) return;
  if (index == 4) {
    DrawGrid1->SetSelection({0, 0, 0, 0});
    DrawGrid1->viewport()->update();
    WriteMosaicTextList(VTMosaic1, cols, rows, fileName);
    return;
  }
  int tw = 0, th = 0;
  ThumbnailSheetCellSize(VTMosaic1, CellToRow(DrawGrid1->Row(), DrawGrid1->Col()), tw, th);
  DrawGrid1->SetSelection({0, 0, 0, 0});
  DrawGrid1->viewport()->update();
  Bitmap24 sheet;
  ComposeThumbnailSheet(VTMosaic1, VTPlan1, cols, rows, tw, th, fileName, sheet, [&](int32_t record) {
    SetStatusText(0, std::to_string(int64_t(cols) * rows - record));
    StatusBar1->repaint();
  });
  const bool jpeg = index == 1;
  if (jpeg) SetStatusText(0, "Saving...");
  TFinally clear([&] {
    if (std::uncaught_exceptions() > 0 && StatusText(0) == "Saving...") SetStatusText(0, "");
  });
  SaveThumbnailSheet(fileName, sheet);
  if (jpeg) SetStatusText(0, "Saved!");
}
