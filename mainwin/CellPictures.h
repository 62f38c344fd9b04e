// Decoded thumbnails of mosaic cells, so that repainting the grid does not
// decode a JPEG for every cell it shows. An entry is found by the thumbnail's
// own bytes, not by the cell: a cell whose record changed brings other bytes
// and can never be shown an old picture, whatever changed it, and a tile used
// in many cells is decoded once. The least recently used pictures go first
// once the pictures held pass the cap. The pictures are kept in the screen's
// own pixel format, so drawing one scales it without converting it first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include <QImage>

#include "platform/Bitmap24.h"

class TCellPictures {
 public:
  static constexpr size_t kDefaultCapBytes = size_t(128) << 20;
  explicit TCellPictures(size_t capBytes = kDefaultCapBytes) : FCap(capBytes) {}

  // The picture of these JPEG bytes, decoded on a miss; nullptr when they do
  // not decode. Valid until the next Find, Put or Clear.
  const QImage* Find(const std::vector<uint8_t>& jpeg);
  // Takes a picture already decoded from these bytes.
  void Put(const std::vector<uint8_t>& jpeg, const Bitmap24& picture);
  void Clear();
  size_t Bytes() const { return FBytes; }
  size_t Count() const { return FEntries.size(); }

 private:
  struct TEntry {
    uint64_t Hash;
    std::vector<uint8_t> Jpeg;
    QImage Picture;
    size_t Bytes() const { return Jpeg.size() + size_t(Picture.sizeInBytes()); }
  };
  using TIter = std::list<TEntry>::iterator;
  TIter Lookup(uint64_t hash, const std::vector<uint8_t>& jpeg);
  const QImage* Insert(uint64_t hash, const std::vector<uint8_t>& jpeg, const Bitmap24& picture);

  size_t FCap;
  size_t FBytes = 0;
  std::list<TEntry> FEntries;  // most recently used first
  std::unordered_multimap<uint64_t, TIter> FIndex;
};
