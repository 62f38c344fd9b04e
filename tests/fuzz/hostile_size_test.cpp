// Small files that declare huge pictures or sample grids are refused with
// their format's own message before anything large is allocated; the seeds
// of every picture reader, which are small honest files, still read.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "common/BytesRead.h"
#include "common/LargestAllocation.h"
#include "common/ScratchDir.h"
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
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "tiledb/LibraryMaker.h"
#include "tiledb/VTData.h"

namespace {

namespace fs = std::filesystem;
using TReader = void (*)(const uint8_t*, size_t, Bitmap24&);
constexpr size_t kSmall = 16u << 20;  // no hostile file may ask for more than this at once

void ReadCutAlone(const uint8_t* d, size_t n, Bitmap24& out) {
  ReadCut(d, n, nullptr, 0, out);
}

const std::map<std::string, TReader>& Readers() {
  static const std::map<std::string, TReader> readers = {
      {"png", ReadPNG},   {"tiff", ReadTIFF}, {"targa", ReadTarga}, {"pcx", ReadPcx},
      {"gif", ReadGif},   {"cut", ReadCutAlone}, {"psd", ReadPsd},  {"pcd", ReadPcd},
      {"sgi", ReadSgi},   {"rla", ReadRla},   {"ppm", ReadPPM},     {"autodesk", ReadAutodesk},
      {"bmp", ReadBMP},   {"ico", ReadICO},   {"jpeg", [](const uint8_t* d, size_t n, Bitmap24& o) {
                                                 JpegDecode(d, n, 0, o);
                                               }}};
  return readers;
}

fs::path Seed(const std::string& target, const std::string& name) {
  return fs::path(VT_FUZZ_CORPUS) / target / name;
}

// The message the reader refuses the seed with, and the largest allocation
// it made meanwhile.
std::string Refusal(const std::string& target, const std::string& name, size_t& largest) {
  RegisterGraphicFormats();
  const std::vector<uint8_t> bytes = ReadWholeFile(Seed(target, name).string());
  vttest::ResetLargestAllocation();
  try {
    if (target == "library" || target == "project") {
      TVTData plan, mosaic;
      if (target == "library") plan.OpenFile(Seed(target, name).string(), okLibrary);
      else plan.OpenProject(Seed(target, name).string(), mosaic);
    } else {
      Bitmap24 out;
      Readers().at(target)(bytes.data(), bytes.size(), out);
    }
  } catch (const EVitrane& e) {
    largest = vttest::LargestAllocation();
    return e.what();
  }
  largest = vttest::LargestAllocation();
  return "(read)";
}

TEST(HostileSize, EachReaderRefusesAHugeDeclaredPictureWithoutAllocatingIt) {
  const std::string pngShort =
      "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end of the "
      "file.";
  const std::string pngMemory =
      "Some operation could not be performed because the system is out of resources. Close some windows and "
      "try again.";
  const struct {
    const char *Target, *File;
    std::string Message;
  } cases[] = {
      {"png", "hostile-65535x8201.png", pngMemory},
      {"png", "hostile-4000x4000-padded.png", pngShort},
      {"tiff", "hostile-536870911x1.tif", "TIFF: invalid image size"},
      {"tiff", "hostile-20000x20000.tif", "TIFF: invalid image size"},
      {"tiff", "hostile-4096x4096-short.tif", "Stream read error"},
      {"tiff", "hostile-16384x16384-overlapping.tif", "Stream read error"},
      {"targa", "hostile-65535x65535.tga", "Targa: invalid image size"},
      {"targa", "hostile-65535x65535-unknown-kind.tga", "Targa: invalid image size"},
      {"pcx", "hostile-65536-wide.pcx", "PCX: invalid image size"},
      {"gif", "hostile-65535x65535.gif", "GIF: invalid image size"},
      {"cut", "hostile-65535x65535.cut", "CUT: invalid image size"},
      {"psd", "hostile-65535x65535.psd", "PSD: invalid image size"},
      {"sgi", "hostile-65535x65535.sgi", "SGI: invalid image size"},
      {"rla", "hostile-65536-wide.rla", "RLA: invalid image size"},
      {"ppm", "hostile-65535x65535.ppm", "PPM: Stream read error."},
      {"autodesk", "hostile-65535x65535.pic", "Stream read error"},
      {"bmp", "hostile-65535x65535-rle.bmp",
       "Bitmap size 65535 x 65535 is not plausible for 8 bytes of compressed data"},
      {"ico", "hostile-65535x65535.ico", "Icon file is truncated"},
      {"library", "hostile-65535x10922-grid.vt2", WrongBaseMessage},
      {"project", "hostile-65535x10922-grid.vtp", WrongBaseMessage},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    size_t largest = 0;
    EXPECT_EQ(Refusal(c.Target, c.File, largest), c.Message);
    EXPECT_LT(largest, kSmall);
  }
  size_t largest = 0;
  const std::string jpeg = Refusal("jpeg", "hostile-65500x65500.jpg", largest);
  EXPECT_EQ(jpeg.rfind("JPEG error: a 65500 x 65500 picture cannot be held in ", 0), 0u) << jpeg;
  EXPECT_LT(largest, kSmall);
}

TEST(HostileSize, HonestSeedsReadAndShortOnesAreRefused) {
  for (const auto& [target, reader] : Readers())
    for (const fs::directory_entry& e : fs::directory_iterator(fs::path(VT_FUZZ_CORPUS) / target)) {
      const std::string name = e.path().filename().string();
      if (name.rfind("hostile-", 0) == 0) continue;
      size_t largest = 0;
      const std::string result = Refusal(target, name, largest);
      if (name.rfind("short-", 0) == 0)
        EXPECT_NE(result, "(read)") << name;
      else
        EXPECT_EQ(result, "(read)") << name;
    }
}

// The largest grid the resample settings make opens; one more is refused,
// and no resample writes a grid that could not be opened again.
TEST(HostileSize, SampleGridsUpToTheProgramsOwnLimit) {
  ScratchDir dir;
  vttest::MakeLibrary(dir / "wide.vt2", {.Count = 1, .XRes = 100, .YRes = 100, .Thumbs = false});
  vttest::MakeLibrary(dir / "wider.vt2", {.Count = 1, .XRes = 101, .YRes = 1, .Thumbs = false});
  TVTData t;
  ASSERT_TRUE(t.OpenFile(dir / "wide.vt2", okLibrary));
  EXPECT_EQ(t.XRes, 100);
  EXPECT_EQ(t.CurSamples.size(), 30000u);
  try {
    t.ResampleBase(dir / "more.vt2", 1, 101, csRGB);
    ADD_FAILURE() << "a 1 x 101 grid was written";
  } catch (const EVitrane& e) {
    EXPECT_STREQ(e.what(), "Invalid sample grid 1 x 101");
  }
  try {
    t.OpenFile(dir / "wider.vt2", okLibrary);
    ADD_FAILURE() << "a 101 x 1 grid was opened";
  } catch (const EVitrane& e) {
    EXPECT_STREQ(e.what(), WrongBaseMessage);
  }
  EXPECT_EQ(t.XRes, 100);  // the open table stays as it was
}

// A 3 GB file with nothing on disk, chosen as a library or a project, is
// refused from its first bytes: its header, or its size against what the
// format's 32-bit offsets can address. A project with a sound header opens
// reading only what its header names, however long the file.
TEST(HostileSize, HugeSparseLibraryAndProjectFilesAreRefusedFromTheirHeaders) {
  ScratchDir dir;
  const int64_t huge = int64_t(3) << 30;
  auto sparse = [&](const std::string& name, const std::string& headFrom) {
    const std::string file = dir / name;
    if (!headFrom.empty()) fs::copy_file(headFrom, file);
    std::ofstream(file, std::ios::app).close();
    fs::resize_file(file, uintmax_t(huge));
    return file;
  };
  vttest::MakeLibrary(dir / "lib.vt2", {.Count = 3});
  Bitmap24 source(12, 6);
  source.Fill(RGB(10, 20, 30));
  {
    TVTData lib;
    ASSERT_TRUE(lib.OpenFile(dir / "lib.vt2", okLibrary));
    lib.CreatePlan(dir / "p.vtp", source, {"/pictures/source.jpg", TRect(0, 0, 12, 6)}, 1, 2);
  }
  const std::string zeros = sparse("zeros.vt2", ""), library = sparse("huge.vt2", dir / "lib.vt2"),
                    project = sparse("huge.vtp", dir / "p.vtp");
  const struct {
    std::string File;
    bool Project;
    const char* Message;
  } cases[] = {{zeros, false, WrongBaseMessage},
               {zeros, true, WrongProjectMessage},
               {library, false, WrongBaseMessage}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File + (c.Project ? " as a project" : " as a library"));
    TVTData plan, mosaic;
    const int64_t before = BytesRead();
    vttest::ResetLargestAllocation();
    try {
      if (c.Project)
        plan.OpenProject(c.File, mosaic);
      else
        plan.OpenFile(c.File, okLibrary);
      ADD_FAILURE() << "opened";
    } catch (const EVitrane& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
    EXPECT_LT(vttest::LargestAllocation(), kSmall);
    EXPECT_LT(BytesRead() - before, 1 << 20);
  }
  TVTData plan, mosaic;
  const int64_t before = BytesRead();
  vttest::ResetLargestAllocation();
  ASSERT_TRUE(plan.OpenProject(project, mosaic));
  EXPECT_EQ(mosaic.RecordCount, 2);
  EXPECT_LT(vttest::LargestAllocation(), kSmall);
  EXPECT_LT(BytesRead() - before, 1 << 20);
}

}  // namespace
