#include "formats/Png.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "formats/PictureInput.h"
#include "platform/Files.h"
#include "platform/Rounding.h"

namespace {

constexpr uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
// Input is handed to inflate in blocks of at most this many bytes.
constexpr size_t kInputBlock = 65535;
// Deflate cannot expand data by more than 1032 to 1 (a 258-byte match in two
// bits); a header that asks for more than its image data could ever fill is
// not believed.
constexpr uint64_t kMaxInflateRatio = 1032;

// CRC-32 as the format defines it (zlib's, which is much faster than a
// byte-wise table); the value runs on over a chunk's pieces.
uint32_t CrcUpdate(uint32_t crc, const uint8_t* p, size_t n) {
  return n == 0 ? crc : uint32_t(crc32_z(crc, p, n));
}

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

bool TypeIs(const uint8_t* type, const char* name) {
  return std::memcmp(type, name, 4) == 0;
}

// Every read of the file goes through here: asking for more than is left is
// an unexpected end, never a read past the data. Over a file a returned
// pointer holds until the next read.
class Input {
 public:
  explicit Input(TPictureInput& in) : FIn(in) {}
  uint64_t Left() const { return FIn.Remaining(); }
  const uint8_t* Take(size_t n) {
    if (n > Left()) throw EPngUnexpectedEnd();
    return FIn.Read(n);
  }
  uint32_t U32() { return BigEndian32(Take(4)); }
  // A seek past the end leaves the input empty; the next read then fails.
  void Skip(uint64_t n) { FIn.Seek(FIn.Position() + std::min(n, Left())); }
  // The n bytes at offset from the current position, or null when the data
  // ends first; the position stays.
  const uint8_t* Peek(uint64_t offset, size_t n) const {
    return offset > Left() || n > Left() - offset ? nullptr : FIn.At(FIn.Position() + offset, n);
  }

