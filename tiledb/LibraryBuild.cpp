// Building a tile library from folders of pictures, and appending a folder to
// an open library. Pictures are loaded and reduced on worker threads, ahead of
// the build, while every record is written here, on the caller's thread, in
// scan order: the file is the same byte for byte whatever the thread count,
// and the caller sees progress, message pumping and the stop flag per picture.
#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "tiledb/FolderScan.h"
#include "tiledb/LibraryBuildPool.h"
#include "tiledb/LibraryBuildTile.h"
#include "tiledb/VTData.h"

namespace {

constexpr int64_t kMaxImageSize = std::numeric_limits<int32_t>::max();

// The system's reason, in brackets after a message.
std::string Reason(const std::string& why) {
  return why.empty() ? std::string() : " (" + why + ")";
}

// One picture prepared by a worker.
struct TPreparedTile {
  bool Ok = false;
  TTileData Tile;
};

// Removes the work files when a build ends by an error.
class TWorkFilesGuard {
 public:
  explicit TWorkFilesGuard(TVTData& table) : FTable(table) {}
  ~TWorkFilesGuard() {
    if (!FReleased) FTable.DeleteWorkFiles();
  }
  void Release() { FReleased = true; }

 private:
  TVTData& FTable;
  bool FReleased = false;
};

// The build parameters a picture needs, fixed for one scan.
TTileParams TileParamsOf(const TVTData& t) {
  TTileParams p;
  p.XScale = t.FXScale;
  p.YScale = t.FYScale;
  p.XRes = t.FXRes;
  p.YRes = t.FYRes;
  p.ThumbW = t.FThumbW;
  p.ThumbH = ThumbHeightFor(t.FThumbW, t.FXScale, t.FYScale);
  p.ThumbQ = t.FThumbQ;
  p.Margin = t.FMargin;
  p.CropAnchor = t.FCropAnchor;
  p.Filter = FilterFromByte(t.FFilter);
  p.FastJpeg = t.FFastJpeg;
  return p;
}

// What preparing each picture may hold at once, for the workers' byte budget.
// A JPEG decoded at a reduced scale holds little. Any other picture is
// decoded whole and its cut-out copied: four times its file stands for that
// (an uncompressed file about as large as its picture, twice over; PNG and
// the like a few times larger). Empty for a build on the caller's thread.
std::vector<size_t> PreparingEstimates(const std::vector<std::string>& files, const TTileParams& p,
                                       int threads) {
  std::vector<size_t> out;
  if (ResolveThreadCount(threads) <= 1) return out;
  out.resize(files.size(), 0);
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string ext = UpperCase(ExtractFileExt(files[i]));
    if (p.FastJpeg && (ext == ".JPG" || ext == ".JPEG")) continue;
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(files[i], ec);
    if (!ec) out[i] = size_t(std::min<uintmax_t>(size, SIZE_MAX / 8) * 4);
  }
  return out;
}

}  // namespace

void TVTData::CheckBuildParameters(const std::string& notReady) const {
  if (FExtList.empty()) throw EVitrane(notReady + "\r\n" + " Check some of picture file extantions");
  const bool shapeOk = FXScale >= 1 && FXScale <= 65535 && FYScale >= 1 && FYScale <= 65535;
  const bool gridOk = FXRes >= 1 && FXRes <= 65535 && FYRes >= 1 && FYRes <= 65535 &&
                      int64_t(FXRes) * FYRes * 3 <= kMaxImageSize;
  const bool thumbOk = shapeOk && FThumbW >= 1 && ThumbHeightFor(FThumbW, FXScale, FYScale) >= 1;
  const bool colorsOk = FColorSystem >= csYCC && FColorSystem <= csY;
  if (!shapeOk || !gridOk || !thumbOk || !colorsOk)
    throw EVitrane(notReady + "\r\n" +
                   " Check the tile shape, sample grid, thumbnail size and colour system");
}

void TVTData::RunBuild(const std::string& folder, const std::string& fileName) {
  TWorkFilesGuard guard(*this);
  FProgress = FBuildCount;
  // A full library still gets written with what fitted; the error follows.
  std::exception_ptr full;
  try {
    ScanFolder(folder);
  } catch (const ELibraryFull&) {
    full = std::current_exception();
  }
  guard.Release();
  if (!WriteBaseFile(fileName))
    throw EFileError(Format("Cannot create file \"%s\". The library was not written%s", fileName.c_str(),
                            Reason(LastWriteFailure).c_str()));
  if (full) std::rethrow_exception(full);
}

