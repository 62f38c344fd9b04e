// Library maintenance: flipped blocks, truncation, resampling into a new
// file, compaction, use counts and the header probes.
#include <algorithm>
#include <fstream>

#include "imaging/Resample.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Jpeg.h"
#include "platform/Rounding.h"
#include "tiledb/MatchState.h"
#include "tiledb/VTData.h"

namespace {

// Mirrors or turns a sample vector of w x h pixels of three bytes.
void FlipSamples(const uint8_t* src, uint8_t* dst, int w, int h, int kind) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int sx = x, sy = y;
      if (kind == TVTData::fkHorizontal || kind == TVTData::fkRotate180) sx = w - 1 - x;
      if (kind == TVTData::fkVertical || kind == TVTData::fkRotate180) sy = h - 1 - y;
      std::copy_n(src + (size_t(sy) * size_t(w) + size_t(sx)) * 3, 3,
                  dst + (size_t(y) * size_t(w) + size_t(x)) * 3);
    }
}

// The crop rectangle of a flipped copy: its corners swapped so that the
// renderer mirrors the picture the same way.
void FlipCrop(std::array<uint16_t, 6>& g, int kind) {
  const uint16_t l = g[2], t = g[3], r = g[4], b = g[5];
  if (kind == TVTData::fkHorizontal) g = {g[0], g[1], r, t, l, b};
  if (kind == TVTData::fkRotate180) g = {g[0], g[1], r, b, l, t};
  if (kind == TVTData::fkVertical) g = {g[0], g[1], l, b, r, t};
}

// The thumbnail drawn into a reversed rectangle of its own size.
Bitmap24 FlipPicture(const Bitmap24& src, int kind) {
  const int w = src.Width(), h = src.Height();
  Bitmap24 dst(w, h);
  TRect to(w - 1, 0, -1, h);
  if (kind == TVTData::fkRotate180) to = TRect(w - 1, h - 1, -1, -1);
  if (kind == TVTData::fkVertical) to = TRect(0, h - 1, w, -1);
  StretchDraw(dst, to, src);
  return dst;
}

int32_t ProgressPercent(int64_t i, int64_t m) {
  return m > 0 ? int32_t(RoundDiv(i * 100, m)) : 0;
}

// The originals of a table: a header without a usable count treats every
// record as one.
int32_t Originals(const TVTData& t) {
  return t.OriginalCount > 0 && t.OriginalCount <= t.RecordCount ? t.OriginalCount : t.RecordCount;
}

// The first bytes of a file, up to n; fewer when the file is shorter.
std::vector<uint8_t> FileHead(const std::string& fileName, size_t n) {
  std::vector<uint8_t> head(n);
  std::ifstream f(fileName, std::ios::binary);
  if (!f) return {};
  f.read(reinterpret_cast<char*>(head.data()), std::streamsize(n));
  head.resize(size_t(f.gcount()));
  return head;
}

// The library header at the start of a file, or false when it is none.
bool ProbeHeader(const std::string& fileName, TLibraryHeader& h) {
  if (!FileExists(fileName)) return false;
  const std::vector<uint8_t> head = FileHead(fileName, LibraryHeaderSize);
  if (head.size() < size_t(LibraryHeaderSize) || !HasLibraryMagic(head.data(), head.size())) return false;
  h = DecodeLibraryHeader(head.data());
  return true;
}

}  // namespace

