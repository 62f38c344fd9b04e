// Plain LZW encoders for building test data: TIFF (most significant bit
// first, early change) and GIF (least significant bit first). Written
// independently of the decoders so that a round trip checks both sides'
// reading of the code-width rules.
#pragma once
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace lzwtest {

inline uint32_t BitLength(uint32_t v) {
  uint32_t n = 0;
  while (v) {
    ++n;
    v >>= 1;
  }
  return n;
}

class MsbWriter {
 public:
  void Put(uint32_t code, uint32_t width) {
    for (int b = int(width) - 1; b >= 0; --b) PutBit((code >> b) & 1);
  }
  std::vector<uint8_t> Finish() {
    while (FBits) PutBit(0);
    return FOut;
  }

 private:
  void PutBit(uint32_t bit) {
    FAcc = uint8_t(FAcc << 1 | bit);
    if (++FBits == 8) {
      FOut.push_back(FAcc);
      FAcc = 0;
      FBits = 0;
    }
  }
  std::vector<uint8_t> FOut;
  uint8_t FAcc = 0;
  int FBits = 0;
};

class LsbWriter {
 public:
  void Put(uint32_t code, uint32_t width) {
    for (uint32_t b = 0; b < width; ++b) {
      FAcc |= uint8_t(((code >> b) & 1) << FBits);
      if (++FBits == 8) {
        FOut.push_back(FAcc);
        FAcc = 0;
        FBits = 0;
      }
    }
  }
  std::vector<uint8_t> Finish() {
    if (FBits) FOut.push_back(FAcc);
    return FOut;
  }

 private:
  std::vector<uint8_t> FOut;
  uint8_t FAcc = 0;
  int FBits = 0;
};

// The string table walk shared by both variants. widthBias shifts the code
// width rule: TIFF switches one code earlier than GIF. With clearWhenFull
// false the table stops growing at limit and the codes go on at 12 bits
// without a clear; emitted, when given, receives every code written.
template <class Writer>
void EncodeCodes(Writer& w, const std::vector<uint8_t>& in, uint32_t clear, uint32_t limit,
                 uint32_t widthBias, bool endCode, bool clearWhenFull = true,
                 std::vector<uint32_t>* emitted = nullptr) {
  std::map<std::pair<uint32_t, uint8_t>, uint32_t> dict;
  uint32_t next = clear + 2;
  auto width = [&](uint32_t ahead) { return std::min<uint32_t>(12, BitLength(next + ahead - widthBias)); };
  uint32_t cur = in[0];
  for (size_t i = 1; i < in.size(); ++i) {
    const auto key = std::make_pair(cur, in[i]);
    auto it = dict.find(key);
    if (it != dict.end()) {
      cur = it->second;
      continue;
    }
    w.Put(cur, width(1));
    if (emitted) emitted->push_back(cur);
    if (next == limit) {  // full, and kept so
      cur = in[i];
      continue;
    }
    dict[key] = next++;
    if (next == limit && clearWhenFull) {
      w.Put(clear, width(1));
      dict.clear();
      next = clear + 2;
    }
    cur = in[i];
  }
  w.Put(cur, width(1));
  if (emitted) emitted->push_back(cur);
  if (endCode) w.Put(clear + 1, width(2));
}

// TIFF LZW. leadingClear = false leaves out the first clear code.
inline std::vector<uint8_t> TiffEncode(const std::vector<uint8_t>& in, bool leadingClear = true,
                                       bool endCode = true) {
  MsbWriter w;
  if (leadingClear) w.Put(256, 9);
  if (in.empty()) {
    if (endCode) w.Put(257, 9);
  } else {
    EncodeCodes(w, in, 256, 4094, 1, endCode);
  }
  return w.Finish();
}

inline std::vector<uint8_t> GifEncode(const std::vector<uint8_t>& in, uint32_t codeSize) {
  LsbWriter w;
  w.Put(1u << codeSize, codeSize + 1);
  EncodeCodes(w, in, 1u << codeSize, 4095, 2, true);
  return w.Finish();
}

// GIF LZW whose table fills to its last entry, 4095, and then stays full:
// the codes go on at 12 bits and no clear code comes.
inline std::vector<uint8_t> GifEncodeFullTable(const std::vector<uint8_t>& in, uint32_t codeSize,
                                               std::vector<uint32_t>* emitted = nullptr) {
  LsbWriter w;
  w.Put(1u << codeSize, codeSize + 1);
  EncodeCodes(w, in, 1u << codeSize, 4096, 2, true, false, emitted);
  return w.Finish();
}

}  // namespace lzwtest
