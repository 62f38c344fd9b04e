// Mosaic output without a window: the output cell geometry, one cell rendered
// from the open tables, and the two picture writers (the whole poster composed
// in memory, or a BMP/TIFF file written cell by cell into its place on disk).
// The main window fills in a job from the output setup and its tables; tests
// and benchmarks fill one in directly.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/Bitmap32.h"
#include "imaging/TileRender.h"
#include "mosaic/CellArea.h"
#include "platform/Bitmap24.h"
#include "platform/Types.h"

class TVTData;

// Edge i (0..count) of the cells that split size pixels into count parts:
// round(size / count * i), halves to even, exact in integers.
int OutputCellEdge(int size, int count, int i);


// Everything a writer reads from the output setup, read once at the start.
struct TOutputSettings {
  int Width = 0, Height = 0;                                             // the mosaic without borders
  int BorderLeft = 0, BorderTop = 0, BorderRight = 0, BorderBottom = 0;  // 0 without "Add borders"
  TColor BorderColor = 0;
  int DPI = 150;
  int GridWidth = 0;  // 0 without "Draw grid"
  TColor GridColor = 0;
  int BlendAlpha = 0;       // 0..255
  int ColorCorrection = 0;  // percent
  bool Sharpen = true;
  bool FastJpeg = true;
  bool DetailedBlend = false;
  int JpegQuality = 80;

  int FullWidth() const { return BorderLeft + Width + BorderRight; }
  int FullHeight() const { return BorderTop + Height + BorderBottom; }
};

// Answers of the tile-not-found question.
enum : int {
  tnfNone = 0,
  tnfReplace = 1,
  tnfReplaceAllRest = 2,
  tnfAuto = 3,
  tnfCancel = 4,
  tnfAutoSource = 6
};

// One run of a writer over the open plan and mosaic tables.
struct TOutputJob {
  TVTData* Mosaic = nullptr;
  TVTData* Plan = nullptr;
  int GridColumns = 1;  // record of grid cell (c, r) = r * GridColumns + c + 1
  TCellArea Area;
  TOutputSettings Settings;
  bool UseOriginalFiles = false;
  bool DetailedBackground = true;
  // A missing tile replaced by its stored thumbnail is stretched to the cell
  // without sharpening, blending or correction (the image sequence).
  bool PlainReplacement = false;
  // An empty cell is asked about as a missing tile file (the wizard's runs)
  // instead of taking the source picture or its stored picture.
  bool BlankIsMissing = false;
  // The stop flag the window's "Stop" sets; polled after every cell.
  bool* StopRequested = nullptr;
  // Asks about a missing tile file; returns one of the answers above.
  std::function<int(const std::string& path)> AskTileNotFound;
  // Progress text (panel 0 of the output setup's status bar); the window
  // shows it and processes pending events.
  std::function<void(const std::string& text)> Status;
  // After each cell: cells done of the total; the window pumps its events here.
  std::function<void(int done, int total)> Progress;
  // Threads that render the cells of the poster and of the direct file
  // (0: one per processor). The files are the same for any count.
  int Threads = 0;
  // Memory the band pictures of a file written direct may take; it bounds
  // how many bands render at once. The file is the same for any amount.
  int64_t BandMemory = int64_t(64) << 20;

  bool Stopped() const { return StopRequested && *StopRequested; }
};

