#include "fuzz/FuzzEntries.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "formats/AutodeskReader.h"
#include "formats/Cut.h"
#include "formats/Gif.h"
#include "formats/Pcd.h"
#include "formats/Pcx.h"
#include "formats/Png.h"
#include "formats/PpmReader.h"
#include "formats/Psd.h"
#include "formats/Registrations.h"
#include "formats/Rla.h"
#include "formats/Sgi.h"
#include "formats/Targa.h"
#include "formats/TiffReader.h"
#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Jpeg.h"
#include "platform/Utils.h"
#include "tiledb/VTData.h"

namespace {

using TReader = void (*)(const uint8_t*, size_t, Bitmap24&);

// The program's own errors are the expected refusals.
template <typename Fn>
void Refusable(Fn&& fn) {
  try {
    fn();
  } catch (const EVitrane&) {
  }
}

template <TReader Reader>
void Picture(const uint8_t* data, size_t size) {
  Refusable([&] {
    Bitmap24 out;
    Reader(data, size, out);
  });
}

void Cut(const uint8_t* data, size_t size) {
  Refusable([&] {
    Bitmap24 out;
    ReadCut(data, size, nullptr, 0, out);
  });
  // The same bytes once more as the picture's palette file.
  Refusable([&] {
    Bitmap24 out;
    ReadCut(data, size, data, size, out);
  });
}

void Icon(const uint8_t* data, size_t size) {
  RegisterGraphicFormats();  // icons decode their PNG images through the PNG reader
  Picture<ReadICO>(data, size);
}

void Jpeg(const uint8_t* data, size_t size) {
  // The last byte picks the scale, so the reduced decodes are reached too.
  const int scale = size > 0 ? data[size - 1] & 3 : 0;
  Refusable([&] {
    Bitmap24 out;
    JpegDecode(data, size, scale, out);
  });
}

// The table readers take a file name: the bytes go to a file of this process.
const std::string& ScratchFile(const char* ext) {
  static const std::string base =
      (std::filesystem::temp_directory_path() / ("vt_fuzz_" + std::to_string(::getpid()))).string();
  static std::string name;
  name = base + ext;
  return name;
}

const std::string& WriteScratch(const uint8_t* data, size_t size, const char* ext) {
  const std::string& name = ScratchFile(ext);
  WriteNewFile(name, std::vector<uint8_t>(data, data + size));
  return name;
}

// Visits the records the cursor reaches, as the grid view does.
void Browse(TVTData& t) {
  const int32_t n = std::min<int32_t>(t.VisibleCount, 64);
  for (int32_t i = 0; i <= n + 1; ++i) t.MoveTo(i);
}

TVTData& Table(int which) {
  static TVTData tables[2];
  return tables[which];
}

void Library(const uint8_t* data, size_t size) {
  const std::string& name = WriteScratch(data, size, ".vt2");
  TVTData& lib = Table(0);
  lib.ShowThumbs = size > 0 && (data[size - 1] & 1);
  Refusable([&] {
    TVTData::TBaseInfo info;
    lib.ReadBaseInfo(name, info);
    if (lib.OpenFile(name, okLibrary)) Browse(lib);
  });
  lib.CloseTable();
  DeleteFile(name);
}

void Project(const uint8_t* data, size_t size) {
  const std::string& name = WriteScratch(data, size, ".vtp");
  TVTData& plan = Table(0);
  TVTData& mosaic = Table(1);
  Refusable([&] {
    if (plan.OpenProject(name, mosaic)) {
      Browse(plan);
      Browse(mosaic);
    }
  });
  plan.CloseTable();
  mosaic.CloseTable();
  DeleteFile(name);
}

void Settings(const uint8_t* data, size_t size) {
  const std::string& name = WriteScratch(data, size, ".ini");
  Refusable([&] {
    TIniFile ini(name);
    ini.ReadString("StartUp", "OpenOnStart", "No");
    ini.ReadInteger("Render", "Repeat", 0);
    ini.ReadBool("StartUp", "WizardOnStart", true);
    TRect bounds;
    LoadBoundsValue(name, "LayOut", "MainForm", false, bounds);
    // Writing rewrites the file around the lines it does not touch.
    ini.WriteString("LastPath", "Library", "/pictures/");
    ini.WriteInteger("Render", "Repeat", 3);
    if (ini.ReadInteger("Render", "Repeat", 0) != 3) __builtin_trap();
  });
  DeleteFile(name);
  DeleteFile(name + ".lock");
}

}  // namespace

const std::vector<TFuzzTarget>& FuzzTargets() {
  static const std::vector<TFuzzTarget> targets = {
      {"png", &Picture<ReadPNG>},       {"tiff", &Picture<ReadTIFF>},     {"targa", &Picture<ReadTarga>},
      {"pcx", &Picture<ReadPcx>},       {"gif", &Picture<ReadGif>},       {"cut", &Cut},
      {"psd", &Picture<ReadPsd>},       {"pcd", &Picture<ReadPcd>},       {"sgi", &Picture<ReadSgi>},
      {"rla", &Picture<ReadRla>},       {"ppm", &Picture<ReadPPM>},       {"autodesk", &Picture<ReadAutodesk>},
      {"bmp", &Picture<ReadBMP>},       {"ico", &Icon},                   {"jpeg", &Jpeg},
      {"library", &Library},            {"project", &Project},            {"settings", &Settings},
  };
  return targets;
}

TFuzzEntry FindFuzzEntry(const std::string& name) {
  for (const TFuzzTarget& t : FuzzTargets())
    if (name == t.Name) return t.Entry;
  return nullptr;
}
