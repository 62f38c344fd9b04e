#include "platform/Bmp.h"

#include <algorithm>
#include <cstring>

#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;

// Every read of the file goes through here, so a short file is an error and
// never a read past the data.
class Input {
 public:
  Input(const uint8_t* data, size_t size, const char* what) : FData(data), FSize(size), FWhat(what) {}
  size_t Size() const { return FSize; }
  bool Has(uint64_t offset, uint64_t count) const { return offset <= FSize && count <= FSize - offset; }
  const uint8_t* At(uint64_t offset, uint64_t count) const {
    if (!Has(offset, count)) Fail("%s file is truncated");
    return FData + offset;
  }
  uint8_t U8(uint64_t o) const { return *At(o, 1); }
  uint16_t U16(uint64_t o) const {
    const uint8_t* p = At(o, 2);
    return uint16_t(p[0] | (p[1] << 8));
  }
  uint32_t U32(uint64_t o) const {
    const uint8_t* p = At(o, 4);
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  }
  int32_t I32(uint64_t o) const { return int32_t(U32(o)); }
  [[noreturn]] void Fail(const char* fmt) const { throw EInvalidGraphic(Format(fmt, FWhat)); }

 private:
  const uint8_t* FData;
  size_t FSize;
  const char* FWhat;
};

// One colour channel of a 16- or 32-bit pixel, scaled to 0..255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit Channel(uint32_t m = 0) : mask(m) {
    if (m == 0) return;
    while (((m >> shift) & 1) == 0) ++shift;
    max = m >> shift;
  }
  uint8_t Get(uint32_t v) const {
    if (max == 0) return 0;
    return uint8_t((uint64_t((v & mask) >> shift) * 255 + max / 2) / max);
  }
};

// What the info header says about the pixels.
struct DibInfo {
  int width = 0, height = 0;  // height > 0
  bool topDown = false;
  int bpp = 0;
  uint32_t compression = BI_RGB;
  Channel red, green, blue, alpha;
  std::vector<uint8_t> palette;  // B,G,R triples
};

uint64_t RowBytes(int width, int bpp) {
  return (uint64_t(width) * uint64_t(bpp) + 31) / 32 * 4;
}

