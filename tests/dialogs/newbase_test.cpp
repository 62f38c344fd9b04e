// The new-library dialog: its settings, the rules behind its controls, and a
// scan that builds a library with the fixed grid and hands it on.
#include "dialogs/NewBase.h"

#include <gtest/gtest.h>

#include <QTimer>
#include <filesystem>

#include "DialogFixture.h"
#include "formats/BandWriter.h"
#include "formats/Registrations.h"
#include "formats/png_maker.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Jpeg.h"
#include "qt/Layout.h"
#include "qt/TestApp.h"

namespace {

TPictTypes Types(std::initializer_list<int> on) {
  TPictTypes t{};
  for (int i : on) t[i] = true;
  return t;
}

class NewBaseTest : public DialogTest {
 protected:
  // count solid pictures of 80 x 60 in a folder of their own.
  std::string Pictures(int count) {
    const std::string pics = Dir / "pics/";
    std::filesystem::create_directories(pics);
    for (int i = 0; i < count; ++i) {
      Bitmap24 b(80, 60);
      b.Fill(RGB(40 * i, 100, 200 - 30 * i));
      JpegEncodeFile(b, 90, pics + "p" + std::to_string(i) + ".jpg");
    }
    return pics;
  }

  TNewBaseHost Host() {
    TNewBaseHost h;
    h.Library = &Lib;
    h.ProjectOpen = [this] { return ProjectIsOpen; };
    h.OpenLibraryByName = [this](const std::string& n) {
      Opened.push_back(n);
      return true;
    };
    h.CloseProject = [this] {
      ++Closed;
      ProjectIsOpen = false;
      return true;
    };
    h.SetButtonsOnOff = [this] { ++ButtonUpdates; };
    return h;
  }

  TVTData Lib;
  bool ProjectIsOpen = false;
  std::vector<std::string> Opened;
  int Closed = 0, ButtonUpdates = 0;
};

}  // namespace

TEST(NewBaseRules, PictureTypesAndExtensionList) {
  EXPECT_EQ(PictTypesFromText(".JPG.TIF"), Types({1, 4}));
  EXPECT_EQ(PictTypesFromText(".jpg.tif"), Types({}));
  EXPECT_EQ(PictTypesText(Types({0, 1, 9})), ".BMP.JPG.DIB");
  EXPECT_EQ(GetPictExts(Types({1})), "*.JPG*.JPEG");
  EXPECT_EQ(GetPictExts(Types({0, 1, 3, 9})), "*.BMP*.JPG*.JPEG*.ICO*.DIB");
  EXPECT_EQ(GetPictExts(Types({})), "");
  // PNG comes last, so stored texts keep their meaning; TIF takes TIFF too.
  EXPECT_EQ(PictTypesText(Types({1, 10})), ".JPG.PNG");
  EXPECT_EQ(GetPictExts(Types({4, 9, 10})), "*.TIF*.TIFF*.DIB*.PNG");
}

TEST(NewBaseRules, ScaleClampFileNameAndAnchor) {
  EXPECT_EQ(ClampTileScale(9), 4);
  EXPECT_EQ(ClampTileScale(1), 3);
  EXPECT_EQ(ClampTileScale(3), 3);
  EXPECT_EQ(LibraryFileName("/t/mytiles"), "/t/mytiles.vt2");
  EXPECT_EQ(LibraryFileName("/t/mytiles.lib"), "/t/mytiles.vt2");
  TAnchorButtons b{};
  EXPECT_EQ(CropAnchorOf(b), 6);
  b[0] = true;  // LT
  EXPECT_EQ(CropAnchorOf(b), 0);
  b[5] = true;  // RC is tested before LT
  EXPECT_EQ(CropAnchorOf(b), 5);
  b[9] = true;  // "Stretch" first of all
  EXPECT_EQ(CropAnchorOf(b), 9);
}

TEST(NewBaseRules, ShapePreviewShowsTheTrimmedPart) {
  TShapePreview p = ComputeShapePreview(4, 3, 50);
  EXPECT_EQ(p.Shape1, TRect(0, 0, 64, 48));
  EXPECT_EQ(p.Shape2, TRect(16, 12, 48, 36));
  p = ComputeShapePreview(3, 4, 0, 10, 20);
  EXPECT_EQ(p.Shape1, TRect(10, 20, 58, 84));
  EXPECT_EQ(p.Shape2, p.Shape1);
  p = ComputeShapePreview(4, 4, 10);
  EXPECT_EQ(p.Shape1, TRect(0, 0, 64, 64));
  // 6.4 trimmed: round(3.2) = 3 each side start, round(6.4) = 6 off the size.
  EXPECT_EQ(p.Shape2, TRect(3, 3, 61, 61));
}

