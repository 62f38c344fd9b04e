// The wizard's three tasks: a new library (pages 1-5), a project through a
// library (pages 6-10) and the open mosaic saved as a picture (pages 11-13).
#include <QDir>
#include <memory>

#include "controls/FolderBrowse.h"
#include "dialogs/AdvRender.h"
#include "dialogs/NewBase.h"
#include "dialogs/SetTileJpegOptions.h"
#include "dialogs/wizard02.h"
#include "dialogs/wizard02Rules.h"
#include "platform/Files.h"
#include "platform/Finally.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Utils.h"

namespace {

std::string Text(const QLineEdit* e) {
  return e->text().toStdString();
}

void SetText(QLineEdit* e, const std::string& s) {
  e->setText(QString::fromStdString(s));
}

}  // namespace

// ---- A new library ------------------------------------------------------------------

void TWizard::Button1Click() {
  // No drives here: an empty folder starts at the home folder.
  std::string start = Text(Edit2);
  if (start.empty()) start = IncludeTrailingPathDelimiter(QDir::homePath().toStdString());
  TFolderBrowse browse;
  browse.Title = "Source folder:";
  if (DirectoryExists(start)) browse.Directory = start;
  if (browse.Execute(this)) SetText(Edit2, IncludeTrailingPathDelimiter(browse.Directory));
}

void TWizard::Edit2Change() {
  const std::string dir = Text(Edit2);
  BitBtn3->setEnabled(!dir.empty() && DirectoryExists(dir));
}

void TWizard::chkJPGClick() {
  bool any = false;
  for (QCheckBox* b : TypeBoxes()) any = any || b->isChecked();
  BitBtn4->setEnabled(any);
}

int TWizard::ChosenShape() const {
  return TRRadio1->isChecked()   ? wsSquare
         : TRRadio2->isChecked() ? wsPortrait
         : TRRadio3->isChecked() ? wsLandscape
         : TRRadio4->isChecked() ? wsCustom
                                 : wsNone;
}

void TWizard::ShowShapePreview() {
  const auto radios = AnchorRadios();
  int anchor = 4;
  for (int i = 0; i < 10; ++i)
    if (radios[size_t(i)]->isChecked()) anchor = i;
  const QRect s1 = Shape1->geometry(), s2 = Shape2->geometry();
  const TRect r = WizardShapeRect(ChosenShape(), SpinXBase->Value(), SpinYBase->Value(), SpinEdit3->Value(),
                                  anchor, TRect(s1.x(), s1.y(), s1.x() + s1.width(), s1.y() + s1.height()),
                                  TRect(s2.x(), s2.y(), s2.x() + s2.width(), s2.y() + s2.height()));
  Shape2->setGeometry(r.Left, r.Top, r.Width(), r.Height());
}

void TWizard::TRRadio1Click() {
  SpinXBase->hide();
  SpinYBase->hide();
  Shape2->show();
  ShowShapePreview();
  BitBtn5->setEnabled(true);
}

void TWizard::TRRadio4Click() {
  SpinXBase->show();
  SpinYBase->show();
  Shape2->show();
  ShowShapePreview();
  BitBtn5->setEnabled(true);
}

void TWizard::SpinEdit3Change() {
  ShowShapePreview();
}

void TWizard::RadioButtonLTClick() {
  ShowShapePreview();
}

void TWizard::Button2Click() {
  if (!Text(Edit1).empty()) {
    SaveDialog1.FileName = Text(Edit1);
  } else {
    SaveDialog1.InitialDir = LastPath("Library");
    SaveDialog1.FileName = "NewPictureBase.vt2";
  }
  if (SaveDialog1.Execute(this)) SetText(Edit1, SaveDialog1.FileName);
}

void TWizard::Edit1Change() {
  BitBtn6->setEnabled(true);
}

