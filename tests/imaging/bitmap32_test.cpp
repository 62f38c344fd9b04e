#include "imaging/Bitmap32.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "imaging/PixelTestUtil.h"
#include "platform/Jpeg.h"

namespace {

TEST(Bitmap32, StartsEmptyWithItsDefaults) {
  TBitmap32 b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.DrawMode(), dmOpaque);
  EXPECT_EQ(b.CombineMode(), cmBlend);
  EXPECT_EQ(b.MasterAlpha(), 255u);
  EXPECT_EQ(b.OuterColor, 0u);
  EXPECT_EQ(b.StretchFilter(), sfNearest);
}

TEST(Bitmap32, SetSizeZeroFillsAndReportsChanges) {
  TBitmap32 b;
  int changes = 0, resizes = 0;
  b.OnChange = [&](TThreadPersistent* s) {
    EXPECT_EQ(s, &b);
    ++changes;
  };
  b.OnResize = [&](TThreadPersistent*) { ++resizes; };
  EXPECT_TRUE(b.SetSize(-5, 10));
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 10);
  EXPECT_TRUE(b.Empty());
  EXPECT_TRUE(b.SetSize(3, 2));
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(resizes, 2);
  EXPECT_EQ(Pixels(b), std::vector<TColor32>(6, 0));
  EXPECT_EQ(b.ClipRect(), TRect(0, 0, 3, 2));
  EXPECT_FALSE(b.Clipping());

  // The same size: no event, and the pixels stay.
  b.Clear(0xFF123456);
  changes = resizes = 0;
  EXPECT_FALSE(b.SetSize(3, 2));
  EXPECT_EQ(changes + resizes, 0);
  EXPECT_EQ(b.Pixel(2, 1), 0xFF123456u);

  // A real change starts from zeros again.
  b.SetSize(2, 3);
  EXPECT_EQ(Pixels(b), std::vector<TColor32>(6, 0));
  b.Delete();
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap32, AbsurdSizeIsRefusedAndLeavesItEmpty) {
  TBitmap32 b;
  b.SetSize(4, 4);
  try {
    b.SetSize(1 << 30, 1 << 30);
    FAIL() << "no error";
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "Can't allocate the DIB handle");
  }
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 0);
  EXPECT_TRUE(b.SetSize(2, 2));
}

TEST(Bitmap32, PixelWordsAreContiguousArgbRowsTopDown) {
  TBitmap32 b;
  b.SetSize(3, 2);
  b.SetPixel(1, 1, Color32(0x11, 0x22, 0x33, 0x44));
  EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), 3);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(b.Bits() + 4);
  EXPECT_EQ(bytes[0], 0x33);  // blue, green, red, alpha in memory
  EXPECT_EQ(bytes[1], 0x22);
  EXPECT_EQ(bytes[2], 0x11);
  EXPECT_EQ(bytes[3], 0x44);
}

TEST(Bitmap32, UpdateCountingAndUnpairedEndUpdate) {
  TBitmap32 b;
  int changes = 0;
  b.OnChange = [&](TThreadPersistent*) { ++changes; };
  b.BeginUpdate();
  b.SetSize(2, 2);
  b.Clear(1);
  EXPECT_EQ(changes, 0);
  b.EndUpdate();
  EXPECT_EQ(changes, 0);  // EndUpdate does not call Changed itself
  b.Changed();
  EXPECT_EQ(changes, 1);
  try {
    b.EndUpdate();
    FAIL() << "no error";
  } catch (const EAssertionFailed& e) {
    EXPECT_STREQ(e.what(), "Unpaired TThreadPersistent.EndUpdate");
  }
  b.Lock();
  b.Lock();
  EXPECT_EQ(b.LockCount(), 2);
  b.Unlock();
  b.Unlock();
  EXPECT_EQ(b.LockCount(), 0);
}

TEST(Bitmap32, PropertySettersCallChangedAsTheyShould) {
  TBitmap32 b;
  int changes = 0;
  b.OnChange = [&](TThreadPersistent*) { ++changes; };
  b.SetDrawMode(dmOpaque);
  b.SetMasterAlpha(255);
  b.SetStretchFilter(sfNearest);
  EXPECT_EQ(changes, 0);
  b.SetCombineMode(cmBlend);  // every time
  EXPECT_EQ(changes, 1);
  b.SetDrawMode(dmBlend);
  b.SetMasterAlpha(100);
  b.SetStretchFilter(sfMitchell);
  EXPECT_EQ(changes, 4);
  b.SetMasterAlpha(300);
  EXPECT_EQ(b.MasterAlpha(), 255u);
}

TEST(Bitmap32, Color32FromWindowColours) {
  EXPECT_EQ(Color32(TColor(0x000000FF)), 0xFFFF0000u);
  EXPECT_EQ(Color32(TColor(0x00123456)), 0xFF563412u);
  EXPECT_EQ(Color32(TColor(0x80000005)), 0xFFFFFFFFu);  // the window colour, white
  EXPECT_EQ(Color32(1, 2, 3, 4), 0x04010203u);
  EXPECT_EQ(Color32(1, 2, 3), 0xFF010203u);
}