TEST_F(NewBaseTest, SettingsAreReadClampedAndWrittenBack) {
  IniWriteString(SettingsFileName, "NewBase", "ImgExts", ".JPG.TIF");
  IniWriteInteger(SettingsFileName, "NewBase", "YScale", 9);
  IniWriteInteger(SettingsFileName, "NewBase", "XScale", 1);
  {
    TV2NewBaseForm f(Host());
    EXPECT_TRUE(f.chkJPG->isChecked());
    EXPECT_TRUE(f.chkTIF->isChecked());
    EXPECT_FALSE(f.chkBMP->isChecked());
    EXPECT_EQ(f.SpinEdit1->Value(), 4);
    EXPECT_EQ(f.SpinEdit2->Value(), 3);
    EXPECT_EQ(f.ComboBox1->currentIndex(), 6);
    EXPECT_FALSE(f.SpinEdit5->isEnabled());
    EXPECT_EQ(f.SpinEdit6->Value(), 36);
    EXPECT_EQ(f.Shape1->size(), QSize(48, 64));
    f.chkBMP->setChecked(true);
    f.chkTIF->setChecked(false);
  }
  std::string exts;
  IniReadString(SettingsFileName, "NewBase", "ImgExts", exts, "");
  EXPECT_EQ(exts, ".BMP.JPG");
  EXPECT_EQ(IniReadInteger(SettingsFileName, "NewBase", "XScale", 0), 3);
  EXPECT_EQ(IniReadInteger(SettingsFileName, "NewBase", "YScale", 0), 4);
  EXPECT_EQ(IniReadInteger(SettingsFileName, "NewBase", "ThumbQ", 0), 60);
}

TEST_F(NewBaseTest, MissingDefaultsAndEmptyFieldsRefuseToScan) {
  TV2NewBaseForm f(Host());
  EXPECT_EQ(f.SpinEdit1->Value(), 4);
  EXPECT_EQ(f.GetPictExts(), "*.JPG*.JPEG");
  f.BitBtn1Click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Please specify new library name");
  f.TxtNewVtb->setText(QString::fromStdString(Dir / "x"));
  f.BitBtn1Click();
  ASSERT_EQ(Boxes.size(), 2u);
  EXPECT_EQ(Boxes[1].Text, "Please specify library root directory");
  EXPECT_FALSE(FileExists(Dir / "x.vt2"));
  EXPECT_TRUE(Opened.empty());
}

TEST_F(NewBaseTest, ScanBuildsWithTheFixedGridAndOpensTheLibrary) {
  const std::string pics = Pictures(3);
  TV2NewBaseForm f(Host());
  f.TxtNewVtb->setText(QString::fromStdString(Dir / "mytiles.lib"));
  f.TxtRoot->setText(QString::fromStdString(pics));
  f.SpinEdit2->SetValue(4);
  f.SpinEdit1->SetValue(3);
  f.RadioButtonRGB->setChecked(true);
  f.BitBtn1Click();
  const std::string file = Dir / "mytiles.vt2";
  ASSERT_EQ(Opened, std::vector<std::string>{file});
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(ButtonUpdates, 1);
  EXPECT_TRUE(f.windowTitle().endsWith(" pic indexed"));
  EXPECT_TRUE(f.BitBtn1->isEnabled());
  EXPECT_TRUE(f.BitBtn2->isEnabled());
  EXPECT_FALSE(f.cmndStop->isEnabled());
  EXPECT_FALSE(f.VTData1.TableIsOpen());
  std::string last;
  IniReadString(SettingsFileName, "LastPath", "Library", last, "");
  EXPECT_EQ(last, Dir.Path());
  TVTData t;
  t.SetBaseName(file);
  EXPECT_EQ(t.RecordCount, 3);
  EXPECT_EQ(t.XRes, 6);
  EXPECT_EQ(t.YRes, 6);
  EXPECT_EQ(t.XScale, 4);
  EXPECT_EQ(t.YScale, 3);
  EXPECT_EQ(t.ColorSystem, csRGB);
  t.ShowThumbs = true;
  t.MoveTo(1);
  ASSERT_FALSE(t.CurThumbJpeg.empty());
  Bitmap24 thumb;
  JpegDecode(t.CurThumbJpeg.data(), t.CurThumbJpeg.size(), 0, thumb);
  EXPECT_EQ(thumb.Width(), 42);
}

TEST_F(NewBaseTest, StopKeepsThePicturesIndexedSoFar) {
  const std::string pics = Pictures(4);
  TV2NewBaseForm f(Host());
  f.TxtNewVtb->setText(QString::fromStdString(Dir / "stopped"));
  f.TxtRoot->setText(QString::fromStdString(pics));
  // Pressed during the first picture's pump: that picture still goes in.
  QTimer::singleShot(0, &f, [&f] {
    EXPECT_TRUE(f.cmndStop->isEnabled());
    EXPECT_FALSE(f.BitBtn1->isEnabled());
    f.reject();  // Esc waits for the scan
    EXPECT_TRUE(f.isVisible());
    f.cmndStop->click();
  });
  f.show();
  f.BitBtn1Click();
  TVTData t;
  t.SetBaseName(Dir / "stopped.vt2");
  EXPECT_EQ(t.RecordCount, 1);
  EXPECT_EQ(Opened.size(), 1u);
}

