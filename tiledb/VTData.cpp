#include "tiledb/VTData.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <limits>

#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Rounding.h"
#include "tiledb/MatchState.h"
#include "tiledb/ProjectFile.h"

TVTData::TVTData() {
  // The thumbnail section lives on disk whatever ThumbsInMemory says: the
  // choice is made before that property can have been set. Its temporary
  // file is made when the table first writes a thumbnail; an opened table
  // reads its thumbnails in place until then.
  ThumbSection = TFileStream::Temporary("vt");
}

TVTData::~TVTData() {
  ThumbSection.CloseAndDelete();
  DeleteWorkFiles();
}

void TVTData::SetBaseName(const std::string& fileName) {
  OpenFile(fileName, okLibrary);
}

// ---- Opening -------------------------------------------------------------------

namespace {

[[noreturn]] void WrongBase() {
  throw EWrongFormat(WrongBaseMessage);
}
[[noreturn]] void WrongProject() {
  throw EWrongFormat(WrongProjectMessage);
}

bool HasTag(const uint8_t* p, const char* tag) {
  return std::equal(p, p + SectionTagSize, tag);
}

}  // namespace

namespace {

// Every blob a record names must have its length word and bytes inside the
// thumbnail section (size bytes of the file from at).
bool BlobsFit(const TImageFile& f, int64_t at, int64_t size, std::vector<int32_t>& offsets) {
  std::sort(offsets.begin(), offsets.end());
  offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
  if (!offsets.empty() && (offsets.front() < SectionTagSize || offsets.back() > size - 4)) return false;
  std::vector<int32_t> lengths;
  ReadLengthWords([&](int64_t pos, void* buf, size_t n) { f.ReadAt(at + pos, buf, n); }, size, offsets, lengths);
  for (size_t i = 0; i < offsets.size(); ++i)
    if (lengths[i] < 0 || lengths[i] > size - offsets[i] - 4) return false;
  return true;
}

}  // namespace

