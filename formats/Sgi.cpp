#include "formats/Sgi.h"

#include <algorithm>
#include <vector>

#include "formats/GraphicCompression.h"
#include "formats/PictureInput.h"
#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

constexpr const char* kShort = "SGI: image data is too short";

// Reads the picture from the input's start; of a file only the header, the
// row tables and the rows the picture shows are read.
void Load(TPictureInput& in, Bitmap24& out) {
  out.Clear();
  if (in.Size() < 512) throw EInvalidGraphic("Not a valid sgi, bw or rgb(a) image.");
  if (in.U16BE() != 474) throw EInvalidGraphic("Not a valid sgi, bw or rgb(a) image.");
  const bool runLength = in.U8() == 1;
  const int bpc = in.U8();
  in.U16BE();  // dimension
  const int width = in.U16BE();
  const int height = in.U16BE();
  const int depth = in.U16BE();
  if (bpc != 1 && bpc != 2) throw EInvalidGraphic("SGI: bytes per channel must be 1 or 2");
  if (depth == 0) throw EInvalidGraphic("SGI: image has no channels");
  CheckPictureSize(width, height, "SGI");
  // Colour channels read: alpha is not shown, and any other count is grey.
  const int used = depth == 3 || depth == 4 ? 3 : 1;

  std::vector<uint32_t> starts, lengths;
  if (runLength) {
    const uint64_t entries = uint64_t(height) * depth;
    if (!in.Has(512, entries * 8)) in.Short();
    starts.resize(size_t(entries));
    lengths.resize(size_t(entries));
    in.Seek(512);
    for (uint32_t& start : starts) start = in.U32BE();
    for (uint32_t& length : lengths) length = in.U32BE();
    // Every row the picture shows must lie in the file.
    for (int c = 0; c < used; ++c)
      for (int r = 0; r < height; ++r) {
        const size_t i = size_t(c) * height + r;
        // A two-byte run makes at most 127 samples.
        if (!in.Has(starts[i], lengths[i]) || uint64_t(lengths[i]) * 64 < uint64_t(width))
          throw EPictureError(kShort);
      }
  } else if (!in.Has(512, uint64_t(used) * height * width * bpc)) {
    throw EPictureError(kShort);
  }

  out.SetSize(width, height);
  std::vector<uint8_t> rows(size_t(width) * used);
  TSGIRLE decoder(bpc);
  for (int r = 0; r < height; ++r) {
    for (int c = 0; c < used; ++c) {
      uint8_t* row = rows.data() + size_t(c) * width;
      if (runLength) {
        // The length table counts bytes, whatever the sample size.
        const size_t i = size_t(c) * height + r;
        // A count and one sample for each sample, and the closing count,
        // are the most a row can take.
        const size_t packed = size_t(std::min<uint64_t>(lengths[i], uint64_t(bpc) * (2 * uint64_t(width) + 2)));
        const uint8_t* source = in.At(starts[i], packed);
        std::fill(row, row + width, 0);
        decoder.Decode(source, row, packed, size_t(width));
      } else {
        const uint8_t* p = in.At(512 + (uint64_t(c) * height + r) * width * bpc, uint64_t(width) * bpc);
        if (bpc == 1) {
          std::copy(p, p + width, row);
        } else {
          // Big-endian samples: the first byte is the most significant.
          for (int x = 0; x < width; ++x) row[x] = p[2 * x];
        }
      }
    }
    uint8_t* dst = out.ScanLine(height - 1 - r);
    if (used == 3) {
      ConvertPlanarRGBToDIB(rows.data(), rows.data() + width, rows.data() + 2 * size_t(width), dst,
                            size_t(width), 8);
    } else {
      for (int x = 0; x < width; ++x) dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = rows[size_t(x)];
    }
  }
}

}  // namespace

void ReadSgi(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size, kShort);
  Load(in, out);
}

void ReadSgiFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file, kShort);
  Load(in, out);
}
