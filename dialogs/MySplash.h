// The about box, which is also the splash screen at start-up. Creating it
// fixes the working folder and the settings and help file paths that every
// other window relies on.
#pragma once
#include <QDialog>
#include <QLabel>
#include <string>

#include "platform/qt/Image.h"

class TSplashForm : public QDialog {
  Q_OBJECT
 public:
  explicit TSplashForm(QWidget* parent = nullptr);

  TImage* Image1;
  TImage* Image2;
  QLabel* Label4;  // the version
  QLabel* Label7;  // the web page
  QLabel* Label3;  // the support address

  // Hands a web address or "mailto:" link to the desktop; a refusal shows nothing.
  static void OpenObject(const std::string& target);

  static const char* const WebAddress;
  static const char* const MailLink;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void FormCreate();
};

// The program's own artwork: drawn, not stored, so no picture file ships.
Bitmap24 SplashArtwork(int width, int height, int variant);

// The one about box, made at start-up and kept for the "About..." command.
extern TSplashForm* SplashForm;
