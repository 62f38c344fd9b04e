// The manual-tiles window with the main window: candidates of a cell, custom
// tiles cut from a picture, forced libraries placed cell by cell, and the
// window's settings.
#include <QApplication>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <set>

#include "BuildFixture.h"
#include "dialogs/ManualForm.h"
#include "platform/Files.h"
#include "platform/qt/Desktop.h"
#include "platform/qt/FormUtils.h"
#include "qt/InputEvents.h"
#include "tiledb/Match.h"

using namespace mwtest;

namespace {

class ManualTest : public BuildFixture {
 protected:
  // A library of four solid tiles: red, green, blue, yellow.
  std::string FourTiles() {
    const std::string pics = Dir / "four_pics/";
    std::filesystem::create_directories(pics);
    const TColor colours[] = {RGB(200, 30, 30), RGB(30, 200, 30), RGB(30, 30, 200), RGB(220, 220, 40)};
    int i = 0;
    for (TColor c : colours) JpegEncodeFile(Solid(80, 60, c), 95, pics + "q" + std::to_string(i++) + ".jpg");
    TVTData t;
    SetNewLibraryParameters(t, pics);
    t.FThreads = 1;
    const std::string file = Dir / "four.vt2";
    t.CreateBase(file);
    return file;
  }
  // The main window over that library and a cols x rows project, the
  // manual window shown on its first page.
  TManualForma& Shown(int cols = 4, int rows = 3) {
    const std::string lib = FourTiles();
    TForm1& f = NewForm();
    f.resize(700, 500);
    f.show();
    EXPECT_TRUE(f.OpenLibraryByName(lib));
    f.OpenVTP(MakeProject(Dir, lib, "p.vtp", cols, rows));
    f.SpinRadius2->SetValue(0);
    f.ChkFixManual->setChecked(true);
    f.SetButtonsOnOff();
    EXPECT_TRUE(f.Manual1->isEnabled());
    EXPECT_TRUE(f.SpeedButton8->isEnabled());
    f.SpeedButton8->click();
    QApplication::processEvents();
    EXPECT_TRUE(f.ManualVisible());
    return *f.ManualForma;
  }
  void SelectCell(int col, int row) {
    Form->DrawGrid1->SetRow(row);
    Form->DrawGrid1->SetCol(col);
  }
  int32_t Link(int32_t n) {
    Form->VTMosaic1.MoveTo(n);
    return Form->VTMosaic1.CurLink;
  }
  static void ClickCell(TDrawGrid* grid, int col, int row, Qt::MouseButton button = Qt::LeftButton) {
    const TRect r = grid->CellRect(col, row);
    ClickAt(grid->viewport(), QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2), button);
  }
};

}  // namespace

