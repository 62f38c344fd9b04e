// The library image: the on-disk form of one table. A 79-byte header, then the
// sections ".txt" (info records), ".dat" (fixed-size data records) and ".tmb"
// (JPEG thumbnail blobs). A .vt2 file is one image; a .vtp project embeds two.
// Everything is little-endian and packed; offsets inside records count from
// the start of their section, tag included, so first records sit at 4.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/Types.h"

inline constexpr std::array<uint8_t, 8> LibraryMagic = {0x00, 0xFF, 0x20, 'V', 'T', 'B', '2', '1'};
inline constexpr int LibraryHeaderSize = 79;
inline constexpr int SectionTagSize = 4;
inline constexpr char InfoTag[] = ".txt";
inline constexpr char DataTag[] = ".dat";
inline constexpr char ThumbTag[] = ".tmb";

// Header field offsets.
enum : int {
  lhMagic = 0,
  lhRecordCount = 8,
  lhSampleDepth = 12,
  lhColorSystem = 13,
  lhResampleFilter = 14,
  lhOriginalCount = 15,
  lhFlipKinds = 19,
  lhReserved = 23,
  lhXScale = 55,
  lhYScale = 57,
  lhXRes = 59,
  lhYRes = 61,
  lhSampleSize = 63,
  lhInfoOffset = 67,
  lhDataOffset = 71,
  lhThumbOffset = 75,
};

// Data record: Flag, InfoRecOffset, then the N sample bytes.
enum : int { drFlag = 0, drInfoRecOffset = 1, drSamples = 5 };
inline constexpr int DataRecordPrefix = 5;

// Info record: 38 fixed bytes, then the path.
enum : int {
  irPathLen = 0,
  irSamplesOffset = 2,
  irThumbBlobOffset = 6,
  irLink = 10,
  irCellRow = 14,
  irDetail = 18,
  irGeometry = 26,
  irPath = 38,
};
inline constexpr int InfoRecordFixedSize = 38;

// Tile flags (first byte of a data record).
inline constexpr uint8_t FlagUnused = 0;
inline constexpr uint8_t FlagMaxUse = 250;
inline constexpr uint8_t FlagDeletedMin = 251;
inline constexpr uint8_t FlagDeleted = 255;

// The largest sample grid side the program makes: the resample settings go
// up to 100 x 100 (new libraries are 6 x 6). A file declaring more was not
// made by the program and is refused before a sample picture is made for it.
inline constexpr int MaxSampleSide = 100;

// A hand-placed (custom or forced) tile in a mosaic cell.
inline constexpr int32_t CustomTileLink = 1000000000;

struct TLibraryHeader {
  int32_t RecordCount = 0;
  uint8_t SampleDepth = 0;
  uint8_t ColorSystem = 0;
  uint8_t ResampleFilter = 0;
  int32_t OriginalCount = 0;
  std::array<uint8_t, 4> FlipKinds{};
  uint16_t XScale = 0, YScale = 0, XRes = 0, YRes = 0;
  int32_t SampleSize = 0;
  int32_t InfoOffset = 0, DataOffset = 0, ThumbOffset = 0;
  bool operator==(const TLibraryHeader&) const = default;
};

// The 79 header bytes exactly as stored (reserved bytes zero).
std::array<uint8_t, LibraryHeaderSize> EncodeLibraryHeader(const TLibraryHeader& h);
// The header fields of the 79 bytes at p, as stored (no validation; the
// caller checks the magic first with HasLibraryMagic).
TLibraryHeader DecodeLibraryHeader(const uint8_t* p);
bool HasLibraryMagic(const uint8_t* p, size_t size);

// One info record with its fields as stored.
struct TTileInfoRecord {
  int32_t SamplesOffset = 0;
  int32_t ThumbBlobOffset = 0;
  int32_t Link = 0;
  int32_t CellRow = 0;
  double Detail = 0;
  // Picture width, height, crop left, top, right, bottom.
  std::array<uint16_t, 6> Geometry{};
  std::string Path;
};

// Appends the record's bytes (38 + path length; the path is cut at 65535).
void EncodeInfoRecord(const TTileInfoRecord& r, std::vector<uint8_t>& out);
std::vector<uint8_t> EncodeInfoRecord(const TTileInfoRecord& r);
// Reads the record at offset of a section of size bytes; false when the
// record or its path would run past the end.
bool DecodeInfoRecord(const uint8_t* section, size_t size, int64_t offset, TTileInfoRecord& r);

// The int32 length words of the thumbnail blobs at the given offsets, which
// are sorted and each have 4 bytes inside a section of sectionSize bytes;
// read in large pieces through read(position, buffer, count).
void ReadLengthWords(const std::function<void(int64_t, void*, size_t)>& read, int64_t sectionSize,
                     const std::vector<int32_t>& offsets, std::vector<int32_t>& lengths);

// Where record recNo (1-based) of a ".dat" section with N-byte samples starts.
constexpr int64_t DataRecordOffset(int64_t recNo, int64_t n) {
  return 4 + (recNo - 1) * (n + DataRecordPrefix);
}
// The record number a SamplesOffset or data-record offset stands for: both
// the record's own offset and its offset + 5 give the same record (N >= 6).
int32_t RecordFromOffset(int64_t offset, int64_t n);

// Little-endian access to packed fields.
inline int32_t GetI32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline uint16_t GetU16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline double GetF64(const uint8_t* p) {
  double v;
  std::memcpy(&v, p, 8);
  return v;
}
inline void PutI32(uint8_t* p, int32_t v) {
  std::memcpy(p, &v, 4);
}
inline void PutU16(uint8_t* p, uint16_t v) {
  std::memcpy(p, &v, 2);
}
inline void PutF64(uint8_t* p, double v) {
  std::memcpy(p, &v, 8);
}
