#include "formats/GraphicCompression.h"

#include <gtest/gtest.h>


#include <random>
#include <vector>

#include "lzw_test_util.h"
#include "platform/Errors.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Decodes into a buffer with guard bytes behind the unpacked size, so any
// write past it shows.
template <class D>
Bytes DecodeGuarded(D& decoder, const Bytes& packed, size_t unpacked, size_t* written = nullptr) {
  Bytes out(unpacked + 16, 0xEE);
  const uint8_t* src = packed.data();
  const size_t n = decoder.Decode(src, out.data(), packed.size(), unpacked);
  for (size_t i = unpacked; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "guard byte " << i;
  if (written) *written = n;
  out.resize(unpacked);
  return out;
}

Bytes Noise(size_t n, uint32_t seed, int alphabet) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& v : b) v = uint8_t(rng() % alphabet);
  return b;
}

TEST(TiffLzw, RoundTripsThroughEveryCodeWidthAndTableReset) {
  // 60,000 bytes of a small alphabet fill the table several times over.
  for (int alphabet : {2, 7, 256}) {
    const Bytes plain = Noise(60000, 11 + alphabet, alphabet);
    TTIFFLZW d;
    size_t n = 0;
    EXPECT_EQ(DecodeGuarded(d, lzwtest::TiffEncode(plain), plain.size(), &n), plain);
    EXPECT_EQ(n, plain.size());
  }
}

TEST(TiffLzw, StartsWithoutClearCode) {
  const Bytes plain = Noise(3000, 5, 4);
  TTIFFLZW d;
  EXPECT_EQ(DecodeGuarded(d, lzwtest::TiffEncode(plain, false), plain.size()), plain);
}

TEST(TiffLzw, SwitchesToTenBitsAfterCode510) {
  // Distinct pairs add one entry per code: codes 258..510 take 253 codes
  // after the first. A decoder that switched one code late or early would
  // misread everything from there on.
  Bytes plain;
  for (int i = 0; i < 400; ++i) plain.push_back(uint8_t(i * 7 + (i / 256)));
  TTIFFLZW d;
  EXPECT_EQ(DecodeGuarded(d, lzwtest::TiffEncode(plain), plain.size()), plain);
}

TEST(TiffLzw, CodeEqualToNextFreeIsPreviousStringPlusFirstChar) {
  // clear, 'a', 258 ("aa"), end: 9-bit codes packed most significant first.
  lzwtest::MsbWriter w;
  for (uint32_t c : {256u, 97u, 258u, 257u}) w.Put(c, 9);
  TTIFFLZW d;
  size_t n = 0;
  EXPECT_EQ(DecodeGuarded(d, w.Finish(), 3, &n), (Bytes{'a', 'a', 'a'}));
  EXPECT_EQ(n, 3u);
}

TEST(TiffLzw, StopsAtEndCodeAndAtTheUnpackedSize) {
  const Bytes plain = Noise(500, 9, 3);
  TTIFFLZW d;
  size_t n = 0;
  Bytes out = DecodeGuarded(d, lzwtest::TiffEncode(plain), 800, &n);
  EXPECT_EQ(n, 500u);
  EXPECT_TRUE(std::equal(plain.begin(), plain.end(), out.begin()));
  out = DecodeGuarded(d, lzwtest::TiffEncode(plain), 123, &n);  // the guard bytes catch an overrun
  EXPECT_EQ(n, 123u);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), plain.begin()));
}

TEST(TiffLzw, InvalidCodesRaise) {
  lzwtest::MsbWriter w;
  for (uint32_t c : {256u, 97u, 300u}) w.Put(c, 9);
  TTIFFLZW d;
  try {
    DecodeGuarded(d, w.Finish(), 10);
    FAIL();
  } catch (const EPictureError& e) {
    EXPECT_STREQ(e.what(), "TIF LZW: invalid opcode.");
  }
  lzwtest::MsbWriter first;  // a first code that is no literal
  for (uint32_t c : {256u, 258u}) first.Put(c, 9);
  EXPECT_THROW(DecodeGuarded(d, first.Finish(), 10), EPictureError);
}

TEST(GifLzw, DecodesAKnownTenByTenPicture) {
  // A published 10 x 10 four-colour example, initial code size 2.
  const Bytes packed = {0x8C, 0x2D, 0x99, 0x87, 0x2A, 0x1C, 0xDC, 0x33, 0xA0, 0x02, 0x75,
                        0xEC, 0x95, 0xFA, 0xA8, 0xDE, 0x60, 0x8C, 0x04, 0x91, 0x4C, 0x01};
  const char* rows[10] = {"1111122222", "1111122222", "1111122222", "1110000222", "1110000222",
                          "2220000111", "2220000111", "2222211111", "2222211111", "2222211111"};
  Bytes expected;
  for (const char* r : rows)
    for (int x = 0; x < 10; ++x) expected.push_back(uint8_t(r[x] - '0'));
  TGIFLZW d(2);
  EXPECT_EQ(DecodeGuarded(d, packed, 100), expected);
}

TEST(GifLzw, RoundTripsForEveryCodeSize) {
  for (uint32_t size : {2u, 4u, 8u}) {
    const Bytes plain = Noise(40000, size, 1 << size);
    TGIFLZW d{uint8_t(size)};
    EXPECT_EQ(DecodeGuarded(d, lzwtest::GifEncode(plain, size), plain.size()), plain) << size;
  }
  for (uint8_t size : {0, 1, 9}) {
    TGIFLZW bad(size);
    EXPECT_THROW(DecodeGuarded(bad, Bytes{0, 0}, 4), EPictureError) << int(size);
  }
}

