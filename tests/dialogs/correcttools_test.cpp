#include "dialogs/CorrectTools.h"

#include <gtest/gtest.h>

#include "controls/CropImage.h"
#include "imaging/Adjust.h"
#include "qt/TestApp.h"

namespace {

Bitmap24 Colours(int w, int h) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixel(x, y, RGB(uint8_t(x * 20 + 10), uint8_t(y * 30 + 5), uint8_t(x * y)));
  return b;
}

bool Same(const Bitmap24& a, const Bitmap24& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
  return true;
}

TEST(CorrectTools, BlurSharpLabels) {
  EXPECT_EQ(BlurSharpLabels(-4), (std::pair<std::string, std::string>{"Blur: -4", "Sharp"}));
  EXPECT_EQ(BlurSharpLabels(0), (std::pair<std::string, std::string>{"Blur", "Sharp"}));
  EXPECT_EQ(BlurSharpLabels(4), (std::pair<std::string, std::string>{"Blur", "Sharp: +4"}));
}

TEST(CorrectTools, NeutralValuesLeaveThePictureAndOrderIsFixed) {
  const Bitmap24 pic = Colours(8, 6);
  Bitmap24 out;
  ApplyCorrections(pic, out, 0, 0, 0, 255, 0);
  EXPECT_TRUE(Same(out, pic));
  ApplyCorrections(pic, out, 2, 40, -30, 300, 0);
  Bitmap24 expect = pic;
  AdjustContrast(expect, 40, 0);
  AdjustBrightness(expect, -30, 0);
  AdjustSaturation(expect, 300, 0);
  AdjustBlurSharp(expect, 2, 0);
  EXPECT_TRUE(Same(out, expect));
}

TEST(CorrectTools, OneChannelChangesOnlyThatChannel) {
  const Bitmap24 pic = Colours(8, 6);
  Bitmap24 out;
  ApplyCorrections(pic, out, 0, 0, 100, 255, 2);
  bool changed = false;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(GetRValue(out.Pixel(x, y)), GetRValue(pic.Pixel(x, y)));
      EXPECT_EQ(GetBValue(out.Pixel(x, y)), GetBValue(pic.Pixel(x, y)));
      changed |= GetGValue(out.Pixel(x, y)) != GetGValue(pic.Pixel(x, y));
    }
  EXPECT_TRUE(changed);
}

TEST(CorrectTools, PreviewsGoToTheViewAndCancelRestoresIt) {
  TestApp();
  TCropImage view;
  const Bitmap24 pic = Colours(20, 10);
  view.SetPicture(pic);
  TPicTools tools(&view);
  tools.FOriginalBitmap = pic;
  tools.FPreviewBitmap = pic;
  tools.KWSpinEdit3->SetValue(80);  // the spin edit moves its bar, which previews
  EXPECT_EQ(tools.sLightness->value(), 80);
  EXPECT_FALSE(Same(view.Picture(), pic));
  tools.ScrollBar1->setValue(-3);
  EXPECT_EQ(tools.KWSpinEdit1->Value(), -3);
  EXPECT_EQ(tools.Label1->text(), "Blur: -3");
  tools.SpeedButton1->click();
  EXPECT_EQ(tools.sSaturation->value(), 255);
  EXPECT_TRUE(Same(view.Picture(), pic));
  tools.chkAutopreview->setChecked(false);
  tools.sContrast->setValue(100);
  EXPECT_TRUE(Same(view.Picture(), pic));  // no preview without Auto preview
  tools.BitBtn2->click();
  EXPECT_FALSE(Same(view.Picture(), pic));
  tools.BitBtn3->click();
  EXPECT_TRUE(Same(view.Picture(), pic));
}

}  // namespace