 private:
  TPictureInput& FIn;
};

// Takes length bytes a block at a time into a running CRC, keeping the
// first `keep` of them: a long chunk costs no memory of its own.
uint32_t TakeIntoCrc(Input& in, uint32_t crc, uint64_t length, std::vector<uint8_t>* kept = nullptr,
                     size_t keep = 0) {
  while (length > 0) {
    const size_t n = size_t(std::min<uint64_t>(length, kInputBlock));
    const uint8_t* p = in.Take(n);
    if (kept && kept->size() < keep) kept->insert(kept->end(), p, p + std::min(n, keep - kept->size()));
    crc = CrcUpdate(crc, p, n);
    length -= n;
  }
  return crc;
}

struct Header {
  uint32_t Width = 0, Height = 0;
  uint8_t BitDepth = 0, ColorType = 0, Interlace = 0;
  int Channels() const {
    switch (ColorType) {
      case 2:
        return 3;
      case 4:
        return 2;
      case 6:
        return 4;
      default:
        return 1;
    }
  }
  uint64_t RowBytes(uint64_t pixels) const { return (pixels * BitDepth * Channels() + 7) / 8; }
  // Distance from a byte to the same byte of the pixel before it.
  int PixelOffset() const { return std::max(1, BitDepth * Channels() / 8); }
};

struct Bgr {
  uint8_t B = 0, G = 0, R = 0;
  bool operator==(const Bgr&) const = default;
};

// Everything the chunks read so far have said about the picture.
struct PngState {
  Header Hdr;
  std::array<uint8_t, 256> GammaLut{};
  std::array<Bgr, 256> Palette{};  // gamma applied as the palette was read
  bool HasTransparency = false;
  std::array<uint8_t, 256> AlphaEntries{};
  Bitmap24 Image;
};

bool ValidDepth(uint8_t colorType, uint8_t depth) {
  switch (colorType) {
    case 0:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case 3:
      return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    case 2:
    case 4:
    case 6:
      return depth == 8 || depth == 16;
    default:
      return false;
  }
}

void LoadHeader(PngState& s, const uint8_t* d, size_t length) {
  if (length < 13) throw EPngInvalidIHDR();
  Header h;
  h.Width = BigEndian32(d);
  h.Height = BigEndian32(d + 4);
  h.BitDepth = d[8];
  h.ColorType = d[9];
  if (h.Width > 65535 || h.Height > 65535) throw EPNGSizeExceeds();
  if (d[10] != 0) throw EPNGUnknownCompression();
  if (d[12] > 1) throw EPNGUnknownInterlace();
  h.Interlace = d[12];
  // Zero sides and combinations outside the format's list cannot be drawn.
  if (h.Width == 0 || h.Height == 0 || !ValidDepth(h.ColorType, h.BitDepth)) throw EPngInvalidIHDR();
  // Beyond the size cap every reader shares.
  if (!PictureSizeAllowed(h.Width, h.Height)) throw EPNGOutMemory();
  s.Hdr = h;
  s.Palette = {};
  // The picture is made when its image data is met, and only when that data
  // can fill it.
  s.Image = Bitmap24();
}

// The compressed bytes of the image-data chunk whose data starts at the
// input's position (length bytes) and of the image-data chunks right after
// it, as far as the file holds them.
uint64_t ImageDataBytes(const Input& in, uint32_t length) {
  uint64_t total = 0, at = 0;
  for (;;) {
    const uint64_t held = std::min<uint64_t>(length, in.Left() - std::min<uint64_t>(at, in.Left()));
    total += held;
    at += uint64_t(length) + 4;  // data and CRC
    const uint8_t* next = in.Peek(at, 8);
    if (next == nullptr || !TypeIs(next + 4, "IDAT")) return total;
    length = BigEndian32(next);
    at += 8;
  }
}

void MakePicture(PngState& s, const Input& in, uint32_t length) {
  const Header& h = s.Hdr;
  const uint64_t rawBytes = (h.RowBytes(h.Width) + 1) * h.Height;
  if (rawBytes > ImageDataBytes(in, length) * kMaxInflateRatio) throw EPngUnexpectedEnd();
  s.Image.SetSize(int(h.Width), int(h.Height));
}

void LoadPalette(PngState& s, const uint8_t* d, size_t length) {
  if (length % 3 != 0 || length / 3 > 256) throw EPNGInvalidPalette();
  for (size_t i = 0; i < length / 3; ++i)
    s.Palette[i] = {s.GammaLut[d[3 * i + 2]], s.GammaLut[d[3 * i + 1]], s.GammaLut[d[3 * i]]};
}

void LoadGamma(PngState& s, const uint8_t* d, size_t length) {
  // A gAMA of another length is damaged; the picture stays uncorrected
  // rather than turning almost black.
  if (length != 4) return;
  const uint32_t value = BigEndian32(d);
  if (value == 0) return;
  const double exponent = 1.0 / (value / 100000.0 * 2.2);
  for (int i = 0; i < 256; ++i) s.GammaLut[i] = uint8_t(RoundHalfEven(std::pow(i / 255.0, exponent) * 255.0));
}

void LoadTransparency(PngState& s, const uint8_t* d, size_t length) {
  if (length > 256) throw EPNGInvalidPalette();
  s.AlphaEntries.fill(255);
  if (length > 0) std::memcpy(s.AlphaEntries.data(), d, length);
  s.HasTransparency = true;
}

// ---------------------------------------------------------------- rows

// How one decoded row becomes 24-bit pixels; built once per image.
struct RowConverter {
  Header Hdr;
  std::array<uint8_t, 256> Gamma{};
  // Colour per index (palette) or per sample value (greyscale up to 8 bits),
  // transparency already resolved; greyscale of 16 bits by its high byte.
  std::array<Bgr, 256> Lut{};
  bool HasKey = false;  // greyscale or RGB with one transparent colour
  uint16_t Key[3] = {0, 0, 0};

  explicit RowConverter(const PngState& s) : Hdr(s.Hdr), Gamma(s.GammaLut) {
    const uint8_t type = Hdr.ColorType;
    if (type == 3) {
      Lut = s.Palette;
      // Transparency belongs to the palette index, never to its colour: an
      // opaque entry that happens to share a transparent entry's colour stays.
      // Full transparency blends to black and full opacity leaves the colour,
      // so one transparent entry and many partial ones come out the same way.
      if (s.HasTransparency)
        for (int i = 0; i < 256; ++i) Lut[i] = Blend(Lut[i], s.AlphaEntries[i]);
    } else if (type == 0) {
      const int depth = std::min<int>(Hdr.BitDepth, 8);
      const int maxSample = (1 << depth) - 1;
      for (int v = 0; v <= maxSample; ++v) {
        // The grey table of n entries holds level k * 255 / (n - 1); 2-bit
        // samples land on a 16-entry table as v * 5, so the level is the same.
        const uint8_t g = Gamma[v * 255 / maxSample];
        Lut[v] = {g, g, g};
      }
    }
    if ((type == 0 || type == 2) && s.HasTransparency) {
      HasKey = true;
      for (int c = 0; c < (type == 2 ? 3 : 1); ++c)
        Key[c] = uint16_t(s.AlphaEntries[2 * c] << 8 | s.AlphaEntries[2 * c + 1]);
    }
  }

