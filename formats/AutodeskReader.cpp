#include "formats/AutodeskReader.h"

#include <array>
#include <vector>

#include "formats/PictureInput.h"
#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

constexpr size_t kHeaderSize = 2 + 30, kPaletteSize = 768;

// Reads the picture from the input's start; of a file only the header, the
// palette and the pixels are read.
void Load(TPictureInput& in, Bitmap24& out) {
  out.Clear();
  const size_t size = in.Size();
  if (size < 2) throw EInvalidGraphic("Stream read error");
  const uint8_t* magic = in.At(0, 2);
  if ((magic[0] | magic[1] << 8) != 0x9119)
    throw EInvalidGraphic("Cannot load image. Only old style Autodesk images are supported.");
  if (size < kHeaderSize + kPaletteSize) throw EInvalidGraphic("Stream read error");
  const uint8_t* header = in.At(2, 4);
  const int width = header[0] | header[1] << 8, height = header[2] | header[3] << 8;
  if (width == 0 || height == 0) throw EInvalidGraphic("Autodesk: empty picture.");
  if (uint64_t(width) * height > size - kHeaderSize - kPaletteSize)
    throw EInvalidGraphic("Stream read error");

  // Components run 0..63; times 4 they span the byte (wrapping, as a byte
  // does, for out-of-range values).
  std::array<uint8_t, 768> palette;
  const uint8_t* p = in.At(kHeaderSize, kPaletteSize);
  for (int k = 0; k < 256; ++k) {
    palette[3 * k] = uint8_t(p[3 * k + 2] * 4);
    palette[3 * k + 1] = uint8_t(p[3 * k + 1] * 4);
    palette[3 * k + 2] = uint8_t(p[3 * k] * 4);
  }
  const uint8_t* pixels = in.At(kHeaderSize + kPaletteSize, uint64_t(width) * height);
  out.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    ConvertIndexedToDIB(pixels + size_t(y) * width, out.ScanLine(y), width, 8, palette.data());
}

}  // namespace

void ReadAutodesk(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size);
  Load(in, out);
}

void ReadAutodeskFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file);
  Load(in, out);
}