TEST(GifLzw, InvalidCodeRaises) {
  lzwtest::LsbWriter w;
  for (uint32_t c : {4u, 1u, 7u}) w.Put(c, 3);
  TGIFLZW d(2);
  try {
    DecodeGuarded(d, w.Finish(), 10);
    FAIL();
  } catch (const EPictureError& e) {
    EXPECT_STREQ(e.what(), "GIF LZW: invalid opcode.");
  }
}

TEST(RunLength, PackBits) {
  TPackbitsRLE d;
  // copy 3, run of 4 x 9, -128 (nothing), copy 1
  const Bytes packed = {2, 1, 2, 3, 0xFD, 9, 0x80, 0, 7};
  EXPECT_EQ(DecodeGuarded(d, packed, 8), (Bytes{1, 2, 3, 9, 9, 9, 9, 7}));
  // A run and a copy beyond the unpacked size are cut; a copy beyond the
  // packed size stops at its end.
  EXPECT_EQ(DecodeGuarded(d, Bytes{0x81, 5}, 4), (Bytes{5, 5, 5, 5}));
  EXPECT_EQ(DecodeGuarded(d, Bytes{10, 1, 2}, 4), (Bytes{1, 2, 0xEE, 0xEE}));
}

TEST(RunLength, PCX) {
  TPCXRLE d;
  EXPECT_EQ(DecodeGuarded(d, Bytes{0xC3, 7, 5, 0xC1, 0xC9}, 5), (Bytes{7, 7, 7, 5, 0xC9}));
  // A run longer than the block is cut at the block's end.
  EXPECT_EQ(DecodeGuarded(d, Bytes{0xFF, 4}, 10), Bytes(10, 4));
}

TEST(RunLength, SGI) {
  TSGIRLE bytes(1);
  EXPECT_EQ(DecodeGuarded(bytes, Bytes{0x82, 1, 2, 3, 9, 0, 5}, 5), (Bytes{1, 2, 9, 9, 9}));
  // 16-bit: big-endian words, only the high byte of each sample is kept.
  TSGIRLE words(2);
  EXPECT_EQ(DecodeGuarded(words, Bytes{0, 0x82, 0x12, 0x34, 0x56, 0x78, 0, 2, 0xAB, 0xCD, 0, 0}, 4),
            (Bytes{0x12, 0x56, 0xAB, 0xAB}));
}

TEST(RunLength, CUTLinesFollowEachOther) {
  TCUTRLE d;
  // line 1: length, run of 3 x 4, copy 2, end; line 2: length, copy 1, end
  const Bytes packed = {7, 0, 0x83, 4, 2, 8, 9, 0, 4, 0, 1, 6, 0};
  const uint8_t* src = packed.data();
  Bytes out(5);
  EXPECT_EQ(d.Decode(src, out.data(), packed.size(), out.size()), 5u);
  EXPECT_EQ(out, (Bytes{4, 4, 4, 8, 9}));
  EXPECT_EQ(src, packed.data() + 8);
  Bytes second(1);
  d.Decode(src, second.data(), packed.size() - 8, 1);
  EXPECT_EQ(second, Bytes{6});
  EXPECT_EQ(src, packed.data() + packed.size());
}

TEST(RunLength, RLAAndTarga) {
  TRLADecoder rla;
  EXPECT_EQ(DecodeGuarded(rla, Bytes{0xFE, 1, 2, 2, 7}, 5), (Bytes{1, 2, 7, 7, 7}));
  Bytes out(9, 0xEE);
  // 24-bit: run of 2 pixels, then a copy of 1.
  const Bytes packed = {0x81, 1, 2, 3, 0x00, 4, 5, 6};
  EXPECT_EQ(TargaRLEDecode(packed.data(), out.data(), packed.size(), 9, 24), 8u);
  EXPECT_EQ(out, (Bytes{1, 2, 3, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(TargaRLEDecode(packed.data(), out.data(), packed.size(), 9, 12), 0u);
  // A run that overshoots the picture is cut.
  Bytes small(4 + 4, 0xEE);
  TargaRLEDecode(Bytes{0xFF, 1, 2}.data(), small.data(), 3, 4, 16);
  EXPECT_EQ(small, (Bytes{1, 2, 1, 2, 0xEE, 0xEE, 0xEE, 0xEE}));
}

// Random blocks through every decoder: each stays inside both buffers
// (the sanitizers and guard bytes watch) and the LZW ones may raise.
TEST(Decoders, RandomInputStaysInBounds) {
  std::mt19937 rng(1234);
  TTIFFLZW tiff;
  TGIFLZW gif(4);
  TPackbitsRLE pack;
  TPCXRLE pcx;
  TSGIRLE sgi1(1), sgi2(2);
  TCUTRLE cut;
  TRLADecoder rla;
  TDecoder* all[] = {&tiff, &gif, &pack, &pcx, &sgi1, &sgi2, &cut, &rla};
  for (int round = 0; round < 300; ++round) {
    const Bytes packed = Noise(rng() % 200, rng(), 256);
    const size_t unpacked = rng() % 300;
    for (TDecoder* d : all) {
      try {
        DecodeGuarded(*d, packed, unpacked);
      } catch (const EPictureError&) {
      }
    }
    Bytes out(unpacked + 4);
    TargaRLEDecode(packed.data(), out.data(), packed.size(), unpacked, 32);
  }
}

}  // namespace