  static Bgr Blend(Bgr c, int alpha) { return {Mix(c.B, alpha), Mix(c.G, alpha), Mix(c.R, alpha)}; }
  static uint8_t Mix(int c, int alpha) { return uint8_t((alpha * c + 255) >> 8); }
  static void Put(uint8_t* p, Bgr c) {
    p[0] = c.B;
    p[1] = c.G;
    p[2] = c.R;
  }

  // Converts count pixels of an unfiltered row; pixel k goes to dst + k * step.
  void Convert(const uint8_t* src, uint32_t count, uint8_t* dst, size_t step) const {
    const int depth = Hdr.BitDepth;
    switch (Hdr.ColorType) {
      case 0:
      case 3:
        if (depth < 8) {
          const int perByte = 8 / depth, mask = (1 << depth) - 1;
          for (uint32_t k = 0; k < count; ++k, dst += step) {
            const int shift = 8 - depth * (int(k % perByte) + 1);
            const int v = src[k / perByte] >> shift & mask;
            Put(dst, HasKey && v == Key[0] ? Bgr() : Lut[v]);
          }
        } else if (depth == 8) {
          for (uint32_t k = 0; k < count; ++k, dst += step)
            Put(dst, HasKey && src[k] == Key[0] ? Bgr() : Lut[src[k]]);
        } else {
          for (uint32_t k = 0; k < count; ++k, dst += step, src += 2)
            Put(dst, HasKey && (src[0] << 8 | src[1]) == Key[0] ? Bgr() : Lut[src[0]]);
        }
        break;
      case 2: {
        const int b = depth / 8;  // bytes per sample; the high byte counts
        if (!HasKey) {
          for (uint32_t k = 0; k < count; ++k, dst += step, src += 3 * b) {
            dst[0] = Gamma[src[2 * b]];
            dst[1] = Gamma[src[b]];
            dst[2] = Gamma[src[0]];
          }
          break;
        }
        for (uint32_t k = 0; k < count; ++k, dst += step, src += 3 * b) {
          if (HasKey && Sample(src, b, 0) == Key[0] && Sample(src, b, 1) == Key[1] &&
              Sample(src, b, 2) == Key[2]) {
            Put(dst, Bgr());
            continue;
          }
          dst[0] = Gamma[src[2 * b]];
          dst[1] = Gamma[src[b]];
          dst[2] = Gamma[src[0]];
        }
        break;
      }
      case 4: {
        // Drawing takes the grey level straight from the sample.
        const int b = depth / 8;
        for (uint32_t k = 0; k < count; ++k, dst += step, src += 2 * b) {
          const uint8_t g = Mix(src[0], src[b]);
          Put(dst, {g, g, g});
        }
        break;
      }
      case 6: {
        const int b = depth / 8;
        for (uint32_t k = 0; k < count; ++k, dst += step, src += 4 * b) {
          const int a = src[3 * b];
          dst[0] = Mix(Gamma[src[2 * b]], a);
          dst[1] = Mix(Gamma[src[b]], a);
          dst[2] = Mix(Gamma[src[0]], a);
        }
        break;
      }
    }
  }

