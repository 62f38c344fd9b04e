#include "controls/CropGeometry.h"

#include <gtest/gtest.h>

namespace {

TEST(CropGeometry, ZonesAreTestedCornersFirst) {
  EXPECT_EQ(FrameZone(0, 0, 100, 50), dzTopLeft);
  EXPECT_EQ(FrameZone(99, 49, 100, 50), dzBottomRight);
  EXPECT_EQ(FrameZone(3, 47, 100, 50), dzBottomLeft);
  EXPECT_EQ(FrameZone(97, 3, 100, 50), dzTopRight);
  EXPECT_EQ(FrameZone(2, 20, 100, 50), dzLeft);
  EXPECT_EQ(FrameZone(97, 20, 100, 50), dzRight);
  EXPECT_EQ(FrameZone(50, 0, 100, 50), dzTop);
  EXPECT_EQ(FrameZone(50, 47, 100, 50), dzBottom);
  EXPECT_EQ(FrameZone(4, 4, 100, 50), dzMove);
  EXPECT_EQ(FrameZone(96, 46, 100, 50), dzMove);  // w - 4 itself is not the strip
}

TEST(CropGeometry, PictureIsFittedAndCentredOrStretched) {
  EXPECT_EQ(FitPictureBounds(400, 300, 200, 100, false), TRect(0, 50, 400, 250));
  EXPECT_EQ(FitPictureBounds(400, 300, 100, 200, false), TRect(125, 0, 275, 300));
  EXPECT_EQ(FitPictureBounds(400, 300, 100, 200, true), TRect(0, 0, 400, 300));
  EXPECT_EQ(FitPictureBounds(400, 300, 0, 200, false), TRect());
  // 301 x 1 into 100 x 100: height 100/301 rounds to 0.
  EXPECT_EQ(FitPictureBounds(100, 100, 301, 1, false), TRect(0, 50, 100, 50));
}

TEST(CropGeometry, CropRectangleMapsBetweenPictureAndPanel) {
  const TRect image(0, 50, 400, 250);  // a 1000 x 500 picture at 0.4
  const TRect frame = PictureToPanel(TRect(100, 100, 600, 350), 1000, 500, image);
  EXPECT_EQ(frame, TRect(40, 90, 240, 190));
  TRect crop;
  ASSERT_TRUE(PanelToPicture(frame, 1000, 500, image, crop));
  EXPECT_EQ(crop, TRect(100, 100, 600, 350));
  // 2.5 picture pixels per panel pixel: halves go to the even neighbour.
  ASSERT_TRUE(PanelToPicture(TRect(1, 51, 3, 53), 1000, 500, image, crop));
  EXPECT_EQ(crop, TRect(2, 2, 8, 8));
  // A picture shown at no width refuses, keeping the stored rectangle.
  crop = TRect(1, 2, 3, 4);
  EXPECT_FALSE(PanelToPicture(frame, 1000, 500, TRect(5, 5, 5, 90), crop));
  EXPECT_FALSE(PanelToPictureBySize(frame, 1000, 500, TRect(5, 5, 90, 5), crop));
  EXPECT_EQ(crop, TRect(1, 2, 3, 4));
  // Large pictures: the products are 64-bit.
  ASSERT_TRUE(PanelToPicture(TRect(0, 0, 40000, 40000), 60000, 60000, TRect(0, 0, 40000, 40000), crop));
  EXPECT_EQ(crop, TRect(0, 0, 60000, 60000));
}

// Drives a drag through the confinement, as the view does.
TRect Drag(TScaleStyle style, const TRect& frame, TPoint pressInFrame, std::initializer_list<TPoint> moves,
           const TRect& picture, int sw = 10, int sh = 10) {
  const TDragStart d = StartDrag(frame, pressInFrame);
  const TRect clip = DragConfinement(d, picture);
  TRect f = frame;
  for (TPoint m : moves) f = DragFrame(d, style, f, ConfinePoint(m, clip), sw, sh, picture);
  return f;
}

TEST(CropGeometry, CornerScaleKeepsThePressedProportion) {
  const TRect P(0, 0, 400, 300);
  // A 100 x 50 frame dragged by its bottom-right corner to width 120.
  EXPECT_EQ(Drag(ssCornerScale, TRect(10, 10, 110, 60), {99, 49}, {{130, 20}}, P), TRect(10, 10, 130, 70));
  EXPECT_EQ(Drag(ssCornerScale, TRect(10, 10, 110, 60), {0, 0}, {{0, 5}}, P), TRect(0, 5, 110, 60));
  EXPECT_EQ(Drag(ssCornerScale, TRect(10, 10, 110, 60), {0, 0}, {{0, 20}}, P), TRect(30, 20, 110, 60));
  // A corner drag of a frame of no size would divide by zero: nothing moves.
  TDragStart d = StartDrag(TRect(10, 10, 110, 60), {99, 49});
  d.W0 = 0;
  EXPECT_EQ(DragFrame(d, ssCornerScale, TRect(10, 10, 110, 60), {150, 80}, 10, 10, P),
            TRect(10, 10, 110, 60));
}

TEST(CropGeometry, FreeDragsFollowTheMouseAndKeepEightPixels) {
  const TRect P(20, 10, 420, 310);
  EXPECT_EQ(Drag(ssNoScale, TRect(50, 50, 150, 100), {0, 0}, {{30, 40}}, P), TRect(30, 40, 150, 100));
  // Pulled past the opposite corner, the frame keeps more than 8 pixels.
  EXPECT_EQ(Drag(ssNoScale, TRect(50, 50, 150, 100), {0, 0}, {{500, 500}}, P), TRect(141, 91, 150, 100));
  EXPECT_EQ(Drag(ssNoScale, TRect(50, 50, 150, 100), {99, 49}, {{0, 0}}, P), TRect(50, 50, 58, 58));
  // Moving keeps the grab offset and stays inside the picture.
  EXPECT_EQ(Drag(ssNoScale, TRect(50, 50, 150, 100), {30, 20}, {{60, 70}}, P), TRect(30, 50, 130, 100));
  EXPECT_EQ(Drag(ssNoScale, TRect(50, 50, 150, 100), {30, 20}, {{0, 0}, {1000, 1000}}, P),
            TRect(320, 260, 420, 310));
  // The bottom and right edges may pass the picture by up to 7 pixels.
  EXPECT_EQ(Drag(ssNoScale, TRect(50, 50, 150, 100), {99, 49}, {{1000, 1000}}, P), TRect(50, 50, 427, 317));
  TCropRules en;
  en.ClampFreeDragToPicture = true;
  const TDragStart d = StartDrag(TRect(50, 50, 150, 100), {99, 49});
  EXPECT_EQ(DragFrame(d, ssNoScale, TRect(50, 50, 150, 100), {427, 317}, 10, 10, P, en),
            TRect(50, 50, 420, 310));
}

TEST(CropGeometry, BottomLeftConfinementCountsThePictureOffsetOnce) {
  const TRect P(20, 30, 420, 330), F(100, 100, 200, 200);
  const TDragStart d = StartDrag(F, {1, 98});
  ASSERT_EQ(d.Zone, dzBottomLeft);
  const TRect clip = DragConfinement(d, P);
  EXPECT_EQ(clip, TRect(20, 108, 192, 330));
  // Dragged far down, the frame's bottom stops at the picture's last row.
  EXPECT_EQ(Drag(ssNoScale, F, {1, 98}, {{0, 1000}}, P), TRect(20, 100, 200, 329));
}

TEST(CropGeometry, FullScaleStaysSquareAndInsideWhateverTheDrag) {
  const TRect P(0, 40, 400, 260);
  const TRect F(100, 100, 160, 160);
  const TPoint presses[] = {{0, 0},   {59, 59}, {0, 59},  {59, 0}, {1, 30},
                            {58, 30}, {30, 1},  {30, 58}, {30, 30}};
  const TPoint targets[] = {{-500, -500}, {900, 900}, {-500, 900}, {900, -500},
                            {130, 130},   {0, 40},    {399, 259}};
  for (TPoint press : presses)
    for (TPoint t : targets) {
      const TRect r = Drag(ssFullScale, F, press, {t, {t.X / 2, t.Y / 2}, t}, P);
      EXPECT_EQ(r.Width(), r.Height()) << press.X << "," << press.Y << " -> " << t.X << "," << t.Y;
      EXPECT_GE(r.Left, P.Left);
      EXPECT_GE(r.Top, P.Top);
      EXPECT_LE(r.Right, P.Right);
      EXPECT_LE(r.Bottom, P.Bottom);
      EXPECT_GT(r.Width(), 0);
    }
  // A zero proportion refuses the change instead of dividing by it.
  const TDragStart d = StartDrag(F, {59, 59});
  EXPECT_EQ(DragFrame(d, ssFullScale, F, {200, 200}, 0, 10, P), F);
}

TEST(CropGeometry, FullScaleKeepsTheScaleProportion) {
  const TRect P(0, 0, 400, 300);
  // 2:1 proportion, bottom-right dragged right: the height follows, then the width is rounded to it.
  EXPECT_EQ(Drag(ssFullScale, TRect(0, 0, 100, 50), {99, 49}, {{141, 40}}, P, 20, 10), TRect(0, 0, 140, 70));
  // Bottom edge dragged down, stopped by the picture's right edge.
  EXPECT_EQ(Drag(ssFullScale, TRect(300, 0, 340, 20), {20, 19}, {{320, 299}}, P, 20, 10),
            TRect(300, 0, 400, 50));
}

TEST(CropGeometry, ArrowKeysMoveAndResizeInPicturePixels) {
  auto key = [](TArrowKey k, bool ctrl, bool shift, TRect r, int sw = 10, int sh = 10) {
    const bool ok = ArrowKeyCrop(k, ctrl, shift, r, 200, 100, ssFullScale, sw, sh);
    return ok ? r : TRect(-1, -1, -1, -1);
  };
  const TRect refused(-1, -1, -1, -1);
  EXPECT_EQ(key(akLeft, false, false, TRect(5, 5, 25, 25)), TRect(4, 5, 24, 25));
  EXPECT_EQ(key(akLeft, false, false, TRect(0, 5, 20, 25)), refused);
  EXPECT_EQ(key(akRight, false, false, TRect(180, 5, 200, 25)), refused);
  EXPECT_EQ(key(akDown, false, false, TRect(5, 5, 25, 99)), TRect(5, 6, 25, 100));
  EXPECT_EQ(key(akLeft, true, false, TRect(7, 5, 27, 25)), TRect(0, 5, 20, 25));
  EXPECT_EQ(key(akLeft, true, false, TRect(30, 5, 50, 25)), TRect(20, 5, 40, 25));
  EXPECT_EQ(key(akRight, true, false, TRect(100, 5, 195, 25)), TRect(105, 5, 200, 25));
  EXPECT_EQ(key(akUp, true, false, TRect(5, 3, 25, 23)), TRect(5, 0, 25, 20));
  // Shift resizes by one pixel keeping ScaleW : ScaleH.
  EXPECT_EQ(key(akRight, false, true, TRect(0, 0, 20, 10), 2, 1), TRect(0, 0, 21, 10));
  EXPECT_EQ(key(akRight, false, true, TRect(0, 0, 21, 10), 2, 1), TRect(0, 0, 22, 11));
  EXPECT_EQ(key(akDown, false, true, TRect(0, 0, 20, 10), 2, 1), TRect(0, 0, 22, 11));
  EXPECT_EQ(key(akLeft, false, true, TRect(0, 0, 2, 2)), refused);  // never narrower than 2
  EXPECT_EQ(key(akLeft, false, true, TRect(0, 0, 3, 3)), TRect(0, 0, 2, 2));
  EXPECT_EQ(key(akDown, false, true, TRect(0, 0, 100, 100)), refused);
  EXPECT_EQ(key(akDown, false, true, TRect(0, 0, 10, 10), 0, 10), refused);  // no proportion
  // Ctrl+Shift jumps a frame size.
  EXPECT_EQ(key(akLeft, true, true, TRect(30, 0, 50, 20)), TRect(10, 0, 30, 20));
  EXPECT_EQ(key(akLeft, true, true, TRect(19, 0, 39, 20)), refused);
  EXPECT_EQ(key(akRight, true, true, TRect(150, 0, 175, 20)), TRect(175, 0, 200, 20));
  EXPECT_EQ(key(akDown, true, true, TRect(0, 50, 20, 80)), refused);
  // The enhanced view resizes freely unless the proportion is kept.
  TCropRules en;
  en.FreeShiftResize = true;
  TRect r(0, 0, 20, 10);
  ASSERT_TRUE(ArrowKeyCrop(akRight, false, true, r, 200, 100, ssCornerScale, 2, 1, en));
  EXPECT_EQ(r, TRect(0, 0, 21, 10));
}

Bitmap24 Gradient(int w, int h) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(uint8_t(x), uint8_t(y), uint8_t(x ^ y)));
  return b;
}

