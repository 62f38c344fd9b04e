// Our TWAIN source manager: a loadable module whose one entry point,
// DSM_Entry, answers the triplets of an acquisition session. Its sources are
// the SANE devices. Choosing a source shows a list of the devices and keeps
// the choice as the default; an enabled source shows a small scan dialog and
// hands each scanned picture over by native transfer as a 24-bit DIB block.
#include <sane/sane.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstring>
#include <deque>
#include <memory>

#include "controls/TwainTypes.h"
#include "controls/twainsane/SaneScan.h"
#include "platform/qt/ModalOver.h"

namespace {

const QEvent::Type NotifyEvent = QEvent::Type(QEvent::registerEventType());

bool HaveGui() {
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// Enter presses a dialog's default button only, never the button that has
// the focus, as in the program's own windows (whose routine for it this
// module, a stand-in for the system's, does not link).
void NoAutoDefault(QDialog* dialog) {
  for (QPushButton* b : dialog->findChildren<QPushButton*>()) b->setAutoDefault(false);
}

// The chosen default source lives in the user's settings folder.
QString DefaultSourceName() {
  QSettings s(QSettings::IniFormat, QSettings::UserScope, "vitrane", "twain");
  return s.value("Source/Default").toString();
}
void SetDefaultSourceName(const QString& name) {
  QSettings s(QSettings::IniFormat, QSettings::UserScope, "vitrane", "twain");
  s.setValue("Source/Default", name);
}

void CopyStr(TW_STR32& dst, const std::string& src) {
  std::memset(dst, 0, sizeof dst);
  std::strncpy(dst, src.c_str(), sizeof dst - 1);
}

void FillIdentity(TW_IDENTITY& id, TW_UINT32 number, const TSaneDevice& device) {
  std::memset(&id, 0, sizeof id);
  id.Id = number;
  id.Version.MajorNum = 1;
  id.Version.Language = 13;
  id.Version.Country = 1;
  CopyStr(id.Version.Info, "SANE");
  id.ProtocolMajor = 1;
  id.ProtocolMinor = 6;
  id.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyStr(id.Manufacturer, device.Vendor);
  CopyStr(id.ProductFamily, device.Model);
  CopyStr(id.ProductName, device.Name);
}

class TScanDialog;

struct TSource {
  TW_IDENTITY Id;
  std::unique_ptr<TSaneSource> Sane;
  int State = 4;
  std::deque<TW_HANDLE> Pictures;
  TW_UINT16 Pending = MSG_NULL;  // the message the application is to receive
  TW_UINT16 Condition = TWCC_SUCCESS;
  uint32_t AllowedTypes = (1u << TWPT_GRAY) | (1u << TWPT_RGB);
  // Receives the events that carry Pending through the application's loop.
  std::unique_ptr<QObject> Notifier = std::make_unique<QObject>();
  std::unique_ptr<TScanDialog> Dialog;

  ~TSource();
  void Tell(TW_UINT16 message) {
    Pending = message;
    QCoreApplication::postEvent(Notifier.get(), new QEvent(NotifyEvent));
  }
  void DropPictures() {
    for (TW_HANDLE h : Pictures) TwainFree(h);
    Pictures.clear();
  }
  bool ScanInto(bool colour, int dpi) {
    TW_HANDLE dib = Sane->Scan(colour, dpi);
    if (!dib) return false;
    Pictures.push_back(dib);
    Tell(MSG_XFERREADY);
    return true;
  }
};

// The source's own dialog: device, colour or grey, resolution, Scan and
// Cancel. Cancel, Esc or closing the window asks the application to close
// the source; the dialog itself goes when the source is disabled.
class TScanDialog : public QDialog {
 public:
  explicit TScanDialog(TSource& source) : QDialog(nullptr), FSource(source) {
    setObjectName("ScanDialog");
    setWindowTitle("Scan");
    auto* form = new QFormLayout;
    Device = new QLabel(QString::fromStdString(source.Sane->Name()));
    Device->setObjectName("Device");
    Mode = new QComboBox;
    Mode->setObjectName("Mode");
    const bool colour = source.Sane->OffersColour() && (source.AllowedTypes & (1u << TWPT_RGB));
    const bool grey = source.Sane->OffersGrey() && (source.AllowedTypes & (1u << TWPT_GRAY));
    if (colour || !grey) Mode->addItem("Colour", true);
    if (grey || !colour) Mode->addItem("Grey", false);
    Mode->setCurrentIndex(Mode->findData(source.Sane->IsColour() || !grey));
    Resolution = new QSpinBox;
    Resolution->setObjectName("Resolution");
    Resolution->setSuffix(" dpi");
    const TSaneResolution r = source.Sane->Resolution();
    if (r.Max > 0) {
      Resolution->setRange(std::max(1, r.Min), r.Max);
      Resolution->setValue(r.Current);
    } else {
      Resolution->setEnabled(false);  // the device has no resolution of its own
    }
    form->addRow("Device:", Device);
    form->addRow("Mode:", Mode);
    form->addRow("Resolution:", Resolution);
    Status = new QLabel;
    Status->setObjectName("Status");
    Status->setWordWrap(true);
    ScanButton = new QPushButton("Scan");
    ScanButton->setObjectName("ScanButton");
    ScanButton->setDefault(true);
    CancelButton = new QPushButton("Cancel");
    CancelButton->setObjectName("CancelButton");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ScanButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Status);
    layout->addLayout(buttons);
    connect(ScanButton, &QPushButton::clicked, this, [this] { ScanClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });
    NoAutoDefault(this);
  }

  void reject() override { FSource.Tell(MSG_CLOSEDSREQ); }

  QLabel *Device, *Status;
  QComboBox* Mode;
  QSpinBox* Resolution;
  QPushButton *ScanButton, *CancelButton;

 private:
  void ScanClick() {
    // A nearest resolution the device's list accepts is its own business.
    const int dpi = Resolution->isEnabled() ? Resolution->value() : 0;
    Status->setText("Scanning...");
    ScanButton->setEnabled(false);
    Status->repaint();
    if (FSource.ScanInto(Mode->currentData().toBool(), dpi))
      Status->clear();
    else
      Status->setText(QString::fromStdString(FSource.Sane->Error()));
    ScanButton->setEnabled(true);
  }

  TSource& FSource;
};

TSource::~TSource() {
  Dialog.reset();
  DropPictures();
}

struct TManager {
  bool Open = false;
  TW_UINT16 Condition = TWCC_SUCCESS;
  QPointer<QWidget> Parent;
  std::unique_ptr<TSource> Source;
  TW_UINT32 NextId = 1;
} Manager;

TW_UINT16 ManagerFails(TW_UINT16 condition) {
  Manager.Condition = condition;
  return TWRC_FAILURE;
}
TW_UINT16 SourceFails(TSource& s, TW_UINT16 condition) {
  s.Condition = condition;
  return TWRC_FAILURE;
}

// The source selection: a list of the devices, the default one chosen.
TW_UINT16 UserSelect(TW_IDENTITY* id) {
  if (!HaveGui()) return ManagerFails(TWCC_BUMMER);
  const std::vector<TSaneDevice> devices = SaneDevices();
  QDialog dlg(Manager.Parent && Manager.Parent->isWindow() ? Manager.Parent.data() : nullptr);
  dlg.setObjectName("SelectSource");
  dlg.setWindowTitle("Select Source");
  auto* layout = new QVBoxLayout(&dlg);
  auto* label = new QLabel(devices.empty() ? "No scanners or cameras were found." : "Sources:");
  auto* list = new QListWidget;
  list->setObjectName("SourceList");
  const QString current = DefaultSourceName();
  for (const TSaneDevice& d : devices) {
    QString text = QString::fromStdString(d.Name);
    if (!d.Vendor.empty() || !d.Model.empty())
      text += QString(" (%1 %2)").arg(QString::fromStdString(d.Vendor), QString::fromStdString(d.Model));
    list->addItem(text);
    if (QString::fromStdString(d.Name) == current) list->setCurrentRow(list->count() - 1);
  }
  if (list->currentRow() < 0 && list->count() > 0) list->setCurrentRow(0);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText("Select");
  buttons->button(QDialogButtonBox::Ok)->setEnabled(!devices.empty());
  layout->addWidget(label);
  layout->addWidget(list);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dlg, &QDialog::accept);
  NoAutoDefault(&dlg);  // "Select" is the default: the box makes its OK one
  if (dlg.exec() != QDialog::Accepted || list->currentRow() < 0) return TWRC_CANCEL;
  const TSaneDevice& chosen = devices[size_t(list->currentRow())];
  SetDefaultSourceName(QString::fromStdString(chosen.Name));
  FillIdentity(*id, Manager.NextId++, chosen);
  return TWRC_SUCCESS;
}

