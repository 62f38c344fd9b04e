// The manual-tiles window: the one modeless window, kept above the main
// window, where the tile of one mosaic cell is chosen by hand from the
// library tiles nearest to it, from any picture cropped to the tile shape,
// or where every tile of a separate "forced" library goes to its nearest
// free cell. Hand-placed tiles carry CustomTileLink, which a build leaves
// alone under "Fix custom".
#pragma once
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QPointer>
#include <QTreeWidget>
#include <functional>
#include <string>

#include "controls/CropImage.h"
#include "controls/KWMenus.h"
#include "controls/KWSpin.h"
#include "platform/qt/DrawGrid.h"
#include "platform/qt/FileDialogs.h"
#include "platform/qt/Image.h"
#include "tiledb/VTData.h"

class QProgressBar;

// Draws a previewed tile over one cell of a grid: a child of the grid's
// viewport (a widget cannot paint on another's surface from outside), gone
// when the grid next paints that cell.
class TCellOverlay : public QWidget {
  Q_OBJECT
 public:
  explicit TCellOverlay(TDrawGrid* grid);
  void ShowOver(int col, int row, const Bitmap24& bitmap);
  int Col() const { return FCol; }
  int Row() const { return FRow; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void CellDrawn(int col, int row);
  TDrawGrid* FGrid;
  QImage FImage;
  int FCol = -1, FRow = -1;
  // The grid paints the cell under the overlay as it appears; only a paint
  // after the overlay's own takes it away.
  bool FPainted = false;
};

// What the window needs of the main window: its tables, its grid and the
// commands it runs there.
struct TManualHost {
  TVTData* Library = nullptr;  // VTLib1
  TVTData* Plan = nullptr;     // VTPlan1
  TVTData* Mosaic = nullptr;   // VTMosaic1
  TDrawGrid* Grid = nullptr;   // the mosaic grid
  std::function<TVTData::TFlipSet()> FlipSet;
  std::function<int32_t()> Distance;
  std::function<bool()> StretchTiles;
  std::function<bool()> StopRequested;
  std::function<int32_t(int row, int col)> CellToRow;
  std::function<void(int32_t n, int& col, int& row)> RowToCell;
  std::function<void()> SetForStartMosaic, SetForEndMosaic, SetButtonsOnOff;
  // The folder a file dialog starts in, from a [LastPath] key.
  std::function<std::string(const std::string& key)> LastPath;
  // The window let go of its cell: Enter on the main grid stores nothing now.
  std::function<void()> CellCleared;
  // A tile was stored into the main grid's cell: it is redrawn and described.
  std::function<void(int col, int row)> CellStored;
  std::string ProductCaption;  // the caption of the window's messages
};

class TManualForma : public QDialog {
  Q_OBJECT
 public:
  explicit TManualForma(TManualHost host, QWidget* parent = nullptr);
  // Writes the window's [LayOut] keys.
  ~TManualForma() override;

  enum TPage : int { pgLibrary = 0, pgCustom = 1, pgForced = 2 };

  QTabWidget* PageControl1;
  QWidget *TabSheet1, *TabSheet2, *TabSheet3;
  QStatusBar* StatusBar1;
  QLabel* StatusPanel0;

  // "Library tiles"
  QLabel* Label1;
  TKWSpinEdit* KWSpinEdit1;
  QPushButton *BitBtn2, *BitBtn3, *BitBtn4, *SpeedButton1;
  QWidget* Panel2;
  TImage* Image1 = nullptr;
  TDrawGrid* DrawGrid1 = nullptr;

  // "Custom tiles"
  QSplitter* Splitter1;
  QWidget *Panel3, *Panel4;
  QComboBox* DriveComboBox1;
  QTreeWidget* DirectoryListBox1;
  QListWidget* FileListBox1;
  TCropImage* CropImage1 = nullptr;
  QListWidget* ListBox1;
  QPushButton *BitBtn10, *BitBtn9, *BitBtn1, *SpeedButton2;

  // "Forced tiles"
  TDrawGrid* DrawGrid2 = nullptr;
  QPushButton *BtnOpenForceBase, *BitBtn5, *BtnClose1, *BitBtn6, *SpeedButton3;

  TVTData VTForcedLib1;
  TOpenDialog OpenDialog2;

