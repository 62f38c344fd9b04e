// The tile preview: the picture file with the tile framed, or the stored
// thumbnail when the file is gone; the frame follows a resize.
#include "dialogs/TilePreview.h"

#include <gtest/gtest.h>

#include "common/ScratchDir.h"
#include "platform/Jpeg.h"
#include "platform/Utils.h"
#include "qt/TestApp.h"
#include "tiledb/LibraryMaker.h"

TEST(TilePreview, MissingFileShowsTheWholeThumbnail) {
  TestApp();
  ScratchDir dir("tp");
  vttest::MakeLibrary(dir / "l.vt2", {.Count = 2, .ThumbW = 20, .ThumbH = 15});
  TVTData lib;
  lib.SetBaseName(dir / "l.vt2");
  lib.MoveTo(2);
  TTilePrev prev;
  prev.LoadFromRecord(lib);
  EXPECT_EQ(prev.windowTitle().toStdString(), "File not found, it's a stored thumbnial (20x15)");
  EXPECT_EQ(prev.Label1->text().toStdString(), "/pics/pic1.jpg (not found!)");
  EXPECT_EQ(prev.FTileRect, TRect(0, 0, 20, 15));
}

TEST(TilePreview, PictureFileIsFramedAtTheTilesCropAndRefitsOnResize) {
  TestApp();
  ScratchDir dir("tp");
  const std::string pic = dir / "tile.jpg";
  Bitmap24 b(400, 300);
  b.Fill(RGB(10, 120, 200));
  JpegEncodeFile(b, 90, pic);
  vttest::MakeLibrary(dir / "l.vt2", {.Count = 1, .Paths = {pic}});
  TVTData lib;
  lib.SetBaseName(dir / "l.vt2");
  lib.MoveTo(1);
  TTilePrev prev;
  prev.resize(500, 400);
  prev.show();
  prev.LoadFromRecord(lib);
  prev.FitToCenter();
  EXPECT_EQ(prev.windowTitle().toStdString(), "tile.jpg (400x300)");
  EXPECT_EQ(prev.Label1->text().toStdString(), pic);
  EXPECT_EQ(prev.FTileRect, lib.CurCropRect);
  auto expectFitted = [&] {
    const TRect want =
        FitRectTo(TRect(0, 0, 400, 300), TRect(0, 0, prev.Panel2->width(), prev.Panel2->height()));
    const QRect g = prev.Image1->geometry();
    EXPECT_EQ(TRect(g.left(), g.top(), g.left() + g.width(), g.top() + g.height()), want);
    EXPECT_EQ(prev.Image1->CropRectF(), prev.FTileRect);
  };
  expectFitted();
  prev.resize(700, 600);
  QApplication::processEvents();
  expectFitted();
}
