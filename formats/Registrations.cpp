#include "formats/Registrations.h"

#include <mutex>
#include <vector>

#include "formats/AutodeskReader.h"
#include "formats/Cut.h"
#include "formats/Gif.h"
#include "formats/Pcd.h"
#include "formats/Pcx.h"
#include "formats/Png.h"
#include "formats/PpmReader.h"
#include "formats/Psd.h"
#include "formats/Rla.h"
#include "formats/Sgi.h"
#include "formats/Targa.h"
#include "formats/TiffReader.h"
#include "platform/Bmp.h"
#include "platform/Picture.h"

namespace {

struct Registration {
  const char* Extension;
  const char* Description;
  const char* ClassName;
  TPictureReader Reader;
};

// The order in which the readers have always been registered.
const Registration kReaders[] = {
    {"win", "Truevision images", "TTargaGraphic", &ReadTargaFile},
    {"vst", "Truevision images", "TTargaGraphic", &ReadTargaFile},
    {"vda", "Truevision images", "TTargaGraphic", &ReadTargaFile},
    {"tiff", "TIFF images", "TTIFFGraphic", &ReadTIFFFile},
    {"tif", "TIFF images", "TTIFFGraphic", &ReadTIFFFile},
    {"tga", "Truevision images", "TTargaGraphic", &ReadTargaFile},
    {"sgi", "SGI true color images", "TSGIGraphic", &ReadSgiFile},
    {"scr", "Word 5.x screen capture images", "TPCXGraphic", &ReadPcxFile},
    {"rpf", "SGI Wavefront images", "TRLAGraphic", &ReadRlaFile},
    {"rle", "Windows bitmap", "TBitmap", &ReadBMPFile},
    {"rla", "SGI Wavefront images", "TRLAGraphic", &ReadRlaFile},
    {"rgba", "SGI true color images", "TSGIGraphic", &ReadSgiFile},
    {"rgb", "SGI true color images", "TSGIGraphic", &ReadSgiFile},
    {"psd", "Photoshop images", "TPSDGraphic", &ReadPsdFile},
    {"ppm", "Portable pixel map images", "TPPMGraphic", &ReadPPMFile},
    {"pgm", "Portable grayscale images", "TPPMGraphic", &ReadPPMFile},
    {"pbm", "Portable b&w images", "TPPMGraphic", &ReadPPMFile},
    {"pic", "Autodesk images", "TAutodeskGraphic", &ReadAutodeskFile},
    {"pcx", "ZSoft PCX images", "TPCXGraphic", &ReadPcxFile},
    {"pdd", "Photoshop images", "TPSDGraphic", &ReadPsdFile},
    {"pcd", "Kodak Photo-CD images", "TPCDGraphic", &ReadPcdFile},
    {"pcc", "ZSoft PCC images", "TPCXGraphic", &ReadPcxFile},
    {"icb", "Truevision images", "TTargaGraphic", &ReadTargaFile},
    {"gif", "CompuServe images", "TGIFGraphic", &ReadGifFile},
    {"dib", "Windows bitmap", "TBitmap", &ReadBMPFile},
    {"cut", "Dr. Halo images", "TCUTGraphic", &ReadCutFile},
    {"cel", "Autodesk images", "TAutodeskGraphic", &ReadAutodeskFile},
    {"bw", "SGI black/white images", "TSGIGraphic", &ReadSgiFile},
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
    RegisterFileFormat(r.Extension, r.Description, r.ClassName, r.Reader);

  SetPngIconDecoder(&ReadPNG);
}

}  // namespace

void RegisterGraphicFormats() {
  static std::once_flag once;
  std::call_once(once, RegisterAll);
}
