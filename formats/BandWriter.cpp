#include "formats/BandWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Rounding.h"

namespace {

constexpr int64_t kMaxFileSize = 0xFFFFFFFFLL;  // the formats' offsets and sizes are 32-bit
constexpr int kBMPHeaderSize = 54;
constexpr int kTIFFPixelStart = 32;
constexpr int kTIFFEntryCount = 15;
constexpr int kTIFFIFDSize = 2 + kTIFFEntryCount * 12 + 4;  // 186
// Exactly 23 characters; the NUL after it belongs to the field.
constexpr char kSoftware[] = "Vitrane 2 mosaic writer";
static_assert(sizeof(kSoftware) == 24);

int64_t BMPRowBytes(int64_t W) {
  return (3 * W + 3) & ~int64_t(3);
}

// Where a picture's rows lie in the file and in which byte order its pixels
// are stored; the band, rectangle and grid writers are the same for both
// formats once this is known.
struct TPictureLayout {
  int64_t W, H;
  int64_t dataOffset;
  int64_t rowBytes;
  bool bottomUp;  // BMP stores the bottom row first
  bool rgb;       // TIFF stores R, G, B; BMP keeps the bitmap's B, G, R

  int64_t PixelOffset(int64_t x, int64_t y) const {
    return dataOffset + (bottomUp ? H - 1 - y : y) * rowBytes + 3 * x;
  }
};

TPictureLayout BMPLayout(int W, int H) {
  return {W, H, kBMPHeaderSize, BMPRowBytes(W), true, false};
}
TPictureLayout TIFFLayout(int W, int H) {
  return {W, H, kTIFFPixelStart, 3 * int64_t(W), false, true};
}

// Row kernels.
std::vector<uint8_t> ColourRow(TColor colour, int64_t pixels, bool rgb) {
  const uint8_t r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
  std::vector<uint8_t> row(size_t(pixels) * 3);
  for (size_t i = 0; i < row.size(); i += 3) {
    row[i] = rgb ? r : b;
    row[i + 1] = g;
    row[i + 2] = rgb ? b : r;
  }
  return row;
}

// Runs of pixel bytes bound for the file, taken in the file's order: runs
// that lie next to each other go to the file in one write. Between the end
// of a whole picture row and the next row lies only a BMP row's padding,
// which holds the zeros the header routine put there; it is written again as
// zeros, so that whole rows join up too.
class TGatheredWrite {
 public:
  TGatheredWrite(const TPictureLayout& layout, TBandStream& stream) : FLayout(layout), FStream(stream) {}
  void Add(int64_t offset, const uint8_t* data, size_t size) {
    if (!FPieces.empty() && offset != FEnd) {
      const int64_t padding = FLayout.rowBytes - 3 * FLayout.W;
      if (padding > 0 && offset - FEnd == padding &&
          (FEnd - FLayout.dataOffset) % FLayout.rowBytes == 3 * FLayout.W)
        FPieces.push_back({kPadding, size_t(padding)});
      else
        Flush();
    }
    if (FPieces.empty()) FStart = offset;
    FPieces.push_back({data, size});
    FEnd = offset + int64_t(size);
  }
  void Flush() {
    if (!FPieces.empty()) FStream.WritePiecesAt(FStart, FPieces.data(), FPieces.size());
    FPieces.clear();
  }

