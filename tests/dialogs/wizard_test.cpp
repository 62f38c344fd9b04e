// The wizard on its own: the size read-outs, the shape preview and the
// proposed names, the walk over each task's pages with their enabling
// rules, the file dialogs' defaults, and a running save that the window's
// own buttons cannot interrupt.
#include <gtest/gtest.h>

#include <QTimer>
#include <filesystem>
#include <fstream>

#include "DialogFixture.h"
#include "dialogs/wizard02.h"
#include "dialogs/wizard02Rules.h"
#include "mosaic/MosaicTables.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/Jpeg.h"
#include "qt/InputEvents.h"
#include "qt/TestApp.h"

namespace {

class WizardTest : public DialogTest {
 protected:
  void TearDown() override {
    SetFileDialogHook(nullptr);
    DialogTest::TearDown();
  }
  TWizardHost Host() {
    TWizardHost h;
    h.Library = &Lib;
    h.Plan = &Plan;
    h.SelectionSize = [this] { return Selection; };
    h.SavePosterWizard = [this](const std::string& f, bool, bool, int w, int hh, int, int, int, int q, bool,
                                bool) {
      Writes.push_back("poster " + f + " " + std::to_string(w) + "x" + std::to_string(hh) + " " +
                       std::to_string(q));
      if (DuringSave) DuringSave();
    };
    h.SaveTiffWizard = [this](const std::string& f, bool, bool, int, int, int, int, int, int kind, bool,
                              bool) { Writes.push_back("direct " + f + " " + std::to_string(kind)); };
    h.RequestStop = [this] { ++Stops; };
    return h;
  }
  // Answers the next file dialog with the name and filter index.
  void Choose(const std::string& name, int index = 1) {
    SetFileDialogHook([name, index](const TOpenDialog&, bool) -> std::optional<TFileChoice> {
      return TFileChoice{{name}, index};
    });
  }

