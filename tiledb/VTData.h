// TVTData: one table of tile records, serving as tile library, project plan
// and project mosaic. The three sections of a library image are held in
// memory (info and data) and in a temporary file (thumbnails); a cursor loads
// one record at a time into the Cur* fields, optionally through a sort index.
//
// Record numbers are 1-based. "Physical" numbers count records in the data
// section; "visible" numbers count entries of the sort index when one is
// active. MoveTo/GoToRecord/SeekRecord take visible numbers, MoveToPhysical
// and SeekPhysical physical ones; the record accessors below always take
// physical numbers.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "imaging/Resample.h"
#include "platform/Bitmap24.h"
#include "platform/Errors.h"
#include "platform/Types.h"
#include "tiledb/ImageFile.h"
#include "tiledb/LibraryImage.h"
#include "tiledb/PixelCodec.h"
#include "tiledb/ProjectFile.h"
#include "tiledb/Streams.h"

class TVTData;
class TImageFile;

// Progress and build events; the handler reads FProgress / FBuildCount.
using TNotifyEvent = std::function<void(TVTData& sender)>;

// A library image or project file that fails its checks. The messages are
// "Wrong file format. Not vitrane base" and "Wrong file format. Not vitrane VTP file".
class EWrongFormat : public EVitrane {
  using EVitrane::EVitrane;
};

inline constexpr const char* WrongBaseMessage = "Wrong file format. Not vitrane base";
inline constexpr const char* WrongProjectMessage = "Wrong file format. Not vitrane VTP file";

// What OpenFile loads: a .vt2 library, or the plan or mosaic image of a .vtp.
enum TOpenKind : int { okLibrary = 0, okPlan = 1, okMosaic = 2 };

// Key sizes of the sort index.
inline constexpr int32_t FloatKeySize = 8;
inline constexpr int32_t NameKeySize = 120;

// The source picture a project was cut from.
struct TSourceInfo {
  std::string SourcePath;
  TRect SourceRect;
};

class TVTData {
 public:
  TVTData();
  ~TVTData();
  TVTData(const TVTData&) = delete;
  TVTData& operator=(const TVTData&) = delete;

  // ---- Properties ---------------------------------------------------------
  const std::string& BaseName() const { return FBaseName; }
  // Opens a library file (OpenFile kind 0).
  void SetBaseName(const std::string& fileName);
  bool TableIsOpen() const { return !FBaseName.empty(); }
  // The current record is marked deleted (flag 251 or more).
  bool PicDeleted() const { return CurFlag >= FlagDeletedMin; }
  // The kind the open table was loaded as (okLibrary when built or closed).
  TOpenKind OpenKind() const { return FOpenKind; }

  std::string ColorSystemName;  // of the open file's ColorSystem, set on open
  bool ThumbsInMemory = false;  // kept for the settings; thumbnails stay in their temporary file
  bool ShowThumbs = false;      // DisplayBitmap shows the thumbnail instead of the sample picture

  TNotifyEvent OnProgress;            // every 100 records of a bulk rewrite
  TNotifyEvent OnCreateBaseProgress;  // before each picture of a build

  // ---- Header values of the open image ------------------------------------
  int32_t RecordCount = 0;
  uint8_t SampleDepth = 0;
  uint8_t ColorSystem = 0;
  uint8_t ResampleFilter = 0;
  int32_t OriginalCount = 0;
  std::array<uint8_t, 4> FlipKinds{};
  int32_t XScale = 0, YScale = 0, XRes = 0, YRes = 0;
  int32_t SampleSize = 0;  // N = XRes * YRes * 3

  // Project header values (plan and mosaic tables).
  int32_t Columns = 0, Rows = 0;
  std::string LibraryPath, SourcePath;
  TRect SourceRect;
  int32_t Extra1 = 0, Extra2 = 0;

  // ---- Cursor ---------------------------------------------------------------
  int32_t VisibleCount = 0;
  int32_t IndexKeySize = 0;  // 0 no index, 8 float64 keys, 120 name keys
  int32_t CurRecNo = 0;      // physical, 1-based; 0 for an empty current record
  int32_t CurIndexPos = 0;   // 0-based position in the sort index
  uint8_t CurFlag = 0;
  std::string CurPath;
  int32_t CurLink = 0;
  int32_t CurPicWidth = 1, CurPicHeight = 1;
  TRect CurCropRect{0, 0, 1, 1};
  std::vector<uint8_t> CurSamples;
  std::vector<uint8_t> CurThumbJpeg;  // JPEG bytes of the current thumbnail, empty when none
  Bitmap24 SampleBitmap;              // XRes x YRes
  Bitmap24 DisplayBitmap;
  bool CurThumbShown = false;         // DisplayBitmap was decoded from CurThumbJpeg
  Bitmap24 LastCutOut;
  uint8_t Modified = 0;

