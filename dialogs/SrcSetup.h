// TSrcSetup: the source image setup. The user loads the picture a mosaic is
// made of (file, clipboard or scanner), chooses the part to use with the crop frame,
// sets the tile columns and rows, and Apply cuts it into a new project
// through the open library.
#pragma once
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <functional>
#include <string>

#include "controls/EnCropImage.h"
#include "controls/KWSpin.h"
#include "platform/Types.h"
#include "platform/qt/FileDialogs.h"

class TVTData;

// ---- The setup's rules, apart from the window ----

// The proposed project name: picture name and library name without folder
// and extension, joined as "<picture>-<library>-<X>x<Y>", then given the
// extension ".vtp" by the change-extension rule (which cuts at the last dot
// of the joined text).
std::string ProposedProjectName(const std::string& picture, const std::string& library, int x, int y);
// The tile aspect that makes X x Y cells fill the crop exactly, in
// hundredths of a picture pixel (rounded, halves to even).
TPoint StretchTileAspect(const TRect& crop, int x, int y);
// The mosaic's own rectangle: X tiles of aspect width W by Y of height H.
TRect MosaicRect(int x, int y, int w, int h);
// The frame of a mosaic rectangle placed at the top-left of `at`, all in
// picture pixels: the mosaic's own size, or the largest of its proportion
// that the picture holds when it is bigger, moved as little as keeps it
// inside the picture.
TRect MosaicFrameAt(const TRect& at, const TRect& mosaic, int pictureWidth, int pictureHeight);
// The open-picture filter: "All" with every readable pattern, then one entry
// per readable type, in the setup's order of extensions and then the other
// registered ones (every extension of the picture-format list).
std::string SourcePictureFilter();
// The name a source picture of the save dialog's entry is written under:
// the entry's extension (1 ".jpg", 2 ".tif", 3 ".bmp") in place of its own.
std::string SourcePictureName(const std::string& fileName, int filterIndex);
// Writes the picture as the source-picture save dialog's entry (1 JPEG at
// the quality, 2 TIFF at 250 dpi, 3 BMP) under SourcePictureName; returns
// the name written.
std::string SaveSourcePicture(const Bitmap24& picture, const std::string& fileName, int filterIndex,
                              int jpegQuality);

class TSrcSetup : public QDialog {
  Q_OBJECT
 public:
  // The library the setup cuts its projects through (the main window's).
  TSrcSetup(TVTData& library, QWidget* parent = nullptr);
  ~TSrcSetup() override;

  QMenuBar* MainMenu1;
  QAction *Openfile1, *Pastefromclipboard1, *TWAINsetup1, *Aquire1, *Saveimageas1, *Saveselectionas1,
      *Picturecorrection1, *Selectmaximumsize1, *Applytomosaic1, *Cancel1;
  QWidget* Panel1;
  QPushButton *BitBtn1, *BitBtn2, *BitBtn3, *BitBtn5, *BitBtnHlp;
  QLabel *Label1, *Label2;
  TKWSpinEdit *SpinEdit1, *SpinEdit2;
  QCheckBox *CheckBox1, *CheckBox2;
  QStatusBar* StatusBar1;
  QLabel* StatusPanel0;
  TEnCropImage* CropImage1;
  TOpenDialog OpenPictureDialog1;
  TSaveDialog SaveDialog1, SaveSourceDialog1;

  // Asks for the JPEG quality of a saved source picture; below 0 cancels.
  // The output setup's JPEG options dialog answers it; until that is
  // installed the quality is asked for in a plain input box.
  static std::function<int(QWidget* parent)> JpegQualityDialog;
  // What Apply calls once the project file is written (the main window
  // opens it and starts its mosaic as a copy of the plan).
  std::function<void(const std::string& projectFile, const std::string& pictureFile)> OnProjectCreated;
  // Asked before Apply writes the new project, which replaces the open one:
  // false (the close question cancelled) keeps the window and writes nothing.
  std::function<bool()> OnReplaceProject;

  void OpenImage(const std::string& fileName);
  void OriginalFitImg();
  void FitImg();
  // Without a project: the frame X tiles of the library's aspect width by Y
  // of its height, in picture pixels where the frame stands, so that what
  // is shown is what Apply cuts.
  void SizeFrameToTiles();
  void SetStatusText(const std::string& text);
  std::string StatusText() const;
  bool HasPicture() const;

 public slots:
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn3Click();
  void BitBtn5Click();
  void BitBtnHlpClick();
  void CheckBox1Click();
  void CheckBox2Click();
  void SpinEdit1RealChange();
  void SpinEdit2RealChange();
  void SpinEdit01Change();
  void SpinEdit02Change();
  void Pastefromclipboard1Click();
  void TWAINsetup1Click();
  void Aquire1Click();
  void Saveimageas1Click();
  void Picturecorrection1Click();
  void Selectmaximumsize1Click();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateControls();
  void CreateMenus();
  std::string LastPath(const std::string& key) const;
  TVTData& FLibrary;
};

// The one source setup of the program (created at start-up).
extern TSrcSetup* SrcSetup;