TVTData::TLoadedImage TVTData::ParseImage(const TImageFile& file, int kind) const {
  TLoadedImage img;
  img.Stamp = file.Stamp();
  const int64_t fileSize = file.Size();
  int64_t start = 0, end = fileSize;
  if (kind == okPlan || kind == okMosaic) {
    // Nothing past the longest header there can be is read before it checks out.
    const int64_t headMax = int64_t(ProjectHeaderSize(65535, 65535, true));
    const std::vector<uint8_t> head = file.Read(0, std::min(fileSize, headMax));
    if (!DecodeProjectHeader(head.data(), head.size(), img.Project)) WrongProject();
    const TProjectHeader& p = img.Project;
    if (p.Columns == 0 || p.Rows == 0) WrongProject();
    const int64_t at = kind == okPlan ? p.PlanOffset : p.MosaicOffset;
    if (at < 0 || at > fileSize - 4) WrongProject();
    uint8_t word[4];
    file.ReadAt(at, word, 4);
    const int64_t size = GetI32(word);
    start = at + 4;
    if (size < 0 || size > fileSize - start) WrongProject();
    end = start + size;
  } else if (fileSize > std::numeric_limits<int32_t>::max()) {
    // Every offset of a library is an int32: a larger file is not one.
    WrongBase();
  }
  const int64_t imgSize = end - start;
  if (imgSize < LibraryHeaderSize) WrongBase();
  uint8_t headerBytes[LibraryHeaderSize];
  file.ReadAt(start, headerBytes, sizeof headerBytes);
  if (!HasLibraryMagic(headerBytes, sizeof headerBytes)) WrongBase();
  TLibraryHeader& h = img.Header;
  h = DecodeLibraryHeader(headerBytes);
  const int64_t n = int64_t(h.XRes) * h.YRes * 3;
  if (h.RecordCount < 0 || h.XRes == 0 || h.YRes == 0 || h.XRes > MaxSampleSide || h.YRes > MaxSampleSide ||
      h.SampleSize != n)
    WrongBase();
  if (h.OriginalCount < 1) h.OriginalCount = h.RecordCount;
  if (h.OriginalCount > h.RecordCount) WrongBase();
  if (h.InfoOffset < LibraryHeaderSize || int64_t(h.InfoOffset) + SectionTagSize > h.DataOffset ||
      int64_t(h.DataOffset) + SectionTagSize > h.ThumbOffset ||
      int64_t(h.ThumbOffset) + SectionTagSize > imgSize)
    WrongBase();
  const int64_t infoSize = h.DataOffset - h.InfoOffset;
  const int64_t dataSize = h.ThumbOffset - h.DataOffset;
  const int64_t thumbSize = imgSize - h.ThumbOffset;
  const int64_t recSize = n + DataRecordPrefix;
  // The record count is checked before the sections are read.
  if ((dataSize - SectionTagSize) / recSize < h.RecordCount) WrongBase();
  img.Info = file.Read(start + h.InfoOffset, infoSize);
  img.Data = file.Read(start + h.DataOffset, dataSize);
  uint8_t thumbTag[SectionTagSize];
  file.ReadAt(start + h.ThumbOffset, thumbTag, SectionTagSize);
  if (!HasTag(img.Info.data(), InfoTag) || !HasTag(img.Data.data(), DataTag) || !HasTag(thumbTag, ThumbTag))
    WrongBase();
  if (kind == okPlan || kind == okMosaic) {
    if (int64_t(img.Project.Columns) * img.Project.Rows != h.RecordCount) WrongProject();
  }
  const uint8_t* info = img.Info.data();
  const uint8_t* data = img.Data.data();
  std::vector<int32_t> blobs;
  blobs.reserve(size_t(h.RecordCount));
  for (int64_t i = 0; i < h.RecordCount; ++i) {
    const uint8_t* rec = data + SectionTagSize + i * recSize;
    const int32_t infoOffset = GetI32(rec + drInfoRecOffset);
    TTileInfoRecord r;
    if (infoOffset < SectionTagSize || !DecodeInfoRecord(info, size_t(infoSize), infoOffset, r)) WrongBase();
    const int32_t rn = RecordFromOffset(r.SamplesOffset, n);
    if (r.SamplesOffset < SectionTagSize || rn < 1 || rn > h.RecordCount) WrongBase();
    if (r.ThumbBlobOffset != 0) {
      if (r.ThumbBlobOffset < SectionTagSize || r.ThumbBlobOffset > thumbSize - 4) WrongBase();
      blobs.push_back(r.ThumbBlobOffset);
    }
  }
  if (!BlobsFit(file, start + h.ThumbOffset, thumbSize, blobs)) WrongBase();
  // The thumbnails stay where they are until the table changes them.
  img.Thumbs = TFileStream::SharedRange(file.Duplicate(), start + h.ThumbOffset, thumbSize, "vt");
  return img;
}

