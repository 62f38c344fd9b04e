// The mosaic view's decoded thumbnails: found by their bytes, bounded, and
// the grid painted through them exactly as when every cell is read again.
#include <QApplication>
#include <QImage>

#include "BuildFixture.h"
#include "mainwin/CellPictures.h"
#include "platform/qt/QtImage.h"

using namespace mwtest;

namespace {

Bitmap24 Solid(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
  Bitmap24 bmp(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = bmp.ScanLine(y) + 3 * x;
      p[0] = b, p[1] = g, p[2] = r;
    }
  return bmp;
}

TEST(CellPictures, FoundByTheirBytesAndBounded) {
  const std::vector<uint8_t> red = JpegEncode(Solid(16, 12, 0, 0, 255), 90);
  const std::vector<uint8_t> blue = JpegEncode(Solid(16, 12, 255, 0, 0), 90);
  TCellPictures pictures;
  const QImage* a = pictures.Find(red);
  ASSERT_NE(a, nullptr);
  Bitmap24 decoded;
  JpegDecode(red.data(), red.size(), 0, decoded);
  // Kept as the screen draws it, pixel for pixel the decoded picture.
  EXPECT_EQ(a->format(), QImage::Format_RGB32);
  EXPECT_EQ(*a, Bitmap24View(decoded).convertToFormat(QImage::Format_RGB32));
  const size_t entry = red.size() + size_t(a->sizeInBytes());
  EXPECT_EQ(pictures.Find(red), a);  // the same bytes: no second entry
  EXPECT_EQ(pictures.Count(), 1u);
  // A picture handed over is what its bytes find, without a decode.
  const Bitmap24 marker = Solid(3, 2, 1, 2, 3);
  pictures.Put(blue, marker);
  ASSERT_NE(pictures.Find(blue), nullptr);
  EXPECT_EQ(pictures.Find(blue)->width(), 3);
  EXPECT_EQ(pictures.Find({0xFF, 0xD8, 0x00}), nullptr);
  EXPECT_EQ(pictures.Count(), 2u);

  // Over the cap the least recently used go; the newest stays.
  TCellPictures small(entry);
  small.Find(red);
  small.Find(blue);
  EXPECT_EQ(small.Count(), 1u);
  EXPECT_LE(small.Bytes(), entry);
  small.Clear();
  EXPECT_EQ(small.Bytes(), 0u);
}

using CellPicturesView = BuildFixture;

QImage GridPicture(TForm1& f, bool cached) {
  f.UseCellPictures = cached;
  return f.DrawGrid1->viewport()->grab().toImage();
}

TEST_F(CellPicturesView, GridPaintsAsWhenEveryCellIsReadAgain) {
  TForm1& f = Open(4, 3);
  const QImage before = GridPicture(f, false);
  f.Mosaicall1Click();
  QApplication::processEvents();
  ASSERT_TRUE(f.VTMosaic1.ShowThumbs);
  const QImage built = GridPicture(f, true);
  if (const char* shot = std::getenv("VT_SHOT")) built.save(shot);
  EXPECT_GT(f.CellPictures.Count(), 0u);
  EXPECT_NE(built, before);
  EXPECT_EQ(built, GridPicture(f, false));

  // Erased cells show the plan again, never the pictures held for them.
  f.DrawGrid1->SetCol(0);
  f.DrawGrid1->SetRow(0);
  f.Erasecell1Click();
  const QImage oneErased = GridPicture(f, true);
  EXPECT_NE(oneErased, built);
  EXPECT_EQ(oneErased, GridPicture(f, false));
  f.DrawGrid1->SetSelection({0, 0, 3, 2});
  f.Eraseselection1Click();
  QApplication::processEvents();
  const QImage allErased = GridPicture(f, true);
  EXPECT_EQ(allErased, GridPicture(f, false));
  EXPECT_NE(allErased, oneErased);

  // And a new run paints its cells as they are now.
  f.DrawGrid1->SetSelection({0, 0, 0, 0});
  f.Mosaicall1Click();
  QApplication::processEvents();
  EXPECT_EQ(GridPicture(f, true), GridPicture(f, false));
}

}  // namespace
