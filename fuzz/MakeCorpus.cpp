// Writes the seed corpus of the fuzz targets: a few small files per parser
// that the parser reads (so fuzzing starts deep inside it), and the hostile
// files that once made the program allocate gigabytes (named "hostile-*"),
// which the tests expect refused. Usage: vt_make_fuzz_corpus <corpus folder>;
// scripts/make_fuzz_corpus.sh builds and runs it.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/lzw_test_util.h"
#include "formats/png_maker.h"
#include "platform/Bmp.h"
#include "platform/Jpeg.h"
#include "tiledb/LibraryMaker.h"
#include "tiledb/VTData.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

fs::path gRoot;

void Put(const std::string& target, const std::string& name, const Bytes& b) {
  fs::create_directories(gRoot / target);
  std::ofstream(gRoot / target / name, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

Bytes ReadBack(const std::string& file) {
  std::ifstream f(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

// Little- and big-endian byte builders.
struct B {
  Bytes v;
  B& U8(unsigned x) {
    v.push_back(uint8_t(x));
    return *this;
  }
  B& LE16(unsigned x) { return U8(x & 0xFF).U8(x >> 8 & 0xFF); }
  B& BE16(unsigned x) { return U8(x >> 8 & 0xFF).U8(x & 0xFF); }
  B& LE32(uint32_t x) { return LE16(x & 0xFFFF).LE16(x >> 16); }
  B& BE32(uint32_t x) { return BE16(x >> 16).BE16(x & 0xFFFF); }
  B& Text(const std::string& s) {
    v.insert(v.end(), s.begin(), s.end());
    return *this;
  }
  B& Raw(std::initializer_list<unsigned> list) {
    for (unsigned x : list) U8(x);
    return *this;
  }
  B& Add(const std::vector<uint8_t>& b) {
    v.insert(v.end(), b.begin(), b.end());
    return *this;
  }
  B& Zeros(size_t n) {
    v.resize(v.size() + n, 0);
    return *this;
  }
  B& PadTo(size_t n) {
    if (v.size() < n) v.resize(n, 0);
    return *this;
  }
};

Bytes Ramp(size_t n, int step = 37) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(i * step + 11);
  return b;
}

Bitmap24 Pattern(int w, int h) {
  return vttest::Pattern(w, h, 3);
}

// ---- PNG

void Png() {
  using namespace pngmaker;
  RawImage rgb = MakeImage(5, 4, 8, 3);
  rgb.Pixels = Ramp(rgb.Pixels.size());
  Put("png", "rgb-paeth.png", pngmaker::Png(rgb, 2, false, {}, 4));
  RawImage grey = MakeImage(9, 7, 2, 1);
  for (size_t i = 0; i < grey.Pixels.size(); ++i) grey.Pixels[i] = uint8_t(i % 4);
  Put("png", "grey2-interlaced-gamma.png", pngmaker::Png(grey, 0, true, Chunk("gAMA", {0, 0, 0xB1, 0x8F})));
  RawImage pal = MakeImage(4, 4, 4, 1);
  for (size_t i = 0; i < pal.Pixels.size(); ++i) pal.Pixels[i] = uint8_t(i % 3);
  Bytes before = Chunk("PLTE", {255, 0, 0, 0, 255, 0, 0, 0, 255});
  const Bytes trns = Chunk("tRNS", {0, 128});
  before.insert(before.end(), trns.begin(), trns.end());
  Put("png", "palette-trns.png", pngmaker::Png(pal, 3, false, before, 1));
  RawImage rgba = MakeImage(3, 3, 16, 4);
  rgba.Pixels = Ramp(rgba.Pixels.size(), 91);
  Bytes text = Chunk("tEXt", {'a', 0, 'b'});
  const Bytes ztxt = Chunk("zTXt", [] {
    Bytes d = {'k', 0, 0};
    const Bytes z = Zlib({'h', 'i'});
    d.insert(d.end(), z.begin(), z.end());
    return d;
  }());
  text.insert(text.end(), ztxt.begin(), ztxt.end());
  Put("png", "rgba16-text.png", pngmaker::Png(rgba, 6, true, text, 2));
  // One picture's data split over two image-data chunks.
  RawImage ga = MakeImage(6, 2, 8, 2);
  ga.Pixels = Ramp(ga.Pixels.size(), 53);
  const Bytes z = Zlib(Scanlines(ga, false, 3));
  const Bytes half(z.begin(), z.begin() + z.size() / 2), rest(z.begin() + z.size() / 2, z.end());
  Put("png", "grey-alpha-two-idat.png",
      File({Chunk("IHDR", IhdrData(6, 2, 8, 4)), Chunk("IDAT", half), Chunk("IDAT", rest), Chunk("IEND", {})}));

  // 65535 x 8201 at 1 bit, 16 bytes of image data: beyond the size cap.
  const Bytes tiny = Zlib(Bytes(64, 0), 9);
  Put("png", "hostile-65535x8201.png",
      File({Chunk("IHDR", IhdrData(65535, 8201, 1, 0)), Chunk("IDAT", Bytes(tiny.begin(), tiny.begin() + 16)),
            Chunk("IEND", {})}));
  // 4000 x 4000 at 1 bit (2 MB of rows) from 16 bytes of image data, with
  // ancillary padding that is no image data.
  Put("png", "hostile-4000x4000-padded.png",
      File({Chunk("IHDR", IhdrData(4000, 4000, 1, 0)), Chunk("spAd", Bytes(2100, 0)),
            Chunk("IDAT", Bytes(tiny.begin(), tiny.begin() + 16)), Chunk("IEND", {})}));
}

// ---- TIFF

struct TiffTag {
  uint16_t Id, Type;
  std::vector<uint32_t> Values;
};

// Header, strips, out-of-line arrays, then the directory; StripOffsets and
// StripByteCounts are filled in from the strips.
Bytes Tiff(bool big, std::vector<TiffTag> tags, const std::vector<Bytes>& strips) {
  B f;
  auto u16 = [&](B& b, unsigned x) -> B& { return big ? b.BE16(x) : b.LE16(x); };
  auto u32 = [&](B& b, uint32_t x) -> B& { return big ? b.BE32(x) : b.LE32(x); };
  f.Text(big ? "MM" : "II");
  u16(f, 42);
  u32(f, 0);
  std::vector<uint32_t> offsets, counts;
  for (const Bytes& s : strips) {
    offsets.push_back(uint32_t(f.v.size()));
    counts.push_back(uint32_t(s.size()));
    f.Add(s);
  }
  for (TiffTag& t : tags) {
    if (t.Id == 273 && t.Values.empty()) t.Values = offsets;
    if (t.Id == 279 && t.Values.empty()) t.Values = counts;
  }
  std::vector<uint32_t> at(tags.size(), 0);
  for (size_t i = 0; i < tags.size(); ++i) {
    const size_t size = tags[i].Type == 3 ? 2 : tags[i].Type == 2 ? 1 : 4;
    if (tags[i].Values.size() * size <= 4) continue;
    at[i] = uint32_t(f.v.size());
    for (uint32_t v : tags[i].Values) size == 1 ? f.U8(v) : size == 2 ? u16(f, v) : u32(f, v);
  }
  const uint32_t ifd = uint32_t(f.v.size());
  u16(f, unsigned(tags.size()));
  for (size_t i = 0; i < tags.size(); ++i) {
    const TiffTag& t = tags[i];
    u16(f, t.Id);
    u16(f, t.Type);
    u32(f, uint32_t(t.Values.size()));
    if (at[i] != 0) {
      u32(f, at[i]);
    } else if (t.Type == 3) {
      u16(f, t.Values.empty() ? 0 : t.Values[0]);
      u16(f, t.Values.size() > 1 ? t.Values[1] : 0);
    } else {
      u32(f, t.Values.empty() ? 0 : t.Values[0]);
    }
  }
  u32(f, 0);
  Bytes out = f.v;
  B head;
  u32(head, ifd);
  std::copy(head.v.begin(), head.v.end(), out.begin() + 4);
  return out;
}

// The tags of a chunky picture, in ascending order.
std::vector<TiffTag> TiffTags(uint32_t w, uint32_t h, std::vector<uint32_t> bits, uint32_t compression,
                              uint32_t photometric, uint32_t rowsPerStrip, uint32_t predictor = 1) {
  const uint32_t samples = uint32_t(bits.size());
  return {{256, 4, {w}},           {257, 4, {h}},       {258, 3, bits},         {259, 3, {compression}},
          {262, 3, {photometric}}, {273, 4, {}},        {277, 3, {samples}},    {278, 4, {rowsPerStrip}},
          {279, 4, {}},            {317, 3, {predictor}}};
}

void Tiff() {
  Put("tiff", "rgb-two-strips.tif", Tiff(false, TiffTags(3, 2, {8, 8, 8}, 1, 2, 1), {Ramp(9), Ramp(9, 5)}));
  Put("tiff", "grey-lzw-predictor-be.tif",
      Tiff(true, TiffTags(4, 3, {8}, 5, 1, 3, 2), {lzwtest::TiffEncode(Ramp(12))}));
  Put("tiff", "cmyk-packbits.tif",
      Tiff(false, TiffTags(2, 1, {8, 8, 8, 8}, 32773, 5, 1), {Bytes{0xF9, 0x40, 1, 7, 1, 2, 3, 4, 5, 6, 7, 8}}));
  std::vector<TiffTag> pal = TiffTags(4, 2, {4}, 1, 3, 2);
  std::vector<uint32_t> map(48);
  for (size_t i = 0; i < map.size(); ++i) map[i] = uint32_t(i * 5000);
  pal.push_back({320, 3, map});
  Put("tiff", "palette4.tif", Tiff(false, pal, {Bytes{0x01, 0x23, 0x45, 0x67}}));
  Put("tiff", "rgba16.tif", Tiff(false, TiffTags(2, 1, {16, 16, 16, 16}, 1, 2, 1), {Ramp(16)}));
  // 16-bit samples under horizontal prediction, either byte order.
  Put("tiff", "grey16-lzw-predictor.tif",
      Tiff(false, TiffTags(5, 3, {16}, 5, 1, 3, 2), {lzwtest::TiffEncode(Ramp(30, 91))}));
  Put("tiff", "rgb16-lzw-predictor-be.tif",
      Tiff(true, TiffTags(3, 2, {16, 16, 16}, 5, 2, 2, 2), {lzwtest::TiffEncode(Ramp(36, 53))}));
  // Separate planes, a strip a row of each: red rows, then green, then blue.
  std::vector<TiffTag> planar = TiffTags(3, 2, {8, 8, 8}, 5, 2, 1, 2);
  planar.insert(planar.end() - 1, TiffTag{284, 3, {2}});
  std::vector<Bytes> planes;
  for (int i = 0; i < 6; ++i) planes.push_back(lzwtest::TiffEncode(Ramp(3, 17 + i)));
  Put("tiff", "rgb-planar-lzw-predictor.tif", Tiff(false, planar, planes));
  // YCbCr in 2 x 2 data units (3 x 3, padded to two units across), and bytes
  // stored least significant bit first.
  std::vector<TiffTag> ycbcr = TiffTags(3, 3, {8, 8, 8}, 1, 6, 3);
  ycbcr.push_back({530, 3, {2, 2}});
  Put("tiff", "ycbcr-subsampled.tif", Tiff(false, ycbcr, {Ramp(24, 29)}));
  std::vector<TiffTag> reversed = TiffTags(4, 2, {8}, 32773, 1, 2);
  reversed.insert(reversed.begin() + 5, TiffTag{266, 3, {2}});
  Put("tiff", "grey-fill-order-2.tif", Tiff(false, reversed, {Bytes{0xC0, 0x80, 0x40, 0xC0, 0x20, 0xBF, 0x90}}));
  // A directory in descending tag order, as some writers leave it.
  std::vector<TiffTag> descending = TiffTags(4, 3, {8}, 5, 1, 3, 2);
  std::reverse(descending.begin(), descending.end());
  Put("tiff", "grey-lzw-predictor-descending.tif", Tiff(false, descending, {lzwtest::TiffEncode(Ramp(12))}));

  // 536,870,911 x 1 at 1 bit, LZW: beyond the size cap.
  Put("tiff", "hostile-536870911x1.tif",
      Tiff(false, TiffTags(536870911, 1, {1}, 5, 1, 1), {lzwtest::TiffEncode(Bytes(64, 0))}));
  // 20000 x 20000 at 1 bit: beyond the size cap.
  Put("tiff", "hostile-20000x20000.tif",
      Tiff(false, TiffTags(20000, 20000, {1}, 5, 1, 20000), {lzwtest::TiffEncode(Bytes(64, 0))}));
  // 4096 x 4096 at 1 bit (2 MB of rows) from a 12-byte LZW strip, in a file
  // made large by a description that is no image data.
  std::vector<TiffTag> shortStrip = TiffTags(4096, 4096, {1}, 5, 1, 4096);
  shortStrip.insert(shortStrip.begin() + 5, TiffTag{270, 2, std::vector<uint32_t>(600, 'x')});
  Bytes strip = lzwtest::TiffEncode(Bytes(32, 0));
  strip.resize(12);
  Put("tiff", "hostile-4096x4096-short.tif", Tiff(false, shortStrip, {strip}));
  // 16384 x 16384 at 1 bit from 373 strips that all claim the same 800 bytes.
  Bytes big = lzwtest::TiffEncode(Bytes(32, 0));
  big.resize(800, 0);
  std::vector<TiffTag> many = TiffTags(16384, 16384, {1}, 5, 1, 44);
  many[5].Values.assign(373, 8);
  many[8].Values.assign(373, 800);
  Put("tiff", "hostile-16384x16384-overlapping.tif", Tiff(false, many, {big}));
}

// ---- Targa, PCX, GIF, CUT

Bytes TargaHeader(int idLength, int mapType, int type, int mapLength, int mapBits, int w, int h, int bits,
                  int descriptor) {
  return B().U8(idLength).U8(mapType).U8(type).LE16(0).LE16(mapLength).U8(mapBits).LE16(0).LE16(0).LE16(w).LE16(h).U8(bits).U8(descriptor).v;
}

void Targa() {
  Put("targa", "rgb24-top.tga", B().Add(TargaHeader(3, 0, 2, 0, 0, 3, 2, 24, 0x20)).Text("abc").Add(Ramp(18)).v);
  Put("targa", "mapped-rle.tga",
      B().Add(TargaHeader(0, 1, 9, 4, 16, 4, 2, 8, 0)).Add(Ramp(8)).Raw({0x82, 1, 0x04, 0, 1, 2, 3, 3}).v);
  Put("targa", "grey-rle-16.tga", B().Add(TargaHeader(0, 0, 11, 0, 0, 3, 3, 8, 0)).U8(0x88).U8(9).v);
  Bytes fromTen = B().Add(TargaHeader(0, 1, 9, 2, 24, 3, 1, 8, 0)).Add(Ramp(6)).Raw({0x01, 10, 11, 0x80, 10}).v;
  fromTen[3] = 10;  // the map's first entry is pixel value 10
  Put("targa", "mapped-rle-from-entry-10.tga", fromTen);
  Put("targa", "rgb15-rle.tga", B().Add(TargaHeader(0, 0, 10, 0, 0, 2, 2, 16, 0)).U8(0x83).LE16(0x7C1F).v);
  Put("targa", "hostile-65535x65535.tga", B().Add(TargaHeader(0, 0, 2, 0, 0, 65535, 65535, 24, 0)).Zeros(12).v);
  // A kind the reader paints black at the stated size.
  Put("targa", "hostile-65535x65535-unknown-kind.tga", TargaHeader(0, 0, 0, 0, 0, 65535, 65535, 24, 0));
}

Bytes PcxHeader(int version, int encoding, int bits, int xMin, int yMin, int xMax, int yMax, int planes,
                int bytesPerLine) {
  B h;
  h.U8(10).U8(version).U8(encoding).U8(bits).LE16(xMin & 0xFFFF).LE16(yMin & 0xFFFF).LE16(xMax & 0xFFFF).LE16(
      yMax & 0xFFFF);
  h.LE16(72).LE16(72).Add(Ramp(48, 17)).U8(0).U8(planes).LE16(bytesPerLine).LE16(1);
  return h.PadTo(128).v;
}

void Pcx() {
  Put("pcx", "rgb-planes-rle.pcx",
      B().Add(PcxHeader(5, 1, 8, 0, 0, 2, 1, 3, 4)).Raw({0xC4, 9, 1, 2, 3, 0xC1, 0xD0, 0xC8, 7}).Zeros(9).v);
  Put("pcx", "indexed-palette.pcx",
      B().Add(PcxHeader(5, 1, 8, 0, 0, 3, 1, 1, 4)).Raw({0xC8, 2}).U8(12).Add(Ramp(768, 3)).v);
  Put("pcx", "mono.pcx", B().Add(PcxHeader(3, 0, 1, 0, 0, 9, 1, 1, 2)).Raw({0xA5, 0xC0, 0x5A, 0x3F}).v);
  Put("pcx", "ega-planes.pcx", B().Add(PcxHeader(2, 1, 1, 0, 0, 7, 0, 4, 1)).Raw({0x81, 0x42, 0x24, 0x18}).v);
  Put("pcx", "hostile-65536-wide.pcx", B().Add(PcxHeader(5, 1, 8, -32768, -32768, 32767, 32767, 1, 65535)).Zeros(64).v);
}

void Gif() {
  const Bytes indices = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2};
  auto image = [](const Bytes& idx, int codeSize) {
    const Bytes packed = lzwtest::GifEncode(idx, uint32_t(codeSize));
    B b;
    b.U8(uint8_t(codeSize));
    for (size_t at = 0; at < packed.size(); at += 255) {
      const size_t n = std::min<size_t>(255, packed.size() - at);
      b.U8(uint8_t(n)).Add(Bytes(packed.begin() + at, packed.begin() + at + n));
    }
    return b.U8(0).v;
  };
  Put("gif", "global-table.gif",
      B().Text("GIF89a").LE16(4).LE16(3).U8(0x81).U8(0).U8(0).Add(Ramp(12, 60))
          .Raw({'!', 0xF9, 4, 1, 0, 0, ',', 0}).Text(",").LE16(0).LE16(0).LE16(4).LE16(3).U8(0)
          .Add(image(indices, 2)).Text(";").v);
  Put("gif", "local-table-interlaced.gif",
      B().Text("GIF87a").LE16(3).LE16(4).U8(0).U8(0).U8(0).Text(",").LE16(0).LE16(0).LE16(0).LE16(0).U8(0xC1)
          .Add(Ramp(12, 70)).Add(image(indices, 2)).Text(";").v);
  // The table fills to entry 4095 and stays full, with no clear code after.
  Bytes noise(20000);
  uint32_t x = 27;
  for (auto& v : noise) v = uint8_t((x = x * 1103515245u + 12345u) >> 16 & 3);
  noise.insert(noise.end(), noise.begin(), noise.end());
  const Bytes full = lzwtest::GifEncodeFullTable(noise, 2);
  B fullTable;
  fullTable.Text("GIF89a").LE16(200).LE16(200).U8(0x81).U8(0).U8(0).Add(Ramp(12, 60)).Text(",").LE16(0).LE16(0)
      .LE16(200).LE16(200).U8(0).U8(2);
  for (size_t at = 0; at < full.size(); at += 255) {
    const size_t n = std::min<size_t>(255, full.size() - at);
    fullTable.U8(uint8_t(n)).Add(Bytes(full.begin() + at, full.begin() + at + n));
  }
  Put("gif", "full-table-no-clear.gif", fullTable.U8(0).Text(";").v);
  Put("gif", "hostile-65535x65535.gif",
      B().Text("GIF89a").LE16(65535).LE16(65535).U8(0).U8(0).U8(0).Text(",").LE16(0).LE16(0).LE16(65535)
          .LE16(65535).U8(0).Add(image(indices, 2)).Text(";").v);
}

void Cut() {
  // Lines of a 2-byte length, packets (a run: 0x80 | count, value; a copy:
  // count, bytes) and a closing 0.
  Put("cut", "grey.cut",
      B().LE16(5).LE16(2).LE16(0).LE16(6).Raw({0x83, 40, 2, 90, 200, 0}).LE16(4).Raw({0x85, 120, 0}).v);
  Put("cut", "hostile-65535x65535.cut", B().LE16(65535).LE16(65535).LE16(0).LE16(4).Raw({0x85, 1, 0}).v);
}

// ---- PSD, PCD, SGI, RLA

Bytes PsdHeader(int channels, uint32_t h, uint32_t w, int depth, int mode) {
  return B().Text("8BPS").BE16(1).Zeros(6).BE16(channels).BE32(h).BE32(w).BE16(depth).BE16(mode).v;
}

void Psd() {
  Put("psd", "rgb-raw.psd", B().Add(PsdHeader(3, 2, 3, 8, 3)).BE32(0).BE32(0).BE32(0).BE16(0).Add(Ramp(18)).v);
  Put("psd", "grey-packbits.psd",
      B().Add(PsdHeader(1, 2, 4, 8, 1)).BE32(0).BE32(0).BE32(0).BE16(1).BE16(2).BE16(5)
          .Raw({0xFD, 77, 3, 1, 2, 3, 4}).v);
  Put("psd", "indexed.psd",
      B().Add(PsdHeader(1, 1, 4, 8, 2)).BE32(768).Add(Ramp(768, 7)).BE32(0).BE32(0).BE16(0).Raw({0, 1, 2, 3}).v);
  Put("psd", "lab16-cmyk-extra.psd",
      B().Add(PsdHeader(4, 1, 2, 16, 9)).BE32(0).BE32(4).Text("8BIM").BE32(0).BE16(0).Add(Ramp(16, 29)).v);
  Put("psd", "cmyk.psd", B().Add(PsdHeader(4, 1, 2, 8, 4)).BE32(0).BE32(0).BE32(0).BE16(0).Add(Ramp(8, 61)).v);
  Put("psd", "hostile-65535x65535.psd",
      B().Add(PsdHeader(3, 65535, 65535, 8, 3)).BE32(0).BE32(0).BE32(0).BE16(0).Zeros(16).v);
}

void Pcd() {
  // The base picture lies 192 KB into the file; a seed this small reaches
  // only the checks in front of it.
  Put("pcd", "short-header-only.pcd", B().Zeros(2048).Text("PCD_IPI").Zeros(64).v);
}

Bytes SgiHeader(int rle, int bpc, int w, int h, int depth) {
  return B().BE16(474).U8(rle).U8(bpc).BE16(3).BE16(w).BE16(h).BE16(depth).PadTo(512).v;
}

void Sgi() {
  Put("sgi", "rgb-raw.sgi", B().Add(SgiHeader(0, 1, 3, 2, 3)).Add(Ramp(18)).v);
  // Two rows of one channel: starts, lengths, then the rows (a run of 4, end).
  Put("sgi", "grey-rle.sgi",
      B().Add(SgiHeader(1, 1, 4, 2, 1)).BE32(528).BE32(531).BE32(3).BE32(6)
          .Raw({0x04, 99, 0}).Raw({0x82, 1, 2, 0x02, 5, 0}).v);
  Put("sgi", "rgba16-raw.sgi", B().Add(SgiHeader(0, 2, 2, 1, 4)).Add(Ramp(16, 13)).v);
  Put("sgi", "hostile-65535x65535.sgi", B().Add(SgiHeader(0, 1, 65535, 65535, 3)).Zeros(16).v);
}

Bytes RlaHeader(int left, int right, int bottom, int top) {
  B h;
  h.Zeros(8).BE16(left & 0xFFFF).BE16(right & 0xFFFF).BE16(bottom & 0xFFFF).BE16(top & 0xFFFF);
  h.Zeros(4).BE16(3);
  return h.PadTo(740).v;
}

void Rla() {
  // Two rows of two pixels; each channel a run (count 1 means two copies).
  B f;
  f.Add(RlaHeader(0, 1, 0, 1)).BE32(748).BE32(748 + 12);
  for (int row = 0; row < 2; ++row)
    for (int c = 0; c < 3; ++c) f.BE16(2).U8(1).U8(uint8_t(40 * c + row));
  Put("rla", "rgb.rla", f.v);
  Put("rla", "hostile-65536-wide.rla", B().Add(RlaHeader(-32768, 32767, -32768, 32767)).BE32(744).Zeros(8).v);
}

// ---- PPM, Autodesk, BMP, ICO, JPEG

void Ppm() {
  Put("ppm", "p1.pbm", B().Text("P1\n# comment\n3 2\n1 0 1\n0 1 0\n").v);
  Put("ppm", "p2.pgm", B().Text("P2\n2 2 255 0 64 128 255").v);
  Put("ppm", "p3.ppm", B().Text("P3\r\n1 2\r\n255\r\n255 0 0 0 0 255\r\n").v);
  Put("ppm", "p4.pbm", B().Text("P4\n10 2\n").Raw({0xA5, 0xC0, 0x5A, 0x3F}).v);
  Put("ppm", "p5.pgm", B().Text("P5\n3 1\n65535\n").Raw({1, 2, 3, 4, 0xFF, 0xFF}).v);
  Put("ppm", "p6-16-bit.ppm", B().Text("P6\n2 1\n1000\n").Raw({0, 1, 3, 0xE8, 1, 0xF4, 0, 0, 2, 0, 0, 9}).v);
  Put("ppm", "p6-one-line.ppm", B().Text("P6 2 1 15\n").Raw({1, 2, 3, 15, 14, 13}).v);
  Put("ppm", "p1-no-separators.pbm", B().Text("P1 5 2# bits\n1011001001").v);
  Put("ppm", "p6.ppm", B().Text("P6\n2 2\n255\n").Add(Ramp(12)).v);
  Put("ppm", "hostile-65535x65535.ppm", B().Text("P6\n65535 65535\n255\n").Zeros(12).v);
}

void Autodesk() {
  Put("autodesk", "picture.pic", B().LE16(0x9119).LE16(4).LE16(3).PadTo(32).Add(Ramp(768, 5)).Add(Ramp(12)).v);
  Put("autodesk", "hostile-65535x65535.pic", B().LE16(0x9119).LE16(65535).LE16(65535).PadTo(32 + 768 + 16).v);
}

// A 40-byte info header.
Bytes DibHeader(int32_t w, int32_t h, int bits, uint32_t compression, uint32_t colours) {
  return B().LE32(40).LE32(uint32_t(w)).LE32(uint32_t(h)).LE16(1).LE16(bits).LE32(compression).LE32(0)
      .LE32(0).LE32(0).LE32(colours).LE32(0).v;
}

void Bmp() {
  Put("bmp", "rgb24.bmp", EncodeBMP24(Pattern(5, 3)));
  const Bytes palette = B().LE32(0x000000).LE32(0xFF0000).LE32(0x00FF00).LE32(0x0000FF).v;
  const Bytes rle = {0x03, 1, 0x00, 0x03, 2, 3, 1, 0x00, 0x00, 0x00, 0x02, 1, 0x00, 0x02, 1, 0, 0x00, 0x01};
  B f;
  f.Text("BM").LE32(0).LE32(0).LE32(14 + 40 + 16).Add(DibHeader(4, 3, 8, 1, 4)).Add(palette).Add(rle);
  Put("bmp", "rle8.bmp", f.v);
  B m;
  m.Text("BM").LE32(0).LE32(0).LE32(0).Add(DibHeader(10, -2, 1, 0, 2)).Add(Bytes(palette.begin(), palette.begin() + 8))
      .Raw({0xA5, 0xC0, 0, 0, 0x5A, 0x3F, 0, 0});
  Put("bmp", "mono-top-down.bmp", m.v);
  B bf;
  bf.Text("BM").LE32(0).LE32(0).LE32(0).Add(DibHeader(2, 2, 16, 3, 0)).LE32(0xF800).LE32(0x07E0).LE32(0x001F)
      .Add(Ramp(8));
  Put("bmp", "bitfields16.bmp", bf.v);
  B h;
  h.Text("BM").LE32(0).LE32(0).LE32(14 + 40 + 16).Add(DibHeader(65535, 65535, 8, 1, 4)).Add(palette)
      .Raw({0xFF, 1, 0, 0, 0xFF, 2, 0, 1});
  Put("bmp", "hostile-65535x65535-rle.bmp", h.v);
}

void Ico() {
  // One 2 x 2 image at 24 bits with its mask, and one PNG image.
  B dib;
  dib.Add(DibHeader(2, 4, 24, 0, 0)).Add(Ramp(16)).Zeros(8);
  using namespace pngmaker;
  RawImage img = MakeImage(3, 2, 8, 3);
  img.Pixels = Ramp(img.Pixels.size());
  const Bytes png = pngmaker::Png(img, 2);
  Put("ico", "bmp-image.ico",
      B().LE16(0).LE16(1).LE16(1).U8(2).U8(2).U8(0).U8(0).LE16(1).LE16(24).LE32(uint32_t(dib.v.size())).LE32(22)
          .Add(dib.v).v);
  B huge;
  huge.Add(DibHeader(65535, 131070, 24, 0, 0)).Zeros(16);
  Put("ico", "hostile-65535x65535.ico",
      B().LE16(0).LE16(1).LE16(1).U8(0).U8(0).U8(0).U8(0).LE16(1).LE16(24).LE32(uint32_t(huge.v.size())).LE32(22)
          .Add(huge.v).v);
  Put("ico", "png-image.ico",
      B().LE16(0).LE16(1).LE16(1).U8(3).U8(2).U8(0).U8(0).LE16(1).LE16(32).LE32(uint32_t(png.size())).LE32(22)
          .Add(png).v);
}

void Jpeg() {
  Put("jpeg", "rgb-16x8.jpg", JpegEncode(Pattern(16, 8), 75));
  Put("jpeg", "rgb-33x17.jpg", JpegEncode(Pattern(33, 17), 30));
  // A picture whose frame header claims 65500 x 65500, the most the decoder
  // takes.
  Bytes f = JpegEncode(Pattern(8, 8), 50);
  for (size_t i = 2; i + 9 < f.size(); ++i)
    if (f[i] == 0xFF && f[i + 1] == 0xC0) {
      f[i + 5] = f[i + 7] = 0xFF;
      f[i + 6] = f[i + 8] = 0xDC;
      break;
    }
  Put("jpeg", "hostile-65500x65500.jpg", f);
}

// ---- Library, project, settings

// A library image of no records whose header declares a 65535 x 10922 grid.
Bytes HostileLibrary() {
  TLibraryHeader h;
  h.SampleDepth = 3;
  h.ColorSystem = 2;
  h.XScale = 4;
  h.YScale = 3;
  h.XRes = 65535;
  h.YRes = 10922;
  h.SampleSize = int32_t(int64_t(h.XRes) * h.YRes * 3);
  h.InfoOffset = LibraryHeaderSize;
  h.DataOffset = h.InfoOffset + 4;
  h.ThumbOffset = h.DataOffset + 4;
  const auto head = EncodeLibraryHeader(h);
  return B().Add(Bytes(head.begin(), head.end())).Text(".txt.dat.tmb").v;
}

void Tables(const fs::path& scratch) {
  const std::string lib = (scratch / "l.vt2").string();
  vttest::MakeLibrary(lib, {.Count = 2, .XRes = 2, .YRes = 2, .ThumbW = 4, .ThumbH = 3, .Quality = 20});
  Put("library", "two-records.vt2", ReadBack(lib));
  const std::string flat = (scratch / "f.vt2").string();
  vttest::MakeLibrary(flat, {.Count = 3, .XRes = 3, .YRes = 1, .ColorSystem = 1, .Thumbs = false});
  Put("library", "ycc-no-thumbs.vt2", ReadBack(flat));
  Put("library", "hostile-65535x10922-grid.vt2", HostileLibrary());

  TVTData t;
  if (!t.OpenFile(flat, okLibrary)) throw EFileError("Cannot open " + flat);
  const std::string project = (scratch / "p.vtp").string();
  t.CreatePlan(project, Pattern(6, 2), {"/pictures/source.jpg", TRect(0, 0, 6, 2)}, 2, 2);
  Put("project", "short-form.vtp", ReadBack(project));
  TVTData plan, mosaic;
  plan.OpenProject(project, mosaic);
  plan.SaveProject(project, mosaic, t);
  Put("project", "long-form.vtp", ReadBack(project));
  // A one-cell project whose plan is the hostile library image.
  TProjectHeader ph;
  ph.Columns = ph.Rows = 1;
  ph.LibraryPath = "a.vt2";
  const Bytes image = HostileLibrary();
  ph.PlanOffset = int32_t(ProjectHeaderSize(ph.LibraryPath.size(), 0, false));
  ph.MosaicOffset = ph.PlanOffset + 4 + int32_t(image.size());
  Put("project", "hostile-65535x10922-grid.vtp",
      B().Add(EncodeProjectHeader(ph, false)).LE32(uint32_t(image.size())).Add(image).LE32(uint32_t(image.size()))
          .Add(image).v);
}

void Settings() {
  Put("settings", "vt002.ini",
      B().Text("[StartUp]\nOpenOnStart=Base\nWizardOnStart=0\n\n[Render]\nRepeat=2\nDistance=1\n[LayOut]\n"
               "MainForm=10,20,800,600\n[LastPath]\nLibrary=/home/me/\n")
          .v);
  Put("settings", "crlf-no-final-break.ini", B().Text("; note\r\n[render]\r\n repeat = 7 \r\nx=\r\n[Empty]").v);
  Put("settings", "duplicates.ini", B().Text("[Render]\nRepeat=1\n[RENDER]\nREPEAT=2\n=3\n[\n]x\nRepeat\n").v);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  gRoot = argv[1];
  try {
    Png();
    Tiff();
    Targa();
    Pcx();
    Gif();
    Cut();
    Psd();
    Pcd();
    Sgi();
    Rla();
    Ppm();
    Autodesk();
    Bmp();
    Ico();
    Jpeg();
    const fs::path scratch = fs::temp_directory_path() / ("vt_corpus_" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    Tables(scratch);
    fs::remove_all(scratch);
    Settings();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