TEST_F(ManualTest, CandidatesInDistanceOrderAndStoredByReplace) {
  TManualForma& m = Shown();
  TForm1& f = *Form;
  EXPECT_EQ(m.KWSpinEdit1->Value(), 10);
  EXPECT_EQ(m.DrawGrid1->RowCount(), 5);  // heading and the library's four tiles

  SelectCell(0, 0);  // a blue cell
  EXPECT_EQ(m.CellCol(), 0);
  EXPECT_EQ(m.StatusPanel0->text().toStdString().substr(0, 16), "Cell: 1:1  Pic: ");
  EXPECT_EQ(f.StatusText(1), "Press <Enter> to replace, <Del> to erase cell");
  f.VTPlan1.MoveTo(1);
  const std::vector<uint8_t> cell = f.VTPlan1.CurSamples;
  std::set<int32_t> listed;
  double last = -1;
  for (int k = 1; k <= 4; ++k) {
    f.VTLib1.MoveTo(k);
    ASSERT_GT(f.VTLib1.CurRecNo, 0);
    listed.insert(f.VTLib1.CurRecNo);
    const double d = SampleDistance(f.VTLib1.CurSamples.data(), cell.data(), f.VTLib1.SampleSize);
    EXPECT_GE(d, last);
    last = d;
  }
  EXPECT_EQ(listed.size(), 4u);
  f.VTLib1.MoveTo(1);
  EXPECT_EQ(ExtractFileName(f.VTLib1.CurPath), "q2.jpg");

  // Choosing a row previews it on the cell until the grid paints the cell.
  m.DrawGrid1->SetRow(3);
  QApplication::processEvents();
  ASSERT_TRUE(m.PreviewOverlay()->isVisible());
  const TRect r = f.DrawGrid1->CellRect(0, 0);
  EXPECT_EQ(m.PreviewOverlay()->geometry(), QRect(r.Left, r.Top, r.Width(), r.Height()));
  f.DrawGrid1->InvalidateCell(0, 0);
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_FALSE(m.PreviewOverlay()->isVisible());

  m.BitBtn3Click();
  f.VTLib1.MoveTo(3);
  const int32_t third = f.VTLib1.CurRecNo;
  EXPECT_EQ(Link(1), third);
  // Enter on the main grid stores the chosen row into the current cell.
  SelectCell(1, 0);
  m.DrawGrid1->SetRow(2);
  f.VTLib1.MoveTo(2);
  const int32_t second = f.VTLib1.CurRecNo;
  int key = Qt::Key_Return;
  f.DrawGrid1KeyDown(key, {});
  EXPECT_EQ(Link(2), second);
  // On the forced page nothing is stored and the window takes no cells.
  m.PageControl1->setCurrentIndex(TManualForma::pgForced);
  SelectCell(2, 0);
  EXPECT_EQ(f.StatusText(1), "Press <Del> key to erase cell");
  f.DrawGrid1KeyDown(key, {});
  EXPECT_EQ(Link(3), 0);

  // A huge "Show best" lists no more rows than the library has tiles.
  m.KWSpinEdit1->SetValue(999999999);
  m.KWSpinEdit1RealChange();
  m.BitBtn2Click();
  EXPECT_EQ(m.DrawGrid1->RowCount(), 5);
  // Close drops the candidates' order.
  m.BitBtn4Click();
  EXPECT_FALSE(f.ManualVisible());
  EXPECT_EQ(f.VTLib1.IndexKeySize, 0);
  EXPECT_EQ(m.CellCol(), -1);
}

TEST_F(ManualTest, CustomTileFromAPictureIsKeptByABuild) {
  TManualForma& m = Shown();
  TForm1& f = *Form;
  const std::string pics = Dir / "custom/";
  std::filesystem::create_directories(pics);
  JpegEncodeFile(Solid(120, 60, RGB(200, 30, 30)), 95, pics + "red.JPG");
  std::ofstream(pics + "broken.png") << "not a picture";
  std::ofstream(pics + "notes.txt") << "text";
  m.PageControl1->setCurrentIndex(TManualForma::pgCustom);
  QApplication::processEvents();
  // The folder tree leads from the drive down to its subfolders.
  m.SetFolder(Dir / "");
  QTreeWidgetItem* current = m.DirectoryListBox1->currentItem();
  ASSERT_TRUE(current && current->childCount() >= 1);
  for (int i = 0; i < current->childCount(); ++i)
    if (current->child(i)->text(0) == "custom") m.DirectoryListBox1->setCurrentItem(current->child(i));
  QApplication::processEvents();
  EXPECT_EQ(m.Folder(), pics);
  ASSERT_EQ(m.FileListBox1->count(), 2);  // the mask, in any letter case
  m.FileListBox1Change(pics + "red.JPG");
  const TRect crop = m.CropImage1->CropRectF();
  EXPECT_NEAR(crop.Width(), 80, 1);  // the library's 4:3 tile, centred
  EXPECT_NEAR(crop.Height(), 60, 1);
  EXPECT_EQ(m.CustomTile().Width(), f.VTLib1.DisplayBitmap.Width());
  EXPECT_EQ(m.CustomTile().Height(), f.VTLib1.DisplayBitmap.Height());
  m.FileListBox1Change(pics + "broken.png");
  EXPECT_EQ(m.CropImage1->PictureFileName(), pics + "red.JPG");

  // Every cell, nearest first: the red cells before the blue quarter.
  m.BitBtn10Click();
  ASSERT_EQ(m.ListBox1->count(), 12);
  EXPECT_EQ(m.ListBox1->item(0)->text().toStdString().substr(10), "(001)");
  EXPECT_EQ(m.ListBox1->item(11)->text().toStdString(), "001  001  (012)");
  EXPECT_EQ(f.VTPlan1.IndexKeySize, 0);
  int col = 0, row = 0;
  EXPECT_TRUE(TManualForma::ReadCellLine(TManualForma::CellLine(1234, 5, 17), col, row));
  EXPECT_EQ(TManualForma::CellLine(1234, 5, 17), "1234  005  (017)");
  EXPECT_EQ(col, 1234);
  EXPECT_EQ(row, 5);

  // A line moves the main grid there; Replace stores the custom tile.
  m.ListBox1->setCurrentRow(0);
  TManualForma::ReadCellLine(m.ListBox1->item(0)->text().toStdString(), col, row);
  EXPECT_EQ(f.DrawGrid1->Col(), col - 1);
  EXPECT_EQ(m.CellRow(), row - 1);
  m.BitBtn9Click();
  const int32_t n = f.CellToRow(row - 1, col - 1);
  f.VTMosaic1.MoveTo(n);
  EXPECT_EQ(f.VTMosaic1.CurLink, CustomTileLink);
  EXPECT_EQ(f.VTMosaic1.CurPath, pics + "red.JPG");
  EXPECT_EQ(f.VTMosaic1.CurPicWidth, 120);
  EXPECT_EQ(f.VTMosaic1.CurCropRect, crop);

  // "Fix custom" keeps it through a build that fills every other cell.
  m.BitBtn4Click();
  f.DrawGrid1->SetSelection({0, 0, 0, 0});
  f.Mosaicall1Click();
  for (int32_t k = 1; k <= 12; ++k) {
    if (k == n)
      EXPECT_EQ(Link(k), CustomTileLink);
    else
      EXPECT_TRUE(Link(k) > 0 && Link(k) <= 4) << k;
  }
}