// Opens the source named in the identity, or the default one when it names
// none (the first device when no default is kept or it is gone).
TW_UINT16 OpenSource(TW_IDENTITY* id) {
  if (Manager.Source) return ManagerFails(TWCC_SEQERROR);
  const std::vector<TSaneDevice> devices = SaneDevices();
  const std::string wanted(id->ProductName, strnlen(id->ProductName, sizeof id->ProductName));
  const std::string fallback = DefaultSourceName().toStdString();
  const TSaneDevice* device = nullptr;
  for (const TSaneDevice& d : devices) {
    const std::string shown = d.Name.substr(0, sizeof id->ProductName - 1);
    if (!wanted.empty() ? shown == wanted : d.Name == fallback) device = &d;
  }
  if (!device && wanted.empty() && !devices.empty()) device = &devices.front();
  if (!device) return ManagerFails(TWCC_NODS);
  auto source = std::make_unique<TSource>();
  source->Sane = std::make_unique<TSaneSource>(device->Name);
  if (!source->Sane->Open()) return ManagerFails(TWCC_OPERATIONERROR);
  FillIdentity(source->Id, Manager.NextId++, *device);
  *id = source->Id;
  Manager.Source = std::move(source);
  return TWRC_SUCCESS;
}

// The pixel types of a capability container (array, enumeration or one
// value of 16-bit items), checked against the block's size.
bool ReadTypes(const TW_CAPABILITY& cap, uint32_t& types) {
  const auto* p = static_cast<const uint8_t*>(TwainLock(cap.hContainer));
  const size_t size = TwainSize(cap.hContainer);
  types = 0;
  if (!p || size < sizeof(TW_ONEVALUE)) return false;
  if (cap.ConType == TWON_ONEVALUE) {
    TW_UINT32 v;
    std::memcpy(&v, p + offsetof(TW_ONEVALUE, Item), 4);
    if (v < 32) types = 1u << v;
    return true;
  }
  const size_t at = cap.ConType == TWON_ARRAY ? TW_ARRAY_ITEMS : TW_ENUMERATION_ITEMS;
  if ((cap.ConType != TWON_ARRAY && cap.ConType != TWON_ENUMERATION) || size < at) return false;
  TW_UINT32 n;
  std::memcpy(&n, p + 2, 4);
  if (uint64_t(n) * 2 > size - at) return false;
  for (TW_UINT32 i = 0; i < n; ++i) {
    TW_UINT16 v;
    std::memcpy(&v, p + at + size_t(i) * 2, 2);
    if (v < 32) types |= 1u << v;
  }
  return true;
}

