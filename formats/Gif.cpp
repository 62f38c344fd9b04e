#include "formats/Gif.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/PictureInput.h"
#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

// A colour table of 2 << (flags and 7) entries of red, green, blue.
void ReadColourTable(TPictureInput& in, uint8_t flags, TPalette& palette) {
  const int count = 2 << (flags & 7);
  const uint8_t* p = in.Read(uint64_t(count) * 3);
  palette.fill(0);
  for (int k = 0; k < count; ++k) {
    palette[3 * k] = p[3 * k + 2];
    palette[3 * k + 1] = p[3 * k + 1];
    palette[3 * k + 2] = p[3 * k];
  }
}

// Passes over a chain of data sub-blocks up to and including its 0 size.
void SkipSubBlocks(TPictureInput& in) {
  for (uint8_t n = in.U8(); n != 0; n = in.U8()) in.Skip(n);
}

// Reads the first image; a file is read only as far as that image's data.
void Load(TPictureInput& in, Bitmap24& out) {
  out.Clear();
  const uint8_t* magic = in.Has(0, 3) ? in.At(0, 3) : nullptr;
  if (!magic || std::toupper(magic[0]) != 'G' || std::toupper(magic[1]) != 'I' || std::toupper(magic[2]) != 'F')
    throw EInvalidGraphic("Not a valid GIF file.");
  in.Skip(6);
  const int screenWidth = in.U16LE();
  const int screenHeight = in.U16LE();
  const uint8_t screenFlags = in.U8();
  in.Skip(2);  // background, aspect
  TPalette palette{};
  bool hasPalette = false;
  if (screenFlags & 0x80) {
    ReadColourTable(in, screenFlags, palette);
    hasPalette = true;
  }

  // Extensions are passed over by their sub-blocks, so that none of their
  // bytes (a transparent index of ',' say) is taken for an image separator.
  for (;;) {
    const uint8_t b = in.U8();
    if (b == ';') return;
    if (b == ',') break;
    if (b == '!') {
      in.U8();  // label
      SkipSubBlocks(in);
    }
  }

  in.Skip(4);  // left, top
  int width = in.U16LE();
  int height = in.U16LE();
  const uint8_t imageFlags = in.U8();
  if (width == 0) width = screenWidth;
  if (height == 0) height = screenHeight;
  CheckPictureSize(width, height, "GIF");
  if (imageFlags & 0x80) {
    ReadColourTable(in, imageFlags, palette);
    hasPalette = true;
  }
  const uint8_t codeSize = in.U8();
  if (codeSize < 2 || codeSize > 8) throw EPictureError("GIF LZW: invalid code size.");
  if (!hasPalette) {
    const int levels = 1 << codeSize;
    for (int k = 0; k < levels; ++k)
      palette[3 * k] = palette[3 * k + 1] = palette[3 * k + 2] = uint8_t(k * 255 / (levels - 1));
  }

  // Gather the sub-blocks into one block; a code holds at most 12 bits and
  // makes at most 4,096 pixels, which bounds what the data can describe.
  // Every code but a clear makes a pixel at least, so no more than a clear
  // before every pixel's code can be needed: data beyond that is not read.
  const uint64_t pixels = uint64_t(width) * height;
  const uint64_t most = 3 * pixels + 16;
  const size_t start = in.Position();
  uint64_t packedSize = 0;
  for (uint8_t n = in.U8(); n != 0 && packedSize < most; n = in.U8()) {
    in.Skip(n);
    packedSize += n;
  }
  if (pixels / 4096 > packedSize * 8 / (codeSize + 1u) + 1)
    throw EPictureError("GIF: image data is too short");
  std::vector<uint8_t> packed;
  packed.reserve(size_t(packedSize));
  in.Seek(start);
  while (packed.size() < packedSize) {
    const uint8_t n = in.U8();
    const uint8_t* p = in.Read(n);
    packed.insert(packed.end(), p, p + n);
  }
  std::vector<uint8_t> indices(size_t(pixels), 0);
  TGIFLZW decoder(codeSize);
  const uint8_t* source = packed.data();
  decoder.Decode(source, indices.data(), packed.size(), indices.size());

  out.SetSize(width, height);
  std::vector<int> order;
  order.reserve(size_t(height));
  if (imageFlags & 0x40) {
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int r = kStart[pass]; r < height; r += kStep[pass]) order.push_back(r);
  } else {
    for (int r = 0; r < height; ++r) order.push_back(r);
  }
  for (int i = 0; i < height; ++i)
    ConvertIndexedToDIB(indices.data() + size_t(i) * width, out.ScanLine(order[size_t(i)]), width, 8,
                        palette.data());
}

}  // namespace

void ReadGif(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size);
  Load(in, out);
}

void ReadGifFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file);
  Load(in, out);
}
