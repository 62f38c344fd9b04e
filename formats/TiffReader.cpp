#include "formats/TiffReader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/PictureInput.h"
#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

constexpr const char* kInvalidFile = "Invalid TIFF file.";
constexpr const char* kReadError = "Stream read error";

// Where the reader takes its bytes from: every read is checked against the
// size, so a short file becomes an error before any byte is used.
class TTiffSource {
 public:
  virtual ~TTiffSource() = default;
  uint64_t Size() const { return FSize; }
  void Read(uint64_t offset, void* buf, size_t count) {
    if (offset > FSize || count > FSize - offset) throw EInvalidGraphic(kReadError);
    if (count > 0) ReadRaw(offset, buf, count);
  }

 protected:
  virtual void ReadRaw(uint64_t offset, void* buf, size_t count) = 0;
  uint64_t FSize = 0;
};

class TMemorySource : public TTiffSource {
 public:
  TMemorySource(const uint8_t* data, size_t size) : FData(data) { FSize = size; }

 private:
  void ReadRaw(uint64_t offset, void* buf, size_t count) override { std::memcpy(buf, FData + offset, count); }
  const uint8_t* FData;
};

// A file read in place, so a picture of gigabytes is not held twice.
class TFileSource : public TTiffSource {
 public:
  explicit TFileSource(const std::string& fileName) : FFile(fileName) { FSize = FFile.Size(); }

 private:
  void ReadRaw(uint64_t offset, void* buf, size_t count) override {
    // The file shrank under us.
    if (FFile.ReadAt(offset, buf, count) < count)
      throw EFileError(Format("Cannot read file \"%s\"", FFile.Name().c_str()));
  }
  TFileReader FFile;
};

struct TTiffEntry {
  uint16_t Tag, Type;
  uint32_t Count;
  uint8_t Value[4];
};

enum : uint16_t {
  tagImageWidth = 256,
  tagImageLength = 257,
  tagBitsPerSample = 258,
  tagCompression = 259,
  tagPhotometric = 262,
  tagFillOrder = 266,
  tagStripOffsets = 273,
  tagSamplesPerPixel = 277,
  tagRowsPerStrip = 278,
  tagStripByteCounts = 279,
  tagPlanarConfiguration = 284,
  tagPredictor = 317,
  tagColorMap = 320,
  tagExtraSamples = 338,
  tagYCbCrCoefficients = 529,
  tagYCbCrSubSampling = 530,
  tagReferenceBlackWhite = 532,
};

// How one row of file samples becomes a row of the bitmap.
enum class TRowKind { Indexed, Indexed16, FirstSample, RGB, RGBA, Copy, Lab, CMYK, YCbCr };

// Rows of the picture that come from one strip of each plane: the strips of
// plane p are stored after those of the planes before it.
struct TBand {
  uint32_t Rows;
  size_t Strip;  // the first plane's strip
};

// The bands of rows and their strips. Interleaved strips come in order, the
// RowsPerStrip values one a strip (the last serving the rest) or one for
// all, a single strip holding the whole picture. In separate planes every
// plane has the same strips, so their number is the standard's and the
// offsets must cover all the planes.
std::vector<TBand> PlanBands(size_t strips, std::vector<uint32_t> rowsPerStrip, uint32_t height,
                             uint32_t planes, size_t& stripsPerPlane) {
  std::vector<TBand> bands;
  if (planes == 1) {
    stripsPerPlane = strips;
    if (strips == 1)
      rowsPerStrip.assign(1, height);
    else if (rowsPerStrip.empty())
      rowsPerStrip.assign(1, uint32_t((uint64_t(height) + strips - 1) / strips));
    for (size_t i = 0, row = 0; i < strips && row < height; ++i) {
      const uint32_t rows =
          std::min<uint32_t>(rowsPerStrip[std::min(i, rowsPerStrip.size() - 1)], height - row);
      if (rows == 0) continue;
      bands.push_back({rows, i});
      row += rows;
    }
    return bands;
  }
  uint64_t rows = rowsPerStrip.empty() ? 0 : rowsPerStrip[0];
  if (strips == planes) {
    stripsPerPlane = 1;
    rows = height;
  } else if (rows == 0) {
    stripsPerPlane = strips / planes;
    rows = stripsPerPlane == 0 ? height : (uint64_t(height) + stripsPerPlane - 1) / stripsPerPlane;
  } else {
    stripsPerPlane = size_t((uint64_t(height) + rows - 1) / rows);
  }
  if (stripsPerPlane == 0 || strips / planes < stripsPerPlane)
    throw EInvalidGraphic("TIFF: strip offsets missing for separate planes.");
  for (size_t i = 0; i < stripsPerPlane && i * rows < height; ++i)
    bands.push_back({uint32_t(std::min<uint64_t>(rows, height - i * rows)), i});
  return bands;
}