// One cell as read from the tables, with its way of drawing settled.
struct TCellTask {
  enum TKind {
    ckStored,         // the stored thumbnail through RenderCellImage
    ckOriginal,       // the tile's picture file, then as a thumbnail
    ckSourceRegion,   // an empty cell: the source picture's region
    ckPlainStored,    // the stored thumbnail stretched, nothing more
    ckSourceFile,     // a missing tile: the source picture file's region
    ckCancelled       // the background colour; the run stops after it
  };
  int Col = 0, Row = 0;  // within the area
  TKind Kind = ckStored;
  TRect Rect;            // in the output without borders
  TRect Source;          // the cell's region of the source picture
  int64_t ThumbOffset = 0;         // of the stored thumbnail, read when drawn
  Bitmap24 Display;                // the record's samples, when it has none
  Bitmap24 CellBitmap;             // the plan cell's picture
  std::string Path;                // the tile's picture file
  int64_t FileBytes = -1;          // its size, when it is there
  TRect Crop;                      // the tile's crop rectangle, corner order = flip
  const TBitmap32* SourcePicture = nullptr;  // for detailed blend, when loaded
};

// Renders cell (c, r) of the area (0-based within it) at its output size:
// moves both tables to the cell's record, then draws the tile as the output
// setup asks: from the stored thumbnail, or with UseOriginalFiles from the
// tile's picture file, minding missing files. The run's state (loaded source
// picture, dialog answer, decoded pictures) lives in the renderer.
class TCellRenderer {
 public:
  explicit TCellRenderer(TOutputJob& job);
  // Width and height of the output without borders (the cell geometry).
  void SetGeometry(int width, int height) {
    FWidth = width;
    FHeight = height;
  }
  // Prepare, then Render.
  void RenderCell(int c, int r, Bitmap24& cell);
  // Reads what the cell needs from the tables and settles its tile-not-found
  // answer, asking when needed; on the calling thread only, in cell order.
  // With mayAsk false nothing is settled for a cell that needs the question,
  // and the result is false.
  bool Prepare(int c, int r, TCellTask& task, bool mayAsk = true);
  // Draws a prepared cell. Safe on several threads at once; the bytes depend
  // on the task and the run's settings only.
  void Render(const TCellTask& task, Bitmap24& cell) const;
  // The same, giving either cell or a picture the run keeps for cells that
  // look alike (then held by kept, and not to be changed).
  const Bitmap24& Render(const TCellTask& task, Bitmap24& cell, std::shared_ptr<const Bitmap24>& kept) const;
  // Whether drawing the task reads a tile's picture file, which ReadAhead can
  // do before.
  static bool MayReadAhead(const TCellTask& task);
  // Reads the tile's picture for such a task into the run's cache, with the
  // cell made of it where the run keeps those, so that drawing the task later
  // finds them; what Render gives is the same with or without it. Safe on
  // several threads at once, and beside Render.
  void ReadAhead(const TCellTask& task) const;
  // Loads the project's source picture now when detailed blend will use it.
  void LoadBlendSource();
  // The cell's rectangle in the output without borders.
  TRect CellRect(int c, int r) const;
  // The cell's region of the project's source picture.
  TRect SourceRegion(int c, int r) const;
  const TTileDecodeCache& DecodeCache() const { return FCache; }

 private:
  void EnsureSourceLoaded();
  TOutputJob& FJob;
  const std::string FSourcePath;
  int FWidth = 0, FHeight = 0;
  TBitmap32 FSource;
  bool FSourceLoaded = false;
  int FAnswer = tnfNone;
  mutable TTileDecodeCache FCache;
};

// Composes the whole output in memory (borders, cells, then grid lines) into
// poster. The cells of a band (a row of cells) are rendered on the job's
// threads. Returns false when stopped; the poster is then incomplete.
bool ComposePoster(TOutputJob& job, Bitmap24& poster);
// The grid lines of the in-memory poster.
void DrawPosterGrid(Bitmap24& poster, const TOutputSettings& s, int cols, int rows);
// Refuses (EOutOfResources), before anything is rendered, an output whose
// full size overflows or that the file format of fileName cannot hold
// (JPEG sides up to 65500 pixels; the BMP and TIFF limits of the band writers).
void CheckPosterSize(const std::string& fileName, const TOutputSettings& s);
// The same refusal for a sheet of cols x rows pictures of tw x th pixels.
void CheckSheetSize(const std::string& fileName, int cols, int rows, int tw, int th);
// Writes the poster by the upper-cased extension of fileName: ".JPG" (with its
// density), ".TIF", ".BMP"; any other extension writes nothing. The file is
// written beside the target and renamed over it when complete.
void SavePosterFile(const std::string& fileName, const Bitmap24& poster, const TOutputSettings& s);

