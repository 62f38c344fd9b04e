#include "controls/CropImage.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "platform/Bmp.h"
#include "platform/Files.h"
#include "qt/TestApp.h"

namespace {

Bitmap24 Gradient(int w, int h) {
  Bitmap24 b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, RGB(uint8_t(x * 255 / w), uint8_t(y * 255 / h), 90));
  return b;
}

TEST(CellShapeLayout, CellLinesRoundHalvesToEven) {
  const TCellShapeLayout L = CellShapeLayout(stRectangle, 100, 61, 1, 3, 2);
  EXPECT_EQ(L.X, 0);
  EXPECT_EQ(L.W, 100);
  EXPECT_EQ(L.H, 61);
  EXPECT_EQ(L.Cols, (std::vector<int>{33, 67}));
  EXPECT_EQ(L.Rows, (std::vector<int>{30}));  // 30.5 -> 30
  const TCellShapeLayout thick = CellShapeLayout(stRectangle, 100, 61, 3, 1, 1);
  EXPECT_EQ(thick.X, 1);
  EXPECT_EQ(thick.W, 98);
  const TCellShapeLayout none = CellShapeLayout(stRectangle, 100, 61, 0, 0, 0);
  EXPECT_EQ(none.W, 100);
  EXPECT_EQ(none.H, 61);
  EXPECT_TRUE(none.Rows.empty());
  const TCellShapeLayout sq = CellShapeLayout(stSquare, 100, 60, 1, 2, 2);
  EXPECT_EQ(sq.X, 20);
  EXPECT_EQ(sq.W, 60);
  EXPECT_EQ(sq.Cols, (std::vector<int>{30}));
  EXPECT_TRUE(CellShapeLayout(stEllipse, 100, 60, 1, 4, 4).Cols.empty());
  EXPECT_EQ(L.Handles[4], TRect(46, 0, 54, 7));  // round(46.5) .. round(53.5), halves to even
}

struct CropTest : ::testing::Test {
  TApplication* app = TestApp();
  TCropImage view;
  int changes = 0;
  void SetUp() override {
    view.resize(400, 300);
    view.SetPicture(Gradient(200, 100));  // shown at 2x: (0, 50)-(400, 250)
    QObject::connect(&view, &TCropImage::ChangeCropPos, [this] { ++changes; });
    view.show();
    QApplication::processEvents();
  }
  // A drag from one panel point to others. The frame keeps the mouse from
  // the press on, as the window system's implicit grab does.
  void Drag(QPoint from, std::initializer_list<QPoint> to) {
    TCellShape* f = view.CropShape;
    QTest::mousePress(f, Qt::LeftButton, {}, f->mapFrom(&view, from));
    for (QPoint p : to) QTest::mouseMove(f, f->mapFrom(&view, p));
    const QPoint last = to.size() ? *(to.end() - 1) : from;
    QTest::mouseRelease(f, Qt::LeftButton, {}, f->mapFrom(&view, last));
  }
};

TEST_F(CropTest, PictureIsFittedAndTheCropRectangleMapsToTheFrame) {
  EXPECT_EQ(view.PictureBounds(), TRect(0, 50, 400, 250));
  view.SetCropRect(TRect(20, 10, 70, 60));
  EXPECT_EQ(view.FrameBounds(), TRect(40, 70, 140, 170));
  EXPECT_EQ(view.CropRectF(), TRect(20, 10, 70, 60));
  EXPECT_EQ(changes, 0);
  // Refitting to another panel size keeps the same picture pixels selected.
  view.resize(200, 300);
  view.Refit();
  EXPECT_EQ(view.PictureBounds(), TRect(0, 100, 200, 200));
  EXPECT_EQ(view.FrameBounds(), TRect(20, 110, 70, 160));
  EXPECT_EQ(changes, 1);
}

