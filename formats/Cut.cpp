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

// Reads the picture from the input's start; a file is read line by line.
void Load(TPictureInput& in, const uint8_t* paletteData, size_t paletteSize, Bitmap24& out) {
  out.Clear();
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
  for (int y = 0; y < height; ++y) {
    const uint64_t left = in.Remaining();
    if (left < 3) throw EPictureError(kShort);
    const uint8_t* head = in.At(in.Position(), 2);
    const uint64_t length = head[0] | (head[1] << 8);
    // The line's own length says how much of it must still be there.
    if (length > left) throw EPictureError(kShort);
    // Besides its length, a line holds its packets, two bytes a pixel at
    // most, and the closing 0; more of the file is no use to it.
    const size_t span = size_t(std::min<uint64_t>(left, 2 + std::max<uint64_t>(length, 2 * uint64_t(width) + 1)));
    const uint8_t* start = in.At(in.Position(), span);
    const uint8_t* source = start;
    std::fill(line.begin(), line.end(), 0);
    const size_t written = decoder.Decode(source, line.data(), span, line.size());
    const size_t used = size_t(source - start);
    // A line cut off by the end of the file has no closing 0.
    if (written < line.size() && used == left && start[used - 1] != 0) throw EPictureError(kShort);
    in.Skip(used);
    ConvertIndexedToDIB(line.data(), out.ScanLine(y), width, 8, palette.data());
  }
}

}  // namespace

void ReadCut(const uint8_t* data, size_t size, const uint8_t* paletteData, size_t paletteSize,
             Bitmap24& out) {
  TPictureInput in(data, size, kShort);
  Load(in, paletteData, paletteSize, out);
}

void ReadCutFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  std::vector<uint8_t> palette;
  bool hasPalette = false;
  for (const char* ext : {".pal", ".PAL"}) {
    const std::string name = ChangeFileExt(fileName, ext);
    if (FileExists(name)) {
      // The entries lie within 256 blocks of 512 bytes.
      palette = TFileReader(name).ReadRange(0, 256 * 512);
      hasPalette = true;
      break;
    }
  }
  const uint8_t none = 0;  // an empty palette file is still a palette file, and too short
  TPictureInput in(file, kShort);
  Load(in, hasPalette ? (palette.empty() ? &none : palette.data()) : nullptr, palette.size(), out);
}
