// The library inspector: the original tiles of the open library one per grid
// row, with picture, name, record number, size and path; a tile file can be
// located, previewed, and marked deleted or restored.
#pragma once
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <string>

#include "controls/KWMenus.h"
#include "controls/KWSpin.h"
#include "dialogs/LibResSet.h"
#include "platform/qt/DrawGrid.h"
#include "platform/qt/FileDialogs.h"
#include "tiledb/VTData.h"

class QFrame;
class QProgressBar;

class TLibrayMosaic : public QDialog {
  Q_OBJECT
 public:
  explicit TLibrayMosaic(TVTData& library, QWidget* parent = nullptr);
  // Saves the window bounds.
  ~TLibrayMosaic() override;

  TDrawGrid* DrawGrid1;
  QLabel *Label4, *Label1;
  QGroupBox* GroupBox1;  // "Make Mosaic from Library"
  TKWSpinEdit *KWSpinEdit1, *KWSpinEdit2;
  QRadioButton *RadioButton1, *RadioButton2, *RadioButton3, *RadioButton4;
  QFrame* Shape1;
  QPushButton *BitBtn2, *BitBtn1, *BitBtn3, *BitBtn4, *BitBtn5, *BitBtn7, *BitBtn6, *BitBtn8, *SpeedButton2;

  // The tile file to locate when the window is shown (empty: none).
  std::string FFindFileName;
  uint8_t FStopSearch = 0;
  // Filled by the resample settings dialog.
  TResampleChoice FResample;
  TSaveDialog SaveDialog2;  // the resampled library's file
  TSaveDialog SaveDialog1;  // the picture "Create" makes

  // The colour sample of the colour-difference order.
  TColor SampleColour() const { return FSampleColour; }
  void SetSampleColour(TColor c);
  // A colour dialog; the chosen colour becomes the sample's.
  void Shape1MouseDown();
  // "Create": the library's tiles in Columns x Rows in the chosen order,
  // saved as a picture.
  void BitBtn2Click();

  void ShowLibInfo();
  // Locates FFindFileName (run on showing); the grid moves to it, or a box
  // says it was stopped or not found.
  void FindTile();
  void DrawGrid1DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
  void KWSpinEdit1RealChange();
  void KWSpinEdit2RealChange();
  // The popup's items for grid row r (the record number).
  void OnOriginalPopUpClick(int r);
  void OnDeletePopUpClick(int r);
  void OnRestorePopUpClick(int r);
  // Writes the delete marks into the library file.
  void BitBtn8Click();
  // "Add flips": every missing flipped block (horizontal, vertical, 180)
  // is added and the library file rewritten.
  void BitBtn3Click();
  // "Remove flips": the flipped blocks are dropped and the file rewritten.
  void BitBtn4Click();
  // "Append images from folder...": the new-library dialog in its append
  // form, adding a folder's pictures to this library.
  void BitBtn7Click();
  // "Resample library...": the new grid and colour system from the
  // settings dialog, then a new library file of the originals sampled anew.
  void BitBtn5Click();
  // Processes pending window messages during a resample run.
  void ResampleProgress(TVTData& sender);
  // "Clean double Path+Name": every original whose path an earlier original
  // already has is marked deleted; returns how many were marked.
  int BitBtn6Click();
  // Summary, grid rows and the Columns/Rows pair from the library as it is.
  void RefreshLibrary();
  // Asks to save a changed library; false when the window stays open.
  bool FormCloseQuery();

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void DrawGrid1MouseDown(Qt::MouseButton button, int x, int y);
  void MarkRecord(int r, uint8_t flag);
  // The tile popup: "Show file " with the tile's picture, and the mark
  // item; built with the window, filled for the row clicked.
  TKWD7PopupMenu* FTilePopup;
  // Column 1 takes the grid's width.
  void FitColumn();
  TVTData& FLib;
  bool FSearchPending = false;
  bool FSyncing = false;
  TColor FSampleColour = clWhite;
};