void TVTData::AddFlipped(int kind) {
  if (!TableIsOpen() || kind < fkHorizontal || kind > fkVertical) return;
  // The samples are turned as a grid of XRes x YRes pixels, which must be
  // exactly what each record holds.
  if (SampleSize <= 0 || int64_t(XRes) * YRes * 3 != SampleSize) return;
  if (std::find(FlipKinds.begin() + 1, FlipKinds.end(), kind) != FlipKinds.end()) return;
  const auto slot = std::find(FlipKinds.begin() + 1, FlipKinds.end(), 0);
  if (slot == FlipKinds.end()) return;

  TMatchState& m = Matcher();
  FCompact = TCompactState();
  const int64_t infoSize = InfoSection.Size(), dataSize = DataSection.Size(), thumbSize = ThumbSection.Size();
  const int64_t infoPos = InfoSection.Position, dataPos = DataSection.Position,
                thumbPos = ThumbSection.Position;
  const int32_t oldCount = RecordCount;
  const int32_t originals = Originals(*this);
  std::vector<uint8_t> flipped(size_t(std::max(SampleSize, 0)));
  std::vector<uint8_t> jpeg;
  bool done = false;
  try {
    for (int32_t i = 0; i < originals; ++i) {
      const uint8_t* rec = DataRecord(i + 1);
      const uint8_t flag = rec[drFlag];
      TTileInfoRecord info = RecordInfo(i + 1);
      FlipSamples(rec + drSamples, flipped.data(), XRes, YRes, kind);
      FlipCrop(info.Geometry, kind);
      // A thumbnail that cannot be decoded stays shared with the original.
      if (ReadThumbBlob(info.ThumbBlobOffset, jpeg)) {
        try {
          Bitmap24 pic;
          JpegDecode(jpeg.data(), jpeg.size(), 0, pic);
          const std::vector<uint8_t> out = JpegEncode(FlipPicture(pic, kind), FThumbQ);
          info.ThumbBlobOffset = AppendThumbBlob(out.data(), out.size());
        } catch (const EPictureError&) {
        }
      }
      const int64_t dataAt = DataSection.Size();
      info.SamplesOffset = int32_t(dataAt);
      const int32_t infoAt = AppendInfoRecord(info);
      DataSection.Seek(dataAt);
      DataSection.Write<uint8_t>(flag);
      DataSection.Write<int32_t>(infoAt);
      DataSection.WriteBytes(flipped);
      ++RecordCount;
      if (i % 100 == 0) {
        FProgress = ProgressPercent(i, originals);
        if (OnProgress) OnProgress(*this);
      }
      if (FStopBuild) break;
    }
    done = RecordCount == oldCount + originals && !FStopBuild;
  } catch (const std::exception&) {
    done = false;
  }
  if (done) {
    *slot = uint8_t(kind);
    // Each copy starts with its original's use count, delete mark included.
    m.Counts.resize(size_t(oldCount), 0);
    m.Counts.reserve(size_t(oldCount) + size_t(originals));
    for (int32_t i = 0; i < originals; ++i) {
      const uint32_t c = m.Counts[size_t(i)];
      m.Counts.push_back(c);
    }
  } else {
    InfoSection.SetSize(infoSize);
    DataSection.SetSize(dataSize);
    ThumbSection.SetSize(thumbSize);
    RecordCount = oldCount;
  }
  m.Loaded = false;
  InfoSection.Position = infoPos;
  DataSection.Position = dataPos;
  ThumbSection.Position = thumbPos;
  ClearIndex();
  Modified = 1;
  if (!done)
    MessageBox("Flipped tiles was not added to the library.", "Procedure stopped", MB_OK | MB_ICONWARNING);
}

void TVTData::TruncateRecords(int32_t count) {
  const int32_t originals = Originals(*this);
  if (!TableIsOpen() || count >= RecordCount || originals >= RecordCount) return;
  TMatchState& m = Matcher();
  FCompact = TCompactState();
  // The data records are cut at the end of the originals. The info and
  // thumbnail sections are not cut at the first copy's offsets: a copy may
  // share its original's thumbnail, and an original's records may lie behind
  // a copy's; compacting keeps exactly what the originals use.
  DataSection.SetSize(DataRecordOffset(int64_t(originals) + 1, SampleSize));
  DataSection.Position = std::min(DataSection.Position, DataSection.Size());
  RecordCount = originals;
  m.Counts.resize(size_t(originals), 0);
  m.Loaded = false;
  Compact();
  ClearIndex();
  Modified = 1;
}

bool TVTData::AddFlippedKinds(std::initializer_list<int> kinds) {
  FStopBuild = false;
  const int32_t before = RecordCount;
  for (const int kind : kinds)
    if (kind && !FStopBuild) AddFlipped(kind);
  return RecordCount != before;
}

void TVTData::RemoveFlipped() {
  TruncateRecords(Originals(*this));
  if (FlipKinds[1] || FlipKinds[2] || FlipKinds[3]) Modified = 1;
  FlipKinds[1] = FlipKinds[2] = FlipKinds[3] = 0;
}

