#include "platform/qt/FormUtils.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <algorithm>

#include "imaging/Resample.h"
#include "platform/Utils.h"

namespace {
int32_t ToInt32(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

TRect ToRect(const QRect& r) {
  return TRect(r.x(), r.y(), ToInt32(int64_t(r.x()) + r.width()), ToInt32(int64_t(r.y()) + r.height()));
}
}  // namespace

TRect FormBounds(const QWidget* form) {
  return ToRect(QRect(form->pos(), form->size()));
}

bool IsDialogStyle(const QWidget* form) {
  return form->minimumSize() == form->maximumSize();
}

void SetFormBounds(QWidget* form, const TRect& bounds) {
  form->move(bounds.Left, bounds.Top);
  const auto span = [](int32_t from, int32_t to) {
    return int(std::clamp<int64_t>(int64_t(to) - from, 0, QWIDGETSIZE_MAX));
  };
  form->resize(span(bounds.Left, bounds.Right), span(bounds.Top, bounds.Bottom));
}

std::vector<TRect> AvailableScreenAreas() {
  std::vector<TRect> areas;
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary) areas.push_back(ToRect(primary->availableGeometry()));
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen != primary) areas.push_back(ToRect(screen->availableGeometry()));
  return areas;
}

void SaveFormBounds(const std::string& path, const std::string& section, const std::string& key,
                    const QWidget* form) {
  SaveBoundsValue(path, section, key, FormBounds(form));
}

void LoadFormBounds(const std::string& path, const std::string& section, const std::string& key,
                    QWidget* form) {
  TRect bounds = FormBounds(form);  // a dialog-style window keeps this size
  if (!LoadBoundsValue(path, section, key, IsDialogStyle(form), bounds)) return;
  const QSize min = form->minimumSize();
  if (FitBoundsToScreens(bounds, AvailableScreenAreas(), min.width(), min.height()))
    SetFormBounds(form, bounds);
}

TRect GroupBoxPictureArea(const QGroupBox* box) {
  return TRect(1, 10, box->width() - 1, box->height() - 1);
}

namespace {
TRect FittedBounds(const TImage* image, const QGroupBox* box) {
  const Bitmap24& pic = image->Picture();
  const TRect area = GroupBoxPictureArea(box);
  // FitRect leaves its result alone for an empty picture: the image then
  // keeps the whole area.
  TRect fitted = area;
  FitRect(TRect(0, 0, pic.Width(), pic.Height()), area, fitted);
  return fitted;
}

void Place(TImage* image, const TRect& r) {
  image->setGeometry(r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()));
}
}  // namespace

void ShowImageFitted(TImage* image, const QGroupBox* box) {
  image->SetStretch(false);
  const TRect r = FittedBounds(image, box);
  Place(image, r);
  if (image->Picture().Empty() || r.Width() <= 0 || r.Height() <= 0) return;
  Bitmap24 resampled;
  StretchBitmap(r.Width(), r.Height(), rfMitchell, 0, image->Picture(), resampled);
  image->SetPicture(std::move(resampled));
}

void ShowImageStretched(TImage* image, const QGroupBox* box) {
  image->SetStretch(true);
  Place(image, FittedBounds(image, box));
}

namespace {
QPushButton* Usable(QPushButton* b) {
  return b && b->isEnabled() && b->isVisible() ? b : nullptr;
}

// Watches the window itself, so it hears only the keys that its controls
// leave unused: a list's or an edit's own Enter never gets here.
class TDialogButtons : public QObject {
 public:
  explicit TDialogButtons(QWidget* form) : QObject(form) { form->installEventFilter(this); }
  QPointer<QPushButton> Default, Cancel;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier) return false;
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (QPushButton* b = Usable(Default)) b->click();
        return true;
      case Qt::Key_Escape:
        // A cancel button switched off leaves Esc to the window, which
        // knows why (a dialog mid-save asks whether to stop).
        if (QPushButton* b = Usable(Cancel)) {
          b->click();
          return true;
        }
        return false;
      default:
        return false;
    }
  }
};

TDialogButtons* ButtonsOf(const QWidget* form) {
  if (!form) return nullptr;
  for (QObject* child : form->children())
    if (auto* keys = dynamic_cast<TDialogButtons*>(child)) return keys;
  return nullptr;
}
}  // namespace

void SetDialogButtons(QWidget* form, QPushButton* defaultButton, QPushButton* cancelButton) {
  TDialogButtons* keys = ButtonsOf(form);
  if (!keys) keys = new TDialogButtons(form);
  keys->Default = defaultButton;
  keys->Cancel = cancelButton;
  for (QPushButton* b : form->findChildren<QPushButton*>()) {
    if (b->window() != form) continue;  // a window of its own that the form owns
    b->setAutoDefault(false);
    b->setDefault(b == defaultButton);
  }
}

bool HasDialogButtons(const QWidget* form) {
  return ButtonsOf(form) != nullptr;
}

QPushButton* EnterButton(const QWidget* form) {
  const TDialogButtons* keys = ButtonsOf(form);
  return keys ? Usable(keys->Default) : nullptr;
}