TEST(CropGeometry, ReadOutWithoutStretchIsTheCropAtFullResolution) {
  const Bitmap24 pic = Gradient(200, 100);
  const TRect P(0, 25, 400, 225);  // shown at 2x
  Bitmap24 out;
  CropToBitmap(pic, P, TRect(20, 45, 60, 85), true, false, TResampleStyle::Triangle, 9, 9, out);
  ASSERT_EQ(out.Width(), 20);
  ASSERT_EQ(out.Height(), 20);
  EXPECT_EQ(out.Pixel(0, 0), pic.Pixel(10, 10));
  EXPECT_EQ(out.Pixel(19, 19), pic.Pixel(29, 29));
  CropToBitmap(pic, P, TRect(20, 45, 60, 85), false, false, TResampleStyle::Triangle, 9, 9, out);
  EXPECT_EQ(out.Width(), 400);
  EXPECT_EQ(out.Height(), 200);
}

TEST(CropGeometry, ReadOutWithPlainStretch) {
  const Bitmap24 pic = Gradient(100, 100);
  const TRect P(0, 0, 200, 200);
  Bitmap24 out;
  CropToBitmap(pic, P, TRect(20, 40, 60, 80), true, true, TResampleStyle::None, 0.5, 0.5, out);
  ASSERT_EQ(out.Width(), 20);
  ASSERT_EQ(out.Height(), 20);
  EXPECT_EQ(out.Pixel(0, 0), pic.Pixel(10, 20));
  EXPECT_EQ(out.Pixel(19, 19), pic.Pixel(29, 39));
  CropToBitmap(pic, P, TRect(20, 40, 60, 80), false, true, TResampleStyle::None, 0.25, 0.25, out);
  EXPECT_EQ(out.Width(), 50);
  EXPECT_EQ(out.Pixel(1, 1), pic.Pixel(2, 2));
}

