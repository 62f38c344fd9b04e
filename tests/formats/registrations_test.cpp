#include "formats/Registrations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "common/ScratchDir.h"
#include "formats/BandWriter.h"
#include "formats/Png.h"
#include "formats/png_maker.h"
#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Jpeg.h"
#include "platform/Picture.h"

using namespace pngmaker;

namespace {

// The whole list as the program has always registered it.
const std::vector<std::string> kOrder = {"ico", "bmp", "png", "jpg", "jpeg", "win", "vst", "vda",  "tiff",
                                         "tif", "tga", "sgi", "scr", "rpf",  "rle", "rla", "rgba", "rgb",
                                         "psd", "ppm", "pgm", "pbm", "pic",  "pcx", "pdd", "pcd",  "pcc",
                                         "icb", "gif", "dib", "cut", "cel",  "bw"};

class Registrations : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Many callers at once register once.
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back(RegisterGraphicFormats);
    for (auto& t : threads) t.join();
    RegisterGraphicFormats();
  }

  static Bytes SmallPng() {
    RawImage img = MakeImage(2, 1, 8, 3);
    img.Pixels = {255, 0, 0, 0, 0, 255};
    return Png(img, 2);
  }
  ScratchDir FDir;
};

}  // namespace

TEST_F(Registrations, ListFollowsTheProgramsOrderWithoutDuplicates) {
  const std::vector<TPictureFormat> formats = PictureFormats();
  std::vector<std::string> exts;
  for (const auto& f : formats) exts.push_back(f.Extension);
  EXPECT_EQ(exts, kOrder);
  const auto png = std::find_if(formats.begin(), formats.end(), [](auto& f) { return f.Extension == "png"; });
  EXPECT_EQ(png->Description, "Portable Network Graphics");
  EXPECT_EQ(png->ClassName, "TPNGObject");
  for (const char* e : {"rle", "dib"}) {
    const auto f = std::find_if(formats.begin(), formats.end(), [&](auto& x) { return x.Extension == e; });
    ASSERT_NE(f, formats.end()) << e;
    EXPECT_EQ(f->Description, "Windows bitmap");
    EXPECT_EQ(f->ClassName, "TBitmap");
  }
}

TEST_F(Registrations, PngLoadsByUpperAndLowerCaseExtension) {
  WriteFileReplacing(FDir / "a.png", SmallPng());
  WriteFileReplacing(FDir / "b.PNG", SmallPng());
  TPicture lower, upper;
  lower.LoadFromFile(FDir / "a.png");
  upper.LoadFromFile(FDir / "b.PNG");
  ASSERT_EQ(lower.Bitmap.Width(), 2);
  EXPECT_EQ(lower.Bitmap.Pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(lower.Bitmap.Pixel(1, 0), RGB(0, 0, 255));
  EXPECT_TRUE(lower.Bitmap == upper.Bitmap);
}

TEST_F(Registrations, RleAndDibLoadAsWindowsBitmaps) {
  Bitmap24 b(3, 2);
  b.SetPixel(0, 0, RGB(1, 2, 3));
  b.SetPixel(2, 1, RGB(250, 128, 7));
  for (const char* name : {"p.rle", "p.DIB"}) {
    WriteBMPFile(b, FDir / name);
    TPicture pic;
    pic.LoadFromFile(FDir / name);
    EXPECT_TRUE(pic.Bitmap == b) << name;
  }
}

TEST_F(Registrations, PngNamedJpgFailsAndKeepsThePicture) {
  WriteFileReplacing(FDir / "real.png", SmallPng());
  WriteFileReplacing(FDir / "fake.jpg", SmallPng());
  TPicture pic;
  pic.LoadFromFile(FDir / "real.png");
  const Bitmap24 before = pic.Bitmap;
  EXPECT_THROW(pic.LoadFromFile(FDir / "fake.jpg"), EVitrane);
  EXPECT_TRUE(pic.Bitmap == before);
}

TEST_F(Registrations, UnknownExtensionIsNamed) {
  TPicture pic;
  try {
    pic.LoadFromFile(FDir / "x.xyz");
    FAIL() << "no error";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Unknown picture file extension (.xyz)");
  }
}

TEST_F(Registrations, IconsDecodeTheirPngImages) {
  const Bytes png = SmallPng();
  Bytes ico = {0, 0, 1, 0, 1, 0, 2, 1, 0, 0, 1, 0, 32, 0};
  for (uint32_t v : {uint32_t(png.size()), 22u})
    for (int k = 0; k < 4; ++k) ico.push_back(uint8_t(v >> (8 * k)));
  ico.insert(ico.end(), png.begin(), png.end());
  WriteFileReplacing(FDir / "i.ico", ico);
  TPicture pic;
  pic.LoadFromFile(FDir / "i.ico");
  ASSERT_EQ(pic.Bitmap.Width(), 2);
  EXPECT_EQ(pic.Bitmap.Pixel(0, 0), RGB(255, 0, 0));
}

TEST_F(Registrations, TiffWrittenByTheBandWriterLoadsByEitherExtension) {
  Bitmap24 b(4, 3);
  b.SetPixel(0, 0, RGB(9, 8, 7));
  b.SetPixel(3, 2, RGB(200, 100, 50));
  for (const char* name : {"t.tif", "t.TIFF"}) {
    SaveBitmapAsTIFF(FDir / name, b, 72, 2);
    TPicture pic;
    pic.LoadFromFile(FDir / name);
    EXPECT_TRUE(pic.Bitmap == b) << name;
  }
}

TEST_F(Registrations, PortableMapsLoadThroughTheirReader) {
  const std::string text = "P6\n2 1\n255\n";
  std::vector<uint8_t> f(text.begin(), text.end());
  f.insert(f.end(), {255, 0, 0, 1, 2, 3});
  WriteFileReplacing(FDir / "m.PPM", f);
  TPicture pic;
  pic.LoadFromFile(FDir / "m.PPM");
  ASSERT_EQ(pic.Bitmap.Width(), 2);
  EXPECT_EQ(pic.Bitmap.Pixel(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(pic.Bitmap.Pixel(1, 0), RGB(1, 2, 3));
}