TEST_F(CropTest, DraggingTheFrameMovesTheCropAndStaysInsideThePicture) {
  view.SetCropRect(TRect(20, 10, 70, 60));
  Drag({90, 120}, {{100, 130}, {110, 140}});
  EXPECT_EQ(view.FrameBounds(), TRect(60, 90, 160, 190));
  EXPECT_EQ(view.CropRectPx(), TRect(30, 20, 80, 70));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(view.CropLeft(), 60);
  EXPECT_EQ(view.CropWidth(), 100);
  // Far beyond the bottom-right: held in the picture.
  Drag({110, 140}, {{2000, 2000}});
  EXPECT_EQ(view.FrameBounds(), TRect(300, 150, 400, 250));
  EXPECT_EQ(view.CropRectPx(), TRect(150, 50, 200, 100));
  EXPECT_FALSE(view.Dragging());
  EXPECT_TRUE(view.CropShape->Drawn());
  // A press and release without a move changes nothing and reports nothing.
  const int before = changes;
  Drag({350, 200}, {});
  EXPECT_EQ(changes, before);
}

TEST_F(CropTest, CornerDragInCornerScaleKeepsTheProportion) {
  view.SetCropRect(TRect(20, 10, 70, 35));  // frame 100 x 50 at (40, 70)
  view.SetScaleStyle(ssCornerScale);
  EXPECT_EQ(view.ScaleW, 100);
  EXPECT_EQ(view.ScaleH, 50);
  Drag({139, 119}, {{160, 100}});
  EXPECT_EQ(view.FrameBounds(), TRect(40, 70, 160, 130));
}

TEST_F(CropTest, ArrowKeysMoveTheCropInPicturePixels) {
  view.SetCropRect(TRect(5, 5, 25, 25));
  view.setFocus();
  QTest::keyClick(&view, Qt::Key_Right);
  EXPECT_EQ(view.CropRectPx(), TRect(6, 5, 26, 25));
  EXPECT_EQ(view.FrameBounds(), TRect(12, 60, 52, 100));
  EXPECT_EQ(changes, 1);
  QTest::keyClick(&view, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(view.CropRectPx(), TRect(0, 5, 20, 25));
  QTest::keyClick(&view, Qt::Key_Left);  // refused at the edge
  EXPECT_EQ(changes, 2);
  view.ScaleW = view.ScaleH = 10;
  QTest::keyClick(&view, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(view.CropRectPx(), TRect(0, 5, 21, 26));
  EXPECT_TRUE(view.CropShape->ShowHandles);
}

TEST_F(CropTest, ReadOutIsTheCropOfThePicture) {
  const Bitmap24 pic = Gradient(200, 100);
  view.SetCropRect(TRect(30, 20, 80, 60));
  Bitmap24 out;
  view.GetCroppedBitmap(out, 1, 1);  // fitted: the crop at full resolution
  ASSERT_EQ(out.Width(), 50);
  ASSERT_EQ(out.Height(), 40);
  EXPECT_EQ(out.Pixel(0, 0), pic.Pixel(30, 20));
  EXPECT_EQ(out.Pixel(49, 39), pic.Pixel(79, 59));
  // Stretched into a 200 x 100 panel the picture is at scale 1; a 0.5 read-out
  // through the triangle filter of a uniform-row picture keeps the rows.
  view.resize(200, 100);
  view.SetPictureStretch(true);
  EXPECT_EQ(view.PictureBounds(), TRect(0, 0, 200, 100));
  view.SetCropRect(TRect(30, 20, 80, 60));
  view.ResampleStyle = TResampleStyle::Triangle;
  view.GetCroppedBitmap(out, 1, 1);
  ASSERT_EQ(out.Width(), 50);
  EXPECT_EQ(out.Pixel(10, 10), pic.Pixel(40, 30));
  view.SetPictureCrops(false);
  view.GetCroppedBitmap(out, 0.5, 0.5);
  EXPECT_EQ(out.Width(), 100);
  EXPECT_EQ(out.Height(), 50);
}

TEST_F(CropTest, PressesAndMovesOnThePictureArePassedOnHeldInThePicture) {
  view.SetCropRect(TRect(0, 0, 10, 10));
  std::vector<QPoint> downs, moves;
  QObject::connect(&view, &TCropImage::OnMouseDown,
                   [&](Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
                     downs.push_back({x, y});
                   });
  QObject::connect(&view, &TCropImage::OnMouseMove, [&](Qt::KeyboardModifiers, int x, int y) {
    moves.push_back({x, y});
  });
  TImage* pic = view.CropPicture;
  QTest::mousePress(pic, Qt::LeftButton, {}, QPoint(300, 150));
  QTest::mouseMove(pic, QPoint(50, 20));  // left of and above the press: held at it
  QTest::mouseRelease(pic, Qt::LeftButton, {}, QPoint(50, 20));
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0], QPoint(300, 150));  // picture coordinates
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back(), QPoint(300, 200));  // panel coordinates
}