TEST_F(ManualTest, ReplaceAllPlacesEachForcedTileOnceOnAFreeCell) {
  TManualForma& m = Shown(2, 2);
  TForm1& f = *Form;
  m.PageControl1->setCurrentIndex(TManualForma::pgForced);
  m.OpenForcedBase(MakeLibrary(Dir, "forced"));  // six tiles for four cells
  ASSERT_TRUE(m.VTForcedLib1.TableIsOpen());
  EXPECT_EQ(m.DrawGrid2->RowCount(), 7);
  m.BitBtn5Click();
  EXPECT_FALSE(LongOperationRunning);
  std::set<std::string> placed, first;
  for (int32_t k = 1; k <= 4; ++k) {
    f.VTMosaic1.MoveTo(k);
    EXPECT_EQ(f.VTMosaic1.CurLink, CustomTileLink);
    placed.insert(f.VTMosaic1.CurPath);
    m.VTForcedLib1.MoveTo(k);
    first.insert(m.VTForcedLib1.CurPath);
  }
  // The first four forced tiles, one cell each.
  EXPECT_EQ(placed, first);
  // The library page describes the last cell placed, which its "Replace" changes.
  EXPECT_TRUE(
      m.StatusPanel0->text().startsWith(QString("Cell: %1:%2 ").arg(m.CellCol() + 1).arg(m.CellRow() + 1)));

  // With every cell taken nothing moves and nothing is previewed.
  std::vector<std::string> before;
  for (int32_t k = 1; k <= 4; ++k) f.VTMosaic1.MoveTo(k), before.push_back(f.VTMosaic1.CurPath);
  m.PreviewOverlay()->hide();
  m.BitBtn5Click();
  for (int32_t k = 1; k <= 4; ++k) {
    f.VTMosaic1.MoveTo(k);
    EXPECT_EQ(f.VTMosaic1.CurPath, before[size_t(k - 1)]);
  }
  EXPECT_EQ(m.CellCol(), -1);
  EXPECT_FALSE(m.PreviewOverlay()->isVisible());
  // A right click on a forced tile offers its file.
  const TRect r = m.DrawGrid2->CellRect(1, 2);
  m.DrawGrid2MouseDown(Qt::RightButton, r.Left + 2, r.Top + 2);
  ASSERT_EQ(PopupMenuOf(m.DrawGrid2), m.TilePopup());
  m.VTForcedLib1.MoveTo(2);
  EXPECT_EQ(m.TilePopup()->Items()->Items(0)->Caption,
            "Show file " + ExtractFileName(m.VTForcedLib1.CurPath) + " (80/60)");
  EXPECT_EQ(m.TilePopup()->Items()->Items(0)->Tag, 2);
  m.BtnClose1Click();
  EXPECT_FALSE(m.VTForcedLib1.TableIsOpen());
  m.DrawGrid2MouseDown(Qt::RightButton, r.Left + 2, r.Top + 2);
  EXPECT_EQ(PopupMenuOf(m.DrawGrid2), nullptr);
  EXPECT_EQ(m.DrawGrid2->RowCount(), 2);
}

