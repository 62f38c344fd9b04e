// The main window's source commands: the source setup's road from a picture
// to an open project.
#include <QTimer>

#include "MainWinFixture.h"
#include "dialogs/SrcSetup.h"
#include "formats/Registrations.h"
#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Picture.h"
#include "qt/InputEvents.h"

using namespace mwtest;

namespace {

// Runs fn inside the next modal loop; a loop fn leaves open is closed.
void InModal(std::function<void()> fn) {
  QTimer::singleShot(0, [fn] {
    fn();
    if (SrcSetup && SrcSetup->isVisible()) SrcSetup->reject();
  });
}

TEST_F(MainWinTest, SourceCommandsNeedALibrary) {
  TForm1& f = NewForm();
  f.SetButtonsOnOff();
  EXPECT_FALSE(f.Opensource1->isEnabled());
  EXPECT_TRUE(f.Sourceimage1->isEnabled());
  try {
    f.Sourceimage1Click();
    FAIL() << "no error";
  } catch (const EVitrane& e) {
    EXPECT_STREQ(e.what(), "Please open library first!");
  }
  try {
    f.OpenPictureByName(Dir / "x.bmp");
    FAIL() << "no error";
  } catch (const EVitrane& e) {
    EXPECT_STREQ(e.what(), "Please open library first!");
  }
}

TEST_F(MainWinTest, OpenPictureApplyOpensTheNewProjectWithMosaicEqualToPlan) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string pic = Dir / "sunset.bmp";
  Bitmap24 src = Solid(160, 90, RGB(30, 30, 200));
  for (int x = 0; x < 80; ++x)
    for (int y = 0; y < 90; ++y) src.SetPixel(x, y, RGB(200, 30, 30));
  WriteBMPFile(src, pic);
  TForm1& f = NewForm();
  ASSERT_TRUE(f.OpenLibraryByName(lib));
  EXPECT_TRUE(f.Opensource1->isEnabled());
  EXPECT_TRUE(f.SpeedButton3->isEnabled());

  std::string proposed;
  SetFileDialogHook([&](const TOpenDialog& d, bool save) -> std::optional<TFileChoice> {
    if (!save) return TFileChoice{{pic}, 1};
    proposed = d.FileName;
    return TFileChoice{{Dir / "out.vtp"}, 1};
  });
  InModal([&] {
    SrcSetup->SpinEdit1->SetValue(4);
    SrcSetup->SpinEdit2->SetValue(3);
    SrcSetup->BitBtn5->click();
    SrcSetup->BitBtn2->click();
  });
  f.Opensource1Click();
  EXPECT_EQ(proposed, "sunset-lib-4x3.vtp");
  EXPECT_TRUE(Boxes.empty());
  ASSERT_TRUE(f.ProjectOpen());
  EXPECT_EQ(f.VTPlan1.BaseName(), Dir / "out.vtp");
  EXPECT_EQ(f.VTPlan1.Columns, 4);
  EXPECT_EQ(f.VTPlan1.SourcePath, pic);
  EXPECT_EQ(f.VTPlan1.SourceRect, TRect(0, 0, 160, 90));
  EXPECT_FALSE(f.ProjectModified());
  EXPECT_EQ(Ini("Recentprojects", "Recentproject1"), Dir / "out.vtp");
  EXPECT_EQ(Ini("RecentImages", "RecentImage1"), pic);
  EXPECT_EQ(Ini("LastPath", "Source"), Dir.Path());
  // Every mosaic cell starts as its own source cell, and that was saved.
  TVTData plan, mosaic;
  ASSERT_TRUE(plan.OpenProject(Dir / "out.vtp", mosaic));
  ASSERT_EQ(mosaic.RecordCount, 12);
  for (int32_t n = 1; n <= 12; ++n) {
    plan.MoveTo(n);
    mosaic.MoveTo(n);
    EXPECT_EQ(mosaic.CurSamples, plan.CurSamples) << n;
  }
}

TEST_F(MainWinTest, SourceImageShowsTheProjectsCropAndCounts) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string pic = Dir / "p.bmp";
  WriteBMPFile(Solid(200, 150, RGB(1, 2, 3)), pic);
  TVTData l;
  l.SetBaseName(lib);
  l.CreatePlan(Dir / "pr.vtp", Solid(40, 30, RGB(1, 2, 3)), {pic, TRect(10, 20, 50, 50)}, 3, 4);
  TForm1& f = NewForm();
  f.OpenVTP(Dir / "pr.vtp");
  ASSERT_NE(SrcSetup, nullptr);
  EXPECT_EQ(SrcSetup->CropImage1->PictureFileName(), pic);
  EXPECT_EQ(SrcSetup->StatusText(), pic);
  TRect crop;
  int cols = 0;
  bool stretchShown = true;
  InModal([&] {
    crop = SrcSetup->CropImage1->CropRectPx();
    cols = SrcSetup->CropImage1->CellX();
    stretchShown = SrcSetup->CheckBox2->isVisible();
  });
  f.Sourceimage1Click();
  EXPECT_EQ(crop, TRect(10, 20, 50, 50));
  EXPECT_EQ(cols, 4);
  EXPECT_FALSE(stretchShown);  // stretching tiles is not allowed by default
}