  static uint16_t Sample(const uint8_t* p, int bytes, int channel) {
    return bytes == 1 ? p[channel] : uint16_t(p[2 * channel] << 8 | p[2 * channel + 1]);
  }
};

// The first pixel of a row has no left neighbour; the loops after it need no
// test per byte.
void Unfilter(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t length, size_t bpp) {
  const size_t head = std::min(bpp, length);
  switch (filter) {
    case 1:
      for (size_t i = bpp; i < length; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
      break;
    case 2:
      for (size_t i = 0; i < length; ++i) row[i] = uint8_t(row[i] + prior[i]);
      break;
    case 3:
      for (size_t i = 0; i < head; ++i) row[i] = uint8_t(row[i] + (prior[i] >> 1));
      for (size_t i = bpp; i < length; ++i) row[i] = uint8_t(row[i] + ((row[i - bpp] + prior[i]) >> 1));
      break;
    case 4:
      // With no left neighbours the predictor is always the byte above.
      for (size_t i = 0; i < head; ++i) row[i] = uint8_t(row[i] + prior[i]);
      for (size_t i = bpp; i < length; ++i) {
        const int a = row[i - bpp], b = prior[i], c = prior[i - bpp];
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int pred = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        row[i] = uint8_t(row[i] + pred);
      }
      break;
    default:  // none, and unknown filters leave the row as it stands
      break;
  }
}

// Feeds inflate from the current image-data chunk and those that follow it
// directly, checking each chunk's CRC as its data runs out.
class ImageDataSource {
 public:
  ImageDataSource(Input& in, const uint8_t* type, uint32_t length) : FIn(in), FLeft(length) {
    FCrc = CrcUpdate(0, type, 4);
  }
  // The next block of compressed bytes (never empty).
  std::pair<const uint8_t*, size_t> Next() {
    while (FLeft == 0) {
      CheckChunkCrc();
      const uint32_t length = FIn.U32();
      const uint8_t* type = FIn.Take(4);
      if (!TypeIs(type, "IDAT")) throw EPNGMissingMultipleIDAT();
      FLeft = length;
      FCrc = CrcUpdate(0, type, 4);
    }
    const size_t n = std::min<size_t>(FLeft, kInputBlock);
    const uint8_t* p = FIn.Take(n);
    FCrc = CrcUpdate(FCrc, p, n);
    FLeft -= uint32_t(n);
    return {p, n};
  }
  // Once the picture is complete: the rest of the chunk then being read
  // counts toward its CRC, which must match.
  void Finish() {
    FCrc = TakeIntoCrc(FIn, FCrc, FLeft);
    FLeft = 0;
    CheckChunkCrc();
  }

 private:
  void CheckChunkCrc() {
    if (FCrc != FIn.U32()) throw EPngInvalidCRC();
  }
  Input& FIn;
  uint32_t FLeft;
  uint32_t FCrc;
};

class Inflater {
 public:
  explicit Inflater(ImageDataSource& src) : FSrc(src) {
    if (inflateInit(&FZ) != Z_OK) throw EPNGOutMemory();
  }
  ~Inflater() { inflateEnd(&FZ); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Fills n bytes; false when the compressed stream ended first.
  bool Read(uint8_t* out, size_t n) {
    FZ.next_out = out;
    FZ.avail_out = uInt(n);
    while (FZ.avail_out > 0) {
      if (FEnded) return false;
      if (FZ.avail_in == 0) {
        const auto [p, len] = FSrc.Next();
        FZ.next_in = const_cast<Bytef*>(p);
        FZ.avail_in = uInt(len);
      }
      const int r = inflate(&FZ, Z_NO_FLUSH);
      if (r == Z_STREAM_END) {
        FEnded = true;
      } else if (r != Z_OK) {
        throw EPNGZLIBError(
            "Could not decompress the image because it contains invalid compressed data.\r\n Description: " +
            std::string(zError(r)));
      }
    }
    return true;
  }

 private:
  ImageDataSource& FSrc;
  z_stream FZ{};
  bool FEnded = false;
};

struct Pass {
  uint32_t RowStart, ColStart, RowStep, ColStep;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                            {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};
constexpr Pass kWhole = {0, 0, 1, 1};

void DecodeImageData(PngState& s, Input& in, const uint8_t* type, uint32_t length) {
  const Header& h = s.Hdr;
  const RowConverter conv(s);
  ImageDataSource src(in, type, length);
  Inflater z(src);
  const size_t bpp = size_t(h.PixelOffset());
  const size_t maxRow = size_t(h.RowBytes(h.Width));
  // Two rows, each behind its filter-type byte.
  std::vector<uint8_t> bufA(maxRow + 1), bufB(maxRow + 1);
  uint8_t* cur = bufA.data();
  uint8_t* prev = bufB.data();

  const Pass* passes = h.Interlace ? kAdam7 : &kWhole;
  const int passCount = h.Interlace ? 7 : 1;
  bool complete = true;
  for (int p = 0; p < passCount && complete; ++p) {
    const Pass& ps = passes[p];
    if (ps.ColStart >= h.Width || ps.RowStart >= h.Height) continue;
    const uint32_t count = (h.Width - ps.ColStart + ps.ColStep - 1) / ps.ColStep;
    const size_t rowBytes = size_t(h.RowBytes(count));
    std::memset(prev, 0, rowBytes + 1);
    for (uint32_t y = ps.RowStart; y < h.Height; y += ps.RowStep) {
      if (!z.Read(cur, rowBytes + 1)) {
        complete = false;  // the rows not decoded stay black
        break;
      }
      Unfilter(cur[0], cur + 1, prev + 1, rowBytes, bpp);
      conv.Convert(cur + 1, count, s.Image.ScanLine(int(y)) + size_t(ps.ColStart) * 3,
                   size_t(ps.ColStep) * 3);
      std::swap(cur, prev);
    }
  }
  src.Finish();
}

// Reads the picture from the input's start; a file is read chunk by chunk
// and only as far as its end chunk, so a huge file that is no PNG costs its
// first 8 bytes.
void Load(TPictureInput& source, Bitmap24& out) {
  if (!source.Has(0, 8) || std::memcmp(source.At(0, 8), kSignature, 8) != 0) throw EPNGInvalidFileHeader();
  source.Seek(8);
  Input in(source);
  PngState s;
  for (int i = 0; i < 256; ++i) s.GammaLut[i] = uint8_t(i);
  bool first = true, sawImageData = false;
  std::vector<uint8_t> d;
  for (;;) {
    const uint32_t length = in.U32();
    uint8_t type[4];
    std::memcpy(type, in.Take(4), 4);
    if (first && !TypeIs(type, "IHDR")) throw EPNGIHDRNotFirst();
    first = false;
    // Surplus image-data chunks after the decoded stream, and chromaticities,
    // are passed over unchecked.
    if (TypeIs(type, "cHRM") || (TypeIs(type, "IDAT") && sawImageData)) {
      in.Skip(uint64_t(length) + 4);
      continue;
    }
    if (TypeIs(type, "IDAT")) {
      MakePicture(s, in, length);
      DecodeImageData(s, in, type, length);
      sawImageData = true;
      continue;
    }
    const bool known = TypeIs(type, "IHDR") || TypeIs(type, "IEND") || TypeIs(type, "PLTE") ||
                       TypeIs(type, "gAMA") || TypeIs(type, "tRNS") || TypeIs(type, "tIME") ||
                       TypeIs(type, "tEXt") || TypeIs(type, "zTXt");
    if (!known && (type[0] & 0x20) == 0) throw EPNGUnknownCriticalChunk();
    // Every chunk the picture uses is valid only when short (a palette holds
    // at most 768 bytes); of a longer one, which is refused or passed over,
    // only the CRC is taken. Text, time and unknown ancillary chunks change
    // nothing that is drawn.
    d.clear();
    const uint32_t crc = TakeIntoCrc(in, CrcUpdate(0, type, 4), length, &d, 768);
    if (crc != in.U32()) throw EPngInvalidCRC();
    if (TypeIs(type, "IHDR")) {
      LoadHeader(s, d.data(), length);
    } else if (TypeIs(type, "PLTE")) {
      LoadPalette(s, d.data(), length);
    } else if (TypeIs(type, "gAMA")) {
      LoadGamma(s, d.data(), length);
    } else if (TypeIs(type, "tRNS")) {
      LoadTransparency(s, d.data(), length);
    } else if (TypeIs(type, "IEND")) {
      break;
    }
  }
  // A header after the image data leaves a picture with none.
  if (!sawImageData || s.Image.Empty()) throw EPNGNoImageData();
  out = std::move(s.Image);
}

}  // namespace

void ReadPNG(const uint8_t* data, size_t size, Bitmap24& out) {
  TPictureInput in(data, size);
  Load(in, out);
}

void ReadPNGFile(const std::string& fileName, Bitmap24& out) {
  const TFileReader file(fileName);
  TPictureInput in(file);
  Load(in, out);
}
