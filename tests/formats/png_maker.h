// Builds small PNG files byte by byte for the reader's tests and benchmark:
// chunks with their CRCs, scanlines with any filter, Adam7 interlacing, and
// the image data deflated by zlib.
#pragma once
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace pngmaker {

using Bytes = std::vector<uint8_t>;

// A picture as the file stores it: per pixel, channels samples of depth bits.
// Samples of 8 and 16 bits are kept as their big-endian bytes; smaller ones
// as one byte per pixel holding the sample value.
struct RawImage {
  uint32_t Width = 0, Height = 0;
  int Depth = 8, Channels = 3;
  Bytes Pixels;
  size_t PixelBytes() const { return Depth >= 8 ? size_t(Channels * Depth / 8) : 1; }
  uint8_t* At(uint32_t x, uint32_t y) { return &Pixels[(size_t(y) * Width + x) * PixelBytes()]; }
  const uint8_t* At(uint32_t x, uint32_t y) const { return &Pixels[(size_t(y) * Width + x) * PixelBytes()]; }
};

inline RawImage MakeImage(uint32_t w, uint32_t h, int depth, int channels) {
  RawImage img;
  img.Width = w;
  img.Height = h;
  img.Depth = depth;
  img.Channels = channels;
  img.Pixels.assign(size_t(w) * h * img.PixelBytes(), 0);
  return img;
}

inline void Put32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(uint8_t(v >> s));
}

inline void Store32(uint8_t* p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = uint8_t(v >> (24 - 8 * k));
}

inline Bytes Chunk(const char* type, const Bytes& data) {
  Bytes c(12 + data.size());
  Store32(c.data(), uint32_t(data.size()));
  std::memcpy(c.data() + 4, type, 4);
  if (!data.empty()) std::memcpy(c.data() + 8, data.data(), data.size());
  Store32(c.data() + 8 + data.size(), uint32_t(crc32(0, c.data() + 4, uInt(4 + data.size()))));
  return c;
}

inline Bytes IhdrData(uint32_t w, uint32_t h, int depth, int colorType, int interlace = 0) {
  Bytes d;
  Put32(d, w);
  Put32(d, h);
  d.insert(d.end(), {uint8_t(depth), uint8_t(colorType), 0, 0, uint8_t(interlace)});
  return d;
}

inline Bytes Zlib(const Bytes& raw, int level = 6) {
  uLongf size = compressBound(uLong(raw.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, raw.data(), uLong(raw.size()), level) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

// Packs pixels x0, x0 + step, ... of row y.
inline Bytes PackRow(const RawImage& img, uint32_t y, uint32_t x0, uint32_t step) {
  Bytes row;
  if (img.Depth >= 8) {
    for (uint32_t x = x0; x < img.Width; x += step)
      row.insert(row.end(), img.At(x, y), img.At(x, y) + img.PixelBytes());
    return row;
  }
  int bits = 0;
  for (uint32_t x = x0; x < img.Width; x += step) {
    if (bits == 0) row.push_back(0);
    bits += img.Depth;
    row.back() |= uint8_t(*img.At(x, y) << (8 - bits));
    if (bits == 8) bits = 0;
  }
  return row;
}

inline int Paeth(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

// One scanline: the filter byte, then the row filtered against the row above.
inline void AppendFiltered(Bytes& out, const Bytes& row, const Bytes& prior, int filter, size_t bpp) {
  out.push_back(uint8_t(filter));
  for (size_t i = 0; i < row.size(); ++i) {
    const int a = i >= bpp ? row[i - bpp] : 0, b = prior[i], c = i >= bpp ? prior[i - bpp] : 0;
    int pred = 0;
    switch (filter) {
      case 1:
        pred = a;
        break;
      case 2:
        pred = b;
        break;
      case 3:
        pred = (a + b) / 2;
        break;
      case 4:
        pred = Paeth(a, b, c);
        break;
    }
    out.push_back(uint8_t(row[i] - pred));
  }
}

// The decompressed image data; filter < 0 cycles the five filters row by row.
inline Bytes Scanlines(const RawImage& img, bool interlace, int filter = 0) {
  struct Pass {
    uint32_t r0, c0, rs, cs;
  };
  static const Pass adam7[7] = {{0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4},
                                {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}};
  static const Pass whole[1] = {{0, 0, 1, 1}};
  const size_t bpp = img.Depth >= 8 ? img.PixelBytes() : 1;
  Bytes out;
  int n = 0;
  for (const Pass& p :
       interlace ? std::vector<Pass>(adam7, adam7 + 7) : std::vector<Pass>(whole, whole + 1)) {
    if (p.c0 >= img.Width || p.r0 >= img.Height) continue;
    Bytes prior;
    for (uint32_t y = p.r0; y < img.Height; y += p.rs) {
      const Bytes row = PackRow(img, y, p.c0, p.cs);
      if (prior.empty()) prior.assign(row.size(), 0);
      AppendFiltered(out, row, prior, filter < 0 ? n++ % 5 : filter, bpp);
      prior = row;
    }
  }
  return out;
}

inline const Bytes& Signature() {
  static const Bytes sig = {137, 80, 78, 71, 13, 10, 26, 10};
  return sig;
}

inline Bytes File(std::initializer_list<Bytes> chunks) {
  Bytes f = Signature();
  for (const Bytes& c : chunks) f.insert(f.end(), c.begin(), c.end());
  return f;
}

// IHDR, the given chunks, one IDAT, IEND.
inline Bytes Png(const RawImage& img, int colorType, bool interlace = false, const Bytes& before = {},
                 int filter = 0) {
  Bytes f = Signature();
  const Bytes ihdr = Chunk("IHDR", IhdrData(img.Width, img.Height, img.Depth, colorType, interlace ? 1 : 0));
  f.insert(f.end(), ihdr.begin(), ihdr.end());
  f.insert(f.end(), before.begin(), before.end());
  const Bytes idat = Chunk("IDAT", Zlib(Scanlines(img, interlace, filter)));
  f.insert(f.end(), idat.begin(), idat.end());
  const Bytes iend = Chunk("IEND", {});
  f.insert(f.end(), iend.begin(), iend.end());
  return f;
}

}  // namespace pngmaker
