// Sort orders (the index the cursor can walk instead of the physical order),
// the link exports for tile choice, and the cell updates of a mosaic.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <numeric>
#include <random>

#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Parallel.h"
#include "tiledb/Match.h"
#include "tiledb/VTData.h"

// ---- Index entries --------------------------------------------------------------------

namespace {

struct TFloatEntry {
  int32_t Offset;
  double Key;
};

// Reads the float entries of an index; a trailing partial entry is dropped.
std::vector<TFloatEntry> ReadFloatEntries(const TMemoryStream& index) {
  std::vector<TFloatEntry> e(size_t(index.Size() / 12));
  const uint8_t* p = index.Memory();
  for (size_t i = 0; i < e.size(); ++i, p += 12) e[i] = {GetI32(p), GetF64(p + 4)};
  return e;
}

void WriteFloatEntries(TMemoryStream& index, const std::vector<TFloatEntry>& e) {
  index.Clear();
  index.SetSize(int64_t(e.size()) * 12);
  uint8_t* p = index.Memory();
  for (const TFloatEntry& x : e) {
    PutI32(p, x.Offset);
    PutF64(p + 4, x.Key);
    p += 12;
  }
}

// A strict weak order on keys even when a damaged file holds NaN details:
// NaN counts as larger than every number.
inline bool KeyLess(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}


}  // namespace

void TVTData::SortKeysAscending() {
  auto e = ReadFloatEntries(SortIndex);
  std::stable_sort(e.begin(), e.end(),
                   [](const TFloatEntry& a, const TFloatEntry& b) { return KeyLess(a.Key, b.Key); });
  WriteFloatEntries(SortIndex, e);
}

void TVTData::SortKeysDescending() {
  auto e = ReadFloatEntries(SortIndex);
  std::stable_sort(e.begin(), e.end(),
                   [](const TFloatEntry& a, const TFloatEntry& b) { return KeyLess(b.Key, a.Key); });
  WriteFloatEntries(SortIndex, e);
}

void TVTData::SortKeysBest(int32_t count) {
  auto e = ReadFloatEntries(SortIndex);
  // Empty slots left by an earlier best-N sort are no candidates.
  std::erase_if(e, [](const TFloatEntry& x) { return x.Offset <= 0; });
  if (count < 0) count = 0;
  // Ties are broken by the entry's first position, which makes the partial
  // sort give exactly the first count entries of a stable sort.
  std::vector<uint32_t> order(e.size());
  std::iota(order.begin(), order.end(), 0u);
  auto less = [&](uint32_t a, uint32_t b) {
    if (KeyLess(e[a].Key, e[b].Key)) return true;
    if (KeyLess(e[b].Key, e[a].Key)) return false;
    return a < b;
  };
  const size_t keep = std::min(order.size(), size_t(count));
  std::partial_sort(order.begin(), order.begin() + std::ptrdiff_t(keep), order.end(), less);
  std::vector<TFloatEntry> best(size_t(count), TFloatEntry{0, 0.0});
  for (size_t i = 0; i < keep; ++i) best[i] = e[order[i]];
  WriteFloatEntries(SortIndex, best);
}

void TVTData::SortNameKeys() {
  constexpr size_t entry = 4 + NameKeySize;
  const size_t count = size_t(SortIndex.Size()) / entry;
  std::vector<uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  const uint8_t* base = SortIndex.Memory();
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return std::memcmp(base + a * entry + 4, base + b * entry + 4, NameKeySize) < 0;
  });
  std::vector<uint8_t> sorted(count * entry);
  for (size_t i = 0; i < count; ++i) std::memcpy(sorted.data() + i * entry, base + order[i] * entry, entry);
  SortIndex.Assign(std::move(sorted));
}

std::string TVTData::NameKey(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  std::string key = slash == std::string::npos ? path : path.substr(slash + 1);
  key.resize(NameKeySize, ' ');
  return key;
}