  // ---- Build parameters and control ----------------------------------------
  int32_t FXScale = 0, FYScale = 0;
  int32_t FXRes = 0, FYRes = 0;
  int32_t FThumbW = 0;
  int32_t FThumbQ = 50;
  int32_t FMargin = 0;
  uint8_t FFilter = 0;
  uint8_t FSampleDepth = 0;
  uint8_t FColorSystem = 0;
  uint8_t FCropAnchor = 4;
  std::string FExtList;
  std::string FRootDir;
  bool FRecurse = false;
  bool FFastJpeg = false;
  bool FStopBuild = false;
  int32_t FBuildCount = 0;
  int32_t FProgress = 0;

  // ---- Sections -------------------------------------------------------------
  // The ".txt", ".dat" and ".tmb" sections of the open image, tags included.
  TMemoryStream InfoSection;
  TMemoryStream DataSection;
  TFileStream ThumbSection;
  // Entries of an int32 data-record offset followed by an IndexKeySize key.
  TMemoryStream SortIndex;
  // The sections a build writes (temporary files, tags included).
  TFileStream WorkInfo, WorkData, WorkThumbs;

  // ---- Opening, closing, saving -----------------------------------------------
  // Loads one image: a library file (kind 0) or a project's plan (1) or mosaic
  // (2). False when the file does not exist. A file that fails any check
  // raises EWrongFormat and the table keeps its previous contents whole; the
  // headers are checked, and the file's size against what they can address,
  // before anything else is read. The thumbnails are read in place until the
  // table first changes them. A library that this table holds unchanged, from
  // the same file that has not changed since, is not read again: the table
  // only starts afresh (no sort index, cursor on record 1, not modified).
  bool OpenFile(const std::string& fileName, int kind);
  void CloseTable();
  void ClearTable() { CloseTable(); }
  // Writes the open table as a library file (beside it, then renamed over).
  // Returns false without a message when the file cannot be written.
  bool WriteTableFile(const std::string& fileName);
  // WriteTableFile(BaseName) and, when it succeeded, Modified := 0. Refuses
  // (EFileError) on a project's plan or mosaic, whose BaseName is the project.
  void Save();
  // Writes a new library file from the build parameters and the work files,
  // which are deleted. False without a message when it cannot be written.
  bool WriteBaseFile(const std::string& fileName);
  // The same two images into a stream at its position (raising on failure).
  void WriteTableImage(TStream& out) const;
  void WriteBaseImage(TStream& out) const;
  // Three new temporary work files, each starting with its tag; false when
  // any cannot be made.
  bool CreateWorkFiles();
  // Why the last WriteTableFile, WriteBaseFile or CreateWorkFiles that
  // returned false failed: the system's reason ("No space left on device").
  std::string LastWriteFailure;
  // Closes and removes whatever work files exist.
  void DeleteWorkFiles();

  // ---- Cursor movement --------------------------------------------------------
  // Positions on visible record n and loads it, or clears the current record
  // when the table is empty (or the index entry is empty).
  void MoveTo(int32_t n);
  void GoToRecord(int32_t n) { MoveTo(n); }
  void MoveToPhysical(int32_t n);
  bool SeekRecord(int32_t n);
  bool SeekPhysical(int32_t n);
  bool SeekIndexed(int32_t n);
  // Loads the record at the data-section position into the Cur* fields.
  void ReadCurrent();
  void ClearCurrent();

  // ---- Record access (physical numbers 1..RecordCount) ------------------------
  // Bytes per data record (N + 5).
  int32_t DataRecordSize() const { return SampleSize + DataRecordPrefix; }
  // The data record of recNo in DataSection; raises EFileError out of range.
  uint8_t* DataRecord(int32_t recNo);
  const uint8_t* DataRecord(int32_t recNo) const;
  const uint8_t* RecordSamples(int32_t recNo) const { return DataRecord(recNo) + drSamples; }
  uint8_t RecordFlag(int32_t recNo) const { return DataRecord(recNo)[drFlag]; }
  void SetRecordFlag(int32_t recNo, uint8_t flag) { DataRecord(recNo)[drFlag] = flag; }
  int32_t RecordInfoOffset(int32_t recNo) const { return GetI32(DataRecord(recNo) + drInfoRecOffset); }
  // The info record at an offset of InfoSection, or of record recNo; raises
  // EFileError when it does not lie inside the section.
  TTileInfoRecord InfoRecordAt(int64_t infoOffset) const;
  TTileInfoRecord RecordInfo(int32_t recNo) const { return InfoRecordAt(RecordInfoOffset(recNo)); }
  // The JPEG bytes of the blob at an offset of ThumbSection; false (and out
  // empty) for offset 0, a blob of length 0 or one outside the section.
  bool ReadThumbBlob(int64_t blobOffset, std::vector<uint8_t>& out) const;
  // Appends an info record or a thumbnail blob; returns its offset.
  int32_t AppendInfoRecord(const TTileInfoRecord& r);
  int32_t AppendThumbBlob(const uint8_t* jpeg, size_t size);
  // Header values as a header (offsets zero).
  TLibraryHeader TableHeader() const;