TEST_F(NewBaseTest, AnotherAspectWithAProjectOpenAsksFirst) {
  const std::string pics = Pictures(2);
  // The open library: 4 x 4 tiles.
  {
    TVTData b;
    b.FXScale = b.FYScale = 4;
    b.FXRes = b.FYRes = 6;
    b.FThumbW = 42;
    b.FThumbQ = 85;
    b.FSampleDepth = 3;
    b.FColorSystem = csYCC;
    b.FExtList = "*.JPG";
    b.FRootDir = pics;
    b.FThreads = 1;
    b.CreateBase(Dir / "open.vt2");
  }
  Lib.SetBaseName(Dir / "open.vt2");
  ProjectIsOpen = true;
  TV2NewBaseForm f(Host());
  f.TxtNewVtb->setText(QString::fromStdString(Dir / "other"));
  f.TxtRoot->setText(QString::fromStdString(pics));
  f.SpinEdit1->SetValue(3);
  Answer = IDCANCEL;
  f.BitBtn1Click();
  ASSERT_EQ(Boxes.size(), 2u);
  const std::string file = Dir / "other.vt2";
  EXPECT_EQ(Boxes[0].Text,
            "Library \r" + file +
                "\rhas a different tile height/width ratio.\rIf you want to open it right now - you "
                "had to close the current project.\rClose the current project?\r");
  EXPECT_EQ(Boxes[0].Caption, "Vitrane 2");
  EXPECT_EQ(Boxes[1].Text,
            "Library \r" + file + "\rwas created.\rYou may open it after closing New Base window.");
  EXPECT_TRUE(Opened.empty());
  EXPECT_EQ(ButtonUpdates, 1);

  Answer = IDOK;
  Boxes.clear();
  std::filesystem::remove(file);  // no replace question this time
  f.BitBtn1Click();
  EXPECT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Closed, 1);
  EXPECT_EQ(Opened, std::vector<std::string>{file});
}

TEST_F(NewBaseTest, PngAndTiffPicturesBecomeTilesAndTheCaptionCountsTheScan) {
  RegisterGraphicFormats();
  const std::string pics = Pictures(2);
  pngmaker::RawImage img = pngmaker::MakeImage(80, 60, 8, 3);
  const pngmaker::Bytes png = pngmaker::Png(img, 2);
  WriteFileReplacing(pics + "q.png", std::vector<uint8_t>(png.begin(), png.end()));
  SaveBitmapAsTIFF(pics + "r.tiff", Bitmap24(80, 60), 72, 2);
  TV2NewBaseForm f(Host());
  EXPECT_EQ(f.chkPNG->text(), "*.PNG");
  EXPECT_FALSE(f.chkPNG->isChecked());
  f.chkPNG->setChecked(true);
  f.chkTIF->setChecked(true);
  f.TxtNewVtb->setText(QString::fromStdString(Dir / "all"));
  f.TxtRoot->setText(QString::fromStdString(pics));
  f.BitBtn1Click();
  TVTData t;
  t.SetBaseName(Dir / "all.vt2");
  EXPECT_EQ(t.RecordCount, 4);
  // The progress comes before each picture; the end counts all of them.
  EXPECT_EQ(f.windowTitle(), "4 pic indexed");
  std::filesystem::create_directories(Dir / "empty");
  f.TxtNewVtb->setText(QString::fromStdString(Dir / "none"));
  f.TxtRoot->setText(QString::fromStdString(Dir / "empty/"));
  f.BitBtn1Click();
  EXPECT_EQ(f.windowTitle(), "0 pic indexed");
}

// Every control whole, before and during a scan: the picture being indexed
// takes the tile-shape preview's place and leaves the crop buttons free.
TEST_F(NewBaseTest, TheScanPictureLeavesEveryControlWhole) {
  const std::string pics = Pictures(2);
  TV2NewBaseForm f(Host());
  f.show();
  const std::vector<const QWidget*> preview{f.Shape1, f.Shape2, f.Image1};
  EXPECT_EQ(LayoutFaults(&f, preview), std::vector<std::string>{});
  f.TxtNewVtb->setText(QString::fromStdString(Dir / "whole"));
  f.TxtRoot->setText(QString::fromStdString(pics));
  bool scanning = false;
  std::vector<std::string> during;
  QMetaObject::invokeMethod(
      &f,
      [&] {
        scanning = f.Image1->isVisible();
        during = LayoutFaults(&f, preview);
        f.grab().save("newbase-scanning.png");
      },
      Qt::QueuedConnection);
  f.BitBtn1Click();
  EXPECT_TRUE(scanning);
  EXPECT_EQ(during, std::vector<std::string>{});
}
