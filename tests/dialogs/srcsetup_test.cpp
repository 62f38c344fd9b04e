#include "dialogs/SrcSetup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "common/ScratchDir.h"
#include "dialogs/CorrectTools.h"
#include "platform/Bmp.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/Picture.h"
#include "platform/qt/Desktop.h"
#include "qt/TestApp.h"
#include "tiledb/LibraryMaker.h"

namespace {

Bitmap24 Solid(int w, int h, TColor c) {
  Bitmap24 b(w, h);
  b.Fill(c);
  return b;
}

TEST(SrcSetupRules, ProposedProjectName) {
  EXPECT_EQ(ProposedProjectName("/pics/sunset.jpg", "/lib/flowers.vt2", 40, 30), "sunset-flowers-40x30.vtp");
  EXPECT_EQ(ProposedProjectName("", "/lib/flowers.vt2", 40, 30), "-flowers-40x30.vtp");
  // The change-extension rule cuts at the last dot of the joined text.
  EXPECT_EQ(ProposedProjectName("/pics/my.photo.jpg", "/lib/flowers.vt2", 4, 3), "my.vtp");
}

TEST(SrcSetupRules, StretchTileAspectInHundredthsHalvesToEven) {
  EXPECT_EQ(StretchTileAspect(TRect(0, 0, 1000, 300), 30, 4), (TPoint{3333, 7500}));
  EXPECT_EQ(StretchTileAspect(TRect(10, 0, 11, 1), 8, 8), (TPoint{12, 12}));  // 12.5 -> 12
  EXPECT_EQ(StretchTileAspect(TRect(0, 0, 7, 7), 2, 2), (TPoint{350, 350}));
}

TEST(SrcSetupRules, PictureFilterListsReadableTypesInOrder) {
  const std::string f = SourcePictureFilter();
  EXPECT_EQ(f.rfind("All (*.jpg;*.jpeg;*.bmp;*.ico)|*.jpg;*.jpeg;*.bmp;*.ico|", 0), 0u) << f;
  const std::vector<TFilterEntry> e = ParseFilter(f);
  ASSERT_EQ(e.size(), 5u);
  EXPECT_EQ(e[1].Patterns, std::vector<std::string>{"*.jpg"});
  EXPECT_EQ(e[4].Patterns, std::vector<std::string>{"*.ico"});
}

TEST(SrcSetupRules, SavedSourcePictureReadsBack) {
  ScratchDir dir{"srcsave"};
  Bitmap24 pic = Solid(30, 20, RGB(10, 120, 240));
  pic.SetPixel(3, 4, RGB(255, 0, 0));
  const std::string bmp = SaveSourcePicture(pic, dir / "a.xyz", 3, 0);
  EXPECT_EQ(bmp, dir / "a.bmp");
  Bitmap24 back;
  LoadPicture(bmp, back);
  EXPECT_EQ(back.Width(), 30);
  EXPECT_EQ(back.Pixel(3, 4), RGB(255, 0, 0));
  const std::string tif = SaveSourcePicture(pic, dir / "a", 2, 0);
  EXPECT_EQ(tif, dir / "a.tif");
  EXPECT_TRUE(FileExists(tif));
  const std::string jpg = SaveSourcePicture(pic, dir / "a.jpeg", 1, 80);
  EXPECT_EQ(jpg, dir / "a.jpg");
  LoadPicture(jpg, back);
  EXPECT_EQ(back.Height(), 20);
}

class SrcSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    SettingsFileName = Dir / "vt002.ini";
    SetMessageBoxHook([this](const MessageBoxRequest& r) {
      Boxes.push_back(r);
      return Answer;
    });
    vttest::MakeLibrary(Dir / "lib.vt2");  // tiles 4:3
    Library.SetBaseName(Dir / "lib.vt2");
    Setup = std::make_unique<TSrcSetup>(Library);
    Setup->OnProjectCreated = [this](const std::string& p, const std::string& s) {
      Created = p;
      CreatedSource = s;
    };
    Setup->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    Setup.reset();
    TSrcSetup::JpegQualityDialog = FQuality;
    SetMessageBoxHook(nullptr);
    SetFileDialogHook(nullptr);
  }
  std::string Ini(const std::string& section, const std::string& key) const {
    std::string v;
    IniReadString(SettingsFileName, section, key, v, "<missing>");
    return v;
  }
  ScratchDir Dir{"srcsetup"};
  std::vector<MessageBoxRequest> Boxes;
  int Answer = IDNO;
  std::function<int(QWidget*)> FQuality = TSrcSetup::JpegQualityDialog;
  TVTData Library;
  std::unique_ptr<TSrcSetup> Setup;
  std::string Created, CreatedSource;
};

