// Reading a 2000 x 1500 RGB picture: an uncompressed TIFF as the band writer
// makes it, an LZW TIFF with horizontal prediction, and a raw portable pixmap,
// against the floor of copying the same pixel bytes into a bitmap in the same
// run. All from memory, so the file system is not measured. Also the bare LZW
// and PackBits decoders per unpacked byte.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "formats/BandWriter.h"
#include "formats/GraphicCompression.h"
#include "formats/PpmReader.h"
#include "formats/TiffReader.h"
#include "platform/Files.h"
#include "tests/formats/lzw_test_util.h"

namespace {

constexpr int kW = 2000, kH = 1500;
using Bytes = std::vector<uint8_t>;

// A photo-like picture: smooth gradients with a little noise, R, G, B order.
const Bytes& Pixels() {
  static const Bytes pixels = [] {
    Bytes p(size_t(kW) * kH * 3);
    std::mt19937 rng(1);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        uint8_t* q = p.data() + (size_t(y) * kW + x) * 3;
        q[0] = uint8_t(x / 8 + rng() % 4);
        q[1] = uint8_t(y / 6 + rng() % 4);
        q[2] = uint8_t((x + y) / 14 + rng() % 4);
      }
    return p;
  }();
  return pixels;
}

Bytes Differenced() {
  Bytes d = Pixels();
  for (int y = 0; y < kH; ++y) {
    uint8_t* row = d.data() + size_t(y) * kW * 3;
    for (int i = kW * 3 - 1; i >= 3; --i) row[i] = uint8_t(row[i] - row[i - 3]);
  }
  return d;
}

void Put(Bytes& f, size_t at, uint32_t v, size_t size) {
  for (size_t i = 0; i < size; ++i) f[at + i] = uint8_t(v >> (8 * i));
}

// One strip of LZW data with Predictor 2, little-endian.
const Bytes& LzwTiff() {
  static const Bytes file = [] {
    const Bytes strip = lzwtest::TiffEncode(Differenced());
    Bytes f(8 + strip.size() + 2 + 10 * 12 + 4 + 6);
    f[0] = f[1] = 'I';
    Put(f, 2, 42, 2);
    std::memcpy(f.data() + 8, strip.data(), strip.size());
    const size_t ifd = 8 + strip.size(), bits = ifd + 2 + 10 * 12 + 4;
    Put(f, 4, uint32_t(ifd), 4);
    Put(f, ifd, 10, 2);
    const uint32_t entries[10][4] = {{256, 3, 1, kW}, {257, 3, 1, kH}, {258, 3, 3, uint32_t(bits)},
                                     {259, 3, 1, 5},  {262, 3, 1, 2},  {273, 4, 1, 8},
                                     {277, 3, 1, 3},  {278, 3, 1, kH}, {279, 4, 1, uint32_t(strip.size())},
                                     {317, 3, 1, 2}};
    for (int i = 0; i < 10; ++i) {
      const size_t e = ifd + 2 + 12 * i;
      Put(f, e, entries[i][0], 2);
      Put(f, e + 2, entries[i][1], 2);
      Put(f, e + 4, entries[i][2], 4);
      Put(f, e + 8, entries[i][3], entries[i][1] == 3 && entries[i][2] == 1 ? 2 : 4);
    }
    for (int i = 0; i < 3; ++i) Put(f, bits + 2 * i, 8, 2);
    return f;
  }();
  return file;
}

const Bytes& PlainTiff() {
  static const Bytes file = [] {
    Bitmap24 b(kW, kH);
    for (int y = 0; y < kH; ++y)
      std::memcpy(b.ScanLine(y), Pixels().data() + size_t(y) * kW * 3, size_t(kW) * 3);
    const std::string name = MakeTempFileName("vt");
    SaveBitmapAsTIFF(name, b, 72, 2);
    Bytes data = ReadWholeFile(name);
    DeleteFile(name);
    return data;
  }();
  return file;
}

void SetBytes(benchmark::State& state) {
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 3);
}

void BM_CopyFloor(benchmark::State& state) {
  Bitmap24 b(kW, kH);
  for (auto _ : state) {
    for (int y = 0; y < kH; ++y)
      std::memcpy(b.ScanLine(y), Pixels().data() + size_t(y) * kW * 3, size_t(kW) * 3);
    benchmark::DoNotOptimize(b.Bits());
  }
  SetBytes(state);
}
BENCHMARK(BM_CopyFloor)->Unit(benchmark::kMillisecond);

void BM_ReadTIFFBandWriterFile(benchmark::State& state) {
  const Bytes& f = PlainTiff();
  Bitmap24 b;
  for (auto _ : state) ReadTIFF(f.data(), f.size(), b);
  SetBytes(state);
}
BENCHMARK(BM_ReadTIFFBandWriterFile)->Unit(benchmark::kMillisecond);

void BM_ReadTIFFLzwPredictor(benchmark::State& state) {
  const Bytes& f = LzwTiff();
  Bitmap24 b;
  for (auto _ : state) ReadTIFF(f.data(), f.size(), b);
  SetBytes(state);
  state.counters["ratio"] = double(Pixels().size()) / double(f.size());
}
BENCHMARK(BM_ReadTIFFLzwPredictor)->Unit(benchmark::kMillisecond);

void BM_ReadPPMRaw(benchmark::State& state) {
  static const Bytes file = [] {
    const std::string head = "P6\n" + std::to_string(kW) + " " + std::to_string(kH) + "\n255\n";
    Bytes f(head.begin(), head.end());
    f.insert(f.end(), Pixels().begin(), Pixels().end());
    return f;
  }();
  Bitmap24 b;
  for (auto _ : state) ReadPPM(file.data(), file.size(), b);
  SetBytes(state);
}
BENCHMARK(BM_ReadPPMRaw)->Unit(benchmark::kMillisecond);

void BM_DecodeLZW(benchmark::State& state) {
  static const Bytes packed = lzwtest::TiffEncode(Differenced());
  Bytes out(Pixels().size());
  TTIFFLZW d;
  for (auto _ : state) {
    const uint8_t* src = packed.data();
    benchmark::DoNotOptimize(d.Decode(src, out.data(), packed.size(), out.size()));
  }
  SetBytes(state);
}
BENCHMARK(BM_DecodeLZW)->Unit(benchmark::kMillisecond);

void BM_DecodePackBits(benchmark::State& state) {
  // Alternating runs and literal copies of 64 bytes.
  static const Bytes packed = [] {
    Bytes p;
    for (size_t n = 0; n < Pixels().size(); n += 128) {
      p.insert(p.end(), {uint8_t(-63), uint8_t(n)});
      p.push_back(63);
      p.insert(p.end(), Pixels().begin() + n, Pixels().begin() + n + 64);
    }
    return p;
  }();
  Bytes out(Pixels().size());
  TPackbitsRLE d;
  for (auto _ : state) {
    const uint8_t* src = packed.data();
    benchmark::DoNotOptimize(d.Decode(src, out.data(), packed.size(), out.size()));
  }
  SetBytes(state);
}
BENCHMARK(BM_DecodePackBits)->Unit(benchmark::kMillisecond);

}  // namespace