TEST(Bitmap32, RectangleHelpers) {
  TRect r;
  EXPECT_TRUE(IntersectRect32(r, TRect(0, 0, 10, 10), TRect(10, 2, 20, 5)));  // zero width counts
  EXPECT_EQ(r, TRect(10, 2, 10, 5));
  EXPECT_FALSE(IntersectRect32(r, TRect(0, 0, 10, 10), TRect(11, 2, 20, 5)));
  EXPECT_EQ(r, TRect(0, 0, 0, 0));
  EXPECT_TRUE(IsRectEmpty32(TRect(10, 2, 10, 5)));
  EXPECT_TRUE(IsRectEmpty32(TRect(5, 2, 1, 5)));
  EXPECT_FALSE(IsRectEmpty32(TRect(0, 0, 1, 1)));
  r = TRect(1, 2, 3, 4);
  OffsetRect32(r, -1, 10);
  EXPECT_EQ(r, TRect(0, 12, 2, 14));
  EXPECT_EQ(FixedRect(TRect(1, -1, 2, 3)), (TFixedRect{0x10000, -0x10000, 0x20000, 0x30000}));
  EXPECT_TRUE(EqualRect32(MakeRect(1, 2, 3, 4), TRect(1, 2, 3, 4)));
}

TEST(Bitmap32, ClipRectStaysInsideAndResetsOnResize) {
  TBitmap32 b;
  b.SetSize(10, 10);
  b.SetClipRect(TRect(-5, 2, 5, 20));
  EXPECT_EQ(b.ClipRect(), TRect(0, 2, 5, 10));
  EXPECT_TRUE(b.Clipping());
  EXPECT_EQ(b.FixedClipRect().Right, 5 << 16);
  b.SetSize(4, 4);
  EXPECT_EQ(b.ClipRect(), TRect(0, 0, 4, 4));
  EXPECT_FALSE(b.Clipping());
}

TEST(Bitmap32, ClearAndSetAllAlpha) {
  TBitmap32 b;
  b.Clear(5);  // empty: nothing
  Fill(b, 2, 1, {0x11223344, 0xFF000000});
  b.SetAllAlpha(0x80);
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{0x80223344, 0x80000000}));
  b.SetAllAlpha();
  EXPECT_EQ(b.Pixel(0, 0), 0xFF223344u);
  b.Clear(0x01020304);
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{0x01020304, 0x01020304}));
}

TEST(Bitmap32, MirrorsInPlaceKeepTheMiddle) {
  TBitmap32 b;
  Fill(b, 3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  b.MirrorLeftRight();
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{3, 2, 1, 6, 5, 4, 9, 8, 7}));
  b.MirrorTopBottom();
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{9, 8, 7, 6, 5, 4, 3, 2, 1}));
  Fill(b, 2, 2, {1, 2, 3, 4});
  b.MirrorTopBottom(&b);
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{3, 4, 1, 2}));
}

TEST(Bitmap32, MirrorsIntoAnotherBitmap) {
  TBitmap32 a, b;
  Fill(a, 3, 2, {1, 2, 3, 4, 5, 6});
  a.MirrorLeftRight(&b);
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{3, 2, 1, 6, 5, 4}));
  a.MirrorTopBottom(&b);
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{4, 5, 6, 1, 2, 3}));
  EXPECT_EQ(Pixels(a), (std::vector<TColor32>{1, 2, 3, 4, 5, 6}));
  TBitmap32 empty;
  empty.MirrorLeftRight(&b);
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap32, AssignCopiesPixelsAndPropertiesButNotCombineMode) {
  TBitmap32 a, b;
  Fill(a, 2, 1, {7, 8});
  a.SetDrawMode(dmBlend);
  a.SetMasterAlpha(100);
  a.OuterColor = 0x42;
  a.SetStretchFilter(sfMitchell);
  a.SetCombineMode(cmMerge);
  b.Assign(a);
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{7, 8}));
  EXPECT_EQ(b.DrawMode(), dmBlend);
  EXPECT_EQ(b.MasterAlpha(), 100u);
  EXPECT_EQ(b.OuterColor, 0x42u);
  EXPECT_EQ(b.StretchFilter(), sfMitchell);
  EXPECT_EQ(b.CombineMode(), cmBlend);
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
  a.Assign(a);
  EXPECT_EQ(Pixels(a), (std::vector<TColor32>{7, 8}));
}

TEST(Bitmap32, TwentyFourBitPicturesComeInOpaqueAndGoOutWithoutAlpha) {
  Bitmap24 p(3, 2);
  p.SetPixel(0, 0, RGB(1, 2, 3));
  p.SetPixel(2, 1, RGB(200, 100, 50));
  TBitmap32 b;
  b.Assign(p);
  EXPECT_EQ(b.Pixel(0, 0), 0xFF010203u);
  EXPECT_EQ(b.Pixel(2, 1), 0xFFC86432u);
  EXPECT_EQ(b.Pixel(1, 0), 0xFF000000u);

  b.SetPixel(1, 0, 0x00ABCDEF);
  Bitmap24 out;
  b.AssignTo(out);
  EXPECT_EQ(out.Width(), 3);
  EXPECT_EQ(out.Pixel(1, 0), RGB(0xAB, 0xCD, 0xEF));
  EXPECT_EQ(out.Pixel(2, 1), RGB(200, 100, 50));

  // DrawToDC places the whole bitmap, clipped to the device.
  Bitmap24 dev(2, 2);
  b.DrawToDC(dev, -1, 1);
  EXPECT_EQ(dev.Pixel(0, 1), RGB(0xAB, 0xCD, 0xEF));
  EXPECT_EQ(dev.Pixel(0, 0), RGB(0, 0, 0));
}

