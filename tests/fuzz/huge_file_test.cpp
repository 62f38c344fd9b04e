// A huge file chosen as a picture costs what its header accounts for: one of
// zeros (sparse, 3 GB, nothing on the disk) is refused with its format's own
// message by every reader, and a small picture at the head of one reads as it
// does alone, each with a small allocation.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "common/LargestAllocation.h"
#include "common/ScratchDir.h"
#include "formats/Png.h"
#include "formats/Registrations.h"
#include "platform/Files.h"
#include "platform/Picture.h"

namespace {

constexpr off_t kHuge = off_t(3) << 30;
constexpr size_t kSmall = 16u << 20;

// Writes bytes to name and extends the file with a hole to 3 GB.
void WriteHuge(const std::string& name, const std::vector<uint8_t>& bytes) {
  WriteNewFile(name, bytes);
  ASSERT_EQ(::truncate(name.c_str(), kHuge), 0);
}

// The message the picture is refused with ("(read)" when it reads), and the
// largest allocation meanwhile.
std::string Load(const std::string& name, Bitmap24& out, size_t& largest) {
  vttest::ResetLargestAllocation();
  std::string result = "(read)";
  try {
    LoadPicture(name, out);
  } catch (const EVitrane& e) {
    result = e.what();
  }
  largest = vttest::LargestAllocation();
  return result;
}

TEST(HugeFile, ZerosAreRefusedByTheirHeaderWithEachFormatsMessage) {
  RegisterGraphicFormats();
  const std::map<std::string, std::string> messages = {
      {"TIcon", "Not an icon file"},
      {"TBitmap", "Not a bitmap file (no \"BM\" signature)"},
      {"TJPEGImage", "JPEG error: Not a JPEG file: starts with 0x00 0x00"},
      {"TPNGObject", EPNGInvalidFileHeader().what()},
      {"TTargaGraphic", "Targa: pixel size not supported"},
      {"TTIFFGraphic", "Invalid TIFF file."},
      {"TSGIGraphic", "Not a valid sgi, bw or rgb(a) image."},
      {"TPCXGraphic", "Not a PCX or SCR file."},
      {"TRLAGraphic", "RLA: image must be RGB(A)."},
      {"TPSDGraphic", "Not a valid psd file."},
      {"TPPMGraphic", "Not a valid ppm file."},
      {"TAutodeskGraphic", "Cannot load image. Only old style Autodesk images are supported."},
      {"TPCDGraphic", "PCD: wrong image format."},
      {"TGIFGraphic", "Not a valid GIF file."},
      {"TCUTGraphic", "CUT: invalid image size"},
  };
  ScratchDir dir;
  for (const TPictureFormat& f : PictureFormats()) {
    SCOPED_TRACE(f.Extension);
    const std::string name = dir / ("zeros." + f.Extension);
    WriteHuge(name, {});
    Bitmap24 out;
    size_t largest = 0;
    ASSERT_EQ(messages.count(f.ClassName), 1u) << f.ClassName;
    EXPECT_EQ(Load(name, out, largest), messages.at(f.ClassName));
    EXPECT_LT(largest, kSmall);
    std::filesystem::remove(name);
  }
}

TEST(HugeFile, APictureAtTheHeadOfAHugeFileReadsAsItDoesAlone) {
  RegisterGraphicFormats();
  const struct {
    const char *Target, *Seed, *Extension;
  } cases[] = {
      {"jpeg", "rgb-33x17.jpg", "jpg"},  {"png", "rgb-paeth.png", "png"},   {"gif", "global-table.gif", "gif"},
      {"ppm", "p6.ppm", "ppm"},          {"targa", "rgb24-top.tga", "tga"}, {"pcx", "rgb-planes-rle.pcx", "pcx"},
      {"bmp", "rgb24.bmp", "bmp"},       {"ico", "bmp-image.ico", "ico"},   {"sgi", "rgb-raw.sgi", "sgi"},
      {"rla", "rgb.rla", "rla"},         {"cut", "grey.cut", "cut"},        {"autodesk", "picture.pic", "pic"},
      {"psd", "rgb-raw.psd", "psd"},     {"tiff", "rgb-two-strips.tif", "tif"},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Seed);
    const std::vector<uint8_t> bytes =
        ReadWholeFile((std::filesystem::path(VT_FUZZ_CORPUS) / c.Target / c.Seed).string());
    const std::string alone = dir / (std::string("alone.") + c.Extension);
    const std::string huge = dir / (std::string("huge.") + c.Extension);
    WriteNewFile(alone, bytes);
    WriteHuge(huge, bytes);
    Bitmap24 expected, got;
    size_t largest = 0;
    ASSERT_EQ(Load(alone, expected, largest), "(read)");
    ASSERT_FALSE(expected.Empty());
    EXPECT_EQ(Load(huge, got, largest), "(read)");
    EXPECT_TRUE(got == expected);
    EXPECT_LT(largest, kSmall);
    if (std::string(c.Target) == "ppm") {
      // The pixmap's bytes, to the pixel: "P6 2 2 255", then 11, 48, 85, ...
      ASSERT_EQ(got.Width(), 2);
      EXPECT_EQ(got.ScanLine(0)[2], 11);
      EXPECT_EQ(got.ScanLine(0)[1], 48);
      EXPECT_EQ(got.ScanLine(0)[0], 85);
    }
    std::filesystem::remove(huge);
  }
}

}  // namespace
