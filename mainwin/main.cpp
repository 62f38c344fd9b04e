// Program start-up.
#include <QMainWindow>
#include <clocale>

#include "formats/Registrations.h"
#include "platform/qt/Application.h"

int main(int argc, char* argv[]) {
  TApplication app(argc, argv);
  // Qt adopts the user's numeric locale; the core formats and parses numbers
  // with "." whatever the desktop says.
  std::setlocale(LC_NUMERIC, "C");
  RegisterGraphicFormats();
  QApplication::setApplicationName("Vitrane");
  app.Title = "Vitrane";
  QMainWindow window;
  window.setWindowTitle("Vitrane 2");
  window.resize(800, 600);
  window.show();
  return app.exec();
}