void TVTData::CreateBase(const std::string& fileName) {
  CheckBuildParameters("Not ready to create " + fileName);
  FBuildCount = 0;
  if (!CreateWorkFiles())
    throw EFileError("Cannot create the temporary files of the library build" + Reason(LastWriteFailure));
  RunBuild(FRootDir, fileName);
}

void TVTData::UpdateBase(const std::string& folder) {
  const std::string notReady = "Not ready to update " + BaseName();
  CheckBuildParameters(notReady);
  if (!TableIsOpen() || FOpenKind != okLibrary) throw EVitrane(notReady + "\r\n" + " No library is open");
  // The new records must match the old ones, or the file would mix two
  // record sizes, colour systems or tile shapes under one header.
  if (FXRes != XRes || FYRes != YRes || FColorSystem != ColorSystem || FXScale != XScale || FYScale != YScale)
    throw EVitrane(notReady + "\r\n" +
                   " The tile shape, sample grid or colour system differs from the library's");
  // Flipped blocks are dropped first: appended after them, the new pictures
  // would turn the copies into originals that a later flip run flips again.
  FBuildCount = std::clamp(OriginalCount, 0, RecordCount);
  if (!OpenWorkFiles()) throw EFileError("Cannot create the temporary files of the library build");
  RunBuild(folder, BaseName());
}

bool TVTData::OpenWorkFiles() {
  if (!CreateWorkFiles()) return false;
  TWorkFilesGuard guard(*this);
  const int32_t keep = std::clamp(OriginalCount, 0, RecordCount);
  int64_t dataEnd = DataSection.Size(), infoEnd = InfoSection.Size(), thumbEnd = ThumbSection.Size();
  if (keep < RecordCount) {
    // Keep everything the originals refer to; what lies beyond belongs to
    // the flipped copies. An empty blob still keeps its length word, so no
    // original ends up pointing at a new picture's thumbnail.
    dataEnd = DataRecordOffset(int64_t(keep) + 1, SampleSize);
    infoEnd = thumbEnd = SectionTagSize;
    std::vector<uint8_t> blob;
    for (int32_t i = 1; i <= keep; ++i) {
      const int64_t infoOffset = RecordInfoOffset(i);
      const TTileInfoRecord r = InfoRecordAt(infoOffset);
      infoEnd = std::max<int64_t>(infoEnd, infoOffset + InfoRecordFixedSize + int64_t(r.Path.size()));
      if (r.ThumbBlobOffset > 0) {
        const int64_t end =
            r.ThumbBlobOffset + 4 + (ReadThumbBlob(r.ThumbBlobOffset, blob) ? blob.size() : 0);
        thumbEnd = std::max<int64_t>(thumbEnd, std::min<int64_t>(end, ThumbSection.Size()));
      }
    }
  }
  WorkInfo.Clear();
  WorkInfo.CopyFrom(InfoSection, 0, infoEnd);
  WorkData.Clear();
  WorkData.CopyFrom(DataSection, 0, dataEnd);
  WorkThumbs.Clear();
  WorkThumbs.CopyFrom(ThumbSection, 0, thumbEnd);
  guard.Release();
  return true;
}

void TVTData::ScanFolder(const std::string& folder) {
  const std::vector<std::string> files = ListPictureFiles(folder, FExtList, FRecurse);
  const TTileParams params = TileParamsOf(*this);
  const std::vector<size_t> estimates = PreparingEstimates(files, params, FThreads);
  TOrderedPool<TPreparedTile> pool(
      files.size(), FThreads,
      [&files, params](size_t i) {
        TPreparedTile p;
        p.Ok = MakeTile(files[i], params, p.Tile);
        return p;
      },
      [](const TPreparedTile& p) {
        return p.Tile.CutOut.ByteSize() + p.Tile.Samples.ByteSize() + p.Tile.Thumb.size();
      },
      [&estimates](size_t i) { return estimates.empty() ? size_t(0) : estimates[i]; });
  // Whatever ends the scan, the records made so far reach the work files.
  const bool outer = !FWorkPending.Batching;
  FWorkPending.Batching = true;
  struct TFlushAtEnd {
    TVTData& T;
    bool Outer;
    ~TFlushAtEnd() noexcept(false) {
      if (!Outer) return;
      T.FWorkPending.Batching = false;
      if (std::uncaught_exceptions() == 0) {
        T.FlushWorkFiles();
      } else {
        try {
          T.FlushWorkFiles();
        } catch (const std::exception&) {
          // The error already on its way is the one to report.
        }
      }
    }
  } flushAtEnd{*this, outer};
  for (const std::string& file : files) {
    // The flag is tested when the next picture is met, so a stop during a
    // picture's progress event still lets that picture in; pictures prepared
    // ahead are dropped with the pool.
    if (FStopBuild) return;
    BeginPicture();
    TPreparedTile p = pool.TakeNext();
    if (p.Ok)
      CommitTile(file, p.Tile.PicWidth, p.Tile.PicHeight, p.Tile.Crop, p.Tile.Samples, p.Tile.Thumb,
                 p.Tile.CutOut);
  }
}

