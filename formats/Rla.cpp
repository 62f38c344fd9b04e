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

// Reads the picture from the input's start; of a file only the header, the
// row table and the rows it points at are read.
void Load(TPictureInput& in, Bitmap24& out) {
  out.Clear();
  if (in.Size() < kHeaderSize) throw EInvalidGraphic("RLA: file too short for its header");
  auto s16 = [&](size_t offset) {
    const uint8_t* p = in.At(offset, 2);
    return int(int16_t((p[0] << 8) | p[1]));
  };
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
  in.Seek(kHeaderSize);
  std::vector<uint32_t> offsets(static_cast<size_t>(height));
  for (uint32_t& offset : offsets) offset = in.U32BE();
  for (int i = 0; i < height; ++i) {
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

}  // namespace

void ReadRla(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size, "RLA: image data is too short");
  Load(in, out);
}

void ReadRlaFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file, "RLA: image data is too short");
  Load(in, out);
}