 private:
  static constexpr uint8_t kPadding[4] = {};
  const TPictureLayout& FLayout;
  TBandStream& FStream;
  std::vector<TWritePiece> FPieces;
  int64_t FStart = 0, FEnd = 0;
};

void WriteBand(const TPictureLayout& L, TBandStream& stream, int X, int Y, const Bitmap24& bitmap,
               bool swapped = false) {
  const int64_t j0 = std::max<int64_t>(0, -int64_t(X));
  const int64_t j1 = std::min<int64_t>(bitmap.Width(), L.W - X);
  const int64_t i0 = std::max<int64_t>(0, -int64_t(Y));
  const int64_t i1 = std::min<int64_t>(bitmap.Height(), L.H - Y);
  if (j1 <= j0 || i1 <= i0) return;
  const size_t pixels = size_t(j1 - j0);
  const bool swap = L.rgb && !swapped;
  if (!swap) {
    TGatheredWrite gather(L, stream);
    for (int64_t k = i0; k < i1; ++k) {
      const int64_t i = L.bottomUp ? i1 - 1 - (k - i0) : k;
      gather.Add(L.PixelOffset(X + j0, Y + i), bitmap.ScanLine(int(i)) + 3 * j0, pixels * 3);
    }
    gather.Flush();
    return;
  }
  std::vector<uint8_t> row(swap ? pixels * 3 : 0);
  for (int64_t i = i0; i < i1; ++i) {
    const uint8_t* src = bitmap.ScanLine(int(i)) + 3 * j0;
    if (swap) {
      SwapRedBlue(row.data(), src, pixels);
      src = row.data();
    }
    stream.WriteAt(L.PixelOffset(X + j0, Y + i), src, pixels * 3);
  }
}

void WriteRect(const TPictureLayout& L, TBandStream& stream, const TRect& rect, TColor colour) {
  const int64_t left = std::max<int64_t>(0, rect.Left), right = std::min<int64_t>(L.W, rect.Right);
  const int64_t top = std::max<int64_t>(0, rect.Top), bottom = std::min<int64_t>(L.H, rect.Bottom);
  if (left >= right || top >= bottom) return;
  const std::vector<uint8_t> row = ColourRow(colour, right - left, L.rgb);
  for (int64_t y = top; y < bottom; ++y) stream.WriteAt(L.PixelOffset(left, y), row.data(), row.size());
}

struct TSegment {
  int64_t start, width;
};

void WriteGridColumns(const TPictureLayout& L, TBandStream& stream, std::span<const int> x, int n,
                      int firstRow, int rowCount, int lineWidth, TColor colour) {
  if (n < 0 || size_t(n) >= x.size())
    throw EVitrane(Format("Grid column index %d out of range (%zu positions)", n, x.size()));
  const int64_t d = std::max(lineWidth, 1);
  const int64_t h = RoundDiv(d, 2);
  const int64_t first = std::max(firstRow, 0);
  const int64_t last = std::min<int64_t>(first + std::max(rowCount, 0), L.H);  // exclusive

  std::vector<TSegment> segs;
  segs.reserve(size_t(n) + 1);
  if (x[0] < h)
    segs.push_back({0, std::max<int64_t>(1, x[0] + h)});
  else
    segs.push_back({x[0], d});
  for (int k = 1; k < n; ++k) segs.push_back({x[k] - d / 2, d});
  const int64_t xn = x[size_t(n)];
  if (xn + h > L.W)
    segs.push_back({xn - h, h + (L.W - xn)});
  else
    segs.push_back({xn - d, d});

  // Nothing may land outside the picture: a stray column would spill into the
  // neighbouring row or, before the first, into the header.
  int64_t widest = 0;
  for (TSegment& s : segs) {
    const int64_t a = std::max<int64_t>(s.start, 0), b = std::min(s.start + s.width, L.W);
    s = {a, std::max<int64_t>(b - a, 0)};
    widest = std::max(widest, s.width);
  }
  if (widest == 0 || first >= last) return;
  const std::vector<uint8_t> row = ColourRow(colour, widest, L.rgb);
  for (int64_t y = first; y < last; ++y)
    for (const TSegment& s : segs)
      if (s.width > 0) stream.WriteAt(L.PixelOffset(s.start, y), row.data(), size_t(s.width) * 3);
}

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

void CheckSides(int W, int H) {
  if (W < 1 || H < 1) throw EOutOfResources(Format("Cannot write a picture of %d x %d pixels", W, H));
}

}  // namespace

int64_t BMPFileSize(int W, int H) {
  return kBMPHeaderSize + BMPRowBytes(W) * H;
}