TEST_F(CropTest, PictureFileNameLoadsAFileAndIgnoresAMissingOne) {
  const char* base = std::getenv("VT_TEST_TMP");
  const std::string dir = std::string(base ? base : "/tmp") + "/";
  std::filesystem::create_directories(dir);
  const std::string name = dir + "cropview_source.bmp";
  WriteBMPFile(Gradient(50, 100), name);
  view.SetPictureFileName(name);
  EXPECT_EQ(view.PictureFileName(), name);
  EXPECT_EQ(view.Picture().Width(), 50);
  EXPECT_EQ(view.PictureBounds(), TRect(125, 0, 275, 300));
  view.SetPictureFileName(dir + "missing.bmp");
  EXPECT_EQ(view.PictureFileName(), name);
  EXPECT_EQ(view.Picture().Width(), 50);
  DeleteFile(name);
}

// Renders the view with a cell grid and checks that frame and grid lines are
// the inverse of the picture beneath, and that cell interiors are the picture.
TEST_F(CropTest, ScreenshotFrameAndGridInvertThePicture) {
  view.SetCellX(4);
  view.SetCellY(3);
  view.SetCropRect(TRect(20, 10, 120, 70));  // frame (40, 70)-(240, 190): 200 x 120
  view.clearFocus();
  view.SetPictureCrops(false);
  QApplication::processEvents();
  const QImage plain = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  view.SetPictureCrops(true);
  QApplication::processEvents();
  const QImage shot = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_TRUE(shot.save("cropview_screenshot.png"));
  ASSERT_EQ(shot.size(), plain.size());
  auto inverted = [&](int x, int y) { return shot.pixel(x, y) == (~plain.pixel(x, y) | 0xFF000000u); };
  auto same = [&](int x, int y) { return shot.pixel(x, y) == plain.pixel(x, y); };
  const int L = 40, T = 70, R = 239, B = 189;
  // Outline (away from where grid lines meet it).
  for (int x = L + 1; x < R; ++x) {
    if (x == L + 50 || x == L + 100 || x == L + 150) continue;
    EXPECT_TRUE(inverted(x, T)) << x;
    EXPECT_TRUE(inverted(x, B)) << x;
  }
  for (int y = T + 1; y < B; ++y) {
    if (y == T + 40 || y == T + 80) continue;
    EXPECT_TRUE(inverted(L, y)) << y;
    EXPECT_TRUE(inverted(R, y)) << y;
  }
  // Grid lines: 200 / 4 = 50, 120 / 3 = 40; crossings are inverted twice.
  for (int y = T + 1; y < B; ++y) {
    if (y != T + 40 && y != T + 80) {
      EXPECT_TRUE(inverted(L + 100, y)) << y;
    }
  }
  EXPECT_TRUE(same(L + 100, T + 40));
  for (int x = L + 1; x < R; ++x) {
    if (x % 50 != L % 50) {
      EXPECT_TRUE(inverted(x, T + 80)) << x;
    }
  }
  // Inside a cell and outside the frame: the picture itself.
  EXPECT_TRUE(same(L + 25, T + 20));
  EXPECT_TRUE(same(L + 175, T + 100));
  EXPECT_TRUE(same(L - 1, T - 1));
  EXPECT_TRUE(same(R + 1, B + 1));
}

}  // namespace