void TVTData::CommitImage(TLoadedImage&& img, const std::string& fileName, int kind) {
  const TLibraryHeader& h = img.Header;
  if (kind == okPlan) {
    Columns = img.Project.Columns;
    Rows = img.Project.Rows;
    LibraryPath = img.Project.LibraryPath;
    SourcePath = img.Project.SourcePath;
    SourceRect = img.Project.SourceRect;
    Extra1 = img.Project.LongForm ? img.Project.Extra1 : 0;
    Extra2 = img.Project.LongForm ? img.Project.Extra2 : 0;
  } else if (kind == okMosaic) {
    Columns = img.Project.Columns;
    Rows = img.Project.Rows;
    LibraryPath = img.Project.LibraryPath;
  }
  RecordCount = h.RecordCount;
  VisibleCount = h.RecordCount;
  SampleDepth = h.SampleDepth;
  ColorSystem = h.ColorSystem;
  ColorSystemName = ::ColorModeName(h.ColorSystem);
  ResampleFilter = h.ResampleFilter;
  OriginalCount = h.OriginalCount;
  FlipKinds = h.FlipKinds;
  XScale = h.XScale;
  YScale = h.YScale;
  XRes = h.XRes;
  YRes = h.YRes;
  SampleSize = h.SampleSize;
  SampleBitmap.SetSize(XRes, YRes);
  CurSamples.assign(size_t(SampleSize), 0);
  InfoSection.Assign(std::move(img.Info));
  DataSection.Assign(std::move(img.Data));
  ThumbSection.CloseAndDelete();
  ThumbSection = std::move(img.Thumbs);
  SortIndex.Clear();
  IndexKeySize = 0;
  CurIndexPos = 0;
  FOpenKind = TOpenKind(kind);
  FAsRead = TAsRead();
  FCompact = TCompactState();
  if (kind == okLibrary) {
    FAsRead.Stamp = img.Stamp;
    FAsRead.Header = TableHeader();
    FAsRead.InfoSize = InfoSection.Size();
    FAsRead.DataSize = DataSection.Size();
    FAsRead.InfoHash = ContentHash(InfoSection.Memory(), size_t(InfoSection.Size()));
    FAsRead.DataHash = ContentHash(DataSection.Memory(), size_t(DataSection.Size()));
  }
  MoveTo(1);
  FBaseName = fileName;
  Modified = 0;
}

bool TVTData::HoldsUnchanged(const std::string& fileName) const {
  // Whatever could differ from a fresh read is compared: the file, the
  // header values, both sections in memory and the thumbnails, which are
  // still read from the file only while nothing has changed them.
  return FAsRead.Stamp.Known() && FOpenKind == okLibrary && fileName == FBaseName &&
         ThumbSection.Shared() && StampOfFile(fileName) == FAsRead.Stamp && TableHeader() == FAsRead.Header &&
         XScale == FAsRead.Header.XScale && YScale == FAsRead.Header.YScale && XRes == FAsRead.Header.XRes &&
         YRes == FAsRead.Header.YRes && SampleSize == FAsRead.Header.SampleSize &&
         InfoSection.Size() == FAsRead.InfoSize &&
         DataSection.Size() == FAsRead.DataSize &&
         ContentHash(InfoSection.Memory(), size_t(InfoSection.Size())) == FAsRead.InfoHash &&
         ContentHash(DataSection.Memory(), size_t(DataSection.Size())) == FAsRead.DataHash;
}

void TVTData::StartAfresh() {
  // What opening leaves beyond the sections themselves.
  VisibleCount = RecordCount;
  ColorSystemName = ::ColorModeName(ColorSystem);
  SampleBitmap.SetSize(XRes, YRes);
  CurSamples.assign(size_t(SampleSize), 0);
  InfoSection.Position = 0;
  DataSection.Position = 0;
  ThumbSection.Position = 0;
  SortIndex.Clear();
  IndexKeySize = 0;
  CurIndexPos = 0;
  // A table read anew counts its uses from the flag bytes again.
  if (FMatch.State) {
    FMatch.State->Loaded = false;
    FMatch.State->Counts.assign(FMatch.State->Counts.size(), 0);
  }
  MoveTo(1);
  Modified = 0;
}

bool TVTData::OpenFile(const std::string& fileName, int kind) {
  if (!FileExists(fileName)) return false;
  if (kind < okLibrary || kind > okMosaic) kind = okLibrary;
  if (kind == okLibrary && HoldsUnchanged(fileName)) {
    StartAfresh();
    return true;
  }
  const TImageFile file(fileName);
  CommitImage(ParseImage(file, kind), fileName, kind);
  return true;
}

void TVTData::CloseTable() {
  FBaseName.clear();
  FAsRead = TAsRead();
  FCompact = TCompactState();
  Modified = 0;
  FOpenKind = okLibrary;
  SortIndex.Clear();
  InfoSection.Clear();
  DataSection.Clear();
  ThumbSection.Clear();
}