  TVTData Lib, Plan;
  TPoint Selection{1, 1};
  std::vector<std::string> Writes;
  std::function<void()> DuringSave;
  int Stops = 0;
};

TEST(WizardRules, SizeReadOutsOfTheFourByThreeExample) {
  EXPECT_EQ(WizardTileHeight(32, 4, 3), 24);
  EXPECT_EQ(WizardTileHeight(32, 3, 4), 42);
  EXPECT_EQ(WizardTileHeight(32, 0, 0), 0);
  const TWizardSizeTexts t = WizardSizeTexts(40, 30, 32, 24, 150);
  EXPECT_EQ(t.Cells, "40 x 30 cells");
  EXPECT_EQ(t.Pixels, "1280 x 720 pixels");
  EXPECT_EQ(t.Bytes, "2.64 MB");
  EXPECT_EQ(t.Inches, "8.53 x 4.80 inch");
  EXPECT_EQ(t.Centimetres, "21.67 x 12.19 cm");
  const TWizardSizeTexts none = WizardSizeTexts(40, 30, 32, 24, 0);
  EXPECT_EQ(none.Inches, "-- inch");
  EXPECT_EQ(none.Centimetres, "-- cm");
}

TEST(WizardRules, ShapePreviewNamesAndFilterExtensions) {
  const TRect shape1(244, 96, 310, 160);
  // Square, 10 %: 59 x 58, centred.
  EXPECT_EQ(WizardShapeRect(wsSquare, 4, 4, 10, 4, shape1, shape1), TRect(248, 99, 307, 157));
  // Portrait, 10 %: 45 x 58 at the top-left and at the bottom-right anchor.
  EXPECT_EQ(WizardShapeRect(wsPortrait, 4, 4, 10, 0, shape1, shape1), TRect(246, 99, 291, 157));
  EXPECT_EQ(WizardShapeRect(wsPortrait, 4, 4, 10, 8, shape1, shape1), TRect(263, 99, 308, 157));
  // Stretch ignores the shape; no shape keeps the size.
  EXPECT_EQ(WizardShapeRect(wsPortrait, 4, 4, 10, 9, shape1, shape1), TRect(248, 99, 307, 157));
  EXPECT_EQ(WizardShapeRect(wsNone, 4, 4, 10, 4, shape1, TRect(0, 0, 20, 10)), TRect(267, 123, 287, 133));

  EXPECT_EQ(WizardProjectName("/pics/my.photo.jpg", "/lib/flowers.vt2", 40, 30), "my.photo-flowers40x30.vtp");
  const std::string filter = "Tiff files|*.tif|Jpeg files|*.jpg|BMP files|*.bmp";
  EXPECT_EQ(FilterDefaultExt(filter, 1), "tif");
  EXPECT_EQ(FilterDefaultExt(filter, 3), "bmp");
  EXPECT_EQ(FilterDefaultExt("Vitrane picture library|*.vt2|All files|*.*", 2), "");
}

TEST_F(WizardTest, EachTaskWalksItsOwnPagesAsTheirButtonsAllow) {
  TWizard w(Host());
  EXPECT_FALSE(w.BitBtn2->isEnabled());
  // "Save mosaic." without a project explains and stays put.
  w.RadioButton3->setChecked(true);
  w.RadioButton3Click();
  EXPECT_FALSE(w.BitBtn2->isEnabled());
  EXPECT_TRUE(w.Label35->text().startsWith("You can't save anything yet."));

  w.RadioButton4->setChecked(true);
  w.RadioButton4Click();
  ASSERT_TRUE(w.BitBtn2->isEnabled());
  w.BitBtn2Click();
  EXPECT_EQ(w.ActivePage(), 1);
  w.Edit2->setText(QString::fromStdString(Dir / "missing/"));
  EXPECT_FALSE(w.BitBtn3->isEnabled());
  w.Edit2->setText(QString::fromStdString(Dir / ""));
  EXPECT_TRUE(w.BitBtn3->isEnabled());
  w.BitBtn2Click();
  EXPECT_FALSE(w.BitBtn4->isEnabled());
  w.chkPNG->setChecked(true);
  w.chkJPGClick();
  EXPECT_TRUE(w.BitBtn4->isEnabled());
  w.BitBtn2Click();
  EXPECT_FALSE(w.BitBtn5->isEnabled());
  w.TRRadio2->setChecked(true);
  w.TRRadio1Click();
  EXPECT_TRUE(w.BitBtn5->isEnabled());
  w.BitBtn2Click();
  // A name typed without extension becomes a library, not a project.
  Choose(Dir / "lib");
  w.Button2Click();
  EXPECT_EQ(w.Edit1->text().toStdString(), Dir / "lib.vt2");
  EXPECT_TRUE(w.BitBtn6->isEnabled());
  w.BitBtn2Click();
  EXPECT_EQ(w.ActivePage(), 5);
  w.BitBtn2Click();  // the last page of its task
  EXPECT_EQ(w.ActivePage(), 5);
  w.BitBtn1Click();
  w.BitBtn1Click();
  EXPECT_EQ(w.ActivePage(), 3);

  // Back to the start and the project task: pages 6 to 10 only.
  for (int i = 0; i < 3; ++i) w.BitBtn1Click();
  EXPECT_EQ(w.ActivePage(), 0);
  w.RadioButton2->setChecked(true);
  w.RadioButton2Click();
  w.BitBtn2Click();
  EXPECT_EQ(w.ActivePage(), 6);
  w.Edit4->setText(QString::fromStdString(Dir / "missing.jpg"));
  EXPECT_FALSE(w.BitBtn9->isEnabled());
  w.Edit4->setText(QString::fromStdString(Dir / "lib.vt2"));
  EXPECT_FALSE(w.BitBtn9->isEnabled());
  JpegEncodeFile(mwtest::Solid(8, 8, 0), 90, Dir / "pic.jpg");
  w.Edit4->setText(QString::fromStdString(Dir / "pic.jpg"));
  EXPECT_TRUE(w.BitBtn9->isEnabled());
  w.BitBtn1Click();
  EXPECT_EQ(w.ActivePage(), 0);
}

TEST_F(WizardTest, AFileThatIsNoLibraryIsReportedAndKeepsNextOff) {
  TWizard w(Host());
  const std::string junk = Dir / "junk.vt2";
  std::ofstream(junk) << "no library here";
  Choose(junk);
  w.Button3Click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "File " + junk + " is not Vitrane base and can't be open.");
  EXPECT_FALSE(w.BitBtn8->isEnabled());
  EXPECT_EQ(w.Label33->text(), "");
  EXPECT_EQ(w.FBaseInfo.XScale, 0);
  // Cells changed afterwards hand the crop view no zero proportion.
  w.KWSpinXCell->SetValue(12);
  w.FitCropToCells();
  EXPECT_GT(w.CropImage1->ScaleW, 0);
  EXPECT_GT(w.CropImage1->ScaleH, 0);
}

