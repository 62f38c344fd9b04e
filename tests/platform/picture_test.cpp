#include "platform/Picture.h"

#include <gtest/gtest.h>

#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Jpeg.h"
#include "platform/TestSupport.h"

namespace {

Bitmap24 Solid(int w, int h, TColor c) {
  Bitmap24 b(w, h);
  b.Fill(c);
  return b;
}

void FakeReader(const std::string&, Bitmap24& out) {
  out = Solid(3, 3, clRed);
}
void FailingReader(const std::string&, Bitmap24& out) {
  out = Solid(9, 9, clBlue);  // a reader may leave its output half done
  throw EInvalidGraphic("broken");
}

class PictureList : public ::testing::Test {
 protected:
  TestDir Dir{"picture"};
  void TearDown() override {
    UnregisterGraphicClass("TFake");
    UnregisterGraphicClass("TFailing");
  }
};

TEST_F(PictureList, StartsWithThePlatformsOwnReaders) {
  const std::vector<TPictureFormat> l = PictureFormats();
  ASSERT_EQ(l.size(), 4u);
  const char* const want[4][3] = {{"ico", "Icons", "TIcon"},
                                  {"bmp", "Bitmaps", "TBitmap"},
                                  {"jpg", "JPEG Image File", "TJPEGImage"},
                                  {"jpeg", "JPEG Image File", "TJPEGImage"}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(l[i].Extension, want[i][0]);
    EXPECT_EQ(l[i].Description, want[i][1]);
    EXPECT_EQ(l[i].ClassName, want[i][2]);
  }
}

TEST_F(PictureList, LoadsByExtensionWhateverItsCase) {
  const Bitmap24 b = Solid(5, 4, RGB(10, 20, 30));
  WriteBMPFile(b, Dir.File("a.bmp"));
  WriteBMPFile(b, Dir.File("b.BMP"));
  JpegEncodeFile(Solid(16, 8, RGB(200, 100, 50)), 95, Dir.File("c.JPEG"));
  TPicture p;
  p.LoadFromFile(Dir.File("a.bmp"));
  EXPECT_EQ(p.Bitmap, b);
  p.Bitmap.Clear();
  p.LoadFromFile(Dir.File("b.BMP"));
  EXPECT_EQ(p.Bitmap, b);
  p.LoadFromFile(Dir.File("c.JPEG"));
  EXPECT_EQ(p.Bitmap.Width(), 16);
}

TEST_F(PictureList, LastRegisteredEntryWins) {
  WriteBMPFile(Solid(2, 2, clWhite), Dir.File("x.bmp"));
  RegisterFileFormat("BMP", "Fake bitmaps", "TFake", &FakeReader);
  EXPECT_EQ(PictureFormats().back().Extension, "bmp");
  Bitmap24 b;
  LoadPicture(Dir.File("x.bmp"), b);
  EXPECT_EQ(b, Solid(3, 3, clRed));
  UnregisterGraphicClass("TFake");
  LoadPicture(Dir.File("x.bmp"), b);
  EXPECT_EQ(b, Solid(2, 2, clWhite));
  EXPECT_EQ(PictureFormats().size(), 4u);
}

TEST_F(PictureList, UnknownExtension) {
  Bitmap24 b = Solid(1, 1, clLime);
  try {
    LoadPicture(Dir.File("photo.Xyz"), b);
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Unknown picture file extension (.Xyz)");
  }
  try {
    LoadPicture(Dir.File("noextension"), b);
    FAIL();
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Unknown picture file extension (.)");
  }
  EXPECT_EQ(b, Solid(1, 1, clLime));
}

TEST_F(PictureList, FailedReaderKeepsTheOldPicture) {
  // A bitmap file named .jpg goes to the JPEG reader, which refuses it.
  WriteBMPFile(Solid(2, 2, clWhite), Dir.File("not-really.jpg"));
  TPicture p;
  p.Bitmap = Solid(1, 1, clLime);
  EXPECT_THROW(p.LoadFromFile(Dir.File("not-really.jpg")), EPictureError);
  EXPECT_EQ(p.Bitmap, Solid(1, 1, clLime));
  // A reader that fills its output before failing changes nothing either.
  RegisterFileFormat("brk", "Broken", "TFailing", &FailingReader);
  EXPECT_THROW(p.LoadFromFile(Dir.File("a.brk")), EInvalidGraphic);
  EXPECT_EQ(p.Bitmap, Solid(1, 1, clLime));
  // So does a missing file.
  EXPECT_THROW(p.LoadFromFile(Dir.File("missing.bmp")), EFileError);
  EXPECT_EQ(p.Bitmap, Solid(1, 1, clLime));
}

}  // namespace
