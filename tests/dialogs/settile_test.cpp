// The output setup: unit conversion, the aspect lock, the size texts, the settings kept, the JPEG
// quality cap and the road of "Save as"; Enter and Esc there and in the other dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "common/ScratchDir.h"
#include "dialogs/AdvRender.h"
#include "dialogs/Prefs2.h"
#include "dialogs/SetTileForm.h"
#include "dialogs/SetTileJpegOptions.h"
#include "dialogs/SetTileResizeWarning.h"
#include "platform/Hooks.h"
#include "platform/Ini.h"
#include "platform/qt/Desktop.h"
#include "qt/InputEvents.h"
#include "qt/TestApp.h"

namespace {

class SetTile : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    SettingsFileName = Dir / "vt002.ini";
  }
  void TearDown() override { SetFileDialogHook(nullptr); }
  static std::string Text(const QLabel* l) { return l->text().toStdString(); }
  ScratchDir Dir{"st"};
};

TEST(SetTileUnits, ConversionsUseTheProgramsInchPerCm) {
  EXPECT_EQ(UnitsToPixels(1, 150, 10), 1500);
  EXPECT_EQ(UnitsToPixels(2, 150, 10), 591);  // round(590.55)
  EXPECT_EQ(UnitsToPixels(0, 150, 10.5), 10);
  EXPECT_EQ(UnitsToPixels(3, 150, 10), 0);
  EXPECT_NEAR(PixelsToUnits(2, 100, 1000), 25.40005, 1e-5);
  EXPECT_EQ(PixelsToUnits(1, 150, 300), 2.0);
  EXPECT_EQ(FormatNumberN(1234567.891), "1,234,567.89");
  EXPECT_EQ(FormatNumberN(0.5), "0.50");
  EXPECT_EQ(FormatNumberN(-1000), "-1,000.00");
  EXPECT_EQ(OutputExtension(1), ".tif");
  EXPECT_EQ(OutputExtension(5), ".bmp");
  EXPECT_EQ(OutputExtension(6), ".html");
}

TEST_F(SetTile, WidthKeepsTheMosaicsProportionAndTextsFollow) {
  TSetTileForm f;
  f.FCols = 40;
  f.FRows = 30;
  f.FTileWidth = 4;
  f.FTileHeight = 3;
  f.FDPI = 100;
  f.KWRealSpinOMW->SetValue(4000);
  EXPECT_EQ(f.FMosaicWidth, 4000);
  EXPECT_EQ(f.FMosaicHeight, 2250);
  EXPECT_EQ(Text(f.Label28), "100 x 75 pixels");
  EXPECT_EQ(Text(f.Label10), "4000 x 2250 pixels");
  EXPECT_EQ(Text(f.Label11), "40.00 x 22.50 inch");
  EXPECT_EQ(Text(f.Label9), "1.00 x 0.75 inch");

  // Borders count only while "Add borders" is ticked.
  f.FBorderLeft = 10;
  f.FBorderTop = 20;
  f.FBorderRight = 30;
  f.FBorderBottom = 40;
  f.ShowSizeInfo();
  EXPECT_EQ(Text(f.Label10), "4000 x 2250 pixels");
  f.CheckBox2->setChecked(true);
  f.CheckBox2Click();
  EXPECT_EQ(Text(f.Label10), "4040 x 2310 pixels");
  EXPECT_TRUE(f.KWRealSpinEdit2->isEnabled());

  // In cm the width shows with four decimals.
  f.FMosaicWidth = 1000;
  f.ComboBox1->setCurrentIndex(2);
  EXPECT_EQ(f.KWRealSpinOMW->text().toStdString(), "25.4001");
  EXPECT_EQ(Text(f.Label4), "cm");
  // And a width typed in inches becomes pixels at the resolution.
  f.ComboBox1->setCurrentIndex(1);
  f.SpinEdit8->SetValue(300);
  EXPECT_EQ(f.FDPI, 300);
  f.KWRealSpinOMW->SetValue(10);
  EXPECT_EQ(f.FMosaicWidth, 3000);
}