// ---- Writing ---------------------------------------------------------------------

TLibraryHeader TVTData::TableHeader() const {
  TLibraryHeader h;
  h.RecordCount = RecordCount;
  h.SampleDepth = SampleDepth;
  h.ColorSystem = ColorSystem;
  h.ResampleFilter = ResampleFilter;
  h.OriginalCount = OriginalCount;
  h.FlipKinds = FlipKinds;
  h.XScale = uint16_t(XScale);
  h.YScale = uint16_t(YScale);
  h.XRes = uint16_t(XRes);
  h.YRes = uint16_t(YRes);
  h.SampleSize = XRes * YRes * 3;
  return h;
}

TLibraryHeader TVTData::BuildHeader() const {
  TLibraryHeader h;
  h.RecordCount = FBuildCount;
  h.OriginalCount = FBuildCount;
  h.SampleDepth = FSampleDepth;
  h.ColorSystem = FColorSystem;
  h.ResampleFilter = FilterFromByteA(FFilter);
  h.XScale = uint16_t(FXScale);
  h.YScale = uint16_t(FYScale);
  h.XRes = uint16_t(FXRes);
  h.YRes = uint16_t(FYRes);
  h.SampleSize = FXRes * FYRes * 3;
  return h;
}

namespace {

// Writes header and sections at the stream's position; the offsets count from
// the image's first byte.
void WriteImage(TStream& out, TLibraryHeader h, const TStream& info, const TStream& data,
                const TStream& thumbs) {
  const int64_t total = LibraryHeaderSize + info.Size() + data.Size() + thumbs.Size();
  if (total > std::numeric_limits<int32_t>::max())
    throw EOutOfResources("The table is too large for the library file format");
  h.InfoOffset = LibraryHeaderSize;
  h.DataOffset = int32_t(h.InfoOffset + info.Size());
  h.ThumbOffset = int32_t(h.DataOffset + data.Size());
  const auto bytes = EncodeLibraryHeader(h);
  out.WriteBuffer(bytes.data(), bytes.size());
  out.CopyFrom(info, 0, info.Size());
  out.CopyFrom(data, 0, data.Size());
  out.CopyFrom(thumbs, 0, thumbs.Size());
}

// Writes a file beside its final name and renames it over only when it is
// complete, so a failure never damages the user's old file. On failure the
// reason goes to failure.
template <typename Fn>
bool WriteFileSafely(const std::string& fileName, Fn&& writeTo, std::string& failure) {
  failure.clear();
  if (fileName.empty()) return false;
  try {
    TReplacement r(fileName);
    TFileStream f = TFileStream::OnHandle(r.Handle(), fileName);
    writeTo(f);
    f.Flush();
    f.Close();
    r.Commit();
    return true;
  } catch (const std::exception& e) {
    failure = FailureReason(e);
    return false;
  }
}

}  // namespace

void TVTData::WriteTableImage(TStream& out) const {
  WriteImage(out, TableHeader(), InfoSection, DataSection, ThumbSection);
}

void TVTData::WriteBaseImage(TStream& out) const {
  if (!WorkInfo.IsOpen() || !WorkData.IsOpen() || !WorkThumbs.IsOpen())
    throw EFileError("The work files of the build are missing");
  WriteImage(out, BuildHeader(), WorkInfo, WorkData, WorkThumbs);
}

bool TVTData::WriteTableFile(const std::string& fileName) {
  return WriteFileSafely(fileName, [&](TStream& f) { WriteTableImage(f); }, LastWriteFailure);
}

void TVTData::Save() {
  if (FOpenKind != okLibrary)
    throw EFileError(Format("\"%s\" is a project; its tables are saved with the project", FBaseName.c_str()));
  if (WriteTableFile(FBaseName)) Modified = 0;
}

