#include "controls/KWMenus.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <functional>

#include "platform/Files.h"
#include "platform/qt/Desktop.h"
#include "qt/InputEvents.h"
#include "qt/TestApp.h"

namespace {

TEST(KWMenus, MeasuringFollowsThePictureSizeWithinLimits) {
  // A 42 x 31 thumbnail: its own size; text 50.
  TMenuItemMeasure m = MeasureMenuItem(false, nullptr, 42, 31, 50, 18);
  EXPECT_TRUE(m.Glyph);
  EXPECT_EQ(m.Width, 42 + 15 + 50 + 7);
  EXPECT_EQ(m.Height, 31 + 3);
  m = MeasureMenuItem(false, nullptr, 100, 30, 50, 18);
  EXPECT_EQ(m.GlyphWidth, 64);
  EXPECT_EQ(m.GlyphHeight, 30);
  m = MeasureMenuItem(false, nullptr, 8, 8, 50, 18);
  EXPECT_EQ(m.GlyphWidth, 16);
  EXPECT_EQ(m.Height, 19);
  // No picture: -7 before the text, the proposed height.
  m = MeasureMenuItem(false, nullptr, 0, 0, 50, 18);
  EXPECT_FALSE(m.Glyph);
  EXPECT_EQ(m.Width, -7 + 50 + 7);
  EXPECT_EQ(m.Height, 21);
  m = MeasureMenuItem(true, nullptr, 42, 31, 4, 18);
  EXPECT_EQ(m.Height, 8);
  EXPECT_EQ(m.Width, -2 + 4 + 7);
  // An image list sizes every item, whatever its own picture.
  TImageList images;
  images.Width = 20;
  images.Height = 24;
  m = MeasureMenuItem(false, &images, 42, 31, 50, 18);
  EXPECT_EQ(m.Width, 20 + 15 + 50 + 7);
  EXPECT_EQ(m.Height, 27);
}

TEST(KWMenus, GlyphPlacementCentresSmallPicturesOnlyInTheNewerGeneration) {
  const TRect item(0, 100, 200, 140);
  TGlyphPlacement g = PlaceMenuGlyph(item, 8, 8, false, false);
  EXPECT_EQ(g.Box, TRect(1, 101, 17, 117));
  EXPECT_EQ(g.Picture, TRect(6, 106, 14, 114));  // 5 pixels into the box, own size
  g = PlaceMenuGlyph(item, 8, 8, false, true);
  EXPECT_EQ(g.Box, TRect(1, 101, 9, 109));
  EXPECT_EQ(g.Picture, TRect(1, 101, 9, 109));
  g = PlaceMenuGlyph(item, 100, 30, false, false);
  EXPECT_EQ(g.Picture, TRect(1, 101, 65, 131));  // squeezed to 64 across
  g = PlaceMenuGlyph(item, 42, 31, true, false);
  EXPECT_EQ(g.Box, TRect(1, 101, 44, 133));  // one pixel more each way
  EXPECT_EQ(g.Picture, TRect(2, 102, 44, 133));
  g = PlaceMenuGlyph(item, 42, 31, false, false, true);
  EXPECT_EQ(g.Box, TRect(157, 101, 199, 132));
}

TEST(KWMenus, ItemListErrors) {
  TKWD7PopupMenu menu;
  EXPECT_EQ(menu.Items()->Count(), 0);
  try {
    menu.Items()->Items(0);
    FAIL();
  } catch (const EKWD7MenuError& e) {
    EXPECT_STREQ(e.what(), "Menu index out of range");
  }
  auto* a = new TKWD7MenuItem;
  menu.Items()->Add(a);
  EXPECT_EQ(menu.Items()->Items(0), a);
  EXPECT_THROW(menu.Items()->Items(1), EKWD7MenuError);
  TKWD7MenuItem stranger;
  try {
    menu.Items()->Remove(&stranger);
    FAIL();
  } catch (const EKWD7MenuError& e) {
    EXPECT_STREQ(e.what(), "Sub-menu is not in menu");
  }
  menu.Items()->Remove(a);
  EXPECT_EQ(menu.Items()->Count(), 0);
  delete a;
  // Clearing frees the children, a deleted child leaves its menu.
  QPointer<TKWCustomMenuItem> kept = new TKWD7MenuItem, gone = new TKWD7MenuItem, last = new TKWD7MenuItem;
  for (TKWCustomMenuItem* i : {kept.data(), gone.data(), last.data()}) menu.Items()->Add(i);
  delete gone;
  ASSERT_EQ(menu.Items()->Count(), 2);
  EXPECT_EQ(menu.Items()->Items(1), last);
  menu.Items()->Clear();
  EXPECT_EQ(menu.Items()->Count(), 0);
  EXPECT_TRUE(kept.isNull() && last.isNull());
  TKWPopupMenu older;
  EXPECT_THROW(older.Items()->Items(0), EKWMenuError);
}

Bitmap24 Thumb(int w, int h) {
  Bitmap24 b(w, h);
  b.Fill(RGB(10, 200, 30));
  return b;
}

TEST(KWMenus, OpenMenuHasTheMeasuredItemSizesAndClicksRunTheItem) {
  TestApp();
  TKWD7PopupMenu menu;
  menu.HelpContext = 11;
  auto* show = new TKWD7MenuItem;
  show->Caption = "Show file ";
  show->Bitmap = Thumb(42, 31);
  auto* line = new TKWD7MenuItem;
  line->Caption = "-";
  auto* wide = new TKWD7MenuItem;
  wide->Caption = "Wide";
  wide->Bitmap = Thumb(100, 30);
  auto* hidden = new TKWD7MenuItem;
  hidden->Caption = "Hidden";
  hidden->Visible = false;
  for (auto* i : {show, line, wide, hidden}) menu.Items()->Add(i);
  int clicks = 0;
  QObject::connect(show, &TKWCustomMenuItem::OnClick, [&] { ++clicks; });

  menu.OwnerDraw = true;  // the separator too is measured by the menu
  std::unique_ptr<TKWPopupList> list(menu.CreatePopupList());
  EXPECT_EQ(list->actions().size(), 3);  // the invisible item is left out
  list->popup(QPoint(10, 10));
  QApplication::processEvents();
  const QFontMetrics fm(list->font());
  auto textWidth = [&](const char* s) {
    return fm.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::TextExpandTabs, s)
        .width();
  };
  const QRect rShow = list->actionGeometry(list->ActionOf(show));
  const QRect rLine = list->actionGeometry(list->ActionOf(line));
  const QRect rWide = list->actionGeometry(list->ActionOf(wide));
  EXPECT_EQ(rShow.height(), 34);
  EXPECT_EQ(rLine.height(), 8);
  EXPECT_EQ(rWide.height(), 33);
  const int widest = std::max({42 + 15 + textWidth("Show file ") + 7, 64 + 15 + textWidth("Wide") + 7,
                               -2 + fm.horizontalAdvance('-') + 7});
  EXPECT_EQ(rShow.width(), widest);
  EXPECT_EQ(rWide.width(), widest);
  // The thumbnail is drawn unscaled in its box, one pixel inside the item.
  const QImage shot = list->grab().toImage();
  EXPECT_EQ(shot.pixelColor(rShow.left() + 1, rShow.top() + 1), QColor(10, 200, 30));
  EXPECT_EQ(shot.pixelColor(rShow.left() + 42, rShow.top() + 31), QColor(10, 200, 30));
  EXPECT_NE(shot.pixelColor(rShow.left() + 43, rShow.top() + 15), QColor(10, 200, 30));
  EXPECT_EQ(shot.pixelColor(rWide.left() + 64, rWide.top() + 30), QColor(10, 200, 30));
  EXPECT_NE(shot.pixelColor(rWide.left() + 65, rWide.top() + 15), QColor(10, 200, 30));
  QTest::mouseClick(list.get(), Qt::LeftButton, {}, rShow.center());
  EXPECT_EQ(clicks, 1);
}

