#include "formats/Pcx.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/PictureInput.h"
#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

constexpr const char* kShort = "PCX: image data is too short";

// The class library's 16-colour system palette, as red, green, blue.
constexpr uint8_t kSystem16[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                      {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                      {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                      {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

void SetRGB(TPalette& palette, int k, uint8_t r, uint8_t g, uint8_t b) {
  palette[3 * k] = b;
  palette[3 * k + 1] = g;
  palette[3 * k + 2] = r;
}

// Reads the picture from the input's start: of a file only the header, the
// bytes the pixels can take and the palette at its end.
void Load(TPictureInput& in, Bitmap24& out) {
  out.Clear();
  const size_t size = in.Size();
  if (size < 128) throw EInvalidGraphic("Not a PCX or SCR file.");
  const uint8_t manufacturer = in.U8();
  if (manufacturer != 10 && manufacturer != 205) throw EInvalidGraphic("Not a PCX or SCR file.");
  const uint8_t version = in.U8();
  const uint8_t encoding = in.U8();
  const int bits = in.U8();
  const int xMin = int16_t(in.U16LE()), yMin = int16_t(in.U16LE());
  const int xMax = int16_t(in.U16LE()), yMax = int16_t(in.U16LE());
  TPalette headerPalette{};
  std::memcpy(headerPalette.data(), in.At(16, 48), 48);
  in.Seek(65);
  const int planes = in.U8();
  const int bytesPerLine = in.U16LE();
  const uint16_t paletteInfo = in.U16LE();

  int format;  // bits per pixel of the picture
  if (bits == 1 && planes == 1)
    format = 1;
  else if (bits == 1 && planes == 4)
    format = 4;
  else if (bits == 8 && planes == 1)
    format = 8;
  else if (bits == 8 && planes == 3)
    format = 24;
  else
    throw EInvalidGraphic("PCX: wrong pixel format");
  const int width = xMax - xMin + 1, height = yMax - yMin + 1;
  CheckPictureSize(width, height, "PCX");
  const int planeBytes = bits == 1 ? (width + 7) / 8 : width;
  if (bytesPerLine < planeBytes) throw EInvalidGraphic("PCX: bytes per line too small for the width");

  TPalette palette{};
  size_t dataEnd = size;
  if (format != 24) {
    if (version == 3 && format > 1) {
      for (int k = 0; k < 16; ++k) SetRGB(palette, k, kSystem16[k][0], kSystem16[k][1], kSystem16[k][2]);
    } else if (format == 1) {
      SetRGB(palette, 1, 255, 255, 255);
    } else if (format == 4) {
      for (int k = 0; k < 16; ++k) {
        const uint8_t* e = headerPalette.data() + 3 * k;
        if (paletteInfo == 2)
          SetRGB(palette, k, uint8_t(k * 16), uint8_t(k * 16), uint8_t(k * 16));
        else
          SetRGB(palette, k, e[0], e[1], e[2]);
      }
    } else if (size >= 128 + 769 && *in.At(size - 769, 1) == 12) {
      // Only a file that has the palette gives up its last 769 bytes; in any
      // other they are image data.
      const uint8_t* e = in.At(size - 768, 768);
      for (int k = 0; k < 256; ++k) SetRGB(palette, k, e[3 * k], e[3 * k + 1], e[3 * k + 2]);
      dataEnd = size - 769;
    } else {
      palette = GreyPalette();
    }
  }

  const size_t sourceRow = size_t(planes) * bytesPerLine;
  const uint64_t unpackedSize = uint64_t(sourceRow) * height;
  const size_t packedSize = dataEnd - 128;
  // A run of two bytes makes at most 63, which bounds what the data can hold.
  if (encoding == 1 ? unpackedSize > uint64_t(packedSize) * 63 / 2 + 63 : unpackedSize > packedSize)
    throw EPictureError(kShort);
  // A two-byte run makes one byte at least, so no more data than twice the
  // pixels' bytes can be of use.
  const size_t held = size_t(std::min<uint64_t>(packedSize, encoding == 1 ? 2 * unpackedSize : unpackedSize));
  std::vector<uint8_t> pixels(size_t(unpackedSize), 0);
  const uint8_t* source = in.At(128, held);
  if (encoding == 1) {
    TPCXRLE decoder;
    if (decoder.Decode(source, pixels.data(), held, pixels.size()) < pixels.size()) throw EPictureError(kShort);
  } else {
    std::memcpy(pixels.data(), source, pixels.size());
  }

  out.SetSize(width, height);
  std::vector<uint8_t> nibbles(format == 4 ? size_t(width + 1) / 2 : 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = pixels.data() + sourceRow * y;
    uint8_t* dst = out.ScanLine(y);
    switch (format) {
      case 1:
      case 8:
        ConvertIndexedToDIB(src, dst, width, format, palette.data());
        break;
      case 4:
        // Bit b of plane p is bit p of the pixel's index.
        std::fill(nibbles.begin(), nibbles.end(), 0);
        for (int x = 0; x < width; ++x) {
          const int byte = x >> 3, mask = 0x80 >> (x & 7);
          int v = 0;
          for (int p = 0; p < 4; ++p)
            if (src[size_t(p) * bytesPerLine + byte] & mask) v |= 1 << p;
          nibbles[size_t(x) / 2] |= uint8_t((x & 1) ? v : v << 4);
        }
        ConvertIndexedToDIB(nibbles.data(), dst, width, 4, palette.data());
        break;
      default:
        ConvertPlanarRGBToDIB(src, src + bytesPerLine, src + 2 * size_t(bytesPerLine), dst, size_t(width), 8);
        break;
    }
  }
}

}  // namespace

void ReadPcx(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size, kShort);
  Load(in, out);
}

void ReadPcxFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file, kShort);
  Load(in, out);
}