bool TVTData::WriteBaseFile(const std::string& fileName) {
  FlushWorkFiles();
  const bool ok = WriteFileSafely(fileName, [&](TStream& f) { WriteBaseImage(f); }, LastWriteFailure);
  DeleteWorkFiles();
  return ok;
}

bool TVTData::CreateWorkFiles() {
  DeleteWorkFiles();
  try {
    WorkInfo = TFileStream::CreateWorkFile();
    WorkInfo.WriteBuffer(InfoTag, SectionTagSize);
    WorkData = TFileStream::CreateWorkFile();
    WorkData.WriteBuffer(DataTag, SectionTagSize);
    WorkThumbs = TFileStream::CreateWorkFile();
    WorkThumbs.WriteBuffer(ThumbTag, SectionTagSize);
    return true;
  } catch (const std::exception& e) {
    LastWriteFailure = FailureReason(e);
    DeleteWorkFiles();
    return false;
  }
}

void TVTData::DeleteWorkFiles() {
  FWorkPending = TWorkPending();
  WorkInfo.CloseAndDelete();
  WorkData.CloseAndDelete();
  WorkThumbs.CloseAndDelete();
}

// ---- Cursor ----------------------------------------------------------------------

bool TVTData::SeekPhysical(int32_t n) {
  if (RecordCount <= 0) return false;
  n = std::clamp(n, 1, RecordCount);
  CurRecNo = n;
  DataSection.Seek(DataRecordOffset(n, SampleSize));
  return true;
}

bool TVTData::SeekIndexed(int32_t n) {
  if (VisibleCount <= 0) return false;
  n = std::clamp(n, 1, VisibleCount);
  CurIndexPos = n - 1;
  const int64_t at = int64_t(n - 1) * (IndexKeySize + 4);
  if (at + 4 > SortIndex.Size()) return false;
  int32_t offset = 0;
  SortIndex.ReadAt(at, &offset, 4);
  if (offset <= 0) return false;
  const int32_t rec = RecordFromOffset(offset, SampleSize);
  if (rec < 1 || rec > RecordCount) return false;
  DataSection.Seek(offset);
  CurRecNo = rec;
  return true;
}

bool TVTData::SeekRecord(int32_t n) {
  return IndexKeySize != 0 ? SeekIndexed(n) : SeekPhysical(n);
}

void TVTData::MoveTo(int32_t n) {
  if (SeekRecord(n))
    ReadCurrent();
  else
    ClearCurrent();
}

void TVTData::MoveToPhysical(int32_t n) {
  if (SeekPhysical(n))
    ReadCurrent();
  else
    ClearCurrent();
}

void TVTData::ClearCurrent() {
  CurRecNo = 0;
  CurFlag = 0;
  CurPath.clear();
  CurLink = 0;
  CurPicWidth = CurPicHeight = 1;
  CurCropRect = TRect(0, 0, 1, 1);
  CurThumbJpeg.clear();
  CurThumbShown = false;
  DisplayBitmap.Fill(clWhite);
}

void TVTData::ShowSampleBitmap() {
  if (DisplayBitmap.Width() != SampleBitmap.Width() || DisplayBitmap.Height() != SampleBitmap.Height())
    DisplayBitmap.SetSize(SampleBitmap.Width(), SampleBitmap.Height());
  DrawAt(DisplayBitmap, 0, 0, SampleBitmap);
}

