// The new-library dialog: collects the tile shape, border trim, crop anchor,
// colour system, picture types and root folder, indexes the folder into a new
// library file with progress in the caption, and hands the new library to the
// main window, asking first when it does not fit the open project.
#pragma once
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <functional>
#include <string>

#include "controls/FolderBrowse.h"
#include "controls/KWSpin.h"
#include "dialogs/NewBaseRules.h"
#include "platform/qt/FileDialogs.h"
#include "platform/qt/Image.h"
#include "tiledb/VTData.h"

// What the dialog needs of the main window.
struct TNewBaseHost {
  TVTData* Library = nullptr;  // the open library (VTLib1)
  std::function<bool()> ProjectOpen;
  std::function<bool(const std::string&)> OpenLibraryByName;
  std::function<bool()> CloseProject;
  std::function<void()> SetButtonsOnOff;
  bool AllowFastJpg = true;
};

class TV2NewBaseForm : public QDialog {
  Q_OBJECT
 public:
  explicit TV2NewBaseForm(TNewBaseHost host, QWidget* parent = nullptr);
  // Writes [NewBase].
  ~TV2NewBaseForm() override;

  QLabel* Label1;
  QLineEdit* TxtNewVtb;
  QPushButton* BitBtn3;
  QLabel* Label2;
  QLineEdit* TxtRoot;
  QPushButton* BitBtn4;
  QCheckBox* CheckBox1;
  QLabel* Label6;
  QCheckBox *chkBMP, *chkJPG, *chkGIF, *chkICO, *chkTIF, *chkPCD, *chkPCX, *chkPSD, *chkRLE, *chkDIB, *chkPNG;
  QLabel* Label7;
  TKWSpinEdit* SpinEdit3;
  QLabel *Label3, *Label5, *Label9, *Label4;
  TKWSpinEdit *SpinEdit2, *SpinEdit1;
  QLabel* Label8;
  TKWSpinEdit *SpinEdit5, *SpinEdit4;
  QLabel *Label15, *Label12, *Label14;
  TKWSpinEdit *SpinEdit6, *SpinEdit7;
  QLabel* Label10;
  QComboBox* ComboBox1;
  QLabel* Label11;
  QRadioButton *RadioButtonLT, *RadioButtonCT, *RadioButtonRT, *RadioButtonLC, *RadioButtonCC, *RadioButtonRC,
      *RadioButtonLB, *RadioButtonCB, *RadioButtonRB, *RadioButtonSA;
  QFrame *Shape1, *Shape2;
  TImage* Image1;
  QLabel* Label13;
  QRadioButton *RadioButtonYCC, *RadioButtonRGB;
  QPushButton *BitBtn1, *cmndStop, *BitBtn5, *BitBtn2, *SpeedButton2;
  TSaveDialog SaveDialog1;
  TVTData VTData1;
  TFolderBrowse FolderBrowse1;
  // A library file the user has already agreed to replace (the wizard's own
  // save dialog asks); any other existing file is asked about by the scan.
  std::string ReplaceConfirmed;

  // The checked picture types, in their fixed order.
  TPictTypes PictTypes() const;
  std::string GetPictExts() const;
  uint8_t CropAnchor() const;
  void ShowShape();
  // The form that adds a folder to the open library instead of making one:
  // "Append images" in place of "Scan images", the tile shape the library's.
  void ShowForAppend();

 public slots:
  void BitBtn1Click();  // "Scan images"
  void BitBtn3Click();
  void BitBtn4Click();
  void cmndStopClick();
  void tempffind1Click();  // "Append images"
  void SpinEdit1Change() { ShowShape(); }
  void SpinEdit2Change() { ShowShape(); }
  void SpinEdit3Change() { ShowShape(); }
  // Esc and the close box wait while a scan runs, as "Close" does.
  void reject() override;

 private:
  void FormCreate();
  void VTData1CreateBaseProgress(TVTData& sender);
  void ShowIndexedPicture(const TVTData& table);
  // At the end of a scan: "N pic indexed" of the pictures it added.
  void ShowAddedCount(int32_t added);
  void StartImage();
  // The library just built: opened in the main window when it fits.
  void OfferNewLibrary(const std::string& fileName);
  std::array<QCheckBox*, PictTypeCount> TypeBoxes() const;

  TNewBaseHost FHost;
  uint8_t FFilter = 6;
  std::string FLastAppendRoot;
  bool FScanning = false;
  QButtonGroup FAnchorGroup, FColorGroup;
};