// ---- Sorts ----------------------------------------------------------------------------

void TVTData::FinishSort() {
  VisibleCount = int32_t(SortIndex.Size() / (4 + IndexKeySize));
  CurIndexPos = 0;
  MoveTo(1);
}

template <typename KeyFn>
void TVTData::BuildFloatIndex(KeyFn&& key) {
  const int32_t count = TableIsOpen() ? RecordCount : 0;
  std::vector<TFloatEntry> e(size_t(std::max(count, 0)));
  for (int32_t r = 1; r <= count; ++r) e[size_t(r - 1)] = {int32_t(DataRecordOffset(r, SampleSize)), key(r)};
  WriteFloatEntries(SortIndex, e);
  IndexKeySize = FloatKeySize;
}

void TVTData::SortByName() {
  const int32_t count = TableIsOpen() ? RecordCount : 0;
  constexpr size_t entry = 4 + NameKeySize;
  std::vector<uint8_t> idx(size_t(std::max(count, 0)) * entry);
  for (int32_t r = 1; r <= count; ++r) {
    uint8_t* p = idx.data() + size_t(r - 1) * entry;
    PutI32(p, int32_t(DataRecordOffset(r, SampleSize)));
    const std::string key = NameKey(RecordInfo(r).Path);
    std::memcpy(p + 4, key.data(), NameKeySize);
  }
  SortIndex.Assign(std::move(idx));
  IndexKeySize = NameKeySize;
  SortNameKeys();
  FinishSort();
}

void TVTData::SortByDetail() {
  BuildFloatIndex([&](int32_t r) { return RecordInfo(r).Detail; });
  SortKeysDescending();
  FinishSort();
}

void TVTData::SortRandom() {
  SortRandom(GetTickMs());
}

void TVTData::SortRandom(uint32_t seed) {
  std::mt19937_64 gen(seed);
  const uint64_t range = uint64_t(std::max<int64_t>(int64_t(RecordCount) * 10, 1));
  // Each record draws an independent integer in 0 .. 10 * RecordCount - 1.
  BuildFloatIndex([&](int32_t) { return double(gen() % range); });
  SortKeysDescending();
  FinishSort();
}

void TVTData::SortBySamples(const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> target(samples);
  target.resize(size_t(std::max(SampleSize, 0)), 0);
  BuildFloatIndex([&](int32_t r) { return SampleDistance(RecordSamples(r), target.data(), SampleSize); });
  SortKeysAscending();
  FinishSort();
}

void TVTData::SortByBitmap(const Bitmap24& bitmap) {
  Bitmap24 small;
  // StretchBitmap only reads its source.
  StretchBitmap(XRes, YRes, FilterFromByte(ResampleFilter), 0, bitmap, small);
  std::vector<uint8_t> target;
  WriteBitmapPixels(small, target, ColorSystem);
  SortBySamples(target);
}

void TVTData::ClearIndex() {
  SortIndex.Clear();
  IndexKeySize = 0;
  VisibleCount = RecordCount;
  CurIndexPos = 0;
}

// ---- Links ----------------------------------------------------------------------------

void TVTData::GetAllLinks(std::vector<int32_t>& links, int32_t mode) const {
  links.assign(size_t(std::max(RecordCount, 0)), -1);
  if (mode < 0 || !TableIsOpen()) return;
  for (int32_t r = 1; r <= RecordCount; ++r) links[size_t(r - 1)] = RecordInfo(r).Link;
}

void TVTData::GetCellLinks(std::vector<int32_t>& links, bool inside, int32_t firstCol, int32_t firstRow,
                           int32_t lastCol, int32_t lastRow, int32_t cols, int32_t rows) const {
  const int64_t cells = cols > 0 && rows > 0 ? int64_t(cols) * rows : 0;
  links.assign(size_t(cells), -1);
  if (firstCol < 0 || !TableIsOpen()) return;
  for (int32_t row = 1; row <= rows; ++row) {
    for (int32_t col = 1; col <= cols; ++col) {
      const bool in = col >= firstCol && col <= lastCol && row >= firstRow && row <= lastRow;
      const int64_t rec = int64_t(row - 1) * cols + col;
      if (in == inside && rec <= RecordCount) links[size_t(rec - 1)] = RecordInfo(int32_t(rec)).Link;
    }
  }
}

