// The picture-format list: readers registered by file extension. Loading a
// picture by file name picks the reader by the name's extension alone.
#pragma once
#include <string>
#include <vector>

#include "platform/Bitmap24.h"

// A reader decodes the named file into out, or raises; it may leave out in any
// state when it raises (LoadPicture protects the caller's picture).
using TPictureReader = void (*)(const std::string& fileName, Bitmap24& out);

struct TPictureFormat {
  std::string Extension;    // lower case, without the dot
  std::string Description;  // "Bitmaps", "JPEG Image File", ...
  std::string ClassName;    // the reader's picture class, for unregistering
  TPictureReader Reader = nullptr;
};

// Appends an entry (the extension is stored lower-cased). The list starts
// with the readers the platform itself provides: ico, bmp, jpg, jpeg.
// Registration happens at start-up, before any picture is loaded; lookups may
// then run on several threads at once.
void RegisterFileFormat(const std::string& extension, const std::string& description,
                        const std::string& className, TPictureReader reader);
// Removes every entry of that class.
void UnregisterGraphicClass(const std::string& className);
// A copy of the list in registration order.
std::vector<TPictureFormat> PictureFormats();

// Loads fileName through the reader registered for its extension, searching
// from the last registered entry to the first. No match raises EInvalidGraphic
// "Unknown picture file extension (.%s)". When the reader fails, out keeps its
// old content and the error passes on.
void LoadPicture(const std::string& fileName, Bitmap24& out);

// A picture object: its bitmap changes only when a load succeeds.
class TPicture {
 public:
  void LoadFromFile(const std::string& fileName) { LoadPicture(fileName, Bitmap); }
  Bitmap24 Bitmap;
};