TEST_F(WizardTest, ProjectAndMosaicFilesFollowTheirDialogsRules) {
  TWizard w(Host());
  // An existing project is asked about; "No" keeps the old name out.
  const std::string old = Dir / "old.vtp";
  std::ofstream(old) << "x";
  Answer = IDNO;
  Choose(old);
  w.Button5Click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(w.Edit5->text(), "");
  EXPECT_FALSE(w.BitBtn10->isEnabled());
  Answer = 0;
  w.Edit5->setText("p.vtp");
  EXPECT_TRUE(w.BitBtn10->isEnabled());
  // The mosaic's extension is the one of the filter chosen.
  Choose(Dir / "m", 1);
  w.Button6Click();
  EXPECT_EQ(w.Edit6->text().toStdString(), Dir / "m.tif");
  Choose(Dir / "m", 3);
  w.Button6Click();
  EXPECT_EQ(w.Edit6->text().toStdString(), Dir / "m.bmp");
  EXPECT_TRUE(w.BitBtn35->isEnabled());
  EXPECT_EQ(w.Label45->text().toStdString(),
            "Now press the Save button. Vitrane will recreate your mosaic image and save the result to " +
                std::string(Dir / "m.bmp"));
  w.BitBtn26Click();
  EXPECT_EQ(w.Label45->text().toStdString(),
            "Now press the Save button and Vitrane will save your finished mosaic to " +
                std::string(Dir / "m.bmp"));
}

TEST_F(WizardTest, SaveRoutesByExtensionAndCannotBeLeftWhileRunning) {
  const std::string lib = mwtest::MakeLibrary(Dir, "lib");
  TVTData mosaic;
  ASSERT_TRUE(Plan.OpenProject(mwtest::MakeProject(Dir, lib, "p.vtp", 4, 3), mosaic));
  TWizard w(Host());
  w.RadioButton3->setChecked(true);
  w.RadioButton3Click();
  w.BitBtn2Click();
  EXPECT_EQ(w.ActivePage(), 11);
  EXPECT_EQ(w.Label71->text(), "128 x 72 pixels");  // 4:3 tiles of 32 x 24
  w.BitBtn2Click();
  w.Edit6->setText("a.bmp");
  w.BitBtn26Click();
  EXPECT_EQ(w.ActivePage(), 13);
  w.CheckBox5->setChecked(false);

  // While the writer runs, the window's buttons only offer to stop it.
  DuringSave = [&] {
    EXPECT_TRUE(w.BitBtnStopSave->isVisibleTo(&w));
    EXPECT_FALSE(w.BitBtn31->isEnabled());
    Answer = IDYES;
    w.reject();
    w.BitBtn1Click();
    w.BitBtn2Click();
    Answer = 0;
    EXPECT_EQ(w.ActivePage(), 13);
  };
  w.show();
  w.BitBtn31Click();
  DuringSave = nullptr;
  EXPECT_EQ(Stops, 3);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.BitBtnStopSave->isVisibleTo(&w));
  EXPECT_TRUE(w.BitBtn31->isEnabled());
  w.CheckBox3->setChecked(true);  // direct only for BMP and TIFF
  for (const char* name : {"b.tif", "c.jpg"}) {
    w.Edit6->setText(name);
    w.BitBtn31Click();
  }
  EXPECT_EQ(Writes,
            (std::vector<std::string>{"poster a.bmp 128x72 75", "direct b.tif 2", "poster c.jpg 128x72 75"}));

  // An extension no writer knows is said, and the wizard stays.
  w.CheckBox5->setChecked(true);
  Boxes.clear();
  w.Edit6->setText("d.jpeg");
  w.BitBtn31Click();
  EXPECT_EQ(Writes.size(), 3u);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_TRUE(w.isVisible());
}