// Reads the info header at offset; returns the offset just after it and the
// palette. storedHeight is the raw height field (icons store twice the size).
uint64_t ReadInfoHeader(const Input& in, uint64_t at, DibInfo& info, int64_t& storedHeight, bool allowRle) {
  const uint32_t hdr = in.U32(at);
  bool core = false;
  int64_t width, height;
  int planes;
  uint32_t colorsUsed = 0;
  if (hdr == 12) {
    core = true;
    width = in.U16(at + 4);
    height = in.U16(at + 6);
    planes = in.U16(at + 8);
    info.bpp = in.U16(at + 10);
  } else if (hdr >= 40 && hdr <= 1024) {
    width = in.I32(at + 4);
    height = in.I32(at + 8);
    planes = in.U16(at + 12);
    info.bpp = in.U16(at + 14);
    info.compression = in.U32(at + 16);
    colorsUsed = in.U32(at + 32);
  } else {
    throw EInvalidGraphic(Format("Bitmap has an unsupported header size (%u)", hdr));
  }
  storedHeight = height;
  if (planes != 1) throw EInvalidGraphic(Format("Bitmap has %d colour planes; only 1 is supported", planes));
  if (width <= 0 || height == 0 || width > 0x7FFFFFFF || height < -0x7FFFFFFF)
    throw EInvalidGraphic(
        Format("Bitmap has an invalid size (%lld x %lld)", (long long)width, (long long)height));
  info.topDown = height < 0;
  info.width = int(width);
  info.height = int(height < 0 ? -height : height);
  switch (info.bpp) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      throw EInvalidGraphic(Format("Bitmap has an unsupported colour depth (%d bits)", info.bpp));
  }
  const uint32_t c = info.compression;
  const bool ok = c == BI_RGB || (allowRle && c == BI_RLE8 && info.bpp == 8) ||
                  (allowRle && c == BI_RLE4 && info.bpp == 4) ||
                  ((c == BI_BITFIELDS || c == BI_ALPHABITFIELDS) && (info.bpp == 16 || info.bpp == 32));
  if (!ok)
    throw EInvalidGraphic(Format("Bitmap has an unsupported compression (%u at %d bits)", c, info.bpp));
  if ((c == BI_RLE8 || c == BI_RLE4) && info.topDown)
    throw EInvalidGraphic("Bitmap is compressed but stored top-down");

  uint64_t next = at + hdr;
  if (c == BI_BITFIELDS || c == BI_ALPHABITFIELDS) {
    // The masks follow a 40-byte header; later headers hold them in place.
    const int masks = c == BI_ALPHABITFIELDS ? 4 : 3;
    info.red = Channel(in.U32(at + 40));
    info.green = Channel(in.U32(at + 44));
    info.blue = Channel(in.U32(at + 48));
    if (masks == 4) info.alpha = Channel(in.U32(at + 52));
    if (hdr == 40) next = at + 40 + 4 * uint64_t(masks);
  } else if (info.bpp == 16) {
    info.red = Channel(0x7C00);
    info.green = Channel(0x03E0);
    info.blue = Channel(0x001F);
  } else if (info.bpp == 32) {
    info.red = Channel(0x00FF0000);
    info.green = Channel(0x0000FF00);
    info.blue = Channel(0x000000FF);
  }
  if (info.bpp <= 8) {
    const uint32_t full = 1u << info.bpp;
    // A count beyond what the depth can index only wastes space in the file.
    const uint32_t n = colorsUsed == 0 || colorsUsed > full ? full : colorsUsed;
    const uint32_t entry = core ? 3 : 4;
    // Files that declare a full palette but store less are refused.
    const uint8_t* p = in.At(next, uint64_t(n) * entry);
    info.palette.assign(size_t(full) * 3, 0);
    for (uint32_t i = 0; i < n; ++i) std::memcpy(&info.palette[size_t(i) * 3], p + size_t(i) * entry, 3);
    next += uint64_t(colorsUsed > full && !core ? colorsUsed : n) * entry;
  }
  return next;
}

// Converts one stored row of an uncompressed bitmap to B,G,R.
void ConvertRow(const DibInfo& info, const uint8_t* s, uint8_t* d) {
  const int w = info.width;
  switch (info.bpp) {
    case 1:
    case 4:
    case 8: {
      const int perByte = 8 / info.bpp;
      const int mask = (1 << info.bpp) - 1;
      for (int x = 0; x < w; ++x, d += 3) {
        const int shift = (perByte - 1 - x % perByte) * info.bpp;
        const int idx = (s[x / perByte] >> shift) & mask;
        std::memcpy(d, &info.palette[size_t(idx) * 3], 3);
      }
      break;
    }
    case 16:
      for (int x = 0; x < w; ++x, d += 3, s += 2) {
        const uint32_t v = uint32_t(s[0] | (s[1] << 8));
        d[0] = info.blue.Get(v);
        d[1] = info.green.Get(v);
        d[2] = info.red.Get(v);
      }
      break;
    case 24:
      std::memcpy(d, s, size_t(w) * 3);
      break;
    case 32:
      for (int x = 0; x < w; ++x, d += 3, s += 4) {
        const uint32_t v =
            uint32_t(s[0]) | (uint32_t(s[1]) << 8) | (uint32_t(s[2]) << 16) | (uint32_t(s[3]) << 24);
        d[0] = info.blue.Get(v);
        d[1] = info.green.Get(v);
        d[2] = info.red.Get(v);
      }
      break;
  }
}

int OutRow(const DibInfo& info, int storedRow) {
  return info.topDown ? storedRow : info.height - 1 - storedRow;
}