TW_UINT16 Capability(TSource& s, TW_UINT16 msg, TW_CAPABILITY* cap) {
  if (s.State != 4) return SourceFails(s, TWCC_SEQERROR);
  if (cap->Cap != ICAP_PIXELTYPE) return SourceFails(s, TWCC_BADCAP);
  if (msg == MSG_GET) {
    std::vector<TW_UINT16> types;
    if (s.Sane->OffersGrey() || !s.Sane->OffersColour()) types.push_back(TWPT_GRAY);
    if (s.Sane->OffersColour()) types.push_back(TWPT_RGB);
    TW_HANDLE h = TwainAlloc(TW_ENUMERATION_ITEMS + types.size() * 2);
    auto* p = static_cast<uint8_t*>(TwainLock(h));
    if (!p) return SourceFails(s, TWCC_LOWMEMORY);
    const TW_UINT16 itemType = TWTY_UINT16;
    const TW_UINT32 n = TW_UINT32(types.size());
    const TW_UINT32 current = s.Sane->IsColour() && types.size() > 1 ? 1 : 0;
    std::memcpy(p, &itemType, 2);
    std::memcpy(p + 2, &n, 4);
    std::memcpy(p + offsetof(TW_ENUMERATION, CurrentIndex), &current, 4);
    std::memcpy(p + offsetof(TW_ENUMERATION, DefaultIndex), &current, 4);
    std::memcpy(p + TW_ENUMERATION_ITEMS, types.data(), types.size() * 2);
    cap->ConType = TWON_ENUMERATION;
    cap->hContainer = h;
    return TWRC_SUCCESS;
  }
  if (msg == MSG_SET) {
    uint32_t types;
    if (!ReadTypes(*cap, types)) return SourceFails(s, TWCC_BADVALUE);
    types &= (1u << TWPT_GRAY) | (1u << TWPT_RGB);
    if (types == 0) return SourceFails(s, TWCC_BADVALUE);
    s.AllowedTypes = types;
    return TWRC_SUCCESS;
  }
  return SourceFails(s, TWCC_BADPROTOCOL);
}