  // ---- Library building ------------------------------------------------------
  // Worker threads that load and reduce pictures during a build: 0 one per
  // processor, 1 none (every picture is loaded on the caller's thread). The
  // library written is the same byte for byte either way.
  int FThreads = 0;
  // Builds a new library file from the pictures under FRootDir.
  void CreateBase(const std::string& fileName);
  // Appends the pictures under folder to the open library and rewrites its
  // file; flipped blocks are dropped first. The table is not reloaded.
  void UpdateBase(const std::string& folder);
  // Adds every matching picture of the folder (and, with FRecurse, its
  // subfolders), pumping messages and firing OnCreateBaseProgress before each
  // and ending at the next picture once FStopBuild is set.
  void ScanFolder(const std::string& folder);
  // Adds one picture; false when it cannot be loaded or gives no tile.
  bool AddPictureFile(const std::string& fileName);
  // Appends one tile (the prepared sample bitmap and thumbnail) to the work
  // files. Raises ELibraryFull, writing nothing, when the library file could
  // not hold it.
  void WriteTileRecord(const std::string& fileName, int width, int height, int left, int top, int right,
                       int bottom);
  // Work files holding copies of the open sections, cut back to the originals.
  bool OpenWorkFiles();

  // ---- Project file and plan -------------------------------------------------
  // Cuts the source picture (already cropped) into rows x columns cells of
  // this library's sample grid and writes a new project file whose mosaic is
  // a copy of the plan. Refuses sizes beyond the format before writing.
  void CreatePlan(const std::string& fileName, const Bitmap24& source, const TSourceInfo& info, int32_t rows,
                  int32_t columns);
  // Opens a project into this (plan) table and the mosaic table, both or
  // neither. False when the file does not exist.
  bool OpenProject(const std::string& fileName, TVTData& mosaic);
  // Writes this plan and the mosaic as a project (long header form), beside
  // the file and then renamed over it. Raises EFileError on failure.
  void SaveProject(const std::string& fileName, const TVTData& mosaic, const TVTData& library) const;
  // The detail of a cell's samples (B, G, R triples) over pairs consecutive
  // pixel pairs: the rounded mean absolute step per channel, summed.
  static double CellDetail(const uint8_t* samples, int32_t pairs);

  // ---- Tile matching ---------------------------------------------------------
  // (tiledb/Match.h has SampleDistance, TileInWindow and ERunOutOfTiles.)
  // Allowed flip kinds: byte 0 the originals, byte k the copies of kind k.
  using TFlipSet = uint32_t;
  // The choice of the cell on which `cells` is positioned: the nearest record
  // allowed by the flip set, the Repeat limit (negative: none) and the
  // Distance window; the winner becomes the current record, its identity goes
  // into the placement grid (row-major, cols x rows) and, when repeat >= 0,
  // its use count rises with those of its copies in the other allowed blocks.
  // A record marked deleted is never chosen. Raises ERunOutOfTiles when no
  // record qualifies, changing nothing.
  void PickTileFlipped(TVTData& cells, std::vector<int32_t>& grid, TFlipSet flips, int32_t repeat, int32_t d,
                       int32_t cols, int32_t rows, int32_t col, int32_t row);
  // The same over all records in file order, identity record number, no blocks.
  void PickTile(TVTData& cells, std::vector<int32_t>& grid, int32_t repeat, int32_t d, int32_t cols, int32_t rows,
                int32_t col, int32_t row);
  // A sort index of the allowed records outside the window, nearest first
  // (count > 0: exactly count positions, empty past the last candidate), and
  // the cursor on its first entry. Use counts are not tested; deleted records
  // are listed.
  void FindBestMatches(TVTData& cells, const std::vector<int32_t>& grid, TFlipSet flips, int32_t count, int32_t d,
                       int32_t cols, int32_t rows, int32_t col, int32_t row);
  // Use count of a record (1-based); 0xFFFFFFFF for one marked deleted.
  uint32_t RecordUseCount(int32_t recNo) const;
  // Records' samples were changed in place: the matcher reloads them.
  void MatchDataChanged();