// ---- Cell updates ----------------------------------------------------------------------

// Everything a cell update writes, computed before the table is touched.
struct TVTData::TCellRecord {
  uint8_t Flag = 0;
  std::vector<uint8_t> Samples;
  std::vector<uint8_t> Jpeg;
  TTileInfoRecord Info;
};

bool TVTData::ReplaceRecord(int32_t n, const TCellRecord& rec) {
  if (n < 1 || n > RecordCount || !TableIsOpen() || rec.Samples.size() != size_t(SampleSize)) return false;
  uint8_t* data = DataRecord(n);
  TTileInfoRecord info = rec.Info;
  info.SamplesOffset = int32_t(data - DataSection.Memory()) + DataRecordPrefix;
  info.ThumbBlobOffset = AppendThumbBlob(rec.Jpeg.data(), rec.Jpeg.size());
  const int32_t infoAt = AppendInfoRecord(info);
  data = DataRecord(n);
  data[drFlag] = rec.Flag;
  PutI32(data + drInfoRecOffset, infoAt);
  std::memcpy(data + drSamples, rec.Samples.data(), rec.Samples.size());
  Modified = 1;
  MatchDataChanged();
  return true;
}

namespace {

// The source's picture as samples of this grid and colour system.
std::vector<uint8_t> ResampledSamples(const Bitmap24& picture, int32_t xres, int32_t yres,
                                      uint8_t colorSystem) {
  Bitmap24 small;
  StretchBitmap(xres, yres, rfMitchell, 0, picture, small);
  std::vector<uint8_t> v;
  WriteBitmapPixels(small, v, colorSystem);
  return v;
}

TTileInfoRecord SourceInfo(const TVTData& s) {
  TTileInfoRecord r;
  r.Geometry = {uint16_t(s.CurPicWidth),     uint16_t(s.CurPicHeight),      uint16_t(s.CurCropRect.Left),
                uint16_t(s.CurCropRect.Top), uint16_t(s.CurCropRect.Right), uint16_t(s.CurCropRect.Bottom)};
  r.Path = s.CurPath;
  return r;
}

}  // namespace

std::vector<uint8_t> TVTData::SourceSamples(const TVTData& source) const {
  if (source.XRes != XRes || source.YRes != YRes) return {};
  if (source.ColorSystem == ColorSystem) return source.CurSamples;
  return ResampledSamples(source.DisplayBitmap, XRes, YRes, ColorSystem);
}

bool TVTData::SetRecordFrom(int32_t n, const TVTData& source, bool toOriginal) {
  const std::vector<uint8_t> samples = SourceSamples(source);
  return samples.size() == size_t(SampleSize) && SetRecordFrom(n, source, toOriginal, samples.data());
}

bool TVTData::SetRecordFrom(int32_t n, const TVTData& source, bool toOriginal, const uint8_t* samples) {
  if (source.XRes != XRes || source.YRes != YRes || source.CurRecNo < 1 || n < 1 || n > RecordCount)
    return false;
  TCellRecord rec;
  rec.Flag = source.PicDeleted() ? FlagDeleted : FlagUnused;
  rec.Samples.assign(samples, samples + SampleSize);
  rec.Jpeg = !source.CurThumbJpeg.empty() ? source.CurThumbJpeg : JpegEncode(source.DisplayBitmap, FThumbQ);
  rec.Info = SourceInfo(source);
  rec.Info.Link = toOriginal && source.OriginalCount > 0 ? (source.CurRecNo - 1) % source.OriginalCount + 1
                                                         : source.CurRecNo;
  return ReplaceRecord(n, rec);
}

