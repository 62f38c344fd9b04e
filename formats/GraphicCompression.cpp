#include "formats/GraphicCompression.h"

#include <algorithm>
#include <cstring>

#include "platform/Errors.h"

namespace {

// Copies up to count bytes, cut at both block ends; returns the bytes copied.
inline size_t CopyCut(const uint8_t*& src, const uint8_t* srcEnd, uint8_t*& out, const uint8_t* outEnd,
                      size_t count) {
  const size_t n = std::min({count, size_t(srcEnd - src), size_t(outEnd - out)});
  std::memcpy(out, src, n);
  src += n;
  out += n;
  return n;
}

// Writes value count times, cut at the destination's end.
inline void FillCut(uint8_t*& out, const uint8_t* outEnd, uint8_t value, size_t count) {
  const size_t n = std::min(count, size_t(outEnd - out));
  std::memset(out, value, n);
  out += n;
}

}  // namespace

// The string of code goes backwards onto the stack, and the table gains the
// old string plus the string's first character. Entries only ever point to
// lower codes, so every chain ends at a literal; the stack check stops a
// corrupt chain all the same.
size_t TLZWDecoder::BuildString(uint32_t code, uint32_t freeCode, uint32_t oldCode, uint32_t literals,
                                uint8_t& firstChar, const char* invalid) {
  size_t top = 0;
  if (code == freeCode) {
    FStack[top++] = firstChar;
    code = oldCode;
  }
  while (code >= literals) {
    if (top >= FStack.size() - 1) throw EPictureError(invalid);
    FStack[top++] = FSuffix[code];
    code = FPrefix[code];
  }
  firstChar = FSuffix[code];
  FStack[top++] = firstChar;
  if (freeCode < 4096) {
    FPrefix[freeCode] = oldCode;
    FSuffix[freeCode] = firstChar;
  }
  return top;
}

void TLZWDecoder::PopString(size_t top, uint8_t*& out, const uint8_t* outEnd) const {
  const size_t n = std::min(top, size_t(outEnd - out));
  for (size_t i = 0; i < n; ++i) *out++ = FStack[top - 1 - i];
}

size_t TTIFFLZW::Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) {
  static constexpr const char* kInvalid = "TIF LZW: invalid opcode.";
  for (uint32_t i = 0; i < 256; ++i) {
    FPrefix[i] = NoCode;
    FSuffix[i] = uint8_t(i);
  }
  const uint8_t* src = source;
  const uint8_t* const srcEnd = src + packedSize;
  uint8_t* out = dest;
  const uint8_t* const outEnd = dest + unpackedSize;
  constexpr uint32_t clearCode = 256, endCode = 257;
  uint32_t freeCode = 258, oldCode = NoCode, width = 9, mask = 511;
  uint32_t acc = 0, held = 0;
  uint8_t firstChar = 0;
  while (src < srcEnd) {
    acc |= uint32_t(*src++) << (24 - held);
    held += 8;
    while (held >= width) {
      const uint32_t code = acc >> (32 - width);
      acc <<= width;
      held -= width;
      if (code == endCode || out == outEnd) return size_t(out - dest);
      if (code == clearCode) {
        width = 9;
        mask = 511;
        freeCode = 258;
        oldCode = NoCode;
        continue;
      }
      if (code > freeCode) throw EPictureError(kInvalid);
      if (oldCode == NoCode) {
        // The first code of a table must be a literal.
        if (code >= 256) throw EPictureError(kInvalid);
        *out++ = FSuffix[code];
        firstChar = FSuffix[code];
        oldCode = code;
        continue;
      }
      const size_t top = BuildString(code, freeCode, oldCode, clearCode, firstChar, kInvalid);
      // Early change: 10-bit codes begin one code before the table reaches 512.
      if (freeCode < 4096) ++freeCode;
      if (freeCode == mask && width < 12) {
        ++width;
        mask = (1u << width) - 1;
      }
      oldCode = code;
      PopString(top, out, outEnd);
    }
  }
  return size_t(out - dest);
}

size_t TGIFLZW::Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) {
  static constexpr const char* kInvalid = "GIF LZW: invalid opcode.";
  if (CodeSize < 2 || CodeSize > 8) throw EPictureError("GIF LZW: invalid code size.");
  const uint32_t clearCode = 1u << CodeSize, endCode = clearCode + 1;
  for (uint32_t i = 0; i < clearCode; ++i) {
    FPrefix[i] = NoCode;
    FSuffix[i] = uint8_t(i);
  }
  const uint8_t* src = source;
  const uint8_t* const srcEnd = src + packedSize;
  uint8_t* out = dest;
  const uint8_t* const outEnd = dest + unpackedSize;
  uint32_t freeCode = clearCode + 2, oldCode = NoCode, width = CodeSize + 1u, mask = (1u << width) - 1;
  uint32_t acc = 0, held = 0;
  uint8_t firstChar = 0;
  while (src < srcEnd) {
    acc |= uint32_t(*src++) << held;
    held += 8;
    while (held >= width) {
      const uint32_t code = acc & mask;
      acc >>= width;
      held -= width;
      if (code == endCode || out == outEnd) return size_t(out - dest);
      if (code == clearCode) {
        width = CodeSize + 1u;
        mask = (1u << width) - 1;
        freeCode = clearCode + 2;
        oldCode = NoCode;
        continue;
      }
      if (code > freeCode) throw EPictureError(kInvalid);
      if (oldCode == NoCode) {
        if (code >= clearCode) throw EPictureError(kInvalid);
        *out++ = FSuffix[code];
        firstChar = FSuffix[code];
        oldCode = code;
        continue;
      }
      const size_t top = BuildString(code, freeCode, oldCode, clearCode, firstChar, kInvalid);
      if (freeCode == mask && width < 12) {
        ++width;
        mask = (1u << width) - 1;
      }
      // Entry 4095 is an ordinary one. Once it is taken the table stays full:
      // an encoder may go on with 12-bit codes and clear later, and no code
      // adds an entry until it does.
      if (freeCode < 4096) ++freeCode;
      oldCode = code;
      PopString(top, out, outEnd);
    }
  }
  return size_t(out - dest);
}