  // ---- Sort orders and cell updates -------------------------------------------
  // Each sort builds the index from scratch over every record, keeps the
  // section positions, sets VisibleCount and moves to position 1.
  void SortByName();                                        // file name, ordinal byte order
  void SortByDetail();                                      // Detail, most detailed first
  void SortRandom();                                        // random order, seeded from the clock
  void SortRandom(uint32_t seed);                           // the same, reproducible
  void SortByBitmap(const Bitmap24& bitmap);                // nearest to the picture first
  void SortBySamples(const std::vector<uint8_t>& samples);  // nearest first
  void ClearIndex();
  // Stable orderings of the entries now in SortIndex. SortKeysBest keeps
  // exactly count entries, those past the entries present with offset 0
  // (empty slots already in the index take no part).
  void SortKeysAscending();
  void SortKeysDescending();
  void SortKeysBest(int32_t count);
  void SortNameKeys();
  // The name key of a path: the file name, blank-padded or cut to 120 bytes.
  static std::string NameKey(const std::string& path);
  // Links of all records (mode >= 0) or all -1 (mode < 0).
  void GetAllLinks(std::vector<int32_t>& links, int32_t mode) const;
  // One entry per cell of a cols x rows grid: the cell's Link when it lies
  // inside (or, with inside false, outside) the rectangle of 1-based cells
  // first..last, else -1; all -1 when firstCol < 0.
  void GetCellLinks(std::vector<int32_t>& links, bool inside, int32_t firstCol, int32_t firstRow,
                    int32_t lastCol, int32_t lastRow, int32_t cols, int32_t rows) const;
  // Cell updates take physical record numbers and leave the cursor alone.
  // Record n takes the source's current record (its original's number as
  // link when toOriginal); false, changing nothing, when the grids differ, n
  // is outside the table or the source has no current record.
  bool SetRecordFrom(int32_t n, const TVTData& source, bool toOriginal);
  // The same with the samples SourceSamples gives (SampleSize bytes).
  bool SetRecordFrom(int32_t n, const TVTData& source, bool toOriginal, const uint8_t* samples);
  // The samples SetRecordFrom stores for the source's current record: its
  // own when the colour systems agree, else its shown picture resampled to
  // this grid; empty when the grids differ.
  std::vector<uint8_t> SourceSamples(const TVTData& source) const;
  // Record n takes the bitmap as its tile with the given link and geometry.
  bool SetRecordBitmap(int32_t n, const Bitmap24& bitmap, int32_t link, int32_t picWidth, int32_t picHeight,
                       int32_t cropLeft, int32_t cropTop, int32_t cropRight, int32_t cropBottom,
                       const std::string& path);
  // Record n becomes a copy of the source's current record with link 0 (the
  // samples are copied as they are).
  bool CopyRecordFrom(int32_t n, const TVTData& source);
  // Every record n becomes a copy of the source's record n as MoveTo(n) on
  // the source and CopyRecordFrom(n) make it, in turn, leaving the source on
  // its last record; the thumbnails this needs are encoded on every processor.
  void CopyAllRecordsFrom(TVTData& source);

  // ---- Library maintenance -----------------------------------------------------
  enum TFlipKind : int { fkHorizontal = 1, fkRotate180 = 2, fkVertical = 3 };
  // What CheckBaseFile finds: not a library (missing or wrong magic), fits,
  // another tile aspect, another sampling (which wins over the aspect).
  enum TLibraryCheck : int { lcNotLibrary = -1, lcCompatible = 0, lcOtherAspect = 1, lcOtherSampling = 2 };
  // Header summary of a library; Name empty when it is none (or none is open).
  struct TBaseInfo {
    std::string Name;
    int32_t RecordCount = 0;
    int32_t XScale = 0, YScale = 0, XRes = 0, YRes = 0;
  };
  // Appends a block of copies of all originals in that orientation (in
  // memory); nothing when the kind is present or three blocks exist. A stop
  // or failure removes everything the call added and says so.
  void AddFlipped(int kind);
  // Clears the stop flag, then adds the blocks of kinds in their order (0 is
  // passed over) until a stop; true when any block was added.
  bool AddFlippedKinds(std::initializer_list<int> kinds);
  // Removes every flipped block (in memory) and clears FlipKinds.
  void RemoveFlipped();
  // When count < RecordCount, cuts the table back to its originals.
  void TruncateRecords(int32_t count);
  // Writes a new library file of the originals with samples made anew from
  // the thumbnails on an xres x yres grid in the colour system; the table in
  // memory stays as it is.
  void ResampleBase(const std::string& fileName, int32_t xres, int32_t yres, uint8_t colorSystem);
  // Rewrites the info and thumbnail sections keeping only what records use.
  void Compact();
  // Clears every use count; delete marks stay.
  void ResetUsage();
  TLibraryCheck CheckBaseFile(const std::string& fileName) const;
  void ReadBaseInfo(const std::string& fileName, TBaseInfo& info) const;
  void GetBaseInfo(TBaseInfo& info) const;

