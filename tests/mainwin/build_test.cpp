// The mosaic build driver: the checks before a run, the work area, fixed
// cells, stop, a run that runs out of tiles, and the texts it shows.
#include <gmock/gmock.h>

#include <QApplication>
#include <QMenuBar>
#include <QProgressBar>

#include "BuildFixture.h"
#include "mosaic/BuildCore.h"
#include "platform/qt/Application.h"
#include "platform/qt/QtHooks.h"
#include "qt/InputEvents.h"
#include "tiledb/Match.h"

using namespace mwtest;

namespace {
using BuildTest = BuildFixture;
}  // namespace

TEST_F(BuildTest, WholeGridRunFillsEveryCellAndRestoresTheCommands) {
  TForm1& f = Open();
  ASSERT_TRUE(f.Mosaicall1->isEnabled());
  f.Mosaicall1->trigger();
  for (int32_t link : Links(f)) EXPECT_GT(link, 0);
  EXPECT_TRUE(Boxes.empty());
  EXPECT_TRUE(f.ProjectModified());
  EXPECT_FALSE(LongOperationRunning);
  EXPECT_EQ(f.StatusText(0), "100%");
  EXPECT_EQ(Application->Title, ProductCaption);
  EXPECT_TRUE(f.RBTarget1->isChecked());
  EXPECT_TRUE(f.VTMosaic1.ShowThumbs);
  EXPECT_TRUE(f.Mosaicall1->isEnabled());
  EXPECT_FALSE(f.Stopmosaicprocess1->isEnabled());
  EXPECT_FALSE(f.SpeedButton9->isEnabled());
  EXPECT_TRUE(f.SaveVTP1->isEnabled());
  EXPECT_TRUE(f.Openvtp1->isEnabled());
  EXPECT_TRUE(f.File1->menuAction()->isEnabled());
  EXPECT_EQ(f.Panel1->findChild<QProgressBar*>(), nullptr);
  // The plan's sort index lives only during a run.
  EXPECT_EQ(f.VTPlan1.IndexKeySize, 0);
  // The blue quarter of the source gets the blue tile, the red rest the red one.
  f.VTMosaic1.MoveTo(1);
  const int32_t blue = f.VTMosaic1.CurLink;
  f.VTMosaic1.MoveTo(12);
  EXPECT_NE(f.VTMosaic1.CurLink, blue);
  f.VTLib1.MoveTo(blue);
  EXPECT_NE(f.VTLib1.CurPath.find("p2.jpg"), std::string::npos);
}

TEST_F(BuildTest, RandomAndSmartOrdersFillTheSameCells) {
  TForm1& f = Open();
  f.Randommosaic1Click();
  const std::vector<int32_t> random = Links(f);
  for (int32_t link : random) EXPECT_GT(link, 0);
  f.DrawGrid1->SetSelection({0, 0, 3, 2});
  f.Eraseselection1Click();
  for (int32_t link : Links(f)) EXPECT_EQ(link, 0);
  f.DrawGrid1->SetSelection({0, 0, 0, 0});
  f.Smartmosaic1Click();
  // Distance 0 and no repeat limit: every cell takes its nearest tile whatever the order.
  EXPECT_EQ(Links(f), random);
}

TEST_F(BuildTest, RerunRefusesTilesStillStandingNearby) {
  TForm1& f = Open();
  f.Mosaicall1Click();
  const std::vector<int32_t> first = Links(f);
  f.Mosaicall1Click();
  // The placement grid starts with the old links: no cell may keep its tile.
  const std::vector<int32_t> second = Links(f);
  for (size_t i = 0; i < first.size(); ++i) EXPECT_NE(first[i], second[i]) << i;
}

TEST_F(BuildTest, DistanceTooLargeRefusesTheRun) {
  TForm1& f = Open();
  f.SpinRadius2->SetValue(3);  // 3 x 3 = 9 tiles needed, 6 present
  f.Mosaicall1Click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text,
            "There are not enough tiles for current distance between tiles setting.\rYou need 9 tiles in the "
            "library but have only 6.\rPlease decrease \"Distance\" value.");
  EXPECT_EQ(Boxes[0].Caption, ProductCaption);
  EXPECT_EQ(Boxes[0].Flags, unsigned(MB_OK | MB_ICONERROR));
  for (int32_t link : Links(f)) EXPECT_EQ(link, 0);
  EXPECT_FALSE(f.ProjectModified());
}