class TTiffReader {
 public:
  explicit TTiffReader(TTiffSource& source) : FSource(source) {}
  void Load(Bitmap24& out);

 private:
  uint16_t Get16(const uint8_t* p) const {
    return FBigEndian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
  }
  uint32_t Get32(const uint8_t* p) const {
    return FBigEndian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                      : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }
  static size_t NumericSize(uint16_t type) {
    switch (type) {
      case 1:
        return 1;  // BYTE
      case 3:
      case 8:
        return 2;  // SHORT, SSHORT
      case 4:
      case 9:
        return 4;  // LONG, SLONG
      default:
        return 0;  // any other type counts as absent
    }
  }
  uint32_t Element(const uint8_t* p, size_t size) const {
    return size == 1 ? p[0] : size == 2 ? Get16(p) : Get32(p);
  }
  const TTiffEntry* Find(uint16_t tag) const;
  uint32_t GetValue(uint16_t tag, uint32_t absent);
  std::vector<uint32_t> GetArray(uint16_t tag);
  std::vector<double> GetRationals(uint16_t tag, size_t most);
  TYCbCrConverter MakeYCbCrConverter();
  void BuildPalette(TRowKind kind, uint32_t bits, uint32_t photometric);

  TTiffSource& FSource;
  bool FBigEndian = false;
  std::vector<TTiffEntry> FEntries;
  std::array<uint8_t, 768> FPalette{};  // B, G, R
};

// Bisection on the tag over the entries sorted at load; of entries that
// repeat a tag the first in the file is found.
const TTiffEntry* TTiffReader::Find(uint16_t tag) const {
  const auto it = std::lower_bound(FEntries.begin(), FEntries.end(), tag,
                                   [](const TTiffEntry& e, uint16_t t) { return e.Tag < t; });
  return it != FEntries.end() && it->Tag == tag ? &*it : nullptr;
}

uint32_t TTiffReader::GetValue(uint16_t tag, uint32_t absent) {
  const TTiffEntry* e = Find(tag);
  if (e == nullptr || e->Count == 0) return absent;
  const size_t size = NumericSize(e->Type);
  if (size == 0) return absent;
  if (uint64_t(e->Count) * size <= 4) return Element(e->Value, size);
  uint8_t first[4];
  FSource.Read(Get32(e->Value), first, size);
  return Element(first, size);
}

std::vector<uint32_t> TTiffReader::GetArray(uint16_t tag) {
  const TTiffEntry* e = Find(tag);
  std::vector<uint32_t> values;
  if (e == nullptr) return values;
  const size_t size = NumericSize(e->Type);
  if (size == 0) return values;
  const uint64_t bytes = uint64_t(e->Count) * size;
  std::vector<uint8_t> raw;
  const uint8_t* p = e->Value;
  if (bytes > 4) {
    // The array must lie in the file before it is given memory.
    const uint64_t at = Get32(e->Value);
    if (at > FSource.Size() || bytes > FSource.Size() - at) throw EInvalidGraphic(kReadError);
    raw.resize(size_t(bytes));
    FSource.Read(at, raw.data(), raw.size());
    p = raw.data();
  }
  values.resize(e->Count);
  for (uint32_t i = 0; i < e->Count; ++i) values[i] = Element(p + size_t(i) * size, size);
  return values;
}

