#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

#include "common/ScratchDir.h"
#include "controls/EnCropImage.h"
#include "controls/ScriptedTwain.h"
#include "platform/Bmp.h"
#include "platform/Hooks.h"
#include "platform/qt/Desktop.h"
#include "qt/TestApp.h"

namespace {

Bitmap24 Gradient(int w, int h) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(uint8_t(x * 255 / w), uint8_t(y * 255 / h), 90));
  return b;
}

struct EnCropTest : ::testing::Test {
  TApplication* app = TestApp();
  ScratchDir dir{"encrop"};
  TEnCropImage view;
  int changes = 0;
  void SetUp() override {
    view.resize(400, 300);
    QObject::connect(&view, &TCropImage::ChangeCropPos, [this] { ++changes; });
    view.show();
    QApplication::processEvents();
  }
};

TEST_F(EnCropTest, FileLoadsIntoOriginalAndPasteReplacesOnlyTheShownPicture) {
  const std::string file = dir / "pic.bmp";
  WriteBMPFile(Gradient(200, 100), file);
  view.SetPictureFileName(file);
  EXPECT_EQ(view.PictureFileName(), file);
  EXPECT_EQ(view.OriginalImg.Bitmap.Width(), 200);
  EXPECT_EQ(view.Picture().Width(), 200);

  ClipboardSetPicture(Gradient(50, 40));
  changes = 0;
  ASSERT_TRUE(view.PasteFromClipboard());
  EXPECT_TRUE(view.PictureFileName().empty());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(view.Picture().Width(), 50);
  EXPECT_EQ(view.Picture().Height(), 40);
  EXPECT_EQ(view.OriginalImg.Bitmap.Width(), 200);  // the file's copy stays

  // A missing file is ignored.
  view.SetPictureFileName(dir / "none.bmp");
  EXPECT_TRUE(view.PictureFileName().empty());
}

TEST_F(EnCropTest, PasteWithoutPictureChangesNothing) {
  view.SetPicture(Gradient(60, 30));
  QApplication::clipboard()->setText("not a picture");
  changes = 0;
  EXPECT_FALSE(view.PasteFromClipboard());
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(view.Picture().Width(), 60);
}

TEST_F(EnCropTest, ShiftArrowsResizeFreelyUnlessProportional) {
  view.SetPicture(Gradient(200, 100));
  view.SetCropRect(TRect(10, 10, 110, 60));
  view.SetScaleStyle(ssCornerScale);
  QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(view.CropRectPx(), TRect(10, 10, 111, 60));
  QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(view.CropRectPx(), TRect(10, 10, 111, 61));
  // Never beyond the picture, never below 2 pixels.
  view.SetCropRect(TRect(0, 0, 200, 2));
  QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(&view, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_EQ(view.CropRectPx(), TRect(0, 0, 200, 2));
}

TEST_F(EnCropTest, FreeDragStopsAtThePicturesCorner) {
  view.SetPicture(Gradient(200, 100));  // shown at 2x: (0, 50)-(400, 250)
  view.SetScaleStyle(ssNoScale);
  view.SetCropRect(TRect(50, 25, 100, 50));  // panel (100, 100)-(200, 150)
  TCellShape* f = view.CropShape;
  QTest::mousePress(f, Qt::LeftButton, {}, QPoint(99, 49));
  QTest::mouseMove(f, f->mapFrom(&view, QPoint(399, 290)));
  QTest::mouseMove(f, f->mapFrom(&view, QPoint(420, 299)));
  QTest::mouseRelease(f, Qt::LeftButton, {}, f->mapFrom(&view, QPoint(420, 299)));
  const TRect fb = view.FrameBounds();
  EXPECT_LE(fb.Right, 400);
  EXPECT_LE(fb.Bottom, 250);
  EXPECT_GE(fb.Right, 398);
  EXPECT_GE(fb.Bottom, 248);
}

TEST_F(EnCropTest, CropReadOutFollowsPictureCrops) {
  Bitmap24 pic = Gradient(200, 100);
  view.SetPicture(pic);
  view.SetCropRect(TRect(20, 10, 120, 60));
  view.CropShape->hide();  // as during a drag
  Bitmap24 out;
  view.GetCroppedBitmap(out, 1, 1);
  ASSERT_EQ(out.Width(), 100);
  ASSERT_EQ(out.Height(), 50);
  EXPECT_EQ(out.Pixel(0, 0), pic.Pixel(20, 10));
  EXPECT_EQ(out.Pixel(99, 49), pic.Pixel(119, 59));
  view.SetPictureCrops(false);
  view.GetCroppedBitmap(out, 1, 1);
  EXPECT_EQ(out.Width(), 400);  // the picture as shown
}

TEST_F(EnCropTest, AcquireShowsTheFirstPictureAndFreesThemAll) {
  SetMessageBoxHook([](const MessageBoxRequest&) { return IDOK; });
  view.SetPicture(Gradient(60, 30));
  {
    TScript script;
    script.CancelInSource = true;
    EXPECT_FALSE(view.AcquireTwain());
    EXPECT_EQ(view.Picture().Width(), 60);
  }
  {
    TScript script;
    script.Pictures = 3;
    changes = 0;
    EXPECT_TRUE(view.AcquireTwain());
    EXPECT_EQ(view.Picture().Width(), 2);
    EXPECT_EQ(view.Picture().Pixel(0, 0), RGB(1, 0, 0));  // the first of three
    EXPECT_TRUE(view.PictureFileName().empty());
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(TwainImageCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(TwainImageHandle(i), nullptr);
    EXPECT_TRUE(view.SelectTwainSource());
  }
  SetMessageBoxHook(nullptr);
}

}  // namespace
