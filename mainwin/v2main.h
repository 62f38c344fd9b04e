// The main window: the three tables of the open library and project, the
// mosaic grid that views them, the side panel of build settings, and the
// menus. Handlers stay short; the tables do the work.
#pragma once
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "controls/KWMenus.h"
#include "controls/KWSpin.h"
#include "mainwin/CellPictures.h"
#include "platform/qt/DrawGrid.h"
#include "platform/qt/FileDialogs.h"
#include "tiledb/VTData.h"

// The order in which a build visits the cells.
enum TRenderOrder : uint8_t { roNatural = 0, roRandom = 1, roSmart = 2 };

extern uint8_t DefaultRenderMode;
extern bool LongOperationRunning;
extern bool WizardShownOnce;
extern const std::string ProductCaption;
// Status panel 1 over a selected cell, with and without a choice of the
// manual-tiles window to store into it.
inline constexpr const char* ReplaceCellHint = "Press <Enter> to replace, <Del> to erase cell";
inline constexpr const char* EraseCellHint = "Press <Del> key to erase cell";
class TSrcSetup;
class TManualForma;

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // ---- Tables -------------------------------------------------------------
  TVTData VTLib1;
  TVTData VTPlan1;
  TVTData VTMosaic1;

  // ---- Side panel -----------------------------------------------------------
  QWidget* Panel1;
  QToolButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4, *SpeedButton5, *SpeedButton6,
      *SpeedButton7, *SpeedButton8, *SpeedButton9, *SpeedButton10, *SpeedButton11;
  QRadioButton *RBSource1, *RBTarget1, *RBDelta1;
  TKWSpinEdit* SpinRadius2;
  TKWCharSpinEdit* SpinRepetition2;
  QCheckBox *ChkFixAuto, *ChkFixManual, *ChkInvertSelection;
  QGroupBox* GroupBox1;
  QCheckBox *CBFlipOriginal, *CBFlipH, *CBFlipV, *CBRota180;
  QSlider* TrackBar1;  // never shown: holds the zoom

  QStatusBar* StatusBar1;
  std::array<QLabel*, 3> StatusPanels{};
  QWidget* Panel2;
  TDrawGrid* DrawGrid1;

  // ---- Menus ------------------------------------------------------------------
  QMenu *File1, *Edit1, *Run1, *View1, *Help1;
  QAction *Newlibrary1, *Openlibrary1, *Openvtp1, *Opensource1, *Revertproject1, *Closeproject1, *SaveVTP1,
      *SaveVTPas1, *Savemosaic1, *Savestatistic1, *Savemosaicas1, *Exit1;
  QMenu *Recentprojects1, *Recentlibrarys1, *Recentimages1;
  QAction *Erasecell1, *Selectall1, *Eraseselection1, *CheckBoard11, *CheckBoard21, *HLines1, *VLines1,
      *Libraryinspector1, *Preferences1;
  QMenu* Specialerasing1;
  QAction *RunVitraneWizard1, *Manual1, *Mosaicall1, *Randommosaic1, *Smartmosaic1, *Stopmosaicprocess1;
  QAction *Hidedetailes1, *Showdetailes1, *Fastview1, *N1001, *Fittowindow1, *Fittoselection1, *ZoomIn1,
      *ZoomOut1, *ViewSource1, *ViewTarget1, *Showgrid1, *Hidegrid1, *Sourceimage1;
  QAction *HelpItem1, *VisitVitraneonline1, *About1;

  TOpenDialog OpenDialog1, OpenDialog2;
  TSaveDialog SaveVTPDialog1;
  TSaveDialog SaveDialog1;  // "Save mosaic as..."

  // ---- Fields that other windows read and write ---------------------------------
  bool FWizardOnStart = true;
  bool FStretchTiles = false;
  bool FStopRequested = false;
  // How often a build or a save shows its progress and processes events, in ms (about
  // 60 frames a second); 0 after every cell.
  uint32_t FBuildFrameMs = 16;
  int32_t FWizardRenderMode = 0;
  TKWD7PopupMenu* FCellPopup = nullptr;
  int32_t FShowBestCandidates = 5;
  bool FAllowPopUpCandidates = true;
  bool FAllowFastJpg = true;
  bool FDetailedBackground = true;

  // ---- Start-up and settings -----------------------------------------------------
  void ReadInitialIni();
  void StartUpSetup();
  // The build order of "Render mosaic", with Ctrl+R on its menu item.
  void SetDefaultRenderMode(uint8_t mode);
  // Writes the settings kept at exit (run when the window is destroyed).
  void FormDestroy();

  // ---- Command state ---------------------------------------------------------------
  // Derives every command's enabled state from what is open and modified.
  void SetButtonsOnOff();
  bool LibraryOpen() const { return VTLib1.TableIsOpen(); }
  bool ProjectOpen() const { return VTPlan1.TableIsOpen(); }
  bool ProjectModified() const { return VTMosaic1.Modified != 0; }
  // Each tool button with the menu command it runs ("Render mosaic": the
  // default mode's build item).
  std::vector<std::pair<QToolButton*, QAction*>> ToolCommands() const;
  // Gives every tool button its command's enabled state.
  void SyncToolButtons();

  // ---- Grid view -----------------------------------------------------------------
  int32_t CellToRow(int row, int col) const;
  void RowToCell(int32_t n, int& col, int& row) const;
  void DrawGrid1DrawCell(int col, int row, const TRect& rect, TGridDrawState state);
  void TrackBar1Change(int position);
  // The zoom holder to a column width, applied also where the holder is at it.
  void ZoomTo(int width);
  void AutoShowDetailed(int mode);
  // The mosaic view's decoded thumbnails; with UseCellPictures off every
  // painted cell is read (and decoded) from its record again.
  TCellPictures CellPictures;
  bool UseCellPictures = true;
  void FitToWindow();
  void FitSelection();
  void SelectallGrid();
  void SelectCurrent();
  void SelectionStatus();
  void ShowStatus();
  // The library text of status panel 2 in the "Source" view.
  std::string LibraryStatusText() const;
  void SetStatusText(int panel, const std::string& text);
  std::string StatusText(int panel) const;
  // Panel 0 as wide as the longest of its texts for the grid's size, panel 1
  // at least as wide as the window's own texts.
  void FitStatusPanels();

  // ---- Mosaic build and cell editing ----
  // Enables this topic's commands (called by SetButtonsOnOff).
  void SetBuildButtons(bool lib, bool project, bool idle);
  // Connects this topic's menu items and buttons (called once by CreateMenus).
  void ConnectBuildCommands();
  // One build over the work area in the given order (the error of a cell
  // that no tile can fill ends it and is passed on).
  void RenderMosaic(TRenderOrder order);
  // Some orientation box is ticked; otherwise says so and returns false.
  bool CheckAnyFlip();
  // The library is too small for Distance and Repeat (message shown).
  bool WeGetNotEnoughTiles(int32_t cols, int32_t rows);
  // The orientation boxes as the tile choice wants them.
  TVTData::TFlipSet FlipSet() const;
  // Adds the flipped blocks the ticked boxes need and the library lacks,
  // saving the library; unticks a box whose block is still missing.
  void AddFlips(bool h, bool v, bool r);
  // The bracket of every long operation of the window.
  void SetForStartMosaic();
  void SetForEndMosaic();
  // Erases the cells of the work area that the pattern takes.
  void EraseRun(uint8_t pattern);
  void Replacemanually();
  // Rebuilds the items of the grid's popup menu.
  void InitPopUpMenu();
  void DrawGrid1SelectCell(int col, int row, bool& canSelect);
  void DrawGrid1KeyDown(int& key, Qt::KeyboardModifiers shift);
  void DrawGrid1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y,
                          bool doubleClick);
  void Panel1MouseDown(Qt::MouseButton button);
  // (end of mosaic build and cell editing)

  // ---- Mosaic output ----
  // Enables this topic's commands (called by SetButtonsOnOff).
  void SetOutputButtons(bool lib, bool project, bool idle);
  // Connects this topic's menu items and buttons (called once by CreateMenus).
  void ConnectOutputCommands();
  // (TCellArea and TOutputJob: mosaic/OutputRender.h)
  // The writers of the output setup (SetTileForm): the whole picture composed
  // in memory, and BMP (kind 1) or TIFF written cell by cell to disk.
  void SavePoster(const std::string& fileName, bool UseOriginalFiles);
  void SaveTiff(const std::string& fileName, bool UseOriginalFiles, int kind);
  // The grid cells a writer covers: the selection, or the whole grid for a
  // selection of one cell.
  struct TCellArea OutputArea() const;
  // A writer's run over the open tables with the output setup's settings.
  struct TOutputJob MakeOutputJob(bool UseOriginalFiles);
  // Runs a writer with a progress bar along the foot of host (the output
  // setup's status bar, or the wizard). The bar, the status bar and pending
  // events are seen to about once a frame (FBuildFrameMs) and at the last
  // cell: repainting after each of thousands of cells a second would cost
  // the save more than its pictures.
  bool RunWithProgress(struct TOutputJob& job, QWidget* host, const std::function<bool()>& run);
  // The side outputs of the output setup: a text list of the cells' tile
  // files, one picture per cell, and an HTML gallery.
  void SaveText(const std::string& fileName);
  void SaveSequence(const std::string& fileName);
  void SaveHTML(const std::string& fileName);
  // Runs the writer for the output setup's filter index.
  void RunOutputWriter(int filterIndex, const std::string& fileName);
  // Every save of the output setup and of the wizard runs inside this:
  // meanwhile the close box only offers to stop it; afterwards no status
  // panel keeps "Saving...", a failed save leaves its own status text
  // (setStatus) empty, its message saying why, and a close the user asked
  // for during it goes ahead.
  void RunSave(const std::function<void(const std::string&)>& setStatus, const std::function<void()>& save);
  // (end of mosaic output)

  // ---- New library and library commands ----
  // Enables this topic's commands (called by SetButtonsOnOff).
  void SetLibraryButtons(bool lib, bool project, bool idle);
  // Connects this topic's menu items and buttons (called once by CreateMenus).
  void ConnectLibraryCommands();
  // The library inspector, modal; with a file name it first locates that
  // tile (the grid popup's "find in library").
  void ShowLibraryInspector(const std::string& findFileName);
  // What the preferences read and write of the window.
  struct TPrefsHost PrefsHost();
  // (end of new library and library commands)

  // ---- Source image ----
  // Enables this topic's commands (called by SetButtonsOnOff).
  void SetSourceButtons(bool lib, bool project, bool idle);
  // Connects this topic's menu items and buttons (called once by CreateMenus).
  void ConnectSourceCommands();
  // The source setup window, made on first use (at start-up in the program).
  TSrcSetup& SourceSetup();
  // Before the setup is shown: its "Grid" box from the view, and "Stretch
  // tiles" only where stretching is allowed (off when hidden).
  void PrepareSourceSetup();
  // Shows the source setup modally with the picture loaded; a picture that
  // cannot be read or shown raises "Wrong format...".
  void ShowPictureInSourceSetup(const std::string& fileName);
  // The source setup loads the open project's source picture, when it exists.
  void LoadProjectSource();
  // The setup wrote a new project: list it, open it with the mosaic as a copy
  // of the plan, and save it once.
  void SourceProjectCreated(const std::string& projectFile, const std::string& pictureFile);
  // (end of source image)

  // ---- Wizard ----
  // Enables this topic's commands (called by SetButtonsOnOff).
  void SetWizardButtons(bool idle);
  // Connects this topic's menu item and button (called once by CreateMenus).
  void ConnectWizardCommands();
  // The wizard's writers: the whole picture in memory, or BMP (kind 1) or
  // TIFF written cell by cell to disk; progress on the wizard, texts in
  // status panel 1. The last argument is the fast JPEG decode of the tiles.
  void SavePosterWizard(const std::string& fileName, bool SaveSelected, bool UseOriginalFiles, int width,
                        int height, int dpi, int blend, int correction, int jpegQuality, bool sharpen,
                        bool fastJpeg);
  void SaveTiffWizard(const std::string& fileName, bool SaveSelected, bool UseOriginalFiles, int width,
                      int height, int dpi, int blend, int correction, int kind, bool sharpen, bool fastJpeg);
  // A wizard writer's run over the open tables with its arguments.
  struct TOutputJob MakeWizardJob(bool SaveSelected, bool UseOriginalFiles, int width, int height, int dpi,
                                  int blend, int correction, bool sharpen, bool fastJpeg);
  // (end of wizard)

  // ---- Manual tiles ----
  // The manual-tiles window, made on first use (at start-up in the program)
  // and kept until the main window goes.
  TManualForma* ManualForma = nullptr;
  TManualForma& ManualForm();
  // The manual-tiles window is shown.
  bool ManualVisible() const;
  // Enables this topic's commands (called by SetButtonsOnOff).
  void SetManualButtons(bool lib, bool project, bool idle);
  // Connects this topic's menu items and buttons (called once by CreateMenus).
  void ConnectManualCommands();
  // The grid's current cell changed: the shown window lists its candidates.
  // True when the window takes cells (library or custom page).
  bool ManualSelectCell(int col, int row);
  // A right click on a single cell while the window is shown: the cell's
  // own commands, without candidates. False when the window is hidden.
  bool ManualCellPopup(int x, int y);
  void Manual1Click();
  // (end of manual tiles)

  // ---- Files -------------------------------------------------------------------------
  void OpenVTP(const std::string& fileName);
  void SaveVTP();
  bool OpenLibraryByName(const std::string& fileName);
  bool CloseProject();
  void InsertRecentFile(const std::string& fileName);
  void InitRecentFileMenu();
  void OpenPictureByName(const std::string& fileName);
  // The folder a file dialog starts in: [LastPath] key, or the user's Pictures or home folder.
  std::string LastPath(const std::string& key) const;
  void SetLastPath(const std::string& key, const std::string& fileName);

 public slots:
  void Openvtp1Click();
  void Openlibrary1Click();
  void SaveVTP1Click();
  void SaveVTPas1Click();
  void Closeproject1Click();
  void Revertproject1Click();
  void RecentMenuClick(QAction* item);
  void Exit1Click();
  void About1Click();
  void Help1Click();

  void ZoomIn1Click();
  void ZoomOut1Click();
  void N1001Click();
  void Fastview1Click();
  void Fittowindow1Click();
  void Fittoselection1Click();
  void Showgrid1Click();
  void Hidegrid1Click();
  void View1Click();
  void Showdetailes1Click();
  void Hidedetailes1Click();
  void RBSource1Click();
  void ViewSource1Click();
  void ViewTarget1Click();
  void Selectall1Click();
  void DrawGrid1MouseMove();
  void ChkInvertSelectionClick();

  // Mosaic build and cell editing handlers
  void Mosaicall1Click();
  void Randommosaic1Click();
  void Smartmosaic1Click();
  void SpeedButton7Click();
  void Stopmosaicprocess1Click();
  void Erasecell1Click();
  void Eraseselection1Click();
  void CheckBoard11Click();
  void CheckBoard21Click();
  void HLines1Click();
  void VLines1Click();
  void OnActionPopUpClick(int tag);
  void OnDeletePopUpClick(int tag);
  void OnOriginalPopUpClick(int tag);
  void OnCandidatePopUpClick(int tag);
  // "Find this tile in the Library Inspector": the inspector opened on the
  // cell's tile file.
  void OnLibInspectorPopUpClick(int tag);
  // (end of mosaic build and cell editing handlers)

  // Mosaic output handlers
  void Mosaiclayoutsetup1Click();
  void Savestatistic1Click();
  // "Save mosaic as..." (an item kept hidden): the whole mosaic as a sheet of
  // its stored thumbnails (JPEG, TIFF or BMP), or a plain text list.
  void Savemosaicas1Click();
  // (end of mosaic output handlers)

  // New library and library commands handlers
  void Newlibrary1Click();
  void Libraryinspector1Click();
  void Preferences1Click();
  // (end of new library and library commands handlers)

  // Wizard handlers
  void RunVitraneWizard1Click();
  // (end of wizard handlers)

  // Source image handlers
  void Opensource1Click();
  void Sourceimage1Click();
  // (end of source image handlers)

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Mosaic build and cell editing state
  // The progress bar of a run, on the side panel's foot.
  class QProgressBar* FRunProgressBar = nullptr;
  void CreateProgressBar(int maximum);
  void FreeProgressBar();
  // Redraws one cell from the tables at once.
  void RedrawCell(int col, int row);
  // A single cell stored or erased by hand: redrawn, and described again in
  // the status bar when it is the current cell.
  void CellEdited(int col, int row);
  // Status panels 0 and 2 for a cell: its place and the picture it holds.
  void DescribeCell(int col, int row);
  void DescribeCellPicture(int col, int row);
  // Panel 2 describes the grid's current cell, so that a run that fills or
  // empties the cell describes it again.
  bool FCellDescribed = false;
  // Panel 1 widened where its text would be cut: the estimate of a run over
  // many cells is longer than any of the window's own texts.
  void WidenStatusPanel1();
  // The decoded thumbnail the mosaic view shows for record n; nullptr when the
  // view shows something else or the record has none that decodes.
  const QImage* CellThumbnail(int32_t n);
  std::vector<uint8_t> FCellJpeg;
  // Positions plan and mosaic on record n as the popup commands do.
  void PositionOn(int32_t n);
  // Fills the popup's three command items for a single cell.
  void SingleCellItems(int col, int row, bool orientation);
  void SelectionItems(const std::string& render, const std::string& erase, const std::string& save);
  bool FMosaicRunning = false;
  // The window caption a run replaces by its percentage, given back at its end.
  std::string FCaptionBeforeRun;
  // (end of mosaic build and cell editing state)

  // Mosaic output state
  // A writer of the output setup or of the wizard runs: the close box only
  // offers to stop it.
  bool FSaveRunning = false;
  // "Yes" to stopping the save from the close box: the window closes once
  // the save has ended.
  bool FCloseAfterSave = false;
  // The close asked for during a save, through the usual question; the
  // windows shown modally over this one go with it.
  void CloseAfterSave();
  // (end of mosaic output state)

  // New library and library commands state
  // (end of new library and library commands state)

  // Source image state
  // (end of source image state)

  // The size and place of a first start; saved bounds replace them.
  void PlaceForFirstStart();
  void CreateControls();
  // Places the child widgets of a window not shown yet.
  void LayOutHidden();
  void CreateMenus();
  void FormCreate();
  // Asks to save a modified project; false when the user cancels. Every
  // command that replaces or closes the project asks it first.
  bool QuerySaveProject();
  // The close box while a save runs: asks whether to stop it.
  void AskStopSave();
  QMenu* RecentMenuFor(const std::string& fileName, std::string& section, std::string& key) const;
  void FillRecentMenu(QMenu* menu, const std::string& section, const std::string& key);
};

extern TForm1* Form1;
