#include "controls/KWMenus.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <algorithm>
#include <memory>

#include "platform/qt/Desktop.h"
#include "platform/qt/QtImage.h"

TMenuItemMeasure MeasureMenuItem(bool separator, const TImageList* images, int bw, int bh, int textWidth,
                                 int proposedHeight) {
  TMenuItemMeasure m;
  if (separator) {
    m.Width = -2;
    m.Height = 5;
  } else if (images) {
    m.Glyph = true;
    m.GlyphWidth = images->Width;
    m.GlyphHeight = images->Height;
  } else if (bw > 0 && bh > 0) {
    m.Glyph = true;
    m.GlyphWidth = std::clamp(bw, 16, 64);
    m.GlyphHeight = std::clamp(bh, 16, 64);
  } else {
    m.Width = -7;
    m.Height = proposedHeight;
  }
  if (m.Glyph) {
    m.Width = m.GlyphWidth + 15;
    m.Height = m.GlyphHeight;
  }
  m.Height += 3;
  m.Width += textWidth + 7;
  return m;
}

TGlyphPlacement PlaceMenuGlyph(const TRect& item, int bw, int bh, bool checked, bool older, bool rtl) {
  const int gw = older ? std::min(bw, 64) : std::clamp(bw, 16, 64);
  const int gh = older ? std::min(bh, 64) : std::clamp(bh, 16, 64);
  TGlyphPlacement g;
  const int left = rtl ? item.Right - 1 - gw : item.Left + 1;
  g.Box = TRect(left, item.Top + 1, left + gw, item.Top + 1 + gh);
  TRect pic = g.Box;
  if (checked) {
    g.Box.Right += 1;
    g.Box.Bottom += 1;
    pic = TRect(pic.Left + 1, pic.Top + 1, pic.Right + 1, pic.Bottom + 1);
  }
  if (bw < gw) {
    const int off = (gw - bw) / 2 + 1;
    pic.Left = (checked ? g.Box.Left + 1 : g.Box.Left) + off;
    pic.Right = pic.Left + bw;
  }
  if (bh < gh) {
    const int off = (gh - bh) / 2 + 1;
    pic.Top = (checked ? g.Box.Top + 1 : g.Box.Top) + off;
    pic.Bottom = pic.Top + bh;
  }
  g.Picture = pic;
  return g;
}

// ---- items ----

TKWCustomMenuItem::TKWCustomMenuItem(QObject* owner) : QObject(owner) {}

TKWCustomMenuItem::~TKWCustomMenuItem() {
  if (FParent) {
    auto& siblings = FParent->FItems;
    siblings.erase(std::find(siblings.rbegin(), siblings.rend(), this).base() - 1);
  }
  Clear();
}

void TKWCustomMenuItem::Clear() {
  // The children go first to last without looking for themselves in the
  // list, each then first among its owner's children: a menu of many
  // candidates is emptied in one pass.
  std::vector<TKWCustomMenuItem*> children;
  children.swap(FItems);
  for (TKWCustomMenuItem* c : children) {
    c->FParent = nullptr;
    delete c;
  }
}

void TKWCustomMenuItem::Error(const std::string& msg) const {
  if (OlderGeneration()) throw EKWMenuError(msg);
  throw EKWD7MenuError(msg);
}

TKWCustomMenuItem* TKWCustomMenuItem::Items(int index) const {
  if (FItems.empty()) Error("Menu index out of range");
  if (index < 0 || index >= Count()) Error(Format("List index out of bounds (%d)", index));
  return FItems[size_t(index)];
}

void TKWCustomMenuItem::Add(TKWCustomMenuItem* item) {
  if (item->FParent) item->FParent->Remove(item);
  item->setParent(this);
  item->FParent = this;
  FItems.push_back(item);
}

void TKWCustomMenuItem::Remove(TKWCustomMenuItem* item) {
  // Menus are emptied from the end: searched from there.
  const auto it = std::find(FItems.rbegin(), FItems.rend(), item);
  if (it == FItems.rend()) Error("Sub-menu is not in menu");
  FItems.erase(it.base() - 1);
  item->FParent = nullptr;
  item->setParent(nullptr);
}

// ---- the style that measures and draws owner-drawn items ----

namespace {

const TKWCustomMenuItem* ItemOf(const QStyleOption* opt) {
  return opt ? qobject_cast<const TKWCustomMenuItem*>(opt->styleObject) : nullptr;
}

const TKWCustomPopupMenu* MenuOf(const QWidget* w) {
  const auto* list = qobject_cast<const TKWPopupList*>(w);
  return list ? list->Menu() : nullptr;
}

QString ShortCutText(const TKWCustomMenuItem* item) {
  return item->ShortCut.toString(QKeySequence::NativeText);
}

// The caption and shortcut as one line, "&" marking the accelerator, tabs expanded.
int TextWidth(const QFontMetrics& fm, const TKWCustomMenuItem* item) {
  const QString s = QString::fromStdString(item->Caption) + ShortCutText(item);
  return fm.boundingRect(QRect(), Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::TextExpandTabs, s).width();
}

int ProposedHeight(const QFontMetrics& fm) {
  return fm.height() + 2;
}

class TKWMenuStyle : public QProxyStyle {
 public:
  TKWMenuStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

