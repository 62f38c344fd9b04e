#include "dialogs/MySplash.h"

#include <QMouseEvent>
#include <filesystem>

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Ini.h"
#include "platform/qt/Application.h"
#include "platform/qt/Desktop.h"

TSplashForm* SplashForm = nullptr;

const char* const TSplashForm::WebAddress = "https://vitrane.example.org/";
const char* const TSplashForm::MailLink = "mailto:support@vitrane.example.org?subject=Vitrane%202";

namespace {
QLabel* LinkLabel(const QString& text, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  l->setCursor(Qt::PointingHandCursor);
  l->setStyleSheet("color: #7fb2ff; text-decoration: underline;");
  return l;
}
}  // namespace

Bitmap24 SplashArtwork(int width, int height, int variant) {
  Bitmap24 b(width, height);
  // A field of small tiles whose colours drift across the picture, the way a
  // mosaic's cells follow the picture underneath.
  const int cell = 12;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int cx = x / cell, cy = y / cell;
      const bool edge = x % cell == 0 || y % cell == 0;
      const uint8_t r = uint8_t(40 + (cx * 23 + variant * 60) % 200);
      const uint8_t g = uint8_t(30 + (cy * 31 + cx * 7) % 180);
      const uint8_t bl = uint8_t(90 + (cx * cy * 5 + variant * 40) % 160);
      b.SetPixel(x, y, edge ? RGB(0, 0, 0) : RGB(r, g, bl));
    }
  return b;
}

TSplashForm::TSplashForm(QWidget* parent) : QDialog(parent) {
  setObjectName("SplashForm");
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, Qt::white);
  setPalette(pal);
  setFixedSize(640, 262);

  Image1 = new TImage(this);
  Image1->setObjectName("Image1");
  Image1->setGeometry(10, 10, 241, 242);
  Image1->SetPicture(SplashArtwork(241, 242, 0));
  Image2 = new TImage(this);
  Image2->setObjectName("Image2");
  Image2->setGeometry(256, 10, 380, 137);
  Image2->SetPicture(SplashArtwork(380, 137, 1));

  auto* title = new QLabel("Vitrane", this);
  QFont f = title->font();
  f.setPointSize(28);
  f.setBold(true);
  title->setFont(f);
  title->setGeometry(270, 150, 360, 50);
  Label4 = new QLabel("V 2.7", this);
  Label4->setObjectName("Label4");
  Label4->setGeometry(270, 198, 360, 18);
  Label7 = LinkLabel(WebAddress, this);
  Label7->setObjectName("Label7");
  Label7->setGeometry(270, 218, 360, 18);
  Label3 = LinkLabel("support@vitrane.example.org", this);
  Label3->setObjectName("Label3");
  Label3->setGeometry(270, 238, 360, 18);

  for (QWidget* w :
       {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image2), static_cast<QWidget*>(Label4),
        static_cast<QWidget*>(Label7), static_cast<QWidget*>(Label3)})
    w->installEventFilter(this);
  FormCreate();
}

void TSplashForm::FormCreate() {
  SetHelpContext(this, 1);
  Label4->setText(Label4->text() + " (d)");
  // Help lives beside the program whatever folder it was started from. When
  // the program's folder is unknown the current folder is kept but nothing
  // is taken from it.
  const std::string folder = ProgramFolder();
  if (!folder.empty()) {
    std::error_code ec;
    std::filesystem::current_path(folder, ec);
    if (ec) throw EFileError("Cannot change the current folder to " + folder);
  }
  SettingsFileName = DefaultSettingsFileName();
  if (Application) Application->HelpFile = folder.empty() ? std::string() : folder + "Vitrane.hlp";
}

void TSplashForm::OpenObject(const std::string& target) {
  // The shell got a fixed 120-character buffer; a longer link was cut there.
  ShellOpen(target.substr(0, 120));
}

bool TSplashForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress) {
    if (watched == Label7)
      OpenObject(WebAddress);
    else if (watched == Label3)
      OpenObject(MailLink);
    else
      close();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TSplashForm::mousePressEvent(QMouseEvent* event) {
  close();
  event->accept();
}