void TVTData::Compact() {
  if (!TableIsOpen()) return;
  if (FCompact.Holds(*this)) {
    // Nothing was replaced or added since the last one: the same bytes.
    InfoSection.Position = 0;
    ThumbSection.Position = 0;
    return;
  }
  const int32_t count = std::max(RecordCount, 0);
  const int64_t thumbSize = ThumbSection.Size();
  // Each record's info record, where it lies and how long it is, and its blob.
  struct TRecordBytes {
    int64_t Info = 0;
    size_t Size = 0;
    int32_t Blob = 0;
  };
  std::vector<TRecordBytes> records(static_cast<size_t>(count));
  std::vector<int32_t> offsets;
  offsets.reserve(size_t(count));
  const uint8_t* infoBytes = InfoSection.Memory();
  for (int32_t n = 1; n <= count; ++n) {
    TRecordBytes& rec = records[size_t(n - 1)];
    rec.Info = RecordInfoOffset(n);
    const TTileInfoRecord r = InfoRecordAt(rec.Info);  // checks it lies inside the section
    rec.Size = size_t(InfoRecordFixedSize) + GetU16(infoBytes + rec.Info + irPathLen);
    rec.Blob = r.ThumbBlobOffset;
    if (rec.Blob >= SectionTagSize && rec.Blob <= thumbSize - 4) offsets.push_back(rec.Blob);
  }
  std::sort(offsets.begin(), offsets.end());
  offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
  std::vector<int32_t> lengths;
  ReadLengthWords([&](int64_t pos, void* buf, size_t n) { ThumbSection.ReadAt(pos, buf, n); }, thumbSize,
                  offsets, lengths);
  // A blob's length, 0 for none or for one that does not fit the section.
  auto blobLength = [&](int32_t b) -> int64_t {
    const auto it = std::lower_bound(offsets.begin(), offsets.end(), b);
    if (it == offsets.end() || *it != b) return 0;
    const int64_t len = lengths[size_t(it - offsets.begin())];
    return len > 0 && len <= thumbSize - b - 4 ? len : 0;
  };

  std::vector<uint8_t> info(InfoTag, InfoTag + SectionTagSize);
  std::vector<int32_t> infoOffsets(static_cast<size_t>(count));
  TFileStream thumbs = TFileStream::CreateWorkFile();
  try {
    thumbs.WriteBuffer(ThumbTag, SectionTagSize);
    // Blobs that follow each other in the old section as their records do
    // are copied as one piece.
    int64_t runFrom = 0, runBytes = 0, at = SectionTagSize;
    auto endRun = [&] {
      if (runBytes > 0) thumbs.AppendFrom(ThumbSection, runFrom, runBytes);
      runBytes = 0;
    };
    const uint8_t none[4] = {0, 0, 0, 0};
    info.reserve(info.size() + size_t(InfoSection.Size()));
    for (int32_t n = 1; n <= count; ++n) {
      const TRecordBytes& r = records[size_t(n - 1)];
      const int64_t len = blobLength(r.Blob);
      if (len == 0) {
        endRun();
        thumbs.Append(none, 4);
      } else if (runBytes > 0 && runFrom + runBytes == r.Blob) {
        runBytes += 4 + len;
      } else {
        endRun();
        runFrom = r.Blob;
        runBytes = 4 + len;
      }
      // The record's bytes as they are, with its two offsets made anew.
      const size_t to = info.size();
      infoOffsets[size_t(n - 1)] = int32_t(to);
      info.insert(info.end(), infoBytes + r.Info, infoBytes + r.Info + r.Size);
      PutI32(info.data() + to + irSamplesOffset, int32_t(DataRecordOffset(n, SampleSize)));
      PutI32(info.data() + to + irThumbBlobOffset, int32_t(at));
      at += 4 + len;
    }
    endRun();
    thumbs.Flush();
    // Nothing is replaced until every record has been read.
    for (int32_t n = 1; n <= count; ++n) PutI32(DataRecord(n) + drInfoRecOffset, infoOffsets[size_t(n - 1)]);
  } catch (...) {
    thumbs.CloseAndDelete();
    throw;
  }
  InfoSection.Assign(std::move(info));
  TFileStream old = std::move(ThumbSection);
  ThumbSection = std::move(thumbs);
  old.CloseAndDelete();
  InfoSection.Position = 0;
  ThumbSection.Position = 0;
  FCompact.Note(*this);
}

void TVTData::ResetUsage() {
  TMatchState& m = Matcher();
  const int32_t usable = m.Engine.Count();
  for (int32_t n = 1; n <= usable; ++n) {
    uint8_t& flag = DataRecord(n)[drFlag];
    if (flag >= 1 && flag <= kFlagCountMax) flag = 0;
  }
  std::fill(m.Counts.begin(), m.Counts.end(), 0);
  // A build starts here: samples edited in place since the last reload are
  // taken up now.
  m.Loaded = false;
}

