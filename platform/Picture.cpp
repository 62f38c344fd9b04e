#include "platform/Picture.h"

#include <mutex>
#include <shared_mutex>

#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"

namespace {

void ReadJpegPicture(const std::string& fileName, Bitmap24& out) {
  JpegDecodeFile(fileName, 0, out);
}

std::shared_mutex& ListMutex() {
  static std::shared_mutex m;
  return m;
}

std::vector<TPictureFormat>& List() {
  // The platform's own readers come first, as the class library registered
  // them. Metafiles (wmf, emf) have no reader on this platform.
  static std::vector<TPictureFormat> list = {
      {"ico", "Icons", "TIcon", &ReadICOFile},
      {"bmp", "Bitmaps", "TBitmap", &ReadBMPFile},
      {"jpg", "JPEG Image File", "TJPEGImage", &ReadJpegPicture},
      {"jpeg", "JPEG Image File", "TJPEGImage", &ReadJpegPicture},
  };
  return list;
}

}  // namespace

void RegisterFileFormat(const std::string& extension, const std::string& description,
                        const std::string& className, TPictureReader reader) {
  std::unique_lock lock(ListMutex());
  List().push_back({LowerCase(extension), description, className, reader});
}

void UnregisterGraphicClass(const std::string& className) {
  std::unique_lock lock(ListMutex());
  auto& l = List();
  std::erase_if(l, [&](const TPictureFormat& f) { return f.ClassName == className; });
}

std::vector<TPictureFormat> PictureFormats() {
  std::shared_lock lock(ListMutex());
  return List();
}

void LoadPicture(const std::string& fileName, Bitmap24& out) {
  std::string ext = ExtractFileExt(fileName);
  if (!ext.empty()) ext.erase(0, 1);
  const std::string key = LowerCase(ext);
  TPictureReader reader = nullptr;
  {
    std::shared_lock lock(ListMutex());
    const auto& l = List();
    for (auto it = l.rbegin(); it != l.rend(); ++it)
      if (it->Extension == key) {
        reader = it->Reader;
        break;
      }
  }
  if (reader == nullptr) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", ext.c_str()));
  Bitmap24 fresh;
  reader(fileName, fresh);
  out = std::move(fresh);
}