TW_UINT16 Enable(TSource& s, const TW_USERINTERFACE* ui) {
  if (s.State != 4) return SourceFails(s, TWCC_SEQERROR);
  if (ui->ShowUI) {
    if (!HaveGui()) return SourceFails(s, TWCC_BUMMER);
    QWidget* over = static_cast<QWidget*>(ui->hParent);
    if (!QApplication::allWidgets().contains(over)) over = nullptr;
    s.Dialog = std::make_unique<TScanDialog>(s);
    // The application's window is disabled while the source is up; the
    // dialog is a window of its own, modal over it, so that it takes the
    // input whatever window of the application was modal before.
    ShowModalOver(s.Dialog.get(), over);
  } else if (!s.ScanInto(s.Sane->IsColour(), 0)) {
    s.Tell(MSG_CLOSEDSREQ);
  }
  s.State = 5;
  return TWRC_SUCCESS;
}

TW_UINT16 ToSource(TSource& s, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) {
    if (s.State != 6) return SourceFails(s, TWCC_SEQERROR);
    if (s.Pictures.empty()) return SourceFails(s, TWCC_BUMMER);
    TW_HANDLE dib = s.Pictures.front();
    s.Pictures.pop_front();
    std::memcpy(data, &dib, sizeof dib);
    s.State = 7;
    return TWRC_XFERDONE;
  }
  if (dg != DG_CONTROL) return SourceFails(s, TWCC_BADPROTOCOL);
  switch (dat) {
    case DAT_CAPABILITY:
      return Capability(s, msg, static_cast<TW_CAPABILITY*>(data));
    case DAT_USERINTERFACE:
      if (msg == MSG_ENABLEDS) return Enable(s, static_cast<TW_USERINTERFACE*>(data));
      if (msg == MSG_DISABLEDS) {
        if (s.State != 5) return SourceFails(s, TWCC_SEQERROR);
        s.Dialog.reset();
        s.Pending = MSG_NULL;
        s.State = 4;
        return TWRC_SUCCESS;
      }
      break;
    case DAT_EVENT:
      if (msg == MSG_PROCESSEVENT) {
        auto* ev = static_cast<TW_EVENT*>(data);
        ev->TWMessage = MSG_NULL;
        const auto* e = static_cast<const QEvent*>(ev->pEvent);
        if (!e || e->type() != NotifyEvent) return TWRC_NOTDSEVENT;
        if (s.State == 5) {
          ev->TWMessage = s.Pending;
          s.Pending = MSG_NULL;
          if (ev->TWMessage == MSG_XFERREADY) s.State = 6;
        }
        return TWRC_DSEVENT;
      }
      break;
    case DAT_PENDINGXFERS: {
      auto* pending = static_cast<TW_PENDINGXFERS*>(data);
      if (msg == MSG_ENDXFER) {
        if (s.State != 7) return SourceFails(s, TWCC_SEQERROR);
        pending->Count = TW_UINT16(std::min<size_t>(s.Pictures.size(), 0xFFFF));
        s.State = pending->Count ? 6 : 5;
        return TWRC_SUCCESS;
      }
      if (msg == MSG_RESET) {
        if (s.State != 6 && s.State != 7) return SourceFails(s, TWCC_SEQERROR);
        s.DropPictures();
        pending->Count = 0;
        s.State = 5;
        return TWRC_SUCCESS;
      }
      break;
    }
    case DAT_STATUS:
      if (msg == MSG_GET) {
        static_cast<TW_STATUS*>(data)->ConditionCode = s.Condition;
        s.Condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
      }
      break;
  }
  return SourceFails(s, TWCC_BADPROTOCOL);
}