TEST_F(SrcSetupTest, WithoutPictureCountsAndMaxChangeNothing) {
  const TRect before = Setup->CropImage1->FrameBounds();
  Setup->SpinEdit1->SetValue(7);
  Setup->CheckBox2->click();
  Setup->BitBtn5->click();
  EXPECT_EQ(Setup->CropImage1->FrameBounds(), before);
  EXPECT_EQ(Setup->CropImage1->CellX(), 1);
}

TEST_F(SrcSetupTest, FrameTakesTheMosaicProportionAndCounts) {
  const std::string file = Dir / "src.bmp";
  WriteBMPFile(Solid(400, 200, RGB(1, 2, 3)), file);
  Setup->SpinEdit1->SetValue(4);
  Setup->SpinEdit2->SetValue(3);
  Setup->OpenImage(file);
  EXPECT_EQ(Setup->StatusText(), file);
  // 16 x 9 in a 400 x 200 picture: 356 x 200, centred.
  EXPECT_EQ(Setup->CropImage1->CropRectF(), TRect(22, 0, 378, 200));
  EXPECT_EQ(Setup->CropImage1->CellX(), 4);
  EXPECT_EQ(Setup->CropImage1->ScaleW, 16);
  EXPECT_EQ(Setup->CropImage1->ScaleH, 9);
  // New counts fit inside the frame the user had.
  Setup->SpinEdit1->SetValue(2);
  EXPECT_EQ(Setup->CropImage1->CropRectF(), TRect(111, 0, 289, 200));
  EXPECT_EQ(Setup->CropImage1->CellX(), 2);
  // Stretch tiles: the whole picture, any proportion.
  Setup->CheckBox2->setChecked(true);
  Setup->BitBtn5->click();
  EXPECT_EQ(Setup->CropImage1->CropRectF(), TRect(0, 0, 400, 200));
  EXPECT_EQ(Setup->CropImage1->ScaleStyle(), ssNoScale);
}

TEST_F(SrcSetupTest, PastedPictureAnsweredNoMakesAProjectWithoutSource) {
  ClipboardSetPicture(Solid(120, 90, RGB(200, 30, 30)));
  Setup->Pastefromclipboard1->trigger();
  EXPECT_EQ(Setup->StatusText(), "Not saved image from clipboard");
  Setup->SpinEdit1->SetValue(4);
  Setup->SpinEdit2->SetValue(3);
  Setup->BitBtn5->click();
  Answer = IDNO;
  std::string proposed;
  SetFileDialogHook([&](const TOpenDialog& d, bool save) -> std::optional<TFileChoice> {
    EXPECT_TRUE(save);
    proposed = d.FileName;
    return TFileChoice{{Dir / "new"}, 1};
  });
  Setup->BitBtn2->click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Do you want to save source image first?");
  EXPECT_EQ(proposed, "-lib-4x3.vtp");
  EXPECT_EQ(Created, Dir / "new.vtp");
  EXPECT_EQ(CreatedSource, "");
  EXPECT_EQ(Ini("LastPath", "Project"), Dir.Path());
  TVTData plan, mosaic;
  ASSERT_TRUE(plan.OpenProject(Created, mosaic));
  EXPECT_EQ(plan.Columns, 4);
  EXPECT_EQ(plan.Rows, 3);
  EXPECT_EQ(plan.SourcePath, "");
  EXPECT_EQ(plan.SourceRect, TRect(0, 11, 120, 79));  // 16 : 9 in 120 x 90, 67.5 -> 68
}