TEST_F(WizardTest, ARunningScanKeepsItsPageAndOnlyOffersStop) {
  const std::string pics = Dir / "pics/";
  std::filesystem::create_directories(pics);
  for (int i = 0; i < 6; ++i)
    JpegEncodeFile(mwtest::Solid(40, 40, RGB(40 * i, 90, 30)), 90, pics + std::to_string(i) + ".jpg");
  TWizard w(Host());
  w.RadioButton4->setChecked(true);
  w.RadioButton4Click();
  w.Edit2->setText(QString::fromStdString(pics));
  w.chkJPG->setChecked(true);
  w.chkPNG->setChecked(true);
  w.TRRadio1->setChecked(true);
  w.Edit1->setText(QString::fromStdString(Dir / "new.vt2"));
  w.PageControl1->setCurrentIndex(5);
  w.show();
  bool during = false;
  QTimer::singleShot(0, &w, [&] {
    during = w.Busy();
    // The new-library dialog scans what the wizard's pages chose.
    const auto* scan = w.findChild<TV2NewBaseForm*>();
    ASSERT_TRUE(scan);
    EXPECT_TRUE(scan->chkPNG->isChecked());
    EXPECT_FALSE(scan->chkBMP->isChecked());
    EXPECT_EQ(scan->TxtRoot->text().toStdString(), pics);
    Answer = IDNO;
    w.reject();
    w.BitBtn1Click();
    w.BitBtn7Click();  // no second scan under the first
    EXPECT_EQ(w.ActivePage(), 5);
    EXPECT_TRUE(w.isVisible());
    Answer = IDYES;
    w.BitBtn22Click();
    Answer = 0;
  });
  w.BitBtn7Click();
  EXPECT_TRUE(during);
  EXPECT_FALSE(w.Busy());
  ASSERT_GE(Boxes.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(Boxes[i].Text, "Stop the running procedure?");
  // The scan ended and the wizard closed after it, as "Create" does.
  EXPECT_FALSE(w.isVisible());
}

// Enter, wherever the focus stands on the page, presses its default button:
// "Next >" along each task and "Create" at its end; a page whose "Next >" is
// off takes no Enter. Shown modally, as the main window shows it.
TEST_F(WizardTest, EnterPressesNextAlongATaskAndCreateAtItsEnd) {
  const std::string pics = Dir / "pics/", lib = Dir / "keys.vt2";
  std::filesystem::create_directories(pics);
  for (int i = 0; i < 3; ++i)
    JpegEncodeFile(mwtest::Solid(40, 40, RGB(60 * i, 90, 30)), 90, pics + std::to_string(i) + ".jpg");
  std::ofstream(lib) << "an older library";  // replaced: asked once, by "Locate..."
  std::vector<int> pages;
  {
    TWizard w(Host());
    QTimer::singleShot(0, &w, [&] {
      const auto enter = [&] {
        PressKey(&w, Qt::Key_Return);
        pages.push_back(w.ActivePage());
      };
      enter();  // no task yet
      Click(w.RadioButton4);
      enter();
      SetFolderDialogHook([&](const std::string&) -> std::optional<std::string> { return pics; });
      Click(w.Button1);
      enter();
      Click(w.chkJPG);
      enter();
      Click(w.TRRadio1);
      enter();
      Choose(lib);
      Click(w.Button2);
      enter();
      PressKey(&w, Qt::Key_Return);  // "Create" scans and closes the wizard
      if (w.isVisible()) w.reject();
    });
    EXPECT_EQ(w.exec(), QDialog::Accepted);
    SetFolderDialogHook(nullptr);
  }
  EXPECT_EQ(pages, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, lib + " already exists.\nDo you want to replace it?");
  TVTData built;
  built.SetBaseName(lib);
  EXPECT_EQ(built.RecordCount, 3);

  // The project task: its "Create" asks the main window for the library.
  JpegEncodeFile(mwtest::Solid(64, 48, RGB(9, 9, 9)), 90, Dir / "pic.jpg");
  TWizardHost host = Host();
  std::vector<std::string> opened;
  host.OpenLibraryByName = [&](const std::string& name) {
    opened.push_back(name);
    return false;  // refused: the wizard stays on its page
  };
  TWizard w(host);
  pages.clear();
  QTimer::singleShot(0, &w, [&] {
    const auto enter = [&] {
      PressKey(&w, Qt::Key_Return);
      pages.push_back(w.ActivePage());
    };
    Click(w.RadioButton2);
    enter();
    Choose(lib);
    Click(w.Button3);
    enter();
    Choose(Dir / "pic.jpg");
    Click(w.Button4);
    enter();
    enter();  // the cells page's "Next >" has the focus, not its first spin edit
    Choose(Dir / "keys.vtp");
    Click(w.Button5);
    enter();
    enter();  // "Create" is off until a mode is chosen
    EXPECT_TRUE(opened.empty());
    Click(w.RadioButtonSmart);
    enter();
    Click(w.BitBtn22);
  });
  EXPECT_EQ(w.exec(), QDialog::Rejected);
  EXPECT_EQ(pages, (std::vector<int>{6, 7, 8, 9, 10, 10, 10}));
  EXPECT_EQ(opened, std::vector<std::string>{lib});
}

// The shape page: the part kept as a tile is a green frame hatched with
// green diagonal lines, the white picture showing between them.
TEST_F(WizardTest, TheTileShapePreviewIsAGreenHatchOverThePicture) {
  TWizard w(Host());
  w.PageControl1->setCurrentIndex(3);
  w.show();
  Click(w.TRRadio1);
  TypeAndEnter(w.SpinEdit3, "10");
  ASSERT_EQ(w.Shape2->geometry(), QRect(248, 99, 59, 58));
  const QImage page = w.Pages[3]->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QRgb green = qRgb(0, 128, 0), white = qRgb(255, 255, 255);
  const QRect s = w.Shape2->geometry();
  for (int x = s.left(); x <= s.right(); ++x) {
    EXPECT_EQ(page.pixel(x, s.top()), green) << x;
    EXPECT_EQ(page.pixel(x, s.bottom()), green) << x;
  }
  int greens = 0, whites = 0;
  for (int y = s.top() + 1; y < s.bottom(); ++y)
    for (int x = s.left() + 1; x < s.right(); ++x) {
      const QRgb c = page.pixel(x, y);
      ASSERT_TRUE(c == green || c == white) << x << "," << y;
      (c == green ? greens : whites) += 1;
      // Every line pixel continues along a diagonal.
      if (c == green && y + 1 < s.bottom() && x > s.left() + 1 && x + 1 < s.right())
        EXPECT_TRUE(page.pixel(x - 1, y + 1) == green || page.pixel(x + 1, y + 1) == green) << x << "," << y;
    }
  EXPECT_GT(greens, 57 * 56 / 8);
  EXPECT_GT(whites, 57 * 56 / 2);
}

TEST_F(WizardTest, EveryPageIsShownForALook) {
  TWizard w(Host());
  w.show();
  for (int i = 0; i < TWizard::PageCount; ++i) {
    w.PageControl1->setCurrentIndex(i);
    EXPECT_FALSE(w.grab().isNull());
    w.grab().save(QString("wizard-page%1.png").arg(i, 2, 10, QChar('0')));
  }
}

}  // namespace