TEST_F(SetTile, LayoutPreviewFramesThePictureWithTheBorders) {
  TSetTileForm f;
  f.FCols = 2;
  f.FRows = 2;
  f.FMosaicWidth = 200;
  f.FMosaicHeight = 100;
  f.FMosaicPreview = Bitmap24(40, 20);
  f.FMosaicPreview.Fill(RGB(0, 0, 255));
  f.FSourcePreview = Bitmap24(40, 20);
  f.FSourcePreview.Fill(RGB(255, 0, 0));
  f.FBorderLeft = f.FBorderTop = f.FBorderRight = f.FBorderBottom = 50;
  f.SetBorderColor(RGB(0, 255, 0));
  f.DrawLayoutPreview();
  const Bitmap24& p = f.LayoutPicture();
  ASSERT_EQ(p.Width(), 330);  // 1.5 x the layout box
  EXPECT_EQ(p.Height(), 165);
  EXPECT_EQ(p.Pixel(2, 2), RGB(0, 0, 255));  // unticked borders: no frame
  f.CheckBox2->setChecked(true);
  f.CheckBox2Click();
  const Bitmap24& q = f.LayoutPicture();
  EXPECT_EQ(q.Height(), 220);  // 330 / 300 x 200
  EXPECT_EQ(q.Pixel(2, 2), RGB(0, 255, 0));
  EXPECT_EQ(q.Pixel(165, 110), RGB(0, 0, 255));
  // A full blend shows the source.
  f.KWSpinEdit1->SetValue(100);
  EXPECT_EQ(f.LayoutPicture().Pixel(165, 110), RGB(255, 0, 0));
  // The preview's outline: a black line a pixel outside the picture shown.
  f.show();
  QApplication::processEvents();
  ASSERT_TRUE(f.Shape1->isVisible());
  const QRect shown = f.Image1->geometry(), outline = f.Shape1->geometry();
  EXPECT_EQ(outline, shown.adjusted(-1, -1, 1, 1));
  const QImage box = f.GroupBox7->grab().toImage();
  for (const QPoint at :
       {outline.topLeft(), outline.bottomRight(), QPoint(outline.center().x(), outline.top()),
        QPoint(outline.left(), outline.center().y())})
    EXPECT_EQ(box.pixel(at), qRgb(0, 0, 0)) << at.x() << "," << at.y();
  EXPECT_EQ(box.pixel(shown.center()), qRgb(255, 0, 0));
}

TEST_F(SetTile, SettingsSurviveButBlendOnlyWhenRemembered) {
  {
    TSetTileForm f;
    f.FMosaicWidth = 1234;
    f.FDPI = 300;
    f.CheckBox1->setChecked(true);
    f.CheckBox4->setChecked(false);
    f.KWSpinEdit1->SetValue(40);
    f.SetGridColor(RGB(1, 2, 3));
  }
  EXPECT_EQ(IniReadInteger(SettingsFileName, "Output", "MosaicWidth", 0), 1234);
  EXPECT_EQ(IniReadInteger(SettingsFileName, "Output", "Blending", -1), -1);
  TSetTileForm g;
  EXPECT_EQ(g.FMosaicWidth, 1234);
  EXPECT_EQ(g.FDPI, 300);
  EXPECT_TRUE(g.CheckBox1->isChecked());
  EXPECT_TRUE(g.KWRealSpinEdit1->isEnabled());
  EXPECT_FALSE(g.CheckBox4->isChecked());
  EXPECT_EQ(g.GridColor(), RGB(1, 2, 3));
  EXPECT_EQ(g.KWSpinEdit1->CommittedValue(), 0);

  IniWriteBool(SettingsFileName, "StartUp", "RememberBlendSetting", true);
  g.KWSpinEdit1->SetValue(40);
  g.SaveSettings();
  TSetTileForm h;
  EXPECT_EQ(h.KWSpinEdit1->CommittedValue(), 40);
}

TEST_F(SetTile, JpegQualityIsCappedAt85InBothControls) {
  IniWriteInteger(SettingsFileName, "Output", "JPG", 70);
  Tjpegoptions o;
  EXPECT_EQ(o.Quality(), 70);
  o.KWSpinEdit1->SetValue(95);
  EXPECT_EQ(o.Quality(), 85);
  EXPECT_EQ(o.TrackBar1->value(), 85);
  o.TrackBar1->setValue(99);
  EXPECT_EQ(o.TrackBar1->value(), 85);
  o.TrackBar1->setValue(60);
  EXPECT_EQ(o.Quality(), 60);
  o.BitBtn2Click();
  EXPECT_EQ(o.result(), 60);
  EXPECT_EQ(IniReadInteger(SettingsFileName, "Output", "JPG", 0), 60);
  Tjpegoptions c;
  c.reject();
  EXPECT_EQ(c.result(), -1);
}

TEST_F(SetTile, ResizeWarningCentresBothTiles) {
  TResizeWarning w("Vitrane 2");
  EXPECT_EQ(w.windowTitle().toStdString(), "Vitrane 2 Warning!");
  Bitmap24 tile(42, 31);
  w.ShowTiles(tile, 100, 75);
  const QRect a1 = w.GroupBox1->contentsRect(), a2 = w.GroupBox2->contentsRect();
  EXPECT_EQ(w.Image1->pos(), QPoint((a1.width() - 42) / 2, (a1.height() - 31) / 2));
  EXPECT_EQ(w.Image2->size(), QSize(100, 75));
  EXPECT_EQ(w.Image2->pos(), QPoint((a2.width() - 100) / 2, (a2.height() - 75) / 2));
  w.reject();
  EXPECT_EQ(w.result(), rwCancel);
}

// Answers the next modal dialog that opens with the given result.
void AnswerNextModal(int result) {
  QTimer::singleShot(0, [result] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->done(result);
  });
}

