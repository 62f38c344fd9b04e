#include "formats/Registrations.h"

#include <mutex>
#include <vector>

#include "formats/Cut.h"
#include "formats/Gif.h"
#include "formats/Pcd.h"
#include "formats/Pcx.h"
#include "formats/Png.h"
#include "formats/Psd.h"
#include "formats/Rla.h"
#include "formats/Sgi.h"
#include "formats/Targa.h"
#include "formats/TiffReader.h"
#include "platform/Bmp.h"
#include "platform/Picture.h"

namespace {

// Readers still being written are null here; their extensions stay
// unregistered (and so unknown) until the reader lands.
constexpr TPictureReader kTarga = &ReadTargaFile;
constexpr TPictureReader kTiff = &ReadTIFFFile;
constexpr TPictureReader kSgi = &ReadSgiFile;
constexpr TPictureReader kPcx = &ReadPcxFile;
constexpr TPictureReader kRla = &ReadRlaFile;
constexpr TPictureReader kPsd = &ReadPsdFile;
constexpr TPictureReader kPpm = nullptr;
constexpr TPictureReader kAutodesk = nullptr;
constexpr TPictureReader kPcd = &ReadPcdFile;
constexpr TPictureReader kGif = &ReadGifFile;
constexpr TPictureReader kCut = &ReadCutFile;

struct Registration {
  const char* Extension;
  const char* Description;
  const char* ClassName;
  TPictureReader Reader;
};

// The order in which the readers have always been registered.
const Registration kReaders[] = {
    {"win", "Truevision images", "TTargaGraphic", kTarga},
    {"vst", "Truevision images", "TTargaGraphic", kTarga},
    {"vda", "Truevision images", "TTargaGraphic", kTarga},
    {"tiff", "TIFF images", "TTIFFGraphic", kTiff},
    {"tif", "TIFF images", "TTIFFGraphic", kTiff},
    {"tga", "Truevision images", "TTargaGraphic", kTarga},
    {"sgi", "SGI true color images", "TSGIGraphic", kSgi},
    {"scr", "Word 5.x screen capture images", "TPCXGraphic", kPcx},
    {"rpf", "SGI Wavefront images", "TRLAGraphic", kRla},
    {"rle", "Windows bitmap", "TBitmap", &ReadBMPFile},
    {"rla", "SGI Wavefront images", "TRLAGraphic", kRla},
    {"rgba", "SGI true color images", "TSGIGraphic", kSgi},
    {"rgb", "SGI true color images", "TSGIGraphic", kSgi},
    {"psd", "Photoshop images", "TPSDGraphic", kPsd},
    {"ppm", "Portable pixel map images", "TPPMGraphic", kPpm},
    {"pgm", "Portable grayscale images", "TPPMGraphic", kPpm},
    {"pbm", "Portable b&w images", "TPPMGraphic", kPpm},
    {"pic", "Autodesk images", "TAutodeskGraphic", kAutodesk},
    {"pcx", "ZSoft PCX images", "TPCXGraphic", kPcx},
    {"pdd", "Photoshop images", "TPSDGraphic", kPsd},
    {"pcd", "Kodak Photo-CD images", "TPCDGraphic", kPcd},
    {"pcc", "ZSoft PCC images", "TPCXGraphic", kPcx},
    {"icb", "Truevision images", "TTargaGraphic", kTarga},
    {"gif", "CompuServe images", "TGIFGraphic", kGif},
    {"dib", "Windows bitmap", "TBitmap", &ReadBMPFile},
    {"cut", "Dr. Halo images", "TCUTGraphic", kCut},
    {"cel", "Autodesk images", "TAutodeskGraphic", kAutodesk},
    {"bw", "SGI black/white images", "TSGIGraphic", kSgi},
};

void RegisterAll() {
  // PNG has always come before the JPEG entries: take those out, register
  // PNG, and put them back behind it.
  std::vector<TPictureFormat> jpeg;
  for (const TPictureFormat& f : PictureFormats())
    if (f.ClassName == "TJPEGImage") jpeg.push_back(f);
  UnregisterGraphicClass("TJPEGImage");
  RegisterFileFormat("PNG", "Portable Network Graphics", "TPNGObject", &ReadPNGFile);
  for (const TPictureFormat& f : jpeg) RegisterFileFormat(f.Extension, f.Description, f.ClassName, f.Reader);

  for (const Registration& r : kReaders)
    if (r.Reader != nullptr) RegisterFileFormat(r.Extension, r.Description, r.ClassName, r.Reader);

  SetPngIconDecoder(&ReadPNG);
}

}  // namespace

void RegisterGraphicFormats() {
  static std::once_flag once;
  std::call_once(once, RegisterAll);
}