// Up to most RATIONAL or SRATIONAL values; none when the entry is absent or
// of another type. A zero denominator gives a value that is not a number.
std::vector<double> TTiffReader::GetRationals(uint16_t tag, size_t most) {
  const TTiffEntry* e = Find(tag);
  std::vector<double> values;
  if (e == nullptr || (e->Type != 5 && e->Type != 10)) return values;
  std::vector<uint8_t> raw(std::min<size_t>(e->Count, most) * 8);
  FSource.Read(Get32(e->Value), raw.data(), raw.size());
  for (size_t i = 0; i < raw.size(); i += 8) {
    const uint32_t n = Get32(&raw[i]), d = Get32(&raw[i + 4]);
    const double num = e->Type == 10 ? double(int32_t(n)) : double(n);
    const double den = e->Type == 10 ? double(int32_t(d)) : double(d);
    values.push_back(d == 0 ? std::nan("") : num / den);
  }
  return values;
}

// The file's luma coefficients and reference black and white, or the usual
// ones: the standard's own default black and white (0 to 255 for every
// component) would make no sense of colour differences.
TYCbCrConverter TTiffReader::MakeYCbCrConverter() {
  double luma[3] = {0.299, 0.587, 0.114};
  double blackWhite[6] = {0, 255, 128, 255, 128, 255};
  if (Find(tagYCbCrCoefficients) != nullptr) {
    const std::vector<double> v = GetRationals(tagYCbCrCoefficients, 3);
    if (v.size() < 3 || !std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); }) ||
        v[1] == 0)
      throw EInvalidGraphic("TIFF: invalid YCbCr coefficients.");
    std::copy(v.begin(), v.end(), luma);
  }
  if (Find(tagReferenceBlackWhite) != nullptr) {
    const std::vector<double> v = GetRationals(tagReferenceBlackWhite, 6);
    if (v.size() < 6 || !std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); }) ||
        v[0] == v[1] || v[2] == v[3] || v[4] == v[5])
      throw EInvalidGraphic("TIFF: invalid reference black and white.");
    std::copy(v.begin(), v.end(), blackWhite);
  }
  return TYCbCrConverter(luma, blackWhite);
}

void TTiffReader::BuildPalette(TRowKind kind, uint32_t bits, uint32_t photometric) {
  // 16-bit samples are shown through their high byte, so they take the
  // 8-bit palette.
  const uint32_t indexBits = kind == TRowKind::Indexed ? bits : 8;
  const uint32_t entries = 1u << indexBits;
  auto grey = [this](uint32_t k, uint8_t v) {
    FPalette[3 * k] = FPalette[3 * k + 1] = FPalette[3 * k + 2] = v;
  };
  if (photometric == 3) {
    if (bits > 8) throw EInvalidGraphic("TIFF: palette of more than 256 colours.");
    const std::vector<uint32_t> map = GetArray(tagColorMap);
    if (map.size() < 3 * size_t(entries)) throw EInvalidGraphic("TIFF: colour map missing or short.");
    for (uint32_t k = 0; k < entries; ++k) {
      FPalette[3 * k] = uint8_t(map[2 * entries + k] >> 8);
      FPalette[3 * k + 1] = uint8_t(map[entries + k] >> 8);
      FPalette[3 * k + 2] = uint8_t(map[k] >> 8);
    }
    return;
  }
  // Greys: 4-bit values step by 16, so the brightest is 240.
  const bool whiteIsZero = photometric == 0;
  for (uint32_t k = 0; k < entries; ++k) {
    const uint8_t v = indexBits == 1 ? uint8_t(k * 255) : indexBits == 4 ? uint8_t(k * 16) : uint8_t(k);
    grey(whiteIsZero ? entries - 1 - k : k, v);
  }
}