  int pixelMetric(PixelMetric m, const QStyleOption* opt, const QWidget* w) const override {
    switch (m) {
      case PM_MenuPanelWidth:
        return 1;
      case PM_MenuHMargin:
      case PM_MenuVMargin:
        return 2;
      default:
        return QProxyStyle::pixelMetric(m, opt, w);
    }
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* opt, const QSize& size,
                         const QWidget* w) const override {
    const TKWCustomMenuItem* item = ItemOf(opt);
    const TKWCustomPopupMenu* menu = MenuOf(w);
    if (type != CT_MenuItem || !item || !menu || !menu->IsOwnerDrawn(item))
      return QProxyStyle::sizeFromContents(type, opt, size, w);
    const QFontMetrics fm(static_cast<const QStyleOptionMenuItem*>(opt)->font);
    const TMenuItemMeasure m =
        MeasureMenuItem(item->IsLine(), menu->Images, item->Bitmap.Width(), item->Bitmap.Height(),
                        item->IsLine() ? fm.horizontalAdvance('-') : TextWidth(fm, item), ProposedHeight(fm));
    return QSize(std::max(0, m.Width), std::max(0, m.Height));
  }

  void drawControl(ControlElement ce, const QStyleOption* opt, QPainter* p, const QWidget* w) const override {
    const TKWCustomMenuItem* item = ItemOf(opt);
    const TKWCustomPopupMenu* menu = MenuOf(w);
    if (ce != CE_MenuItem || !item || !menu || !menu->IsOwnerDrawn(item)) {
      QProxyStyle::drawControl(ce, opt, p, w);
      return;
    }
    DrawItem(*static_cast<const QStyleOptionMenuItem*>(opt), *item, *menu, p);
  }

