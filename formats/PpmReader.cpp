#include "formats/PpmReader.h"

#include <array>
#include <vector>

#include "formats/RowConvert.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

constexpr const char* kReadError = "PPM: Stream read error.";
// Larger sides are refused before any allocation; the data must be there too.
constexpr uint32_t kMaxSide = 1u << 20;

// Reads the file's bytes in order; running out raises the read error, so a
// short file never yields made-up samples.
class TPPMReader {
 public:
  TPPMReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
  void Load(Bitmap24& out);

 private:
  uint8_t Next() {
    if (FPos >= FSize) throw EInvalidGraphic(kReadError);
    return FData[FPos++];
  }
  uint8_t Peek() const { return FPos < FSize ? FData[FPos] : 0; }
  size_t Left() const { return FSize - FPos; }
  std::string Line();
  uint32_t Number();
  void SkipComment() {
    for (uint8_t c = Next(); c != '\r' && c != '\n'; c = Next()) {
    }
  }

  const uint8_t* FData;
  size_t FSize, FPos = 0;
};

// Up to a carriage return or line feed (a line feed right after a carriage
// return goes with it); the text from the first "#" on is dropped.
std::string TPPMReader::Line() {
  std::string s;
  for (uint8_t c = Next(); c != '\r' && c != '\n'; c = Next()) s += char(c);
  if (s.find('#') != std::string::npos) s.erase(s.find('#'));
  return s;
}

// Skips to the next digit (and past comments), reads the number and takes
// the byte after it, if there is one. Values saturate, so a huge number is refused as a size.
uint32_t TPPMReader::Number() {
  uint8_t c = Next();
  while (c < '0' || c > '9') {
    if (c == '#') SkipComment();
    c = Next();
  }
  uint32_t v = 0;
  while (c >= '0' && c <= '9') {
    v = v > 100000000 ? 1000000000 : v * 10 + (c - '0');
    // A text file's last number may end the file without a line break.
    if (FPos == FSize) break;
    c = Next();
  }
  return v;
}

void TPPMReader::Load(Bitmap24& out) {
  out.Clear();
  const std::string first = Line();
  if (first.empty() || first[0] != 'P') throw EInvalidGraphic("Not a valid ppm file.");
  const std::string digit = first.substr(1, 1);
  if (digit.empty() || digit[0] < '0' || digit[0] > '9')
    throw EConvertError(Format("'%s' is not a valid integer value", digit.c_str()));
  const int kind = digit[0] - '0';
  if (kind < 1 || kind > 6) throw EInvalidGraphic(Format("PPM: kind P%d is not supported.", kind));

  const uint32_t width = Number(), height = Number();
  if (kind != 1 && kind != 4) Number();  // the maximum value, not used
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
    throw EInvalidGraphic(Format("PPM: invalid picture size %u x %u.", width, height));

  // Every sample needs at least one byte of the file: refuse before
  // allocating a picture the data cannot fill.
  const size_t bitRow = width / 8 + (width % 8 ? 1 : 0);
  const uint64_t need =
      kind == 4 ? uint64_t(bitRow) * height : uint64_t(width) * height * (kind == 3 || kind == 6 ? 3 : 1);
  if (need > Left()) throw EInvalidGraphic(kReadError);
  out.SetSize(int(width), int(height));

  std::array<uint8_t, 768> palette{};
  if (kind == 1 || kind == 4) {
    palette.fill(0);
    palette[0] = palette[1] = palette[2] = 255;  // 0 is white, 1 black
  } else {
    for (int k = 0; k < 256; ++k) palette[3 * k] = palette[3 * k + 1] = palette[3 * k + 2] = uint8_t(k);
  }
  std::vector<uint8_t> row(size_t(width) * 3);
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* d = out.ScanLine(int(y));
    switch (kind) {
      case 1:
        std::fill(row.begin(), row.begin() + bitRow, 0);
        for (uint32_t x = 0; x < width; ++x)
          if (Number() & 1) row[x / 8] |= uint8_t(0x80 >> (x % 8));
        ConvertIndexedToDIB(row.data(), d, int(width), 1, palette.data());
        break;
      case 2:
        for (uint32_t x = 0; x < width; ++x) row[x] = uint8_t(Number());
        ConvertIndexedToDIB(row.data(), d, int(width), 8, palette.data());
        break;
      case 3:
        for (uint32_t i = 0; i < 3 * width; ++i) row[i] = uint8_t(Number());
        ConvertRGBToDIB(row.data(), d, size_t(width) * 3, 8);
        break;
      case 4:
        for (size_t i = 0; i < bitRow; ++i) row[i] = Next();
        ConvertIndexedToDIB(row.data(), d, int(width), 1, palette.data());
        break;
      case 5:
        for (uint32_t x = 0; x < width; ++x) row[x] = Next();
        ConvertIndexedToDIB(row.data(), d, int(width), 8, palette.data());
        break;
      case 6:
        for (uint32_t i = 0; i < 3 * width; ++i) row[i] = Next();
        ConvertRGBToDIB(row.data(), d, size_t(width) * 3, 8);
        break;
    }
  }
}

}  // namespace

void ReadPPM(const uint8_t* data, size_t size, Bitmap24& out) {
  TPPMReader(data, size).Load(out);
}

void ReadPPMFile(const std::string& fileName, Bitmap24& out) {
  const std::vector<uint8_t> data = ReadWholeFile(fileName);
  ReadPPM(data.data(), data.size(), out);
}