// After "Close project" the frame of 4 x 3 tiles of 4:3 is 16 x 9 pixels on
// screen, however large the picture, where the project's crop began, and
// Apply cuts just the frame shown.
TEST_F(MainWinTest, WithoutAProjectApplyCutsTheFrameShown) {
  const std::string pic = Dir / "p.bmp";
  WriteBMPFile(Solid(2400, 1800, RGB(1, 2, 3)), pic);
  TVTData l;
  l.SetBaseName(MakeLibrary(Dir, "lib"));
  l.CreatePlan(Dir / "pr.vtp", Solid(160, 120, RGB(1, 2, 3)), {pic, TRect(240, 180, 1200, 900)}, 3, 4);
  TForm1& f = NewForm();
  f.OpenVTP(Dir / "pr.vtp");
  InModal([] { Click(SrcSetup->BitBtn3); });
  f.Sourceimage1->trigger();
  f.Closeproject1->trigger();
  SetFileDialogHook([&](const TOpenDialog&, bool) {
    return std::optional<TFileChoice>({{Dir / "n.vtp"}, 1});
  });
  TRect image, frame;
  InModal([&] {
    image = SrcSetup->CropImage1->PictureBounds();
    frame = SrcSetup->CropImage1->FrameBounds();
    Click(SrcSetup->BitBtn2);
  });
  f.Sourceimage1->trigger();
  ASSERT_EQ(f.VTPlan1.BaseName(), Dir / "n.vtp");
  EXPECT_NEAR(frame.Width(), 16, 1);
  EXPECT_NEAR(frame.Height(), 9, 1);
  EXPECT_EQ(TPoint(f.VTPlan1.SourceRect.Left, f.VTPlan1.SourceRect.Top), TPoint(240, 180));
  EXPECT_EQ(PictureToPanel(f.VTPlan1.SourceRect, 2400, 1800, image), frame);
}

TEST_F(MainWinTest, UnreadablePictureIsAWrongFormat) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string bad = Dir / "bad.bmp";
  WriteFileReplacing(bad, {'n', 'o', 'p', 'e'});
  TForm1& f = NewForm();
  ASSERT_TRUE(f.OpenLibraryByName(lib));
  try {
    f.OpenPictureByName(bad);
    FAIL() << "no error";
  } catch (const EVitrane& e) {
    EXPECT_EQ(std::string(e.what()), "Wrong format. File: " + bad + " can't be open.");
  }
}

TEST_F(MainWinTest, ApplyOverAModifiedProjectAsksFirstAndCancelWritesNothing) {
  const std::string lib = MakeLibrary(Dir, "lib");
  const std::string pic = Dir / "pic.bmp";
  WriteBMPFile(Solid(160, 90, RGB(30, 30, 200)), pic);
  TForm1& f = NewForm();
  f.OpenVTP(MakeProject(Dir, lib, "p.vtp"));
  f.VTLib1.MoveTo(2);
  ASSERT_TRUE(f.VTMosaic1.SetRecordFrom(5, f.VTLib1, true));
  SetFileDialogHook([&](const TOpenDialog&, bool save) -> std::optional<TFileChoice> {
    return TFileChoice{{save ? Dir / "new.vtp" : pic}, 1};
  });
  Answer = IDCANCEL;
  bool stillShown = false;
  InModal([&] {
    QTest::mouseClick(SrcSetup->BitBtn2, Qt::LeftButton);
    stillShown = SrcSetup->isVisible();
  });
  f.Opensource1Click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Project was modified. Save before close?");
  EXPECT_TRUE(stillShown);
  EXPECT_FALSE(FileExists(Dir / "new.vtp"));
  EXPECT_EQ(f.VTPlan1.BaseName(), Dir / "p.vtp");
  f.VTMosaic1.MoveTo(5);
  EXPECT_EQ(f.VTMosaic1.CurLink, 2);
  EXPECT_TRUE(f.ProjectModified());

  Answer = IDNO;
  InModal([&] { QTest::mouseClick(SrcSetup->BitBtn2, Qt::LeftButton); });
  f.Opensource1Click();
  EXPECT_EQ(f.VTPlan1.BaseName(), Dir / "new.vtp");
}

TEST_F(MainWinTest, OpenSourceImageListsEveryReadableType) {
  RegisterGraphicFormats();
  TForm1& f = NewForm();
  ASSERT_TRUE(f.OpenLibraryByName(MakeLibrary(Dir, "lib")));
  std::string filter;
  SetFileDialogHook([&](const TOpenDialog& d, bool) -> std::optional<TFileChoice> {
    filter = d.Filter;
    return std::nullopt;
  });
  f.Opensource1Click();
  const std::vector<TFilterEntry> entries = ParseFilter(filter);
  ASSERT_FALSE(entries.empty());
  std::vector<std::string> listed;
  for (size_t i = 1; i < entries.size(); ++i)
    listed.insert(listed.end(), entries[i].Patterns.begin(), entries[i].Patterns.end());
  EXPECT_EQ(entries[0].Patterns, listed);  // "All" holds each one
  for (const TPictureFormat& p : PictureFormats())
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "*." + p.Extension), 1) << p.Extension;
  EXPECT_EQ(entries.back().Text, "Portable Network Graphics (*.png)");
  EXPECT_EQ(entries[1].Text, "SGI black/white images (*.bw)");  // the setup's own order first
}

}  // namespace