TEST_F(ManualTest, OpenBaseRefusesWhatDoesNotFit) {
  TManualForma& m = Shown(2, 2);
  TForm1& f = *Form;
  const std::string good = MakeLibrary(Dir, "good");
  const std::string coarse = MakeLibrary(Dir, "coarse", 4, 4);
  m.OpenForcedBase(good);
  ASSERT_EQ(m.DrawGrid2->RowCount(), 7);

  // Another sample grid is refused whatever stretching allows.
  for (bool stretch : {false, true}) {
    f.FStretchTiles = stretch;
    Boxes.clear();
    m.OpenForcedBase(coarse);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "Library\r" + coarse + "\rcan't be open.\rIt has a different sampling rate.");
    EXPECT_EQ(Boxes[0].Caption, "Vitrane 2");
    EXPECT_EQ(m.VTForcedLib1.BaseName(), good);
  }
  // Not a library, or one that fails to load: the open one and its list stay.
  const std::string text = Dir / "notes.vt2";
  std::ofstream(text) << "hello";
  Boxes.clear();
  m.OpenForcedBase(text);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "File " + text + " is not Vitrane base and can't be open.");
  const std::string cut = Dir / "cut.vt2";
  std::filesystem::copy_file(good, cut);
  std::filesystem::resize_file(cut, std::filesystem::file_size(good) / 2);
  try {
    m.OpenForcedBase(cut);
  } catch (...) {
  }
  EXPECT_EQ(m.VTForcedLib1.BaseName(), good);
  EXPECT_EQ(m.DrawGrid2->RowCount(), 7);

  // Without a project there is nothing to place tiles on.
  f.CloseProject();
  Boxes.clear();
  m.OpenForcedBase(good);
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_EQ(Boxes[0].Text, "Library can't be open. You should open project first!");
}

TEST_F(ManualTest, LayOutKeysRoundTrip) {
  IniWriteString(SettingsFileName, "LayOut", "ManualForm", "40,50,700,560");
  IniWriteInteger(SettingsFileName, "LayOut", "ManualFormPanel", 150);
  IniWriteInteger(SettingsFileName, "LayOut", "ManualRows", 7);
  {
    TForm1& f = NewForm();
    TManualForma& m = f.ManualForm();
    EXPECT_EQ(m.KWSpinEdit1->Value(), 7);
    EXPECT_EQ(m.width(), 660);
    m.KWSpinEdit1->SetValue(12);
  }
  Form.reset();
  EXPECT_EQ(Ini("LayOut", "ManualForm"), "40,50,700,560");
  EXPECT_EQ(Ini("LayOut", "ManualFormPanel"), "150");
  EXPECT_EQ(Ini("LayOut", "ManualRows"), "12");
}

TEST_F(ManualTest, LayOutKeysThatCannotFitGiveTheDefaults) {
  IniWriteString(SettingsFileName, "LayOut", "ManualForm", "-2147483648,-2147483648,2147483647,2147483647");
  for (int panel : {INT32_MIN, 801}) {
    IniWriteInteger(SettingsFileName, "LayOut", "ManualFormPanel", panel);
    EXPECT_EQ(FormBounds(&NewForm().ManualForm()), TRect(0, 0, 800, 800));  // the offscreen screen
    Form.reset();
    EXPECT_EQ(Ini("LayOut", "ManualForm"), "0,0,800,800");
    EXPECT_EQ(Ini("LayOut", "ManualFormPanel"), "266") << panel;  // a third of the width
  }
}

