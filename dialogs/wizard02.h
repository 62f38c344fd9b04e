// The wizard: leads a user page by page through one of three tasks, a new
// tile library from a folder of pictures, a project cut from a source
// picture through a library (which the main window then builds), or the
// open mosaic saved as a picture file. It does no imaging itself: the
// new-library dialog scans, the library table cuts the plan, and the main
// window builds and writes.
#pragma once
#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <array>
#include <functional>
#include <string>

#include "controls/CropImage.h"
#include "controls/KWSpin.h"
#include "dialogs/NewBase.h"
#include "platform/qt/FileDialogs.h"
#include "tiledb/VTData.h"

// What the wizard needs of the main window.
struct TWizardHost {
  TVTData* Library = nullptr;  // the open library (VTLib1)
  TVTData* Plan = nullptr;     // the open project's plan (VTPlan1)
  TNewBaseHost NewBase;        // handed to the new-library dialog
  std::function<bool(const std::string&)> OpenLibraryByName;
  // The plan file was written: list it (and the picture), open it with every
  // cell a copy of its source cell, and save it.
  std::function<void(const std::string& project, const std::string& picture)> ProjectCreated;
  std::function<void()> ShowStatus;
  std::function<void()> SetButtonsOnOff;
  // FWizardRenderMode, Distance and Repeat of the main window.
  std::function<void(int mode, int radius, int repetition)> SetRenderResult;
  // Columns and rows of the grid's selection; a one-cell selection is (1, 1).
  std::function<TPoint()> SelectionSize;
  // The wizard writers: file, save selected, use original files, width,
  // height, dpi, blend %, correction %, JPEG quality or kind, sharpen, fast JPEG.
  using TWriter =
      std::function<void(const std::string&, bool, bool, int, int, int, int, int, int, bool, bool)>;
  TWriter SavePosterWizard, SaveTiffWizard;
  // Sets the main window's stop flag, which the writers poll.
  std::function<void()> RequestStop;
};

class TWizard : public QDialog {
  Q_OBJECT
 public:
  static constexpr int PageCount = 14;

  explicit TWizard(TWizardHost host, QWidget* parent = nullptr);

  QStackedWidget* PageControl1;
  std::array<QWidget*, PageCount> Pages{};
  std::array<QLabel*, PageCount> Headings{};
  // "< Back" of every page but the first (index 0 unused).
  std::array<QPushButton*, PageCount> BackButtons{};
  QPushButton *BitBtn22, *BitBtnHlp;  // "Cancel", "Help"

  // Page 0: the task.
  QLabel* Label35;
  QRadioButton *RadioButton4, *RadioButton2, *RadioButton3;
  QPushButton* BitBtn2;
  QCheckBox* CheckBox1;
  // Page 1: the picture folder.
  QLabel *Label5, *Label38, *Label17;
  QLineEdit* Edit2;
  QPushButton *Button1, *BitBtn3;
  QCheckBox* chkRecurseDir;
  // Page 2: the picture types.
  QLabel *Label7, *Label16;
  QCheckBox *chkBMP, *chkJPG, *chkGIF, *chkICO, *chkTIF, *chkPCD, *chkPCX, *chkPSD, *chkRLE, *chkDIB, *chkPNG;
  QPushButton* BitBtn4;
  // Page 3: the tile shape.
  QLabel* Label8;
  QRadioButton *TRRadio1, *TRRadio2, *TRRadio3, *TRRadio4;
  TKWSpinEdit *SpinXBase, *SpinYBase, *SpinEdit3;
  QLabel *Label32, *Label31, *Label53;
  QRadioButton *RadioButtonLT, *RadioButtonCT, *RadioButtonRT, *RadioButtonLC, *RadioButtonCC, *RadioButtonRC,
      *RadioButtonLB, *RadioButtonCB, *RadioButtonRB, *RadioButtonSA;
  TCellShape *Shape1, *Shape2;
  QPushButton* BitBtn5;
  // Page 4: the library file.
  QLabel *Label9, *Label18;
  QLineEdit* Edit1;
  QPushButton *Button2, *BitBtn6;
  // Page 5: building it.
  QLabel *Label11, *Label39;
  QPushButton* BitBtn7;
  // Page 6: the library of the project.
  QLabel *Label13, *Label19, *Label33;
  QLineEdit* Edit3;
  QPushButton *Button3, *SpeedButton3, *BitBtn8;
  // Page 7: the source picture.
  QLabel *Label15, *Label20;
  QLineEdit* Edit4;
  QPushButton *Button4, *SpeedButton1, *BitBtn9;
  // Page 8: cells and crop.
  QLabel *Label24, *Label29, *Label30, *Label36;
  TKWSpinEdit *KWSpinXCell, *KWSpinYCell;
  QWidget* Panel11;
  TCropImage* CropImage1;
  QCheckBox* CheckBox4;
  QPushButton* BitBtn19;
  // Page 9: the project file.
  QLabel *Label22, *Label25;
  QLineEdit* Edit5;
  QPushButton *Button5, *BitBtn10;
  // Page 10: render mode.
  QLabel* Label28;
  QRadioButton *RadioButtonNorm, *RadioButtonRand, *RadioButtonSmart;
  QPushButton *SpeedButton4, *BitBtn21;
  // Page 11: output size.
  QLabel *Label63, *Label64;
  TKWSpinEdit *SpinEdit5, *SpinEdit4;
  QGroupBox* GroupBox1;
  QLabel *Label69, *Label70, *Label74, *Label75, *Label34, *Label71, *Label73, *Label72, *Label76;
  QCheckBox* ChkSaveSelected;
  QPushButton* BitBtn34;
  // Page 12: the mosaic file.
  QLabel *Label78, *Label79;
  QLineEdit* Edit6;
  QPushButton *Button6, *BitBtn35;
  // Page 13: saving.
  QLabel *Label45, *Label46, *Label37, *Label41, *Label40, *Label42;
  TKWSpinEdit *KWSpinEdit1, *KWSpinEdit2;
  QCheckBox *CheckBox2, *CheckBox3, *CheckBox6, *CheckBox5;
  QPushButton *BitBtn31, *BitBtnStopSave;

