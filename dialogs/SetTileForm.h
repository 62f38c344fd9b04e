// The output setup: the size of the finished mosaic in pixels, inches or cm
// at a resolution, borders, grid lines, blending and colour correction, the
// picture file format, and a preview of the layout. While a writer runs the
// window is the holder of these settings: the writer reads its fields.
#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <functional>
#include <string>

#include "controls/CellShape.h"
#include "controls/KWSpin.h"
#include "platform/Bitmap24.h"
#include "platform/Types.h"
#include "platform/qt/FileDialogs.h"
#include "platform/qt/Image.h"

// Inches per centimetre as the program has always converted.
inline constexpr double InchesPerCm = 0.3937;

// Unit conversion (units 0 pixels, 1 inches, 2 cm; others give 0).
double PixelsToUnits(int units, int dpi, int pixels);
int UnitsToPixels(int units, int dpi, double value);
// A number with thousands separators and two decimals ("1,234.50").
std::string FormatNumberN(double value);
// The extension the save dialog's filter entry gives its file (1-based).
std::string OutputExtension(int filterIndex);

class TSetTileForm : public QDialog {
  Q_OBJECT
 public:
  explicit TSetTileForm(QWidget* parent = nullptr);
  ~TSetTileForm() override;

  QComboBox* ComboBox1;
  TKWRealSpinEdit* SpinEdit8;
  TKWRealSpinEdit *KWRealSpinOMW, *KWRealSpinOMH;
  QLabel *Label4, *Label25;
  QLabel *Label27, *Label28, *Label9, *Label29, *Label14, *Label10, *Label11, *Label12, *Label17;
  QGroupBox* GroupBox7;
  TImage* Image1;
  TCellShape* Shape1;  // the outline of the layout preview
  QCheckBox* CheckBox1;
  QLabel* Shape2;  // grid colour swatch
  QLabel *LabelGridColor, *LabelLineWidth, *LabelPixels;
  TKWRealSpinEdit* KWRealSpinEdit1;
  QCheckBox* CheckBox2;
  QLabel* Shape3;  // border colour swatch
  QLabel* LabelBorderColor;
  TKWRealSpinEdit *KWRealSpinEdit2, *KWRealSpinEdit3, *KWRealSpinEdit4, *KWRealSpinEdit5;
  QLabel *LabelTop, *LabelLeft, *LabelRight, *LabelBottom;
  QLabel *Label18, *Label19, *Label20, *Label21;  // their unit labels
  TKWSpinEdit *KWSpinEdit2, *KWSpinEdit1;         // colour correction %, blend %
  QCheckBox *CheckBox7, *CheckBox3, *CheckBox6, *CheckBox8, *CheckBox4, *CheckBox5;
  QPushButton *ButtonHLP, *BtnStop, *Button1, *Button2;
  TKWRealSpinEdit* spnJpgQuality;
  QLabel* Label5;
  QStatusBar* StatusBar1;
  QLabel* StatusPanel0;
  TSaveDialog SaveDialog1, SaveDialog2;

  // Output size and borders in pixels; the part being saved; the tile aspect.
  int FMosaicWidth = 0, FMosaicHeight = 0;
  int FBorderLeft = 0, FBorderTop = 0, FBorderRight = 0, FBorderBottom = 0;
  int FDPI = 150;
  int FCols = 0, FRows = 0;
  int FTileWidth = 0, FTileHeight = 0;
  Bitmap24 FMosaicPreview, FSourcePreview;
  bool FUpdating = false;
  // A writer started by "Save as" runs.
  bool FSaving = false;

  // Filled by the main window: the project's file name (the proposed output
  // name) and the library's stored tile picture (for the resample warning).
  std::string FProjectName;
  Bitmap24 FLibraryTile;
  std::string FProductCaption;  // the main window's, for the warning's caption
  // The main window's writers: run for the chosen filter index and file;
  // OnStop asks the running writer to stop.
  std::function<void(int filterIndex, const std::string& fileName)> OnSaveAs;
  std::function<void()> OnStop;

  int Units() const { return ComboBox1->currentIndex(); }
  TColor BorderColor() const;
  TColor GridColor() const;
  void SetBorderColor(TColor c);
  void SetGridColor(TColor c);
  void SetStatusText(const std::string& text);
  std::string StatusText() const;

  void LoadSettings();
  void SaveSettings();
  void ShowSizeInfo();
  void DrawLayoutPreview();
  // The last layout preview drawn (before it is fitted into the window).
  const Bitmap24& LayoutPicture() const { return FLayout; }

 public slots:
  void ComboBox1Change();
  void SpinEdit8RealChange();
  void KWRealSpinOMWRealChange();
  void KWRealSpinOMHRealChange();
  void BorderSpinRealChange();
  void KWSpinEdit1RealChange();
  void CheckBox1Click();
  void CheckBox2Click();
  void Shape2MouseDown();
  void Shape3MouseDown();
  void ButtonHLPClick();
  void BtnStopClick();
  void Button1Click();
  void Button2Click();
  // Esc and the close box: while a save runs, only the offer to stop it.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The four borders when "Add borders" is ticked, else zero.
  TRect ActiveBorders() const;
  Bitmap24 FLayout;
};

// Asks "Stop the running procedure?" (Yes, No); true for Yes.
bool AskStopRunning(const std::string& caption);

// The window of the latest "Save mosaic..." (kept until the program ends).
extern TSetTileForm* SetTileForm;