TEST_F(BuildTest, RepeatTooSmallRefusesTheRun) {
  TForm1& f = Open();
  f.SpinRepetition2->SetValue(1);  // 12 cells, 6 tiles once each
  f.Smartmosaic1Click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_NE(Boxes[0].Text.find("You need 12 tiles in the library but have only 6."), std::string::npos);
  f.SpinRepetition2->SetValue(2);
  Boxes.clear();
  f.Smartmosaic1Click();
  EXPECT_TRUE(Boxes.empty());
  for (int32_t link : Links(f)) EXPECT_GT(link, 0);
}

TEST_F(BuildTest, NoOrientationNoRun) {
  TForm1& f = Open();
  f.CBFlipOriginal->setChecked(false);
  f.Mosaicall1Click();
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Please check any tile orienitation(s) to use.");
  for (int32_t link : Links(f)) EXPECT_EQ(link, 0);
}

TEST_F(BuildTest, SelectionAndInvertedSelection) {
  TForm1& f = Open();
  f.DrawGrid1->SetSelection({1, 0, 2, 1});
  f.Mosaicall1Click();
  std::vector<int32_t> links = Links(f);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(links[size_t(r * 4 + c)] > 0, c >= 1 && c <= 2 && r <= 1) << c << r;
  // The selection comes back after the run.
  EXPECT_EQ(f.DrawGrid1->Selection(), (TGridRect{1, 0, 2, 1}));
  f.ChkInvertSelection->setChecked(true);
  f.ChkFixAuto->setChecked(true);
  f.Mosaicall1Click();
  for (int32_t link : Links(f)) EXPECT_GT(link, 0);
}

TEST_F(BuildTest, FixedCellsKeepTheirTiles) {
  TForm1& f = Open();
  const Bitmap24 tile = Solid(8, 6, RGB(1, 2, 3));
  ASSERT_TRUE(f.VTMosaic1.SetRecordBitmap(12, tile, CustomTileLink, 8, 6, 0, 0, 8, 6, "custom.bmp"));
  f.Mosaicall1Click();
  f.VTMosaic1.MoveTo(12);
  EXPECT_EQ(f.VTMosaic1.CurLink, CustomTileLink);
  // The run ends on that cell: it counts among the cells visited.
  EXPECT_EQ(f.StatusText(0), "100%");
  EXPECT_TRUE(f.StatusText(1).ends_with(" 12 - 12 = 0")) << f.StatusText(1);
  // Fix auto keeps every tile standing: a new run changes nothing.
  f.ChkFixAuto->setChecked(true);
  const std::vector<int32_t> before = Links(f);
  f.VTMosaic1.Modified = 0;
  f.Mosaicall1Click();
  EXPECT_EQ(Links(f), before);
  EXPECT_FALSE(f.ProjectModified());
  // Without "Fix custom" the hand-placed tile is replaced.
  f.ChkFixAuto->setChecked(false);
  f.ChkFixManual->setChecked(false);
  f.Mosaicall1Click();
  f.VTMosaic1.MoveTo(12);
  EXPECT_GT(f.VTMosaic1.CurLink, 0);
  EXPECT_LT(f.VTMosaic1.CurLink, CustomTileLink);
}

