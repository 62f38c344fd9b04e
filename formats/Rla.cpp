#include "formats/Rla.h"

#include <cstdlib>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/PictureInput.h"
#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {
constexpr size_t kHeaderSize = 740;
}

void ReadRla(const uint8_t* data, size_t size, Bitmap24& out) {
  out.Clear();
  TPictureInput in(data, size, "RLA: image data is too short");
  if (size < kHeaderSize) throw EInvalidGraphic("RLA: file too short for its header");
  auto s16 = [&](size_t offset) { return int(int16_t((data[offset] << 8) | data[offset + 1])); };
  const int left = s16(8), right = s16(10), bottom = s16(12), top = s16(14);
  const int colourChannels = s16(20);
  if (colourChannels != 3 && colourChannels != 4) throw EInvalidGraphic("RLA: image must be RGB(A).");
  const int width = right - left + 1;
  const int height = std::abs(bottom - top) + 1;
  CheckPictureSize(width, height, "RLA");
  const bool bottomFirst = bottom < top;

  // Every row's channels must lie in the file, each long enough for the
  // width (a two-byte run makes at most 128 bytes), before anything is
  // allocated.
  const uint8_t* table = in.At(kHeaderSize, uint64_t(height) * 4);
  std::vector<uint32_t> offsets(static_cast<size_t>(height));
  for (int i = 0; i < height; ++i) {
    const uint8_t* p = table + 4 * size_t(i);
    offsets[size_t(i)] = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    in.Seek(offsets[size_t(i)]);
    for (int c = 0; c < 3; ++c) {
      const uint16_t length = in.U16BE();
      in.Skip(length);
      if (uint64_t(length) * 64 < uint64_t(width)) throw EPictureError("RLA: a compressed row is too short");
    }
  }

  out.SetSize(width, height);
  std::vector<uint8_t> planes(size_t(width) * 3);
  TRLADecoder decoder;
  for (int i = 0; i < height; ++i) {
    in.Seek(offsets[size_t(i)]);
    for (int c = 0; c < 3; ++c) {
      const uint16_t length = in.U16BE();
      const uint8_t* source = in.Read(length);
      uint8_t* plane = planes.data() + size_t(c) * width;
      if (decoder.Decode(source, plane, length, size_t(width)) < size_t(width))
        throw EPictureError("RLA: a compressed row is too short");
    }
    ConvertPlanarRGBToDIB(planes.data(), planes.data() + width, planes.data() + 2 * size_t(width),
                          out.ScanLine(bottomFirst ? height - 1 - i : i), size_t(width), 8);
  }
}

void ReadRlaFile(const std::string& fileName, Bitmap24& out) {
  const std::vector<uint8_t> data = ReadWholeFile(fileName);
  ReadRla(data.data(), data.size(), out);
}
