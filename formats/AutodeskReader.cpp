#include "formats/AutodeskReader.h"

#include <array>
#include <vector>

#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {
constexpr size_t kHeaderSize = 2 + 30, kPaletteSize = 768;
}

void ReadAutodesk(const uint8_t* data, size_t size, Bitmap24& out) {
  out.Clear();
  if (size < 2) throw EInvalidGraphic("Stream read error");
  if ((data[0] | data[1] << 8) != 0x9119)
    throw EInvalidGraphic("Cannot load image. Only old style Autodesk images are supported.");
  if (size < kHeaderSize + kPaletteSize) throw EInvalidGraphic("Stream read error");
  const int width = data[2] | data[3] << 8, height = data[4] | data[5] << 8;
  if (width == 0 || height == 0) throw EInvalidGraphic("Autodesk: empty picture.");
  const uint8_t* pixels = data + kHeaderSize + kPaletteSize;
  if (uint64_t(width) * height > size - kHeaderSize - kPaletteSize)
    throw EInvalidGraphic("Stream read error");

  // Components run 0..63; times 4 they span the byte (wrapping, as a byte
  // does, for out-of-range values).
  std::array<uint8_t, 768> palette;
  const uint8_t* p = data + kHeaderSize;
  for (int k = 0; k < 256; ++k) {
    palette[3 * k] = uint8_t(p[3 * k + 2] * 4);
    palette[3 * k + 1] = uint8_t(p[3 * k + 1] * 4);
    palette[3 * k + 2] = uint8_t(p[3 * k] * 4);
  }
  out.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    ConvertIndexedToDIB(pixels + size_t(y) * width, out.ScanLine(y), width, 8, palette.data());
}

void ReadAutodeskFile(const std::string& fileName, Bitmap24& out) {
  const std::vector<uint8_t> data = ReadWholeFile(fileName);
  ReadAutodesk(data.data(), data.size(), out);
}