void TTiffReader::Load(Bitmap24& out) {
  out.Clear();
  uint8_t header[8];
  FSource.Read(0, header, sizeof header);
  FBigEndian = header[0] == 'M' && header[1] == 'M';
  if (Get16(header + 2) != 42) throw EInvalidGraphic(kInvalidFile);
  const uint64_t ifd = Get32(header + 4);

  uint8_t countBytes[2];
  FSource.Read(ifd, countBytes, 2);
  const size_t entryCount = Get16(countBytes);
  std::vector<uint8_t> raw(entryCount * 12);
  FSource.Read(ifd + 2, raw.data(), raw.size());
  FEntries.resize(entryCount);
  for (size_t i = 0; i < entryCount; ++i) {
    const uint8_t* p = raw.data() + 12 * i;
    FEntries[i] = {Get16(p), Get16(p + 2), Get32(p + 4), {p[8], p[9], p[10], p[11]}};
  }
  // TIFF 6.0 wants ascending tags, but writers in use break the order
  // and common readers take such files; a stable sort keeps a repeated
  // tag's first entry ahead of its later ones.
  std::stable_sort(FEntries.begin(), FEntries.end(),
                   [](const TTiffEntry& a, const TTiffEntry& b) { return a.Tag < b.Tag; });

  const uint32_t width = GetValue(tagImageWidth, 0), height = GetValue(tagImageLength, 0);
  const uint32_t bits = GetValue(tagBitsPerSample, 1);
  const uint32_t compression = GetValue(tagCompression, 0);
  const uint32_t photometric = GetValue(tagPhotometric, 0);
  const uint32_t samples = GetValue(tagSamplesPerPixel, 1);
  const uint32_t predictor = GetValue(tagPredictor, 0);
  const TTiffEntry* extraEntry = Find(tagExtraSamples);
  const uint32_t extra = extraEntry ? extraEntry->Count : 0;
  const bool planar = samples > 1 && GetValue(tagPlanarConfiguration, 1) == 2;
  const bool reverseBits = GetValue(tagFillOrder, 1) == 2;

  if (bits != 1 && bits != 4 && bits != 8 && bits != 16)
    throw EInvalidGraphic(Format("TIFF: %u bits per sample are not supported.", bits));
  if (samples == 0 || samples > 16) throw EInvalidGraphic(Format("TIFF: %u samples per pixel.", samples));
  if (extra > samples) throw EInvalidGraphic("TIFF: more extra samples than samples per pixel.");
  const uint32_t colourSamples = samples - extra;

  TRowKind kind;
  bool supported = false;
  if (colourSamples == 1) {
    kind = samples > 1 ? TRowKind::FirstSample : bits == 16 ? TRowKind::Indexed16 : TRowKind::Indexed;
    supported = samples == 1 || bits >= 8;
  } else if (colourSamples == 3 && photometric == 2) {
    kind = samples == 3 ? TRowKind::RGB : TRowKind::RGBA;
    supported = samples <= 4 && bits >= 8;
  } else if (colourSamples == 3 && photometric == 6) {
    kind = TRowKind::YCbCr;
    supported = samples == 3 && bits == 8;
  } else if (colourSamples == 3 && photometric == 8) {
    kind = TRowKind::Lab;
    supported = samples == 3 && bits == 8;
  } else if (colourSamples == 4 && photometric == 2) {
    kind = TRowKind::RGBA;
    supported = samples == 4 && bits >= 8;
  } else if (colourSamples == 4 && photometric == 5) {
    kind = TRowKind::CMYK;
    supported = samples == 4 && bits >= 8;
  } else {
    kind = TRowKind::Copy;
  }
  if (!supported)
    throw EInvalidGraphic(
        Format("TIFF: %u samples of %u bits with photometric interpretation %u are not supported.", samples,
               bits, photometric));
  if (colourSamples == 1) BuildPalette(kind, bits, photometric);

  if (width == 0 || height == 0) throw EInvalidGraphic(kInvalidFile);
  CheckPictureSize(width, height, "TIFF");
  const uint64_t rowBytes = (uint64_t(width) * bits * samples + 7) / 8;

  std::unique_ptr<TDecoder> decoder;
  uint64_t expansion = 1;  // the most bytes one packed byte can give
  if (compression == 5) {
    decoder = std::make_unique<TTIFFLZW>();
    // A string of the LZW table is at most 4,096 bytes long and takes a 12-bit
    // code (shorter codes only reach shorter strings).
    expansion = 4096 * 8 / 12 + 1;
  } else if (compression == 32773) {
    decoder = std::make_unique<TPackbitsRLE>();
    expansion = 64;
  } else if (compression != 1) {
    throw EInvalidGraphic("TIFF: Unknown compression scheme");
  }

  // YCbCr pixels may come in data units: subH x subV luma samples, then one
  // Cb and one Cr for all of them.
  uint32_t subH = 1, subV = 1;
  std::optional<TYCbCrConverter> ycbcr;
  if (kind == TRowKind::YCbCr) {
    const std::vector<uint32_t> sub = GetArray(tagYCbCrSubSampling);
    subH = sub.size() > 0 ? sub[0] : 2;
    subV = sub.size() > 1 ? sub[1] : 2;
    auto allowed = [](uint32_t n) { return n == 1 || n == 2 || n == 4; };
    if (!allowed(subH) || !allowed(subV))
      throw EInvalidGraphic(Format("TIFF: YCbCr subsampling %u,%u is not supported.", subH, subV));
    if (subH * subV > 1 && planar)
      throw EInvalidGraphic("TIFF: subsampled YCbCr in separate planes is not supported.");
    if (subH * subV > 1 && predictor == 2)
      throw EInvalidGraphic("TIFF: subsampled YCbCr with a predictor is not supported.");
    ycbcr.emplace(MakeYCbCrConverter());
  }
  const bool subsampled = subH * subV > 1;
  const size_t unitBytes = size_t(subH) * subV + 2;
  const uint64_t unitsAcross = (uint64_t(width) + subH - 1) / subH;
  const uint32_t planes = planar ? samples : 1;
  const uint64_t planeRowBytes = planar ? (uint64_t(width) * bits + 7) / 8 : rowBytes;
  // The bytes a strip of rows rows holds for one plane.
  auto stripBytes = [&](uint64_t rows) {
    return subsampled ? (rows + subV - 1) / subV * unitsAcross * unitBytes : rows * planeRowBytes;
  };

  const std::vector<uint32_t> offsets = GetArray(tagStripOffsets);
  if (offsets.empty()) throw EInvalidGraphic("TIFF: no strip offsets.");
  const std::vector<uint32_t> byteCounts = decoder ? GetArray(tagStripByteCounts) : std::vector<uint32_t>();
  if (decoder && byteCounts.size() < offsets.size())
    throw EInvalidGraphic("TIFF: strip byte counts missing.");
  size_t stripsPerPlane = 0;
  const std::vector<TBand> bands =
      PlanBands(offsets.size(), GetArray(tagRowsPerStrip), height, planes, stripsPerPlane);

  // The picture must come from data the file holds before it is allocated:
  // every strip read lies in the file, and what they decode to is bounded by
  // their bytes (never more than the whole file) times the largest ratio.
  uint64_t packedBytes = 0;
  for (const TBand& band : bands)
    for (uint32_t p = 0; p < planes; ++p) {
      const size_t k = band.Strip + p * stripsPerPlane;
      const uint64_t count = decoder ? byteCounts[k] : stripBytes(band.Rows);
      if (uint64_t(offsets[k]) + count > FSource.Size()) throw EInvalidGraphic(kReadError);
      packedBytes += count;
    }
  if (planes * stripBytes(height) > expansion * std::min(packedBytes, FSource.Size()))
    throw EInvalidGraphic(kReadError);
  out.SetSize(int(width), int(height));

  // Byte order and prediction undone on one row of one plane (or of all
  // samples when they are interleaved).
  auto prepareRow = [&](uint8_t* s, size_t samplesPerPixel) {
    if (bits == 16 && FBigEndian) SwapShorts(s, size_t(width) * samplesPerPixel);
    if (predictor != 2) return;
    if (bits >= 8)
      UndoHorizontalPredictor(s, width, samplesPerPixel, int(bits));
    else  // differencing of packed pixels, byte by byte within the row
      UndoPredictor1(s, size_t(std::min<uint64_t>(width, rowBytes) - 1));
  };
  const size_t bytesPerSample = bits / 8;
  // The strip buffer is not cleared ahead: a decoder fills what it can and
  // only the rest, which short data leaves, is zeroed.
  std::unique_ptr<uint8_t[]> strip;
  size_t stripCapacity = 0;
  std::vector<uint8_t> packed, line(size_t(std::max<uint64_t>(width, rowBytes)));
  std::vector<uint8_t> interleaved(planar ? size_t(rowBytes) : 0);
  uint32_t row = 0;
  for (const TBand& band : bands) {
    const uint32_t rows = band.Rows;
    const size_t size = size_t(stripBytes(rows));
    if (size * planes > stripCapacity) {
      strip.reset(new uint8_t[size * planes]);
      stripCapacity = size * planes;
    }
    for (uint32_t p = 0; p < planes; ++p) {
      const size_t k = band.Strip + p * stripsPerPlane;
      uint8_t* into = strip.get() + p * size;
      if (decoder) {
        const uint32_t count = byteCounts[k];
        packed.resize(count);
        FSource.Read(offsets[k], packed.data(), count);
        if (reverseBits) ReverseBits(packed.data(), count);
        const uint8_t* src = packed.data();
        const size_t written = decoder->Decode(src, into, count, size);
        std::memset(into + written, 0, size - written);
      } else {
        FSource.Read(offsets[k], into, size);
        if (reverseBits) ReverseBits(into, size);
      }
    }
    for (uint32_t r = 0; r < rows; ++r, ++row) {
      uint8_t* d = out.ScanLine(int(row));
      if (subsampled) {
        // The data unit of each pixel gives its luma and the unit's colour.
        const uint8_t* units = strip.get() + size_t(r / subV * unitsAcross * unitBytes);
        const size_t inUnit = size_t(r % subV) * subH;
        for (size_t x = 0; x < width; ++x) {
          const uint8_t* unit = units + x / subH * unitBytes;
          line[3 * x] = unit[inUnit + x % subH];
          line[3 * x + 1] = unit[unitBytes - 2];
          line[3 * x + 2] = unit[unitBytes - 1];
        }
        ycbcr->Row(line.data(), d, size_t(width) * 3);
        continue;
      }
      uint8_t* s;
      if (planar) {
        for (uint32_t p = 0; p < planes; ++p) {
          uint8_t* plane = strip.get() + p * size + size_t(r * planeRowBytes);
          prepareRow(plane, 1);
          for (size_t x = 0; x < width; ++x)
            std::memcpy(&interleaved[(x * samples + p) * bytesPerSample], plane + x * bytesPerSample,
                        bytesPerSample);
        }
        s = interleaved.data();
      } else {
        s = strip.get() + size_t(r * rowBytes);
        prepareRow(s, samples);
      }
      const size_t count = size_t(width) * samples;
      switch (kind) {
        case TRowKind::Indexed:
          ConvertIndexedToDIB(s, d, int(width), int(bits), FPalette.data());
          break;
        case TRowKind::Indexed16:
          Convert16To8(s, line.data(), width);
          ConvertIndexedToDIB(line.data(), d, int(width), 8, FPalette.data());
          break;
        case TRowKind::FirstSample:
          for (size_t x = 0; x < width; ++x) {
            const size_t at = x * samples * bytesPerSample;
            line[x] = bits == 16 ? uint8_t((s[at] | s[at + 1] << 8) >> 8) : s[at];
          }
          ConvertIndexedToDIB(line.data(), d, int(width), 8, FPalette.data());
          break;
        case TRowKind::RGB:
          ConvertRGBToDIB(s, d, count, int(bits));
          break;
        case TRowKind::RGBA:
          ConvertRGBAToDIB24(s, d, count, int(bits));
          break;
        case TRowKind::Copy:
          std::memcpy(d, s, size_t(rowBytes));
          break;
        case TRowKind::Lab:
          ConvertLabToDIB(s, d, count);
          break;
        case TRowKind::CMYK:
          ConvertCMYKToDIB(s, d, count, int(bits));
          break;
        case TRowKind::YCbCr:
          ycbcr->Row(s, d, count);
          break;
      }
    }
  }
}

}  // namespace

void ReadTIFF(const uint8_t* data, size_t size, Bitmap24& out) {
  TMemorySource source(data, size);
  TTiffReader(source).Load(out);
}

void ReadTIFFFile(const std::string& fileName, Bitmap24& out) {
  TFileSource source(fileName);
  TTiffReader(source).Load(out);
}