// RLE4/RLE8. Pixels the stream skips (deltas, early ends of line or of the
// picture) keep palette entry 0, as in a fresh device-independent bitmap.
void DecodeRle(const Input& in, uint64_t pos, const DibInfo& info, Bitmap24& out) {
  const bool four = info.compression == BI_RLE4;
  const uint8_t* fill = &info.palette[0];
  for (int y = 0; y < info.height; ++y) {
    uint8_t* d = out.ScanLine(y);
    for (int x = 0; x < info.width; ++x) std::memcpy(d + size_t(x) * 3, fill, 3);
  }
  auto put = [&](int64_t x, int64_t y, int idx) {
    if (x < info.width && y < info.height)
      std::memcpy(out.ScanLine(OutRow(info, int(y))) + size_t(x) * 3, &info.palette[size_t(idx) * 3], 3);
  };
  int64_t x = 0, y = 0;
  while (y < info.height) {
    const uint8_t count = in.U8(pos), value = in.U8(pos + 1);
    pos += 2;
    if (count > 0) {  // a run of one index, or two alternating ones
      for (int i = 0; i < count; ++i, ++x) put(x, y, four ? ((i & 1) ? value & 0x0F : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of picture
      return;
    } else if (value == 2) {  // delta
      x += in.U8(pos);
      y += in.U8(pos + 1);
      pos += 2;
    } else {  // literal indices, padded to a word
      const uint64_t bytes = four ? (uint64_t(value) + 1) / 2 : value;
      const uint8_t* p = in.At(pos, bytes);
      for (int i = 0; i < value; ++i, ++x)
        put(x, y, four ? ((i & 1) ? p[i / 2] & 0x0F : p[i / 2] >> 4) : p[i]);
      pos += (bytes + 1) & ~uint64_t(1);
    }
  }
}

// RLE data can describe a huge picture in a few bytes; allow what a real
// picture of this many compressed bytes could plausibly be.
void CheckRleSize(const DibInfo& info, uint64_t dataBytes) {
  const uint64_t pixels = uint64_t(info.width) * uint64_t(info.height);
  const uint64_t limit = std::max<uint64_t>(uint64_t(1) << 20, dataBytes * 4096);
  if (pixels > limit)
    throw EInvalidGraphic(Format("Bitmap size %d x %d is not plausible for %llu bytes of compressed data",
                                 info.width, info.height, (unsigned long long)dataBytes));
}

// The picture the pixels go into, within the size cap every reader shares;
// the caller has checked that the file holds the data for it.
void SizePicture(const DibInfo& info, Bitmap24& result) {
  if (!PictureSizeAllowed(info.width, info.height))
    throw EInvalidGraphic(Format("Bitmap has an invalid size (%d x %d)", info.width, info.height));
  result.SetSize(info.width, info.height);
}

PngIconDecoder gPngIconDecoder = nullptr;

// The file and info headers; returns where the pixels start.
uint64_t ReadBmpHeaders(const Input& in, DibInfo& info) {
  if (in.Size() < 2 || in.U8(0) != 'B' || in.U8(1) != 'M')
    throw EInvalidGraphic("Not a bitmap file (no \"BM\" signature)");
  const uint32_t offBits = in.U32(10);
  int64_t storedHeight = 0;
  const uint64_t afterHeader = ReadInfoHeader(in, 14, info, storedHeight, true);
  // The pixels start where the file header says; files that leave it 0 store
  // them right after the palette.
  return offBits != 0 ? offBits : afterHeader;
}

// The headers with the largest palette fit in this many bytes.
constexpr size_t kBmpHeadBytes = 4096;

// How far into a file whose first bytes are head the picture can reach: its
// pixels, and for run-length data two bytes a pixel and an end of line a row
// at most. The headers are checked as ReadBMP checks them.
uint64_t BmpExtent(const std::vector<uint8_t>& head) {
  const Input in(head.data(), head.size(), "Bitmap");
  DibInfo info;
  const uint64_t pixels = ReadBmpHeaders(in, info);
  const uint64_t w = uint64_t(info.width), h = uint64_t(info.height);
  if (info.compression == BI_RLE8 || info.compression == BI_RLE4) return pixels + 2 * w * h + 2 * h + 2;
  return pixels + RowBytes(info.width, info.bpp) * h;
}

}  // namespace

void ReadBMP(const uint8_t* data, size_t size, Bitmap24& out) {
  const Input in(data, size, "Bitmap");
  DibInfo info;
  const uint64_t pixels = ReadBmpHeaders(in, info);
  if (pixels >= size) in.Fail("%s file is truncated (no pixel data)");
  Bitmap24 result;
  if (info.compression == BI_RLE8 || info.compression == BI_RLE4) {
    CheckRleSize(info, size - pixels);
    SizePicture(info, result);
    DecodeRle(in, pixels, info, result);
  } else {
    const uint64_t stride = RowBytes(info.width, info.bpp);
    // The last row need not carry its padding.
    const uint64_t need = stride * uint64_t(info.height - 1) + (uint64_t(info.width) * info.bpp + 7) / 8;
    if (!in.Has(pixels, need))
      throw EInvalidGraphic(
          Format("Bitmap data is truncated (%d x %d at %d bits needs %llu bytes, %llu found)", info.width,
                 info.height, info.bpp, (unsigned long long)need, (unsigned long long)(size - pixels)));
    SizePicture(info, result);
    for (int y = 0; y < info.height; ++y)
      ConvertRow(info, data + pixels + stride * uint64_t(y), result.ScanLine(OutRow(info, y)));
  }
  out = std::move(result);
}

void ReadBMPFile(const std::string& fileName, Bitmap24& out) {
  // The headers decide how much more of the file is read: a huge file that
  // is no bitmap costs its first block.
  const TFileReader file(fileName);
  std::vector<uint8_t> data = file.ReadRange(0, kBmpHeadBytes);
  if (data.size() == kBmpHeadBytes) data = file.ReadRange(0, BmpExtent(data));
  ReadBMP(data.data(), data.size(), out);
}

std::vector<uint8_t> EncodeBMP24(const Bitmap24& bmp) {
  if (bmp.Empty()) throw EInvalidGraphic("Cannot save an empty picture as a bitmap");
  const uint64_t stride = bmp.Stride();
  const uint64_t image = stride * uint64_t(bmp.Height());
  const uint64_t total = 54 + image;
  if (total > 0xFFFFFFFFull)
    throw EOutOfResources(
        Format("A %d x %d picture is too large for a bitmap file", bmp.Width(), bmp.Height()));
  std::vector<uint8_t> f(size_t(total), 0);
  auto put16 = [&](size_t o, uint32_t v) {
    f[o] = uint8_t(v);
    f[o + 1] = uint8_t(v >> 8);
  };
  auto put32 = [&](size_t o, uint32_t v) {
    put16(o, v & 0xFFFF);
    put16(o + 2, v >> 16);
  };
  f[0] = 'B';
  f[1] = 'M';
  put32(2, uint32_t(total));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(bmp.Width()));
  put32(22, uint32_t(bmp.Height()));
  put16(26, 1);
  put16(28, 24);
  put32(34, uint32_t(image));
  for (int y = 0; y < bmp.Height(); ++y)
    std::memcpy(&f[54 + size_t(stride) * size_t(bmp.Height() - 1 - y)], bmp.ScanLine(y), size_t(stride));
  return f;
}

