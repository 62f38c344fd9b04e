#include "mainwin/CellPictures.h"

#include <exception>
#include <string_view>

#include "platform/Jpeg.h"
#include "platform/qt/QtImage.h"

namespace {

uint64_t HashOf(const std::vector<uint8_t>& bytes) {
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace

TCellPictures::TIter TCellPictures::Lookup(uint64_t hash, const std::vector<uint8_t>& jpeg) {
  const auto [first, last] = FIndex.equal_range(hash);
  for (auto it = first; it != last; ++it) {
    if (it->second->Jpeg != jpeg) continue;
    FEntries.splice(FEntries.begin(), FEntries, it->second);
    return it->second;
  }
  return FEntries.end();
}

const QImage* TCellPictures::Insert(uint64_t hash, const std::vector<uint8_t>& jpeg, const Bitmap24& picture) {
  FEntries.push_front(TEntry{hash, jpeg, Bitmap24View(picture).convertToFormat(QImage::Format_RGB32)});
  FIndex.emplace(hash, FEntries.begin());
  FBytes += FEntries.front().Bytes();
  // The newest entry stays even alone over the cap: it is about to be drawn.
  while (FBytes > FCap && FEntries.size() > 1) {
    const TIter old = std::prev(FEntries.end());
    const auto [first, last] = FIndex.equal_range(old->Hash);
    for (auto it = first; it != last; ++it) {
      if (it->second == old) {
        FIndex.erase(it);
        break;
      }
    }
    FBytes -= old->Bytes();
    FEntries.erase(old);
  }
  return &FEntries.front().Picture;
}

const QImage* TCellPictures::Find(const std::vector<uint8_t>& jpeg) {
  if (jpeg.empty()) return nullptr;
  const uint64_t hash = HashOf(jpeg);
  if (const TIter it = Lookup(hash, jpeg); it != FEntries.end()) return &it->Picture;
  Bitmap24 picture;
  try {
    JpegDecode(jpeg.data(), jpeg.size(), 0, picture);
  } catch (const std::exception&) {
    return nullptr;
  }
  return Insert(hash, jpeg, picture);
}

void TCellPictures::Put(const std::vector<uint8_t>& jpeg, const Bitmap24& picture) {
  if (jpeg.empty() || picture.Empty()) return;
  const uint64_t hash = HashOf(jpeg);
  if (Lookup(hash, jpeg) != FEntries.end()) return;
  Insert(hash, jpeg, picture);
}

void TCellPictures::Clear() {
  FIndex.clear();
  FEntries.clear();
  FBytes = 0;
}
