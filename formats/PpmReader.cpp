#include "formats/PpmReader.h"

#include <array>
#include <string>
#include <vector>

#include "formats/PictureInput.h"
#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Rounding.h"

namespace {

constexpr const char* kReadError = "PPM: Stream read error.";
// Larger sides are refused before any allocation; the data must be there too.
constexpr uint32_t kMaxSide = 1u << 20;
// Two bytes hold a raw sample at most; text files keep to the same range.
constexpr uint32_t kMaxValue = 65535;

// Reads the file's bytes in order; running out raises the read error, so a
// short file never yields made-up samples.
class TPPMReader {
 public:
  explicit TPPMReader(TPictureInput& in) : FIn(in) {}
  void Load(Bitmap24& out);

 private:
  bool AtEnd() const { return FIn.Remaining() == 0; }
  uint8_t Next() {
    if (AtEnd()) throw EInvalidGraphic(kReadError);
    return FIn.U8();
  }
  const uint8_t* Take(size_t n) {
    if (FIn.Remaining() < n) throw EInvalidGraphic(kReadError);
    return FIn.Read(n);
  }
  // To the end of the line (or of the file).
  void SkipComment() {
    while (!AtEnd()) {
      const uint8_t c = FIn.U8();
      if (c == '\r' || c == '\n') return;
    }
  }
  uint8_t NextDigit();
  uint32_t Number();

  TPictureInput& FIn;
};

// Passes over white space, comments and anything else that is no digit.
uint8_t TPPMReader::NextDigit() {
  uint8_t c = Next();
  while (c < '0' || c > '9') {
    if (c == '#') SkipComment();
    c = Next();
  }
  return c;
}

// A decimal number and the byte that ends it; when that byte starts a
// comment, the comment goes too, so raw data starts on the next line. Values
// saturate, so a huge number is refused as a size.
uint32_t TPPMReader::Number() {
  uint8_t c = NextDigit();
  uint32_t v = 0;
  for (;;) {
    v = v > 100000000 ? 1000000000 : v * 10 + (c - '0');
    // A text file's last number may end the file without a line break.
    if (AtEnd()) return v;
    c = FIn.U8();
    if (c < '0' || c > '9') break;
  }
  if (c == '#') SkipComment();
  return v;
}

void TPPMReader::Load(Bitmap24& out) {
  out.Clear();
  if (Next() != 'P') throw EInvalidGraphic("Not a valid ppm file.");
  // The kind digit; the header's numbers follow on the same line or later
  // ones alike.
  const uint8_t k = Next();
  const std::string digit = (k == '\r' || k == '\n' || k == '#') ? std::string() : std::string(1, char(k));
  if (digit.empty() || k < '0' || k > '9')
    throw EConvertError(Format("'%s' is not a valid integer value", digit.c_str()));
  const int kind = k - '0';
  if (kind < 1 || kind > 6) throw EInvalidGraphic(Format("PPM: kind P%d is not supported.", kind));

  const bool bitmap = kind == 1 || kind == 4;
  const uint32_t width = Number(), height = Number();
  const uint32_t maxValue = bitmap ? 1 : Number();
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
    throw EInvalidGraphic(Format("PPM: invalid picture size %u x %u.", width, height));
  if (maxValue == 0 || maxValue > kMaxValue)
    throw EInvalidGraphic(Format("PPM: invalid maximum value %u.", maxValue));

  // Every sample needs at least one byte of the file (two in a raw file whose
  // maximum is above 255): refuse before allocating a picture the data
  // cannot fill.
  const int channels = kind == 3 || kind == 6 ? 3 : 1;
  const size_t sampleBytes = (kind == 5 || kind == 6) && maxValue > 255 ? 2 : 1;
  const size_t bitRow = width / 8 + (width % 8 ? 1 : 0);
  const uint64_t need = kind == 4 ? uint64_t(bitRow) * height : uint64_t(width) * height * channels * sampleBytes;
  if (need > FIn.Remaining()) throw EInvalidGraphic(kReadError);
  out.SetSize(int(width), int(height));

  // Samples scale from 0..maximum to 0..255; one above the maximum shows as
  // the maximum.
  std::vector<uint8_t> level(bitmap ? 0 : maxValue + 1);
  for (uint32_t v = 0; v < level.size(); ++v) level[v] = uint8_t(RoundDiv(int64_t(v) * 255, maxValue));
  auto scale = [&](uint32_t v) { return v > maxValue ? uint8_t(255) : level[v]; };
  auto sample = [&](const uint8_t* p, size_t i) {
    return sampleBytes == 2 ? uint32_t(p[2 * i] << 8 | p[2 * i + 1]) : uint32_t(p[i]);
  };

  std::array<uint8_t, 768> palette{};
  palette[0] = palette[1] = palette[2] = 255;  // a bitmap's 0 is white, 1 black
  std::vector<uint8_t> bits(bitRow);
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* d = out.ScanLine(int(y));
    switch (kind) {
      case 1:
        // Each 0 or 1 is a pixel, with or without white space between.
        std::fill(bits.begin(), bits.end(), 0);
        for (uint32_t x = 0; x < width; ++x)
          if (NextDigit() & 1) bits[x / 8] |= uint8_t(0x80 >> (x % 8));
        ConvertIndexedToDIB(bits.data(), d, int(width), 1, palette.data());
        break;
      case 4:
        ConvertIndexedToDIB(Take(bitRow), d, int(width), 1, palette.data());
        break;
      case 2:
        for (uint32_t x = 0; x < width; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = scale(Number());
        break;
      case 3:
        for (uint32_t x = 0; x < width; ++x) {
          d[3 * x + 2] = scale(Number());
          d[3 * x + 1] = scale(Number());
          d[3 * x] = scale(Number());
        }
        break;
      case 5: {
        const uint8_t* p = Take(width * sampleBytes);
        for (uint32_t x = 0; x < width; ++x) d[3 * x] = d[3 * x + 1] = d[3 * x + 2] = scale(sample(p, x));
        break;
      }
      case 6: {
        const uint8_t* p = Take(size_t(width) * 3 * sampleBytes);
        for (uint32_t x = 0; x < width; ++x) {
          d[3 * x + 2] = scale(sample(p, 3 * x));
          d[3 * x + 1] = scale(sample(p, 3 * x + 1));
          d[3 * x] = scale(sample(p, 3 * x + 2));
        }
        break;
      }
    }
  }
}

}  // namespace

void ReadPPM(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size);
  TPPMReader(in).Load(out);
}

void ReadPPMFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file);
  TPPMReader(in).Load(out);
}
