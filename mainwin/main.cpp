// Program start-up.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Vitrane");
  QMainWindow window;
  window.setWindowTitle("Vitrane 2");
  window.resize(800, 600);
  window.show();
  return app.exec();
}
