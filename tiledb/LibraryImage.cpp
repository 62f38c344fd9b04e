#include "tiledb/LibraryImage.h"

#include <algorithm>

#include "platform/Rounding.h"

std::array<uint8_t, LibraryHeaderSize> EncodeLibraryHeader(const TLibraryHeader& h) {
  std::array<uint8_t, LibraryHeaderSize> b{};
  std::copy(LibraryMagic.begin(), LibraryMagic.end(), b.begin());
  uint8_t* p = b.data();
  PutI32(p + lhRecordCount, h.RecordCount);
  p[lhSampleDepth] = h.SampleDepth;
  p[lhColorSystem] = h.ColorSystem;
  p[lhResampleFilter] = h.ResampleFilter;
  PutI32(p + lhOriginalCount, h.OriginalCount);
  std::copy(h.FlipKinds.begin(), h.FlipKinds.end(), p + lhFlipKinds);
  PutU16(p + lhXScale, h.XScale);
  PutU16(p + lhYScale, h.YScale);
  PutU16(p + lhXRes, h.XRes);
  PutU16(p + lhYRes, h.YRes);
  PutI32(p + lhSampleSize, h.SampleSize);
  PutI32(p + lhInfoOffset, h.InfoOffset);
  PutI32(p + lhDataOffset, h.DataOffset);
  PutI32(p + lhThumbOffset, h.ThumbOffset);
  return b;
}

TLibraryHeader DecodeLibraryHeader(const uint8_t* p) {
  TLibraryHeader h;
  h.RecordCount = GetI32(p + lhRecordCount);
  h.SampleDepth = p[lhSampleDepth];
  h.ColorSystem = p[lhColorSystem];
  h.ResampleFilter = p[lhResampleFilter];
  h.OriginalCount = GetI32(p + lhOriginalCount);
  std::copy(p + lhFlipKinds, p + lhFlipKinds + 4, h.FlipKinds.begin());
  h.XScale = GetU16(p + lhXScale);
  h.YScale = GetU16(p + lhYScale);
  h.XRes = GetU16(p + lhXRes);
  h.YRes = GetU16(p + lhYRes);
  h.SampleSize = GetI32(p + lhSampleSize);
  h.InfoOffset = GetI32(p + lhInfoOffset);
  h.DataOffset = GetI32(p + lhDataOffset);
  h.ThumbOffset = GetI32(p + lhThumbOffset);
  return h;
}

bool HasLibraryMagic(const uint8_t* p, size_t size) {
  return size >= LibraryMagic.size() && std::equal(LibraryMagic.begin(), LibraryMagic.end(), p);
}

void EncodeInfoRecord(const TTileInfoRecord& r, std::vector<uint8_t>& out) {
  const size_t len = std::min<size_t>(r.Path.size(), 65535);
  const size_t at = out.size();
  out.resize(at + InfoRecordFixedSize + len);
  uint8_t* p = out.data() + at;
  PutU16(p + irPathLen, uint16_t(len));
  PutI32(p + irSamplesOffset, r.SamplesOffset);
  PutI32(p + irThumbBlobOffset, r.ThumbBlobOffset);
  PutI32(p + irLink, r.Link);
  PutI32(p + irCellRow, r.CellRow);
  PutF64(p + irDetail, r.Detail);
  for (int i = 0; i < 6; ++i) PutU16(p + irGeometry + 2 * i, r.Geometry[size_t(i)]);
  std::memcpy(p + irPath, r.Path.data(), len);
}

std::vector<uint8_t> EncodeInfoRecord(const TTileInfoRecord& r) {
  std::vector<uint8_t> v;
  EncodeInfoRecord(r, v);
  return v;
}

bool DecodeInfoRecord(const uint8_t* section, size_t size, int64_t offset, TTileInfoRecord& r) {
  if (offset < 0 || offset > int64_t(size) || int64_t(size) - offset < InfoRecordFixedSize) return false;
  const uint8_t* p = section + offset;
  const uint16_t len = GetU16(p + irPathLen);
  if (int64_t(size) - offset - InfoRecordFixedSize < len) return false;
  r.SamplesOffset = GetI32(p + irSamplesOffset);
  r.ThumbBlobOffset = GetI32(p + irThumbBlobOffset);
  r.Link = GetI32(p + irLink);
  r.CellRow = GetI32(p + irCellRow);
  r.Detail = GetF64(p + irDetail);
  for (int i = 0; i < 6; ++i) r.Geometry[size_t(i)] = GetU16(p + irGeometry + 2 * i);
  r.Path.assign(reinterpret_cast<const char*>(p + irPath), len);
  return true;
}

int32_t RecordFromOffset(int64_t offset, int64_t n) {
  return int32_t(RoundDiv(offset - 4, n + DataRecordPrefix) + 1);
}

void ReadLengthWords(const std::function<void(int64_t, void*, size_t)>& read, int64_t sectionSize,
                     const std::vector<int32_t>& offsets, std::vector<int32_t>& lengths) {
  constexpr int64_t kWindow = int64_t(1) << 20;
  lengths.resize(offsets.size());
  std::vector<uint8_t> window;
  int64_t from = 0, to = 0;
  for (size_t i = 0; i < offsets.size(); ++i) {
    const int64_t off = offsets[i];
    if (off + 4 > to || off < from) {
      from = off;
      to = std::min(sectionSize, off + kWindow);
      window.resize(size_t(to - from));
      read(from, window.data(), window.size());
    }
    lengths[i] = GetI32(window.data() + (off - from));
  }
}