TEST(KWMenus, ItemsWithoutAPictureAreThePlatformsUnlessOwnerDrawn) {
  TestApp();
  TKWPopupMenu menu;
  auto* plain = new TKWMenuItem;
  plain->Caption = "Plain";
  menu.Items()->Add(plain);
  EXPECT_FALSE(menu.IsOwnerDrawn(plain));
  plain->Bitmap = Thumb(8, 8);
  EXPECT_TRUE(menu.IsOwnerDrawn(plain));
  plain->Bitmap.Clear();
  menu.OwnerDraw = true;
  EXPECT_TRUE(menu.IsOwnerDrawn(plain));
}

TEST(KWMenus, ControlPopupMenuPropertyCanBeSetAndCleared) {
  TestApp();
  QWidget w;
  TKWD7PopupMenu menu;
  SetPopupMenu(&w, &menu);
  EXPECT_EQ(PopupMenuOf(&w), &menu);
  EXPECT_EQ(w.contextMenuPolicy(), Qt::CustomContextMenu);
  SetPopupMenu(&w, nullptr);
  EXPECT_EQ(PopupMenuOf(&w), nullptr);
  {
    TKWD7PopupMenu gone;
    SetPopupMenu(&w, &gone);
  }
  EXPECT_EQ(PopupMenuOf(&w), nullptr);  // a freed menu is forgotten
}