void TVTData::ReadCurrent() {
  const int64_t pos = DataSection.Position;
  const int64_t recSize = DataRecordSize();
  if (pos < SectionTagSize || pos + recSize > DataSection.Size()) {
    ClearCurrent();
    return;
  }
  const uint8_t* rec = DataSection.Memory() + pos;
  CurFlag = rec[drFlag];
  const TTileInfoRecord r = InfoRecordAt(GetI32(rec + drInfoRecOffset));
  InfoSection.Seek(GetI32(rec + drInfoRecOffset) + InfoRecordFixedSize + int64_t(r.Path.size()));
  CurLink = r.Link;
  CurPicWidth = r.Geometry[0];
  CurPicHeight = r.Geometry[1];
  CurCropRect = TRect(r.Geometry[2], r.Geometry[3], r.Geometry[4], r.Geometry[5]);
  CurPath = r.Path;
  CurSamples.assign(rec + drSamples, rec + drSamples + SampleSize);
  DataSection.Seek(pos + recSize);
  ReadBitmapPixels(SampleBitmap, CurSamples, ColorSystem);
  CurThumbJpeg.clear();
  CurThumbShown = false;
  if (ShowThumbs && ReadThumbBlob(r.ThumbBlobOffset, CurThumbJpeg)) {
    try {
      Bitmap24 pic;
      JpegDecode(CurThumbJpeg.data(), CurThumbJpeg.size(), 0, pic);
      DisplayBitmap = std::move(pic);
      CurThumbShown = true;
      return;
    } catch (const std::exception&) {
      // A damaged thumbnail shows the record's own samples instead.
    }
  }
  ShowSampleBitmap();
}

// ---- Record access ----------------------------------------------------------------

uint8_t* TVTData::DataRecord(int32_t recNo) {
  return const_cast<uint8_t*>(static_cast<const TVTData*>(this)->DataRecord(recNo));
}

const uint8_t* TVTData::DataRecord(int32_t recNo) const {
  const int64_t at = DataRecordOffset(recNo, SampleSize);
  if (recNo < 1 || recNo > RecordCount || at + DataRecordSize() > DataSection.Size())
    throw EFileError(Format("Record %d is outside the table", recNo));
  return DataSection.Memory() + at;
}

TTileInfoRecord TVTData::InfoRecordAt(int64_t infoOffset) const {
  TTileInfoRecord r;
  if (infoOffset < SectionTagSize ||
      !DecodeInfoRecord(InfoSection.Memory(), size_t(InfoSection.Size()), infoOffset, r))
    throw EFileError("Info record is outside its section");
  return r;
}

bool TVTData::ReadThumbBlob(int64_t blobOffset, std::vector<uint8_t>& out) const {
  out.clear();
  if (blobOffset < SectionTagSize) return false;
  const int64_t size = ThumbSection.Size();
  if (blobOffset > size - 4) return false;
  // Thumbnails are small: one read usually takes the length and the bytes.
  uint8_t first[4096];
  const size_t n = size_t(std::min<int64_t>(size - blobOffset, int64_t(sizeof first)));
  ThumbSection.ReadAt(blobOffset, first, n);
  const int32_t len = GetI32(first);
  if (len <= 0 || len > size - blobOffset - 4) return false;
  if (size_t(len) + 4 <= n) {
    out.assign(first + 4, first + 4 + len);
  } else {
    out.resize(size_t(len));
    ThumbSection.ReadAt(blobOffset + 4, out.data(), out.size());
  }
  return true;
}

int32_t TVTData::AppendInfoRecord(const TTileInfoRecord& r) {
  FCompact = TCompactState();
  const int64_t at = InfoSection.Size();
  const std::vector<uint8_t> bytes = EncodeInfoRecord(r);
  if (at + int64_t(bytes.size()) > std::numeric_limits<int32_t>::max())
    throw EOutOfResources("The info section is full");
  InfoSection.WriteAt(at, bytes.data(), bytes.size());
  return int32_t(at);
}

int32_t TVTData::AppendThumbBlob(const uint8_t* jpeg, size_t size) {
  FCompact = TCompactState();
  const int64_t at = ThumbSection.Size();
  if (at + 4 + int64_t(size) > std::numeric_limits<int32_t>::max())
    throw EOutOfResources("The thumbnail section is full");
  uint8_t len[4];
  PutI32(len, int32_t(size));
  ThumbSection.Append(len, 4);
  if (size) ThumbSection.Append(jpeg, size);
  return int32_t(at);
}