int64_t TIFFFileSize(int W, int H) {
  return kTIFFPixelStart + 3 * int64_t(W) * H + kTIFFIFDSize + 6 + 16 + 8 * int64_t(H);
}

void CheckBMPSize(int W, int H) {
  CheckSides(W, H);
  if (BMPFileSize(W, H) > kMaxFileSize)
    throw EOutOfResources(
        Format("A picture of %d x %d pixels is too large for a BMP file (4 GB at the most)", W, H));
}

void CheckTIFFSize(int W, int H) {
  CheckSides(W, H);
  if (TIFFFileSize(W, H) > kMaxFileSize)
    throw EOutOfResources(
        Format("A picture of %d x %d pixels is too large for a TIFF file (4 GB at the most)", W, H));
}

bool WriteBMPHeader(TBandStream& stream, int W, int H) {
  try {
    CheckBMPSize(W, H);
    const int64_t size = BMPFileSize(W, H);
    uint8_t hdr[kBMPHeaderSize] = {'B', 'M'};
    Put32(hdr + 2, uint32_t(size));
    Put32(hdr + 10, kBMPHeaderSize);
    Put32(hdr + 14, 40);
    Put32(hdr + 18, uint32_t(W));
    Put32(hdr + 22, uint32_t(H));
    Put16(hdr + 26, 1);
    Put16(hdr + 28, 24);
    // The rows not yet written must read as black, whatever the file held.
    stream.SetSize(0);
    stream.SetSize(size);
    stream.WriteAt(0, hdr, sizeof hdr);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool WriteTIFFHeader(TBandStream& stream, int W, int H, int resolution, int resolutionUnit) {
  try {
    CheckTIFFSize(W, H);
    const uint32_t rowBytes = uint32_t(3 * int64_t(W));
    const uint32_t ifd = uint32_t(kTIFFPixelStart + int64_t(rowBytes) * H);
    const uint32_t bitsAt = ifd + kTIFFIFDSize, xResAt = bitsAt + 6, yResAt = xResAt + 8;
    const uint32_t offsetsAt = yResAt + 8, countsAt = offsetsAt + 4 * uint32_t(H);

    uint8_t hdr[kTIFFPixelStart] = {'I', 'I', 42, 0};
    Put32(hdr + 4, ifd);
    std::memcpy(hdr + 8, kSoftware, sizeof kSoftware);

    // The directory, the BitsPerSample array and the two rationals.
    uint8_t dir[kTIFFIFDSize + 6 + 16] = {};
    uint8_t* e = dir + 2;
    Put16(dir, kTIFFEntryCount);
    auto entry = [&e](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
      Put16(e, tag);
      Put16(e + 2, type);
      Put32(e + 4, count);
      Put32(e + 8, value);
      e += 12;
    };
    constexpr uint16_t kAscii = 2, kShort = 3, kLong = 4, kRational = 5;
    // Sides beyond a SHORT need a LONG; a single strip's offset and count fit
    // the entry itself, where TIFF readers look for them.
    entry(256, W > 0xFFFF ? kLong : kShort, 1, uint32_t(W));
    entry(257, H > 0xFFFF ? kLong : kShort, 1, uint32_t(H));
    entry(258, kShort, 3, bitsAt);
    entry(259, kShort, 1, 1);
    entry(262, kShort, 1, 2);
    entry(273, kLong, uint32_t(H), H == 1 ? uint32_t(kTIFFPixelStart) : offsetsAt);
    entry(274, kShort, 1, 1);
    entry(277, kShort, 1, 3);
    entry(278, kShort, 1, 1);
    entry(279, kLong, uint32_t(H), H == 1 ? rowBytes : countsAt);
    entry(282, kRational, 1, xResAt);
    entry(283, kRational, 1, yResAt);
    entry(284, kShort, 1, 1);
    entry(296, kShort, 1, uint16_t(resolutionUnit));
    entry(305, kAscii, sizeof kSoftware, 8);
    Put32(e, 0);  // no further directory
    uint8_t* tail = dir + kTIFFIFDSize;
    Put16(tail, 8);
    Put16(tail + 2, 8);
    Put16(tail + 4, 8);
    const uint32_t res = uint32_t(std::max(resolution, 0));
    Put32(tail + 6, res);
    Put32(tail + 10, 1);
    Put32(tail + 14, res);
    Put32(tail + 18, 1);

    stream.SetSize(0);
    stream.SetSize(TIFFFileSize(W, H));
    stream.WriteAt(0, hdr, sizeof hdr);
    stream.WriteAt(ifd, dir, sizeof dir);

    // The strip arrays grow with H; write them through a fixed buffer.
    constexpr uint32_t kChunk = 4096;
    uint8_t buf[kChunk * 4];
    for (int pass = 0; pass < 2; ++pass) {
      const uint32_t at = pass == 0 ? offsetsAt : countsAt;
      for (uint32_t i0 = 0; i0 < uint32_t(H); i0 += kChunk) {
        const uint32_t n = std::min(kChunk, uint32_t(H) - i0);
        for (uint32_t i = 0; i < n; ++i)
          Put32(buf + 4 * i, pass == 0 ? kTIFFPixelStart + rowBytes * (i0 + i) : rowBytes);
        stream.WriteAt(at + int64_t(4) * i0, buf, 4 * n);
      }
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void WriteBMPBand(TBandStream& stream, int W, int H, int X, int Y, const Bitmap24& bitmap) {
  WriteBand(BMPLayout(W, H), stream, X, Y, bitmap);
}

void WriteTIFFBand(TBandStream& stream, int W, int H, int X, int Y, const Bitmap24& bitmap) {
  WriteBand(TIFFLayout(W, H), stream, X, Y, bitmap);
}

void WriteTIFFBandRGB(TBandStream& stream, int W, int H, int X, int Y, const Bitmap24& bitmap) {
  WriteBand(TIFFLayout(W, H), stream, X, Y, bitmap, true);
}

void WriteBMPRect(TBandStream& stream, int W, int H, const TRect& rect, TColor colour) {
  WriteRect(BMPLayout(W, H), stream, rect, colour);
}

void WriteTIFFRect(TBandStream& stream, int W, int H, const TRect& rect, TColor colour) {
  WriteRect(TIFFLayout(W, H), stream, rect, colour);
}

void WriteBMPGridColumns(TBandStream& stream, int W, int H, std::span<const int> x, int n, int firstRow,
                         int rowCount, int lineWidth, TColor colour) {
  WriteGridColumns(BMPLayout(W, H), stream, x, n, firstRow, rowCount, lineWidth, colour);
}

void WriteTIFFGridColumns(TBandStream& stream, int W, int H, std::span<const int> x, int n, int firstRow,
                          int rowCount, int lineWidth, TColor colour) {
  WriteGridColumns(TIFFLayout(W, H), stream, x, n, firstRow, rowCount, lineWidth, colour);
}

void SaveBitmapAsTIFF(const std::string& fileName, const Bitmap24& bitmap, int resolution,
                      int resolutionUnit) {
  // A Bitmap24 is 24 bits per pixel already; there is no other format to convert from.
  const int W = bitmap.Width(), H = bitmap.Height();
  CheckTIFFSize(W, H);
  TReplacement temp(fileName);
  TBandFileStream stream(temp.Handle(), fileName);
  if (!WriteTIFFHeader(stream, W, H, resolution, resolutionUnit)) {
    // The header routine reports only false; the stream kept the reason.
    const int e = stream.LastError();
    if (e == 0) throw EFileError(Format("Unable to write to %s", fileName.c_str()));
    throw EFileError(Format("Unable to write to %s (%s)", fileName.c_str(), std::strerror(e)), e);
  }
  WriteTIFFBand(stream, W, H, 0, 0, bitmap);
  temp.Commit();
}