TEST_F(SrcSetupTest, StretchTilesGivesTheLibraryTheCellAspect) {
  const std::string file = Dir / "wide.bmp";
  WriteBMPFile(Solid(1000, 300, RGB(9, 9, 9)), file);
  Setup->OpenImage(file);
  Setup->SpinEdit1->SetValue(30);
  Setup->SpinEdit2->SetValue(4);
  Setup->CheckBox2->setChecked(true);
  Setup->BitBtn5->click();
  SetFileDialogHook([&](const TOpenDialog&, bool) {
    return std::optional<TFileChoice>({{Dir / "s.vtp"}, 1});
  });
  Setup->BitBtn2->click();
  EXPECT_TRUE(Boxes.empty());
  EXPECT_EQ(Library.XScale, 3333);
  EXPECT_EQ(Library.YScale, 7500);
  EXPECT_EQ(CreatedSource, file);
}

TEST_F(SrcSetupTest, ApplyWithoutPictureIsRefusedAndKeepsTheLibraryAspect) {
  Setup->CheckBox2->setChecked(true);
  SetFileDialogHook([&](const TOpenDialog&, bool) {
    return std::optional<TFileChoice>({{Dir / "e.vtp"}, 1});
  });
  EXPECT_THROW(Setup->BitBtn2Click(), EVitrane);
  EXPECT_EQ(Library.XScale, 4);
  EXPECT_EQ(Library.YScale, 3);
  EXPECT_FALSE(FileExists(Dir / "e.vtp"));
  EXPECT_TRUE(Created.empty());
}

TEST_F(SrcSetupTest, CorrectionToolsChangeThePictureShownOnOk) {
  const std::string file = Dir / "c.bmp";
  WriteBMPFile(Solid(40, 30, RGB(100, 100, 100)), file);
  Setup->OpenImage(file);
  QTimer::singleShot(0, [] {
    auto* tools = qobject_cast<TPicTools*>(QApplication::activeModalWidget());
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(tools->FOriginalBitmap.Width(), 40);
    tools->sLightness->setValue(128);
    tools->BitBtn4->click();
  });
  Setup->Picturecorrection1->trigger();
  // 100 + 128 * 155 / 256, truncated
  EXPECT_EQ(Setup->CropImage1->Picture().Pixel(5, 5), RGB(177, 177, 177));
  EXPECT_EQ(Setup->CropImage1->OriginalImg.Bitmap.Pixel(5, 5), RGB(100, 100, 100));
  EXPECT_EQ(Setup->CropImage1->PictureFileName(), file);
}

TEST_F(SrcSetupTest, CancelledJpegQualityLeavesThePictureUnsaved) {
  ClipboardSetPicture(Solid(40, 30, RGB(0, 90, 0)));
  Setup->Pastefromclipboard1->trigger();
  TSrcSetup::JpegQualityDialog = [](QWidget*) { return -1; };
  SetFileDialogHook([&](const TOpenDialog&, bool) {
    return std::optional<TFileChoice>({{Dir / "p.jpg"}, 1});
  });
  Setup->Saveimageas1->trigger();
  EXPECT_TRUE(Setup->CropImage1->PictureFileName().empty());
  EXPECT_FALSE(FileExists(Dir / "p.jpg"));
  TSrcSetup::JpegQualityDialog = [](QWidget*) { return 70; };
  Setup->Saveimageas1->trigger();
  EXPECT_EQ(Setup->CropImage1->PictureFileName(), Dir / "p.jpg");
  EXPECT_EQ(Setup->StatusText(), Dir / "p.jpg");
  EXPECT_EQ(Ini("LastPath", "Source"), Dir.Path());
}

}  // namespace