void TWizard::BitBtn7Click() {
  if (RefuseWhileBusy()) return;
  auto form = std::make_unique<TV2NewBaseForm>(FHost.NewBase, this);
  QCheckBox* const theirs[] = {form->chkBMP, form->chkJPG, form->chkGIF, form->chkICO,
                               form->chkTIF, form->chkPCD, form->chkPCX, form->chkPSD,
                               form->chkRLE, form->chkDIB, form->chkPNG};
  const auto ours = TypeBoxes();
  for (size_t i = 0; i < std::size(theirs); ++i) theirs[i]->setChecked(ours[i]->isChecked());
  form->SpinEdit3->SetValue(SpinEdit3->Value());
  form->CheckBox1->setChecked(chkRecurseDir->isChecked());
  QRadioButton* const anchors[] = {form->RadioButtonLT, form->RadioButtonCT, form->RadioButtonRT,
                                   form->RadioButtonLC, form->RadioButtonCC, form->RadioButtonRC,
                                   form->RadioButtonLB, form->RadioButtonCB, form->RadioButtonRB,
                                   form->RadioButtonSA};
  const auto mine = AnchorRadios();
  for (size_t i = 0; i < std::size(anchors); ++i) anchors[i]->setChecked(mine[i]->isChecked());
  int x = 4, y = 4;
  if (TRRadio2->isChecked()) x = 3;
  if (TRRadio3->isChecked()) y = 3;
  if (TRRadio4->isChecked()) {
    x = SpinXBase->Value();
    y = SpinYBase->Value();
  }
  form->SpinEdit2->SetValue(x);
  form->SpinEdit1->SetValue(y);
  SetText(form->TxtNewVtb, Text(Edit1));
  form->ReplaceConfirmed = Text(Edit1);  // its "Locate..." asked
  SetText(form->TxtRoot, Text(Edit2));
  form->show();
  {
    FBusy = true;
    FNewBase = form.get();
    TFinally idle([this] {
      FBusy = false;
      FNewBase = nullptr;
    });
    form->BitBtn1Click();
  }
  form.reset();
  if (FHost.ShowStatus) FHost.ShowStatus();
  if (FHost.SetButtonsOnOff) FHost.SetButtonsOnOff();
  accept();
}

// ---- A project and its mosaic ------------------------------------------------------

void TWizard::ShowBaseInfo() {
  if (FBaseInfo.Name.empty()) {
    Label33->setText("");
    return;
  }
  Label33->setText(QString::fromStdString("There are " + std::to_string(FBaseInfo.RecordCount) +
                                          " records (" + std::to_string(FBaseInfo.XScale) + "x" +
                                          std::to_string(FBaseInfo.YScale) + ") in the base."));
}

void TWizard::Button3Click() {
  OpenDialog1.InitialDir = LastPath("Library");
  OpenDialog1.FileName = Text(Edit3);
  if (!OpenDialog1.Execute(this)) return;
  const std::string name = OpenDialog1.FileName;
  FBaseInfo = {};
  if (FHost.Library) FHost.Library->ReadBaseInfo(name, FBaseInfo);
  // A file that is not a library, or is cut short, has no tile shape to
  // fit the crop to: said at once, as opening it from the menu says it.
  if (FBaseInfo.Name.empty() || FBaseInfo.XScale <= 0 || FBaseInfo.YScale <= 0) {
    FBaseInfo = {};
    MessageBox("File " + name + " is not Vitrane base and can't be open.", "Vitrane 2", MB_OK | MB_ICONERROR);
  }
  SetText(Edit3, name);
  ShowBaseInfo();
  Edit3Change();
}

void TWizard::SpeedButton3Click() {
  FBaseInfo = {};
  if (FHost.Library) FHost.Library->GetBaseInfo(FBaseInfo);
  SetText(Edit3, FBaseInfo.Name);
  ShowBaseInfo();
  Edit3Change();
}

void TWizard::Edit3Change() {
  const std::string name = Text(Edit3);
  BitBtn8->setEnabled(!name.empty() && FileExists(name) && FBaseInfo.Name == name && FBaseInfo.XScale > 0 &&
                      FBaseInfo.YScale > 0);
}

void TWizard::Button4Click() {
  OpenDialog2.InitialDir = LastPath("Source");
  OpenDialog2.FileName = Text(Edit4);
  if (!OpenDialog2.Execute(this)) return;
  const std::string name = OpenDialog2.FileName;
  // The picture is read first: one that cannot be read is reported and
  // leaves the page as it was.
  CropImage1->SetPictureFileName(name);
  SetText(Edit4, name);
  FitCropToCells();
}