bool TVTData::SetRecordBitmap(int32_t n, const Bitmap24& bitmap, int32_t link, int32_t picWidth,
                              int32_t picHeight, int32_t cropLeft, int32_t cropTop, int32_t cropRight,
                              int32_t cropBottom, const std::string& path) {
  if (n < 1 || n > RecordCount || bitmap.Empty()) return false;
  TCellRecord rec;
  rec.Samples = ResampledSamples(bitmap, XRes, YRes, ColorSystem);
  rec.Jpeg = JpegEncode(bitmap, FThumbQ);
  rec.Info.Link = link;
  rec.Info.Geometry = {uint16_t(picWidth), uint16_t(picHeight), uint16_t(cropLeft),
                       uint16_t(cropTop),  uint16_t(cropRight), uint16_t(cropBottom)};
  rec.Info.Path = path;
  return ReplaceRecord(n, rec);
}

bool TVTData::CopyRecordFrom(int32_t n, const TVTData& source) {
  if (source.XRes != XRes || source.YRes != YRes || source.CurRecNo < 1 || n < 1 || n > RecordCount)
    return false;
  TCellRecord rec;
  rec.Flag = source.PicDeleted() ? FlagDeleted : FlagUnused;
  rec.Samples = source.CurSamples;
  rec.Jpeg = !source.CurThumbJpeg.empty() ? source.CurThumbJpeg : JpegEncode(source.DisplayBitmap, FThumbQ);
  rec.Info = SourceInfo(source);
  return ReplaceRecord(n, rec);
}

void TVTData::CopyAllRecordsFrom(TVTData& source) {
  if (&source == this) {
    for (int32_t n = 1; n <= RecordCount; ++n) {
      source.MoveTo(n);
      CopyRecordFrom(n, source);
    }
    return;
  }
  // In pieces: the records of a piece are read from the source in order,
  // the pictures among them encoded on every processor, and the piece
  // written in order, as the record-by-record copy would write it.
  constexpr int32_t kPiece = 16384;
  struct TCopy {
    bool Valid = false;
    TCellRecord Record;
    Bitmap24 Picture;  // to be encoded, when the source holds no thumbnail
    std::exception_ptr Error;
  };
  std::vector<TCopy> piece;
  for (int32_t first = 1; first <= RecordCount; first += kPiece) {
    const int32_t last = std::min<int64_t>(int64_t(first) + kPiece - 1, RecordCount);
    piece.assign(size_t(last - first + 1), TCopy());
    for (int32_t n = first; n <= last; ++n) {
      source.MoveTo(n);
      TCopy& c = piece[size_t(n - first)];
      if (source.XRes != XRes || source.YRes != YRes || source.CurRecNo < 1) continue;
      c.Valid = true;
      c.Record.Flag = source.PicDeleted() ? FlagDeleted : FlagUnused;
      c.Record.Samples = source.CurSamples;
      c.Record.Info = SourceInfo(source);
      if (!source.CurThumbJpeg.empty())
        c.Record.Jpeg = source.CurThumbJpeg;
      else
        c.Picture = source.DisplayBitmap;
    }
    ParallelStretches(int64_t(piece.size()), 0, 256, [&](int64_t from, int64_t to) {
      for (int64_t i = from; i < to; ++i) {
        TCopy& c = piece[size_t(i)];
        if (!c.Valid || c.Picture.Empty()) continue;
        try {
          c.Record.Jpeg = JpegEncode(c.Picture, FThumbQ);
        } catch (...) {
          c.Error = std::current_exception();
        }
      }
    });
    for (int32_t n = first; n <= last; ++n) {
      TCopy& c = piece[size_t(n - first)];
      if (c.Error) std::rethrow_exception(c.Error);
      if (c.Valid) ReplaceRecord(n, c.Record);
    }
  }
}