size_t TPackbitsRLE::Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) {
  const uint8_t* src = source;
  const uint8_t* const srcEnd = src + packedSize;
  uint8_t* out = dest;
  const uint8_t* const outEnd = dest + unpackedSize;
  while (src < srcEnd && out < outEnd) {
    const int n = int8_t(*src++);
    if (n >= 0) {
      CopyCut(src, srcEnd, out, outEnd, size_t(n) + 1);
    } else if (n != -128) {
      if (src == srcEnd) break;
      FillCut(out, outEnd, *src++, size_t(1 - n));
    }
  }
  return size_t(out - dest);
}

size_t TPCXRLE::Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) {
  const uint8_t* src = source;
  const uint8_t* const srcEnd = src + packedSize;
  uint8_t* out = dest;
  const uint8_t* const outEnd = dest + unpackedSize;
  while (src < srcEnd && out < outEnd) {
    const uint8_t b = *src++;
    if (b >= 0xC0) {
      if (src == srcEnd) break;
      FillCut(out, outEnd, *src++, b & 0x3F);
    } else {
      *out++ = b;
    }
  }
  return size_t(out - dest);
}

size_t TSGIRLE::Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) {
  const uint8_t* src = source;
  const uint8_t* const srcEnd = src + packedSize;
  uint8_t* out = dest;
  const uint8_t* const outEnd = dest + unpackedSize;
  if (SampleSize == 2) {
    // Words are big-endian: the high byte comes first, the count and copy
    // flag sit in the low byte.
    while (size_t(srcEnd - src) >= 2 && out < outEnd) {
      const uint8_t low = src[1];
      src += 2;
      const size_t count = low & 0x7F;
      if (count == 0) break;
      if (low & 0x80) {
        for (size_t i = 0; i < count && size_t(srcEnd - src) >= 2 && out < outEnd; ++i, src += 2)
          *out++ = *src;
      } else {
        if (size_t(srcEnd - src) < 2) break;
        const uint8_t value = *src;
        src += 2;
        FillCut(out, outEnd, value, count);
      }
    }
  } else {
    while (src < srcEnd && out < outEnd) {
      const uint8_t c = *src++;
      const size_t count = c & 0x7F;
      if (count == 0) break;
      if (c & 0x80) {
        CopyCut(src, srcEnd, out, outEnd, count);
      } else {
        if (src == srcEnd) break;
        FillCut(out, outEnd, *src++, count);
      }
    }
  }
  return size_t(out - dest);
}

size_t TCUTRLE::Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) {
  const uint8_t* src = source;
  const uint8_t* const srcEnd = src + packedSize;
  uint8_t* out = dest;
  const uint8_t* const outEnd = dest + unpackedSize;
  src += std::min<size_t>(2, packedSize);  // the line's length
  while (src < srcEnd) {
    const uint8_t c = *src++;
    if (c == 0) break;
    const size_t count = c & 0x7F;
    if (c & 0x80) {
      if (src == srcEnd) break;
      FillCut(out, outEnd, *src++, count);
    } else {
      // A copy that runs past the line's end still consumes its bytes, so the
      // next line starts where the data says.
      const size_t n = std::min(count, size_t(srcEnd - src));
      const size_t copied = CopyCut(src, srcEnd, out, outEnd, n);
      src += n - copied;
    }
  }
  source = src;
  return size_t(out - dest);
}

size_t TRLADecoder::Decode(const uint8_t*& source, uint8_t* dest, size_t packedSize, size_t unpackedSize) {
  const uint8_t* src = source;
  const uint8_t* const srcEnd = src + packedSize;
  uint8_t* out = dest;
  const uint8_t* const outEnd = dest + unpackedSize;
  while (src < srcEnd && out < outEnd) {
    const int n = int8_t(*src++);
    if (n < 0) {
      CopyCut(src, srcEnd, out, outEnd, size_t(-n));
    } else {
      if (src == srcEnd) break;
      FillCut(out, outEnd, *src++, size_t(n) + 1);
    }
  }
  return size_t(out - dest);
}

size_t TargaRLEDecode(const uint8_t* source, uint8_t* dest, size_t packedSize, size_t unpackedSize,
                      int pixelBits) {
  size_t pixelBytes;
  switch (pixelBits) {
    case 8:
      pixelBytes = 1;
      break;
    case 15:
    case 16:
      pixelBytes = 2;
      break;
    case 24:
      pixelBytes = 3;
      break;
    case 32:
      pixelBytes = 4;
      break;
    default:
      return 0;
  }
  const uint8_t* src = source;
  const uint8_t* const srcEnd = src + packedSize;
  uint8_t* out = dest;
  const uint8_t* const outEnd = dest + unpackedSize;
  while (src < srcEnd && out < outEnd) {
    const uint8_t h = *src++;
    const size_t count = (h & 0x7F) + 1u;
    if (h & 0x80) {
      if (size_t(srcEnd - src) < pixelBytes) break;
      for (size_t i = 0; i < count && out < outEnd; ++i) {
        const size_t n = std::min(pixelBytes, size_t(outEnd - out));
        std::memcpy(out, src, n);
        out += n;
      }
      src += pixelBytes;
    } else {
      CopyCut(src, srcEnd, out, outEnd, count * pixelBytes);
    }
  }
  return size_t(src - source);
}