TW_UINT16 ToManager(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
  if (dg != DG_CONTROL) return ManagerFails(TWCC_BADPROTOCOL);
  if (dat == DAT_PARENT && msg == MSG_OPENDSM) {
    if (Manager.Open) return ManagerFails(TWCC_SEQERROR);
    SANE_Int version = 0;
    if (sane_init(&version, nullptr) != SANE_STATUS_GOOD) return ManagerFails(TWCC_BUMMER);
    const TW_HANDLE parent = data ? *static_cast<TW_HANDLE*>(data) : nullptr;
    QWidget* w = static_cast<QWidget*>(parent);
    Manager.Parent = HaveGui() && QApplication::allWidgets().contains(w) ? w : nullptr;
    Manager.Open = true;
    return TWRC_SUCCESS;
  }
  if (!Manager.Open) return ManagerFails(TWCC_SEQERROR);
  if (dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
    // A source the application left open goes with the manager.
    Manager.Source.reset();
    sane_exit();
    Manager.Open = false;
    return TWRC_SUCCESS;
  }
  if (dat == DAT_IDENTITY && data) {
    auto* id = static_cast<TW_IDENTITY*>(data);
    if (msg == MSG_USERSELECT) return UserSelect(id);
    if (msg == MSG_OPENDS) return OpenSource(id);
    if (msg == MSG_CLOSEDS) {
      if (!Manager.Source || Manager.Source->Id.Id != id->Id) return ManagerFails(TWCC_NODS);
      Manager.Source.reset();
      return TWRC_SUCCESS;
    }
  }
  if (dat == DAT_STATUS && msg == MSG_GET && data) {
    static_cast<TW_STATUS*>(data)->ConditionCode = Manager.Condition;
    Manager.Condition = TWCC_SUCCESS;
    return TWRC_SUCCESS;
  }
  return ManagerFails(TWCC_BADPROTOCOL);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) TW_UINT16 DSM_Entry(TW_IDENTITY* pOrigin,
                                                                      TW_IDENTITY* pDest, TW_UINT32 DG,
                                                                      TW_UINT16 DAT, TW_UINT16 MSG,
                                                                      TW_MEMREF pData) {
  if (!pOrigin) return ManagerFails(TWCC_BADPROTOCOL);
  try {
    if (!pDest) return ToManager(DG, DAT, MSG, pData);
    if (!Manager.Source || Manager.Source->Id.Id != pDest->Id) return ManagerFails(TWCC_BADDEST);
    if (!pData) return SourceFails(*Manager.Source, TWCC_BADVALUE);
    return ToSource(*Manager.Source, DG, DAT, MSG, pData);
  } catch (...) {
    // Nothing may cross the C entry point; memory is what usually runs out.
    return ManagerFails(TWCC_LOWMEMORY);
  }
}