// Renders the area straight into a BMP (kind 1) or TIFF (any other kind)
// file, band by band: the cells of one row are rendered on the job's threads
// into a band while the band before is written. Memory holds a few bands,
// never the picture. The size is checked before anything is created; the file
// is built beside the target and renamed over it when complete. A stop (or
// "Cancel" at a missing tile) cancels the file: the one of that name stays as
// it was. Returns false when stopped.
bool WriteMosaicDirect(TOutputJob& job, const std::string& fileName, int kind);

// Side outputs over the same area. Each file is built beside its target and
// renamed over it; a stop keeps what was written (the HTML page still gets
// its closing tags). Each returns false when stopped.

// One line per cell: "%4s, %4s, %s" of the 1-based row, column and tile path.
bool WriteTextList(TOutputJob& job, const std::string& fileName);
// The name of one picture of the image sequence: the base name without its
// extension, then "-ROW-COL-" (three digits each) and the tile's file name
// with ".bmp".
std::string SequenceFileName(const std::string& baseName, int row, int col, const std::string& tilePath);
// One 24-bit BMP per cell; lastName is the last picture written.
bool WriteSequence(TOutputJob& job, const std::string& baseName, std::string& lastName);
// A gallery page: a table of cell thumbnails ("tmb/") linking to copies of
// the tiles' picture files ("big/"), both folders beside the page.
bool WriteHTMLGallery(TOutputJob& job, const std::string& fileName);

// The tile-usage report. One position: " COLxROW(FLIP) " with the 1-based
// column and row and the flip mark of the crop rectangle's corner order:
// "(R)" both reversed, "(H)" only left-right, "(V)" only top-bottom.
std::string UsagePosition(int col, int row, const TRect& crop);
// Sorts the mosaic by tile file name and writes one line per tile file: the
// times used, the path and every position; above them the count of unique
// pictures. The sort index is cleared afterwards. progress(l, count) follows
// every record. Returns the number of unique pictures.
int WriteUsageReport(TVTData& mosaic, int gridColumns, const std::string& fileName,
                     const std::function<void(int done, int count)>& progress);

// "Save mosaic as...", always over the whole grid of cols x rows cells.
// The size of every cell of the thumbnail sheet: the stored thumbnail of the
// given record, or, when that cell holds no tile, of the first cell that
// does (an empty cell has only its few colour samples to show).
void ThumbnailSheetCellSize(TVTData& mosaic, int32_t record, int& tw, int& th);
// Draws every cell's stored thumbnail, clipped to tw x th, at (c * tw, r * th)
// of a cols * tw by rows * th sheet, row by row; progress(record) follows each
// cell. The sheet's size is checked against fileName's format first.
void ComposeThumbnailSheet(TVTData& mosaic, TVTData& plan, int cols, int rows, int tw, int th,
                           const std::string& fileName, Bitmap24& sheet,
                           const std::function<void(int32_t record)>& progress);
// The file a sheet is written to for the save dialog's filter 1 (JPEG), 2
// (TIFF) or 3 (BMP): the chosen name with that format's extension.
std::string ThumbnailSheetFileName(const std::string& fileName, int filterIndex);
// Writes the sheet as a JPEG of quality 60, a TIFF of 250 dots per inch or a
// BMP, chosen by the extension of fileName.
void SaveThumbnailSheet(const std::string& fileName, const Bitmap24& sheet);
// One line per cell of the grid, row by row: "ROW - COL - path" (1-based).
void WriteMosaicTextList(TVTData& mosaic, int cols, int rows, const std::string& fileName);