 private:
  // One validated image, held apart from the table until it is committed, so
  // that a file failing any check leaves the table as it was.
  struct TLoadedImage {
    TLibraryHeader Header;
    std::vector<uint8_t> Info, Data;
    TFileStream Thumbs;
    TProjectHeader Project;
    TFileStamp Stamp;
  };
  TLoadedImage ParseImage(const TImageFile& file, int kind) const;
  void CommitImage(TLoadedImage&& img, const std::string& fileName, int kind);
  // A library file as it was read, to know when the table still holds it.
  struct TAsRead {
    TFileStamp Stamp;  // not Known() when the table holds no file as read
    TLibraryHeader Header;
    uint64_t InfoHash = 0, DataHash = 0;
    int64_t InfoSize = 0, DataSize = 0;
  } FAsRead;
  bool HoldsUnchanged(const std::string& fileName) const;
  void StartAfresh();
  // The sections as the last Compact left them: it need not run again until
  // a record is replaced or added (or a section changes size).
  struct TCompactState {
    bool Valid = false;
    int64_t Info = 0, Data = 0, Thumbs = 0;
    int32_t Records = 0;
    void Note(const TVTData& t) {
      *this = {true, t.InfoSection.Size(), t.DataSection.Size(), t.ThumbSection.Size(), t.RecordCount};
    }
    bool Holds(const TVTData& t) const {
      return Valid && Info == t.InfoSection.Size() && Data == t.DataSection.Size() &&
             Thumbs == t.ThumbSection.Size() && Records == t.RecordCount;
    }
  } FCompact;
  TLibraryHeader BuildHeader() const;
  void ShowSampleBitmap();

  std::string FBaseName;
  TOpenKind FOpenKind = okLibrary;

  // ---- Library building (private) -----------------------------------------------
  void CheckBuildParameters(const std::string& notReady) const;
  void RunBuild(const std::string& folder, const std::string& fileName);
  void BeginPicture();
  void CommitTile(const std::string& fileName, int width, int height, const TRect& crop, Bitmap24& samples,
                  std::vector<uint8_t>& thumb, Bitmap24& cutOut);
  Bitmap24 FBuildSamples;            // the sample bitmap of the tile being written
  std::vector<uint8_t> FBuildThumb;  // its thumbnail, JPEG bytes
  // Records a scan has made but not yet written to the work files: a scan
  // writes them in large pieces rather than three small writes per picture.
  struct TWorkPending {
    bool Batching = false;  // set for a scan; otherwise each record is written at once
    bool Known = false;     // Sizes hold the work files' sizes
    int64_t Sizes[3] = {0, 0, 0};
    std::vector<uint8_t> Bytes[3];  // info, data, thumbnails
  } FWorkPending;
  void FlushWorkFiles();

  // ---- Project file and plan (private) ----------------------------------------
  static void CheckProjectPair(const TLoadedImage& plan, const TLoadedImage& mosaic);

  // ---- Tile matching (private) ---------------------------------------------------
  // The matcher's copy of the samples and the wide use count of each record
  // beside its flag byte (tiledb/Match.cpp); kept in step with the data section.
  struct TMatchState;
  struct TMatchHolder {
    TMatchState* State = nullptr;
    TMatchHolder() = default;
    TMatchHolder(const TMatchHolder&) = delete;
    TMatchHolder& operator=(const TMatchHolder&) = delete;
    ~TMatchHolder();
  } FMatch;
  TMatchState& Matcher();
  void PickTileCommon(TVTData& cells, std::vector<int32_t>& grid, bool flipped, TFlipSet flips, int32_t repeat,
                      int32_t d, int32_t cols, int32_t rows, int32_t col, int32_t row);

  // ---- Sort orders and cell updates (private) ---------------------------------
  struct TCellRecord;
  bool ReplaceRecord(int32_t n, const TCellRecord& rec);
  void FinishSort();
  template <typename KeyFn>
  void BuildFloatIndex(KeyFn&& key);

  // ---- Library maintenance (private) -------------------------------------------
};