TEST_F(BuildTest, StopKeepsTheCellsPlacedSoFar) {
  TForm1& f = Open();
  const QString caption = f.windowTitle();
  f.FBuildFrameMs = 0;  // a frame after every cell
  int pumps = 0;
  SetPumpHook([&] {
    if (LongOperationRunning && ++pumps == 3) {
      // The window is usable during a run: stop is, the file commands are not.
      EXPECT_TRUE(f.Stopmosaicprocess1->isEnabled());
      EXPECT_TRUE(f.SpeedButton9->isEnabled());
      EXPECT_FALSE(f.SaveVTP1->isEnabled());
      EXPECT_FALSE(f.Mosaicall1->isEnabled());
      EXPECT_FALSE(f.SpeedButton7->isEnabled());
      EXPECT_NE(f.Panel1->findChild<QProgressBar*>(), nullptr);
      // Written after the previous cell's pump.
      EXPECT_EQ(f.StatusText(0), "16%");
      const std::string estimate = f.StatusText(1);
      EXPECT_EQ(estimate.substr(estimate.size() - 12), " 12 - 2 = 10") << estimate;
      EXPECT_EQ(Application->Title, ProductCaption + " 16%");
      // The desktop shows the window's caption, so it carries the percentage.
      EXPECT_EQ(f.windowTitle().toStdString(), ProductCaption + " 16%");
      f.SpeedButton9->click();
    }
  });
  f.Mosaicall1Click();
  std::vector<int32_t> links = Links(f);
  for (size_t i = 0; i < links.size(); ++i) EXPECT_EQ(links[i] > 0, i < 3) << i;
  EXPECT_FALSE(LongOperationRunning);
  EXPECT_FALSE(f.FStopRequested);
  EXPECT_EQ(Application->Title, ProductCaption);
  EXPECT_EQ(f.windowTitle(), caption);
  EXPECT_TRUE(f.Mosaicall1->isEnabled());
  EXPECT_TRUE(f.SaveVTP1->isEnabled());
}

TEST_F(BuildTest, FramesSetOnlyHowOftenTheWindowCatchesUp) {
  // A frame after every cell, or none inside a run that is over sooner: the
  // same tiles, the run's last percentage shown at the end either way.
  std::vector<std::vector<int32_t>> links;
  std::vector<int> pumps;
  for (uint32_t frameMs : {0u, 3600000u}) {
    TForm1& f = Open(6, 5);
    f.FBuildFrameMs = frameMs;
    f.SpinRadius2->SetValue(1);
    int n = 0;
    SetPumpHook([&] { n += LongOperationRunning; });
    f.Mosaicall1Click();
    SetPumpHook(nullptr);
    links.push_back(Links(f));
    pumps.push_back(n);
    EXPECT_EQ(f.StatusText(0), "100%");
    Form.reset();
  }
  EXPECT_EQ(links[0], links[1]);
  EXPECT_EQ(pumps, (std::vector<int>{30, 0}));
}

TEST_F(BuildTest, RunningOutOfTilesEndsTheRunAndPassesTheError) {
  TForm1& f = Open();
  for (int32_t r = 1; r <= f.VTLib1.RecordCount; ++r) f.VTLib1.SetRecordFlag(r, 251);
  f.VTLib1.MatchDataChanged();
  EXPECT_THROW(f.Mosaicall1Click(), ERunOutOfTiles);
  EXPECT_FALSE(LongOperationRunning);
  EXPECT_EQ(Application->Title, ProductCaption);
  EXPECT_TRUE(f.Mosaicall1->isEnabled());
  EXPECT_EQ(f.Panel1->findChild<QProgressBar*>(), nullptr);
  for (int32_t link : Links(f)) EXPECT_EQ(link, 0);
}

TEST_F(BuildTest, FlippedBlocksAreAddedAsTickedAndSavedOnce) {
  TForm1& f = Open();
  f.CBFlipV->setChecked(true);
  f.CBRota180->setChecked(true);
  f.Mosaicall1Click();
  EXPECT_EQ(f.VTLib1.RecordCount, 18);
  EXPECT_EQ(f.VTLib1.FlipKinds[1], TVTData::fkVertical);
  EXPECT_EQ(f.VTLib1.FlipKinds[2], TVTData::fkRotate180);
  EXPECT_TRUE(f.CBFlipV->isChecked());
  TVTData reread;
  reread.SetBaseName(f.VTLib1.BaseName());
  EXPECT_EQ(reread.RecordCount, 18);
  for (int32_t link : Links(f)) {
    EXPECT_GT(link, 0);
    EXPECT_LE(link, 6);  // flipped copies are stored by their original's number
  }
  // Only "Original": the library file is left alone.
  const auto stamp = std::filesystem::last_write_time(f.VTLib1.BaseName());
  f.CBFlipV->setChecked(false);
  f.CBRota180->setChecked(false);
  f.AddFlips(false, false, false);
  EXPECT_EQ(std::filesystem::last_write_time(f.VTLib1.BaseName()), stamp);
}