  // The file list's folder and mask.
  static constexpr const char* FileMask = "*.jpg;*.bmp;*.gif;*.tif;*.png";
  const std::string& Folder() const { return FFolder; }

  int CellCol() const { return FCellCol; }
  int CellRow() const { return FCellRow; }
  const Bitmap24& CustomTile() const { return FCustomTile; }
  TKWPopupMenu* TilePopup() const { return FTilePopup; }
  // The overlay that shows a previewed tile on the main grid.
  TCellOverlay* PreviewOverlay() const { return FOverlay.data(); }

  // Draws the tile over the edited cell of the main grid, framed, until
  // the grid next paints that cell.
  void ShowPreview(const Bitmap24& bitmap);
  // The main grid's current cell changed while the window shows the library
  // or custom page: describe the cell and list its best candidates.
  void FillForCell(int col, int row);
  // Stores the choice of the current page into mosaic record n: the chosen
  // candidate or the custom tile; false when nothing was stored.
  bool StoreChoice(int32_t n);

  // "Library tiles"
  void FormShow();
  void KWSpinEdit1RealChange();
  void BitBtn2Click();
  void BitBtn3Click();
  void BitBtn4Click();
  void DrawGrid1DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
  void DrawGrid1SelectCell(int col, int row, bool& canSelect);
  void DrawGrid1MouseDown(Qt::MouseButton button, int x, int y, bool doubleClick);
  void Image1MouseDown(Qt::MouseButton button);

  // "Custom tiles"
  void SetFolder(const std::string& folder);
  void DirectoryListBox1Change(const std::string& folder);
  void FileListBox1Change(const std::string& fileName);
  void CropImage1ChangeCropPos();
  void BitBtn10Click();
  void ListBox1Click(int index);
  void BitBtn9Click();
  void Panel4Resize();

  // "Forced tiles"
  void BtnOpenForceBaseClick();
  // The checks and the opening of "Open base" for a chosen file.
  void OpenForcedBase(const std::string& fileName);
  void BtnClose1Click();
  void BitBtn5Click();
  void DrawGrid2DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
  void DrawGrid2MouseDown(Qt::MouseButton button, int x, int y);

  // A list line of the custom "Find", and its reading back.
  static std::string CellLine(int col, int row, int rank);
  static bool ReadCellLine(const std::string& line, int& col, int& row);

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateLibraryPage();
  void CreateCustomPage();
  void CreateForcedPage();
  // Each page has its own default button (Enter).
  void PageChanged(int index);
  // Both candidate lists share the drawing of a tile row.
  void DrawTileRow(TDrawGrid* grid, TVTData& table, int col, int row, const TRect& rect,
                   TGridDrawState state);
  // Rows as high as the top one, never below three text lines.
  void FitRowHeight(TDrawGrid* grid, int height);
  void FitColumns();
  // The candidates of the edited cell, nearest first.
  void FindCandidates();
  // The crop resampled to the library's tile picture; false without one.
  bool MakeCustomTile();
  // No cell is edited: the window describes none and lists no candidates.
  void ClearCell();
  // The edited cell's description and stored tile, or none.
  void DescribeCell();
  // Where the folder tree starts: the remembered picture folder, else the
  // user's Pictures or home folder.
  std::string StartFolder() const;
  // The folder tree: the drive, the folders down to the current one, and
  // the current one's subfolders.
  void FillFolderTree();
  // The size of the library's tile picture.
  bool TileSize(int& width, int& height) const;
  // The picture popup on a table record (record <= 0: none).
  void PopupOn(QWidget* control, TVTData& table, int32_t record);
  void RedrawMainCell(int col, int row);
  // Library, plan and mosaic are all open.
  bool TablesOpen() const;
  // Rows of the candidate list: "Show best", at most the library's records.
  int32_t CandidateCount();
  bool StoreCandidate(int32_t n);
  bool StoreCustom(int32_t n);

  TManualHost FHost;
  int FCellCol = -1, FCellRow = -1;
  Bitmap24 FCustomTile;
  TKWPopupMenu* FTilePopup = nullptr;
  TVTData* FPopupTable = nullptr;
  QPointer<TCellOverlay> FOverlay;
  int FPanel3Width = 0;
  QProgressBar* FProgressBar = nullptr;
  std::string FFolder;
  // Set while the window itself moves a grid, so the moves do not come back
  // as user choices.
  bool FFilling = false;
};