bool TVTData::AddPictureFile(const std::string& fileName) {
  BeginPicture();
  TTileData tile;
  if (!MakeTile(fileName, TileParamsOf(*this), tile)) return false;
  CommitTile(fileName, tile.PicWidth, tile.PicHeight, tile.Crop, tile.Samples, tile.Thumb, tile.CutOut);
  return true;
}

void TVTData::BeginPicture() {
  ProcessMessages();
  if (OnCreateBaseProgress) OnCreateBaseProgress(*this);
}

void TVTData::CommitTile(const std::string& fileName, int width, int height, const TRect& crop,
                         Bitmap24& samples, std::vector<uint8_t>& thumb, Bitmap24& cutOut) {
  FBuildSamples = std::move(samples);
  FBuildThumb = std::move(thumb);
  WriteTileRecord(fileName, width, height, crop.Left, crop.Top, crop.Right, crop.Bottom);
  LastCutOut = std::move(cutOut);
  ++FBuildCount;
  FProgress = FBuildCount;
}

void TVTData::WriteTileRecord(const std::string& fileName, int width, int height, int left, int top,
                              int right, int bottom) {
  std::vector<uint8_t> samples;
  WriteBitmapPixels(FBuildSamples, samples, FColorSystem);
  TTileInfoRecord info;
  info.Path = fileName;
  info.Geometry = {uint16_t(width), uint16_t(height), uint16_t(left),
                   uint16_t(top),   uint16_t(right),  uint16_t(bottom)};
  TWorkPending& w = FWorkPending;
  if (!w.Known) {
    w.Sizes[0] = WorkInfo.Size();
    w.Sizes[1] = WorkData.Size();
    w.Sizes[2] = WorkThumbs.Size();
    w.Known = true;
  }
  const int64_t infoOffset = w.Sizes[0] + int64_t(w.Bytes[0].size());
  const int64_t dataOffset = w.Sizes[1] + int64_t(w.Bytes[1].size());
  const int64_t thumbOffset = w.Sizes[2] + int64_t(w.Bytes[2].size());
  const int64_t dataSize = DataRecordPrefix + int64_t(samples.size());
  const int64_t blobSize = 4 + int64_t(FBuildThumb.size());
  const int64_t infoSize = InfoRecordFixedSize + int64_t(std::min<size_t>(fileName.size(), 65535));
  // Every offset in the file is an int32: refuse the record before writing
  // any of it, so the work files stay a valid library of what came before.
  if (LibraryHeaderSize + infoOffset + infoSize + dataOffset + dataSize + thumbOffset + blobSize >
      kMaxImageSize)
    throw ELibraryFull(
        "The library is full: a library file holds at most 2 GB. The pictures indexed so far have been "
        "saved");
  info.SamplesOffset = int32_t(dataOffset + DataRecordPrefix);
  info.ThumbBlobOffset = int32_t(thumbOffset);

  std::vector<uint8_t>& data = w.Bytes[1];
  const size_t at = data.size();
  data.resize(at + size_t(DataRecordPrefix), 0);
  PutI32(data.data() + at + drInfoRecOffset, int32_t(infoOffset));
  data.insert(data.end(), samples.begin(), samples.end());

  std::vector<uint8_t>& thumbs = w.Bytes[2];
  uint8_t length[4];
  PutI32(length, int32_t(FBuildThumb.size()));
  thumbs.insert(thumbs.end(), length, length + 4);
  thumbs.insert(thumbs.end(), FBuildThumb.begin(), FBuildThumb.end());

  const std::vector<uint8_t> infoBytes = EncodeInfoRecord(info);
  w.Bytes[0].insert(w.Bytes[0].end(), infoBytes.begin(), infoBytes.end());

  constexpr size_t kFlushBytes = size_t(1) << 20;
  if (!w.Batching || w.Bytes[0].size() + data.size() + thumbs.size() >= kFlushBytes) FlushWorkFiles();
}

void TVTData::FlushWorkFiles() {
  TWorkPending& w = FWorkPending;
  TFileStream* files[3] = {&WorkInfo, &WorkData, &WorkThumbs};
  for (int k = 0; k < 3; ++k) {
    if (w.Bytes[k].empty()) continue;
    files[k]->WriteAt(w.Sizes[k], w.Bytes[k].data(), w.Bytes[k].size());
    w.Sizes[k] += int64_t(w.Bytes[k].size());
    w.Bytes[k].clear();
  }
}