TEST_F(BuildTest, ClosingDuringARunStopsItAndKeepsTheWindow) {
  TForm1& f = Open();
  f.FBuildFrameMs = 0;
  int pumps = 0;
  SetPumpHook([&] {
    if (LongOperationRunning && ++pumps == 2) f.close();
  });
  f.Mosaicall1Click();
  EXPECT_TRUE(f.isVisible());
  std::vector<int32_t> links = Links(f);
  for (size_t i = 0; i < links.size(); ++i) EXPECT_EQ(links[i] > 0, i < 2) << i;
  EXPECT_TRUE(Boxes.empty());
}

TEST_F(BuildTest, CommandStateAndTheRenderButton) {
  TForm1& f = NewForm();
  f.SetButtonsOnOff();
  EXPECT_FALSE(f.Mosaicall1->isEnabled());
  EXPECT_FALSE(f.SpeedButton7->isEnabled());
  EXPECT_FALSE(f.Stopmosaicprocess1->isEnabled());
  Form.reset();
  TForm1& g = Open();
  g.SetButtonsOnOff();
  for (QAction* a : {g.Mosaicall1, g.Randommosaic1, g.Smartmosaic1}) EXPECT_TRUE(a->isEnabled());
  EXPECT_TRUE(g.SpeedButton7->isEnabled());
  EXPECT_TRUE(g.Erasecell1->isEnabled());
  EXPECT_FALSE(g.Eraseselection1->isEnabled());
  EXPECT_FALSE(g.Specialerasing1->menuAction()->isEnabled());
  g.DrawGrid1->SetSelection({0, 0, 1, 0});
  g.SetButtonsOnOff();
  EXPECT_TRUE(g.Eraseselection1->isEnabled());
  EXPECT_TRUE(g.Specialerasing1->menuAction()->isEnabled());
  // "Render mosaic" runs the default mode on the selection.
  DefaultRenderMode = roRandom;
  g.SpeedButton7->click();
  const std::vector<int32_t> links = Links(g);
  for (size_t i = 0; i < links.size(); ++i) EXPECT_EQ(links[i] > 0, i < 2) << i;
  DefaultRenderMode = roSmart;
}

TEST_F(BuildTest, OpenImageAndSelectAllFollowTheRunAndTheMenusHaveMnemonics) {
  TForm1& f = NewForm();
  f.SetButtonsOnOff();
  EXPECT_FALSE(f.SpeedButton3->isEnabled());  // no library
  EXPECT_TRUE(f.Selectall1->isEnabled());     // nor a project
  const std::pair<QMenu*, Qt::Key> menus[] = {
      {f.File1, Qt::Key_F}, {f.Edit1, Qt::Key_E}, {f.Run1, Qt::Key_M}, {f.View1, Qt::Key_V}, {f.Help1, Qt::Key_H}};
  for (const auto& [menu, key] : menus) EXPECT_EQ(QKeySequence::mnemonic(menu->title()), QKeySequence(Qt::ALT | key));
  Form.reset();
  TForm1& g = Open();
  EXPECT_TRUE(g.SpeedButton3->isEnabled());
  SetPumpHook([&] {
    if (LongOperationRunning) EXPECT_FALSE(g.SpeedButton3->isEnabled() || g.Selectall1->isEnabled());
  });
  g.Mosaicall1Click();
  EXPECT_TRUE(g.SpeedButton3->isEnabled());
  EXPECT_TRUE(g.Selectall1->isEnabled());
}