TEST_F(SetTile, SaveAsAsksForTheFileThenRunsTheWriter) {
  TSetTileForm f;
  f.FCols = 4;
  f.FRows = 3;
  f.FMosaicWidth = 400;
  f.FMosaicHeight = 225;
  f.FProjectName = "/some/where/rose.vtp";
  f.FLibraryTile = Bitmap24(42, 31);
  std::vector<std::pair<int, std::string>> runs;
  f.OnSaveAs = [&](int index, const std::string& name) {
    EXPECT_TRUE(f.BtnStop->isEnabled());
    EXPECT_FALSE(f.Button2->isEnabled());
    runs.emplace_back(index, name);
  };
  std::string proposed;
  int proposedIndex = 0;
  int index = 4;
  SetFileDialogHook([&](const TOpenDialog& d, bool save) -> std::optional<TFileChoice> {
    EXPECT_TRUE(save);
    proposed = d.FileName;
    proposedIndex = d.FilterIndex;
    return TFileChoice{{Dir / "out.dat"}, index};
  });
  // A text list never shows the resample warning.
  f.Button2Click();
  EXPECT_EQ(proposed, "rose");
  EXPECT_EQ(proposedIndex, 2);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], std::make_pair(4, Dir / "out.txt"));
  EXPECT_FALSE(f.BtnStop->isEnabled());
  EXPECT_TRUE(f.Button2->isEnabled());
  std::string last;
  IniReadString(SettingsFileName, "LastPath", "Mosaic", last, "");
  EXPECT_EQ(last, Dir.Path());

  // BMP with tiles larger than the stored ones: the warning; "Use originals".
  index = 3;
  AnswerNextModal(rwUseOriginals);
  f.Button2Click();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].second, Dir / "out.bmp");
  EXPECT_FALSE(f.CheckBox3->isChecked());

  // JPEG: the quality question; Cancel writes nothing.
  index = 2;
  AnswerNextModal(-1);
  f.Button2Click();
  EXPECT_EQ(runs.size(), 2u);
  AnswerNextModal(77);
  f.Button2Click();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(runs[2].second, Dir / "out.jpg");
  EXPECT_EQ(f.spnJpgQuality->Value(), 77);

  // Cancel in the file dialog ends the command.
  SetFileDialogHook([](const TOpenDialog&, bool) -> std::optional<TFileChoice> { return std::nullopt; });
  f.Button2Click();
  EXPECT_EQ(runs.size(), 3u);
}

// Enter presses the window's default button and no other, from any control, a spin edit committing
// what was typed first; Esc clicks its Cancel or Close. Each shown modally, as the program does.
TEST_F(SetTile, EnterPressesOnlyTheDefaultButtonAndEscTheCancelOne) {
  SetShellOpenHook([](const std::string&) { return true; });  // "Help"
  SetMessageBoxHook([](const MessageBoxRequest&) { return IDCANCEL; });
  bool on = true;
  int32_t best = 5;
  const TPrefsHost prefs{"Vitrane", &on, &best, &on, &on, &on, [](uint8_t) {}, [] {}, [] {}};
  constexpr int Open = -99;  // no button closed it
  const std::tuple<std::function<QDialog*()>, const char*, Qt::Key, const char*, int> rows[] = {
      {[] { return new TSetTileForm; }, "CheckBox1", Qt::Key_Return, "", Open},
      {[] { return new TSetTileForm; }, "KWRealSpinOMW", Qt::Key_Escape, "Button1", QDialog::Rejected},
      {[&] { return new TPrefsForm(prefs); }, "CheckBox1", Qt::Key_Return, "BitBtn2", QDialog::Accepted},
      {[] { return new Tjpegoptions; }, "KWSpinEdit1", Qt::Key_Return, "BitBtn2", 70},
      {[] { return new Tjpegoptions; }, "KWSpinEdit1", Qt::Key_Escape, "BitBtn1", -1},
      {[] { return new TAdvanceRender; }, "KWSpinEdit1", Qt::Key_Return, "BitBtn2", QDialog::Accepted},
      {[] { return new TAdvanceRender; }, "KWSpinEdit2", Qt::Key_Escape, "BitBtn1", QDialog::Rejected}};
  for (const auto& [make, focus, key, button, result] : rows) {
    const std::unique_ptr<QDialog> d(make());
    std::string pressed;
    for (QPushButton* b : d->findChildren<QPushButton*>())
      QObject::connect(b, &QPushButton::clicked, [&pressed, b] { pressed += b->objectName().toStdString(); });
    QTimer::singleShot(0, d.get(), [&] {
      QWidget* control = d->findChild<QWidget*>(focus);
      control->setFocus();
      if (auto* edit = qobject_cast<QLineEdit*>(control)) TypeInto(edit, "70");
      PressKey(control, key);
      if (d->isVisible()) d->done(Open);
    });
    SCOPED_TRACE(focus + (" of " + d->windowTitle().toStdString()));
    EXPECT_EQ(d->exec(), result);
    EXPECT_EQ(pressed, button);
  }
  SetMessageBoxHook(nullptr);
  SetShellOpenHook(nullptr);
}

}  // namespace