// What the three pages and the main window show once each is filled: the
// best candidate at the top of the library list, the custom picture with one
// line per cell, the forced library's first tile, and the custom tile
// previewed over the main grid's cell. The pictures are kept for a look.
TEST_F(ManualTest, ThePagesShowWhatTheyHold) {
  TManualForma& m = Shown();
  SelectCell(1, 1);
  m.PageControl1->setCurrentIndex(TManualForma::pgForced);
  m.OpenForcedBase(MakeLibrary(Dir, "shot"));
  const std::string pics = Dir / "shot_pics/";
  m.PageControl1->setCurrentIndex(TManualForma::pgCustom);
  QApplication::processEvents();
  m.SetFolder(pics);
  m.FileListBox1Change(pics + "p3.jpg");  // a yellow picture
  m.BitBtn10Click();
  // A colour within JPEG's reach of another.
  const auto near = [](QRgb shown, TColor c) {
    return std::abs(qRed(shown) - GetRValue(c)) <= 12 && std::abs(qGreen(shown) - GetGValue(c)) <= 12 &&
           std::abs(qBlue(shown) - GetBValue(c)) <= 12;
  };
  // The middle of the tile picture drawn in column 1 of a list's row.
  const auto tileShown = [](TDrawGrid* grid, int row) {
    const QImage shot = grid->viewport()->grab().toImage();
    const TRect r = grid->CellRect(1, row);
    return shot.pixel(r.Left + 6, (r.Top + r.Bottom) / 2);
  };
  const auto middle = [](const Bitmap24& b) { return b.Pixel(b.Width() / 2, b.Height() / 2); };

  m.PageControl1->setCurrentIndex(TManualForma::pgLibrary);
  QApplication::processEvents();
  m.grab().save("manual_tiles_0.png");
  ASSERT_EQ(m.DrawGrid1->RowCount(), 5);
  Form->VTLib1.MoveTo(1);  // the best candidate, in the order the list shows
  EXPECT_TRUE(near(tileShown(m.DrawGrid1, 1), middle(Form->VTLib1.DisplayBitmap)));

  m.PageControl1->setCurrentIndex(TManualForma::pgCustom);
  QApplication::processEvents();
  m.grab().save("manual_tiles_1.png");
  const QImage custom = m.CropImage1->grab().toImage();
  EXPECT_TRUE(near(custom.pixel(custom.width() / 2, custom.height() / 2), RGB(220, 220, 40)));
  ASSERT_EQ(m.ListBox1->count(), 12);
  for (int i = 0; i < 12; ++i)
    EXPECT_TRUE(
        QRegularExpression("^\\d{3}  \\d{3}  \\(\\d{3}\\)$").match(m.ListBox1->item(i)->text()).hasMatch())
        << m.ListBox1->item(i)->text().toStdString();
  EXPECT_TRUE(m.ListBox1->item(0)->text().endsWith("(001)"));

  m.PageControl1->setCurrentIndex(TManualForma::pgForced);
  QApplication::processEvents();
  m.grab().save("manual_tiles_2.png");
  ASSERT_EQ(m.DrawGrid2->RowCount(), 7);  // heading and six tiles
  m.VTForcedLib1.MoveTo(1);
  EXPECT_TRUE(near(tileShown(m.DrawGrid2, 1), middle(m.VTForcedLib1.DisplayBitmap)));

  // The custom tile over the main grid's cell (1, 1).
  m.PageControl1->setCurrentIndex(TManualForma::pgCustom);
  m.ListBox1Click(0);
  m.CropImage1ChangeCropPos();
  QApplication::processEvents();
  const QImage main = Form->DrawGrid1->viewport()->grab().toImage();
  Form->grab().save("manual_tiles_main.png");
  const TRect cell = Form->DrawGrid1->CellRect(m.CellCol(), m.CellRow());
  EXPECT_TRUE(
      near(main.pixel((cell.Left + cell.Right) / 2, (cell.Top + cell.Bottom) / 2), RGB(220, 220, 40)));
}