  TSaveDialog SaveDialog1, SaveVTP, SaveBMP;
  TOpenDialog OpenDialog1, OpenDialog2;

  // Seeded by the main window; Distance and Repeat come back through
  // SetRenderResult.
  TVTData::TBaseInfo FBaseInfo;
  int FRadius = 0;
  int FRepetition = 0;
  int FJpegQuality = 75;

  bool TabVisible(int page) const { return FTabVisible[size_t(page)]; }
  int ActivePage() const { return PageControl1->currentIndex(); }
  // A scan or a save is running: the wizard's window must stay.
  bool Busy() const { return FBusy; }

  void ShowLargeFileSize();
  void ShowSizeLabels(int c, int r, int w, int h, int d);
  void FitCropToCells();
  // The shape page's preview: Shape2 over the part of Shape1 kept as a tile.
  void ShowShapePreview();

 public slots:
  void BitBtn2Click();   // "Next >"
  void BitBtn26Click();  // "Next >" of the mosaic-file page
  void BitBtn1Click();   // "< Back"
  void RadioButton4Click();
  void RadioButton2Click();
  void RadioButton3Click();
  void CheckBox1Click();
  void Button1Click();
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Edit1Change();
  void Edit2Change();
  void Edit3Change();
  void Edit4Change();
  void Edit5Change();
  void Edit6Change();
  void chkJPGClick();
  void TRRadio1Click();
  void TRRadio4Click();
  void SpinEdit3Change();
  void RadioButtonLTClick();
  void BitBtn7Click();  // create the library
  void SpeedButton3Click();
  void SpeedButton1Click();
  void KWSpinXCellRealChange();
  void CheckBox4Click();
  void RadioButtonNormClick();
  void SpeedButton4Click();  // "Advanced..."
  void BitBtn21Click();      // create the project
  void s3Show();
  void SpinEdit4Change();
  void BitBtn31Click();  // "Save"
  void BitBtnStopSaveClick();
  void BitBtn22Click();  // "Cancel"
  void BitBtnHlpClick();
  // Esc and the close box: "Cancel", but never under a running scan or save.
  void reject() override;

 protected:
  // Enter in a number box commits what was typed and then presses the
  // page's default button, as Enter anywhere else on the page does.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void CreatePages();
  void CreateTaskPages();
  void CreateLibraryPages();
  void CreateProjectPages();
  void CreateSavePages();
  QWidget* NewPage(int index, const char* heading);
  void ShowPages(int first, int last, bool visible);
  void GoTo(int page);
  void ShowBaseInfo();
  // The task's "Next >" and "Create" buttons; a running task refuses others.
  bool RefuseWhileBusy();
  std::array<QRadioButton*, 10> AnchorRadios() const;
  std::array<QCheckBox*, 11> TypeBoxes() const;
  int ChosenShape() const;
  std::string LastPath(const std::string& key) const;

  TWizardHost FHost;
  // The button Enter presses on each page: "Next >", or the page's "Create"
  // or "Save". A dialog has one default button at a time, so each page's
  // takes the part when the page is shown.
  std::array<QPushButton*, PageCount> FDefaultButtons{};
  std::array<bool, PageCount> FTabVisible{};
  bool FBusy = false;
  bool FRunningSave = false;
  class TV2NewBaseForm* FNewBase = nullptr;
};

// The one wizard while it is shown (the writers put their progress on it).
extern TWizard* Wizard;