TEST(CropGeometry, ReadOutPassesThroughATwiceSizeIntermediateOnlyForLargeReductions) {
  const Bitmap24 pic = Gradient(1000, 1000);
  const TRect P(0, 0, 500, 500);
  const TRect F(0, 0, 500, 500);  // the whole 1000-pixel-high picture
  Bitmap24 out;
  TPoint mid;
  CropToBitmap(pic, P, F, true, true, TResampleStyle::Mitchell, 0.4, 0.4, out, &mid);
  EXPECT_EQ(out.Height(), 200);
  EXPECT_EQ(mid, (TPoint{400, 400}));
  CropToBitmap(pic, P, F, true, true, TResampleStyle::Mitchell, 1.2, 1.2, out, &mid);
  EXPECT_EQ(out.Height(), 600);
  EXPECT_EQ(mid, (TPoint{1000, 1000}));
}

TEST(CropGeometry, ReadOutAtScaleOneIsTheCropItself) {
  const Bitmap24 pic = Gradient(60, 60);
  Bitmap24 out;
  CropToBitmap(pic, TRect(0, 0, 60, 60), TRect(10, 12, 40, 37), true, true, TResampleStyle::Triangle, 1, 1,
               out);
  ASSERT_EQ(out.Width(), 30);
  ASSERT_EQ(out.Height(), 25);
  for (int y = 0; y < out.Height(); ++y)
    for (int x = 0; x < out.Width(); ++x) ASSERT_EQ(out.Pixel(x, y), pic.Pixel(x + 10, y + 12));
  CropToBitmap(Bitmap24(), TRect(0, 0, 60, 60), TRect(10, 10, 40, 40), true, true, TResampleStyle::Box, 1, 1,
               out);
  EXPECT_TRUE(out.Empty());
}

TEST(CropGeometry, PictureRectIsCutAtFullResolutionAndClipped) {
  const Bitmap24 pic = Gradient(200, 100);
  Bitmap24 out;
  EXPECT_EQ(CopyPictureRect(pic, TRect(30, 40, 130, 90), out), TRect(30, 40, 130, 90));
  ASSERT_EQ(out.Width(), 100);
  ASSERT_EQ(out.Height(), 50);
  EXPECT_EQ(out.Pixel(0, 0), pic.Pixel(30, 40));
  EXPECT_EQ(out.Pixel(99, 49), pic.Pixel(129, 89));
  // A rectangle past the picture's edges keeps only what lies on it.
  EXPECT_EQ(CopyPictureRect(pic, TRect(-5, 90, 210, 120), out), TRect(0, 90, 200, 100));
  EXPECT_EQ(out.Width(), 200);
  EXPECT_EQ(out.Height(), 10);
  EXPECT_EQ(out.Pixel(199, 9), pic.Pixel(199, 99));
  EXPECT_EQ(CopyPictureRect(pic, TRect(50, 50, 40, 60), out), TRect(50, 50, 40, 60));
  EXPECT_TRUE(out.Empty());
}

}  // namespace
