// Picture popup menus: the platform's popup menu, except that an item with a
// picture of its own (a tile's thumbnail) reserves and draws a glyph box of
// the picture's size, each side held to 16..64 pixels, where a plain item has
// a fixed 16 x 16 box. Two generations: TKWD7PopupMenu / TKWD7MenuItem centre
// a picture smaller than 16 pixels in its box; the older TKWPopupMenu /
// TKWMenuItem draw it at its own size in the box's corner.
#pragma once
#include <QKeySequence>
#include <QMenu>
#include <QObject>
#include <QProxyStyle>
#include <string>
#include <vector>

#include "platform/Bitmap24.h"
#include "platform/Errors.h"

class EKWD7MenuError : public EVitrane {
  using EVitrane::EVitrane;
};
class EKWMenuError : public EVitrane {
  using EVitrane::EVitrane;
};

// A list of same-sized pictures for menus that show images by index.
struct TImageList {
  int Width = 16, Height = 16;
  std::vector<Bitmap24> Images;
};

// The size of an owner-drawn item, measured as the platform's popup menus
// measure it: a separator is 8 high; a glyph comes from the image list, else
// from the item's own picture clamped to 16..64 per side; the text adds the
// caption and shortcut text plus 7. proposedHeight is what the system offers
// an item without a glyph.
struct TMenuItemMeasure {
  int Width = 0, Height = 0;
  bool Glyph = false;
  int GlyphWidth = 0, GlyphHeight = 0;
};
TMenuItemMeasure MeasureMenuItem(bool separator, const TImageList* images, int bitmapWidth, int bitmapHeight,
                                 int textWidth, int proposedHeight);

// Where an item's own picture is drawn: the glyph box one pixel inside the
// item's corner, grown by a pixel when checked; a picture smaller than the
// box along an axis is centred at its own size (TKWD7) or kept at the box's
// corner (older generation, whose box has no lower limit); a larger one is
// squeezed into the box.
struct TGlyphPlacement {
  TRect Box;      // the glyph box (filled with the checked background when checked)
  TRect Picture;  // where the picture is stretch-drawn
};
TGlyphPlacement PlaceMenuGlyph(const TRect& item, int bitmapWidth, int bitmapHeight, bool checked,
                               bool olderGeneration, bool rightToLeft = false);

class TKWCustomPopupMenu;

class TKWCustomMenuItem : public QObject {
  Q_OBJECT
 public:
  explicit TKWCustomMenuItem(QObject* owner = nullptr);
  ~TKWCustomMenuItem() override;

  std::string Caption;  // "-" is a separator; "&" marks the accelerator
  bool Checked = false;
  bool Enabled = true;
  bool Visible = true;
  bool Default = false;
  bool RadioItem = false;
  int Tag = 0;
  int ImageIndex = -1;
  int HelpContext = 0;
  std::string Hint;
  QKeySequence ShortCut;
  // The item's own picture (a copy).
  Bitmap24 Bitmap;

  int Count() const { return int(FItems.size()); }
  // The child at index; raises the generation's menu error.
  TKWCustomMenuItem* Items(int index) const;
  // Adds at the end (the item becomes owned by this one).
  void Add(TKWCustomMenuItem* item);
  // Takes a child out (the caller owns it then); raises "Sub-menu is not in menu".
  void Remove(TKWCustomMenuItem* item);
  // Frees every child.
  void Clear();
  TKWCustomMenuItem* Parent() const { return FParent; }
  bool IsLine() const { return Caption == "-"; }

  // What a choice of the item does: OnClick.
  void Click() { emit OnClick(); }
  // The older generation draws small pictures uncentred and raises its own errors.
  virtual bool OlderGeneration() const { return false; }

 signals:
  void OnClick();

 private:
  [[noreturn]] void Error(const std::string& msg) const;
  std::vector<TKWCustomMenuItem*> FItems;
  TKWCustomMenuItem* FParent = nullptr;
};

class TKWD7MenuItem : public TKWCustomMenuItem {
  Q_OBJECT
 public:
  using TKWCustomMenuItem::TKWCustomMenuItem;
};

class TKWMenuItem : public TKWCustomMenuItem {
  Q_OBJECT
 public:
  using TKWCustomMenuItem::TKWCustomMenuItem;
  bool OlderGeneration() const override { return true; }
};

enum TPopupAlignment : uint8_t { paLeft, paRight, paCenter };

// The QMenu that shows a popup menu's items; it hands each item to the
// measuring and drawing style.
class TKWPopupList : public QMenu {
  Q_OBJECT
 public:
  TKWPopupList(TKWCustomPopupMenu* menu, TKWCustomMenuItem* parentItem, QWidget* parent = nullptr);
  TKWCustomPopupMenu* Menu() const { return FMenu; }
  // The action that shows an item, or nullptr.
  QAction* ActionOf(const TKWCustomMenuItem* item) const;
  // The help context F1 opens while the list is up: the highlighted item's,
  // else that of the nearest item above it that has one, else the menu's.
  int HelpContext() const;

 protected:
  void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
  // F1 opens the help at the list's context.
  void keyPressEvent(QKeyEvent* e) override;

 private:
  TKWCustomPopupMenu* FMenu;
  TKWCustomMenuItem* FParentItem;
};

class TKWCustomPopupMenu : public QObject {
  Q_OBJECT
 public:
  TKWCustomMenuItem* Items() const { return FItems; }
  bool AutoPopup = true;
  bool OwnerDraw = false;
  // The help of the whole menu, for items without a context of their own.
  int HelpContext = 0;
  TPopupAlignment Alignment = paLeft;
  const TImageList* Images = nullptr;

  // Shows the menu at a screen point and waits for the choice; the chosen
  // item's OnClick runs.
  void Popup(int x, int y);
  // The QMenu for the items as they are now (the caller owns it).
  TKWPopupList* CreatePopupList(QWidget* parent = nullptr);
  // Whether the class measures and draws the item (else the platform does).
  bool IsOwnerDrawn(const TKWCustomMenuItem* item) const;

 signals:
  void OnPopup();

 protected:
  TKWCustomPopupMenu(TKWCustomMenuItem* root, QObject* owner);

 private:
  TKWCustomMenuItem* FItems;
};

class TKWD7PopupMenu : public TKWCustomPopupMenu {
  Q_OBJECT
 public:
  explicit TKWD7PopupMenu(QObject* owner = nullptr);
};

class TKWPopupMenu : public TKWCustomPopupMenu {
  Q_OBJECT
 public:
  explicit TKWPopupMenu(QObject* owner = nullptr);
};

// The control's popup-menu property: a right click on the control opens the
// menu there (nullptr: none). The menu must outlive the assignment.
void SetPopupMenu(QWidget* control, TKWCustomPopupMenu* menu);
TKWCustomPopupMenu* PopupMenuOf(const QWidget* control);
