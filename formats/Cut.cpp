#include "formats/Cut.h"

#include <algorithm>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/PictureInput.h"
#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

constexpr const char* kShort = "CUT: image data is too short";

// The palette file: 512-byte blocks; the 16-bit value at 12, plus 1, counts
// the entries, which start at 40 of the first block, 6 bytes each (three
// 16-bit values of which the first byte is used) and go on at the start of
// the next block when one would start beyond 506.
TPalette ReadPaletteFile(const uint8_t* data, size_t size) {
  TPictureInput in(data, size, "CUT: invalid palette file");
  in.Seek(12);
  const int count = std::min(in.U16LE() + 1, 256);
  TPalette palette{};
  size_t at = 40;
  for (int k = 0; k < count; ++k) {
    if (at % 512 > 506) at = (at / 512 + 1) * 512;
    const uint8_t* e = in.At(at, 6);
    palette[3 * k] = e[4];
    palette[3 * k + 1] = e[2];
    palette[3 * k + 2] = e[0];
    at += 6;
  }
  return palette;
}

}  // namespace

void ReadCut(const uint8_t* data, size_t size, const uint8_t* paletteData, size_t paletteSize,
             Bitmap24& out) {
  out.Clear();
  TPictureInput in(data, size, kShort);
  const int width = in.U16LE();
  const int height = in.U16LE();
  in.Skip(2);
  CheckPictureSize(width, height, "CUT");
  // Every line takes at least its 2-byte length and the closing 0, and its
  // packets make at most 127 pixels for every 2 bytes.
  if (uint64_t(height) * 3 > in.Remaining() || uint64_t(width) * height > uint64_t(in.Remaining()) * 64)
    throw EPictureError(kShort);
  const TPalette palette = paletteData ? ReadPaletteFile(paletteData, paletteSize) : GreyPalette();

  out.SetSize(width, height);
  std::vector<uint8_t> line(static_cast<size_t>(width));
  TCUTRLE decoder;
  const uint8_t* source = data + in.Position();
  const uint8_t* end = data + size;
  for (int y = 0; y < height; ++y) {
    // The line's own length says how much of it must still be there.
    if (end - source < 3 || (source[0] | (source[1] << 8)) > end - source) throw EPictureError(kShort);
    std::fill(line.begin(), line.end(), 0);
    const size_t written = decoder.Decode(source, line.data(), size_t(end - source), line.size());
    // A line cut off by the end of the file has no closing 0.
    if (written < line.size() && source == end && end[-1] != 0) throw EPictureError(kShort);
    ConvertIndexedToDIB(line.data(), out.ScanLine(y), width, 8, palette.data());
  }
}

void ReadCutFile(const std::string& fileName, Bitmap24& out) {
  const std::vector<uint8_t> data = ReadWholeFile(fileName);
  std::vector<uint8_t> palette;
  bool hasPalette = false;
  for (const char* ext : {".pal", ".PAL"}) {
    const std::string name = ChangeFileExt(fileName, ext);
    if (FileExists(name)) {
      palette = ReadWholeFile(name);
      hasPalette = true;
      break;
    }
  }
  const uint8_t none = 0;  // an empty palette file is still a palette file, and too short
  ReadCut(data.data(), data.size(), hasPalette ? (palette.empty() ? &none : palette.data()) : nullptr,
          palette.size(), out);
}