 private:
  static void DrawItem(const QStyleOptionMenuItem& o, const TKWCustomMenuItem& item,
                       const TKWCustomPopupMenu& menu, QPainter* p) {
    const QRect r = o.rect;
    const bool selected = (o.state & State_Selected) && (o.state & State_Enabled);
    p->fillRect(r, selected ? o.palette.highlight() : o.palette.window());
    if (item.IsLine()) {
      const int y = r.top() + r.height() / 2;
      p->setPen(o.palette.color(QPalette::Mid));
      p->drawLine(r.left() + 1, y, r.right() - 1, y);
      p->setPen(o.palette.color(QPalette::Light));
      p->drawLine(r.left() + 1, y + 1, r.right() - 1, y + 1);
      return;
    }
    const TRect itemRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
    const bool rtl = o.direction == Qt::RightToLeft;
    int glyphWidth = 0;
    if (menu.Images) {
      glyphWidth = menu.Images->Width;
      if (item.ImageIndex >= 0 && item.ImageIndex < int(menu.Images->Images.size())) {
        const TGlyphPlacement g = PlaceMenuGlyph(itemRect, menu.Images->Width, menu.Images->Height,
                                                 item.Checked, item.OlderGeneration(), rtl);
        DrawPicture(p, o, g, item.Checked, menu.Images->Images[size_t(item.ImageIndex)]);
      }
    } else if (!item.Bitmap.Empty()) {
      const TGlyphPlacement g = PlaceMenuGlyph(itemRect, item.Bitmap.Width(), item.Bitmap.Height(),
                                               item.Checked, item.OlderGeneration(), rtl);
      glyphWidth = std::clamp(item.Bitmap.Width(), 16, 64);
      DrawPicture(p, o, g, item.Checked, item.Bitmap);
    } else if (item.Checked) {
      p->setPen(o.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
      p->drawText(QRect(r.left(), r.top(), 16, r.height()), Qt::AlignCenter, QString(QChar(0x2713)));
    }
    const QColor text = !(o.state & State_Enabled) ? o.palette.color(QPalette::Disabled, QPalette::Text)
                        : selected                 ? o.palette.color(QPalette::HighlightedText)
                                                   : o.palette.color(QPalette::Text);
    p->setPen(text);
    QFont f = o.font;
    f.setBold(item.Default);
    p->setFont(f);
    const int textLeft = glyphWidth > 0 ? glyphWidth + 8 : 1;
    const QRect tr = r.adjusted(rtl ? 7 : textLeft, 0, rtl ? -textLeft : -7, 0);
    const int align = Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine | Qt::TextExpandTabs;
    p->drawText(tr, align | (rtl ? Qt::AlignRight : Qt::AlignLeft), QString::fromStdString(item.Caption));
    const QString sc = ShortCutText(&item);
    if (!sc.isEmpty()) p->drawText(tr, align | (rtl ? Qt::AlignLeft : Qt::AlignRight), sc);
  }

  static void DrawPicture(QPainter* p, const QStyleOptionMenuItem& o, const TGlyphPlacement& g, bool checked,
                          const Bitmap24& bmp) {
    if (checked)
      p->fillRect(QRect(g.Box.Left, g.Box.Top, g.Box.Width(), g.Box.Height()), o.palette.midlight());
    p->drawImage(QRect(g.Picture.Left, g.Picture.Top, g.Picture.Width(), g.Picture.Height()),
                 Bitmap24View(bmp));
  }
};

QStyle* MenuStyle() {
  static QPointer<TKWMenuStyle> style;
  if (!style) {
    style = new TKWMenuStyle;
    style->setParent(qApp);
  }
  return style;
}

}  // namespace

// ---- popup list ----

TKWPopupList::TKWPopupList(TKWCustomPopupMenu* menu, TKWCustomMenuItem* parentItem, QWidget* parent)
    : QMenu(parent), FMenu(menu), FParentItem(parentItem) {
  setStyle(MenuStyle());
  for (int i = 0; i < parentItem->Count(); ++i) {
    TKWCustomMenuItem* item = parentItem->Items(i);
    if (!item->Visible) continue;
    QAction* a;
    if (item->Count() > 0) {
      auto* sub = new TKWPopupList(menu, item, this);
      sub->setTitle(QString::fromStdString(item->Caption));
      a = addMenu(sub);
    } else {
      a = addAction(QString::fromStdString(item->Caption));
      a->setSeparator(item->IsLine());
      connect(a, &QAction::triggered, item, &TKWCustomMenuItem::Click);
    }
    a->setEnabled(item->Enabled);
    a->setCheckable(item->Checked);
    a->setChecked(item->Checked);
    a->setData(QVariant::fromValue<QObject*>(item));
  }
}

QAction* TKWPopupList::ActionOf(const TKWCustomMenuItem* item) const {
  for (QAction* a : actions())
    if (a->data().value<QObject*>() == item) return a;
  return nullptr;
}

int TKWPopupList::HelpContext() const {
  const QAction* active = activeAction();
  const auto* item =
      active ? qobject_cast<const TKWCustomMenuItem*>(active->data().value<QObject*>()) : nullptr;
  for (const TKWCustomMenuItem* i = item ? item : FParentItem; i; i = i->Parent())
    if (i->HelpContext > 0) return i->HelpContext;
  return FMenu ? FMenu->HelpContext : 0;
}

void TKWPopupList::keyPressEvent(QKeyEvent* e) {
  // A popup takes the keyboard while it is up, so the windows' own F1
  // handling never sees the key.
  if (e->key() == Qt::Key_F1 && e->modifiers() == Qt::NoModifier) {
    e->accept();
    if (const int context = HelpContext(); context > 0) ShowHelpContext(context);
    return;
  }
  QMenu::keyPressEvent(e);
}

void TKWPopupList::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const {
  QMenu::initStyleOption(option, action);
  option->styleObject = action->data().value<QObject*>();
}

// ---- popup menus ----

TKWCustomPopupMenu::TKWCustomPopupMenu(TKWCustomMenuItem* root, QObject* owner)
    : QObject(owner), FItems(root) {
  FItems->setParent(this);
}

TKWD7PopupMenu::TKWD7PopupMenu(QObject* owner) : TKWCustomPopupMenu(new TKWD7MenuItem, owner) {}
TKWPopupMenu::TKWPopupMenu(QObject* owner) : TKWCustomPopupMenu(new TKWMenuItem, owner) {}

bool TKWCustomPopupMenu::IsOwnerDrawn(const TKWCustomMenuItem* item) const {
  return OwnerDraw || Images || !item->Bitmap.Empty();
}

TKWPopupList* TKWCustomPopupMenu::CreatePopupList(QWidget* parent) {
  return new TKWPopupList(this, FItems, parent);
}

void TKWCustomPopupMenu::Popup(int x, int y) {
  emit OnPopup();
  std::unique_ptr<TKWPopupList> list(CreatePopupList());
  list->exec(QPoint(x, y));
}

// ---- the control's popup-menu property ----

void SetPopupMenu(QWidget* control, TKWCustomPopupMenu* menu) {
  control->setProperty("vtPopupMenu", QVariant::fromValue(QPointer<QObject>(menu)));
  if (control->property("vtPopupHooked").toBool()) return;
  control->setProperty("vtPopupHooked", true);
  control->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(control, &QWidget::customContextMenuRequested, control, [control](const QPoint& pos) {
    TKWCustomPopupMenu* m = PopupMenuOf(control);
    if (!m || !m->AutoPopup) return;
    const QPoint g = control->mapToGlobal(pos);
    m->Popup(g.x(), g.y());
  });
}

TKWCustomPopupMenu* PopupMenuOf(const QWidget* control) {
  return qobject_cast<TKWCustomPopupMenu*>(
      control->property("vtPopupMenu").value<QPointer<QObject>>().data());
}
