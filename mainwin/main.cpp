// Program start-up.
#include <QMainWindow>

#include "platform/qt/Application.h"

int main(int argc, char* argv[]) {
  TApplication app(argc, argv);
  QApplication::setApplicationName("Vitrane");
  app.Title = "Vitrane";
  QMainWindow window;
  window.setWindowTitle("Vitrane 2");
  window.resize(800, 600);
  window.show();
  return app.exec();
}
