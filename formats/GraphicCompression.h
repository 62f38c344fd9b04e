// Decoders that expand the compressed pixel data of the raster readers. They
// work on memory blocks the reader has already read; none touches a file or a
// bitmap.
//
// Whatever the data says, every decoder reads at most packedSize bytes from
// source and writes at most unpackedSize bytes to dest. A block that ends
// early leaves the rest of dest as it was; a run that overshoots is cut at
// dest's end. Decode returns the number of bytes written.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

class TDecoder {
 public:
  virtual ~TDecoder() = default;
  // source points into the caller's block; only TCUTRLE moves it (past the
  // terminating 0 of the line it decoded, or to the end of the block).
  virtual size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) = 0;
  virtual void DecodeEnd() {}
};

// The code tables shared by both LZW variants. They live in the object, so
// decoding allocates nothing per code; every Decode starts from a fresh table,
// so one call decodes one independent block (a TIFF strip, a GIF image).
class TLZWDecoder : public TDecoder {
 protected:
  static constexpr uint32_t NoCode = 4096;
  // Stacks the string of code and adds its table entry at freeCode; returns
  // the stack height. literals is the first non-literal code (the clear code).
  size_t BuildString(uint32_t code, uint32_t freeCode, uint32_t oldCode, uint32_t literals,
                     uint8_t& firstChar, const char* invalid);
  void PopString(size_t top, uint8_t*& out, const uint8_t* outEnd) const;
  std::array<uint32_t, 4096> FPrefix{};
  std::array<uint8_t, 4096> FSuffix{};
  std::array<uint8_t, 4096> FStack{};
};

// TIFF LZW: codes most significant bit first, 9 to 12 bits with early change.
// Stops at the end-of-information code, at unpackedSize bytes written or at
// packedSize bytes used. A code beyond the next free code raises
// EPictureError "TIF LZW: invalid opcode.".
class TTIFFLZW : public TLZWDecoder {
 public:
  size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) override;
};

// GIF LZW: codes least significant bit first, starting at CodeSize + 1 bits
// (CodeSize 2..8 from the image's header; a value outside that raises
// EPictureError "GIF LZW: invalid code size."). The table fills up to entry
// 4095 and then stays as it is until a clear code. Stops as TTIFFLZW; a bad
// code raises EPictureError "GIF LZW: invalid opcode.".
class TGIFLZW : public TLZWDecoder {
 public:
  explicit TGIFLZW(uint8_t codeSize = 8) : CodeSize(codeSize) {}
  size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) override;
  uint8_t CodeSize;
};

// PackBits (TIFF, Photoshop): signed count n, 0..127 copies n + 1 bytes,
// -1..-127 repeats the next byte 1 - n times, -128 is skipped.
class TPackbitsRLE : public TDecoder {
 public:
  size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) override;
};

// PCX: a byte of 192 or more counts (its low 6 bits) the byte that follows.
class TPCXRLE : public TDecoder {
 public:
  size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) override;
};

// SGI: one channel row; SampleSize 1 (byte counts and samples) or 2
// (big-endian 16-bit counts and samples, of which only the high byte is
// output). A count of 0 ends the row.
class TSGIRLE : public TDecoder {
 public:
  explicit TSGIRLE(int sampleSize = 1) : SampleSize(sampleSize) {}
  size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) override;
  int SampleSize;
};

// Dr. Halo CUT: one line, its 2-byte length first; bit 7 of a count byte
// repeats the next byte, otherwise the count copies bytes; a count of 0 ends
// the line and source is left just past it, at the next line's length.
class TCUTRLE : public TDecoder {
 public:
  size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) override;
};

// Wavefront RLA: signed count n, negative copies -n bytes, otherwise repeats
// the next byte n + 1 times.
class TRLADecoder : public TDecoder {
 public:
  size_t Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) override;
};

// Targa run-length packets of 8, 15, 16, 24 or 32-bit pixels, decoded until
// unpackedSize bytes are written (or packedSize bytes are used up). Returns
// the number of source bytes used; any other pixel size writes nothing and
// returns 0.
size_t TargaRLEDecode(const uint8_t* source, uint8_t* dest, size_t packedSize, size_t unpackedSize,
                      int pixelBits);
