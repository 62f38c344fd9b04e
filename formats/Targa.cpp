#include "formats/Targa.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/PictureInput.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

constexpr const char* kInvalid = "Targa: invalid image";

int BytesFor(int bits) {
  return bits == 8 ? 1 : (bits == 15 || bits == 16) ? 2 : bits == 24 ? 3 : bits == 32 ? 4 : 0;
}

// One 5-5-5 value to blue, green, red, each channel shifted up by 3.
inline void Put555(uint16_t v, uint8_t* bgr) {
  bgr[0] = uint8_t((v & 0x1F) << 3);
  bgr[1] = uint8_t((v & 0x3E0) >> 2);
  bgr[2] = uint8_t((v & 0x7C00) >> 7);
}

// One row of file pixels to blue, green, red.
void ConvertRow(const uint8_t* src, uint8_t* dst, int width, int bytesPerPixel, const TPalette& palette) {
  switch (bytesPerPixel) {
    case 1:
      for (int x = 0; x < width; ++x) std::memcpy(dst + 3 * x, &palette[3 * src[x]], 3);
      break;
    case 2:
      for (int x = 0; x < width; ++x) Put555(uint16_t(src[2 * x] | (src[2 * x + 1] << 8)), dst + 3 * x);
      break;
    case 3:
      std::memcpy(dst, src, size_t(width) * 3);
      break;
    default:
      for (int x = 0; x < width; ++x) std::memcpy(dst + 3 * x, src + 4 * x, 3);
      break;
  }
}

// Pixels stored right to left: the first one in the file is the rightmost.
void MirrorRow(uint8_t* bgr, int width) {
  for (int a = 0, b = width - 1; a < b; ++a, --b)
    for (int c = 0; c < 3; ++c) std::swap(bgr[3 * a + c], bgr[3 * b + c]);
}

// The bytes of run-length data that hold `pixels` pixels; raises when the
// data ends first, so a short file is refused before anything is allocated.
size_t RunLengthBytes(const uint8_t* p, size_t size, uint64_t pixels, int bytesPerPixel) {
  size_t at = 0;
  uint64_t done = 0;
  while (done < pixels) {
    if (at >= size) throw EPictureError(kInvalid);
    const uint8_t h = p[at++];
    const uint64_t count = (h & 0x7F) + 1u;
    const uint64_t bytes = (h & 0x80) ? bytesPerPixel : count * bytesPerPixel;
    if (bytes > size - at) throw EPictureError(kInvalid);
    at += size_t(bytes);
    done += count;
  }
  return at;
}

// Reads the picture from the input's start; of a file only the header, the
// colour map and as many bytes as the pixels can take are read.
void Load(TPictureInput& in, Bitmap24& out) {
  if (in.Size() < 18) throw EInvalidGraphic("Targa: file too short for its header");
  const uint8_t idLength = in.U8();
  const uint8_t mapType = in.U8();
  const uint8_t imageType = in.U8();
  const uint16_t mapFirst = in.U16LE();  // the pixel value of the map's first entry
  const uint16_t mapLength = in.U16LE();
  const uint8_t mapEntryBits = in.U8();
  in.Skip(4);  // origin
  const int width = in.U16LE();
  const int height = in.U16LE();
  const int pixelBits = in.U8();
  const uint8_t descriptor = in.U8();
  const bool topFirst = (descriptor & 0x20) != 0;
  const bool rightFirst = (descriptor & 0x10) != 0;

  if (mapType > 1) throw EInvalidGraphic("Targa: invalid colour map type");
  // A colour-mapped picture without its map has no colours to show.
  if ((imageType == 1 || imageType == 9) && mapType != 1) throw EPictureError(kInvalid);
  const int bytesPerPixel = BytesFor(pixelBits);
  if (bytesPerPixel == 0) throw EInvalidGraphic("Targa: pixel size not supported");
  const int mapEntryBytes = mapType == 1 ? BytesFor(mapEntryBits) : 0;
  if (mapType == 1 && (mapEntryBytes < 2))
    throw EInvalidGraphic("Targa: colour map entry size not supported");
  CheckPictureSize(width, height, "Targa");

  in.Skip(idLength);  // the image ID text is not shown anywhere
  const bool grey = imageType == 3 || imageType == 11;
  TPalette palette = GreyPalette();
  bool mapped = false;  // 8-bit pixels that index the file's map
  if (mapType == 1) {
    // A greyscale picture's map is passed over, so its pixels are read from
    // where they really start.
    const uint8_t* map = in.Read(uint64_t(mapLength) * mapEntryBytes);
    if (!grey) {
      palette.fill(0);
      for (int k = 0; k < mapLength && mapFirst + k < 256; ++k) {
        const uint8_t* e = map + size_t(k) * mapEntryBytes;
        uint8_t* into = &palette[3 * (mapFirst + k)];
        if (mapEntryBytes == 2)
          Put555(uint16_t(e[0] | (e[1] << 8)), into);
        else
          std::memcpy(into, e, 3);
      }
      mapped = bytesPerPixel == 1;
    }
  }

  const size_t rowSize = size_t(width) * bytesPerPixel;
  const uint64_t pixels = uint64_t(width) * height;
  const bool packed = imageType >= 9 && imageType <= 11;
  const bool plain = imageType >= 1 && imageType <= 3;
  std::vector<uint8_t> unpacked;
  const uint8_t* rows = nullptr;
  if (plain) {
    rows = in.Read(rowSize * height);
  } else if (packed) {
    // Packets may run on into the next row; the image is one run of pixels.
    // A packet holds one pixel at least, so no more bytes than a header and
    // a pixel for each pixel can be of use.
    const size_t held = size_t(std::min<uint64_t>(in.Remaining(), pixels * (bytesPerPixel + 1u)));
    const uint8_t* packets = in.At(in.Position(), held);
    const size_t used = RunLengthBytes(packets, held, pixels, bytesPerPixel);
    unpacked.resize(rowSize * height);
    TargaRLEDecode(packets, unpacked.data(), used, unpacked.size(), pixelBits);
    rows = unpacked.data();
  }

  // A value the map does not define has no colour the file means.
  if (rows && mapped && std::any_of(rows, rows + rowSize * height, [&](uint8_t v) {
        return v < mapFirst || v - mapFirst >= mapLength;
      }))
    throw EPictureError(kInvalid);

  out.SetSize(width, height);
  if (!rows) return;
  for (int r = 0; r < height; ++r) {
    uint8_t* line = out.ScanLine(topFirst ? r : height - 1 - r);
    ConvertRow(rows + rowSize * r, line, width, bytesPerPixel, palette);
    if (rightFirst) MirrorRow(line, width);
  }
}

}  // namespace

void ReadTarga(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size, kInvalid);
  Load(in, out);
}

void ReadTargaFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file, kInvalid);
  Load(in, out);
}