void TWizard::SpeedButton1Click() {
  if (!FHost.Plan) return;
  const std::string path = FHost.Plan->SourcePath;
  if (path.empty() || !FileExists(path)) return;
  CropImage1->SetPictureFileName(path);
  FitCropToCells();
  SetText(Edit4, path);
}

void TWizard::Edit4Change() {
  const std::string name = Text(Edit4);
  BitBtn9->setEnabled(!name.empty() && FileExists(name));
}

void TWizard::FitCropToCells() {
  const int x = KWSpinXCell->Value(), y = KWSpinYCell->Value();
  const int a = FBaseInfo.XScale, b = FBaseInfo.YScale;
  // Without a tile shape there is no proportion to keep.
  if (a <= 0 || b <= 0) return;
  const Bitmap24& picture = CropImage1->Picture();
  if (!picture.Empty()) {
    const TRect m(0, 0, x * a, y * b), p(0, 0, picture.Width(), picture.Height());
    CropImage1->SetCropRect(FitRect(m, p));
  }
  CropImage1->SetCellX(x);
  CropImage1->SetCellY(y);
  CropImage1->ScaleW = x * a;
  CropImage1->ScaleH = y * b;
}

void TWizard::KWSpinXCellRealChange() {
  FitCropToCells();
}

void TWizard::CheckBox4Click() {
  CropImage1->SetShowCells(CheckBox4->isChecked());
}

void TWizard::Button5Click() {
  SaveVTP.InitialDir = LastPath("Project");
  SaveVTP.FileName = !Text(Edit5).empty() ? Text(Edit5)
                                          : WizardProjectName(Text(Edit4), Text(Edit3), KWSpinXCell->Value(),
                                                              KWSpinYCell->Value());
  if (SaveVTP.Execute(this)) SetText(Edit5, SaveVTP.FileName);
}

void TWizard::Edit5Change() {
  BitBtn10->setEnabled(!Text(Edit5).empty());
}

void TWizard::RadioButtonNormClick() {
  BitBtn21->setEnabled(true);
}

void TWizard::SpeedButton4Click() {
  TAdvanceRender options(this);
  options.KWSpinEdit1->SetValue(FRadius);
  options.KWSpinEdit2->SetValue(FRepetition);
  options.FRadius = &FRadius;
  options.FRepetition = &FRepetition;
  options.exec();
}

void TWizard::BitBtn21Click() {
  if (RefuseWhileBusy()) return;
  if (!FHost.OpenLibraryByName || !FHost.OpenLibraryByName(Text(Edit3))) return;
  const std::string project = Text(Edit5);
  IniWriteString(SettingsFileName, "LastPath", "Project", ExtractFilePath(project));
  {
    // Cut from the picture itself: the view shows it much smaller, and its
    // page is hidden by now.
    Bitmap24 cropped;
    const TSourceInfo info{CropImage1->PictureFileName(),
                           CopyPictureRect(CropImage1->Picture(), CropImage1->CropRectPx(), cropped)};
    FHost.Library->CreatePlan(project, cropped, info, KWSpinYCell->Value(), KWSpinXCell->Value());
    if (FHost.ProjectCreated) FHost.ProjectCreated(project, info.SourcePath);
  }
  const int mode = RadioButtonSmart->isChecked() ? 3 : RadioButtonRand->isChecked() ? 2 : 1;
  if (FHost.SetRenderResult) FHost.SetRenderResult(mode, FRadius, FRepetition);
  accept();
}

// ---- Saving the mosaic ---------------------------------------------------------------

void TWizard::s3Show() {
  ShowLargeFileSize();
}

void TWizard::SpinEdit4Change() {
  ShowLargeFileSize();
}

void TWizard::ShowLargeFileSize() {
  TVTData* plan = FHost.Plan;
  const int w = SpinEdit5->Value();
  const int h = plan ? WizardTileHeight(w, plan->XScale, plan->YScale) : 0;
  int c = plan ? plan->Columns : 0, r = plan ? plan->Rows : 0;
  if (ChkSaveSelected->isChecked() && FHost.SelectionSize) {
    const TPoint s = FHost.SelectionSize();
    if (s.X != 1 || s.Y != 1) {
      c = s.X;
      r = s.Y;
    }
  }
  ShowSizeLabels(c, r, w, h, SpinEdit4->Value());
}