void TVTData::ResampleBase(const std::string& fileName, int32_t xres, int32_t yres, uint8_t colorSystem) {
  // Never a grid the library could not be opened with again.
  if (xres < 1 || yres < 1 || xres > MaxSampleSide || yres > MaxSampleSide)
    throw EVitrane(Format("Invalid sample grid %d x %d", xres, yres));
  if (colorSystem < csYCC || colorSystem > csY)
    throw EVitrane(Format("Unknown colour system %d", colorSystem));
  if (!TableIsOpen()) throw EVitrane("No library is open");
  const bool sameSampling =
      xres == XRes && yres == YRes && colorSystem == ColorSystem && int64_t(xres) * yres * 3 == SampleSize;
  const int32_t originals = Originals(*this);
  FBuildCount = 0;
  Bitmap24 sample(xres, yres);
  if (!CreateWorkFiles()) throw EFileError("Cannot create temporary files");
  std::vector<uint8_t> jpeg, samples;
  try {
    for (int32_t i = 0; i < originals; ++i) {
      const uint8_t* rec = DataRecord(i + 1);
      uint8_t flag = rec[drFlag];
      TTileInfoRecord info = RecordInfo(i + 1);
      const int64_t dataAt = WorkData.Size();
      info.SamplesOffset = int32_t(dataAt);
      const bool hasThumb = ReadThumbBlob(info.ThumbBlobOffset, jpeg);
      info.ThumbBlobOffset = hasThumb ? int32_t(WorkThumbs.Size()) : 0;
      if (hasThumb) {
        WorkThumbs.SeekEnd();
        WorkThumbs.Write<int32_t>(int32_t(jpeg.size()));
        WorkThumbs.WriteBytes(jpeg);
      }
      // A record never takes another record's samples: without a readable
      // thumbnail it keeps its own when they still fit, else it is marked
      // deleted.
      bool made = false;
      if (hasThumb) {
        try {
          Bitmap24 pic;
          JpegDecode(jpeg.data(), jpeg.size(), 0, pic);
          StretchBitmap(xres, yres, FilterFromByte(ResampleFilter), 0, pic, sample);
          WriteBitmapPixels(sample, samples, colorSystem);
          made = true;
        } catch (const EVitrane&) {
        }
      }
      if (!made && sameSampling) {
        samples.assign(rec + drSamples, rec + drSamples + SampleSize);
      } else if (!made) {
        samples.assign(size_t(xres) * size_t(yres) * 3, 0);
        flag = FlagDeleted;
      }
      const int32_t infoAt = int32_t(WorkInfo.Size());
      WorkInfo.SeekEnd();
      WorkInfo.WriteBytes(EncodeInfoRecord(info));
      WorkData.SeekEnd();
      WorkData.Write<uint8_t>(flag);
      WorkData.Write<int32_t>(infoAt);
      WorkData.WriteBytes(samples);
      ++FBuildCount;
      if (i % 100 == 0) {
        FProgress = ProgressPercent(i, originals);
        if (OnProgress) OnProgress(*this);
      }
      if (FStopBuild) {
        MessageBox("Pack procedure was cancelled", "Stopped", MB_OK | MB_ICONWARNING);
        break;
      }
    }
  } catch (const std::exception&) {
    MessageBox("Pack procedure was cancelled", "Stopped", MB_OK | MB_ICONWARNING);
  }
  FSampleDepth = SampleDepth;
  FXScale = XScale;
  FYScale = YScale;
  FFilter = ResampleFilter;
  FColorSystem = colorSystem;
  FXRes = xres;
  FYRes = yres;
  WriteBaseFile(fileName);
}

TVTData::TLibraryCheck TVTData::CheckBaseFile(const std::string& fileName) const {
  TLibraryHeader h;
  if (!ProbeHeader(fileName, h)) return lcNotLibrary;
  TLibraryCheck result = lcCompatible;
  if (h.XScale != XScale || h.YScale != YScale) result = lcOtherAspect;
  if (h.XRes != XRes || h.YRes != YRes || h.SampleSize != SampleSize || SampleSize < 0)
    result = lcOtherSampling;
  return result;
}

void TVTData::ReadBaseInfo(const std::string& fileName, TBaseInfo& info) const {
  TLibraryHeader h;
  if (!ProbeHeader(fileName, h)) {
    info.Name.clear();
    return;
  }
  info.Name = fileName;
  info.RecordCount = h.RecordCount;
  info.XScale = h.XScale;
  info.YScale = h.YScale;
  info.XRes = h.XRes;
  info.YRes = h.YRes;
}

void TVTData::GetBaseInfo(TBaseInfo& info) const {
  info.Name = BaseName();
  if (!TableIsOpen()) return;
  info.RecordCount = RecordCount;
  info.XScale = XScale;
  info.YScale = YScale;
  info.XRes = XRes;
  info.YRes = YRes;
}