TEST(Bitmap32, TransparentPicturesGetAlphaZeroOnTheirKeyColour) {
  Bitmap24 p(3, 1);
  p.SetPixel(0, 0, RGB(255, 0, 255));
  p.SetPixel(1, 0, RGB(255, 0, 254));
  p.SetPixel(2, 0, RGB(255, 0, 255));
  TBitmap32 b;
  b.AssignTransparent(p, RGB(255, 0, 255));
  EXPECT_EQ(Pixels(b), (std::vector<TColor32>{0x00FF00FF, 0xFFFF00FE, 0x00FF00FF}));
}

TEST(Bitmap32, DrawFromDCCopiesAndMirrorsWithAlphaZero) {
  Bitmap24 dev(2, 2);
  dev.SetPixel(0, 0, RGB(1, 1, 1));
  dev.SetPixel(1, 0, RGB(2, 2, 2));
  dev.SetPixel(0, 1, RGB(3, 3, 3));
  dev.SetPixel(1, 1, RGB(4, 4, 4));
  TBitmap32 b;
  b.SetSize(3, 2);
  b.Clear(0xFFFFFFFF);
  b.DrawFromDC(TRect(0, 0, 2, 2), TRect(0, 0, 2, 2), dev);
  EXPECT_EQ(Pixels(b),
            (std::vector<TColor32>{0x010101, 0x020202, 0xFFFFFFFF, 0x030303, 0x040404, 0xFFFFFFFF}));
  // A reversed destination mirrors; a larger one repeats pixels.
  b.DrawFromDC(TRect(1, 0, -1, 1), TRect(0, 0, 2, 1), dev);
  EXPECT_EQ(b.Pixel(0, 0), 0x020202u);
  EXPECT_EQ(b.Pixel(1, 0), 0x010101u);
  b.DrawFromDC(TRect(0, 0, 3, 2), TRect(0, 0, 1, 1), dev);
  EXPECT_EQ(Pixels(b), std::vector<TColor32>(6, 0x010101));
}

TEST(Bitmap32, PixelDataRoundTripsAndRefusesBadBlocks) {
  TBitmap32 a, b;
  Fill(a, 2, 2, {0x01020304, 0xFFFFFFFF, 0, 0x80808080});
  std::stringstream s;
  a.WritePixelData(s);
  EXPECT_EQ(s.str().size(), 8u + 16u);
  EXPECT_EQ(s.str().substr(0, 12), std::string("\x02\0\0\0\x02\0\0\0\x04\x03\x02\x01", 12));
  int changes = 0;
  b.OnChange = [&](TThreadPersistent*) { ++changes; };
  b.ReadPixelData(s);
  EXPECT_EQ(Pixels(b), Pixels(a));
  EXPECT_GE(changes, 1);

  // Short data: an error, the bitmap as it was, and still a change notice.
  std::stringstream shortData(s.str().substr(0, 20));
  changes = 0;
  EXPECT_THROW(b.ReadPixelData(shortData), EPictureError);
  EXPECT_EQ(Pixels(b), Pixels(a));
  EXPECT_EQ(changes, 1);
  // A header claiming a huge picture is refused before anything is allocated.
  std::stringstream huge(std::string("\xFF\xFF\xFF\x7F\xFF\xFF\xFF\x7F", 8));
  EXPECT_THROW(b.ReadPixelData(huge), EPictureError);
  std::stringstream big(std::string("\x00\x40\x00\x00\x00\x40\x00\x00", 8));  // 16384 x 16384, no data
  EXPECT_THROW(b.ReadPixelData(big), EPictureError);
  EXPECT_EQ(b.Width(), 2);
}

TEST(Bitmap32, LoadFromFileGoesThroughThePictureList) {
  char dir[] = "/tmp/vtbmp32XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string name = std::string(dir) + "/t.jpg";
  Bitmap24 p(8, 4);
  p.Fill(RGB(200, 200, 200));
  JpegEncodeFile(p, 95, name);
  TBitmap32 b;
  b.LoadFromFile(name);
  EXPECT_EQ(b.Width(), 8);
  EXPECT_EQ(b.Height(), 4);
  for (TColor32 c : Pixels(b)) EXPECT_EQ(AlphaComponent(c), 255);
  EXPECT_NEAR(RedComponent(b.Pixel(3, 2)), 200, 2);
  EXPECT_THROW(b.LoadFromFile(std::string(dir) + "/missing.jpg"), EVitrane);
  EXPECT_EQ(b.Width(), 8);
  std::filesystem::remove_all(dir);
}

}  // namespace