void TWizard::ShowSizeLabels(int c, int r, int w, int h, int d) {
  const TWizardSizeTexts t = WizardSizeTexts(c, r, w, h, d);
  Label34->setText(QString::fromStdString(t.Cells));
  Label71->setText(QString::fromStdString(t.Pixels));
  Label76->setText(QString::fromStdString(t.Bytes));
  Label73->setText(QString::fromStdString(t.Inches));
  Label72->setText(QString::fromStdString(t.Centimetres));
}

void TWizard::Button6Click() {
  SaveBMP.InitialDir = LastPath("Mosaic");
  SaveBMP.FilterIndex = 2;
  const std::string current = Text(Edit6);
  SaveBMP.FileName = !current.empty()        ? ChangeFileExt(current, "")
                     : FHost.Plan != nullptr ? ChangeFileExt(ExtractFileName(FHost.Plan->BaseName()), "")
                                             : std::string();
  if (!SaveBMP.Execute(this)) return;
  // A name typed without an extension takes the one of the chosen filter.
  const std::string name =
      ApplyDefaultExt(SaveBMP.FileName, FilterDefaultExt(SaveBMP.Filter, SaveBMP.FilterIndex));
  if (UpperCase(ExtractFileExt(name)) == ".JPG") {
    Tjpegoptions options(this);
    const int quality = options.exec();
    if (quality < 0) return;
    FJpegQuality = quality;
  }
  SetText(Edit6, name);
}

void TWizard::Edit6Change() {
  const std::string name = Text(Edit6);
  BitBtn35->setEnabled(!name.empty());
  Label45->setText(name.empty()
                       ? QString()
                       : QString::fromStdString(
                             "Now press the Save button. Vitrane will recreate your mosaic image and save "
                             "the result to " +
                             name));
}

void TWizard::BitBtn31Click() {
  if (RefuseWhileBusy()) return;
  TVTData* plan = FHost.Plan;
  if (!plan || !plan->TableIsOpen()) return;
  const std::string file = Text(Edit6);
  const std::string ext = UpperCase(ExtractFileExt(file));
  if (ext != ".JPG" && ext != ".BMP" && ext != ".TIF") {
    MessageBox("Can't save a mosaic as \"" + ExtractFileExt(file) +
                   "\" file. Please choose a name ending in .jpg, .tif or .bmp.",
               "Vitrane Wizard", MB_OK | MB_ICONWARNING);
    return;
  }
  // Asked here, when the file is written, so that Enter on the page asks too.
  if (FileExists(file) && !ConfirmReplace(file)) return;
  const int w = SpinEdit5->Value();
  const int h = WizardTileHeight(w, plan->XScale, plan->YScale);
  int c = plan->Columns, r = plan->Rows;
  if (ChkSaveSelected->isChecked() && FHost.SelectionSize) {
    const TPoint s = FHost.SelectionSize();
    if (s.X != 1 || s.Y != 1) {
      c = s.X;
      r = s.Y;
    }
  }
  const bool useOriginals = !CheckBox2->isChecked();
  const bool direct = CheckBox3->isChecked() && ext != ".JPG";
  const TWizardHost::TWriter& writer = direct ? FHost.SaveTiffWizard : FHost.SavePosterWizard;
  const int last = direct ? (ext == ".TIF" ? 2 : 1) : FJpegQuality;
  BitBtnStopSave->show();
  for (QPushButton* b : {BitBtn22, BackButtons[13], BitBtn31}) b->setEnabled(false);
  {
    FBusy = true;
    TFinally idle([this] {
      FBusy = false;
      BitBtnStopSave->hide();
      for (QPushButton* b : {BitBtn22, BackButtons[13], BitBtn31}) b->setEnabled(true);
    });
    if (writer)
      writer(file, ChkSaveSelected->isChecked(), useOriginals, c * w, r * h, SpinEdit4->Value(),
             KWSpinEdit2->Value(), KWSpinEdit1->Value(), last, CheckBox6->isChecked(), true);
  }
  if (CheckBox5->isChecked()) accept();
}

void TWizard::BitBtnStopSaveClick() {
  if (FHost.RequestStop) FHost.RequestStop();
}