// Select cell A, close the window (each way), select cell B, Ctrl+M: the
// window describes and lists no cell, and neither its "Replace" nor Enter on
// the main grid stores a tile until a cell is chosen.
TEST_F(ManualTest, ClosingAndShowingTheWindowLetGoOfItsCell) {
  TManualForma& m = Shown();
  TForm1& f = *Form;
  const auto tab = [&](int page) {
    ClickAt(m.PageControl1->tabBar(), m.PageControl1->tabBar()->tabRect(page).center());
  };
  const auto on = [&](int page, QPushButton* button) {
    return [&, page, button] {
      tab(page);
      Click(button);
    };
  };
  // Each page's "Close", Esc and the close box.
  const std::function<void()> closes[] = {on(0, m.BitBtn4), on(1, m.BitBtn1), on(2, m.BitBtn6),
                                          [&] { PressKey(&m, Qt::Key_Escape); }, [&] { m.close(); }};
  for (const auto& close : closes) {
    tab(0);
    ClickCell(f.DrawGrid1, 0, 0);
    EXPECT_EQ(m.StatusPanel0->text().left(10), "Cell: 1:1 ");
    close();
    EXPECT_EQ(f.StatusText(1), "Press <Del> key to erase cell");
    ClickCell(f.DrawGrid1, 2, 1);
    f.activateWindow();  // as the click does on a desktop
    PressKey(&f, Qt::Key_M, Qt::ControlModifier);
    tab(0);
    EXPECT_EQ(m.StatusPanel0->text(), "");
    EXPECT_TRUE(m.Image1->Picture().Empty());
    const TRect r = m.DrawGrid1->CellRect(1, 2);  // a row not highlighted shows nothing
    EXPECT_EQ(m.DrawGrid1->viewport()->grab().toImage().pixel(r.Left + 6, r.Top + 6),
              m.DrawGrid1->palette().color(QPalette::Base).rgb());
    Click(m.BitBtn3);
    PressKey(&f, Qt::Key_Return);
    EXPECT_EQ(Links(f), std::vector<int32_t>(12, 0));
  }
  ClickCell(f.DrawGrid1, 2, 1);
  Click(m.BitBtn3);
  f.VTLib1.MoveTo(1);
  EXPECT_EQ(Link(f.CellToRow(1, 2)), f.VTLib1.CurRecNo);
  EXPECT_TRUE(m.StatusPanel0->text().contains(QString::fromStdString("Pic: " + f.VTLib1.CurPath)));
  // The main window describes the cell as it now stands, after Del too.
  EXPECT_EQ(f.StatusText(2).rfind("Pic: " + f.VTLib1.CurPath, 0), 0u) << f.StatusText(2);
  PressKey(f.DrawGrid1, Qt::Key_Delete);
  EXPECT_EQ(f.StatusText(2), "Pic: No pic for this cell.");
}

TEST_F(ManualTest, F1InTheTilePopupOpensItsHelpPage) {
  TManualForma& m = Shown();
  ClickCell(Form->DrawGrid1, 0, 0);
  std::vector<std::string> opened;
  SetShellOpenHook([&](const std::string& page) { return opened.push_back(ExtractFileName(page)), true; });
  std::function<void()> inPopup = [&] {
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup) return void(QMetaObject::invokeMethod(qApp, inPopup, Qt::QueuedConnection));
    PressKey(popup, Qt::Key_F1);  // no item highlighted
    PressKey(popup, Qt::Key_Escape);
  };
  QMetaObject::invokeMethod(qApp, inPopup, Qt::QueuedConnection);
  ClickCell(m.DrawGrid1, 1, 1, Qt::RightButton);
  SetShellOpenHook(nullptr);
  EXPECT_EQ(opened, std::vector<std::string>{"context11.html"});
}

TEST_F(ManualTest, TheFolderTreeStartsInTheRememberedPictureFolder) {
  std::filesystem::create_directories(Dir / "pics");
  for (const auto& [remembered, folder] : {std::pair<std::string, std::string>{Dir / "pics/", Dir / "pics/"},
                                           {Dir / "gone/", DefaultDialogFolder(HomeFolder())}}) {
    IniWriteString(SettingsFileName, "LastPath", "Source", remembered);
    EXPECT_EQ(NewForm().ManualForm().Folder(), folder);
  }
}