// F1 in an open popup asks for the help of the item under the highlight,
// of the nearest item above it that has one, or of the menu: the manual
// tiles window gives its item the context, the grid's popup its menu.
TEST(KWMenus, F1InAnOpenPopupOpensTheItemsOrTheMenusHelp) {
  TestApp();
  std::vector<std::string> opened;
  SetShellOpenHook([&](const std::string& page) {
    opened.push_back(ExtractFileName(page));
    return true;
  });
  TKWPopupMenu menu;  // the older generation, as in the manual tiles window
  menu.HelpContext = 26;
  auto* own = new TKWMenuItem;
  own->Caption = "Show file ";
  own->HelpContext = 11;
  auto* plain = new TKWMenuItem;
  plain->Caption = "Plain";
  auto* sub = new TKWMenuItem;
  sub->Caption = "More";
  sub->HelpContext = 27;
  auto* inner = new TKWMenuItem;
  inner->Caption = "Inner";
  sub->Add(inner);
  for (auto* i : {own, plain, sub}) menu.Items()->Add(i);
  std::function<void()> keys = [&] {
    QWidget* popup = QApplication::activePopupWidget();
    if (!popup) return void(QMetaObject::invokeMethod(qApp, keys, Qt::QueuedConnection));
    PressKey(popup, Qt::Key_F1);    // nothing highlighted: the menu's
    PressKey(popup, Qt::Key_Down);  // "Show file "
    PressKey(popup, Qt::Key_F1);
    PressKey(popup, Qt::Key_Down);  // "Plain"
    PressKey(popup, Qt::Key_F1);
    PressKey(popup, Qt::Key_Down);  // "More", then into it
    PressKey(popup, Qt::Key_Right);
    QWidget* inside = QApplication::activePopupWidget();
    EXPECT_NE(inside, popup);
    PressKey(inside, Qt::Key_F1);  // "Inner": the context of the item above it
    PressKey(inside, Qt::Key_Escape);
    PressKey(popup, Qt::Key_Escape);
  };
  QMetaObject::invokeMethod(qApp, keys, Qt::QueuedConnection);
  menu.Popup(100, 100);
  SetShellOpenHook(nullptr);
  EXPECT_EQ(opened, (std::vector<std::string>{HelpPageName(26), HelpPageName(11), HelpPageName(26),
                                              HelpPageName(27)}));
}

}  // namespace