void WriteBMPFile(const Bitmap24& bmp, const std::string& fileName) {
  WriteFileReplacing(fileName, EncodeBMP24(bmp));
}

void SetPngIconDecoder(PngIconDecoder decoder) {
  gPngIconDecoder = decoder;
}

void ReadICO(const uint8_t* data, size_t size, Bitmap24& out) {
  const Input in(data, size, "Icon");
  const uint16_t reserved = in.U16(0), type = in.U16(2), count = in.U16(4);
  if (reserved != 0 || (type != 1 && type != 2)) throw EInvalidGraphic("Not an icon file");
  if (count == 0) throw EInvalidGraphic("Icon file holds no images");
  in.At(6, uint64_t(count) * 16);

  // The largest image; among equal sizes the deepest colour, then the first.
  // PNG-compressed images need a PNG decoder; without one they are passed over.
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  int best = -1;
  uint64_t bestArea = 0;
  int bestBits = -1;
  bool sawPng = false;
  for (int i = 0; i < count; ++i) {
    const uint64_t e = 6 + uint64_t(i) * 16;
    const uint32_t w = in.U8(e) ? in.U8(e) : 256, h = in.U8(e + 1) ? in.U8(e + 1) : 256;
    const uint32_t offset = in.U32(e + 12);
    if (!in.Has(offset, 8)) continue;
    if (std::memcmp(data + offset, kPng, 8) == 0) {
      sawPng = true;
      if (gPngIconDecoder == nullptr) continue;
    }
    const int bits = in.U16(e + 6);
    const uint64_t area = uint64_t(w) * h;
    if (best < 0 || area > bestArea || (area == bestArea && bits > bestBits)) {
      best = i;
      bestArea = area;
      bestBits = bits;
    }
  }
  if (best < 0) {
    if (sawPng) throw EInvalidGraphic("Icon holds only PNG-compressed images, which cannot be read");
    in.Fail("%s file is truncated");
  }
  const uint64_t e = 6 + uint64_t(best) * 16;
  const uint32_t offset = in.U32(e + 12);
  // The stated length is often wrong; the image may use what the file holds.
  const uint64_t length = std::min<uint64_t>(in.U32(e + 8), size - offset);
  const Input img(data + offset, size_t(length), "Icon");
  if (length >= 8 && std::memcmp(data + offset, kPng, 8) == 0) {
    Bitmap24 result;
    gPngIconDecoder(data + offset, size_t(length), result);
    out = std::move(result);
    return;
  }

  DibInfo info;
  int64_t storedHeight = 0;
  const uint64_t pixels = ReadInfoHeader(img, 0, info, storedHeight, false);
  // The header counts the colour image and the mask below it.
  if (storedHeight <= 0 || storedHeight % 2 != 0)
    throw EInvalidGraphic(Format("Icon image has an invalid height (%lld)", (long long)storedHeight));
  info.height = int(storedHeight / 2);
  const uint64_t stride = RowBytes(info.width, info.bpp), maskStride = RowBytes(info.width, 1);
  const uint64_t colorBytes = stride * uint64_t(info.height);
  const uint8_t* color = img.At(pixels, colorBytes);
  // An image with an alpha channel is drawn by it; older images by their mask.
  bool hasAlpha = false;
  if (info.bpp == 32)
    for (int y = 0; y < info.height && !hasAlpha; ++y)
      for (int x = 0; x < info.width; ++x)
        if (color[stride * uint64_t(y) + uint64_t(x) * 4 + 3] != 0) {
          hasAlpha = true;
          break;
        }
  const uint64_t maskBytes = maskStride * uint64_t(info.height);
  const uint8_t* mask = nullptr;
  if (img.Has(pixels + colorBytes, maskBytes))
    mask = img.At(pixels + colorBytes, maskBytes);
  else if (!hasAlpha)
    img.Fail("%s file is truncated (no mask)");

  Bitmap24 result;
  SizePicture(info, result);
  for (int y = 0; y < info.height; ++y) {
    const uint8_t* s = color + stride * uint64_t(y);
    uint8_t* d = result.ScanLine(info.height - 1 - y);
    ConvertRow(info, s, d);
    for (int x = 0; x < info.width; ++x, d += 3) {
      if (hasAlpha) {
        const unsigned a = s[size_t(x) * 4 + 3];
        for (int c = 0; c < 3; ++c) d[c] = uint8_t((d[c] * a + 127) / 255);
      } else if ((mask[maskStride * uint64_t(y) + uint64_t(x) / 8] >> (7 - x % 8)) & 1) {
        d[0] = d[1] = d[2] = 0;
      }
    }
  }
  out = std::move(result);
}

void ReadICOFile(const std::string& fileName, Bitmap24& out) {
  // The directory decides how much more of the file is read: up to the end
  // of the image that reaches furthest.
  const TFileReader file(fileName);
  std::vector<uint8_t> data = file.ReadRange(0, 6);
  if (data.size() == 6) {
    const uint64_t count = uint64_t(data[4] | (data[5] << 8));
    data = file.ReadRange(0, 6 + count * 16);
    uint64_t extent = data.size();
    const Input in(data.data(), data.size(), "Icon");
    for (uint64_t e = 6; e + 16 <= data.size(); e += 16)
      extent = std::max<uint64_t>(extent, uint64_t(in.U32(e + 12)) + std::max<uint32_t>(in.U32(e + 8), 8));
    data = file.ReadRange(0, extent);
  }
  ReadICO(data.data(), data.size(), out);
}
