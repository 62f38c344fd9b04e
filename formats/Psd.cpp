#include "formats/Psd.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/PictureInput.h"
#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

enum : int { kBitmap = 0, kGrey = 1, kIndexed = 2, kRGB = 3, kCMYK = 4, kDuotone = 8, kLab = 9 };

bool OnePlane(int mode) {
  return mode == kBitmap || mode == kGrey || mode == kIndexed || mode == kDuotone;
}

// The 16-bit big-endian samples of a row to their high bytes, in place.
void HighBytes(uint8_t* row, size_t samples) {
  for (size_t i = 0; i < samples; ++i) row[i] = row[2 * i];
}

// Reads the picture from the input's start; of a file only the headers, the
// palette and the rows the picture shows are read.
void Load(TPictureInput& in, Bitmap24& out) {
  if (!in.Has(0, 4) || std::memcmp(in.At(0, 4), "8BPS", 4) != 0) throw EInvalidGraphic("Not a valid psd file.");
  in.Skip(4);
  if (in.U16BE() == 2) throw EInvalidGraphic("PSD: large document format not supported");
  in.Skip(6);
  const int channels = in.U16BE();
  const uint32_t height = in.U32BE();
  const uint32_t width = in.U32BE();
  const int depth = in.U16BE();
  const int mode = in.U16BE();

  if (!OnePlane(mode) && mode != kRGB && mode != kCMYK && mode != kLab)
    throw EInvalidGraphic("PSD: colour mode not supported");
  const bool depthOk = mode == kBitmap                       ? depth == 1
                       : mode == kIndexed                    ? depth == 8
                       : (mode == kGrey || mode == kDuotone) ? (depth == 1 || depth == 8 || depth == 16)
                                                             : (depth == 8 || depth == 16);
  if (!depthOk) throw EInvalidGraphic("PSD: bit depth not supported");
  const int planes = OnePlane(mode) ? 1 : mode == kCMYK ? 4 : 3;
  if (channels < planes || channels > 56) throw EInvalidGraphic("PSD: invalid channel count");
  CheckPictureSize(width, height, "PSD");

  // Colour-mode data: an indexed picture's palette, all reds, greens, blues.
  const uint32_t modeDataLength = in.U32BE();
  if (!in.Has(in.Position(), modeDataLength)) in.Short();
  // Only a palette's 768 bytes are of use.
  uint8_t buffer[768] = {};
  const size_t kept = std::min<size_t>(modeDataLength, sizeof buffer);
  if (kept > 0) std::memcpy(buffer, in.At(in.Position(), kept), kept);
  in.Skip(modeDataLength);
  TPalette palette{};
  if (depth == 1) {
    palette.fill(255);
    std::fill(palette.begin() + 3, palette.begin() + 6, 0);
  } else if (mode == kIndexed) {
    for (int k = 0; k < 256; ++k) {
      palette[3 * k] = buffer[512 + k];
      palette[3 * k + 1] = buffer[256 + k];
      palette[3 * k + 2] = buffer[k];
    }
  } else {
    palette = GreyPalette();
  }
  in.Skip(in.U32BE());  // image resources
  in.Skip(in.U32BE());  // layer and mask information

  const bool packBits = in.U16BE() == 1;
  const size_t rowBytes = (size_t(width) * depth + 7) / 8;
  const size_t rowCount = size_t(planes) * height;  // the rows shown; extra channels follow them
  // Everything is checked against the data before anything is allocated: a
  // PackBits pair makes at most 128 bytes, so a row needs a count of at least
  // 1/64 of its length.
  const uint8_t* table = nullptr;
  if (packBits) {
    table = in.Read(uint64_t(channels) * height * 2);
    uint64_t total = 0;
    for (size_t i = 0; i < rowCount; ++i) {
      const uint16_t count = uint16_t((table[2 * i] << 8) | table[2 * i + 1]);
      if (uint64_t(count) * 64 < rowBytes) throw EPictureError("PSD: a compressed row is too short");
      total += count;
    }
    if (!in.Has(in.Position(), total)) in.Short();
  } else if (!in.Has(in.Position(), uint64_t(rowBytes) * rowCount)) {
    in.Short();
  }
  std::vector<size_t> rowStart(rowCount + 1);
  std::vector<uint16_t> packedRow(packBits ? rowCount : 0);
  rowStart[0] = in.Position();
  for (size_t i = 0; i < rowCount; ++i) {
    if (packBits) packedRow[i] = uint16_t((table[2 * i] << 8) | table[2 * i + 1]);
    rowStart[i + 1] = rowStart[i] + (packBits ? packedRow[i] : rowBytes);
  }

  out.SetSize(int(width), int(height));
  std::vector<uint8_t> rows(rowBytes * planes);
  TPackbitsRLE decoder;
  for (uint32_t y = 0; y < height; ++y) {
    for (int c = 0; c < planes; ++c) {
      const size_t i = size_t(c) * height + y;
      uint8_t* row = rows.data() + rowBytes * c;
      if (packBits) {
        const uint8_t* source = in.At(rowStart[i], packedRow[i]);
        if (decoder.Decode(source, row, packedRow[i], rowBytes) < rowBytes)
          throw EPictureError("PSD: a compressed row is too short");
      } else {
        std::memcpy(row, in.At(rowStart[i], rowBytes), rowBytes);
      }
      if (depth == 16 && mode != kCMYK) HighBytes(row, width);
    }
    uint8_t* dst = out.ScanLine(int(y));
    const size_t plane = depth == 16 && mode != kCMYK ? width : rowBytes;  // bytes per plane after HighBytes
    uint8_t* p0 = rows.data();
    uint8_t* p1 = p0 + rowBytes;
    uint8_t* p2 = p1 + rowBytes;
    switch (mode) {
      case kRGB:
        ConvertPlanarRGBToDIB(p0, p1, p2, dst, width, 8);
        break;
      case kCMYK:
        // The file stores ink inverted: 255 (or 65535) is none.
        for (uint8_t& v : rows) v = uint8_t(255 - v);
        if (depth == 16) SwapShorts(rows.data(), rows.size() / 2);
        ConvertPlanarCMYKToDIB(p0, p1, p2, p2 + rowBytes, dst, width, depth);
        break;
      case kLab:
        for (size_t x = 0; x < plane; ++x) {
          p1[x] = uint8_t(p1[x] - 128);
          p2[x] = uint8_t(p2[x] - 128);
        }
        ConvertPlanarLabToDIB(p0, p1, p2, dst, width);
        break;
      default:
        ConvertIndexedToDIB(p0, dst, int(width), depth == 1 ? 1 : 8, palette.data());
        break;
    }
  }
}

}  // namespace

void ReadPsd(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size);
  Load(in, out);
}

void ReadPsdFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file);
  Load(in, out);
}
