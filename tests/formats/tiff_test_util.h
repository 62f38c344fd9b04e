// A builder of small TIFF files for the reader suites.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

namespace tifftest {

using Bytes = std::vector<uint8_t>;

struct Tag {
  uint16_t Id, Type;
  std::vector<uint32_t> Values;
};
constexpr uint16_t kByte = 1, kShort = 3, kLong = 4, kAscii = 2, kRational = 5;

// A TIFF file of the given directory entries and strips: header, strips,
// out-of-line arrays, then the directory. StripOffsets and StripByteCounts
// are added (as LONGs) unless the caller gives them. RATIONAL values are
// given as numerator, denominator pairs. Entries go in ascending tag order,
// those of one tag in the order given.
inline Bytes BuildTiff(bool big, std::vector<Tag> tags, const std::vector<Bytes>& strips) {
  Bytes f = {uint8_t(big ? 'M' : 'I'), uint8_t(big ? 'M' : 'I')};
  auto put = [&f, big](uint64_t at, uint32_t v, size_t size) {
    if (f.size() < at + size) f.resize(at + size);
    for (size_t i = 0; i < size; ++i) f[at + (big ? size - 1 - i : i)] = uint8_t(v >> (8 * i));
  };
  put(2, 42, 2);
  std::vector<uint32_t> offsets, counts;
  f.resize(8);
  for (const Bytes& s : strips) {
    offsets.push_back(uint32_t(f.size()));
    counts.push_back(uint32_t(s.size()));
    f.insert(f.end(), s.begin(), s.end());
  }
  auto has = [&tags](uint16_t id) {
    return std::any_of(tags.begin(), tags.end(), [id](const Tag& t) { return t.Id == id; });
  };
  if (!has(273)) tags.push_back({273, kLong, offsets});
  if (!has(279)) tags.push_back({279, kLong, counts});
  std::stable_sort(tags.begin(), tags.end(), [](const Tag& a, const Tag& b) { return a.Id < b.Id; });
  std::vector<uint32_t> arrayAt(tags.size(), 0);
  auto valueSize = [](uint16_t type) {
    return type == kShort ? 2 : type == kLong || type == kRational ? 4 : 1;
  };
  auto count = [](const Tag& t) {
    return uint32_t(t.Type == kRational ? t.Values.size() / 2 : t.Values.size());
  };
  for (size_t i = 0; i < tags.size(); ++i) {
    const size_t size = valueSize(tags[i].Type);
    if (tags[i].Values.size() * size <= 4) continue;
    arrayAt[i] = uint32_t(f.size());
    for (size_t k = 0; k < tags[i].Values.size(); ++k) put(f.size(), tags[i].Values[k], size);
  }
  const uint32_t ifd = uint32_t(f.size());
  put(4, ifd, 4);
  put(ifd, uint32_t(tags.size()), 2);
  for (size_t i = 0; i < tags.size(); ++i) {
    const uint64_t e = ifd + 2 + 12 * i;
    const size_t size = valueSize(tags[i].Type);
    put(e, tags[i].Id, 2);
    put(e + 2, tags[i].Type, 2);
    put(e + 4, count(tags[i]), 4);
    if (arrayAt[i])
      put(e + 8, arrayAt[i], 4);
    else
      for (size_t k = 0; k < tags[i].Values.size(); ++k) put(e + 8 + k * size, tags[i].Values[k], size);
  }
  put(ifd + 2 + 12 * tags.size(), 0, 4);
  return f;
}

inline std::vector<Tag> Basic(uint32_t w, uint32_t h, std::vector<uint32_t> bits, uint32_t samples,
                              uint32_t photometric, uint32_t compression = 1) {
  return {{256, kShort, {w}},           {257, kShort, {h}},           {258, kShort, bits},
          {259, kShort, {compression}}, {262, kShort, {photometric}}, {277, kShort, {samples}}};
}

}  // namespace tifftest