TEST_F(BuildTest, ToolButtonsKeepTheirCommandsStateWhenTheMosaicMenuOpensDuringARun) {
  TForm1& f = Open();
  f.FBuildFrameMs = 0;
  bool opened = false;
  SetPumpHook([&] {
    if (!LongOperationRunning || std::exchange(opened, true)) return;
    ClickAt(f.menuBar(), f.menuBar()->actionGeometry(f.Run1->menuAction()).center());
    EXPECT_TRUE(f.Run1->isVisible());
    QToolButton* const buttons[] = {f.SpeedButton11, f.SpeedButton1, f.SpeedButton2, f.SpeedButton3,
                                    f.SpeedButton4,  f.SpeedButton5, f.SpeedButton6, f.SpeedButton7,
                                    f.SpeedButton8,  f.SpeedButton9, f.SpeedButton10};
    QAction* const commands[] = {f.RunVitraneWizard1, f.Newlibrary1,        f.Openlibrary1, f.Opensource1,
                                 f.Openvtp1,          f.SaveVTP1,           f.Savemosaic1,  f.Smartmosaic1,
                                 f.Manual1,           f.Stopmosaicprocess1, f.Exit1};
    for (size_t i = 0; i < std::size(buttons); ++i)
      EXPECT_EQ(buttons[i]->isEnabled(), commands[i]->isEnabled()) << buttons[i]->toolTip().toStdString();
    PressKey(f.Run1, Qt::Key_Escape);
    Click(f.SpeedButton9);
  });
  f.Mosaicall1Click();
  EXPECT_TRUE(opened);
  EXPECT_TRUE(f.SpeedButton5->isEnabled());  // the run made the project modified
}

// After each step the status panels show what is true now, and whole but for
// a path (cut in a narrow window): the cell a build filled, the project opened
// or closed, the library that stays, the six-digit counts of a 400 x 300 grid.
TEST_F(BuildTest, StatusPanelsShowWhatIsTrueNowAndWhole) {
  using testing::_, testing::EndsWith, testing::HasSubstr, testing::Matcher, testing::StartsWith;
  TForm1& f = Open();
  f.resize(f.minimumSize());
  const std::string big = MakeProject(Dir, f.VTLib1.BaseName(), "big.vtp", 400, 300, 4, 3);
  SetFileDialogHook([&](const TOpenDialog&, bool) { return std::optional<TFileChoice>({{big}, 1}); });
  SetPumpHook([&] {
    if (LongOperationRunning && f.DrawGrid1->ColCount() == 400) Click(f.SpeedButton9);
  });
  const auto cell = [&f] {  // a click on the third cell of the first row
    const TRect r = f.DrawGrid1->CellRect(2, 0);
    ClickAt(f.DrawGrid1->viewport(), {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2});
  };
  Answer = IDNO;  // a changed project is left unsaved
  const auto ctrl = [&f](Qt::Key key) { return [&f, key] { PressKey(&f, key, Qt::ControlModifier); }; };
  const std::pair<std::function<void()>, std::vector<Matcher<std::string>>> steps[] = {
      {cell, {"3:1", EraseCellHint, "Pic: No pic for this cell."}},
      {ctrl(Qt::Key_R), {"100%", EndsWith(" 12 - 12 = 0"), "Pic: " + Dir / "lib_pics/p0.jpg" + " (80/60) "}},
      {[&] { Click(f.SpeedButton4); }, {"", StartsWith("Pic: 120000 rec. (RGB) 4/3 - 6/6 - "), _}},
      {cell, {"3:1", EraseCellHint, "Pic: No pic for this cell."}},
      {ctrl(Qt::Key_R), {EndsWith("%"), HasSubstr(") 120000 - "), _}},
      {ctrl(Qt::Key_A), {"1:1 x 400:300", _, _}},
      {[&] { Click(f.ChkInvertSelection); }, {"Not 1:1 x 400:300", _, _}},
      {[&] {
         ClickAt(f.menuBar(), f.menuBar()->actionGeometry(f.File1->menuAction()).center());
         ClickAt(f.File1, f.File1->actionGeometry(f.Closeproject1).center());
       },
       {"", "", f.LibraryStatusText()}}};
  for (const auto& [input, panels] : steps) {
    input();
    QApplication::processEvents();
    EXPECT_THAT((std::vector{f.StatusText(0), f.StatusText(1), f.StatusText(2)}),
                testing::ElementsAreArray(panels));
    for (const QLabel* p : {f.StatusPanels[0], f.StatusPanels[1]}) {
      if (p->text().contains(QString::fromStdString(Dir.Path()))) continue;
      EXPECT_LE(p->fontMetrics().horizontalAdvance(p->text()), p->contentsRect().width())
          << p->text().toStdString();
    }
  }
}
